#include "app/RaviraZazuDlg.h"

#include "app/FontStart.h"
#include "config/GatewayConfigDoc.h"
#include "config/SystemLog.h"
#include "events/Events.h"
#include "lang/Language.h"
#include "logging/ToolLog.h"
#include "pages/BaseSetDialog.h"
#include "pages/DSSETDialog.h"
#include "pages/DlgPageFrame.h"
#include "pages/DlgRepeaterFrame.h"
#include "pages/LanguageDlg.h"
#include "pages/OtherSetDialog.h"
#include "pages/RepeaterDlg.h"
#include "platform/DebugOutput.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/TextCodec.h"
#include "service/ServiceStateCheck.h"
#include "service/ServiceWatch.h"
#include "ui/DrawnIcons.h"
#include "ui/LanguageTexts.h"
#include "ui/MessageBox.h"
#include "ui/QtText.h"
#include "ui/WindowMessages.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cstring>

namespace
{

// The pages of the tree, in order: their title text, icon and dialog.
constexpr int kBasicTitle = 129;
constexpr int kStationTitle = 153;
constexpr int kRepeaterTitle = 256;
constexpr int kLanguageTitle = 150;
constexpr int kOthersTitle = 133;

constexpr int kTreeWidth = 232;
constexpr int kIconSize = 28;

const wchar_t* const kProfileSection = L"MXR_GatewayRaviraZazu";

QPushButton* MakeButton(QWidget* parent, int controlId, const char* label)
{
    auto* button = new QPushButton(QString::fromUtf8(label), parent);
    button->setProperty(kControlIdProperty, controlId);
    button->setAutoDefault(false);
    return button;
}

QIcon PageIcon(int titleTextId)
{
    switch (titleTextId)
    {
    case kBasicTitle:
        return MakeDrawnIcon(DrawnIcon::Settings);
    case kStationTitle:
        return MakeDrawnIcon(DrawnIcon::Network);
    case kRepeaterTitle:
        return MakeDrawnIcon(DrawnIcon::Computer);
    case kLanguageTitle:
        return MakeDrawnIcon(DrawnIcon::Question);
    default:
        return MakeDrawnIcon(DrawnIcon::Info);
    }
}

} // namespace

CRaviraZazuDlg::CRaviraZazuDlg(Options options, QWidget* parent)
    : QDialog(parent), m_options(std::move(options)), m_tree(new QListWidget(this)),
      m_stack(new QStackedWidget(this)), m_title(new QLabel(this)),
      m_start(MakeButton(this, 3, "Start")), m_stop(MakeButton(this, 4, "Stop")),
      m_apply(MakeButton(this, 1, "Save")), m_close(MakeButton(this, 2, "Close"))
{
    setObjectName("CRaviraZazuDlg");
    setWindowIcon(MakeDrawnIcon(DrawnIcon::Network));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(true);

    m_title->setObjectName("titleBar");
    // Colours and margins by palette: a style sheet would load the style sheet machinery at
    // every start, for this one label.
    QPalette titleColours = m_title->palette();
    titleColours.setColor(QPalette::Window, QColor(0x1f, 0x4e, 0x79));
    titleColours.setColor(QPalette::WindowText, Qt::white);
    m_title->setPalette(titleColours);
    m_title->setAutoFillBackground(true);
    m_title->setContentsMargins(12, 8, 12, 8);
    m_tree->setObjectName("pageTree");
    m_tree->setFixedWidth(kTreeWidth);
    m_tree->setIconSize(QSize(kIconSize, kIconSize));
    m_stop->hide(); // the Stop button of the template is never shown
    m_apply->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {m_start, m_stop, m_apply, m_close})
        buttons->addWidget(button);
    auto* body = new QHBoxLayout;
    body->addWidget(m_tree);
    body->addWidget(m_stack, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
    FitScreen();

    connect(m_apply, &QPushButton::clicked, this, &CRaviraZazuDlg::OnApply);
    connect(m_start, &QPushButton::clicked, this, &CRaviraZazuDlg::OnStart);
    connect(m_stop, &QPushButton::clicked, this, &CRaviraZazuDlg::OnStop);
    connect(m_close, &QPushButton::clicked, this, &CRaviraZazuDlg::OnCloseButton);
    connect(m_tree, &QListWidget::currentRowChanged, this, &CRaviraZazuDlg::SelectPage);

    CGatewayConfigDoc::Instance().Unload();
    m_context.document = &CGatewayConfigDoc::Instance();
    BuildPages();
    ShowStartAs(StartLook::Start);
}

