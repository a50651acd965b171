#include "TestSupport.h"
#include "config/DocumentValues.h"
#include "config/GatewayConfigDoc.h"
#include "platform/TextCodec.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using RUROR::XNode;
using rztest::CTempDir;
using rztest::ReadBytes;
using rztest::Utf16;
using rztest::WriteBytes;

namespace
{

const std::wstring kHeader = L"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>";

std::string Document(const std::wstring& body)
{
    return Utf16(kHeader + L"\r\n" + body);
}

std::vector<std::wstring> ChildNames(const XNode* node)
{
    std::vector<std::wstring> names;
    for (const XNode* child : node->GetChilds())
        names.push_back(child->name);
    return names;
}

} // namespace

TEST(GatewayConfigDoc, SampleRoundTripKeepsTreeHeaderAndUnknownElements)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    const std::string original = ReadBytes(rztest::SampleDocumentPath());
    WriteBytes(path, original);

    CGatewayConfigDoc doc;
    const auto result = doc.Load(path);
    ASSERT_TRUE(result) << result.Describe();
    EXPECT_FALSE(result.languageAdded);
    EXPECT_EQ(doc.Header(), kHeader);
    ASSERT_NE(doc.GatewayConfig(), nullptr);
    ASSERT_NE(doc.Stations(), nullptr);
    ASSERT_NE(doc.RadioServers(), nullptr);
    ASSERT_NE(doc.Language(), nullptr);
    EXPECT_EQ(doc.Language()->value, L"English");
    EXPECT_EQ(doc.Stations()->GetChildCount(), 7u);
    const XNode before = doc.Root();

    ASSERT_EQ(doc.Save(), 1);
    const std::string saved = ReadBytes(path);
    EXPECT_EQ(saved.substr(0, kHeader.size() * 2), original.substr(0, kHeader.size() * 2));

    CGatewayConfigDoc again;
    ASSERT_TRUE(again.Load(path));
    EXPECT_TRUE(again.Root() == before);
    EXPECT_EQ(again.Header(), kHeader);
    // Elements no page knows stay where they were, attributes included.
    EXPECT_EQ(ChildNames(&again.Root()), (std::vector<std::wstring>{L"GatewayConfig", L"Licence"}));
    const auto names = ChildNames(again.GatewayConfig());
    EXPECT_EQ(names.front(), L"GatewayName");
    EXPECT_EQ(names.back(), L"TelemetryInterval");
    EXPECT_STREQ(again.GatewayConfig()->GetChild(L"Database")->GetAttrValue(L"type"), L"embedded");
    // A second save of an unchanged tree writes the same bytes.
    ASSERT_EQ(again.Save(), 1);
    EXPECT_EQ(ReadBytes(path), saved);
}

TEST(GatewayConfigDoc, MissingLanguageIsAddedAndWritten)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    WriteBytes(path, Document(L"<MXRGateways><GatewayConfig><LocalIP>10.0.0.1</LocalIP>"
                              L"</GatewayConfig></MXRGateways>"));
    CGatewayConfigDoc doc;
    const auto result = doc.Load(path);
    ASSERT_TRUE(result);
    EXPECT_TRUE(result.languageAdded);
    ASSERT_NE(doc.Language(), nullptr);
    EXPECT_EQ(ChildNames(doc.GatewayConfig()),
              (std::vector<std::wstring>{L"LocalIP", L"Language"}));
    // The other handles are absent; nothing needs them to exist.
    EXPECT_EQ(doc.Stations(), nullptr);
    EXPECT_EQ(doc.RadioServers(), nullptr);
    ASSERT_EQ(doc.Save(), 1);

    CGatewayConfigDoc again;
    const auto second = again.Load(path);
    EXPECT_FALSE(second.languageAdded);
    EXPECT_STREQ(again.GetSetting(L"Language"), L"English");
}

