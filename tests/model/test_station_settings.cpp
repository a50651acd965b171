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
    return L"<Station>" + (used.empty() ? L"" : L"<Used>" + used + L"</Used>") + L"<GUID>" + guid +
           L"</GUID><Name>" + name + L"</Name><IPAddress>" + ip +
           L"</IPAddress><PseudoID>7</PseudoID><UseFrontMic>" + frontMic +
           L"</UseFrontMic><IsData>" + isData +
           L"</IsData><AudioPlay>Spk</AudioPlay><AudioRecord>Mic</AudioRecord>"
           L"<Volum><RecordVolum>5</RecordVolum><PlaybackVolum>6</PlaybackVolum></Volum></Station>";
}

std::wstring Repeater(const std::wstring& type, const std::wstring& guid)
{
    return L"<Station><Type>" + type + L"</Type><Used>TRUE</Used><GUID>" + guid +
           L"</GUID><SlotID>1</SlotID><RadioID>1001</RadioID><RepeaterGUID>R-" + guid +
           L"</RepeaterGUID><Name>Hill TS1</Name><IPAddress>10.1.1.1</IPAddress>"
           L"<Volum><RecordVolum>1</RecordVolum><PlaybackVolum>2</PlaybackVolum></Volum>"
           L"</Station>";
}

std::wstring Compact(const XNode* node)
{
    RUROR::DISP_OPT opt;
    opt.newline = false;
    return node->GetXML(opt);
}

class StationSettingsTest : public ::testing::Test
{
protected:
    // Writes and loads a document whose Stations element holds the given children (none: no
    // Stations at all), and loads the settings from it.
    void Load(const std::wstring& stations, bool withStations = true)
    {
        const std::wstring list =
            L"<QuorixStations><Stations>" + stations + L"</Stations></QuorixStations>";
        rztest::WriteBytes(
            m_dir.File("GatewayConfig.XML"),
            rztest::Utf16Document(L"<MXRGateways><GatewayConfig><LocalIP>1.2.3.4</LocalIP>" +
                                  (withStations ? list : L"") +
                                  L"<Language>English</Language></GatewayConfig></MXRGateways>"));
        m_document.Unload();
        ASSERT_TRUE(m_document.Load(m_dir.File("GatewayConfig.XML")));
        m_settings.Load(m_document, {m_dir.Path()});
    }
    // Saves the settings into the document, writes it and reads the file again into the
    // document and the settings; the stations written, one compact text each.
    std::vector<std::wstring> SaveAndReload()
    {
        CFileChanges changes;
        m_settings.Save(m_document, {m_dir.Path()}, changes);
        EXPECT_TRUE(changes.Empty());
        EXPECT_EQ(m_document.Save(), 1);
        m_document.Unload();
        EXPECT_TRUE(m_document.Load(m_dir.File("GatewayConfig.XML")));
        m_settings.Load(m_document, {m_dir.Path()});
        std::vector<std::wstring> written;
        for (const XNode* child : m_document.Stations()->GetChilds())
            written.push_back(Compact(child));
        return written;
    }
    // An entry with a pseudo ID.
    static StationEntry Entry(const std::wstring& alias, const std::wstring& ip)
    {
        return {alias, L"42", ip, false, false, false, L"", L""};
    }
    const std::vector<StationInfo>& Rows() const { return m_settings.Stations().Rows(); }
    // The text of a child of the i-th element of the station list.
    std::wstring Value(size_t i, const wchar_t* name) const
    {
        return m_document.Stations()->GetChild(i)->GetChildValue(name);
    }

    CTempDir m_dir;
    CGatewayConfigDoc m_document;
    CStationSettings m_settings;
};

} // namespace

