#include "network/MobileChannelDetector.h"

#include "config/SystemLog.h"
#include "events/Events.h"
#include "platform/DebugOutput.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

std::optional<std::vector<CAdapter>> MobileChannelDetector::ReadAdapters()
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
    {
        rz::OutputDebugString("GetAdaptersInfo failed\n");
        return std::nullopt;
    }
    // getifaddrs lists the hardware addresses (AF_PACKET) first, then the IP addresses, each in
    // interface order; adapters keep the order of their interface index.
    std::vector<CAdapter> adapters;
    const auto adapterFor = [&adapters](const char* name) -> CAdapter&
    {
        for (CAdapter& adapter : adapters)
            if (adapter.name == name)
                return adapter;
        adapters.push_back(CAdapter{name, 0, {}, false});
        return adapters.back();
    };
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next)
    {
        if (entry->ifa_addr == nullptr || entry->ifa_name == nullptr)
            continue;
        if (entry->ifa_addr->sa_family == AF_PACKET)
        {
            const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
            CAdapter& adapter = adapterFor(entry->ifa_name);
            if (link->sll_halen == 6)
            {
                std::memcpy(adapter.hardware.data(), link->sll_addr, 6);
                adapter.hasHardware = true;
            }
        }
        else if (entry->ifa_addr->sa_family == AF_INET)
        {
            CAdapter& adapter = adapterFor(entry->ifa_name);
            if (adapter.address == 0) // its first address only
                adapter.address =
                    reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr;
        }
    }
    ::freeifaddrs(list);
    std::stable_sort(adapters.begin(), adapters.end(),
                     [](const CAdapter& a, const CAdapter& b)
                     { return if_nametoindex(a.name.c_str()) < if_nametoindex(b.name.c_str()); });
    return adapters;
}

uint32_t MobileChannelDetector::RemoteFromHardware(const std::array<uint8_t, 6>& hardware)
{
    const uint32_t number = static_cast<uint32_t>(hardware[2]) << 24 |
                            static_cast<uint32_t>(hardware[3]) << 16 |
                            static_cast<uint32_t>(hardware[4]) << 8 | hardware[5];
    return number - 1; // 32-bit arithmetic: 0A 00 00 00 borrows to 9.255.255.255
}

std::string MobileChannelDetector::Dotted(uint32_t networkAddress)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(&networkAddress);
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

uint32_t MobileChannelDetector::FindRemoteAddress(uint32_t localAddress)
{
    if (localAddress == 0)
        return 0;
    const auto adapters = ReadAdapters();
    if (!adapters)
        return 0;
    for (const CAdapter& adapter : *adapters)
    {
        if (adapter.address == localAddress)
            return adapter.hasHardware ? RemoteFromHardware(adapter.hardware) : 0;
    }
    return 0;
}

bool MobileChannelDetector::EnumerateAdapters()
{
    const auto adapters = ReadAdapters();
    if (!adapters)
        return false;
    if (adapters->empty())
        return true;
    IPFoundEvent event;
    for (const CAdapter& adapter : *adapters)
    {
        if (adapter.address == 0)
            continue;
        const std::string text = Dotted(adapter.address);
        event.addresses.emplace(text, IPFoundEntry{text, adapter.address});
    }
    Notify(&event);
    return true;
}

std::string IpCommand()
{
    for (const char* path : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"})
    {
        if (::access(path, X_OK) == 0)
            return path;
    }
    return "ip";
}

int RunProgram(const std::vector<std::string>& args)
{
    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    for (auto& arg : copies)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    // What the program prints (ip's complaint about a missing route, say) is not ours to show.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
    {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void MobileChannelDetector::AddRoute(uint8_t subnetId, uint32_t stationAddress)
{
    const auto* station = reinterpret_cast<const uint8_t*>(&stationAddress);
    const std::string network = std::to_string(subnetId) + ".0.0.0/8";
    const std::string gateway = std::to_string(station[0]) + "." + std::to_string(station[1]) +
                                "." + std::to_string(station[2]) + "." +
                                std::to_string(static_cast<uint8_t>(station[3] - 1));
    const std::string ip = IpCommand();
    // Waiting for the delete keeps it from undoing the add.
    RunProgram({ip, "route", "del", network});
    const std::string add = "route add " + network + " via " + gateway;
    RUROR::CSystemLog::GetInstance()->WriteLog(L"AddRoute:", gLOG_LEVEL, L"%ls",
                                               rz::Utf8ToWide(add).c_str());
    RunProgram({ip, "route", "add", network, "via", gateway});
}
