#include "service/ServiceStateCheck.h"

#include "config/SystemLog.h"
#include "events/Events.h"
#include "platform/FileIO.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <systemd/sd-bus.h>
#include <utility>

namespace
{

constexpr const char* kDestination = "org.freedesktop.systemd1";
constexpr const char* kManagerPath = "/org/freedesktop/systemd1";
constexpr const char* kManager = "org.freedesktop.systemd1.Manager";
constexpr const char* kUnit = "org.freedesktop.systemd1.Unit";
constexpr auto kLookupInterval = std::chrono::seconds(1);
constexpr uint64_t kReadTimeoutUsec = 2'000'000;
// Requests may wait for the user to authorise them.
constexpr uint64_t kRequestTimeoutUsec = 120'000'000;

// Frees sd-bus objects at the end of a scope.
struct CBusError
{
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~CBusError() { sd_bus_error_free(&error); }
};

struct CBusMessage
{
    sd_bus_message* message = nullptr;
    ~CBusMessage() { sd_bus_message_unref(message); }
};

// A unit's name without ".service", for matching a configured name written without it.
std::string WithoutServiceSuffix(const std::string& id)
{
    constexpr std::string_view suffix = ".service";
    if (id.size() > suffix.size() &&
        id.compare(id.size() - suffix.size(), suffix.size(), suffix) == 0)
        return id.substr(0, id.size() - suffix.size());
    return id;
}

bool Matches(const std::string& wanted, const std::string& id, const std::string& description)
{
    return rz::EqualsNoCase(wanted, id) || rz::EqualsNoCase(wanted, WithoutServiceSuffix(id)) ||
           (!description.empty() && rz::EqualsNoCase(wanted, description));
}

} // namespace

std::wstring ConfiguredServiceName(const std::string& toolDir)
{
    const std::string ini = rz::FindFileNoCase(toolDir, "MXRServiceDog.ini")
                                .value_or(rz::JoinPath(toolDir, "MXRServiceDog.ini"));
    return rz::GetPrivateProfileString(L"Settings", L"ServiceName", L"Quorix MXR Gateway", ini,
                                       256);
}

ServiceStateCheck::ServiceStateCheck(std::wstring serviceName) : m_name(std::move(serviceName)) {}

ServiceStateCheck::~ServiceStateCheck()
{
    sd_bus_slot_unref(m_changeSlot);
    if (m_bus != nullptr)
        sd_bus_flush_close_unref(m_bus);
}

sd_bus* ServiceStateCheck::Bus()
{
    if (m_bus != nullptr && sd_bus_is_open(m_bus) > 0)
        return m_bus;
    if (m_bus != nullptr)
    {
        sd_bus_unref(m_bus);
        m_bus = nullptr;
    }
    const char* which = std::getenv("RAVIRAZAZU_SERVICE_BUS");
    const bool user = which != nullptr && std::strcmp(which, "user") == 0;
    int result = 0;
    if (user)
    {
        // The user's bus, as DBUS_SESSION_BUS_ADDRESS names it when set.
        const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        if (address != nullptr && *address != '\0')
        {
            result = sd_bus_new(&m_bus);
            if (result >= 0)
                result = sd_bus_set_address(m_bus, address);
            if (result >= 0)
                result = sd_bus_set_bus_client(m_bus, 1);
            if (result >= 0)
                result = sd_bus_start(m_bus);
        }
        else
        {
            result = sd_bus_open_user(&m_bus);
        }
    }
    else
    {
        result = sd_bus_open_system(&m_bus);
    }
    if (result < 0)
    {
        Fail("cannot reach the service manager's bus", result, nullptr);
        sd_bus_unref(m_bus);
        m_bus = nullptr;
        return nullptr;
    }
    // Let systemd ask for a password (polkit) when the user lacks the rights.
    sd_bus_set_allow_interactive_authorization(m_bus, 1);
    // Polls run on the window's thread: a manager that does not answer must not freeze it.
    sd_bus_set_method_call_timeout(m_bus, kReadTimeoutUsec);
    return m_bus;
}

void ServiceStateCheck::Fail(const std::string& what, int error, const char* detail)
{
    m_lastError = what;
    if (detail != nullptr && *detail != '\0')
        m_lastError += std::string(": ") + detail;
    else if (error < 0)
        m_lastError += std::string(": ") + std::strerror(-error);
    RUROR::CSystemLog::GetInstance()->WriteLog(L"ServiceStateCheck", gLOG_LEVEL, L"%ls",
                                               rz::Utf8ToWide(m_lastError).c_str());
}

