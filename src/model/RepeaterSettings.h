#pragma once

#include "model/Choices.h"
#include "model/FieldFilters.h"
#include "model/RecordList.h"
#include "model/RtpTypeList.h"
#include "model/SettingsModel.h"

#include <array>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <optional>
#include <string>
#include <vector>

// A text of a repeater. Those read from a document live in the settings' block of memory (a
// list of 1,000 slot elements is read without an allocation per text). A text keeps the memory
// it was made with: one assigned to a loaded row goes into the block too, and the copy of a row
// has memory of its own.
using RepeaterText = std::pmr::wstring;

// One time slot of a repeater, as its slot element in the document describes it. Values from
// the document are kept whole.
struct RepeaterSlot
{
    bool used = false;
    RepeaterText guid; // the slot element's own GUID
    RepeaterText name; // the slot's alias
    RepeaterText subNetId;
    int32_t isData = 0;       // 0 none, 1 GPS data repeater, 2 quick GPS
    bool isLocalSlot = false; // the slot is an IP site channel
    uint32_t rtpEnable = 0;   // the slot is encrypted when this is not 0
    uint32_t rtpType = 0;

    bool operator==(const RepeaterSlot&) const = default;
};

// One repeater of the repeater list: its identity, the values it writes into both of its slot
// elements, and its two time slots.
struct RepeaterInfo
{
    RepeaterText repeaterGuid; // links the two slot elements
    RepeaterText radioId;      // the list's key: no two repeaters share one
    RepeaterText alias;
    RepeaterText ipSiteId;
    RepeaterText pseudoId;
    std::array<RepeaterSlot, 2> slots; // slot 1, slot 2

    bool operator==(const RepeaterInfo&) const = default;
};

// What the repeater fields hold while a repeater is added or changed: the texts as typed, the
// check boxes as checked (also while the enabling rule has disabled them).
struct RepeaterEntry
{
    struct Slot
    {
        bool used = false;
        std::wstring alias;
        std::wstring subNetId;
        bool quickGps = false;
        bool gpsData = false; // GPS Data Repeater
        bool ipSiteChannel = false;
        bool encrypt = false;
        uint32_t rtpType = CRtpTypeList::kNone; // the value of the chosen RTP type

        bool operator==(const Slot&) const = default;
    };
    std::wstring radioId;
    std::wstring alias;
    std::wstring ipSiteId;
    std::wstring pseudoId;
    std::array<Slot, 2> slots;

    bool operator==(const RepeaterEntry&) const = default;
};

// Which controls of a slot are enabled.
struct SlotEnabling
{
    bool alias = false;
    bool subNetId = false;
    bool quickGps = false;
    bool gpsData = false;
    bool ipSiteChannel = false;
    bool encrypt = false;
    bool rtpType = false;

    bool operator==(const SlotEnabling&) const = default;
};

// What a load of the repeaters met that a person may want to know before a save.
struct RepeaterLoadReport
{
    int slotElements = 0;   // slot elements read into a repeater
    int brokenElements = 0; // repeater elements without RepeaterGUID or RadioID: skipped
    // Radio IDs whose slot elements carry more than one RepeaterGUID: the repeater keeps the
    // last one, and the elements of the others go at the next save.
    std::vector<std::wstring> mergedRadioIds;
    // Radio IDs with a slot element whose SlotID is neither "1" nor "2": read as slot 2, but
    // not found again by a save, which writes a slot 2 element beside it.
    std::vector<std::wstring> otherSlotIds;

    bool operator==(const RepeaterLoadReport&) const = default;
};

// The repeater settings: the fifteen port and timeout settings of the repeater interface and
// the repeaters, each with two time slots kept as two Station elements of type "Repeater" in
// the station list (beside the dispatch stations, which this model never touches). The page
// and the command line both work through it.
//
// The list shows the repeaters in the order the document first names their Radio IDs, new
// ones at its end; a save writes them in ascending Radio ID order, compared as case-sensitive
// strings (so "1001" before "999"), as the page's sorted map of repeaters does.
class CRepeaterSettings : public ISettingsModel
{
public:
    // The page's messages.
    static constexpr int kValueRequired = 10022;
    static constexpr int kRadioIdExists = 10045;
    static constexpr int kMinRows = 6;
    static constexpr size_t kPortCount = 15;

    // One port or timeout setting: its element (also its command-line name), the template
    // label's text ID, the field's control ID, its default, and the field that edits it.
    struct CPortSetting
    {
        const wchar_t* element;
        int labelId;
        int fieldId;
        const wchar_t* defaultValue;
        fields::Rule field;
    };
    // The fifteen settings in the order they are read and written.
    static const std::array<CPortSetting, kPortCount>& PortSettings();
    // The place of a setting named by its element, without regard to case.
    static std::optional<size_t> PortIndex(std::string_view element);

