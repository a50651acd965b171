#pragma once

#include "network/QDPSocket.h"

#include <condition_variable>
#include <mutex>
#include <vector>

// A QRNP link with a radio over UDP: frames payloads in QRNP data packets, opens the link
// (connect request, accept or reject), verifies it with a link query, keeps it alive every
// 120 s, acknowledges the radio's data and hands its payloads to the listeners. Destroying it
// sends end-of-link and close, whether or not a link was opened, and stops its threads.
//
// Only the radio is heard: a datagram counts only when it comes from the address Connect was
// given and from the QRNP port (the port the tool sends to). Anything else is dropped without
// an answer, so another host on the adapter's link cannot pose as the radio. An answer also
// counts only for the step that waits for it: an accept or reject answers the connect
// request, a query reply the query; at any other time they change nothing.
class CQRNPSocket : public CQDPSocket
{
public:
    static constexpr int kAnswerWaitMs = 1000;
    static constexpr int kQueryWaitMs = 10000;
    static constexpr uint16_t kKeepAliveSeconds = 120;

    // remoteAddress: the radio (network byte order); Connect may give another.
    explicit CQRNPSocket(uint32_t remoteAddress);
    ~CQRNPSocket() override;

    // Sends the payload in a QRNP data packet to the radio's address.
    size_t Send(const uint8_t* data, size_t length, uint32_t remoteAddress,
                uint16_t remotePort) override;
    // Opens and verifies the link with the radio at remoteAddress (network byte order).
    virtual bool Connect(uint32_t remoteAddress);
    // Ends the wait of a Connect in progress at once (it answers false), makes every later
    // Connect answer false without sending anything, and stops keeping a link alive. Callable
    // from any thread. Destroying the socket still says end-of-link and close.
    void Cancel();
    bool IsCancelled() const;

    uint8_t PeerId() const { return m_peerId; }
    bool IsLinked() const { return m_keepAlive.joinable(); }
    // Shorter waits and keep-alive interval, for tests that must not wait minutes.
    void SetTimings(int answerWaitMs, int queryWaitMs, std::chrono::milliseconds keepAliveInterval);

protected:
    void OnReceive(const uint8_t* data, size_t length, uint32_t senderAddress,
                   uint16_t senderPort) override;

private:
    size_t SendRaw(const std::vector<uint8_t>& packet);
    size_t SendMessage(const std::vector<uint8_t>& message);
    // Sends the link query and waits for its reply; true when the radio's result was 0.
    bool Query();
    enum class Awaiting
    {
        Nothing,
        ConnectAnswer, // an accept or a reject
        QueryReply,
    };
    // Sends a request and waits for the answer it expects; false on time-out, when stopping
    // or when cancelled.
    bool Exchange(const std::vector<uint8_t>& packet, bool raw, Awaiting awaiting,
                  int milliseconds);
    // Takes an answer of the kind being waited for; anything else is ignored.
    void Answer(Awaiting kind, int result, uint8_t peerId);
    bool FromRadio(uint32_t senderAddress, uint16_t senderPort) const;
    void KeepAlive();

    std::atomic<uint8_t> m_peerId{0x20};
    std::atomic<int> m_linkResult{0};
    std::atomic<uint32_t> m_remoteAddress;
    // One request and its answer at a time (Connect and the keep-alive thread's queries).
    std::mutex m_exchange;
    mutable std::mutex m_mutex;
    std::condition_variable m_answer;
    Awaiting m_awaiting = Awaiting::Nothing;
    bool m_answered = false;
    bool m_stopping = false;
    bool m_cancelled = false;
    std::thread m_keepAlive;
    int m_answerWaitMs = kAnswerWaitMs;
    int m_queryWaitMs = kQueryWaitMs;
    std::chrono::milliseconds m_keepAliveInterval{std::chrono::seconds(kKeepAliveSeconds)};
};