std::string ServiceStateCheck::Resolve(const std::wstring& name)
{
    if (!m_unitPath.empty() && m_resolvedFor == name)
        return m_unitPath;
    m_unitPath.clear();
    m_unitId.clear();
    m_resolvedFor = name;
    sd_bus* bus = Bus();
    if (bus == nullptr)
        m_unreachable = true;
    if (bus == nullptr || name.empty())
        return {};
    const std::string wanted = rz::WideToUtf8(name);

    // A unit name given exactly: ask systemd to load it.
    const auto tryLoad = [&](const std::string& unit)
    {
        CBusError error;
        CBusMessage reply;
        const char* path = nullptr;
        const int loaded = sd_bus_call_method(bus, kDestination, kManagerPath, kManager, "LoadUnit",
                                              &error.error, &reply.message, "s", unit.c_str());
        NoteFailure(loaded);
        if (loaded < 0 || sd_bus_message_read(reply.message, "o", &path) < 0)
            return false;
        char* loadState = nullptr;
        CBusError propertyError;
        const int read = sd_bus_get_property_string(bus, kDestination, path, kUnit, "LoadState",
                                                    &propertyError.error, &loadState);
        NoteFailure(read);
        if (read < 0)
            return false;
        const bool found = std::strcmp(loadState, "not-found") != 0;
        std::free(loadState);
        if (found)
        {
            m_unitPath = path;
            m_unitId = unit;
        }
        return found;
    };
    if (wanted.find(' ') == std::string::npos &&
        (tryLoad(wanted) ||
         (wanted.find('.') == std::string::npos && tryLoad(wanted + ".service"))))
        return m_unitPath;

    // A display name, or a name in another case: among the loaded units.
    {
        CBusError error;
        CBusMessage reply;
        const int listed = sd_bus_call_method(bus, kDestination, kManagerPath, kManager,
                                              "ListUnits", &error.error, &reply.message, "");
        if (listed < 0)
        {
            NoteFailure(listed);
            Fail("cannot list the units", listed, error.error.message);
            return {};
        }
        if (sd_bus_message_enter_container(reply.message, 'a', "(ssssssouso)") >= 0)
        {
            const char *id, *description, *load, *active, *sub, *following, *path, *jobType,
                *jobPath;
            uint32_t jobId = 0;
            while (sd_bus_message_read(reply.message, "(ssssssouso)", &id, &description, &load,
                                       &active, &sub, &following, &path, &jobId, &jobType,
                                       &jobPath) > 0)
            {
                if (m_unitPath.empty() && Matches(wanted, id, description))
                {
                    m_unitPath = path;
                    m_unitId = id;
                }
            }
        }
        if (!m_unitPath.empty())
            return m_unitPath;
    }

    // A unit that is installed but not loaded now: among the unit files, by name.
    CBusError error;
    CBusMessage reply;
    const int files = sd_bus_call_method(bus, kDestination, kManagerPath, kManager, "ListUnitFiles",
                                         &error.error, &reply.message, "");
    NoteFailure(files);
    if (files < 0 || sd_bus_message_enter_container(reply.message, 'a', "(ss)") < 0)
        return {};
    const char *file, *state;
    std::string match;
    while (sd_bus_message_read(reply.message, "(ss)", &file, &state) > 0)
    {
        const char* slash = std::strrchr(file, '/');
        const std::string unit = slash != nullptr ? slash + 1 : file;
        if (match.empty() && Matches(wanted, unit, {}))
            match = unit;
    }
    if (!match.empty())
        tryLoad(match);
    return m_unitPath;
}

int ServiceStateCheck::ReadProperty(const std::string& property, std::string& value)
{
    CBusError error;
    char* text = nullptr;
    if (m_bus == nullptr)
        return -ENOTCONN;
    const int result = sd_bus_get_property_string(m_bus, kDestination, m_unitPath.c_str(), kUnit,
                                                  property.c_str(), &error.error, &text);
    if (result < 0)
    {
        NoteFailure(result);
        return result;
    }
    value = text;
    std::free(text);
    return 0;
}

void ServiceStateCheck::NoteFailure(int result)
{
    // No answer in time, or no connection: the manager may be there but cannot be asked.
    if (result == -ETIMEDOUT || result == -ENOTCONN || result == -ECONNRESET || result == -EPIPE ||
        result == -ENOBUFS)
        m_unreachable = true;
}

