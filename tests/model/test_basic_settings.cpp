#include "TestSupport.h"
#include "config/GatewayConfigDoc.h"
#include "model/BasicSettings.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

using RUROR::XNode;
using rztest::CTempDir;

namespace
{

const std::string kGatewayIni = "; telemetry\r\n[TELEMETRYGPSFLAGSTRINGS]\r\nLATITUDE=LAT\r\n"
                                "SPEEDUNIT=%\r\nSPEED=SPD\r\n";

std::string IniWithUnit(const std::string& unit)
{
    std::string text = kGatewayIni;
    text.replace(text.find('%'), 1, unit);
    return text;
}

class BasicSettingsTest : public ::testing::Test
{
protected:
    void WriteDocument(const std::wstring& config)
    {
        rztest::WriteBytes(
            m_dir.File("GatewayConfig.XML"),
            rztest::Utf16Document(L"<MXRGateways><GatewayConfig>" + config +
                                  L"<Language>English</Language></GatewayConfig></MXRGateways>"));
        m_document.Unload();
        ASSERT_TRUE(m_document.Load(m_dir.File("GatewayConfig.XML")));
    }
    std::string Ini() const { return m_dir.File("Gateway.ini"); }
    CToolFiles Files() const { return {m_dir.Path()}; }
    // Saves into the document and writes the staged ini changes, as a save does.
    void Save(const CBasicSettings& settings)
    {
        CFileChanges changes;
        settings.Save(m_document, Files(), changes);
        ASSERT_TRUE(changes.Commit(nullptr));
    }

    static std::wstring Server(const wchar_t* used, const wchar_t* ip, const wchar_t* port)
    {
        return std::wstring(L"<RadioServer><Used>") + used + L"</Used><GUID>G-" + ip +
               L"</GUID><Name>n</Name><IPAddress>" + ip + L"</IPAddress><IPPort>" + port +
               L"</IPPort></RadioServer>";
    }

    CTempDir m_dir;
    CGatewayConfigDoc m_document;
};

} // namespace

TEST_F(BasicSettingsTest, ActiveServersAreListedAndInactiveOnesSurviveSave)
{
    rztest::WriteBytes(Ini(), IniWithUnit("1"));
    WriteDocument(L"<RadioServers>" + Server(L"FALSE", L"10.0.0.1", L"1") +
                  Server(L"true", L"10.0.0.2", L"2") + Server(L"TRUE", L"10.0.0.3", L"3") +
                  L"<Comment>kept</Comment>" + Server(L"no", L"10.0.0.4", L"4") +
                  L"</RadioServers>");
    CBasicSettings settings;
    settings.Load(m_document, Files());
    ASSERT_EQ(settings.Servers().Count(), 2u);
    EXPECT_EQ(settings.Servers().Rows()[0], (RadioServerRecord{L"true", L"10.0.0.2", L"2"}));
    EXPECT_EQ(settings.speedUnit, 1u);

    settings.RemoveServers({1});
    ASSERT_EQ(settings.AddServer(L"10.0.0.9", L"9"), CEntryResult{});
    Save(settings);
    ASSERT_EQ(m_document.Save(), 1);

    CGatewayConfigDoc reread;
    ASSERT_TRUE(reread.Load(m_dir.File("GatewayConfig.XML")));
    const auto children = reread.RadioServers()->GetChilds();
    ASSERT_EQ(children.size(), 5u);
    // The inactive entries first, untouched, then one element per listed server.
    EXPECT_EQ(*children[0], *m_document.RadioServers()->GetChild(size_t{0}));
    EXPECT_STREQ(children[0]->GetChildValue(L"GUID"), L"G-10.0.0.1");
    EXPECT_EQ(children[1]->name, L"Comment");
    EXPECT_STREQ(children[2]->GetChildValue(L"IPAddress"), L"10.0.0.4");
    for (size_t i = 3; i < 5; ++i)
    {
        std::vector<std::wstring> names;
        for (const XNode* child : children[i]->GetChilds())
            names.push_back(child->name);
        EXPECT_EQ(names, (std::vector<std::wstring>{L"Used", L"IPAddress", L"IPPort"}));
    }
    EXPECT_STREQ(children[3]->GetChildValue(L"Used"), L"true"); // its own Used text
    EXPECT_STREQ(children[4]->GetChildValue(L"Used"), L"TRUE"); // a new server
    EXPECT_STREQ(children[4]->GetChildValue(L"IPAddress"), L"10.0.0.9");
    // The speed unit was already 1: Gateway.ini is not touched.
    EXPECT_EQ(rztest::ReadBytes(Ini()), IniWithUnit("1"));
}