TEST(GatewayConfigDoc, LoadingTwiceDoesNothingUntilUnloadOrReload)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    WriteBytes(path, Document(L"<MXRGateways><GatewayConfig><LogFilter>1</LogFilter>"
                              L"<Language>English</Language></GatewayConfig></MXRGateways>"));
    CGatewayConfigDoc doc;
    ASSERT_TRUE(doc.Load(path));
    WriteBytes(path, Document(L"<MXRGateways><GatewayConfig><LogFilter>3</LogFilter>"
                              L"<Language>English</Language></GatewayConfig></MXRGateways>"));
    EXPECT_EQ(doc.Load(path).status, CGatewayConfigDoc::LoadResult::AlreadyLoaded);
    EXPECT_STREQ(doc.GetSetting(L"LogFilter"), L"1");
    ASSERT_TRUE(doc.Reload(path));
    EXPECT_STREQ(doc.GetSetting(L"LogFilter"), L"3");
    doc.Unload();
    EXPECT_FALSE(doc.IsLoaded());
    EXPECT_EQ(doc.GatewayConfig(), nullptr);
    EXPECT_EQ(doc.Save(), -1);
}

TEST(GatewayConfigDoc, ShortEmptyAndMissingFilesGiveAnEmptyTree)
{
    CTempDir dir;
    CGatewayConfigDoc missing;
    const auto none = missing.Load(dir.File("absent.XML"));
    EXPECT_EQ(none.status, CGatewayConfigDoc::LoadResult::CannotOpen);
    EXPECT_FALSE(missing.IsLoaded());
    EXPECT_EQ(missing.Save(), -1);

    // 82 bytes: just the header, nothing after it.
    const std::string path = dir.File("GatewayConfig.XML");
    WriteBytes(path, Utf16(kHeader + L"\r"));
    ASSERT_EQ(ReadBytes(path).size(), 82u);
    CGatewayConfigDoc doc;
    EXPECT_EQ(doc.Load(path).status, CGatewayConfigDoc::LoadResult::TooShort);
    EXPECT_TRUE(doc.IsLoaded());
    EXPECT_EQ(doc.GatewayConfig(), nullptr);
    EXPECT_EQ(doc.GetSetting(L"LocalIP"), nullptr);

    // Writers create what they need, and the result is a document that loads.
    doc.SetSetting(L"LocalIP", L"10.1.1.1");
    doc.EnsureStations()->AppendChild(L"Station", L"");
    doc.EnsureRadioServers();
    ASSERT_EQ(doc.Save(), 1);
    CGatewayConfigDoc again;
    ASSERT_TRUE(again.Load(path));
    EXPECT_STREQ(again.GetSetting(L"LocalIP"), L"10.1.1.1");
    ASSERT_NE(again.Stations(), nullptr);
    EXPECT_EQ(again.Stations()->GetChildCount(), 1u);
    EXPECT_NE(again.RadioServers(), nullptr);

    WriteBytes(path, "");
    CGatewayConfigDoc empty;
    EXPECT_EQ(empty.Load(path).status, CGatewayConfigDoc::LoadResult::TooShort);
}

TEST(GatewayConfigDoc, BrokenOrForeignFilesLoadAsFarAsTheyGoAndSaySo)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    const std::wstring body = L"<MXRGateways><GatewayConfig><LocalIP>10.0.0.1</LocalIP>"
                              L"<LocalPort>3003</LocalPrt></GatewayConfig></MXRGateways>";
    WriteBytes(path, Document(body));
    CGatewayConfigDoc broken;
    const auto result = broken.Load(path);
    EXPECT_EQ(result.status, CGatewayConfigDoc::LoadResult::ParseError);
    EXPECT_TRUE(broken.IsLoaded());
    EXPECT_EQ(result.offset,
              static_cast<std::ptrdiff_t>(kHeader.size() + 2 + body.find(L"</LocalPrt>") + 2));
    EXPECT_NE(result.Describe().find("does not parse"), std::string::npos);
    EXPECT_STREQ(broken.GetSetting(L"LocalIP"), L"10.0.0.1");

    // The same document in UTF-8 is not what the gateway reads.
    WriteBytes(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<MXRGateways><GatewayConfig>"
                     "<LocalIP>10.0.0.1</LocalIP></GatewayConfig></MXRGateways>");
    CGatewayConfigDoc utf8;
    EXPECT_EQ(utf8.Load(path).status, CGatewayConfigDoc::LoadResult::NotUtf16);
}

