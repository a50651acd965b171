#include "pages/RepeaterDlg.h"

#include "controls/NumEdit.h"
#include "controls/PortEdit.h"
#include "lang/Language.h"
#include "pages/RepeaterListModel.h"
#include "ui/LanguageTexts.h"
#include "ui/ListEditor.h"
#include "ui/MessageBox.h"
#include "ui/PageHost.h"
#include "ui/QtText.h"
#include "ui/WindowMessages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QToolButton>
#include <algorithm>

namespace
{

constexpr int kMargin = 10;
constexpr int kGroupGap = 8;
constexpr int kGap = 6;
// The list's columns: Radio ID, Alias, IP Site ID.
constexpr int kColumnWidths[3] = {130, 183, 130};
// Rows the list is tall enough to show without scrolling.
constexpr int kVisibleRows = 8;

// The template's labels of the port settings, in the model's table order.
const char* const kPortLabels[CRepeaterSettings::kPortCount] = {
    "RCPPort1", "TMPPort1", "LPPort1",       "RRSPort1",      "RTPPort1",
    "RCPPort2", "TMPPort2", "LPPort2",       "RRSPort2",      "RTPPort2",
    "TPPort1",  "TPPort2",  "RTPAnalogPort", "RCPAnalogPort", "Transmit Timeout"};

template <typename T> T* WithId(T* control, int id)
{
    control->setProperty(kControlIdProperty, id);
    return control;
}

QLabel* Label(QWidget* parent, int id, const char* text)
{
    return WithId(new QLabel(QString::fromUtf8(text), parent), id);
}

QCheckBox* CheckBox(QWidget* parent, int id, const char* text)
{
    return WithId(new QCheckBox(QString::fromUtf8(text), parent), id);
}

// A number or port field as the model describes it.
CChangedEdit* NumberField(QWidget* parent, const fields::Rule& rule)
{
    CNumEdit* field = nullptr;
    if (rule.kind == fields::Kind::Fixed)
    {
        auto* port = new CPortEdit(parent);
        port->SetLimits(rule.limits);
        field = port;
    }
    else
    {
        field = new CNumEdit(parent);
        field->SetDecimalPoint(rule.kind == fields::Kind::Decimal);
    }
    if (rule.maxLength != 0)
        field->setMaxLength(static_cast<int>(rule.maxLength));
    return field;
}

CNumEdit* NumEditField(QWidget* parent, const fields::Rule& rule)
{
    return static_cast<CNumEdit*>(NumberField(parent, rule));
}

// A plain text field with the model's length limit.
QLineEdit* TextField(QWidget* parent, const fields::Rule& rule)
{
    auto* field = new QLineEdit(parent);
    if (rule.maxLength != 0)
        field->setMaxLength(static_cast<int>(rule.maxLength));
    return field;
}

} // namespace

CRepeaterDlg::CRepeaterDlg(QWidget* parent) : CRepeaterPageBase(parent)
{
    const char* const headers[2] = {"Port Settings", "Repeaters"};
    const int headerIds[2] = {kPortsHeader, kRepeatersHeader};
    for (int group = 0; group < 2; ++group)
    {
        auto* header = WithId(new QToolButton(this), headerIds[group]);
        header->setText(QString::fromUtf8(headers[group]));
        header->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        header->setArrowType(Qt::DownArrow);
        header->setAutoRaise(true);
        connect(header, &QToolButton::clicked, this, [this, group] { ToggleGroup(group); });
        m_groups[static_cast<size_t>(group)].header = header;
    }
    m_groups[0].body = BuildPortsBody();
    m_groups[1].body = BuildRepeatersBody();

    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CRepeaterDlg::OnSelectionChanged);
    connect(m_add, &QPushButton::clicked, this, &CRepeaterDlg::OnAdd);
    connect(m_change, &QPushButton::clicked, this, &CRepeaterDlg::OnChange);
    connect(m_remove, &QPushButton::clicked, this, &CRepeaterDlg::OnRemove);
    for (size_t slot = 0; slot < m_slots.size(); ++slot)
    {
        const SlotControls& controls = m_slots[slot];
        for (QCheckBox* box :
             {controls.used, controls.quickGps, controls.gpsData, controls.encrypt})
            connect(box, &QCheckBox::clicked, this, [this, slot] { ApplyEnabling(slot); });
    }
    m_list->viewport()->installEventFilter(this);
}

