#pragma once

#include "events/NotifierBase.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One network adapter as the detector sees it.
struct CAdapter
{
    std::string name;
    uint32_t address = 0; // its first IPv4 address, network byte order; 0 when it has none
    std::array<uint8_t, 6> hardware{};
    bool hasHardware = false;
};

// Finds the network adapter through which a dispatch station's radio is attached, derives
// the radio's address from the adapter's hardware address, and points the route to the
// radio network at it. It also lists the adapters' addresses as an IPFoundEvent (type 1029).
class MobileChannelDetector : public CNotifierBase
{
public:
    // The radio's address (host byte order) for a local address (network byte order): bytes
    // 2 to 5 of the hardware address of the first adapter carrying it, as a big-endian number,
    // minus 1. 0 when no adapter carries it or the adapters cannot be read.
    uint32_t FindRemoteAddress(uint32_t localAddress);
    // Sends one IPFoundEvent with every adapter address (each once, never 0.0.0.0); none when
    // the system has no adapter. False when the adapters cannot be read.
    bool EnumerateAdapters();
    // Replaces the route to the radio network subnetId.0.0.0/8 by one via the radio end of the
    // station's link (the station address with its last octet minus one). The delete is
    // finished before the add starts.
    void AddRoute(uint8_t subnetId, uint32_t stationAddress);

    // The machine's adapters in interface order (getifaddrs), or nothing when unreadable.
    static std::optional<std::vector<CAdapter>> ReadAdapters();
    // The radio address that a hardware address gives (host byte order).
    static uint32_t RemoteFromHardware(const std::array<uint8_t, 6>& hardware);
    // Dotted text of an address in network byte order.
    static std::string Dotted(uint32_t networkAddress);
};

// Runs a program with an argument vector (never through a shell) and waits for it; returns its
// exit status, or -1 when it could not be started.
int RunProgram(const std::vector<std::string>& argv);

// The path of iproute2's ip.
std::string IpCommand();