TEST(GatewayConfigDoc, RootBeforeCodeUnit41IsReadAndRewrittenInTheUsualLayout)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    WriteBytes(path, Utf16(L"\uFEFF<?xml version=\"1.0\"?><MXRGateways><GatewayConfig>"
                           L"<LocalIP>10.0.0.9</LocalIP><Language>English</Language>"
                           L"</GatewayConfig></MXRGateways>"));
    CGatewayConfigDoc doc;
    ASSERT_TRUE(doc.Load(path));
    EXPECT_STREQ(doc.GetSetting(L"LocalIP"), L"10.0.0.9");
    EXPECT_EQ(doc.Header(), L"\uFEFF<?xml version=\"1.0\"?>");
    ASSERT_EQ(doc.Save(), 1);
    const std::wstring saved = rz::Utf16LeToWide(ReadBytes(path));
    EXPECT_GE(saved.find(L"<MXRGateways>"), CGatewayConfigDoc::kHeaderUnits);
    CGatewayConfigDoc again;
    ASSERT_TRUE(again.Load(path));
    EXPECT_TRUE(again.Root() == doc.Root());

    // Without a declaration (a byte-order mark alone, or nothing at all) the usual header is
    // written, and the next save writes the very same bytes.
    for (const wchar_t* start : {L"\uFEFF", L""})
    {
        WriteBytes(path, Utf16(std::wstring(start) + L"<MXRGateways><GatewayConfig><Language>"
                                                     L"English</Language></GatewayConfig>"
                                                     L"</MXRGateways>"));
        CGatewayConfigDoc bare;
        ASSERT_TRUE(bare.Load(path));
        ASSERT_EQ(bare.Save(), 1);
        const std::string first = ReadBytes(path);
        EXPECT_EQ(first.substr(0, 2 * (kHeader.size() + 2)), Utf16(kHeader + L"\r\n"));
        CGatewayConfigDoc reread;
        ASSERT_TRUE(reread.Load(path));
        EXPECT_TRUE(reread.Root() == bare.Root());
        ASSERT_EQ(reread.Save(), 1);
        EXPECT_EQ(ReadBytes(path), first);
    }
}

TEST(GatewayConfigDoc, SaveKeepsPermissionsAndLeavesNoTemporaryFiles)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    WriteBytes(path, ReadBytes(rztest::SampleDocumentPath()));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    CGatewayConfigDoc doc;
    ASSERT_TRUE(doc.Load(path));
    doc.SetSetting(L"LocalIP", L"10.2.2.2");
    ASSERT_EQ(doc.Save(), 1);
    struct stat st
    {
    };
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

// Root ignores file modes, so the folder is made read-only by a read-only bind mount in a
// mount namespace of a child process; the test's own mounts are untouched.
TEST(GatewayConfigDoc, SaveIntoAReadOnlyFolderFailsAndKeepsTheOldFile)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    const std::string original = ReadBytes(rztest::SampleDocumentPath());
    WriteBytes(path, original);

    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0)
    {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(dir.Path().c_str(), dir.Path().c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            ::mount(nullptr, dir.Path().c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                    nullptr) != 0)
            ::_exit(77);
        CGatewayConfigDoc doc;
        if (!doc.Load(path))
            ::_exit(2);
        doc.SetSetting(L"LocalIP", L"10.3.3.3");
        ::_exit(doc.Save() == -1 && doc.LastSaveError() == EROFS ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no mount namespace here (needs root)";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "save did not fail with -1 and EROFS";
    EXPECT_EQ(ReadBytes(path), original);
}

TEST(GatewayConfigDoc, ShortDeclarationPaddedWithZerosLoadsTheWholeTree)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    const std::wstring declaration = L"\uFEFF<?xml version=\"1.0\"?>";
    std::wstring text = declaration;
    text.append(CGatewayConfigDoc::kHeaderUnits - declaration.size(), L'\0');
    text += L"<MXRGateways><GatewayConfig><LocalIP>10.0.0.7</LocalIP>"
            L"<Language>Deutsch</Language></GatewayConfig><Licence>x</Licence></MXRGateways>";
    WriteBytes(path, Utf16(text));

    CGatewayConfigDoc doc;
    const auto result = doc.Load(path);
    ASSERT_TRUE(result) << result.Describe();
    EXPECT_EQ(doc.Header(), declaration);
    EXPECT_STREQ(doc.GetSetting(L"LocalIP"), L"10.0.0.7");
    ASSERT_NE(doc.Language(), nullptr);
    EXPECT_EQ(doc.Language()->value, L"Deutsch");
    EXPECT_EQ(ChildNames(&doc.Root()), (std::vector<std::wstring>{L"GatewayConfig", L"Licence"}));
}

