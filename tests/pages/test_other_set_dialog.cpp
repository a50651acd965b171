#include "WidgetTestSupport.h"
#include "app/RaviraZazuDlg.h"
#include "config/GatewayConfigDoc.h"
#include "config/SystemLog.h"
#include "pages/LanguageDlg.h"
#include "pages/OtherSetDialog.h"
#include "ui/LanguageTexts.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using RUROR::CSystemLog;
using rztest::CMessageBoxAnswerer;

namespace
{

constexpr int kOthersPage = 4;
constexpr int kLanguagePage = 3;

// The real main window on the sample document, changed where a test needs it, with the Others
// page chosen in the page tree.
class OtherSetDialogTest : public rztest::WindowTest
{
protected:
    void SetUp() override { m_savedLevel = gLOG_LEVEL; }
    void TearDown() override
    {
        m_window.reset();
        gLOG_LEVEL = m_savedLevel;
    }

    void Open()
    {
        ASSERT_NO_FATAL_FAILURE(OpenWindow());
        ClickPage(kOthersPage);
        m_page = static_cast<COtherSetDialog*>(m_window->Page(kOthersPage));
        ASSERT_TRUE(m_page->IsCreated());
    }

    QLineEdit* SizeField() const { return Control<QLineEdit>(COtherSetDialog::kFileSizeEdit); }
    QComboBox* Levels() const { return Control<QComboBox>(COtherSetDialog::kLogLevelList); }
    QStringList LevelNames() const
    {
        QStringList names;
        for (int i = 0; i < Levels()->count(); ++i)
            names.append(Levels()->itemText(i));
        return names;
    }
    void TypeSize(const QString& keys)
    {
        SizeField()->setFocus();
        QTest::keyClicks(SizeField(), keys);
    }
    void ClearSize()
    {
        SizeField()->setFocus();
        SizeField()->selectAll();
        QTest::keyClick(SizeField(), Qt::Key_Backspace);
    }
    // Moves the list's choice with the arrow keys, as a user does, until it shows text.
    static void ChooseByKeys(QComboBox* list, const QString& text)
    {
        list->setFocus();
        const Qt::Key key = list->findText(text) < list->currentIndex() ? Qt::Key_Up : Qt::Key_Down;
        for (int i = 0; i < list->count() && list->currentText() != text; ++i)
            QTest::keyClick(list, key);
        ASSERT_EQ(list->currentText(), text);
    }
    // Apply, answered; the document as written to its file.
    std::unique_ptr<CGatewayConfigDoc> ApplyAndReread()
    {
        CMessageBoxAnswerer answerer;
        QTest::mouseClick(Control<QPushButton>(1), Qt::LeftButton);
        EXPECT_EQ(answerer.Count(), 1);
        auto reread = std::make_unique<CGatewayConfigDoc>();
        EXPECT_TRUE(reread->Load(DocumentPath()));
        return reread;
    }
    static std::wstring Setting(const CGatewayConfigDoc& document, const wchar_t* name)
    {
        const wchar_t* value = document.GetSetting(name);
        return value != nullptr ? value : L"(absent)";
    }

    COtherSetDialog* m_page = nullptr;
    CSystemLog::LOG_LEVEL m_savedLevel = CSystemLog::LOG_SYSTEM;
};

} // namespace

TEST_F(OtherSetDialogTest, AnAbsentSizeShowsTenAndApplyCreatesIt)
{
    ReplaceInDocument(L"<LogFileSize>10</LogFileSize>", L"");
    Open();
    EXPECT_EQ(SizeField()->text(), "10");
    EXPECT_EQ(Control<QLabel>(COtherSetDialog::kFileSizeLabel)->text(), "File Size");
    EXPECT_EQ(Control<QLabel>(COtherSetDialog::kFileSizeUnit)->text(), "M");
    EXPECT_EQ(Control<QLabel>(COtherSetDialog::kLogLevelLabel)->text(), "Log Type");
    EXPECT_EQ(LevelNames(), QStringList({"System", "Error", "Warning", "Info"}));
    EXPECT_EQ(Levels()->currentText(), "Error");
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_window->IsPending()); // opening the page changes nothing

    const auto saved = ApplyAndReread();
    // Appended at the end of GatewayConfig, which had no such element.
    const auto children = saved->GatewayConfig()->GetChilds();
    ASSERT_FALSE(children.empty());
    EXPECT_EQ(children.back()->name, L"LogFileSize");
    EXPECT_EQ(children.back()->value, L"10");
    EXPECT_EQ(Setting(*saved, L"LogFilter"), L"1");
}

