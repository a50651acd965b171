// The whole connection test across a real link: two network namespaces that the test makes
// and removes, joined by a veth pair. The tool's side has the adapter 192.168.10.2 with the
// hardware address 00-11-0A-00-00-65; the radio answers on 10.0.0.100:3005 on the other side,
// where the link also carries a third host, 192.168.10.3.
#include "NetnsLink.h"
#include "TestSupport.h"
#include "events/Events.h"
#include "events/ListenerBase.h"
#include "network/CancelToken.h"
#include "network/ConnectionTest.h"
#include "network/MobileChannelDetector.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <atomic>
#include <fcntl.h>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <mutex>
#include <net/if.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <random>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>

extern char** environ;

namespace
{

using rztest::BoundSocket;
using rztest::Bytes;
using rztest::Hex;
using rztest::InNamespace;
using rztest::ReceiveFrom;
using rztest::SendTo;

using CRun = rztest::CProgramRun;

// Runs a program with an argument vector and collects its output.
CRun Capture(const std::vector<std::string>& args)
{
    return rztest::RunProgramCaptured(args);
}

// Everything a socket received, without waiting.
int Drain(int fd)
{
    int count = 0;
    char buffer[2048];
    while (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) >= 0)
        ++count;
    return count;
}

// Where the UDP datagrams that arrive over an interface are addressed: a packet socket on
// the radio's end of the link sees everything the tool sends, whoever it is meant for.
class CLinkCapture
{
public:
    CLinkCapture(const std::string& ns, const std::string& interface)
    {
        m_fd = InNamespace(
            ns,
            [&]
            {
                const int fd = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_IP));
                sockaddr_ll link{};
                link.sll_family = AF_PACKET;
                link.sll_protocol = htons(ETH_P_IP);
                link.sll_ifindex = static_cast<int>(::if_nametoindex(interface.c_str()));
                if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&link), sizeof link) != 0)
                {
                    ::close(fd);
                    return -1;
                }
                return fd;
            });
    }
    ~CLinkCapture()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool Ok() const { return m_fd >= 0; }

    // "address:port" of every incoming UDP datagram so far.
    std::vector<std::string> Destinations()
    {
        std::vector<std::string> found;
        uint8_t packet[65536];
        for (;;)
        {
            sockaddr_ll from{};
            socklen_t size = sizeof from;
            const ssize_t n = ::recvfrom(m_fd, packet, sizeof packet, MSG_DONTWAIT,
                                         reinterpret_cast<sockaddr*>(&from), &size);
            if (n < 0)
                return found;
            if (from.sll_pkttype == PACKET_OUTGOING || n < 28 || (packet[0] >> 4) != 4 ||
                packet[9] != IPPROTO_UDP)
                continue;
            const size_t header = (packet[0] & 0x0F) * 4u;
            char address[INET_ADDRSTRLEN];
            ::inet_ntop(AF_INET, packet + 16, address, sizeof address);
            const unsigned port = packet[header + 2] << 8 | packet[header + 3];
            found.push_back(std::string(address) + ":" + std::to_string(port));
        }
    }

private:
    int m_fd = -1;
};

class ConnectionNetnsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!m_link.Make())
            GTEST_SKIP() << "network namespaces need root and iproute2";
        ASSERT_FALSE(HasFatalFailure());
    }

    void TearDown() override { StopRadio(); }

    static int Ip(std::vector<std::string> args) { return rztest::CNetnsLink::Ip(std::move(args)); }

    // Starts the radio simulator in the radio's namespace and waits until it listens.
    void StartRadio(const std::vector<std::string>& extra = {})
    {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        std::vector<std::string> args = {IpCommand(),  "netns",           "exec",
                                         m_radio,      RZ_RADIO_SIM_PATH, "--address",
                                         "10.0.0.100", "--port",          "3005"};
        args.insert(args.end(), extra.begin(), extra.end());
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

    void StopRadio()
    {
        if (m_simulator > 0)
        {
            ::kill(m_simulator, SIGTERM); // our own child, by its process id
            ::waitpid(m_simulator, nullptr, 0);
            m_simulator = -1;
        }
        if (m_simulatorOutput >= 0)
            ::close(m_simulatorOutput);
        m_simulatorOutput = -1;
    }

    // The command line in the tool's namespace.
    CRun Cli(const std::vector<std::string>& args)
    {
        std::vector<std::string> all = {IpCommand(), "netns",      "exec",    m_tool,
                                        RZ_CLI_PATH, "--document", m_document};
        all.insert(all.end(), args.begin(), args.end());
        return Capture(all);
    }

    // The connection test itself in the tool's namespace, with short waits.
    int RunTest(CListenerBase* listener = nullptr,
                std::chrono::milliseconds pause = std::chrono::milliseconds(20))
    {
        connection_test::COptions options;
        options.pause = pause;
        options.answerWaitMs = 200;
        options.queryWaitMs = 300;
        return InNamespace(m_tool,
                           [&]
                           {
                               MobileChannelDetector detector;
                               return connection_test::Run(L"192.168.10.2", detector, listener,
                                                           nullptr, options);
                           });
    }

    std::string Routes()
    {
        return Capture({IpCommand(), "-n", m_tool, "route", "show", "10.0.0.0/8"}).out;
    }

    rztest::CTempDir m_dir;
    rztest::CScopedEnv m_state{"XDG_STATE_HOME", m_dir.File("state")};
    std::string m_document = m_dir.File("none.XML");
    rztest::CNetnsLink m_link;
    const std::string& m_tool = m_link.Tool();
    const std::string& m_radio = m_link.Radio();
    const std::string& m_radioEnd = m_link.RadioEnd();
    pid_t m_simulator = -1;
    int m_simulatorOutput = -1;
};

} // namespace

