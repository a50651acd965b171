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
    std::wstring subNet = L"10";
    std::wstring isData = L"0";
    std::wstring rtp = L"<RTPConfig><RTPEnable>1</RTPEnable><RTPType>2</RTPType></RTPConfig>";

    std::wstring Xml() const
    {
        return L"<Station><Type>" + type + L"</Type><Used>" + used + L"</Used><GUID>" + guid +
               L"</GUID><SlotID>" + slotId + L"</SlotID><RadioID>" + radioId +
               L"</RadioID><RepeaterGUID>" + repeaterGuid + L"</RepeaterGUID><RepeaterAlias>" +
               alias + L"</RepeaterAlias><IPSiteID>1</IPSiteID><Name>" + name +
               L"</Name><SubNetID>" + subNet + L"</SubNetID><PseudoID>201</PseudoID><IsData>" +
               isData +
               L"</IsData><IsLocalSlot>0</IsLocalSlot><Volum><RecordVolum>3</RecordVolum>"
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

std::vector<std::wstring> ChildNames(const XNode* node)
{
    std::vector<std::wstring> names;
    for (const XNode* child : node->GetChilds())
        names.push_back(child->name);
    return names;
}

class RepeaterSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rztest::WriteBytes(m_dir.File("RaviraZazu_Gateway.ini"),
                           "[RTPType]\r\nRTPType1=0:Basic Privacy\r\nRTPType2=2:AES-256\r\n");
    }
    void WriteDocument(const std::wstring& config, const std::wstring& stations)
    {
        rztest::WriteBytes(m_dir.File("GatewayConfig.XML"),
                           rztest::Utf16Document(L"<MXRGateways><GatewayConfig><Language>English"
                                                 L"</Language>" +
                                                 config + L"<QuorixStations><Stations>" + stations +
                                                 L"</Stations></QuorixStations></GatewayConfig>"
                                                 L"</MXRGateways>"));
        m_document.Unload();
        ASSERT_TRUE(m_document.Load(m_dir.File("GatewayConfig.XML")));
    }
    CToolFiles Files() const { return {m_dir.Path()}; }
    void Load(CRepeaterSettings& settings) { settings.Load(m_document, Files()); }
    void Save(const CRepeaterSettings& settings)
    {
        CFileChanges changes;
        settings.Save(m_document, Files(), changes);
        EXPECT_TRUE(changes.Empty());
    }
    std::vector<XNode*> Stations() const { return m_document.Stations()->GetChilds(); }
    // What Add proposes, with a Radio ID.
    static RepeaterEntry Entry(const CRepeaterSettings& settings, const std::wstring& radioId)
    {
        RepeaterEntry entry = settings.NewEntry();
        entry.radioId = radioId;
        return entry;
    }

    CTempDir m_dir;
    CGatewayConfigDoc m_document;
};

} // namespace

