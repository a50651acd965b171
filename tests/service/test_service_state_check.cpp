#include "PrivateBus.h"
#include "SystemdStandIn.h"
#include "TestSupport.h"
#include "events/Events.h"
#include "events/ListenerBase.h"
#include "service/ServiceStateCheck.h"
#include "service/ServiceWatch.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{

// The children of a process, as the kernel lists them; empty when it cannot.
std::vector<pid_t> Children(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    std::vector<pid_t> children;
    for (pid_t child = 0; in >> child;)
        children.push_back(child);
    return children;
}

// Whether a process still runs (a zombie has ended; only its parent has not collected it).
bool Runs(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line))
        return false;
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

class CStateListener : public CListenerBase
{
public:
    void OnEvent(CEventBase* event) override
    {
        states.push_back(static_cast<ServiceStateCheckEvent*>(event)->state);
    }
    std::vector<uint32_t> states;
};

// A private bus with the systemd stand-in on it, reached as the user's bus.
class ServiceStateCheckTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_bus.Start()) << m_bus.Error();
        ASSERT_TRUE(m_systemd.Start(m_bus.Address()));
        m_busKind = std::make_unique<rztest::CScopedEnv>("RAVIRAZAZU_SERVICE_BUS", "user");
        m_address =
            std::make_unique<rztest::CScopedEnv>("DBUS_SESSION_BUS_ADDRESS", m_bus.Address());
        m_systemd.AddUnit(
            {"quorix-gateway.service", "Quorix MXR Gateway", "active", "running", "enabled"});
        m_systemd.AddUnit({"sshd.service", "OpenSSH server", "active", "running", "enabled"});
    }

    std::unique_ptr<ServiceStateCheck> Watch(const std::wstring& name)
    {
        auto watcher = std::make_unique<ServiceStateCheck>(name);
        watcher->AddListener(&m_listener, kServiceStateCheckEvent);
        return watcher;
    }

    CPrivateBus m_bus;
    CSystemdStandIn m_systemd;
    std::unique_ptr<rztest::CScopedEnv> m_busKind;
    std::unique_ptr<rztest::CScopedEnv> m_address;
    CStateListener m_listener;
};

} // namespace

TEST(ServiceName, ComesFromMXRServiceDogIniOrTakesTheDefault)
{
    rztest::CTempDir tool;
    const std::wstring byDefault = L"Quorix MXR Gateway";
    // No file, a file without the section, a section without the key.
    EXPECT_EQ(ConfiguredServiceName(tool.Path() + "/"), byDefault);
    rztest::WriteBytes(tool.File("MXRServiceDog.ini"), "[Other]\r\nServiceName=elsewhere\r\n");
    EXPECT_EQ(ConfiguredServiceName(tool.Path() + "/"), byDefault);
    rztest::WriteBytes(tool.File("MXRServiceDog.ini"), "[Settings]\r\nRestartDelaySeconds=10\r\n");
    EXPECT_EQ(ConfiguredServiceName(tool.Path() + "/"), byDefault);

    // A value given, in a file, section and key of another case: taken as it stands.
    std::filesystem::remove(tool.File("MXRServiceDog.ini"));
    rztest::WriteBytes(tool.File("mxrservicedog.INI"), "[settings]\r\nservicename=gw-test\r\n");
    EXPECT_EQ(ConfiguredServiceName(tool.Path() + "/"), L"gw-test");

    // An empty value is a choice (no service watch), not a missing key.
    rztest::WriteBytes(tool.File("mxrservicedog.INI"), "[Settings]\r\nServiceName=\r\n");
    EXPECT_EQ(ConfiguredServiceName(tool.Path() + "/"), L"");
}

