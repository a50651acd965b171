#include "WidgetTestSupport.h"
#include "app/RaviraZazuDlg.h"
#include "config/GatewayConfigDoc.h"
#include "lang/Language.h"
#include "model/RepeaterSettings.h"
#include "pages/DlgRepeaterFrame.h"
#include "pages/RepeaterDlg.h"
#include "ui/LanguageTexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using rztest::MessagesOf;
using Ids = CRepeaterDlg;

namespace
{

constexpr int kSave = 1051;   // the frame's Save
constexpr int kCancel = 1052; // and Cancel

// The controls of slot 1: alias, subnet ID, Quick GPS, GPS Data Repeater, IP Site Channel,
// Encrypt Slot, RTP Type.
const std::initializer_list<int> kSlot1 = {1128, 1132, 1230, 1129, 1186, 1232, 1234};
const std::initializer_list<int> kSlot2 = {1130, 1133, 1231, 1131, 1187, 1235, 1236};
const std::initializer_list<int> kListButtons = {Ids::kAddButton, Ids::kRemoveButton,
                                                 Ids::kChangeButton};

// The real main window with the repeater page open.
class RepeaterDlgTest : public rztest::WindowTest
{
protected:
    // Opens it on the sample, or first writes the ini file's RTP types or the document.
    void Open(const char* rtpTypes = nullptr, const wchar_t* document = nullptr)
    {
        if (rtpTypes != nullptr)
            rztest::WriteBytes(ToolDir() + "RaviraZazu_Gateway.ini", rtpTypes);
        if (document != nullptr)
            rztest::WriteBytes(DocumentPath(), rztest::Utf16Document(document));
        // Tall enough for the whole page: clicks land where the controls are shown.
        ASSERT_NO_FATAL_FAILURE(OpenWindow(QSize(1100, 1100)));
        m_window->SelectPage(2);
        m_frame = static_cast<CDlgRepeaterFrame*>(m_window->Page(2));
        m_page = static_cast<CRepeaterDlg*>(m_frame->Page());
        ASSERT_NE(m_page, nullptr);
        ASSERT_TRUE(m_page->isVisible());
    }

    // A control of the repeater frame or its page (other pages use the same IDs).
    template <typename T = QWidget> T* Control(int id) const
    {
        T* control = qobject_cast<T*>(FindControl(m_frame, id));
        EXPECT_NE(control, nullptr) << "no control " << id;
        return control;
    }
    QTableView* List() const { return Control<QTableView>(Ids::kRepeaterList); }
    const auto& Repeaters() const { return m_page->Settings().Repeaters().Rows(); }
    // What these controls show, joined by '|': the text of a field, a list, a label or a
    // button, 1 or 0 for a check box.
    std::string Shown(std::initializer_list<int> ids) const
    {
        QStringList shown;
        for (int id : ids)
        {
            QWidget* control = Control(id);
            if (auto* box = qobject_cast<QCheckBox*>(control))
                shown << (box->isChecked() ? "1" : "0");
            else
                shown << control
                             ->property(qobject_cast<QComboBox*>(control) ? "currentText" : "text")
                             .toString();
        }
        return shown.join('|').toStdString();
    }
    // The enabled state of these controls, as 1s and 0s.
    std::string EnabledOf(std::initializer_list<int> ids) const
    {
        std::string state;
        for (int id : ids)
            state += Control(id)->isEnabled() ? '1' : '0';
        return state;
    }
    // Whether an edit is open, Save and Cancel of the frame and Start, Save and Close of the
    // main window are shown, and the page tree and the list can be used.
    std::string Buttons() const
    {
        std::string state;
        for (bool on : {m_page->InEditMode(), Control(kSave)->isVisible(),
                        Control(kCancel)->isVisible(), FindControl(m_window.get(), 3)->isVisible(),
                        MainButtonsShown(), m_window->PageTree()->isEnabled(), List()->isEnabled()})
            state += on ? '1' : '0';
        return state;
    }
    // A column's cells, top to bottom (the row count shows in it), joined by '|'.
    std::string Column(int column) const
    {
        QStringList cells;
        for (int row = 0; row < List()->model()->rowCount(); ++row)
            cells << List()->model()->index(row, column).data().toString();
        return cells.join('|').toStdString();
    }
    // A click on a button, or on a check box's indicator (a check box is wider than the part
    // that takes clicks).
    void Click(int id)
    {
        QWidget* control = Control(id);
        QPoint at = control->rect().center();
        if (auto* box = qobject_cast<QCheckBox*>(control))
        {
            QStyleOptionButton option;
            option.initFrom(box);
            at = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).center();
        }
        QTest::mouseClick(control, Qt::LeftButton, {}, at);
    }
    void ClickRow(int row) { rztest::ClickRow(List(), row); }
    void Type(int id, const QString& text) { rztest::TypeInto(Control<QLineEdit>(id), text); }

