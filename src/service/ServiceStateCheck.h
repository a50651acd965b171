#pragma once

#include "events/NotifierBase.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

struct sd_bus;
struct sd_bus_slot;

// Finds the gateway service among systemd's units, starts and stops it, and reports its
// state to listeners as ServiceStateCheckEvent (type 1124). It talks to systemd over D-Bus:
// the system bus, or the user's bus when RAVIRAZAZU_SERVICE_BUS=user. The configured name
// matches a unit's name or its description (the display name) without regard to case. The
// unit is found once and then only its state is read, so a poll costs one or two small calls.
// Everything runs on the caller's thread; nothing waits for a state to be reached.
// The gateway service's name as MXRServiceDog.ini in the tool's folder gives it (section
// Settings, key ServiceName, at most 256 characters), "Quorix MXR Gateway" when absent. An
// empty name switches the watch off.
std::wstring ConfiguredServiceName(const std::string& toolDir);

class ServiceStateCheck : public CNotifierBase
{
public:
    // States as the main window knows them.
    enum State : uint32_t
    {
        kStopped = 1,
        kStarting = 2,
        kStopping = 3,
        kRunning = 4,
        kReloading = 5,
        kPaused = 7,
    };

    // What the command line shows of the service.
    struct Details
    {
        std::string unit;          // the unit's name, e.g. gateway.service
        std::string description;   // its display name
        std::string activeState;   // systemd's word for its state
        std::string unitFileState; // enabled, disabled, static, ...
        uint32_t state = 0;        // the number above
    };

    explicit ServiceStateCheck(std::wstring serviceName);
    ~ServiceStateCheck() override;

    // Reads the service's state and sends one event with it to the listeners. No event when
    // the service is not found. False only for an empty name.
    bool Poll();
    // Whether a unit matches the name; false for an empty name or no reachable bus.
    bool IsInstalled(const std::wstring& name);
    // Starts the service when it is stopped or paused (enabling it first); reports 4 at once
    // when it already runs. A unit that is stopping, or that still runs right after this
    // watcher asked for its stop, is restarted: it runs again in the end. False when systemd
    // refused or a call failed.
    bool Start(const std::wstring& name);
    // Stops the service when it runs (enabling it first: a stop never disables it); reports
    // the state at once when it is already down. False when systemd refused or a call failed.
    bool Stop(const std::wstring& name);
    // Restarts the service as one systemd job, or starts it when it is not running.
    bool Restart(const std::wstring& name);

    std::optional<Details> Describe(const std::wstring& name);

    // For a watch on a thread of its own (CServiceWatch). What reading the state found: the
    // unit and its state, no such unit, or no answer (the bus or the manager does not
    // respond): those are told apart so that a hanging manager is not taken for a missing
    // service.
    enum class Reading
    {
        Found,
        NotInstalled,
        Unreadable,
    };
    // Looks the unit up when needed and reads its state, without an event.
    Reading Read(uint32_t& state);
    // Asks the manager to send the found unit's change signals (PropertiesChanged of its
    // object) and listens for them; true when they will come.
    bool SubscribeChanges();
    // What to wait for on the bus: its descriptor (-1 while there is no connection), the
    // events and the time-out, in microseconds, that sd-bus wants (UINT64_MAX: none).
    int BusFd() const;
    short BusEvents() const;
    uint64_t BusTimeoutUsec() const;
    // Handles what arrived on the bus; true when a change signal of the unit was among it.
    bool ProcessBus();
    const std::wstring& ServiceName() const { return m_name; }
    // The last failure in words, for the log and the command line.
    const std::string& LastError() const { return m_lastError; }

    // The state number of a systemd ActiveState (and FreezerState for active units).
    static uint32_t StateFromSystemd(const std::string& activeState,
                                     const std::string& freezerState);
    static const char* StateName(uint32_t state);

private:
    sd_bus* Bus();
    // The unit's object path, found once per name; empty when there is none.
    std::string Resolve(const std::wstring& name);
    // Reads the cached unit's state; false (and the cache forgotten) when it has gone.
    bool ReadState(uint32_t& state);
    // 0, or the negative errno of the failed read (a time-out among them).
    int ReadProperty(const std::string& property, std::string& value);
    // Notes a failed call: a manager that does not answer is not a missing unit.
    void NoteFailure(int result);
    friend struct CChangeSignal;
    bool EnsureEnabled();
    bool CallUnitMethod(const char* method);
    void Fail(const std::string& what, int error, const char* detail);

    std::wstring m_name;
    sd_bus* m_bus = nullptr;
    std::string m_unitPath;
    std::string m_unitId;
    std::wstring m_resolvedFor;
    // While the service is missing, it is looked for again at most this often.
    std::chrono::steady_clock::time_point m_nextLookup{};
    bool m_stopRequested = false;
    std::string m_lastError;
    // Set when a call found the bus or the manager not answering.
    bool m_unreachable = false;
    sd_bus_slot* m_changeSlot = nullptr;
    std::string m_subscribedPath;
    bool m_changed = false;
};
