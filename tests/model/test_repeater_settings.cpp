#include "TestSupport.h"
#include "config/GatewayConfigDoc.h"
#include "model/RepeaterSettings.h"

#include <filesystem>
#include <gtest/gtest.h>

using RUROR::XNode;
using rztest::CTempDir;

namespace
{

// A dispatch station as the Dispatch Station page writes it; a repeater save must leave it be.
const std::wstring kDispatchStation =
    L"<Station><Used>TRUE</Used><GUID>A3E4B1C2-5D6F-4A7B-8C9D-0E1F2A3B4C5D</GUID>"
    L"<Name>Harbour Ops</Name><IPAddress>192.168.11.101</IPAddress><PseudoID>101</PseudoID>"
    L"<IsData>0</IsData><Volum><RecordVolum>3</RecordVolum><PlaybackVolum>4</PlaybackVolum>"
    L"</Volum></Station>";

// A complete slot element; every datum is given, so that tests change only what they mean.
struct Slot
{
    std::wstring type = L"Repeater";
    std::wstring used = L"TRUE";
    std::wstring guid = L"S1";
    std::wstring slotId = L"1";
    std::wstring radioId = L"1001";
    std::wstring repeaterGuid = L"R-A";
    std::wstring alias = L"Hill";
    std::wstring name = L"TS1";
    std::wstring rtp = L"<RTPConfig><RTPEnable>1</RTPEnable><RTPType>2</RTPType></RTPConfig>";

    std::wstring Xml() const
    {
        return L"<Station><Type>" + type + L"</Type><Used>" + used + L"</Used><GUID>" + guid +
               L"</GUID><SlotID>" + slotId + L"</SlotID><RadioID>" + radioId +
               L"</RadioID><RepeaterGUID>" + repeaterGuid + L"</RepeaterGUID><RepeaterAlias>" +
               alias + L"</RepeaterAlias><IPSiteID>1</IPSiteID><Name>" + name +
               L"</Name><SubNetID>10</SubNetID><PseudoID>201</PseudoID><IsData>0</IsData>"
               L"<IsLocalSlot>0</IsLocalSlot><Volum><RecordVolum>3</RecordVolum>"
               L"<PlaybackVolum>3</PlaybackVolum></Volum>" +
               rtp + L"</Station>";
    }
};

std::wstring Compact(const XNode* node)
{
    RUROR::DISP_OPT opt;
    opt.newline = false;
    return node->GetXML(opt);
}

class RepeaterSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rztest::WriteBytes(m_dir.File("RaviraZazu_Gateway.ini"),
                           "[RTPType]\r\nRTPType1=0:Basic Privacy\r\nRTPType2=2:AES-256\r\n");
    }
    // Writes and loads a document with that station list and those other settings, and loads
    // the fixture's settings from it.
    CRepeaterSettings& Load(const std::wstring& stations, const std::wstring& config = L"")
    {
        rztest::WriteBytes(
            m_dir.File("GatewayConfig.XML"),
            rztest::Utf16Document(L"<MXRGateways><GatewayConfig><Language>English</Language>" +
                                  config + L"<QuorixStations><Stations>" + stations +
                                  L"</Stations></QuorixStations></GatewayConfig></MXRGateways>"));
        m_document.Unload();
        EXPECT_TRUE(m_document.Load(m_dir.File("GatewayConfig.XML")));
        Reload(m_settings);
        return m_settings;
    }
    void Reload(CRepeaterSettings& settings) { settings.Load(m_document, {m_dir.Path()}); }
    void Save(const CRepeaterSettings& settings)
    {
        CFileChanges changes;
        settings.Save(m_document, {m_dir.Path()}, changes);
        EXPECT_TRUE(changes.Empty());
    }
    std::vector<XNode*> Stations() const { return m_document.Stations()->GetChilds(); }
    // The texts of the named children of each element of the station list, a space between
    // them; "-" for a child that is not there.
    std::vector<std::wstring> Column(std::initializer_list<const wchar_t*> names) const
    {
        std::vector<std::wstring> column;
        for (const XNode* element : Stations())
        {
            std::wstring text;
            for (const wchar_t* name : names)
                text += L" " +
                        std::wstring(element->GetChild(name) ? element->GetChildValue(name) : L"-");
            column.push_back(text.substr(1));
        }
        return column;
    }
    // What Add proposes, with a Radio ID.
    static RepeaterEntry Entry(const CRepeaterSettings& settings, const std::wstring& radioId)
    {
        RepeaterEntry entry = settings.NewEntry();
        entry.radioId = radioId;
        return entry;
    }

    CTempDir m_dir;
    CGatewayConfigDoc m_document;
    CRepeaterSettings m_settings;
};

} // namespace

