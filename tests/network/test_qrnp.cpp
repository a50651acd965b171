#include "RadioSimulator.h"
#include "network/Events.h"
#include "network/ListenerBase.h"
#include "network/MobileChannelDetector.h"
#include "network/QRNPSocket.h"
#include "network/QrnpPacket.h"
#include "platform/DebugOutput.h"
#include "platform/SocketErrors.h"

#include <algorithm>
#include <arpa/inet.h>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using Bytes = std::vector<uint8_t>;

namespace
{

Bytes Hex(const char* text)
{
    Bytes bytes;
    for (const char* p = text; *p != '\0';)
    {
        if (*p == ' ')
        {
            ++p;
            continue;
        }
        bytes.push_back(static_cast<uint8_t>(std::stoul(std::string(p, 2), nullptr, 16)));
        p += 2;
    }
    return bytes;
}

uint32_t Address(const char* dotted)
{
    return ::inet_addr(dotted);
}

// Collects the events a socket delivers, and lets the test wait for them.
class CCollector : public CListenerBase
{
public:
    void OnEvent(CEventBase* event) override
    {
        auto* data = static_cast<SocketDataReceivedEvent*>(event);
        std::lock_guard lock(m_mutex);
        payloads.emplace_back(data->data, data->data + data->length);
        m_arrived.notify_all();
    }
    // Waits until a payload of some length has arrived count times.
    bool WaitFor(size_t count, size_t length)
    {
        std::unique_lock lock(m_mutex);
        return m_arrived.wait_for(lock, std::chrono::seconds(5),
                                  [&] { return Count(length) >= count; });
    }
    size_t Count(size_t length)
    {
        return static_cast<size_t>(std::count_if(payloads.begin(), payloads.end(),
                                                 [length](const Bytes& p)
                                                 { return p.size() == length; }));
    }
    std::vector<Bytes> payloads;

private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
};

// A simulator on 127.0.0.2 at a free port, and the tool's socket bound to 127.0.0.1 at the
// same port, as the tool always talks port to same port.
struct CLink
{
    // In this order, so that the socket (and its threads) go first.
    CCollector collector;
    std::unique_ptr<CRadioSimulator> simulator;
    std::unique_ptr<CQRNPSocket> socket;
    CRadioSimulator& radio() { return *simulator; }

    // The simulator takes a free port on 127.0.0.2; that port on 127.0.0.1 may be taken by
    // another test running at the same time, and then both try again elsewhere.
    bool Start(CRadioSimulator::Options options)
    {
        options.address = "127.0.0.2";
        options.port = 0;
        for (int tries = 0; tries < 20; ++tries)
        {
            simulator = std::make_unique<CRadioSimulator>();
            if (!simulator->Start(options))
                return false;
            socket = std::make_unique<CQRNPSocket>(0);
            socket->SetTimings(300, 1000, std::chrono::seconds(120));
            socket->AddListener(&collector, kSocketDataReceivedEvent);
            if (socket->Open(Address("127.0.0.1"), simulator->Port()) == 0)
                return true;
            socket->RemoveListener(&collector, kSocketDataReceivedEvent);
        }
        return false;
    }
    void Close()
    {
        socket->RemoveListener(&collector, kSocketDataReceivedEvent);
        socket.reset();
    }
};

// Waits, up to five seconds, for something another thread does.
template <typename Predicate> bool Eventually(Predicate predicate)
{
    for (int i = 0; i < 500; ++i)
    {
        if (predicate())
            return true;
        ::usleep(10000);
    }
    return predicate();
}

} // namespace

