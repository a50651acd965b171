#include "SystemdStandIn.h"

#include <algorithm>
#include <cstring>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace
{

constexpr const char* kManagerPath = "/org/freedesktop/systemd1";
constexpr const char* kUnitPrefix = "/org/freedesktop/systemd1/unit";

std::string UnitPath(const std::string& id)
{
    char* path = nullptr;
    if (sd_bus_path_encode(kUnitPrefix, id.c_str(), &path) < 0)
        return {};
    std::string result = path;
    std::free(path);
    return result;
}

// Unit names as systemd takes them: no spaces or slashes, and a type suffix.
bool ValidUnitName(const std::string& name)
{
    return !name.empty() && name.find_first_of(" /") == std::string::npos &&
           name.find('.') != std::string::npos;
}

} // namespace

CSystemdStandIn::CSystemdStandIn() = default;

CSystemdStandIn::~CSystemdStandIn()
{
    m_stop = true;
    m_wake.Wake();
    if (m_thread.joinable())
        m_thread.join();
    if (m_bus != nullptr)
        sd_bus_flush_close_unref(m_bus);
}

bool CSystemdStandIn::Start(const std::string& busAddress)
{
    if (sd_bus_new(&m_bus) < 0 || sd_bus_set_address(m_bus, busAddress.c_str()) < 0 ||
        sd_bus_set_bus_client(m_bus, 1) < 0 || sd_bus_start(m_bus) < 0)
        return false;
    if (sd_bus_add_fallback(m_bus, nullptr, kManagerPath, &CSystemdStandIn::OnMessage, this) < 0)
        return false;
    if (sd_bus_request_name(m_bus, "org.freedesktop.systemd1", 0) < 0)
        return false;
    if (m_wake.Fd() < 0)
        return false;
    m_thread = std::thread([this] { Serve(); });
    return true;
}

void CSystemdStandIn::Serve()
{
    while (!m_stop)
    {
        m_wake.Clear();
        if (!m_frozen)
        {
            int result = 0;
            while ((result = sd_bus_process(m_bus, nullptr)) > 0)
            {
            }
            if (result < 0)
                return;
            AnnounceChanges();
            sd_bus_flush(m_bus);
        }
        if (m_stop)
            return; // its wake-up may have been cleared above
        // Waits for the bus or for a wake-up (a change to announce, the destructor); no busy
        // loop. While frozen only a wake-up counts.
        pollfd fds[2] = {{sd_bus_get_fd(m_bus), static_cast<short>(sd_bus_get_events(m_bus)), 0},
                         {m_wake.Fd(), POLLIN, 0}};
        if (m_frozen)
            ::poll(fds + 1, 1, -1);
        else
            ::poll(fds, 2, -1);
    }
}

void CSystemdStandIn::AnnounceChanges()
{
    std::vector<std::pair<std::string, Unit>> changed;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [id, unit] : m_units)
        {
            const std::string state = unit.activeState + "/" + unit.freezerState;
            auto [it, added] = m_announced.try_emplace(id, state);
            if (!added && it->second == state)
                continue;
            it->second = state;
            if (!added)
            {
                changed.emplace_back(id, unit);
                ++m_signals[id];
            }
        }
    }
    // As systemd does: a PropertiesChanged of the unit's interface on the unit's object.
    for (const auto& [id, unit] : changed)
    {
        sd_bus_message* signal = nullptr;
        if (sd_bus_message_new_signal(m_bus, &signal, UnitPath(id).c_str(),
                                      "org.freedesktop.DBus.Properties", "PropertiesChanged") < 0)
            continue;
        sd_bus_message_append(signal, "s", "org.freedesktop.systemd1.Unit");
        sd_bus_message_open_container(signal, 'a', "{sv}");
        sd_bus_message_append(signal, "{sv}", "ActiveState", "s", unit.activeState.c_str());
        sd_bus_message_append(signal, "{sv}", "FreezerState", "s", unit.freezerState.c_str());
        sd_bus_message_close_container(signal);
        sd_bus_message_append_strv(signal, nullptr);
        sd_bus_send(m_bus, signal, nullptr);
        sd_bus_message_unref(signal);
    }
}

void CSystemdStandIn::Freeze(bool frozen)
{
    m_frozen = frozen;
    m_wake.Wake();
}

int CSystemdStandIn::SignalsSent(const std::string& id) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_signals.find(id);
    return it != m_signals.end() ? it->second : 0;
}

int CSystemdStandIn::OnMessage(sd_bus_message* message, void* self, sd_bus_error* error)
{
    return static_cast<CSystemdStandIn*>(self)->Handle(message, error);
}

