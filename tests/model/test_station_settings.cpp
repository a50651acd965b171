#include "TestSupport.h"
#include "config/GatewayConfigDoc.h"
#include "model/StationSettings.h"

#include <gtest/gtest.h>
#include <regex>

using RUROR::XNode;
using rztest::CTempDir;

namespace
{

// A Station element of the document, written out by hand.
std::wstring Station(const std::wstring& used, const std::wstring& guid, const std::wstring& name,
                     const std::wstring& ip, const std::wstring& isData = L"0",
                     const std::wstring& frontMic = L"0")
{
    std::wstring xml = L"<Station>";
    if (!used.empty())
        xml += L"<Used>" + used + L"</Used>";
    xml += L"<GUID>" + guid + L"</GUID><Name>" + name + L"</Name><IPAddress>" + ip +
           L"</IPAddress><PseudoID>7</PseudoID><UseFrontMic>" + frontMic +
           L"</UseFrontMic><IsData>" + isData +
           L"</IsData><AudioPlay>Spk</AudioPlay><AudioRecord>Mic</AudioRecord>"
           L"<Volum><RecordVolum>5</RecordVolum><PlaybackVolum>6</PlaybackVolum></Volum>"
           L"</Station>";
    return xml;
}

std::wstring Repeater(const std::wstring& type, const std::wstring& guid)
{
    return L"<Station><Type>" + type + L"</Type><Used>TRUE</Used><GUID>" + guid +
           L"</GUID><SlotID>1</SlotID><RadioID>1001</RadioID><RepeaterGUID>R-" + guid +
           L"</RepeaterGUID><Name>Hill TS1</Name><IPAddress>10.1.1.1</IPAddress>"
           L"<Volum><RecordVolum>1</RecordVolum><PlaybackVolum>2</PlaybackVolum></Volum>"
           L"</Station>";
}

std::vector<std::wstring> ChildNames(const XNode* node)
{
    std::vector<std::wstring> names;
    for (const XNode* child : node->GetChilds())
        names.push_back(child->name);
    return names;
}

std::vector<std::wstring> Guids(const XNode* stations)
{
    std::vector<std::wstring> guids;
    for (const XNode* child : stations->GetChilds())
    {
        const wchar_t* guid = child->GetChildValue(L"GUID");
        guids.push_back(guid != nullptr ? guid : L"-");
    }
    return guids;
}

StationEntry Entry(const std::wstring& alias, const std::wstring& ip)
{
    StationEntry entry;
    entry.alias = alias;
    entry.pseudoId = L"42";
    entry.ipAddress = ip;
    return entry;
}

class StationSettingsTest : public ::testing::Test
{
protected:
    // A document whose Stations element holds the given children (none: no Stations at all).
    void WriteDocument(const std::wstring& stations, bool withStations = true)
    {
        rztest::WriteBytes(
            m_dir.File("GatewayConfig.XML"),
            rztest::Utf16Document(L"<MXRGateways><GatewayConfig><LocalIP>1.2.3.4</LocalIP>" +
                                  (withStations ? L"<QuorixStations><Stations>" + stations +
                                                      L"</Stations></QuorixStations>"
                                                : L"") +
                                  L"<Language>English</Language></GatewayConfig>"
                                  L"</MXRGateways>"));
        m_document.Unload();
        ASSERT_TRUE(m_document.Load(m_dir.File("GatewayConfig.XML")));
    }
    // Saves the model into the document, writes it and reads the file again.
    const XNode* SaveAndReread(const CStationSettings& settings)
    {
        CFileChanges changes;
        settings.Save(m_document, Files(), changes);
        EXPECT_TRUE(changes.Empty());
        EXPECT_EQ(m_document.Save(), 1);
        m_reread.Unload();
        EXPECT_TRUE(m_reread.Load(m_dir.File("GatewayConfig.XML")));
        return m_reread.Stations();
    }
    CToolFiles Files() const { return {m_dir.Path()}; }

    CTempDir m_dir;
    CGatewayConfigDoc m_document;
    CGatewayConfigDoc m_reread;
};

} // namespace