TEST_F(RepeaterSettingsTest, NoRepeaterShowsBlankRowsAndDefaultsAndASaveWritesEveryPort)
{
    WriteDocument(L"<ADKRTPPort1></ADKRTPPort1><ADKTPPort2>40000</ADKTPPort2>", kDispatchStation);
    const XNode dispatch = *Stations()[0];
    CRepeaterSettings settings;
    Load(settings);
    EXPECT_EQ(settings.Repeaters().Count(), 0u);
    EXPECT_EQ(settings.Repeaters().ShownRows(), 6);
    // An empty element shows its default; a value is shown as it is.
    const std::array<std::wstring, 15> shown = {L"30009", L"30007", L"30003", L"30001", L"30012",
                                                L"30010", L"30008", L"30004", L"30002", L"30014",
                                                L"30005", L"40000", L"30015", L"30016", L"60"};
    EXPECT_EQ(settings.ports, shown);

    Save(settings);
    // The existing elements are set in place; the others are appended in the table's order.
    const XNode* config = m_document.GatewayConfig();
    EXPECT_EQ(ChildNames(config),
              (std::vector<std::wstring>{
                  L"Language", L"ADKRTPPort1", L"ADKTPPort2", L"QuorixStations", L"ADKRCPPort1",
                  L"ADKTMPPort1", L"ADKLPPort1", L"ADKRRSPort1", L"ADKRCPPort2", L"ADKTMPPort2",
                  L"ADKLPPort2", L"ADKRRSPort2", L"ADKRTPPort2", L"ADKTPPort1", L"ADKRTPAnalogPort",
                  L"ADKRCPAnalogPort", L"RepeaterTransmitTimeout"}));
    EXPECT_STREQ(config->GetChildValue(L"ADKRTPPort1"), L"30012");
    EXPECT_STREQ(config->GetChildValue(L"ADKRTPPort2"), L"30014");
    EXPECT_STREQ(config->GetChildValue(L"ADKRCPAnalogPort"), L"30016");
    EXPECT_STREQ(config->GetChildValue(L"RepeaterTransmitTimeout"), L"60");
    // No repeater: the station list is as it was.
    ASSERT_EQ(Stations().size(), 1u);
    EXPECT_EQ(*Stations()[0], dispatch);

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
    Slot first;
    first.type = L"REPEATER";
    first.rtp = L"";
    Slot odd; // SlotID 7 is slot 2
    odd.slotId = L"7";
    odd.guid = L"S2";
    odd.name = L"TS2";
    odd.used = L"true";
    odd.isData = L"2";
    odd.subNet = L"20";
    Slot winner; // another GUID for the same Radio ID, read last: its values stay
    winner.repeaterGuid = L"R-B";
    winner.guid = L"S3";
    winner.alias = L"Later";
    winner.name = L"TS1 again";
    Slot broken;
    broken.radioId = L"";
    broken.repeaterGuid = L"R-X";
    Slot other;
    other.radioId = L"5";
    other.repeaterGuid = L"R-C";
    other.type = L"Station";
    WriteDocument(L"", first.Xml() + kDispatchStation + broken.Xml() + odd.Xml() + other.Xml() +
                           winner.Xml());
    CRepeaterSettings settings;
    Load(settings);
    ASSERT_EQ(settings.Repeaters().Count(), 1u);
    const RepeaterInfo& repeater = settings.Repeaters().Rows()[0];
    EXPECT_EQ(repeater.repeaterGuid, L"R-B");
    EXPECT_EQ(repeater.alias, L"Later");
    EXPECT_EQ(repeater.pseudoId, L"201");
    EXPECT_EQ(repeater.slots[0], (RepeaterSlot{true, L"S3", L"TS1 again", L"10", 0, false, 1, 2}));
    // Slot 2 from the SlotID 7 element: "true" is not "TRUE".
    EXPECT_EQ(repeater.slots[1], (RepeaterSlot{false, L"S2", L"TS2", L"20", 2, false, 1, 2}));
    const RepeaterLoadReport& report = settings.LoadReport();
    EXPECT_EQ(report.slotElements, 3);
    EXPECT_EQ(report.brokenElements, 1);
    EXPECT_EQ(report.mergedRadioIds, std::vector<std::wstring>{L"1001"});
    EXPECT_EQ(report.otherSlotIds, std::vector<std::wstring>{L"1001"});

    // The first slot element without RTPConfig reads as 0 and 0.
    WriteDocument(L"", first.Xml());
    Load(settings);
    EXPECT_EQ(settings.Repeaters().Rows()[0].slots[0].rtpEnable, 0u);
    EXPECT_EQ(settings.Repeaters().Rows()[0].slots[0].rtpType, 0u);

    // A long list: every slot 1 element first, then the slot 2 elements in the opposite
    // order; each pair still forms its own repeater, in the order of first appearance.
    std::wstring many;
    for (int pass = 0; pass < 2; ++pass)
    {
        for (int n = 0; n < 300; ++n)
        {
            const int id = pass == 0 ? n : 299 - n;
            Slot slot;
            slot.slotId = pass == 0 ? L"1" : L"2";
            slot.radioId = std::to_wstring(5000 + id);
            slot.repeaterGuid = L"R" + std::to_wstring(id);
            slot.name = L"S" + std::to_wstring(pass + 1) + L"-" + std::to_wstring(id);
            many += slot.Xml();
        }
    }
    WriteDocument(L"", many);
    Load(settings);
    ASSERT_EQ(settings.Repeaters().Count(), 300u);
    for (int id = 0; id < 300; ++id)
    {
        const RepeaterInfo& row = settings.Repeaters().Rows()[static_cast<size_t>(id)];
        EXPECT_EQ(std::wstring(row.radioId), std::to_wstring(5000 + id));
        EXPECT_EQ(std::wstring(row.slots[1].name), L"S2-" + std::to_wstring(id));
    }
    EXPECT_TRUE(settings.LoadReport().mergedRadioIds.empty());
}

