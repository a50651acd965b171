#include "LanguageFiles.h"
#include "PrivateBus.h"
#include "SystemdStandIn.h"
#include "TestSupport.h"
#include "cli/CliApp.h"
#include "config/GatewayConfigDoc.h"
#include "platform/TextCodec.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using nlohmann::json;
using rztest::CTempDir;
using rztest::ReadBytes;
using rztest::Utf16Document;
using rztest::WriteBytes;

namespace
{

constexpr int kDone = CCliApp::kDone;
constexpr int kRefused = CCliApp::kRefused;
constexpr int kUsage = CCliApp::kUsage;
constexpr int kDocumentError = CCliApp::kDocumentError;
constexpr int kOperationFailed = CCliApp::kOperationFailed;

// The arguments of a command line: a text split at its spaces, or the arguments themselves.
struct Args : std::vector<std::string>
{
    Args(std::initializer_list<std::string> args) : std::vector<std::string>(args) {}
    Args(const char* line)
    {
        std::istringstream words(line);
        for (std::string word; words >> word;)
            push_back(word);
    }
};

struct CliRun
{
    int status;
    std::string out;
    std::string err;
};

CliRun RunCli(const Args& args)
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
    return [document, toolDir](Args args)
    {
        args.insert(args.begin(), {"--document", document, "--tool-dir", toolDir});
        return RunCli(args);
    };
}

// Runs the real executable with an argument vector and collects its standard output and error.
CliRun RunExecutable(const Args& args)
{
    std::vector<std::string> argv{RZ_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    const rztest::CProgramRun run = rztest::RunProgramCaptured(argv);
    return {run.status, run.out, run.err};
}

testing::AssertionResult Has(const std::string& text, const std::string& part)
{
    if (text.find(part) != std::string::npos)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "\"" << part << "\" is not in:\n" << text;
}

// A document of these GatewayConfig children, English chosen.
std::string Config(const std::wstring& children)
{
    return Utf16Document(L"<MXRGateways><GatewayConfig><Language>English</Language>" + children +
                         L"</GatewayConfig></MXRGateways>");
}

// An entry of the radio server list.
std::wstring Server(const std::wstring& ip, const std::wstring& port,
                    const std::wstring& used = L"TRUE",
                    const std::wstring& element = L"RadioServer")
{
    return L"<" + element + L"><Used>" + used + L"</Used><IPAddress>" + ip +
           L"</IPAddress><IPPort>" + port + L"</IPPort></" + element + L">";
}

// Five active radio servers, 10.0.0.1 to 10.0.0.5: as many as the page takes.
std::wstring FiveServers()
{
    std::wstring five;
    for (int i = 1; i <= 5; ++i)
        five += Server(L"10.0.0." + std::to_wstring(i), L"4000");
    return five;
}

// A command line, its exit status and, where given, its output and its error text.
struct Step
{
    Args args;
    int status;
    std::optional<std::string> out = {};
    std::optional<std::string> err = {};
};

// A command line that prints nothing on standard output and changes no file, its exit status
// and, where given, its error text.
struct Refusal
{
    Args args;
    int status;
    std::optional<std::string> err = {};
};

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
    CliRun Run(const Args& args) const { return RunCliOn(Path(), Tool())(args); }
    json Json(Args args, int status = kDone) const
    {
        args.insert(args.begin(), "--json");
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, status) << run.err;
        return json::parse(run.out);
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
    // The document as saved; none when it does not load.
    std::unique_ptr<CGatewayConfigDoc> Saved() const
    {
        auto saved = std::make_unique<CGatewayConfigDoc>();
        if (!saved->Load(Path()))
            return nullptr;
        return saved;
    }
    // Runs the steps in turn.
    void Expect(const std::vector<Step>& steps) const
    {
        for (const Step& step : steps)
        {
            SCOPED_TRACE(testing::PrintToString(step.args));
            const CliRun run = Run(step.args);
            EXPECT_EQ(run.status, step.status) << run.err;
            EXPECT_EQ(run.out, step.out.value_or(run.out));
            EXPECT_EQ(run.err, step.err.value_or(run.err));
        }
    }
    void ExpectRefused(const std::vector<Refusal>& refusals) const
    {
        const std::string files = Files();
        for (const Refusal& refusal : refusals)
        {
            Expect({{refusal.args, refusal.status, "", refusal.err}});
            EXPECT_EQ(Files(), files) << testing::PrintToString(refusal.args);
        }
    }

private:
    CTempDir m_dir;
};

} // namespace

TEST(Cli, CheckCountsTheSampleDocument)
{
    const std::string sample = rztest::SampleDocumentPath();
    const CliRun run = RunCli({"--document", sample, "check"});
    EXPECT_EQ(run.status, kDone) << run.err;
    EXPECT_TRUE(Has(run.out, "\nLanguage:          English\n"
                             "Radio servers:     2 (1 active)\n"
                             "Dispatch stations: 3 (2 active)\n"
                             "Repeaters:         2 (4 slots)\n"
                             "Problems:          none\n"));
    EXPECT_TRUE(Has(run.out, "Note: dispatch station 192.168.13.101 is not active"));

    const CliRun jsonRun = RunCli({"--json", "--document=" + sample, "check"});
    EXPECT_EQ(jsonRun.status, kDone);
    const auto parsed = json::parse(jsonRun.out);
    EXPECT_EQ(parsed["radioServers"], (json{{"total", 2}, {"active", 1}}));
    EXPECT_EQ(parsed["dispatchStations"], (json{{"total", 3}, {"active", 2}}));
    EXPECT_EQ(parsed["repeaters"], (json{{"total", 2}, {"slots", 4}}));
    EXPECT_TRUE(parsed["problems"].empty());

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
    const CliRun missingParts = doc.Run("check");
    EXPECT_EQ(missingParts.status, kRefused);
    for (const char* missing :
         {"Language was missing", "RadioServers is missing", "Stations is missing"})
        EXPECT_TRUE(Has(missingParts.out, missing));

    WriteBytes(doc.Path(),
               Utf16Document(L"<MXRGateways><GatewayConfig><LocalIP>1.2.3.4</LocalIPP>"));
    const CliRun broken = doc.Run("check");
    EXPECT_EQ(broken.status, kDocumentError);
    EXPECT_TRUE(Has(broken.out, "does not parse"));
    EXPECT_EQ(doc.Json("check", kDocumentError)["readable"], false);

    const CliRun absent = RunCli({"--document", doc.File("none.XML"), "check"});
    EXPECT_EQ(absent.status, kDocumentError);
    EXPECT_TRUE(Has(absent.err, "No such file"));
}

