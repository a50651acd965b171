// The whole connection test across a real link: two network namespaces that the test makes
// and removes, joined by a veth pair. The tool's side has the adapter 192.168.10.2 with the
// hardware address 00-11-0A-00-00-65; the radio simulator answers on 10.0.0.100:3005 on the
// other side.
#include "TestSupport.h"
#include "network/MobileChannelDetector.h"

#include <arpa/inet.h>
#include <array>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{

struct CRun
{
    int status = -1;
    std::string out;
};

// Runs a program with an argument vector and collects its standard output.
CRun Capture(const std::vector<std::string>& args)
{
    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    for (auto& arg : copies)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    CRun run;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
        run.out.append(buffer, static_cast<size_t>(n));
    ::close(fds[0]);
    if (spawned != 0)
        return run;
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class ConnectionNetnsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const std::string id = std::to_string(::getpid());
        m_tool = "rzt" + id + "a";
        m_radio = "rzt" + id + "b";
        if (::geteuid() != 0 || Ip({"netns", "add", m_tool}) != 0)
            GTEST_SKIP() << "network namespaces need root and iproute2";
        m_made = true;
        ASSERT_EQ(Ip({"netns", "add", m_radio}), 0);
        const std::string toolEnd = "rzv" + id + "a";
        const std::string radioEnd = "rzv" + id + "b";
        ASSERT_EQ(Ip({"-n", m_tool, "link", "add", toolEnd, "type", "veth", "peer", "name",
                      radioEnd, "netns", m_radio}),
                  0);
        ASSERT_EQ(Ip({"-n", m_tool, "link", "set", toolEnd, "address", "00:11:0a:00:00:65"}), 0);
        ASSERT_EQ(Ip({"-n", m_tool, "addr", "add", "192.168.10.2/24", "dev", toolEnd}), 0);
        ASSERT_EQ(Ip({"-n", m_tool, "link", "set", toolEnd, "up"}), 0);
        ASSERT_EQ(Ip({"-n", m_tool, "link", "set", "lo", "up"}), 0);
        ASSERT_EQ(Ip({"-n", m_radio, "addr", "add", "192.168.10.1/24", "dev", radioEnd}), 0);
        ASSERT_EQ(Ip({"-n", m_radio, "addr", "add", "10.0.0.100/32", "dev", "lo"}), 0);
        ASSERT_EQ(Ip({"-n", m_radio, "link", "set", radioEnd, "up"}), 0);
        ASSERT_EQ(Ip({"-n", m_radio, "link", "set", "lo", "up"}), 0);
    }

    void TearDown() override
    {
        if (m_simulator > 0)
        {
            ::kill(m_simulator, SIGTERM); // our own child, by its process id
            ::waitpid(m_simulator, nullptr, 0);
        }
        if (m_simulatorOutput >= 0)
            ::close(m_simulatorOutput);
        if (m_made)
        {
            Ip({"netns", "del", m_tool});
            Ip({"netns", "del", m_radio});
        }
    }

    static int Ip(std::vector<std::string> args)
    {
        args.insert(args.begin(), IpCommand());
        return RunProgram(args);
    }

    // Starts the radio simulator in the radio's namespace and waits until it listens.
    void StartRadio()
    {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        std::vector<std::string> args = {IpCommand(),  "netns",           "exec",
                                         m_radio,      RZ_RADIO_SIM_PATH, "--address",
                                         "10.0.0.100", "--port",          "3005"};
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        ASSERT_EQ(::posix_spawn(&m_simulator, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        std::string line;
        char c = 0;
        while (::read(fds[0], &c, 1) == 1 && c != '\n')
            line.push_back(c);
        // Kept open: the simulator goes on printing what it receives.
        m_simulatorOutput = fds[0];
        ASSERT_NE(line.find("listening on 10.0.0.100:3005"), std::string::npos) << line;
    }

    // The command line in the tool's namespace.
    CRun Cli(const std::vector<std::string>& args)
    {
        std::vector<std::string> all = {
            IpCommand(),           "netns", "exec", m_tool, RZ_CLI_PATH, "--document",
            m_dir.File("none.XML")};
        all.insert(all.end(), args.begin(), args.end());
        return Capture(all);
    }

    std::string Routes()
    {
        return Capture({IpCommand(), "-n", m_tool, "route", "show", "10.0.0.0/8"}).out;
    }

    rztest::CTempDir m_dir;
    rztest::CScopedEnv m_state{"XDG_STATE_HOME", m_dir.File("state")};
    std::string m_tool;
    std::string m_radio;
    bool m_made = false;
    pid_t m_simulator = -1;
    int m_simulatorOutput = -1;
};

} // namespace

