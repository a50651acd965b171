#include "model/RepeaterSettings.h"

#include "config/DocumentValues.h"
#include "config/GatewayConfigDoc.h"
#include "platform/Guid.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

using namespace std::string_view_literals;
using docvalues::ChildText;
using RUROR::XNode;

namespace
{

fields::Rule PortField(const char* key)
{
    return {key, fields::Kind::Fixed, fields::PortLimits(), 0};
}

// The text of a node's first child of that name as the document holds it (no copy); empty
// when there is none.
std::wstring_view ChildView(const XNode* node, std::wstring_view name)
{
    const XNode* child = node != nullptr ? node->GetChild(name) : nullptr;
    return child != nullptr ? child->value.View() : std::wstring_view();
}

bool IsRepeaterElement(const XNode* node)
{
    return rz::EqualsNoCase(ChildView(node, L"Type"), std::wstring_view(L"Repeater"));
}

// Whether a repeater element belongs to a repeater: it has the repeater's GUID (without regard
// to case) and its Radio ID. Two repeaters that share a GUID keep their elements apart by their
// Radio IDs, and a broken element (no Radio ID, which a load passes over) belongs to none.
bool BelongsTo(const XNode* element, const RepeaterInfo& repeater)
{
    return rz::EqualsNoCase(ChildView(element, L"RepeaterGUID"), repeater.repeaterGuid) &&
           ChildView(element, L"RadioID") == repeater.radioId;
}

// Sets the text of a node's first child of that name, appending the child when it is missing.
XNode* SetChild(XNode& node, const wchar_t* name, const std::wstring& value)
{
    if (XNode* child = node.GetChild(name))
    {
        child->value = value;
        return child;
    }
    return node.AppendChild(name, value);
}

void AppendOnce(std::vector<std::wstring>& list, const std::wstring& value)
{
    if (std::find(list.begin(), list.end(), value) == list.end())
        list.push_back(value);
}

// Whether two short texts (element names, values such as "1" or "TRUE") are equal: a plain
// loop beats a call.
bool SameText(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
    {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

// The texts of a slot element that a load reads, found in one pass over its children: the
// first child of each name counts, as a lookup by name finds it. The names are listed in the
// order a save writes them, and each child is first compared with the name after the last one
// found, so that an element the tool wrote costs one comparison a child.
class CSlotElementTexts
{
public:
    enum Text
    {
        Type,
        Used,
        Guid,
        SlotId,
        RadioId,
        RepeaterGuid,
        RepeaterAlias,
        IpSiteId,
        Name,
        SubNetId,
        PseudoId,
        IsData,
        IsLocalSlot,
        Volum,     // not read; listed to keep the order
        RtpConfig, // an element: see Rtp()
        Count,
    };

    explicit CSlotElementTexts(const XNode& element)
    {
        size_t next = 0;
        for (size_t i = 0; i < element.GetChildCount(); ++i)
        {
            const XNode* child = element.GetChild(i);
            const std::wstring_view name = child->name.View();
            size_t text = next;
            if (text == Count || !IsNameOf(text, name))
            {
                text = 0;
                while (text < Count && !IsNameOf(text, name))
                    ++text;
                if (text == Count)
                    continue;
            }
            next = text + 1;
            if (m_found[text])
                continue;
            m_found[text] = true;
            if (text == RtpConfig)
                m_rtp = child;
            else
                m_texts[text] = child->value.View();
        }
    }

    std::wstring_view operator[](Text text) const { return m_texts[text]; }
    // The RTPConfig child, or null.
    const XNode* Rtp() const { return m_rtp; }

private:
    // Whether an element name is that of a text. Each name is compared as a block of its known
    // size: a loop over characters stops at a different place for every name, and the
    // mispredicted end costs more than the comparison.
    static bool IsNameOf(size_t text, std::wstring_view name)
    {
        switch (text)
        {
        case Type:
            return Is(name, L"Type");
        case Used:
            return Is(name, L"Used");
        case Guid:
            return Is(name, L"GUID");
        case SlotId:
            return Is(name, L"SlotID");
        case RadioId:
            return Is(name, L"RadioID");
        case RepeaterGuid:
            return Is(name, L"RepeaterGUID");
        case RepeaterAlias:
            return Is(name, L"RepeaterAlias");
        case IpSiteId:
            return Is(name, L"IPSiteID");
        case Name:
            return Is(name, L"Name");
        case SubNetId:
            return Is(name, L"SubNetID");
        case PseudoId:
            return Is(name, L"PseudoID");
        case IsData:
            return Is(name, L"IsData");
        case IsLocalSlot:
            return Is(name, L"IsLocalSlot");
        case Volum:
            return Is(name, L"Volum");
        case RtpConfig:
            return Is(name, L"RTPConfig");
        default:
            return false;
        }
    }
    template <size_t N> static bool Is(std::wstring_view name, const wchar_t (&expected)[N])
    {
        return name.size() == N - 1 &&
               std::memcmp(name.data(), expected, (N - 1) * sizeof(wchar_t)) == 0;
    }

    std::array<std::wstring_view, Count> m_texts{};
    std::array<bool, Count> m_found{};
    const XNode* m_rtp = nullptr;
};

// Where each Radio ID's repeater is in the list while a load builds it, so that a long list
// loads in linear time: open addressing over row numbers, without an allocation per entry.
class CRowIndex
{
public:
    static constexpr size_t kNone = static_cast<size_t>(-1);

    // Room for up to `entries` Radio IDs at less than half load.
    explicit CRowIndex(size_t entries) : m_slots(std::bit_ceil(2 * entries + 2), kNone) {}

    // The row of radioId among rows, or a kNone place to store a new row's number in.
    size_t& Find(std::wstring_view radioId, const std::vector<RepeaterInfo>& rows)
    {
        const size_t mask = m_slots.size() - 1;
        for (size_t i = std::hash<std::wstring_view>()(radioId) & mask;; i = (i + 1) & mask)
        {
            size_t& slot = m_slots[i];
            if (slot == kNone || SameText(rows[slot].radioId, radioId))
                return slot;
        }
    }

private:
    std::vector<size_t> m_slots;
};

// A repeater with empty texts that are to live in a block of memory.
RepeaterInfo BlankRepeater(std::pmr::memory_resource* texts)
{
    const auto text = [texts] { return RepeaterText(texts); };
    const auto slot = [&text] { return RepeaterSlot{false, text(), text(), text()}; };
    return {text(), text(), text(), text(), text(), {slot(), slot()}};
}

// The children a slot element carries, in the order a save sets them (after Type, before
// Volum and RTPConfig).
std::vector<std::pair<const wchar_t*, std::wstring>> SlotValues(const RepeaterInfo& repeater,
                                                                int slotId)
{
    const RepeaterSlot& slot = repeater.slots[slotId - 1];
    return {
        {L"Used", slot.used ? L"TRUE" : L"FALSE"},
        {L"GUID", std::wstring(slot.guid)},
        {L"SlotID", std::to_wstring(slotId)},
        {L"RadioID", std::wstring(repeater.radioId)},
        {L"RepeaterGUID", std::wstring(repeater.repeaterGuid)},
        {L"RepeaterAlias", std::wstring(repeater.alias)},
        {L"IPSiteID", std::wstring(repeater.ipSiteId)},
        {L"Name", std::wstring(slot.name)},
        {L"SubNetID", std::wstring(slot.subNetId)},
        {L"PseudoID", std::wstring(repeater.pseudoId)},
        {L"IsData", std::to_wstring(slot.isData)},
        {L"IsLocalSlot", slot.isLocalSlot ? L"1" : L"0"},
    };
}

// Writes slot slotId of a repeater into each repeater element of the station list that belongs
// to it and has exactly that SlotID, or into a new element appended to the list. Of several such
// elements a load reads the last, so none may keep older values. Type and Volum of an existing
// element stay as they are; an element of another type is never written, whatever GUID and SlotID
// it carries.
void WriteSlot(XNode& stations, const RepeaterInfo& repeater, int slotId)
{
    const RepeaterSlot& slot = repeater.slots[slotId - 1];
    const std::wstring id = std::to_wstring(slotId);
    const auto values = SlotValues(repeater, slotId);
    const auto setRtp = [&slot](XNode& element)
    {
        XNode* rtp = element.GetChild(L"RTPConfig");
        if (rtp == nullptr)
            rtp = element.AppendChild(L"RTPConfig", L"");
        SetChild(*rtp, L"RTPEnable", std::to_wstring(slot.rtpEnable));
        SetChild(*rtp, L"RTPType", std::to_wstring(slot.rtpType));
    };
    bool written = false;
    for (XNode* child : stations.GetChilds())
    {
        if (!IsRepeaterElement(child) || !BelongsTo(child, repeater) ||
            ChildText(child, L"SlotID") != id)
            continue;
        for (const auto& [name, value] : values)
            SetChild(*child, name, value);
        setRtp(*child);
        written = true;
    }
    if (written)
        return;
    XNode* element = stations.AppendChild(L"Station", L"");
    element->AppendChild(L"Type", L"Repeater");
    for (const auto& [name, value] : values)
        element->AppendChild(name, value);
    XNode* volume = element->AppendChild(L"Volum", L"");
    volume->AppendChild(L"RecordVolum", L"3");
    volume->AppendChild(L"PlaybackVolum", L"3");
    setRtp(*element);
}

} // namespace

const std::array<CRepeaterSettings::CPortSetting, CRepeaterSettings::kPortCount>&
CRepeaterSettings::PortSettings()
{
    // The RTP ports default to 30012 and 30014, not to the odd numbers between.
    static const std::array<CPortSetting, kPortCount> settings{{
        {L"ADKRCPPort1", 1146, 1147, L"30009", PortField("ADKRCPPort1")},
        {L"ADKTMPPort1", 1148, 1149, L"30007", PortField("ADKTMPPort1")},
        {L"ADKLPPort1", 1150, 1151, L"30003", PortField("ADKLPPort1")},
        {L"ADKRRSPort1", 1152, 1153, L"30001", PortField("ADKRRSPort1")},
        {L"ADKRTPPort1", 1154, 1155, L"30012", PortField("ADKRTPPort1")},
        {L"ADKRCPPort2", 1156, 1176, L"30010", PortField("ADKRCPPort2")},
        {L"ADKTMPPort2", 1158, 1159, L"30008", PortField("ADKTMPPort2")},
        {L"ADKLPPort2", 1160, 1161, L"30004", PortField("ADKLPPort2")},
        {L"ADKRRSPort2", 1162, 1163, L"30002", PortField("ADKRRSPort2")},
        {L"ADKRTPPort2", 1164, 1165, L"30014", PortField("ADKRTPPort2")},
        {L"ADKTPPort1", 1166, 1167, L"30005", PortField("ADKTPPort1")},
        {L"ADKTPPort2", 1168, 1169, L"30006", PortField("ADKTPPort2")},
        {L"ADKRTPAnalogPort", 1170, 1171, L"30015", PortField("ADKRTPAnalogPort")},
        {L"ADKRCPAnalogPort", 1172, 1173, L"30016", PortField("ADKRCPAnalogPort")},
        {L"RepeaterTransmitTimeout",
         1184,
         1185,
         L"60",
         {"RepeaterTransmitTimeout", fields::Kind::Digits, {}, 0}},
    }};
    return settings;
}

std::optional<size_t> CRepeaterSettings::PortIndex(std::string_view element)
{
    for (size_t i = 0; i < kPortCount; ++i)
        if (rz::EqualsNoCase(element, std::string_view(PortSettings()[i].field.key)))
            return i;
    return std::nullopt;
}

const fields::Rule& CRepeaterSettings::RadioIdField()
{
    static const fields::Rule rule{"radio-id", fields::Kind::Digits, {}, 0};
    return rule;
}

const fields::Rule& CRepeaterSettings::AliasField()
{
    static const fields::Rule rule{"alias", fields::Kind::Text, {}, 32};
    return rule;
}

const fields::Rule& CRepeaterSettings::IpSiteIdField()
{
    static const fields::Rule rule{"ip-site-id", fields::Kind::Digits, {}, 0};
    return rule;
}

const fields::Rule& CRepeaterSettings::PseudoIdField()
{
    static const fields::Rule rule{"pseudo-id", fields::Kind::Text, {}, 16};
    return rule;
}

const fields::Rule& CRepeaterSettings::SlotAliasField(int slot)
{
    static const fields::Rule rules[2] = {{"slot1.alias", fields::Kind::Text, {}, 32},
                                          {"slot2.alias", fields::Kind::Text, {}, 32}};
    return rules[slot == 1 ? 0 : 1];
}

const fields::Rule& CRepeaterSettings::SlotSubNetIdField(int slot)
{
    // Number fields that keep their decimal point; only slot 2's has a length limit.
    static const fields::Rule rules[2] = {{"slot1.subnet", fields::Kind::Decimal, {}, 0},
                                          {"slot2.subnet", fields::Kind::Decimal, {}, 16}};
    return rules[slot == 1 ? 0 : 1];
}

const CChoiceTable& CRepeaterSettings::SlotKinds()
{
    static const CChoiceTable table({
        {L"0", 0, L"voice", "voice"},
        {L"1", 1129, L"GPS Data Repeater", "gps"},
        {L"2", 1230, L"Quick GPS", "quick-gps"},
    });
    return table;
}

CRepeaterSettings::CRepeaterSettings()
    : m_repeaters(
          {0, 0, kRadioIdExists, false, kMinRows},
          [](const RepeaterInfo& repeater) { return std::wstring(repeater.radioId); },
          RadioIdField().key)
{
    for (size_t i = 0; i < kPortCount; ++i)
        ports[i] = PortSettings()[i].defaultValue;
}

void CRepeaterSettings::Load(const CGatewayConfigDoc& document, const CToolFiles& files)
{
    for (size_t i = 0; i < kPortCount; ++i)
    {
        const wchar_t* value = document.GetSetting(PortSettings()[i].element);
        ports[i] = value != nullptr && *value != L'\0' ? value : PortSettings()[i].defaultValue;
    }
    m_rtpTypes = CRtpTypeList::Read(files.RaviraZazuGatewayIni());

    m_report = {};
    const XNode* stations = document.Stations();
    const size_t count = stations != nullptr ? stations->GetChildCount() : 0;
    // One block for the texts, declared before the rows that use it; it starts with room for
    // the usual ones and grows when that is not enough.
    auto texts = std::make_unique<std::pmr::monotonic_buffer_resource>(std::max<size_t>(count, 1) *
                                                                       64 * sizeof(wchar_t));
    std::vector<RepeaterInfo> repeaters;
    // Two slot elements a repeater, as the tool writes them.
    repeaters.reserve(count / 2);
    CRowIndex rowOf(count);
    for (size_t i = 0; i < count; ++i)
    {
        const CSlotElementTexts element(*stations->GetChild(i));
        using T = CSlotElementTexts;
        if (!rz::EqualsNoCase(element[T::Type], L"Repeater"sv))
            continue;
        const std::wstring_view guid = element[T::RepeaterGuid];
        const std::wstring_view radioId = element[T::RadioId];
        if (guid.empty() || radioId.empty())
        {
            ++m_report.brokenElements;
            continue;
        }
        ++m_report.slotElements;
        size_t& row = rowOf.Find(radioId, repeaters);
        if (row == CRowIndex::kNone)
        {
            row = repeaters.size();
            repeaters.push_back(BlankRepeater(texts.get()));
        }
        RepeaterInfo& repeater = repeaters[row];
        // Elements of one Radio ID form one repeater, whatever their GUIDs: each later element
        // overwrites what an earlier one gave.
        if (!repeater.repeaterGuid.empty() && repeater.repeaterGuid != guid)
            AppendOnce(m_report.mergedRadioIds, std::wstring(radioId));
        repeater.repeaterGuid.assign(guid);
        repeater.radioId.assign(radioId);
        repeater.alias.assign(element[T::RepeaterAlias]);
        repeater.ipSiteId.assign(element[T::IpSiteId]);
        repeater.pseudoId.assign(element[T::PseudoId]);

        const std::wstring_view slotId = element[T::SlotId];
        const bool slot1 = SameText(slotId, L"1"sv);
        if (!slot1 && !SameText(slotId, L"2"sv))
            AppendOnce(m_report.otherSlotIds, std::wstring(radioId));
        RepeaterSlot& slot = repeater.slots[slot1 ? 0 : 1];
        slot.rtpEnable = docvalues::UnsignedValue(ChildView(element.Rtp(), L"RTPEnable"sv));
        slot.rtpType = docvalues::UnsignedValue(ChildView(element.Rtp(), L"RTPType"sv));
        slot.guid.assign(element[T::Guid]);
        slot.name.assign(element[T::Name]);
        slot.subNetId.assign(element[T::SubNetId]);
        slot.used = SameText(element[T::Used], L"TRUE"sv);
        slot.isData = docvalues::IntValue(element[T::IsData]);
        slot.isLocalSlot = SameText(element[T::IsLocalSlot], L"1"sv);
    }
    // The old rows go before the block they used.
    m_repeaters.Assign(std::move(repeaters));
    m_texts.Adopt(std::move(texts));
}

void CRepeaterSettings::Save(CGatewayConfigDoc& document, const CToolFiles&, CFileChanges&) const
{
    for (size_t i = 0; i < kPortCount; ++i)
        document.SetSetting(PortSettings()[i].element, ports[i]);

    // A document without a station list gets one only when there is a repeater to write.
    XNode* stations = m_repeaters.Count() != 0 ? document.EnsureStations() : document.Stations();
    if (stations == nullptr)
        return;
    for (const RepeaterInfo* repeater : InRadioIdOrder())
    {
        WriteSlot(*stations, *repeater, 1);
        WriteSlot(*stations, *repeater, 2);
    }
    // Elements of removed repeaters, of GUIDs that lost a merge and broken ones go; children
    // of other types (the dispatch stations) stay.
    for (XNode* element : stations->GetChilds())
    {
        if (!IsRepeaterElement(element))
            continue;
        const bool kept =
            std::any_of(m_repeaters.Rows().begin(), m_repeaters.Rows().end(),
                        [element](const RepeaterInfo& r) { return BelongsTo(element, r); });
        if (!kept)
            stations->RemoveChild(element);
    }
}

std::optional<size_t> CRepeaterSettings::RowOf(const std::wstring& radioId) const
{
    const auto rows = m_repeaters.RowsWithKey(radioId);
    if (rows.empty())
        return std::nullopt;
    return rows.front();
}

std::vector<const RepeaterInfo*> CRepeaterSettings::InRadioIdOrder() const
{
    std::vector<const RepeaterInfo*> ordered;
    for (const RepeaterInfo& repeater : m_repeaters.Rows())
        ordered.push_back(&repeater);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const RepeaterInfo* a, const RepeaterInfo* b)
                     { return a->radioId < b->radioId; });
    return ordered;
}