TEST(QrnpPackets, AreByteExact)
{
    EXPECT_EQ(qrnp::Packet(qrnp::kConnectRequest, 0x20, 0x10),
              Hex("7E 03 00 FE 20 10 00 00 00 0C 60 E2"));
    EXPECT_EQ(qrnp::Packet(qrnp::kAcknowledgement, 0x20, 0x10),
              Hex("7E 03 00 10 20 10 00 00 00 0C 61 D0"));
    EXPECT_EQ(qrnp::Packet(qrnp::kClose, 0x20, 0x10), Hex("7E 03 00 FB 20 10 00 00 00 0C 60 E5"));
    EXPECT_EQ(qrnp::LinkQueryMessage(), Hex("02 C9 10 05 00 02 00 01 01 01 4F 03"));
    EXPECT_EQ(qrnp::KeepAliveMessage(120), Hex("02 CA 00 02 00 78 00 EE 03"));
    EXPECT_EQ(qrnp::EndOfLinkMessage(), Hex("02 CB 00 01 00 00 66 03"));
    Bytes query = Hex("7E 03 00 00 20 10 00 00 00 18 FE FE");
    const Bytes message = qrnp::LinkQueryMessage();
    query.insert(query.end(), message.begin(), message.end());
    EXPECT_EQ(qrnp::Packet(qrnp::kData, 0x20, 0x10, message), query);
    // An odd length is padded for the checksum.
    const uint8_t odd[] = {0x01, 0x02, 0x03};
    EXPECT_EQ(qrnp::Checksum(odd, 3), static_cast<uint16_t>(~(0x0102 + 0x0300)));
}

TEST(QrnpSocket, AVerifiedLinkMovesToTheAcceptedNodeAndEndsWithEndOfLinkAndClose)
{
    CLink link;
    CRadioSimulator::Options options;
    options.nodeId = 0x31;
    options.dataAfterLink = {Hex("AA BB CC")};
    ASSERT_TRUE(link.Start(options)) << link.radio().Error();
    ASSERT_TRUE(link.socket->Connect(Address("127.0.0.2")));
    EXPECT_EQ(link.socket->PeerId(), 0x31);
    EXPECT_TRUE(link.socket->IsLinked());

    // The radio's data after the link: acknowledged and delivered without its header.
    ASSERT_TRUE(link.collector.WaitFor(1, 3));
    EXPECT_NE(
        std::find(link.collector.payloads.begin(), link.collector.payloads.end(), Hex("AA BB CC")),
        link.collector.payloads.end());
    const auto received = link.radio().Received();
    ASSERT_GE(received.size(), 2u);
    EXPECT_EQ(received[0], Hex("7E 03 00 FE 20 10 00 00 00 0C 60 E2")); // to 0x20 before the accept
    EXPECT_EQ(received[1], qrnp::Packet(qrnp::kData, 0x31, 0x10, qrnp::LinkQueryMessage()));
    // The keep-alive thread began, and every data packet of the radio was acknowledged to 0x31.
    EXPECT_TRUE(Eventually([&] { return link.radio().CountOpcode(qrnp::kKeepAlive) == 1; }));
    EXPECT_TRUE(Eventually([&] { return link.radio().CountType(qrnp::kAcknowledgement) == 3; }));

    // Data from another node is neither acknowledged nor delivered.
    const size_t delivered = link.collector.payloads.size();
    link.radio().SendToTool(qrnp::Packet(qrnp::kData, 0x10, 0x44, Hex("01 02 03 04")));
    // Too short to be a packet: dropped.
    link.radio().SendToTool(Hex("7E 03 00"));
    // A 12-byte acknowledgement from the peer is delivered with length 0.
    const size_t empties = link.collector.Count(0);
    link.radio().SendToTool(qrnp::Packet(qrnp::kAcknowledgement, 0x10, 0x31));
    ASSERT_TRUE(link.collector.WaitFor(empties + 1, 0));
    EXPECT_EQ(link.collector.payloads.size(), delivered + 1);
    EXPECT_EQ(link.collector.Count(4), 0u);
    EXPECT_EQ(link.radio().CountType(qrnp::kAcknowledgement), 3);

    std::string debug;
    const auto previous = rz::SetDebugOutputSink([&](std::string_view text) { debug += text; });
    const auto before = std::chrono::steady_clock::now();
    link.Close();
    const auto took = std::chrono::steady_clock::now() - before;
    rz::SetDebugOutputSink(previous);
    EXPECT_LT(took, std::chrono::seconds(120)); // the keep-alive wait of 120 s is woken
    EXPECT_EQ(debug, "Delete CQRNPSocket\r\nDelete CQDPSocket\r\nDelete CNotifierBase\r\n");
    // End-of-link, then close, both to the accepted node.
    EXPECT_TRUE(Eventually([&] { return link.radio().CountType(qrnp::kClose) == 1; }));
    EXPECT_EQ(link.radio().CountOpcode(qrnp::kEndOfLink), 1);
    const auto last = link.radio().Received().back();
    EXPECT_EQ(last, qrnp::Packet(qrnp::kClose, 0x31, 0x10));
}

