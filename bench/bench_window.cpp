// The window against a bare Qt window, both started as programs of their own on the offscreen
// platform (rz_startup_probe and rz_startup_bare, see startup_probe.cpp):
//  - BM_StartUp: time from starting the program to its first complete picture, the CPU time
//    it used until then, and its peak memory (the kernel's maximum resident size at its end).
//    The programs take turns, a round at a time, so that all meet the same neighbours on a
//    shared machine; each figure is the median over the rounds, each ratio the median of the
//    rounds' ratios with the quartiles beside it. A third program, the bare window with one
//    line of text (rz_startup_bare --text), shows what the font system's start costs any
//    window that shows text: the "_vs_text" counters compare the tool with it.
//  - BM_Idle: both windows open at the same time doing nothing for a while (20 s; the flag
//    --rz_idle_seconds=N shortens it for trying): the CPU time of all their threads and how
//    often those threads were switched in (voluntary and involuntary context switches).
// The tool works on a copy of the sample document and tool folder, with private profile,
// log and runtime folders, and watches the gateway unit of the systemd stand-in on a private
// bus. --rz_startups=N sets the number of rounds (default 15); --rz_threads prints each idle
// thread's switches.
#include "PrivateBus.h"
#include "SystemdStandIn.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{

int g_startups = 15;
int g_idleSeconds = 20;
bool g_printThreads = false;
constexpr int kSettleSeconds = 2;
constexpr int kPaintTimeoutMs = 60'000;

int64_t MonotonicNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::string BinDir()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

// The runtime folders that runs which were ended before they could tidy up left on the
// tmpfs: each is named after the process that made it.
void RemoveRuntimeFoldersOfEndedRuns()
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", error))
    {
        const std::string name = entry.path().filename().string();
        const std::string prefix = "rzruntime.";
        if (name.rfind(prefix, 0) != 0)
            continue;
        const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            std::filesystem::remove_all(entry.path(), error);
    }
}

// A copy of the sample files, private folders and the stand-in of systemd on a private bus.
struct CSandbox
{
    std::string folder;
    std::string runtime; // XDG_RUNTIME_DIR
    CPrivateBus bus;
    CSystemdStandIn systemd;
    std::vector<std::string> environment;
    std::string error;

    CSandbox()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "rzwindow.XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
        {
            error = "mkdtemp failed";
            return;
        }
        folder = pattern;
        const std::string examples = RZ_EXAMPLES_DIR;
        std::filesystem::copy(examples + "/tool", folder + "/tool",
                              std::filesystem::copy_options::recursive);
        std::filesystem::create_directories(folder + "/data");
        std::filesystem::copy_file(examples + "/appdata/Quorix/MXR Gateway 4.5/GatewayConfig.XML",
                                   Document());
        for (const char* sub : {"config", "state", "runtime"})
            ::mkdir((folder + "/" + sub).c_str(), 0700);
        // A session's runtime folder is a tmpfs (/run/user/UID); the temporary folder may be
        // on a disk whose directory operations wait for it (the single-copy guard makes and
        // removes a folder there).
        RemoveRuntimeFoldersOfEndedRuns();
        std::string shm = "/dev/shm/rzruntime." + std::to_string(::getpid()) + ".XXXXXX";
        if (::mkdtemp(shm.data()) != nullptr)
            runtime = shm;
        else
            runtime = folder + "/runtime";
        if (!bus.Start() || !systemd.Start(bus.Address()))
        {
            error = "no private bus: " + bus.Error();
            return;
        }
        systemd.AddUnit(
            {"quorix-gateway.service", "Quorix MXR Gateway", "inactive", "running", "disabled"});

        const std::map<std::string, std::string> overrides = {
            {"QT_QPA_PLATFORM", "offscreen"},      {"XDG_CONFIG_HOME", folder + "/config"},
            {"XDG_STATE_HOME", folder + "/state"}, {"XDG_RUNTIME_DIR", runtime},
            {"RAVIRAZAZU_SERVICE_BUS", "user"},    {"DBUS_SESSION_BUS_ADDRESS", bus.Address()},
        };
        for (char** entry = environ; *entry != nullptr; ++entry)
        {
            const std::string text = *entry;
            const std::string name = text.substr(0, text.find('='));
            if (overrides.count(name) == 0 && name != "RAVIRAZAZU_DEBUG")
                environment.push_back(text);
        }
        for (const auto& [name, value] : overrides)
            environment.push_back(name + "=" + value);
    }
    ~CSandbox()
    {
        std::error_code ignored;
        if (!folder.empty())
            std::filesystem::remove_all(folder, ignored);
        if (runtime.rfind("/dev/shm/", 0) == 0)
            std::filesystem::remove_all(runtime, ignored);
    }

    std::string ToolDir() const { return folder + "/tool/"; }
    std::string Document() const { return folder + "/data/GatewayConfig.XML"; }
};

