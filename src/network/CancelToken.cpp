#include "network/CancelToken.h"

void CCancelToken::Cancel()
{
    std::lock_guard lock(m_mutex);
    if (m_isCancelled)
        return;
    m_isCancelled = true;
    m_cancelled.notify_all();
    // Under the lock: a hook that is being removed waits until its call has returned.
    if (m_hook)
        m_hook();
}

bool CCancelToken::IsCancelled() const
{
    std::lock_guard lock(m_mutex);
    return m_isCancelled;
}

bool CCancelToken::WaitFor(std::chrono::milliseconds duration) const
{
    std::unique_lock lock(m_mutex);
    return m_cancelled.wait_for(lock, duration, [this] { return m_isCancelled; });
}

CCancelToken::CHook::CHook(CCancelToken& token, std::function<void()> onCancel) : m_token(token)
{
    std::lock_guard lock(m_token.m_mutex);
    if (m_token.m_isCancelled)
        onCancel();
    else
        m_token.m_hook = std::move(onCancel);
}

CCancelToken::CHook::~CHook()
{
    std::lock_guard lock(m_token.m_mutex);
    m_token.m_hook = nullptr;
}