TEST_F(BasicSettingsTest, ListRulesRefuseAndChangeNothing)
{
    WriteDocument(L"<RadioServers>" + Server(L"TRUE", L"10.0.0.1", L"1") + L"</RadioServers>");
    CBasicSettings settings;
    settings.Load(m_document, Files());
    for (int i = 2; i <= 5; ++i)
        ASSERT_EQ(settings.AddServer(L"10.0.0." + std::to_wstring(i), L"7"), CEntryResult{});
    const CBasicSettings full = settings;
    const CEntryResult tooMany{CEntryResult::Refused, CRefusal(10038)};
    EXPECT_EQ(settings.CanAdd(), CRefusal(10038));
    EXPECT_EQ(settings.AddServer(L"10.0.0.6", L"7"), tooMany);
    // Changing only the port keeps the address: refused like a duplicate.
    EXPECT_EQ(settings.ChangeServer(1, L"10.0.0.2", L"8"),
              (CEntryResult{CEntryResult::Refused, CRefusal(10006, L"10.0.0.2", "server-ip")}));
    EXPECT_EQ(settings.ChangeServer(1, L"10.0.0.3", L"8").refusal.textId, 10006);
    EXPECT_EQ(settings.ChangeServer(1, L"", L"8").status, CEntryResult::Incomplete);
    EXPECT_EQ(settings.ChangeServer(9, L"10.0.0.8", L"8").status, CEntryResult::Refused);
    EXPECT_EQ(settings, full);

    // A change keeps the server's place in the list.
    ASSERT_EQ(settings.ChangeServer(1, L"10.0.0.20", L"8"), CEntryResult{});
    EXPECT_EQ(settings.Servers().Rows()[1], (RadioServerRecord{L"", L"10.0.0.20", L"8"}));
    settings.RemoveServers({0});
    EXPECT_EQ(settings.AddServer(L"", L"1").status, CEntryResult::Incomplete);
    EXPECT_EQ(settings.AddServer(L"10.0.0.3", L"1").refusal,
              CRefusal(10006, L"10.0.0.3", "server-ip"));
}

TEST_F(BasicSettingsTest, ServersOfOneAddressAreChangedAndRemovedByTheirRow)
{
    WriteDocument(L"<RadioServers>" + Server(L"TRUE", L"10.0.0.1", L"1") +
                  Server(L"TRUE", L"10.0.0.2", L"2") + Server(L"TRUE", L"10.0.0.1", L"3") +
                  L"</RadioServers>");
    CBasicSettings settings;
    settings.Load(m_document, Files());
    EXPECT_EQ(settings.Servers().RowsWithKey(L"10.0.0.1"), (std::vector<size_t>{0, 2}));
    EXPECT_EQ(settings.Servers().DuplicateKeys(), std::vector<std::wstring>{L"10.0.0.1"});
    // The second entry of the address, not the first.
    ASSERT_EQ(settings.ChangeServer(2, L"10.0.0.3", L"3"), CEntryResult{});
    EXPECT_EQ(settings.Servers().Rows()[0].ipPort, L"1");
    EXPECT_EQ(settings.Servers().Rows()[2].ipAddress, L"10.0.0.3");
    settings.RemoveServers({2, 0, 2});
    ASSERT_EQ(settings.Servers().Count(), 1u);
    EXPECT_EQ(settings.Servers().Rows()[0].ipAddress, L"10.0.0.2");
}