TEST(QrnpSocket, RejectsAndFailedQueriesEndConnectWithFalse)
{
    {
        CLink link;
        CRadioSimulator::Options options;
        options.mode = CRadioSimulator::Mode::Reject;
        ASSERT_TRUE(link.Start(options));
        // No wait-out: with an answer wait far longer than any delay of a busy machine, only
        // the reject can end Connect before that wait is over.
        constexpr auto kAnswerWait = std::chrono::seconds(20);
        link.socket->SetTimings(static_cast<int>(std::chrono::milliseconds(kAnswerWait).count()),
                                1000, std::chrono::seconds(120));
        const auto before = std::chrono::steady_clock::now();
        EXPECT_FALSE(link.socket->Connect(Address("127.0.0.2")));
        EXPECT_LT(std::chrono::steady_clock::now() - before, kAnswerWait);
        EXPECT_FALSE(link.socket->IsLinked());
        link.Close();
        // Even without a link, destruction says end-of-link and close.
        EXPECT_TRUE(Eventually([&] { return link.radio().CountType(qrnp::kClose) == 1; }));
        EXPECT_EQ(link.radio().CountOpcode(qrnp::kEndOfLink), 1);
        EXPECT_EQ(link.radio().CountType(qrnp::kClose), 1);
    }
    {
        CLink link;
        CRadioSimulator::Options options;
        options.queryResult = 1;
        ASSERT_TRUE(link.Start(options));
        EXPECT_FALSE(link.socket->Connect(Address("127.0.0.2")));
        EXPECT_EQ(link.radio().CountOpcode(qrnp::kLinkQuery), 1);
        EXPECT_FALSE(link.socket->IsLinked());
        link.Close();
    }
    {
        CLink link;
        CRadioSimulator::Options options;
        options.mode = CRadioSimulator::Mode::Silent;
        ASSERT_TRUE(link.Start(options));
        EXPECT_FALSE(link.socket->Connect(Address("127.0.0.2")));
        EXPECT_EQ(link.radio().CountOpcode(qrnp::kLinkQuery), 0);
        link.Close();
    }
}

TEST(QrnpSocket, AnAddressInUseGives10048)
{
    const int holder = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = Address("127.0.0.1");
    address.sin_port = 0;
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t size = sizeof address;
    ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &size);
    {
        CQRNPSocket socket(0);
        EXPECT_EQ(socket.Open(Address("127.0.0.1"), ntohs(address.sin_port)), rz::WSAEADDRINUSE);
        EXPECT_EQ(socket.Open(Address("203.0.113.9"), 3005), 10049); // not an address of ours
    }
    ::close(holder);
}

TEST(MobileChannelDetector, TheRadioAddressComesFromTheHardwareAddress)
{
    EXPECT_EQ(MobileChannelDetector::RemoteFromHardware({0x00, 0x11, 0x0A, 0x00, 0x00, 0x65}),
              0x0A000064u); // 10.0.0.100
    EXPECT_EQ(MobileChannelDetector::RemoteFromHardware({0x00, 0x11, 0x0A, 0x00, 0x00, 0x00}),
              0x09FFFFFFu); // borrows: 9.255.255.255
    MobileChannelDetector detector;
    EXPECT_EQ(detector.FindRemoteAddress(0), 0u);
    EXPECT_EQ(detector.FindRemoteAddress(Address("203.0.113.77")), 0u);

    // The loopback adapter is listed once, never 0.0.0.0.
    class CFound : public CListenerBase
    {
    public:
        void OnEvent(CEventBase* event) override
        {
            addresses = static_cast<IPFoundEvent*>(event)->addresses;
        }
        std::map<std::string, IPFoundEntry> addresses;
    } found;
    detector.AddListener(&found, kIPFoundEvent);
    EXPECT_TRUE(detector.EnumerateAdapters());
    detector.RemoveListener(&found, kIPFoundEvent);
    EXPECT_EQ(found.addresses.count("127.0.0.1"), 1u);
    EXPECT_EQ(found.addresses.at("127.0.0.1").address, Address("127.0.0.1"));
    EXPECT_EQ(found.addresses.count("0.0.0.0"), 0u);
}