QWidget* CRepeaterDlg::BuildPortsBody()
{
    auto* body = new QWidget(this);
    const auto& settings = CRepeaterSettings::PortSettings();
    for (size_t i = 0; i < settings.size(); ++i)
    {
        m_portLabels[i] = Label(body, settings[i].labelId, kPortLabels[i]);
        m_ports[i] = WithId(NumberField(body, settings[i].field), settings[i].fieldId);
    }
    return body;
}

QWidget* CRepeaterDlg::BuildRepeatersBody()
{
    auto* body = new QWidget(this);
    m_list = WithId(new QTableView(body), kRepeaterList);
    m_listModel = new CRepeaterListModel(m_settings, this);
    m_list->setModel(m_listModel);
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    m_list->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->horizontalHeader()->setSectionsMovable(false);
    for (int column = 0; column < 3; ++column)
        m_list->setColumnWidth(column, kColumnWidths[column]);
    m_list->verticalHeader()->hide();
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    m_add = WithId(new QPushButton(QStringLiteral("Add"), body), kAddButton);
    m_remove = WithId(new QPushButton(QStringLiteral("Del"), body), kRemoveButton);
    m_change = WithId(new QPushButton(QStringLiteral("Edit"), body), kChangeButton);
    for (QPushButton* button : {m_add, m_remove, m_change})
        button->setAutoDefault(false);

    m_radioIdLabel = Label(body, 1124, "Radio ID");
    m_radioId = WithId(NumEditField(body, CRepeaterSettings::RadioIdField()), kRadioIdEdit);
    m_aliasLabel = Label(body, 1054, "Alias");
    m_alias = WithId(TextField(body, CRepeaterSettings::AliasField()), kAliasEdit);
    m_ipSiteIdLabel = Label(body, 1125, "IP Site ID");
    m_ipSiteId = WithId(NumEditField(body, CRepeaterSettings::IpSiteIdField()), kIpSiteIdEdit);
    m_pseudoIdLabel = Label(body, 1259, "Pseudo ID");
    m_pseudoId = WithId(TextField(body, CRepeaterSettings::PseudoIdField()), kPseudoIdEdit);
    // A Radio ID or IP Site ID typed alone changes nothing yet: the repeater's Save does.
    m_radioId->SetNotify(false);
    m_ipSiteId->SetNotify(false);

    const char* const slotNames[2] = {"Slot1", "Slot2"};
    for (size_t slot = 0; slot < m_slots.size(); ++slot)
    {
        const SlotIds& ids = kSlotIds[slot];
        const int slotNumber = static_cast<int>(slot) + 1;
        SlotControls& controls = m_slots[slot];
        controls.used = CheckBox(body, ids.used, slotNames[slot]);
        controls.aliasLabel = Label(body, ids.aliasLabel, "Alias");
        controls.alias =
            WithId(TextField(body, CRepeaterSettings::SlotAliasField(slotNumber)), ids.alias);
        controls.subNetIdLabel = Label(body, ids.subNetIdLabel, "SubnetID");
        controls.subNetId = WithId(
            NumEditField(body, CRepeaterSettings::SlotSubNetIdField(slotNumber)), ids.subNetId);
        controls.quickGps = CheckBox(body, ids.quickGps, "Quick GPS");
        controls.gpsData = CheckBox(body, ids.gpsData, "GPS Data Repeater");
        controls.ipSiteChannel = CheckBox(body, ids.ipSiteChannel, "IP Site Channel");
        controls.encrypt = CheckBox(body, ids.encrypt, "Encrypt Slot");
        controls.rtpTypeLabel = Label(body, ids.rtpTypeLabel, "RTP Type");
        controls.rtpType = WithId(new QComboBox(body), ids.rtpType);
    }
    return body;
}