TEST(Cli, RewriteSavesAnEquivalentDocumentAndRefusesABrokenOne)
{
    const CliDocument doc;
    doc.Expect({{"rewrite", kDone, "Rewrote " + doc.Path() + "\n"}});
    CGatewayConfigDoc original;
    ASSERT_TRUE(original.Load(rztest::SampleDocumentPath()));
    const auto rewritten = doc.Saved();
    ASSERT_TRUE(rewritten);
    EXPECT_TRUE(original.Root() == rewritten->Root());

    // The real program refuses a broken document and leaves a record of that, and of a save, in
    // the tool's log.
    CTempDir state;
    rztest::CScopedEnv stateHome("XDG_STATE_HOME", state.Path());
    const std::string broken = Utf16Document(L"<MXRGateways><GatewayConfig><LocalIP>x</Local");
    WriteBytes(doc.File("Broken.XML"), broken);
    const CliRun refused = RunExecutable({"--document", doc.File("Broken.XML"), "rewrite"});
    EXPECT_EQ(refused.status, kDocumentError);
    EXPECT_TRUE(Has(refused.err, "not changed"));
    EXPECT_EQ(ReadBytes(doc.File("Broken.XML")), broken);
    EXPECT_EQ(RunExecutable({"--document", doc.Path(), "rewrite"}).status, kDone);
    const auto logDir = std::filesystem::path(state.Path()) / "RaviraZazu" / "log";
    ASSERT_TRUE(std::filesystem::exists(logDir));
    std::wstring log;
    for (const auto& entry : std::filesystem::directory_iterator(logDir))
        log += rz::Utf16LeToWide(ReadBytes(entry.path().string()).substr(2));
    EXPECT_TRUE(Has(rz::WideToUtf8(log), "does not parse"));
    EXPECT_TRUE(Has(rz::WideToUtf8(log), "rewrite: " + doc.Path() + " saved"));
}

TEST(Cli, UsageErrorsNameTheCommandAndWhereHelpIs)
{
    for (const char* mistyped : {"", "frobnicate", "--document", "--colour check", "check extra",
                                 "server change 1.1.1.1 2.2.2.2 3 --row 0", "--tool-dir= check"})
        EXPECT_EQ(RunCli(mistyped).status, kUsage) << mistyped;
    // An empty path would fall back to the machine's own document: refused.
    const CliRun empty = RunCli({"--document", "", "basic", "set", "local-port=7777"});
    EXPECT_EQ(empty.status, kUsage);
    EXPECT_TRUE(Has(empty.err, "--document"));
    CliDocument().ExpectRefused({
        {"server add 10.0.0.1", kUsage,
         "ravirazazu-cli: PORT is required\n"
         "Usage: ravirazazu-cli server add IP PORT\n"
         "Try 'ravirazazu-cli --help'.\n"},
        {"server add 10.0.0.x 1", kUsage,
         "ravirazazu-cli: server-ip: the field does not take 10.0.0.x\n"
         "Try 'ravirazazu-cli --help'.\n"},
    });
    EXPECT_EQ(RunCli("--help").status, kDone);
    EXPECT_EQ(RunCli("--version").out, "ravirazazu-cli 0.1.0\n");
}

TEST(Cli, ATestConnectionWithoutAnIpIsRefusedWithDebugOutputOnlyWhenAsked)
{
    // The connection test's adapter search is a notifier: its end is a line of debugger output.
    CTempDir dir;
    rztest::CScopedEnv state("XDG_STATE_HOME", dir.File("state"));
    const Args args = {"--document", dir.File("none.XML"), "test-connection", ""};
    {
        rztest::CScopedEnv debug("RAVIRAZAZU_DEBUG", "1");
        ::unsetenv("RAVIRAZAZU_DEBUG");
        const CliRun run = RunExecutable(args);
        EXPECT_EQ(run.status, kRefused);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "The value is required\n");
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
    const CliRun check = RunCli("check");
    EXPECT_EQ(check.status, kDone) << check.err;
    EXPECT_EQ(check.out.substr(0, check.out.find('\n')), "Document:          " + path);
    // The sample tool files lie beside the executables, the test program among them.
    EXPECT_TRUE(Has(RunCli("language list").out, "  Deutsch (German)  Deutsch\n"));
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
    EXPECT_EQ(text.substr(from + begin.size(), to - from - begin.size()), RunCli("--help").out);
}

TEST(Cli, JsonIsValidForAnyPath)
{
    // A file name that is not UTF-8, as Linux allows, with quotes, backslashes, line breaks,
    // tabs and other control characters, as a name may hold them.
    CTempDir dir;
    const std::string path = dir.File("a\\b\nc\td\re\x1f\xff\xfe\"Config\".XML");
    WriteBytes(path, ReadBytes(rztest::SampleDocumentPath()));
    const CliRun run = RunCli({"--json", "--document", path, "check"});
    EXPECT_EQ(run.status, kDone) << run.err;
    EXPECT_EQ(run.out.find('\n'), run.out.size() - 1); // one line
    json parsed;
    ASSERT_NO_THROW(parsed = json::parse(run.out)) << run.out;
    EXPECT_EQ(parsed["document"], dir.File("a\\b\nc\td\re\x1f\uFFFD\uFFFD\"Config\".XML"));
}

