#include "TestSupport.h"
#include "platform/DebugOutput.h"
#include "platform/FileIO.h"
#include "platform/Guid.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/SocketErrors.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST(Paths, FoldersFollowTheirVariablesAndDefaults)
{
    // Empty variables count as unset: the defaults below the home folder, and the machine's.
    CTempDir home;
    CScopedEnv homeEnv("HOME", home.Path());
    CScopedEnv appData("RAVIRAZAZU_COMMON_APPDATA", "");
    CScopedEnv config("XDG_CONFIG_HOME", "");
    CScopedEnv state("XDG_STATE_HOME", "");
    CScopedEnv runtimeEnv("XDG_RUNTIME_DIR", "");
    EXPECT_EQ(DocumentPath(), "/var/lib/Quorix/MXR Gateway 4.5/GatewayConfig.XML");
    EXPECT_EQ(UserConfigDir(), home.Path() + "/.config");
    EXPECT_EQ(LogFolder(), home.Path() + "/.local/state/RaviraZazu/log");
    // The private runtime folder is the user's alone.
    const std::string runtime = RuntimeDir();
    EXPECT_EQ(runtime, "/tmp/ravirazazu-" + std::to_string(::getuid()));
    struct stat st
    {
    };
    ASSERT_EQ(::stat(runtime.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // Also when it is made anew: for a user who has none yet (root can become one).
    if (::geteuid() == 0)
    {
        const std::string fresh = "/tmp/ravirazazu-65534";
        std::filesystem::remove_all(fresh);
        const pid_t child = ::fork();
        ASSERT_NE(child, -1);
        if (child == 0)
        {
            ::umask(022);
            if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
                ::setresuid(65534, 65534, 65534) != 0)
                ::_exit(2);
            ::_exit(RuntimeDir() == fresh ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        std::filesystem::remove_all(fresh);
    }

    EXPECT_EQ(JoinPath("/opt/gw/", "language"), "/opt/gw/language");
    EXPECT_EQ(JoinPath("/opt/gw", "language"), "/opt/gw/language");
    EXPECT_EQ(JoinPath("", "language"), "language");
    // A file in the way of a folder.
    rztest::WriteBytes(home.File("file"), "x");
    EXPECT_FALSE(MakeDirs(home.File("file")));
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_FALSE(MakeDirs(home.File("file/below")));

    // A chosen tool folder ends in a slash; an empty choice goes back to the program's.
    SetToolDir("/opt/gw");
    EXPECT_EQ(ToolDir(), "/opt/gw/");
    SetToolDir("/opt/gw/");
    EXPECT_EQ(ToolDir(), "/opt/gw/");
    SetToolDir("");
    EXPECT_NE(ToolDir(), "/opt/gw/");
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

    // A folder is no file; of several spellings the exact one wins, else the first by name.
    std::filesystem::create_directory(dir.File("Folder.xml"));
    EXPECT_FALSE(FileExists(dir.File("Folder.xml")));
    EXPECT_FALSE(FindFileNoCase(dir.Path(), "folder.XML").has_value());
    EXPECT_EQ(ListFilesWithSuffix(dir.Path(), ".xml"),
              (std::vector<std::string>{"Deutsch.xml", "English.XML"}));
    rztest::WriteBytes(dir.File("ENGLISH.XML"), "x");
    rztest::WriteBytes(dir.File("english.xml"), "x");
    EXPECT_EQ(FindFileNoCase(dir.Path(), "english.xml"), dir.File("english.xml"));
    EXPECT_EQ(FindFileNoCase(dir.Path(), "English.xml"), dir.File("ENGLISH.XML"));
    // Whatever order the folder lists them in.
    for (const std::string base : {"alpha.ini", "bravo.ini", "delta.ini"})
    {
        std::vector<std::string> spellings;
        for (const unsigned mask : {5u, 2u, 7u, 1u, 6u, 3u})
        {
            std::string spelling = base;
            for (size_t i = 0; i < 3; ++i)
                spelling[i] =
                    (mask >> i) & 1 ? static_cast<char>(std::toupper(spelling[i])) : spelling[i];
            spelling[base.size() - 1] = 'I'; // never the spelling asked for
            rztest::WriteBytes(dir.File(spelling), "x");
            spellings.push_back(spelling);
        }
        EXPECT_EQ(FindFileNoCase(dir.Path(), base),
                  dir.File(*std::min_element(spellings.begin(), spellings.end())));
    }
}

TEST(Profile, TitleIsStoredInTheUsersConfigFolder)
{
    CTempDir dir;
    CScopedEnv env("XDG_CONFIG_HOME", dir.Path());
    EXPECT_EQ(GetProfileString(L"MXR_GatewayRaviraZazu", L"Title", L"RaviraZazu"), L"RaviraZazu");
    ASSERT_TRUE(WriteProfileString(L"MXR_GatewayRaviraZazu", L"Title", L"Gateway Config Tool"));
    EXPECT_EQ(ProfilePath(), dir.Path() + "/RaviraZazu/profile.ini");
    EXPECT_EQ(GetProfileString(L"mxr_gatewayravirazazu", L"title", L""), L"Gateway Config Tool");
    // At most as many characters as asked for.
    EXPECT_EQ(GetProfileString(L"MXR_GatewayRaviraZazu", L"Title", L"", 7), L"Gateway");
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
    // Every digit but the version's takes more than one value over them: all of it is random.
    for (size_t i = 0; i < 36; ++i)
    {
        if (i == 8 || i == 13 || i == 14 || i == 18 || i == 23)
            continue;
        std::set<wchar_t> digits;
        for (const std::wstring& guid : seen)
            digits.insert(guid[i]);
        EXPECT_GT(digits.size(), 1u) << "digit " << i;
    }
    EXPECT_EQ(FormatGuid(0x1A2B3C4D, 0x00EF, 0x0A0B, {1, 2, 3, 4, 5, 6, 7, 0xFF}),
              L"1A2B3C4D-00EF-0A0B-0102-0304050607FF");
}

TEST(DebugOutput, ReachesAnInstalledSink)
{
    std::string captured;
    const DebugSink previous = SetDebugOutputSink([&](std::string_view text) { captured += text; });
    OutputDebugString("Delete CNotifierBase\r\n");
    // A sink installed over it hands it back, to be put back afterwards.
    std::string inner;
    const DebugSink outer = SetDebugOutputSink([&](std::string_view text) { inner += text; });
    OutputDebugString("inner ");
    SetDebugOutputSink(outer);
    OutputDebugString("outer\r\n");
    SetDebugOutputSink(previous);
    OutputDebugString("not captured");
    EXPECT_EQ(captured, "Delete CNotifierBase\r\nouter\r\n");
    EXPECT_EQ(inner, "inner ");
}

TEST(SocketErrors, AreTheWindowsSocketsNumbers)
{
    // As the Windows Sockets reference numbers them.
    const std::pair<int, int> numbers[] = {
        {EINTR, 10004},           {EBADF, 10009},        {EACCES, 10013},
        {EFAULT, 10014},          {EINVAL, 10022},       {EMFILE, 10024},
        {EWOULDBLOCK, 10035},     {ENOTSOCK, 10038},     {EMSGSIZE, 10040},
        {EPROTONOSUPPORT, 10043}, {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048},
        {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},     {ENETUNREACH, 10051},
        {ENOBUFS, 10055},         {ECONNREFUSED, 10061}, {EHOSTUNREACH, 10065},
    };
    for (const auto& [error, number] : numbers)
        EXPECT_EQ(WsaErrorFromErrno(error), number) << std::strerror(error);
    // An errno without a counterpart keeps its own number above 10000.
    EXPECT_EQ(WsaErrorFromErrno(ENOSPC), 10000 + ENOSPC);
}