TEST_F(ServiceStateCheckTest, TheUnitIsFoundByNameOrDisplayNameInAnyCase)
{
    for (const std::wstring name :
         {L"quorix MXR gateway", L"QUORIX-GATEWAY", L"quorix-gateway.service"})
    {
        auto watcher = Watch(name);
        EXPECT_TRUE(watcher->IsInstalled(name));
        ASSERT_TRUE(watcher->Poll());
        ASSERT_FALSE(m_listener.states.empty());
        EXPECT_EQ(m_listener.states.back(), ServiceStateCheck::kRunning);
        watcher->RemoveListener(&m_listener, kServiceStateCheckEvent);
    }
    auto missing = Watch(L"No Such Gateway");
    EXPECT_FALSE(missing->IsInstalled(L"No Such Gateway"));
    m_listener.states.clear();
    EXPECT_TRUE(missing->Poll());
    EXPECT_TRUE(m_listener.states.empty()); // no event for a service that is not there
    EXPECT_FALSE(ServiceStateCheck(L"").Poll());
    missing->RemoveListener(&m_listener, kServiceStateCheckEvent);
}

TEST_F(ServiceStateCheckTest, PollsReadOnlyTheStateOnceTheUnitIsKnown)
{
    auto watcher = Watch(L"Quorix MXR Gateway");
    ASSERT_TRUE(watcher->Poll());
    const int lists = m_systemd.Calls("ListUnits");
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(watcher->Poll());
    EXPECT_EQ(m_systemd.Calls("ListUnits"), lists);
    EXPECT_EQ(m_listener.states.size(), 21u);

    // States as systemd names them.
    for (const char* state : {"activating", "deactivating", "reloading", "failed", "inactive"})
    {
        m_systemd.SetActiveState("quorix-gateway.service", state);
        watcher->Poll();
    }
    m_systemd.AddUnit(
        {"quorix-gateway.service", "Quorix MXR Gateway", "active", "frozen", "enabled"});
    watcher->Poll();
    EXPECT_EQ(std::vector<uint32_t>(m_listener.states.end() - 6, m_listener.states.end()),
              (std::vector<uint32_t>{2, 3, 5, 1, 1, 7}));
    watcher->RemoveListener(&m_listener, kServiceStateCheckEvent);
}

TEST_F(ServiceStateCheckTest, StartAndStopAskOnlyWhenNeeded)
{
    auto watcher = Watch(L"Quorix MXR Gateway");
    // Start on a running unit sends nothing and reports 4 at once.
    ASSERT_TRUE(watcher->Start(L"Quorix MXR Gateway"));
    EXPECT_EQ(m_systemd.Calls("StartUnit"), 0);
    EXPECT_EQ(m_listener.states, (std::vector<uint32_t>{4}));

    ASSERT_TRUE(watcher->Stop(L"Quorix MXR Gateway"));
    EXPECT_EQ(m_systemd.Calls("StopUnit"), 1);
    EXPECT_EQ(m_systemd.GetUnit("quorix-gateway.service")->activeState, "inactive");

    // Stop on a stopped unit reports 1 and sends nothing.
    m_listener.states.clear();
    ASSERT_TRUE(watcher->Stop(L"Quorix MXR Gateway"));
    EXPECT_EQ(m_systemd.Calls("StopUnit"), 1);
    EXPECT_EQ(m_listener.states, (std::vector<uint32_t>{1}));

    // A paused (frozen) unit: Stop reports 7 and sends nothing; Start starts it, not thaws it.
    m_systemd.AddUnit(
        {"quorix-gateway.service", "Quorix MXR Gateway", "active", "frozen", "enabled"});
    m_listener.states.clear();
    ASSERT_TRUE(watcher->Stop(L"Quorix MXR Gateway"));
    EXPECT_EQ(m_listener.states, (std::vector<uint32_t>{7}));
    EXPECT_EQ(m_systemd.Calls("StopUnit"), 1);
    EXPECT_EQ(m_systemd.JobsRun(), (std::vector<std::string>{"StopUnit quorix-gateway.service"}));
    ASSERT_TRUE(watcher->Start(L"Quorix MXR Gateway"));
    EXPECT_EQ(m_systemd.Calls("StartUnit"), 1);

    // Starting or stopping: neither asks anything.
    m_systemd.SetActiveState("quorix-gateway.service", "activating");
    ASSERT_TRUE(watcher->Start(L"Quorix MXR Gateway"));
    ASSERT_TRUE(watcher->Stop(L"Quorix MXR Gateway"));
    EXPECT_EQ(m_systemd.JobsRun().size(), 2u);
    watcher->RemoveListener(&m_listener, kServiceStateCheckEvent);
}

