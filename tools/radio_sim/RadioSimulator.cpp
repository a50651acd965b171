#include "RadioSimulator.h"

#include "network/QrnpPacket.h"

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

void CRadioSimulator::Answer(const std::vector<uint8_t>& packet)
{
    if (packet.size() < qrnp::kHeaderSize)
        return;
    const uint8_t type = packet[3];
    const uint8_t node = m_options.nodeId;
    const auto trace = [this](const char* what)
    {
        if (m_trace)
        {
            std::printf("radio: %s\n", what);
            std::fflush(stdout);
        }
    };
    switch (type)
    {
    case qrnp::kConnectRequest:
        trace("connect request");
        if (m_options.mode == Mode::Accept)
            Reply(qrnp::Packet(qrnp::kAccept, qrnp::kToolNodeId, node));
        else if (m_options.mode == Mode::Reject)
            Reply(qrnp::Packet(qrnp::kReject, qrnp::kToolNodeId, node));
        return;
    case qrnp::kData:
    {
        Reply(qrnp::Packet(qrnp::kAcknowledgement, qrnp::kToolNodeId, node));
        uint16_t opcode = 0;
        if (!qrnp::ReadOpcode(packet.data(), packet.size(), opcode))
            return;
        if (opcode == qrnp::kLinkQuery)
        {
            trace("link query");
            Reply(qrnp::Packet(qrnp::kData, qrnp::kToolNodeId, node,
                               qrnp::ControlMessage(qrnp::kLinkQuery | qrnp::kReplyBit,
                                                    {m_options.queryResult, 0x00})));
            if (!m_dataSent)
            {
                m_dataSent = true;
                for (const auto& payload : m_options.dataAfterLink)
                    Reply(qrnp::Packet(qrnp::kData, qrnp::kToolNodeId, node, payload));
            }
        }
        else if (opcode == qrnp::kKeepAlive || opcode == qrnp::kEndOfLink)
        {
            trace(opcode == qrnp::kKeepAlive ? "keep-alive" : "end of link");
            Reply(qrnp::Packet(qrnp::kData, qrnp::kToolNodeId, node,
                               qrnp::ControlMessage(opcode | qrnp::kReplyBit, {0x00})));
        }
        return;
    }
    case qrnp::kClose:
        trace("close");
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

int CRadioSimulator::CountType(uint8_t type) const
{
    std::lock_guard lock(m_mutex);
    int count = 0;
    for (const auto& packet : m_received)
        count += packet.size() >= qrnp::kHeaderSize && packet[3] == type ? 1 : 0;
    return count;
}

int CRadioSimulator::CountOpcode(uint16_t opcode) const
{
    std::lock_guard lock(m_mutex);
    int count = 0;
    for (const auto& packet : m_received)
    {
        uint16_t found = 0;
        count += packet.size() >= qrnp::kHeaderSize && packet[3] == qrnp::kData &&
                         qrnp::ReadOpcode(packet.data(), packet.size(), found) && found == opcode
                     ? 1
                     : 0;
    }
    return count;
}