CSandbox& Sandbox()
{
    static CSandbox sandbox;
    return sandbox;
}

// One started probe: its process, the read end of its output, when it was started.
struct CProbe
{
    pid_t pid = -1;
    int output = -1;
    int64_t started = 0;
    std::string line;
};

enum class Program
{
    Ours,     // the main window
    Bare,     // the bare window (the reference)
    BareText, // the bare window with one line of text
};

std::vector<std::string> ProbeArguments(Program program, bool idle, int64_t since)
{
    const bool ours = program == Program::Ours;
    std::vector<std::string> args;
    if (ours)
        args = {BinDir() + "/rz_startup_probe", "window", Sandbox().ToolDir(),
                Sandbox().Document()};
    else
        args = {BinDir() + "/rz_startup_bare"};
    if (program == Program::BareText)
        args.push_back("--text");
    if (idle)
    {
        args.push_back("--idle");
        if (ours)
            args.push_back("--log"); // the log writer is part of what must sleep
    }
    args.push_back("--since");
    args.push_back(std::to_string(since));
    return args;
}

std::optional<CProbe> Start(Program program, bool idle)
{
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> env;
    for (std::string& entry : Sandbox().environment)
        env.push_back(entry.data());
    env.push_back(nullptr);

    CProbe probe;
    probe.output = pipe[0];
    probe.started = MonotonicNs();
    std::vector<std::string> args = ProbeArguments(program, idle, probe.started);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int spawned =
        ::posix_spawn(&probe.pid, argv[0], &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    if (spawned != 0)
    {
        ::close(pipe[0]);
        return std::nullopt;
    }
    return probe;
}

// Reads the probe's "painted" line; false when it ended or timed out without one.
bool WaitPainted(CProbe& probe)
{
    const int64_t deadline = MonotonicNs() + int64_t(kPaintTimeoutMs) * 1'000'000;
    while (probe.line.find('\n') == std::string::npos)
    {
        const int64_t left = (deadline - MonotonicNs()) / 1'000'000;
        if (left <= 0)
            return false;
        pollfd fd{probe.output, POLLIN, 0};
        const int ready = ::poll(&fd, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char buffer[256];
        const ssize_t n = ::read(probe.output, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        probe.line.append(buffer, static_cast<size_t>(n));
    }
    return probe.line.starts_with("painted ");
}

// Ends the probe (when still running) and collects it; its resource use.
rusage Finish(CProbe& probe, bool kill)
{
    rusage usage{};
    if (probe.pid <= 0)
        return usage;
    if (kill)
        ::kill(probe.pid, SIGTERM); // our own child, by its process id
    int status = 0;
    while (::wait4(probe.pid, &status, 0, &usage) < 0 && errno == EINTR)
    {
    }
    ::close(probe.output);
    probe.pid = -1;
    return usage;
}

struct CStartUp
{
    double wallMs = 0;
    double cpuMs = 0;
    double peakMiB = 0;
};

std::optional<CStartUp> StartOnce(Program program)
{
    auto probe = Start(program, false);
    if (!probe)
        return std::nullopt;
    const bool painted = WaitPainted(*probe);
    const rusage usage = Finish(*probe, !painted);
    if (!painted)
        return std::nullopt;
    long long wall = 0;
    long long cpu = 0;
    std::istringstream(probe->line.substr(8)) >> wall >> cpu;
    return CStartUp{wall / 1e6, cpu / 1e6, usage.ru_maxrss / 1024.0};
}

double Quantile(std::vector<double> values, double q)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const double at = q * static_cast<double>(values.size() - 1);
    const auto below = static_cast<size_t>(at);
    const size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (values[above] - values[below]) * (at - static_cast<double>(below));
}

// Median of ours and of the reference, and the median and quartiles of the rounds' ratios.
void SetCounters(benchmark::State& state, const std::string& name, const std::vector<double>& ours,
                 const std::vector<double>& reference)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < ours.size() && i < reference.size(); ++i)
        ratios.push_back(reference[i] > 0 ? ours[i] / reference[i] : 0);
    state.counters[name + "_ours"] = Quantile(ours, 0.5);
    state.counters[name + "_ref"] = Quantile(reference, 0.5);
    state.counters[name + "_ratio"] = Quantile(ratios, 0.5);
    state.counters[name + "_ratio_q1"] = Quantile(ratios, 0.25);
    state.counters[name + "_ratio_q3"] = Quantile(ratios, 0.75);
}

