#include "TestSupport.h"
#include "config/GatewayConfigDoc.h"
#include "model/BasicSettings.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

using rztest::CTempDir;

namespace
{

// A Gateway.ini with comments, other keys and Windows line ends around the speed unit.
std::string IniWithUnit(const std::string& unit)
{
    return "; telemetry\r\n[TELEMETRYGPSFLAGSTRINGS]\r\nLATITUDE=LAT\r\nSPEEDUNIT=" + unit +
           "\r\nSPEED=SPD\r\n";
}

std::wstring Server(const wchar_t* used, const wchar_t* ip, const wchar_t* port)
{
    return std::wstring(L"<RadioServer><Used>") + used + L"</Used><GUID>G-" + ip +
           L"</GUID><Name>n</Name><IPAddress>" + ip + L"</IPAddress><IPPort>" + port +
           L"</IPPort></RadioServer>";
}

class BasicSettingsTest : public ::testing::Test
{
protected:
    // Writes and loads a document, and loads the settings from it.
    void Load(const std::wstring& config)
    {
        rztest::WriteBytes(
            m_dir.File("GatewayConfig.XML"),
            rztest::Utf16Document(L"<MXRGateways><GatewayConfig>" + config +
                                  L"<Language>English</Language></GatewayConfig></MXRGateways>"));
        m_document.Unload();
        ASSERT_TRUE(m_document.Load(m_dir.File("GatewayConfig.XML")));
        m_settings.Load(m_document, Files());
    }
    static ino_t Inode(const std::string& path)
    {
        struct stat st = {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
    }
    std::string Ini() const { return m_dir.File("Gateway.ini"); }
    CToolFiles Files() const { return {m_dir.Path()}; }
    // Saves into the document and writes the staged changes and the document, as a save does.
    void Save()
    {
        CFileChanges changes;
        m_settings.Save(m_document, Files(), changes);
        ASSERT_TRUE(changes.Commit(&m_document));
    }

    CTempDir m_dir;
    CGatewayConfigDoc m_document;
    CBasicSettings m_settings;
};

} // namespace

TEST_F(BasicSettingsTest, ActiveServersAreListedAndSavedAndInactiveOnesStayAsTheyAre)
{
    rztest::WriteBytes(Ini(), IniWithUnit("0"));
    Load(L"<RadioServers>" + Server(L"FALSE", L"10.0.0.1", L"1") +
         Server(L"true", L"10.0.0.2", L"2") + Server(L"TRUE", L"10.0.0.3", L"3") +
         L"<Comment>kept</Comment>" + Server(L"no", L"10.0.0.4", L"4") +
         Server(L"TRUE", L"10.0.0.5", L"") + Server(L"TRUE", L"", L"6") +
         Server(L"true", L"10.0.0.7", L"7") + L"</RadioServers>");
    ASSERT_EQ(m_settings.Servers().Count(), 5u);
    EXPECT_EQ(m_settings.Servers().Rows()[0], (RadioServerRecord{L"true", L"10.0.0.2", L"2"}));

    ASSERT_EQ(m_settings.ChangeServer(0, L"10.0.0.10", L"10"), CEntryResult{});
    m_settings.RemoveServers({1});
    ASSERT_EQ(m_settings.AddServer(L"10.0.0.9", L"9"), CEntryResult{});
    Save();
    // The inactive entries stay where they were; the list follows them, one element per
    // complete server. A changed or new server is active in the document's own spelling, an
    // unchanged one keeps its Used text.
    CGatewayConfigDoc reread;
    ASSERT_TRUE(reread.Load(m_dir.File("GatewayConfig.XML")));
    RUROR::DISP_OPT compact;
    compact.newline = false;
    EXPECT_EQ(reread.RadioServers()->GetXML(compact),
              L"<RadioServers>" + Server(L"FALSE", L"10.0.0.1", L"1") + L"<Comment>kept</Comment>" +
                  Server(L"no", L"10.0.0.4", L"4") +
                  L"<RadioServer><Used>TRUE</Used><IPAddress>10.0.0.10</IPAddress>"
                  L"<IPPort>10</IPPort></RadioServer><RadioServer><Used>true</Used>"
                  L"<IPAddress>10.0.0.7</IPAddress><IPPort>7</IPPort></RadioServer>"
                  L"<RadioServer><Used>TRUE</Used><IPAddress>10.0.0.9</IPAddress>"
                  L"<IPPort>9</IPPort></RadioServer></RadioServers>");
}

TEST_F(BasicSettingsTest, ListRulesRefuseAndChangeNothingAndRowsAddressServersOfOneAddress)
{
    Load(L"<RadioServers>" + Server(L"TRUE", L"10.0.0.1", L"1") +
         Server(L"TRUE", L"10.0.0.2", L"2") + Server(L"TRUE", L"10.0.0.1", L"3") +
         Server(L"TRUE", L"10.0.0.4", L"4") + Server(L"TRUE", L"10.0.0.5", L"5") +
         L"</RadioServers>");
    CBasicSettings& settings = m_settings;
    EXPECT_EQ(settings.Servers().RowsWithKey(L"10.0.0.1"), (std::vector<size_t>{0, 2}));
    EXPECT_EQ(settings.Servers().DuplicateKeys(), std::vector<std::wstring>{L"10.0.0.1"});
    // The second entry of the address, not the first.
    ASSERT_EQ(settings.ChangeServer(2, L"10.0.0.3", L"3"), CEntryResult{});
    EXPECT_EQ(settings.Servers().Rows()[0].ipPort, L"1");
    EXPECT_EQ(settings.Servers().Rows()[2].ipAddress, L"10.0.0.3");

    // Five servers fill the list.
    const CBasicSettings full = settings;
    EXPECT_EQ(settings.CanAdd(), CRefusal(10038));
    EXPECT_EQ(settings.AddServer(L"10.0.0.6", L"7"),
              (CEntryResult{CEntryResult::Refused, CRefusal(10038)}));
    // Changing only the port keeps the address: refused like a duplicate.
    EXPECT_EQ(settings.ChangeServer(1, L"10.0.0.2", L"8"),
              (CEntryResult{CEntryResult::Refused, CRefusal(10006, L"10.0.0.2", "server-ip")}));
    EXPECT_EQ(settings.ChangeServer(1, L"10.0.0.3", L"8").refusal.textId, 10006);
    EXPECT_EQ(settings.ChangeServer(1, L"", L"8").status, CEntryResult::Incomplete);
    EXPECT_EQ(settings.ChangeServer(9, L"10.0.0.8", L"8").status, CEntryResult::Refused);
    EXPECT_EQ(settings, full);

    // A change keeps the server's place in the list; removed rows may repeat.
    ASSERT_EQ(settings.ChangeServer(1, L"10.0.0.20", L"8"), CEntryResult{});
    EXPECT_EQ(settings.Servers().Rows()[1], (RadioServerRecord{L"", L"10.0.0.20", L"8"}));
    settings.RemoveServers({4, 0, 4});
    ASSERT_EQ(settings.Servers().Count(), 3u);
    EXPECT_EQ(settings.Servers().Rows()[0].ipAddress, L"10.0.0.20");
    EXPECT_EQ(settings.AddServer(L"", L"1").status, CEntryResult::Incomplete);
    EXPECT_EQ(settings.AddServer(L"10.0.0.3", L"1").refusal,
              CRefusal(10006, L"10.0.0.3", "server-ip"));
}

TEST_F(BasicSettingsTest, HintsAndRefusalsFollowTheFields)
{
    Load(L"<LocalIP>10.0.0.1</LocalIP><LocalPort>3003</LocalPort>"
         L"<VOIPBeginPort>19000</VOIPBeginPort>");
    CBasicSettings& settings = m_settings;
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

TEST_F(BasicSettingsTest, AnIniFileIsWrittenAtTheCommitAndOnlyWhenItChanges)
{
    // The file is found in whatever case it is named; one that already holds the value is not
    // written at all, and a commit writes a changed file once.
    const std::string ini = m_dir.File("GATEWAY.INI");
    rztest::WriteBytes(ini, IniWithUnit("1"));
    const ino_t before = Inode(ini);
    Load(L"");
    EXPECT_EQ(m_settings.speedUnit, 1u);
    CFileChanges same;
    m_settings.Save(m_document, Files(), same);
    EXPECT_TRUE(same.Empty());
    EXPECT_TRUE(same.Paths().empty());
    ASSERT_TRUE(same.Commit(nullptr));
    EXPECT_EQ(Inode(ini), before);

    // Of two changes of one file, the later one counts.
    m_settings.speedUnit = 2;
    CFileChanges changed;
    changed.SetIniValue(ini, L"TELEMETRYGPSFLAGSTRINGS", L"SPEEDUNIT", L"0");
    m_settings.Save(m_document, Files(), changed);
    EXPECT_FALSE(changed.Empty());
    EXPECT_EQ(changed.Paths(), std::vector<std::string>{ini});
    EXPECT_EQ(rztest::ReadBytes(ini), IniWithUnit("1"));
    ASSERT_TRUE(changed.Commit(nullptr));
    EXPECT_EQ(rztest::ReadBytes(ini), IniWithUnit("2"));
    EXPECT_TRUE(changed.Empty());
    const ino_t written = Inode(ini);
    EXPECT_NE(written, before);
    ASSERT_TRUE(changed.Commit(nullptr));
    EXPECT_EQ(Inode(ini), written);
    EXPECT_FALSE(rztest::ReadBytes(m_dir.File("Gateway.ini")).size() > 0);

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

TEST_F(BasicSettingsTest, AnUnusableSpeedUnitIsRepairedAsZeroAndAMissingOneShowsTheFirst)
{
    const std::string withoutKey = "[TELEMETRYGPSFLAGSTRINGS]\r\nLATITUDE=LAT\r\n";
    // The file, the unit shown, and the file after the repair the page makes at once.
    for (const auto& [ini, shown, repaired] : {std::tuple{IniWithUnit("3"), 0u, IniWithUnit("0")},
                                               std::tuple{IniWithUnit("-1"), 0u, IniWithUnit("0")},
                                               std::tuple{IniWithUnit("2"), 2u, IniWithUnit("2")},
                                               std::tuple{withoutKey, 0u, withoutKey}})
    {
        rztest::WriteBytes(Ini(), ini);
        Load(L"");
        EXPECT_EQ(m_settings.speedUnit, shown) << ini;
        // Loading writes nothing; a repair changes only that key: comments, other keys and
        // line ends are kept.
        EXPECT_EQ(rztest::ReadBytes(Ini()), ini);
        CFileChanges repair;
        m_settings.Repair(Files(), repair);
        EXPECT_EQ(repair.Empty(), repaired == ini);
        ASSERT_TRUE(repair.Commit(nullptr));
        EXPECT_EQ(rztest::ReadBytes(Ini()), repaired);
    }
}

TEST_F(BasicSettingsTest, ValuesDefaultsCodecsAndSwitches)
{
    rztest::WriteBytes(Ini(), IniWithUnit("0"));
    // A switch is on only when its value reads as the integer 1; the codec is the first name
    // found in the value, G.711u when there is none, and is saved as its stored value, which
    // selects it again.
    for (const auto& [codec, on, shown, bit, saved] :
         {std::tuple{L"0:G.711u", L"1", 0u, L"1", L"0:G.711u"},
          std::tuple{L"8:G.711a", L"01", 1u, L"1", L"8:G.711a"},
          std::tuple{L"18:G.729a", L"12", 2u, L"0", L"18:G.729a"},
          std::tuple{L"G.729a", L"10", 2u, L"0", L"18:G.729a"},
          std::tuple{L"97:opus", L"2", 0u, L"0", L"0:G.711u"},
          std::tuple{L"", L"0", 0u, L"0", L"0:G.711u"}})
    {
        Load(L"<VocCodec>" + std::wstring(codec) + L"</VocCodec><LocalIP></LocalIP>" +
             L"<KeepUnsubscribedGPSData>" + on + L"</KeepUnsubscribedGPSData>" +
             L"<KeepRRSRetryTime>" + on + L"</KeepRRSRetryTime>");
        EXPECT_EQ(m_settings.codec, shown) << codec;
        EXPECT_EQ(m_settings.localPort, L"0");

        // What was loaded is saved; every value is set or made.
        m_settings.localPort = L"3003";
        Save();
        std::vector<std::wstring> written;
        for (const wchar_t* name : {L"VocCodec", L"LocalPort", L"KeepUnsubscribedGPSData",
                                    L"KeepRRSRetryTime", L"LocalIP", L"VOIPBeginPort"})
            written.push_back(m_document.GetSetting(name));
        EXPECT_EQ(written,
                  (std::vector<std::wstring>{saved, L"3003", bit, bit, L"127.0.0.1", L"19000"}))
            << on;
        // Made where it was missing: LocalPort, VOIPBeginPort and the radio server list.
        EXPECT_EQ(m_document.GatewayConfig()->GetChildCount(), 8u);
    }
}