TEST_F(StationSettingsTest, OnlyActiveStationsWithAGuidAndNoTypeAreListedInDocumentOrder)
{
    WriteDocument(Station(L"true", L"G-1", L"lower", L"10.0.0.9") +
                  Station(L"FALSE", L"G-2", L"inactive", L"10.0.0.2") +
                  Repeater(L"Repeater", L"G-3") + Station(L"", L"G-4", L"no used", L"10.0.0.4") +
                  Station(L"TRUE", L"", L"no guid", L"10.0.0.5") + Repeater(L"Other", L"G-6") +
                  Station(L"tRuE", L"G-7", L"mixed", L"10.0.0.1") +
                  Station(L"yes", L"G-8", L"yes", L"10.0.0.8"));
    CStationSettings settings;
    settings.Load(m_document, Files());
    const auto& rows = settings.Stations().Rows();
    ASSERT_EQ(rows.size(), 2u);
    // Document order, not address order.
    EXPECT_EQ(rows[0],
              (StationInfo{L"G-1", L"lower", L"7", L"10.0.0.9", L"Spk", L"Mic", L"0", L"0"}));
    EXPECT_EQ(rows[1].name, L"mixed");
    // The list shows five rows at least, blank ones padding it.
    EXPECT_EQ(settings.Stations().ShownRows(), 5);
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(settings.AddStation(Entry(L"s", L"10.1.0." + std::to_wstring(i))),
                  CEntryResult{});
    EXPECT_EQ(settings.Stations().ShownRows(), 6);
    settings.RemoveStations({5});
    EXPECT_EQ(settings.Stations().ShownRows(), 5);

    // A document without Stations lists nothing.
    WriteDocument(L"", false);
    settings.Load(m_document, Files());
    EXPECT_EQ(settings.Stations().Count(), 0u);
}

TEST_F(StationSettingsTest, SaveUpdatesListedStationsKeepsRepeatersAndDropsTheRest)
{
    WriteDocument(Station(L"true", L"G-1", L"one", L"10.0.0.1") + Repeater(L"REPEATER", L"R-1") +
                  Station(L"FALSE", L"G-2", L"inactive", L"10.0.0.2") +
                  Station(L"TRUE", L"G-3", L"three", L"10.0.0.3") + Repeater(L"Repeater", L"R-2") +
                  Station(L"", L"G-4", L"no used", L"10.0.0.4") + L"<Note>kept?</Note>");
    const XNode firstRepeater = *m_document.Stations()->GetChild(size_t{1});
    const XNode secondRepeater = *m_document.Stations()->GetChild(size_t{4});
    CStationSettings settings;
    settings.Load(m_document, Files());
    ASSERT_EQ(settings.Stations().Count(), 2u);

    const XNode* stations = SaveAndReread(settings);
    ASSERT_NE(stations, nullptr);
    // Inactive stations, the one without Used and the stray entry are gone; the rest keep
    // their order.
    ASSERT_EQ(Guids(stations), (std::vector<std::wstring>{L"G-1", L"R-1", L"G-3", L"R-2"}));
    EXPECT_EQ(*stations->GetChild(size_t{1}), firstRepeater);
    EXPECT_EQ(*stations->GetChild(size_t{3}), secondRepeater);
    // An existing station keeps its Used text and its Volum values.
    const XNode* first = stations->GetChild(size_t{0});
    EXPECT_STREQ(first->GetChildValue(L"Used"), L"true");
    EXPECT_STREQ(first->GetChild(L"Volum")->GetChildValue(L"RecordVolum"), L"5");
    EXPECT_STREQ(first->GetChild(L"Volum")->GetChildValue(L"PlaybackVolum"), L"6");

    // Removing a station from the list removes it from the document, repeaters stay again.
    settings.Load(m_reread, Files());
    settings.RemoveStations({0});
    stations = SaveAndReread(settings);
    ASSERT_EQ(Guids(stations), (std::vector<std::wstring>{L"R-1", L"G-3", L"R-2"}));
    EXPECT_EQ(*stations->GetChild(size_t{0}), firstRepeater);
    EXPECT_EQ(*stations->GetChild(size_t{2}), secondRepeater);
}