void CRepeaterDlg::SetEntryButtons(QAbstractButton* save, QAbstractButton* cancel)
{
    m_entrySave = save;
    m_entryCancel = cancel;
}

void CRepeaterDlg::OnInitDialog()
{
    // The controls of both groups take their texts; the page's own pass (the group headers)
    // comes last, as it ends with LoadLanguage, which lays the groups out.
    for (const Group& group : m_groups)
        ApplyLanguageTexts(group.body, kDialogId, true);

    // Enter and Escape reach the frame's Save and Cancel while an edit lasts; the list keeps
    // the keys of every list page.
    m_listEditor = new CListEditor({this, m_list, m_remove, m_change, m_entrySave, m_entryCancel});
    // The columns keep their widths: the list is as wide as they are, with room for its bar.
    m_list->horizontalHeader()->setStretchLastSection(false);
    const int frame = 2 * m_list->frameWidth();
    m_list->setFixedWidth(kColumnWidths[0] + kColumnWidths[1] + kColumnWidths[2] + frame +
                          m_list->verticalScrollBar()->sizeHint().width());
    m_list->setFixedHeight(m_list->horizontalHeader()->sizeHint().height() + frame +
                           kVisibleRows * m_list->verticalHeader()->defaultSectionSize());
    EndRepeaterEdit();
    m_add->setEnabled(true);

    m_listModel->BeginChange();
    if (const CPageContext* context = Context(); context != nullptr && context->document != nullptr)
        m_settings.Load(*context->document, context->files);
    m_listModel->EndChange();
    for (size_t slot = 0; slot < m_slots.size(); ++slot)
        FillRtpTypes(m_slots[slot].rtpType, CRtpTypeList::kNone);
    for (size_t i = 0; i < m_ports.size(); ++i)
        m_ports[i]->setText(ToQString(m_settings.ports[i]));

    ApplyLanguageTexts(this, kDialogId, true);
}

void CRepeaterDlg::LoadLanguage()
{
    const QFont font = LanguageFont();
    for (QObject* child : children())
    {
        // A font that is already there costs a resolution pass through the widget's children.
        if (auto* widget = qobject_cast<QWidget*>(child);
            widget != nullptr && widget->font() != font)
            widget->setFont(font);
    }
    if (m_list->horizontalHeader()->font() != font)
        m_list->horizontalHeader()->setFont(font);
    // The RTP types are text IDs: their labels follow the language.
    for (SlotControls& controls : m_slots)
        RelabelRtpTypes(controls.rtpType);
    PlaceGroups();
}

bool CRepeaterDlg::IsGroupOpen(int group) const
{
    return group >= 0 && group < 2 && !m_groups[static_cast<size_t>(group)].body->isHidden();
}

void CRepeaterDlg::ToggleGroup(int group)
{
    const Group& toggled = m_groups[static_cast<size_t>(group)];
    const bool open = toggled.body->isHidden();
    toggled.body->setHidden(!open);
    toggled.header->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
    PlaceGroups();
}

int CRepeaterDlg::RowHeight() const
{
    return std::max(m_radioId->sizeHint().height(), m_slots[0].rtpType->sizeHint().height());
}

QSize CRepeaterDlg::PlacePorts(int row)
{
    const QFontMetrics metrics = m_groups[0].body->fontMetrics();
    // Room for a port number, not for a sentence.
    const int fieldWidth = metrics.horizontalAdvance(QStringLiteral("0000000")) + 12;
    constexpr int kColumns = 3;
    int labelWidths[kColumns] = {};
    for (size_t i = 0; i < m_ports.size(); ++i)
    {
        int& width = labelWidths[i % kColumns];
        width = std::max(width, metrics.horizontalAdvance(m_portLabels[i]->text()));
    }
    int columnX[kColumns] = {};
    int x = kMargin;
    for (int column = 0; column < kColumns; ++column)
    {
        columnX[column] = x;
        x += labelWidths[column] + kGap + fieldWidth + 2 * kGap;
    }
    int y = 0;
    for (size_t i = 0; i < m_ports.size(); ++i)
    {
        const size_t column = i % kColumns;
        y = static_cast<int>(i / kColumns) * (row + kGap);
        m_portLabels[i]->setGeometry(columnX[column], y, labelWidths[column], row);
        m_ports[i]->setGeometry(columnX[column] + labelWidths[column] + kGap, y, fieldWidth, row);
    }
    return QSize(x, y + row);
}