TEST_F(ConnectionNetnsTest, TheFullTestFindsTheRadioSetsTheRouteAndConnects)
{
    StartRadio();
    // No adapter carries this address: 10032, and no route is touched.
    const CRun missing =
        Cli({"test-connection", "192.168.99.9", "--alias", "A", "--pseudo-id", "1"});
    EXPECT_EQ(missing.status, 4);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(Routes(), "");

    const CRun run =
        Cli({"test-connection", "192.168.10.2", "--alias", "Harbour Ops", "--pseudo-id", "101"});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("Radio 10.0.0.100 (subnet 10) behind the adapter 192.168.10.2"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Attempt 1 of 6"), std::string::npos);
    EXPECT_NE(run.out.find("Connected successfully"), std::string::npos);
    EXPECT_NE(Routes().find("10.0.0.0/8 via 192.168.10.1"), std::string::npos) << Routes();

    // A second run replaces the route instead of failing on it.
    EXPECT_EQ(Cli({"test-connection", "192.168.10.2", "--alias", "A", "--pseudo-id", "1"}).status,
              0);
    const std::string routes = Routes();
    EXPECT_EQ(std::count(routes.begin(), routes.end(), '\n'), 1) << routes;

    const CRun adapters = Cli({"--json", "adapters"});
    EXPECT_NE(adapters.out.find("\"address\":\"192.168.10.2\",\"hardware\":\"00-11-0A-00-00-65\","
                                "\"radio\":\"10.0.0.100\""),
              std::string::npos)
        << adapters.out;
}

TEST_F(ConnectionNetnsTest, WithTwoAdaptersOfOneAddressTheFirstDecides)
{
    // Two more veth pairs in the tool's namespace, both carrying 192.168.30.2.
    const std::string id = std::to_string(::getpid());
    for (const auto& [name, hardware] : {std::pair{"rzd" + id + "a", "00:11:0a:00:00:65"},
                                         std::pair{"rzd" + id + "b", "00:11:0b:00:00:65"}})
    {
        ASSERT_EQ(
            Ip({"-n", m_tool, "link", "add", name, "type", "veth", "peer", "name", name + "p"}), 0);
        ASSERT_EQ(Ip({"-n", m_tool, "link", "set", name, "address", hardware}), 0);
        ASSERT_EQ(Ip({"-n", m_tool, "addr", "add", "192.168.30.2/24", "dev", name}), 0);
        ASSERT_EQ(Ip({"-n", m_tool, "link", "set", name, "up"}), 0);
    }
    // The detector itself, in a child that enters the tool's namespace.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0)
    {
        const int ns = ::open(("/run/netns/" + m_tool).c_str(), O_RDONLY | O_CLOEXEC);
        uint32_t remote = 0xFFFFFFFF;
        if (ns >= 0 && ::setns(ns, CLONE_NEWNET) == 0)
            remote = MobileChannelDetector().FindRemoteAddress(::inet_addr("192.168.30.2"));
        [[maybe_unused]] const auto written = ::write(fds[1], &remote, sizeof remote);
        ::_exit(0);
    }
    ::close(fds[1]);
    uint32_t remote = 0;
    ASSERT_EQ(::read(fds[0], &remote, sizeof remote), static_cast<ssize_t>(sizeof remote));
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(remote, 0x0A000064u); // 10.0.0.100 from the first, not 11.0.0.100
}
