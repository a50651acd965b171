#include "TestSupport.h"
#include "config/GatewayConfigDoc.h"
#include "model/DocumentSummary.h"
#include "platform/FileIO.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using RUROR::XNode;
using rztest::CTempDir;
using rztest::Entries;
using rztest::ReadBytes;
using rztest::Utf16;
using rztest::WriteBytes;
using Status = CGatewayConfigDoc::LoadResult::Status;

namespace
{

const std::wstring kHeader = L"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>";

std::string Document(const std::wstring& body)
{
    return Utf16(kHeader + L"\r\n" + body);
}

// A nesting of depth elements <a> inside the root.
std::wstring Nested(size_t depth)
{
    std::wstring body = L"<MXRGateways>";
    body.reserve(depth * 7 + 40);
    for (size_t i = 0; i < depth; ++i)
        body += L"<a>";
    for (size_t i = 0; i < depth; ++i)
        body += L"</a>";
    return body + L"</MXRGateways>";
}

size_t Depth(const XNode& root)
{
    size_t depth = 1;
    for (const XNode* node = &root; node->GetChildCount() > 0; node = node->GetChild(size_t{0}))
        ++depth;
    return depth;
}

// Loads, saves and loads again: the tree read the second time is the tree of the first.
void ExpectSaveKeepsTheTree(const std::string& path, CGatewayConfigDoc& doc)
{
    ASSERT_EQ(doc.Save(), 1);
    CGatewayConfigDoc again;
    again.Load(path);
    EXPECT_TRUE(again.Root() == doc.Root());
}

} // namespace

TEST(DocumentRobustness, TheSampleIsSavedAsItAlwaysWas)
{
    // The bytes that saving the sample gave before the document layer was rewritten.
    const std::string expected =
        ReadBytes(std::string(RZ_TESTS_DIR) + "/config/data/GatewayConfig-saved.XML");
    ASSERT_GT(expected.size(), 10000u);
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    WriteBytes(path, ReadBytes(rztest::SampleDocumentPath()));
    CGatewayConfigDoc doc;
    const auto result = doc.Load(path);
    ASSERT_TRUE(result) << result.Describe();
    EXPECT_FALSE(result.trailingContent);
    EXPECT_EQ(result.loneSurrogates, 0u);
    EXPECT_EQ(doc.SavedBytes(), expected);
    ASSERT_EQ(doc.Save(), 1);
    EXPECT_FALSE(doc.LastSaveInPlace());
    EXPECT_EQ(ReadBytes(path), expected);
    // The wide text and the bytes come from the same writer.
    EXPECT_EQ(Utf16(doc.Root().GetXML()), expected.substr(kHeader.size() * 2 + 4));
}

TEST(DocumentRobustness, DeepNestingIsReadToTheLimitAndNothingCrashes)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    for (const size_t depth : {size_t{254}, size_t{255}, size_t{40000}, size_t{1000000}})
    {
        WriteBytes(path, Document(Nested(depth)));
        CGatewayConfigDoc doc;
        const auto result = doc.Load(path);
        // The root and 255 levels below it fit; the next level ends the read.
        if (depth <= 255)
        {
            EXPECT_TRUE(result) << depth << ": " << result.Describe();
            EXPECT_EQ(Depth(doc.Root()), depth + 1);
            continue;
        }
        EXPECT_EQ(result.status, Status::TooDeep) << depth;
        EXPECT_FALSE(result);
        EXPECT_EQ(result.offset, static_cast<std::ptrdiff_t>(kHeader.size() + 2 + 13 + 255 * 3));
        EXPECT_NE(result.Describe().find("nested deeper than 256 levels"), std::string::npos);
        EXPECT_EQ(Depth(doc.Root()), CGatewayConfigDoc::kMaxDepth);
        const auto summary = CDocumentSummary::Of(doc, result, CToolFiles{});
        EXPECT_FALSE(summary.problems.empty());
        // What was read can be copied, compared, written and read again.
        ExpectSaveKeepsTheTree(path, doc);
    }
}

TEST(DocumentRobustness, TreesOfAnyDepthAreCopiedComparedWrittenAndFreed)
{
    // Built by a program rather than read, so no limit applies.
    for (const size_t depth : {size_t{40000}, size_t{1000000}})
    {
        XNode root(L"root", L"");
        XNode* node = &root;
        for (size_t i = 0; i < depth; ++i)
            node = node->AppendChild(L"a", L"");
        node->value = L"bottom";
        XNode copy(root);
        EXPECT_TRUE(copy == root);
        node->value = L"changed";
        EXPECT_FALSE(copy == root);
        if (depth <= 40000)
        {
            // Indentation stops growing, so the text grows linearly with the depth.
            const std::wstring text = root.GetXML();
            EXPECT_LT(text.size(), (depth + 1) * 2 * (XNode::kMaxIndent + 8));
            EXPECT_EQ(text.substr(text.size() - 9), L"</root>\r\n");
        }
        RUROR::DISP_OPT oneLine = RUROR::optDefault;
        oneLine.newline = false;
        EXPECT_EQ(root.GetXML(oneLine).size(), 13 + depth * 7 + 7);
    }
}