TEST_F(ConnectionNetnsTest, TheFullTestFindsTheRadioSetsTheRouteAndConnects)
{
    // A document whose station has the adapter's IP; the test needs nothing else of it.
    m_document = m_dir.File("GatewayConfig.XML");
    rztest::WriteBytes(
        m_document, rztest::Utf16Document(
                        L"<MXRGateways>"
                        L"<GatewayConfig><QuorixStations><Stations><Station><Used>TRUE</Used>"
                        L"<GUID>A3E4B1C2-5D6F-4A7B-8C9D-0E1F2A3B4C5D</GUID><Name>Harbour Ops</Name>"
                        L"<IPAddress>192.168.10.2</IPAddress><PseudoID>101</PseudoID></Station>"
                        L"</Stations></QuorixStations></GatewayConfig></MXRGateways>"));
    StartRadio();
    // No adapter carries this address: 10032, and no route is touched.
    const CRun missing = Cli({"test-connection", "192.168.99.9"});
    EXPECT_EQ(missing.status, 4);
    EXPECT_EQ(missing.out, "No dispatch station of " + m_document + " has the IP 192.168.99.9\n");
    EXPECT_EQ(missing.err, "Failed to find the station!\n");
    EXPECT_EQ(Routes(), "");

    // An old route to the radio network, through another host of the link, is replaced.
    ASSERT_EQ(Ip({"-n", m_tool, "route", "add", "10.0.0.0/8", "via", "192.168.10.3"}), 0);
    const CRun run = Cli({"test-connection", "192.168.10.2"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Station Harbour Ops (pseudo ID 101)\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Radio 10.0.0.100 (subnet 10) behind the adapter 192.168.10.2"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Route 10.0.0.0/8 set\nPort 3005 open on 192.168.10.2\nAttempt 1 of 6"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Connected successfully"), std::string::npos);
    EXPECT_NE(Routes().find("10.0.0.0/8 via 192.168.10.1"), std::string::npos) << Routes();
    EXPECT_EQ(Routes().find("192.168.10.3"), std::string::npos) << Routes();

    // A second run replaces the route instead of failing on it; the alias and pseudo ID of
    // the page are not needed on the command line.
    EXPECT_EQ(Cli({"test-connection", "192.168.10.2"}).status, 0);
    const std::string routes = Routes();
    EXPECT_EQ(std::count(routes.begin(), routes.end(), '\n'), 1) << routes;
    EXPECT_EQ(Cli({"test-connection", "192.168.10.2", "--alias", "A"}).status, 2);

    const CRun adapters = Cli({"--json", "adapters"});
    EXPECT_NE(adapters.out.find("\"address\":\"192.168.10.2\",\"hardware\":\"00-11-0A-00-00-65\","
                                "\"radio\":\"10.0.0.100\""),
              std::string::npos)
        << adapters.out;
    const std::string adapter = "rzv" + std::to_string(::getpid()) + "a";
    const CRun table = Cli({"adapters"});
    EXPECT_NE(table.out.find("\n" + adapter + std::string(17 - adapter.size(), ' ') +
                             "192.168.10.2     00-11-0A-00-00-65  10.0.0.100\n"),
              std::string::npos)
        << table.out;
}

TEST_F(ConnectionNetnsTest, ARadioThatRefusesTheQueryOrStaysSilentGivesFailedToConnect)
{
    StartRadio({"--query-result", "1"});
    CRun run = Cli({"test-connection", "192.168.10.2"});
    EXPECT_EQ(run.status, 4);
    EXPECT_NE(run.out.find("Attempt 6 of 6"), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "Failed to connect\n");
    StopRadio();

    StartRadio({"--silent"});
    run = Cli({"test-connection", "192.168.10.2"});
    EXPECT_EQ(run.status, 4);
    EXPECT_EQ(run.err, "Failed to connect\n");
}

TEST_F(ConnectionNetnsTest, AnotherHostOnTheLinkCannotPoseAsTheRadio)
{
    StartRadio({"--silent"});
    CLinkCapture capture(m_radio, m_radioEnd);
    ASSERT_TRUE(capture.Ok());
    const int forger = BoundSocket(m_radio, "192.168.10.3", 3005);
    ASSERT_GE(forger, 0);
    // While the real radio stays silent, the third host answers everything: an accept and a
    // query reply with result 0, as a radio would send them.
    std::atomic<bool> forging{true};
    std::thread forge(
        [&]
        {
            while (forging)
            {
                SendTo(forger, Hex("7E 03 00 FD 10 20 00 00 00 0C 70 D3"), "192.168.10.2", 3005);
                SendTo(forger, Hex("7E 03 00 00 10 20 00 00 00 14 06 FA 02 C9 80 01 00 00 E8 03"),
                       "192.168.10.2", 3005);
                ::usleep(5000);
            }
        });
    const int message = RunTest();
    forging = false;
    forge.join();
    EXPECT_EQ(message, connection_test::kConnectFailed);
    // The forger got no answer, and everything the tool sent went to the radio.
    EXPECT_EQ(Drain(forger), 0);
    const auto destinations = capture.Destinations();
    EXPECT_FALSE(destinations.empty());
    for (const std::string& destination : destinations)
        EXPECT_EQ(destination, "10.0.0.100:3005");
    ::close(forger);
}

TEST_F(ConnectionNetnsTest, RandomDatagramsFromTheRadiosAddressNeitherLinkNorCrash)
{
    // No radio answers; its address sends random datagrams of 0 to 64 bytes.
    CLinkCapture capture(m_radio, m_radioEnd);
    ASSERT_TRUE(capture.Ok());
    const int noise = BoundSocket(m_radio, "10.0.0.100", 3005);
    ASSERT_GE(noise, 0);
    std::atomic<bool> sending{true};
    std::atomic<int> sent{0};
    std::thread send(
        [&]
        {
            std::mt19937 random(20261206);
            std::uniform_int_distribution<int> size(0, 64);
            std::uniform_int_distribution<int> byte(0, 255);
            while (sending)
            {
                Bytes datagram(static_cast<size_t>(size(random)));
                for (uint8_t& b : datagram)
                    b = static_cast<uint8_t>(byte(random));
                // Now and then the QRNP signature, so that more of them reach the packet types.
                if (datagram.size() >= 3 && byte(random) < 128)
                    datagram[0] = 0x7E, datagram[1] = 0x03, datagram[2] = 0x00;
                SendTo(noise, datagram, "192.168.10.2", 3005);
                ++sent;
                ::usleep(500);
                Drain(noise);
            }
        });
    const int message = RunTest();
    sending = false;
    send.join();
    EXPECT_EQ(message, connection_test::kConnectFailed);
    EXPECT_GT(sent, 100); // the noise really ran during the test, however busy the machine
    const auto destinations = capture.Destinations();
    EXPECT_FALSE(destinations.empty());
    for (const std::string& destination : destinations)
        ASSERT_EQ(destination, "10.0.0.100:3005");
    ::close(noise);
}

TEST_F(ConnectionNetnsTest, APortInUseGivesAddressAlreadyInUseAndSendsNothing)
{
    StartRadio();
    CLinkCapture capture(m_radio, m_radioEnd);
    ASSERT_TRUE(capture.Ok());
    const int holder = BoundSocket(m_tool, "192.168.10.2", 3005);
    ASSERT_GE(holder, 0);
    const CRun run = Cli({"test-connection", "192.168.10.2"});
    ::close(holder);
    EXPECT_EQ(run.status, 4);
    EXPECT_EQ(run.err, "Address already in use!\n");
    EXPECT_NE(run.out.find("Port 3005 on 192.168.10.2 failed with 10048\n"), std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("Attempt"), std::string::npos) << run.out;
    EXPECT_EQ(capture.Destinations(), std::vector<std::string>{});
}

TEST_F(ConnectionNetnsTest, TheListenerHearsTheRadiosDataDuringTheTest)
{
    // The radio sends a data packet right after it confirms the link.
    StartRadio({"--data", "5AA5"});
    class CHeard : public CListenerBase
    {
    public:
        void OnEvent(CEventBase* event) override
        {
            auto* data = static_cast<SocketDataReceivedEvent*>(event);
            std::lock_guard lock(mutex);
            payloads.emplace_back(data->data, data->data + data->length);
        }
        std::mutex mutex;
        std::vector<Bytes> payloads;
    } heard;
    // The pause after the link leaves the data time to arrive before the socket goes.
    EXPECT_EQ(RunTest(&heard, std::chrono::milliseconds(500)), connection_test::kConnected);
    std::lock_guard lock(heard.mutex);
    EXPECT_NE(std::find(heard.payloads.begin(), heard.payloads.end(), Hex("5A A5")),
              heard.payloads.end());
}

TEST_F(ConnectionNetnsTest, ACancelEndsTheTestAtOnceAndTheRadioHearsTheLinkClosed)
{
    // A silent radio: a socket on its address that never answers.
    const int radio = BoundSocket(m_radio, "10.0.0.100", 3005);
    ASSERT_GE(radio, 0);
    connection_test::COptions options;
    options.pause = std::chrono::milliseconds(20);
    // Far longer than any delay of a busy machine: only the cancel ends an attempt sooner.
    constexpr auto kAnswerWait = std::chrono::seconds(20);
    options.answerWaitMs = static_cast<int>(std::chrono::milliseconds(kAnswerWait).count());
    std::mutex mutex;
    std::vector<connection_test::CStep> steps;
    const auto run = [&](CCancelToken& cancel)
    {
        return InNamespace(m_tool,
                           [&]
                           {
                               MobileChannelDetector detector;
                               return connection_test::Run(
                                   L"192.168.10.2", detector, nullptr,
                                   [&](const connection_test::CStep& step)
                                   {
                                       std::lock_guard lock(mutex);
                                       steps.push_back(step);
                                   },
                                   options, &cancel);
                           });
    };

    // Cancelled before it starts: the radio is found, but no route is set and nothing sent.
    {
        CCancelToken cancel;
        cancel.Cancel();
        EXPECT_EQ(run(cancel), connection_test::kCancelled);
        EXPECT_EQ(Routes(), "");
        EXPECT_EQ(ReceiveFrom(radio, std::chrono::milliseconds(50)), std::nullopt);
    }

    // Cancelled while the first attempt waits for the radio's answer.
    steps.clear();
    CCancelToken cancel;
    auto result = std::async(std::launch::async, [&] { return run(cancel); });
    ASSERT_EQ(ReceiveFrom(radio, std::chrono::seconds(5)),
              Hex("7E 03 00 FE 20 10 00 00 00 0C 60 E2"));
    const auto before = std::chrono::steady_clock::now();
    cancel.Cancel();
    EXPECT_EQ(result.get(), connection_test::kCancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - before, kAnswerWait);
    // The socket went: end-of-link and close, to the node every connect request names.
    EXPECT_EQ(ReceiveFrom(radio, std::chrono::seconds(5)),
              Hex("7E 03 00 00 20 10 00 00 00 14 F9 08 02 CB 00 01 00 00 66 03"));
    EXPECT_EQ(ReceiveFrom(radio, std::chrono::seconds(5)),
              Hex("7E 03 00 FB 20 10 00 00 00 0C 60 E5"));
    EXPECT_EQ(ReceiveFrom(radio, std::chrono::milliseconds(100)), std::nullopt);
    std::lock_guard lock(mutex);
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(std::count_if(steps.begin(), steps.end(),
                            [](const connection_test::CStep& step)
                            { return step.kind == connection_test::CStep::Attempt; }),
              1);
    EXPECT_EQ(steps.back().kind, connection_test::CStep::Finished);
    EXPECT_EQ(steps.back().messageId, connection_test::kCancelled);
    ::close(radio);
}

TEST_F(ConnectionNetnsTest, OnlyTheFirstAdapterOfAnAddressAndItsFirstAddressCount)
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
    const uint32_t remote = InNamespace(
        m_tool,
        [] { return MobileChannelDetector().FindRemoteAddress(::inet_addr("192.168.30.2")); });
    EXPECT_EQ(remote, 0x0A000064u); // 10.0.0.100 from the first, not 11.0.0.100

    // A second address of an adapter is not its first; the peers carry no IPv4 address at
    // all, and the address 0 is nobody's.
    ASSERT_EQ(Ip({"-n", m_tool, "addr", "add", "192.168.10.5/24", "dev", m_link.ToolEnd()}), 0);
    class CFound : public CListenerBase
    {
    public:
        void OnEvent(CEventBase* event) override
        {
            for (const auto& [text, entry] : static_cast<IPFoundEvent*>(event)->addresses)
                texts.push_back(text);
        }
        std::vector<std::string> texts;
    } found;
    const auto [second, none, enumerated] =
        InNamespace(m_tool,
                    [&]
                    {
                        MobileChannelDetector detector;
                        detector.AddListener(&found, kIPFoundEvent);
                        const bool ok = detector.EnumerateAdapters();
                        detector.RemoveListener(&found, kIPFoundEvent);
                        return std::tuple{detector.FindRemoteAddress(::inet_addr("192.168.10.5")),
                                          detector.FindRemoteAddress(0), ok};
                    });
    EXPECT_EQ(second, 0u);
    EXPECT_EQ(none, 0u);
    EXPECT_TRUE(enumerated);
    EXPECT_EQ(found.texts, (std::vector<std::string>{"127.0.0.1", "192.168.10.2", "192.168.30.2"}));
}
