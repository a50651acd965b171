#include "LanguageFiles.h"
#include "WidgetTestSupport.h"
#include "app/RaviraZazuDlg.h"
#include "config/GatewayConfigDoc.h"
#include "pages/LanguageDlg.h"
#include "platform/Profile.h"
#include "ui/LanguageTexts.h"
#include "ui/WindowMessages.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

using rztest::CMessageBoxAnswerer;

namespace
{

constexpr int kLanguagePage = 3;

// The real main window on the sample document and tool folder, with the Language Settings
// page chosen in the page tree.
class LanguageDlgTest : public rztest::WindowTest
{
protected:
    void Open()
    {
        ASSERT_NO_FATAL_FAILURE(OpenWindow());
        ClickPage(kLanguagePage);
        ASSERT_TRUE(m_window->Page(kLanguagePage)->IsCreated());
    }

    QComboBox* List() const { return Control<QComboBox>(CLanguageDlg::kLanguageList); }
    QStringList Names() const
    {
        QStringList names;
        for (int i = 0; i < List()->count(); ++i)
            names.append(List()->itemText(i));
        return names;
    }
    // Chooses a language with the arrow keys, as a user does.
    void Choose(const QString& display)
    {
        QComboBox* list = List();
        list->setFocus();
        const Qt::Key key =
            list->findText(display) < list->currentIndex() ? Qt::Key_Up : Qt::Key_Down;
        for (int i = 0; i < list->count() && list->currentText() != display; ++i)
            QTest::keyClick(list, key);
        ASSERT_EQ(list->currentText(), display);
    }
    std::wstring DocumentLanguage() const
    {
        const wchar_t* value = CGatewayConfigDoc::Instance().GetSetting(L"Language");
        return value != nullptr ? value : L"(absent)";
    }
    QString TreeLabel(int index) const { return m_window->PageTree()->item(index)->text(); }

    // Every text the window shows: title, tree, labels, buttons and list entries of every page.
    QStringList AllTexts() const
    {
        QStringList texts = {m_window->windowTitle()};
        for (int i = 0; i < m_window->PageTree()->count(); ++i)
            texts.append(TreeLabel(i));
        for (QWidget* widget : m_window->findChildren<QWidget*>())
        {
            if (auto* label = qobject_cast<QLabel*>(widget))
                texts.append(label->text());
            else if (auto* button = qobject_cast<QAbstractButton*>(widget))
                texts.append(button->text());
            else if (auto* list = qobject_cast<QComboBox*>(widget))
                for (int i = 0; i < list->count(); ++i)
                    texts.append(list->itemText(i));
        }
        return texts;
    }
};

} // namespace

TEST_F(LanguageDlgTest, TheListShowsTheFilesByDisplayNameAndSelectsTheCurrentLanguage)
{
    // A third language whose names differ from its file name, and a file without a language
    // name, which is not offered.
    rztest::WriteLanguageFile(
        m_dir.File("tool/language/Espanol.xml"),
        {{L"Language", {{L"Display", L"castellano (Spanish)"}, {L"Language", L"Spanish"}}},
         {L"Main", {{L"103", L"Configuración"}, {L"1011", L"Idioma"}}}});
    rztest::WriteLanguageFile(m_dir.File("tool/language/Klingon.xml"),
                              {{L"Language", {{L"Display", L"tlhIngan Hol"}}}});
    Open();
    EXPECT_EQ(Control<QLabel>(CLanguageDlg::kLanguageLabel)->text(), "Language");
    // Sorted without regard to case.
    EXPECT_EQ(Names(), QStringList({"castellano (Spanish)", "Deutsch (German)", "English"}));
    EXPECT_EQ(List()->currentText(), "English");
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_window->IsPending()); // filling the list chooses nothing
    EXPECT_EQ(DocumentLanguage(), L"English");

    // The document keeps the file's language name: not its display name, not its file name.
    Choose("castellano (Spanish)");
    EXPECT_EQ(DocumentLanguage(), L"Spanish");
    EXPECT_EQ(m_window->windowTitle(), "Configuración");
    EXPECT_EQ(Control<QLabel>(CLanguageDlg::kLanguageLabel)->text(), "Idioma");
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_window->IsPending());

    EXPECT_TRUE(m_window->Page(kLanguagePage)->SaveConfig());
    EXPECT_EQ(DocumentLanguage(), L"Spanish");
    {
        CMessageBoxAnswerer answerer;
        QTest::mouseClick(qobject_cast<QAbstractButton*>(FindControl(m_window.get(), 1)),
                          Qt::LeftButton);
        EXPECT_EQ(answerer.Count(), 1);
    }
    CGatewayConfigDoc reread;
    ASSERT_TRUE(reread.Load(DocumentPath()));
    EXPECT_STREQ(reread.GetSetting(L"Language"), L"Spanish");
}