TEST_F(RepeaterSettingsTest, NoRepeaterShowsBlankRowsAndDefaultsAndASaveWritesEveryPort)
{
    CRepeaterSettings& settings =
        Load(kDispatchStation, L"<ADKRTPPort1></ADKRTPPort1><ADKTPPort2>40000</ADKTPPort2>");
    EXPECT_EQ(settings.Repeaters().ShownRows(), 6); // no repeater: six blank rows
    // An empty element shows its default; a value is shown as it is.
    const std::array<std::wstring, 15> shown = {L"30009", L"30007", L"30003", L"30001", L"30012",
                                                L"30010", L"30008", L"30004", L"30002", L"30014",
                                                L"30005", L"40000", L"30015", L"30016", L"60"};
    EXPECT_EQ(settings.ports, shown);

    // The existing elements are set in place; the others are appended in the table's order.
    // No repeater: the station list is as it was.
    Save(settings);
    EXPECT_EQ(Compact(m_document.GatewayConfig()),
              L"<GatewayConfig><Language>English</Language><ADKRTPPort1>30012</ADKRTPPort1>"
              L"<ADKTPPort2>40000</ADKTPPort2><QuorixStations><Stations>" +
                  kDispatchStation +
                  L"</Stations></QuorixStations><ADKRCPPort1>30009</ADKRCPPort1><ADKTMPPort1>"
                  L"30007</ADKTMPPort1><ADKLPPort1>30003</ADKLPPort1><ADKRRSPort1>30001"
                  L"</ADKRRSPort1><ADKRCPPort2>30010</ADKRCPPort2><ADKTMPPort2>30008</ADKTMPPort2>"
                  L"<ADKLPPort2>30004</ADKLPPort2><ADKRRSPort2>30002</ADKRRSPort2><ADKRTPPort2>"
                  L"30014</ADKRTPPort2><ADKTPPort1>30005</ADKTPPort1><ADKRTPAnalogPort>30015"
                  L"</ADKRTPAnalogPort><ADKRCPAnalogPort>30016</ADKRCPAnalogPort>"
                  L"<RepeaterTransmitTimeout>60</RepeaterTransmitTimeout></GatewayConfig>");

    // The port fields correct what is typed as a port field does; the timeout takes digits.
    const auto& table = CRepeaterSettings::PortSettings();
    EXPECT_EQ(fields::TypeInto(table[0].field, L"70000"), L"65535");
    EXPECT_EQ(CRepeaterSettings::PortIndex("adkrcpport2"), 5u);
    EXPECT_EQ(table[5].fieldId, 1176);
    EXPECT_EQ(fields::TypeInto(table[14].field, L"600000"), L"600000");
    EXPECT_FALSE(fields::TypeInto(table[14].field, L"6.5"));
    EXPECT_FALSE(CRepeaterSettings::PortIndex("RepeaterTimeout"));
}