TEST(DocumentRobustness, WhatFollowsTheRootIsKeptByteForByteAndReported)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    const std::wstring root = L"<MXRGateways><GatewayConfig><Language>English</Language>"
                              L"</GatewayConfig></MXRGateways>";
    const std::string saved = Document(L"<MXRGateways>\r\n\t<GatewayConfig>\r\n"
                                       L"\t\t<Language>English</Language>\r\n"
                                       L"\t</GatewayConfig>\r\n</MXRGateways>");
    struct Case
    {
        std::string after; // bytes after </MXRGateways>
        bool reported;
    };
    const Case cases[] = {
        {Utf16(L"<Extra>keep me</Extra>"), true},
        {Utf16(L"\r\n<Extra>keep me</Extra>\r\n"), true},
        {Utf16(L"\r\ntext after the root"), true},
        {Utf16(L"\r\n<!-- a note -->\r\n<MXRGateways/>\r\n"), true},
        {Utf16(L"\r\n") + std::string("\x41", 1), true}, // an odd last byte
        {Utf16(L"</Bogus><<<"), true},
        {Utf16(L"\r\n"), false},
        {Utf16(L" \t\r\n\r\n"), false},
        {"", false},
    };
    for (const Case& c : cases)
    {
        WriteBytes(path, Document(root) + c.after);
        CGatewayConfigDoc doc;
        const auto result = doc.Load(path);
        ASSERT_TRUE(result) << result.Describe();
        EXPECT_EQ(result.trailingContent, c.reported);
        const auto summary = CDocumentSummary::Of(doc, result, CToolFiles{});
        const bool mentioned =
            std::any_of(summary.problems.begin(), summary.problems.end(),
                        [](const std::string& p)
                        { return p.find("after the root element") != std::string::npos; });
        EXPECT_EQ(mentioned, c.reported);
        doc.SetSetting(L"Language", L"English");
        ASSERT_EQ(doc.Save(), 1);
        EXPECT_EQ(ReadBytes(path), saved + c.after);
    }

    // A document that did not parse to its end keeps no tail of its own: the usual end.
    WriteBytes(path, Document(L"<MXRGateways><GatewayConfig>"));
    CGatewayConfigDoc partial;
    EXPECT_EQ(partial.Load(path).status, Status::ParseError);
    ASSERT_EQ(partial.Save(), 1);
    EXPECT_EQ(ReadBytes(path), Document(L"<MXRGateways>\r\n\t<GatewayConfig>\r\n"
                                        L"\t\t<Language>English</Language>\r\n"
                                        L"\t</GatewayConfig>\r\n</MXRGateways>\r\n"));
}

