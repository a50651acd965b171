#include "cli/CliApp.h"
#include "cli/JsonWriter.h"
#include "platform/TextCodec.h"
#include "service/ServiceStateCheck.h"

#include <CLI/CLI.hpp>

void CCliApp::DeclareServiceCommands(CLI::App& app)
{
    auto* service = app.add_subcommand("service", "the gateway service (its systemd unit)");
    service->require_subcommand(1);
    for (const auto& [verb, what] :
         {std::pair{"status", "its state and whether it starts with the system"},
          std::pair{"start", "start it (and enable it)"},
          std::pair{"stop", "stop it (it stays enabled)"},
          std::pair{"restart", "restart it, or start it when it is not running"}})
    {
        const std::string name = verb;
        service->add_subcommand(name, what)
            ->callback([this, name] { m_command = [this, name] { return Service(name); }; });
    }
}

int CCliApp::Service(const std::string& verb)
{
    const std::wstring name = ConfiguredServiceName(m_toolDir);
    if (name.empty())
    {
        m_err << "ravirazazu-cli: MXRServiceDog.ini names no service; there is nothing to watch\n";
        return kOperationFailed;
    }
    ServiceStateCheck watcher(name);
    const auto details = watcher.Describe(name);
    if (!details)
    {
        m_err << "ravirazazu-cli: the service " << rz::WideToUtf8(name) << " is not installed";
        if (!watcher.LastError().empty())
            m_err << " (" << watcher.LastError() << ")";
        m_err << "\n";
        return kOperationFailed;
    }

    if (verb == "status")
    {
        const bool enabled = details->unitFileState.rfind("enabled", 0) == 0;
        if (m_json)
        {
            CJsonWriter json;
            json.BeginObject();
            json.Key("name").String(rz::WideToUtf8(name));
            json.Key("unit").String(details->unit);
            json.Key("description").String(details->description);
            json.Key("state").Number(details->state);
            json.Key("stateName").String(ServiceStateCheck::StateName(details->state));
            json.Key("activeState").String(details->activeState);
            json.Key("unitFileState").String(details->unitFileState);
            json.Key("enabled").Bool(enabled);
            json.EndObject();
            m_out << json.Text() << "\n";
        }
        else
        {
            m_out << details->description << " (" << details->unit
                  << "): " << ServiceStateCheck::StateName(details->state) << " (" << details->state
                  << "), "
                  << (enabled                          ? "enabled"
                      : details->unitFileState.empty() ? "not enabled"
                                                       : details->unitFileState)
                  << "\n";
        }
        return kDone;
    }

    bool asked = false;
    if (verb == "start")
        asked = watcher.Start(name);
    else if (verb == "stop")
        asked = watcher.Stop(name);
    else
        asked = watcher.Restart(name);
    if (!asked)
    {
        m_err << "ravirazazu-cli: " << watcher.LastError() << "\n";
        return kOperationFailed;
    }
    // Nothing waits for the new state: `service status` shows how it ends.
    m_out << verb << " of " << details->unit << " requested (it was "
          << ServiceStateCheck::StateName(details->state) << ")\n";
    return kDone;
}
