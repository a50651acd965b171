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
#include <spawn.h>
#include <sys/mount.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using rztest::CTempDir;
using rztest::ReadBytes;
using rztest::WriteBytes;

extern char** environ;

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

// Runs the real executable with an argument vector and collects its standard output.
CliRun RunExecutable(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    std::string program = RZ_CLI_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (auto& arg : copies)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    std::array<int, 2> pipeFds{};
    if (::pipe(pipeFds.data()) != 0)
        return {-1, {}, {}};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    std::string output;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    if (spawned != 0)
        return {-1, {}, {}};
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output, {}};
}

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
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    WriteBytes(path, rztest::Utf16(L"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                                   L"<MXRGateways><GatewayConfig><LocalIP>1.2.3.4</LocalIP>"
                                   L"</GatewayConfig></MXRGateways>"));
    const CliRun missingParts = RunCli({"--document", path, "check"});
    EXPECT_EQ(missingParts.status, CCliApp::kRefused);
    EXPECT_NE(missingParts.out.find("Language was missing"), std::string::npos);
    EXPECT_NE(missingParts.out.find("RadioServers is missing"), std::string::npos);
    EXPECT_NE(missingParts.out.find("Stations is missing"), std::string::npos);

    WriteBytes(path, rztest::Utf16(L"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                                   L"<MXRGateways><GatewayConfig><LocalIP>1.2.3.4</LocalIPP>"));
    const CliRun broken = RunCli({"--document", path, "check"});
    EXPECT_EQ(broken.status, CCliApp::kDocumentError);
    EXPECT_NE(broken.out.find("does not parse"), std::string::npos) << broken.out;

    const CliRun absent = RunCli({"--document", dir.File("none.XML"), "check"});
    EXPECT_EQ(absent.status, CCliApp::kDocumentError);
    EXPECT_NE(absent.err.find("No such file"), std::string::npos);
}

TEST(Cli, RewriteSavesAnEquivalentDocumentAndRefusesABrokenOne)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    WriteBytes(path, ReadBytes(rztest::SampleDocumentPath()));
    const CliRun run = RunCli({"--document", path, "rewrite"});
    ASSERT_EQ(run.status, CCliApp::kDone) << run.err;

    CGatewayConfigDoc original;
    CGatewayConfigDoc rewritten;
    ASSERT_TRUE(original.Load(rztest::SampleDocumentPath()));
    ASSERT_TRUE(rewritten.Load(path));
    EXPECT_TRUE(original.Root() == rewritten.Root());

    const std::string broken =
        rztest::Utf16(L"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                      L"<MXRGateways><GatewayConfig><LocalIP>x</Local");
    WriteBytes(path, broken);
    const CliRun refused = RunCli({"--document", path, "rewrite"});
    EXPECT_EQ(refused.status, CCliApp::kDocumentError);
    EXPECT_NE(refused.err.find("not changed"), std::string::npos);
    EXPECT_EQ(ReadBytes(path), broken);

    // The real program leaves a record of the refusal in the tool's log.
    CTempDir state;
    rztest::CScopedEnv stateHome("XDG_STATE_HOME", state.Path());
    EXPECT_EQ(RunExecutable({"--document", path, "rewrite"}).status, CCliApp::kDocumentError);
    const auto logDir = std::filesystem::path(state.Path()) / "RaviraZazu" / "log";
    ASSERT_TRUE(std::filesystem::exists(logDir));
    std::wstring logText;
    for (const auto& entry : std::filesystem::directory_iterator(logDir))
        logText += rz::Utf16LeToWide(ReadBytes(entry.path().string()).substr(2));
    EXPECT_NE(logText.find(L"does not parse"), std::wstring::npos) << rz::WideToUtf8(logText);
}

TEST(Cli, UsageErrors)
{
    EXPECT_EQ(RunCli({}).status, CCliApp::kUsage);
    EXPECT_EQ(RunCli({"frobnicate"}).status, CCliApp::kUsage);
    EXPECT_EQ(RunCli({"--document"}).status, CCliApp::kUsage);
    EXPECT_EQ(RunCli({"--colour", "check"}).status, CCliApp::kUsage);
    EXPECT_EQ(RunCli({"check", "extra"}).status, CCliApp::kUsage);
    EXPECT_EQ(RunCli({"server", "add", "10.0.0.1"}).status, CCliApp::kUsage);
    EXPECT_EQ(RunCli({"server", "change", "1.1.1.1", "2.2.2.2", "3", "--row", "0"}).status,
              CCliApp::kUsage);
    // An empty path would fall back to the machine's own document: refused.
    const CliRun empty = RunCli({"--document", "", "basic", "set", "local-port=7777"});
    EXPECT_EQ(empty.status, CCliApp::kUsage);
    EXPECT_NE(empty.err.find("--document"), std::string::npos) << empty.err;
    EXPECT_EQ(RunCli({"--tool-dir=", "check"}).status, CCliApp::kUsage);
    const CliRun help = RunCli({"--help"});
    EXPECT_EQ(help.status, CCliApp::kDone);
    EXPECT_NE(help.out.find("rewrite"), std::string::npos);
    EXPECT_EQ(RunCli({"--version"}).out, "ravirazazu-cli 0.1.0\n");
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
}

TEST(Cli, LanguagesAreListedShownAndChosen)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    WriteBytes(path, ReadBytes(rztest::SampleDocumentPath()));
    const std::string tool = rztest::SampleToolDir();

    const CliRun list = RunCli({"--document", path, "--tool-dir", tool, "language", "list"});
    EXPECT_EQ(list.status, CCliApp::kDone);
    EXPECT_NE(list.out.find("  Deutsch (German)  Deutsch\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("* English           English\n"), std::string::npos) << list.out;

    const CliRun english =
        RunCli({"--document", path, "--tool-dir", tool, "language", "text", "10030"});
    EXPECT_EQ(english.out, "Failed to save!\n");

    // An unknown name changes nothing.
    const std::string before = ReadBytes(path);
    const CliRun refused =
        RunCli({"--document", path, "--tool-dir", tool, "language", "set", "Klingon"});
    EXPECT_EQ(refused.status, CCliApp::kRefused);
    EXPECT_NE(refused.err.find("choose one of: Deutsch English"), std::string::npos) << refused.err;
    EXPECT_EQ(ReadBytes(path), before);

    const CliRun chosen =
        RunCli({"--document", path, "--tool-dir", tool, "language", "set", "deutsch (GERMAN)"});
    EXPECT_EQ(chosen.status, CCliApp::kDone) << chosen.err;
    CGatewayConfigDoc doc;
    ASSERT_TRUE(doc.Load(path));
    EXPECT_EQ(doc.Language()->value, L"Deutsch");
    const CliRun german =
        RunCli({"--document", path, "--tool-dir", tool, "language", "text", "10030"});
    EXPECT_EQ(german.out, "Speichern fehlgeschlagen!\n");
    // An ID without a text in the language shows nothing, as in the window.
    EXPECT_EQ(RunCli({"--document", path, "--tool-dir", tool, "language", "text", "99999"}).out,
              "\n");
    EXPECT_EQ(RunCli({"--document", path, "--tool-dir", tool, "language", "frob"}).status,
              CCliApp::kUsage);
}

TEST(Cli, RadioServersFollowThePagesRules)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    WriteBytes(path, rztest::Utf16(L"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                                   L"<MXRGateways><GatewayConfig><Language>English</Language>"
                                   L"</GatewayConfig></MXRGateways>"));
    std::filesystem::copy(rztest::SampleToolDir(), dir.File("tool"),
                          std::filesystem::copy_options::recursive);
    const std::vector<std::string> base = {"--document", path, "--tool-dir", dir.File("tool")};
    const auto run = [&base](std::vector<std::string> args)
    {
        args.insert(args.begin(), base.begin(), base.end());
        return RunCli(args);
    };

    for (int i = 1; i <= 5; ++i)
        ASSERT_EQ(run({"server", "add", "10.0.0." + std::to_string(i), "4000"}).status,
                  CCliApp::kDone);
    const CliRun sixth = run({"server", "add", "10.0.0.6", "4000"});
    EXPECT_EQ(sixth.status, CCliApp::kRefused);
    EXPECT_EQ(sixth.err, "ravirazazu-cli: You can only add no more than 5 radio servers.\n");
    CGatewayConfigDoc doc;
    ASSERT_TRUE(doc.Load(path));
    EXPECT_EQ(doc.RadioServers()->GetChildCount(), 5u);

    // Values go through the fields' corrections; changing only the port is refused.
    EXPECT_EQ(run({"server", "change", "10.0.0.1", "10.0.0.1", "5000"}).err,
              "ravirazazu-cli: server-ip=10.0.0.1: Please change the IP\n");
    const CliRun changed = run({"server", "change", "10.0.0.1", "10.7", "70000"});
    ASSERT_EQ(changed.status, CCliApp::kDone);
    EXPECT_EQ(changed.out, "server-ip: 10.7 -> 10.7.0.0\nserver-port: 70000 -> 65535\n");
    EXPECT_NE(run({"server", "list"}).out.find("1    10.7.0.0         65535\n"), std::string::npos);
    EXPECT_EQ(run({"server", "remove", "10.0.0.2", "10.9.9.9"}).status, CCliApp::kRefused);
    EXPECT_EQ(run({"server", "remove", "10.0.0.2", "10.0.0.3"}).status, CCliApp::kDone);
    const auto listed = nlohmann::json::parse(run({"--json", "server", "list"}).out);
    EXPECT_EQ(listed, nlohmann::json::parse(R"({"max":5,"servers":[
        {"row":1,"ip":"10.7.0.0","port":"65535"},{"row":2,"ip":"10.0.0.4","port":"4000"},
        {"row":3,"ip":"10.0.0.5","port":"4000"}]})"));
    EXPECT_EQ(run({"server", "add", "10.0.0.x", "1"}).status, CCliApp::kUsage);
    // Every correction is said, also for an address.
    const CliRun corrected = run({"server", "add", "999.1.1.1", "4000"});
    EXPECT_EQ(corrected.status, CCliApp::kDone);
    EXPECT_EQ(corrected.out, "server-ip: 999.1.1.1 -> 255.1.1.1\n");

    // basic set: all values checked first; one bad value changes nothing.
    const std::string before = ReadBytes(path);
    EXPECT_EQ(run({"basic", "set", "local-port=70000", "codec=opus"}).status, CCliApp::kUsage);
    EXPECT_EQ(ReadBytes(path), before);
    const CliRun set =
        run({"basic", "set", "local-port=70000", "speed-unit=knots", "gps-tracking=on"});
    EXPECT_EQ(set.status, CCliApp::kDone) << set.err;
    EXPECT_EQ(set.out, "local-port: 70000 -> 65535\n");
    const auto shown = nlohmann::json::parse(run({"--json", "basic", "show"}).out);
    EXPECT_EQ(shown["local-port"], "65535");
    EXPECT_EQ(shown["speed-unit"], 2);
    EXPECT_EQ(shown["speed-unit-name"], "knots");
    EXPECT_EQ(shown["gps-tracking"], true);
    EXPECT_NE(ReadBytes(dir.File("tool/Gateway.ini")).find("SPEEDUNIT=2\r\n"), std::string::npos);
}

