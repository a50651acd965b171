#include "NetnsLink.h"

#include "network/MobileChannelDetector.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace rztest
{

int BoundSocket(const std::string& ns, const char* address, uint16_t port)
{
    return InNamespace(ns,
                       [&]
                       {
                           const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
                           sockaddr_in local{};
                           local.sin_family = AF_INET;
                           local.sin_addr.s_addr = ::inet_addr(address);
                           local.sin_port = htons(port);
                           if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
                           {
                               ::close(fd);
                               return -1;
                           }
                           return fd;
                       });
}

void SendTo(int fd, const Bytes& bytes, const char* address, uint16_t port)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = ::inet_addr(address);
    to.sin_port = htons(port);
    ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

std::optional<Bytes> ReceiveFrom(int fd, std::chrono::milliseconds within)
{
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, static_cast<int>(within.count())) <= 0)
        return std::nullopt;
    Bytes buffer(65536); // the largest datagram
    const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
    if (n < 0)
        return std::nullopt;
    buffer.resize(static_cast<size_t>(n));
    return buffer;
}

CNetnsLink::CNetnsLink()
{
    // Named after the process: test programs that run at the same time do not meet.
    const std::string id = std::to_string(::getpid());
    m_tool = "rzn" + id + "a";
    m_radio = "rzn" + id + "b";
    m_toolEnd = "rzv" + id + "a";
    m_radioEnd = "rzv" + id + "b";
}

CNetnsLink::~CNetnsLink()
{
    if (m_made)
    {
        Ip({"netns", "del", m_tool});
        Ip({"netns", "del", m_radio});
    }
}

int CNetnsLink::Ip(std::vector<std::string> args)
{
    args.insert(args.begin(), IpCommand());
    return RunProgram(args);
}

bool CNetnsLink::Make()
{
    if (::geteuid() != 0 || Ip({"netns", "add", m_tool}) != 0)
        return false;
    m_made = true;
    Link();
    return true;
}

void CNetnsLink::Link()
{
    ASSERT_EQ(Ip({"netns", "add", m_radio}), 0);
    ASSERT_EQ(Ip({"-n", m_tool, "link", "add", m_toolEnd, "type", "veth", "peer", "name",
                  m_radioEnd, "netns", m_radio}),
              0);
    ASSERT_EQ(Ip({"-n", m_tool, "link", "set", m_toolEnd, "address", "00:11:0a:00:00:65"}), 0);
    ASSERT_EQ(Ip({"-n", m_tool, "addr", "add", "192.168.10.2/24", "dev", m_toolEnd}), 0);
    ASSERT_EQ(Ip({"-n", m_tool, "link", "set", m_toolEnd, "up"}), 0);
    ASSERT_EQ(Ip({"-n", m_tool, "link", "set", "lo", "up"}), 0);
    ASSERT_EQ(Ip({"-n", m_radio, "addr", "add", "192.168.10.1/24", "dev", m_radioEnd}), 0);
    ASSERT_EQ(Ip({"-n", m_radio, "addr", "add", "192.168.10.3/24", "dev", m_radioEnd}), 0);
    ASSERT_EQ(Ip({"-n", m_radio, "addr", "add", "10.0.0.100/32", "dev", "lo"}), 0);
    ASSERT_EQ(Ip({"-n", m_radio, "link", "set", m_radioEnd, "up"}), 0);
    ASSERT_EQ(Ip({"-n", m_radio, "link", "set", "lo", "up"}), 0);
}

} // namespace rztest