QSize CRepeaterDlg::PlaceRepeaters(int row)
{
    const QFontMetrics metrics = m_groups[1].body->fontMetrics();
    m_list->move(kMargin, 0);
    int y = m_list->height() + kGap;

    int buttonWidth = 80;
    for (const QPushButton* button : {m_add, m_remove, m_change})
        buttonWidth = std::max(buttonWidth, metrics.horizontalAdvance(button->text()) + 24);
    int x = kMargin;
    for (QPushButton* button : {m_add, m_remove, m_change})
    {
        button->setGeometry(x, y, buttonWidth, row);
        x += buttonWidth + kGap;
    }
    y += row + 2 * kGap;

    // Two columns: the repeater's fields, then each slot's below them.
    const QLabel* const labels[2][5] = {{m_radioIdLabel, m_ipSiteIdLabel, m_slots[0].aliasLabel,
                                         m_slots[0].subNetIdLabel, m_slots[0].rtpTypeLabel},
                                        {m_aliasLabel, m_pseudoIdLabel, m_slots[1].aliasLabel,
                                         m_slots[1].subNetIdLabel, m_slots[1].rtpTypeLabel}};
    const int fieldWidth = metrics.horizontalAdvance(QLatin1Char('x')) * 20;
    int labelWidths[2] = {};
    int columnX[2] = {};
    x = kMargin;
    for (int column = 0; column < 2; ++column)
    {
        for (const QLabel* label : labels[column])
            labelWidths[column] =
                std::max(labelWidths[column], metrics.horizontalAdvance(label->text()));
        columnX[column] = x;
        x += labelWidths[column] + kGap + fieldWidth + 3 * kGap;
    }
    const auto place = [&](QWidget* label, QWidget* field, int column, int top)
    {
        if (label != nullptr)
            label->setGeometry(columnX[column], top, labelWidths[column], row);
        field->setGeometry(columnX[column] + labelWidths[column] + kGap, top, fieldWidth, row);
    };
    place(m_radioIdLabel, m_radioId, 0, y);
    place(m_aliasLabel, m_alias, 1, y);
    y += row + kGap;
    place(m_ipSiteIdLabel, m_ipSiteId, 0, y);
    place(m_pseudoIdLabel, m_pseudoId, 1, y);
    y += row + 2 * kGap;
    int bottom = y;
    for (int column = 0; column < 2; ++column)
    {
        const SlotControls& controls = m_slots[static_cast<size_t>(column)];
        int top = y;
        controls.used->setGeometry(columnX[column], top, labelWidths[column] + kGap + fieldWidth,
                                   row);
        top += row + kGap;
        place(controls.aliasLabel, controls.alias, column, top);
        top += row + kGap;
        place(controls.subNetIdLabel, controls.subNetId, column, top);
        top += row + kGap;
        for (QCheckBox* box :
             {controls.quickGps, controls.gpsData, controls.ipSiteChannel, controls.encrypt})
        {
            place(nullptr, box, column, top);
            top += row + kGap;
        }
        place(controls.rtpTypeLabel, controls.rtpType, column, top);
        bottom = top + row;
    }
    return QSize(std::max(x, kMargin + m_list->width()), bottom);
}