TEST_F(RepeaterSettingsTest, ASlotElementWrittenByHandIsReadInAnyOrderAndItsFirstChildCounts)
{
    // Children in another order than the tool writes them, unknown ones between them, and a
    // second child of some names, which a lookup by name never finds.
    WriteDocument(L"", L"<Station><RTPConfig><RTPType>3</RTPType><RTPEnable>1</RTPEnable>"
                       L"</RTPConfig><Note>x</Note><RadioID>77</RadioID><Name>Valley</Name>"
                       L"<IsLocalSlot>1</IsLocalSlot><SlotID>2</SlotID><Type>Repeater</Type>"
                       L"<RepeaterGUID>R-77</RepeaterGUID><RadioID>78</RadioID><Used>TRUE</Used>"
                       L"<IPSiteID>4</IPSiteID><PseudoID>9</PseudoID><RepeaterAlias>North"
                       L"</RepeaterAlias><GUID>S-77</GUID><Name>Second</Name><IsData>1</IsData>"
                       L"<SubNetID>12</SubNetID><RTPConfig><RTPType>1</RTPType></RTPConfig>"
                       L"<Type>Station</Type></Station>");
    CRepeaterSettings settings;
    Load(settings);
    ASSERT_EQ(settings.Repeaters().Count(), 1u);
    const RepeaterInfo& repeater = settings.Repeaters().Rows()[0];
    EXPECT_EQ(repeater.radioId, L"77");
    EXPECT_EQ(repeater.repeaterGuid, L"R-77");
    EXPECT_EQ(repeater.alias, L"North");
    EXPECT_EQ(repeater.ipSiteId, L"4");
    EXPECT_EQ(repeater.pseudoId, L"9");
    EXPECT_EQ(repeater.slots[1], (RepeaterSlot{true, L"S-77", L"Valley", L"12", 1, true, 1, 3}));
}