void CRaviraZazuDlg::FitScreen()
{
    // The usual size, but never more than the screen the window opens on.
    QSize size(920, 640);
    if (const QScreen* screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(size);
}

CRaviraZazuDlg::~CRaviraZazuDlg()
{
    ClearLanguageRegistry();
    RestoreToolkitDefaults();
    CGatewayConfigDoc::Instance().Unload();
    m_log.reset(); // detached from the system log, its writer stopped
    RUROR::CSystemLog::GetInstance()->Exit();
    DeleteWatcher();
    // The pages go with their Qt parents.
}

void CRaviraZazuDlg::BuildPages()
{
    // Each page is built the first time it is shown: a page that is never opened costs the
    // start nothing.
    m_pages = {
        {kBasicTitle, [](QWidget* parent)
         { return new CDlgPageFrame(190, new CBaseSetDialog(parent), parent); }},
        {kStationTitle,
         [](QWidget* parent) { return new CDlgPageFrame(192, new CDSSETDialog(parent), parent); }},
        {kRepeaterTitle, [](QWidget* parent)
         { return new CDlgRepeaterFrame([] { return new CRepeaterDlg; }, parent); }},
        {kLanguageTitle, [](QWidget* parent) { return new CLanguageDlg(parent); }},
        {kOthersTitle, [](QWidget* parent) { return new COtherSetDialog(parent); }},
    };
    for (const PageEntry& entry : m_pages)
    {
        m_stack->addWidget(new QWidget); // in place of the page until it is built
        auto* item = new QListWidgetItem(m_tree);
        item->setIcon(PageIcon(entry.titleTextId));
        item->setSizeHint(QSize(kTreeWidth - 8, kIconSize + 8));
    }
    RelabelTree();
}

QWidget* CRaviraZazuDlg::Scrolled(CResizablePage* page) const
{
    // A page scrolls when the window is smaller than the page wants to be (a small screen,
    // a large scale factor): the window never grows beyond the screen for it.
    // In the page stack from the start, so that the page keeps the stack's font.
    auto* area = new QScrollArea(m_stack);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidget(page);
    return area;
}

CResizablePage* CRaviraZazuDlg::Page(int index)
{
    if (index < 0 || index >= PageCount())
        return nullptr;
    PageEntry& entry = m_pages[static_cast<size_t>(index)];
    if (entry.page == nullptr)
        PlacePage(index, entry.make(m_stack)); // built in the language's font of the stack
    return entry.page;
}

void CRaviraZazuDlg::SetPage(int index, CResizablePage* page)
{
    if (index < 0 || index >= PageCount() || page == nullptr)
        return;
    const CResizablePage* old = m_pages[static_cast<size_t>(index)].page;
    if (old != nullptr && old->IsCreated())
        return;
    PlacePage(index, page);
}

void CRaviraZazuDlg::PlacePage(int index, CResizablePage* page)
{
    page->SetContext(&m_context);
    QWidget* old = m_stack->widget(index);
    m_stack->insertWidget(index, Scrolled(page));
    m_stack->removeWidget(old);
    old->deleteLater(); // with a page that was replaced before it was created
    m_pages[static_cast<size_t>(index)].page = page;
}

bool CRaviraZazuDlg::OnInitDialog()
{
    // The tool's own folder and the document, its folders made where missing.
    rz::SetToolDir(m_options.toolDir);
    const std::string toolDir = rz::ToolDir();
    m_context.files.toolDir = toolDir;
    std::string documentPath = m_options.documentPath;
    if (documentPath.empty())
    {
        rz::EnsureDocumentFolders();
        documentPath = rz::DocumentPath();
    }
    if (!rz::FileExists(documentPath))
    {
        rz::AwaitFontStart();
        ShowMessageText(this, QMessageBox::Critical, QStringLiteral("Config file was lost."));
        return false;
    }
    CGatewayConfigDoc& document = CGatewayConfigDoc::Instance();
    const auto loaded = document.Load(documentPath);

    lang::CLanguage::Instance().LoadFile(lang::LanguageFilePath(toolDir, document), document,
                                         toolDir);
    ApplyToolkitTranslation();
    // The pages are built in the page stack and take the language's font from it as they
    // are built, instead of every control changing its font once it exists.
    m_stack->setFont(LanguageFont());
    // The tree's pictures need no font: they are drawn while the font system is still starting
    // (the tree paints them from the pixmap cache).
    for (int i = 0; i < m_tree->count(); ++i)
        m_tree->item(i)->icon().pixmap(m_tree->iconSize(), devicePixelRatioF());
    rz::AwaitFontStart(); // the first text is measured below
    if (m_options.attachLog)
        m_log = std::make_unique<CToolLog>();
    if (!loaded)
    {
        RUROR::CSystemLog::GetInstance()->WriteLog(L"CRaviraZazuDlg", gLOG_LEVEL, L"%ls %ls",
                                                   rz::Utf8ToWide(documentPath).c_str(),
                                                   rz::Utf8ToWide(loaded.Describe()).c_str());
        // Saving would write back only what could be read: say so before anything is changed.
        ShowMessageText(this, QMessageBox::Warning,
                        QStringLiteral("%1\n%2.\nSaving writes back only what could be read.")
                            .arg(QString::fromStdString(documentPath),
                                 QString::fromStdString(loaded.Describe())));
    }

    // The tree is in the language's font before it first measures its items.
    ApplyLanguageTexts(this, kDialogId, true);
    m_tree->setCurrentRow(0);
    rz::WriteProfileString(kProfileSection, L"Title", ToWString(windowTitle()));

    m_serviceName = ConfiguredServiceName(toolDir);
    if (m_serviceName.empty())
    {
        // No service to watch: the window works without the Start button.
        m_serviceInstalled = false;
        m_start->hide();
        return true;
    }
    setWindowTitle(ToQString(lang::LookupText(103)));

    // The service is watched on a thread of its own: the window never waits for the
    // service manager. Until the watch reports, Start shows as it does for a stopped service.
    // The watch begins once the window has painted its first picture, which does not need
    // it (or at a request that comes before): its bus connection would only compete with
    // that picture for the processor.
    m_watchWanted = true;
    return true;
}

void CRaviraZazuDlg::StartWatch()
{
    if (m_watcher || !m_watchWanted)
        return;
    m_watcher = std::make_unique<CServiceWatch>(m_serviceName, m_options.serviceSafetyPoll);
    m_watcher->AddListener(this, kServiceStateCheckEvent);
}

void CRaviraZazuDlg::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    if (m_painted)
        return;
    // After the rest of this picture is painted.
    m_painted = true;
    QMetaObject::invokeMethod(this, &CRaviraZazuDlg::StartWatch, Qt::QueuedConnection);
}