TEST_F(LanguageDlgTest, WithoutLanguageFilesOrWithoutTheCurrentOneNothingIsSelected)
{
    std::filesystem::remove_all(m_dir.File("tool/language"));
    Open();
    EXPECT_EQ(List()->count(), 0);
    EXPECT_EQ(List()->currentIndex(), -1);
    QTest::keyClick(List(), Qt::Key_Down);
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_window->IsPending());
    EXPECT_EQ(DocumentLanguage(), L"English");
    m_window.reset();

    // A language that no file names exactly ("english" is not "English"): the files are
    // listed, none is selected, and the texts stay those loaded at the start.
    std::filesystem::copy(rztest::SampleToolDir() + "/language", m_dir.File("tool/language"));
    ReplaceInDocument(L"<Language>English</Language>", L"<Language>english</Language>");
    Open();
    EXPECT_EQ(Names(), QStringList({"Deutsch (German)", "English"}));
    EXPECT_EQ(List()->currentIndex(), -1);
    EXPECT_EQ(TreeLabel(0), "Basic Settings");
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_window->IsPending());
    EXPECT_EQ(DocumentLanguage(), L"english");
}

TEST_F(LanguageDlgTest, ASwitchChangesEveryWindowAtOnceAndASwitchBackRestoresIt)
{
    Open();
    for (int page = 0; page < m_window->PageCount(); ++page)
        ClickPage(page); // every page shows its texts
    ClickPage(kLanguagePage);
    PostWindowMessage(m_window.get(), WM_CONFIG_MODIFIED);
    QCoreApplication::processEvents();
    const QStringList english = AllTexts();
    EXPECT_EQ(Control<QLabel>(1008)->text(), "Local IP");

    Choose("Deutsch (German)");
    EXPECT_EQ(DocumentLanguage(), L"Deutsch");
    // Another page, the tree, the title and the page itself, without any further step.
    EXPECT_EQ(Control<QLabel>(1008)->text(), "Lokale IP");
    EXPECT_EQ(Control<QLabel>(1068)->text(), "Dateigröße");
    EXPECT_EQ(Control<QComboBox>(1120)->itemText(2), "Knoten");
    EXPECT_EQ(TreeLabel(0), "Grundeinstellungen");
    EXPECT_EQ(TreeLabel(3), "Spracheinstellungen");
    EXPECT_EQ(TreeLabel(4), "Sonstiges");
    EXPECT_EQ(m_window->windowTitle(), "Gateway-Konfiguration");
    EXPECT_EQ(Control<QLabel>(CLanguageDlg::kLanguageLabel)->text(), "Sprache");
    EXPECT_EQ(m_window->StartButton()->text(), "Speichern && Neustart");
    EXPECT_EQ(m_window->PageTree()->font().family(), "DejaVu Serif");
    // A second copy still finds the window by its title.
    EXPECT_EQ(rz::GetProfileString(L"MXR_GatewayRaviraZazu", L"Title", L""),
              L"Gateway-Konfiguration");

    // The close question in German, with the toolkit's own buttons in German too.
    {
        CMessageBoxAnswerer answerer(QMessageBox::No);
        QTest::mouseClick(qobject_cast<QAbstractButton*>(FindControl(m_window.get(), 2)),
                          Qt::LeftButton);
        ASSERT_EQ(answerer.Count(), 1);
        EXPECT_EQ(answerer.Texts()[0],
                  "Es gibt ungespeicherte Änderungen. Ohne Speichern schließen?");
        const QStringList buttons = answerer.ButtonTexts()[0];
        EXPECT_TRUE(buttons.contains("Ja")) << buttons.join(", ").toStdString();
        EXPECT_TRUE(buttons.contains("Nein")) << buttons.join(", ").toStdString();
        EXPECT_FALSE(buttons.contains("Yes"));
        EXPECT_FALSE(buttons.contains("No"));
    }
    EXPECT_TRUE(m_window->isVisible());

    Choose("English");
    EXPECT_EQ(DocumentLanguage(), L"English");
    EXPECT_EQ(AllTexts(), english);
    EXPECT_EQ(rz::GetProfileString(L"MXR_GatewayRaviraZazu", L"Title", L""),
              L"Gateway Config Tool");
    {
        CMessageBoxAnswerer answerer(QMessageBox::No);
        QTest::mouseClick(qobject_cast<QAbstractButton*>(FindControl(m_window.get(), 2)),
                          Qt::LeftButton);
        ASSERT_EQ(answerer.Count(), 1);
        EXPECT_TRUE(answerer.ButtonTexts()[0].contains("Yes"));
        EXPECT_TRUE(answerer.ButtonTexts()[0].contains("No"));
    }
}