std::wstring CRepeaterSettings::ProposedAlias() const
{
    for (size_t n = 1;; ++n)
    {
        const std::wstring alias = L"Repeater" + std::to_wstring(n);
        const bool taken = std::any_of(m_repeaters.Rows().begin(), m_repeaters.Rows().end(),
                                       [&alias](const RepeaterInfo& r)
                                       { return rz::EqualsNoCase(r.alias, alias); });
        if (!taken)
            return alias;
    }
}

RepeaterEntry CRepeaterSettings::NewEntry() const
{
    RepeaterEntry entry;
    entry.alias = ProposedAlias();
    entry.ipSiteId = L"1";
    entry.pseudoId = L"0";
    for (int i = 0; i < 2; ++i)
    {
        RepeaterEntry::Slot& slot = entry.slots[i];
        slot.used = true;
        slot.alias = L"Slot" + std::to_wstring(i + 1);
        slot.subNetId = L"10";
        slot.rtpType = m_rtpTypes.FirstValue();
    }
    return entry;
}

RepeaterEntry CRepeaterSettings::NewEntry(const RepeaterEntry& shown) const
{
    RepeaterEntry entry = NewEntry();
    for (size_t i = 0; i < entry.slots.size(); ++i)
    {
        entry.slots[i].quickGps = shown.slots[i].quickGps;
        entry.slots[i].ipSiteChannel = shown.slots[i].ipSiteChannel;
        entry.slots[i].rtpType = shown.slots[i].rtpType;
    }
    return entry;
}

