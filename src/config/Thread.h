#pragma once

#include <thread>

namespace RUROR
{

// Work that a Thread runs.
class IRunable
{
public:
    virtual ~IRunable() = default;
    virtual void Run() = 0;
};

// A thread that runs one IRunable. The runnable must outlive the thread; join before
// destroying either.
class Thread
{
public:
    Thread() = default;
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Runs runnable->Run() on a new thread. False when a thread is still running or the
    // system cannot start one.
    bool start(IRunable* runnable);
    // Waits for the thread's end; returns at once when none was started.
    void join();
    bool running() const { return m_thread.joinable(); }

private:
    std::thread m_thread;
};

} // namespace RUROR
