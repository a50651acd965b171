#pragma once

#include <mutex>

namespace RUROR
{

// A mutex; also usable with std::unique_lock and std::condition_variable_any.
class CLock
{
public:
    void lock() { m_mutex.lock(); }
    void unlock() { m_mutex.unlock(); }
    bool try_lock() { return m_mutex.try_lock(); }

private:
    std::mutex m_mutex;
};

// Holds a CLock for its scope.
class AutoLock
{
public:
    explicit AutoLock(CLock& lock) : m_lock(lock) { m_lock.lock(); }
    ~AutoLock() { m_lock.unlock(); }
    AutoLock(const AutoLock&) = delete;
    AutoLock& operator=(const AutoLock&) = delete;

private:
    CLock& m_lock;
};

} // namespace RUROR
