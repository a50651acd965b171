#include "LanguageFiles.h"
#include "PrivateBus.h"
#include "SystemdStandIn.h"
#include "TestSupport.h"
#include "cli/CliApp.h"
#include "config/GatewayConfigDoc.h"
#include "model/BasicSettings.h"
#include "platform/TextCodec.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using rztest::CTempDir;
using rztest::ReadBytes;
using rztest::Utf16Document;
using rztest::WriteBytes;

namespace
{

struct CliRun
{
    int status;
    std::string out;
    std::string err;
};

CliRun RunCli(std::vector<std::string> args)
{
    std::ostringstream out;
    std::ostringstream err;
    CCliApp app(out, err);
    const int status = app.Run(args);
    return {status, out.str(), err.str()};
}

// RunCli on one document and tool folder: the arguments after --document and --tool-dir.
auto RunCliOn(const std::string& document, const std::string& toolDir)
{
    return [document, toolDir](std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--document", document, "--tool-dir", toolDir});
        return RunCli(std::move(args));
    };
}

// Runs the real executable with an argument vector and collects its standard output and error.
CliRun RunExecutable(const std::vector<std::string>& args)
{
    std::vector<std::string> argv{RZ_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    const rztest::CProgramRun run = rztest::RunProgramCaptured(argv);
    return {run.status, run.out, run.err};
}

// A document of these GatewayConfig children, English chosen.
std::string Config(const std::wstring& children)
{
    return Utf16Document(L"<MXRGateways><GatewayConfig><Language>English</Language>" + children +
                         L"</GatewayConfig></MXRGateways>");
}

// A document (the sample's unless other bytes are given) in a folder of its own and a copy of
// the sample tool folder (RTP types, language files) in a temporary folder; Run() runs the
// command line on them.
class CliDocument
{
public:
    explicit CliDocument(const std::string& bytes = ReadBytes(rztest::SampleDocumentPath()))
    {
        std::filesystem::create_directories(m_dir.File("data"));
        WriteBytes(Path(), bytes);
        std::filesystem::copy(rztest::SampleToolDir(), Tool(),
                              std::filesystem::copy_options::recursive);
    }
    std::string Path() const { return m_dir.File("data/GatewayConfig.XML"); }
    std::string Tool() const { return m_dir.File("tool"); }
    std::string File(const std::string& name) const { return m_dir.File(name); }
    CliRun Run(std::vector<std::string> args) const { return RunCliOn(Path(), Tool())(args); }
    nlohmann::json Json(std::vector<std::string> args, int status = CCliApp::kDone) const
    {
        args.insert(args.begin(), "--json");
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, status) << run.err;
        return nlohmann::json::parse(run.out);
    }
    // Every file of the tool's folder and the document, for "nothing changed".
    std::string Files() const
    {
        std::string all = ReadBytes(Path());
        for (const auto& entry : std::filesystem::recursive_directory_iterator(Tool()))
            if (entry.is_regular_file())
                all += entry.path().string() + ReadBytes(entry.path().string());
        return all;
    }

private:
    CTempDir m_dir;
};

} // namespace

TEST(Cli, CheckCountsTheSampleDocument)
{
    const std::string sample = rztest::SampleDocumentPath();
    const CliRun run = RunCli({"--document", sample, "check"});
    EXPECT_EQ(run.status, CCliApp::kDone) << run.out << run.err;
    EXPECT_NE(run.out.find("Radio servers:     2 (1 active)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Dispatch stations: 3 (2 active)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Repeaters:         2 (4 slots)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Problems:          none"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Note: dispatch station 192.168.13.101 is not active"),
              std::string::npos);

    const CliRun json = RunCli({"--json", "--document=" + sample, "check"});
    EXPECT_EQ(json.status, CCliApp::kDone);
    const auto parsed = nlohmann::json::parse(json.out);
    EXPECT_EQ(parsed["radioServers"], (nlohmann::json{{"total", 2}, {"active", 1}}));
    EXPECT_EQ(parsed["dispatchStations"], (nlohmann::json{{"total", 3}, {"active", 2}}));
    EXPECT_EQ(parsed["repeaters"], (nlohmann::json{{"total", 2}, {"slots", 4}}));
    EXPECT_TRUE(parsed["problems"].empty());
    EXPECT_EQ(parsed["document"], sample);

    // The real program prints the same.
    CTempDir state;
    rztest::CScopedEnv stateHome("XDG_STATE_HOME", state.Path());
    const CliRun real = RunExecutable({"--document", sample, "check"});
    EXPECT_EQ(real.status, 0);
    EXPECT_EQ(real.out, run.out);
}

TEST(Cli, CheckReportsProblemsWithTheirExitStatus)
{
    const CliDocument doc(Utf16Document(L"<MXRGateways><GatewayConfig><LocalIP>1.2.3.4</LocalIP>"
                                        L"</GatewayConfig></MXRGateways>"));
    const CliRun missingParts = doc.Run({"check"});
    EXPECT_EQ(missingParts.status, CCliApp::kRefused);
    EXPECT_NE(missingParts.out.find("Language was missing"), std::string::npos);
    EXPECT_NE(missingParts.out.find("RadioServers is missing"), std::string::npos);
    EXPECT_NE(missingParts.out.find("Stations is missing"), std::string::npos);

    WriteBytes(doc.Path(),
               Utf16Document(L"<MXRGateways><GatewayConfig><LocalIP>1.2.3.4</LocalIPP>"));
    const CliRun broken = doc.Run({"check"});
    EXPECT_EQ(broken.status, CCliApp::kDocumentError);
    EXPECT_NE(broken.out.find("does not parse"), std::string::npos) << broken.out;
    EXPECT_EQ(doc.Json({"check"}, CCliApp::kDocumentError)["readable"], false);

    const CliRun absent = RunCli({"--document", doc.File("none.XML"), "check"});
    EXPECT_EQ(absent.status, CCliApp::kDocumentError);
    EXPECT_NE(absent.err.find("No such file"), std::string::npos);
}

TEST(Cli, RewriteSavesAnEquivalentDocumentAndRefusesABrokenOne)
{
    const CliDocument doc;
    const std::string path = doc.Path();
    const CliRun run = doc.Run({"rewrite"});
    ASSERT_EQ(run.status, CCliApp::kDone) << run.err;
    EXPECT_EQ(run.out, "Rewrote " + path + "\n");

    CGatewayConfigDoc original;
    CGatewayConfigDoc rewritten;
    ASSERT_TRUE(original.Load(rztest::SampleDocumentPath()));
    ASSERT_TRUE(rewritten.Load(path));
    EXPECT_TRUE(original.Root() == rewritten.Root());

    const std::string broken = Utf16Document(L"<MXRGateways><GatewayConfig><LocalIP>x</Local");
    WriteBytes(path, broken);
    const CliRun refused = doc.Run({"rewrite"});
    EXPECT_EQ(refused.status, CCliApp::kDocumentError);
    EXPECT_NE(refused.err.find("not changed"), std::string::npos);
    EXPECT_EQ(ReadBytes(path), broken);

    // The real program leaves a record of the refusal in the tool's log, and of a save.
    CTempDir state;
    rztest::CScopedEnv stateHome("XDG_STATE_HOME", state.Path());
    EXPECT_EQ(RunExecutable({"--document", path, "rewrite"}).status, CCliApp::kDocumentError);
    const std::string saved = doc.File("Saved.XML");
    WriteBytes(saved, ReadBytes(rztest::SampleDocumentPath()));
    EXPECT_EQ(RunExecutable({"--document", saved, "rewrite"}).status, CCliApp::kDone);
    const auto logDir = std::filesystem::path(state.Path()) / "RaviraZazu" / "log";
    ASSERT_TRUE(std::filesystem::exists(logDir));
    std::wstring logText;
    for (const auto& entry : std::filesystem::directory_iterator(logDir))
        logText += rz::Utf16LeToWide(ReadBytes(entry.path().string()).substr(2));
    EXPECT_NE(logText.find(L"does not parse"), std::wstring::npos) << rz::WideToUtf8(logText);
    EXPECT_NE(logText.find(L"rewrite: " + rz::Utf8ToWide(saved) + L" saved"), std::wstring::npos)
        << rz::WideToUtf8(logText);
}

TEST(Cli, UsageErrorsNameTheCommandAndWhereHelpIs)
{
    const std::vector<std::string> mistyped[] = {
        {},
        {"frobnicate"},
        {"--document"},
        {"--colour", "check"},
        {"check", "extra"},
        {"server", "change", "1.1.1.1", "2.2.2.2", "3", "--row", "0"},
        {"--tool-dir=", "check"},
    };
    for (const auto& args : mistyped)
        EXPECT_EQ(RunCli(args).status, CCliApp::kUsage) << testing::PrintToString(args);
    // An empty path would fall back to the machine's own document: refused.
    const CliRun empty = RunCli({"--document", "", "basic", "set", "local-port=7777"});
    EXPECT_EQ(empty.status, CCliApp::kUsage);
    EXPECT_NE(empty.err.find("--document"), std::string::npos) << empty.err;
    const CliRun missing = RunCli({"server", "add", "10.0.0.1"});
    EXPECT_EQ(missing.status, CCliApp::kUsage);
    EXPECT_EQ(missing.err, "ravirazazu-cli: PORT is required\n"
                           "Usage: ravirazazu-cli server add IP PORT\n"
                           "Try 'ravirazazu-cli --help'.\n");
    const CliDocument doc;
    const CliRun value = doc.Run({"server", "add", "10.0.0.x", "1"});
    EXPECT_EQ(value.status, CCliApp::kUsage);
    EXPECT_EQ(value.err, "ravirazazu-cli: server-ip: the field does not take 10.0.0.x\n"
                         "Try 'ravirazazu-cli --help'.\n");
    EXPECT_EQ(ReadBytes(doc.Path()), ReadBytes(rztest::SampleDocumentPath()));
    const CliRun help = RunCli({"--help"});
    EXPECT_EQ(help.status, CCliApp::kDone);
    EXPECT_NE(help.out.find("rewrite"), std::string::npos);
    EXPECT_EQ(RunCli({"--version"}).out, "ravirazazu-cli 0.1.0\n");
}

TEST(Cli, ATestConnectionWithoutAnIpIsRefusedWithDebugOutputOnlyWhenAsked)
{
    CTempDir dir;
    const CliRun run = RunCli({"--document", dir.File("none.XML"), "test-connection", ""});
    EXPECT_EQ(run.status, CCliApp::kRefused);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "The value is required\n");

    // The connection test's adapter search is a notifier: its end is a line of debugger output.
    rztest::CScopedEnv state("XDG_STATE_HOME", dir.File("state"));
    const std::vector<std::string> args = {"--document", dir.File("none.XML"), "test-connection",
                                           ""};
    {
        rztest::CScopedEnv debug("RAVIRAZAZU_DEBUG", "1");
        ::unsetenv("RAVIRAZAZU_DEBUG");
        EXPECT_EQ(RunExecutable(args).err, "The value is required\n");
    }
    rztest::CScopedEnv debug("RAVIRAZAZU_DEBUG", "1");
    EXPECT_EQ(RunExecutable(args).err, "The value is required\nDelete CNotifierBase\r\n");
}

