#include "config/Thread.h"

#include <system_error>

namespace RUROR
{

Thread::~Thread()
{
    join();
}

bool Thread::start(IRunable* runnable)
{
    if (runnable == nullptr || m_thread.joinable())
        return false;
    try
    {
        m_thread = std::thread([runnable] { runnable->Run(); });
    }
    catch (const std::system_error&)
    {
        return false;
    }
    return true;
}

void Thread::join()
{
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

} // namespace RUROR
