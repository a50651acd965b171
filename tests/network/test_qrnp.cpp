// The QRNP sockets against a radio played by the test itself: every packet the radio sends
// and every packet the tool must send is written out here byte for byte, as the wire tables
// give them, so that nothing is built with the tool's own builders or constants.
#include "NetnsLink.h"
#include "RadioSimulator.h"
#include "TestSupport.h"
#include "events/Events.h"
#include "events/ListenerBase.h"
#include "network/ConnectionTest.h"
#include "network/MobileChannelDetector.h"
#include "network/QRNPSocket.h"
#include "network/QrnpPacket.h"
#include "platform/DebugOutput.h"
#include "platform/SocketErrors.h"

#include <algorithm>
#include <arpa/inet.h>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using rztest::Bytes;
using rztest::Hex;

namespace
{

uint32_t Address(const char* dotted)
{
    return ::inet_addr(dotted);
}

// The radio's side (node 0x31 unless stated) and the tool's, as the wire tables spell them.
namespace wire
{
const char* const kConnectRequest = "7E 03 00 FE 20 10 00 00 00 0C 60 E2";
const char* const kAccept31 = "7E 03 00 FD 10 31 00 00 00 0C 70 C2";
const char* const kAccept20 = "7E 03 00 FD 10 20 00 00 00 0C 70 D3";
const char* const kReject20 = "7E 03 00 FC 10 20 00 00 00 0C 70 D4";
const char* const kQueryTo31 =
    "7E 03 00 00 31 10 00 00 00 18 ED FE 02 C9 10 05 00 02 00 01 01 01 4F 03";
const char* const kQueryTo20 =
    "7E 03 00 00 20 10 00 00 00 18 FE FE 02 C9 10 05 00 02 00 01 01 01 4F 03";
const char* const kQueryReplyOk31 = "7E 03 00 00 10 31 00 00 00 14 06 E9 02 C9 80 01 00 00 E8 03";
const char* const kQueryReplyFailed31 =
    "7E 03 00 00 10 31 00 00 00 14 07 E8 02 C9 80 01 00 01 E7 03";
const char* const kQueryReplyOk20 = "7E 03 00 00 10 20 00 00 00 14 06 FA 02 C9 80 01 00 00 E8 03";
const char* const kKeepAliveReply31 = "7E 03 00 00 10 31 00 00 00 14 07 E8 02 CA 80 01 00 00 E7 03";
const char* const kEndOfLinkReply31 = "7E 03 00 00 10 31 00 00 00 14 08 E7 02 CB 80 01 00 00 E6 03";
const char* const kKeepAliveTo31 = "7E 03 00 00 31 10 00 00 00 15 49 A5 02 CA 00 02 00 78 00 EE 03";
const char* const kEndOfLinkTo31 = "7E 03 00 00 31 10 00 00 00 14 E8 08 02 CB 00 01 00 00 66 03";
const char* const kEndOfLinkTo20 = "7E 03 00 00 20 10 00 00 00 14 F9 08 02 CB 00 01 00 00 66 03";
const char* const kCloseTo31 = "7E 03 00 FB 31 10 00 00 00 0C 4F E5";
const char* const kCloseTo20 = "7E 03 00 FB 20 10 00 00 00 0C 60 E5";
const char* const kAckTo31 = "7E 03 00 10 31 10 00 00 00 0C 50 D0";
const char* const kAckFrom31 = "7E 03 00 10 10 31 00 00 00 0C 71 AF";
const char* const kAckFrom44 = "7E 03 00 10 10 44 00 00 00 0C 71 9C";
const char* const kAckFrom20 = "7E 03 00 10 10 20 00 00 00 0C 71 C0";
// 17 bytes: a query reply that ends right before its result byte.
const char* const kQueryReplyCut31 = "7E 03 00 00 10 31 00 00 00 11 EE EF 02 C9 80 01 00";
const char* const kDataAABBCC31 = "7E 03 00 00 10 31 00 00 00 0F FA FF AA BB CC";
const char* const kDataAABBCC44 = "7E 03 00 00 10 44 00 00 00 0F FA EC AA BB CC";
const char* const kData5A31 = "7E 03 00 00 10 31 00 00 00 0D 17 BE 5A";
// 14 bytes: a header and the first two bytes of a message, too short to hold an opcode.
const char* const kData02CA31 = "7E 03 00 00 10 31 00 00 00 0E 6E F3 02 CA";
} // namespace wire

// Collects what a socket delivers to its listeners.
class CCollector : public CListenerBase
{
public:
    void OnEvent(CEventBase* event) override
    {
        auto* data = static_cast<SocketDataReceivedEvent*>(event);
        std::lock_guard lock(m_mutex);
        m_payloads.emplace_back(data->data, data->data + data->length);
        m_arrived.notify_all();
    }
    // Waits until a payload equal to wanted has arrived.
    bool WaitFor(const Bytes& wanted)
    {
        std::unique_lock lock(m_mutex);
        return m_arrived.wait_for(lock, std::chrono::seconds(5),
                                  [&] {
                                      return std::find(m_payloads.begin(), m_payloads.end(),
                                                       wanted) != m_payloads.end();
                                  });
    }
    std::vector<Bytes> Payloads()
    {
        std::lock_guard lock(m_mutex);
        return m_payloads;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<Bytes> m_payloads;
};

// A plain UDP socket for the test to play a host with: the radio, or a stranger.
class CPeer
{
public:
    CPeer() = default;
    ~CPeer()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CPeer(const CPeer&) = delete;
    CPeer& operator=(const CPeer&) = delete;

