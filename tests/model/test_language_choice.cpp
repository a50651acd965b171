#include "LanguageFiles.h"
#include "TestSupport.h"
#include "config/GatewayConfigDoc.h"
#include "model/LanguageChoice.h"

#include <filesystem>
#include <gtest/gtest.h>

using RUROR::XNode;
using rztest::CTempDir;
using rztest::WriteLanguageFile;

namespace
{

class LanguageChoiceTest : public ::testing::Test
{
protected:
    void WriteDocument(const std::wstring& language)
    {
        rztest::WriteBytes(
            m_dir.File("GatewayConfig.XML"),
            rztest::Utf16Document(L"<MXRGateways><GatewayConfig><Language>" + language +
                                  L"</Language><LogFilter>2</LogFilter></GatewayConfig>"
                                  L"</MXRGateways>"));
        m_document.Unload();
        ASSERT_TRUE(m_document.Load(m_dir.File("GatewayConfig.XML")));
    }
    // A language file with its two settings, in the folder "folder" of the tool's folder.
    void WriteFile(const std::string& folder, const std::string& name, const std::wstring& display,
                   const std::wstring& language)
    {
        std::filesystem::create_directories(m_dir.File("tool/" + folder));
        std::vector<std::pair<std::wstring, std::wstring>> settings;
        if (!display.empty())
            settings.emplace_back(L"Display", display);
        if (!language.empty())
            settings.emplace_back(L"Language", language);
        WriteLanguageFile(m_dir.File("tool/" + folder + "/" + name),
                          {{L"Language", settings}, {L"Main", {{L"1", L"Save"}}}});
    }
    CLanguageChoice Loaded()
    {
        CLanguageChoice choice;
        choice.Load(m_document, {m_dir.File("tool")});
        return choice;
    }
    void Save(const CLanguageChoice& choice)
    {
        CFileChanges changes;
        choice.Save(m_document, {m_dir.File("tool")}, changes);
        EXPECT_TRUE(changes.Empty());
    }

    CTempDir m_dir;
    CGatewayConfigDoc m_document;
};

} // namespace

TEST_F(LanguageChoiceTest, WithoutLanguageFilesNothingCanBeChosen)
{
    WriteDocument(L"English");
    std::filesystem::create_directories(m_dir.File("tool"));
    CLanguageChoice choice = Loaded();
    EXPECT_TRUE(choice.Files().empty());
    EXPECT_TRUE(choice.ListNames().empty());
    EXPECT_FALSE(choice.SelectedIndex());
    EXPECT_FALSE(choice.Choose(L"English"));
    const XNode before = m_document.Root();
    Save(choice);
    EXPECT_EQ(m_document.Root(), before);

    // A folder of files that lack a setting, or are not XML, lists nothing either.
    WriteFile("language", "Nameless.xml", L"Nameless", L"");
    WriteFile("language", "Unnamed.xml", L"", L"Unnamed");
    WriteFile("language", "English.txt", L"English", L"English");
    std::filesystem::create_directories(m_dir.File("tool/language/Folder.xml"));
    EXPECT_TRUE(Loaded().Files().empty());
}

TEST_F(LanguageChoiceTest, TheStoredValueIsTheLanguageNameNotTheDisplayName)
{
    // Folder and extension in any case; the list is sorted without regard to case.
    WriteFile("LANGUAGE", "German.Xml", L"deutsch (German)", L"Deutsch");
    WriteFile("LANGUAGE", "English.XML", L"English", L"English");
    WriteDocument(L"English");
    CLanguageChoice choice = Loaded();
    ASSERT_EQ(choice.Files().size(), 2u);
    EXPECT_EQ(choice.Files()[0].path, m_dir.File("tool/LANGUAGE/English.XML"));
    EXPECT_EQ(choice.ListNames(), (std::vector<std::wstring>{L"deutsch (German)", L"English"}));
    EXPECT_EQ(choice.SelectedIndex(), 1u);
    EXPECT_EQ(choice.CurrentLanguage(), L"English");
    EXPECT_EQ(choice.PathOf(L"deutsch (German)"), m_dir.File("tool/LANGUAGE/German.Xml"));

    // Nothing is written before a choice; then only the Language element changes.
    XNode expected = m_document.Root();
    Save(choice);
    EXPECT_EQ(m_document.Root(), expected);
    EXPECT_FALSE(choice.Choose(L"Deutsch")); // a language name is no display name
    ASSERT_TRUE(choice.Choose(L"deutsch (German)"));
    EXPECT_EQ(choice.Chosen(), L"Deutsch");
    Save(choice);
    EXPECT_STREQ(m_document.GetSetting(L"Language"), L"Deutsch");
    expected.GetChild(L"GatewayConfig")->GetChild(L"Language")->value = L"Deutsch";
    EXPECT_EQ(m_document.Root(), expected);

    // The new language selects its entry when the page opens again; a load forgets the choice.
    EXPECT_EQ(Loaded().SelectedIndex(), 0u);
    choice.Load(m_document, {m_dir.File("tool")});
    EXPECT_FALSE(choice.Chosen());
}