TEST(Cli, LanguagesAreListedShownAndChosen)
{
    const CliDocument doc;
    EXPECT_TRUE(Has(doc.Run("language list").out,
                    "  Deutsch (German)  Deutsch\n* English           English\n"));
    const auto initially = doc.Json("language list")["languages"];
    ASSERT_EQ(initially.size(), 2u);
    EXPECT_EQ(initially[0]["current"], false);
    EXPECT_EQ(initially[1]["current"], true);

    // An unknown name changes nothing; the display name chooses too, in any case.
    const std::string before = ReadBytes(doc.Path());
    const CliRun refused = doc.Run("language set Klingon");
    EXPECT_EQ(refused.status, kRefused);
    EXPECT_TRUE(Has(refused.err, "choose one of: Deutsch English"));
    EXPECT_EQ(ReadBytes(doc.Path()), before);
    doc.Expect({{{"language", "set", "deutsch (GERMAN)"},
                 kDone,
                 "Language set to Deutsch (Deutsch (German))\n",
                 ""},
                {"language text 10030", kDone, "Speichern fehlgeschlagen!\n"}});
    EXPECT_TRUE(Has(doc.Run("language list").out,
                    "* Deutsch (German)  Deutsch\n  English           English\n"));
    EXPECT_EQ(doc.Json("language list")["current"], "Deutsch");

    // The list is sorted as the page sorts it, without regard to case; a file that is not
    // named after its language is chosen with a note, since the tool finds files by name.
    CTempDir other;
    std::filesystem::create_directories(other.File("language"));
    for (const auto& [name, display] :
         {std::pair{"English.xml", L"English"}, std::pair{"dansk.xml", L"dansk"},
          std::pair{"Old.xml", L"Zulu"}})
        rztest::WriteLanguageFile(other.File("language/") + name,
                                  {{L"Language", {{L"Display", display}, {L"Language", display}}}});
    const auto onOther = RunCliOn(doc.Path(), other.Path());
    EXPECT_EQ(onOther("language list").out, "  Display  Language\n"
                                            "  dansk    dansk\n"
                                            "  English  English\n"
                                            "  Zulu     Zulu\n");
    const CliRun zulu = onOther("language set Zulu");
    EXPECT_EQ(zulu.status, kDone) << zulu.err;
    EXPECT_EQ(zulu.err, "ravirazazu-cli: note: the file is named " +
                            other.File("language/Old.xml") +
                            ", not after its language; the tool will fall back to English.XML\n");
    // Without language files there is nothing to list, and the list says where it looked.
    CTempDir empty;
    EXPECT_EQ(RunCliOn(doc.Path(), empty.Path())("language list").out,
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
    WriteBytes(path,
               Utf16Document(L"<MXRGateways><GatewayConfig><Language>Sparse</Language>"
                             L"<RadioServers>" +
                             FiveServers() + L"</RadioServers></GatewayConfig></MXRGateways>"));
    const auto run = RunCliOn(path, dir.File("tool"));
    EXPECT_EQ(run("language text 10030").out, "Nicht gespeichert\n");
    EXPECT_EQ(run("language text 10038").out, "\n");
    EXPECT_EQ(run("server add 10.0.0.6 4000").err,
              "ravirazazu-cli: You can only add no more than 5 radio servers.\n");
    // The speed units have no labels here: an empty name is none of them.
    EXPECT_EQ(run("basic set speed-unit=").status, kUsage);
}

TEST(Cli, CheckNamesWhatASaveRefusesOrRemoves)
{
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
         L"<LocalPort>70000</LocalPort><RadioServers>" + Server(L"10.0.0.1", L"1") +
             Server(L"10.0.0.1", L"1") + L"</RadioServers>" + noStations,
         "Radio servers:     2 (2 active)\nDispatch stations: 0 (0 active)\n"
         "Repeaters:         0 (0 slots)\nProblems:\n"
         "  - radio server 10.0.0.1 is listed more than once (rows 1, 2)\n"
         "  - local-port=70000: Range: 1-65535 (a save refuses this value)\n"},
        // Five active servers are as many as the page takes.
        {"five servers, two slots without RadioID and an inactive entry without an address",
         L"<RadioServers>" + FiveServers() +
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
        doc.Expect(
            {{"check", kRefused,
              "Document:          " + doc.Path() + "\nLanguage:          English\n" + c.shown}});
    }
    const CliRun bare =
        CliDocument(Utf16Document(L"<MXRGateways><Other/></MXRGateways>")).Run("check");
    EXPECT_EQ(bare.status, kRefused);
    EXPECT_TRUE(Has(bare.out, "Problems:\n  - GatewayConfig is missing: every setting shows its "
                              "default\n"));
}

TEST(Cli, SwitchesAndChoicesTakeTheirUsualSpellingsNumbersAndLabels)
{
    const CliDocument doc(Config(L"<RadioServers/>"));
    const struct
    {
        const char* assignment;
        const char* key;
        json shown;
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
        ASSERT_EQ(doc.Run({"basic", "set", assignment}).status, kDone);
        EXPECT_EQ(doc.Json("basic show")[key], shown);
    }
    doc.ExpectRefused({{"basic set rrs-disabled=maybe", kUsage},
                       {"basic set codec=opus", kUsage,
                        "ravirazazu-cli: codec: one of G.711u, G.711a or G.729a\n"
                        "Try 'ravirazazu-cli --help'.\n"}});

    // The label is the chosen language's: German names knots Knoten.
    ASSERT_EQ(doc.Run("language set Deutsch").status, kDone);
    ASSERT_EQ(doc.Run("basic set speed-unit=KNOTEN").status, kDone);
    const auto shown = doc.Json("basic show");
    EXPECT_EQ(shown["speed-unit"], 2);
    EXPECT_EQ(shown["speed-unit-name"], "Knoten");
}

