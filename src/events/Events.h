#pragma once

#include "events/EventBase.h"

#include <cstdint>
#include <map>
#include <string>

// Event type numbers.
inline constexpr uint32_t kSocketDataReceivedEvent = 1026;
inline constexpr uint32_t kIPFoundEvent = 1029;
inline constexpr uint32_t kServiceStateCheckEvent = 1124;

// A datagram arrived at a socket. The bytes belong to the delivery: a listener that needs
// them afterwards copies them.
class SocketDataReceivedEvent : public CEventBase
{
public:
    SocketDataReceivedEvent(const uint8_t* bytes, uint32_t size, uint32_t address, uint16_t port)
        : CEventBase(kSocketDataReceivedEvent), data(bytes), length(size), senderAddress(address),
          senderPort(port)
    {
    }

    const uint8_t* data;
    uint32_t length;
    uint32_t senderAddress; // IPv4, host byte order
    uint16_t senderPort;    // host byte order
};

// One address found on this computer's adapters.
struct IPFoundEntry
{
    std::string text;     // dotted
    uint32_t address = 0; // IPv4, network byte order
};

// The addresses of this computer's adapters, keyed and ordered by their dotted text.
class IPFoundEvent : public CEventBase
{
public:
    IPFoundEvent() : CEventBase(kIPFoundEvent) {}

    std::map<std::string, IPFoundEntry> addresses;
};

// The gateway service's state: 1 stopped, 2 starting, 3 stopping, 4 running, 5 continuing,
// 6 pausing, 7 paused.
class ServiceStateCheckEvent : public CEventBase
{
public:
    explicit ServiceStateCheckEvent(uint32_t serviceState)
        : CEventBase(kServiceStateCheckEvent), state(serviceState)
    {
    }

    uint32_t state;
};
