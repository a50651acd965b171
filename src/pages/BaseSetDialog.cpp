#include "pages/BaseSetDialog.h"

#include "config/SystemLog.h"
#include "controls/IPEdit.h"
#include "controls/PortEdit.h"
#include "lang/Language.h"
#include "platform/TextCodec.h"
#include "ui/LanguageTexts.h"
#include "ui/ListEditor.h"
#include "ui/MessageBox.h"
#include "ui/PageHost.h"
#include "ui/QtText.h"
#include "ui/WindowMessages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

namespace
{

template <typename T> T* WithId(T* control, int id)
{
    control->setProperty(kControlIdProperty, id);
    return control;
}

QLabel* Label(QWidget* parent, int id, const char* text)
{
    return WithId(new QLabel(QString::fromUtf8(text), parent), id);
}

QTableWidgetItem* CentredItem(const std::wstring& text)
{
    auto* item = new QTableWidgetItem(ToQString(text));
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

// Fills a drop-down list from a table of choices, in the current language.
void FillChoices(QComboBox* list, const CChoiceTable& choices)
{
    list->clear();
    for (size_t i = 0; i < choices.Size(); ++i)
        list->addItem(ToQString(choices.Label(i, [](int id) { return lang::LookupText(id); })));
}

} // namespace

CBaseSetDialog::CBaseSetDialog(QWidget* parent)
    : CResizablePage(kDialogId, parent), m_localIp(WithId(new CIPEdit(this), kLocalIpEdit)),
      m_localPort(WithId(new CPortEdit(this), kLocalPortEdit)),
      m_voipPort(WithId(new CPortEdit(this), kVoipPortEdit)),
      m_speedUnit(WithId(new QComboBox(this), kSpeedUnitList)),
      m_gpsTracking(WithId(new QCheckBox(QStringLiteral("Autonomous GPS Tracking"), this),
                           kGpsTrackingCheck)),
      m_rrsDisabled(
          WithId(new QCheckBox(QStringLiteral("Disable RRS Enhanced"), this), kRrsDisabledCheck)),
      m_codecLabel(Label(this, 1119, "Audio Codecs")),
      m_codec(WithId(new QComboBox(this), kCodecList)),
      m_list(WithId(new QTableWidget(this), kServerList)),
      m_serverIp(WithId(new CIPEdit(this), kServerIpEdit)),
      m_serverPort(WithId(new CPortEdit(this), kServerPortEdit)),
      m_add(WithId(new QPushButton(QStringLiteral("Add"), this), kAddButton)),
      m_remove(WithId(new QPushButton(QStringLiteral("Del"), this), kRemoveButton)),
      m_change(WithId(new QPushButton(QStringLiteral("Edit"), this), kChangeButton)),
      m_entrySave(WithId(new QPushButton(QStringLiteral("Save"), this), kEntrySaveButton)),
      m_entryCancel(WithId(new QPushButton(QStringLiteral("Cancel"), this), kEntryCancelButton))
{
    // Before the list editor sets the header up.
    m_list->setHorizontalHeader(new CListHeader(m_list));
    // The fields take the model's limits: Local Port's default 0 among them.
    m_localPort->SetLimits(CBasicSettings::LocalPortField().limits);
    m_voipPort->SetLimits(CBasicSettings::VoipPortField().limits);
    m_serverPort->SetLimits(CBasicSettings::ServerPortField().limits);
    // The codec list is kept but not offered: the gateway chooses its codec itself.
    m_codecLabel->hide();
    m_codec->hide();
    m_codec->setEnabled(false);

    auto* grid = new QGridLayout(this);
    int row = 0;
    grid->addWidget(Label(this, 1008, "Local IP"), row, 0);
    grid->addWidget(m_localIp, row++, 1);
    grid->addWidget(Label(this, 1009, "Local Port"), row, 0);
    grid->addWidget(m_localPort, row++, 1);
    grid->addWidget(Label(this, 1010, "Local VOIP Port"), row, 0);
    grid->addWidget(m_voipPort, row++, 1);
    grid->addWidget(Label(this, -1, "Speed Unit of Telemetry GPS"), row, 0);
    grid->addWidget(m_speedUnit, row++, 1);
    grid->addWidget(m_gpsTracking, row++, 0, 1, 2);
    grid->addWidget(m_rrsDisabled, row++, 0, 1, 2);
    grid->addWidget(m_codecLabel, row, 0);
    grid->addWidget(m_codec, row++, 1);
    grid->addWidget(Label(this, 1084, "Server List:"), row++, 0, 1, 2);
    grid->addWidget(m_list, row++, 0, 1, 3, Qt::AlignLeft);
    auto* listButtons = new QHBoxLayout;
    for (QPushButton* button : {m_add, m_remove, m_change})
        listButtons->addWidget(button);
    listButtons->addStretch(1);
    grid->addLayout(listButtons, row++, 0, 1, 3);
    grid->addWidget(Label(this, 1006, "Server IP"), row, 0);
    grid->addWidget(m_serverIp, row++, 1);
    grid->addWidget(Label(this, 1007, "Server Port"), row, 0);
    grid->addWidget(m_serverPort, row++, 1);
    auto* entryButtons = new QHBoxLayout;
    entryButtons->addWidget(m_entrySave);
    entryButtons->addWidget(m_entryCancel);
    entryButtons->addStretch(1);
    grid->addLayout(entryButtons, row++, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(row, 1);

    connect(m_list, &QTableWidget::itemSelectionChanged, this, &CBaseSetDialog::OnSelectionChanged);
    connect(m_add, &QPushButton::clicked, this, &CBaseSetDialog::OnAdd);
    connect(m_change, &QPushButton::clicked, this, &CBaseSetDialog::OnChange);
    connect(m_remove, &QPushButton::clicked, this, &CBaseSetDialog::OnRemove);
    connect(m_entrySave, &QPushButton::clicked, this, &CBaseSetDialog::OnEntrySave);
    connect(m_entryCancel, &QPushButton::clicked, this, &CBaseSetDialog::OnEntryCancel);
    for (QComboBox* list : {m_speedUnit, m_codec})
        connect(list, &QComboBox::activated, this, [this] { PostConfigModified(this); });
    for (QCheckBox* box : {m_gpsTracking, m_rrsDisabled})
        connect(box, &QCheckBox::clicked, this, [this] { PostConfigModified(this); });
    // A tip appears while the user edits and goes as soon as its cause does, also when the
    // field completes itself on leaving.
    for (auto [field, key] :
         {std::pair<QLineEdit*, const char*>{m_localIp, CBasicSettings::LocalIpField().key},
          std::pair<QLineEdit*, const char*>{m_voipPort, CBasicSettings::VoipPortField().key}})
    {
        connect(field, &QLineEdit::textEdited, this,
                [this, field, key] { ShowHint(field, key, true); });
        connect(field, &QLineEdit::textChanged, this,
                [this, field, key] { ShowHint(field, key, false); });
    }
    m_listEditor = new CListEditor({this, m_list, m_remove, m_change, m_entrySave, m_entryCancel});
}

bool CBaseSetDialog::CancelEdit()
{
    return m_listEditor->CancelEdit();
}

void CBaseSetDialog::OnInitDialog()
{
    CResizablePage::OnInitDialog();

    m_list->setColumnCount(2);
    m_list->setHorizontalHeaderLabels({QStringLiteral("IP"), QStringLiteral("PORT")});
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    m_list->setColumnWidth(0, 136);
    m_list->setColumnWidth(1, 120);
    m_list->verticalHeader()->hide();
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(true);
    // Wide enough for both columns, tall enough for the six rows the list always shows.
    const int frame = 2 * m_list->frameWidth();
    m_list->setFixedWidth(136 + 120 + frame);
    m_list->setMinimumHeight(m_list->horizontalHeader()->sizeHint().height() + frame +
                             CBasicSettings::kMinRows *
                                 m_list->verticalHeader()->defaultSectionSize());

    CPageContext* context = Context();
    m_settings.Load(*context->document, context->files);
    // An unusable speed unit is put right in Gateway.ini as soon as the page opens.
    CFileChanges repair;
    m_settings.Repair(context->files, repair);
    if (!repair.Empty())
    {
        const auto written = repair.Commit(nullptr);
        RUROR::CSystemLog::GetInstance()->WriteLog(
            L"CBaseSetDialog", gLOG_LEVEL, L"SPEEDUNIT of Gateway.ini was not 0 to 2: %ls",
            written ? L"set to 0" : rz::Utf8ToWide(written.Describe()).c_str());
    }
    FillList();

    m_localIp->setText(ToQString(m_settings.localIp));
    m_localPort->setText(ToQString(m_settings.localPort));
    m_voipPort->setText(ToQString(m_settings.voipPort));
    m_gpsTracking->setChecked(m_settings.gpsTracking);
    m_rrsDisabled->setChecked(m_settings.rrsDisabled);
    FillChoices(m_codec, CBasicSettings::Codecs());
    m_codec->setCurrentIndex(static_cast<int>(m_settings.codec));
    FillChoices(m_speedUnit, CBasicSettings::SpeedUnits());
    m_speedUnit->setCurrentIndex(static_cast<int>(m_settings.speedUnit));

    EndEntry();
    m_add->setEnabled(true);
}

void CBaseSetDialog::LoadLanguage()
{
    CResizablePage::LoadLanguage();
    if (m_list->horizontalHeader()->font() != LanguageFont())
        m_list->horizontalHeader()->setFont(LanguageFont());
    // After a change of language the lists name their entries anew; the choices stay.
    for (auto [list, choices] : {std::pair{m_codec, &CBasicSettings::Codecs()},
                                 std::pair{m_speedUnit, &CBasicSettings::SpeedUnits()}})
    {
        const int chosen = list->currentIndex();
        FillChoices(list, *choices);
        list->setCurrentIndex(chosen);
    }
}

void CBaseSetDialog::FillList()
{
    m_list->clearContents();
    const auto& servers = m_settings.Servers();
    m_list->setRowCount(servers.ShownRows());
    for (int row = 0; row < m_list->rowCount(); ++row)
    {
        const bool filled = servers.IsRow(static_cast<size_t>(row));
        const RadioServerRecord blank;
        const RadioServerRecord& server = filled ? servers.Rows()[static_cast<size_t>(row)] : blank;
        m_list->setItem(row, 0, CentredItem(server.ipAddress));
        m_list->setItem(row, 1, CentredItem(server.ipPort));
    }
}

void CBaseSetDialog::OnSelectionChanged()
{
    const int row = m_list->currentRow();
    const auto& servers = m_settings.Servers();
    const bool filled = row >= 0 && servers.IsRow(static_cast<size_t>(row)) &&
                        m_list->selectionModel()->isRowSelected(row, QModelIndex());
    if (m_editing)
        return;
    if (filled)
    {
        const RadioServerRecord& server = servers.Rows()[static_cast<size_t>(row)];
        m_serverIp->setText(ToQString(server.ipAddress));
        m_serverPort->setText(ToQString(server.ipPort));
        m_add->setEnabled(false);
        m_remove->setEnabled(true);
        m_change->setEnabled(true);
    }
    else
    {
        EndEntry();
        m_serverIp->clear();
        m_serverPort->clear();
        m_add->setEnabled(true);
    }
}

void CBaseSetDialog::mousePressEvent(QMouseEvent* event)
{
    // A click on the page's background while browsing is like choosing a blank row.
    if (!m_editing)
    {
        m_list->clearSelection();
        EndEntry();
        m_add->setEnabled(true);
    }
    CResizablePage::mousePressEvent(event);
}

void CBaseSetDialog::OnAdd()
{
    if (const CRefusal full = m_settings.CanAdd())
    {
        ShowMessage(this, QMessageBox::Critical, full.textId);
        return;
    }
    m_serverIp->clear();
    m_serverPort->clear();
    BeginEntry(true);
}

void CBaseSetDialog::OnChange()
{
    // The entry changes the row that is chosen now, whatever its address.
    m_editRow = m_list->currentRow();
    BeginEntry(false);
}

void CBaseSetDialog::BeginEntry(bool adding)
{
    m_adding = adding;
    m_editing = true;
    m_add->setEnabled(false);
    m_remove->setEnabled(false);
    m_change->setEnabled(false);
    m_serverIp->setEnabled(true);
    m_serverPort->setEnabled(true);
    m_entrySave->show();
    m_entryCancel->show();
    m_list->setEnabled(false);
    SetPageHostEditing(this, true);
    m_serverIp->setFocus();
}

void CBaseSetDialog::EndEntry()
{
    m_editing = false;
    m_add->setEnabled(false);
    m_remove->setEnabled(false);
    m_change->setEnabled(false);
    m_serverIp->setEnabled(false);
    m_serverPort->setEnabled(false);
    m_entrySave->hide();
    m_entryCancel->hide();
}

void CBaseSetDialog::OnEntrySave()
{
    const std::wstring address = ToWString(m_serverIp->text());
    const std::wstring port = ToWString(m_serverPort->text());
    const CEntryResult result =
        m_adding
            ? m_settings.AddServer(address, port)
            : m_settings.ChangeServer(static_cast<size_t>(std::max(m_editRow, 0)), address, port);
    if (result.status == CEntryResult::Incomplete)
        return; // the entry stays open
    if (result.status == CEntryResult::Refused)
    {
        ShowMessage(this, QMessageBox::Critical, result.refusal.textId);
        return;
    }
    m_list->setEnabled(true);
    FillList();
    EndEntry();
    SetPageHostEditing(this, false);
    // Back on the list, on the row just saved: a new row is only the current one (Add stays
    // the button to press), a changed row stays chosen.
    if (m_adding)
    {
        m_listEditor->FocusRow(static_cast<int>(m_settings.Servers().Count()) - 1, false);
        m_add->setEnabled(true);
    }
    else
    {
        m_listEditor->FocusRow(m_editRow, true);
        OnSelectionChanged();
    }
    PostConfigModified(this);
}

void CBaseSetDialog::OnEntryCancel()
{
    EndEntry();
    SetPageHostEditing(this, false);
    m_list->setEnabled(true);
    // What was typed is dropped: the fields show the chosen row again, or nothing.
    m_listEditor->FocusRow(m_adding ? -1 : m_editRow, !m_adding);
    if (m_adding)
    {
        m_serverIp->clear();
        m_serverPort->clear();
        m_add->setEnabled(true);
    }
    else
    {
        OnSelectionChanged();
    }
}

void CBaseSetDialog::OnRemove()
{
    std::vector<size_t> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows())
    {
        if (m_settings.Servers().IsRow(static_cast<size_t>(index.row())))
            rows.push_back(static_cast<size_t>(index.row()));
    }
    m_settings.RemoveServers(rows);
    FillList();
    m_list->setCurrentCell(0, 0);
    m_list->selectRow(0);
    m_list->setFocus();
    OnSelectionChanged();
    PostConfigModified(this);
}

void CBaseSetDialog::TakeControls()
{
    m_settings.localIp = ToWString(m_localIp->text());
    m_settings.localPort = ToWString(m_localPort->text());
    m_settings.voipPort = ToWString(m_voipPort->text());
    m_settings.gpsTracking = m_gpsTracking->isChecked();
    m_settings.rrsDisabled = m_rrsDisabled->isChecked();
    m_settings.codec = static_cast<size_t>(std::max(m_codec->currentIndex(), 0));
    m_settings.speedUnit = static_cast<size_t>(std::max(m_speedUnit->currentIndex(), 0));
}

void CBaseSetDialog::ShowHint(QWidget* field, const char* key, bool show)
{
    // The tip stays exactly as long as its cause.
    CBasicSettings now = m_settings;
    now.localIp = ToWString(m_localIp->text());
    now.voipPort = ToWString(m_voipPort->text());
    QString text;
    for (const CHint& hint : now.Hints())
        if (hint.field == key)
            text = ToQString(lang::LookupText(hint.textId));
    if (show || text.isEmpty())
        m_balloon.Update(field, text);
}

bool CBaseSetDialog::SaveConfig()
{
    TakeControls();
    const auto refusals = m_settings.Validate();
    if (!refusals.empty())
    {
        // A value that no field would give (it came from the document): say which.
        const CRefusal& refusal = refusals.front();
        ShowMessageText(this, QMessageBox::Critical,
                        ToQString(lang::LookupText(refusal.textId)) + "\n" +
                            QString::fromStdString(refusal.field) + ": " +
                            ToQString(refusal.subject));
        return false;
    }
    CPageContext* context = Context();
    CFileChanges unsaved;
    m_settings.Save(*context->document, context->files,
                    context->changes != nullptr ? *context->changes : unsaved);
    return true;
}