TEST(Cli, BasicSettingsAreShownAsThePageShowsThem)
{
    std::wstring config = L"<LocalIP>10.1.2.3</LocalIP><LocalPort>3003</LocalPort>"
                          L"<VOIPBeginPort>4000</VOIPBeginPort><VocCodec>8:G.711a</VocCodec>"
                          L"<KeepUnsubscribedGPSData>1</KeepUnsubscribedGPSData>"
                          L"<KeepRRSRetryTime>0</KeepRRSRetryTime><RadioServers>" +
                          Server(L"10.0.0.7", L"4001") + L"</RadioServers>";
    const CliDocument doc(Config(config));
    EXPECT_EQ(doc.Run("basic show").out, "local-ip       10.1.2.3\n"
                                         "local-port     3003\n"
                                         "voip-port      4000\n"
                                         "codec          G.711a\n"
                                         "speed-unit     0 (km/h)\n"
                                         "gps-tracking   on\n"
                                         "rrs-disabled   off\n"
                                         "radio servers  1 of at most 5\n");
    EXPECT_EQ(doc.Json("basic show"), json::parse(R"({"local-ip":"10.1.2.3","local-port":"3003",
                  "voip-port":"4000","codec":"G.711a","speed-unit":0,"speed-unit-name":"km/h",
                  "gps-tracking":true,"rrs-disabled":false,
                  "servers":[{"ip":"10.0.0.7","port":"4001"}]})"));

    // Each key changes its own setting; an odd VoIP port is saved with the page's hint, which
    // goes to stderr only.
    ASSERT_EQ(doc.Run("basic set voip-port=4002 rrs-disabled=on codec=G.729a").status, kDone);
    const auto shown = doc.Json("basic show");
    EXPECT_EQ(shown["voip-port"], "4002");
    EXPECT_EQ(shown["local-port"], "3003");
    EXPECT_EQ(shown["rrs-disabled"], true);
    EXPECT_EQ(shown["gps-tracking"], true);
    EXPECT_EQ(shown["codec"], "G.729a");
    doc.Expect({{"basic set voip-port=4003", kDone, "",
                 "ravirazazu-cli: voip-port: Should be even numbers!\n"}});

    // A value the document already holds and no field would accept refuses any save through
    // the page, also of another setting.
    config.replace(config.find(L"3003"), 4, L"70000");
    WriteBytes(doc.Path(), Config(config));
    doc.ExpectRefused({{"basic set voip-port=4000", kRefused,
                        "ravirazazu-cli: local-port=70000: Range: 1-65535\n"}});
}

TEST(Cli, RadioServersFollowThePagesRules)
{
    const CliDocument doc(Config(L""));
    for (int i = 1; i <= 5; ++i)
        ASSERT_EQ(doc.Run({"server", "add", "10.0.0." + std::to_string(i), "4000"}).status, kDone);
    // A full list refuses before it looks at the values, as the page's Add button does; a
    // change of the port alone is refused.
    const std::string full = "ravirazazu-cli: You can only add no more than 5 radio servers.\n";
    doc.ExpectRefused({
        {"server add 10.0.0.6 4000", kRefused, full},
        {"server add 10.0.0.x 4000", kRefused, full},
        {"server change 10.0.0.1 10.0.0.1 5000", kRefused,
         "ravirazazu-cli: server-ip=10.0.0.1: Please change the IP\n"},
        {"server remove 10.0.0.2 10.9.9.9", kRefused},
    });
    // Values go through the fields' corrections, every one of which is said.
    doc.Expect({
        {"server change 10.0.0.1 10.7 70000", kDone,
         "server-ip: 10.7 -> 10.7.0.0\nserver-port: 70000 -> 65535\n"},
        {"server remove 10.0.0.2 10.0.0.3", kDone},
        {"server add 10.0.0.x 1", kUsage},
        {"server add 999.1.1.1 4000", kDone, "server-ip: 999.1.1.1 -> 255.1.1.1\n"},
        {"basic set local-port=70000 speed-unit=knots gps-tracking=on", kDone,
         "local-port: 70000 -> 65535\n"},
    });
    EXPECT_TRUE(Has(doc.Run("server list").out, "1    10.7.0.0         65535\n"));
    EXPECT_EQ(doc.Json("server list"), json::parse(R"({"max":5,"servers":[
        {"row":1,"ip":"10.7.0.0","port":"65535"},{"row":2,"ip":"10.0.0.4","port":"4000"},
        {"row":3,"ip":"10.0.0.5","port":"4000"},{"row":4,"ip":"255.1.1.1","port":"4000"}]})"));
    const auto shown = doc.Json("basic show");
    EXPECT_EQ(shown["local-port"], "65535");
    EXPECT_EQ(shown["gps-tracking"], true);
    EXPECT_TRUE(Has(ReadBytes(doc.Tool() + "/Gateway.ini"), "SPEEDUNIT=2\r\n"));
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
    const auto service = [](const std::string& command, int status = kDone)
    {
        const CliRun run = RunCli({"--tool-dir", rztest::SampleToolDir(), "service", command});
        EXPECT_EQ(run.status, status) << command << ": " << run.err;
        return run;
    };
    const auto shown = []
    {
        return json::parse(
            RunCli({"--json", "--tool-dir", rztest::SampleToolDir(), "service", "status"}).out);
    };
    const auto state = [&systemd]
    { return systemd.GetUnit("quorix-gateway.service")->activeState; };
    const auto lastJob = [&systemd] { return systemd.JobsRun().back(); };

    EXPECT_EQ(service("status").out,
              "Quorix MXR Gateway (quorix-gateway.service): running (4), enabled\n");
    EXPECT_EQ(service("stop").out, "stop of quorix-gateway.service requested (it was running)\n");
    EXPECT_EQ(state(), "inactive");
    EXPECT_EQ(shown()["state"], 1);
    EXPECT_EQ(shown()["stateName"], "stopped");
    // Restart starts a stopped service and restarts a running one.
    service("restart");
    EXPECT_EQ(state(), "active");
    EXPECT_EQ(lastJob(), "StartUnit quorix-gateway.service");
    service("restart");
    EXPECT_EQ(lastJob(), "RestartUnit quorix-gateway.service");
    service("stop");
    service("start");
    EXPECT_EQ(lastJob(), "StartUnit quorix-gateway.service");

    // Whether it starts with the system, as its unit file says.
    unit("deactivating", "disabled");
    EXPECT_EQ(service("status").out,
              "Quorix MXR Gateway (quorix-gateway.service): stopping (3), disabled\n");
    EXPECT_EQ(shown()["enabled"], false);
    EXPECT_EQ(shown()["unitFileState"], "disabled");
    unit("active", "static");
    EXPECT_EQ(service("status").out,
              "Quorix MXR Gateway (quorix-gateway.service): running (4), static\n");
    EXPECT_EQ(shown()["enabled"], false);

    systemd.SetRefuse(true);
    EXPECT_TRUE(Has(service("restart", kOperationFailed).err, "Access denied"));

    // A service that is not there, and an ini that names none, which switches the watch off:
    // there is nothing to drive.
    CTempDir dir;
    const auto statusWith = [&dir](const std::string& ini)
    {
        WriteBytes(dir.File("MXRServiceDog.ini"), ini);
        const CliRun run = RunCli({"--tool-dir", dir.Path(), "service", "status"});
        EXPECT_EQ(run.status, kOperationFailed);
        return run.err;
    };
    EXPECT_TRUE(Has(statusWith("[Settings]\r\nServiceName=Other Gateway\r\n"),
                    "Other Gateway is not installed"));
    EXPECT_EQ(statusWith("[Settings]\r\nServiceName=\r\n"),
              "ravirazazu-cli: MXRServiceDog.ini names no service; there is nothing to watch\n");
}

