#include "TestSupport.h"
#include "platform/IniFile.h"

#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace rz;
using rztest::CTempDir;
using rztest::ReadBytes;
using rztest::WriteBytes;

namespace
{

const char* const kGatewayIni = "; written by the installer\r\n"
                                "[General]\r\n"
                                "HeartbeatSeconds = 30 \r\n"
                                "\r\n"
                                "[TelemetryGpsFlagStrings]\r\n"
                                "; 0 km/h, 1 mph, 2 knots\r\n"
                                "speedUnit=2\r\n"
                                "SPEEDUNIT=1\r\n"
                                "Label=\"  quoted  \"\r\n"
                                "Negative=-1\r\n"
                                "Words=abc\r\n"
                                "Mixed=12abc\r\n"
                                "\r\n"
                                "[telemetrygpsflagstrings]\r\n"
                                "Later=ignored\r\n";

} // namespace

TEST(IniFile, ReadsWithWindowsSemantics)
{
    CTempDir dir;
    WriteBytes(dir.File("Gateway.ini"), kGatewayIni);
    CIniFile ini;
    ASSERT_EQ(ini.Load(dir.File("Gateway.ini")), 0);

    // Sections and keys without regard to case; the first of each name wins.
    EXPECT_EQ(ini.GetString(L"TELEMETRYGPSFLAGSTRINGS", L"SPEEDUNIT", L"x"), L"2");
    EXPECT_EQ(ini.GetString(L"TELEMETRYGPSFLAGSTRINGS", L"Later", L"none"), L"none");
    // Values are trimmed and lose one pair of quotes; the length limit cuts.
    EXPECT_EQ(ini.GetString(L"General", L"heartbeatseconds", L""), L"30");
    EXPECT_EQ(ini.GetString(L"TelemetryGpsFlagStrings", L"Label", L""), L"  quoted  ");
    EXPECT_EQ(ini.GetString(L"General", L"HeartbeatSeconds", L"", 1), L"3");
    // Integers: missing gives the default, text gives 0, a minus wraps around.
    EXPECT_EQ(ini.GetInt(L"TelemetryGpsFlagStrings", L"Missing", 7), 7u);
    EXPECT_EQ(ini.GetInt(L"TelemetryGpsFlagStrings", L"Words", 7), 0u);
    EXPECT_EQ(ini.GetInt(L"TelemetryGpsFlagStrings", L"Mixed", 7), 12u);
    EXPECT_EQ(ini.GetInt(L"TelemetryGpsFlagStrings", L"Negative", 0), 4294967295u);
    // Comments are not keys.
    EXPECT_FALSE(ini.Get(L"TelemetryGpsFlagStrings", L"; 0 km/h, 1 mph, 2 knots").has_value());
}

TEST(IniFile, NamesAndValuesAreReadAsWindowsReadsThem)
{
    CTempDir dir;
    const std::string path = dir.File("RaviraZazu_Gateway.ini");
    WriteBytes(path, "[ Spaced ]\r\n"
                     "Key=1\r\n"
                     "[Values]\r\n"
                     "Single='  a  '\r\n"
                     "Open=\"abc\r\n"
                     "Gap=1 2\r\n"
                     "; Old=5\r\n"
                     "Old=6\r\n"
                     "old=7\r\n");
    CIniFile ini;
    ASSERT_EQ(ini.Load(path), 0);
    // Blanks inside the brackets do not count; single quotes go like double ones, but only
    // in pairs; a number ends at its first non-digit.
    EXPECT_EQ(ini.GetString(L"Spaced", L"Key", L"none"), L"1");
    EXPECT_EQ(ini.GetString(L"Values", L"Single", L""), L"  a  ");
    EXPECT_EQ(ini.GetString(L"Values", L"Open", L""), L"\"abc");
    EXPECT_EQ(ini.GetInt(L"Values", L"Gap", 7), 1u);
    // A section's keys in file order: no comment among them, each name once, the first.
    const std::vector<std::pair<std::wstring, std::wstring>> expected = {
        {L"Single", L"  a  "}, {L"Open", L"\"abc"}, {L"Gap", L"1 2"}, {L"Old", L"6"}};
    EXPECT_EQ(ini.Section(L"VALUES"), expected);
}

TEST(IniFile, WritingOneKeyKeepsEveryOtherByte)
{
    CTempDir dir;
    const std::string path = dir.File("Gateway.ini");
    WriteBytes(path, kGatewayIni);

    ASSERT_TRUE(WritePrivateProfileString(L"TELEMETRYGPSFLAGSTRINGS", L"SPEEDUNIT", L"0", path));
    std::string expected = kGatewayIni;
    expected.replace(expected.find("speedUnit=2"), 11, "speedUnit=0");
    EXPECT_EQ(ReadBytes(path), expected);

    // A new key goes to the end of its section, before the blank separator line.
    ASSERT_TRUE(WritePrivateProfileString(L"General", L"MaxCallSeconds", L"180", path));
    expected.replace(expected.find("HeartbeatSeconds = 30 \r\n") + 24, 0, "MaxCallSeconds=180\r\n");
    EXPECT_EQ(ReadBytes(path), expected);

    // A new section is appended at the end.
    ASSERT_TRUE(WritePrivateProfileString(L"Settings", L"ServiceName", L"Gw", path));
    expected += "[Settings]\r\nServiceName=Gw\r\n";
    EXPECT_EQ(ReadBytes(path), expected);
}