    // The repeater fields; their keys are the command line's names. The slot fields are the
    // same for both slots except the subnet ID, which holds 16 characters in slot 2 only.
    static const fields::Rule& RadioIdField();
    static const fields::Rule& AliasField();
    static const fields::Rule& IpSiteIdField();
    static const fields::Rule& PseudoIdField();
    static const fields::Rule& SlotAliasField(int slot);
    static const fields::Rule& SlotSubNetIdField(int slot);
    // What a slot carries, by its check boxes: "0" voice only, "1" GPS data repeater, "2"
    // quick GPS (the IsData values).
    static const CChoiceTable& SlotKinds();

    // The port settings' values in table order.
    std::array<std::wstring, kPortCount> ports;

    CRepeaterSettings();

    // The port settings (each its default when missing or empty), the repeaters of the
    // station list, and the RTP types of RaviraZazu_Gateway.ini.
    void Load(const CGatewayConfigDoc& document, const CToolFiles& files) override;
    // Sets or creates the port settings in table order, writes each repeater's slot 1 and slot
    // 2 element in Radio ID order (updating the element it had, or appending a new one), then
    // removes every repeater element whose RepeaterGUID no repeater has.
    void Save(CGatewayConfigDoc& document, const CToolFiles& files,
              CFileChanges& changes) const override;

    // The repeaters in list order; the list shows at least kMinRows rows.
    const CRecordList<RepeaterInfo>& Repeaters() const { return m_repeaters; }
    // The RTP types both RTP Type lists offer.
    const CRtpTypeList& RtpTypes() const { return m_rtpTypes; }
    const RepeaterLoadReport& LoadReport() const { return m_report; }
    // The row of the repeater with a Radio ID.
    std::optional<size_t> RowOf(const std::wstring& radioId) const;
    // The repeaters in the order a save writes them.
    std::vector<const RepeaterInfo*> InRadioIdOrder() const;

    // "Repeater" and the smallest number from 1 that no repeater's alias has, without regard
    // to case.
    std::wstring ProposedAlias() const;
    // The fields as Add fills them. The page keeps what its Quick GPS, IP Site Channel and RTP
    // Type controls showed; here they are unchecked and the first RTP type.
    RepeaterEntry NewEntry() const;
    // The fields as Add fills them on the page: shown is what the fields held before, of which
    // each slot's Quick GPS, IP Site Channel and RTP Type stay.
    RepeaterEntry NewEntry(const RepeaterEntry& shown) const;
    // The fields as selecting a row fills them.
    RepeaterEntry EntryOf(size_t row) const;

    // The entry editor's Save: 10022 when Radio ID, Alias or IP Site ID is empty, or a slot in
    // use has no alias or subnet ID; in Add mode 10045 when the Radio ID is taken. A new
    // repeater gets new GUIDs; a change keeps the GUIDs and the Radio ID of its row.
    CEntryResult AddRepeater(const RepeaterEntry& entry);
    CEntryResult ChangeRepeater(size_t row, const RepeaterEntry& entry);
    void RemoveRepeaters(const std::vector<size_t>& rows) { m_repeaters.Remove(rows); }

    // The 10022 check of an entry, in the page's order; no refusal when it is complete.
    static CRefusal CheckEntry(const RepeaterEntry& entry);
    // The IsData a slot's check boxes give: 2 for quick GPS, else 1 for a GPS data repeater,
    // else 0.
    static int32_t IsDataOf(const RepeaterEntry::Slot& slot);
    // Checks the boxes of a kind (an index into SlotKinds()).
    static void SetKind(RepeaterEntry::Slot& slot, size_t kind);
    // Which of a slot's controls are enabled for what its boxes show.
    static SlotEnabling EnablingOf(const RepeaterEntry::Slot& slot);

    bool operator==(const CRepeaterSettings&) const = default;

private:
    RepeaterInfo RecordOf(const RepeaterEntry& entry) const;

    // The block the texts of the last load live in. Rows point into it until they are
    // replaced, so it goes only with them. Copied settings get no block: their rows' texts
    // have memory of their own. Assigned settings keep theirs: the rows they had take the new
    // texts into it. A move takes the block along (the moved-to settings hand their old block
    // to the moved-from ones, whose rows they took). Declared before the rows, so that it
    // outlives them.
    class CTextBlock
    {
    public:
        CTextBlock() = default;
        CTextBlock(const CTextBlock&) {}
        CTextBlock(CTextBlock&&) noexcept = default;
        CTextBlock& operator=(const CTextBlock&) { return *this; }
        CTextBlock& operator=(CTextBlock&& other) noexcept
        {
            m_memory.swap(other.m_memory);
            return *this;
        }
        ~CTextBlock() = default;
        // Where texts live is no part of the settings' value.
        bool operator==(const CTextBlock&) const { return true; }

        // Takes a new block once the rows that used the old one are gone.
        void Adopt(std::unique_ptr<std::pmr::monotonic_buffer_resource> memory)
        {
            m_memory = std::move(memory);
        }

    private:
        std::unique_ptr<std::pmr::monotonic_buffer_resource> m_memory;
    };

    CTextBlock m_texts;
    CRecordList<RepeaterInfo> m_repeaters;
    CRtpTypeList m_rtpTypes;
    RepeaterLoadReport m_report;
};