TEST(Cli, ARefusedCommandLeavesEveryFileAsItWas)
{
    // A duplicated address, an inactive entry and a child that is no RadioServer but active.
    const CliDocument doc(Config(L"<LocalPort>3003</LocalPort><RadioServers>" +
                                 Server(L"10.0.0.1", L"1") + Server(L"10.0.0.9", L"9", L"FALSE") +
                                 Server(L"10.0.0.2", L"2", L"true", L"Spare") +
                                 Server(L"10.0.0.1", L"3") + L"</RadioServers>"));
    // An unusable speed unit: opening the page would repair it, a refused command must not.
    const std::string ini = doc.Tool() + "/Gateway.ini";
    WriteBytes(ini, "[TELEMETRYGPSFLAGSTRINGS]\r\nSPEEDUNIT=7\r\n");
    // Mistyped commands are usage errors (2), requests a rule refuses are refusals (1); the
    // ambiguous address says how to choose.
    doc.ExpectRefused({
        {"basic set local-port=1 codec=opus", kUsage},
        {"basic set voip-port=12x", kUsage},
        {"basic set nonsense=1", kUsage,
         "ravirazazu-cli: unknown setting nonsense (local-ip local-port voip-port codec "
         "speed-unit gps-tracking rrs-disabled)\nTry 'ravirazazu-cli --help'.\n"},
        {"server add 10.0.0.2 5", kRefused},
        {"server change 10.0.0.1 10.0.0.5 5", kRefused},
        {"server change 10.0.0.1 10.0.0.2 5 --row 4", kRefused},
        {"server change 10.0.0.7 10.0.0.5 5", kRefused,
         "ravirazazu-cli: no radio server has the address 10.0.0.7\n"},
        {"server remove 10.0.0.1", kRefused,
         "ravirazazu-cli: 2 radio servers have the address 10.0.0.1 (rows 1 and 3); "
         "choose one with --row N\n"},
        {"server remove 10.0.0.2 10.0.0.7", kRefused},
        {"server remove 10.0.0.1 10.0.0.2 --row 1", kUsage},
    });

    // check agrees with the page: three active servers (the Spare one too), one address twice,
    // the inactive entry counted.
    const auto checked = doc.Json("check", kRefused);
    EXPECT_EQ(checked["radioServers"], (json{{"total", 4}, {"active", 3}}));
    EXPECT_TRUE(Has(checked["problems"].dump(),
                    "radio server 10.0.0.1 is listed more than once (rows 1, 3)"));

    // The second of the two is changed by its row; the first stays as it was, the inactive
    // entry is still there but not listed, and the speed unit was repaired with the change.
    ASSERT_EQ(doc.Run("server change 10.0.0.1 10.0.0.5 5 --row 3").status, kDone);
    const auto listed = doc.Json("server list")["servers"];
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0]["port"], "1");
    EXPECT_EQ(listed[1]["ip"], "10.0.0.2");
    EXPECT_EQ(listed[2]["ip"], "10.0.0.5");
    const auto saved = doc.Saved();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->RadioServers()->GetChildCount(), 4u);
    EXPECT_EQ(ReadBytes(ini), "[TELEMETRYGPSFLAGSTRINGS]\r\nSPEEDUNIT=0\r\n");
    EXPECT_EQ(doc.Run("server remove 10.0.0.1 --row 1").status, kDone);
}