TEST_F(StationSettingsTest, ANewStationIsAppendedWithItsChildrenInTheDocumentsOrder)
{
    WriteDocument(Repeater(L"Repeater", L"R-1") + Station(L"TRUE", L"G-1", L"one", L"10.0.0.1"));
    CStationSettings settings;
    settings.Load(m_document, Files());
    StationEntry entry = Entry(L"Dock 4", L"10.0.0.4");
    entry.frontMic = true;
    entry.speaker = L"Desk Speaker";
    entry.microphone = L"Desk Mic";
    ASSERT_EQ(settings.AddStation(entry), CEntryResult{});
    const std::wstring guid = settings.Stations().Rows()[1].guid;
    EXPECT_TRUE(std::regex_match(
        guid, std::wregex(L"[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")));

    const XNode* stations = SaveAndReread(settings);
    ASSERT_EQ(stations->GetChildCount(), 3u);
    const XNode* added = stations->GetChild(size_t{2});
    EXPECT_EQ(added->name, L"Station");
    EXPECT_EQ(ChildNames(added),
              (std::vector<std::wstring>{L"Used", L"GUID", L"Name", L"IPAddress", L"PseudoID",
                                         L"UseFrontMic", L"IsData", L"AudioPlay", L"AudioRecord",
                                         L"Volum"}));
    const std::vector<std::wstring> values = {L"TRUE", guid, L"Dock 4",       L"10.0.0.4", L"42",
                                              L"1",    L"0", L"Desk Speaker", L"Desk Mic", L""};
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(added->GetChild(i)->value, values[i]) << i;
    const XNode* volume = added->GetChild(L"Volum");
    EXPECT_EQ(ChildNames(volume), (std::vector<std::wstring>{L"RecordVolum", L"PlaybackVolum"}));
    EXPECT_STREQ(volume->GetChildValue(L"RecordVolum"), L"3");
    EXPECT_STREQ(volume->GetChildValue(L"PlaybackVolum"), L"3");

    // New stations are appended in address order (as text), whatever order they were added in.
    settings.Load(m_reread, Files());
    ASSERT_EQ(settings.AddStation(Entry(L"nine", L"10.0.0.9")), CEntryResult{});
    ASSERT_EQ(settings.AddStation(Entry(L"ten", L"10.0.0.10")), CEntryResult{});
    stations = SaveAndReread(settings);
    ASSERT_EQ(stations->GetChildCount(), 5u);
    EXPECT_STREQ(stations->GetChild(size_t{3})->GetChildValue(L"Name"), L"ten");
    EXPECT_STREQ(stations->GetChild(size_t{4})->GetChildValue(L"Name"), L"nine");
}

TEST_F(StationSettingsTest, AStationMissingValuesGetsThemAppendedAndKeepsWhatElseItHas)
{
    WriteDocument(L"<Station><Used>TRUE</Used><Extra>x</Extra><GUID>g-lower</GUID>"
                  L"<Name>bare</Name><Type></Type></Station>");
    CStationSettings settings;
    settings.Load(m_document, Files());
    ASSERT_EQ(settings.Stations().Count(), 1u);
    // Missing values read as empty; the switches are shown as "0".
    EXPECT_EQ(settings.Stations().Rows()[0],
              (StationInfo{L"g-lower", L"bare", L"", L"", L"", L"", L"0", L"0"}));
    const XNode* stations = SaveAndReread(settings);
    ASSERT_EQ(stations->GetChildCount(), 1u);
    EXPECT_EQ(ChildNames(stations->GetChild(size_t{0})),
              (std::vector<std::wstring>{L"Used", L"Extra", L"GUID", L"Name", L"Type", L"IPAddress",
                                         L"PseudoID", L"UseFrontMic", L"IsData", L"AudioPlay",
                                         L"AudioRecord"}));
    EXPECT_STREQ(stations->GetChild(size_t{0})->GetChildValue(L"GUID"), L"g-lower");
}

