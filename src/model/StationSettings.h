#pragma once

#include "model/Choices.h"
#include "model/FieldFilters.h"
#include "model/RecordList.h"
#include "model/SettingsModel.h"

#include <optional>
#include <string>
#include <vector>

namespace RUROR
{
class XNode;
}

// One dispatch station: the texts of its Station element, whole, as the document has them.
struct StationInfo
{
    std::wstring guid;
    std::wstring name; // the alias
    std::wstring pseudoId;
    std::wstring ipAddress;   // the address of the station's adapter on this computer
    std::wstring audioPlay;   // speaker device name
    std::wstring audioRecord; // microphone device name
    std::wstring isData;      // "0" voice, "1" GPS dispatch station, "2" quick GPS station
    std::wstring useFrontMic; // "1" when the remote speaker microphone is used, else "0"

    bool operator==(const StationInfo&) const = default;
};

// What the station editor holds when its Save is pressed: the three texts, the three check
// boxes and the selected speaker and microphone (empty when none is selected).
struct StationEntry
{
    std::wstring alias;
    std::wstring pseudoId;
    std::wstring ipAddress;
    bool quickGps = false; // "Quick GPS Station"
    bool gps = false;      // "GPS Dispatch Station"
    bool frontMic = false; // "Activate Microphone"
    std::wstring speaker;
    std::wstring microphone;

    bool operator==(const StationEntry&) const = default;
};

// The entries of a speaker or microphone drop-down, and the one to select.
struct CDeviceChoices
{
    std::vector<std::wstring> names; // sorted without regard to case, each once
    // The entry of the stored name; none for an empty name (the list keeps its selection).
    std::optional<size_t> selected;

    bool operator==(const CDeviceChoices&) const = default;
};

// The Dispatch Station Settings: the dispatch stations of the Stations element (the entries
// without a Type), with the rules of adding, changing and removing them, and their writing
// back. The page and the command line both work through it.
class CStationSettings : public ISettingsModel
{
public:
    // The page's messages.
    static constexpr int kValueRequired = 10022;
    static constexpr int kAddressExists = 10004;
    // An alias of this many characters or more is refused (only the document can hold one:
    // the Alias field takes at most kAliasTyped characters).
    static constexpr size_t kAliasRefused = 32;
    static constexpr size_t kAliasTyped = 16;
    static constexpr int kMinRows = 5;

    // The station kinds, in IsData order: voice (neither box ticked), GPS dispatch station
    // (text 1060), quick GPS station (a fixed label: no text exists for it).
    enum Kind : size_t
    {
        kVoice = 0,
        kGps = 1,
        kQuickGps = 2,
    };
    static const CChoiceTable& Kinds();

    // The editor's fields; their keys are the command line's names.
    static const fields::Rule& AliasField();
    static const fields::Rule& PseudoIdField();
    static const fields::Rule& IpField();
    static const fields::Rule& SpeakerField();
    static const fields::Rule& MicrophoneField();

    // How a record shows in the editor: the kind its check boxes tick, whether "Activate
    // Microphone" is ticked, and the values the record holds once shown (an empty IsData
    // becomes "0", UseFrontMic becomes "0" or "1"; any IsData but "", "0" and "2" shows as
    // GPS and is kept until the station is changed).
    struct CShown
    {
        Kind kind = kVoice;
        bool frontMic = false;
        std::wstring isData;
        std::wstring useFrontMic;

        bool operator==(const CShown&) const = default;
    };
    static CShown Shown(const StationInfo& record);
    // The kind the two check boxes give: quick GPS wins over GPS.
    static Kind KindOf(bool quickGps, bool gps);
    // Which of the editor's controls fit the kind the check boxes give: "GPS Dispatch Station"
    // only without "Quick GPS Station"; "Activate Microphone" and the speaker and microphone
    // only for a voice station (a GPS station carries data, no sound).
    struct CEditorFields
    {
        bool gpsBox = true;
        bool audio = true;

        bool operator==(const CEditorFields&) const = default;
    };
    static CEditorFields EditorFields(bool quickGps, bool gps);
    // The editor's values for a record, as the editor shows it for a change.
    static StationEntry EntryOf(const StationInfo& record);
    // A drop-down's entries from the devices found, and the entry of the stored name (found
    // without regard to case). A stored name that no device has any longer is added and
    // selected as it is, so that changing the station does not lose it.
    static CDeviceChoices DeviceChoices(const std::vector<std::wstring>& found,
                                        const std::wstring& stored);
    // Whether a child of Stations is a dispatch station the page lists: no Type, a GUID, and
    // Used "TRUE" without regard to case.
    static bool IsListed(const RUROR::XNode* child);

    CStationSettings();

    // The listed children of Stations, in document order, each as shown (see Shown).
    void Load(const CGatewayConfigDoc& document, const CToolFiles& files) override;
    // Writes the stations into Stations (made when missing), in address order: the first
    // child with a station's GUID gets its eight values (Used, Volum and Type are left as they
    // are), a station without one is appended as a new Station element. Then every child
    // that is not a repeater slot and whose GUID no station has is removed. Never fails.
    void Save(CGatewayConfigDoc& document, const CToolFiles& files,
              CFileChanges& changes) const override;

    // The stations in list order.
    const CRecordList<StationInfo>& Stations() const { return m_stations; }
    // The editor's Save in add mode: 10022 when the alias, the pseudo ID or the IP is empty
    // or the alias has 32 characters or more; 10004 when a station has the IP. A new station
    // gets a new GUID.
    CEntryResult AddStation(const StationEntry& entry);
    // The editor's Save in change mode: the same checks, but only another station's IP is
    // refused. The row's station keeps its GUID and its place.
    CEntryResult ChangeStation(size_t row, const StationEntry& entry);
    void RemoveStations(const std::vector<size_t>& rows) { m_stations.Remove(rows); }

    bool operator==(const CStationSettings&) const = default;

private:
    CRecordList<StationInfo> m_stations;
};