bool ServiceStateCheck::ReadState(uint32_t& state)
{
    std::string active;
    std::string freezer;
    std::string load;
    bool gone = ReadProperty("ActiveState", active) != 0;
    if (gone && m_unreachable)
        return false; // not answered: the unit is kept for the next try
    if (!gone && active == "active")
        ReadProperty("FreezerState", freezer); // older systemd has none: not frozen
    // An inactive unit may be one whose file was removed.
    if (!gone && active == "inactive")
        gone = ReadProperty("LoadState", load) == 0 && load == "not-found";
    if (gone)
    {
        m_unitPath.clear();
        m_unitId.clear();
        m_nextLookup = std::chrono::steady_clock::now() + kLookupInterval;
        return false;
    }
    state = StateFromSystemd(active, freezer);
    return true;
}

bool ServiceStateCheck::Poll()
{
    if (m_name.empty())
        return false;
    if (m_unitPath.empty() && std::chrono::steady_clock::now() < m_nextLookup)
        return true; // missing a moment ago: look again later, not on every poll
    if (Resolve(m_name).empty())
    {
        m_nextLookup = std::chrono::steady_clock::now() + kLookupInterval;
        return true;
    }
    uint32_t state = 0;
    if (ReadState(state))
    {
        ServiceStateCheckEvent event(state);
        Notify(&event);
    }
    return true;
}

bool ServiceStateCheck::IsInstalled(const std::wstring& name)
{
    return !name.empty() && !Resolve(name).empty();
}

bool ServiceStateCheck::EnsureEnabled()
{
    std::string fileState;
    if (ReadProperty("UnitFileState", fileState) == 0 &&
        (fileState == "enabled" || fileState == "enabled-runtime" || fileState == "static" ||
         fileState == "alias" || fileState == "indirect" || fileState == "generated"))
        return true;
    CBusError error;
    CBusMessage request;
    CBusMessage reply;
    const char* units[] = {m_unitId.c_str(), nullptr};
    int result = sd_bus_message_new_method_call(m_bus, &request.message, kDestination, kManagerPath,
                                                kManager, "EnableUnitFiles");
    if (result >= 0)
        result = sd_bus_message_append_strv(request.message, const_cast<char**>(units));
    if (result >= 0)
        result = sd_bus_message_append(request.message, "bb", 0, 0);
    if (result >= 0)
        result =
            sd_bus_call(m_bus, request.message, kRequestTimeoutUsec, &error.error, &reply.message);
    if (result < 0)
    {
        Fail("cannot enable " + m_unitId, result, error.error.message);
        return false;
    }
    return true;
}

bool ServiceStateCheck::CallUnitMethod(const char* method)
{
    CBusError error;
    CBusMessage request;
    CBusMessage reply;
    int result = sd_bus_message_new_method_call(m_bus, &request.message, kDestination, kManagerPath,
                                                kManager, method);
    if (result >= 0)
        result = sd_bus_message_append(request.message, "ss", m_unitId.c_str(), "replace");
    if (result >= 0)
        result =
            sd_bus_call(m_bus, request.message, kRequestTimeoutUsec, &error.error, &reply.message);
    if (result < 0)
    {
        Fail(std::string(method) + " " + m_unitId + " was refused", result, error.error.message);
        return false;
    }
    return true;
}

bool ServiceStateCheck::Start(const std::wstring& name)
{
    m_name = name;
    uint32_t state = 0;
    if (Resolve(name).empty() || !ReadState(state))
        return true; // nothing matches: nothing to do
    const bool stopAsked = std::exchange(m_stopRequested, false);
    if (state == kStopping || (stopAsked && state == kRunning))
    {
        // A stop has not finished: systemd may not even have begun the one we asked for, and
        // the unit still reads active. Doing nothing would leave the service stopped once the
        // stop ends, so ask for the rest of the stop and the start as one restart. A stop in
        // progress that someone else asked for is no different.
        return EnsureEnabled() && CallUnitMethod("RestartUnit");
    }
    if (state == kRunning)
    {
        ServiceStateCheckEvent event(state);
        Notify(&event);
        return true;
    }
    if (state == kStopped || state == kPaused)
        return EnsureEnabled() && CallUnitMethod("StartUnit");
    return true;
}

