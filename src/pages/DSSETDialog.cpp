#include "pages/DSSETDialog.h"

#include "controls/ChangedEdit.h"
#include "controls/IPEdit.h"
#include "controls/NumEdit.h"
#include "events/Events.h"
#include "lang/Language.h"
#include "network/MobileChannelDetector.h"
#include "pages/ConnectionTestDialog.h"
#include "pages/StationListModel.h"
#include "platform/SoundDevices.h"
#include "ui/DropDownList.h"
#include "ui/LanguageTexts.h"
#include "ui/ListEditor.h"
#include "ui/MessageBox.h"
#include "ui/PageHost.h"
#include "ui/QtText.h"
#include "ui/WindowMessages.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <algorithm>

namespace
{

// The list's columns: their fixed titles and widths.
constexpr int kAliasWidth = 150;
constexpr int kPseudoIdWidth = 100;
constexpr int kIpWidth = 200;

template <typename T> T* WithId(T* control, int id)
{
    control->setProperty(kControlIdProperty, id);
    return control;
}

QLabel* Label(QWidget* parent, int id, const char* text)
{
    return WithId(new QLabel(QString::fromUtf8(text), parent), id);
}

QString KindLabel(CStationSettings::Kind kind)
{
    return ToQString(CStationSettings::Kinds().At(kind).label);
}

} // namespace

