// The Dispatch Station Settings page in the real main window, driven by keys and clicks.
#include "NetnsLink.h"
#include "WidgetTestSupport.h"
#include "app/RaviraZazuDlg.h"
#include "config/GatewayConfigDoc.h"
#include "config/XNode.h"
#include "lang/Language.h"
#include "model/StationSettings.h"
#include "pages/ConnectionTestDialog.h"
#include "pages/DSSETDialog.h"
#include "pages/DlgPageFrame.h"
#include "ui/LanguageTexts.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

using rztest::Hex;
using rztest::MessagesOf;
using Page = CDSSETDialog;

// Failures print texts as texts.
void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace
{

// A Station element as the gateway writes it.
std::wstring Station(const std::wstring& guid, const std::wstring& name, const std::wstring& ip,
                     const std::wstring& pseudoId, const std::wstring& play = L"",
                     const std::wstring& record = L"")
{
    return L"<Station><Used>TRUE</Used><GUID>" + guid + L"</GUID><Name>" + name +
           L"</Name><IPAddress>" + ip + L"</IPAddress><PseudoID>" + pseudoId +
           L"</PseudoID><UseFrontMic>0</UseFrontMic><IsData>0</IsData><AudioPlay>" + play +
           L"</AudioPlay><AudioRecord>" + record +
           L"</AudioRecord><Volum><RecordVolum>3</RecordVolum><PlaybackVolum>4</PlaybackVolum>"
           L"</Volum></Station>";
}

const std::initializer_list<int> kListButtons = {Page::kAddButton, Page::kChangeButton,
                                                 Page::kRemoveButton, Page::kTestButton};
// The entry's alias, pseudo ID and IP.
const std::initializer_list<int> kEntry = {Page::kAliasEdit, Page::kPseudoIdEdit, Page::kIpBox};
// GPS Dispatch Station, Activate Microphone, Speaker and Microphone.
const std::initializer_list<int> kKindControls = {Page::kGpsCheck, Page::kFrontMicCheck,
                                                  Page::kSpeakerList, Page::kMicrophoneList};

// The real main window with the Dispatch Station Settings page open.
class StationPageTest : public rztest::WindowTest
{
protected:
    // Opens it on a document with these stations, or on the sample when there are none.
    void Open(const std::wstring& stations = {})
    {
        if (!stations.empty())
            rztest::WriteBytes(DocumentPath(),
                               rztest::Utf16Document(
                                   L"<MXRGateways><GatewayConfig><Language>English</Language>"
                                   L"<QuorixStations><Stations>" +
                                   stations +
                                   L"</Stations></QuorixStations></GatewayConfig></MXRGateways>"));
        ASSERT_NO_FATAL_FAILURE(OpenWindow());
        m_window->SelectPage(1);
        m_page = static_cast<Page*>(static_cast<CDlgPageFrame*>(m_window->Page(1))->HostedPage());
        ASSERT_TRUE(m_page->IsCreated());
    }

    template <typename T = QWidget> T* Control(int id) const
    {
        return qobject_cast<T*>(FindControl(m_page, id));
    }
    QCheckBox* Box(int id) const { return Control<QCheckBox>(id); }
    QComboBox* Combo(int id) const { return Control<QComboBox>(id); }
    QLineEdit* Field(int id) const
    {
        return Combo(id) ? Combo(id)->lineEdit() : Control<QLineEdit>(id);
    }
    QTableView* List() const { return Control<QTableView>(Page::kStationList); }
    const auto& Stations() const { return m_page->Settings().Stations().Rows(); }

    // The enabled state of these controls, as 1s and 0s.
    std::string EnabledOf(std::initializer_list<int> ids) const
    {
        std::string state;
        for (int id : ids)
            state += Control(id)->isEnabled() ? '1' : '0';
        return state;
    }
    // Whether an entry is open, the main window's buttons are shown and the page tree and the
    // list can be used; then the list's buttons.
    std::string State() const
    {
        std::string state;
        for (bool on : {m_page->IsEditingEntry(), MainButtonsShown(),
                        m_window->PageTree()->isEnabled(), List()->isEnabled()})
            state += on ? '1' : '0';
        return state + ' ' + EnabledOf(kListButtons);
    }
    // A column's cells top to bottom (so the row count shows too), or a row's left to right.
    std::string Cells(int row, int column) const
    {
        QStringList cells;
        for (int at = 0; at < (row < 0 ? List()->model()->rowCount() : 3); ++at)
            cells << List()
                         ->model()
                         ->index(row < 0 ? at : row, row < 0 ? column : at)
                         .data()
                         .toString();
        return cells.join('|').toStdString();
    }
    std::string Column(int column) const { return Cells(-1, column); }
    std::string Row(int row) const { return Cells(row, -1); }
    // The texts of these fields, labels and buttons, joined by '|'.
    std::string Texts(std::initializer_list<int> ids) const
    {
        QStringList texts;
        for (int id : ids)
            texts << Control(id)->property(Combo(id) ? "currentText" : "text").toString();
        return texts.join('|').toStdString();
    }
    static QStringList Items(QComboBox* list)
    {
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->itemText(i);
        return items;
    }
    // The message boxes an action opens (waiting up to ms for the first), each as
    // "icon: text", answered with OK; their titles too, when asked for.

    void ClickRow(int row, Qt::KeyboardModifiers modifiers = {})
    {
        rztest::ClickRow(List(), row, modifiers);
    }
    void Click(int id) { QTest::mouseClick(Control(id), Qt::LeftButton); }
    void Key(int id, Qt::Key key) { QTest::keyClick(Field(id), key); }
    void Type(int fieldId, const QString& text) { rztest::TypeInto(Field(fieldId), text); }
    // Opens a new entry and types a station into it.
    void TypeStation(const QString& alias, const QString& pseudoId, const QString& ip)
    {
        Click(Page::kAddButton);
        Type(Page::kAliasEdit, alias);
        Type(Page::kPseudoIdEdit, pseudoId);
        Type(Page::kIpBox, ip);
    }

    Page* m_page = nullptr;
};

// The tool's adapter 192.168.10.2 (hardware address 00-11-0A-00-00-65) in a namespace of its
// own, linked to the radio's namespace, where the radio is played by a socket on
// 10.0.0.100:3005 that the test answers from, or not. During the test the window's thread is
// in the tool's namespace: a connection test started from it, and the programs that starts,
// live there too.
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
        ASSERT_NO_FATAL_FAILURE(Open(Station(L"66666666-AAAA-4BBB-8CCC-DDDDDDDDDDDD",
                                             L"Harbour Ops", L"192.168.10.2", L"101")));
        m_ownNs = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        const int ns = ::open(("/run/netns/" + m_link.Tool()).c_str(), O_RDONLY | O_CLOEXEC);
        m_entered = m_ownNs >= 0 && ns >= 0 && ::setns(ns, CLONE_NEWNET) == 0;
        if (ns >= 0)
            ::close(ns);
        ASSERT_TRUE(m_entered);
        ClickRow(0);
    }
    void TearDown() override
    {
        m_window.reset(); // ends a test that still runs
        if (m_entered)
            ::setns(m_ownNs, CLONE_NEWNET);
        for (int fd : {m_ownNs, m_radioSocket})
            if (fd >= 0)
                ::close(fd);
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
    int m_ownNs = -1;
    bool m_entered = false;
};

