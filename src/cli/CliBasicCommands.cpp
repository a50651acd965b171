#include "cli/CliApp.h"
#include "cli/JsonWriter.h"
#include "model/BasicSettings.h"
#include "model/FieldFilters.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <map>

namespace
{

std::string Utf8(const std::wstring& text)
{
    return rz::WideToUtf8(text);
}

// "on"/"off" and their usual spellings; nothing for anything else.
std::optional<bool> ParseSwitch(const std::string& value)
{
    for (const char* on : {"1", "on", "true", "yes"})
        if (rz::EqualsNoCase(value, on))
            return true;
    for (const char* off : {"0", "off", "false", "no"})
        if (rz::EqualsNoCase(value, off))
            return false;
    return std::nullopt;
}

// The "servers" member: the radio servers in list order.
void WriteServers(CJsonWriter& json, const CBasicSettings& settings)
{
    json.Key("servers").BeginArray();
    for (const auto& server : settings.Servers())
    {
        json.BeginObject();
        json.Key("ip").String(Utf8(server.ipAddress));
        json.Key("port").String(Utf8(server.ipPort));
        json.EndObject();
    }
    json.EndArray();
}

} // namespace

int CCliApp::Basic(const std::vector<std::string>& args)
{
    if (args.size() == 1 && args[0] == "show")
        return BasicShow();
    if (args.size() >= 2 && args[0] == "set")
        return BasicSet(std::vector<std::string>(args.begin() + 1, args.end()));
    return Usage("basic needs show, or set KEY=VALUE...");
}

int CCliApp::BasicShow()
{
    if (!LoadDocument())
        return kDocumentError;
    LoadToolLanguage();
    CBasicSettings settings;
    settings.Load(m_document, GatewayIniPath(m_toolDir), nullptr, false);
    const std::string unitName = Text(10211 + static_cast<int>(settings.speedUnit));

    if (m_json)
    {
        CJsonWriter json;
        json.BeginObject();
        json.Key("local-ip").String(Utf8(settings.localIp));
        json.Key("local-port").String(Utf8(settings.localPort));
        json.Key("voip-port").String(Utf8(settings.voipPort));
        json.Key("codec").String(Utf8(CBasicSettings::CodecName(settings.codec)));
        json.Key("speed-unit").Number(settings.speedUnit);
        json.Key("speed-unit-name").String(unitName);
        json.Key("gps-tracking").Bool(settings.gpsTracking);
        json.Key("rrs-disabled").Bool(settings.rrsDisabled);
        WriteServers(json, settings);
        json.EndObject();
        m_out << json.Text() << "\n";
        return kDone;
    }
    m_out << "local-ip       " << Utf8(settings.localIp) << "\n"
          << "local-port     " << Utf8(settings.localPort) << "\n"
          << "voip-port      " << Utf8(settings.voipPort) << "\n"
          << "codec          " << Utf8(CBasicSettings::CodecName(settings.codec)) << "\n"
          << "speed-unit     " << settings.speedUnit
          << (unitName.empty() ? "" : " (" + unitName + ")") << "\n"
          << "gps-tracking   " << (settings.gpsTracking ? "on" : "off") << "\n"
          << "rrs-disabled   " << (settings.rrsDisabled ? "on" : "off") << "\n"
          << "radio servers  " << settings.Servers().size() << " of at most "
          << CBasicSettings::kMaxServers << "\n";
    return kDone;
}

int CCliApp::BasicSet(const std::vector<std::string>& assignments)
{
    if (!LoadDocumentForChange())
        return kDocumentError;
    LoadToolLanguage();
    CBasicSettings settings;
    settings.Load(m_document, GatewayIniPath(m_toolDir));

    // Every value is checked before anything is written: one bad value changes nothing.
    for (const std::string& assignment : assignments)
    {
        const auto eq = assignment.find('=');
        if (eq == std::string::npos)
            return Usage("expected KEY=VALUE, got " + assignment);
        const std::string key = assignment.substr(0, eq);
        const std::string value = assignment.substr(eq + 1);
        const std::wstring wide = rz::Utf8ToWide(value);
        std::optional<std::wstring> corrected;
        if (key == "local-ip")
        {
            if (!(corrected = fields::TypeIntoIpField(wide)))
                return Usage("local-ip: not an IPv4 address: " + value);
            if (value.empty())
                m_err << "ravirazazu-cli: " << Text(10013) << "\n";
            settings.localIp = *corrected;
        }
        else if (key == "local-port" || key == "voip-port")
        {
            fields::FixedLimits limits = fields::PortLimits();
            if (key == "local-port")
            {
                limits.hasDefault = true;
                limits.defaultValue = 0;
            }
            if (!(corrected = fields::TypeIntoFixedField(wide, limits)))
                return Usage(key + ": not a port number: " + value);
            if (key == "voip-port" && !corrected->empty() && std::stoll(Utf8(*corrected)) % 2 != 0)
                m_err << "ravirazazu-cli: voip-port: " << Text(10027) << "\n";
            (key == "local-port" ? settings.localPort : settings.voipPort) = *corrected;
        }
        else if (key == "codec")
        {
            bool found = false;
            for (const auto codec : {CBasicSettings::Codec::G711u, CBasicSettings::Codec::G711a,
                                     CBasicSettings::Codec::G729a})
            {
                if (rz::EqualsNoCase(wide, std::wstring_view(CBasicSettings::CodecName(codec))))
                {
                    settings.codec = codec;
                    found = true;
                }
            }
            if (!found)
                return Usage("codec: one of G.711u, G.711a, G.729a");
        }
        else if (key == "speed-unit")
        {
            bool found = false;
            for (unsigned unit = 0; unit < CBasicSettings::kSpeedUnits; ++unit)
            {
                const std::string name = Text(10211 + static_cast<int>(unit));
                if (value == std::to_string(unit) ||
                    (!name.empty() && rz::EqualsNoCase(value, name)))
                {
                    settings.speedUnit = unit;
                    found = true;
                }
            }
            if (!found)
                return Usage("speed-unit: 0, 1 or 2 (" + Text(10211) + ", " + Text(10212) + ", " +
                             Text(10213) + ")");
        }
        else if (key == "gps-tracking" || key == "rrs-disabled")
        {
            const auto on = ParseSwitch(value);
            if (!on)
                return Usage(key + ": on or off");
            (key == "gps-tracking" ? settings.gpsTracking : settings.rrsDisabled) = *on;
        }
        else
        {
            return Usage(
                "unknown setting " + key +
                " (local-ip local-port voip-port codec speed-unit gps-tracking rrs-disabled)");
        }
        if (corrected && Utf8(*corrected) != value)
            m_out << key << ": " << value << " -> " << Utf8(*corrected) << "\n";
    }
    if (!settings.Save(m_document, GatewayIniPath(m_toolDir)))
    {
        m_err << "ravirazazu-cli: cannot write " << GatewayIniPath(m_toolDir) << "\n";
        return kDocumentError;
    }
    return SaveDocument("basic set");
}