void CRaviraZazuDlg::OnEvent(CEventBase* event)
{
    // On the watch's thread: the state goes to the window's own thread.
    if (event == nullptr || event->GetType() != kServiceStateCheckEvent)
        return;
    const uint32_t state = static_cast<ServiceStateCheckEvent*>(event)->state;
    QMetaObject::invokeMethod(
        this, [this, state] { OnServiceState(state); }, Qt::QueuedConnection);
}

void CRaviraZazuDlg::DeleteWatcher()
{
    m_watchWanted = false;
    if (!m_watcher)
        return;
    m_watcher->RemoveListener(this, kServiceStateCheckEvent);
    m_watcher.reset();
}

void CRaviraZazuDlg::RelabelTree()
{
    const QFont font = LanguageFont();
    m_tree->setFont(font);
    for (int i = 0; i < PageCount(); ++i)
    {
        const int id = m_pages[static_cast<size_t>(i)].titleTextId;
        m_tree->item(i)->setText(
            ToQString(lang::CLanguage::Instance().LookupOrBuiltin(std::to_wstring(id))));
    }
}

void CRaviraZazuDlg::LoadLanguage()
{
    const QFont font = LanguageFont();
    for (QPushButton* button : {m_start, m_stop, m_apply, m_close})
        button->setFont(font);
    m_stack->setFont(font);
    m_title->setFont(LanguageTitleFont());
    m_title->setText(windowTitle());
    RelabelTree();
    if (m_pending)
        m_start->setText(ButtonText(ToQString(lang::CLanguage::Instance().LookupOrBuiltin(L"5"))));
}