TEST_F(RepeaterSettingsTest, SlotElementsOfOneRadioIdFormOneRepeater)
{
    const Slot first{.type = L"REPEATER", .rtp = L""};
    // SlotID 7 is slot 2, and "true" is not "TRUE"; another GUID of the Radio ID, read last,
    // gives its values.
    const Slot odd{.used = L"true", .guid = L"S2", .slotId = L"7", .name = L"TS2"};
    const Slot last{.guid = L"S3", .repeaterGuid = L"R-B", .alias = L"Later", .name = L"TS1 B"};
    CRepeaterSettings& settings =
        Load(first.Xml() + kDispatchStation + Slot{.radioId = L"", .repeaterGuid = L"R-X"}.Xml() +
             odd.Xml() + Slot{.type = L"Station", .radioId = L"5"}.Xml() + last.Xml());
    ASSERT_EQ(settings.Repeaters().Count(), 1u);
    const RepeaterInfo& row = settings.Repeaters().Rows()[0];
    EXPECT_EQ(row.slots[0], (RepeaterSlot{true, L"S3", L"TS1 B", L"10", 0, false, 1, 2}));
    EXPECT_EQ(row.slots[1], (RepeaterSlot{false, L"S2", L"TS2", L"10", 0, false, 1, 2}));
    EXPECT_EQ(row, (RepeaterInfo{L"R-B", L"1001", L"Later", L"1", L"201", row.slots}));
    EXPECT_EQ(settings.LoadReport(), (RepeaterLoadReport{3, 1, {L"1001"}, {L"1001"}}));

    // The first slot element without RTPConfig reads as 0 and 0.
    const RepeaterSlot& bare = Load(first.Xml()).Repeaters().Rows()[0].slots[0];
    EXPECT_EQ(bare.rtpEnable, 0u);
    EXPECT_EQ(bare.rtpType, 0u);

    // A long list: every slot 1 element first, then the slot 2 elements in the opposite
    // order; each pair still forms its own repeater, in the order of first appearance.
    std::wstring many;
    for (int n = 0; n < 600; ++n)
    {
        const int id = n < 300 ? n : 599 - n;
        many += Slot{.slotId = n < 300 ? L"1" : L"2",
                     .radioId = std::to_wstring(5000 + id),
                     .repeaterGuid = L"R" + std::to_wstring(id),
                     .name = (n < 300 ? L"S1-" : L"S2-") + std::to_wstring(id)}
                    .Xml();
    }
    Load(many);
    ASSERT_EQ(settings.Repeaters().Count(), 300u);
    for (size_t id = 0; id < 300; ++id)
    {
        const RepeaterInfo& repeater = settings.Repeaters().Rows()[id];
        EXPECT_EQ(std::wstring(repeater.radioId), std::to_wstring(5000 + id));
        EXPECT_EQ(std::wstring(repeater.slots[1].name), L"S2-" + std::to_wstring(id));
    }
    EXPECT_TRUE(settings.LoadReport().mergedRadioIds.empty());
}

TEST_F(RepeaterSettingsTest, ASlotElementWrittenByHandIsReadInAnyOrderAndItsFirstChildCounts)
{
    // Children in another order than the tool writes them, unknown ones between them, and a
    // second child of some names, which a lookup by name never finds.
    CRepeaterSettings& settings =
        Load(L"<Station><RTPConfig><RTPType>3</RTPType><RTPEnable>1</RTPEnable></RTPConfig>"
             L"<Note>x</Note><RadioID>77</RadioID><Name>Valley</Name><IsLocalSlot>1"
             L"</IsLocalSlot><SlotID>2</SlotID><Type>Repeater</Type><RepeaterGUID>R-77"
             L"</RepeaterGUID><RadioID>78</RadioID><Used>TRUE</Used><IPSiteID>4</IPSiteID>"
             L"<PseudoID>9</PseudoID><RepeaterAlias>North</RepeaterAlias><GUID>S-77</GUID>"
             L"<Name>Second</Name><IsData>1</IsData><SubNetID>12</SubNetID><RTPConfig><RTPType>1"
             L"</RTPType></RTPConfig><Type>Station</Type></Station>");
    ASSERT_EQ(settings.Repeaters().Count(), 1u);
    const RepeaterInfo& row = settings.Repeaters().Rows()[0];
    EXPECT_EQ(row.slots[1], (RepeaterSlot{true, L"S-77", L"Valley", L"12", 1, true, 1, 3}));
    EXPECT_EQ(row,
              (RepeaterInfo{L"R-77", L"77", L"North", L"4", L"9", {RepeaterSlot{}, row.slots[1]}}));
}

