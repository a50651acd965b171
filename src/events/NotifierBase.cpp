#include "events/NotifierBase.h"

#include "events/EventBase.h"
#include "events/ListenerBase.h"
#include "platform/DebugOutput.h"

CNotifierBase::~CNotifierBase()
{
    rz::OutputDebugString("Delete CNotifierBase\r\n");
    auto lock = LockForChange();
    m_listeners.clear();
    --m_changing;
}

std::unique_lock<std::mutex> CNotifierBase::LockForChange()
{
    std::unique_lock lock(m_mutex);
    ++m_changing;
    // Blocks instead of spinning; waking needs the lock, so no delivery can begin between.
    m_idle.wait(lock, [this] { return m_busy == 0; });
    return lock;
}

bool CNotifierBase::AddListener(CListenerBase* listener, uint32_t type)
{
    if (listener == nullptr)
        return false;
    auto lock = LockForChange();
    m_listeners[type].insert(listener);
    --m_changing;
    m_idle.notify_all();
    return true;
}

void CNotifierBase::RemoveListener(CListenerBase* listener, uint32_t type)
{
    if (listener == nullptr)
        return;
    auto lock = LockForChange();
    if (const auto it = m_listeners.find(type); it != m_listeners.end())
    {
        it->second.erase(listener);
        if (it->second.empty())
            m_listeners.erase(it);
    }
    --m_changing;
    m_idle.notify_all();
}

void CNotifierBase::Notify(CEventBase* event)
{
    if (event == nullptr)
        return;
    const std::set<CListenerBase*>* listeners = nullptr;
    {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return m_changing == 0; });
        ++m_busy;
        const auto it = m_listeners.find(event->GetType());
        if (it != m_listeners.end())
            listeners = &it->second;
    }
    // The table cannot change while m_busy is above zero, so the set stays valid unlocked.
    if (listeners != nullptr)
    {
        for (CListenerBase* listener : *listeners)
            listener->OnEvent(event);
    }
    {
        std::lock_guard lock(m_mutex);
        --m_busy;
    }
    m_idle.notify_all();
}

bool CNotifierBase::HasListeners(uint32_t type) const
{
    std::lock_guard lock(m_mutex);
    return m_listeners.count(type) != 0;
}
