// The cost of one service poll: the watcher (finds the unit once, then reads its state) beside
// a poll that lists every unit each time, as enumerating all services did. Both run against
// the systemd stand-in on a private bus holding a few hundred units.
#include "PrivateBus.h"
#include "SystemdStandIn.h"
#include "events/Events.h"
#include "events/ListenerBase.h"
#include "service/ServiceStateCheck.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <systemd/sd-bus.h>

namespace
{

constexpr int kUnits = 300;

struct CBench
{
    CPrivateBus bus;
    CSystemdStandIn systemd;
    bool ready = false;

    CBench()
    {
        if (!bus.Start() || !systemd.Start(bus.Address()))
            return;
        ::setenv("RAVIRAZAZU_SERVICE_BUS", "user", 1);
        ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.Address().c_str(), 1);
        for (int i = 0; i < kUnits; ++i)
            systemd.AddUnit({"unit-" + std::to_string(i) + ".service",
                             "Some service " + std::to_string(i), "active", "running", "enabled"});
        systemd.AddUnit(
            {"quorix-gateway.service", "Quorix MXR Gateway", "active", "running", "enabled"});
        ready = true;
    }
};

CBench& Bench()
{
    static CBench bench;
    return bench;
}

class CCounter : public CListenerBase
{
public:
    void OnEvent(CEventBase*) override { ++events; }
    int64_t events = 0;
};

void BM_WatcherPoll(benchmark::State& state)
{
    if (!Bench().ready)
    {
        state.SkipWithError("no private bus");
        return;
    }
    ServiceStateCheck watcher(L"Quorix MXR Gateway");
    CCounter counter;
    watcher.AddListener(&counter, kServiceStateCheckEvent);
    for (auto _ : state)
        watcher.Poll();
    watcher.RemoveListener(&counter, kServiceStateCheckEvent);
    if (counter.events != static_cast<int64_t>(state.iterations()))
        state.SkipWithError("a poll gave no event");
}

void BM_ListEveryUnitPoll(benchmark::State& state)
{
    if (!Bench().ready)
    {
        state.SkipWithError("no private bus");
        return;
    }
    sd_bus* bus = nullptr;
    sd_bus_new(&bus);
    sd_bus_set_address(bus, Bench().bus.Address().c_str());
    sd_bus_set_bus_client(bus, 1);
    sd_bus_start(bus);
    int64_t found = 0;
    for (auto _ : state)
    {
        sd_bus_message* reply = nullptr;
        sd_bus_error error = SD_BUS_ERROR_NULL;
        if (sd_bus_call_method(bus, "org.freedesktop.systemd1", "/org/freedesktop/systemd1",
                               "org.freedesktop.systemd1.Manager", "ListUnits", &error, &reply,
                               "") >= 0)
        {
            sd_bus_message_enter_container(reply, 'a', "(ssssssouso)");
            const char *id, *description, *load, *active, *sub, *following, *path, *jobType,
                *jobPath;
            uint32_t job = 0;
            while (sd_bus_message_read(reply, "(ssssssouso)", &id, &description, &load, &active,
                                       &sub, &following, &path, &job, &jobType, &jobPath) > 0)
            {
                if (strcasecmp(description, "Quorix MXR Gateway") == 0)
                    ++found;
            }
        }
        sd_bus_error_free(&error);
        sd_bus_message_unref(reply);
    }
    sd_bus_flush_close_unref(bus);
    if (found != static_cast<int64_t>(state.iterations()))
        state.SkipWithError("the unit was not found");
}

} // namespace

BENCHMARK(BM_WatcherPoll)->UseRealTime();
BENCHMARK(BM_ListEveryUnitPoll)->UseRealTime();
BENCHMARK_MAIN();
