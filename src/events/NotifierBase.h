#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>

class CEventBase;
class CListenerBase;

// Delivers events, synchronously and on the raising thread, to the listeners registered for
// their type. Several threads may notify at once; a change of the listener table waits until
// no delivery runs, and no delivery starts while a change waits. A listener must not change
// the registrations of the notifier that is delivering to it.
class CNotifierBase
{
public:
    CNotifierBase() = default;
    virtual ~CNotifierBase();
    CNotifierBase(const CNotifierBase&) = delete;
    CNotifierBase& operator=(const CNotifierBase&) = delete;

    // Takes a listener out of the set of a type; the set goes when it becomes empty.
    virtual void RemoveListener(CListenerBase* listener, uint32_t type);
    // Adds a listener for a type (again changes nothing). False for a null listener.
    virtual bool AddListener(CListenerBase* listener, uint32_t type);
    // Calls OnEvent of every listener of the event's type.
    virtual void Notify(CEventBase* event);

    // Whether any listener is registered for a type.
    bool HasListeners(uint32_t type) const;

private:
    // Holds the lock until no delivery runs, keeping new deliveries out meanwhile.
    std::unique_lock<std::mutex> LockForChange();

    mutable std::mutex m_mutex;
    std::condition_variable m_idle;
    int m_busy = 0;     // deliveries in progress
    int m_changing = 0; // table changes waiting or in progress
    std::map<uint32_t, std::set<CListenerBase*>> m_listeners;
};