TEST(Cli, AnIniFileThatCannotBeWrittenLeavesTheDocumentUnwritten)
{
    const CliDocument doc;
    // Gateway.ini is a folder: it can be neither read nor replaced.
    const std::string ini = doc.Tool() + "/Gateway.ini";
    std::filesystem::remove(ini);
    std::filesystem::create_directories(ini);
    const CliRun run = doc.Run("basic set speed-unit=mph");
    EXPECT_EQ(run.status, kDocumentError);
    // With the system's reason.
    EXPECT_TRUE(Has(run.err, "cannot write " + ini + ": Is a directory\n"));
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
    const std::string alias32(32, 'L');
    EXPECT_EQ(doc.Run("station list").out,
              "ROW  IP               PSEUDO ID  KIND       MIC  ALIAS\n"
              "1    10.0.0.1         10         gps        1    Harbour\n"
              "     speaker: Old Speaker\n"
              "2    10.0.0.3         10         quick-gps  1    " +
                  alias32 + "\n     speaker: Old Speaker\n");

    // Refused and mistyped commands leave the files as they were, with the page's messages.
    doc.ExpectRefused({
        {"station add --alias Dock --pseudo-id 4 --ip 10.0.0.1", kRefused,
         "ravirazazu-cli: ip=10.0.0.1: The IP already exists\n"},
        {{"station", "add", "--alias", "", "--pseudo-id", "4", "--ip", "10.0.0.4"},
         kRefused,
         "ravirazazu-cli: alias: The value is required\n"},
        {"station change 10.0.0.1 --ip 10.0.0.3", kRefused,
         "ravirazazu-cli: ip=10.0.0.3: The IP already exists\n"},
        // The alias of 32 characters came from the document: a change that keeps it is refused.
        {"station change 10.0.0.3 --kind voice", kRefused,
         "ravirazazu-cli: alias=" + alias32 + ": The value is required\n"},
        {"station change 10.0.0.2 --kind voice", kRefused,
         "ravirazazu-cli: no dispatch station has the IP 10.0.0.2\n"},
        {"station remove 10.0.0.1 10.0.0.9", kRefused,
         "ravirazazu-cli: no dispatch station has the IP 10.0.0.9\n"},
        {"station add --alias 12345678901234567 --pseudo-id 4 --ip 10.0.0.4", kUsage},
        {"station add --alias Dock --pseudo-id 4x --ip 10.0.0.4", kUsage},
        {"station add --alias Dock --pseudo-id 4 --ip 10.0.0.4 --kind boat", kUsage},
        {"station change 10.0.0.1 --front-mic 2", kUsage},
        {"station add --alias Dock --ip 10.0.0.4", kUsage},
        {"station add --pseudo-id 4 --ip 10.0.0.4", kUsage},
    });

    // Every correction is said; quick GPS and the microphone switch as given. What is not given
    // keeps its value; the stored "5" is written back as GPS ("1").
    doc.Expect({{{"station", "add", "--alias", "Dock 4", "--pseudo-id", "104", "--ip", "10.9",
                  "--kind", "quick-gps", "--front-mic", "1", "--microphone", "Desk Mic"},
                 kDone,
                 "ip: 10.9 -> 10.9.0.0\n"},
                {{"station", "change", "10.0.0.1", "--alias", "Harbour Ops"}, kDone}});
    const auto listed = doc.Json("station list")["stations"];
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0], json::parse(R"({"row":1,"guid":"G-1","alias":"Harbour Ops",
                  "pseudo-id":"10","ip":"10.0.0.1","kind":"gps",
                  "kind-name":"GPS Dispatch Station","is-data":"1","front-mic":true,
                  "speaker":"Old Speaker","microphone":""})"));
    EXPECT_EQ(listed[2]["ip"], "10.9.0.0");
    EXPECT_EQ(listed[2]["is-data"], "2");
    EXPECT_EQ(listed[2]["front-mic"], true);
    EXPECT_EQ(listed[2]["microphone"], "Desk Mic");
    EXPECT_TRUE(Has(doc.Run("station list").out,
                    "3    10.9.0.0         104        quick-gps  1    Dock 4\n"
                    "     microphone: Desk Mic\n"));

    ASSERT_EQ(doc.Run("station remove 10.0.0.1 10.9.0.0").status, kDone);
    const auto left = doc.Json("station list")["stations"];
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0]["guid"], "G-3");
}

