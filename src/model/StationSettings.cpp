#include "model/StationSettings.h"

#include "config/DocumentValues.h"
#include "config/GatewayConfigDoc.h"
#include "platform/Guid.h"
#include "platform/TextCodec.h"

#include <algorithm>

using docvalues::ChildText;
using docvalues::IsUsed;
using RUROR::XNode;

namespace
{

wchar_t Folded(wchar_t c)
{
    if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<wchar_t>(c + 32);
    return c;
}

// The order of a sorted drop-down: without regard to case, then by the exact text.
bool LessNoCase(const std::wstring& a, const std::wstring& b)
{
    const bool less =
        std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                     [](wchar_t x, wchar_t y) { return Folded(x) < Folded(y); });
    if (less || !rz::EqualsNoCase(a, b))
        return less;
    return a < b;
}

// Sets the text of a station's child, appending the child where it is missing.
void SetChild(XNode* station, const wchar_t* name, const std::wstring& value)
{
    XNode* child = station->GetChild(name);
    if (child == nullptr)
        child = station->AppendChild(name, L"");
    child->value = value;
}

// The values a Save writes into an existing station, in the order missing ones are appended.
void WriteValues(XNode* station, const StationInfo& record)
{
    SetChild(station, L"GUID", record.guid);
    SetChild(station, L"Name", record.name);
    SetChild(station, L"IPAddress", record.ipAddress);
    SetChild(station, L"PseudoID", record.pseudoId);
    SetChild(station, L"UseFrontMic", record.useFrontMic);
    SetChild(station, L"IsData", record.isData);
    SetChild(station, L"AudioPlay", record.audioPlay);
    SetChild(station, L"AudioRecord", record.audioRecord);
}

void AppendStation(XNode* stations, const StationInfo& record)
{
    XNode* station = stations->AppendChild(L"Station", L"");
    station->AppendChild(L"Used", L"TRUE");
    station->AppendChild(L"GUID", record.guid);
    station->AppendChild(L"Name", record.name);
    station->AppendChild(L"IPAddress", record.ipAddress);
    station->AppendChild(L"PseudoID", record.pseudoId);
    station->AppendChild(L"UseFrontMic", record.useFrontMic);
    station->AppendChild(L"IsData", record.isData);
    station->AppendChild(L"AudioPlay", record.audioPlay);
    station->AppendChild(L"AudioRecord", record.audioRecord);
    XNode* volume = station->AppendChild(L"Volum", L"");
    volume->AppendChild(L"RecordVolum", L"3");
    volume->AppendChild(L"PlaybackVolum", L"3");
}

bool IsRepeaterSlot(const XNode* child)
{
    return rz::EqualsNoCase(ChildText(child, L"Type"), std::wstring_view(L"Repeater"));
}

// The editor's checks that do not depend on the list.
CRefusal CheckEntry(const StationEntry& entry)
{
    const std::pair<const std::wstring*, const fields::Rule*> required[] = {
        {&entry.alias, &CStationSettings::AliasField()},
        {&entry.pseudoId, &CStationSettings::PseudoIdField()},
        {&entry.ipAddress, &CStationSettings::IpField()},
    };
    for (const auto& [value, rule] : required)
        if (value->empty())
            return {CStationSettings::kValueRequired, {}, rule->key};
    if (entry.alias.size() >= CStationSettings::kAliasRefused)
        return {CStationSettings::kValueRequired, entry.alias, CStationSettings::AliasField().key};
    return {};
}

// The record an entry gives; the GUID is the caller's.
StationInfo RecordOf(const std::wstring& guid, const StationEntry& entry)
{
    return {
        guid,
        entry.alias,
        entry.pseudoId,
        entry.ipAddress,
        entry.speaker,
        entry.microphone,
        CStationSettings::Kinds().At(CStationSettings::KindOf(entry.quickGps, entry.gps)).stored,
        entry.frontMic ? L"1" : L"0"};
}

} // namespace

const CChoiceTable& CStationSettings::Kinds()
{
    static const CChoiceTable table({
        {L"0", 0, L"Voice Station", "voice"},
        {L"1", 1060, L"GPS Dispatch Station", "gps"},
        {L"2", 0, L"Quick GPS Station", "quick-gps"},
    });
    return table;
}

const fields::Rule& CStationSettings::AliasField()
{
    static const fields::Rule rule{"alias", fields::Kind::Text, {}, kAliasTyped};
    return rule;
}

const fields::Rule& CStationSettings::PseudoIdField()
{
    static const fields::Rule rule{"pseudo-id", fields::Kind::Digits, {}, 0};
    return rule;
}

const fields::Rule& CStationSettings::IpField()
{
    static const fields::Rule rule{"ip", fields::Kind::Ip, {}, 0};
    return rule;
}

const fields::Rule& CStationSettings::SpeakerField()
{
    static const fields::Rule rule{"speaker", fields::Kind::Text, {}, 0};
    return rule;
}

const fields::Rule& CStationSettings::MicrophoneField()
{
    static const fields::Rule rule{"microphone", fields::Kind::Text, {}, 0};
    return rule;
}

CStationSettings::CShown CStationSettings::Shown(const StationInfo& record)
{
    CShown shown;
    if (record.isData.empty() || record.isData == L"0")
    {
        shown.kind = kVoice;
        shown.isData = L"0";
    }
    else
    {
        shown.kind = record.isData == L"2" ? kQuickGps : kGps;
        shown.isData = record.isData;
    }
    shown.frontMic = !record.useFrontMic.empty() && record.useFrontMic != L"0";
    shown.useFrontMic = shown.frontMic ? L"1" : L"0";
    return shown;
}