CDSSETDialog::CDSSETDialog(QWidget* parent)
    : CResizablePage(kDialogId, parent), m_detector(std::make_unique<MobileChannelDetector>()),
      m_rows(new CStationListModel(m_settings, this)),
      m_list(WithId(new QTableView(this), kStationList)),
      m_add(WithId(new QPushButton(QStringLiteral("Add"), this), kAddButton)),
      m_change(WithId(new QPushButton(QStringLiteral("Edit"), this), kChangeButton)),
      m_remove(WithId(new QPushButton(QStringLiteral("Del"), this), kRemoveButton)),
      m_alias(WithId(new CChangedEdit(this), kAliasEdit)),
      m_pseudoId(WithId(new CNumEdit(this), kPseudoIdEdit)),
      m_ip(WithId(new CDropDownList(this), kIpBox)),
      m_quickGps(
          WithId(new QCheckBox(KindLabel(CStationSettings::kQuickGps), this), kQuickGpsCheck)),
      m_gps(WithId(new QCheckBox(KindLabel(CStationSettings::kGps), this), kGpsCheck)),
      m_frontMic(
          WithId(new QCheckBox(QStringLiteral("Activate Microphone"), this), kFrontMicCheck)),
      m_speaker(WithId(new CDropDownList(this), kSpeakerList)),
      m_microphone(WithId(new CDropDownList(this), kMicrophoneList)),
      m_testButton(WithId(new QPushButton(QStringLiteral("Connection Test"), this), kTestButton)),
      m_entrySave(WithId(new QPushButton(QStringLiteral("Save"), this), kEntrySaveButton)),
      m_entryCancel(WithId(new QPushButton(QStringLiteral("Cancel"), this), kEntryCancelButton))
{
    m_detector->AddListener(this, kIPFoundEvent);
    m_list->setModel(m_rows);

    // The fields take what the model's field rules allow, as the command line's values do.
    m_alias->SetTypedLimit(CStationSettings::AliasField().maxLength);
    m_pseudoId->SetDecimalPoint(false);
    m_ip->setEditable(true);
    m_ip->setLineEdit(new CIPEdit);
    m_ip->setInsertPolicy(QComboBox::NoInsert);
    m_ip->setCompleter(nullptr);
    for (CDropDownList* list : {m_speaker, m_microphone})
        list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

    auto* grid = new QGridLayout(this);
    int row = 0;
    grid->addWidget(m_list, row++, 0, 1, 3, Qt::AlignLeft);
    auto* listButtons = new QHBoxLayout;
    for (QPushButton* button : {m_add, m_change, m_remove})
        listButtons->addWidget(button);
    listButtons->addStretch(1);
    grid->addLayout(listButtons, row++, 0, 1, 3);
    grid->addWidget(Label(this, 1054, "Alias"), row, 0);
    grid->addWidget(m_alias, row++, 1);
    grid->addWidget(Label(this, 1110, "PseudoID"), row, 0);
    grid->addWidget(m_pseudoId, row++, 1);
    grid->addWidget(Label(this, 1053, "Virtual IP"), row, 0);
    grid->addWidget(m_ip, row++, 1);
    grid->addWidget(m_quickGps, row++, 1);
    grid->addWidget(m_gps, row++, 1);
    grid->addWidget(m_frontMic, row++, 1);
    grid->addWidget(Label(this, 1061, "Speaker"), row, 0);
    grid->addWidget(m_speaker, row++, 1);
    grid->addWidget(Label(this, 1062, "Microphone"), row, 0);
    grid->addWidget(m_microphone, row++, 1);
    grid->addWidget(m_testButton, row++, 1, Qt::AlignLeft);
    auto* entryButtons = new QHBoxLayout;
    entryButtons->addWidget(m_entrySave);
    entryButtons->addWidget(m_entryCancel);
    entryButtons->addStretch(1);
    grid->addLayout(entryButtons, row++, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(row, 1);

    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CDSSETDialog::OnSelectionChanged);
    connect(m_add, &QPushButton::clicked, this, &CDSSETDialog::OnAdd);
    connect(m_change, &QPushButton::clicked, this, &CDSSETDialog::OnChange);
    connect(m_remove, &QPushButton::clicked, this, &CDSSETDialog::OnRemove);
    connect(m_entrySave, &QPushButton::clicked, this, &CDSSETDialog::OnEntrySave);
    connect(m_entryCancel, &QPushButton::clicked, this, &CDSSETDialog::OnEntryCancel);
    connect(m_testButton, &QPushButton::clicked, this, &CDSSETDialog::OnConnectionTest);
    for (QCheckBox* kind : {m_quickGps, m_gps})
        connect(kind, &QCheckBox::clicked, this, &CDSSETDialog::OnKindClicked);
    connect(m_frontMic, &QCheckBox::clicked, this, [this] { PostConfigModified(this); });
    // Choosing an address from the list is an edit of the box too; typing posts by itself.
    for (CDropDownList* list : {m_ip, m_speaker, m_microphone})
        connect(list, &QComboBox::activated, this, [this] { PostConfigModified(this); });
    connect(m_ip, &CDropDownList::droppingDown, this, &CDSSETDialog::OnIpDroppingDown);
    for (CDropDownList* list : {m_speaker, m_microphone})
        connect(list, &CDropDownList::droppingDown, this, &CDSSETDialog::ReadDevices);
    m_listEditor = new CListEditor({this, m_list, m_remove, m_change, m_entrySave, m_entryCancel});
}

CDSSETDialog::~CDSSETDialog()
{
    // The test's thread uses the detector and hears the socket as this page: it ends first.
    delete m_test.data();
    m_detector->RemoveListener(this, kIPFoundEvent);
}

CConnectionTestDialog* CDSSETDialog::ConnectionTest() const
{
    return m_test.data();
}

bool CDSSETDialog::CancelEdit()
{
    return m_listEditor->CancelEdit();
}

void CDSSETDialog::OnInitDialog()
{
    CResizablePage::OnInitDialog();

    m_list->setColumnWidth(0, kAliasWidth);
    m_list->setColumnWidth(1, kPseudoIdWidth);
    m_list->setColumnWidth(2, kIpWidth);
    m_list->verticalHeader()->hide();
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(true);
    const int frame = 2 * m_list->frameWidth();
    m_list->setFixedWidth(kAliasWidth + kPseudoIdWidth + kIpWidth + frame);
    m_list->setMinimumHeight(m_list->horizontalHeader()->sizeHint().height() + frame +
                             CStationSettings::kMinRows *
                                 m_list->verticalHeader()->defaultSectionSize());

    CPageContext* context = Context();
    m_settings.Load(*context->document, context->files);
    FillList();
    EndEdit();
    m_add->setEnabled(true);
}