TEST_F(RepeaterSettingsTest, ASaveWritesTwoElementsPerRepeaterInRadioIdOrder)
{
    CRepeaterSettings& settings = Load(kDispatchStation);
    RepeaterEntry twenty = Entry(settings, L"20");
    twenty.slots = {RepeaterEntry::Slot{true, L"Slot1", L"10", false, false, true, true, 2},
                    RepeaterEntry::Slot{false, L"Slot2", L"10", true, false, false, false, 0}};
    ASSERT_EQ(settings.AddRepeater(twenty), CEntryResult{});
    ASSERT_EQ(settings.AddRepeater(Entry(settings, L"100")), CEntryResult{});
    // The list keeps the order of adding; the save goes by Radio ID as text. A slot not in use
    // is written too.
    const RepeaterInfo& added = settings.Repeaters().Rows()[0];
    EXPECT_EQ(added.radioId, L"20");
    Save(settings);
    EXPECT_EQ(
        Column({L"RadioID", L"SlotID", L"Used", L"RepeaterAlias", L"Name", L"IsData"}),
        (std::vector<std::wstring>{L"- - TRUE - Harbour Ops 0", L"100 1 TRUE Repeater2 Slot1 0",
                                   L"100 2 TRUE Repeater2 Slot2 0", L"20 1 TRUE Repeater1 Slot1 0",
                                   L"20 2 FALSE Repeater1 Slot2 2"}));
    EXPECT_EQ(Compact(Stations()[3]),
              L"<Station><Type>Repeater</Type><Used>TRUE</Used><GUID>" +
                  std::wstring(added.slots[0].guid) +
                  L"</GUID><SlotID>1</SlotID><RadioID>20</RadioID><RepeaterGUID>" +
                  std::wstring(added.repeaterGuid) +
                  L"</RepeaterGUID><RepeaterAlias>Repeater1</RepeaterAlias><IPSiteID>1</IPSiteID>"
                  L"<Name>Slot1</Name><SubNetID>10</SubNetID><PseudoID>0</PseudoID>"
                  L"<IsData>0</IsData><IsLocalSlot>1</IsLocalSlot><Volum><RecordVolum>3"
                  L"</RecordVolum><PlaybackVolum>3</PlaybackVolum></Volum><RTPConfig>"
                  L"<RTPEnable>1</RTPEnable><RTPType>2</RTPType></RTPConfig></Station>");
    EXPECT_STREQ(Stations()[4]->GetChildValue(L"GUID"), added.slots[1].guid.c_str());
    // New GUIDs are new and in the document's format.
    EXPECT_EQ(added.repeaterGuid.size(), 36u);
    EXPECT_NE(added.repeaterGuid, added.slots[0].guid);
    EXPECT_NE(added.slots[0].guid, added.slots[1].guid);

    // Read back, the document gives the same repeaters; a second save changes nothing.
    CRepeaterSettings reread;
    Reload(reread);
    ASSERT_EQ(reread.Repeaters().Count(), 2u);
    EXPECT_EQ(reread.Repeaters().Rows()[1], added);
    const XNode before = *m_document.Stations();
    Save(reread);
    EXPECT_EQ(*m_document.Stations(), before);
}