TEST_F(OtherSetDialogTest, ASizeOutOfRangeIsTippedWhileTypedAndBecomesTenOnLeavingAndOnSave)
{
    Open();
    const QString tip = "Range: 1-100\nDefault Value:10";

    ClearSize();
    TypeSize("0");
    EXPECT_EQ(SizeField()->text(), "0");
    EXPECT_EQ(m_page->Balloon(), tip);
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_window->IsPending()); // every typed key is a change

    // Leaving the field puts the default in, and the tip goes with its cause.
    Levels()->setFocus();
    EXPECT_EQ(SizeField()->text(), "10");
    EXPECT_EQ(m_page->Balloon(), "");

    // The tip lasts as long as the size is out of range, and no longer.
    TypeSize("1");
    EXPECT_EQ(SizeField()->text(), "101");
    EXPECT_EQ(m_page->Balloon(), tip);
    QTest::keyClick(SizeField(), Qt::Key_Backspace);
    EXPECT_EQ(SizeField()->text(), "10");
    EXPECT_EQ(m_page->Balloon(), "");
    ClearSize();
    EXPECT_EQ(m_page->Balloon(), tip); // nothing reads as 0
    TypeSize("7");
    EXPECT_EQ(m_page->Balloon(), "");
    TypeSize(".x5"); // no decimal point, no letters
    EXPECT_EQ(SizeField()->text(), "75");
    EXPECT_EQ(m_page->Balloon(), "");

    // Out of range when saved: the field and the document take 10.
    TypeSize("00");
    EXPECT_EQ(m_page->Balloon(), tip);
    {
        CMessageBoxAnswerer answerer;
        QTest::keyClick(SizeField(), Qt::Key_Return); // the default button, Save
        EXPECT_EQ(answerer.Count(), 1);
    }
    EXPECT_EQ(SizeField()->text(), "10");
    CGatewayConfigDoc reread;
    ASSERT_TRUE(reread.Load(DocumentPath()));
    EXPECT_EQ(Setting(reread, L"LogFileSize"), L"10");

    // A size typed with a leading zero is in range and stored as typed.
    ClearSize();
    TypeSize("050");
    EXPECT_EQ(m_page->Balloon(), "");
    Levels()->setFocus();
    EXPECT_EQ(SizeField()->text(), "050");
    EXPECT_EQ(Setting(*ApplyAndReread(), L"LogFileSize"), L"050");
}

TEST_F(OtherSetDialogTest, AnUnknownLogFilterOpensAsErrorAndAChosenLevelTakesEffectAtOnce)
{
    ReplaceInDocument(L"<LogFilter>1</LogFilter>", L"<LogFilter>4</LogFilter>");
    // A size out of range in the document is shown as it is, and saved as 10.
    ReplaceInDocument(L"<LogFileSize>10</LogFileSize>", L"<LogFileSize>500</LogFileSize>");
    Open();
    EXPECT_EQ(SizeField()->text(), "500");
    EXPECT_EQ(Levels()->currentText(), "Error");
    EXPECT_EQ(gLOG_LEVEL, CSystemLog::LOG_ERROR);
    const auto first = ApplyAndReread();
    EXPECT_EQ(Setting(*first, L"LogFilter"), L"1");
    EXPECT_EQ(Setting(*first, L"LogFileSize"), L"10");
    EXPECT_EQ(SizeField()->text(), "10");

    ChooseByKeys(Levels(), "Warning");
    // The tool's own log level changes before anything is saved.
    EXPECT_EQ(gLOG_LEVEL, CSystemLog::LOG_WARNING);
    EXPECT_EQ(Setting(CGatewayConfigDoc::Instance(), L"LogFilter"), L"1");
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_window->IsPending());
    EXPECT_EQ(Setting(*ApplyAndReread(), L"LogFilter"), L"2");

    ChooseByKeys(Levels(), "System");
    EXPECT_EQ(gLOG_LEVEL, CSystemLog::LOG_SYSTEM);
    ChooseByKeys(Levels(), "Info");
    EXPECT_EQ(gLOG_LEVEL, CSystemLog::LOG_INFO);
    EXPECT_EQ(Setting(*ApplyAndReread(), L"LogFilter"), L"3");
}

TEST_F(OtherSetDialogTest, ALanguageChangeRenamesTheLevelsAndKeepsTheLevelShown)
{
    // Loading a language file reads LogFilter anew; "4" would be another level there.
    ReplaceInDocument(L"<LogFilter>1</LogFilter>", L"<LogFilter>4</LogFilter>");
    Open();
    ClearSize();
    TypeSize("55");

    ClickPage(kLanguagePage);
    ChooseByKeys(Control<QComboBox>(CLanguageDlg::kLanguageList), "Deutsch (German)");
    ClickPage(kOthersPage);
    EXPECT_EQ(LevelNames(), QStringList({"System", "Fehler", "Warnung", "Info"}));
    EXPECT_EQ(Levels()->currentText(), "Fehler");
    EXPECT_EQ(gLOG_LEVEL, CSystemLog::LOG_ERROR);
    EXPECT_EQ(Control<QLabel>(COtherSetDialog::kFileSizeLabel)->text(), "Dateigröße");
    EXPECT_EQ(SizeField()->text(), "55"); // what was typed stays
    EXPECT_EQ(SizeField()->font(), LanguageFont());
    EXPECT_EQ(Levels()->font().family(), "DejaVu Serif");

    ChooseByKeys(Levels(), "Warnung");
    ClickPage(kLanguagePage);
    ChooseByKeys(Control<QComboBox>(CLanguageDlg::kLanguageList), "English");
    EXPECT_EQ(LevelNames(), QStringList({"System", "Error", "Warning", "Info"}));
    EXPECT_EQ(Levels()->currentText(), "Warning");
    EXPECT_EQ(gLOG_LEVEL, CSystemLog::LOG_WARNING);

    // Out of range, the tip is in the language of the moment.
    ChooseByKeys(Control<QComboBox>(CLanguageDlg::kLanguageList), "Deutsch (German)");
    ClickPage(kOthersPage);
    TypeSize("0");
    EXPECT_EQ(m_page->Balloon(), "Bereich: 1-100\nStandardwert:10");

    const auto saved = ApplyAndReread();
    EXPECT_EQ(Setting(*saved, L"LogFilter"), L"2");
    EXPECT_EQ(Setting(*saved, L"LogFileSize"), L"10");
}
