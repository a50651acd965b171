#pragma once

#include "platform/WakeFd.h"

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <systemd/sd-bus.h>
#include <thread>
#include <vector>

// A stand-in for the part of systemd's D-Bus interface that the tool uses, served on a bus
// of our own (never the machine's): the manager's GetUnit, LoadUnit, ListUnits,
// ListUnitFiles, StartUnit, StopUnit, RestartUnit and EnableUnitFiles, and the unit objects'
// Id, Description, LoadState, ActiveState, FreezerState and UnitFileState. A start makes a
// unit active and a stop inactive at once, unless jobs are held (see HoldJobs). It serves on
// a thread of its own.
class CSystemdStandIn
{
public:
    struct Unit
    {
        std::string id;
        std::string description;
        std::string activeState = "inactive";
        std::string freezerState = "running";
        std::string unitFileState = "disabled";
    };

    CSystemdStandIn();
    ~CSystemdStandIn();
    CSystemdStandIn(const CSystemdStandIn&) = delete;
    CSystemdStandIn& operator=(const CSystemdStandIn&) = delete;

    // Connects to the bus at address, takes the name org.freedesktop.systemd1 and starts
    // serving. False when any step fails.
    bool Start(const std::string& busAddress);

    void AddUnit(const Unit& unit);
    void RemoveUnit(const std::string& id);
    void SetActiveState(const std::string& id, const std::string& state);
    std::optional<Unit> GetUnit(const std::string& id) const;
    // Answers start, stop, restart and enable requests with AccessDenied while on.
    void SetRefuse(bool refuse) { m_refuse = refuse; }
    // While on, start, stop and restart requests are accepted and queued as jobs, and the
    // unit keeps its state until RunJobs: as with systemd, whose answer only says that a job
    // was queued. A new request for a unit replaces the job waiting for it (the "replace"
    // mode), except that a start merges into a waiting restart.
    void HoldJobs(bool hold);
    // Carries out the queued jobs in the order they were queued.
    void RunJobs();
    // The jobs carried out so far, oldest first, e.g. "StopUnit gateway.service".
    std::vector<std::string> JobsRun() const;
    // How often a manager method was called.
    int Calls(const std::string& method) const;
    // While frozen the stand-in answers nothing, as a service manager that hangs: calls wait
    // until their time-out. Unfreezing answers what waited.
    void Freeze(bool frozen);
    // How many PropertiesChanged signals it sent for a unit.
    int SignalsSent(const std::string& id) const;

    // The arguments of one EnableUnitFiles call.
    struct EnableRequest
    {
        std::vector<std::string> units;
        bool runtime = false; // for this boot only (/run) instead of persistently
        bool force = false;   // replace conflicting links
    };
    std::vector<EnableRequest> EnableRequests() const;

private:
    static int OnMessage(sd_bus_message* message, void* self, sd_bus_error* error);
    int Handle(sd_bus_message* message, sd_bus_error* error);
    int HandleManager(sd_bus_message* message, const std::string& member, sd_bus_error* error);
    int HandleUnit(sd_bus_message* message, const std::string& path, sd_bus_error* error);
    void Serve();
    // Does what a job does to its unit; the lock is held.
    void RunJob(const std::string& method, const std::string& unit);
    // Sends PropertiesChanged for every unit whose state changed since it was last announced
    // (on the serving thread: the bus is not shared with the threads that change units).
    void AnnounceChanges();

    struct Job
    {
        std::string method;
        std::string unit;
    };

    mutable std::mutex m_mutex;
    std::map<std::string, Unit> m_units;
    std::map<std::string, int> m_calls;
    std::vector<EnableRequest> m_enables;
    bool m_hold = false;
    std::atomic<bool> m_frozen{false};
    // The state each unit was last announced with, and the signals sent per unit.
    std::map<std::string, std::string> m_announced;
    std::map<std::string, int> m_signals;
    std::vector<Job> m_queued;
    std::vector<std::string> m_jobsRun;
    std::atomic<bool> m_refuse{false};
    std::atomic<bool> m_stop{false};
    sd_bus* m_bus = nullptr;
    rz::CWakeFd m_wake;
    std::thread m_thread;
    unsigned m_jobs = 0;
};
