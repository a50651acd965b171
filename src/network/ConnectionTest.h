#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

class CCancelToken;
class CListenerBase;
class MobileChannelDetector;

// The dispatch-station connection test: finds the adapter that carries the station's IP,
// derives the radio's address from its hardware address, points the route to the radio
// network at it, and tries up to six times to open and verify a QRNP link on port 3005. The
// page and the command line both run it; each step is reported as it happens.
namespace connection_test
{

// The messages that end a test (text IDs).
inline constexpr int kValueRequired = 10022;
inline constexpr int kStationNotFound = 10032;
inline constexpr int kAddressInUse = 10028;
inline constexpr int kPortNotOpened = 10023;
inline constexpr int kConnectFailed = 10012;
inline constexpr int kConnected = 10024;
// No message: the test was cancelled.
inline constexpr int kCancelled = 0;

struct CStep
{
    enum Kind
    {
        RemoteFound, // remote and subnet are set (remote 0: no adapter)
        RouteSet,
        PortOpened, // openResult is set (0 on success)
        Attempt,    // attempt is set, before the attempt
        Finished,   // messageId is set
    };
    Kind kind;
    uint32_t remote = 0; // host byte order
    int subnet = 0;
    int openResult = 0;
    int attempt = 0;
    int messageId = 0;
    int attempts = 0; // Attempt: how many attempts the test makes in all
};

struct COptions
{
    int attempts = 6;
    std::chrono::milliseconds pause{100};
    uint16_t port = 3005;
    int answerWaitMs = 1000;
    int queryWaitMs = 10000;
};

// The page runs a test only for a station whose alias, pseudo ID and IP are all filled in:
// kValueRequired when one is empty, else 0.
int CheckStationValues(const std::wstring& alias, const std::wstring& pseudoId,
                       const std::wstring& ip);

// Runs the test for the station IP; listener (may be null) hears the radio's data during it.
// Returns the text ID of the final message. A cancel (may be null) from another thread ends
// the test at once wherever it is, an attempt's waits included: the socket, when there is one,
// still says end-of-link and close, and the result is kCancelled.
int Run(const std::wstring& ip, MobileChannelDetector& detector, CListenerBase* listener,
        const std::function<void(const CStep&)>& report, const COptions& options = {},
        CCancelToken* cancel = nullptr);

// What a step means to the person watching the test (the window's progress and the command
// line say the same); empty for a step that says nothing. ip: the station IP being tested.
std::string StepText(const CStep& step, const std::string& ip, uint16_t port = 3005);

} // namespace connection_test
