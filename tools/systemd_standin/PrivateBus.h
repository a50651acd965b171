#pragma once

#include <string>
#include <sys/types.h>

// A D-Bus daemon of our own, listening on a socket in a fresh folder, for tests, benchmarks
// and demos that must not touch the machine's buses. It ends with the object, and also when
// the process that started it ends in any way (a crash, a kill, a test timeout).
class CPrivateBus
{
public:
    CPrivateBus();
    ~CPrivateBus();
    CPrivateBus(const CPrivateBus&) = delete;
    CPrivateBus& operator=(const CPrivateBus&) = delete;

    // Starts dbus-daemon; false (with Error() saying why) when it cannot.
    bool Start();
    // The address clients connect to, e.g. unix:path=/tmp/rzbus.XXXX/bus.
    const std::string& Address() const { return m_address; }
    const std::string& Error() const { return m_error; }

private:
    std::string m_folder;
    std::string m_address;
    std::string m_error;
    pid_t m_watcher = -1; // our child; the daemon is its child
    int m_lifeline = -1;  // its closing (by us or by the kernel) ends the daemon
};