TEST_F(RepeaterSettingsTest, AnExistingSlotElementIsUpdatedInPlace)
{
    CRepeaterSettings& settings =
        Load(L"<Station><Type>repeater</Type><Extra>kept</Extra><Used>TRUE</Used><GUID>S1</GUID>"
             L"<SlotID>1</SlotID><RadioID>1001</RadioID><RepeaterGUID>r-a</RepeaterGUID>"
             L"<RepeaterAlias>Hill</RepeaterAlias><Name>TS1</Name><SubNetID>10</SubNetID>"
             L"<Volum><RecordVolum>5</RecordVolum><PlaybackVolum>7</PlaybackVolum></Volum>"
             L"<IsData>1</IsData></Station>");
    ASSERT_EQ(settings.Repeaters().Count(), 1u);
    RepeaterEntry entry = settings.EntryOf(0);
    entry.alias = L"Hill top";
    entry.ipSiteId = L"4";
    entry.radioId = L"9999"; // the field is disabled: the Radio ID stays
    entry.slots[0].ipSiteChannel = true;
    ASSERT_EQ(settings.ChangeRepeater(0, entry), CEntryResult{});
    Save(settings);

    // Type, Volum and unknown children stay; missing ones are appended in the set order, and
    // RTPConfig is made. Slot 2 had no element: a new one, with the volume defaults.
    ASSERT_EQ(Stations().size(), 2u);
    EXPECT_EQ(Compact(Stations()[0]),
              L"<Station><Type>repeater</Type><Extra>kept</Extra><Used>TRUE</Used><GUID>S1</GUID>"
              L"<SlotID>1</SlotID><RadioID>1001</RadioID><RepeaterGUID>r-a</RepeaterGUID>"
              L"<RepeaterAlias>Hill top</RepeaterAlias><Name>TS1</Name><SubNetID>10</SubNetID>"
              L"<Volum><RecordVolum>5</RecordVolum><PlaybackVolum>7</PlaybackVolum></Volum>"
              L"<IsData>1</IsData><IPSiteID>4</IPSiteID><PseudoID/>"
              L"<IsLocalSlot>1</IsLocalSlot><RTPConfig><RTPEnable>0</RTPEnable>"
              L"<RTPType>0</RTPType></RTPConfig></Station>");
    EXPECT_STREQ(Stations()[1]->GetChildValue(L"SlotID"), L"2");
    EXPECT_STREQ(Stations()[1]->GetChild(L"Volum")->GetChildValue(L"RecordVolum"), L"3");

    // An existing RTPConfig keeps its other children; a missing RTPType is appended.
    Save(Load(L"<Station><Type>Repeater</Type><SlotID>1</SlotID><RadioID>7</RadioID>"
              L"<RepeaterGUID>G</RepeaterGUID><RTPConfig><Key>k</Key>"
              L"<RTPEnable>1</RTPEnable></RTPConfig></Station>"));
    EXPECT_EQ(Compact(Stations()[0]->GetChild(L"RTPConfig")),
              L"<RTPConfig><Key>k</Key><RTPEnable>1</RTPEnable><RTPType>0</RTPType></RTPConfig>");

    // The GUID is found without regard to case: slot elements whose GUIDs differ only in case
    // stay one element per slot, and take the repeater's spelling.
    Save(Load(Slot{}.Xml() + Slot{.guid = L"S2", .slotId = L"2", .repeaterGuid = L"r-a"}.Xml()));
    EXPECT_EQ(Column({L"GUID", L"RepeaterGUID"}),
              (std::vector<std::wstring>{L"S1 r-a", L"S2 r-a"}));
}

// A save writes each repeater's slots into the slot elements that carry its GUID (without
// regard to case), its Radio ID and the slot's SlotID, every one of them, as a load reads the
// last; it appends the slots it found no element for, and removes the elements of removed
// repeaters, of GUIDs that lost a merge and broken ones. Elements of other types, even with a
// repeater's GUID and SlotID, and other children stay as they are.
TEST_F(RepeaterSettingsTest, ASaveWritesAndKeepsOnlyTheElementsOfItsRepeaters)
{
    // Repeater 1001: both slots under GUID R-A, then two slot 1 elements under R-B (the later
    // one read), around them a broken element without GUID and one without Radio ID; 1002; and
    // 1003 under R-B with only a SlotID 7 element. Beside them a dispatch station and a
    // Dispatch element that carries 1001's GUID, Radio ID and SlotID.
    const Slot stray{.type = L"Dispatch", .repeaterGuid = L"R-B", .name = L"Harbour"};
    CRepeaterSettings& settings = Load(
        Slot{}.Xml() + kDispatchStation + stray.Xml() +
        Slot{.guid = L"S2", .slotId = L"2", .name = L"from A"}.Xml() +
        Slot{.repeaterGuid = L""}.Xml() + Slot{.radioId = L"", .repeaterGuid = L"R-B"}.Xml() +
        Slot{.guid = L"S3", .repeaterGuid = L"R-B", .name = L"Old"}.Xml() +
        Slot{.guid = L"S3", .repeaterGuid = L"R-B"}.Xml() +
        Slot{.radioId = L"1002", .repeaterGuid = L"R-G"}.Xml() +
        Slot{.slotId = L"7", .radioId = L"1003", .repeaterGuid = L"R-B", .name = L"seven"}.Xml() +
        L"<Note>n</Note>");
    const XNode dispatch = *Stations()[1];
    const XNode other = *Stations()[2];
    ASSERT_EQ(settings.Repeaters().Count(), 3u);
    settings.RemoveRepeaters({*settings.RowOf(L"1002")});
    RepeaterEntry entry = settings.EntryOf(0);
    EXPECT_EQ(entry.slots[0].alias, L"TS1");
    entry.slots[0].alias = L"Changed";
    ASSERT_EQ(settings.ChangeRepeater(0, entry), CEntryResult{});
    Save(settings);

    // Repeater 1001 keeps the GUID that won the merge; both its slot 1 elements are written
    // and its slot 2 (with the data of the lost GUID's slot 2) is new. The SlotID 7 element of
    // 1003, which shares that GUID, is read as slot 2 but not found again by the save: it
    // stays, and both slots of 1003 are written beside it.
    const auto column = [this] {
        return Column({L"Type", L"RadioID", L"RepeaterGUID", L"SlotID", L"Name"});
    };
    EXPECT_EQ(
        column(),
        (std::vector<std::wstring>{
            L"- - - - Harbour Ops", L"Dispatch 1001 R-B 1 Harbour", L"Repeater 1001 R-B 1 Changed",
            L"Repeater 1001 R-B 1 Changed", L"Repeater 1003 R-B 7 seven", L"- - - - -",
            L"Repeater 1001 R-B 2 from A", L"Repeater 1003 R-B 1 ", L"Repeater 1003 R-B 2 seven"}));
    EXPECT_EQ(*Stations()[0], dispatch);
    EXPECT_EQ(*Stations()[1], other);
    EXPECT_STREQ(Stations()[6]->GetChildValue(L"GUID"), L"S2");

    // Removing a repeater removes its elements and not those of another one with its GUID;
    // removing every repeater removes every repeater element, and nothing else.
    settings.RemoveRepeaters({0});
    Save(settings);
    EXPECT_EQ(column(),
              (std::vector<std::wstring>{L"- - - - Harbour Ops", L"Dispatch 1001 R-B 1 Harbour",
                                         L"Repeater 1003 R-B 7 seven", L"- - - - -",
                                         L"Repeater 1003 R-B 1 ", L"Repeater 1003 R-B 2 seven"}));
    settings.RemoveRepeaters({0});
    Save(settings);
    EXPECT_EQ(column(), (std::vector<std::wstring>{L"- - - - Harbour Ops",
                                                   L"Dispatch 1001 R-B 1 Harbour", L"- - - - -"}));
}