// A save writes each listed station into its own element, two of one GUID too, keeps the
// repeater slots (even one that carries a station's GUID) and drops what the list skipped.
TEST_F(StationSettingsTest, OnlyActiveStationsWithAGuidAndNoTypeAreListedAndKeptBySave)
{
    const std::wstring longName(300, L'n');
    const std::vector<std::wstring> kept = {
        Repeater(L"REPEATER", L"G-1"), Station(L"true", L"G-1", L"lower", L"10.0.0.9"),
        Station(L"tRuE", L"G-7", L"mixed", L"10.0.0.1"), Repeater(L"Repeater", L"R-2"),
        Station(L"TRUE", L"g-1", longName, L"10.0.0.9")};
    Load(kept[0] + kept[1] + Station(L"FALSE", L"G-2", L"inactive", L"10.0.0.2") +
         Station(L"", L"G-4", L"no used", L"10.0.0.4") +
         Station(L"TRUE", L"", L"no guid", L"10.0.0.5") + Repeater(L"Other", L"G-6") + kept[2] +
         kept[3] + Station(L"yes", L"G-8", L"yes", L"10.0.0.8") + L"<Note>kept?</Note>" + kept[4]);
    // Document order, not address order; a station of another's address is listed too.
    ASSERT_EQ(m_settings.Stations().Count(), 3u);
    EXPECT_EQ(Rows()[0],
              (StationInfo{L"G-1", L"lower", L"7", L"10.0.0.9", L"Spk", L"Mic", L"0", L"0"}));
    EXPECT_EQ(m_settings.Stations().DuplicateKeys(), std::vector<std::wstring>{L"10.0.0.9"});
    EXPECT_EQ(m_settings.Stations().RowsWithKey(L"10.0.0.9"), (std::vector<size_t>{0, 2}));
    const std::vector<StationInfo> rows = Rows();
    EXPECT_EQ(SaveAndReload(), kept);
    EXPECT_EQ(Rows(), rows);

    // Removing a station from the list removes its element; the repeaters stay again.
    m_settings.RemoveStations({1});
    EXPECT_EQ(SaveAndReload(), (std::vector<std::wstring>{kept[0], kept[1], kept[3], kept[4]}));

    // The list shows five rows at least, blank ones padding it.
    EXPECT_EQ(m_settings.Stations().ShownRows(), 5);
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(m_settings.AddStation(Entry(L"s", L"10.1.0." + std::to_wstring(i))),
                  CEntryResult{});
    EXPECT_EQ(m_settings.Stations().ShownRows(), 6);
    m_settings.RemoveStations({5});
    EXPECT_EQ(m_settings.Stations().ShownRows(), 5);
}

TEST_F(StationSettingsTest, NewStationsAndMissingValuesAreAppendedInTheDocumentsOrder)
{
    // A document without Stations lists nothing; a save makes them.
    Load(L"", false);
    EXPECT_EQ(m_settings.Stations().Count(), 0u);
    const StationEntry entry{L"Dock 4", L"42", L"10.0.0.4",     false,
                             false,     true,  L"Desk Speaker", L"Desk Mic"};
    ASSERT_EQ(m_settings.AddStation(entry), CEntryResult{});
    const std::wstring guid = Rows()[0].guid;
    EXPECT_TRUE(std::regex_match(
        guid, std::wregex(L"[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")));
    EXPECT_EQ(SaveAndReload(),
              std::vector<std::wstring>{
                  L"<Station><Used>TRUE</Used><GUID>" + guid +
                  L"</GUID><Name>Dock 4</Name><IPAddress>10.0.0.4</IPAddress><PseudoID>42"
                  L"</PseudoID><UseFrontMic>1</UseFrontMic><IsData>0</IsData>"
                  L"<AudioPlay>Desk Speaker</AudioPlay><AudioRecord>Desk Mic</AudioRecord>"
                  L"<Volum><RecordVolum>3</RecordVolum><PlaybackVolum>3</PlaybackVolum></Volum>"
                  L"</Station>"});
    EXPECT_EQ(m_document.Stations()->GetParent()->name, L"QuorixStations");
    EXPECT_EQ(m_document.Stations()->GetParent()->GetParent()->name, L"GatewayConfig");

    // New stations are appended in address order (as text), whatever order they were added in.
    ASSERT_EQ(m_settings.AddStation(Entry(L"nine", L"10.0.0.9")), CEntryResult{});
    ASSERT_EQ(m_settings.AddStation(Entry(L"ten", L"10.0.0.10")), CEntryResult{});
    ASSERT_EQ(SaveAndReload().size(), 3u);
    EXPECT_EQ(Value(1, L"Name"), L"ten");
    EXPECT_EQ(Value(2, L"Name"), L"nine");

    // A station missing values reads them as empty, the switches as "0"; a save appends them
    // and keeps what else it has.
    Load(L"<Station><Used>TRUE</Used><Extra>x</Extra><GUID>g-lower</GUID><Name>bare</Name>"
         L"<Type></Type></Station>");
    EXPECT_EQ(Rows(),
              (std::vector<StationInfo>{{L"g-lower", L"bare", L"", L"", L"", L"", L"0", L"0"}}));
    EXPECT_EQ(SaveAndReload(),
              std::vector<std::wstring>{
                  L"<Station><Used>TRUE</Used><Extra>x</Extra><GUID>g-lower</GUID><Name>bare"
                  L"</Name><Type/><IPAddress/><PseudoID/><UseFrontMic>0</UseFrontMic><IsData>0"
                  L"</IsData><AudioPlay/><AudioRecord/></Station>"});
}