RepeaterEntry CRepeaterSettings::EntryOf(size_t row) const
{
    RepeaterEntry entry;
    if (!m_repeaters.IsRow(row))
        return entry;
    const RepeaterInfo& repeater = m_repeaters.Rows()[row];
    entry.radioId = repeater.radioId;
    entry.alias = repeater.alias;
    entry.ipSiteId = repeater.ipSiteId;
    entry.pseudoId = repeater.pseudoId;
    for (int i = 0; i < 2; ++i)
    {
        const RepeaterSlot& from = repeater.slots[i];
        RepeaterEntry::Slot& slot = entry.slots[i];
        slot.used = from.used;
        slot.alias = from.name;
        slot.subNetId = from.subNetId;
        slot.quickGps = from.isData == 2;
        slot.gpsData = from.isData == 1;
        slot.ipSiteChannel = from.isLocalSlot;
        slot.encrypt = from.rtpEnable != 0;
        slot.rtpType = from.rtpType;
    }
    return entry;
}

CRefusal CRepeaterSettings::CheckEntry(const RepeaterEntry& entry)
{
    if (entry.radioId.empty())
        return {kValueRequired, {}, RadioIdField().key};
    if (entry.alias.empty())
        return {kValueRequired, {}, AliasField().key};
    if (entry.ipSiteId.empty())
        return {kValueRequired, {}, IpSiteIdField().key};
    for (int slot = 1; slot <= 2; ++slot)
    {
        const RepeaterEntry::Slot& fields = entry.slots[slot - 1];
        if (!fields.used)
            continue;
        if (fields.alias.empty())
            return {kValueRequired, {}, SlotAliasField(slot).key};
        if (fields.subNetId.empty())
            return {kValueRequired, {}, SlotSubNetIdField(slot).key};
    }
    return {};
}

