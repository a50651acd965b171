#include "LanguageFiles.h"
#include "TestSupport.h"
#include "config/GatewayConfigDoc.h"
#include "config/SystemLog.h"
#include "lang/BuiltinTexts.h"
#include "lang/Language.h"
#include "lang/LanguageSection.h"

#include <filesystem>
#include <gtest/gtest.h>

using lang::CLanguage;
using rztest::CTempDir;
using rztest::Section;
using rztest::WriteLanguageFile;

namespace
{

// A tool folder with a language folder, and a loaded document whose Language and LogFilter
// the test chooses.
class LanguageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_dir.File("tool/language"));
        LoadDocument(L"English", L"1");
    }

    void LoadDocument(const std::wstring& language, const std::wstring& logFilter)
    {
        rztest::WriteBytes(m_dir.File("GatewayConfig.XML"),
                           rztest::Utf16(L"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                                         L"<MXRGateways><GatewayConfig><Language>" +
                                         language + L"</Language><LogFilter>" + logFilter +
                                         L"</LogFilter></GatewayConfig></MXRGateways>"));
        m_document.Unload();
        ASSERT_TRUE(m_document.Load(m_dir.File("GatewayConfig.XML")));
    }

    std::string ToolDir() const { return m_dir.File("tool/"); }
    std::string LanguageFile(const std::string& name) const
    {
        return m_dir.File("tool/language/" + name);
    }
    void Load(const std::string& path) { m_language.LoadFile(path, m_document, ToolDir()); }

    CTempDir m_dir;
    CGatewayConfigDoc m_document;
    CLanguage m_language;
};

} // namespace

TEST_F(LanguageTest, AFileWithSomeIdsGivesEmptyTextsForTheOthers)
{
    WriteLanguageFile(LanguageFile("Deutsch.xml"),
                      {{L"Language", {{L"Display", L"Deutsch"}, {L"Language", L"Deutsch"}}},
                       {L"Main", {{L"1", L"Speichern"}, {L"103", L""}, {L"1", L"second"}}}});
    Load(LanguageFile("Deutsch.xml"));
    EXPECT_EQ(m_language.Lookup(L"1"), L"Speichern"); // the first of two wins
    EXPECT_EQ(m_language.Lookup(L"103"), L"");        // an empty text is a text
    EXPECT_EQ(m_language.Lookup(L"2"), L"");          // no fall-back to "Close"
    EXPECT_EQ(m_language.Lookup(L"Display"), L"Deutsch");
    EXPECT_EQ(m_language.Lookup(L"display"), L""); // IDs are case-sensitive
    EXPECT_EQ(m_language.BuiltinMap().at(L"2"), L"Close");
}

TEST_F(LanguageTest, NoUsableEntriesMeansTheBuiltInEnglishTexts)
{
    const auto expectBuiltIn = [this](const char* what)
    {
        EXPECT_EQ(m_language.Table(), m_language.BuiltinMap()) << what;
        EXPECT_EQ(m_language.Lookup(L"10001"), L"Less than  128 charactors!") << what;
    };
    WriteLanguageFile(LanguageFile("Empty.xml"), {{L"Language", {}}, {L"Main", {}}});
    Load(LanguageFile("Empty.xml"));
    expectBuiltIn("no items");

    rztest::WriteBytes(LanguageFile("Short.xml"),
                       rztest::Utf16(L"\uFEFF<?xml version=\"1.0\" encoding=\"unicode\"?>"));
    Load(LanguageFile("Short.xml"));
    expectBuiltIn("82 bytes");

    rztest::WriteBytes(LanguageFile("Broken.xml"),
                       rztest::Utf16(L"\uFEFF<?xml version=\"1.0\" encoding=\"unicode\"?>\r\n"
                                     L"<<Texts><Section Name=\"x\"><Item ID=\"1\" Value=\"y\"/>"));
    Load(LanguageFile("Broken.xml"));
    expectBuiltIn("does not parse");
    EXPECT_FALSE(m_language.LastParse());

    // Items with fewer than two attributes are passed over.
    rztest::WriteBytes(
        LanguageFile("OneAttr.xml"),
        rztest::Utf16(L"\uFEFF<?xml version=\"1.0\" encoding=\"unicode\"?>\r\n"
                      L"<Texts><Section Name=\"x\"><Item ID=\"1\"/></Section></Texts>"));
    Load(LanguageFile("OneAttr.xml"));
    expectBuiltIn("malformed item");

    // All rows of the table load, message rows after label rows, and there is no 10007.
    const auto builtin = lang::LoadBuiltinTable();
    EXPECT_EQ(builtin.size(), 109u);
    EXPECT_EQ(builtin.at(L"10038"), L"You can only add no more than 5 radio servers.");
    EXPECT_EQ(builtin.count(L"10007"), 0u);
    EXPECT_EQ(lang::BuiltinTable()[lang::kBuiltinSlots - 1].id, nullptr);
}

