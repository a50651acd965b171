#include "TestSupport.h"
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
#include <QHeaderView>
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

using rztest::CMessageBoxAnswerer;
using Ids = CRepeaterDlg;

namespace
{

constexpr int kSave = 1051;   // the frame's Save
constexpr int kCancel = 1052; // and Cancel

// The real main window on a document (the sample unless a test writes its own), with the
// repeater page open.
class RepeaterDlgTest : public rztest::WindowTest
{
protected:
    void SetUp() override { Open(); }

    void Open()
    {
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
    QPushButton* Button(int id) const { return Control<QPushButton>(id); }
    QTableView* List() const { return Control<QTableView>(Ids::kRepeaterList); }
    QString Text(int id) const { return Control<QLineEdit>(id)->text(); }
    bool Checked(int id) const { return Control<QCheckBox>(id)->isChecked(); }
    bool Enabled(int id) const { return Control(id)->isEnabled(); }
    // The enabled state of a list of controls, as 1s and 0s.
    std::string EnabledOf(std::initializer_list<int> ids) const
    {
        std::string state;
        for (int id : ids)
            state += Enabled(id) ? '1' : '0';
        return state;
    }
    std::string ListButtons() const
    {
        return EnabledOf({Ids::kAddButton, Ids::kRemoveButton, Ids::kChangeButton});
    }
    // A button of the main window: Save 1, Close 2, Start 3.
    QPushButton* MainButton(int id) const
    {
        return qobject_cast<QPushButton*>(FindControl(m_window.get(), id));
    }
    QString Cell(int row, int column) const
    {
        return List()->model()->index(row, column).data().toString();
    }
    int Rows() const { return List()->model()->rowCount(); }
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
    void Type(int fieldId, const QString& text)
    {
        rztest::TypeInto(Control<QLineEdit>(fieldId), text);
    }

    CDlgRepeaterFrame* m_frame = nullptr;
    CRepeaterDlg* m_page = nullptr;
};

// The controls of slot 1: alias, subnet ID, Quick GPS, GPS Data Repeater, IP Site Channel,
// Encrypt Slot, RTP Type.
const std::initializer_list<int> kSlot1 = {1128, 1132, 1230, 1129, 1186, 1232, 1234};
const std::initializer_list<int> kSlot2 = {1130, 1133, 1231, 1131, 1187, 1235, 1236};

} // namespace

TEST_F(RepeaterDlgTest, TheListAndTheFieldsShowTheDocument)
{
    EXPECT_EQ(Rows(), 6);
    EXPECT_EQ(Cell(0, 0), "1001");
    EXPECT_EQ(Cell(0, 1), "Hill site");
    EXPECT_EQ(Cell(0, 2), "1");
    EXPECT_EQ(Cell(1, 0), "1002");
    EXPECT_EQ(Cell(1, 1), "Quay");
    EXPECT_EQ(Cell(2, 0), "");
    EXPECT_EQ(List()->model()->index(0, 1).data(Qt::TextAlignmentRole).toInt(), Qt::AlignCenter);
    const int widths[3] = {130, 183, 130};
    const char* headings[3] = {"Radio ID", "Alias", "IP Site ID"};
    for (int column = 0; column < 3; ++column)
    {
        EXPECT_EQ(List()->columnWidth(column), widths[column]);
        EXPECT_EQ(List()->model()->headerData(column, Qt::Horizontal).toString(), headings[column]);
    }
    EXPECT_EQ(Text(1147), "30009");
    EXPECT_EQ(Text(1176), "30010");
    EXPECT_EQ(Text(1155), "30012");
    EXPECT_EQ(Text(1185), "60");
    EXPECT_EQ(Control<QLabel>(1146)->text(), "RCPPort1");
    EXPECT_EQ(Control<QLabel>(1184)->text(), "Transmit Timeout");
    EXPECT_EQ(Control<QLabel>(1124)->text(), "Radio ID");
    EXPECT_EQ(Control<QToolButton>(Ids::kPortsHeader)->text(), "Port Settings");
    EXPECT_EQ(Control<QToolButton>(Ids::kRepeatersHeader)->text(), "Repeaters");
    // Browsing: only Add, and no repeater field is open.
    EXPECT_EQ(ListButtons(), "100");
    EXPECT_EQ(EnabledOf({Ids::kRadioIdEdit, Ids::kAliasEdit, 1140, 1128, 1234}), "00000");

    // Choosing a row shows its repeater, RTP types by their labels from the ini file.
    ClickRow(0);
    EXPECT_EQ(ListButtons(), "011");
    EXPECT_EQ(Text(Ids::kRadioIdEdit), "1001");
    EXPECT_EQ(Text(Ids::kAliasEdit), "Hill site");
    EXPECT_EQ(Text(Ids::kIpSiteIdEdit), "1");
    EXPECT_EQ(Text(Ids::kPseudoIdEdit), "201");
    EXPECT_EQ(Text(1128), "Hill TS1");
    EXPECT_TRUE(Checked(1232));
    auto* rtp = Control<QComboBox>(1234);
    EXPECT_EQ(rtp->count(), 4);
    EXPECT_EQ(rtp->currentText(), "AES-256");
    EXPECT_EQ(Text(1133), "11");
    EXPECT_TRUE(Checked(1131));  // GPS data repeater
    EXPECT_FALSE(Checked(1231)); // not quick GPS
    EXPECT_TRUE(Checked(1187));  // IP site channel
    ClickRow(1);
    EXPECT_FALSE(Checked(1141));
    EXPECT_TRUE(Checked(1231)); // quick GPS
    EXPECT_EQ(Control<QComboBox>(1236)->currentText(), "Basic Privacy");
    ClickRow(3); // a blank row is no repeater
    EXPECT_EQ(ListButtons(), "100");

    // A click on a group's header folds it; the group below moves up.
    auto* repeaters = Control<QToolButton>(Ids::kRepeatersHeader);
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
    EXPECT_EQ(Control<QLabel>(1124)->text(), "Funk-ID");
    EXPECT_EQ(Control<QToolButton>(Ids::kPortsHeader)->text(), "Port-Einstellungen");
    EXPECT_EQ(List()->model()->headerData(0, Qt::Horizontal).toString(), "Radio ID");
}

TEST_F(RepeaterDlgTest, TheCheckBoxesOfASlotEnableItsControls)
{
    ClickRow(0);
    Click(Ids::kChangeButton);
    ASSERT_TRUE(m_page->InEditMode());
    // A repeater keeps its Radio ID: it stays disabled while the rest opens.
    EXPECT_FALSE(Enabled(Ids::kRadioIdEdit));
    EXPECT_EQ(EnabledOf({Ids::kAliasEdit, Ids::kIpSiteIdEdit, Ids::kPseudoIdEdit, 1140}), "1111");
    // Slot 1: in use, encrypted; slot 2: a GPS data repeater.
    EXPECT_EQ(EnabledOf(kSlot1), "1111111");
    EXPECT_EQ(EnabledOf(kSlot2), "1111000");

    // Quick GPS turns GPS Data Repeater, IP Site Channel, Encrypt Slot and RTP Type off.
    Click(1230);
    EXPECT_EQ(EnabledOf(kSlot1), "1110000");
    EXPECT_EQ(EnabledOf(kSlot2), "1111000");
    Click(1230);
    EXPECT_EQ(EnabledOf(kSlot1), "1111111");
    // RTP Type only while the slot is encrypted.
    Click(1232);
    EXPECT_EQ(EnabledOf(kSlot1), "1111110");
    Click(1129);
    EXPECT_EQ(EnabledOf(kSlot1), "1111000");
    Click(1129);
    Click(1232);
    // Clearing Slot1 turns every control of slot 1 off, Slot1 itself excepted.
    Click(1140);
    EXPECT_EQ(EnabledOf(kSlot1), "0000000");
    EXPECT_TRUE(Enabled(1140));
    Click(1140);
    EXPECT_EQ(EnabledOf(kSlot1), "1111111");
    // Clearing Slot2 as well; GPS Data Repeater unchecked opens the rest of slot 2.
    Click(1131);
    EXPECT_EQ(EnabledOf(kSlot2), "1111110");
    Click(1141);
    EXPECT_EQ(EnabledOf(kSlot2), "0000000");

    // Cancel drops what was clicked: the fields show the repeater as it is.
    Click(kCancel);
    EXPECT_FALSE(m_page->InEditMode());
    EXPECT_TRUE(Checked(1141));
    EXPECT_TRUE(Checked(1131));
    EXPECT_EQ(ListButtons(), "011");
    EXPECT_EQ(EnabledOf(kSlot1), "0000000");
    EXPECT_EQ(m_page->Settings().Repeaters().Rows()[0].slots[1].isData, 1);
    EXPECT_FALSE(Pending());
    // A kept change is reported, even one that changed nothing.
    Click(Ids::kChangeButton);
    Click(kSave);
    EXPECT_TRUE(Pending());
}

TEST_F(RepeaterDlgTest, AnEditShowsTheFramesButtonsAndHidesTheMainWindows)
{
    auto* save = Button(kSave);
    auto* cancel = Button(kCancel);
    EXPECT_FALSE(save->isVisible());
    EXPECT_TRUE(MainButtonsShown());
    EXPECT_EQ(m_page->geometry(), m_frame->rect());

    // Add after a repeater was shown: its Quick GPS, IP Site Channel and RTP Type stay.
    ClickRow(0);
    ClickRow(3);
    Click(Ids::kAddButton);
    EXPECT_EQ(m_page->EditMode(), CRepeaterDlg::Mode::Adding);
    EXPECT_EQ(Control<QComboBox>(1234)->currentText(), "AES-256");
    EXPECT_TRUE(Checked(1187));
    EXPECT_FALSE(Checked(1131));
    EXPECT_FALSE(Checked(1231));
    EXPECT_TRUE(save->isVisible());
    EXPECT_TRUE(cancel->isVisible());
    EXPECT_LT(m_page->geometry().bottom(), save->geometry().top());
    EXPECT_FALSE(MainButtonsShown());
    EXPECT_FALSE(MainButton(3)->isVisible()); // Start too
    EXPECT_FALSE(m_window->PageTree()->isEnabled());
    EXPECT_FALSE(List()->isEnabled());
    EXPECT_EQ(ListButtons(), "000");
    // What Add proposes.
    EXPECT_TRUE(Enabled(Ids::kRadioIdEdit));
    EXPECT_EQ(Text(Ids::kRadioIdEdit), "");
    EXPECT_EQ(Text(Ids::kAliasEdit), "Repeater1");
    EXPECT_EQ(Text(Ids::kIpSiteIdEdit), "1");
    EXPECT_EQ(Text(Ids::kPseudoIdEdit), "0");
    EXPECT_TRUE(Checked(1140));
    EXPECT_TRUE(Checked(1141));
    EXPECT_EQ(Text(1128), "Slot1");
    EXPECT_EQ(Text(1130), "Slot2");
    EXPECT_EQ(Text(1132), "10");
    EXPECT_EQ(Text(1133), "10");
    EXPECT_FALSE(Checked(1232));
    EXPECT_EQ(EnabledOf(kSlot1), "1111110");
    EXPECT_EQ(EnabledOf(kSlot2), "1111110");

    Click(kCancel);
    EXPECT_FALSE(m_page->InEditMode());
    EXPECT_FALSE(save->isVisible());
    EXPECT_FALSE(cancel->isVisible());
    EXPECT_EQ(m_page->geometry(), m_frame->rect());
    EXPECT_TRUE(MainButtonsShown());
    EXPECT_TRUE(MainButton(3)->isVisible());
    EXPECT_TRUE(m_window->PageTree()->isEnabled());
    EXPECT_TRUE(List()->isEnabled());
    EXPECT_EQ(ListButtons(), "100");
    EXPECT_EQ(m_page->Settings().Repeaters().Count(), 2u);
    EXPECT_FALSE(Pending());
}

TEST_F(RepeaterDlgTest, AddRefusesWhatIsMissingAndATakenRadioIdAndStaysOpen)
{
    Click(Ids::kAddButton);
    {
        CMessageBoxAnswerer answerer;
        Click(kSave);
        ASSERT_EQ(answerer.Count(), 1);
        EXPECT_EQ(answerer.Texts()[0], "The value is required");
    }
    EXPECT_TRUE(m_page->InEditMode());
    Type(Ids::kRadioIdEdit, "1001");
    {
        CMessageBoxAnswerer answerer;
        Click(kSave);
        ASSERT_EQ(answerer.Count(), 1);
        EXPECT_EQ(answerer.Texts()[0], "The Radio ID already exists");
        EXPECT_EQ(answerer.Icons()[0], QMessageBox::Critical);
    }
    EXPECT_TRUE(m_page->InEditMode());
    EXPECT_TRUE(Button(kSave)->isVisible());
    EXPECT_EQ(Text(Ids::kRadioIdEdit), "1001");
    EXPECT_EQ(m_page->Settings().Repeaters().Count(), 2u);
    // Typing a Radio ID or an IP Site ID reports no change by itself; a subnet ID does.
    Type(Ids::kIpSiteIdEdit, "4");
    EXPECT_FALSE(Pending());
    Type(1132, "12");
    EXPECT_TRUE(Pending());

    // Enter is the edit's Save.
    Type(Ids::kRadioIdEdit, "1003");
    QTest::keyClick(Control(Ids::kRadioIdEdit), Qt::Key_Return);
    EXPECT_FALSE(m_page->InEditMode());
    EXPECT_EQ(Cell(2, 0), "1003");
    EXPECT_EQ(Cell(2, 1), "Repeater1");
    EXPECT_EQ(Cell(2, 2), "4");
    EXPECT_EQ(Rows(), 6);
    EXPECT_EQ(ListButtons(), "100");
    EXPECT_TRUE(MainButtonsShown());

    // A change keeps the Radio ID; its new alias shows in its row.
    ClickRow(2);
    Click(Ids::kChangeButton);
    Type(Ids::kAliasEdit, "Pier");
    Click(kSave);
    EXPECT_EQ(Cell(2, 0), "1003");
    EXPECT_EQ(Cell(2, 1), "Pier");
    EXPECT_EQ(ListButtons(), "011");

    // Remove: the first row is chosen afterwards.
    ClickRow(0);
    Click(Ids::kRemoveButton);
    EXPECT_EQ(Cell(0, 0), "1002");
    EXPECT_EQ(Text(Ids::kRadioIdEdit), "1002");
    EXPECT_EQ(m_page->Settings().Repeaters().Count(), 2u);
}

TEST_F(RepeaterDlgTest, EscapeEndsAnEditWithoutClosingTheTool)
{
    ClickRow(1);
    Click(Ids::kChangeButton);
    Type(Ids::kAliasEdit, "Quay North");
    QTest::keyClick(Control(Ids::kAliasEdit), Qt::Key_Escape);
    EXPECT_FALSE(m_page->InEditMode());
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_EQ(Text(Ids::kAliasEdit), "Quay");
    EXPECT_EQ(Cell(1, 1), "Quay");
    EXPECT_TRUE(MainButtonsShown());
    // The same when the key reaches the window itself.
    Click(Ids::kChangeButton);
    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    EXPECT_FALSE(m_page->InEditMode());
    EXPECT_TRUE(m_window->isVisible());
}

namespace
{

// RTP types whose values are not their places in the list, and no longer type 0.
class RepeaterDlgRtpTest : public RepeaterDlgTest
{
protected:
    void SetUp() override
    {
        rztest::WriteBytes(ToolDir() + "RaviraZazu_Gateway.ini",
                           "[RTPType]\r\nRTPType1=3:ARC4\r\nRTPType2=2:AES-256\r\n");
        Open();
    }
};

} // namespace

TEST_F(RepeaterDlgRtpTest, AStoredTypeTheIniNoLongerListsIsShownAndKept)
{
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
    const RepeaterInfo& kept = m_page->Settings().Repeaters().Rows()[0];
    EXPECT_EQ(kept.slots[0].rtpType, 2u);
    EXPECT_EQ(kept.slots[1].rtpType, 0u);
    // Each repeater's lists hold the file's types and its own.
    ClickRow(1);
    EXPECT_EQ(slot1->count(), 3);
    EXPECT_EQ(slot1->currentText(), "0");
    ClickRow(0);
    EXPECT_EQ(slot1->count(), 2);
}

namespace
{

// A document without repeaters and without port settings.
class RepeaterDlgEmptyTest : public RepeaterDlgTest
{
protected:
    void SetUp() override
    {
        rztest::WriteBytes(
            DocumentPath(),
            rztest::Utf16Document(L"<MXRGateways>"
                                  L"<GatewayConfig><Language>English</Language><QuorixStations>"
                                  L"<Stations/></QuorixStations></GatewayConfig></MXRGateways>"));
        Open();
    }
};

} // namespace

TEST_F(RepeaterDlgEmptyTest, NoRepeaterGivesSixBlankRowsAndThePortDefaults)
{
    EXPECT_EQ(Rows(), 6);
    for (int row = 0; row < 6; ++row)
        EXPECT_EQ(Cell(row, 0), "");
    const std::pair<int, const char*> defaults[] = {
        {1147, "30009"}, {1149, "30007"}, {1151, "30003"}, {1153, "30001"}, {1155, "30012"},
        {1176, "30010"}, {1159, "30008"}, {1161, "30004"}, {1163, "30002"}, {1165, "30014"},
        {1167, "30005"}, {1169, "30006"}, {1171, "30015"}, {1173, "30016"}, {1185, "60"}};
    for (const auto& [id, value] : defaults)
        EXPECT_EQ(Text(id), value) << id;
    ClickRow(0);
    EXPECT_EQ(ListButtons(), "100");
    // A port field reports its change and takes no more than a port.
    EXPECT_FALSE(Pending());
    Type(1165, "70000");
    EXPECT_EQ(Text(1165), "65535");
    EXPECT_TRUE(Pending());
}

namespace
{

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

} // namespace

TEST_F(RepeaterDlgTest, ASaveThroughTheWindowWritesWhatTheModelWrites)
{
    // A new repeater with slot 2 unused, and one port changed.
    Click(Ids::kAddButton);
    Type(Ids::kRadioIdEdit, "1003");
    Click(1141);
    Click(kSave);
    Type(1147, "30020");
    {
        CMessageBoxAnswerer answerer;
        QTest::mouseClick(MainButton(1), Qt::LeftButton);
        ASSERT_EQ(answerer.Count(), 1);
        EXPECT_EQ(answerer.Texts()[0], "Save Successful!");
    }

    // The same change made through the model alone, on the sample.
    CGatewayConfigDoc document;
    ASSERT_TRUE(document.Load(rztest::SampleDocumentPath()));
    CRepeaterSettings model;
    model.Load(document, {ToolDir()});
    RepeaterEntry entry = model.NewEntry();
    entry.radioId = L"1003";
    entry.slots[1].used = false;
    ASSERT_EQ(model.AddRepeater(entry), CEntryResult{});
    model.ports[0] = L"30020";
    CFileChanges changes;
    model.Save(document, {ToolDir()}, changes);

    // The station list and the port settings as the model writes them, but for the new GUIDs.
    CGatewayConfigDoc reread;
    ASSERT_TRUE(reread.Load(DocumentPath()));
    std::wstring ours = Flat(reread.Stations());
    const std::wstring theirs = Flat(document.Stations());
    const RepeaterInfo& fromPage = m_page->Settings().Repeaters().Rows()[2];
    const RepeaterInfo& fromModel = model.Repeaters().Rows()[2];
    const std::pair<std::wstring_view, std::wstring_view> guids[] = {
        {fromPage.repeaterGuid, fromModel.repeaterGuid},
        {fromPage.slots[0].guid, fromModel.slots[0].guid},
        {fromPage.slots[1].guid, fromModel.slots[1].guid}};
    for (const auto& [page, alone] : guids)
    {
        ASSERT_EQ(page.size(), 36u);
        size_t found = 0;
        for (size_t at = ours.find(page); at != std::wstring::npos; at = ours.find(page, at))
        {
            ours.replace(at, page.size(), alone);
            ++found;
        }
        EXPECT_EQ(found, page == fromPage.repeaterGuid ? 2u : 1u);
    }
    EXPECT_EQ(ours, theirs);
    for (const auto& port : CRepeaterSettings::PortSettings())
        EXPECT_STREQ(reread.GetSetting(port.element), document.GetSetting(port.element));

    // And what is written is what the document needs: two elements for the new repeater.
    EXPECT_STREQ(reread.GetSetting(L"ADKRCPPort1"), L"30020");
    const auto stations = reread.Stations()->GetChilds();
    ASSERT_EQ(stations.size(), 9u);
    const std::wstring repeaterGuid(fromPage.repeaterGuid);
    EXPECT_EQ(Flat(stations[7]),
              L"Type=Repeater;Used=TRUE;GUID=" + std::wstring(fromPage.slots[0].guid) +
                  L";SlotID=1;RadioID=1003;RepeaterGUID=" + repeaterGuid +
                  L";RepeaterAlias=Repeater1;IPSiteID=1;Name=Slot1;SubNetID=10;PseudoID=0;"
                  L"IsData=0;IsLocalSlot=0;Volum={RecordVolum=3;PlaybackVolum=3;};"
                  L"RTPConfig={RTPEnable=0;RTPType=0;};");
    EXPECT_EQ(Flat(stations[8]),
              L"Type=Repeater;Used=FALSE;GUID=" + std::wstring(fromPage.slots[1].guid) +
                  L";SlotID=2;RadioID=1003;RepeaterGUID=" + repeaterGuid +
                  L";RepeaterAlias=Repeater1;IPSiteID=1;Name=Slot2;SubNetID=10;PseudoID=0;"
                  L"IsData=0;IsLocalSlot=0;Volum={RecordVolum=3;PlaybackVolum=3;};"
                  L"RTPConfig={RTPEnable=0;RTPType=0;};");
}
