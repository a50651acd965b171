// The window as an administrator uses it, keyboard and mouse on the running main window:
// Escape, Enter, Tab, Delete and F2, pasted values, what marks the page changed, warning tips,
// where the focus goes, and a window that stays responsive when the service manager hangs.
#include "WidgetTestSupport.h"
#include "app/RaviraZazuDlg.h"
#include "config/GatewayConfigDoc.h"
#include "pages/BaseSetDialog.h"
#include "pages/DlgPageFrame.h"
#include "ui/LanguageTexts.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

using rztest::CMessageBoxAnswerer;

namespace
{

class WindowUsabilityTest : public rztest::WindowTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenWindow());
        auto* frame = static_cast<CDlgPageFrame*>(m_window->Page(0));
        m_page = static_cast<CBaseSetDialog*>(frame->HostedPage());
    }

    QPushButton* Button(int id) const { return Control<QPushButton>(id); }
    QLineEdit* Field(int id) const { return Control<QLineEdit>(id); }
    QTableWidget* List() const { return Control<QTableWidget>(CBaseSetDialog::kServerList); }
    QWidget* Focus() const { return QApplication::focusWidget(); }
    void ClickRow(int row)
    {
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {},
                          List()->visualItemRect(List()->item(row, 0)).center());
    }
    // Opens a new server entry from the keyboard-less side: a click on Add.
    void OpenNewEntry()
    {
        QTest::mouseClick(Button(CBaseSetDialog::kAddButton), Qt::LeftButton);
        ASSERT_TRUE(m_page->IsEditingEntry());
    }
    void Pending()
    {
        QCoreApplication::processEvents(); // the notification is posted
    }

    CBaseSetDialog* m_page = nullptr;
};

} // namespace

TEST_F(WindowUsabilityTest, EscapeCancelsAnOpenEntryAndTheCloseQuestionKeepsChangesByDefault)
{
    ClickRow(0);
    QTest::mouseClick(Button(CBaseSetDialog::kChangeButton), Qt::LeftButton);
    ASSERT_TRUE(m_page->IsEditingEntry());
    QTest::keyClicks(Field(CBaseSetDialog::kServerIpEdit), "9");
    // Escape is the entry's Cancel: the entry closes, the tool stays, the row is as it was.
    QTest::keyClick(Focus(), Qt::Key_Escape);
    EXPECT_FALSE(m_page->IsEditingEntry());
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_EQ(List()->item(0, 0)->text(), "192.168.10.2");
    EXPECT_EQ(Field(CBaseSetDialog::kServerIpEdit)->text(), "192.168.10.2");
    // Closing the window while an entry is open also only closes the entry.
    QTest::mouseClick(Button(CBaseSetDialog::kChangeButton), Qt::LeftButton);
    ASSERT_TRUE(m_page->IsEditingEntry());
    m_window->close();
    EXPECT_FALSE(m_page->IsEditingEntry());
    EXPECT_TRUE(m_window->isVisible());

    // With changes pending, Escape asks; Enter on the question takes its default, No.
    Field(CBaseSetDialog::kLocalPortEdit)->setFocus();
    QTest::keyClicks(Field(CBaseSetDialog::kLocalPortEdit), "1");
    Pending();
    ASSERT_TRUE(m_window->IsPending());
    CMessageBoxAnswerer answerer;
    answerer.SetAnswerKey(Qt::Key_Return);
    QTest::keyClick(Focus(), Qt::Key_Escape);
    ASSERT_EQ(answerer.Count(), 1);
    EXPECT_EQ(answerer.Defaults()[0], QMessageBox::No);
    EXPECT_EQ(answerer.Results()[0], QMessageBox::No);
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_TRUE(m_window->IsPending());
}