TEST(Cli, StationsOfOneAddressAreReportedAndChosenByRow)
{
    std::wstring config = StationsConfig();
    // The inactive station becomes an active one with the first station's address.
    config.replace(config.find(L"FALSE"), 5, L"TRUE");
    config.replace(config.find(L"10.0.0.2"), 8, L"10.0.0.1");
    const CliDocument doc(Config(config));

    const auto checked = doc.Json("check", kRefused);
    EXPECT_EQ(checked["dispatchStations"], (json{{"total", 3}, {"active", 3}}));
    EXPECT_EQ(checked["problems"],
              json::array({"dispatch station 10.0.0.1 is listed more than once (rows 1, 2)"}));
    doc.ExpectRefused({
        {"station remove 10.0.0.1", kRefused,
         "ravirazazu-cli: 2 dispatch stations have the IP 10.0.0.1 (rows 1 and 2); choose one "
         "with --row N\n"},
        {"station change 10.0.0.1 --row 3 --ip 10.0.0.5", kRefused,
         "ravirazazu-cli: row 3 is not a dispatch station with the IP 10.0.0.1\n"},
        {"station remove 10.0.0.1 10.0.0.3 --row 1", kUsage},
    });

    ASSERT_EQ(doc.Run("station change 10.0.0.1 --row 2 --ip 10.0.0.2").status, kDone);
    const auto listed = doc.Json("station list")["stations"];
    EXPECT_EQ(listed[0]["guid"], "G-1");
    EXPECT_EQ(listed[1]["guid"], "G-2");
    EXPECT_EQ(listed[1]["ip"], "10.0.0.2");

    // The connection test names the station of the IP: listed ones only.
    const auto firstLine = [&doc]
    {
        const std::string out = doc.Run("test-connection 10.0.0.2").out;
        return out.substr(0, out.find('\n'));
    };
    EXPECT_EQ(firstLine(), "Station Spare (pseudo ID 10)");
    WriteBytes(doc.Path(), Config(StationsConfig()));
    EXPECT_EQ(firstLine(), "No dispatch station of " + doc.Path() + " has the IP 10.0.0.2");
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
    auto listed = doc.Json("repeater list");
    EXPECT_EQ(listed["minRows"], 6);
    EXPECT_EQ(listed["repeaters"], json::array());
    EXPECT_EQ(listed["rtpTypes"], json::parse(R"([{"value":0,"label":"Basic Privacy"},
        {"value":1,"label":"Enhanced Privacy"},{"value":2,"label":"AES-256"},
        {"value":3,"label":"ARC4"}])"));

    doc.Expect({{"repeater add 1001", kDone, "alias: Repeater1 (proposed)\n"},
                {"repeater add 1002 --alias Quay --ip-site-id 2 --pseudo-id P-7 --slot1 "
                 "kind=quick-gps,encrypt=on,rtp-type=aes-256 --slot2 used=off,alias=,subnet=1.5 "
                 "--slot2 rtp-type=3",
                 kDone, ""}});
    listed = doc.Json("repeater list");
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

    // A change keeps what it is not given.
    ASSERT_EQ(
        doc.Run("repeater change 1001 --alias Hill --slot2 kind=gps,ip-site-channel=on").status,
        kDone);
    const auto hill = doc.Json("repeater list")["repeaters"][0];
    EXPECT_EQ(hill["alias"], "Hill");
    EXPECT_EQ(hill["slots"][1]["kind"], "gps");
    EXPECT_EQ(hill["slots"][1]["ipSiteChannel"], true);
    EXPECT_EQ(hill["slots"][1]["alias"], "Slot2");
    EXPECT_EQ(hill["guid"], listed["repeaters"][0]["guid"]);

    ASSERT_EQ(doc.Run("repeater remove 1001").status, kDone);
    listed = doc.Json("repeater list");
    ASSERT_EQ(listed["repeaters"].size(), 1u);
    EXPECT_EQ(listed["repeaters"][0]["radioId"], "1002");
    EXPECT_TRUE(Has(doc.Run("repeater list").out, "1002        Quay"));
}

TEST(Cli, RepeatersAreListedAsTheirSlotsAre)
{
    EXPECT_EQ(CliDocument(Config(L"<RadioServers/>")).Run("repeater list").out, "No repeaters.\n");
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
    EXPECT_EQ(doc.Run("repeater list").out,
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
    ASSERT_EQ(doc.Run("repeater add 1001").status, kDone);
    const std::string missing = "ravirazazu-cli: no repeater has the Radio ID 1009\n";
    doc.ExpectRefused({
        {"repeater add 1001", kRefused,
         "ravirazazu-cli: radio-id=1001: The Radio ID already exists\n"},
        {{"repeater", "add", "1002", "--alias", ""},
         kRefused,
         "ravirazazu-cli: alias: The value is required\n"},
        {"repeater change 1001 --slot2 subnet=", kRefused,
         "ravirazazu-cli: slot2.subnet: The value is required\n"},
        {"repeater change 1009 --alias x", kRefused, missing},
        {"repeater remove 1001 1009", kRefused, missing},
        {"repeater add 10x", kUsage},
        {{"repeater", "add", "1002", "--alias", std::string(33, 'a')}, kUsage},
        {"repeater add 1002 --slot2 subnet=12345678901234567", kUsage},
        {"repeater add 1002 --slot1 rtp-type=7", kUsage,
         "ravirazazu-cli: slot1.rtp-type: one of 0 (Basic Privacy), 1 (Enhanced Privacy), "
         "2 (AES-256), 3 (ARC4)\nTry 'ravirazazu-cli --help'.\n"},
        {"repeater add 1002 --slot1 kind=data", kUsage},
        {"repeater add 1002 --slot1 colour=red", kUsage},
        {"repeater add 1002 --slot1 used=maybe", kUsage},
        {"ports set ADKRCPPort1=1 Bogus=1", kUsage,
         "ravirazazu-cli: unknown setting Bogus (ADKRCPPort1 ADKTMPPort1 ADKLPPort1 "
         "ADKRRSPort1 ADKRTPPort1 ADKRCPPort2 ADKTMPPort2 ADKLPPort2 ADKRRSPort2 ADKRTPPort2 "
         "ADKTPPort1 ADKTPPort2 ADKRTPAnalogPort ADKRCPAnalogPort "
         "RepeaterTransmitTimeout)\nTry 'ravirazazu-cli --help'.\n"},
        {"ports set RepeaterTransmitTimeout=1.5", kUsage},
        {"log set --size 5.5", kUsage},
        {"log set --size 20 --level loud", kUsage},
        {"log set", kUsage},
    });
    // Without a language file the message that only one supplies is named by its number.
    std::filesystem::remove_all(doc.Tool() + "/language");
    std::filesystem::remove(doc.Tool() + "/English.XML");
    EXPECT_EQ(doc.Run("repeater add 1001").err, "ravirazazu-cli: radio-id=1001: message 10045\n");
}

TEST(Cli, PortsAreShownAndSetByTheirElementNames)
{
    const CliDocument doc(Config(L"<ADKTPPort2>40000</ADKTPPort2>"));
    auto ports = doc.Json("ports show");
    EXPECT_EQ(ports.size(), 15u);
    EXPECT_EQ(ports["ADKRTPPort1"], "30012");
    EXPECT_EQ(ports["ADKTPPort2"], "40000");
    EXPECT_EQ(ports["RepeaterTransmitTimeout"], "60");

    doc.Expect({{"ports set ADKRTPPort1=70000 repeatertransmittimeout=90", kDone,
                 "ADKRTPPort1: 70000 -> 65535\n"}});
    ports = doc.Json("ports show");
    EXPECT_EQ(ports["ADKRTPPort1"], "65535");
    EXPECT_EQ(ports["RepeaterTransmitTimeout"], "90");
    // The save writes every port setting; the document had no station list and gets none.
    const auto saved = doc.Saved();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->GatewayConfig()->GetChildCount(), 16u);
    EXPECT_EQ(saved->Stations(), nullptr);
    EXPECT_TRUE(Has(doc.Run("ports show").out, "ADKRCPAnalogPort         30016\n"));
}

