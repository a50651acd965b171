#include "RadioSimulator.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

CRadioSimulator::~CRadioSimulator()
{
    m_stop = true;
    m_wake.Wake();
    if (m_thread.joinable())
        m_thread.join();
    if (m_socket >= 0)
        ::close(m_socket);
}

bool CRadioSimulator::Start(const Options& options)
{
    m_options = options;
    m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(options.port);
    if (m_socket < 0 || ::inet_pton(AF_INET, options.address.c_str(), &address.sin_addr) != 1 ||
        ::bind(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    {
        m_error = "cannot bind " + options.address + ":" + std::to_string(options.port) + ": " +
                  std::strerror(errno);
        return false;
    }
    socklen_t size = sizeof address;
    ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &size);
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
    return true;
}

void CRadioSimulator::Serve()
{
    std::vector<uint8_t> buffer(65536);
    pollfd fds[2] = {{m_socket, POLLIN, 0}, {m_wake.Fd(), POLLIN, 0}};
    while (!m_stop)
    {
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (m_stop)
            return;
        if ((fds[0].revents & POLLIN) == 0)
            continue;
        sockaddr_in sender{};
        socklen_t size = sizeof sender;
        const ssize_t n = ::recvfrom(m_socket, buffer.data(), buffer.size(), 0,
                                     reinterpret_cast<sockaddr*>(&sender), &size);
        if (n <= 0)
            continue;
        std::vector<uint8_t> packet(buffer.begin(), buffer.begin() + n);
        {
            std::lock_guard lock(m_mutex);
            m_received.push_back(packet);
            m_peerAddress = sender.sin_addr.s_addr;
            m_peerPort = sender.sin_port;
        }
        Answer(packet);
    }
}

void CRadioSimulator::Reply(const std::vector<uint8_t>& bytes)
{
    sockaddr_in to{};
    {
        std::lock_guard lock(m_mutex);
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = m_peerAddress;
        to.sin_port = m_peerPort;
    }
    ::sendto(m_socket, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
             sizeof to);
}

void CRadioSimulator::SendToTool(const std::vector<uint8_t>& bytes)
{
    Reply(bytes);
}

void CRadioSimulator::Trace(const char* what) const
{
    if (m_trace)
    {
        std::printf("radio: %s\n", what);
        std::fflush(stdout);
    }
}

uint16_t CRadioSimulator::Checksum(const std::vector<uint8_t>& bytes)
{
    // One's complement sum of big-endian 16-bit words, the carry folded in at every step.
    uint16_t sum = 0;
    for (size_t i = 0; i < bytes.size(); i += 2)
    {
        const uint16_t word =
            static_cast<uint16_t>(bytes[i] << 8 | (i + 1 < bytes.size() ? bytes[i + 1] : 0));
        const uint32_t wide = static_cast<uint32_t>(sum) + word;
        sum = static_cast<uint16_t>((wide & 0xFFFF) + (wide >> 16));
    }
    return static_cast<uint16_t>(~sum);
}

std::vector<uint8_t> CRadioSimulator::RadioPacket(uint8_t type, uint8_t nodeId,
                                                  const std::vector<uint8_t>& payload)
{
    // 7E 03 00, type, to the tool's node 10, from the radio's node, 00 00, length, checksum.
    const size_t length = 12 + payload.size();
    std::vector<uint8_t> packet = {0x7E,
                                   0x03,
                                   0x00,
                                   type,
                                   0x10,
                                   nodeId,
                                   0x00,
                                   0x00,
                                   static_cast<uint8_t>(length / 256),
                                   static_cast<uint8_t>(length % 256),
                                   0x00,
                                   0x00};
    packet.insert(packet.end(), payload.begin(), payload.end());
    const uint16_t checksum = Checksum(packet);
    packet[10] = static_cast<uint8_t>(checksum / 256);
    packet[11] = static_cast<uint8_t>(checksum % 256);
    return packet;
}

std::vector<uint8_t> CRadioSimulator::ReplyMessage(uint8_t opcodeLow, uint8_t opcodeHigh,
                                                   uint8_t result)
{
    // 02, opcode (low byte first), one parameter, the result, check byte, 03. The check byte
    // is the complement of the 8-bit sum of opcode, length and parameter, plus 33.
    const unsigned sum = opcodeLow + opcodeHigh + 0x01 + 0x00 + result;
    const auto check = static_cast<uint8_t>((0xFF - (sum & 0xFF)) + 0x33);
    return {0x02, opcodeLow, opcodeHigh, 0x01, 0x00, result, check, 0x03};
}

void CRadioSimulator::Answer(const std::vector<uint8_t>& packet)
{
    if (packet.size() < 12 || packet[0] != 0x7E)
        return;
    const uint8_t node = m_options.nodeId;
    switch (packet[3])
    {
    case 0xFE: // connect request
        Trace("connect request");
        if (m_options.mode == Mode::Accept)
            Reply(RadioPacket(0xFD, node));
        else if (m_options.mode == Mode::Reject)
            Reply(RadioPacket(0xFC, node));
        return;
    case 0x00: // data: acknowledge, then answer the control message
    {
        if (m_options.mode == Mode::Silent)
            return;
        Reply(RadioPacket(0x10, node));
        if (packet.size() < 15 || packet[12] != 0x02)
            return;
        const uint8_t low = packet[13];
        const uint8_t high = packet[14];
        if (low == 0xC9 && high == 0x10)
        {
            Trace("link query");
            uint8_t result = 0;
            {
                std::lock_guard lock(m_mutex);
                const auto& results = m_options.queryResults;
                if (!results.empty())
                    result = results[std::min(m_queries, results.size() - 1)];
                ++m_queries;
            }
            Reply(RadioPacket(0x00, node, ReplyMessage(0xC9, 0x80, result)));
            if (result == 0 && !m_dataSent)
            {
                m_dataSent = true;
                for (const auto& payload : m_options.dataAfterLink)
                    Reply(RadioPacket(0x00, node, payload));
            }
        }
        else if (low == 0xCA && high == 0x00)
        {
            Trace("keep-alive");
            Reply(RadioPacket(0x00, node, ReplyMessage(0xCA, 0x80, 0x00)));
        }
        else if (low == 0xCB && high == 0x00)
        {
            Trace("end of link");
            Reply(RadioPacket(0x00, node, ReplyMessage(0xCB, 0x80, 0x00)));
        }
        return;
    }
    case 0xFB:
        Trace("close");
        return;
    default:
        return;
    }
}

std::vector<std::vector<uint8_t>> CRadioSimulator::Received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

int CRadioSimulator::CountStartingWith(const std::vector<uint8_t>& prefix) const
{
    std::lock_guard lock(m_mutex);
    int count = 0;
    for (const auto& packet : m_received)
        count += packet.size() >= prefix.size() &&
                         std::equal(prefix.begin(), prefix.end(), packet.begin())
                     ? 1
                     : 0;
    return count;
}

int CRadioSimulator::CountMessages(uint8_t opcodeLow, uint8_t opcodeHigh) const
{
    std::lock_guard lock(m_mutex);
    int count = 0;
    for (const auto& packet : m_received)
        count += packet.size() >= 15 && packet[3] == 0x00 && packet[12] == 0x02 &&
                         packet[13] == opcodeLow && packet[14] == opcodeHigh
                     ? 1
                     : 0;
    return count;
}
