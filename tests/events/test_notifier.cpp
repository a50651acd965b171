#include "events/Events.h"
#include "events/ListenerBase.h"
#include "events/NotifierBase.h"
#include "platform/DebugOutput.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

namespace
{

class CCountingListener : public CListenerBase
{
public:
    void OnEvent(CEventBase* event) override
    {
        ++calls;
        lastType = event->GetType();
    }
    std::atomic<int> calls{0};
    uint32_t lastType = 0;
};

// Holds its delivery until the test lets it go.
class CBlockingListener : public CListenerBase
{
public:
    void OnEvent(CEventBase*) override
    {
        entered.set_value();
        release.get_future().wait();
    }
    std::promise<void> entered;
    std::promise<void> release;
};

} // namespace

TEST(Notifier, RegistrationRules)
{
    CNotifierBase notifier;
    CCountingListener a;
    CCountingListener b;
    EXPECT_FALSE(notifier.AddListener(nullptr, kServiceStateCheckEvent));
    EXPECT_FALSE(notifier.HasListeners(kServiceStateCheckEvent));

    // Twice registered, once removed: gone; the type leaves the table with its last listener.
    ASSERT_TRUE(notifier.AddListener(&a, kServiceStateCheckEvent));
    ASSERT_TRUE(notifier.AddListener(&a, kServiceStateCheckEvent));
    ASSERT_TRUE(notifier.AddListener(&b, kIPFoundEvent));
    ServiceStateCheckEvent state(4);
    notifier.Notify(&state);
    EXPECT_EQ(a.calls, 1);
    EXPECT_EQ(a.lastType, kServiceStateCheckEvent);
    EXPECT_EQ(b.calls, 0);
    notifier.RemoveListener(&a, kServiceStateCheckEvent);
    EXPECT_FALSE(notifier.HasListeners(kServiceStateCheckEvent));
    notifier.Notify(&state);
    EXPECT_EQ(a.calls, 1);

    // Removing what was never registered, and null, leave the table as it was.
    notifier.RemoveListener(&a, kIPFoundEvent);
    notifier.RemoveListener(nullptr, kIPFoundEvent);
    EXPECT_TRUE(notifier.HasListeners(kIPFoundEvent));
    IPFoundEvent found;
    notifier.Notify(&found);
    notifier.Notify(nullptr);
    SocketDataReceivedEvent data(nullptr, 0, 0, 0); // a type nobody hears
    notifier.Notify(&data);
    EXPECT_EQ(b.calls, 1);
}

TEST(Notifier, EveryListenerOfATypeHearsItUntilItLeaves)
{
    CNotifierBase notifier;
    CCountingListener a;
    CCountingListener b;
    CCountingListener c;
    for (CCountingListener* listener : {&a, &b, &c})
        ASSERT_TRUE(notifier.AddListener(listener, kSocketDataReceivedEvent));
    SocketDataReceivedEvent data(nullptr, 0, 0, 0);
    notifier.Notify(&data);
    EXPECT_EQ(a.calls + b.calls + c.calls, 3);
    EXPECT_EQ(std::min({a.calls.load(), b.calls.load(), c.calls.load()}), 1);

    // One leaves; the others go on hearing the type.
    notifier.RemoveListener(&b, kSocketDataReceivedEvent);
    EXPECT_TRUE(notifier.HasListeners(kSocketDataReceivedEvent));
    notifier.Notify(&data);
    EXPECT_EQ(a.calls, 2);
    EXPECT_EQ(b.calls, 1);
    EXPECT_EQ(c.calls, 2);
}

TEST(Notifier, ATableChangeWaitsForADeliveryInProgress)
{
    CNotifierBase notifier;
    CBlockingListener blocking;
    CCountingListener other;
    ASSERT_TRUE(notifier.AddListener(&blocking, kSocketDataReceivedEvent));

    SocketDataReceivedEvent event(nullptr, 0, 0, 0);
    std::thread delivering([&] { notifier.Notify(&event); });
    blocking.entered.get_future().wait();

    auto change = std::async(std::launch::async, [&]
                             { return notifier.AddListener(&other, kSocketDataReceivedEvent); });
    // While the delivery runs the change cannot finish.
    EXPECT_EQ(change.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    blocking.release.set_value();
    EXPECT_TRUE(change.get());
    delivering.join();
    EXPECT_TRUE(notifier.HasListeners(kSocketDataReceivedEvent));
}

TEST(Notifier, AWaitingChangeKeepsNewDeliveriesOut)
{
    // While a delivery runs and a change waits for it, a new delivery waits behind the change:
    // a steady stream of deliveries cannot keep a listener from ever leaving.
    CNotifierBase notifier;
    CBlockingListener blocking;
    CCountingListener other;
    CCountingListener late;
    ASSERT_TRUE(notifier.AddListener(&blocking, kSocketDataReceivedEvent));
    ASSERT_TRUE(notifier.AddListener(&late, kIPFoundEvent));

    SocketDataReceivedEvent event(nullptr, 0, 0, 0);
    std::thread delivering([&] { notifier.Notify(&event); });
    blocking.entered.get_future().wait();
    std::promise<void> changing;
    auto change = std::async(std::launch::async,
                             [&]
                             {
                                 changing.set_value();
                                 return notifier.AddListener(&other, kServiceStateCheckEvent);
                             });
    changing.get_future().wait();
    // Time for the change to begin its wait; it cannot end before the delivery is released.
    EXPECT_EQ(change.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);

    IPFoundEvent found;
    auto second = std::async(std::launch::async, [&] { notifier.Notify(&found); });
    EXPECT_EQ(second.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    EXPECT_EQ(late.calls, 0);

    blocking.release.set_value();
    EXPECT_TRUE(change.get());
    second.get();
    delivering.join();
    EXPECT_EQ(late.calls, 1);
    EXPECT_TRUE(notifier.HasListeners(kServiceStateCheckEvent));
}

TEST(Notifier, SeveralThreadsDeliverAtOnce)
{
    // Each delivery stays inside OnEvent until all of them are inside at the same moment, or
    // until a wait runs out that only serialised deliveries ever reach. What counts is the
    // most deliveries seen inside at once.
    constexpr int kThreads = 4;
    class CMeetingListener : public CListenerBase
    {
    public:
        void OnEvent(CEventBase*) override
        {
            std::unique_lock lock(mutex);
            ++inside;
            mostInside = std::max(mostInside, inside);
            met.notify_all();
            // Once one has waited in vain, the others need not wait as well.
            if (!met.wait_for(lock, std::chrono::seconds(5),
                              [this] { return mostInside >= kThreads || waitedInVain; }))
            {
                waitedInVain = true;
                met.notify_all();
            }
            --inside;
        }
        std::mutex mutex;
        std::condition_variable met;
        int inside = 0;
        int mostInside = 0;
        bool waitedInVain = false;
    } listener;
    CNotifierBase notifier;
    ASSERT_TRUE(notifier.AddListener(&listener, kServiceStateCheckEvent));
    ServiceStateCheckEvent event(1);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&] { notifier.Notify(&event); });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(listener.mostInside, kThreads);
}

TEST(Notifier, DestructionIsReportedToTheDebugOutput)
{
    std::string captured;
    const auto previous = rz::SetDebugOutputSink([&](std::string_view text) { captured += text; });
    {
        CNotifierBase notifier;
    }
    rz::SetDebugOutputSink(previous);
    EXPECT_EQ(captured, "Delete CNotifierBase\r\n");
}