void CRepeaterDlg::PlaceGroups()
{
    // Placed at their design positions, from the origin.
    ResetScroll();
    const int row = RowHeight();
    const QSize sizes[2] = {PlacePorts(row), PlaceRepeaters(row)};
    int width = 0;
    for (size_t group = 0; group < m_groups.size(); ++group)
        width = std::max({width, sizes[group].width(), m_groups[group].header->sizeHint().width()});
    int y = kMargin;
    for (size_t group = 0; group < m_groups.size(); ++group)
    {
        const Group& placed = m_groups[group];
        const int headerHeight = placed.header->sizeHint().height();
        placed.header->setGeometry(kMargin, y, width, headerHeight);
        y += headerHeight + 2;
        if (placed.body->isHidden())
            continue;
        placed.body->setGeometry(kMargin, y, width, sizes[group].height());
        y += sizes[group].height() + kGroupGap;
    }
    InitializeScroll(QSize(width + 2 * kMargin, y + kMargin));
}

int CRepeaterDlg::SelectedRow() const
{
    const int row = m_list->currentIndex().row();
    return row >= 0 && m_list->selectionModel()->isRowSelected(row, QModelIndex()) ? row : -1;
}

namespace
{

std::wstring LookupLabel(const std::wstring& id)
{
    return lang::LookupText(id);
}

} // namespace

void CRepeaterDlg::FillRtpTypes(QComboBox* list, uint32_t current)
{
    list->clear();
    for (const CRtpTypeList::CEntry& entry : m_settings.RtpTypes().EntriesWith(current))
        list->addItem(ToQString(CRtpTypeList::Label(entry, LookupLabel)), QVariant(entry.value));
    list->setCurrentIndex(list->findData(QVariant(current)));
}

void CRepeaterDlg::RelabelRtpTypes(QComboBox* list)
{
    const CRtpTypeList& types = m_settings.RtpTypes();
    for (int i = 0; i < list->count(); ++i)
    {
        const uint32_t value = list->itemData(i).toUInt();
        // A type the file does not list keeps its number.
        if (const auto listed = types.IndexOf(value))
            list->setItemText(
                i, ToQString(CRtpTypeList::Label(types.Entries()[*listed], LookupLabel)));
    }
}

void CRepeaterDlg::OnSelectionChanged()
{
    if (InEditMode())
        return;
    const int row = SelectedRow();
    if (row < 0 || !m_settings.Repeaters().IsRow(static_cast<size_t>(row)))
    {
        ChooseNoRepeater();
        return;
    }
    ShowEntry(m_settings.EntryOf(static_cast<size_t>(row)));
    m_add->setEnabled(false);
    m_remove->setEnabled(true);
    m_change->setEnabled(true);
}

void CRepeaterDlg::ChooseNoRepeater()
{
    EndRepeaterEdit();
    m_add->setEnabled(true);
}

void CRepeaterDlg::EndRepeaterEdit()
{
    for (QWidget* control : std::initializer_list<QWidget*>{m_add, m_remove, m_change, m_radioId,
                                                            m_alias, m_ipSiteId, m_pseudoId})
        control->setEnabled(false);
    for (const SlotControls& controls : m_slots)
    {
        for (QWidget* control : std::initializer_list<QWidget*>{
                 controls.used, controls.alias, controls.subNetId, controls.quickGps,
                 controls.gpsData, controls.ipSiteChannel, controls.encrypt, controls.rtpType})
            control->setEnabled(false);
    }
}

void CRepeaterDlg::mousePressEvent(QMouseEvent* event)
{
    // A click beside the controls while browsing chooses no repeater.
    if (!InEditMode())
    {
        m_list->clearSelection();
        ChooseNoRepeater();
    }
    CRepeaterPageBase::mousePressEvent(event);
}

bool CRepeaterDlg::eventFilter(QObject* watched, QEvent* event)
{
    // A double click below the rows is a click beside them.
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonDblClick &&
        !InEditMode())
    {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!m_list->indexAt(mouse->position().toPoint()).isValid())
        {
            m_list->clearSelection();
            ChooseNoRepeater();
        }
    }
    return CRepeaterPageBase::eventFilter(watched, event);
}

void CRepeaterDlg::OnAdd()
{
    ShowEntry(m_settings.NewEntry(ReadEntry()));
    BeginEdit(Mode::Adding);
}