    bool Bind(const char* address, uint16_t port)
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = Address(address);
        local.sin_port = htons(port);
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
            return false;
        socklen_t size = sizeof local;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &size);
        m_port = ntohs(local.sin_port);
        return true;
    }
    uint16_t Port() const { return m_port; }

    void SendTo(const Bytes& bytes, const char* address, uint16_t port)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = Address(address);
        to.sin_port = htons(port);
        ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    // The next datagram, or nothing within the time.
    std::optional<Bytes> Receive(std::chrono::milliseconds within = std::chrono::seconds(5))
    {
        return rztest::ReceiveFrom(m_fd, within);
    }
    // The next datagram that is not an acknowledgement.
    std::optional<Bytes>
    ReceiveSkippingAcks(std::chrono::milliseconds within = std::chrono::seconds(5))
    {
        for (;;)
        {
            auto bytes = Receive(within);
            if (!bytes || bytes->size() < 4 || (*bytes)[3] != 0x10)
                return bytes;
        }
    }

private:
    int m_fd = -1;
    uint16_t m_port = 0;
};

// The tool's socket on 127.0.0.1 and the radio, played by the test, on 127.0.0.2 at the
// same port (the tool always talks from a port to the same port).
class QrnpLinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int tries = 0; tries < 20; ++tries)
        {
            m_radio = std::make_unique<CPeer>();
            ASSERT_TRUE(m_radio->Bind("127.0.0.2", 0));
            m_socket = std::make_unique<CQRNPSocket>(0);
            m_socket->SetTimings(300, 300, std::chrono::seconds(120));
            if (m_socket->Open(Address("127.0.0.1"), m_radio->Port()) == 0)
            {
                m_socket->AddListener(&m_collector, kSocketDataReceivedEvent);
                return;
            }
        }
        FAIL() << "no port free on both loopback addresses";
    }

    void TearDown() override { Close(); }

    void Close()
    {
        if (!m_socket)
            return;
        m_socket->RemoveListener(&m_collector, kSocketDataReceivedEvent);
        m_socket.reset();
    }

    uint16_t Port() const { return m_radio->Port(); }
    void RadioSends(const char* hex) { m_radio->SendTo(Hex(hex), "127.0.0.1", Port()); }
    std::future<bool> ConnectAsync()
    {
        return std::async(std::launch::async,
                          [this] { return m_socket->Connect(Address("127.0.0.2")); });
    }
    // Plays the radio through a successful link with node 0x31.
    void Link()
    {
        auto connected = ConnectAsync();
        ASSERT_EQ(m_radio->Receive(), Hex(wire::kConnectRequest));
        RadioSends(wire::kAccept31);
        ASSERT_EQ(m_radio->Receive(), Hex(wire::kQueryTo31));
        RadioSends(wire::kQueryReplyOk31);
        ASSERT_TRUE(connected.get());
        // The reply is acknowledged, then the keep-alive thread says 120 s.
        ASSERT_EQ(m_radio->Receive(), Hex(wire::kAckTo31));
        ASSERT_EQ(m_radio->Receive(), Hex(wire::kKeepAliveTo31));
    }

    CCollector m_collector;
    std::unique_ptr<CPeer> m_radio;
    std::unique_ptr<CQRNPSocket> m_socket;
};

} // namespace