TEST_F(RepeaterSettingsTest, ASaveWritesTwoElementsPerRepeaterInRadioIdOrder)
{
    WriteDocument(L"", kDispatchStation);
    const XNode dispatch = *Stations()[0];
    CRepeaterSettings settings;
    Load(settings);
    RepeaterEntry twenty = Entry(settings, L"20");
    twenty.slots[1].used = false;
    twenty.slots[0].encrypt = true;
    twenty.slots[0].rtpType = 2;
    twenty.slots[0].ipSiteChannel = true;
    twenty.slots[1].quickGps = true;
    ASSERT_EQ(settings.AddRepeater(twenty), CEntryResult{});
    ASSERT_EQ(settings.AddRepeater(Entry(settings, L"100")), CEntryResult{});
    // The list keeps the order of adding; the save goes by Radio ID as text.
    EXPECT_EQ(settings.Repeaters().Rows()[0].radioId, L"20");
    Save(settings);

    const auto stations = Stations();
    ASSERT_EQ(stations.size(), 5u);
    EXPECT_EQ(*stations[0], dispatch);
    const RepeaterInfo& added = settings.Repeaters().Rows()[0];
    EXPECT_EQ(Compact(stations[3]),
              L"<Station><Type>Repeater</Type><Used>TRUE</Used><GUID>" +
                  std::wstring(added.slots[0].guid) +
                  L"</GUID><SlotID>1</SlotID><RadioID>20</RadioID><RepeaterGUID>" +
                  std::wstring(added.repeaterGuid) +
                  L"</RepeaterGUID><RepeaterAlias>Repeater1</RepeaterAlias><IPSiteID>1</IPSiteID>"
                  L"<Name>Slot1</Name><SubNetID>10</SubNetID><PseudoID>0</PseudoID>"
                  L"<IsData>0</IsData><IsLocalSlot>1</IsLocalSlot><Volum><RecordVolum>3"
                  L"</RecordVolum><PlaybackVolum>3</PlaybackVolum></Volum><RTPConfig>"
                  L"<RTPEnable>1</RTPEnable><RTPType>2</RTPType></RTPConfig></Station>");
    // A slot not in use is written too.
    EXPECT_STREQ(stations[4]->GetChildValue(L"Used"), L"FALSE");
    EXPECT_STREQ(stations[4]->GetChildValue(L"SlotID"), L"2");
    EXPECT_STREQ(stations[4]->GetChildValue(L"Name"), L"Slot2");
    EXPECT_STREQ(stations[4]->GetChildValue(L"IsData"), L"2");
    EXPECT_STREQ(stations[4]->GetChildValue(L"GUID"), added.slots[1].guid.c_str());
    EXPECT_STREQ(stations[1]->GetChildValue(L"RadioID"), L"100");
    EXPECT_STREQ(stations[1]->GetChildValue(L"SlotID"), L"1");
    EXPECT_STREQ(stations[2]->GetChildValue(L"RadioID"), L"100");
    EXPECT_STREQ(stations[2]->GetChildValue(L"RepeaterAlias"), L"Repeater2");
    // New GUIDs are new and in the document's format.
    EXPECT_EQ(added.repeaterGuid.size(), 36u);
    EXPECT_NE(added.repeaterGuid, added.slots[0].guid);
    EXPECT_NE(added.slots[0].guid, added.slots[1].guid);

    // Read back, the document gives the same repeaters; a second save changes nothing.
    CRepeaterSettings reread;
    Load(reread);
    ASSERT_EQ(reread.Repeaters().Count(), 2u);
    EXPECT_EQ(reread.Repeaters().Rows()[1], added);
    const XNode before = *m_document.Stations();
    Save(reread);
    EXPECT_EQ(*m_document.Stations(), before);
}

