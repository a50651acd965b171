// The token that ends the connection test from the window's thread.
#include "network/CancelToken.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

TEST(CancelToken, ACancelWakesAWaitAtOnceAndCannotBeUndone)
{
    CCancelToken token;
    EXPECT_FALSE(token.IsCancelled());
    EXPECT_FALSE(token.WaitFor(1ms));

    // The cancel comes while the wait is under way; the wait is far longer than any delay
    // of a busy machine, so only the cancel can end it within half of it.
    std::thread canceller(
        [&token]
        {
            std::this_thread::sleep_for(100ms);
            token.Cancel();
        });
    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(token.WaitFor(20s));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 10s);
    canceller.join();

    EXPECT_TRUE(token.IsCancelled());
    EXPECT_TRUE(token.WaitFor(0ms));
    token.Cancel();
    EXPECT_TRUE(token.IsCancelled());
}

TEST(CancelToken, AHookRunsOnceWhileItLivesAndAtOnceWhenItComesLate)
{
    // Gone before the cancel: not called.
    int gone = 0;
    CCancelToken first;
    {
        CCancelToken::CHook hook(first, [&gone] { ++gone; });
    }
    first.Cancel();
    EXPECT_EQ(gone, 0);

    // Alive: called by the first cancel only; an earlier hook that went is not.
    int earlier = 0;
    int alive = 0;
    CCancelToken second;
    {
        CCancelToken::CHook hook(second, [&earlier] { ++earlier; });
    }
    {
        CCancelToken::CHook hook(second, [&alive] { ++alive; });
        EXPECT_EQ(alive, 0);
        second.Cancel();
        EXPECT_EQ(alive, 1);
        second.Cancel();
        EXPECT_EQ(alive, 1);
    }
    EXPECT_EQ(earlier, 0);

    // Made after the cancel: called at once, by its constructor.
    int late = 0;
    CCancelToken::CHook hook(second, [&late] { ++late; });
    EXPECT_EQ(late, 1);
}

TEST(CancelToken, AHookThatGoesWaitsForItsCallToReturn)
{
    CCancelToken token;
    std::atomic<bool> entered = false;
    std::atomic<bool> returned = false;
    auto hook = std::make_unique<CCancelToken::CHook>(token,
                                                      [&]
                                                      {
                                                          entered = true;
                                                          std::this_thread::sleep_for(200ms);
                                                          returned = true;
                                                      });
    std::thread canceller([&token] { token.Cancel(); });
    while (!entered)
        std::this_thread::yield();
    hook.reset();
    // The function may reach what goes right after its hook: it has returned by now.
    EXPECT_TRUE(returned);
    canceller.join();
}