void CRaviraZazuDlg::SelectPage(int index)
{
    CResizablePage* page = Page(index);
    if (page == nullptr)
        return;
    if (m_tree->currentRow() != index)
        m_tree->setCurrentRow(index);
    page->Create();
    m_stack->setCurrentIndex(index);
    page->OnSetActive();
}

void CRaviraZazuDlg::ShowStartAs(StartLook look)
{
    if (look == StartLook::Pending)
    {
        m_start->setIcon(MakeDrawnIcon(DrawnIcon::Reload));
        m_startLook = look;
        return;
    }
    const int textId = look == StartLook::Stop ? 4 : 3;
    const QString text = ToQString(lang::LookupText(textId));
    // An unchanged state changes nothing on the screen.
    if (!text.isEmpty() && text.compare(m_start->text(), Qt::CaseInsensitive) == 0 &&
        m_startLook == look)
        return;
    if (!text.isEmpty())
        m_start->setText(ButtonText(text));
    m_start->setIcon(MakeDrawnIcon(look == StartLook::Stop ? DrawnIcon::Stop : DrawnIcon::Play));
    m_startLook = look;
    m_start->update();
}

void CRaviraZazuDlg::OnServiceState(uint32_t state)
{
    if (state == CServiceWatch::kNotInstalled)
    {
        // No such service at start-up: no Start button. One that disappears later leaves the
        // button as it was.
        if (!m_serviceSeen)
        {
            m_serviceInstalled = false;
            m_start->hide();
        }
        return;
    }
    if (!m_serviceSeen)
    {
        m_serviceSeen = true;
        m_serviceInstalled = true;
        m_start->setVisible(!m_apply->isHidden());
    }
    // A state that cannot be read is said so; the button cannot act on it meanwhile.
    const bool known = state != CServiceWatch::kUnknown;
    m_start->setEnabled(known);
    m_start->setToolTip(known ? QString()
                              : QStringLiteral("The state of the service cannot be read"));
    m_stateKnown = known;
    if (state == ServiceStateCheck::kStopped || state == ServiceStateCheck::kPaused)
        m_running = false;
    else if (state == ServiceStateCheck::kRunning)
        m_running = true;
    else
        return;
    // While changes are pending the button keeps its pending look.
    if (!m_pending)
        ShowStartAs(m_running ? StartLook::Stop : StartLook::Start);
}

void CRaviraZazuDlg::EnterPending()
{
    if (m_pending)
        return;
    ShowStartAs(StartLook::Pending);
    m_pending = true;
    LoadLanguage();
}

bool CRaviraZazuDlg::event(QEvent* event)
{
    if (event->type() == MessageEventType(WM_CONFIG_MODIFIED))
    {
        EnterPending();
        return true;
    }
    if (event->type() == MessageEventType(WM_CONFIG_RELOAD))
    {
        ReloadDocument();
        return true;
    }
    return QDialog::event(event);
}

void CRaviraZazuDlg::ReloadDocument()
{
    CGatewayConfigDoc& document = CGatewayConfigDoc::Instance();
    const std::string path = document.Path();
    if (path.empty())
        return;
    const auto result = document.Reload(path);
    RUROR::CSystemLog::GetInstance()->WriteLog(L"CRaviraZazuDlg", gLOG_LEVEL, L"reload of %ls: %ls",
                                               rz::Utf8ToWide(path).c_str(),
                                               rz::Utf8ToWide(result.Describe()).c_str());
}

