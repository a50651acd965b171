#include "model/BasicSettings.h"

#include "config/DocumentValues.h"
#include "config/GatewayConfigDoc.h"
#include "platform/FileIO.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <algorithm>

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

// The server with an address, in a const or a changeable list.
template <typename Servers> auto FindServer(Servers& servers, const std::wstring& ipAddress)
{
    return std::find_if(servers.begin(), servers.end(),
                        [&](const RadioServerRecord& r) { return r.ipAddress == ipAddress; });
}

} // namespace

std::string GatewayIniPath(const std::string& toolDir)
{
    return rz::FindFileNoCase(toolDir, "Gateway.ini")
        .value_or(rz::JoinPath(toolDir, "Gateway.ini"));
}

void CBasicSettings::Load(const CGatewayConfigDoc& document, const std::string& gatewayIniPath,
                          bool* speedUnitRewritten, bool repair)
{
    *this = CBasicSettings();
    if (const XNode* servers = document.RadioServers())
    {
        for (const XNode* server : servers->GetChilds())
        {
            if (!IsUsed(server))
                continue;
            m_servers.push_back({ChildText(server, L"Used"), ChildText(server, L"IPAddress"),
                                 ChildText(server, L"IPPort")});
        }
    }
    localIp = SettingOr(document, L"LocalIP", L"127.0.0.1");
    localPort = SettingOr(document, L"LocalPort", L"0");
    voipPort = SettingOr(document, L"VOIPBeginPort", L"19000");
    gpsTracking = SwitchOn(document.GetSetting(L"KeepUnsubscribedGPSData"));
    rrsDisabled = SwitchOn(document.GetSetting(L"KeepRRSRetryTime"));
    const wchar_t* codecValue = document.GetSetting(L"VocCodec");
    codec = CodecFrom(codecValue != nullptr ? codecValue : L"");

    speedUnit = rz::GetPrivateProfileInt(kSpeedSection, kSpeedKey, 0, gatewayIniPath);
    const bool unusable = speedUnit >= kSpeedUnits;
    if (unusable)
        speedUnit = 0;
    const bool rewritten =
        unusable && repair &&
        rz::WritePrivateProfileString(kSpeedSection, kSpeedKey, L"0", gatewayIniPath);
    if (speedUnitRewritten != nullptr)
        *speedUnitRewritten = rewritten;
}

bool CBasicSettings::Save(CGatewayConfigDoc& document, const std::string& gatewayIniPath) const
{
    // The active entries are replaced by the list; the inactive ones stay where they are.
    XNode* servers = document.EnsureRadioServers();
    for (XNode* server : servers->GetChilds())
    {
        if (IsUsed(server))
            servers->RemoveChild(server);
    }
    for (const RadioServerRecord& record : m_servers)
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
    document.SetSetting(L"VocCodec", CodecValue(codec));

    const std::wstring unit = std::to_wstring(speedUnit < kSpeedUnits ? speedUnit : 0);
    rz::CIniFile ini;
    if (ini.Load(gatewayIniPath) != 0)
        return false;
    if (ini.Get(kSpeedSection, kSpeedKey) == unit)
        return true; // Gateway.ini is left untouched when it already says so
    ini.Set(kSpeedSection, kSpeedKey, unit);
    return ini.Save(gatewayIniPath) == 0;
}

bool CBasicSettings::HasServer(const std::wstring& ipAddress) const
{
    return FindServer(m_servers, ipAddress) != m_servers.end();
}

CBasicSettings::Result CBasicSettings::CanAdd() const
{
    return m_servers.size() >= kMaxServers ? TooManyServers : Done;
}

CBasicSettings::Result CBasicSettings::AddServer(const std::wstring& ipAddress,
                                                 const std::wstring& ipPort)
{
    if (const Result full = CanAdd(); full != Done)
        return full;
    if (ipAddress.empty() || ipPort.empty())
        return Incomplete;
    if (HasServer(ipAddress))
        return AddressExists;
    m_servers.push_back({L"", ipAddress, ipPort});
    return Done;
}

CBasicSettings::Result CBasicSettings::ChangeServer(const std::wstring& oldAddress,
                                                    const std::wstring& ipAddress,
                                                    const std::wstring& ipPort)
{
    if (ipAddress.empty() || ipPort.empty())
        return Incomplete;
    if (HasServer(ipAddress))
        return AddressExists;
    const auto it = FindServer(m_servers, oldAddress);
    if (it == m_servers.end())
        return NotFound;
    *it = {L"", ipAddress, ipPort};
    return Done;
}

CBasicSettings::Result CBasicSettings::RemoveServer(const std::wstring& ipAddress)
{
    const auto it = FindServer(m_servers, ipAddress);
    if (it == m_servers.end())
        return NotFound;
    m_servers.erase(it);
    return Done;
}

const wchar_t* CBasicSettings::CodecName(Codec codec)
{
    switch (codec)
    {
    case Codec::G711a:
        return L"G.711a";
    case Codec::G729a:
        return L"G.729a";
    case Codec::G711u:
        break;
    }
    return L"G.711u";
}

std::wstring CBasicSettings::CodecValue(Codec codec)
{
    switch (codec)
    {
    case Codec::G711a:
        return L"8:G.711a";
    case Codec::G729a:
        return L"18:G.729a";
    case Codec::G711u:
        break;
    }
    return L"0:G.711u";
}

CBasicSettings::Codec CBasicSettings::CodecFrom(std::wstring_view value)
{
    // The first name, in list order, that occurs anywhere in the value.
    for (const Codec codec : {Codec::G711u, Codec::G711a, Codec::G729a})
    {
        if (value.find(CodecName(codec)) != std::wstring_view::npos)
            return codec;
    }
    return Codec::G711u;
}