bool ServiceStateCheck::Stop(const std::wstring& name)
{
    m_name = name;
    uint32_t state = 0;
    if (Resolve(name).empty() || !ReadState(state))
        return true;
    if (state == kRunning)
    {
        const bool asked = EnsureEnabled() && CallUnitMethod("StopUnit");
        m_stopRequested = asked;
        return asked;
    }
    if (state == kStopped || state == kPaused)
    {
        ServiceStateCheckEvent event(state);
        Notify(&event);
    }
    return true;
}

bool ServiceStateCheck::Restart(const std::wstring& name)
{
    m_name = name;
    uint32_t state = 0;
    if (Resolve(name).empty() || !ReadState(state))
        return true;
    m_stopRequested = false;
    return EnsureEnabled() && CallUnitMethod(state == kRunning ? "RestartUnit" : "StartUnit");
}

std::optional<ServiceStateCheck::Details> ServiceStateCheck::Describe(const std::wstring& name)
{
    uint32_t state = 0;
    if (Resolve(name).empty() || !ReadState(state))
        return std::nullopt;
    Details details;
    details.unit = m_unitId;
    details.state = state;
    ReadProperty("Description", details.description);
    ReadProperty("ActiveState", details.activeState);
    ReadProperty("UnitFileState", details.unitFileState);
    return details;
}

uint32_t ServiceStateCheck::StateFromSystemd(const std::string& activeState,
                                             const std::string& freezerState)
{
    if (activeState == "active")
        return freezerState == "frozen" ? kPaused : kRunning;
    if (activeState == "activating")
        return kStarting;
    if (activeState == "deactivating")
        return kStopping;
    if (activeState == "reloading" || activeState == "refreshing")
        return kReloading;
    return kStopped; // inactive, failed, maintenance
}

const char* ServiceStateCheck::StateName(uint32_t state)
{
    switch (state)
    {
    case kStopped:
        return "stopped";
    case kStarting:
        return "starting";
    case kStopping:
        return "stopping";
    case kRunning:
        return "running";
    case kReloading:
        return "reloading";
    case 6:
        return "pausing";
    case kPaused:
        return "paused";
    default:
        return "unknown";
    }
}

// The handler of the unit's change signals: notes that something changed, for ProcessBus.
struct CChangeSignal
{
    static int On(sd_bus_message*, void* self, sd_bus_error*)
    {
        static_cast<ServiceStateCheck*>(self)->m_changed = true;
        return 0;
    }
};

ServiceStateCheck::Reading ServiceStateCheck::Read(uint32_t& state)
{
    m_unreachable = false;
    if (m_name.empty())
        return Reading::NotInstalled;
    if (!Resolve(m_name).empty() && ReadState(state))
        return Reading::Found;
    return m_unreachable ? Reading::Unreadable : Reading::NotInstalled;
}

bool ServiceStateCheck::SubscribeChanges()
{
    if (m_bus == nullptr || m_unitPath.empty())
        return false;
    if (m_changeSlot != nullptr && m_subscribedPath == m_unitPath)
        return true;
    m_changeSlot = sd_bus_slot_unref(m_changeSlot);
    // systemd sends its signals only while some client has subscribed.
    CBusError error;
    const int subscribed = sd_bus_call_method(m_bus, kDestination, kManagerPath, kManager,
                                              "Subscribe", &error.error, nullptr, "");
    NoteFailure(subscribed);
    if (sd_bus_match_signal(m_bus, &m_changeSlot, nullptr, m_unitPath.c_str(),
                            "org.freedesktop.DBus.Properties", "PropertiesChanged",
                            &CChangeSignal::On, this) < 0)
    {
        m_changeSlot = nullptr;
        return false;
    }
    m_subscribedPath = m_unitPath;
    return subscribed >= 0;
}

int ServiceStateCheck::BusFd() const
{
    return m_bus != nullptr ? sd_bus_get_fd(m_bus) : -1;
}

short ServiceStateCheck::BusEvents() const
{
    const int events = m_bus != nullptr ? sd_bus_get_events(m_bus) : 0;
    return static_cast<short>(events > 0 ? events : 0);
}

uint64_t ServiceStateCheck::BusTimeoutUsec() const
{
    uint64_t timeout = UINT64_MAX;
    if (m_bus != nullptr && sd_bus_get_timeout(m_bus, &timeout) < 0)
        timeout = UINT64_MAX;
    return timeout;
}

bool ServiceStateCheck::ProcessBus()
{
    if (m_bus == nullptr)
        return false;
    while (sd_bus_process(m_bus, nullptr) > 0)
    {
    }
    return std::exchange(m_changed, false);
}