TEST(Cli, ServiceCommandsDriveTheUnit)
{
    CPrivateBus bus;
    ASSERT_TRUE(bus.Start()) << bus.Error();
    CSystemdStandIn systemd;
    ASSERT_TRUE(systemd.Start(bus.Address()));
    systemd.AddUnit(
        {"quorix-gateway.service", "Quorix MXR Gateway", "active", "running", "enabled"});
    rztest::CScopedEnv kind("RAVIRAZAZU_SERVICE_BUS", "user");
    rztest::CScopedEnv address("DBUS_SESSION_BUS_ADDRESS", bus.Address());
    const std::string tool = rztest::SampleToolDir();

    const CliRun status = RunCli({"--tool-dir", tool, "service", "status"});
    EXPECT_EQ(status.status, CCliApp::kDone) << status.err;
    EXPECT_EQ(status.out, "Quorix MXR Gateway (quorix-gateway.service): running (4), enabled\n");

    EXPECT_EQ(RunCli({"--tool-dir", tool, "service", "stop"}).status, CCliApp::kDone);
    EXPECT_EQ(systemd.GetUnit("quorix-gateway.service")->activeState, "inactive");
    const CliRun json = RunCli({"--json", "--tool-dir", tool, "service", "status"});
    EXPECT_NE(json.out.find("\"state\":1,\"stateName\":\"stopped\""), std::string::npos)
        << json.out;
    EXPECT_EQ(RunCli({"--tool-dir", tool, "service", "restart"}).status, CCliApp::kDone);
    EXPECT_EQ(systemd.GetUnit("quorix-gateway.service")->activeState, "active");

    systemd.SetRefuse(true);
    const CliRun refused = RunCli({"--tool-dir", tool, "service", "restart"});
    EXPECT_EQ(refused.status, CCliApp::kOperationFailed);
    EXPECT_NE(refused.err.find("Access denied"), std::string::npos) << refused.err;

    // A service that is not there.
    CTempDir dir;
    WriteBytes(dir.File("MXRServiceDog.ini"), "[Settings]\r\nServiceName=Other Gateway\r\n");
    const CliRun missing = RunCli({"--tool-dir", dir.Path(), "service", "status"});
    EXPECT_EQ(missing.status, CCliApp::kOperationFailed);
    EXPECT_NE(missing.err.find("Other Gateway is not installed"), std::string::npos) << missing.err;
}