void CRepeaterDlg::OnChange()
{
    const int row = SelectedRow();
    if (row < 0 || !m_settings.Repeaters().IsRow(static_cast<size_t>(row)))
        return;
    m_editRow = row;
    BeginEdit(Mode::Changing);
}

void CRepeaterDlg::BeginEdit(Mode mode)
{
    m_mode = mode;
    m_add->setEnabled(false);
    m_remove->setEnabled(false);
    m_change->setEnabled(false);
    // A repeater keeps its Radio ID for good: it is typed only when the repeater is added.
    m_radioId->setEnabled(mode == Mode::Adding);
    for (QWidget* control : std::initializer_list<QWidget*>{m_alias, m_ipSiteId, m_pseudoId})
        control->setEnabled(true);
    for (size_t slot = 0; slot < m_slots.size(); ++slot)
    {
        m_slots[slot].used->setEnabled(true);
        m_slots[slot].encrypt->setEnabled(true);
        ApplyEnabling(slot);
    }
    m_list->setEnabled(false);
    SetPageHostEditing(this, true);
    SendWindowMessage(parentWidget(), WM_REPEATER_EDIT_MODE);
    (mode == Mode::Adding ? static_cast<QWidget*>(m_radioId) : m_alias)->setFocus();
}

void CRepeaterDlg::ApplyEnabling(size_t slot)
{
    if (!InEditMode())
        return;
    SlotControls& controls = m_slots[slot];
    RepeaterEntry::Slot shown;
    shown.used = controls.used->isChecked();
    shown.quickGps = controls.quickGps->isChecked();
    shown.gpsData = controls.gpsData->isChecked();
    shown.ipSiteChannel = controls.ipSiteChannel->isChecked();
    shown.encrypt = controls.encrypt->isChecked();
    const SlotEnabling enabled = CRepeaterSettings::EnablingOf(shown);
    controls.alias->setEnabled(enabled.alias);
    controls.subNetId->setEnabled(enabled.subNetId);
    controls.quickGps->setEnabled(enabled.quickGps);
    controls.gpsData->setEnabled(enabled.gpsData);
    controls.ipSiteChannel->setEnabled(enabled.ipSiteChannel);
    controls.encrypt->setEnabled(enabled.encrypt);
    controls.rtpType->setEnabled(enabled.rtpType);
}

void CRepeaterDlg::LeaveEditMode()
{
    m_mode = Mode::None;
    m_list->setEnabled(true);
    SetPageHostEditing(this, false);
    SendWindowMessage(parentWidget(), WM_REPEATER_EDIT_MODE);
}

void CRepeaterDlg::SaveEntry()
{
    if (!InEditMode())
        return;
    const bool adding = m_mode == Mode::Adding;
    m_listModel->BeginChange();
    const CEntryResult result =
        adding ? m_settings.AddRepeater(ReadEntry())
               : m_settings.ChangeRepeater(static_cast<size_t>(m_editRow), ReadEntry());
    m_listModel->EndChange();
    if (result.status != CEntryResult::Done)
    {
        // The edit stays open with what was typed.
        if (result.refusal)
            ShowMessage(this, QMessageBox::Critical, result.refusal.textId);
        return;
    }
    const int row = adding ? static_cast<int>(m_settings.Repeaters().Count()) - 1 : m_editRow;
    LeaveEditMode();
    EndRepeaterEdit();
    // The fields show what was kept (a list without a choice took its first RTP type).
    ShowEntry(m_settings.EntryOf(static_cast<size_t>(row)));
    if (adding)
    {
        // The new row is the current one, not chosen: Add stays the button to press.
        m_listEditor->FocusRow(row, false);
        m_add->setEnabled(true);
    }
    else
    {
        m_listEditor->FocusRow(row, true);
        m_remove->setEnabled(true);
        m_change->setEnabled(true);
    }
    PostConfigModified(this);
}