int CSystemdStandIn::Handle(sd_bus_message* message, sd_bus_error* error)
{
    const char* path = sd_bus_message_get_path(message);
    const char* interface = sd_bus_message_get_interface(message);
    const char* member = sd_bus_message_get_member(message);
    if (path == nullptr || member == nullptr)
        return 0;
    if (std::strcmp(path, kManagerPath) == 0 && interface != nullptr &&
        std::strcmp(interface, "org.freedesktop.systemd1.Manager") == 0)
        return HandleManager(message, member, error);
    if (std::strncmp(path, kUnitPrefix, std::strlen(kUnitPrefix)) == 0 && interface != nullptr &&
        std::strcmp(interface, "org.freedesktop.DBus.Properties") == 0 &&
        std::strcmp(member, "Get") == 0)
        return HandleUnit(message, path, error);
    return 0; // sd-bus answers with an unknown-method error
}

int CSystemdStandIn::HandleManager(sd_bus_message* message, const std::string& member,
                                   sd_bus_error* error)
{
    std::unique_lock lock(m_mutex);
    ++m_calls[member];
    if (member == "GetUnit" || member == "LoadUnit")
    {
        const char* name = nullptr;
        if (sd_bus_message_read(message, "s", &name) < 0)
            return -EINVAL;
        if (!ValidUnitName(name))
            return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "Unit name %s is not valid.",
                                     name);
        if (member == "GetUnit" && m_units.count(name) == 0)
            return sd_bus_error_setf(error, "org.freedesktop.systemd1.NoSuchUnit",
                                     "Unit %s not loaded.", name);
        // Like systemd, LoadUnit gives an object even for a unit that has no file.
        return sd_bus_reply_method_return(message, "o", UnitPath(name).c_str());
    }
    if (member == "Subscribe" || member == "Unsubscribe")
        return sd_bus_reply_method_return(message, "");
    if (member == "ListUnits")
    {
        sd_bus_message* reply = nullptr;
        sd_bus_message_new_method_return(message, &reply);
        sd_bus_message_open_container(reply, 'a', "(ssssssouso)");
        for (const auto& [id, unit] : m_units)
            sd_bus_message_append(reply, "(ssssssouso)", id.c_str(), unit.description.c_str(),
                                  "loaded", unit.activeState.c_str(),
                                  unit.activeState == "active" ? "running" : "dead", "",
                                  UnitPath(id).c_str(), 0u, "", "/");
        sd_bus_message_close_container(reply);
        const int result = sd_bus_send(nullptr, reply, nullptr);
        sd_bus_message_unref(reply);
        return result;
    }
    if (member == "ListUnitFiles")
    {
        sd_bus_message* reply = nullptr;
        sd_bus_message_new_method_return(message, &reply);
        sd_bus_message_open_container(reply, 'a', "(ss)");
        for (const auto& [id, unit] : m_units)
            sd_bus_message_append(reply, "(ss)", ("/etc/systemd/system/" + id).c_str(),
                                  unit.unitFileState.c_str());
        sd_bus_message_close_container(reply);
        const int result = sd_bus_send(nullptr, reply, nullptr);
        sd_bus_message_unref(reply);
        return result;
    }
    if (member == "StartUnit" || member == "StopUnit" || member == "RestartUnit")
    {
        const char* name = nullptr;
        const char* mode = nullptr;
        if (sd_bus_message_read(message, "ss", &name, &mode) < 0)
            return -EINVAL;
        if (m_refuse)
            return sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "Access denied");
        const auto it = m_units.find(name);
        if (it == m_units.end())
            return sd_bus_error_setf(error, "org.freedesktop.systemd1.NoSuchUnit",
                                     "Unit %s not found.", name);
        if (!m_hold)
        {
            RunJob(member, name);
        }
        else
        {
            const auto waiting = std::find_if(m_queued.begin(), m_queued.end(),
                                              [&](const Job& job) { return job.unit == name; });
            if (waiting == m_queued.end())
                m_queued.push_back({member, name});
            else if (!(waiting->method == "RestartUnit" && member == "StartUnit"))
                waiting->method = member;
        }
        const std::string job = "/org/freedesktop/systemd1/job/" + std::to_string(++m_jobs);
        return sd_bus_reply_method_return(message, "o", job.c_str());
    }
    if (member == "EnableUnitFiles")
    {
        char** names = nullptr;
        int runtime = 0;
        int force = 0;
        if (sd_bus_message_read_strv(message, &names) < 0 ||
            sd_bus_message_read(message, "bb", &runtime, &force) < 0)
            return -EINVAL;
        if (m_refuse)
        {
            sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "Access denied");
            for (char** name = names; name != nullptr && *name != nullptr; ++name)
                std::free(*name);
            std::free(names);
            return -EACCES;
        }
        EnableRequest request;
        request.runtime = runtime != 0;
        request.force = force != 0;
        for (char** name = names; name != nullptr && *name != nullptr; ++name)
        {
            // A link below /run lasts until the next boot, and systemd says so.
            if (const auto it = m_units.find(*name); it != m_units.end())
                it->second.unitFileState = runtime != 0 ? "enabled-runtime" : "enabled";
            request.units.emplace_back(*name);
            std::free(*name);
        }
        std::free(names);
        m_enables.push_back(std::move(request));
        sd_bus_message* reply = nullptr;
        sd_bus_message_new_method_return(message, &reply);
        sd_bus_message_append(reply, "b", 1);
        sd_bus_message_open_container(reply, 'a', "(sss)");
        sd_bus_message_close_container(reply);
        const int result = sd_bus_send(nullptr, reply, nullptr);
        sd_bus_message_unref(reply);
        return result;
    }
    return 0;
}