TEST_F(BasicSettingsTest, HintsAndRefusalsFollowTheFields)
{
    WriteDocument(L"<LocalIP>10.0.0.1</LocalIP><LocalPort>3003</LocalPort>"
                  L"<VOIPBeginPort>19000</VOIPBeginPort>");
    CBasicSettings settings;
    settings.Load(m_document, Files());
    EXPECT_TRUE(settings.Hints().empty());
    EXPECT_TRUE(settings.Validate().empty());
    settings.localIp = L"";
    settings.voipPort = L"19001";
    EXPECT_EQ(settings.Hints(), (std::vector<CHint>{{"local-ip", 10013}, {"voip-port", 10027}}));

    // What no field would show is refused: pasted junk, a port above 65535, a part above 255.
    settings.localIp = L"10.0.0.300";
    settings.localPort = L"99999x";
    settings.voipPort = L"70000";
    EXPECT_EQ(settings.Validate(), (std::vector<CRefusal>{{10013, L"10.0.0.300", "local-ip"},
                                                          {10008, L"99999x", "local-port"},
                                                          {10008, L"70000", "voip-port"}}));
    // What a field holds while it is typed into passes: a half address, empty fields.
    settings.localIp = L"10.0";
    settings.localPort = L"";
    settings.voipPort = L"";
    EXPECT_TRUE(settings.Validate().empty());
    settings.localIp = L"10..0";
    EXPECT_EQ(settings.Validate(), (std::vector<CRefusal>{{10013, L"10..0", "local-ip"}}));
}

TEST_F(BasicSettingsTest, NothingIsWrittenBeforeTheChangesAreCommitted)
{
    rztest::WriteBytes(Ini(), IniWithUnit("5"));
    WriteDocument(L"");
    CBasicSettings settings;
    settings.Load(m_document, Files());
    CFileChanges changes;
    settings.Repair(Files(), changes);
    settings.speedUnit = 1;
    settings.Save(m_document, Files(), changes);
    EXPECT_FALSE(changes.Empty());
    EXPECT_EQ(rztest::ReadBytes(Ini()), IniWithUnit("5"));
    ASSERT_TRUE(changes.Commit(nullptr));
    EXPECT_EQ(rztest::ReadBytes(Ini()), IniWithUnit("1"));

    // An ini file whose folder is gone cannot be written: the commit names it with the
    // system's reason, and the document is not written either.
    const std::string lost = m_dir.File("gone/Gateway.ini");
    const std::string document = rztest::ReadBytes(m_dir.File("GatewayConfig.XML"));
    CFileChanges failing;
    failing.SetIniValue(lost, L"TELEMETRYGPSFLAGSTRINGS", L"SPEEDUNIT", L"2");
    m_document.SetSetting(L"LocalPort", L"4000");
    const CFileChanges::CCommit commit = failing.Commit(&m_document);
    EXPECT_EQ(commit.error, ENOENT);
    EXPECT_EQ(commit.path, lost);
    EXPECT_EQ(rztest::ReadBytes(m_dir.File("GatewayConfig.XML")), document);
}

