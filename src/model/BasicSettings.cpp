#include "model/BasicSettings.h"

#include "config/DocumentValues.h"
#include "config/GatewayConfigDoc.h"
#include "platform/IniFile.h"
#include "platform/TextCodec.h"

using docvalues::ChildText;
using docvalues::IsUsed;
using RUROR::XNode;

namespace
{

const wchar_t* const kSpeedSection = L"TELEMETRYGPSFLAGSTRINGS";
const wchar_t* const kSpeedKey = L"SPEEDUNIT";

std::wstring SettingOr(const CGatewayConfigDoc& document, std::wstring_view name,
                       const wchar_t* fallback)
{
    const wchar_t* value = document.GetSetting(name);
    return (value != nullptr && *value != L'\0') ? std::wstring(value) : std::wstring(fallback);
}

// A switch is on only when its value reads as the integer 1.
bool SwitchOn(const wchar_t* value)
{
    if (value == nullptr)
        return false;
    std::wstring_view text = rz::TrimBlanks(value);
    if (!text.empty() && text.front() == L'+')
        text.remove_prefix(1);
    while (text.size() > 1 && text.front() == L'0')
        text.remove_prefix(1);
    return text == L"1";
}

fields::Rule PortRule(const char* key, bool defaultZero)
{
    fields::Rule rule{key, fields::Kind::Fixed, fields::PortLimits(), 0};
    rule.limits.hasDefault = defaultZero;
    rule.limits.defaultValue = 0;
    return rule;
}

} // namespace

const fields::Rule& CBasicSettings::LocalIpField()
{
    static const fields::Rule rule{"local-ip", fields::Kind::Ip, {}, 0};
    return rule;
}

const fields::Rule& CBasicSettings::LocalPortField()
{
    // An empty Local Port becomes 0 when the field is left.
    static const fields::Rule rule = PortRule("local-port", true);
    return rule;
}

const fields::Rule& CBasicSettings::VoipPortField()
{
    static const fields::Rule rule = PortRule("voip-port", false);
    return rule;
}

const fields::Rule& CBasicSettings::ServerIpField()
{
    static const fields::Rule rule{"server-ip", fields::Kind::Ip, {}, 0};
    return rule;
}

const fields::Rule& CBasicSettings::ServerPortField()
{
    static const fields::Rule rule = PortRule("server-port", false);
    return rule;
}

const CChoiceTable& CBasicSettings::Codecs()
{
    // The codec's static RTP payload type (RFC 3551), a colon, its name.
    static const CChoiceTable table({
        {L"0:G.711u", 0, L"G.711u", "G.711u"},
        {L"8:G.711a", 0, L"G.711a", "G.711a"},
        {L"18:G.729a", 0, L"G.729a", "G.729a"},
    });
    return table;
}

const CChoiceTable& CBasicSettings::SpeedUnits()
{
    // The names come from the language files only (texts 10211 to 10213).
    static const CChoiceTable table({
        {L"0", 10211, L"km/h", "kmh"},
        {L"1", 10212, L"mph", "mph"},
        {L"2", 10213, L"knots", "knots"},
    });
    return table;
}

CBasicSettings::CBasicSettings()
    : m_servers(
          {kMaxServers, kTooManyServers, kAddressExists, true, kMinRows},
          [](const RadioServerRecord& record) { return record.ipAddress; }, ServerIpField().key)
{
}

void CBasicSettings::Load(const CGatewayConfigDoc& document, const CToolFiles& files)
{
    std::vector<RadioServerRecord> servers;
    if (const XNode* list = document.RadioServers())
    {
        // Any active child is a server, whatever its element name.
        for (const XNode* server : list->GetChilds())
        {
            if (IsUsed(server))
                servers.push_back({ChildText(server, L"Used"), ChildText(server, L"IPAddress"),
                                   ChildText(server, L"IPPort")});
        }
    }
    m_servers.Assign(std::move(servers));
    localIp = SettingOr(document, L"LocalIP", L"127.0.0.1");
    localPort = SettingOr(document, L"LocalPort", L"0");
    voipPort = SettingOr(document, L"VOIPBeginPort", L"19000");
    gpsTracking = SwitchOn(document.GetSetting(L"KeepUnsubscribedGPSData"));
    rrsDisabled = SwitchOn(document.GetSetting(L"KeepRRSRetryTime"));
    const wchar_t* codecValue = document.GetSetting(L"VocCodec");
    codec = CodecFrom(codecValue != nullptr ? codecValue : L"");

    const unsigned unit = rz::GetPrivateProfileInt(kSpeedSection, kSpeedKey, 0, files.GatewayIni());
    m_speedUnitUnusable = unit >= SpeedUnits().Size();
    speedUnit = m_speedUnitUnusable ? 0 : unit;
}