int CSystemdStandIn::HandleUnit(sd_bus_message* message, const std::string& path,
                                sd_bus_error* error)
{
    const char* interface = nullptr;
    const char* property = nullptr;
    if (sd_bus_message_read(message, "ss", &interface, &property) < 0)
        return -EINVAL;
    char* decoded = nullptr;
    if (sd_bus_path_decode(path.c_str(), kUnitPrefix, &decoded) <= 0)
        return sd_bus_error_set(error, SD_BUS_ERROR_UNKNOWN_OBJECT, "No such unit object");
    const std::string id = decoded;
    std::free(decoded);

    std::unique_lock lock(m_mutex);
    ++m_calls["Get"];
    const auto it = m_units.find(id);
    // A unit without a file reads as not-found and inactive, as systemd shows it.
    const Unit unit = it != m_units.end() ? it->second : Unit{id, {}, "inactive", "running", ""};
    std::string value;
    const std::string name = property;
    if (name == "Id")
        value = unit.id;
    else if (name == "Description")
        value = unit.description;
    else if (name == "LoadState")
        value = it != m_units.end() ? "loaded" : "not-found";
    else if (name == "ActiveState")
        value = unit.activeState;
    else if (name == "FreezerState")
        value = unit.freezerState;
    else if (name == "UnitFileState")
        value = unit.unitFileState;
    else
        return sd_bus_error_setf(error, SD_BUS_ERROR_UNKNOWN_PROPERTY, "No property %s", property);
    return sd_bus_reply_method_return(message, "v", "s", value.c_str());
}

void CSystemdStandIn::AddUnit(const Unit& unit)
{
    {
        std::lock_guard lock(m_mutex);
        m_units[unit.id] = unit;
    }
    m_wake.Wake();
}

void CSystemdStandIn::RemoveUnit(const std::string& id)
{
    std::lock_guard lock(m_mutex);
    m_units.erase(id);
}

void CSystemdStandIn::SetActiveState(const std::string& id, const std::string& state)
{
    {
        std::lock_guard lock(m_mutex);
        if (const auto it = m_units.find(id); it != m_units.end())
            it->second.activeState = state;
    }
    m_wake.Wake();
}

std::optional<CSystemdStandIn::Unit> CSystemdStandIn::GetUnit(const std::string& id) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_units.find(id);
    if (it == m_units.end())
        return std::nullopt;
    return it->second;
}

void CSystemdStandIn::RunJob(const std::string& method, const std::string& unit)
{
    m_jobsRun.push_back(method + " " + unit);
    const auto it = m_units.find(unit);
    if (it == m_units.end())
        return; // removed while its job waited
    it->second.activeState = method == "StopUnit" ? "inactive" : "active";
    it->second.freezerState = "running";
}

void CSystemdStandIn::HoldJobs(bool hold)
{
    std::lock_guard lock(m_mutex);
    m_hold = hold;
}

void CSystemdStandIn::RunJobs()
{
    {
        std::lock_guard lock(m_mutex);
        for (const Job& job : m_queued)
            RunJob(job.method, job.unit);
        m_queued.clear();
    }
    m_wake.Wake();
}

std::vector<std::string> CSystemdStandIn::JobsRun() const
{
    std::lock_guard lock(m_mutex);
    return m_jobsRun;
}

std::vector<CSystemdStandIn::EnableRequest> CSystemdStandIn::EnableRequests() const
{
    std::lock_guard lock(m_mutex);
    return m_enables;
}

int CSystemdStandIn::Calls(const std::string& method) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_calls.find(method);
    return it != m_calls.end() ? it->second : 0;
}