TEST_F(ServiceStateCheckTest, StartAndStopEnableTheUnitForGood)
{
    const std::string unit = "quorix-gateway.service";
    auto watcher = Watch(L"Quorix MXR Gateway");
    // A stopped, disabled unit: enabled persistently (not for this boot only), then started.
    m_systemd.AddUnit({unit, "Quorix MXR Gateway", "inactive", "running", "disabled"});
    ASSERT_TRUE(watcher->Start(L"Quorix MXR Gateway"));
    auto enables = m_systemd.EnableRequests();
    ASSERT_EQ(enables.size(), 1u);
    EXPECT_EQ(enables[0].units, (std::vector<std::string>{unit}));
    EXPECT_FALSE(enables[0].runtime);
    EXPECT_FALSE(enables[0].force);
    EXPECT_EQ(m_systemd.GetUnit(unit)->unitFileState, "enabled");
    EXPECT_EQ(m_systemd.GetUnit(unit)->activeState, "active");

    // A running, disabled unit: a stop enables it too.
    m_systemd.AddUnit({unit, "Quorix MXR Gateway", "active", "running", "disabled"});
    ASSERT_TRUE(watcher->Stop(L"Quorix MXR Gateway"));
    enables = m_systemd.EnableRequests();
    ASSERT_EQ(enables.size(), 2u);
    EXPECT_FALSE(enables[1].runtime);
    EXPECT_EQ(m_systemd.GetUnit(unit)->unitFileState, "enabled");
    EXPECT_EQ(m_systemd.GetUnit(unit)->activeState, "inactive");

    // An enabled unit is not enabled again.
    ASSERT_TRUE(watcher->Start(L"Quorix MXR Gateway"));
    ASSERT_TRUE(watcher->Stop(L"Quorix MXR Gateway"));
    EXPECT_EQ(m_systemd.EnableRequests().size(), 2u);
    watcher->RemoveListener(&m_listener, kServiceStateCheckEvent);
}

TEST_F(ServiceStateCheckTest, AStartRightAfterAStopLeavesTheServiceRunning)
{
    const std::string unit = "quorix-gateway.service";
    auto watcher = Watch(L"Quorix MXR Gateway");
    // systemd has queued the stop and not begun it: the unit still reads active.
    m_systemd.HoldJobs(true);
    ASSERT_TRUE(watcher->Stop(L"Quorix MXR Gateway"));
    EXPECT_EQ(m_systemd.GetUnit(unit)->activeState, "active");
    ASSERT_TRUE(watcher->Start(L"Quorix MXR Gateway"));
    m_systemd.RunJobs();
    EXPECT_EQ(m_systemd.GetUnit(unit)->activeState, "active");
    EXPECT_EQ(m_systemd.JobsRun(), (std::vector<std::string>{"RestartUnit " + unit}));

    // systemd has begun the stop.
    ASSERT_TRUE(watcher->Stop(L"Quorix MXR Gateway"));
    m_systemd.SetActiveState(unit, "deactivating");
    ASSERT_TRUE(watcher->Start(L"Quorix MXR Gateway"));
    m_systemd.RunJobs();
    EXPECT_EQ(m_systemd.GetUnit(unit)->activeState, "active");
    EXPECT_EQ(m_systemd.JobsRun().back(), "RestartUnit " + unit);

    // The stop has ended before the start: a plain start.
    ASSERT_TRUE(watcher->Stop(L"Quorix MXR Gateway"));
    m_systemd.RunJobs();
    ASSERT_TRUE(watcher->Start(L"Quorix MXR Gateway"));
    m_systemd.RunJobs();
    EXPECT_EQ(m_systemd.GetUnit(unit)->activeState, "active");
    EXPECT_EQ(m_systemd.JobsRun().size(), 4u);
    EXPECT_EQ(m_systemd.JobsRun().back(), "StartUnit " + unit);

    // Only the start right after a stop restarts: a later start on the running unit sends
    // nothing.
    ASSERT_TRUE(watcher->Start(L"Quorix MXR Gateway"));
    m_systemd.RunJobs();
    EXPECT_EQ(m_systemd.JobsRun().size(), 4u);

    // A stop that someone else asked for is under way: the start still leaves it running.
    m_systemd.SetActiveState(unit, "deactivating");
    ASSERT_TRUE(watcher->Start(L"Quorix MXR Gateway"));
    m_systemd.RunJobs();
    EXPECT_EQ(m_systemd.GetUnit(unit)->activeState, "active");
    EXPECT_EQ(m_systemd.JobsRun().back(), "RestartUnit " + unit);
    watcher->RemoveListener(&m_listener, kServiceStateCheckEvent);
}