TEST(GatewayConfigDoc, LanguageSetWithoutGatewayConfigBecomesTheLanguageHandle)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    WriteBytes(path, Document(L"<MXRGateways><Licence>x</Licence></MXRGateways>"));
    CGatewayConfigDoc doc;
    ASSERT_TRUE(doc.Load(path));
    ASSERT_EQ(doc.GatewayConfig(), nullptr);
    ASSERT_EQ(doc.Language(), nullptr);

    doc.SetSetting(L"Language", L"Deutsch");
    ASSERT_NE(doc.GatewayConfig(), nullptr);
    ASSERT_NE(doc.Language(), nullptr);
    EXPECT_EQ(doc.Language(), doc.GatewayConfig()->GetChild(L"Language"));
    EXPECT_EQ(doc.Language()->value, L"Deutsch");
    // The handle follows later changes too.
    doc.SetSetting(L"Language", L"English");
    EXPECT_EQ(doc.Language()->value, L"English");
}

TEST(GatewayConfigDoc, CdataOfUnknownElementsKeepsItsTextThroughSaves)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    const std::wstring script = L"if (a < b && c > \"d\")\n\t{ x = 'y'; } ]] >";
    WriteBytes(path, Document(L"<MXRGateways><GatewayConfig><Language>English</Language>"
                              L"<StartScript><![CDATA[" +
                              script +
                              L"]]></StartScript>"
                              L"<Banner>Fleet <![CDATA[<one> & ]]>two</Banner>"
                              L"<Padding><![CDATA[   ]]></Padding>"
                              L"</GatewayConfig></MXRGateways>"));
    CGatewayConfigDoc doc;
    ASSERT_TRUE(doc.Load(path));
    EXPECT_STREQ(doc.GetSetting(L"StartScript"), script.c_str());
    EXPECT_STREQ(doc.GetSetting(L"Banner"), L"Fleet <one> & two");
    EXPECT_STREQ(doc.GetSetting(L"Padding"), L"   ");
    const XNode before = doc.Root();

    // Written back as escaped text, it reads as the very same values.
    ASSERT_EQ(doc.Save(), 1);
    CGatewayConfigDoc again;
    ASSERT_TRUE(again.Load(path));
    EXPECT_TRUE(again.Root() == before);
    EXPECT_STREQ(again.GetSetting(L"StartScript"), script.c_str());
    ASSERT_EQ(again.Save(), 1);
    CGatewayConfigDoc third;
    ASSERT_TRUE(third.Load(path));
    EXPECT_TRUE(third.Root() == before);
}

TEST(DocumentValues, NumbersAreReadFromTheStartOfAValue)
{
    using docvalues::IntValue;
    using docvalues::UnsignedValue;
    EXPECT_EQ(IntValue(L" 2x"), 2);
    EXPECT_EQ(IntValue(L"-7"), -7);
    EXPECT_EQ(IntValue(L"x2"), 0);
    EXPECT_EQ(IntValue(L"99999999999"), 2147483647);
    EXPECT_EQ(IntValue(L"-99999999999"), -2147483647 - 1);
    EXPECT_EQ(IntValue(L"18446744073709551617"), 2147483647); // beyond 64 bits too
    EXPECT_EQ(IntValue(L"\t+19"), 19);
    // Every unsigned value the tool writes reads back as itself; a minus wraps around.
    EXPECT_EQ(UnsignedValue(L"4294967295"), 4294967295u);
    EXPECT_EQ(UnsignedValue(L"-1"), 4294967295u);
    EXPECT_EQ(UnsignedValue(L"+3"), 3u);
    EXPECT_EQ(UnsignedValue(L"4294967296"), 4294967295u);
    EXPECT_EQ(UnsignedValue(L"18446744073709551617"), 4294967295u);
    EXPECT_EQ(UnsignedValue(L""), 0u);
}