TEST(Cli, ARefusedCommandLeavesEveryFileAsItWas)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    // A duplicated address, an inactive entry and a child that is no RadioServer but active.
    WriteBytes(path, rztest::Utf16(L"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                                   L"<MXRGateways><GatewayConfig><Language>English</Language>"
                                   L"<LocalPort>3003</LocalPort><RadioServers>"
                                   L"<RadioServer><Used>TRUE</Used><IPAddress>10.0.0.1</IPAddress>"
                                   L"<IPPort>1</IPPort></RadioServer>"
                                   L"<RadioServer><Used>FALSE</Used><IPAddress>10.0.0.9</IPAddress>"
                                   L"<IPPort>9</IPPort></RadioServer>"
                                   L"<Spare><Used>true</Used><IPAddress>10.0.0.2</IPAddress>"
                                   L"<IPPort>2</IPPort></Spare>"
                                   L"<RadioServer><Used>TRUE</Used><IPAddress>10.0.0.1</IPAddress>"
                                   L"<IPPort>3</IPPort></RadioServer>"
                                   L"</RadioServers></GatewayConfig></MXRGateways>"));
    std::filesystem::copy(rztest::SampleToolDir(), dir.File("tool"),
                          std::filesystem::copy_options::recursive);
    // An unusable speed unit: opening the page would repair it, a refused command must not.
    const std::string ini = dir.File("tool/Gateway.ini");
    WriteBytes(ini, "[TELEMETRYGPSFLAGSTRINGS]\r\nSPEEDUNIT=7\r\n");
    const std::vector<std::string> base = {"--document", path, "--tool-dir", dir.File("tool")};
    const auto run = [&base](std::vector<std::string> args)
    {
        args.insert(args.begin(), base.begin(), base.end());
        return RunCli(args);
    };
    const std::string document = ReadBytes(path);
    const std::string gatewayIni = ReadBytes(ini);
    const std::vector<std::vector<std::string>> refused = {
        {"basic", "set", "local-port=1", "codec=opus"},
        {"basic", "set", "voip-port=12x"},
        {"basic", "set", "nonsense=1"},
        {"server", "add", "10.0.0.2", "5"},
        {"server", "change", "10.0.0.1", "10.0.0.5", "5"},
        {"server", "change", "10.0.0.1", "10.0.0.2", "5", "--row", "4"},
        {"server", "change", "10.0.0.7", "10.0.0.5", "5"},
        {"server", "remove", "10.0.0.1"},
        {"server", "remove", "10.0.0.2", "10.0.0.7"},
    };
    for (const auto& args : refused)
    {
        const CliRun result = run(args);
        EXPECT_NE(result.status, CCliApp::kDone) << args[0] << " " << args[1];
        EXPECT_EQ(ReadBytes(path), document) << args[0] << " " << args[1];
        EXPECT_EQ(ReadBytes(ini), gatewayIni) << args[0] << " " << args[1];
    }
    // The ambiguous address says how to choose.
    EXPECT_EQ(run({"server", "remove", "10.0.0.1"}).err,
              "ravirazazu-cli: 2 radio servers have the address 10.0.0.1 (rows 1 and 3); "
              "choose one with --row N\n");

    // check and server list agree with the page: three servers (the Spare one is active too),
    // one address twice, the inactive entry counted but not listed.
    const auto checked = nlohmann::json::parse(run({"--json", "check"}).out);
    EXPECT_EQ(checked["radioServers"], (nlohmann::json{{"total", 4}, {"active", 3}}));
    EXPECT_NE(checked["problems"].dump().find(
                  "radio server 10.0.0.1 is listed more than once (rows 1, 3)"),
              std::string::npos)
        << checked.dump();
    const auto listed = nlohmann::json::parse(run({"--json", "server", "list"}).out);
    ASSERT_EQ(listed["servers"].size(), 3u);
    EXPECT_EQ(listed["servers"][1]["ip"], "10.0.0.2");
    EXPECT_EQ(listed["servers"][2]["port"], "3");

    // The second of the two is changed and removed by its row; the first stays as it was.
    const CliRun second = run({"server", "change", "10.0.0.1", "10.0.0.5", "5", "--row", "3"});
    ASSERT_EQ(second.status, CCliApp::kDone) << second.err;
    CGatewayConfigDoc doc;
    ASSERT_TRUE(doc.Load(path));
    CBasicSettings settings;
    settings.Load(doc, {dir.File("tool")});
    ASSERT_EQ(settings.Servers().Count(), 3u);
    EXPECT_EQ(settings.Servers().Rows()[0].ipPort, L"1");
    EXPECT_EQ(settings.Servers().Rows()[2].ipAddress, L"10.0.0.5");
    // The inactive entry is still there; the speed unit was repaired with the change.
    EXPECT_EQ(doc.RadioServers()->GetChildCount(), 4u);
    EXPECT_EQ(ReadBytes(ini), "[TELEMETRYGPSFLAGSTRINGS]\r\nSPEEDUNIT=0\r\n");
    ASSERT_EQ(run({"server", "remove", "10.0.0.1", "--row", "1"}).status, CCliApp::kDone);
}

