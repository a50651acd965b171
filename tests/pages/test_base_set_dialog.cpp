#include "WidgetTestSupport.h"
#include "app/RaviraZazuDlg.h"
#include "config/GatewayConfigDoc.h"
#include "controls/IPEdit.h"
#include "controls/PortEdit.h"
#include "lang/Language.h"
#include "pages/BaseSetDialog.h"
#include "pages/DlgPageFrame.h"
#include "ui/LanguageTexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

using rztest::CMessageBoxAnswerer;

namespace
{

// The real main window on the sample, with its Basic Settings page open.
class BaseSetDialogTest : public rztest::WindowTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenWindow());
        auto* frame = static_cast<CDlgPageFrame*>(m_window->Page(0));
        m_page = static_cast<CBaseSetDialog*>(frame->HostedPage());
        ASSERT_TRUE(m_page->IsCreated());
    }

    QPushButton* Button(int id) const { return Control<QPushButton>(id); }
    QTableWidget* List() const { return Control<QTableWidget>(CBaseSetDialog::kServerList); }

    // The enabled state of Add, Remove and Change.
    std::string ListButtons() const
    {
        std::string state;
        for (int id : {CBaseSetDialog::kAddButton, CBaseSetDialog::kRemoveButton,
                       CBaseSetDialog::kChangeButton})
            state += Button(id)->isEnabled() ? '1' : '0';
        return state;
    }
    QString Cell(int row, int column) const
    {
        const QTableWidgetItem* item = List()->item(row, column);
        return item != nullptr ? item->text() : QString("<none>");
    }
    void ClickRow(int row) { rztest::ClickRow(List(), row); }
    void Type(int fieldId, const QString& text)
    {
        rztest::TypeInto(Control<QLineEdit>(fieldId), text);
    }

    CBaseSetDialog* m_page = nullptr;
};

} // namespace

TEST_F(BaseSetDialogTest, FieldsShowTheSampleDocument)
{
    // Filling the fields and lists is no change of the user's.
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_window->IsPending());
    EXPECT_EQ(Control<QLineEdit>(CBaseSetDialog::kLocalIpEdit)->text(), "192.168.10.20");
    EXPECT_EQ(Control<QLineEdit>(CBaseSetDialog::kLocalPortEdit)->text(), "3003");
    EXPECT_EQ(Control<QLineEdit>(CBaseSetDialog::kVoipPortEdit)->text(), "19000");
    EXPECT_TRUE(Control<QCheckBox>(CBaseSetDialog::kGpsTrackingCheck)->isChecked());
    EXPECT_FALSE(Control<QCheckBox>(CBaseSetDialog::kRrsDisabledCheck)->isChecked());
    auto* codec = Control<QComboBox>(CBaseSetDialog::kCodecList);
    EXPECT_EQ(codec->currentText(), "G.711a");
    EXPECT_FALSE(codec->isVisible());
    EXPECT_FALSE(codec->isEnabled());
    auto* units = Control<QComboBox>(CBaseSetDialog::kSpeedUnitList);
    EXPECT_EQ(units->count(), 3);
    EXPECT_EQ(units->itemText(2), "knots");
    EXPECT_EQ(List()->rowCount(), 6);
    EXPECT_EQ(Cell(0, 0), "192.168.10.2");
    EXPECT_EQ(Cell(1, 0), "");
    EXPECT_EQ(List()->horizontalHeaderItem(0)->text(), "IP");
    EXPECT_EQ(List()->columnWidth(0), 136);
    EXPECT_EQ(List()->columnWidth(1), 120);
    EXPECT_EQ(Control<QLabel>(1084)->text(), "Server List:");
    EXPECT_EQ(ListButtons(), "100");

    // Another language names the speed units anew; the chosen one stays chosen.
    units->setCurrentIndex(2);
    lang::CLanguage::Instance().LoadFile(m_dir.File("tool/language/Deutsch.xml"),
                                         CGatewayConfigDoc::Instance(), ToolDir());
    ReapplyLanguageTexts();
    EXPECT_EQ(units->itemText(2), "Knoten");
    EXPECT_EQ(units->currentIndex(), 2);
    EXPECT_EQ(Control<QLabel>(1084)->text(), "Serverliste:");
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_window->IsPending());
}