const char* const kConnectRequest = "7E 03 00 FE 20 10 00 00 00 0C 60 E2";
const char* const kEndOfLinkTo20 = "7E 03 00 00 20 10 00 00 00 14 F9 08 02 CB 00 01 00 00 66 03";
const char* const kCloseTo20 = "7E 03 00 FB 20 10 00 00 00 0C 60 E5";

} // namespace

TEST_F(StationPageTest, AnEmptyListShowsFiveBlankRowsOnlyAddAndTheTextsOfTheLanguage)
{
    ASSERT_NO_FATAL_FAILURE(
        Open(L"<Station><Type>Repeater</Type><Used>TRUE</Used><GUID>R-1</GUID></Station>"));
    const char* const headings[3] = {"Alias", "Pseudo ID", "IP"};
    const int widths[3] = {150, 100, 200};
    for (int column = 0; column < 3; ++column)
    {
        EXPECT_EQ(Column(column), "||||") << column;
        EXPECT_EQ(List()->model()->headerData(column, Qt::Horizontal).toString(), headings[column]);
        EXPECT_EQ(List()->columnWidth(column), widths[column]) << column;
    }
    EXPECT_EQ(EnabledOf(kListButtons), "1000");
    EXPECT_EQ(List()->model()->index(0, 0).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::Alignment(Qt::AlignCenter));
    EXPECT_EQ(List()->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(List()->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_TRUE(List()->showGrid());
    EXPECT_EQ(Texts({1054, 1053, Page::kQuickGpsCheck, Page::kEntrySaveButton,
                     Page::kEntryCancelButton, Page::kTestButton}),
              "Alias|Virtual IP|Quick GPS Station|Save|Cancel|Connection Test");
    EXPECT_FALSE(Control(Page::kEntrySaveButton)->isVisible());
    EXPECT_FALSE(Field(Page::kAliasEdit)->isEnabled());

    // A first station takes the first row; the list stays at five.
    TypeStation("Harbour Ops", "101", "192.168.11.101");
    Key(Page::kIpBox, Qt::Key_Return);
    EXPECT_EQ(Column(0), "Harbour Ops||||");
    EXPECT_EQ(Column(2), "192.168.11.101||||");

    // In German the entry's buttons take texts 1111 and 1112, not those of their own IDs
    // ("Übernehmen").
    lang::CLanguage::Instance().LoadFile(m_dir.File("tool/language/Deutsch.xml"),
                                         CGatewayConfigDoc::Instance(), ToolDir());
    ReapplyLanguageTexts();
    EXPECT_EQ(Texts({Page::kEntrySaveButton, Page::kEntryCancelButton, 1053, Page::kTestButton}),
              "Speichern|Abbrechen|Virtuelle IP|Verbindungstest");
}

TEST_F(StationPageTest, ASixthStationAddsARowAndRemovingItBringsBackFive)
{
    std::wstring stations;
    for (const std::wstring n : {L"1", L"2", L"3", L"4", L"5"})
        stations += Station(L"0000000" + n + L"-AAAA-4BBB-8CCC-DDDDDDDDDDDD", L"Desk " + n,
                            L"192.168.1" + n + L".101", L"10" + n);
    ASSERT_NO_FATAL_FAILURE(Open(stations));

    TypeStation("Desk 6", "106", "192.168.16.101");
    Key(Page::kAliasEdit, Qt::Key_Return);
    EXPECT_EQ(Column(0), "Desk 1|Desk 2|Desk 3|Desk 4|Desk 5|Desk 6");
    EXPECT_EQ(Row(5), "Desk 6|106|192.168.16.101");

    // Delete on the list removes the chosen row: five rows again, none of them blank.
    ClickRow(5);
    EXPECT_EQ(EnabledOf(kListButtons), "0111");
    QTest::keyClick(List(), Qt::Key_Delete);
    EXPECT_EQ(Column(0), "Desk 1|Desk 2|Desk 3|Desk 4|Desk 5");
    EXPECT_EQ(Stations().size(), 5u);
    EXPECT_EQ(Texts(kEntry), "||");
    EXPECT_EQ(EnabledOf(kListButtons), "1000");

    // Several rows at once: a blank row pads the list again.
    ClickRow(1);
    ClickRow(2, Qt::ShiftModifier);
    Click(Page::kRemoveButton);
    EXPECT_EQ(Column(0), "Desk 1|Desk 4|Desk 5||");
}

TEST_F(StationPageTest, TheEntryHidesTheMainButtonsEscapeCancelsItAndEnterSavesIt)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    // The sample lists two stations; the inactive one and the repeater slots are not shown.
    ASSERT_EQ(Column(0), "Harbour Ops|Fleet & GPS|||");
    ClickRow(0);
    EXPECT_EQ(Texts(kEntry), "Harbour Ops|101|192.168.11.101");
    EXPECT_TRUE(Box(Page::kFrontMicCheck)->isChecked());
    EXPECT_EQ(EnabledOf(kListButtons), "0111");
    // A blank row ends that: empty fields and boxes, and only Add.
    ClickRow(3);
    EXPECT_EQ(Texts(kEntry), "||");
    EXPECT_FALSE(Box(Page::kFrontMicCheck)->isChecked());
    EXPECT_EQ(EnabledOf(kListButtons), "1000");

    // A new entry: no alias, pseudo ID 0.
    Click(Page::kAddButton);
    EXPECT_EQ(State(), "1000 0001");
    EXPECT_TRUE(Control(Page::kEntrySaveButton)->isVisible());
    EXPECT_EQ(Field(Page::kAliasEdit)->text(), "");
    EXPECT_EQ(Field(Page::kPseudoIdEdit)->text(), "0");
    EXPECT_TRUE(Field(Page::kAliasEdit)->hasFocus());

    // Escape cancels: nothing added, the window as before (Escape did not reach its Close).
    Type(Page::kAliasEdit, "Night desk");
    Key(Page::kAliasEdit, Qt::Key_Escape);
    EXPECT_EQ(State(), "0111 1000");
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_EQ(Stations().size(), 2u);
    EXPECT_EQ(Field(Page::kPseudoIdEdit)->text(), "");

    // An IP that a station has already: 10004, and the entry stays open.
    TypeStation("Night desk", "104", "192.168.12.101");
    EXPECT_EQ(MessagesOf([&] { Key(Page::kAliasEdit, Qt::Key_Return); }),
              "critical: The IP already exists");
    // The window active again after the message box (the offscreen platform leaves it so).
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    EXPECT_TRUE(m_page->IsEditingEntry());

    // Enter saves; the main window's buttons come back.
    Type(Page::kIpBox, "192.168.14.101");
    Key(Page::kIpBox, Qt::Key_Return);
    EXPECT_EQ(State(), "0111 1000");
    EXPECT_EQ(Row(2), "Night desk|104|192.168.14.101");
    EXPECT_TRUE(Pending());

    // Change keeps the station's own IP and GUID; F2 on the list opens it.
    const std::wstring guid = Stations()[0].guid;
    ClickRow(0);
    QTest::keyClick(List(), Qt::Key_F2);
    EXPECT_EQ(State(), "1000 0001");
    Type(Page::kPseudoIdEdit, "1.x1"); // digits only
    Key(Page::kPseudoIdEdit, Qt::Key_Return);
    EXPECT_EQ(Row(0), "Harbour Ops|11|192.168.11.101");
    EXPECT_EQ(Stations()[0].guid, guid);
    EXPECT_EQ(EnabledOf(kListButtons), "0111"); // the changed row stays chosen

    // A click on the page's background is like a blank row.
    const QPoint background(m_page->width() - 3, 3);
    ASSERT_EQ(m_page->childAt(background), nullptr);
    QTest::mouseClick(m_page, Qt::LeftButton, {}, background);
    EXPECT_EQ(EnabledOf(kListButtons), "1000");
    EXPECT_EQ(Texts(kEntry), "||");

    // Escape in a change puts the station back as it is kept.
    ClickRow(0);
    Click(Page::kChangeButton);
    Type(Page::kAliasEdit, "Renamed");
    Key(Page::kAliasEdit, Qt::Key_Escape);
    EXPECT_EQ(Texts(kEntry), "Harbour Ops|11|192.168.11.101");
    EXPECT_EQ(Column(0), "Harbour Ops|Fleet & GPS|Night desk||");
    EXPECT_TRUE(MainButtonsShown());
}

TEST_F(StationPageTest, ALongAliasIsShownButRefusedAndATestNeedsAllValuesAndAnAdapterWithTheIp)
{
    // A station whose alias is longer than the field takes; stations whose IP no adapter of
    // this computer carries (a documentation address), one of them without a pseudo ID.
    const std::wstring alias = L"An alias of thirty-three letters!";
    ASSERT_EQ(alias.size(), 33u);
    ASSERT_NO_FATAL_FAILURE(
        Open(Station(L"11111111-AAAA-4BBB-8CCC-DDDDDDDDDDDD", alias, L"10.1.1.2", L"7") +
             Station(L"44444444-AAAA-4BBB-8CCC-DDDDDDDDDDDD", L"No ID", L"203.0.113.7", L"") +
             Station(L"55555555-AAAA-4BBB-8CCC-DDDDDDDDDDDD", L"Far", L"203.0.113.8", L"9")));
    EXPECT_EQ(Column(0), "An alias of thirty-three letters!|No ID|Far||");
    ClickRow(0);
    EXPECT_EQ(Field(Page::kAliasEdit)->text().toStdWString(), alias); // not cut
    Click(Page::kChangeButton);
    EXPECT_EQ(MessagesOf([&] { Click(Page::kEntrySaveButton); }),
              "critical: The value is required");
    EXPECT_TRUE(m_page->IsEditingEntry());
    EXPECT_EQ(Stations()[0].name, alias);

    // Typed or pasted, the field stops at sixteen characters.
    Type(Page::kAliasEdit, "Seventeen letters");
    EXPECT_EQ(Field(Page::kAliasEdit)->text(), "Seventeen letter");
    Field(Page::kAliasEdit)->clear();
    QApplication::clipboard()->setText("A pasted alias of thirty letters");
    QTest::keyClick(Field(Page::kAliasEdit), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Field(Page::kAliasEdit)->text(), "A pasted alias o");
    Click(Page::kEntrySaveButton);
    EXPECT_EQ(Column(0), "A pasted alias o|No ID|Far||");

    // A connection test needs a pseudo ID.
    ClickRow(1);
    EXPECT_EQ(MessagesOf([&] { Click(Page::kTestButton); }), "critical: The value is required");
    EXPECT_EQ(m_page->ConnectionTest(), nullptr);
    // No adapter carries the address: the test ends before any route or socket, with a
    // message without a caption.
    ClickRow(2);
    QStringList titles;
    EXPECT_EQ(MessagesOf([&] { Click(Page::kTestButton); }, 5000, &titles),
              "critical: Failed to find the station!");
    EXPECT_EQ(titles, QStringList{""});
    EXPECT_EQ(m_page->ConnectionTest(), nullptr);
}

TEST_F(StationPageTest, TheGpsBoxesDecideWhichControlsCanBeUsed)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    // A GPS station opened for a change has no sound.
    ClickRow(1);
    EXPECT_TRUE(Box(Page::kGpsCheck)->isChecked());
    Click(Page::kChangeButton);
    EXPECT_EQ(EnabledOf(kKindControls), "1000");
    EXPECT_TRUE(Box(Page::kQuickGpsCheck)->isEnabled());
    EXPECT_FALSE(Pending());

    // Quick GPS takes the GPS box away too; each click is a change.
    Click(Page::kQuickGpsCheck);
    EXPECT_EQ(EnabledOf(kKindControls), "0000");
    EXPECT_TRUE(Pending());
    Click(Page::kQuickGpsCheck);
    EXPECT_EQ(EnabledOf(kKindControls), "1000"); // GPS is still ticked
    Click(Page::kGpsCheck);
    EXPECT_EQ(EnabledOf(kKindControls), "1111");
    Click(Page::kGpsCheck);
    EXPECT_EQ(EnabledOf(kKindControls), "1000");

    // Both ticked: quick GPS is stored. Out of the entry, every field is off again.
    Click(Page::kQuickGpsCheck);
    Click(Page::kEntrySaveButton);
    EXPECT_EQ(Stations()[1].isData, L"2");
    EXPECT_EQ(EnabledOf(kKindControls), "0000");
    EXPECT_FALSE(Box(Page::kQuickGpsCheck)->isEnabled());

    // A voice station opened for a change offers everything.
    ClickRow(0);
    Click(Page::kChangeButton);
    EXPECT_EQ(EnabledOf(kKindControls), "1111");
    Click(Page::kFrontMicCheck);
    Click(Page::kEntrySaveButton);
    EXPECT_EQ(Stations()[0].useFrontMic, L"0");

    // A new entry starts as a voice station whatever was shown before.
    ClickRow(1);
    ClickRow(3);
    Click(Page::kAddButton);
    EXPECT_EQ(EnabledOf(kKindControls), "1111");
    EXPECT_FALSE(Box(Page::kQuickGpsCheck)->isChecked());
}

