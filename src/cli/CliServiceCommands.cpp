#include "cli/CliApp.h"
#include "cli/JsonWriter.h"
#include "platform/TextCodec.h"
#include "service/ServiceStateCheck.h"

int CCliApp::Service(const std::vector<std::string>& args)
{
    const std::string verb = args.size() == 1 ? args[0] : std::string();
    if (verb != "status" && verb != "start" && verb != "stop" && verb != "restart")
        return Usage("service needs status, start, stop or restart");
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