TEST_F(RepeaterSettingsTest, TheEntryEditorsRules)
{
    CRepeaterSettings& settings =
        Load(Slot{.alias = L"Repeater1"}.Xml() +
             Slot{.radioId = L"1002", .repeaterGuid = L"R-B", .alias = L"repeater2"}.Xml());
    // The proposal skips the aliases taken, whatever their case.
    using S = RepeaterEntry::Slot;
    const S slot1{true, L"Slot1", L"10", false, false, false, false, 0};
    const S slot2{true, L"Slot2", L"10", false, false, false, false, 0};
    EXPECT_EQ(settings.NewEntry(), (RepeaterEntry{L"", L"Repeater3", L"1", L"0", {slot1, slot2}}));

    // On the page, Add keeps what Quick GPS, IP Site Channel and RTP Type showed, and only
    // those.
    RepeaterEntry shown = settings.EntryOf(1);
    shown.slots = {S{false, L"x", L"7", true, true, true, true, 3},
                   S{false, L"y", L"8", false, true, true, false, CRtpTypeList::kNone}};
    const S kept1{true, L"Slot1", L"10", true, false, true, false, 3};
    const S kept2{true, L"Slot2", L"10", false, false, true, false, CRtpTypeList::kNone};
    EXPECT_EQ(settings.NewEntry(shown),
              (RepeaterEntry{L"", L"Repeater3", L"1", L"0", {kept1, kept2}}));

    // The required values in the page's order; the Radio ID check comes after them.
    const CRepeaterSettings before = settings;
    const auto add = [&settings](const wchar_t* radioId, auto change)
    {
        RepeaterEntry entry = Entry(settings, radioId);
        change(entry);
        return settings.AddRepeater(entry);
    };
    const auto required = [](const char* field) {
        return CEntryResult{CEntryResult::Refused, CRefusal(10022, {}, field)};
    };
    EXPECT_EQ(add(L"1001", [](RepeaterEntry& e) { e.alias.clear(); }), required("alias"));
    EXPECT_EQ(add(L"", [](RepeaterEntry& e) { e.alias.clear(); }), required("radio-id"));
    EXPECT_EQ(add(L"1003", [](RepeaterEntry& e) { e.ipSiteId.clear(); }), required("ip-site-id"));
    EXPECT_EQ(add(L"1003", [](RepeaterEntry& e) { e.slots[0].subNetId.clear(); }),
              required("slot1.subnet"));
    EXPECT_EQ(add(L"1003",
                  [](RepeaterEntry& e) {
                      e.slots = {S{}, S{true, L"", L"10"}};
                  }),
              required("slot2.alias"));
    EXPECT_EQ(add(L"1001", [](RepeaterEntry&) {}),
              (CEntryResult{CEntryResult::Refused, CRefusal(10045, L"1001", "radio-id")}));
    EXPECT_EQ(settings, before);

    // A slot not in use needs neither alias nor subnet; quick GPS wins over GPS data; without
    // an RTP type chosen, the slot takes the first one of the list.
    EXPECT_EQ(
        add(L"1003", [](RepeaterEntry& e)
            { e.slots[1] = {false, L"", L"", true, true, false, false, CRtpTypeList::kNone}; }),
        CEntryResult{});
    EXPECT_EQ(settings.Repeaters().Rows()[2].slots[1].isData, 2);
    EXPECT_EQ(settings.Repeaters().Rows()[2].slots[1].rtpType, 0u);
    EXPECT_EQ(settings.NewEntry().alias, L"Repeater4");
    EXPECT_EQ(CRepeaterSettings::IsDataOf({true, L"", L"", false, true}), 1);
    EXPECT_EQ(CRepeaterSettings::IsDataOf({true, L"", L"", false, false}), 0);

    // A change keeps the Radio ID and the GUIDs, and is refused like an add.
    RepeaterEntry changed = settings.EntryOf(0);
    changed.slots[0].alias = L"";
    EXPECT_EQ(settings.ChangeRepeater(0, changed), required("slot1.alias"));
    changed.slots[0].alias = L"new";
    changed.radioId = L"1002";
    ASSERT_EQ(settings.ChangeRepeater(0, changed), CEntryResult{});
    EXPECT_EQ(settings.Repeaters().Rows()[0].radioId, L"1001");
    EXPECT_EQ(settings.Repeaters().Rows()[0].repeaterGuid, L"R-A");
    EXPECT_EQ(settings.Repeaters().Rows()[0].slots[0].guid, L"S1");
    EXPECT_EQ(settings.ChangeRepeater(7, changed).status, CEntryResult::Refused);

    settings.RemoveRepeaters({0});
    EXPECT_EQ(settings.NewEntry().alias, L"Repeater1");

    // Which controls a slot's boxes (used, quick GPS, GPS data, encrypt) enable: alias, subnet,
    // quick GPS, GPS data, IP site channel, encrypt, RTP type.
    const auto enabled = [](bool used, bool quick, bool gps, bool encrypt) {
        return CRepeaterSettings::EnablingOf({used, L"", L"", quick, gps, false, encrypt});
    };
    constexpr bool on = true, off = false;
    EXPECT_EQ(enabled(true, false, false, true), (SlotEnabling{on, on, on, on, on, on, on}));
    EXPECT_EQ(enabled(true, false, false, false), (SlotEnabling{on, on, on, on, on, on, off}));
    // Quick GPS disables GPS data, IP site channel, encrypt and RTP type.
    EXPECT_EQ(enabled(true, true, false, true), (SlotEnabling{on, on, on, off, off, off, off}));
    EXPECT_EQ(enabled(true, false, true, true), (SlotEnabling{on, on, on, on, off, off, off}));
    // A slot not in use: everything off, whatever its boxes show.
    EXPECT_EQ(enabled(false, false, false, true), SlotEnabling{});
}