void BM_StartUp(benchmark::State& state)
{
    if (!Sandbox().error.empty())
    {
        state.SkipWithError(Sandbox().error.c_str());
        return;
    }
    const auto column = [](const std::vector<CStartUp>& runs, double CStartUp::*field)
    {
        std::vector<double> values;
        for (const auto& run : runs)
            values.push_back(run.*field);
        return values;
    };
    for (auto _ : state)
    {
        std::vector<CStartUp> ours;
        std::vector<CStartUp> bare;
        std::vector<CStartUp> text;
        // One round first that is not counted: the first start fills the file caches.
        for (int round = -1; round < g_startups; ++round)
        {
            // Turn about which one goes first.
            Program order[] = {Program::Ours, Program::Bare, Program::BareText};
            std::rotate(order, order + (round + 3) % 3, order + 3);
            std::map<Program, CStartUp> results;
            for (Program program : order)
            {
                const auto result = StartOnce(program);
                if (!result)
                {
                    state.SkipWithError("a window did not paint");
                    return;
                }
                results[program] = *result;
            }
            if (round < 0)
                continue;
            ours.push_back(results[Program::Ours]);
            bare.push_back(results[Program::Bare]);
            text.push_back(results[Program::BareText]);
        }
        // The time that Google Benchmark reports is our median.
        state.SetIterationTime(Quantile(column(ours, &CStartUp::wallMs), 0.5) / 1000);
        SetCounters(state, "wall_ms", column(ours, &CStartUp::wallMs),
                    column(bare, &CStartUp::wallMs));
        SetCounters(state, "cpu_ms", column(ours, &CStartUp::cpuMs),
                    column(bare, &CStartUp::cpuMs));
        SetCounters(state, "peak_MiB", column(ours, &CStartUp::peakMiB),
                    column(bare, &CStartUp::peakMiB));
        SetCounters(state, "wall_ms_vs_text", column(ours, &CStartUp::wallMs),
                    column(text, &CStartUp::wallMs));
        SetCounters(state, "cpu_ms_vs_text", column(ours, &CStartUp::cpuMs),
                    column(text, &CStartUp::cpuMs));
        SetCounters(state, "peak_MiB_vs_text", column(ours, &CStartUp::peakMiB),
                    column(text, &CStartUp::peakMiB));
        state.counters["rounds"] = static_cast<double>(ours.size());
    }
}

// The CPU time (ns) and context switches of each thread of a process, by thread ID.
struct CThreadUse
{
    std::string name;
    int64_t cpuNs = 0;
    int64_t switches = 0;
};

std::map<int, CThreadUse> ThreadUse(pid_t pid)
{
    std::map<int, CThreadUse> threads;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* folder = ::opendir(tasks.c_str());
    if (folder == nullptr)
        return threads;
    while (const dirent* entry = ::readdir(folder))
    {
        if (entry->d_name[0] == '.')
            continue;
        const std::string task = tasks + "/" + entry->d_name;
        CThreadUse use;
        std::ifstream(task + "/comm") >> use.name;
        // schedstat's first field: the time on a CPU in nanoseconds (stat's utime and stime
        // count 10 ms ticks, too coarse for a thread that should hardly run).
        std::ifstream(task + "/schedstat") >> use.cpuNs;
        std::ifstream status(task + "/status");
        std::string line;
        while (std::getline(status, line))
        {
            if (line.starts_with("voluntary_ctxt_switches:") ||
                line.starts_with("nonvoluntary_ctxt_switches:"))
                use.switches += std::strtoll(line.c_str() + line.find(':') + 1, nullptr, 10);
        }
        threads[std::atoi(entry->d_name)] = use;
    }
    ::closedir(folder);
    return threads;
}