TEST_F(RepeaterSettingsTest, AnExistingSlotElementIsUpdatedInPlace)
{
    const std::wstring element =
        L"<Station><Type>repeater</Type><Extra>kept</Extra><Used>TRUE</Used><GUID>S1</GUID>"
        L"<SlotID>1</SlotID><RadioID>1001</RadioID><RepeaterGUID>r-a</RepeaterGUID>"
        L"<RepeaterAlias>Hill</RepeaterAlias><Name>TS1</Name><SubNetID>10</SubNetID>"
        L"<Volum><RecordVolum>5</RecordVolum><PlaybackVolum>7</PlaybackVolum></Volum>"
        L"<IsData>1</IsData></Station>";
    WriteDocument(L"", element);
    CRepeaterSettings settings;
    Load(settings);
    ASSERT_EQ(settings.Repeaters().Count(), 1u);
    RepeaterEntry entry = settings.EntryOf(0);
    EXPECT_TRUE(entry.slots[0].gpsData);
    EXPECT_FALSE(entry.slots[0].quickGps);
    entry.alias = L"Hill top";
    entry.ipSiteId = L"4";
    entry.radioId = L"9999"; // the field is disabled: the Radio ID stays
    entry.slots[0].ipSiteChannel = true;
    ASSERT_EQ(settings.ChangeRepeater(0, entry), CEntryResult{});
    // The GUID found without regard to case: the element is the repeater's slot 1.
    ASSERT_EQ(settings.Repeaters().Rows()[0].repeaterGuid, L"r-a");
    Save(settings);

    const auto stations = Stations();
    ASSERT_EQ(stations.size(), 2u);
    // Type, Volum and unknown children stay; missing ones are appended in the set order, and
    // RTPConfig is made.
    EXPECT_EQ(Compact(stations[0]),
              L"<Station><Type>repeater</Type><Extra>kept</Extra><Used>TRUE</Used><GUID>S1</GUID>"
              L"<SlotID>1</SlotID><RadioID>1001</RadioID><RepeaterGUID>r-a</RepeaterGUID>"
              L"<RepeaterAlias>Hill top</RepeaterAlias><Name>TS1</Name><SubNetID>10</SubNetID>"
              L"<Volum><RecordVolum>5</RecordVolum><PlaybackVolum>7</PlaybackVolum></Volum>"
              L"<IsData>1</IsData><IPSiteID>4</IPSiteID><PseudoID/>"
              L"<IsLocalSlot>1</IsLocalSlot><RTPConfig><RTPEnable>0</RTPEnable>"
              L"<RTPType>0</RTPType></RTPConfig></Station>");
    // Slot 2 had no element: a new one, with the volume defaults.
    EXPECT_STREQ(stations[1]->GetChildValue(L"SlotID"), L"2");
    EXPECT_STREQ(stations[1]->GetChild(L"Volum")->GetChildValue(L"RecordVolum"), L"3");

    // An existing RTPConfig keeps its other children; a missing RTPType is appended.
    WriteDocument(L"", L"<Station><Type>Repeater</Type><SlotID>1</SlotID><RadioID>7</RadioID>"
                       L"<RepeaterGUID>G</RepeaterGUID><RTPConfig><Key>k</Key>"
                       L"<RTPEnable>1</RTPEnable></RTPConfig></Station>");
    Load(settings);
    Save(settings);
    EXPECT_EQ(Compact(Stations()[0]->GetChild(L"RTPConfig")),
              L"<RTPConfig><Key>k</Key><RTPEnable>1</RTPEnable><RTPType>0</RTPType></RTPConfig>");

    // The GUID is found without regard to case: slot elements whose GUIDs differ only in case
    // stay one element per slot, and take the repeater's spelling.
    Slot upper;
    upper.repeaterGuid = L"R-A";
    Slot lower;
    lower.repeaterGuid = L"r-a";
    lower.slotId = L"2";
    lower.guid = L"S2";
    WriteDocument(L"", upper.Xml() + lower.Xml());
    Load(settings);
    Save(settings);
    ASSERT_EQ(Stations().size(), 2u);
    EXPECT_STREQ(Stations()[0]->GetChildValue(L"RepeaterGUID"), L"r-a");
    EXPECT_STREQ(Stations()[0]->GetChildValue(L"GUID"), L"S1");
}