void CBasicSettings::Repair(const CToolFiles& files, CFileChanges& changes) const
{
    if (m_speedUnitUnusable)
        changes.SetIniValue(files.GatewayIni(), kSpeedSection, kSpeedKey, L"0");
}

std::vector<CHint> CBasicSettings::Hints() const
{
    std::vector<CHint> hints;
    if (localIp.empty())
        hints.push_back({LocalIpField().key, kIpRequired});
    const auto odd = [](const std::wstring& port)
    {
        return !port.empty() && port.back() >= L'0' && port.back() <= L'9' &&
               (port.back() - L'0') % 2 != 0;
    };
    if (odd(voipPort))
        hints.push_back({VoipPortField().key, kOddVoipPort});
    return hints;
}

std::vector<CRefusal> CBasicSettings::Validate() const
{
    std::vector<CRefusal> refusals;
    const auto check = [&refusals](const fields::Rule& rule, const std::wstring& value, int textId)
    {
        if (!fields::Accepts(rule, value))
            refusals.push_back({textId, value, rule.key});
    };
    check(LocalIpField(), localIp, kIpRequired);
    check(LocalPortField(), localPort, kPortRange);
    check(VoipPortField(), voipPort, kPortRange);
    for (const RadioServerRecord& server : m_servers.Rows())
    {
        check(ServerIpField(), server.ipAddress, kIpRequired);
        check(ServerPortField(), server.ipPort, kPortRange);
    }
    return refusals;
}

void CBasicSettings::Save(CGatewayConfigDoc& document, const CToolFiles& files,
                          CFileChanges& changes) const
{
    // The active entries are replaced by the list; the inactive ones stay where they are.
    XNode* servers = document.EnsureRadioServers();
    for (XNode* server : servers->GetChilds())
    {
        if (IsUsed(server))
            servers->RemoveChild(server);
    }
    for (const RadioServerRecord& record : m_servers.Rows())
    {
        if (record.ipAddress.empty() || record.ipPort.empty())
            continue;
        XNode* server = servers->AppendChild(L"RadioServer", L"");
        server->AppendChild(L"Used", record.used.empty() ? std::wstring(L"TRUE") : record.used);
        server->AppendChild(L"IPAddress", record.ipAddress);
        server->AppendChild(L"IPPort", record.ipPort);
    }

    document.SetSetting(L"LocalIP", localIp);
    document.SetSetting(L"LocalPort", localPort);
    document.SetSetting(L"VOIPBeginPort", voipPort);
    document.SetSetting(L"KeepUnsubscribedGPSData", gpsTracking ? L"1" : L"0");
    document.SetSetting(L"KeepRRSRetryTime", rrsDisabled ? L"1" : L"0");
    document.SetSetting(L"VocCodec", Codecs().At(codec < Codecs().Size() ? codec : 0).stored);

    const size_t unit = speedUnit < SpeedUnits().Size() ? speedUnit : 0;
    changes.SetIniValue(files.GatewayIni(), kSpeedSection, kSpeedKey, SpeedUnits().At(unit).stored);
}

CEntryResult CBasicSettings::AddServer(const std::wstring& ipAddress, const std::wstring& ipPort)
{
    if (CRefusal full = CanAdd())
        return CEntryResult::From(full);
    if (ipAddress.empty() || ipPort.empty())
        return {CEntryResult::Incomplete, {}};
    return CEntryResult::From(m_servers.Add({L"", ipAddress, ipPort}));
}

CEntryResult CBasicSettings::ChangeServer(size_t row, const std::wstring& ipAddress,
                                          const std::wstring& ipPort)
{
    if (ipAddress.empty() || ipPort.empty())
        return {CEntryResult::Incomplete, {}};
    // A changed server is written as a new, active one: its Used text is not kept.
    return CEntryResult::From(m_servers.Change(row, {L"", ipAddress, ipPort}));
}

size_t CBasicSettings::CodecFrom(std::wstring_view value)
{
    // The first name, in list order, that occurs anywhere in the value.
    for (size_t i = 0; i < Codecs().Size(); ++i)
    {
        if (value.find(Codecs().At(i).label) != std::wstring_view::npos)
            return i;
    }
    return 0;
}