bool CRaviraZazuDlg::SaveAll()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The pages' own files (Gateway.ini) are written together with the document, and only
    // when every page agreed to save.
    CFileChanges changes;
    m_context.changes = &changes;
    for (const PageEntry& entry : m_pages)
    {
        if (entry.page == nullptr || !entry.page->IsCreated())
            continue; // a page never opened has nothing to save
        if (!entry.page->SaveConfig())
        {
            m_context.changes = nullptr;
            QApplication::restoreOverrideCursor();
            ShowMessage(this, QMessageBox::Critical, 10030);
            return false;
        }
    }
    m_context.changes = nullptr;
    QApplication::restoreOverrideCursor();

    CGatewayConfigDoc& document = CGatewayConfigDoc::Instance();
    const auto written = changes.Commit(&document);
    if (!written)
    {
        RUROR::CSystemLog::GetInstance()->WriteLog(L"CRaviraZazuDlg", gLOG_LEVEL, L"save: %ls",
                                                   rz::Utf8ToWide(written.Describe()).c_str());
        ShowMessage(this, QMessageBox::Critical, 10030);
    }
    else if (!m_pending)
    {
        ShowMessage(this, QMessageBox::Warning, 10029);
    }
    // Back to Start; the next poll shows Stop again while the service runs.
    ShowStartAs(StartLook::Start);
    m_pending = false;
    return static_cast<bool>(written);
}

void CRaviraZazuDlg::OnApply()
{
    m_pending = false;
    SaveAll();
}

void CRaviraZazuDlg::OnStart()
{
    StartWatch();
    if (!m_watcher)
        return;
    if (m_pending)
    {
        // Save and restart: the start is made whether or not the save succeeded. The watch
        // carries the stop and the start out in this order.
        m_watcher->Stop();
        SaveAll();
        m_watcher->Start();
    }
    else if (m_running)
    {
        m_watcher->Stop();
        ShowStartAs(StartLook::Start);
    }
    else
    {
        m_watcher->Start();
        ShowStartAs(StartLook::Stop);
    }
}

void CRaviraZazuDlg::OnStop()
{
    StartWatch();
    if (m_watcher)
        m_watcher->Stop();
}

void CRaviraZazuDlg::ShowMainButtons(bool show)
{
    m_apply->setVisible(show);
    m_close->setVisible(show);
    m_start->setVisible(show && m_serviceInstalled);
}

void CRaviraZazuDlg::EnablePageTree(bool enable)
{
    m_tree->setEnabled(enable);
}

void CRaviraZazuDlg::LanguageChanged()
{
    setWindowTitle(ToQString(lang::LookupText(103)));
    m_title->setText(windowTitle());
    m_title->setFont(LanguageTitleFont());
    RelabelTree();
    m_tree->viewport()->update();
    rz::WriteProfileString(kProfileSection, L"Title", ToWString(windowTitle()));
}

void CRaviraZazuDlg::OnCloseButton()
{
    // Closing without saving must be asked for: the answer that loses nothing is the default.
    if (m_pending &&
        ShowMessage(this, QMessageBox::Question, 10039, QMessageBox::Yes | QMessageBox::No,
                    QMessageBox::No) != QMessageBox::Yes)
        return;
    DeleteWatcher(); // closing never stops the service
    m_closing = true;
    done(QDialog::Rejected);
}

bool CRaviraZazuDlg::CancelOpenEdit()
{
    const int index = m_stack->currentIndex();
    CResizablePage* page =
        index >= 0 && index < PageCount() ? m_pages[static_cast<size_t>(index)].page : nullptr;
    return page != nullptr && page->IsCreated() && page->CancelEdit();
}

void CRaviraZazuDlg::reject()
{
    // Escape first closes an entry that is open on the page, as its Cancel does.
    if (CancelOpenEdit())
        return;
    OnCloseButton();
}

void CRaviraZazuDlg::closeEvent(QCloseEvent* event)
{
    if (m_closing)
    {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    if (CancelOpenEdit())
        return;
    OnCloseButton();
}

bool CRaviraZazuDlg::ActivateIfTitled(const QString& title)
{
    const QString own = windowTitle();
    if (title.isEmpty() || !own.endsWith(title))
        return false;
    rz::OutputDebugString("brought to the front at the request of another copy\n");
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
    return true;
}