RepeaterInfo CRepeaterSettings::RecordOf(const RepeaterEntry& entry) const
{
    RepeaterInfo repeater;
    repeater.radioId = entry.radioId;
    repeater.alias = entry.alias;
    repeater.ipSiteId = entry.ipSiteId;
    repeater.pseudoId = entry.pseudoId;
    for (int i = 0; i < 2; ++i)
    {
        const RepeaterEntry::Slot& from = entry.slots[i];
        RepeaterSlot& slot = repeater.slots[i];
        slot.used = from.used;
        slot.name = from.alias;
        slot.subNetId = from.subNetId;
        slot.isData = IsDataOf(from);
        slot.isLocalSlot = from.ipSiteChannel;
        slot.rtpEnable = from.encrypt ? 1 : 0;
        // A list without a selection selects its first entry.
        slot.rtpType = from.rtpType == CRtpTypeList::kNone ? m_rtpTypes.FirstValue() : from.rtpType;
    }
    return repeater;
}

CEntryResult CRepeaterSettings::AddRepeater(const RepeaterEntry& entry)
{
    if (CRefusal missing = CheckEntry(entry))
        return CEntryResult::From(missing);
    RepeaterInfo repeater = RecordOf(entry);
    repeater.repeaterGuid = rz::NewGuidText();
    repeater.slots[0].guid = rz::NewGuidText();
    repeater.slots[1].guid = rz::NewGuidText();
    return CEntryResult::From(m_repeaters.Add(std::move(repeater)));
}