TEST(Cli, WithoutOptionsTheMachinesDocumentAndTheProgramsFolderAreUsed)
{
    CTempDir data;
    rztest::CScopedEnv appData("RAVIRAZAZU_COMMON_APPDATA", data.Path());
    std::filesystem::create_directories(data.File("Quorix/MXR Gateway 4.5"));
    const std::string path = data.File("Quorix/MXR Gateway 4.5/GatewayConfig.XML");
    WriteBytes(path, ReadBytes(rztest::SampleDocumentPath()));
    const CliRun check = RunCli({"check"});
    EXPECT_EQ(check.status, CCliApp::kDone) << check.err;
    EXPECT_EQ(check.out.substr(0, check.out.find('\n')), "Document:          " + path);
    // The sample tool files lie beside the executables, the test program among them.
    const CliRun list = RunCli({"language", "list"});
    EXPECT_NE(list.out.find("  Deutsch (German)  Deutsch\n"), std::string::npos) << list.out;
}

TEST(Cli, TheReadmeShowsTheHelpAsItIs)
{
    // The README's command-line section is the program's own help, between its markers.
    std::ifstream readme(std::string(RZ_EXAMPLES_DIR) + "/../README.md");
    const std::string text((std::istreambuf_iterator<char>(readme)),
                           std::istreambuf_iterator<char>());
    const std::string begin = "<!-- ravirazazu-cli --help -->\n```\n";
    const auto from = text.find(begin);
    ASSERT_NE(from, std::string::npos);
    const auto to = text.find("```", from + begin.size());
    ASSERT_NE(to, std::string::npos);
    std::string help = RunCli({"--help"}).out;
    EXPECT_EQ(text.substr(from + begin.size(), to - from - begin.size()), help);
}

TEST(Cli, JsonIsValidForAnyPath)
{
    CTempDir dir;
    // A file name that is not UTF-8, as Linux allows.
    const std::string path = dir.File("Gateway\xff\xfe\"Config\".XML");
    WriteBytes(path, ReadBytes(rztest::SampleDocumentPath()));
    const CliRun run = RunCli({"--json", "--document", path, "check"});
    EXPECT_EQ(run.status, CCliApp::kDone) << run.err;
    nlohmann::json parsed;
    ASSERT_NO_THROW(parsed = nlohmann::json::parse(run.out)) << run.out;
    EXPECT_EQ(parsed["document"], dir.File("Gateway\uFFFD\uFFFD\"Config\".XML"));

    // Backslashes, line breaks, tabs and other control characters, as a name may hold them.
    const std::string odd = dir.File("a\\b\nc\td\re\x01f.XML");
    WriteBytes(odd, ReadBytes(rztest::SampleDocumentPath()));
    const CliRun escaped = RunCli({"--json", "--document", odd, "check"});
    ASSERT_NO_THROW(parsed = nlohmann::json::parse(escaped.out)) << escaped.out;
    EXPECT_EQ(parsed["document"], odd);
    EXPECT_EQ(escaped.out.find('\n'), escaped.out.size() - 1); // one line
}