TEST(DocumentRobustness, LoneSurrogatesAreKeptAndReported)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    // "Ma", a high surrogate alone, "n"; a low one alone; a high one at the end of a text;
    // a pair that belongs together.
    const std::string bytes =
        Utf16(kHeader + L"\r\n<MXRGateways>\r\n\t<GatewayConfig>\r\n\t\t<Name>Ma") +
        std::string("\x00\xD8", 2) + Utf16(L"n</Name>\r\n\t\t<Low>") + std::string("\x01\xDC", 2) +
        Utf16(L"</Low>\r\n\t\t<End>x") + std::string("\xFF\xDB", 2) +
        Utf16(L"</End>\r\n\t\t<Pair>") + std::string("\x3D\xD8\xE1\xDC", 4) +
        Utf16(L"</Pair>\r\n\t\t<Language>English</Language>\r\n\t</GatewayConfig>\r\n"
              L"</MXRGateways>\r\n");
    WriteBytes(path, bytes);
    CGatewayConfigDoc doc;
    const auto result = doc.Load(path);
    ASSERT_TRUE(result) << result.Describe();
    EXPECT_EQ(result.loneSurrogates, 3u);
    EXPECT_EQ(std::wstring(doc.GetSetting(L"Name")), std::wstring(L"Ma\xD800n", 4));
    EXPECT_EQ(std::wstring(doc.GetSetting(L"Low")), std::wstring(1, wchar_t(0xDC01)));
    EXPECT_EQ(std::wstring(doc.GetSetting(L"Pair")), L"\U0001F4E1");
    const auto summary = CDocumentSummary::Of(doc, result, CToolFiles{});
    EXPECT_NE(std::find(summary.problems.begin(), summary.problems.end(),
                        "3 broken UTF-16 character(s) (lone surrogates) are kept as they are"),
              summary.problems.end());
    ASSERT_EQ(doc.Save(), 1);
    EXPECT_EQ(ReadBytes(path), bytes);

    // One in an element name counts wherever the name stands.
    const std::string name = std::string("O\0\x00\xD8", 4);
    WriteBytes(path, Utf16(kHeader + L"\r\n<MXRGateways><GatewayConfig><") + name + Utf16(L">1</") +
                         name + Utf16(L"><") + name + Utf16(L">2</") + name +
                         Utf16(L"></GatewayConfig></MXRGateways>"));
    CGatewayConfigDoc named;
    EXPECT_EQ(named.Load(path).loneSurrogates, 2u);
    size_t odd = 0;
    for (const RUROR::XNode* child : named.GatewayConfig()->GetChilds())
        odd += child->name == std::wstring(L"O\xD800", 2) ? 1 : 0;
    EXPECT_EQ(odd, 2u);

    // A character reference to a surrogate is one too.
    WriteBytes(path, Document(L"<MXRGateways><GatewayConfig><Name>a&#xD800;b</Name>"
                              L"</GatewayConfig></MXRGateways>"));
    CGatewayConfigDoc referenced;
    EXPECT_EQ(referenced.Load(path).loneSurrogates, 1u);
    EXPECT_EQ(std::wstring(referenced.GetSetting(L"Name")), std::wstring(L"a\xD800"
                                                                         L"b",
                                                                         3));
}

TEST(DocumentRobustness, FilesThatAreNoDocumentAreRefusedWithTheReason)
{
    CTempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    struct Case
    {
        std::string path;
        int error;
        const char* text;
    } const cases[] = {
        {dir.File("fifo"), ESPIPE, "cannot be opened: it is a FIFO or socket, not a regular file"},
        {"/dev/zero", ENODEV, "cannot be opened: it is a device, not a regular file"},
        {dir.Path(), EISDIR, "cannot be opened: it is a folder, not a regular file"},
    };
    for (const Case& c : cases)
    {
        CGatewayConfigDoc doc;
        const auto result = doc.Load(c.path);
        EXPECT_EQ(result.status, Status::CannotOpen);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(result.Describe(), c.text);
        EXPECT_FALSE(doc.IsLoaded());
    }
}

TEST(DocumentRobustness, HostileDocumentsLoadAsFarAsTheyGoAndSaveWhatWasRead)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    const std::string sample = ReadBytes(rztest::SampleDocumentPath());

    // Cut at many places: whatever was read is written back and reads the same again.
    for (size_t cut = 0; cut <= sample.size(); cut += 41)
    {
        WriteBytes(path, sample.substr(0, cut));
        CGatewayConfigDoc doc;
        const auto result = doc.Load(path);
        ASSERT_TRUE(doc.IsLoaded()) << cut;
        const Status expected = cut <= 82                 ? Status::TooShort
                                : cut < sample.size() - 4 ? Status::ParseError
                                                          : Status::Ok;
        EXPECT_EQ(result.status, expected) << cut;
        ExpectSaveKeepsTheTree(path, doc);
    }

    // Random bytes after a proper header, and random changes of the sample.
    std::mt19937 random(20261206);
    for (int round = 0; round < 100; ++round)
    {
        std::string bytes = round % 2 == 0 ? Utf16(kHeader + L"\r\n") : sample;
        if (round % 2 == 0)
        {
            for (int i = 0; i < 2000; ++i)
                bytes.push_back(static_cast<char>(random() % 256));
        }
        else
        {
            for (int i = 0; i < 20; ++i)
                bytes[82 + random() % (bytes.size() - 82)] = static_cast<char>(random() % 256);
        }
        WriteBytes(path, bytes);
        CGatewayConfigDoc doc;
        doc.Load(path);
        ASSERT_TRUE(doc.IsLoaded());
        ExpectSaveKeepsTheTree(path, doc);
    }

    // A million elements, and a value of a megabyte with references and characters beyond
    // the basic plane.
    std::wstring many = L"<MXRGateways><GatewayConfig><Language>English</Language><List>";
    for (int i = 0; i < 1000000; ++i)
        many += L"<e/>";
    many += L"</List></GatewayConfig></MXRGateways>";
    WriteBytes(path, Document(many));
    {
        CGatewayConfigDoc doc;
        ASSERT_TRUE(doc.Load(path));
        EXPECT_EQ(doc.GatewayConfig()->GetChild(L"List")->GetChildCount(), 1000000u);
        ExpectSaveKeepsTheTree(path, doc);
    }
    std::wstring big;
    while (big.size() < 1024 * 1024)
        big += L"a&amp;b&lt;c\U0001F4E1 ";
    WriteBytes(path, Document(L"<MXRGateways><GatewayConfig><Language>English</Language>"
                              L"<Big>" +
                              big + L"</Big></GatewayConfig></MXRGateways>"));
    {
        CGatewayConfigDoc doc;
        ASSERT_TRUE(doc.Load(path));
        EXPECT_EQ(std::wstring_view(doc.GetSetting(L"Big")).substr(0, 8), L"a&b<c\U0001F4E1 a");
        ExpectSaveKeepsTheTree(path, doc);
    }
}