TEST_F(BaseSetDialogTest, AddChangeRemoveAndCancelWalkTheEntryEditMode)
{
    // Add: the entry opens, the list and the page tree are off, the main buttons hidden.
    QTest::mouseClick(Button(CBaseSetDialog::kAddButton), Qt::LeftButton);
    EXPECT_TRUE(m_page->IsEditingEntry());
    EXPECT_EQ(ListButtons(), "000");
    EXPECT_FALSE(List()->isEnabled());
    EXPECT_FALSE(m_window->PageTree()->isEnabled());
    EXPECT_FALSE(MainButtonsShown());
    EXPECT_TRUE(Button(CBaseSetDialog::kEntrySaveButton)->isVisible());

    // An empty port: Save does nothing and the entry stays open.
    Type(CBaseSetDialog::kServerIpEdit, "10.0.0.5");
    QTest::mouseClick(Button(CBaseSetDialog::kEntrySaveButton), Qt::LeftButton);
    EXPECT_TRUE(m_page->IsEditingEntry());
    EXPECT_FALSE(m_window->IsPending());

    Type(CBaseSetDialog::kServerPortEdit, "4005");
    QTest::mouseClick(Button(CBaseSetDialog::kEntrySaveButton), Qt::LeftButton);
    EXPECT_FALSE(m_page->IsEditingEntry());
    EXPECT_EQ(Cell(1, 0), "10.0.0.5");
    EXPECT_EQ(Cell(1, 1), "4005");
    EXPECT_EQ(List()->rowCount(), 6); // a padding row gave way
    EXPECT_EQ(ListButtons(), "100");
    EXPECT_TRUE(List()->isEnabled());
    EXPECT_TRUE(m_window->PageTree()->isEnabled());
    EXPECT_TRUE(MainButtonsShown());
    QCoreApplication::processEvents(); // the notification is posted, not sent
    EXPECT_TRUE(m_window->IsPending());

    // The next Add starts empty, whatever the fields showed; a click on the page's background
    // leaves the entry open; Cancel of a new entry gives Add back.
    QTest::mouseClick(Button(CBaseSetDialog::kAddButton), Qt::LeftButton);
    EXPECT_EQ(Control<QLineEdit>(CBaseSetDialog::kServerIpEdit)->text(), "");
    EXPECT_EQ(Control<QLineEdit>(CBaseSetDialog::kServerPortEdit)->text(), "");
    const QPoint background(m_page->width() - 3, 3);
    ASSERT_EQ(m_page->childAt(background), nullptr);
    QTest::mouseClick(m_page, Qt::LeftButton, {}, background);
    EXPECT_TRUE(m_page->IsEditingEntry());
    EXPECT_TRUE(Button(CBaseSetDialog::kEntrySaveButton)->isVisible());
    QTest::mouseClick(Button(CBaseSetDialog::kEntryCancelButton), Qt::LeftButton);
    EXPECT_EQ(ListButtons(), "100");

    // Change: only a new address is taken; the same one is refused with 10006.
    ClickRow(1);
    EXPECT_EQ(Control<QLineEdit>(CBaseSetDialog::kServerIpEdit)->text(), "10.0.0.5");
    EXPECT_EQ(ListButtons(), "011");
    QTest::mouseClick(Button(CBaseSetDialog::kChangeButton), Qt::LeftButton);
    EXPECT_FALSE(MainButtonsShown());
    Type(CBaseSetDialog::kServerPortEdit, "4006");
    {
        CMessageBoxAnswerer answerer;
        QTest::mouseClick(Button(CBaseSetDialog::kEntrySaveButton), Qt::LeftButton);
        ASSERT_EQ(answerer.Count(), 1);
        EXPECT_EQ(answerer.Texts()[0], "Please change the IP");
        EXPECT_EQ(answerer.Icons()[0], QMessageBox::Critical);
    }
    EXPECT_TRUE(m_page->IsEditingEntry());
    Type(CBaseSetDialog::kServerIpEdit, "10.0.0.6");
    QTest::mouseClick(Button(CBaseSetDialog::kEntrySaveButton), Qt::LeftButton);
    EXPECT_EQ(Cell(1, 0), "10.0.0.6");
    EXPECT_EQ(Cell(1, 1), "4006");
    EXPECT_EQ(ListButtons(), "011");

    // Cancel of a change keeps the row as it was.
    QTest::mouseClick(Button(CBaseSetDialog::kChangeButton), Qt::LeftButton);
    Type(CBaseSetDialog::kServerIpEdit, "10.0.0.7");
    QTest::mouseClick(Button(CBaseSetDialog::kEntryCancelButton), Qt::LeftButton);
    EXPECT_EQ(Cell(1, 0), "10.0.0.6");
    EXPECT_EQ(ListButtons(), "011");
    EXPECT_TRUE(MainButtonsShown());
    EXPECT_TRUE(List()->isEnabled());

    // Remove two adjacent rows at once.
    ClickRow(0);
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      List()->visualItemRect(List()->item(1, 0)).center());
    QTest::mouseClick(Button(CBaseSetDialog::kRemoveButton), Qt::LeftButton);
    EXPECT_EQ(Cell(0, 0), "");
    EXPECT_EQ(List()->rowCount(), 6);
    EXPECT_TRUE(m_page->Settings().Servers().Rows().empty());
    EXPECT_EQ(ListButtons(), "100"); // the first row, now blank, is selected

    // Saving writes the list into the document.
    ASSERT_TRUE(m_page->SaveConfig());
    EXPECT_EQ(CGatewayConfigDoc::Instance().RadioServers()->GetChildCount(),
              1u); // the inactive one
}