TEST_F(LanguageChoiceTest, TheCurrentLanguageSelectsByItsExactName)
{
    WriteFile("language", "a.xml", L"Deutsch", L"Deutsch");
    WriteFile("language", "b.xml", L"German", L"Deutsch");
    WriteFile("language", "c.xml", L"english", L"Klingon");
    WriteFile("language", "d.xml", L"English", L"English");
    WriteDocument(L"Deutsch");
    // Two display names of the current language: the last one walked (by display name) wins.
    CLanguageChoice choice = Loaded();
    const auto names = choice.ListNames();
    ASSERT_EQ(names.size(), 4u);
    ASSERT_EQ(choice.SelectedIndex(), 3u);
    EXPECT_EQ(names[3], L"German");

    // The entry is found by the display name's beginning without regard to case: "english"
    // comes first in the list and is the one selected for English.
    WriteDocument(L"English");
    choice = Loaded();
    ASSERT_EQ(choice.SelectedIndex(), 1u);
    EXPECT_EQ(choice.ListNames()[1], L"english");

    // The language name must match exactly; no file naming it leaves no selection.
    WriteDocument(L"deutsch");
    EXPECT_FALSE(Loaded().SelectedIndex());
    WriteDocument(L"Esperanto");
    EXPECT_FALSE(Loaded().SelectedIndex());
    // A document that is not loaded has no Language element: English.
    CGatewayConfigDoc none;
    CLanguageChoice fallback;
    fallback.Load(none, {m_dir.File("tool")});
    EXPECT_EQ(fallback.CurrentLanguage(), L"English");
    EXPECT_EQ(fallback.SelectedIndex(), 1u);
    CFileChanges changes;
    fallback.Save(none, {m_dir.File("tool")}, changes);
    EXPECT_EQ(none.Root(), XNode());
}

TEST_F(LanguageChoiceTest, ALaterFileWithTheSameDisplayNameTakesItOver)
{
    WriteFile("language", "a.xml", L"Deutsch", L"Alt");
    WriteFile("language", "b.xml", L"Deutsch", L"Deutsch");
    WriteDocument(L"Alt");
    CLanguageChoice choice = Loaded();
    EXPECT_EQ(choice.ListNames(), (std::vector<std::wstring>{L"Deutsch", L"Deutsch"}));
    EXPECT_EQ(choice.PathOf(L"Deutsch"), m_dir.File("tool/language/b.xml"));
    EXPECT_EQ(choice.LanguageOf(L"Deutsch"), L"Deutsch");
    // The earlier file's language is in no map: nothing is selected for it.
    EXPECT_FALSE(choice.SelectedIndex());
    ASSERT_TRUE(choice.Choose(L"Deutsch"));
    EXPECT_EQ(choice.Chosen(), L"Deutsch");
    // Nor can the command line choose it.
    EXPECT_FALSE(choice.FindForCli(L"Alt"));
    EXPECT_EQ(choice.FindForCli(L"deutsch"), L"Deutsch");
}

TEST_F(LanguageChoiceTest, TheCommandLineNamesALanguageByEitherName)
{
    WriteFile("language", "a.xml", L"english", L"English2");
    WriteFile("language", "b.xml", L"Other", L"english");
    WriteDocument(L"English");
    const CLanguageChoice choice = Loaded();
    // The exact language name first, then either name without regard to case.
    EXPECT_EQ(choice.FindForCli(L"english"), L"Other");
    EXPECT_EQ(choice.FindForCli(L"ENGLISH2"), L"english");
    EXPECT_EQ(choice.FindForCli(L"oTHER"), L"Other");
    EXPECT_EQ(choice.FindForCli(L"ENGLISH"), L"english");
    EXPECT_FALSE(choice.FindForCli(L"Klingon"));
    EXPECT_FALSE(choice.FindForCli(L""));
}
