#pragma once

#include "TestSupport.h"

#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <optional>
#include <sched.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace rztest
{

// Runs work on a thread of its own that has entered a named network namespace: sockets it
// makes, adapters it reads and programs it starts belong to that namespace.
template <typename Work> auto InNamespace(const std::string& name, Work work)
{
    decltype(work()) result{};
    std::thread thread(
        [&]
        {
            const int ns = ::open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
            if (ns < 0)
                return;
            const bool entered = ::setns(ns, CLONE_NEWNET) == 0;
            ::close(ns);
            if (entered)
                result = work();
        });
    thread.join();
    return result;
}

// A UDP socket bound in a namespace, to play a host with; -1 when it cannot be bound.
int BoundSocket(const std::string& ns, const char* address, uint16_t port);
void SendTo(int fd, const Bytes& bytes, const char* address, uint16_t port);
// The next datagram a socket receives, or nothing within the time.
std::optional<Bytes> ReceiveFrom(int fd, std::chrono::milliseconds within);

// Two network namespaces joined by a veth pair, removed again with the object: the tool's,
// whose end is the adapter 192.168.10.2 with the hardware address 00-11-0A-00-00-65, and the
// radio's, whose end has 192.168.10.1 and 192.168.10.3 and whose loopback has 10.0.0.100.
class CNetnsLink
{
public:
    CNetnsLink();
    ~CNetnsLink();
    CNetnsLink(const CNetnsLink&) = delete;
    CNetnsLink& operator=(const CNetnsLink&) = delete;

    // Makes them; false when this machine cannot (not root, no iproute2), and the test is to
    // be skipped. A step that fails after the first fails the test.
    bool Make();

    const std::string& Tool() const { return m_tool; }
    const std::string& Radio() const { return m_radio; }
    const std::string& ToolEnd() const { return m_toolEnd; }
    const std::string& RadioEnd() const { return m_radioEnd; }
    // Runs ip with these arguments; its exit status.
    static int Ip(std::vector<std::string> args);

private:
    void Link();

    std::string m_tool;
    std::string m_radio;
    std::string m_toolEnd;
    std::string m_radioEnd;
    bool m_made = false;
};

} // namespace rztest
