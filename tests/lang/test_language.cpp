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
                           rztest::Utf16Document(L"<MXRGateways><GatewayConfig><Language>" +
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

TEST(BuiltinTexts, AreTheGatewaysEnglishTextsInTheirOrder)
{
    // The label rows, then the message rows, as the gateway's tools word them (double spaces
    // and spelling included).
    const std::vector<std::pair<std::wstring, std::wstring>> expected = {
        {L"1", L"Save"},
        {L"2", L"Close"},
        {L"3", L"Start"},
        {L"4", L"Stop"},
        {L"102", L"Configuration Tool"},
        {L"103", L"Gateway Config Tool"},
        {L"104", L"Server Config Tool"},
        {L"129", L"Basic Settings"},
        {L"130", L"Database Settings"},
        {L"131", L"Geofencing Alarm Settings"},
        {L"132", L"Sip Settings"},
        {L"133", L"Others"},
        {L"150", L"Language Settings"},
        {L"153", L"Dispatch Station Settings"},
        {L"187", L"Basic Settings"},
        {L"1006", L"Server IP"},
        {L"1007", L"Server Port"},
        {L"1008", L"Local IP"},
        {L"1009", L"Local Port"},
        {L"1010", L"Local VOIP Port"},
        {L"1011", L"Language"},
        {L"1014", L"Buffer Time"},
        {L"1015", L"Message for Alarm"},
        {L"1016", L"Message for Alarm Canceling"},
        {L"1026", L"Connection Test"},
        {L"1027", L"Database Import"},
        {L"1029", L"Database Alias"},
        {L"1030", L"Database Account"},
        {L"1031", L"Password"},
        {L"1032", L"Equipped with Connect"},
        {L"1033", L"Active SIP"},
        {L"1034", L"Server Connection Check"},
        {L"1035", L"Call Test"},
        {L"1036", L"SIP Equipped IP"},
        {L"1037", L"SIP Local Port"},
        {L"1038", L"Message Prefix"},
        {L"1039", L"SIP ID"},
        {L"1040", L"SIP Password"},
        {L"1041", L"SIP Domain"},
        {L"1046", L"Edit"},
        {L"1047", L"Add"},
        {L"1049", L"Del"},
        {L"1050", L"Connection Test"},
        {L"1053", L"Virtual IP"},
        {L"1054", L"Alias"},
        {L"1055", L"ID"},
        {L"1059", L"Activate Microphone"},
        {L"1060", L"GPS Dispatch Station"},
        {L"1061", L"Speaker"},
        {L"1062", L"Microphone"},
        {L"1063", L"Database Server"},
        {L"1064", L"Buffer Distance"},
        {L"1065", L"Buffer Time"},
        {L"1068", L"File Size"},
        {L"1069", L"Log Type"},
        {L"1071", L"VOIP Port"},
        {L"1072", L"Command Port"},
        {L"1076", L"Subnet ID"},
        {L"1084", L"Server List:"},
        {L"1086", L"Add"},
        {L"1087", L"Del"},
        {L"1088", L"Edit"},
        {L"1091", L"Record File Path"},
        {L"1110", L"PseudoID"},
        {L"1111", L"Save"},
        {L"1112", L"Cancel"},
        {L"1113", L"M"},
        {L"1114", L"M"},
        {L"1115", L"S"},
        {L"1116", L"Use SIP"},
        {L"1117", L"Audio Codecs"},
        {L"1119", L"Audio Codecs"},
        {L"10001", L"Less than  128 charactors!"},
        {L"10002", L"Less than  1000"},
        {L"10003", L"Range: 1-1800"},
        {L"10004", L"The IP already exists"},
        {L"10005", L"Less than 128 characters"},
        {L"10006", L"Please change the IP"},
        {L"10008", L"Range: 1-65535"},
        {L"10009", L"The profile cannot be found"},
        {L"10010", L"Failed to read the profile"},
        {L"10011", L"Connected  Successful"},
        {L"10012", L"Failed to connect"},
        {L"10013", L"The IP is required"},
        {L"10014", L"The database is required"},
        {L"10015", L"The account is required"},
        {L"10016", L"The password is required"},
        {L"10017", L"Failed to save the buffer file"},
        {L"10018", L"Overwrite?"},
        {L"10019", L"Failed to create the buffer file"},
        {L"10020", L"Database imported successfully"},
        {L"10021", L"Failed to import the database"},
        {L"10022", L"The value is required"},
        {L"10023", L"Failed to open the port"},
        {L"10024", L"Connected successfully"},
        {L"10025", L"Range: 1-100"},
        {L"10026", L"Failed to read the profile"},
        {L"10027", L"Should be even numbers!"},
        {L"10028", L"Address already in use!"},
        {L"10029", L"Save Successful!"},
        {L"10030", L"Failed to save!"},
        {L"10031", L"Default Value:"},
        {L"10032", L"Failed to find the station!"},
        {L"10033", L"Error"},
        {L"10034", L"Info"},
        {L"10035", L"System"},
        {L"10036", L"Warning"},
        {L"10037", L"Please select a directory!"},
        {L"10038", L"You can only add no more than 5 radio servers."}};
    std::vector<std::pair<std::wstring, std::wstring>> table;
    for (size_t slot = 0; slot < lang::kBuiltinSlots && lang::BuiltinTable()[slot].id != nullptr;
         ++slot)
        table.emplace_back(lang::BuiltinTable()[slot].id, lang::BuiltinTable()[slot].text);
    EXPECT_EQ(table, expected);
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
    EXPECT_EQ(m_language.NormalFont(), (lang::CFontChoice{L"DejaVu Serif", -13, 238}));
    EXPECT_EQ(m_language.TitleFont(), (lang::CFontChoice{L"DejaVu Serif", 0, 238}));
    EXPECT_EQ(gLOG_LEVEL, RUROR::CSystemLog::LOG_INFO);

    // A size too big for a number is the biggest one.
    WriteLanguageFile(LanguageFile("Big.xml"), {{L"Language", {{L"FontSize", L"99999999999"}}}});
    Load(LanguageFile("Big.xml"));
    EXPECT_EQ(m_language.NormalFont().height, 2147483647);

    LoadDocument(L"Deutsch", L"7");
    WriteLanguageFile(LanguageFile("Plain.xml"), {{L"Main", {{L"1", L"x"}}}});
    Load(LanguageFile("Plain.xml"));
    EXPECT_EQ(m_language.NormalFont(), lang::CFontChoice{});
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
    // Blanks around a value are kept; a file without a declaration is read from its root.
    const std::string bare = LanguageFile("Bare.xml");
    rztest::WriteBytes(bare, rztest::Utf16(L"\uFEFF<Texts><Section Name=\"Language\">"
                                           L"<Item ID=\"FontName\" Value=\" DejaVu Sans \"/>"
                                           L"</Section></Texts>"));
    EXPECT_EQ(lang::LoadLanguageSection(bare, L"Language").Value(L"FontName"), L" DejaVu Sans ");
    EXPECT_TRUE(lang::LoadLanguageSection(m_dir.File("none.xml"), L"Language").items.empty());
}

TEST_F(LanguageTest, ApplyingALanguagePushesOutTheLog)
{
    // What was logged under the previous settings reaches its file before the new ones apply.
    class CFlushCounter : public RUROR::ILogOutStream
    {
    public:
        void Write(std::wstring_view, std::wstring_view) override {}
        void Flush() override { ++flushes; }
        int flushes = 0;
    };
    auto* stream = new CFlushCounter;
    RUROR::CSystemLog::GetInstance()->AddOutStream(stream);
    WriteLanguageFile(LanguageFile("English.xml"), {{L"Main", {{L"1", L"Save"}}}});
    Load(LanguageFile("English.xml"));
    Load(LanguageFile("English.xml"));
    RUROR::CSystemLog::GetInstance()->RemoveOutStream(stream);
    EXPECT_EQ(stream->flushes, 2);
    stream->release();
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
