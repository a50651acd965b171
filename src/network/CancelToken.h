#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

// Lets one thread end the waits of a job that runs on another (the connection test and the
// socket it waits on): the job looks at the token between its steps, sleeps on it instead of
// sleeping plainly, and hooks the waits it cannot make on the token (a socket's wait for an
// answer) to it while they may run. Cancelling cannot be undone.
class CCancelToken
{
public:
    CCancelToken() = default;
    CCancelToken(const CCancelToken&) = delete;
    CCancelToken& operator=(const CCancelToken&) = delete;

    // Cancels: wakes WaitFor at once and calls the hooks that live now, on this thread.
    void Cancel();
    bool IsCancelled() const;
    // Waits for the duration or until cancelled; true when cancelled.
    bool WaitFor(std::chrono::milliseconds duration) const;

    // While a hook lives, a Cancel calls its function; when the token is already cancelled the
    // function is called at once by the constructor. Once the destructor has returned the
    // function is no longer called (a Cancel that runs it meanwhile is waited for), so it may
    // reach objects that go right after the hook.
    class CHook
    {
    public:
        CHook(CCancelToken& token, std::function<void()> onCancel);
        ~CHook();
        CHook(const CHook&) = delete;
        CHook& operator=(const CHook&) = delete;

    private:
        CCancelToken& m_token;
    };

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cancelled;
    bool m_isCancelled = false;
    // One hook at a time: the job hooks the one wait it is in.
    std::function<void()> m_hook;
};
