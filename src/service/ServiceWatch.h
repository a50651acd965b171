#pragma once

#include "events/NotifierBase.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

// Watches the gateway service for the window, on a thread of its own, so that the window never
// waits for the service manager: a manager that hangs costs the window nothing, and a state
// that cannot be read is reported as unknown.
//
// The watch follows the unit by the manager's change signals and reads the state again only
// when one arrives, after each request and, as a safety net, every safetyPoll; nothing wakes
// in between. It sends a ServiceStateCheckEvent (type 1124) to its listeners, on its own
// thread, whenever the state it reports changes and after every request:
//   - a state 1 to 7 as ServiceStateCheck reports them;
//   - kNotInstalled when no unit matches the name;
//   - kUnknown when the bus or the manager does not answer.
// A listener added after the first report gets the state reported last at once, as the
// watch's thread may report before anyone listens. Start, Stop and Restart are queued and
// carried out in order; they return at once.
class CServiceWatch : public CNotifierBase
{
public:
    static constexpr uint32_t kNotInstalled = 0;
    static constexpr uint32_t kUnknown = 0xFFFFFFFF;

    explicit CServiceWatch(std::wstring serviceName,
                           std::chrono::milliseconds safetyPoll = std::chrono::seconds(5));
    // Unregister the listeners first. The thread is asked to stop; a request that waits for
    // the manager (an authorisation can take minutes) is left to end on its own.
    ~CServiceWatch() override;
    CServiceWatch(const CServiceWatch&) = delete;
    CServiceWatch& operator=(const CServiceWatch&) = delete;

    // Adds a listener; one for the state gets the state reported last at once, if any.
    bool AddListener(CListenerBase* listener, uint32_t type) override;

    void Start();
    void Stop();
    void Restart();

    const std::wstring& ServiceName() const { return m_name; }

    // What the watch shares with its thread.
    struct CShared;

private:
    void Queue(int request);

    std::wstring m_name;
    std::shared_ptr<CShared> m_shared;
    std::thread m_thread;
};