// utime + stime of the whole process (its ended threads among them), in ns.
int64_t ProcessCpuNs(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    int64_t utime = 0;
    int64_t stime = 0;
    for (int number = 3; number <= 15 && fields >> field; ++number)
    {
        if (number == 14)
            utime = std::strtoll(field.c_str(), nullptr, 10);
        if (number == 15)
            stime = std::strtoll(field.c_str(), nullptr, 10);
    }
    return (utime + stime) * (1'000'000'000 / ::sysconf(_SC_CLK_TCK));
}

struct CIdle
{
    double cpuPercent = 0;     // of one core, from schedstat
    double statCpuPercent = 0; // the same from stat's ticks
    double wakeupsPerSecond = 0;
};

CIdle IdleUse(const std::map<int, CThreadUse>& before, const std::map<int, CThreadUse>& after,
              int64_t statBefore, int64_t statAfter, double seconds, const char* what)
{
    int64_t cpu = 0;
    int64_t switches = 0;
    for (const auto& [tid, use] : after)
    {
        const auto old = before.find(tid);
        const int64_t cpuBefore = old != before.end() ? old->second.cpuNs : 0;
        const int64_t switchesBefore = old != before.end() ? old->second.switches : 0;
        cpu += use.cpuNs - cpuBefore;
        switches += use.switches - switchesBefore;
        if (g_printThreads)
            std::printf("%s %d %-16s %8.3f ms %6lld switches\n", what, tid, use.name.c_str(),
                        (use.cpuNs - cpuBefore) / 1e6,
                        static_cast<long long>(use.switches - switchesBefore));
    }
    return {cpu / 1e9 / seconds * 100, (statAfter - statBefore) / 1e9 / seconds * 100,
            switches / seconds};
}

void BM_Idle(benchmark::State& state)
{
    if (!Sandbox().error.empty())
    {
        state.SkipWithError(Sandbox().error.c_str());
        return;
    }
    for (auto _ : state)
    {
        auto ours = Start(Program::Ours, true);
        auto bare = Start(Program::Bare, true);
        if (!ours || !bare || !WaitPainted(*ours) || !WaitPainted(*bare))
        {
            if (ours)
                Finish(*ours, true);
            if (bare)
                Finish(*bare, true);
            state.SkipWithError("a window did not paint");
            return;
        }
        std::this_thread::sleep_for(std::chrono::seconds(kSettleSeconds));
        const auto oursBefore = ThreadUse(ours->pid);
        const auto bareBefore = ThreadUse(bare->pid);
        const int64_t oursStatBefore = ProcessCpuNs(ours->pid);
        const int64_t bareStatBefore = ProcessCpuNs(bare->pid);
        const int64_t begin = MonotonicNs();
        std::this_thread::sleep_for(std::chrono::seconds(g_idleSeconds));
        const auto oursAfter = ThreadUse(ours->pid);
        const auto bareAfter = ThreadUse(bare->pid);
        const int64_t oursStatAfter = ProcessCpuNs(ours->pid);
        const int64_t bareStatAfter = ProcessCpuNs(bare->pid);
        const double seconds = (MonotonicNs() - begin) / 1e9;
        Finish(*ours, true);
        Finish(*bare, true);

        const CIdle o =
            IdleUse(oursBefore, oursAfter, oursStatBefore, oursStatAfter, seconds, "window");
        const CIdle b =
            IdleUse(bareBefore, bareAfter, bareStatBefore, bareStatAfter, seconds, "bare");
        state.SetIterationTime(seconds);
        state.counters["cpu_pct_ours"] = o.cpuPercent;
        state.counters["cpu_pct_ref"] = b.cpuPercent;
        state.counters["stat_cpu_pct_ours"] = o.statCpuPercent;
        state.counters["stat_cpu_pct_ref"] = b.statCpuPercent;
        state.counters["wakeups_per_s_ours"] = o.wakeupsPerSecond;
        state.counters["wakeups_per_s_ref"] = b.wakeupsPerSecond;
        state.counters["threads_ours"] = static_cast<double>(oursAfter.size());
        state.counters["threads_ref"] = static_cast<double>(bareAfter.size());
    }
}

// Takes this program's own flags out of the argument vector.
void ParseOwnFlags(int& argc, char** argv)
{
    int kept = 1;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg.starts_with("--rz_idle_seconds="))
            g_idleSeconds = std::max(1, std::atoi(arg.c_str() + 18));
        else if (arg.starts_with("--rz_startups="))
            g_startups = std::max(1, std::atoi(arg.c_str() + 14));
        else if (arg == "--rz_threads")
            g_printThreads = true;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    argv[argc] = nullptr;
}

} // namespace

BENCHMARK(BM_StartUp)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Idle)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

int main(int argc, char** argv)
{
    ParseOwnFlags(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