TEST(Cli, LanguagesAreListedShownAndChosen)
{
    const CliDocument doc;
    const std::string path = doc.Path();
    const CliRun list = doc.Run({"language", "list"});
    EXPECT_EQ(list.status, CCliApp::kDone);
    EXPECT_NE(list.out.find("  Deutsch (German)  Deutsch\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("* English           English\n"), std::string::npos) << list.out;
    const auto initially = doc.Json({"language", "list"});
    ASSERT_EQ(initially["languages"].size(), 2u);
    EXPECT_EQ(initially["languages"][0]["current"], false);
    EXPECT_EQ(initially["languages"][1]["current"], true);
    EXPECT_EQ(doc.Run({"language", "text", "10030"}).out, "Failed to save!\n");

    // An unknown name changes nothing.
    const std::string before = ReadBytes(path);
    const CliRun refused = doc.Run({"language", "set", "Klingon"});
    EXPECT_EQ(refused.status, CCliApp::kRefused);
    EXPECT_NE(refused.err.find("choose one of: Deutsch English"), std::string::npos) << refused.err;
    EXPECT_EQ(ReadBytes(path), before);

    const CliRun chosen = doc.Run({"language", "set", "deutsch (GERMAN)"});
    EXPECT_EQ(chosen.status, CCliApp::kDone) << chosen.err;
    EXPECT_EQ(chosen.out, "Language set to Deutsch (Deutsch (German))\n");
    EXPECT_EQ(chosen.err, "");
    const CliRun marked = doc.Run({"language", "list"});
    EXPECT_NE(marked.out.find("* Deutsch (German)  Deutsch\n"), std::string::npos) << marked.out;
    EXPECT_NE(marked.out.find("  English           English\n"), std::string::npos) << marked.out;
    const auto listed = doc.Json({"language", "list"});
    EXPECT_EQ(listed["current"], "Deutsch");
    ASSERT_EQ(listed["languages"].size(), 2u);
    EXPECT_EQ(listed["languages"][0]["current"], true);
    EXPECT_EQ(listed["languages"][1]["current"], false);
    CGatewayConfigDoc saved;
    ASSERT_TRUE(saved.Load(path));
    EXPECT_EQ(saved.Language()->value, L"Deutsch");
    EXPECT_EQ(doc.Run({"language", "text", "10030"}).out, "Speichern fehlgeschlagen!\n");
    // An ID without a text in the language shows nothing, as in the window.
    EXPECT_EQ(doc.Run({"language", "text", "99999"}).out, "\n");
    EXPECT_EQ(doc.Run({"language", "frob"}).status, CCliApp::kUsage);

    // The list is sorted as the page sorts it, without regard to case; a file that is not
    // named after its language is chosen with a note, since the tool finds files by name.
    CTempDir other;
    std::filesystem::create_directories(other.File("language"));
    for (const auto& [name, display] :
         {std::pair{"English.xml", L"English"}, std::pair{"dansk.xml", L"dansk"},
          std::pair{"Old.xml", L"Zulu"}})
        rztest::WriteLanguageFile(other.File("language/") + name,
                                  {{L"Language", {{L"Display", display}, {L"Language", display}}}});
    const auto onOther = RunCliOn(path, other.Path());
    EXPECT_EQ(onOther({"language", "list"}).out, "  Display  Language\n"
                                                 "  dansk    dansk\n"
                                                 "  English  English\n"
                                                 "  Zulu     Zulu\n");
    const CliRun zulu = onOther({"language", "set", "Zulu"});
    EXPECT_EQ(zulu.status, CCliApp::kDone) << zulu.err;
    EXPECT_EQ(zulu.err, "ravirazazu-cli: note: the file is named " +
                            other.File("language/Old.xml") +
                            ", not after its language; the tool will fall back to English.XML\n");
    // Without language files there is nothing to list, and the list says where it looked.
    CTempDir empty;
    EXPECT_EQ(RunCliOn(path, empty.Path())({"language", "list"}).out,
              "No language files in " + empty.File("Language") + "\n");
}

TEST(Cli, MessagesTheLanguageLacksAreGivenInEnglish)
{
    // A language with one text only: the window shows nothing for the others, the command
    // line's own messages fall back to English.
    CTempDir dir;
    std::filesystem::create_directories(dir.File("tool/language"));
    rztest::WriteLanguageFile(dir.File("tool/language/Sparse.xml"),
                              {{L"Language", {{L"Display", L"Sparse"}, {L"Language", L"Sparse"}}},
                               {L"Texts", {{L"10030", L"Nicht gespeichert"}}}});
    const std::string path = dir.File("GatewayConfig.XML");
    WriteBytes(path, Utf16Document(L"<MXRGateways><GatewayConfig><Language>Sparse</Language>"
                                   L"</GatewayConfig></MXRGateways>"));
    const auto run = RunCliOn(path, dir.File("tool"));
    EXPECT_EQ(run({"language", "text", "10030"}).out, "Nicht gespeichert\n");
    EXPECT_EQ(run({"language", "text", "10038"}).out, "\n");
    for (int i = 1; i <= 5; ++i)
        ASSERT_EQ(run({"server", "add", "10.0.0." + std::to_string(i), "4000"}).status,
                  CCliApp::kDone);
    EXPECT_EQ(run({"server", "add", "10.0.0.6", "4000"}).err,
              "ravirazazu-cli: You can only add no more than 5 radio servers.\n");
    // The speed units have no labels here: an empty name is none of them.
    EXPECT_EQ(run({"basic", "set", "speed-unit="}).status, CCliApp::kUsage);
}

TEST(Cli, CheckNamesWhatASaveRefusesOrRemoves)
{
    const std::wstring server = L"<RadioServer><Used>TRUE</Used><IPAddress>10.0.0.1</IPAddress>"
                                L"<IPPort>1</IPPort></RadioServer>";
    std::wstring five;
    for (const wchar_t* last : {L"1", L"2", L"3", L"4", L"5"})
        five += L"<RadioServer><Used>TRUE</Used><IPAddress>10.0.0." + std::wstring(last) +
                L"</IPAddress><IPPort>4001</IPPort></RadioServer>";
    const std::wstring noStations = L"<QuorixStations><Stations/></QuorixStations>";
    const struct
    {
        const char* label;
        std::wstring config;
        std::string shown; // after the document's name
    } cases[] = {
        {"a value the page refuses is a problem of its own",
         L"<LocalPort>70000</LocalPort><RadioServers/>" + noStations,
         "Radio servers:     0 (0 active)\nDispatch stations: 0 (0 active)\n"
         "Repeaters:         0 (0 slots)\nProblems:\n"
         "  - local-port=70000: Range: 1-65535 (a save refuses this value)\n"},
        {"every problem is listed",
         L"<LocalPort>70000</LocalPort><RadioServers>" + server + server + L"</RadioServers>" +
             noStations,
         "Radio servers:     2 (2 active)\nDispatch stations: 0 (0 active)\n"
         "Repeaters:         0 (0 slots)\nProblems:\n"
         "  - radio server 10.0.0.1 is listed more than once (rows 1, 2)\n"
         "  - local-port=70000: Range: 1-65535 (a save refuses this value)\n"},
        // Five active servers are as many as the page takes.
        {"five servers, two slots without RadioID and an inactive entry without an address",
         L"<RadioServers>" + five +
             L"</RadioServers><QuorixStations><Stations>"
             L"<Station><Type>Repeater</Type><SlotID>1</SlotID></Station>"
             L"<Station><Type>Repeater</Type><SlotID>2</SlotID></Station>"
             L"<Station><Used>FALSE</Used><Name>Old</Name></Station></Stations></QuorixStations>",
         "Radio servers:     5 (5 active)\nDispatch stations: 1 (0 active)\n"
         "Repeaters:         0 (0 slots)\nProblems:\n"
         "  - 2 repeater slots without RadioID or RepeaterGUID are removed at the next save\n"
         "Note: an entry Station without IPAddress is not active and is removed when the "
         "stations are saved\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        const CliDocument doc(Config(c.config));
        const CliRun run = doc.Run({"check"});
        EXPECT_EQ(run.status, CCliApp::kRefused);
        EXPECT_EQ(run.out,
                  "Document:          " + doc.Path() + "\nLanguage:          English\n" + c.shown);
    }
    const CliRun bare =
        CliDocument(Utf16Document(L"<MXRGateways><Other/></MXRGateways>")).Run({"check"});
    EXPECT_EQ(bare.status, CCliApp::kRefused);
    EXPECT_NE(bare.out.find("Problems:\n  - GatewayConfig is missing: every setting shows its "
                            "default\n"),
              std::string::npos)
        << bare.out;
}

TEST(Cli, SwitchesAndChoicesTakeTheirUsualSpellingsNumbersAndLabels)
{
    const CliDocument doc(Config(L"<RadioServers/>"));
    const struct
    {
        const char* assignment;
        const char* key;
        nlohmann::json shown;
    } values[] = {
        {"gps-tracking=YES", "gps-tracking", true},  {"gps-tracking=no", "gps-tracking", false},
        {"gps-tracking=True", "gps-tracking", true}, {"gps-tracking=OFF", "gps-tracking", false},
        {"gps-tracking=1", "gps-tracking", true},    {"gps-tracking=0", "gps-tracking", false},
        {"gps-tracking=On", "gps-tracking", true},   {"gps-tracking=false", "gps-tracking", false},
        {"speed-unit=KMH", "speed-unit", 0},         {"speed-unit=1", "speed-unit", 1},
        {"speed-unit=Knots", "speed-unit", 2},       {"speed-unit=km/h", "speed-unit", 0},
        {"speed-unit=Mph", "speed-unit", 1},         {"speed-unit=2", "speed-unit", 2},
    };
    for (const auto& [assignment, key, shown] : values)
    {
        SCOPED_TRACE(assignment);
        ASSERT_EQ(doc.Run({"basic", "set", assignment}).status, CCliApp::kDone);
        EXPECT_EQ(doc.Json({"basic", "show"})[key], shown);
    }
    EXPECT_EQ(doc.Run({"basic", "set", "rrs-disabled=maybe"}).status, CCliApp::kUsage);
    const CliRun unknown = doc.Run({"basic", "set", "codec=opus"});
    EXPECT_EQ(unknown.status, CCliApp::kUsage);
    EXPECT_EQ(unknown.err, "ravirazazu-cli: codec: one of G.711u, G.711a or G.729a\n"
                           "Try 'ravirazazu-cli --help'.\n");

    // The label is the chosen language's: German names knots Knoten.
    ASSERT_EQ(doc.Run({"language", "set", "Deutsch"}).status, CCliApp::kDone);
    ASSERT_EQ(doc.Run({"basic", "set", "speed-unit=KNOTEN"}).status, CCliApp::kDone);
    const auto shown = doc.Json({"basic", "show"});
    EXPECT_EQ(shown["speed-unit"], 2);
    EXPECT_EQ(shown["speed-unit-name"], "Knoten");
}

TEST(Cli, BasicSettingsAreShownAsThePageShowsThem)
{
    std::wstring config = L"<LocalIP>10.1.2.3</LocalIP><LocalPort>3003</LocalPort>"
                          L"<VOIPBeginPort>4000</VOIPBeginPort><VocCodec>8:G.711a</VocCodec>"
                          L"<KeepUnsubscribedGPSData>1</KeepUnsubscribedGPSData>"
                          L"<KeepRRSRetryTime>0</KeepRRSRetryTime><RadioServers>"
                          L"<RadioServer><Used>TRUE</Used><IPAddress>10.0.0.7</IPAddress>"
                          L"<IPPort>4001</IPPort></RadioServer></RadioServers>";
    const CliDocument doc(Config(config));
    EXPECT_EQ(doc.Run({"basic", "show"}).out, "local-ip       10.1.2.3\n"
                                              "local-port     3003\n"
                                              "voip-port      4000\n"
                                              "codec          G.711a\n"
                                              "speed-unit     0 (km/h)\n"
                                              "gps-tracking   on\n"
                                              "rrs-disabled   off\n"
                                              "radio servers  1 of at most 5\n");
    EXPECT_EQ(doc.Json({"basic", "show"}),
              nlohmann::json::parse(R"({"local-ip":"10.1.2.3","local-port":"3003",
                  "voip-port":"4000","codec":"G.711a","speed-unit":0,"speed-unit-name":"km/h",
                  "gps-tracking":true,"rrs-disabled":false,
                  "servers":[{"ip":"10.0.0.7","port":"4001"}]})"));

    // Each key changes its own setting.
    ASSERT_EQ(doc.Run({"basic", "set", "voip-port=4002", "rrs-disabled=on", "codec=G.729a"}).status,
              CCliApp::kDone);
    const auto shown = doc.Json({"basic", "show"});
    EXPECT_EQ(shown["voip-port"], "4002");
    EXPECT_EQ(shown["local-port"], "3003");
    EXPECT_EQ(shown["rrs-disabled"], true);
    EXPECT_EQ(shown["gps-tracking"], true);
    EXPECT_EQ(shown["codec"], "G.729a");

    // An odd VoIP port is saved with the page's hint, which goes to stderr only.
    const CliRun odd = doc.Run({"basic", "set", "voip-port=4003"});
    EXPECT_EQ(odd.status, CCliApp::kDone);
    EXPECT_EQ(odd.out, "");
    EXPECT_EQ(odd.err, "ravirazazu-cli: voip-port: Should be even numbers!\n");

    // A value the document already holds and no field would accept refuses any save through
    // the page, also of another setting.
    config.replace(config.find(L"3003"), 4, L"70000");
    WriteBytes(doc.Path(), Config(config));
    const std::string stored = ReadBytes(doc.Path());
    const CliRun refused = doc.Run({"basic", "set", "voip-port=4000"});
    EXPECT_EQ(refused.status, CCliApp::kRefused);
    EXPECT_EQ(refused.err, "ravirazazu-cli: local-port=70000: Range: 1-65535\n");
    EXPECT_EQ(ReadBytes(doc.Path()), stored);
}

TEST(Cli, RadioServersFollowThePagesRules)
{
    const CliDocument doc(Config(L""));
    const std::string path = doc.Path();
    for (int i = 1; i <= 5; ++i)
        ASSERT_EQ(doc.Run({"server", "add", "10.0.0." + std::to_string(i), "4000"}).status,
                  CCliApp::kDone);
    // A full list refuses before it looks at the values, as the page's Add button does.
    for (const char* ip : {"10.0.0.6", "10.0.0.x"})
    {
        const CliRun full = doc.Run({"server", "add", ip, "4000"});
        EXPECT_EQ(full.status, CCliApp::kRefused) << ip;
        EXPECT_EQ(full.err, "ravirazazu-cli: You can only add no more than 5 radio servers.\n");
    }
    CGatewayConfigDoc saved;
    ASSERT_TRUE(saved.Load(path));
    EXPECT_EQ(saved.RadioServers()->GetChildCount(), 5u);

    // Values go through the fields' corrections; changing only the port is refused.
    EXPECT_EQ(doc.Run({"server", "change", "10.0.0.1", "10.0.0.1", "5000"}).err,
              "ravirazazu-cli: server-ip=10.0.0.1: Please change the IP\n");
    const CliRun changed = doc.Run({"server", "change", "10.0.0.1", "10.7", "70000"});
    ASSERT_EQ(changed.status, CCliApp::kDone);
    EXPECT_EQ(changed.out, "server-ip: 10.7 -> 10.7.0.0\nserver-port: 70000 -> 65535\n");
    EXPECT_NE(doc.Run({"server", "list"}).out.find("1    10.7.0.0         65535\n"),
              std::string::npos);
    EXPECT_EQ(doc.Run({"server", "remove", "10.0.0.2", "10.9.9.9"}).status, CCliApp::kRefused);
    EXPECT_EQ(doc.Run({"server", "remove", "10.0.0.2", "10.0.0.3"}).status, CCliApp::kDone);
    EXPECT_EQ(doc.Json({"server", "list"}), nlohmann::json::parse(R"({"max":5,"servers":[
        {"row":1,"ip":"10.7.0.0","port":"65535"},{"row":2,"ip":"10.0.0.4","port":"4000"},
        {"row":3,"ip":"10.0.0.5","port":"4000"}]})"));
    EXPECT_EQ(doc.Run({"server", "add", "10.0.0.x", "1"}).status, CCliApp::kUsage);
    // Every correction is said, also for an address.
    const CliRun corrected = doc.Run({"server", "add", "999.1.1.1", "4000"});
    EXPECT_EQ(corrected.status, CCliApp::kDone);
    EXPECT_EQ(corrected.out, "server-ip: 999.1.1.1 -> 255.1.1.1\n");

    // basic set: all values checked first; one bad value changes nothing.
    const std::string before = ReadBytes(path);
    EXPECT_EQ(doc.Run({"basic", "set", "local-port=70000", "codec=opus"}).status, CCliApp::kUsage);
    EXPECT_EQ(ReadBytes(path), before);
    const CliRun set =
        doc.Run({"basic", "set", "local-port=70000", "speed-unit=knots", "gps-tracking=on"});
    EXPECT_EQ(set.status, CCliApp::kDone) << set.err;
    EXPECT_EQ(set.out, "local-port: 70000 -> 65535\n");
    const auto shown = doc.Json({"basic", "show"});
    EXPECT_EQ(shown["local-port"], "65535");
    EXPECT_EQ(shown["speed-unit"], 2);
    EXPECT_EQ(shown["speed-unit-name"], "knots");
    EXPECT_EQ(shown["gps-tracking"], true);
    EXPECT_NE(ReadBytes(doc.Tool() + "/Gateway.ini").find("SPEEDUNIT=2\r\n"), std::string::npos);
}

TEST(Cli, ServiceCommandsDriveTheUnit)
{
    CPrivateBus bus;
    ASSERT_TRUE(bus.Start()) << bus.Error();
    CSystemdStandIn systemd;
    ASSERT_TRUE(systemd.Start(bus.Address()));
    const auto unit = [&systemd](const char* active, const char* unitFile) {
        systemd.AddUnit(
            {"quorix-gateway.service", "Quorix MXR Gateway", active, "running", unitFile});
    };
    unit("active", "enabled");
    rztest::CScopedEnv kind("RAVIRAZAZU_SERVICE_BUS", "user");
    rztest::CScopedEnv address("DBUS_SESSION_BUS_ADDRESS", bus.Address());
    const auto service = [](const std::string& command, bool json = false)
    {
        std::vector<std::string> args{"--tool-dir", rztest::SampleToolDir(), "service", command};
        if (json)
            args.insert(args.begin(), "--json");
        return RunCli(args);
    };
    const auto state = [&systemd]
    { return systemd.GetUnit("quorix-gateway.service")->activeState; };

    const CliRun status = service("status");
    EXPECT_EQ(status.status, CCliApp::kDone) << status.err;
    EXPECT_EQ(status.out, "Quorix MXR Gateway (quorix-gateway.service): running (4), enabled\n");

    const CliRun stop = service("stop");
    EXPECT_EQ(stop.status, CCliApp::kDone);
    EXPECT_EQ(stop.out, "stop of quorix-gateway.service requested (it was running)\n");
    EXPECT_EQ(state(), "inactive");
    const CliRun json = service("status", true);
    EXPECT_NE(json.out.find("\"state\":1,\"stateName\":\"stopped\""), std::string::npos)
        << json.out;
    // Restart starts a stopped service and restarts a running one.
    EXPECT_EQ(service("restart").status, CCliApp::kDone);
    EXPECT_EQ(state(), "active");
    EXPECT_EQ(systemd.JobsRun().back(), "StartUnit quorix-gateway.service");
    EXPECT_EQ(service("restart").status, CCliApp::kDone);
    EXPECT_EQ(systemd.JobsRun().back(), "RestartUnit quorix-gateway.service");
    EXPECT_EQ(service("stop").status, CCliApp::kDone);
    EXPECT_EQ(service("start").status, CCliApp::kDone);
    EXPECT_EQ(systemd.JobsRun().back(), "StartUnit quorix-gateway.service");
    EXPECT_EQ(state(), "active");

    // Whether it starts with the system, as its unit file says.
    unit("deactivating", "disabled");
    EXPECT_EQ(service("status").out,
              "Quorix MXR Gateway (quorix-gateway.service): stopping (3), disabled\n");
    const auto disabled = nlohmann::json::parse(service("status", true).out);
    EXPECT_EQ(disabled["enabled"], false);
    EXPECT_EQ(disabled["unitFileState"], "disabled");
    unit("active", "static");
    EXPECT_EQ(service("status").out,
              "Quorix MXR Gateway (quorix-gateway.service): running (4), static\n");
    EXPECT_EQ(nlohmann::json::parse(service("status", true).out)["enabled"], false);

    systemd.SetRefuse(true);
    const CliRun refused = service("restart");
    EXPECT_EQ(refused.status, CCliApp::kOperationFailed);
    EXPECT_NE(refused.err.find("Access denied"), std::string::npos) << refused.err;

    // A service that is not there.
    CTempDir dir;
    WriteBytes(dir.File("MXRServiceDog.ini"), "[Settings]\r\nServiceName=Other Gateway\r\n");
    const CliRun missing = RunCli({"--tool-dir", dir.Path(), "service", "status"});
    EXPECT_EQ(missing.status, CCliApp::kOperationFailed);
    EXPECT_NE(missing.err.find("Other Gateway is not installed"), std::string::npos) << missing.err;
    // An ini that names no service switches the watch off: there is nothing to drive.
    WriteBytes(dir.File("MXRServiceDog.ini"), "[Settings]\r\nServiceName=\r\n");
    const CliRun none = RunCli({"--tool-dir", dir.Path(), "service", "status"});
    EXPECT_EQ(none.status, CCliApp::kOperationFailed);
    EXPECT_EQ(none.err,
              "ravirazazu-cli: MXRServiceDog.ini names no service; there is nothing to watch\n");
}

TEST(Cli, ARefusedCommandLeavesEveryFileAsItWas)
{
    // A duplicated address, an inactive entry and a child that is no RadioServer but active.
    const CliDocument doc(Config(L"<LocalPort>3003</LocalPort><RadioServers>"
                                 L"<RadioServer><Used>TRUE</Used><IPAddress>10.0.0.1</IPAddress>"
                                 L"<IPPort>1</IPPort></RadioServer>"
                                 L"<RadioServer><Used>FALSE</Used><IPAddress>10.0.0.9</IPAddress>"
                                 L"<IPPort>9</IPPort></RadioServer>"
                                 L"<Spare><Used>true</Used><IPAddress>10.0.0.2</IPAddress>"
                                 L"<IPPort>2</IPPort></Spare>"
                                 L"<RadioServer><Used>TRUE</Used><IPAddress>10.0.0.1</IPAddress>"
                                 L"<IPPort>3</IPPort></RadioServer></RadioServers>"));
    // An unusable speed unit: opening the page would repair it, a refused command must not.
    const std::string ini = doc.Tool() + "/Gateway.ini";
    WriteBytes(ini, "[TELEMETRYGPSFLAGSTRINGS]\r\nSPEEDUNIT=7\r\n");
    const std::string files = doc.Files();
    // Mistyped commands are usage errors (2), requests a rule refuses are refusals (1).
    const std::pair<std::vector<std::string>, int> refused[] = {
        {{"basic", "set", "local-port=1", "codec=opus"}, CCliApp::kUsage},
        {{"basic", "set", "voip-port=12x"}, CCliApp::kUsage},
        {{"basic", "set", "nonsense=1"}, CCliApp::kUsage},
        {{"server", "add", "10.0.0.2", "5"}, CCliApp::kRefused},
        {{"server", "change", "10.0.0.1", "10.0.0.5", "5"}, CCliApp::kRefused},
        {{"server", "change", "10.0.0.1", "10.0.0.2", "5", "--row", "4"}, CCliApp::kRefused},
        {{"server", "change", "10.0.0.7", "10.0.0.5", "5"}, CCliApp::kRefused},
        {{"server", "remove", "10.0.0.1"}, CCliApp::kRefused},
        {{"server", "remove", "10.0.0.2", "10.0.0.7"}, CCliApp::kRefused},
        {{"server", "remove", "10.0.0.1", "10.0.0.2", "--row", "1"}, CCliApp::kUsage},
    };
    for (const auto& [args, status] : refused)
    {
        SCOPED_TRACE(testing::PrintToString(args));
        EXPECT_EQ(doc.Run(args).status, status);
        EXPECT_EQ(doc.Files(), files);
    }
    EXPECT_EQ(doc.Run({"server", "change", "10.0.0.7", "10.0.0.5", "5"}).err,
              "ravirazazu-cli: no radio server has the address 10.0.0.7\n");
    EXPECT_EQ(doc.Run({"basic", "set", "nonsense=1"}).err,
              "ravirazazu-cli: unknown setting nonsense (local-ip local-port voip-port codec "
              "speed-unit gps-tracking rrs-disabled)\nTry 'ravirazazu-cli --help'.\n");
    // The ambiguous address says how to choose.
    EXPECT_EQ(doc.Run({"server", "remove", "10.0.0.1"}).err,
              "ravirazazu-cli: 2 radio servers have the address 10.0.0.1 (rows 1 and 3); "
              "choose one with --row N\n");

    // check and server list agree with the page: three servers (the Spare one is active too),
    // one address twice, the inactive entry counted but not listed.
    const auto checked = doc.Json({"check"}, CCliApp::kRefused);
    EXPECT_EQ(checked["radioServers"], (nlohmann::json{{"total", 4}, {"active", 3}}));
    EXPECT_NE(checked["problems"].dump().find(
                  "radio server 10.0.0.1 is listed more than once (rows 1, 3)"),
              std::string::npos)
        << checked.dump();
    const auto listed = doc.Json({"server", "list"});
    ASSERT_EQ(listed["servers"].size(), 3u);
    EXPECT_EQ(listed["servers"][1]["ip"], "10.0.0.2");
    EXPECT_EQ(listed["servers"][2]["port"], "3");

    // The second of the two is changed and removed by its row; the first stays as it was.
    const CliRun second = doc.Run({"server", "change", "10.0.0.1", "10.0.0.5", "5", "--row", "3"});
    ASSERT_EQ(second.status, CCliApp::kDone) << second.err;
    CGatewayConfigDoc saved;
    ASSERT_TRUE(saved.Load(doc.Path()));
    CBasicSettings settings;
    settings.Load(saved, {doc.Tool()});
    ASSERT_EQ(settings.Servers().Count(), 3u);
    EXPECT_EQ(settings.Servers().Rows()[0].ipPort, L"1");
    EXPECT_EQ(settings.Servers().Rows()[2].ipAddress, L"10.0.0.5");
    // The inactive entry is still there; the speed unit was repaired with the change.
    EXPECT_EQ(saved.RadioServers()->GetChildCount(), 4u);
    EXPECT_EQ(ReadBytes(ini), "[TELEMETRYGPSFLAGSTRINGS]\r\nSPEEDUNIT=0\r\n");
    ASSERT_EQ(doc.Run({"server", "remove", "10.0.0.1", "--row", "1"}).status, CCliApp::kDone);
}

TEST(Cli, AnIniFileThatCannotBeWrittenLeavesTheDocumentUnwritten)
{
    const CliDocument doc;
    // Gateway.ini is a folder: it can be neither read nor replaced.
    const std::string ini = doc.Tool() + "/Gateway.ini";
    std::filesystem::remove(ini);
    std::filesystem::create_directories(ini);
    const CliRun run = doc.Run({"basic", "set", "speed-unit=mph"});
    EXPECT_EQ(run.status, CCliApp::kDocumentError);
    // With the system's reason.
    EXPECT_NE(run.err.find("cannot write " + ini + ": Is a directory\n"), std::string::npos)
        << run.err;
    EXPECT_EQ(ReadBytes(doc.Path()), ReadBytes(rztest::SampleDocumentPath()));
}

namespace
{

// Two listed stations, an inactive one between them and a repeater slot.
std::wstring StationsConfig()
{
    const auto station = [](const std::wstring& used, const std::wstring& guid,
                            const std::wstring& name, const std::wstring& ip,
                            const std::wstring& isData)
    {
        return L"<Station><Used>" + used + L"</Used><GUID>" + guid + L"</GUID><Name>" + name +
               L"</Name><IPAddress>" + ip +
               L"</IPAddress><PseudoID>10</PseudoID><UseFrontMic>1</UseFrontMic><IsData>" + isData +
               L"</IsData><AudioPlay>Old Speaker</AudioPlay><AudioRecord></AudioRecord>"
               L"<Volum><RecordVolum>4</RecordVolum><PlaybackVolum>4</PlaybackVolum></Volum>"
               L"</Station>";
    };
    return L"<RadioServers/><QuorixStations><Stations>" +
           station(L"TRUE", L"G-1", L"Harbour", L"10.0.0.1", L"5") +
           station(L"FALSE", L"G-2", L"Spare", L"10.0.0.2", L"0") +
           L"<Station><Type>Repeater</Type><Used>TRUE</Used><GUID>R-1</GUID><RadioID>7</RadioID>"
           L"<RepeaterGUID>RG</RepeaterGUID><Name>Hill</Name></Station>" +
           station(L"true", L"G-3", std::wstring(32, L'L'), L"10.0.0.3", L"2") +
           L"</Stations></QuorixStations>";
}

} // namespace

TEST(Cli, StationsFollowThePagesRules)
{
    const CliDocument doc(Config(StationsConfig()));
    const CliRun list = doc.Run({"station", "list"});
    EXPECT_EQ(list.status, CCliApp::kDone);
    EXPECT_EQ(list.out, "ROW  IP               PSEUDO ID  KIND       MIC  ALIAS\n"
                        "1    10.0.0.1         10         gps        1    Harbour\n"
                        "     speaker: Old Speaker\n"
                        "2    10.0.0.3         10         quick-gps  1    " +
                            std::string(32, 'L') + "\n     speaker: Old Speaker\n");

    // Refused and mistyped commands leave the file as it was, with the page's messages.
    const std::string before = ReadBytes(doc.Path());
    const struct
    {
        std::vector<std::string> args;
        int status;
        std::string err;
    } refused[] = {
        {{"station", "add", "--alias", "Dock", "--pseudo-id", "4", "--ip", "10.0.0.1"},
         CCliApp::kRefused,
         "ravirazazu-cli: ip=10.0.0.1: The IP already exists\n"},
        {{"station", "add", "--alias", "", "--pseudo-id", "4", "--ip", "10.0.0.4"},
         CCliApp::kRefused,
         "ravirazazu-cli: alias: The value is required\n"},
        {{"station", "change", "10.0.0.1", "--ip", "10.0.0.3"},
         CCliApp::kRefused,
         "ravirazazu-cli: ip=10.0.0.3: The IP already exists\n"},
        // The alias of 32 characters came from the document: a change that keeps it is refused.
        {{"station", "change", "10.0.0.3", "--kind", "voice"},
         CCliApp::kRefused,
         "ravirazazu-cli: alias=" + std::string(32, 'L') + ": The value is required\n"},
        {{"station", "change", "10.0.0.2", "--kind", "voice"},
         CCliApp::kRefused,
         "ravirazazu-cli: no dispatch station has the IP 10.0.0.2\n"},
        {{"station", "remove", "10.0.0.1", "10.0.0.9"},
         CCliApp::kRefused,
         "ravirazazu-cli: no dispatch station has the IP 10.0.0.9\n"},
        {{"station", "add", "--alias", "12345678901234567", "--pseudo-id", "4", "--ip", "10.0.0.4"},
         CCliApp::kUsage,
         ""},
        {{"station", "add", "--alias", "Dock", "--pseudo-id", "4x", "--ip", "10.0.0.4"},
         CCliApp::kUsage,
         ""},
        {{"station", "add", "--alias", "Dock", "--pseudo-id", "4", "--ip", "10.0.0.4", "--kind",
          "boat"},
         CCliApp::kUsage,
         ""},
        {{"station", "change", "10.0.0.1", "--front-mic", "2"}, CCliApp::kUsage, ""},
        {{"station", "add", "--alias", "Dock", "--ip", "10.0.0.4"}, CCliApp::kUsage, ""},
        {{"station", "add", "--pseudo-id", "4", "--ip", "10.0.0.4"}, CCliApp::kUsage, ""},
    };
    for (const auto& command : refused)
    {
        SCOPED_TRACE(testing::PrintToString(command.args));
        const CliRun result = doc.Run(command.args);
        EXPECT_EQ(result.status, command.status);
        if (!command.err.empty())
        {
            EXPECT_EQ(result.err, command.err);
        }
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(ReadBytes(doc.Path()), before);
    }

    // Every correction is said; quick GPS and the microphone switch as given.
    const CliRun added =
        doc.Run({"station", "add", "--alias", "Dock 4", "--pseudo-id", "104", "--ip", "10.9",
                 "--kind", "quick-gps", "--front-mic", "1", "--microphone", "Desk Mic"});
    ASSERT_EQ(added.status, CCliApp::kDone) << added.err;
    EXPECT_EQ(added.out, "ip: 10.9 -> 10.9.0.0\n");
    // What is not given keeps its value; the stored "5" is written back as GPS ("1").
    const CliRun changed = doc.Run({"station", "change", "10.0.0.1", "--alias", "Harbour Ops"});
    ASSERT_EQ(changed.status, CCliApp::kDone) << changed.err;
    const auto listed = doc.Json({"station", "list"});
    ASSERT_EQ(listed["stations"].size(), 3u);
    EXPECT_EQ(listed["stations"][0],
              nlohmann::json::parse(R"({"row":1,"guid":"G-1","alias":"Harbour Ops",
                  "pseudo-id":"10","ip":"10.0.0.1","kind":"gps",
                  "kind-name":"GPS Dispatch Station","is-data":"1","front-mic":true,
                  "speaker":"Old Speaker","microphone":""})"));
    EXPECT_EQ(listed["stations"][2]["ip"], "10.9.0.0");
    EXPECT_EQ(listed["stations"][2]["is-data"], "2");
    EXPECT_EQ(listed["stations"][2]["front-mic"], true);
    EXPECT_EQ(listed["stations"][2]["microphone"], "Desk Mic");
    const std::string stationList = doc.Run({"station", "list"}).out;
    const std::string added3 = "3    10.9.0.0         104        quick-gps  1    Dock 4\n"
                               "     microphone: Desk Mic\n";
    ASSERT_GE(stationList.size(), added3.size());
    EXPECT_EQ(stationList.substr(stationList.size() - added3.size()), added3) << stationList;

    // The document: the inactive station went with the first save, the repeater stayed, the
    // new station came last.
    CGatewayConfigDoc saved;
    ASSERT_TRUE(saved.Load(doc.Path()));
    std::vector<std::wstring> guids;
    for (const RUROR::XNode* child : saved.Stations()->GetChilds())
        guids.push_back(child->GetChildValue(L"GUID"));
    ASSERT_EQ(guids.size(), 4u);
    EXPECT_EQ(std::vector<std::wstring>(guids.begin(), guids.begin() + 3),
              (std::vector<std::wstring>{L"G-1", L"R-1", L"G-3"}));
    EXPECT_EQ(rz::WideToUtf8(guids[3]), listed["stations"][2]["guid"]);
    EXPECT_STREQ(
        saved.Stations()->GetChild(size_t{0})->GetChild(L"Volum")->GetChildValue(L"RecordVolum"),
        L"4");

    ASSERT_EQ(doc.Run({"station", "remove", "10.0.0.1", "10.9.0.0"}).status, CCliApp::kDone);
    const auto left = doc.Json({"station", "list"});
    ASSERT_EQ(left["stations"].size(), 1u);
    EXPECT_EQ(left["stations"][0]["guid"], "G-3");
}

TEST(Cli, StationsOfOneAddressAreReportedAndChosenByRow)
{
    std::wstring config = StationsConfig();
    // The inactive station becomes an active one with the first station's address.
    config.replace(config.find(L"FALSE"), 5, L"TRUE");
    config.replace(config.find(L"10.0.0.2"), 8, L"10.0.0.1");
    const CliDocument doc(Config(config));

    const auto checked = doc.Json({"check"}, CCliApp::kRefused);
    EXPECT_EQ(checked["dispatchStations"], (nlohmann::json{{"total", 3}, {"active", 3}}));
    EXPECT_EQ(checked["problems"],
              nlohmann::json::array({"dispatch station 10.0.0.1 is listed more than once "
                                     "(rows 1, 2)"}));
    const std::string before = ReadBytes(doc.Path());
    const CliRun ambiguous = doc.Run({"station", "remove", "10.0.0.1"});
    EXPECT_EQ(ambiguous.status, CCliApp::kRefused);
    EXPECT_EQ(ambiguous.err, "ravirazazu-cli: 2 dispatch stations have the IP 10.0.0.1 (rows 1 "
                             "and 2); choose one with --row N\n");
    EXPECT_EQ(doc.Run({"station", "change", "10.0.0.1", "--row", "3", "--ip", "10.0.0.5"}).err,
              "ravirazazu-cli: row 3 is not a dispatch station with the IP 10.0.0.1\n");
    EXPECT_EQ(doc.Run({"station", "remove", "10.0.0.1", "10.0.0.3", "--row", "1"}).status,
              CCliApp::kUsage);
    EXPECT_EQ(ReadBytes(doc.Path()), before);

    ASSERT_EQ(doc.Run({"station", "change", "10.0.0.1", "--row", "2", "--ip", "10.0.0.2"}).status,
              CCliApp::kDone);
    const auto listed = doc.Json({"station", "list"});
    EXPECT_EQ(listed["stations"][0]["guid"], "G-1");
    EXPECT_EQ(listed["stations"][1]["guid"], "G-2");
    EXPECT_EQ(listed["stations"][1]["ip"], "10.0.0.2");

    // The connection test names the station of the IP: listed ones only.
    const CliRun known = doc.Run({"test-connection", "10.0.0.2"});
    EXPECT_EQ(known.out.substr(0, known.out.find('\n')), "Station Spare (pseudo ID 10)");
    WriteBytes(doc.Path(), Config(StationsConfig()));
    const CliRun inactive = doc.Run({"test-connection", "10.0.0.2"});
    EXPECT_EQ(inactive.out.substr(0, inactive.out.find('\n')),
              "No dispatch station of " + doc.Path() + " has the IP 10.0.0.2");
}

namespace
{

const std::wstring kDispatchStation =
    L"<Station><Used>TRUE</Used><GUID>A3E4B1C2-5D6F-4A7B-8C9D-0E1F2A3B4C5D</GUID>"
    L"<Name>Harbour Ops</Name><IPAddress>192.168.11.101</IPAddress></Station>";

} // namespace

TEST(Cli, RepeatersAreAddedChangedAndRemovedByTheirRadioId)
{
    const CliDocument doc(
        Config(L"<QuorixStations><Stations>" + kDispatchStation + L"</Stations></QuorixStations>"));
    auto listed = doc.Json({"repeater", "list"});
    EXPECT_EQ(listed["minRows"], 6);
    EXPECT_EQ(listed["repeaters"], nlohmann::json::array());
    EXPECT_EQ(listed["rtpTypes"], nlohmann::json::parse(R"([{"value":0,"label":"Basic Privacy"},
        {"value":1,"label":"Enhanced Privacy"},{"value":2,"label":"AES-256"},
        {"value":3,"label":"ARC4"}])"));

    const CliRun added = doc.Run({"repeater", "add", "1001"});
    ASSERT_EQ(added.status, CCliApp::kDone) << added.err;
    EXPECT_EQ(added.out, "alias: Repeater1 (proposed)\n");
    const CliRun second =
        doc.Run({"repeater", "add", "1002", "--alias", "Quay", "--ip-site-id", "2", "--pseudo-id",
                 "P-7", "--slot1", "kind=quick-gps,encrypt=on,rtp-type=aes-256", "--slot2",
                 "used=off,alias=,subnet=1.5", "--slot2", "rtp-type=3"});
    ASSERT_EQ(second.status, CCliApp::kDone) << second.err;
    EXPECT_EQ(second.out, "");

    listed = doc.Json({"repeater", "list"});
    ASSERT_EQ(listed["repeaters"].size(), 2u);
    const auto& quay = listed["repeaters"][1];
    EXPECT_EQ(quay["radioId"], "1002");
    EXPECT_EQ(quay["alias"], "Quay");
    EXPECT_EQ(quay["ipSiteId"], "2");
    EXPECT_EQ(quay["pseudoId"], "P-7");
    EXPECT_EQ(quay["slots"][0]["kind"], "quick-gps");
    EXPECT_EQ(quay["slots"][0]["encrypt"], true);
    EXPECT_EQ(quay["slots"][0]["rtpType"], 2);
    EXPECT_EQ(quay["slots"][0]["rtpTypeLabel"], "AES-256");
    EXPECT_EQ(quay["slots"][1]["used"], false);
    EXPECT_EQ(quay["slots"][1]["alias"], "");
    EXPECT_EQ(quay["slots"][1]["subnet"], "1.5");
    EXPECT_EQ(quay["slots"][1]["rtpType"], 3);
    EXPECT_EQ(listed["repeaters"][0]["slots"][1]["alias"], "Slot2");

    // Four slot elements beside the untouched dispatch station, and the fifteen port settings.
    CGatewayConfigDoc saved;
    ASSERT_TRUE(saved.Load(doc.Path()));
    const auto stations = saved.Stations()->GetChilds();
    ASSERT_EQ(stations.size(), 5u);
    EXPECT_STREQ(stations[0]->GetChildValue(L"IPAddress"), L"192.168.11.101");
    EXPECT_EQ(stations[0]->GetChildCount(), 4u);
    EXPECT_STREQ(stations[4]->GetChildValue(L"Used"), L"FALSE");
    EXPECT_STREQ(saved.GetSetting(L"ADKRTPPort2"), L"30014");

    // A change keeps what it is not given; a required value missing is refused.
    const CliRun changed = doc.Run({"repeater", "change", "1001", "--alias", "Hill", "--slot2",
                                    "kind=gps,ip-site-channel=on"});
    ASSERT_EQ(changed.status, CCliApp::kDone) << changed.err;
    const auto hill = doc.Json({"repeater", "list"})["repeaters"][0];
    EXPECT_EQ(hill["alias"], "Hill");
    EXPECT_EQ(hill["slots"][1]["kind"], "gps");
    EXPECT_EQ(hill["slots"][1]["ipSiteChannel"], true);
    EXPECT_EQ(hill["slots"][1]["alias"], "Slot2");
    EXPECT_EQ(hill["guid"], listed["repeaters"][0]["guid"]);

    const CliRun removed = doc.Run({"repeater", "remove", "1001"});
    ASSERT_EQ(removed.status, CCliApp::kDone) << removed.err;
    listed = doc.Json({"repeater", "list"});
    ASSERT_EQ(listed["repeaters"].size(), 1u);
    EXPECT_EQ(listed["repeaters"][0]["radioId"], "1002");
    const CliRun table = doc.Run({"repeater", "list"});
    EXPECT_NE(table.out.find("1002        Quay"), std::string::npos) << table.out;
}

TEST(Cli, RepeatersAreListedAsTheirSlotsAre)
{
    EXPECT_EQ(CliDocument(Config(L"<RadioServers/>")).Run({"repeater", "list"}).out,
              "No repeaters.\n");
    // Slot 1 has a kind no check box gives and an RTP type the ini file does not list.
    const auto slot = [](const std::wstring& slotId, const std::wstring& used,
                         const std::wstring& isData, const std::wstring& local,
                         const std::wstring& encrypt, const std::wstring& rtpType)
    {
        return L"<Station><Type>Repeater</Type><Used>" + used + L"</Used><GUID>S" + slotId +
               L"</GUID><SlotID>" + slotId +
               L"</SlotID><RadioID>1001</RadioID><RepeaterGUID>G-A</RepeaterGUID>"
               L"<RepeaterAlias>Hill</RepeaterAlias><IPSiteID>3</IPSiteID><PseudoID>P-1</PseudoID>"
               L"<Name>N" +
               slotId + L"</Name><SubNetID>1" + slotId + L"</SubNetID><IsData>" + isData +
               L"</IsData><IsLocalSlot>" + local + L"</IsLocalSlot><RTPConfig><RTPEnable>" +
               encrypt + L"</RTPEnable><RTPType>" + rtpType + L"</RTPType></RTPConfig></Station>";
    };
    const CliDocument doc(Config(
        L"<RadioServers/><QuorixStations><Stations>" + slot(L"1", L"TRUE", L"7", L"0", L"1", L"9") +
        slot(L"2", L"FALSE", L"0", L"1", L"0", L"1") + L"</Stations></QuorixStations>"));
    EXPECT_EQ(doc.Run({"repeater", "list"}).out,
              "RADIO-ID    ALIAS                             IP-SITE-ID  PSEUDO-ID\n"
              "1001        Hill                              3           P-1\n"
              "  slot1  in use  alias=N1 subnet=11 kind=isdata-7 ip-site-channel=off encrypt=on "
              "rtp-type=9 (not listed in RaviraZazu_Gateway.ini; kept)\n"
              "  slot2  unused  alias=N2 subnet=12 kind=voice ip-site-channel=on encrypt=off "
              "rtp-type=1 (Enhanced Privacy)\n");
}

TEST(Cli, RefusedRepeaterPortAndLogCommandsChangeNoFile)
{
    const CliDocument doc(
        Config(L"<QuorixStations><Stations>" + kDispatchStation + L"</Stations></QuorixStations>"));
    ASSERT_EQ(doc.Run({"repeater", "add", "1001"}).status, CCliApp::kDone);
    const std::string before = doc.Files();
    const struct
    {
        std::vector<std::string> args;
        int status;
        std::string err;
    } refused[] = {
        {{"repeater", "add", "1001"},
         CCliApp::kRefused,
         "ravirazazu-cli: radio-id=1001: The Radio ID already exists\n"},
        {{"repeater", "add", "1002", "--alias", ""},
         CCliApp::kRefused,
         "ravirazazu-cli: alias: The value is required\n"},
        {{"repeater", "change", "1001", "--slot2", "subnet="},
         CCliApp::kRefused,
         "ravirazazu-cli: slot2.subnet: The value is required\n"},
        {{"repeater", "change", "1009", "--alias", "x"},
         CCliApp::kRefused,
         "ravirazazu-cli: no repeater has the Radio ID 1009\n"},
        {{"repeater", "remove", "1001", "1009"},
         CCliApp::kRefused,
         "ravirazazu-cli: no repeater has the Radio ID 1009\n"},
        {{"repeater", "add", "10x"}, CCliApp::kUsage, ""},
        {{"repeater", "add", "1002", "--alias", std::string(33, 'a')}, CCliApp::kUsage, ""},
        {{"repeater", "add", "1002", "--slot2", "subnet=12345678901234567"}, CCliApp::kUsage, ""},
        {{"repeater", "add", "1002", "--slot1", "rtp-type=7"}, CCliApp::kUsage, ""},
        {{"repeater", "add", "1002", "--slot1", "kind=data"}, CCliApp::kUsage, ""},
        {{"repeater", "add", "1002", "--slot1", "colour=red"}, CCliApp::kUsage, ""},
        {{"repeater", "add", "1002", "--slot1", "used=maybe"}, CCliApp::kUsage, ""},
        {{"ports", "set", "ADKRCPPort1=1", "Bogus=1"}, CCliApp::kUsage, ""},
        {{"ports", "set", "RepeaterTransmitTimeout=1.5"}, CCliApp::kUsage, ""},
        {{"log", "set", "--size", "5.5"}, CCliApp::kUsage, ""},
        {{"log", "set", "--size", "20", "--level", "loud"}, CCliApp::kUsage, ""},
        {{"log", "set"}, CCliApp::kUsage, ""},
    };
    for (const auto& c : refused)
    {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const CliRun run = doc.Run(c.args);
        EXPECT_EQ(run.status, c.status) << run.err;
        if (!c.err.empty())
        {
            EXPECT_EQ(run.err, c.err);
        }
        EXPECT_EQ(doc.Files(), before);
    }
    EXPECT_EQ(doc.Run({"repeater", "add", "1002", "--slot1", "rtp-type=7"}).err,
              "ravirazazu-cli: slot1.rtp-type: one of 0 (Basic Privacy), 1 (Enhanced Privacy), "
              "2 (AES-256), 3 (ARC4)\nTry 'ravirazazu-cli --help'.\n");
    EXPECT_EQ(doc.Run({"ports", "set", "Bogus=1"}).err,
              "ravirazazu-cli: unknown setting Bogus (ADKRCPPort1 ADKTMPPort1 ADKLPPort1 "
              "ADKRRSPort1 ADKRTPPort1 ADKRCPPort2 ADKTMPPort2 ADKLPPort2 ADKRRSPort2 ADKRTPPort2 "
              "ADKTPPort1 ADKTPPort2 ADKRTPAnalogPort ADKRCPAnalogPort "
              "RepeaterTransmitTimeout)\nTry 'ravirazazu-cli --help'.\n");
    // Without a language file the message that only one supplies is named by its number.
    std::filesystem::remove_all(doc.Tool() + "/language");
    std::filesystem::remove(doc.Tool() + "/English.XML");
    EXPECT_EQ(doc.Run({"repeater", "add", "1001"}).err,
              "ravirazazu-cli: radio-id=1001: message 10045\n");
}

TEST(Cli, PortsAreShownAndSetByTheirElementNames)
{
    const CliDocument doc(Config(L"<ADKTPPort2>40000</ADKTPPort2>"));
    auto ports = doc.Json({"ports", "show"});
    EXPECT_EQ(ports.size(), 15u);
    EXPECT_EQ(ports["ADKRTPPort1"], "30012");
    EXPECT_EQ(ports["ADKTPPort2"], "40000");
    EXPECT_EQ(ports["RepeaterTransmitTimeout"], "60");

    const CliRun set = doc.Run({"ports", "set", "ADKRTPPort1=70000", "repeatertransmittimeout=90"});
    ASSERT_EQ(set.status, CCliApp::kDone) << set.err;
    EXPECT_EQ(set.out, "ADKRTPPort1: 70000 -> 65535\n");
    ports = doc.Json({"ports", "show"});
    EXPECT_EQ(ports["ADKRTPPort1"], "65535");
    EXPECT_EQ(ports["RepeaterTransmitTimeout"], "90");
    // The save writes every port setting; the document had no station list and gets none.
    CGatewayConfigDoc saved;
    ASSERT_TRUE(saved.Load(doc.Path()));
    EXPECT_EQ(saved.GatewayConfig()->GetChildCount(), 16u);
    EXPECT_EQ(saved.Stations(), nullptr);
    EXPECT_NE(doc.Run({"ports", "show"}).out.find("ADKRCPAnalogPort         30016\n"),
              std::string::npos);
}

TEST(Cli, LogSettingsFollowTheOthersPage)
{
    const CliDocument doc(Config(L"<LogFilter>4</LogFilter>"));
    EXPECT_EQ(doc.Json({"log", "show"}),
              nlohmann::json::parse(R"({"size":"10","level":"error","levelName":"Error"})"));
    EXPECT_EQ(doc.Run({"log", "show"}).out, "size   10 MB\nlevel  error (Error)\n");

    const CliRun set = doc.Run({"log", "set", "--size", "050", "--level", "Warning"});
    ASSERT_EQ(set.status, CCliApp::kDone) << set.err;
    EXPECT_EQ(set.out, "");
    EXPECT_EQ(doc.Json({"log", "show"})["size"], "050");
    CGatewayConfigDoc saved;
    ASSERT_TRUE(saved.Load(doc.Path()));
    EXPECT_STREQ(saved.GetSetting(L"LogFilter"), L"2");
    EXPECT_STREQ(saved.GetSetting(L"LogFileSize"), L"050");

    // A size out of range: the page's hint, and 10 as leaving the field gives.
    const CliRun big = doc.Run({"log", "set", "--size", "500"});
    ASSERT_EQ(big.status, CCliApp::kDone) << big.err;
    EXPECT_EQ(big.out, "size: 500 -> 10\n");
    EXPECT_EQ(big.err, "ravirazazu-cli: size: Range: 1-100 Default Value:10\n");
    EXPECT_EQ(doc.Json({"log", "show"}),
              nlohmann::json::parse(R"({"size":"10","level":"warning","levelName":"Warning"})"));
}

TEST(Cli, CheckCountsRepeatersAsThePageReadsThem)
{
    // Two elements of one Radio ID with different GUIDs, a broken one, a SlotID 7, and a
    // stored RTP type that the ini file does not list.
    const auto slot = [](const std::wstring& radioId, const std::wstring& guid,
                         const std::wstring& slotId, const std::wstring& rtpType)
    {
        return L"<Station><Type>Repeater</Type><Used>TRUE</Used><GUID>S" + slotId +
               L"</GUID><SlotID>" + slotId + L"</SlotID><RadioID>" + radioId +
               L"</RadioID><RepeaterGUID>" + guid +
               L"</RepeaterGUID><RepeaterAlias>R</RepeaterAlias><IPSiteID>1</IPSiteID>"
               L"<Name>N</Name><SubNetID>10</SubNetID><RTPConfig><RTPEnable>1</RTPEnable>"
               L"<RTPType>" +
               rtpType + L"</RTPType></RTPConfig></Station>";
    };
    const CliDocument doc(Config(L"<RadioServers/><QuorixStations><Stations>" + kDispatchStation +
                                 slot(L"1001", L"G-A", L"1", L"9") +
                                 slot(L"1001", L"G-B", L"2", L"0") + slot(L"", L"G-C", L"1", L"0") +
                                 slot(L"1002", L"G-D", L"7", L"0") +
                                 L"</Stations></QuorixStations>"));
    const auto checked = doc.Json({"check"}, CCliApp::kRefused);
    EXPECT_EQ(checked["repeaters"], (nlohmann::json{{"total", 2}, {"slots", 3}}));
    EXPECT_EQ(checked["dispatchStations"], (nlohmann::json{{"total", 1}, {"active", 1}}));
    EXPECT_EQ(checked["problems"],
              nlohmann::json::array({"a repeater slot without RadioID or RepeaterGUID is removed "
                                     "at the next save"}));
    EXPECT_EQ(checked["notes"].size(), 2u);
    EXPECT_NE(checked["notes"][0].get<std::string>().find("repeater 1001 has slots of more than "
                                                          "one RepeaterGUID"),
              std::string::npos);
    EXPECT_NE(checked["notes"][1].get<std::string>().find("repeater 1002"), std::string::npos);

    // The type that the ini file no longer lists is shown and kept through a change.
    const auto listed = doc.Json({"repeater", "list"});
    EXPECT_EQ(listed["repeaters"][0]["slots"][0]["rtpType"], 9);
    EXPECT_EQ(listed["repeaters"][0]["slots"][0]["rtpTypeListed"], false);
    EXPECT_EQ(listed["repeaters"][0]["slots"][0]["rtpTypeLabel"], nullptr);
    ASSERT_EQ(doc.Run({"repeater", "change", "1001", "--alias", "Hill"}).status, CCliApp::kDone);
    CGatewayConfigDoc saved;
    ASSERT_TRUE(saved.Load(doc.Path()));
    const auto stations = saved.Stations()->GetChilds();
    // The loser's and the broken element are gone; the winner's slot 1 is new.
    ASSERT_EQ(stations.size(), 6u);
    EXPECT_STREQ(stations[3]->GetChild(L"RTPConfig")->GetChildValue(L"RTPType"), L"9");
    EXPECT_STREQ(stations[3]->GetChildValue(L"RepeaterGUID"), L"G-B");
    EXPECT_STREQ(stations[3]->GetChildValue(L"RepeaterAlias"), L"Hill");
    const auto rechecked = doc.Json({"check"});
    EXPECT_TRUE(rechecked["problems"].empty()) << rechecked.dump();
}

// Root ignores file modes, so the document's folder is made read-only by a read-only bind
// mount in a mount namespace of a child process; the test's own mounts are untouched.
TEST(Cli, ASaveThatFailsChangesNoOtherFile)
{
    const CliDocument doc;
    const std::string files = doc.Files();
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0)
    {
        const std::string folder = std::filesystem::path(doc.Path()).parent_path().string();
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) !=
                0)
            ::_exit(77);
        ::_exit(doc.Run({"basic", "set", "speed-unit=2", "local-port=7004"}).status);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no mount namespace here (needs root)";
    EXPECT_EQ(WEXITSTATUS(status), CCliApp::kDocumentError);
    // Gateway.ini's SPEEDUNIT was not changed before the document failed.
    EXPECT_EQ(doc.Files(), files);
}