    CDlgRepeaterFrame* m_frame = nullptr;
    CRepeaterDlg* m_page = nullptr;
};

// The children of an element as "name=value", nested ones in braces.
std::wstring Flat(const RUROR::XNode* node)
{
    std::wstring text;
    for (const RUROR::XNode* child : node->GetChilds())
    {
        text += std::wstring(child->name.View()) + L"=" + std::wstring(child->value.View());
        if (!child->GetChilds().empty())
            text += L"{" + Flat(child) + L"}";
        text += L";";
    }
    return text;
}

// The text with the new repeater's GUIDs put as <repeater>, <slot 1> and <slot 2>.
std::wstring Named(std::wstring text, const RepeaterInfo& added)
{
    const std::pair<std::wstring_view, std::wstring> names[] = {{added.repeaterGuid, L"<repeater>"},
                                                                {added.slots[0].guid, L"<slot 1>"},
                                                                {added.slots[1].guid, L"<slot 2>"}};
    for (const auto& [guid, name] : names)
        for (size_t at = text.find(guid); !guid.empty() && at != std::wstring::npos;
             at = text.find(guid, at))
            text.replace(at, guid.size(), name);
    return text;
}

} // namespace

TEST_F(RepeaterDlgTest, TheListAndTheFieldsShowTheDocument)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(Column(0), "1001|1002||||");
    EXPECT_EQ(Column(1), "Hill site|Quay||||");
    EXPECT_EQ(Column(2), "1|2||||");
    EXPECT_EQ(List()->model()->index(0, 1).data(Qt::TextAlignmentRole).toInt(), Qt::AlignCenter);
    const int widths[3] = {130, 183, 130};
    const char* headings[3] = {"Radio ID", "Alias", "IP Site ID"};
    for (int column = 0; column < 3; ++column)
    {
        EXPECT_EQ(List()->columnWidth(column), widths[column]);
        EXPECT_EQ(List()->model()->headerData(column, Qt::Horizontal).toString(), headings[column]);
    }
    EXPECT_EQ(Shown({1147, 1176, 1155, 1185}), "30009|30010|30012|60");
    EXPECT_EQ(Shown({1146, 1184, 1124, Ids::kPortsHeader, Ids::kRepeatersHeader}),
              "RCPPort1|Transmit Timeout|Radio ID|Port Settings|Repeaters");
    // Browsing: only Add, and no repeater field is open.
    EXPECT_EQ(EnabledOf(kListButtons), "100");
    EXPECT_EQ(EnabledOf({Ids::kRadioIdEdit, Ids::kAliasEdit, 1140, 1128, 1234}), "00000");

    // Choosing a row shows its repeater, RTP types by their labels from the ini file: slot 1
    // encrypted, slot 2 a GPS data repeater and an IP site channel, not quick GPS.
    ClickRow(0);
    EXPECT_EQ(EnabledOf(kListButtons), "011");
    EXPECT_EQ(Shown({Ids::kRadioIdEdit, Ids::kAliasEdit, Ids::kIpSiteIdEdit, Ids::kPseudoIdEdit,
                     1128, 1232, 1234, 1133, 1131, 1231, 1187}),
              "1001|Hill site|1|201|Hill TS1|1|AES-256|11|1|0|1");
    EXPECT_EQ(Control<QComboBox>(1234)->count(), 4);
    // Slot 2 of the second is unused and quick GPS.
    ClickRow(1);
    EXPECT_EQ(Shown({1141, 1231, 1236}), "0|1|Basic Privacy");
    ClickRow(3); // a blank row is no repeater
    EXPECT_EQ(EnabledOf(kListButtons), "100");

    // A click on a group's header folds it; the group below moves up.
    auto* repeaters = Control(Ids::kRepeatersHeader);
    const int below = repeaters->y();
    Click(Ids::kPortsHeader);
    EXPECT_FALSE(m_page->IsGroupOpen(0));
    EXPECT_FALSE(Control(1147)->isVisible());
    EXPECT_LT(repeaters->y(), below);
    Click(Ids::kPortsHeader);
    EXPECT_TRUE(Control(1147)->isVisible());
    EXPECT_EQ(repeaters->y(), below);
    Click(Ids::kRepeatersHeader);
    EXPECT_FALSE(List()->isVisible());
    Click(Ids::kRepeatersHeader);
    EXPECT_TRUE(List()->isVisible());

    // Another language renames labels and headers, never the list's headings.
    lang::CLanguage::Instance().LoadFile(m_dir.File("tool/language/Deutsch.xml"),
                                         CGatewayConfigDoc::Instance(), m_dir.File("tool/"));
    ReapplyLanguageTexts();
    EXPECT_EQ(Shown({1124, Ids::kPortsHeader}), "Funk-ID|Port-Einstellungen");
    EXPECT_EQ(List()->model()->headerData(0, Qt::Horizontal).toString(), "Radio ID");
}