CStationSettings::Kind CStationSettings::KindOf(bool quickGps, bool gps)
{
    if (quickGps)
        return kQuickGps;
    return gps ? kGps : kVoice;
}

CStationSettings::CEditorFields CStationSettings::EditorFields(bool quickGps, bool gps)
{
    return {!quickGps, KindOf(quickGps, gps) == kVoice};
}

StationEntry CStationSettings::EntryOf(const StationInfo& record)
{
    const CShown shown = Shown(record);
    return {record.name,        record.pseudoId, record.ipAddress, shown.kind == kQuickGps,
            shown.kind == kGps, shown.frontMic,  record.audioPlay, record.audioRecord};
}

CDeviceChoices CStationSettings::DeviceChoices(const std::vector<std::wstring>& found,
                                               const std::wstring& stored)
{
    CDeviceChoices choices;
    for (const std::wstring& name : found)
    {
        if (!name.empty() &&
            std::find(choices.names.begin(), choices.names.end(), name) == choices.names.end())
            choices.names.push_back(name);
    }
    if (!stored.empty() && std::none_of(choices.names.begin(), choices.names.end(),
                                        [&stored](const std::wstring& name)
                                        { return rz::EqualsNoCase(name, stored); }))
        choices.names.push_back(stored);
    std::sort(choices.names.begin(), choices.names.end(), LessNoCase);
    if (stored.empty())
        return choices;
    for (size_t i = 0; i < choices.names.size(); ++i)
    {
        if (rz::EqualsNoCase(choices.names[i], stored))
        {
            choices.selected = i;
            break;
        }
    }
    return choices;
}

bool CStationSettings::IsListed(const XNode* child)
{
    return ChildText(child, L"Type").empty() && !ChildText(child, L"GUID").empty() && IsUsed(child);
}

CStationSettings::CStationSettings()
    : m_stations(
          {0, 0, kAddressExists, false, kMinRows},
          [](const StationInfo& record) { return record.ipAddress; }, IpField().key)
{
}

void CStationSettings::Load(const CGatewayConfigDoc& document, const CToolFiles&)
{
    std::vector<StationInfo> rows;
    if (const XNode* stations = document.Stations())
    {
        for (const XNode* child : stations->GetChilds())
        {
            if (!IsListed(child))
                continue;
            StationInfo record{ChildText(child, L"GUID"),      ChildText(child, L"Name"),
                               ChildText(child, L"PseudoID"),  ChildText(child, L"IPAddress"),
                               ChildText(child, L"AudioPlay"), ChildText(child, L"AudioRecord"),
                               ChildText(child, L"IsData"),    ChildText(child, L"UseFrontMic")};
            // The page shows every station as it lists it, which settles the two switches.
            CShown shown = Shown(record);
            record.isData = std::move(shown.isData);
            record.useFrontMic = std::move(shown.useFrontMic);
            rows.push_back(std::move(record));
        }
    }
    m_stations.Assign(std::move(rows));
}

void CStationSettings::Save(CGatewayConfigDoc& document, const CToolFiles&, CFileChanges&) const
{
    XNode* stations = document.EnsureStations();
    // Each record writes into the element a load made it from: the i-th record of a GUID into
    // the i-th listed element of that GUID (compared without regard to case), so that two
    // stations of one GUID keep their own elements. Other elements are never written.
    const auto& rows = m_stations.Rows();
    std::vector<XNode*> elementOf(rows.size(), nullptr);
    std::vector<bool> taken(stations->GetChildCount(), false);
    for (size_t row = 0; row < rows.size(); ++row)
    {
        // A station without a GUID (the system's random source failed) is no other entry.
        if (rows[row].guid.empty())
            continue;
        for (size_t i = 0; i < stations->GetChildCount(); ++i)
        {
            XNode* child = stations->GetChild(i);
            if (!taken[i] && IsListed(child) &&
                rz::EqualsNoCase(ChildText(child, L"GUID"), rows[row].guid))
            {
                taken[i] = true;
                elementOf[row] = child;
                break;
            }
        }
    }
    // What the list does not hold goes, repeater slots aside: this drops the entries the
    // list skipped (inactive ones, ones without a GUID) and the stations removed from it.
    for (size_t i = stations->GetChildCount(); i-- > 0;)
    {
        XNode* child = stations->GetChild(i);
        if (!taken[i] && !IsRepeaterSlot(child))
            stations->RemoveChild(child);
    }

    std::vector<size_t> ordered(rows.size());
    for (size_t row = 0; row < rows.size(); ++row)
        ordered[row] = row;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [&rows](size_t a, size_t b) { return rows[a].ipAddress < rows[b].ipAddress; });
    for (const size_t row : ordered)
    {
        if (elementOf[row] != nullptr)
            WriteValues(elementOf[row], rows[row]);
        else
            AppendStation(stations, rows[row]);
    }
}

CEntryResult CStationSettings::AddStation(const StationEntry& entry)
{
    if (CRefusal refused = CheckEntry(entry))
        return CEntryResult::From(refused);
    return CEntryResult::From(m_stations.Add(RecordOf(rz::NewGuidText(), entry)));
}

CEntryResult CStationSettings::ChangeStation(size_t row, const StationEntry& entry)
{
    if (CRefusal refused = CheckEntry(entry))
        return CEntryResult::From(refused);
    if (!m_stations.IsRow(row))
        return CEntryResult::From({decltype(m_stations)::kNoSuchRow});
    // Another station's IP is refused, as in add mode: one IP is one station.
    return CEntryResult::From(m_stations.Change(row, RecordOf(m_stations.Rows()[row].guid, entry)));
}