TEST_F(ServiceStateCheckTest, ARefusedRequestAnswersFalse)
{
    m_systemd.AddUnit(
        {"quorix-gateway.service", "Quorix MXR Gateway", "inactive", "running", "enabled"});
    m_systemd.SetRefuse(true);
    auto watcher = Watch(L"Quorix MXR Gateway");
    EXPECT_FALSE(watcher->Start(L"Quorix MXR Gateway"));
    EXPECT_NE(watcher->LastError().find("Access denied"), std::string::npos)
        << watcher->LastError();
    EXPECT_EQ(m_systemd.GetUnit("quorix-gateway.service")->activeState, "inactive");
    watcher->RemoveListener(&m_listener, kServiceStateCheckEvent);
}

TEST_F(ServiceStateCheckTest, AUnitThatDisappearsGivesNoMoreEvents)
{
    auto watcher = Watch(L"Quorix MXR Gateway");
    watcher->Poll();
    ASSERT_EQ(m_listener.states.size(), 1u);
    m_systemd.RemoveUnit("quorix-gateway.service");
    for (int i = 0; i < 5; ++i)
        watcher->Poll();
    EXPECT_EQ(m_listener.states.size(), 1u);
    // While it is missing it is not looked for on every poll.
    EXPECT_LE(m_systemd.Calls("ListUnits"), 2);
    watcher->RemoveListener(&m_listener, kServiceStateCheckEvent);
}