// Hostile documents through the real executable: each ends with a status and a message, never
// a crash or a hang; a document that did not read completely is never changed, and content
// after the root stays through a change.
TEST(Cli, HostileDocumentsEndWithAStatusAndAreNeverDamaged)
{
    CTempDir dir;
    std::wstring deep = L"<MXRGateways><GatewayConfig>";
    for (int i = 0; i < 40000; ++i)
        deep += L"<d>";
    for (int i = 0; i < 40000; ++i)
        deep += L"</d>";
    deep += L"</GatewayConfig></MXRGateways>";
    const std::string sample = ReadBytes(rztest::SampleDocumentPath());
    std::string randomBytes = Utf16Document(L"");
    for (unsigned i = 0; i < 4000; ++i)
        randomBytes.push_back(static_cast<char>((i * 2654435761u) >> 24));

    struct Case
    {
        const char* name;
        std::string bytes;
        int checkStatus;
        const char* checkSays;
        bool changeable;
        std::string kept = {}; // bytes a change keeps
    };
    const Case cases[] = {
        {"deep", Utf16Document(deep), CCliApp::kDocumentError, "nested deeper than 256 levels",
         false},
        {"after the root",
         Utf16Document(L"<MXRGateways><GatewayConfig><Language>English</Language>"
                       L"</GatewayConfig></MXRGateways><Extra>keep me</Extra>"),
         CCliApp::kRefused, "content after the root element", true,
         rztest::Utf16(L"</MXRGateways><Extra>keep me</Extra>")},
        {"lone surrogate",
         Utf16Document(L"<MXRGateways><GatewayConfig><Language>Ma") + std::string("\x00\xD8", 2) +
             rztest::Utf16(L"n</Language></GatewayConfig></MXRGateways>"),
         CCliApp::kRefused, "lone surrogates", true, std::string("a\0\x00\xD8n\0", 6)},
        {"truncated", sample.substr(0, sample.size() / 2), CCliApp::kDocumentError, "", false},
        {"random", randomBytes, CCliApp::kDocumentError, "", false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(std::string(c.name) + ".XML");
        WriteBytes(path, c.bytes);
        const CliRun check = RunExecutable({"--document", path, "check"});
        EXPECT_EQ(check.status, c.checkStatus) << check.err;
        EXPECT_NE(check.out.find(c.checkSays), std::string::npos) << check.out;

        const CliRun set = RunExecutable({"--document", path, "basic", "set", "local-port=7003"});
        if (c.changeable)
        {
            EXPECT_EQ(set.status, CCliApp::kDone) << set.err;
            // What followed the root, or the broken character, is still there.
            EXPECT_NE(ReadBytes(path).find(c.kept), std::string::npos);
        }
        else
        {
            EXPECT_EQ(set.status, CCliApp::kDocumentError) << set.err;
            EXPECT_EQ(ReadBytes(path), c.bytes);
        }
    }

    // Files that are not documents: refused at once with a reason, no waiting on a pipe and no
    // reading without end.
    const std::string fifo = dir.File("fifo.XML");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& special : {fifo, std::string("/dev/zero")})
    {
        const CliRun run = RunExecutable({"--document", special, "check"});
        EXPECT_EQ(run.status, CCliApp::kDocumentError) << special;
        EXPECT_FALSE(run.err.empty()) << special;
    }
}