TEST_F(WindowUsabilityTest, EveryEditMarksThePageChangedAndAPasteIsFiltered)
{
    // A new Local IP, typed and left with Tab, is a pending change (Start offers to save).
    QLineEdit* localIp = Field(CBaseSetDialog::kLocalIpEdit);
    localIp->setFocus();
    localIp->selectAll();
    QTest::keyClicks(localIp, "10.1.2.3");
    QTest::keyClick(localIp, Qt::Key_Tab);
    Pending();
    EXPECT_TRUE(m_window->IsPending());
    EXPECT_EQ(m_window->CurrentStartLook(), CRaviraZazuDlg::StartLook::Pending);

    // A paste goes through the field's filter: 99999x becomes 65535.
    QLineEdit* localPort = Field(CBaseSetDialog::kLocalPortEdit);
    QApplication::clipboard()->setText("99999x");
    localPort->setFocus();
    localPort->selectAll();
    QTest::keyClick(localPort, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(localPort->text(), "65535");
    ASSERT_TRUE(m_page->SaveConfig());
    EXPECT_STREQ(CGatewayConfigDoc::Instance().GetSetting(L"LocalPort"), L"65535");
    EXPECT_STREQ(CGatewayConfigDoc::Instance().GetSetting(L"LocalIP"), L"10.1.2.3");
}

TEST_F(WindowUsabilityTest, TheKeyboardWalksTheServerListAndItsEntry)
{
    // Tab leaves the list for its buttons instead of walking its cells.
    ClickRow(0);
    ASSERT_EQ(Focus(), List());
    QTest::keyClick(List(), Qt::Key_Tab);
    EXPECT_NE(Focus(), List());
    EXPECT_FALSE(List()->isAncestorOf(Focus()));

    // Enter on the list does not save the document.
    ClickRow(0);
    const std::string before = rztest::ReadBytes(DocumentPath());
    QTest::keyClick(List(), Qt::Key_Return);
    EXPECT_EQ(rztest::ReadBytes(DocumentPath()), before);
    EXPECT_FALSE(m_page->IsEditingEntry());

    // F2 changes the row; Enter in the open entry is its Save; the focus comes back to the
    // list, on the row just saved.
    QTest::keyClick(List(), Qt::Key_F2);
    ASSERT_TRUE(m_page->IsEditingEntry());
    QLineEdit* serverIp = Field(CBaseSetDialog::kServerIpEdit);
    serverIp->setFocus();
    serverIp->selectAll();
    QTest::keyClicks(serverIp, "192.168.10.9");
    QTest::keyClick(serverIp, Qt::Key_Return);
    EXPECT_FALSE(m_page->IsEditingEntry());
    EXPECT_EQ(List()->item(0, 0)->text(), "192.168.10.9");
    EXPECT_EQ(Focus(), List());
    EXPECT_EQ(List()->currentRow(), 0);

    // A double click changes the row too; Escape closes the entry again.
    EXPECT_TRUE(Button(CBaseSetDialog::kChangeButton)->isEnabled());
    const QPoint cell = List()->visualItemRect(List()->item(0, 0)).center();
    QTest::mousePress(List()->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseRelease(List()->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, cell);
    EXPECT_TRUE(m_page->IsEditingEntry());
    QTest::keyClick(Focus(), Qt::Key_Escape);
    EXPECT_FALSE(m_page->IsEditingEntry());

    // Delete removes the chosen row.
    ClickRow(0);
    QTest::keyClick(List(), Qt::Key_Delete);
    EXPECT_TRUE(m_page->Settings().Servers().Rows().empty());
    EXPECT_EQ(List()->item(0, 0)->text(), "");
}

TEST_F(WindowUsabilityTest, AfterAddingTheFocusIsOnTheNewRowAndBlankRowsShowBlankFields)
{
    OpenNewEntry();
    QTest::keyClicks(Field(CBaseSetDialog::kServerIpEdit), "10.9.9.9");
    Field(CBaseSetDialog::kServerPortEdit)->setFocus();
    QTest::keyClicks(Field(CBaseSetDialog::kServerPortEdit), "4000");
    QTest::mouseClick(Button(CBaseSetDialog::kEntrySaveButton), Qt::LeftButton);
    // The next keystroke must not go into Local IP.
    EXPECT_EQ(Focus(), List());
    EXPECT_EQ(List()->currentRow(), 1);
    EXPECT_TRUE(Button(CBaseSetDialog::kAddButton)->isEnabled());

    // A blank row, and a cancelled new entry, show blank fields.
    ClickRow(0);
    ClickRow(4);
    EXPECT_EQ(Field(CBaseSetDialog::kServerIpEdit)->text(), "");
    EXPECT_EQ(Field(CBaseSetDialog::kServerPortEdit)->text(), "");
    OpenNewEntry();
    QTest::keyClicks(Field(CBaseSetDialog::kServerIpEdit), "10.8.8.8");
    QTest::mouseClick(Button(CBaseSetDialog::kEntryCancelButton), Qt::LeftButton);
    EXPECT_EQ(Field(CBaseSetDialog::kServerIpEdit)->text(), "");
}

TEST_F(WindowUsabilityTest, ATipLastsAsLongAsItsCause)
{
    QLineEdit* voip = Field(CBaseSetDialog::kVoipPortEdit);
    voip->setFocus();
    voip->selectAll();
    QTest::keyClicks(voip, "19001");
    EXPECT_EQ(m_page->Balloon(), "Should be even numbers!");
    QTest::keyClick(voip, Qt::Key_Backspace);
    QTest::keyClicks(voip, "2");
    EXPECT_EQ(m_page->Balloon(), "");

    // An empty Local IP: the tip goes when leaving the field fills the address in.
    QLineEdit* localIp = Field(CBaseSetDialog::kLocalIpEdit);
    localIp->setFocus();
    localIp->selectAll();
    QTest::keyClick(localIp, Qt::Key_Backspace);
    EXPECT_EQ(m_page->Balloon(), "The IP is required");
    QTest::keyClick(localIp, Qt::Key_Tab);
    EXPECT_EQ(localIp->text(), "127.0.0.1");
    EXPECT_EQ(m_page->Balloon(), "");
}

TEST_F(WindowUsabilityTest, TheTreeTheListAndTheWindowFitTheirPlaces)
{
    // One icon size in the tree.
    QListWidget* tree = m_window->PageTree();
    for (int i = 0; i < tree->count(); ++i)
    {
        const QIcon icon = tree->item(i)->icon();
        EXPECT_EQ(icon.pixmap(tree->iconSize()).size(), QSize(28, 28)) << i;
    }
    // The list's columns fill its width; its header stays plain when a row is chosen.
    QHeaderView* header = List()->horizontalHeader();
    EXPECT_EQ(header->length(), List()->viewport()->width());
    EXPECT_FALSE(header->highlightSections());

    // The window opens within its screen, and its pages scroll instead of making it bigger:
    // twice its smallest size still fits a 1280 x 800 screen (a scale factor of 2).
    const QRect screen = m_window->screen()->availableGeometry();
    EXPECT_LE(m_window->width(), screen.width());
    EXPECT_LE(m_window->height(), screen.height());
    const QSize smallest = m_window->minimumSizeHint();
    EXPECT_LE(smallest.width() * 2, 1280);
    EXPECT_LE(smallest.height() * 2, 800);
    auto* area = qobject_cast<QScrollArea*>(m_page->parentWidget()->parentWidget()->parentWidget());
    ASSERT_NE(area, nullptr);
    m_window->resize(smallest);
    QCoreApplication::processEvents();
    EXPECT_GT(area->verticalScrollBar()->maximum(), 0);
}

TEST_F(WindowUsabilityTest, AServiceManagerThatHangsNeitherBlocksTheWindowNorPassesForStopped)
{
    m_systemd.SetActiveState(kUnit, "active");
    RZ_TRY_TRUE(m_window->IsRunning(), 2000);
    m_window->SelectPage(1);
    m_window->SelectPage(0);
    m_systemd.Freeze(true);
    // The watch's next read now waits for the manager; meanwhile the window answers at once.
    rztest::WaitUntil([] { return false; }, 300);
    std::vector<qint64> switches;
    for (int i = 0; i < 5; ++i)
    {
        QElapsedTimer timer;
        timer.start();
        m_window->SelectPage(i % 2 == 0 ? 1 : 0);
        QCoreApplication::processEvents();
        switches.push_back(timer.elapsed());
    }
    std::sort(switches.begin(), switches.end());
    EXPECT_LT(switches[2], 50) << "median of five page switches, in ms";
    // A click on Start is taken at once too; the request waits in the watch.
    QElapsedTimer click;
    click.start();
    QTest::mouseClick(m_window->StartButton(), Qt::LeftButton);
    EXPECT_LT(click.elapsed(), 50);

    // When the manager does not answer in time the state is unknown: Start cannot act.
    RZ_TRY_TRUE(!m_window->IsServiceStateKnown(), 20000);
    EXPECT_FALSE(m_window->StartButton()->isEnabled());
    m_systemd.Freeze(false);
    RZ_TRY_TRUE(m_window->IsServiceStateKnown(), 20000);
    EXPECT_TRUE(m_window->StartButton()->isEnabled());
}