TEST_F(RepeaterSettingsTest, OnlyTheElementsOfKeptRepeatersStayAfterASave)
{
    Slot a1;
    Slot a2;
    a2.slotId = L"2";
    a2.guid = L"S2";
    a2.name = L"from A";
    Slot b1;
    b1.repeaterGuid = L"R-B";
    b1.guid = L"S3";
    Slot broken;
    broken.repeaterGuid = L"";
    Slot gone;
    gone.radioId = L"1002";
    gone.repeaterGuid = L"R-G";
    Slot odd;
    odd.radioId = L"1003";
    odd.repeaterGuid = L"R-O";
    odd.slotId = L"7";
    odd.name = L"seven";
    WriteDocument(L"", a1.Xml() + kDispatchStation + a2.Xml() + broken.Xml() + b1.Xml() +
                           gone.Xml() + odd.Xml() + L"<Note>n</Note>");
    const XNode dispatch = *Stations()[1];
    CRepeaterSettings settings;
    Load(settings);
    ASSERT_EQ(settings.Repeaters().Count(), 3u);
    settings.RemoveRepeaters({*settings.RowOf(L"1002")});
    Save(settings);

    // The merged repeater keeps the winner's GUID: A's elements and the broken one are gone,
    // B's slot 1 is updated, and its slot 2 (with A's slot 2 data) is new. The removed
    // repeater's element is gone; the dispatch station and other children stay.
    const auto stations = Stations();
    ASSERT_EQ(stations.size(), 7u);
    EXPECT_EQ(*stations[0], dispatch);
    EXPECT_STREQ(stations[1]->GetChildValue(L"RepeaterGUID"), L"R-B");
    EXPECT_STREQ(stations[1]->GetChildValue(L"SlotID"), L"1");
    // The SlotID 7 element is read as slot 2 but not found again by the save: it stays, and
    // the slot 2 element is written beside it.
    EXPECT_STREQ(stations[2]->GetChildValue(L"SlotID"), L"7");
    EXPECT_EQ(stations[3]->name, L"Note");
    EXPECT_STREQ(stations[4]->GetChildValue(L"RepeaterGUID"), L"R-B");
    EXPECT_STREQ(stations[4]->GetChildValue(L"SlotID"), L"2");
    EXPECT_STREQ(stations[4]->GetChildValue(L"Name"), L"from A");
    EXPECT_STREQ(stations[4]->GetChildValue(L"GUID"), L"S2");
    EXPECT_STREQ(stations[5]->GetChildValue(L"RadioID"), L"1003");
    EXPECT_STREQ(stations[5]->GetChildValue(L"SlotID"), L"1");
    EXPECT_STREQ(stations[6]->GetChildValue(L"SlotID"), L"2");
    EXPECT_STREQ(stations[6]->GetChildValue(L"Name"), L"seven");

    // Removing every repeater removes every repeater element, and nothing else.
    settings.RemoveRepeaters({0, 1});
    Save(settings);
    ASSERT_EQ(Stations().size(), 2u);
    EXPECT_EQ(*Stations()[0], dispatch);
}

TEST_F(RepeaterSettingsTest, TheEntryEditorsRules)
{
    Slot first;
    first.alias = L"Repeater1";
    Slot second;
    second.radioId = L"1002";
    second.repeaterGuid = L"R-B";
    second.alias = L"repeater2";
    WriteDocument(L"", first.Xml() + second.Xml());
    CRepeaterSettings settings;
    Load(settings);
    EXPECT_EQ(settings.ProposedAlias(), L"Repeater3");

    const RepeaterEntry proposed = settings.NewEntry();
    EXPECT_EQ(proposed.alias, L"Repeater3");
    EXPECT_EQ(proposed.ipSiteId, L"1");
    EXPECT_EQ(proposed.pseudoId, L"0");
    EXPECT_EQ(proposed.radioId, L"");
    EXPECT_EQ(proposed.slots[1],
              (RepeaterEntry::Slot{true, L"Slot2", L"10", false, false, false, false, 0}));

    // On the page, Add keeps what Quick GPS, IP Site Channel and RTP Type showed, and only
    // those.
    RepeaterEntry shown = settings.EntryOf(1);
    shown.radioId = L"77";
    shown.slots[0] = {false, L"x", L"7", true, true, true, true, 3};
    shown.slots[1] = {false, L"y", L"8", false, true, true, false, CRtpTypeList::kNone};
    RepeaterEntry kept = proposed;
    kept.slots[0].quickGps = true;
    kept.slots[0].ipSiteChannel = true;
    kept.slots[0].rtpType = 3;
    kept.slots[1].ipSiteChannel = true;
    kept.slots[1].rtpType = CRtpTypeList::kNone;
    EXPECT_EQ(settings.NewEntry(shown), kept);

    // The required values in the page's order; the Radio ID check comes after them.
    const CRepeaterSettings before = settings;
    const auto refusal = [&settings](RepeaterEntry entry) { return settings.AddRepeater(entry); };
    const auto required = [](const char* field) {
        return CEntryResult{CEntryResult::Refused, CRefusal(10022, {}, field)};
    };
    RepeaterEntry entry = Entry(settings, L"1001");
    entry.alias = L"";
    EXPECT_EQ(refusal(entry), required("alias"));
    entry.radioId = L"";
    EXPECT_EQ(refusal(entry), required("radio-id"));
    entry = Entry(settings, L"1003");
    entry.ipSiteId = L"";
    EXPECT_EQ(refusal(entry), required("ip-site-id"));
    entry = Entry(settings, L"1003");
    entry.slots[0].subNetId = L"";
    EXPECT_EQ(refusal(entry), required("slot1.subnet"));
    entry.slots[0].used = false;
    entry.slots[1].alias = L"";
    EXPECT_EQ(refusal(entry), required("slot2.alias"));
    entry = Entry(settings, L"1001");
    EXPECT_EQ(refusal(entry),
              (CEntryResult{CEntryResult::Refused, CRefusal(10045, L"1001", "radio-id")}));
    EXPECT_EQ(settings, before);

    // A slot not in use needs neither alias nor subnet; quick GPS wins over GPS data.
    entry = Entry(settings, L"1003");
    entry.slots[1] = {false, L"", L"", true, true, false, false, CRtpTypeList::kNone};
    ASSERT_EQ(settings.AddRepeater(entry), CEntryResult{});
    const RepeaterInfo& added = settings.Repeaters().Rows()[2];
    EXPECT_EQ(added.slots[1].isData, 2);
    // No RTP type chosen: the first one of the list.
    EXPECT_EQ(added.slots[1].rtpType, 0u);
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
    EXPECT_EQ(settings.ProposedAlias(), L"Repeater1");
    EXPECT_EQ(settings.Repeaters().ShownRows(), 6);
}