void CDSSETDialog::LoadLanguage()
{
    CResizablePage::LoadLanguage();
    if (m_list->horizontalHeader()->font() != LanguageFont())
        m_list->horizontalHeader()->setFont(LanguageFont());
    // The entry's buttons have texts of their own; English where the language has none.
    const lang::CLanguage& language = lang::CLanguage::Instance();
    m_entrySave->setText(ButtonText(ToQString(language.LookupOrBuiltin(L"1111"))));
    m_entryCancel->setText(ButtonText(ToQString(language.LookupOrBuiltin(L"1112"))));
}

void CDSSETDialog::OnEvent(CEventBase* event)
{
    // The radio's data during a test comes on the socket's thread and is of no use here.
    if (event == nullptr || event->GetType() != kIPFoundEvent)
        return;
    const auto* found = static_cast<const IPFoundEvent*>(event);
    m_ip->clear();
    for (const auto& [text, entry] : found->addresses)
        m_ip->addItem(QString::fromStdString(entry.text));
    // The box stays empty until an address is chosen (adding the first entry chose it).
    m_ip->setCurrentIndex(-1);
    m_ip->update();
}

void CDSSETDialog::FillList()
{
    m_rows->Refresh();
}

void CDSSETDialog::EnsureDevices()
{
    // Reading ALSA's devices takes as long as filling a list of a thousand stations: it waits
    // until a list is first needed. The first device of each list is chosen then, until a
    // station says otherwise.
    if (m_devicesRead)
        return;
    m_devicesRead = true;
    ReadDevices();
    for (CDropDownList* list : {m_microphone, m_speaker})
        list->setCurrentIndex(list->count() > 0 ? 0 : -1);
}

void CDSSETDialog::ReadDevices()
{
    rz::CSoundDevices devices = rz::SoundDevices();
    m_microphones = std::move(devices.inputs);
    m_speakers = std::move(devices.outputs);
    FillDevices(m_microphone, m_microphones, {});
    FillDevices(m_speaker, m_speakers, {});
}

void CDSSETDialog::FillDevices(CDropDownList* list, const std::vector<std::wstring>& found,
                               const std::wstring& wanted)
{
    // Without a name of its own the list keeps the one it shows, even one no device has.
    const std::wstring name =
        wanted.empty() && list->currentIndex() >= 0 ? ToWString(list->currentText()) : wanted;
    const CDeviceChoices choices = CStationSettings::DeviceChoices(found, name);
    list->clear();
    for (const std::wstring& device : choices.names)
        list->addItem(ToQString(device));
    list->setCurrentIndex(choices.selected ? static_cast<int>(*choices.selected) : -1);
}

void CDSSETDialog::OnSelectionChanged()
{
    if (m_editing)
        return;
    const int row = m_list->currentIndex().row();
    const auto& stations = m_settings.Stations();
    const bool filled = row >= 0 && stations.IsRow(static_cast<size_t>(row)) &&
                        m_list->selectionModel()->isRowSelected(row, QModelIndex());
    if (!filled)
    {
        ShowNothing();
        return;
    }
    ShowStation(stations.Rows()[static_cast<size_t>(row)]);
    m_add->setEnabled(false);
    m_remove->setEnabled(true);
    m_change->setEnabled(true);
    m_testButton->setEnabled(true);
}