TEST(QrnpPackets, AreByteExact)
{
    EXPECT_EQ(qrnp::Packet(qrnp::kConnectRequest, 0x20, 0x10), Hex(wire::kConnectRequest));
    EXPECT_EQ(qrnp::Packet(qrnp::kAcknowledgement, 0x20, 0x10),
              Hex("7E 03 00 10 20 10 00 00 00 0C 61 D0"));
    EXPECT_EQ(qrnp::Packet(qrnp::kClose, 0x20, 0x10), Hex(wire::kCloseTo20));
    EXPECT_EQ(qrnp::LinkQueryMessage(), Hex("02 C9 10 05 00 02 00 01 01 01 4F 03"));
    EXPECT_EQ(qrnp::KeepAliveMessage(120), Hex("02 CA 00 02 00 78 00 EE 03"));
    EXPECT_EQ(qrnp::EndOfLinkMessage(), Hex("02 CB 00 01 00 00 66 03"));
    EXPECT_EQ(qrnp::Packet(qrnp::kData, 0x20, 0x10, qrnp::LinkQueryMessage()),
              Hex(wire::kQueryTo20));
    // An odd length is padded for the checksum.
    const uint8_t odd[] = {0x01, 0x02, 0x03};
    EXPECT_EQ(qrnp::Checksum(odd, 3), static_cast<uint16_t>(~(0x0102 + 0x0300)));
}

TEST(RadioSimulator, SpeaksTheWireTablesByteForByte)
{
    // The simulator builds its packets itself; they must be the radio's bytes.
    EXPECT_EQ(CRadioSimulator::RadioPacket(0xFD, 0x31), Hex(wire::kAccept31));
    EXPECT_EQ(CRadioSimulator::RadioPacket(0xFC, 0x20), Hex(wire::kReject20));
    EXPECT_EQ(CRadioSimulator::RadioPacket(0x10, 0x31), Hex(wire::kAckFrom31));
    EXPECT_EQ(
        CRadioSimulator::RadioPacket(0x00, 0x31, CRadioSimulator::ReplyMessage(0xC9, 0x80, 0)),
        Hex(wire::kQueryReplyOk31));
    EXPECT_EQ(
        CRadioSimulator::RadioPacket(0x00, 0x31, CRadioSimulator::ReplyMessage(0xC9, 0x80, 1)),
        Hex(wire::kQueryReplyFailed31));
    EXPECT_EQ(
        CRadioSimulator::RadioPacket(0x00, 0x31, CRadioSimulator::ReplyMessage(0xCB, 0x80, 0)),
        Hex(wire::kEndOfLinkReply31));
    EXPECT_EQ(CRadioSimulator::RadioPacket(0x00, 0x31, Hex("02 CA")), Hex(wire::kData02CA31));
}

TEST_F(QrnpLinkTest, AQueryReplyWithResultZeroLinksAndEveryPacketIsTheTablesBytes)
{
    ASSERT_NO_FATAL_FAILURE(Link());
    EXPECT_EQ(m_socket->PeerId(), 0x31);
    EXPECT_TRUE(m_socket->IsLinked());

    std::string debug;
    const auto previous = rz::SetDebugOutputSink([&](std::string_view text) { debug += text; });
    const auto before = std::chrono::steady_clock::now();
    Close();
    const auto took = std::chrono::steady_clock::now() - before;
    rz::SetDebugOutputSink(previous);
    EXPECT_LT(took, std::chrono::seconds(120)); // the keep-alive wait of 120 s is woken
    EXPECT_EQ(debug, "Delete CQRNPSocket\r\nDelete CQDPSocket\r\nDelete CNotifierBase\r\n");
    // End-of-link, then close, both to the accepted node.
    EXPECT_EQ(m_radio->Receive(), Hex(wire::kEndOfLinkTo31));
    EXPECT_EQ(m_radio->Receive(), Hex(wire::kCloseTo31));
}

