#include "network/QDPSocket.h"

#include "events/Events.h"
#include "platform/DebugOutput.h"
#include "platform/SocketErrors.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace
{

constexpr size_t kReceiveBuffer = 4096;

} // namespace

CQDPSocket::CQDPSocket() = default;

CQDPSocket::~CQDPSocket()
{
    rz::OutputDebugString("Delete CQDPSocket\r\n");
    StopReceiving();
    if (m_socket >= 0)
        ::close(m_socket);
}

int CQDPSocket::Open(uint32_t localAddress, uint16_t localPort)
{
    m_localAddress = localAddress;
    m_localPort = localPort;
    if (m_socket < 0)
    {
        m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
        if (m_socket < 0)
            return rz::WsaErrorFromErrno(errno);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = localAddress;
    address.sin_port = htons(localPort);
    if (::bind(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return rz::WsaErrorFromErrno(errno); // the socket stays until the object goes

    if (m_stop && !m_receiver.joinable())
    {
        m_stop = false;
        try
        {
            m_receiver = std::thread([this] { ReceiveLoop(); });
        }
        catch (const std::system_error&)
        {
            m_stop = true; // no thread: nothing is received, nothing else happens
        }
    }
    return 0;
}

void CQDPSocket::StopReceiving()
{
    if (!m_receiver.joinable())
        return;
    m_stop = true;
    m_wake.Wake();
    if (m_receiver.get_id() != std::this_thread::get_id())
        m_receiver.join();
    else
        m_receiver.detach();
}

void CQDPSocket::ReceiveLoop()
{
    std::vector<uint8_t> buffer(kReceiveBuffer);
    // Blocks on the socket and on the wake-up descriptor: no polling, no sleep.
    pollfd fds[2] = {{m_socket, POLLIN, 0}, {m_wake.Fd(), POLLIN, 0}};
    while (!m_stop)
    {
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        if (m_stop)
            break;
        if ((fds[0].revents & POLLIN) == 0)
            continue;
        for (;;)
        {
            sockaddr_in sender{};
            socklen_t senderSize = sizeof sender;
            const ssize_t n = ::recvfrom(m_socket, buffer.data(), buffer.size(), 0,
                                         reinterpret_cast<sockaddr*>(&sender), &senderSize);
            if (n <= 0 || m_stop)
                break;
            OnReceive(buffer.data(), static_cast<size_t>(n), ntohl(sender.sin_addr.s_addr),
                      ntohs(sender.sin_port));
        }
    }
}

void CQDPSocket::OnReceive(const uint8_t* data, size_t length, uint32_t senderAddress,
                           uint16_t senderPort)
{
    // The event's bytes are a copy that lives for the delivery.
    const std::vector<uint8_t> copy(data, data + length);
    SocketDataReceivedEvent event(copy.data(), static_cast<uint32_t>(copy.size()), senderAddress,
                                  senderPort);
    Notify(&event);
}

size_t CQDPSocket::Send(const uint8_t* data, size_t length, uint32_t remoteAddress,
                        uint16_t remotePort)
{
    if (m_socket < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = remoteAddress;
    address.sin_port = htons(remotePort != 0 ? remotePort : m_localPort);
    const ssize_t sent = ::sendto(m_socket, data, length, MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return sent > 0 ? static_cast<size_t>(sent) : 0;
}