TEST_F(StationSettingsTest, TheCheckBoxesAndTheStoredKindAgree)
{
    WriteDocument(Station(L"TRUE", L"G-1", L"five", L"10.0.0.1", L"5", L"7") +
                  Station(L"TRUE", L"G-2", L"empty", L"10.0.0.2", L"", L"") +
                  Station(L"TRUE", L"G-3", L"quick", L"10.0.0.3", L"2", L"1"));
    CStationSettings settings;
    settings.Load(m_document, Files());
    const auto& rows = settings.Stations().Rows();
    // "5" shows GPS ticked and is kept until the station is changed; the microphone switch
    // becomes "1", an empty kind "0".
    EXPECT_EQ(CStationSettings::Shown(rows[0]),
              (CStationSettings::CShown{CStationSettings::kGps, true, L"5", L"1"}));
    EXPECT_EQ(rows[0].isData, L"5");
    EXPECT_EQ(rows[0].useFrontMic, L"1");
    EXPECT_EQ(rows[1].isData, L"0");
    EXPECT_EQ(rows[1].useFrontMic, L"0");
    EXPECT_EQ(CStationSettings::Shown(rows[2]).kind, CStationSettings::kQuickGps);
    const StationEntry shown = CStationSettings::EntryOf(rows[0]);
    EXPECT_TRUE(shown.gps);
    EXPECT_FALSE(shown.quickGps);
    EXPECT_TRUE(shown.frontMic);

    EXPECT_STREQ(SaveAndReread(settings)->GetChild(size_t{0})->GetChildValue(L"IsData"), L"5");
    // Changed as shown, it is written back as a GPS station.
    ASSERT_EQ(settings.ChangeStation(0, shown), CEntryResult{});
    EXPECT_EQ(rows[0].isData, L"1");
    const XNode* stations = SaveAndReread(settings);
    EXPECT_STREQ(stations->GetChild(size_t{0})->GetChildValue(L"IsData"), L"1");
    EXPECT_STREQ(stations->GetChild(size_t{0})->GetChildValue(L"UseFrontMic"), L"1");
    EXPECT_STREQ(stations->GetChild(size_t{1})->GetChildValue(L"UseFrontMic"), L"0");

    // Quick GPS wins over GPS.
    StationEntry both = Entry(L"both", L"10.0.0.4");
    both.quickGps = true;
    both.gps = true;
    ASSERT_EQ(settings.AddStation(both), CEntryResult{});
    EXPECT_EQ(rows.back().isData, L"2");
    both.quickGps = false;
    ASSERT_EQ(settings.ChangeStation(3, both), CEntryResult{});
    EXPECT_EQ(rows.back().isData, L"1");
    both.gps = false;
    ASSERT_EQ(settings.ChangeStation(3, both), CEntryResult{});
    EXPECT_EQ(rows.back().isData, L"0");
    EXPECT_EQ(CStationSettings::KindOf(true, true), CStationSettings::kQuickGps);

    // Only a voice station has sound; quick GPS also takes the GPS box away.
    using Fields = CStationSettings::CEditorFields;
    EXPECT_EQ(CStationSettings::EditorFields(false, false), (Fields{true, true}));
    EXPECT_EQ(CStationSettings::EditorFields(false, true), (Fields{true, false}));
    EXPECT_EQ(CStationSettings::EditorFields(true, false), (Fields{false, false}));
    EXPECT_EQ(CStationSettings::EditorFields(true, true), (Fields{false, false}));
}

TEST_F(StationSettingsTest, TheEditorsSaveChecksRunInOrderAndChangeNothingWhenRefused)
{
    const std::wstring alias32(32, L'x');
    WriteDocument(Station(L"TRUE", L"G-1", L"one", L"10.0.0.1") +
                  Station(L"TRUE", L"G-2", alias32, L"10.0.0.2") +
                  Station(L"TRUE", L"G-3", std::wstring(31, L'y'), L"10.0.0.3"));
    CStationSettings settings;
    settings.Load(m_document, Files());
    const CStationSettings loaded = settings;
    const auto refused = [](int id, std::wstring subject, std::string field) {
        return CEntryResult{CEntryResult::Refused, CRefusal(id, std::move(subject), field)};
    };

    // Empty values first, in field order, then the alias length, then the address.
    EXPECT_EQ(settings.AddStation(Entry(L"", L"")), refused(10022, L"", "alias"));
    StationEntry noPseudo = Entry(alias32, L"10.0.0.1");
    noPseudo.pseudoId.clear();
    EXPECT_EQ(settings.AddStation(noPseudo), refused(10022, L"", "pseudo-id"));
    EXPECT_EQ(settings.AddStation(Entry(L"a", L"")), refused(10022, L"", "ip"));
    EXPECT_EQ(settings.AddStation(Entry(alias32, L"10.0.0.1")), refused(10022, alias32, "alias"));
    EXPECT_EQ(settings.AddStation(Entry(L"two", L"10.0.0.1")), refused(10004, L"10.0.0.1", "ip"));
    // An alias of 32 characters from the document is refused when the station is saved.
    EXPECT_EQ(settings.ChangeStation(1, CStationSettings::EntryOf(settings.Stations().Rows()[1])),
              refused(10022, alias32, "alias"));
    // Another station's address is refused in change mode too.
    EXPECT_EQ(settings.ChangeStation(0, Entry(L"one", L"10.0.0.3")),
              refused(10004, L"10.0.0.3", "ip"));
    EXPECT_EQ(settings.ChangeStation(7, Entry(L"one", L"10.0.0.7")).status, CEntryResult::Refused);
    EXPECT_EQ(settings, loaded);

    // 31 characters pass; a change keeps the GUID and the row, also with its own address.
    EXPECT_EQ(settings.ChangeStation(2, CStationSettings::EntryOf(settings.Stations().Rows()[2])),
              CEntryResult{});
    StationEntry moved = Entry(L"moved", L"10.0.0.9");
    moved.speaker = L"New Speaker";
    ASSERT_EQ(settings.ChangeStation(0, moved), CEntryResult{});
    EXPECT_EQ(settings.Stations().Rows()[0],
              (StationInfo{L"G-1", L"moved", L"42", L"10.0.0.9", L"New Speaker", L"", L"0", L"0"}));
    ASSERT_EQ(settings.ChangeStation(0, Entry(L"again", L"10.0.0.9")), CEntryResult{});
    EXPECT_EQ(settings.Stations().Rows()[0].guid, L"G-1");

    const XNode* stations = SaveAndReread(settings);
    ASSERT_EQ(Guids(stations), (std::vector<std::wstring>{L"G-1", L"G-2", L"G-3"}));
    EXPECT_STREQ(stations->GetChild(size_t{0})->GetChildValue(L"IPAddress"), L"10.0.0.9");
    // The long alias was kept whole.
    EXPECT_EQ(stations->GetChild(size_t{1})->GetChildValue(L"Name"), alias32);
}