TEST_F(QrnpLinkTest, AQueryReplyWithResultOneOrARejectGivesNoLink)
{
    auto connected = ConnectAsync();
    ASSERT_EQ(m_radio->Receive(), Hex(wire::kConnectRequest));
    RadioSends(wire::kAccept31);
    ASSERT_EQ(m_radio->Receive(), Hex(wire::kQueryTo31));
    RadioSends(wire::kQueryReplyFailed31);
    EXPECT_FALSE(connected.get());
    EXPECT_FALSE(m_socket->IsLinked());

    // A second attempt asks the default node again, whoever accepted before; a reject ends
    // it at once, without a query. (No stopwatch: with an answer wait far longer than any
    // delay of a busy machine, only the reject can end Connect before that wait is over.)
    constexpr auto kAnswerWait = std::chrono::seconds(20);
    m_socket->SetTimings(static_cast<int>(std::chrono::milliseconds(kAnswerWait).count()), 300,
                         std::chrono::seconds(120));
    connected = ConnectAsync();
    EXPECT_EQ(m_radio->ReceiveSkippingAcks(), Hex(wire::kConnectRequest));
    const auto before = std::chrono::steady_clock::now();
    RadioSends(wire::kReject20);
    EXPECT_FALSE(connected.get());
    EXPECT_LT(std::chrono::steady_clock::now() - before, kAnswerWait);
    // Even without a link, destruction says end-of-link and close, to the node last accepted.
    Close();
    EXPECT_EQ(m_radio->ReceiveSkippingAcks(), Hex(wire::kEndOfLinkTo31));
    EXPECT_EQ(m_radio->Receive(), Hex(wire::kCloseTo31));
}

TEST_F(QrnpLinkTest, ACancelEndsTheWaitAtOnceAndTheLinkIsStillClosed)
{
    // With an answer wait far longer than any delay of a busy machine, only the cancel can
    // end Connect before that wait is over.
    constexpr auto kAnswerWait = std::chrono::seconds(20);
    m_socket->SetTimings(static_cast<int>(std::chrono::milliseconds(kAnswerWait).count()), 300,
                         std::chrono::seconds(120));
    auto connected = ConnectAsync();
    ASSERT_EQ(m_radio->Receive(), Hex(wire::kConnectRequest));
    const auto before = std::chrono::steady_clock::now();
    std::thread([this] { m_socket->Cancel(); }).join();
    EXPECT_FALSE(connected.get());
    EXPECT_LT(std::chrono::steady_clock::now() - before, kAnswerWait);
    EXPECT_TRUE(m_socket->IsCancelled());

    // A late accept changes nothing, and a cancelled socket sends no further request.
    RadioSends(wire::kAccept31);
    EXPECT_FALSE(m_socket->Connect(Address("127.0.0.2")));
    EXPECT_FALSE(m_socket->IsLinked());
    Close();
    EXPECT_EQ(m_radio->Receive(), Hex(wire::kEndOfLinkTo20));
    EXPECT_EQ(m_radio->Receive(), Hex(wire::kCloseTo20));
    EXPECT_EQ(m_radio->Receive(std::chrono::milliseconds(50)), std::nullopt);
}