TEST(Cli, AnIniFileThatCannotBeWrittenLeavesTheDocumentUnwritten)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    WriteBytes(path, ReadBytes(rztest::SampleDocumentPath()));
    // Gateway.ini is a folder: it can be neither read nor replaced.
    std::filesystem::create_directories(dir.File("tool/Gateway.ini"));
    const std::string before = ReadBytes(path);
    const CliRun run = RunCli(
        {"--document", path, "--tool-dir", dir.File("tool"), "basic", "set", "speed-unit=mph"});
    EXPECT_EQ(run.status, CCliApp::kDocumentError);
    EXPECT_NE(run.err.find("cannot write " + dir.File("tool/Gateway.ini")), std::string::npos)
        << run.err;
    EXPECT_EQ(ReadBytes(path), before);
}

namespace
{

// A document with two listed stations, an inactive one between them and a repeater slot.
std::wstring StationsDocument()
{
    const auto station = [](const std::wstring& used, const std::wstring& guid,
                            const std::wstring& name, const std::wstring& ip,
                            const std::wstring& isData)
    {
        return L"<Station><Used>" + used + L"</Used><GUID>" + guid + L"</GUID><Name>" + name +
               L"</Name><IPAddress>" + ip +
               L"</IPAddress><PseudoID>10</PseudoID>"
               L"<UseFrontMic>1</UseFrontMic><IsData>" +
               isData +
               L"</IsData>"
               L"<AudioPlay>Old Speaker</AudioPlay><AudioRecord></AudioRecord>"
               L"<Volum><RecordVolum>4</RecordVolum><PlaybackVolum>4</PlaybackVolum></Volum>"
               L"</Station>";
    };
    return L"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
           L"<MXRGateways><GatewayConfig><Language>English</Language><RadioServers/>"
           L"<QuorixStations><Stations>" +
           station(L"TRUE", L"G-1", L"Harbour", L"10.0.0.1", L"5") +
           station(L"FALSE", L"G-2", L"Spare", L"10.0.0.2", L"0") +
           L"<Station><Type>Repeater</Type><Used>TRUE</Used><GUID>R-1</GUID><RadioID>7</RadioID>"
           L"<RepeaterGUID>RG</RepeaterGUID><Name>Hill</Name></Station>" +
           station(L"true", L"G-3", std::wstring(32, L'L'), L"10.0.0.3", L"2") +
           L"</Stations></QuorixStations></GatewayConfig></MXRGateways>";
}

} // namespace