TEST_F(BaseSetDialogTest, SwitchesSpeedUnitAndRemoveMarkAChangeAndApplyWritesThemToTheirFiles)
{
    // A click on a switch is a change: Start offers to save.
    QTest::mouseClick(Control<QCheckBox>(CBaseSetDialog::kRrsDisabledCheck), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_window->IsPending());
    QTest::mouseClick(Control<QCheckBox>(CBaseSetDialog::kGpsTrackingCheck), Qt::LeftButton);
    auto* units = Control<QComboBox>(CBaseSetDialog::kSpeedUnitList);
    units->setFocus();
    QTest::keyClick(units, Qt::Key_End); // knots
    ASSERT_EQ(units->currentIndex(), 2);
    {
        CMessageBoxAnswerer answerer;
        QTest::mouseClick(Button(1), Qt::LeftButton); // Save
        ASSERT_EQ(answerer.Count(), 1);
        EXPECT_EQ(answerer.Texts()[0], "Save Successful!");
    }
    EXPECT_FALSE(m_window->IsPending());
    const std::string ini = rztest::ReadBytes(ToolDir() + "Gateway.ini");
    EXPECT_NE(ini.find("\r\nSPEEDUNIT=2\r\n"), std::string::npos) << ini;
    CGatewayConfigDoc saved;
    ASSERT_TRUE(saved.Load(DocumentPath()));
    EXPECT_STREQ(saved.GetSetting(L"KeepUnsubscribedGPSData"), L"0");
    EXPECT_STREQ(saved.GetSetting(L"KeepRRSRetryTime"), L"1");

    // Removing a server is a change too.
    ClickRow(0);
    QTest::mouseClick(Button(CBaseSetDialog::kRemoveButton), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_window->IsPending());
}

TEST_F(BaseSetDialogTest, AFullListRefusesAddAndTipsDoNotBlockSaving)
{
    for (int i = 1; i <= 4; ++i)
    {
        QTest::mouseClick(Button(CBaseSetDialog::kAddButton), Qt::LeftButton);
        Type(CBaseSetDialog::kServerIpEdit, QString("10.1.1.%1").arg(i));
        Type(CBaseSetDialog::kServerPortEdit, "1000");
        QTest::mouseClick(Button(CBaseSetDialog::kEntrySaveButton), Qt::LeftButton);
    }
    EXPECT_EQ(m_page->Settings().Servers().Count(), 5u);
    {
        CMessageBoxAnswerer answerer;
        QTest::mouseClick(Button(CBaseSetDialog::kAddButton), Qt::LeftButton);
        ASSERT_EQ(answerer.Count(), 1);
        EXPECT_EQ(answerer.Texts()[0], "You can only add no more than 5 radio servers.");
    }
    EXPECT_FALSE(m_page->IsEditingEntry());
    EXPECT_TRUE(MainButtonsShown());

    Type(CBaseSetDialog::kLocalIpEdit, "");
    EXPECT_EQ(m_page->LastBalloon(), "The IP is required");
    Type(CBaseSetDialog::kVoipPortEdit, "19001");
    EXPECT_EQ(m_page->LastBalloon(), "Should be even numbers!");
    ASSERT_TRUE(m_page->SaveConfig());
    EXPECT_STREQ(CGatewayConfigDoc::Instance().GetSetting(L"VOIPBeginPort"), L"19001");
}