TEST_F(QrnpLinkTest, ACancelStopsKeepingTheLinkAlive)
{
    // The keep-alive's query would wait 5 s for its reply: anything the radio gets soon after
    // the cancel comes from a socket that goes on.
    m_socket->SetTimings(300, 5000, std::chrono::milliseconds(100));
    ASSERT_NO_FATAL_FAILURE(Link());
    ASSERT_EQ(m_radio->Receive(), Hex(wire::kQueryTo31)); // the keep-alive's query
    m_socket->Cancel();
    // The query in progress ends; no further keep-alive or query follows.
    EXPECT_EQ(m_radio->Receive(std::chrono::milliseconds(400)), std::nullopt);
    Close();
    EXPECT_EQ(m_radio->Receive(), Hex(wire::kEndOfLinkTo31));
    EXPECT_EQ(m_radio->Receive(), Hex(wire::kCloseTo31));
}

TEST_F(QrnpLinkTest, AnAnswerCountsOnlyForTheStepThatWaitsForIt)
{
    // A query reply while the connect request waits is no accept: no query follows.
    auto connected = ConnectAsync();
    ASSERT_EQ(m_radio->Receive(), Hex(wire::kConnectRequest));
    RadioSends(wire::kQueryReplyOk20);
    EXPECT_FALSE(connected.get());
    EXPECT_EQ(m_radio->ReceiveSkippingAcks(std::chrono::milliseconds(0)), std::nullopt);
    // An accept that comes after the wait ran out changes nothing: the acknowledgement of
    // node 0x20 that follows it still reaches the listeners.
    RadioSends(wire::kAccept31);
    RadioSends(wire::kAckFrom20);
    ASSERT_TRUE(m_collector.WaitFor(Bytes{}));
    EXPECT_EQ(m_socket->PeerId(), 0x20);

    // Accepts while the query waits are no query reply: the query times out.
    connected = ConnectAsync();
    ASSERT_EQ(m_radio->ReceiveSkippingAcks(), Hex(wire::kConnectRequest));
    RadioSends(wire::kAccept20);
    ASSERT_EQ(m_radio->Receive(), Hex("7E 03 00 00 20 10 00 00 00 18 FE FE 02 C9 10 05 00 02 00 "
                                      "01 01 01 4F 03"));
    for (int i = 0; i < 5; ++i)
        RadioSends(wire::kAccept31);
    EXPECT_FALSE(connected.get());
    EXPECT_FALSE(m_socket->IsLinked());
    // Nor did they move the link to node 0x31.
    EXPECT_EQ(m_socket->PeerId(), 0x20);
}

TEST_F(QrnpLinkTest, AQueryReplyTooShortForItsResultIsNoReply)
{
    auto connected = ConnectAsync();
    ASSERT_EQ(m_radio->Receive(), Hex(wire::kConnectRequest));
    // A whole reply with result 0 while nobody asks (another node's: dropped), then the
    // accept; the query is answered by a reply cut before its result byte, which must not be
    // read from what the earlier reply left behind.
    RadioSends(wire::kQueryReplyOk31);
    RadioSends(wire::kAccept31);
    ASSERT_EQ(m_radio->Receive(), Hex(wire::kQueryTo31));
    RadioSends(wire::kQueryReplyCut31);
    EXPECT_EQ(m_radio->Receive(), Hex(wire::kAckTo31));
    EXPECT_FALSE(connected.get());
    EXPECT_FALSE(m_socket->IsLinked());
}

TEST_F(QrnpLinkTest, OnlyTheRadiosAddressAndPortAreHeard)
{
    // A stranger on another address, and one on the radio's address but another port.
    CPeer stranger;
    ASSERT_TRUE(stranger.Bind("127.0.0.3", Port()));
    CPeer otherPort;
    ASSERT_TRUE(otherPort.Bind("127.0.0.2", 0));

    auto connected = ConnectAsync();
    ASSERT_EQ(m_radio->Receive(), Hex(wire::kConnectRequest));
    stranger.SendTo(Hex(wire::kAccept31), "127.0.0.1", Port());
    otherPort.SendTo(Hex(wire::kAccept31), "127.0.0.1", Port());
    EXPECT_FALSE(connected.get()); // neither counted as the radio's accept: no query followed
    EXPECT_EQ(m_radio->Receive(std::chrono::milliseconds(0)), std::nullopt);

    ASSERT_NO_FATAL_FAILURE(Link());
    for (CPeer* forger : {&stranger, &otherPort})
    {
        forger->SendTo(Hex(wire::kDataAABBCC31), "127.0.0.1", Port());
        forger->SendTo(Hex(wire::kAckFrom31), "127.0.0.1", Port());
    }
    RadioSends(wire::kData5A31);
    ASSERT_TRUE(m_collector.WaitFor(Hex("5A")));
    EXPECT_EQ(m_collector.Payloads(), std::vector<Bytes>{Hex("5A")});
    // Nobody but the radio was answered.
    EXPECT_EQ(stranger.Receive(std::chrono::milliseconds(0)), std::nullopt);
    EXPECT_EQ(otherPort.Receive(std::chrono::milliseconds(0)), std::nullopt);
    EXPECT_EQ(m_radio->Receive(), Hex(wire::kAckTo31));
    EXPECT_EQ(m_radio->Receive(std::chrono::milliseconds(50)), std::nullopt);
}

