#include "TestSupport.h"
#include "config/GatewayConfigDoc.h"
#include "config/SystemLog.h"
#include "lang/Language.h"
#include "model/LogSettings.h"

#include <gtest/gtest.h>

using RUROR::CSystemLog;
using rztest::CTempDir;

namespace
{

class LogSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override { m_savedLevel = gLOG_LEVEL; }
    void TearDown() override { gLOG_LEVEL = m_savedLevel; }

    void WriteDocument(const std::wstring& config)
    {
        rztest::WriteBytes(m_dir.File("GatewayConfig.XML"),
                           rztest::Utf16Document(L"<MXRGateways><GatewayConfig>" + config +
                                                 L"<Language>English</Language></GatewayConfig>"
                                                 L"</MXRGateways>"));
        m_document.Unload();
        ASSERT_TRUE(m_document.Load(m_dir.File("GatewayConfig.XML")));
    }
    CLogSettings Loaded()
    {
        CLogSettings settings;
        settings.Load(m_document, {m_dir.Path()});
        return settings;
    }
    void Save(const CLogSettings& settings)
    {
        CFileChanges changes;
        settings.Save(m_document, {m_dir.Path()}, changes);
        EXPECT_TRUE(changes.Empty());
    }
    std::wstring Setting(const wchar_t* name) const
    {
        const wchar_t* value = m_document.GetSetting(name);
        return value != nullptr ? value : L"(absent)";
    }

    CTempDir m_dir;
    CGatewayConfigDoc m_document;
    CSystemLog::LOG_LEVEL m_savedLevel = CSystemLog::LOG_SYSTEM;
};

} // namespace

TEST_F(LogSettingsTest, AnAbsentSizeShowsTenAndASaveCreatesBothSettings)
{
    WriteDocument(L"<LocalIP>1.2.3.4</LocalIP>");
    const CLogSettings settings = Loaded();
    EXPECT_EQ(settings.fileSize, L"10");
    EXPECT_EQ(settings.level, 1u); // Error
    Save(settings);
    const auto children = m_document.GatewayConfig()->GetChilds();
    ASSERT_EQ(children.size(), 4u);
    EXPECT_EQ(children[2]->name, L"LogFileSize");
    EXPECT_EQ(children[2]->value, L"10");
    EXPECT_EQ(children[3]->name, L"LogFilter");
    EXPECT_EQ(children[3]->value, L"1");

    // An empty size shows the default too; existing elements are set in place.
    WriteDocument(L"<LogFileSize></LogFileSize><LogFilter>2</LogFilter>");
    CLogSettings reread = Loaded();
    EXPECT_EQ(reread.fileSize, L"10");
    reread.fileSize = L"25";
    Save(reread);
    EXPECT_EQ(m_document.GatewayConfig()->GetChild(size_t{0})->value, L"25");
    EXPECT_EQ(Setting(L"LogFilter"), L"2");
}

TEST_F(LogSettingsTest, TheSizeIsKeptAsTypedWithinOneToAHundred)
{
    WriteDocument(L"<LogFileSize>050</LogFileSize>");
    CLogSettings settings = Loaded();
    EXPECT_EQ(settings.fileSize, L"050");
    EXPECT_TRUE(settings.Hints().empty());
    Save(settings);
    EXPECT_EQ(Setting(L"LogFileSize"), L"050");

    for (const wchar_t* inside : {L"1", L"100", L"0100", L"7x"})
    {
        EXPECT_TRUE(CLogSettings::SizeInRange(inside)) << inside;
        EXPECT_EQ(CLogSettings::SizeOnLeave(inside), inside);
    }
    // Out of range: the hint while typing, 10 on leaving and on save.
    for (const wchar_t* outside : {L"0", L"101", L"", L"x7", L"99999999999999999999"})
    {
        EXPECT_FALSE(CLogSettings::SizeInRange(outside)) << outside;
        EXPECT_EQ(CLogSettings::SizeOnLeave(outside), L"10") << outside;
        settings.fileSize = outside;
        EXPECT_EQ(settings.Hints(), (std::vector<CHint>{{"size", 10025}})) << outside;
        Save(settings);
        EXPECT_EQ(Setting(L"LogFileSize"), L"10") << outside;
    }
    const lang::CLanguage english;
    EXPECT_EQ(CLogSettings::RangeHint([&english](int id)
                                      { return english.LookupOrBuiltin(std::to_wstring(id)); }),
              L"Range: 1-100\nDefault Value:10");
    EXPECT_EQ(fields::TypeInto(CLogSettings::SizeField(), L"050"), L"050");
    EXPECT_FALSE(fields::TypeInto(CLogSettings::SizeField(), L"5.0"));
}

