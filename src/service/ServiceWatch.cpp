#include "service/ServiceWatch.h"

#include "events/Events.h"
#include "events/ListenerBase.h"
#include "platform/WakeFd.h"
#include "service/ServiceStateCheck.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <poll.h>
#include <time.h>

namespace
{

enum Request
{
    kStart,
    kStop,
    kRestart,
};

// Between a looked-for unit that is missing or cannot be asked and the next look.
constexpr auto kRetry = std::chrono::seconds(1);
// No state reported yet.
constexpr uint32_t kNothingYet = 0xFFFFFFFE;

uint64_t MonotonicUsec()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1'000'000 +
           static_cast<uint64_t>(now.tv_nsec) / 1000;
}

} // namespace

// What the watch and its thread share. The thread keeps it alive, so that a thread left to end
// on its own after the watch has gone touches nothing that is gone.
struct CServiceWatch::CShared
{
    std::mutex mutex;
    std::condition_variable finished;
    std::deque<int> requests;
    bool stopping = false;
    bool done = false;
    rz::CWakeFd wake;
    // Deliveries go through the watch while it exists; the lock keeps it from going mid-way.
    std::mutex deliver;
    CServiceWatch* owner = nullptr;
    // The state reported last, for a listener that comes after it (under deliver).
    uint32_t last = kNothingYet;

    void Report(uint32_t state)
    {
        std::lock_guard lock(deliver);
        last = state;
        if (owner == nullptr)
            return;
        ServiceStateCheckEvent event(state);
        owner->Notify(&event);
    }
};

namespace
{

void Watch(const std::shared_ptr<CServiceWatch::CShared>& shared, const std::wstring& name,
           std::chrono::milliseconds safetyPoll)
{
    ServiceStateCheck check(name);
    uint32_t reported = kNothingYet;
    bool subscribed = false;
    auto nextRead = std::chrono::steady_clock::now();
    const auto report = [&](uint32_t state, bool always)
    {
        if (always || state != reported)
            shared->Report(state);
        reported = state;
    };
    for (;;)
    {
        shared->wake.Clear();
        std::deque<int> requests;
        {
            std::lock_guard lock(shared->mutex);
            if (shared->stopping)
                break;
            requests.swap(shared->requests);
        }
        for (const int request : requests)
        {
            if (request == kStart)
                check.Start(name);
            else if (request == kStop)
                check.Stop(name);
            else
                check.Restart(name);
        }
        const bool changed = check.ProcessBus();
        const auto now = std::chrono::steady_clock::now();
        if (changed || now >= nextRead || !requests.empty())
        {
            uint32_t state = 0;
            const auto reading = check.Read(state);
            if (reading == ServiceStateCheck::Reading::Found)
            {
                subscribed = subscribed || check.SubscribeChanges();
                report(state, !requests.empty());
            }
            else
            {
                subscribed = false;
                report(reading == ServiceStateCheck::Reading::NotInstalled
                           ? CServiceWatch::kNotInstalled
                           : CServiceWatch::kUnknown,
                       !requests.empty());
            }
            // With the change signals coming, the next read is only the safety net.
            nextRead =
                std::chrono::steady_clock::now() +
                (subscribed ? safetyPoll : std::min<std::chrono::milliseconds>(safetyPoll, kRetry));
        }

        // Sleeps until the bus has something, a request or the end comes, or the next read
        // is due: nothing else wakes the thread.
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
            nextRead - std::chrono::steady_clock::now());
        if (const uint64_t busTimeout = check.BusTimeoutUsec(); busTimeout != UINT64_MAX)
        {
            const uint64_t now = MonotonicUsec();
            const auto busWait =
                std::chrono::milliseconds(busTimeout > now ? (busTimeout - now + 999) / 1000 : 0);
            wait = std::min(wait, busWait);
        }
        pollfd fds[2] = {{shared->wake.Fd(), POLLIN, 0}, {check.BusFd(), check.BusEvents(), 0}};
        ::poll(fds, check.BusFd() >= 0 ? 2 : 1,
               static_cast<int>(std::max<std::chrono::milliseconds::rep>(wait.count(), 0)));
    }
    std::lock_guard lock(shared->mutex);
    shared->done = true;
    shared->finished.notify_all();
}

} // namespace

CServiceWatch::CServiceWatch(std::wstring serviceName, std::chrono::milliseconds safetyPoll)
    : m_name(std::move(serviceName)), m_shared(std::make_shared<CShared>())
{
    m_shared->owner = this;
    m_thread = std::thread([shared = m_shared, name = m_name, safetyPoll]
                           { Watch(shared, name, safetyPoll); });
}

CServiceWatch::~CServiceWatch()
{
    {
        std::lock_guard lock(m_shared->deliver);
        m_shared->owner = nullptr;
    }
    std::unique_lock lock(m_shared->mutex);
    m_shared->stopping = true;
    m_shared->wake.Wake();
    // A thread that waits for the manager is not waited for: it ends when its call does.
    if (m_shared->finished.wait_for(lock, std::chrono::milliseconds(200),
                                    [this] { return m_shared->done; }))
    {
        lock.unlock();
        m_thread.join();
    }
    else
    {
        lock.unlock();
        m_thread.detach();
    }
}

bool CServiceWatch::AddListener(CListenerBase* listener, uint32_t type)
{
    // Under the delivery lock: a report either reaches the new listener as it is made or
    // came before, and is then handed over here; never both, never neither.
    std::lock_guard lock(m_shared->deliver);
    if (!CNotifierBase::AddListener(listener, type))
        return false;
    if (type == kServiceStateCheckEvent && m_shared->last != kNothingYet)
    {
        ServiceStateCheckEvent event(m_shared->last);
        listener->OnEvent(&event);
    }
    return true;
}

void CServiceWatch::Queue(int request)
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->requests.push_back(request);
    }
    m_shared->wake.Wake();
}

void CServiceWatch::Start()
{
    Queue(kStart);
}

void CServiceWatch::Stop()
{
    Queue(kStop);
}

void CServiceWatch::Restart()
{
    Queue(kRestart);
}