TEST(Cli, StationsFollowThePagesRules)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    WriteBytes(path, rztest::Utf16(StationsDocument()));
    const std::vector<std::string> base = {"--document", path, "--tool-dir",
                                           rztest::SampleToolDir()};
    const auto run = [&base](std::vector<std::string> args)
    {
        args.insert(args.begin(), base.begin(), base.end());
        return RunCli(args);
    };

    const CliRun list = run({"station", "list"});
    EXPECT_EQ(list.status, CCliApp::kDone);
    EXPECT_EQ(list.out, "ROW  IP               PSEUDO ID  KIND       MIC  ALIAS\n"
                        "1    10.0.0.1         10         gps        1    Harbour\n"
                        "     speaker: Old Speaker\n"
                        "2    10.0.0.3         10         quick-gps  1    " +
                            std::string(32, 'L') + "\n     speaker: Old Speaker\n");

    // Refused and mistyped commands leave the file as it was, with the page's messages.
    const std::string before = ReadBytes(path);
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
    };
    for (const auto& command : refused)
    {
        const CliRun result = run(command.args);
        EXPECT_EQ(result.status, command.status) << command.args[1] << " " << command.args[2];
        if (!command.err.empty())
        {
            EXPECT_EQ(result.err, command.err);
        }
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(ReadBytes(path), before) << command.args[1] << " " << command.args[2];
    }

    // Every correction is said; quick GPS and the microphone switch as given.
    const CliRun added =
        run({"station", "add", "--alias", "Dock 4", "--pseudo-id", "104", "--ip", "10.9", "--kind",
             "quick-gps", "--front-mic", "1", "--microphone", "Desk Mic"});
    ASSERT_EQ(added.status, CCliApp::kDone) << added.err;
    EXPECT_EQ(added.out, "ip: 10.9 -> 10.9.0.0\n");
    // What is not given keeps its value; the stored "5" is written back as GPS ("1").
    const CliRun changed = run({"station", "change", "10.0.0.1", "--alias", "Harbour Ops"});
    ASSERT_EQ(changed.status, CCliApp::kDone) << changed.err;
    const auto listed = nlohmann::json::parse(run({"--json", "station", "list"}).out);
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

    // The document: the inactive station went with the first save, the repeater stayed, the
    // new station came last.
    CGatewayConfigDoc doc;
    ASSERT_TRUE(doc.Load(path));
    std::vector<std::wstring> guids;
    for (const RUROR::XNode* child : doc.Stations()->GetChilds())
        guids.push_back(child->GetChildValue(L"GUID"));
    ASSERT_EQ(guids.size(), 4u);
    EXPECT_EQ(std::vector<std::wstring>(guids.begin(), guids.begin() + 3),
              (std::vector<std::wstring>{L"G-1", L"R-1", L"G-3"}));
    EXPECT_EQ(rz::WideToUtf8(guids[3]), listed["stations"][2]["guid"]);
    EXPECT_STREQ(
        doc.Stations()->GetChild(size_t{0})->GetChild(L"Volum")->GetChildValue(L"RecordVolum"),
        L"4");

    ASSERT_EQ(run({"station", "remove", "10.0.0.1", "10.9.0.0"}).status, CCliApp::kDone);
    const auto left = nlohmann::json::parse(run({"--json", "station", "list"}).out);
    ASSERT_EQ(left["stations"].size(), 1u);
    EXPECT_EQ(left["stations"][0]["guid"], "G-3");
}