TEST(PrivateBus, EndsWithTheProcessThatStartedIt)
{
    // The stand-in program starts a private bus and runs until it is stopped. Killed here as
    // a crashed or timed-out test would be, it must not leave its bus daemon behind.
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    char program[] = RZ_SYSTEMD_STANDIN_PATH;
    char* argv[] = {program, nullptr};
    pid_t owner = -1;
    const int spawned = ::posix_spawn(&owner, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ASSERT_EQ(spawned, 0);
    // Whatever happens below, the program ends with the test (our own child, by its id).
    struct CEndOwner
    {
        pid_t& pid;
        ~CEndOwner()
        {
            if (pid > 0 && ::kill(pid, SIGKILL) == 0)
                ::waitpid(pid, nullptr, 0);
        }
    } endOwner{owner};

    std::string address;
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n')
        address.push_back(c);
    ::close(out[0]);
    ASSERT_EQ(address.rfind("unix:path=", 0), 0u) << address;
    const std::string socket = address.substr(10, address.find(',') - 10);

    // Its dbus-daemon, among its children and grandchildren.
    pid_t daemon = -1;
    for (pid_t child : Children(owner))
    {
        std::vector<pid_t> candidates = Children(child);
        candidates.push_back(child);
        for (pid_t pid : candidates)
        {
            std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
            std::string name;
            if (std::getline(comm, name) && name == "dbus-daemon")
                daemon = pid;
        }
    }
    if (daemon <= 0)
        GTEST_SKIP() << "the kernel does not list a process's children here";

    ASSERT_EQ(::kill(owner, SIGKILL), 0);
    ASSERT_EQ(::waitpid(owner, nullptr, 0), owner);
    owner = -1;
    // The daemon ends, and the bus's folder goes with it.
    const std::filesystem::path folder = std::filesystem::path(socket).parent_path();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((Runs(daemon) || std::filesystem::exists(folder)) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(Runs(daemon)) << "dbus-daemon " << daemon << " outlived the program";
    EXPECT_FALSE(std::filesystem::exists(folder)) << folder;
    if (Runs(daemon))
        ::kill(daemon, SIGKILL); // the daemon that this test had started, by its id
    std::error_code error;
    std::filesystem::remove_all(folder, error);
}

namespace
{

// Collects what a watch reports, from the watch's thread.
class CWatchListener : public CListenerBase
{
public:
    void OnEvent(CEventBase* event) override
    {
        std::lock_guard lock(m_mutex);
        m_states.push_back(static_cast<ServiceStateCheckEvent*>(event)->state);
        m_changed.notify_all();
    }
    // Waits up to some seconds for the last report to be state.
    bool WaitFor(uint32_t state, std::chrono::seconds within = std::chrono::seconds(5))
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, within,
                                  [&] { return !m_states.empty() && m_states.back() == state; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<uint32_t> m_states;
};

} // namespace

TEST_F(ServiceStateCheckTest, TheWatchFollowsChangeSignalsAndCarriesRequestsOut)
{
    // A safety read only once a minute: every change below reaches the watch by its signal.
    CWatchListener listener;
    auto watch = std::make_unique<CServiceWatch>(L"Quorix MXR Gateway", std::chrono::minutes(1));
    watch->AddListener(&listener, kServiceStateCheckEvent);
    ASSERT_TRUE(listener.WaitFor(ServiceStateCheck::kRunning));
    EXPECT_GE(m_systemd.Calls("Subscribe"), 1);
    const int reads = m_systemd.Calls("Get");
    for (int i = 0; i < 3; ++i)
    {
        m_systemd.SetActiveState("quorix-gateway.service", "inactive");
        ASSERT_TRUE(listener.WaitFor(ServiceStateCheck::kStopped)) << i;
        m_systemd.SetActiveState("quorix-gateway.service", "active");
        ASSERT_TRUE(listener.WaitFor(ServiceStateCheck::kRunning)) << i;
    }
    // A few reads per change, none in between.
    EXPECT_LE(m_systemd.Calls("Get") - reads, 6 * 3);

    // Requests are carried out in order on the watch's thread.
    watch->Stop();
    ASSERT_TRUE(listener.WaitFor(ServiceStateCheck::kStopped));
    EXPECT_EQ(m_systemd.GetUnit("quorix-gateway.service")->activeState, "inactive");
    watch->Start();
    ASSERT_TRUE(listener.WaitFor(ServiceStateCheck::kRunning));

    // A manager that does not answer gives an unknown state, not a stopped one.
    m_systemd.Freeze(true);
    m_systemd.SetActiveState("quorix-gateway.service", "inactive");
    watch->Stop();
    // (Each unanswered call waits its two seconds; a busy machine adds to that.)
    EXPECT_TRUE(listener.WaitFor(CServiceWatch::kUnknown, std::chrono::seconds(20)));
    m_systemd.Freeze(false);
    EXPECT_TRUE(listener.WaitFor(ServiceStateCheck::kStopped));
    watch->RemoveListener(&listener, kServiceStateCheckEvent);

    // A name that no unit has is reported once as not installed.
    CWatchListener missing;
    CServiceWatch other(L"No Such Gateway", std::chrono::minutes(1));
    other.AddListener(&missing, kServiceStateCheckEvent);
    EXPECT_TRUE(missing.WaitFor(CServiceWatch::kNotInstalled));
    other.RemoveListener(&missing, kServiceStateCheckEvent);
}

TEST_F(ServiceStateCheckTest, AListenerThatComesAfterTheFirstReportGetsTheState)
{
    // The watch's thread may report before anyone listens (the window adds itself after
    // making the watch); with a safety read once a minute and no change, nothing else
    // would tell a late listener the state.
    CServiceWatch watch(L"Quorix MXR Gateway", std::chrono::minutes(1));
    CWatchListener first;
    watch.AddListener(&first, kServiceStateCheckEvent);
    ASSERT_TRUE(first.WaitFor(ServiceStateCheck::kRunning));
    CWatchListener late;
    watch.AddListener(&late, kServiceStateCheckEvent);
    EXPECT_TRUE(late.WaitFor(ServiceStateCheck::kRunning, std::chrono::seconds(1)));
    watch.RemoveListener(&first, kServiceStateCheckEvent);
    watch.RemoveListener(&late, kServiceStateCheckEvent);
}
