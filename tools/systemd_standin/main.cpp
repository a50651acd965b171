// Serves a stand-in of systemd's D-Bus interface with one gateway unit on a private bus, so
// that the window's Start button can be tried without a real service:
//   rz_systemd_standin [UNIT [DESCRIPTION]]
// It prints the bus address; start the tool with RAVIRAZAZU_SERVICE_BUS=user and
// DBUS_SESSION_BUS_ADDRESS set to it. It runs until it is interrupted.
#include "PrivateBus.h"
#include "SystemdStandIn.h"

#include <csignal>
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    CPrivateBus bus;
    if (!bus.Start())
    {
        std::fprintf(stderr, "rz_systemd_standin: %s\n", bus.Error().c_str());
        return 1;
    }
    CSystemdStandIn systemd;
    if (!systemd.Start(bus.Address()))
    {
        std::fprintf(stderr, "rz_systemd_standin: cannot serve on %s\n", bus.Address().c_str());
        return 1;
    }
    CSystemdStandIn::Unit unit;
    unit.id = argc > 1 ? argv[1] : "quorix-gateway.service";
    unit.description = argc > 2 ? argv[2] : "Quorix MXR Gateway";
    systemd.AddUnit(unit);
    std::printf("%s\n", bus.Address().c_str());
    std::fflush(stdout);

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    int received = 0;
    sigwait(&signals, &received);
    return 0;
}