TEST(IniFile, AValueTheFileHoldsIsNotWrittenAgain)
{
    CTempDir dir;
    const std::string path = dir.File("profile.ini");
    WriteBytes(path, kGatewayIni);
    // A save replaces the file by a new one; an unchanged file keeps its inode.
    const auto inode = [&]
    {
        struct stat st
        {
        };
        return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
    };
    const auto before = inode();

    ASSERT_TRUE(WritePrivateProfileString(L"general", L"HeartbeatSeconds", L"30", path));
    EXPECT_EQ(inode(), before);
    EXPECT_EQ(ReadBytes(path), kGatewayIni);

    // Another value, or the same value for a key that is missing, is written.
    ASSERT_TRUE(WritePrivateProfileString(L"General", L"HeartbeatSeconds", L"31", path));
    EXPECT_NE(inode(), before);
    EXPECT_EQ(GetPrivateProfileString(L"General", L"HeartbeatSeconds", L"", path), L"31");
    ASSERT_TRUE(WritePrivateProfileString(L"General", L"Other", L"", path));
    EXPECT_TRUE(GetPrivateProfileString(L"General", L"Other", L"none", path).empty());
}

TEST(IniFile, KeepsEncodingAndCreatesMissingFiles)
{
    CTempDir dir;
    // UTF-16 with a byte-order mark and a value outside ASCII stays UTF-16.
    const std::string utf16Path = dir.File("utf16.ini");
    WriteBytes(utf16Path,
               "\xFF\xFE" + rztest::Utf16(L"[Settings]\r\nName=Zentrale \u00C4\r\nKey=1\r\n"));
    ASSERT_TRUE(WritePrivateProfileString(L"settings", L"key", L"2", utf16Path));
    EXPECT_EQ(ReadBytes(utf16Path),
              "\xFF\xFE" + rztest::Utf16(L"[Settings]\r\nName=Zentrale \u00C4\r\nKey=2\r\n"));
    EXPECT_EQ(GetPrivateProfileString(L"Settings", L"Name", L"", utf16Path), L"Zentrale \u00C4");

    // Bytes that are not UTF-8 (an old ANSI file) come back unchanged.
    const std::string ansiPath = dir.File("ansi.ini");
    WriteBytes(ansiPath, "[A]\ncaf\xE9=1\nx=1\n");
    ASSERT_TRUE(WritePrivateProfileString(L"A", L"x", L"2", ansiPath));
    EXPECT_EQ(ReadBytes(ansiPath), "[A]\ncaf\xE9=1\nx=2\n");

    // A file without a final line break gets one before the new line.
    const std::string bare = dir.File("bare.ini");
    WriteBytes(bare, "[A]\nx=1");
    ASSERT_TRUE(WritePrivateProfileString(L"A", L"y", L"2", bare));
    EXPECT_EQ(ReadBytes(bare), "[A]\nx=1\ny=2\n");
    // The same for a new section: it starts on a line of its own.
    const std::string bareEnd = dir.File("bare-end.ini");
    WriteBytes(bareEnd, "[A]\r\nx=1");
    ASSERT_TRUE(WritePrivateProfileString(L"B", L"y", L"2", bareEnd));
    EXPECT_EQ(ReadBytes(bareEnd), "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
    EXPECT_EQ(GetPrivateProfileString(L"B", L"y", L"", bareEnd), L"2");

    // UTF-8 with a byte-order mark: the first section is found, and the mark is kept.
    const std::string bomPath = dir.File("bom.ini");
    WriteBytes(bomPath, "\xEF\xBB\xBF[Settings]\r\nServiceName=Zentrale \xC3\x84\r\n");
    EXPECT_EQ(GetPrivateProfileString(L"Settings", L"ServiceName", L"", bomPath),
              L"Zentrale \u00C4");
    ASSERT_TRUE(WritePrivateProfileString(L"Settings", L"ServiceName", L"Gw", bomPath));
    EXPECT_EQ(ReadBytes(bomPath), "\xEF\xBB\xBF[Settings]\r\nServiceName=Gw\r\n");

    const std::string fresh = dir.File("fresh.ini");
    ASSERT_TRUE(WritePrivateProfileString(L"S", L"K", L"V", fresh));
    EXPECT_EQ(ReadBytes(fresh), "[S]\nK=V\n");
    EXPECT_EQ(GetPrivateProfileString(L"S", L"K", L"", dir.File("absent.ini")), L"");
    EXPECT_FALSE(WritePrivateProfileString(L"S", L"K", L"V", dir.File("no/such/folder.ini")));
}

// Root reads every file, so the write runs in a child process that has given up root for
// the unprivileged user; the file is one that user may not read, in a folder it may write.
TEST(IniFile, AFileThatCannotBeReadIsNotOverwritten)
{
    CTempDir dir;
    const std::string folder = dir.File("tool");
    std::filesystem::create_directory(folder);
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    const std::string path = folder + "/Gateway.ini";
    WriteBytes(path, kGatewayIni);
    // Anyone may write it, nobody may read it: writing only the new key would lose the rest.
    ASSERT_EQ(::chmod(path.c_str(), 0222), 0);

    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0)
    {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
             ::setresuid(65534, 65534, 65534) != 0))
            ::_exit(77);
        if (GetPrivateProfileString(L"General", L"HeartbeatSeconds", L"none", path) != L"none")
            ::_exit(77); // the file could be read after all
        ::_exit(WritePrivateProfileString(L"Settings", L"ServiceName", L"Gw", path) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "cannot make a file unreadable here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write reported success";
    EXPECT_EQ(ReadBytes(path), kGatewayIni);
}
