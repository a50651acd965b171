#include "TestSupport.h"
#include "platform/DebugOutput.h"
#include "platform/FileIO.h"
#include "platform/Guid.h"
#include "platform/Paths.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <sys/stat.h>

using namespace rz;
using rztest::CScopedEnv;
using rztest::CTempDir;

TEST(Paths, DocumentLiesBelowTheOverriddenDataFolderAndItsFoldersAreMade)
{
    CTempDir dir;
    CScopedEnv env("RAVIRAZAZU_COMMON_APPDATA", dir.Path());
    EXPECT_EQ(DocumentPath(), dir.Path() + "/Quorix/MXR Gateway 4.5/GatewayConfig.XML");
    ASSERT_TRUE(EnsureDocumentFolders());
    struct stat st
    {
    };
    ASSERT_EQ(::stat(DocumentFolder().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(ToolDir().back(), '/');
}

TEST(Paths, FilesAreFoundWithoutRegardToCase)
{
    CTempDir dir;
    rztest::WriteBytes(dir.File("English.XML"), "x");
    rztest::WriteBytes(dir.File("Deutsch.xml"), "x");
    rztest::WriteBytes(dir.File("notes.txt"), "x");
    EXPECT_EQ(FindFileNoCase(dir.Path(), "english.xml"), dir.File("English.XML"));
    EXPECT_EQ(FindFileNoCase(dir.Path(), "Deutsch.xml"), dir.File("Deutsch.xml"));
    EXPECT_FALSE(FindFileNoCase(dir.Path(), "French.xml").has_value());
    EXPECT_EQ(ListFilesWithSuffix(dir.Path(), ".xml"),
              (std::vector<std::string>{"Deutsch.xml", "English.XML"}));
}

TEST(Profile, TitleIsStoredInTheUsersConfigFolder)
{
    CTempDir dir;
    CScopedEnv env("XDG_CONFIG_HOME", dir.Path());
    EXPECT_EQ(GetProfileString(L"MXR_GatewayRaviraZazu", L"Title", L"RaviraZazu"), L"RaviraZazu");
    ASSERT_TRUE(WriteProfileString(L"MXR_GatewayRaviraZazu", L"Title", L"Gateway Config Tool"));
    EXPECT_EQ(ProfilePath(), dir.Path() + "/RaviraZazu/profile.ini");
    EXPECT_EQ(GetProfileString(L"mxr_gatewayravirazazu", L"title", L""), L"Gateway Config Tool");
}

TEST(Guid, NewIdentifiersHaveTheDocumentsFormat)
{
    const std::wregex form(L"[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    std::set<std::wstring> seen;
    for (int i = 0; i < 100; ++i)
    {
        const std::wstring guid = NewGuidText();
        ASSERT_EQ(guid.size(), 36u);
        EXPECT_TRUE(std::regex_match(guid, form)) << std::string(guid.begin(), guid.end());
        seen.insert(guid);
    }
    EXPECT_EQ(seen.size(), 100u);
    EXPECT_EQ(FormatGuid(0x1A2B3C4D, 0x00EF, 0x0A0B, {1, 2, 3, 4, 5, 6, 7, 0xFF}),
              L"1A2B3C4D-00EF-0A0B-0102-0304050607FF");
}

TEST(DebugOutput, ReachesAnInstalledSink)
{
    std::string captured;
    const DebugSink previous = SetDebugOutputSink([&](std::string_view text) { captured += text; });
    OutputDebugString("Delete CNotifierBase\r\n");
    SetDebugOutputSink(previous);
    OutputDebugString("not captured");
    EXPECT_EQ(captured, "Delete CNotifierBase\r\n");
}