TEST_F(BasicSettingsTest, AnIniFileThatAlreadySaysSoIsLeftAlone)
{
    // The file is found in whatever case it is named; one that already holds the value is not
    // written at all, and a commit writes a changed file once.
    const std::string ini = m_dir.File("GATEWAY.INI");
    rztest::WriteBytes(ini, IniWithUnit("1"));
    const auto inode = [&ini]
    {
        struct stat st
        {
        };
        return ::stat(ini.c_str(), &st) == 0 ? st.st_ino : ino_t{0};
    };
    const ino_t before = inode();
    WriteDocument(L"");
    CBasicSettings settings;
    settings.Load(m_document, Files());
    EXPECT_EQ(settings.speedUnit, 1u);
    CFileChanges same;
    settings.Save(m_document, Files(), same);
    EXPECT_TRUE(same.Empty());
    EXPECT_TRUE(same.Paths().empty());
    ASSERT_TRUE(same.Commit(nullptr));
    EXPECT_EQ(inode(), before);

    settings.speedUnit = 2;
    CFileChanges changed;
    settings.Save(m_document, Files(), changed);
    EXPECT_FALSE(changed.Empty());
    EXPECT_EQ(changed.Paths(), std::vector<std::string>{ini});
    ASSERT_TRUE(changed.Commit(nullptr));
    EXPECT_EQ(rztest::ReadBytes(ini), IniWithUnit("2"));
    EXPECT_TRUE(changed.Empty());
    const ino_t written = inode();
    EXPECT_NE(written, before);
    ASSERT_TRUE(changed.Commit(nullptr));
    EXPECT_EQ(inode(), written);
    EXPECT_FALSE(rztest::ReadBytes(m_dir.File("Gateway.ini")).size() > 0);
}

TEST_F(BasicSettingsTest, ValuesDefaultsCodecAndSwitches)
{
    WriteDocument(
        L"<VocCodec>8:G.711a</VocCodec><KeepUnsubscribedGPSData>01</KeepUnsubscribedGPSData>"
        L"<KeepRRSRetryTime>2</KeepRRSRetryTime><LocalIP></LocalIP>");
    CBasicSettings settings;
    settings.Load(m_document, Files());
    EXPECT_EQ(settings.codec, 1u);      // G.711a
    EXPECT_TRUE(settings.gpsTracking);  // reads as the integer 1
    EXPECT_FALSE(settings.rrsDisabled); // 2 is not on
    EXPECT_EQ(settings.localIp, L"127.0.0.1");
    EXPECT_EQ(settings.localPort, L"0");
    EXPECT_EQ(settings.voipPort, L"19000");
    EXPECT_EQ(CBasicSettings::CodecFrom(L"18:G.729a"), 2u);
    EXPECT_EQ(CBasicSettings::CodecFrom(L"G.729a"), 2u); // the name alone is enough

    // An unknown codec leaves G.711u, and saving writes 0:G.711u; every value is set or made.
    WriteDocument(L"<VocCodec>97:opus</VocCodec>");
    settings.Load(m_document, Files());
    EXPECT_EQ(settings.codec, 0u);
    settings.localPort = L"3003";
    Save(settings);
    EXPECT_STREQ(m_document.GetSetting(L"VocCodec"), L"0:G.711u");
    EXPECT_STREQ(m_document.GetSetting(L"LocalPort"), L"3003");
    EXPECT_STREQ(m_document.GetSetting(L"KeepRRSRetryTime"), L"0");
    EXPECT_EQ(m_document.GatewayConfig()->GetChildCount(), 8u); // VocCodec, Language and six made
}

TEST_F(BasicSettingsTest, UnusableSpeedUnitsAreRepairedAsZero)
{
    WriteDocument(L"");
    for (const std::string unit : {"3", "-1"})
    {
        rztest::WriteBytes(Ini(), IniWithUnit(unit));
        CBasicSettings settings;
        settings.Load(m_document, Files());
        EXPECT_EQ(settings.speedUnit, 0u) << unit;
        // Loading writes nothing; the repair the page makes at once changes only that key:
        // comments, other keys and line ends are kept.
        EXPECT_EQ(rztest::ReadBytes(Ini()), IniWithUnit(unit));
        CFileChanges repair;
        settings.Repair(Files(), repair);
        ASSERT_TRUE(repair.Commit(nullptr));
        EXPECT_EQ(rztest::ReadBytes(Ini()), IniWithUnit("0")) << unit;
    }
    CBasicSettings settings;
    settings.Load(m_document, Files());
    settings.speedUnit = 2;
    Save(settings);
    EXPECT_EQ(rztest::ReadBytes(Ini()), IniWithUnit("2"));
}