TEST_F(RepeaterDlgTest, TheCheckBoxesOfASlotEnableItsControls)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    ClickRow(0);
    Click(Ids::kChangeButton);
    ASSERT_TRUE(m_page->InEditMode());
    // A repeater keeps its Radio ID: it stays disabled while the rest opens.
    EXPECT_EQ(EnabledOf({Ids::kRadioIdEdit, Ids::kAliasEdit, Ids::kIpSiteIdEdit, Ids::kPseudoIdEdit,
                         1140}),
              "01111");
    // Slot 1: in use, encrypted; slot 2: a GPS data repeater.
    EXPECT_EQ(EnabledOf(kSlot1), "1111111");
    EXPECT_EQ(EnabledOf(kSlot2), "1111000");

    // Each click, then what slot 1 and slot 2 enable. Quick GPS turns GPS Data Repeater, IP
    // Site Channel, Encrypt Slot and RTP Type off; RTP Type is on only while the slot is
    // encrypted; a cleared Slot1 or Slot2 turns every other control of its slot off; GPS
    // Data Repeater unchecked opens the rest of slot 2.
    const std::tuple<int, const char*, const char*> clicks[] = {
        {1230, "1110000", "1111000"}, {1230, "1111111", "1111000"}, {1232, "1111110", "1111000"},
        {1129, "1111000", "1111000"}, {1129, "1111110", "1111000"}, {1232, "1111111", "1111000"},
        {1140, "0000000", "1111000"}, {1140, "1111111", "1111000"}, {1131, "1111111", "1111110"},
        {1141, "1111111", "0000000"}};
    for (const auto& [id, slot1, slot2] : clicks)
    {
        Click(id);
        EXPECT_EQ(EnabledOf(kSlot1), slot1) << id;
        EXPECT_EQ(EnabledOf(kSlot2), slot2) << id;
        EXPECT_TRUE(Control(1140)->isEnabled());
    }

    // Cancel drops what was clicked: the fields show the repeater as it is.
    Click(kCancel);
    EXPECT_FALSE(m_page->InEditMode());
    EXPECT_EQ(Shown({1141, 1131}), "1|1");
    EXPECT_EQ(EnabledOf(kListButtons), "011");
    EXPECT_EQ(EnabledOf(kSlot1), "0000000");
    EXPECT_EQ(Repeaters()[0].slots[1].isData, 1);
    EXPECT_FALSE(Pending());
    // A kept change is reported, even one that changed nothing.
    Click(Ids::kChangeButton);
    Click(kSave);
    EXPECT_TRUE(Pending());
}

