// The Dispatch Station Settings page in the real main window, driven by keys and clicks.
#include "NetnsLink.h"
#include "WidgetTestSupport.h"
#include "app/RaviraZazuDlg.h"
#include "config/GatewayConfigDoc.h"
#include "config/XNode.h"
#include "lang/Language.h"
#include "model/StationSettings.h"
#include "network/MobileChannelDetector.h"
#include "pages/ConnectionTestDialog.h"
#include "pages/DSSETDialog.h"
#include "pages/DlgPageFrame.h"
#include "ui/LanguageTexts.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using rztest::CMessageBoxAnswerer;
using Page = CDSSETDialog;

// Failures print texts as texts.
void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace
{

using rztest::Hex;

// A Station element as the gateway writes it.
std::wstring Station(const std::wstring& guid, const std::wstring& name, const std::wstring& ip,
                     const std::wstring& pseudoId, const std::wstring& isData = L"0",
                     const std::wstring& play = L"", const std::wstring& record = L"")
{
    return L"<Station><Used>TRUE</Used><GUID>" + guid + L"</GUID><Name>" + name +
           L"</Name><IPAddress>" + ip + L"</IPAddress><PseudoID>" + pseudoId +
           L"</PseudoID><UseFrontMic>0</UseFrontMic><IsData>" + isData + L"</IsData><AudioPlay>" +
           play + L"</AudioPlay><AudioRecord>" + record +
           L"</AudioRecord><Volum><RecordVolum>3</RecordVolum><PlaybackVolum>4</PlaybackVolum>"
           L"</Volum></Station>";
}

std::string Document(const std::wstring& stations)
{
    return rztest::Utf16Document(
        L"<MXRGateways>"
        L"<GatewayConfig><Language>English</Language><QuorixStations><Stations>" +
        stations + L"</Stations></QuorixStations></GatewayConfig></MXRGateways>");
}

// The real main window with the Dispatch Station Settings page open, on the sample document
// unless a test writes its own first.
class StationPageTest : public rztest::WindowTest
{
protected:
    void SetUp() override
    {
        if (!m_stations.empty())
            rztest::WriteBytes(DocumentPath(), Document(m_stations));
        ASSERT_NO_FATAL_FAILURE(OpenWindow());
        m_window->SelectPage(1);
        auto* frame = static_cast<CDlgPageFrame*>(m_window->Page(1));
        m_page = static_cast<Page*>(frame->HostedPage());
        ASSERT_TRUE(m_page->IsCreated());
    }

    template <typename T = QWidget> T* Control(int id) const
    {
        return qobject_cast<T*>(FindControl(m_page, id));
    }
    QPushButton* Button(int id) const { return Control<QPushButton>(id); }
    QCheckBox* Box(int id) const { return Control<QCheckBox>(id); }
    QComboBox* Combo(int id) const { return Control<QComboBox>(id); }
    QLineEdit* Field(int id) const
    {
        if (auto* combo = Combo(id))
            return combo->lineEdit();
        return Control<QLineEdit>(id);
    }
    QTableView* List() const { return Control<QTableView>(Page::kStationList); }
    int Rows() const { return List()->model()->rowCount(); }

    // Which of Add, Change, Remove and Connection Test are enabled.
    std::string ListButtons() const
    {
        std::string state;
        for (int id :
             {Page::kAddButton, Page::kChangeButton, Page::kRemoveButton, Page::kTestButton})
            state += Button(id)->isEnabled() ? '1' : '0';
        return state;
    }
    // Which of GPS Dispatch Station, Activate Microphone, Speaker and Microphone are enabled.
    std::string KindControls() const
    {
        std::string state;
        for (int id :
             {Page::kGpsCheck, Page::kFrontMicCheck, Page::kSpeakerList, Page::kMicrophoneList})
            state += Control(id)->isEnabled() ? '1' : '0';
        return state;
    }
    QString Cell(int row, int column) const
    {
        if (row >= Rows())
            return QString("<none>");
        return List()->model()->index(row, column).data().toString();
    }
    void ClickRow(int row, Qt::KeyboardModifiers modifiers = {})
    {
        rztest::ClickRow(List(), row, modifiers);
    }
    void Click(int id) { QTest::mouseClick(Control(id), Qt::LeftButton); }
    void Type(int fieldId, const QString& text) { rztest::TypeInto(Field(fieldId), text); }
    // Opens a new entry and types a station into it.
    void TypeStation(const QString& alias, const QString& pseudoId, const QString& ip)
    {
        Click(Page::kAddButton);
        Type(Page::kAliasEdit, alias);
        Type(Page::kPseudoIdEdit, pseudoId);
        Type(Page::kIpBox, ip);
    }
    // The window active again after a message box (the offscreen platform leaves it so).
    void Reactivate()
    {
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    }

    std::wstring m_stations; // the document's stations; empty: the sample document
    Page* m_page = nullptr;
};

// A document with five dispatch stations.
class FiveStationsTest : public StationPageTest
{
protected:
    void SetUp() override
    {
        for (int i = 1; i <= 5; ++i)
        {
            const std::wstring n = std::to_wstring(i);
            m_stations += Station(L"0000000" + n + L"-AAAA-4BBB-8CCC-DDDDDDDDDDDD", L"Desk " + n,
                                  L"192.168.1" + n + L".101", L"10" + n);
        }
        StationPageTest::SetUp();
    }
};

// A document without any station.
class NoStationTest : public StationPageTest
{
protected:
    void SetUp() override
    {
        m_stations = L"<Station><Type>Repeater</Type><Used>TRUE</Used><GUID>R-1</GUID></Station>";
        StationPageTest::SetUp();
    }
};

} // namespace