TEST_F(QrnpLinkTest, OnlyTheRadiosDataAndAcknowledgementsReachTheListeners)
{
    ASSERT_NO_FATAL_FAILURE(Link());
    RadioSends(wire::kDataAABBCC31);     // delivered without its header, acknowledged
    RadioSends(wire::kQueryReplyOk31);   // nobody waits for it: acknowledged, not delivered
    RadioSends(wire::kAckFrom31);        // delivered with length 0
    RadioSends(wire::kAckFrom44);        // another node: dropped
    RadioSends(wire::kDataAABBCC44);     // another node: neither acknowledged nor delivered
    RadioSends("7E 03 00");              // not a packet
    RadioSends(wire::kKeepAliveReply31); // acknowledged, not delivered
    RadioSends(wire::kEndOfLinkReply31); // acknowledged, not delivered
    // 14 bytes right after a reply: its opcode would need a 15th byte, which must not be read
    // from what the reply left in the receive buffer (80, which would make it a reply).
    RadioSends(wire::kData02CA31);
    RadioSends(wire::kData5A31);
    ASSERT_TRUE(m_collector.WaitFor(Hex("5A")));
    EXPECT_EQ(m_collector.Payloads(),
              (std::vector<Bytes>{Hex("AA BB CC"), Bytes{}, Hex("02 CA"), Hex("5A")}));
    // One acknowledgement for each of the six data packets of node 0x31.
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(m_radio->Receive(), Hex(wire::kAckTo31)) << i;
    EXPECT_EQ(m_radio->Receive(std::chrono::milliseconds(50)), std::nullopt);
}