TEST_F(RepeaterSettingsTest, TheEnablingRuleOfASlot)
{
    const auto enabled = [](bool used, bool quick, bool gps, bool encrypt)
    {
        RepeaterEntry::Slot slot;
        slot.used = used;
        slot.quickGps = quick;
        slot.gpsData = gps;
        slot.encrypt = encrypt;
        return CRepeaterSettings::EnablingOf(slot);
    };
    constexpr bool on = true;
    constexpr bool off = false;
    // alias, subnet, quick GPS, GPS data, IP site channel, encrypt, RTP type
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
    const CRtpTypeList types = CRtpTypeList::Read(Files().RaviraZazuGatewayIni());
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

    const CRtpTypeList none = CRtpTypeList::Read(m_dir.File("missing.ini"));
    EXPECT_EQ(none.Size(), 0u);
    EXPECT_EQ(none.FirstValue(), 4294967295u);

    // A type the file no longer lists is shown and written back as it is.
    Slot slot;
    slot.rtp = L"<RTPConfig><RTPEnable>1</RTPEnable><RTPType>3</RTPType></RTPConfig>";
    WriteDocument(L"", slot.Xml());
    CRepeaterSettings settings;
    Load(settings);
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
    Load(settings);
    ASSERT_EQ(settings.AddRepeater(Entry(settings, L"2")), CEntryResult{});
    Save(settings);
    Load(settings);
    EXPECT_EQ(settings.Repeaters().Rows()[1].slots[0].rtpType, 4294967295u);
    EXPECT_EQ(settings.RtpTypes().EntriesWith(4294967295u).size(), 0u);
}