void CDSSETDialog::ShowStation(const StationInfo& station)
{
    EnsureDevices();
    const StationEntry shown = CStationSettings::EntryOf(station);
    m_alias->setText(ToQString(shown.alias));
    m_pseudoId->setText(ToQString(shown.pseudoId));
    m_ip->setEditText(ToQString(shown.ipAddress));
    m_quickGps->setChecked(shown.quickGps);
    m_gps->setChecked(shown.gps);
    m_frontMic->setChecked(shown.frontMic);
    FillDevices(m_speaker, m_speakers, shown.speaker);
    FillDevices(m_microphone, m_microphones, shown.microphone);
}

void CDSSETDialog::ShowNothing()
{
    EndEdit();
    m_alias->clear();
    m_pseudoId->clear();
    m_ip->clearEditText();
    for (QCheckBox* box : {m_quickGps, m_gps, m_frontMic})
        box->setChecked(false);
    m_speaker->setCurrentIndex(-1);
    m_microphone->setCurrentIndex(-1);
    m_add->setEnabled(true);
}

void CDSSETDialog::mousePressEvent(QMouseEvent* event)
{
    // A click on the page's background while browsing is like choosing a blank row.
    if (!m_editing)
    {
        m_list->clearSelection();
        EndEdit();
        m_add->setEnabled(true);
    }
    CResizablePage::mousePressEvent(event);
}

void CDSSETDialog::OnAdd()
{
    EnsureDevices();
    m_adding = true;
    // The IP box keeps its text: the adapter is often the one just looked at.
    m_alias->clear();
    m_pseudoId->setText(QStringLiteral("0"));
    for (QCheckBox* box : {m_quickGps, m_gps, m_frontMic})
        box->setChecked(false);
    m_speaker->setCurrentIndex(-1);
    m_microphone->setCurrentIndex(-1);
    BeginEdit(true);
}

void CDSSETDialog::OnChange()
{
    // The entry changes the row that is chosen now, whatever its address.
    m_adding = false;
    m_editRow = m_list->currentIndex().row();
    BeginEdit(false);
}

void CDSSETDialog::BeginEdit(bool adding)
{
    m_adding = adding;
    m_editing = true;
    m_add->setEnabled(false);
    m_remove->setEnabled(false);
    m_change->setEnabled(false);
    SetFieldsEnabled(true);
    m_testButton->setEnabled(true);
    ApplyKindRules();
    m_entrySave->show();
    m_entryCancel->show();
    m_list->setEnabled(false);
    SetPageHostEditing(this, true);
    m_alias->setFocus();
}

void CDSSETDialog::EndEdit()
{
    m_editing = false;
    m_add->setEnabled(false);
    m_remove->setEnabled(false);
    m_change->setEnabled(false);
    SetFieldsEnabled(false);
    m_testButton->setEnabled(false);
    m_entrySave->hide();
    m_entryCancel->hide();
}

void CDSSETDialog::SetFieldsEnabled(bool enabled)
{
    for (QWidget* field : std::initializer_list<QWidget*>{
             m_alias, m_pseudoId, m_ip, m_quickGps, m_gps, m_frontMic, m_speaker, m_microphone})
        field->setEnabled(enabled);
}

void CDSSETDialog::ApplyKindRules()
{
    const auto fields = CStationSettings::EditorFields(m_quickGps->isChecked(), m_gps->isChecked());
    m_gps->setEnabled(fields.gpsBox);
    m_frontMic->setEnabled(fields.audio);
    m_speaker->setEnabled(fields.audio);
    m_microphone->setEnabled(fields.audio);
}

void CDSSETDialog::OnKindClicked()
{
    ApplyKindRules();
    PostConfigModified(this);
}

StationEntry CDSSETDialog::TakeEntry() const
{
    const auto chosen = [](const CDropDownList* list)
    { return list->currentIndex() >= 0 ? ToWString(list->currentText()) : std::wstring(); };
    return {ToWString(m_alias->text()),
            ToWString(m_pseudoId->text()),
            ToWString(m_ip->currentText()),
            m_quickGps->isChecked(),
            m_gps->isChecked(),
            m_frontMic->isChecked(),
            chosen(m_speaker),
            chosen(m_microphone)};
}