TEST(Cli, StationsOfOneAddressAreReportedAndChosenByRow)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    std::wstring document = StationsDocument();
    // The inactive station becomes an active one with the first station's address.
    document.replace(document.find(L"FALSE"), 5, L"TRUE");
    document.replace(document.find(L"10.0.0.2"), 8, L"10.0.0.1");
    WriteBytes(path, rztest::Utf16(document));
    const std::vector<std::string> base = {"--document", path, "--tool-dir",
                                           rztest::SampleToolDir()};
    const auto run = [&base](std::vector<std::string> args)
    {
        args.insert(args.begin(), base.begin(), base.end());
        return RunCli(args);
    };

    const auto checked = nlohmann::json::parse(run({"--json", "check"}).out);
    EXPECT_EQ(checked["dispatchStations"], (nlohmann::json{{"total", 3}, {"active", 3}}));
    EXPECT_EQ(checked["problems"],
              nlohmann::json::array({"dispatch station 10.0.0.1 is listed more than once "
                                     "(rows 1, 2)"}));
    const std::string before = ReadBytes(path);
    const CliRun ambiguous = run({"station", "remove", "10.0.0.1"});
    EXPECT_EQ(ambiguous.status, CCliApp::kRefused);
    EXPECT_EQ(ambiguous.err, "ravirazazu-cli: 2 dispatch stations have the IP 10.0.0.1 (rows 1 "
                             "and 2); choose one with --row N\n");
    EXPECT_EQ(run({"station", "change", "10.0.0.1", "--row", "3", "--ip", "10.0.0.5"}).err,
              "ravirazazu-cli: row 3 is not a dispatch station with the IP 10.0.0.1\n");
    EXPECT_EQ(ReadBytes(path), before);

    ASSERT_EQ(run({"station", "change", "10.0.0.1", "--row", "2", "--ip", "10.0.0.2"}).status,
              CCliApp::kDone);
    const auto listed = nlohmann::json::parse(run({"--json", "station", "list"}).out);
    EXPECT_EQ(listed["stations"][0]["guid"], "G-1");
    EXPECT_EQ(listed["stations"][1]["guid"], "G-2");
    EXPECT_EQ(listed["stations"][1]["ip"], "10.0.0.2");

    // The connection test names the station of the IP: listed ones only.
    const CliRun known = run({"test-connection", "10.0.0.2"});
    EXPECT_EQ(known.out.substr(0, known.out.find('\n')), "Station Spare (pseudo ID 10)");
    WriteBytes(path, rztest::Utf16(StationsDocument()));
    const CliRun inactive = run({"test-connection", "10.0.0.2"});
    EXPECT_EQ(inactive.out.substr(0, inactive.out.find('\n')),
              "No dispatch station of " + path + " has the IP 10.0.0.2");
}