TEST_F(StationSettingsTest, TheCheckBoxesAndTheStoredKindAgree)
{
    Load(Station(L"TRUE", L"G-1", L"five", L"10.0.0.1", L"5", L"7") +
         Station(L"TRUE", L"G-2", L"empty", L"10.0.0.2", L"", L"") +
         Station(L"TRUE", L"G-3", L"quick", L"10.0.0.3", L"2", L"1"));
    // "5" shows GPS ticked and is kept until the station is changed; the microphone switch
    // becomes "1", an empty kind "0".
    EXPECT_EQ(CStationSettings::Shown(Rows()[0]),
              (CStationSettings::CShown{CStationSettings::kGps, true, L"5", L"1"}));
    EXPECT_EQ(Rows()[0].isData, L"5");
    EXPECT_EQ(Rows()[0].useFrontMic, L"1");
    EXPECT_EQ(Rows()[1].isData, L"0");
    EXPECT_EQ(Rows()[1].useFrontMic, L"0");
    EXPECT_EQ(CStationSettings::Shown(Rows()[2]).kind, CStationSettings::kQuickGps);
    const StationEntry shown = CStationSettings::EntryOf(Rows()[0]);
    EXPECT_EQ(shown, (StationEntry{L"five", L"7", L"10.0.0.1", false, true, true, L"Spk", L"Mic"}));
    SaveAndReload();
    EXPECT_EQ(Value(0, L"IsData"), L"5");

    // Changed as shown, it is written back as a GPS station.
    ASSERT_EQ(m_settings.ChangeStation(0, shown), CEntryResult{});
    EXPECT_EQ(Rows()[0].isData, L"1");
    SaveAndReload();
    EXPECT_EQ(Value(0, L"IsData"), L"1");
    EXPECT_EQ(Value(0, L"UseFrontMic"), L"1");
    EXPECT_EQ(Value(1, L"UseFrontMic"), L"0");

    // Quick GPS wins over GPS. Only a voice station has sound; quick GPS also takes the GPS box
    // away.
    using Fields = CStationSettings::CEditorFields;
    for (const auto& [quick, gps, isData, fields] :
         {std::tuple{true, true, L"2", Fields{false, false}},
          std::tuple{true, false, L"2", Fields{false, false}},
          std::tuple{false, true, L"1", Fields{true, false}},
          std::tuple{false, false, L"0", Fields{true, true}}})
    {
        const StationEntry entry{L"kind", L"42", L"10.0.0.3", quick, gps, false, L"", L""};
        ASSERT_EQ(m_settings.ChangeStation(2, entry), CEntryResult{});
        EXPECT_EQ(Rows()[2].isData, isData);
        EXPECT_EQ(CStationSettings::EditorFields(quick, gps), fields);
    }
}

TEST_F(StationSettingsTest, TheEditorsSaveChecksRunInOrderAndChangeNothingWhenRefused)
{
    const std::wstring alias32(32, L'x');
    Load(Station(L"TRUE", L"G-1", L"one", L"10.0.0.1") +
         Station(L"TRUE", L"G-2", alias32, L"10.0.0.2") +
         Station(L"TRUE", L"G-3", std::wstring(31, L'y'), L"10.0.0.3"));
    CStationSettings& settings = m_settings;
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
    EXPECT_EQ(settings.ChangeStation(1, CStationSettings::EntryOf(Rows()[1])),
              refused(10022, alias32, "alias"));
    // Another station's address is refused in change mode too.
    EXPECT_EQ(settings.ChangeStation(0, Entry(L"one", L"10.0.0.3")),
              refused(10004, L"10.0.0.3", "ip"));
    EXPECT_EQ(settings.ChangeStation(7, Entry(L"one", L"10.0.0.7")).status, CEntryResult::Refused);
    EXPECT_EQ(settings, loaded);

    // 31 characters pass; a change keeps the GUID and the row, also with its own address.
    EXPECT_EQ(settings.ChangeStation(2, CStationSettings::EntryOf(Rows()[2])), CEntryResult{});
    StationEntry moved = Entry(L"moved", L"10.0.0.9");
    moved.speaker = L"New Speaker";
    ASSERT_EQ(settings.ChangeStation(0, moved), CEntryResult{});
    EXPECT_EQ(Rows()[0],
              (StationInfo{L"G-1", L"moved", L"42", L"10.0.0.9", L"New Speaker", L"", L"0", L"0"}));
    ASSERT_EQ(settings.ChangeStation(0, Entry(L"again", L"10.0.0.9")), CEntryResult{});
    EXPECT_EQ(Rows()[0].guid, L"G-1");
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