void CRepeaterDlg::CancelEntry()
{
    if (!InEditMode())
        return;
    const bool adding = m_mode == Mode::Adding;
    LeaveEditMode();
    EndRepeaterEdit();
    if (adding)
    {
        m_listEditor->FocusRow(-1, false);
        m_add->setEnabled(true);
        return;
    }
    // What was typed is dropped: the fields show the chosen repeater again, so that a second
    // Change starts from what it holds.
    ShowEntry(m_settings.EntryOf(static_cast<size_t>(m_editRow)));
    m_listEditor->FocusRow(m_editRow, true);
    m_remove->setEnabled(true);
    m_change->setEnabled(true);
}

void CRepeaterDlg::OnRemove()
{
    std::vector<size_t> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows())
    {
        if (m_settings.Repeaters().IsRow(static_cast<size_t>(index.row())))
            rows.push_back(static_cast<size_t>(index.row()));
    }
    if (rows.empty())
        return;
    m_listModel->BeginChange();
    m_settings.RemoveRepeaters(rows);
    m_listModel->EndChange();
    // The first row is chosen: the fields show its repeater, or nothing when it is blank.
    m_list->setCurrentIndex(m_listModel->index(0, 0));
    m_list->selectRow(0);
    m_list->setFocus();
    OnSelectionChanged();
    if (!m_settings.Repeaters().IsRow(0))
        ClearEntry();
    PostConfigModified(this);
}

RepeaterEntry CRepeaterDlg::ReadEntry() const
{
    RepeaterEntry entry;
    entry.radioId = ToWString(m_radioId->text());
    entry.alias = ToWString(m_alias->text());
    entry.ipSiteId = ToWString(m_ipSiteId->text());
    entry.pseudoId = ToWString(m_pseudoId->text());
    for (size_t i = 0; i < m_slots.size(); ++i)
    {
        const SlotControls& controls = m_slots[i];
        RepeaterEntry::Slot& slot = entry.slots[i];
        slot.used = controls.used->isChecked();
        slot.alias = ToWString(controls.alias->text());
        slot.subNetId = ToWString(controls.subNetId->text());
        slot.quickGps = controls.quickGps->isChecked();
        slot.gpsData = controls.gpsData->isChecked();
        slot.ipSiteChannel = controls.ipSiteChannel->isChecked();
        slot.encrypt = controls.encrypt->isChecked();
        const int index = controls.rtpType->currentIndex();
        slot.rtpType =
            index >= 0 ? controls.rtpType->itemData(index).toUInt() : CRtpTypeList::kNone;
    }
    return entry;
}

void CRepeaterDlg::ShowEntry(const RepeaterEntry& entry)
{
    m_radioId->setText(ToQString(entry.radioId));
    m_alias->setText(ToQString(entry.alias));
    m_ipSiteId->setText(ToQString(entry.ipSiteId));
    m_pseudoId->setText(ToQString(entry.pseudoId));
    for (size_t i = 0; i < m_slots.size(); ++i)
    {
        SlotControls& controls = m_slots[i];
        const RepeaterEntry::Slot& slot = entry.slots[i];
        controls.used->setChecked(slot.used);
        controls.alias->setText(ToQString(slot.alias));
        controls.subNetId->setText(ToQString(slot.subNetId));
        controls.quickGps->setChecked(slot.quickGps);
        controls.gpsData->setChecked(slot.gpsData);
        controls.ipSiteChannel->setChecked(slot.ipSiteChannel);
        controls.encrypt->setChecked(slot.encrypt);
        FillRtpTypes(controls.rtpType, slot.rtpType);
    }
}

void CRepeaterDlg::ClearEntry()
{
    ShowEntry(RepeaterEntry{});
}

void CRepeaterDlg::Refresh()
{
    update();
}

bool CRepeaterDlg::SaveConfig()
{
    for (size_t i = 0; i < m_ports.size(); ++i)
        m_settings.ports[i] = ToWString(m_ports[i]->text());
    CPageContext* context = Context();
    if (context == nullptr || context->document == nullptr)
        return true;
    CFileChanges unsaved;
    m_settings.Save(*context->document, context->files,
                    context->changes != nullptr ? *context->changes : unsaved);
    return true;
}