TEST_F(QrnpLinkTest, TheKeepAliveQueryRepeatsUntilTheRadioConfirms)
{
    m_socket->SetTimings(300, 150, std::chrono::milliseconds(100));
    ASSERT_NO_FATAL_FAILURE(Link());
    // After the interval the link is queried; a silent radio is asked again.
    ASSERT_EQ(m_radio->Receive(), Hex(wire::kQueryTo31));
    ASSERT_EQ(m_radio->Receive(), Hex(wire::kQueryTo31));
    // A failed result is no confirmation either.
    RadioSends(wire::kQueryReplyFailed31);
    ASSERT_EQ(m_radio->ReceiveSkippingAcks(), Hex(wire::kQueryTo31));
    RadioSends(wire::kQueryReplyOk31);
    // Confirmed: the next keep-alive, still saying 120 s.
    EXPECT_EQ(m_radio->ReceiveSkippingAcks(), Hex(wire::kKeepAliveTo31));
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

namespace
{

// What a plain socket hands its listeners.
class CDatagrams : public CListenerBase
{
public:
    struct CDatagram
    {
        Bytes bytes;
        uint32_t address;
        uint16_t port;
    };
    void OnEvent(CEventBase* event) override
    {
        ASSERT_EQ(event->GetType(), 1026u);
        auto* data = static_cast<SocketDataReceivedEvent*>(event);
        std::lock_guard lock(m_mutex);
        m_received.push_back(
            {Bytes(data->data, data->data + data->length), data->senderAddress, data->senderPort});
        m_arrived.notify_all();
    }
    std::vector<CDatagram> WaitFor(size_t count)
    {
        std::unique_lock lock(m_mutex);
        m_arrived.wait_for(lock, std::chrono::seconds(5),
                           [&] { return m_received.size() >= count; });
        return m_received;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<CDatagram> m_received;
};

} // namespace

TEST(QdpSocket, DeliversEachDatagramWholeWithItsSender)
{
    CPeer peer;
    ASSERT_TRUE(peer.Bind("127.0.0.2", 0));
    CQDPSocket socket;
    const uint8_t hello[] = {0x01, 0x02, 0x03};
    EXPECT_EQ(socket.Send(hello, 3, Address("127.0.0.2"), peer.Port()), 0u); // not open yet
    ASSERT_EQ(socket.Open(Address("127.0.0.1"), peer.Port()), 0);
    CDatagrams datagrams;
    socket.AddListener(&datagrams, kSocketDataReceivedEvent);

    // Remote port 0 is the local port, which the peer shares on its own address.
    EXPECT_EQ(socket.Send(hello, 3, Address("127.0.0.2"), 0), 3u);
    EXPECT_EQ(peer.Receive(), Hex("01 02 03"));
    // Too big for one datagram: nothing sent, 0.
    const Bytes huge(70000, 0x55);
    EXPECT_EQ(socket.Send(huge.data(), huge.size(), Address("127.0.0.2"), 0), 0u);

    // A datagram as big as the receive buffer arrives whole; the sender is in host order.
    Bytes full(4096);
    for (size_t i = 0; i < full.size(); ++i)
        full[i] = static_cast<uint8_t>(i * 7);
    peer.SendTo(full, "127.0.0.1", peer.Port());
    peer.SendTo(Hex("AA BB"), "127.0.0.1", peer.Port());
    const auto received = datagrams.WaitFor(2);
    socket.RemoveListener(&datagrams, kSocketDataReceivedEvent);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].bytes, full);
    EXPECT_EQ(received[1].bytes, Hex("AA BB"));
    EXPECT_EQ(received[1].address, 0x7F000002u);
    EXPECT_EQ(received[1].port, peer.Port());
}

TEST(QdpSocket, ADestroyedSocketFreesItsPortAndSaysSo)
{
    uint16_t port = 0;
    {
        CPeer probe; // finds a free port
        ASSERT_TRUE(probe.Bind("127.0.0.1", 0));
        port = probe.Port();
    }
    std::string debug;
    const auto previous = rz::SetDebugOutputSink([&](std::string_view text) { debug += text; });
    {
        CQDPSocket first;
        ASSERT_EQ(first.Open(Address("127.0.0.1"), port), 0);
        CQDPSocket second;
        EXPECT_EQ(second.Open(Address("127.0.0.1"), port), rz::WSAEADDRINUSE);
    }
    rz::SetDebugOutputSink(previous);
    EXPECT_EQ(debug, "Delete CQDPSocket\r\nDelete CNotifierBase\r\n"
                     "Delete CQDPSocket\r\nDelete CNotifierBase\r\n");
    // The next test on the same address and port can open it again.
    CQDPSocket again;
    EXPECT_EQ(again.Open(Address("127.0.0.1"), port), 0);
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

TEST(ConnectionTest, RunsOnlyWithAliasPseudoIdAndIp)
{
    EXPECT_EQ(connection_test::CheckStationValues(L"Harbour", L"101", L"192.168.10.2"), 0);
    EXPECT_EQ(connection_test::CheckStationValues(L"", L"101", L"192.168.10.2"), 10022);
    EXPECT_EQ(connection_test::CheckStationValues(L"Harbour", L"", L"192.168.10.2"), 10022);
    EXPECT_EQ(connection_test::CheckStationValues(L"Harbour", L"101", L""), 10022);
    // Without an IP the test asks for it before it looks for an adapter.
    MobileChannelDetector detector;
    std::vector<int> steps;
    EXPECT_EQ(connection_test::Run(L"", detector, nullptr,
                                   [&](const connection_test::CStep& step)
                                   { steps.push_back(step.kind); }),
              10022);
    EXPECT_EQ(steps, std::vector<int>{connection_test::CStep::Finished});
}