TEST_F(StationSettingsTest, StationsSharingAnAddressInTheDocumentAreAllKept)
{
    const std::wstring longName(300, L'n');
    WriteDocument(Station(L"TRUE", L"G-1", L"first", L"10.0.0.1") +
                  Station(L"TRUE", L"G-2", longName, L"10.0.0.1"));
    CStationSettings settings;
    settings.Load(m_document, Files());
    EXPECT_EQ(settings.Stations().DuplicateKeys(), std::vector<std::wstring>{L"10.0.0.1"});
    EXPECT_EQ(settings.Stations().RowsWithKey(L"10.0.0.1"), (std::vector<size_t>{0, 1}));
    const XNode* stations = SaveAndReread(settings);
    EXPECT_EQ(Guids(stations), (std::vector<std::wstring>{L"G-1", L"G-2"}));
    EXPECT_EQ(stations->GetChild(size_t{1})->GetChildValue(L"Name"), longName);
}

TEST_F(StationSettingsTest, SavingIntoADocumentWithoutStationsMakesThem)
{
    WriteDocument(L"", false);
    CStationSettings settings;
    settings.Load(m_document, Files());
    ASSERT_EQ(settings.AddStation(Entry(L"first", L"10.0.0.1")), CEntryResult{});
    const XNode* stations = SaveAndReread(settings);
    ASSERT_NE(stations, nullptr);
    EXPECT_EQ(stations->GetParent()->name, L"QuorixStations");
    EXPECT_EQ(stations->GetParent()->GetParent()->name, L"GatewayConfig");
    ASSERT_EQ(stations->GetChildCount(), 1u);
    EXPECT_STREQ(stations->GetChild(size_t{0})->GetChildValue(L"Name"), L"first");
}

TEST(StationDevices, AStoredDeviceThatIsGoneIsOfferedAndSelected)
{
    const std::vector<std::wstring> found = {L"USB Speaker", L"analog out", L"", L"USB Speaker"};
    // Sorted without regard to case, each once; the stored name found without regard to case.
    EXPECT_EQ(CStationSettings::DeviceChoices(found, L"usb speaker"),
              (CDeviceChoices{{L"analog out", L"USB Speaker"}, 1}));
    EXPECT_EQ(CStationSettings::DeviceChoices(found, L"Old Headset"),
              (CDeviceChoices{{L"analog out", L"Old Headset", L"USB Speaker"}, 1}));
    EXPECT_EQ(CStationSettings::DeviceChoices(found, L""),
              (CDeviceChoices{{L"analog out", L"USB Speaker"}, std::nullopt}));
    EXPECT_EQ(CStationSettings::DeviceChoices({}, L"Old Headset"),
              (CDeviceChoices{{L"Old Headset"}, 0}));
}

// Two stations of one GUID keep their own elements through a save, and a repeater slot that
// carries a station's GUID is never written.
TEST_F(StationSettingsTest, EachStationIsWrittenIntoItsOwnElement)
{
    WriteDocument(Repeater(L"Repeater", L"G-1") + Station(L"TRUE", L"G-1", L"one", L"10.0.0.1") +
                  Station(L"TRUE", L"g-1", L"two", L"10.0.0.2"));
    const XNode repeater = *m_document.Stations()->GetChild(0);
    CStationSettings settings;
    settings.Load(m_document, Files());
    ASSERT_EQ(settings.Stations().Count(), 2u);
    const XNode* stations = SaveAndReread(settings);

    ASSERT_EQ(stations->GetChildCount(), 3u);
    EXPECT_EQ(*stations->GetChild(0), repeater);
    CStationSettings reread;
    reread.Load(m_reread, Files());
    EXPECT_EQ(reread.Stations().Rows(), settings.Stations().Rows());
}
