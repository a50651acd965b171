#include "PrivateBus.h"
#include "SystemdStandIn.h"
#include "TestSupport.h"
#include "events/Events.h"
#include "events/ListenerBase.h"
#include "service/ServiceStateCheck.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace
{

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
    m_systemd.SetActiveState("quorix-gateway.service", "activating");
    watcher->Poll();
    m_systemd.SetActiveState("quorix-gateway.service", "deactivating");
    watcher->Poll();
    m_systemd.SetActiveState("quorix-gateway.service", "failed");
    watcher->Poll();
    EXPECT_EQ(std::vector<uint32_t>(m_listener.states.end() - 3, m_listener.states.end()),
              (std::vector<uint32_t>{2, 3, 1}));
    watcher->RemoveListener(&m_listener, kServiceStateCheckEvent);
}

TEST_F(ServiceStateCheckTest, StartAndStopAskOnlyWhenNeededAndLeaveTheUnitEnabled)
{
    auto watcher = Watch(L"Quorix MXR Gateway");
    // Start on a running unit sends nothing and reports 4 at once.
    ASSERT_TRUE(watcher->Start(L"Quorix MXR Gateway"));
    EXPECT_EQ(m_systemd.Calls("StartUnit"), 0);
    EXPECT_EQ(m_listener.states, (std::vector<uint32_t>{4}));

    ASSERT_TRUE(watcher->Stop(L"Quorix MXR Gateway"));
    EXPECT_EQ(m_systemd.Calls("StopUnit"), 1);
    EXPECT_EQ(m_systemd.GetUnit("quorix-gateway.service")->activeState, "inactive");
    EXPECT_EQ(m_systemd.GetUnit("quorix-gateway.service")->unitFileState, "enabled");

    // Stop on a stopped unit reports 1 and sends nothing.
    m_listener.states.clear();
    ASSERT_TRUE(watcher->Stop(L"Quorix MXR Gateway"));
    EXPECT_EQ(m_systemd.Calls("StopUnit"), 1);
    EXPECT_EQ(m_listener.states, (std::vector<uint32_t>{1}));

    // A disabled unit is enabled by a start (and a stop never disables it).
    m_systemd.AddUnit(
        {"quorix-gateway.service", "Quorix MXR Gateway", "inactive", "running", "disabled"});
    ASSERT_TRUE(watcher->Start(L"Quorix MXR Gateway"));
    EXPECT_EQ(m_systemd.Calls("EnableUnitFiles"), 1);
    EXPECT_EQ(m_systemd.GetUnit("quorix-gateway.service")->unitFileState, "enabled");
    EXPECT_EQ(m_systemd.GetUnit("quorix-gateway.service")->activeState, "active");

    // A paused (frozen) unit is started, not thawed.
    m_systemd.AddUnit(
        {"quorix-gateway.service", "Quorix MXR Gateway", "active", "frozen", "enabled"});
    m_listener.states.clear();
    watcher->Poll();
    EXPECT_EQ(m_listener.states, (std::vector<uint32_t>{7}));
    ASSERT_TRUE(watcher->Start(L"Quorix MXR Gateway"));
    EXPECT_EQ(m_systemd.Calls("StartUnit"), 2);

    // Stop, then start before the stop has finished: one restart job.
    ASSERT_TRUE(watcher->Stop(L"Quorix MXR Gateway"));
    m_systemd.SetActiveState("quorix-gateway.service", "deactivating");
    ASSERT_TRUE(watcher->Start(L"Quorix MXR Gateway"));
    EXPECT_EQ(m_systemd.Calls("RestartUnit"), 1);
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