// A child saves two versions of a largish document in turn, and is killed at random
// moments. Every time the document reads as one of the two, and no temporary file stays.
TEST(DocumentRobustness, KilledSavesLeaveTheOldOrTheNewDocumentAndNoTemporaryFile)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    std::wstring body = L"<MXRGateways><GatewayConfig><LocalIP>10.0.0.1</LocalIP>"
                        L"<Language>English</Language><QuorixStations><Stations>";
    for (int i = 0; i < 1000; ++i)
        body += L"<Station><Used>TRUE</Used><Name>Station " + std::to_wstring(i) +
                L"</Name><IPAddress>10.1." + std::to_wstring(i / 250) + L"." +
                std::to_wstring(i % 250) + L"</IPAddress></Station>";
    body += L"</Stations></QuorixStations></GatewayConfig></MXRGateways>";
    WriteBytes(path, Document(body));
    XNode versions[2];
    // Loaded once; each child saves the copy it inherits.
    CGatewayConfigDoc saver;
    ASSERT_TRUE(saver.Load(path));
    versions[0] = saver.Root();
    saver.SetSetting(L"LocalIP", L"10.0.0.2");
    versions[1] = saver.Root();
    ASSERT_EQ(saver.Save(), 1);
    ASSERT_GT(ReadBytes(path).size(), 150000u);

    std::mt19937 random(77);
    int sawTemporary = 0;
    for (int kill = 0; kill < 250; ++kill)
    {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_NE(child, -1);
        if (child == 0)
        {
            for (int i = 0;; ++i)
            {
                saver.SetSetting(L"LocalIP", i % 2 == 0 ? L"10.0.0.1" : L"10.0.0.2");
                if (saver.Save() != 1)
                    ::_exit(3);
                if (i == 0 && ::write(ready[1], "r", 1) != 1)
                    ::_exit(4);
            }
        }
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the saving child ended early";
        ::close(ready[0]);
        // A few saves' time, so that the kill falls anywhere in one.
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 5000));
        ASSERT_EQ(::kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child ended by itself: " << status;

        CGatewayConfigDoc doc;
        ASSERT_TRUE(doc.Load(path)) << "after kill " << kill;
        ASSERT_TRUE(doc.Root() == versions[0] || doc.Root() == versions[1]) << kill;
        // A save killed between naming its file and the rename leaves it for the next save.
        if (Entries(dir.Path()).size() > 1)
            ++sawTemporary;
    }
    // The file gets its name only just before the rename, so few kills fall between the two
    // (a handful in 250 on a busy machine); a file named when the save starts would be left by
    // about one kill in five.
    EXPECT_LE(sawTemporary, 20);
    CGatewayConfigDoc doc;
    ASSERT_TRUE(doc.Load(path));
    ASSERT_EQ(doc.Save(), 1);
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"GatewayConfig.XML"});
}

// A writable document in a folder that its user may not write is saved in place, and the
// document says so; the user is the unprivileged one, in a child process.
TEST(DocumentRobustness, ADocumentInAClosedFolderIsSavedInPlaceAndSaysSo)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to set up the folder";
    CTempDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    const std::string path = dir.File("GatewayConfig.XML");
    WriteBytes(path, ReadBytes(rztest::SampleDocumentPath()));
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0)
    {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
            ::setresuid(65534, 65534, 65534) != 0)
            ::_exit(77);
        CGatewayConfigDoc doc;
        if (!doc.Load(path))
            ::_exit(2);
        doc.SetSetting(L"LocalIP", L"10.9.9.9");
        ::_exit(doc.Save() == 1 && doc.LastSaveInPlace() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "cannot give up root here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "not saved in place";
    CGatewayConfigDoc doc;
    ASSERT_TRUE(doc.Load(path));
    EXPECT_STREQ(doc.GetSetting(L"LocalIP"), L"10.9.9.9");
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"GatewayConfig.XML"});
}