TEST_F(StationPageTest, TheIpBoxListsTheAdaptersAndTypesAnAddress)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    Click(Page::kAddButton);
    QComboBox* box = Combo(Page::kIpBox);
    EXPECT_FALSE(Pending());

    // Dropped down, it lists every adapter's address once, in order, and never 0.0.0.0;
    // choosing one is a change.
    box->showPopup();
    const QStringList items = Items(box);
    EXPECT_EQ(items.count("127.0.0.1"), 1) << items.join(" ").toStdString();
    EXPECT_FALSE(items.contains("0.0.0.0"));
    EXPECT_TRUE(std::is_sorted(items.begin(), items.end()));
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

TEST_F(StationPageTest, TheSoundListsKeepAStoredDeviceThatIsGoneAndAreReadAgainWhenOpened)
{
    // Sound devices of the test's own (null devices with hints), and a station whose speaker
    // is no longer among them.
    rztest::CScopedEnv home{"HOME", m_dir.Path()};
    std::string devices = "pcm.rz_mic {\n type null\n hint.description \"Desk "
                          "Microphone|IOIDInput\"\n}\n"
                          "pcm.rz_speaker {\n type null\n hint.description \"Wall "
                          "Speaker|IOIDOutput\"\n}\n";
    rztest::WriteBytes(m_dir.File(".asoundrc"), devices);
    ASSERT_NO_FATAL_FAILURE(
        Open(Station(L"22222222-AAAA-4BBB-8CCC-DDDDDDDDDDDD", L"Desk", L"10.1.1.2", L"7",
                     L"Old Speaker", L"desk microphone") +
             Station(L"33333333-AAAA-4BBB-8CCC-DDDDDDDDDDDD", L"Bare", L"10.1.1.3", L"8")));

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
    rztest::WriteBytes(m_dir.File(".asoundrc"),
                       devices + "pcm.rz_ceiling {\n type null\n hint.description \"Ceiling "
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
    EXPECT_EQ(Stations()[0].audioPlay, L"Old Speaker");
    EXPECT_EQ(Stations()[0].audioRecord, L"Desk Microphone");

    // A station without a speaker keeps the one shown; another choice is saved with it.
    ClickRow(1);
    EXPECT_EQ(speaker->currentText(), "Old Speaker");
    Click(Page::kChangeButton);
    speaker->showPopup();
    speaker->view()->setCurrentIndex(
        speaker->model()->index(static_cast<int>(Items(speaker).indexOf("Ceiling Speaker")), 0));
    QTest::keyClick(speaker->view(), Qt::Key_Return);
    Click(Page::kEntrySaveButton);
    EXPECT_EQ(Stations()[1].audioPlay, L"Ceiling Speaker");
}

TEST_F(StationPageTest, SavingFromTheWindowWritesTheStationsAsTheModelDoes)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    // A removal is a change to save.
    ClickRow(0);
    EXPECT_FALSE(Pending());
    Click(Page::kRemoveButton);
    EXPECT_TRUE(Pending());
    TypeStation("Night desk", "104", "192.168.14.101");
    Click(Page::kGpsCheck);
    Click(Page::kEntrySaveButton);
    EXPECT_EQ(
        MessagesOf([&] { QTest::mouseClick(FindControl(m_window.get(), 1), Qt::LeftButton); }),
        "warning: Save Successful!"); // the window's Save

    CGatewayConfigDoc reread;
    ASSERT_TRUE(reread.Load(DocumentPath()));
    CStationSettings written;
    written.Load(reread, {ToolDir()});
    EXPECT_EQ(written.Stations().Rows(), Stations());
    ASSERT_EQ(written.Stations().Count(), 2u);
    EXPECT_EQ(written.Stations().Rows()[0].name, L"Fleet & GPS");
    const StationInfo& added = written.Stations().Rows()[1];
    EXPECT_EQ(added.isData, L"1");
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$")
                    .match(QString::fromStdWString(added.guid))
                    .hasMatch());
    // The repeater slots stay; the inactive station and the removed one are gone.
    ASSERT_NE(reread.Stations(), nullptr);
    const auto stations = reread.Stations()->GetChilds();
    EXPECT_EQ(stations.size(), 6u);
    EXPECT_EQ(std::count_if(stations.begin(), stations.end(),
                            [](const RUROR::XNode* child)
                            {
                                const wchar_t* type = child->GetChildValue(L"Type");
                                return type != nullptr && std::wstring(type) == L"Repeater";
                            }),
              4);
}