TEST_F(RepeaterSettingsTest, RtpTypesComeFromTheIniFileAndAStoredTypeIsKept)
{
    rztest::WriteBytes(m_dir.File("RaviraZazu_Gateway.ini"),
                       "[rtptype]\r\nRTPType1=0:Basic Privacy\r\nRTPType2=bad\r\n"
                       "RTPType3=:no type\r\nRTPType4=5:\r\nRTPType5=12x:Seven\r\n"
                       "RTPType6=4:AES:256\r\nRTPType7=\r\nRTPType8=9:after the end\r\n");
    const CRtpTypeList types = CRtpTypeList::Read(CToolFiles{m_dir.Path()}.RaviraZazuGatewayIni());
    EXPECT_EQ(types.Entries(), (std::vector<CRtpTypeList::CEntry>{
                                   {0, L"Basic Privacy"}, {12, L"Seven"}, {4, L"AES:256"}}));
    EXPECT_EQ(types.IndexOf(12), 1u);
    EXPECT_EQ(types.FirstValue(), 0u);
    const CRtpTypeList::Lookup german = [](const std::wstring& id)
    { return id == L"Seven" ? std::wstring(L"Sieben") : std::wstring(); };
    EXPECT_EQ(CRtpTypeList::Label(types.Entries()[1], german), L"Sieben");
    EXPECT_EQ(CRtpTypeList::Label(types.Entries()[0], german), L"Basic Privacy");
    EXPECT_EQ(types.FindForCli("12", german), 12u);
    EXPECT_EQ(types.FindForCli("sieben", german), 12u);
    EXPECT_EQ(types.FindForCli("SEVEN", german), 12u);
    EXPECT_FALSE(types.FindForCli("1", german));
    EXPECT_FALSE(types.FindForCli("9", german));

    // A type the file no longer lists is shown and written back as it is.
    CRepeaterSettings& settings = Load(
        Slot{.rtp = L"<RTPConfig><RTPEnable>1</RTPEnable><RTPType>3</RTPType></RTPConfig>"}.Xml());
    EXPECT_EQ(settings.RtpTypes().EntriesWith(3).back(), (CRtpTypeList::CEntry{3, L"3"}));
    EXPECT_EQ(settings.RtpTypes().EntriesWith(0).size(), 3u);
    RepeaterEntry entry = settings.EntryOf(0);
    EXPECT_EQ(entry.slots[0].rtpType, 3u);
    entry.alias = L"renamed";
    ASSERT_EQ(settings.ChangeRepeater(0, entry), CEntryResult{});
    Save(settings);
    EXPECT_STREQ(Stations()[0]->GetChild(L"RTPConfig")->GetChildValue(L"RTPType"), L"3");

    // With no RTP types at all, a new slot's type is 4294967295, and it reads back as that.
    std::filesystem::remove(m_dir.File("RaviraZazu_Gateway.ini"));
    Reload(settings);
    ASSERT_EQ(settings.AddRepeater(Entry(settings, L"2")), CEntryResult{});
    Save(settings);
    Reload(settings);
    EXPECT_EQ(settings.Repeaters().Rows()[1].slots[0].rtpType, 4294967295u);
    EXPECT_EQ(settings.RtpTypes().EntriesWith(4294967295u).size(), 0u);
}