TEST(Cli, LogSettingsFollowTheOthersPage)
{
    const CliDocument doc(Config(L"<LogFilter>4</LogFilter>"));
    EXPECT_EQ(doc.Json("log show"),
              json::parse(R"({"size":"10","level":"error","levelName":"Error"})"));
    doc.Expect({{"log show", kDone, "size   10 MB\nlevel  error (Error)\n"},
                {"log set --size 050 --level Warning", kDone, ""}});
    EXPECT_EQ(doc.Json("log show")["size"], "050");

    // A size out of range: the page's hint, and 10 as leaving the field gives.
    doc.Expect({{"log set --size 500", kDone, "size: 500 -> 10\n",
                 "ravirazazu-cli: size: Range: 1-100 Default Value:10\n"}});
    EXPECT_EQ(doc.Json("log show"),
              json::parse(R"({"size":"10","level":"warning","levelName":"Warning"})"));
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
    const auto checked = doc.Json("check", kRefused);
    EXPECT_EQ(checked["repeaters"], (json{{"total", 2}, {"slots", 3}}));
    EXPECT_EQ(checked["dispatchStations"], (json{{"total", 1}, {"active", 1}}));
    EXPECT_EQ(checked["problems"], json::array({"a repeater slot without RadioID or RepeaterGUID "
                                                "is removed at the next save"}));
    ASSERT_EQ(checked["notes"].size(), 2u);
    EXPECT_TRUE(Has(checked["notes"][0].get<std::string>(),
                    "repeater 1001 has slots of more than one RepeaterGUID"));
    EXPECT_TRUE(Has(checked["notes"][1].get<std::string>(), "repeater 1002"));

    // The type that the ini file no longer lists is shown and kept through a change.
    const auto shown = doc.Json("repeater list")["repeaters"][0]["slots"][0];
    EXPECT_EQ(shown["rtpType"], 9);
    EXPECT_EQ(shown["rtpTypeListed"], false);
    EXPECT_EQ(shown["rtpTypeLabel"], nullptr);
    ASSERT_EQ(doc.Run("repeater change 1001 --alias Hill").status, kDone);
    const auto saved = doc.Saved();
    ASSERT_TRUE(saved);
    const auto stations = saved->Stations()->GetChilds();
    // The loser's and the broken element are gone; the winner's slot 1 is new.
    ASSERT_EQ(stations.size(), 6u);
    EXPECT_STREQ(stations[3]->GetChild(L"RTPConfig")->GetChildValue(L"RTPType"), L"9");
    EXPECT_STREQ(stations[3]->GetChildValue(L"RepeaterGUID"), L"G-B");
    EXPECT_STREQ(stations[3]->GetChildValue(L"RepeaterAlias"), L"Hill");
    const auto rechecked = doc.Json("check");
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
        ::_exit(doc.Run("basic set speed-unit=2 local-port=7004").status);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no mount namespace here (needs root)";
    EXPECT_EQ(WEXITSTATUS(status), kDocumentError);
    // Gateway.ini's SPEEDUNIT was not changed before the document failed.
    EXPECT_EQ(doc.Files(), files);
}

// The real program on documents that would make a careless reader crash, hang or damage them.
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
        std::string kept; // bytes that a change keeps; empty: the document cannot be changed
    };
    const Case cases[] = {
        {"deep", Utf16Document(deep), kDocumentError, "nested deeper than 256 levels", ""},
        {"after the root",
         Utf16Document(L"<MXRGateways><GatewayConfig><Language>English</Language>"
                       L"</GatewayConfig></MXRGateways><Extra>keep me</Extra>"),
         kRefused, "content after the root element",
         rztest::Utf16(L"</MXRGateways><Extra>keep me</Extra>")},
        {"lone surrogate",
         Utf16Document(L"<MXRGateways><GatewayConfig><Language>Ma") + std::string("\x00\xD8", 2) +
             rztest::Utf16(L"n</Language></GatewayConfig></MXRGateways>"),
         kRefused, "lone surrogates", std::string("a\0\x00\xD8n\0", 6)},
        {"truncated", sample.substr(0, sample.size() / 2), kDocumentError, "", ""},
        {"random", randomBytes, kDocumentError, "", ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(std::string(c.name) + ".XML");
        WriteBytes(path, c.bytes);
        const CliRun check = RunExecutable({"--document", path, "check"});
        EXPECT_EQ(check.status, c.checkStatus) << check.err;
        EXPECT_TRUE(Has(check.out, c.checkSays));

        const CliRun set = RunExecutable({"--document", path, "basic", "set", "local-port=7003"});
        EXPECT_EQ(set.status, c.kept.empty() ? kDocumentError : kDone) << set.err;
        if (c.kept.empty())
            EXPECT_EQ(ReadBytes(path), c.bytes);
        else // what followed the root, or the broken character, is still there
            EXPECT_TRUE(Has(ReadBytes(path), c.kept));
    }

    // Files that are not documents: refused at once with a reason, no waiting on a pipe and no
    // reading without end.
    const std::string fifo = dir.File("fifo.XML");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& special : {fifo, std::string("/dev/zero")})
    {
        const CliRun run = RunExecutable({"--document", special, "check"});
        EXPECT_EQ(run.status, kDocumentError) << special;
        EXPECT_FALSE(run.err.empty()) << special;
    }
}