TEST_F(NoStationTest, AnEmptyListShowsFiveBlankRowsAndOnlyAddIsOffered)
{
    ASSERT_EQ(Rows(), 5);
    for (int row = 0; row < 5; ++row)
        for (int column = 0; column < 3; ++column)
            EXPECT_EQ(Cell(row, column), "") << row << "," << column;
    EXPECT_EQ(ListButtons(), "1000");
    const QAbstractItemModel* rows = List()->model();
    EXPECT_EQ(rows->headerData(0, Qt::Horizontal).toString(), "Alias");
    EXPECT_EQ(rows->headerData(1, Qt::Horizontal).toString(), "Pseudo ID");
    EXPECT_EQ(rows->headerData(2, Qt::Horizontal).toString(), "IP");
    EXPECT_EQ(List()->columnWidth(0), 150);
    EXPECT_EQ(List()->columnWidth(1), 100);
    EXPECT_EQ(List()->columnWidth(2), 200);
    EXPECT_EQ(rows->index(0, 0).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::Alignment(Qt::AlignCenter));
    EXPECT_EQ(List()->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(List()->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_TRUE(List()->showGrid());
    EXPECT_EQ(Control<QLabel>(1054)->text(), "Alias");
    EXPECT_EQ(Control<QLabel>(1053)->text(), "Virtual IP");
    EXPECT_EQ(Box(Page::kQuickGpsCheck)->text(), "Quick GPS Station");
    EXPECT_FALSE(Button(Page::kEntrySaveButton)->isVisible());
    EXPECT_FALSE(Field(Page::kAliasEdit)->isEnabled());

    // A blank row offers nothing else either.
    ClickRow(2);
    EXPECT_EQ(ListButtons(), "1000");

    // A first station takes the first row; the list stays at five.
    TypeStation("Harbour Ops", "101", "192.168.11.101");
    QTest::keyClick(Field(Page::kIpBox), Qt::Key_Return);
    EXPECT_EQ(Rows(), 5);
    EXPECT_EQ(Cell(0, 0), "Harbour Ops");
    EXPECT_EQ(Cell(0, 2), "192.168.11.101");
    EXPECT_EQ(Cell(1, 0), "");
}

TEST_F(FiveStationsTest, ASixthStationAddsARowAndRemovingItBringsBackFive)
{
    ASSERT_EQ(Rows(), 5);
    EXPECT_EQ(Cell(4, 0), "Desk 5");

    TypeStation("Desk 6", "106", "192.168.16.101");
    QTest::keyClick(Field(Page::kAliasEdit), Qt::Key_Return);
    ASSERT_EQ(Rows(), 6);
    EXPECT_EQ(Cell(5, 0), "Desk 6");
    EXPECT_EQ(Cell(5, 1), "106");

    // Delete on the list removes the chosen row: five rows again, none of them blank.
    ClickRow(5);
    EXPECT_EQ(ListButtons(), "0111");
    QTest::keyClick(List(), Qt::Key_Delete);
    EXPECT_EQ(Rows(), 5);
    EXPECT_EQ(Cell(4, 0), "Desk 5");
    EXPECT_EQ(m_page->Settings().Stations().Count(), 5u);
    EXPECT_EQ(Field(Page::kAliasEdit)->text(), "");
    EXPECT_EQ(ListButtons(), "1000");
    EXPECT_TRUE(Pending());

    // Several rows at once: a blank row pads the list again.
    ClickRow(1);
    ClickRow(2, Qt::ShiftModifier);
    Click(Page::kRemoveButton);
    EXPECT_EQ(Rows(), 5);
    EXPECT_EQ(Cell(1, 0), "Desk 4");
    EXPECT_EQ(Cell(3, 0), "");
    EXPECT_EQ(Cell(4, 0), "");
}

TEST_F(StationPageTest, TheEntryHidesTheMainButtonsEscapeCancelsItAndEnterSavesIt)
{
    // The sample lists two stations; the inactive one and the repeater slots are not shown.
    ASSERT_EQ(Cell(0, 0), "Harbour Ops");
    ASSERT_EQ(Cell(1, 0), "Fleet & GPS");
    EXPECT_EQ(Cell(2, 0), "");

    ClickRow(0);
    EXPECT_EQ(Field(Page::kAliasEdit)->text(), "Harbour Ops");
    EXPECT_EQ(Field(Page::kPseudoIdEdit)->text(), "101");
    EXPECT_EQ(Field(Page::kIpBox)->text(), "192.168.11.101");
    EXPECT_TRUE(Box(Page::kFrontMicCheck)->isChecked());
    EXPECT_EQ(ListButtons(), "0111");
    // A blank row ends that: empty fields and boxes, and only Add.
    ClickRow(3);
    EXPECT_EQ(Field(Page::kAliasEdit)->text(), "");
    EXPECT_EQ(Field(Page::kIpBox)->text(), "");
    EXPECT_FALSE(Box(Page::kFrontMicCheck)->isChecked());
    EXPECT_EQ(ListButtons(), "1000");

    Click(Page::kAddButton);
    EXPECT_TRUE(m_page->IsEditingEntry());
    EXPECT_FALSE(MainButtonsShown());
    EXPECT_FALSE(m_window->PageTree()->isEnabled());
    EXPECT_FALSE(List()->isEnabled());
    EXPECT_EQ(ListButtons(), "0001");
    EXPECT_TRUE(Button(Page::kEntrySaveButton)->isVisible());
    EXPECT_EQ(Button(Page::kEntrySaveButton)->text(), "Save");
    EXPECT_EQ(Button(Page::kEntryCancelButton)->text(), "Cancel");
    // A new entry: no alias, pseudo ID 0.
    EXPECT_EQ(Field(Page::kAliasEdit)->text(), "");
    EXPECT_EQ(Field(Page::kPseudoIdEdit)->text(), "0");
    EXPECT_TRUE(Field(Page::kAliasEdit)->hasFocus());

    // Escape cancels: nothing added, the window as before.
    Type(Page::kAliasEdit, "Night desk");
    QTest::keyClick(Field(Page::kAliasEdit), Qt::Key_Escape);
    EXPECT_FALSE(m_page->IsEditingEntry());
    EXPECT_TRUE(MainButtonsShown());
    EXPECT_TRUE(m_window->PageTree()->isEnabled());
    EXPECT_TRUE(m_window->isVisible()); // Escape did not reach the window's Close
    EXPECT_EQ(m_page->Settings().Stations().Count(), 2u);
    EXPECT_EQ(Field(Page::kPseudoIdEdit)->text(), "");
    EXPECT_EQ(ListButtons(), "1000");

    // An IP that a station has already: 10004, and the entry stays open.
    TypeStation("Night desk", "104", "192.168.12.101");
    {
        CMessageBoxAnswerer answerer;
        QTest::keyClick(Field(Page::kAliasEdit), Qt::Key_Return);
        ASSERT_EQ(answerer.Count(), 1);
        EXPECT_EQ(answerer.Texts()[0], "The IP already exists");
        EXPECT_EQ(answerer.Icons()[0], QMessageBox::Critical);
    }
    Reactivate();
    EXPECT_TRUE(m_page->IsEditingEntry());

    // Enter saves; the main window's buttons come back.
    Type(Page::kIpBox, "192.168.14.101");
    QTest::keyClick(Field(Page::kIpBox), Qt::Key_Return);
    EXPECT_FALSE(m_page->IsEditingEntry());
    EXPECT_TRUE(MainButtonsShown());
    EXPECT_TRUE(List()->isEnabled());
    EXPECT_EQ(Cell(2, 0), "Night desk");
    EXPECT_EQ(Cell(2, 2), "192.168.14.101");
    EXPECT_EQ(ListButtons(), "1000");
    EXPECT_TRUE(Pending());

    // Change keeps the station's own IP and GUID; F2 on the list opens it.
    const std::wstring guid = m_page->Settings().Stations().Rows()[0].guid;
    ClickRow(0);
    QTest::keyClick(List(), Qt::Key_F2);
    EXPECT_TRUE(m_page->IsEditingEntry());
    EXPECT_FALSE(MainButtonsShown());
    Type(Page::kPseudoIdEdit, "1.x1"); // digits only
    QTest::keyClick(Field(Page::kPseudoIdEdit), Qt::Key_Return);
    EXPECT_EQ(Cell(0, 1), "11");
    EXPECT_EQ(m_page->Settings().Stations().Rows()[0].guid, guid);
    EXPECT_EQ(ListButtons(), "0111"); // the changed row stays chosen

    // A click on the page's background is like a blank row.
    const QPoint background(m_page->width() - 3, 3);
    ASSERT_EQ(m_page->childAt(background), nullptr);
    QTest::mouseClick(m_page, Qt::LeftButton, {}, background);
    EXPECT_EQ(ListButtons(), "1000");
    EXPECT_EQ(Field(Page::kAliasEdit)->text(), "");

    // Escape in a change puts the station back as it is kept.
    ClickRow(0);
    Click(Page::kChangeButton);
    Type(Page::kAliasEdit, "Renamed");
    QTest::keyClick(Field(Page::kAliasEdit), Qt::Key_Escape);
    EXPECT_EQ(Field(Page::kAliasEdit)->text(), "Harbour Ops");
    EXPECT_EQ(Cell(0, 0), "Harbour Ops");
    EXPECT_TRUE(MainButtonsShown());
}

namespace
{

// A station whose alias, from the document, is longer than the field takes.
class LongAliasTest : public StationPageTest
{
protected:
    void SetUp() override
    {
        m_stations = Station(L"11111111-AAAA-4BBB-8CCC-DDDDDDDDDDDD", kLong, L"10.1.1.2", L"7");
        StationPageTest::SetUp();
    }
    static constexpr const wchar_t* kLong = L"An alias of thirty-three letters!";
};

} // namespace

TEST_F(LongAliasTest, TheAliasTakesSixteenTypedCharactersAndALongOneIsShownWholeButRefused)
{
    ASSERT_EQ(std::wstring(kLong).size(), 33u);
    EXPECT_EQ(Cell(0, 0), QString::fromWCharArray(kLong));
    ClickRow(0);
    EXPECT_EQ(Field(Page::kAliasEdit)->text(), QString::fromWCharArray(kLong)); // not cut
    Click(Page::kChangeButton);
    {
        CMessageBoxAnswerer answerer;
        Click(Page::kEntrySaveButton);
        ASSERT_EQ(answerer.Count(), 1);
        EXPECT_EQ(answerer.Texts()[0], "The value is required");
    }
    EXPECT_TRUE(m_page->IsEditingEntry());
    EXPECT_EQ(m_page->Settings().Stations().Rows()[0].name, kLong);

    // Typed or pasted, the field stops at sixteen characters.
    Type(Page::kAliasEdit, "Seventeen letters");
    EXPECT_EQ(Field(Page::kAliasEdit)->text(), "Seventeen letter");
    Field(Page::kAliasEdit)->clear();
    QApplication::clipboard()->setText("A pasted alias of thirty letters");
    QTest::keyClick(Field(Page::kAliasEdit), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Field(Page::kAliasEdit)->text(), "A pasted alias o");
    Click(Page::kEntrySaveButton);
    EXPECT_EQ(Cell(0, 0), "A pasted alias o");
}

TEST_F(StationPageTest, TheGpsBoxesDecideWhichControlsCanBeUsed)
{
    // A GPS station opened for a change has no sound.
    ClickRow(1);
    EXPECT_TRUE(Box(Page::kGpsCheck)->isChecked());
    Click(Page::kChangeButton);
    EXPECT_EQ(KindControls(), "1000");
    EXPECT_TRUE(Box(Page::kQuickGpsCheck)->isEnabled());
    EXPECT_FALSE(Pending());

    // Quick GPS takes the GPS box away too; each click is a change.
    Click(Page::kQuickGpsCheck);
    EXPECT_EQ(KindControls(), "0000");
    EXPECT_TRUE(Pending());
    Click(Page::kQuickGpsCheck);
    EXPECT_EQ(KindControls(), "1000"); // GPS is still ticked
    Click(Page::kGpsCheck);
    EXPECT_EQ(KindControls(), "1111");
    Click(Page::kGpsCheck);
    EXPECT_EQ(KindControls(), "1000");

    // Both ticked: quick GPS is stored.
    Click(Page::kQuickGpsCheck);
    Click(Page::kEntrySaveButton);
    EXPECT_EQ(m_page->Settings().Stations().Rows()[1].isData, L"2");
    // Out of the entry, every field is off again.
    EXPECT_EQ(KindControls(), "0000");
    EXPECT_FALSE(Box(Page::kQuickGpsCheck)->isEnabled());

    // A voice station opened for a change offers everything.
    ClickRow(0);
    Click(Page::kChangeButton);
    EXPECT_EQ(KindControls(), "1111");
    Click(Page::kFrontMicCheck);
    Click(Page::kEntrySaveButton);
    EXPECT_EQ(m_page->Settings().Stations().Rows()[0].useFrontMic, L"0");

    // A new entry starts as a voice station whatever was shown before.
    ClickRow(1);
    ClickRow(3);
    Click(Page::kAddButton);
    EXPECT_EQ(KindControls(), "1111");
    EXPECT_FALSE(Box(Page::kQuickGpsCheck)->isChecked());
}

TEST_F(StationPageTest, TheIpBoxListsTheAdaptersAndTypesAnAddress)
{
    Click(Page::kAddButton);
    QComboBox* box = Combo(Page::kIpBox);
    EXPECT_FALSE(Pending());

    // Dropped down, it lists every adapter's address once, in order, and never 0.0.0.0;
    // choosing one is a change.
    box->showPopup();
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    EXPECT_EQ(items.count("127.0.0.1"), 1) << items.join(" ").toStdString();
    EXPECT_FALSE(items.contains("0.0.0.0"));
    QStringList sorted = items;
    sorted.sort();
    EXPECT_EQ(items, sorted);
    QTest::keyClick(box->view(), Qt::Key_Down);
    QTest::keyClick(box->view(), Qt::Key_Return);
    EXPECT_TRUE(items.contains(box->currentText()));
    EXPECT_TRUE(Pending());

    // Typed, an address is kept as the command line's --ip is read.
    Type(Page::kIpBox, "10.1.2.300");
    EXPECT_EQ(box->currentText(), "10.1.2.255");
    // The drop-down empties the box, and opening its list fills in nothing.
    box->showPopup();
    box->hidePopup();
    EXPECT_EQ(box->currentText(), "");
}

namespace
{

// Sound devices of the test's own (null devices with hints) and a station whose speaker is
// no longer among them.
class SoundDevicesPageTest : public StationPageTest
{
protected:
    void SetUp() override
    {
        WriteDevices("");
        m_stations = Station(L"22222222-AAAA-4BBB-8CCC-DDDDDDDDDDDD", L"Desk", L"10.1.1.2", L"7",
                             L"0", L"Old Speaker", L"desk microphone") +
                     Station(L"33333333-AAAA-4BBB-8CCC-DDDDDDDDDDDD", L"Bare", L"10.1.1.3", L"8");
        StationPageTest::SetUp();
    }
    void WriteDevices(const std::string& more)
    {
        rztest::WriteBytes(m_dir.File(".asoundrc"),
                           "pcm.rz_mic {\n type null\n hint.description \"Desk "
                           "Microphone|IOIDInput\"\n}\n"
                           "pcm.rz_speaker {\n type null\n hint.description \"Wall "
                           "Speaker|IOIDOutput\"\n}\n" +
                               more);
    }
    static QStringList Items(QComboBox* list)
    {
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->itemText(i);
        return items;
    }

    rztest::CScopedEnv m_home{"HOME", m_dir.Path()};
};

} // namespace

TEST_F(SoundDevicesPageTest, TheSoundListsKeepAStoredDeviceThatIsGoneAndAreReadAgainWhenOpened)
{
    // The machine's own devices may be listed too; the test's are there once each.
    QComboBox* speaker = Combo(Page::kSpeakerList);
    QComboBox* microphone = Combo(Page::kMicrophoneList);
    ClickRow(0);
    EXPECT_EQ(Items(speaker).count("Wall Speaker"), 1);
    EXPECT_FALSE(Items(speaker).contains("Desk Microphone"));
    EXPECT_EQ(Items(microphone).count("Desk Microphone"), 1);
    EXPECT_EQ(Items(speaker).count("Old Speaker"), 1);
    EXPECT_EQ(speaker->currentText(), "Old Speaker");
    EXPECT_EQ(microphone->currentText(), "Desk Microphone"); // found without regard to case

    // Opened, the list is read again and keeps what it shows.
    WriteDevices("pcm.rz_ceiling {\n type null\n hint.description \"Ceiling "
                 "Speaker|IOIDOutput\"\n}\n");
    Click(Page::kChangeButton);
    EXPECT_FALSE(Items(speaker).contains("Ceiling Speaker"));
    speaker->showPopup();
    speaker->hidePopup();
    EXPECT_EQ(Items(speaker).count("Ceiling Speaker"), 1);
    EXPECT_EQ(Items(speaker).count("Old Speaker"), 1);
    EXPECT_EQ(speaker->currentText(), "Old Speaker");
    // Opening a list changes nothing; choosing from it is a change.
    EXPECT_FALSE(Pending());
    microphone->showPopup();
    QTest::keyClick(microphone->view(), Qt::Key_Return);
    EXPECT_TRUE(Pending());
    Click(Page::kEntrySaveButton);
    EXPECT_EQ(m_page->Settings().Stations().Rows()[0].audioPlay, L"Old Speaker");
    EXPECT_EQ(m_page->Settings().Stations().Rows()[0].audioRecord, L"Desk Microphone");

    // A station without a speaker keeps the one shown; another choice is saved with it.
    ClickRow(1);
    EXPECT_EQ(speaker->currentText(), "Old Speaker");
    Click(Page::kChangeButton);
    speaker->showPopup();
    speaker->view()->setCurrentIndex(
        speaker->model()->index(static_cast<int>(Items(speaker).indexOf("Ceiling Speaker")), 0));
    QTest::keyClick(speaker->view(), Qt::Key_Return);
    Click(Page::kEntrySaveButton);
    EXPECT_EQ(m_page->Settings().Stations().Rows()[1].audioPlay, L"Ceiling Speaker");
}

TEST_F(StationPageTest, SavingFromTheWindowWritesTheStationsAsTheModelDoes)
{
    // A removal is a change to save.
    ClickRow(0);
    EXPECT_FALSE(Pending());
    Click(Page::kRemoveButton);
    EXPECT_TRUE(Pending());
    TypeStation("Night desk", "104", "192.168.14.101");
    Click(Page::kGpsCheck);
    Click(Page::kEntrySaveButton);
    {
        CMessageBoxAnswerer answerer;
        QTest::mouseClick(FindControl(m_window.get(), 1), Qt::LeftButton); // the window's Save
        ASSERT_EQ(answerer.Count(), 1);
        EXPECT_EQ(answerer.Texts()[0], "Save Successful!");
    }

    CGatewayConfigDoc reread;
    ASSERT_TRUE(reread.Load(DocumentPath()));
    CStationSettings written;
    written.Load(reread, {ToolDir()});
    EXPECT_EQ(written.Stations().Rows(), m_page->Settings().Stations().Rows());
    ASSERT_EQ(written.Stations().Count(), 2u);
    EXPECT_EQ(written.Stations().Rows()[0].name, L"Fleet & GPS");
    const StationInfo& added = written.Stations().Rows()[1];
    EXPECT_EQ(added.isData, L"1");
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$")
                    .match(QString::fromStdWString(added.guid))
                    .hasMatch());
    // The repeater slots stay; the inactive station and the removed one are gone.
    const RUROR::XNode* stations = reread.Stations();
    ASSERT_NE(stations, nullptr);
    int repeaters = 0;
    for (const RUROR::XNode* child : stations->GetChilds())
    {
        const wchar_t* type = child->GetChildValue(L"Type");
        repeaters += type != nullptr && std::wstring(type) == L"Repeater" ? 1 : 0;
    }
    EXPECT_EQ(repeaters, 4);
    EXPECT_EQ(stations->GetChildCount(), 6u);
}

TEST_F(StationPageTest, TheEntryButtonsTakeTextsOfTheirOwn)
{
    lang::CLanguage::Instance().LoadFile(m_dir.File("tool/language/Deutsch.xml"),
                                         CGatewayConfigDoc::Instance(), ToolDir());
    ReapplyLanguageTexts();
    // Texts 1111 and 1112, not the texts of the buttons' own IDs ("Übernehmen").
    EXPECT_EQ(Button(Page::kEntrySaveButton)->text(), "Speichern");
    EXPECT_EQ(Button(Page::kEntryCancelButton)->text(), "Abbrechen");
    EXPECT_EQ(Control<QLabel>(1053)->text(), "Virtuelle IP");
    EXPECT_EQ(Button(Page::kTestButton)->text(), "Verbindungstest");
}

namespace
{

// Stations whose IP no adapter of this computer carries (a documentation address), one of
// them without a pseudo ID.
class UnreachableStationTest : public StationPageTest
{
protected:
    void SetUp() override
    {
        m_stations =
            Station(L"44444444-AAAA-4BBB-8CCC-DDDDDDDDDDDD", L"No ID", L"203.0.113.7", L"") +
            Station(L"55555555-AAAA-4BBB-8CCC-DDDDDDDDDDDD", L"Far", L"203.0.113.8", L"9");
        StationPageTest::SetUp();
    }
};

} // namespace

TEST_F(UnreachableStationTest, ATestNeedsAliasPseudoIdAndIpAndAnAdapterCarryingTheIp)
{
    ClickRow(0);
    {
        CMessageBoxAnswerer answerer;
        Click(Page::kTestButton);
        ASSERT_EQ(answerer.Count(), 1);
        EXPECT_EQ(answerer.Texts()[0], "The value is required");
        EXPECT_EQ(answerer.Icons()[0], QMessageBox::Critical);
    }
    EXPECT_EQ(m_page->ConnectionTest(), nullptr);

    // No adapter carries the address: the test ends before any route or socket.
    ClickRow(1);
    CMessageBoxAnswerer answerer;
    Click(Page::kTestButton);
    QTRY_COMPARE(answerer.Count(), 1);
    EXPECT_EQ(answerer.Texts()[0], "Failed to find the station!");
    EXPECT_EQ(answerer.Icons()[0], QMessageBox::Critical);
    EXPECT_EQ(answerer.Titles()[0], "");
    EXPECT_EQ(m_page->ConnectionTest(), nullptr);
}

namespace
{

// The window's thread in the tool's network namespace for as long as the object lives: the
// thread of a connection test started from it, and the programs it starts, live there too.
class CWindowThreadIn
{
public:
    explicit CWindowThreadIn(const std::string& name)
        : m_own(::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC))
    {
        const int ns = ::open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
        m_entered = m_own >= 0 && ns >= 0 && ::setns(ns, CLONE_NEWNET) == 0;
        if (ns >= 0)
            ::close(ns);
    }
    ~CWindowThreadIn()
    {
        if (m_entered)
            ::setns(m_own, CLONE_NEWNET);
        if (m_own >= 0)
            ::close(m_own);
    }
    bool Entered() const { return m_entered; }

private:
    int m_own;
    bool m_entered = false;
};

// The tool's adapter 192.168.10.2 (hardware address 00-11-0A-00-00-65) in a namespace of its
// own, linked to the radio's namespace, where the radio is played by a socket on
// 10.0.0.100:3005 that the test answers from, or not.
class StationLinkTest : public StationPageTest
{
protected:
    void SetUp() override
    {
        if (!m_link.Make())
            GTEST_SKIP() << "network namespaces need root and iproute2";
        ASSERT_FALSE(HasFatalFailure());
        m_radioSocket = rztest::BoundSocket(m_link.Radio(), "10.0.0.100", 3005);
        ASSERT_GE(m_radioSocket, 0);
        m_stations = Station(L"66666666-AAAA-4BBB-8CCC-DDDDDDDDDDDD", L"Harbour Ops",
                             L"192.168.10.2", L"101");
        StationPageTest::SetUp();
    }

    void TearDown() override
    {
        m_window.reset(); // ends a test that still runs
        if (m_radioSocket >= 0)
            ::close(m_radioSocket);
    }

    // What the radio receives next, or nothing within the time.
    std::optional<rztest::Bytes>
    RadioReceives(std::chrono::milliseconds within = std::chrono::seconds(5))
    {
        return rztest::ReceiveFrom(m_radioSocket, within);
    }
    void RadioSends(const char* hex)
    {
        rztest::SendTo(m_radioSocket, Hex(hex), "192.168.10.2", 3005);
    }

    rztest::CNetnsLink m_link;
    int m_radioSocket = -1;
};

const char* const kConnectRequest = "7E 03 00 FE 20 10 00 00 00 0C 60 E2";
const char* const kEndOfLinkTo20 = "7E 03 00 00 20 10 00 00 00 14 F9 08 02 CB 00 01 00 00 66 03";
const char* const kCloseTo20 = "7E 03 00 FB 20 10 00 00 00 0C 60 E5";

} // namespace

