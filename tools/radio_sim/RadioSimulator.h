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
        uint8_t queryResult = 0;
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
    // How many received packets had a type, or (for data packets) an opcode.
    int CountType(uint8_t type) const;
    int CountOpcode(uint16_t opcode) const;
    // Sends raw bytes to the last address and port a packet came from.
    void SendToTool(const std::vector<uint8_t>& bytes);
    // Called for each received datagram, on the simulator's thread (for printing).
    void SetTrace(bool on) { m_trace = on; }

private:
    void Serve();
    void Answer(const std::vector<uint8_t>& packet);
    void Reply(const std::vector<uint8_t>& bytes);

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
    bool m_dataSent = false;
    std::string m_error;
};