TEST_F(LogSettingsTest, LogFilterGivesTheFirstLevelAndUnknownValuesOpenAsError)
{
    const struct
    {
        const wchar_t* filter;
        size_t level;
        const wchar_t* saved;
    } cases[] = {{L"0", 0, L"0"}, {L"3", 3, L"3"},  {L"4", 1, L"1"},
                 {L"", 1, L"1"},  {L"02", 1, L"1"}, {L"-1", 1, L"1"}};
    for (const auto& c : cases)
    {
        WriteDocument(std::wstring(L"<LogFilter>") + c.filter + L"</LogFilter>");
        gLOG_LEVEL = CSystemLog::LOG_DEBUG;
        CLogSettings settings = Loaded();
        EXPECT_EQ(settings.level, c.level) << c.filter;
        // Loading leaves the tool's level alone; the first display sets it.
        EXPECT_EQ(gLOG_LEVEL, CSystemLog::LOG_DEBUG);
        EXPECT_EQ(settings.LevelToShow(), c.level);
        EXPECT_EQ(static_cast<size_t>(gLOG_LEVEL), c.level);
        Save(settings);
        EXPECT_EQ(Setting(L"LogFilter"), c.saved) << c.filter;
    }
}

TEST_F(LogSettingsTest, ChoosingALevelSetsTheToolsLevelAtOnceAndLaterDisplaysKeepIt)
{
    WriteDocument(L"<LogFilter>3</LogFilter>");
    CLogSettings settings = Loaded();
    EXPECT_EQ(settings.LevelToShow(), 3u);
    EXPECT_EQ(gLOG_LEVEL, CSystemLog::LOG_INFO);

    settings.ChooseLevel(2); // Warning
    EXPECT_EQ(gLOG_LEVEL, CSystemLog::LOG_WARNING);
    EXPECT_EQ(Setting(L"LogFilter"), L"3"); // nothing saved yet
    // A change of language fills the list again: the level chosen since stays.
    EXPECT_EQ(settings.LevelToShow(), 2u);
    Save(settings);
    EXPECT_EQ(Setting(L"LogFilter"), L"2");

    // Loading a language file sets the tool's level from the saved LogFilter; the next display
    // keeps the page's level and makes it the tool's level again.
    settings.ChooseLevel(0);
    m_document.SetSetting(L"LogFilter", L"4");
    lang::CLanguage language;
    language.LoadFile(m_dir.File("none.xml"), m_document, m_dir.Path());
    EXPECT_EQ(gLOG_LEVEL, CSystemLog::LOG_DEBUG);
    EXPECT_EQ(settings.LevelToShow(), 0u);
    EXPECT_EQ(gLOG_LEVEL, CSystemLog::LOG_SYSTEM);
    settings.ChooseLevel(4);
    EXPECT_EQ(settings.level, 0u);
    EXPECT_EQ(gLOG_LEVEL, CSystemLog::LOG_SYSTEM);

    // Without a choice the level the document gave stays too, also where the language load
    // reads LogFilter differently ("4" is Error here, the tool's level 4 there).
    CLogSettings unchosen = Loaded();
    EXPECT_EQ(unchosen.LevelToShow(), 1u);
    language.LoadFile(m_dir.File("none.xml"), m_document, m_dir.Path());
    EXPECT_EQ(gLOG_LEVEL, CSystemLog::LOG_DEBUG);
    EXPECT_EQ(unchosen.LevelToShow(), 1u);
    EXPECT_EQ(gLOG_LEVEL, CSystemLog::LOG_ERROR);
}

TEST_F(LogSettingsTest, TheLevelsInTheListsOrder)
{
    const CChoiceTable& levels = CLogSettings::Levels();
    ASSERT_EQ(levels.Size(), 4u);
    const lang::CLanguage english;
    const auto lookup = [&english](int id) { return english.LookupOrBuiltin(std::to_wstring(id)); };
    const std::vector<std::wstring> names = {L"System", L"Error", L"Warning", L"Info"};
    const std::vector<std::wstring> stored = {L"0", L"1", L"2", L"3"};
    for (size_t i = 0; i < levels.Size(); ++i)
    {
        EXPECT_EQ(levels.Label(i, lookup), names[i]);
        EXPECT_EQ(levels.At(i).stored, stored[i]);
    }
    EXPECT_EQ(levels.CliNames(), "system, error, warning or info");
    EXPECT_EQ(levels.FindForCli("WARNING", lookup), 2u);
}