TEST_F(LanguageTest, AMissingFileFallsBackToEnglishXmlInTheToolFolder)
{
    WriteLanguageFile(m_dir.File("tool/english.xml"), {{L"Main", {{L"1", L"Fallback save"}}}});
    Load(LanguageFile("Klingon.xml"));
    EXPECT_EQ(m_language.LoadedPath(), m_dir.File("tool/english.xml"));
    EXPECT_EQ(m_language.Lookup(L"1"), L"Fallback save");

    std::filesystem::remove(m_dir.File("tool/english.xml"));
    Load(LanguageFile("Klingon.xml"));
    EXPECT_EQ(m_language.Lookup(L"1"), L"Save");
}

TEST_F(LanguageTest, FontsAndLogLevelFollowEachLoad)
{
    WriteLanguageFile(LanguageFile("Deutsch.xml"), {{L"Language",
                                                     {{L"Charset", L"238"},
                                                      {L"FontName", L"DejaVu Serif"},
                                                      {L"FontSize", L"-13px"},
                                                      {L"TitleFontSize", L"x17"}}}});
    LoadDocument(L"Deutsch", L"3");
    Load(LanguageFile("Deutsch.xml"));
    EXPECT_EQ(m_language.NormalFont(), (lang::CFontSpec{L"DejaVu Serif", -13, 238}));
    EXPECT_EQ(m_language.TitleFont(), (lang::CFontSpec{L"DejaVu Serif", 0, 238}));
    EXPECT_EQ(gLOG_LEVEL, RUROR::CSystemLog::LOG_INFO);

    LoadDocument(L"Deutsch", L"7");
    WriteLanguageFile(LanguageFile("Plain.xml"), {{L"Main", {{L"1", L"x"}}}});
    Load(LanguageFile("Plain.xml"));
    EXPECT_EQ(m_language.NormalFont(), lang::CFontSpec{});
    EXPECT_EQ(gLOG_LEVEL, RUROR::CSystemLog::LOG_SYSTEM);

    // Nothing happens while no document is loaded.
    m_document.Unload();
    Load(LanguageFile("Deutsch.xml"));
    EXPECT_EQ(m_language.Lookup(L"1"), L"x");
}

TEST_F(LanguageTest, SectionReaderTakesItemsByNameAndTheLastOneWins)
{
    const std::string path = LanguageFile("Deutsch.XML");
    rztest::WriteBytes(
        path, rztest::Utf16(
                  L"\xFFFF<?xml version=\"1.0\"?><Texts>"
                  L"<Section Name=\"Main\"><Item ID=\"Display\" Value=\"wrong\"/></Section>"
                  L"<Section Name=\"LANGUAGE\">"
                  L"<Item Value=\"Deutsch &amp; mehr\" ID=\"Display\"/>"
                  L"<Item Note=\"x\" ID=\"Charset\" Value=\"238\"/>"
                  L"<Item ID=\"Language\" Value=\"Alt\"/><Item ID=\"Language\" Value=\"Deutsch\"/>"
                  L"<Item ID=\"Empty\" Value=\"\"/><Item ID=\"\" Value=\"no id\"/></Section>"
                  L"<Section Name=\"language\"><Item ID=\"Display\" Value=\"second\"/>"
                  L"<Item ID=\"FontName\" Value=\"second\"/></Section></Texts>"));
    const auto section = lang::LoadLanguageSection(path, L"language");
    // Attributes by name, in any order and beside others; references replaced.
    EXPECT_EQ(section.Value(L"Display"), L"Deutsch & mehr");
    EXPECT_EQ(section.Value(L"Charset"), L"238");
    // The last item of an ID wins; empty IDs and values are passed over.
    EXPECT_EQ(section.Value(L"Language"), L"Deutsch");
    EXPECT_EQ(section.items.count(L"Empty"), 0u);
    EXPECT_EQ(section.items.count(L""), 0u);
    // Only the first section of the name is read.
    EXPECT_EQ(section.items.count(L"FontName"), 0u);
    EXPECT_EQ(section.items.size(), 3u);
    EXPECT_TRUE(lang::LoadLanguageSection(path, L"Missing").items.empty());
    EXPECT_TRUE(lang::LoadLanguageSection(m_dir.File("none.xml"), L"Language").items.empty());
}