namespace
{

// A tool folder copied from the sample (RTP types, language files) and a document in a
// temporary folder; run() runs the command line on them.
class CliDocument
{
public:
    explicit CliDocument(const std::wstring& config)
    {
        WriteBytes(Path(), rztest::Utf16(L"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                                         L"<MXRGateways><GatewayConfig><Language>English"
                                         L"</Language>" +
                                         config + L"</GatewayConfig></MXRGateways>"));
        std::filesystem::copy(rztest::SampleToolDir(), m_dir.File("tool"),
                              std::filesystem::copy_options::recursive);
    }
    std::string Path() const { return m_dir.File("GatewayConfig.XML"); }
    std::string Tool() const { return m_dir.File("tool"); }
    CliRun Run(std::vector<std::string> args) const
    {
        const std::vector<std::string> base = {"--document", Path(), "--tool-dir", Tool()};
        args.insert(args.begin(), base.begin(), base.end());
        return RunCli(args);
    }
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

const std::wstring kDispatchStation =
    L"<Station><Used>TRUE</Used><GUID>A3E4B1C2-5D6F-4A7B-8C9D-0E1F2A3B4C5D</GUID>"
    L"<Name>Harbour Ops</Name><IPAddress>192.168.11.101</IPAddress></Station>";

} // namespace

TEST(Cli, RepeatersAreAddedChangedAndRemovedByTheirRadioId)
{
    const CliDocument doc(L"<QuorixStations><Stations>" + kDispatchStation +
                          L"</Stations></QuorixStations>");
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

TEST(Cli, RefusedRepeaterPortAndLogCommandsChangeNoFile)
{
    const CliDocument doc(L"<QuorixStations><Stations>" + kDispatchStation +
                          L"</Stations></QuorixStations>");
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
        const CliRun run = doc.Run(c.args);
        std::string command;
        for (const auto& arg : c.args)
            command += arg + " ";
        EXPECT_EQ(run.status, c.status) << command << run.err;
        if (!c.err.empty())
        {
            EXPECT_EQ(run.err, c.err) << command;
        }
        EXPECT_EQ(doc.Files(), before) << command;
    }
    // Without a language file the message that only one supplies is named by its number.
    std::filesystem::remove_all(doc.Tool() + "/language");
    std::filesystem::remove(doc.Tool() + "/English.XML");
    EXPECT_EQ(doc.Run({"repeater", "add", "1001"}).err,
              "ravirazazu-cli: radio-id=1001: message 10045\n");
}

TEST(Cli, PortsAreShownAndSetByTheirElementNames)
{
    const CliDocument doc(L"<ADKTPPort2>40000</ADKTPPort2>");
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
    const CliDocument doc(L"<LogFilter>4</LogFilter>");
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
    const CliDocument doc(L"<RadioServers/><QuorixStations><Stations>" + kDispatchStation +
                          slot(L"1001", L"G-A", L"1", L"9") + slot(L"1001", L"G-B", L"2", L"0") +
                          slot(L"", L"G-C", L"1", L"0") + slot(L"1002", L"G-D", L"7", L"0") +
                          L"</Stations></QuorixStations>");
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
    CTempDir dir;
    std::filesystem::create_directories(dir.File("data"));
    const std::string path = dir.File("data/GatewayConfig.XML");
    WriteBytes(path, ReadBytes(rztest::SampleDocumentPath()));
    std::filesystem::copy(rztest::SampleToolDir(), dir.File("tool"),
                          std::filesystem::copy_options::recursive);
    const std::string ini = dir.File("tool/Gateway.ini");
    const std::string document = ReadBytes(path);
    const std::string gatewayIni = ReadBytes(ini);

    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0)
    {
        const std::string folder = dir.File("data");
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                    nullptr) != 0)
            ::_exit(77);
        const CliRun run = RunCli({"--document", path, "--tool-dir", dir.File("tool"), "basic",
                                   "set", "speed-unit=2", "local-port=7004"});
        ::_exit(run.status);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no mount namespace here (needs root)";
    EXPECT_EQ(WEXITSTATUS(status), CCliApp::kDocumentError);
    EXPECT_EQ(ReadBytes(path), document);
    EXPECT_EQ(ReadBytes(ini), gatewayIni); // SPEEDUNIT was not changed before the document failed
}
