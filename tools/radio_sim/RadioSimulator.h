#pragma once

#include "platform/WakeFd.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A radio that speaks QRNP on a UDP address and port, for tests and for trying the
// connection test by hand: it accepts (with a chosen node id), rejects or ignores a connect
// request, answers the link query with a chosen result, acknowledges and answers keep-alive
// and end-of-link, and can send data packets once the link is verified. It records every
// datagram it receives.
//
// Its packets are written out from the wire tables byte by byte, with a checksum of its own:
// it shares no builder or constant with the tool, so a wrong byte on either side shows.
class CRadioSimulator
{
public:
    enum class Mode
    {
        Accept,
        Reject,
        Silent,
    };

    struct Options
    {
        std::string address = "127.0.0.2";
        uint16_t port = 3005; // 0: any free port
        uint8_t nodeId = 0x20;
        Mode mode = Mode::Accept;
        // The result byte of the query replies, in order; the last one repeats. Empty: 0.
        std::vector<uint8_t> queryResults;
        // Payloads sent in data packets after the first query reply.
        std::vector<std::vector<uint8_t>> dataAfterLink;
    };

    CRadioSimulator() = default;
    ~CRadioSimulator();
    CRadioSimulator(const CRadioSimulator&) = delete;
    CRadioSimulator& operator=(const CRadioSimulator&) = delete;

    // Binds and starts answering; false with Error() when it cannot.
    bool Start(const Options& options);
    uint16_t Port() const { return m_port; }
    const std::string& Error() const { return m_error; }

    // Every datagram received so far.
    std::vector<std::vector<uint8_t>> Received() const;
    // How many received datagrams begin with the given bytes.
    int CountStartingWith(const std::vector<uint8_t>& prefix) const;
    // How many received data packets carry a control message with the given opcode bytes
    // (low byte first, as on the wire).
    int CountMessages(uint8_t opcodeLow, uint8_t opcodeHigh) const;
    // Sends raw bytes to the last address and port a packet came from.
    void SendToTool(const std::vector<uint8_t>& bytes);
    // Prints each received packet's kind on stdout (for trying it by hand).
    void SetTrace(bool on) { m_trace = on; }

    // The Internet checksum (RFC 1071) of the bytes, as the header carries it.
    static uint16_t Checksum(const std::vector<uint8_t>& bytes);
    // A radio packet to the tool: the 12-byte header with length and checksum, then payload.
    static std::vector<uint8_t> RadioPacket(uint8_t type, uint8_t nodeId,
                                            const std::vector<uint8_t>& payload = {});
    // A reply message: 02, the opcode bytes, one parameter (the result), check byte, 03.
    static std::vector<uint8_t> ReplyMessage(uint8_t opcodeLow, uint8_t opcodeHigh, uint8_t result);

private:
    void Serve();
    void Answer(const std::vector<uint8_t>& packet);
    void Reply(const std::vector<uint8_t>& bytes);
    void Trace(const char* what) const;

    Options m_options;
    int m_socket = -1;
    rz::CWakeFd m_wake;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_trace{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<std::vector<uint8_t>> m_received;
    uint32_t m_peerAddress = 0; // network byte order
    uint16_t m_peerPort = 0;    // network byte order
    size_t m_queries = 0;
    bool m_dataSent = false;
    std::string m_error;
};