int CCliApp::Server(const std::vector<std::string>& args)
{
    const std::string verb = args.empty() ? std::string() : args[0];
    const bool known =
        (verb == "list" && args.size() == 1) || (verb == "add" && args.size() == 3) ||
        (verb == "change" && args.size() == 4) || (verb == "remove" && args.size() >= 2);
    if (!known)
        return Usage("server needs list | add IP PORT | change IP NEW-IP PORT | remove IP...");
    if (verb == "list" ? !LoadDocument() : !LoadDocumentForChange())
        return kDocumentError;
    LoadToolLanguage();
    CBasicSettings settings;
    settings.Load(m_document, GatewayIniPath(m_toolDir), nullptr, verb != "list");

    if (verb == "list")
    {
        if (m_json)
        {
            CJsonWriter json;
            json.BeginObject();
            json.Key("max").Number(CBasicSettings::kMaxServers);
            WriteServers(json, settings);
            json.EndObject();
            m_out << json.Text() << "\n";
            return kDone;
        }
        m_out << "IP               PORT\n";
        for (const auto& server : settings.Servers())
        {
            const std::string ip = Utf8(server.ipAddress);
            m_out << ip << std::string(ip.size() < 17 ? 17 - ip.size() : 1, ' ')
                  << Utf8(server.ipPort) << "\n";
        }
        return kDone;
    }

    // Addresses and ports go through the same corrections as typing into the page's fields.
    const auto address = [this](const std::string& value) -> std::optional<std::wstring>
    {
        auto corrected = fields::TypeIntoIpField(rz::Utf8ToWide(value));
        if (!corrected)
            m_err << "ravirazazu-cli: not an IPv4 address: " << value << "\n";
        return corrected;
    };
    const auto port = [this](const std::string& value) -> std::optional<std::wstring>
    {
        auto corrected = fields::TypeIntoFixedField(rz::Utf8ToWide(value), fields::PortLimits());
        if (!corrected || corrected->empty())
        {
            m_err << "ravirazazu-cli: not a port number: " << value << "\n";
            return std::nullopt;
        }
        return corrected;
    };
    const auto refused = [this](CBasicSettings::Result result, const std::string& what)
    {
        if (result == CBasicSettings::NotFound)
            m_err << "ravirazazu-cli: no radio server has the address " << what << "\n";
        else
            m_err << "ravirazazu-cli: " << Text(result) << "\n";
        return kRefused;
    };

    CBasicSettings::Result result = CBasicSettings::Done;
    if (verb == "add")
    {
        if (settings.CanAdd() != CBasicSettings::Done)
            return refused(settings.CanAdd(), {});
        const auto ip = address(args[1]);
        const auto number = port(args[2]);
        if (!ip || !number)
            return kUsage;
        result = settings.AddServer(*ip, *number);
    }
    else if (verb == "change")
    {
        const auto ip = address(args[2]);
        const auto number = port(args[3]);
        if (!ip || !number)
            return kUsage;
        if (!settings.HasServer(rz::Utf8ToWide(args[1])))
            return refused(CBasicSettings::NotFound, args[1]);
        result = settings.ChangeServer(rz::Utf8ToWide(args[1]), *ip, *number);
    }
    else
    {
        for (size_t i = 1; i < args.size(); ++i)
        {
            if (!settings.HasServer(rz::Utf8ToWide(args[i])))
                return refused(CBasicSettings::NotFound, args[i]);
        }
        for (size_t i = 1; i < args.size(); ++i)
            settings.RemoveServer(rz::Utf8ToWide(args[i]));
    }
    if (result != CBasicSettings::Done)
        return refused(result, {});
    settings.Save(m_document, GatewayIniPath(m_toolDir));
    return SaveDocument("server " + verb);
}