TEST_F(StationLinkTest, CancelEndsATestAgainstASilentRadioAtOnceAndTheWindowStaysResponsive)
{
    Click(Page::kTestButton);
    CConnectionTestDialog* progress = m_page->ConnectionTest();
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_TRUE(progress->isModal());

    // The radio gets the connect request and stays silent; the dialog says where it stands.
    ASSERT_EQ(RadioReceives(), Hex(kConnectRequest));
    RZ_TRY_EQ(progress->AttemptText(), QString("Attempt 1 of 6..."), 5000);
    EXPECT_EQ(progress->RadioText(),
              "Radio 10.0.0.100 (subnet 10) behind the adapter 192.168.10.2");
    EXPECT_EQ(progress->RouteText(), "Route 10.0.0.0/8 set");

    // Meanwhile the window goes on: the service starts and the Start button shows it.
    m_systemd.SetActiveState(kUnit, "active");
    RZ_TRY_TRUE(m_window->IsRunning(), 5000);
    EXPECT_EQ(m_window->StartButton()->text(), "Stop");
    ASSERT_TRUE(progress->IsRunning());

    // Cancel ends the attempt at once, long before its second of waiting is over; the socket
    // goes, saying end-of-link and close, and no message follows.
    QElapsedTimer cancelled;
    cancelled.start();
    QTest::mouseClick(progress->CancelButton(), Qt::LeftButton);
    RZ_TRY_TRUE(m_page->ConnectionTest() == nullptr, 200);
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
    connection_test::COptions quick;
    quick.pause = std::chrono::milliseconds(10);
    quick.answerWaitMs = 30;
    quick.queryWaitMs = 2000;
    m_page->SetTestOptions(quick);

    // A silent radio: six attempts, then 10012 as a message of the application.
    QStringList titles;
    EXPECT_EQ(MessagesOf([&] { Click(Page::kTestButton); }, 10000, &titles),
              "critical: Failed to connect");
    EXPECT_EQ(titles, QStringList{QGuiApplication::applicationDisplayName()});
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(RadioReceives(), Hex(kConnectRequest)) << i;
    ASSERT_EQ(RadioReceives(), Hex(kEndOfLinkTo20));
    ASSERT_EQ(RadioReceives(), Hex(kCloseTo20));

    // A radio that accepts and confirms: 10024 with the information icon.
    quick.answerWaitMs = 2000;
    m_page->SetTestOptions(quick);
    const auto accepting = [&]
    {
        Click(Page::kTestButton);
        ASSERT_EQ(RadioReceives(), Hex(kConnectRequest));
        RadioSends("7E 03 00 FD 10 20 00 00 00 0C 70 D3");
        ASSERT_EQ(RadioReceives(),
                  Hex("7E 03 00 00 20 10 00 00 00 18 FE FE 02 C9 10 05 00 02 00 01 01 01 4F 03"));
        RadioSends("7E 03 00 00 10 20 00 00 00 14 06 FA 02 C9 80 01 00 00 E8 03");
    };
    EXPECT_EQ(MessagesOf(accepting, 10000), "information: Connected successfully");
}