TEST_F(StationLinkTest, CancelEndsATestAgainstASilentRadioAtOnceAndTheWindowStaysResponsive)
{
    CWindowThreadIn inToolNamespace(m_link.Tool());
    ASSERT_TRUE(inToolNamespace.Entered());
    ClickRow(0);
    Click(Page::kTestButton);
    CConnectionTestDialog* progress = m_page->ConnectionTest();
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_TRUE(progress->isModal());

    // The radio gets the connect request and stays silent; the dialog says where it stands.
    ASSERT_EQ(RadioReceives(), Hex(kConnectRequest));
    QTRY_COMPARE(progress->AttemptText(), QString("Attempt 1 of 6..."));
    EXPECT_EQ(progress->RadioText(),
              "Radio 10.0.0.100 (subnet 10) behind the adapter 192.168.10.2");
    EXPECT_EQ(progress->RouteText(), "Route 10.0.0.0/8 set");

    // Meanwhile the window goes on: the service starts and the Start button shows it.
    m_systemd.SetActiveState(kUnit, "active");
    QTRY_VERIFY(m_window->IsRunning());
    EXPECT_EQ(m_window->StartButton()->text(), "Stop");
    ASSERT_TRUE(progress->IsRunning());

    // Cancel ends the attempt at once, long before its second of waiting is over; the socket
    // goes, saying end-of-link and close, and no message follows.
    QElapsedTimer cancelled;
    cancelled.start();
    QTest::mouseClick(progress->CancelButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(m_page->ConnectionTest() == nullptr, 200);
    EXPECT_LT(cancelled.elapsed(), 200);
    auto received = RadioReceives();
    while (received == Hex(kConnectRequest)) // a later attempt's, on a slow machine
        received = RadioReceives();
    EXPECT_EQ(received, Hex(kEndOfLinkTo20));
    EXPECT_EQ(RadioReceives(), Hex(kCloseTo20));
    EXPECT_EQ(RadioReceives(std::chrono::milliseconds(200)), std::nullopt);
}

TEST_F(StationLinkTest, TheOutcomeOfATestIsShownAsTheProcedureEnds)
{
    CWindowThreadIn inToolNamespace(m_link.Tool());
    ASSERT_TRUE(inToolNamespace.Entered());
    connection_test::COptions quick;
    quick.pause = std::chrono::milliseconds(10);
    quick.answerWaitMs = 30;
    quick.queryWaitMs = 2000;
    m_page->SetTestOptions(quick);
    ClickRow(0);

    // A silent radio: six attempts, then 10012 as a message of the application.
    {
        CMessageBoxAnswerer answerer;
        Click(Page::kTestButton);
        QTRY_COMPARE_WITH_TIMEOUT(answerer.Count(), 1, 10000);
        EXPECT_EQ(answerer.Texts()[0], "Failed to connect");
        EXPECT_EQ(answerer.Icons()[0], QMessageBox::Critical);
        EXPECT_EQ(answerer.Titles()[0], QGuiApplication::applicationDisplayName());
    }
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(RadioReceives(), Hex(kConnectRequest)) << i;
    ASSERT_EQ(RadioReceives(), Hex(kEndOfLinkTo20));
    ASSERT_EQ(RadioReceives(), Hex(kCloseTo20));

    // A radio that accepts and confirms: 10024 with the information icon.
    quick.answerWaitMs = 2000;
    m_page->SetTestOptions(quick);
    CMessageBoxAnswerer answerer;
    Click(Page::kTestButton);
    ASSERT_EQ(RadioReceives(), Hex(kConnectRequest));
    RadioSends("7E 03 00 FD 10 20 00 00 00 0C 70 D3");
    ASSERT_EQ(RadioReceives(),
              Hex("7E 03 00 00 20 10 00 00 00 18 FE FE 02 C9 10 05 00 02 00 01 01 01 4F 03"));
    RadioSends("7E 03 00 00 10 20 00 00 00 14 06 FA 02 C9 80 01 00 00 E8 03");
    QTRY_COMPARE_WITH_TIMEOUT(answerer.Count(), 1, 10000);
    EXPECT_EQ(answerer.Texts()[0], "Connected successfully");
    EXPECT_EQ(answerer.Icons()[0], QMessageBox::Information);
}