namespace
{

// A document whose server list names one address twice.
class BaseSetDuplicatesTest : public BaseSetDialogTest
{
protected:
    void SetUp() override
    {
        rztest::WriteBytes(
            DocumentPath(),
            rztest::Utf16Document(L"<MXRGateways>"
                                  L"<GatewayConfig><Language>English</Language><RadioServers>"
                                  L"<RadioServer><Used>TRUE</Used><IPAddress>10.0.0.1</IPAddress>"
                                  L"<IPPort>1</IPPort></RadioServer>"
                                  L"<RadioServer><Used>TRUE</Used><IPAddress>10.0.0.1</IPAddress>"
                                  L"<IPPort>2</IPPort></RadioServer>"
                                  L"</RadioServers></GatewayConfig></MXRGateways>"));
        BaseSetDialogTest::SetUp();
    }
};

} // namespace

TEST_F(BaseSetDuplicatesTest, TheSecondEntryOfAnAddressIsChangedAndRemovedByItsRow)
{
    ASSERT_EQ(Cell(1, 1), "2");
    ClickRow(1);
    EXPECT_EQ(Control<QLineEdit>(CBaseSetDialog::kServerPortEdit)->text(), "2");
    QTest::mouseClick(Button(CBaseSetDialog::kChangeButton), Qt::LeftButton);
    Type(CBaseSetDialog::kServerIpEdit, "10.0.0.2");
    QTest::mouseClick(Button(CBaseSetDialog::kEntrySaveButton), Qt::LeftButton);
    EXPECT_EQ(Cell(0, 0), "10.0.0.1");
    EXPECT_EQ(Cell(0, 1), "1");
    EXPECT_EQ(Cell(1, 0), "10.0.0.2");
    EXPECT_EQ(Cell(1, 1), "2");

    // Removing the second row leaves the first.
    ClickRow(1);
    QTest::mouseClick(Button(CBaseSetDialog::kRemoveButton), Qt::LeftButton);
    ASSERT_EQ(m_page->Settings().Servers().Count(), 1u);
    EXPECT_EQ(m_page->Settings().Servers().Rows()[0].ipPort, L"1");
}

namespace
{

// Gateway.ini with a speed unit beyond the list, and a server address no field would take.
class BaseSetOddFilesTest : public BaseSetDialogTest
{
protected:
    void SetUp() override
    {
        rztest::WriteBytes(ToolDir() + "Gateway.ini",
                           "[TELEMETRYGPSFLAGSTRINGS]\r\nSPEEDUNIT=3\r\n");
        rztest::WriteBytes(
            DocumentPath(),
            rztest::Utf16Document(L"<MXRGateways>"
                                  L"<GatewayConfig><Language>English</Language><RadioServers>"
                                  L"<RadioServer><Used>TRUE</Used><IPAddress>radio-1</IPAddress>"
                                  L"<IPPort>1</IPPort></RadioServer>"
                                  L"</RadioServers></GatewayConfig></MXRGateways>"));
        BaseSetDialogTest::SetUp();
    }
};

} // namespace

TEST_F(BaseSetOddFilesTest, AnUnusableSpeedUnitIsRewrittenAndARefusedServerStopsTheSave)
{
    EXPECT_EQ(Control<QComboBox>(CBaseSetDialog::kSpeedUnitList)->currentIndex(), 0);
    EXPECT_EQ(rztest::ReadBytes(ToolDir() + "Gateway.ini"),
              "[TELEMETRYGPSFLAGSTRINGS]\r\nSPEEDUNIT=0\r\n");

    // The page says which value it refuses and leaves the document as it was.
    CMessageBoxAnswerer answerer;
    EXPECT_FALSE(m_page->SaveConfig());
    ASSERT_EQ(answerer.Count(), 1);
    EXPECT_TRUE(answerer.Texts()[0].endsWith("\nserver-ip: radio-1"))
        << answerer.Texts()[0].toStdString();
    EXPECT_EQ(CGatewayConfigDoc::Instance().GetSetting(L"LocalIP"), nullptr);
}