// The texts of a load live in one block that the settings hold: a copy, a move and another
// load must each leave every settings object with texts that are still there (the sanitizer
// build reports a text read from a block that went).
TEST_F(RepeaterSettingsTest, CopiedMovedAndReloadedSettingsKeepTheirTexts)
{
    Slot valley;
    valley.guid = L"S-V";
    valley.radioId = L"2002";
    valley.repeaterGuid = L"R-V";
    valley.alias = L"Valley";
    WriteDocument(L"", Slot().Xml());
    CRepeaterSettings first;
    Load(first);
    CRepeaterSettings copy = first;
    CRepeaterSettings target;
    Load(target);

    WriteDocument(L"", valley.Xml());
    Load(first);
    {
        CRepeaterSettings source;
        Load(source);
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

// An element of another type that carries a repeater's RepeaterGUID and SlotID is no slot
// element: a save leaves it as it is and writes the slot into the repeater's own element.
TEST_F(RepeaterSettingsTest, ASaveNeverWritesIntoAnElementOfAnotherType)
{
    Slot stray;
    stray.type = L"Dispatch";
    stray.name = L"Harbour";
    WriteDocument(L"", stray.Xml() + Slot().Xml());
    const XNode before = *Stations()[0];
    const XNode own = *Stations()[1];
    CRepeaterSettings settings;
    Load(settings);
    ASSERT_EQ(settings.Repeaters().Count(), 1u);
    Save(settings);

    const auto stations = Stations();
    ASSERT_EQ(stations.size(), 3u);
    EXPECT_EQ(*stations[0], before);
    EXPECT_EQ(*stations[1], own); // written with the values it had
    EXPECT_STREQ(stations[2]->GetChildValue(L"SlotID"), L"2");
}

// A load reads the last of several elements of one slot, a broken one (without Radio ID)
// passed over: a save writes every one of them but the broken one, which goes, so that a change
// survives the next load.
TEST_F(RepeaterSettingsTest, AChangeReachesEveryElementOfItsSlot)
{
    Slot broken;
    broken.radioId = L"";
    Slot first;
    first.name = L"Old";
    Slot last;
    last.name = L"Newer";
    WriteDocument(L"", broken.Xml() + first.Xml() + last.Xml());
    CRepeaterSettings settings;
    Load(settings);
    ASSERT_EQ(settings.Repeaters().Rows()[0].slots[0].name, L"Newer");
    RepeaterEntry entry = settings.EntryOf(0);
    entry.slots[0].alias = L"Changed";
    ASSERT_EQ(settings.ChangeRepeater(0, entry), CEntryResult{});
    Save(settings);

    CRepeaterSettings reread;
    Load(reread);
    EXPECT_EQ(reread.Repeaters().Rows()[0].slots[0].name, L"Changed");
    ASSERT_EQ(Stations().size(), 3u); // the two of slot 1 and a new one of slot 2
    for (const XNode* element : Stations())
    {
        const wchar_t* slotId = element->GetChildValue(L"SlotID");
        if (slotId != nullptr && std::wstring_view(slotId) == L"1")
        {
            EXPECT_STREQ(element->GetChildValue(L"Name"), L"Changed");
        }
    }
}

// Two repeaters whose elements share a GUID keep them apart by their Radio IDs: a save writes
// each into its own elements, and removing one removes only its elements.
TEST_F(RepeaterSettingsTest, RepeatersThatShareAGuidKeepTheirOwnElements)
{
    Slot valley;
    valley.radioId = L"2002";
    valley.slotId = L"2";
    valley.guid = L"S2";
    valley.alias = L"Valley";
    WriteDocument(L"", Slot().Xml() + valley.Xml());
    CRepeaterSettings settings;
    Load(settings);
    ASSERT_EQ(settings.Repeaters().Count(), 2u);
    Save(settings);

    CRepeaterSettings reread;
    Load(reread);
    ASSERT_EQ(reread.Repeaters().Count(), 2u);
    EXPECT_EQ(reread.Repeaters().Rows()[*reread.RowOf(L"1001")].alias, L"Hill");
    EXPECT_EQ(reread.Repeaters().Rows()[*reread.RowOf(L"2002")].alias, L"Valley");
    EXPECT_EQ(Stations().size(), 4u);

    reread.RemoveRepeaters({*reread.RowOf(L"1001")});
    Save(reread);
    ASSERT_EQ(Stations().size(), 2u);
    for (const XNode* element : Stations())
        EXPECT_STREQ(element->GetChildValue(L"RadioID"), L"2002");
}