TEST_F(BasicSettingsTest, SwitchesAreOnOnlyForTheNumberOne)
{
    const struct
    {
        const wchar_t* value;
        bool on;
    } cases[] = {{L"1", true}, {L"01", true}, {L"12", false}, {L"10", false}, {L"0", false}};
    for (const auto& c : cases)
    {
        const std::wstring value = c.value;
        WriteDocument(L"<KeepUnsubscribedGPSData>" + value + L"</KeepUnsubscribedGPSData>" +
                      L"<KeepRRSRetryTime>" + value + L"</KeepRRSRetryTime>");
        CBasicSettings settings;
        settings.Load(m_document, Files());
        EXPECT_EQ(settings.gpsTracking, c.on) << "KeepUnsubscribedGPSData " << value;
        EXPECT_EQ(settings.rrsDisabled, c.on) << "KeepRRSRetryTime " << value;
    }
}

TEST_F(BasicSettingsTest, MissingSpeedUnitOpensAtTheFirstEntryAndLeavesTheFileAlone)
{
    WriteDocument(L"");
    const std::string withoutKey = "[TELEMETRYGPSFLAGSTRINGS]\r\nLATITUDE=LAT\r\n";
    rztest::WriteBytes(Ini(), withoutKey);
    CBasicSettings settings;
    settings.Load(m_document, Files());
    EXPECT_EQ(settings.speedUnit, 0u);
    CFileChanges repair;
    settings.Repair(Files(), repair);
    EXPECT_TRUE(repair.Empty());
}

TEST_F(BasicSettingsTest, SavedServersAreCompleteAndChangedOnesAreActive)
{
    rztest::WriteBytes(Ini(), IniWithUnit("0"));
    WriteDocument(L"<RadioServers>" + Server(L"true", L"10.0.0.1", L"1") +
                  Server(L"TRUE", L"10.0.0.2", L"") + Server(L"TRUE", L"", L"3") +
                  Server(L"true", L"10.0.0.4", L"4") + L"</RadioServers>");
    CBasicSettings settings;
    settings.Load(m_document, Files());
    ASSERT_EQ(settings.Servers().Count(), 4u);
    ASSERT_EQ(settings.ChangeServer(0, L"10.0.0.10", L"10"), CEntryResult{});
    Save(settings);

    // A server without a port or an address is not written; a changed one is active in the
    // document's own spelling, an unchanged one keeps its Used text.
    const auto servers = m_document.RadioServers()->GetChilds();
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_STREQ(servers[0]->GetChildValue(L"IPAddress"), L"10.0.0.10");
    EXPECT_STREQ(servers[0]->GetChildValue(L"IPPort"), L"10");
    EXPECT_STREQ(servers[0]->GetChildValue(L"Used"), L"TRUE");
    EXPECT_STREQ(servers[1]->GetChildValue(L"IPAddress"), L"10.0.0.4");
    EXPECT_STREQ(servers[1]->GetChildValue(L"Used"), L"true");
}

TEST_F(BasicSettingsTest, EachCodecIsSavedAsItsStoredValue)
{
    rztest::WriteBytes(Ini(), IniWithUnit("0"));
    WriteDocument(L"<VocCodec>0:G.711u</VocCodec>");
    const struct
    {
        size_t codec;
        const wchar_t* stored;
    } cases[] = {{0, L"0:G.711u"}, {1, L"8:G.711a"}, {2, L"18:G.729a"}};
    for (const auto& c : cases)
    {
        CBasicSettings settings;
        settings.Load(m_document, Files());
        settings.codec = c.codec;
        Save(settings);
        EXPECT_STREQ(m_document.GetSetting(L"VocCodec"), c.stored);
        // Read back, the stored value selects the same codec.
        settings.Load(m_document, Files());
        EXPECT_EQ(settings.codec, c.codec) << c.stored;
    }
}