TEST_F(RepeaterDlgTest, AnEditShowsTheFramesButtonsHidesTheMainWindowsAndEndsWithCancelOrEscape)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(Buttons(), "0001111");
    EXPECT_EQ(m_page->geometry(), m_frame->rect());

    // Add after a repeater was shown: its Quick GPS, IP Site Channel and RTP Type stay.
    ClickRow(0);
    ClickRow(3);
    Click(Ids::kAddButton);
    EXPECT_EQ(m_page->EditMode(), CRepeaterDlg::Mode::Adding);
    EXPECT_EQ(Shown({1234, 1187, 1131, 1231}), "AES-256|1|0|0");
    EXPECT_EQ(Buttons(), "1110000");
    EXPECT_LT(m_page->geometry().bottom(), Control(kSave)->geometry().top());
    EXPECT_EQ(EnabledOf(kListButtons), "000");
    // What Add proposes.
    EXPECT_TRUE(Control(Ids::kRadioIdEdit)->isEnabled());
    EXPECT_EQ(Shown({Ids::kRadioIdEdit, Ids::kAliasEdit, Ids::kIpSiteIdEdit, Ids::kPseudoIdEdit,
                     1140, 1141, 1128, 1130, 1132, 1133, 1232}),
              "|Repeater1|1|0|1|1|Slot1|Slot2|10|10|0");
    EXPECT_EQ(EnabledOf(kSlot1), "1111110");
    EXPECT_EQ(EnabledOf(kSlot2), "1111110");

    Click(kCancel);
    EXPECT_EQ(Buttons(), "0001111");
    EXPECT_EQ(m_page->geometry(), m_frame->rect());
    EXPECT_EQ(EnabledOf(kListButtons), "100");
    EXPECT_EQ(Repeaters().size(), 2u);
    EXPECT_FALSE(Pending());

    // Escape ends a change as Cancel does, without closing the tool.
    ClickRow(1);
    Click(Ids::kChangeButton);
    Type(Ids::kAliasEdit, "Quay North");
    QTest::keyClick(Control(Ids::kAliasEdit), Qt::Key_Escape);
    EXPECT_EQ(Buttons(), "0001111");
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_EQ(Shown({Ids::kAliasEdit}), "Quay");
    EXPECT_EQ(Column(1), "Hill site|Quay||||");
    // The same when the key reaches the window itself.
    Click(Ids::kChangeButton);
    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    EXPECT_FALSE(m_page->InEditMode());
    EXPECT_TRUE(m_window->isVisible());
}

TEST_F(RepeaterDlgTest, AddRefusesWhatIsMissingAndATakenRadioIdAndStaysOpen)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    Click(Ids::kAddButton);
    EXPECT_EQ(MessagesOf([&] { Click(kSave); }), "critical: The value is required");
    EXPECT_TRUE(m_page->InEditMode());
    Type(Ids::kRadioIdEdit, "1001");
    EXPECT_EQ(MessagesOf([&] { Click(kSave); }), "critical: The Radio ID already exists");
    EXPECT_TRUE(m_page->InEditMode());
    EXPECT_EQ(Shown({Ids::kRadioIdEdit}), "1001");
    EXPECT_EQ(Repeaters().size(), 2u);
    // Typing a Radio ID or an IP Site ID reports no change by itself; a subnet ID does.
    Type(Ids::kIpSiteIdEdit, "4");
    EXPECT_FALSE(Pending());
    Type(1132, "12");
    EXPECT_TRUE(Pending());

    // Enter is the edit's Save.
    Type(Ids::kRadioIdEdit, "1003");
    QTest::keyClick(Control(Ids::kRadioIdEdit), Qt::Key_Return);
    EXPECT_EQ(Buttons(), "0001111");
    EXPECT_EQ(Column(0), "1001|1002|1003|||");
    EXPECT_EQ(Column(1), "Hill site|Quay|Repeater1|||");
    EXPECT_EQ(Column(2), "1|2|4|||");
    EXPECT_EQ(EnabledOf(kListButtons), "100");

    // A change keeps the Radio ID; its new alias shows in its row.
    ClickRow(2);
    Click(Ids::kChangeButton);
    Type(Ids::kAliasEdit, "Pier");
    Click(kSave);
    EXPECT_EQ(Column(0), "1001|1002|1003|||");
    EXPECT_EQ(Column(1), "Hill site|Quay|Pier|||");
    EXPECT_EQ(EnabledOf(kListButtons), "011");

    // Remove: the first row is chosen afterwards.
    ClickRow(0);
    Click(Ids::kRemoveButton);
    EXPECT_EQ(Column(0), "1002|1003||||");
    EXPECT_EQ(Shown({Ids::kRadioIdEdit}), "1002");
    EXPECT_EQ(Repeaters().size(), 2u);
}