TEST_F(LanguageTest, TheDocumentsLanguageNamesTheFile)
{
    std::filesystem::rename(m_dir.File("tool/language"), m_dir.File("tool/Language"));
    WriteLanguageFile(m_dir.File("tool/Language/DEUTSCH.XML"), {{L"Main", {{L"1", L"Speichern"}}}});
    LoadDocument(L"Deutsch", L"0");
    const std::string path = lang::LanguageFilePath(ToolDir(), m_document);
    EXPECT_EQ(path, m_dir.File("tool/Language/DEUTSCH.XML"));
    Load(path);
    EXPECT_EQ(m_language.Lookup(L"1"), L"Speichern");
}

TEST_F(LanguageTest, LogFilterSetsTheLevelOnlyForZeroToFour)
{
    WriteLanguageFile(LanguageFile("English.xml"), {{L"Main", {{L"1", L"Save"}}}});
    const struct
    {
        const wchar_t* filter;
        RUROR::CSystemLog::LOG_LEVEL level;
    } cases[] = {{L"4", RUROR::CSystemLog::LOG_DEBUG},   {L"0", RUROR::CSystemLog::LOG_SYSTEM},
                 {L"2", RUROR::CSystemLog::LOG_WARNING}, {L"12", RUROR::CSystemLog::LOG_SYSTEM},
                 {L"5", RUROR::CSystemLog::LOG_SYSTEM},  {L"-1", RUROR::CSystemLog::LOG_SYSTEM}};
    for (const auto& c : cases)
    {
        gLOG_LEVEL = RUROR::CSystemLog::LOG_ERROR;
        LoadDocument(L"English", c.filter);
        Load(LanguageFile("English.xml"));
        EXPECT_EQ(gLOG_LEVEL, c.level) << "LogFilter " << std::wstring(c.filter);
    }
}

TEST_F(LanguageTest, EmptyTextsAreTextsAndOnlyTheBuiltinLookupFallsBack)
{
    // A file whose items all have empty texts still supplies its entries: no English.
    WriteLanguageFile(LanguageFile("Blank.xml"),
                      {{L"Main", {{L"1", L""}, {L"1111", L""}, {L"7777", L""}}}});
    Load(LanguageFile("Blank.xml"));
    EXPECT_EQ(m_language.Table().size(), 3u);
    EXPECT_EQ(m_language.Lookup(L"1"), L"");
    EXPECT_EQ(m_language.Lookup(L"10001"), L"");

    // The built-in lookup gives English for an empty or absent text, and the table's own
    // text where it has one.
    EXPECT_EQ(m_language.LookupOrBuiltin(L"1111"), L"Save");
    EXPECT_EQ(m_language.LookupOrBuiltin(L"1112"), L"Cancel");
    EXPECT_EQ(m_language.LookupOrBuiltin(L"7777"), L"");
    WriteLanguageFile(LanguageFile("Deutsch.xml"), {{L"Main", {{L"1111", L"Speichern"}}}});
    Load(LanguageFile("Deutsch.xml"));
    EXPECT_EQ(m_language.LookupOrBuiltin(L"1111"), L"Speichern");
}