// The texts of a load live in one block that the settings hold: a copy, a move and another
// load must each leave every settings object with texts that are still there (the sanitizer
// build reports a text read from a block that went).
TEST_F(RepeaterSettingsTest, CopiedMovedAndReloadedSettingsKeepTheirTexts)
{
    CRepeaterSettings& first = Load(Slot{}.Xml());
    CRepeaterSettings copy = first;
    CRepeaterSettings target;
    Reload(target);
    Load(
        Slot{.guid = L"S-V", .radioId = L"2002", .repeaterGuid = L"R-V", .alias = L"Valley"}.Xml());
    {
        CRepeaterSettings source;
        Reload(source);
        target = std::move(source);
    }
    CRepeaterSettings moved = std::move(first);

    // A copy's texts have memory of their own; loaded and moved ones stay in their block.
    const auto memoryOf = [](const CRepeaterSettings& settings)
    { return settings.Repeaters().Rows()[0].alias.get_allocator().resource(); };
    EXPECT_EQ(memoryOf(copy), std::pmr::get_default_resource());
    EXPECT_NE(memoryOf(target), std::pmr::get_default_resource());
    EXPECT_NE(memoryOf(moved), std::pmr::get_default_resource());
    EXPECT_NE(memoryOf(moved), memoryOf(target));
    EXPECT_EQ(copy.Repeaters().Rows()[0].alias, L"Hill");
    EXPECT_EQ(copy.Repeaters().Rows()[0].slots[0].guid, L"S1");
    EXPECT_EQ(target.Repeaters().Rows()[0].alias, L"Valley");
    EXPECT_EQ(target.Repeaters().Rows()[0].slots[0].guid, L"S-V");
    EXPECT_EQ(moved, target);
    EXPECT_NE(moved, copy);
}