TEST_F(RepeaterDlgTest, AStoredTypeTheIniNoLongerListsIsShownAndKept)
{
    // RTP types whose values are not their places in the list, and no longer type 0.
    ASSERT_NO_FATAL_FAILURE(Open("[RTPType]\r\nRTPType1=3:ARC4\r\nRTPType2=2:AES-256\r\n"));
    ClickRow(0);
    auto* slot1 = Control<QComboBox>(1234);
    auto* slot2 = Control<QComboBox>(1236);
    EXPECT_EQ(slot1->count(), 2);
    EXPECT_EQ(slot1->currentText(), "AES-256");
    // Slot 2 stores type 0, which the file does not list: shown by its number.
    EXPECT_EQ(slot2->count(), 3);
    EXPECT_EQ(slot2->currentText(), "0");
    Click(Ids::kChangeButton);
    Click(kSave);
    EXPECT_EQ(Repeaters()[0].slots[0].rtpType, 2u);
    EXPECT_EQ(Repeaters()[0].slots[1].rtpType, 0u);
    // Each repeater's lists hold the file's types and its own.
    ClickRow(1);
    EXPECT_EQ(slot1->count(), 3);
    EXPECT_EQ(slot1->currentText(), "0");
    ClickRow(0);
    EXPECT_EQ(slot1->count(), 2);
}

TEST_F(RepeaterDlgTest, NoRepeaterGivesSixBlankRowsAndThePortDefaults)
{
    // A document without repeaters and without port settings.
    ASSERT_NO_FATAL_FAILURE(
        Open(nullptr, L"<MXRGateways><GatewayConfig><Language>English</Language><QuorixStations>"
                      L"<Stations/></QuorixStations></GatewayConfig></MXRGateways>"));
    EXPECT_EQ(Column(0), "|||||");
    EXPECT_EQ(Shown({1147, 1149, 1151, 1153, 1155, 1176, 1159, 1161, 1163, 1165, 1167, 1169, 1171,
                     1173, 1185}),
              "30009|30007|30003|30001|30012|30010|30008|30004|30002|30014|30005|30006|30015|"
              "30016|60");
    ClickRow(0);
    EXPECT_EQ(EnabledOf(kListButtons), "100");
    // A port field reports its change and takes no more than a port.
    EXPECT_FALSE(Pending());
    Type(1165, "70000");
    EXPECT_EQ(Shown({1165}), "65535");
    EXPECT_TRUE(Pending());
}

TEST_F(RepeaterDlgTest, ASaveThroughTheWindowAddsTheRepeatersTwoElementsAndTheTypedPort)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    // A new repeater with slot 2 unused, and one port changed.
    Click(Ids::kAddButton);
    Type(Ids::kRadioIdEdit, "1003");
    Click(1141);
    Click(kSave);
    Type(1147, "30020");
    EXPECT_EQ(
        MessagesOf([&] { QTest::mouseClick(FindControl(m_window.get(), 1), Qt::LeftButton); }),
        "warning: Save Successful!");

    CGatewayConfigDoc sample;
    CGatewayConfigDoc reread;
    ASSERT_TRUE(sample.Load(rztest::SampleDocumentPath()));
    ASSERT_TRUE(reread.Load(DocumentPath()));
    // The port settings as they were, but for the first.
    for (const auto& port : CRepeaterSettings::PortSettings())
        EXPECT_STREQ(reread.GetSetting(port.element),
                     std::wstring_view(port.element) == L"ADKRCPPort1"
                         ? L"30020"
                         : sample.GetSetting(port.element));
    // The station list as it was, and two elements for the new repeater with GUIDs of its own.
    const RepeaterInfo& added = Repeaters()[2];
    for (const auto& guid : {added.repeaterGuid, added.slots[0].guid, added.slots[1].guid})
        ASSERT_EQ(guid.size(), 36u);
    EXPECT_EQ(Named(Flat(reread.Stations()), added),
              Flat(sample.Stations()) +
                  L"Station={Type=Repeater;Used=TRUE;GUID=<slot 1>;SlotID=1;RadioID=1003;"
                  L"RepeaterGUID=<repeater>;RepeaterAlias=Repeater1;IPSiteID=1;Name=Slot1;"
                  L"SubNetID=10;PseudoID=0;IsData=0;IsLocalSlot=0;"
                  L"Volum={RecordVolum=3;PlaybackVolum=3;};RTPConfig={RTPEnable=0;RTPType=0;};};"
                  L"Station={Type=Repeater;Used=FALSE;GUID=<slot 2>;SlotID=2;RadioID=1003;"
                  L"RepeaterGUID=<repeater>;RepeaterAlias=Repeater1;IPSiteID=1;Name=Slot2;"
                  L"SubNetID=10;PseudoID=0;IsData=0;IsLocalSlot=0;"
                  L"Volum={RecordVolum=3;PlaybackVolum=3;};RTPConfig={RTPEnable=0;RTPType=0;};};");
}