CEntryResult CRepeaterSettings::ChangeRepeater(size_t row, const RepeaterEntry& entry)
{
    if (!m_repeaters.IsRow(row))
        return CEntryResult::From(CRefusal(CRecordList<RepeaterInfo>::kNoSuchRow));
    const RepeaterInfo& old = m_repeaters.Rows()[row];
    // The Radio ID field is disabled while a repeater is changed: the row keeps its own.
    RepeaterEntry fields = entry;
    fields.radioId = old.radioId;
    if (CRefusal missing = CheckEntry(fields))
        return CEntryResult::From(missing);
    RepeaterInfo repeater = RecordOf(fields);
    repeater.repeaterGuid = old.repeaterGuid;
    repeater.slots[0].guid = old.slots[0].guid;
    repeater.slots[1].guid = old.slots[1].guid;
    return CEntryResult::From(m_repeaters.Change(row, std::move(repeater)));
}

int32_t CRepeaterSettings::IsDataOf(const RepeaterEntry::Slot& slot)
{
    if (slot.quickGps)
        return 2;
    return slot.gpsData ? 1 : 0;
}

void CRepeaterSettings::SetKind(RepeaterEntry::Slot& slot, size_t kind)
{
    slot.quickGps = kind == 2;
    slot.gpsData = kind == 1;
}

SlotEnabling CRepeaterSettings::EnablingOf(const RepeaterEntry::Slot& slot)
{
    SlotEnabling enabled;
    enabled.alias = slot.used;
    enabled.subNetId = slot.used;
    enabled.quickGps = slot.used;
    enabled.gpsData = slot.used && !slot.quickGps;
    enabled.ipSiteChannel = enabled.gpsData && !slot.gpsData;
    enabled.encrypt = enabled.ipSiteChannel;
    enabled.rtpType = enabled.encrypt && slot.encrypt;
    return enabled;
}