void CDSSETDialog::OnEntrySave()
{
    const StationEntry entry = TakeEntry();
    const CEntryResult result =
        m_adding ? m_settings.AddStation(entry)
                 : m_settings.ChangeStation(static_cast<size_t>(std::max(m_editRow, 0)), entry);
    if (result.status != CEntryResult::Done)
    {
        // The entry stays open with what was typed.
        ShowMessage(this, QMessageBox::Critical, result.refusal.textId);
        return;
    }
    m_list->setEnabled(true);
    FillList();
    EndEdit();
    SetPageHostEditing(this, false);
    // Back on the list, on the row just saved: a new row is only the current one (Add stays
    // the button to press), a changed row stays chosen.
    if (m_adding)
    {
        m_listEditor->FocusRow(static_cast<int>(m_settings.Stations().Count()) - 1, false);
        m_add->setEnabled(true);
    }
    else
    {
        m_listEditor->FocusRow(m_editRow, true);
        OnSelectionChanged();
    }
    PostConfigModified(this);
}

void CDSSETDialog::OnEntryCancel()
{
    EndEdit();
    SetPageHostEditing(this, false);
    m_list->setEnabled(true);
    if (m_adding)
    {
        // What was typed goes, the alias aside.
        m_pseudoId->clear();
        m_ip->clearEditText();
        m_listEditor->FocusRow(-1, false);
    }
    else
    {
        // The row shows its station as it is kept.
        m_listEditor->FocusRow(m_editRow, true);
        OnSelectionChanged();
    }
    m_add->setEnabled(true);
}

void CDSSETDialog::OnRemove()
{
    std::vector<size_t> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows())
    {
        if (m_settings.Stations().IsRow(static_cast<size_t>(index.row())))
            rows.push_back(static_cast<size_t>(index.row()));
    }
    if (rows.empty())
        return;
    const int first = static_cast<int>(*std::min_element(rows.begin(), rows.end()));
    m_settings.RemoveStations(rows);
    FillList();
    m_list->clearSelection();
    m_listEditor->FocusRow(std::min(first, m_rows->rowCount() - 1), false);
    ShowNothing();
    PostConfigModified(this);
}

void CDSSETDialog::OnIpDroppingDown()
{
    // The box lists the adapters' addresses as they are now; the event refills it.
    m_ip->clear();
    m_detector->EnumerateAdapters();
}

void CDSSETDialog::OnConnectionTest()
{
    const std::wstring ip = ToWString(m_ip->currentText());
    if (const int refused = connection_test::CheckStationValues(ToWString(m_alias->text()),
                                                                ToWString(m_pseudoId->text()), ip))
    {
        ShowMessage(this, QMessageBox::Critical, refused);
        return;
    }
    // The test runs beside the window, which stays responsive; its progress can cancel it.
    m_test = new CConnectionTestDialog(ip, *m_detector, this, m_testOptions, this);
    connect(m_test, &CConnectionTestDialog::testFinished, this,
            &CDSSETDialog::OnConnectionTestFinished);
    m_test->Start();
}

void CDSSETDialog::OnConnectionTestFinished(int messageId)
{
    if (m_test)
        m_test->deleteLater();
    m_test = nullptr;
    switch (messageId)
    {
    case connection_test::kCancelled:
        return;
    case connection_test::kConnected:
        ShowMessage(this, QMessageBox::Information, messageId);
        return;
    case connection_test::kConnectFailed:
        ShowAppMessage(this, QMessageBox::Critical, messageId);
        return;
    default:
        ShowMessage(this, QMessageBox::Critical, messageId);
        return;
    }
}

bool CDSSETDialog::SaveConfig()
{
    CPageContext* context = Context();
    CFileChanges unsaved;
    m_settings.Save(*context->document, context->files,
                    context->changes != nullptr ? *context->changes : unsaved);
    return true;
}
