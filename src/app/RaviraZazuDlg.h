#pragma once

#include "events/ListenerBase.h"
#include "pages/PageContext.h"
#include "ui/ILoadLanguage.h"
#include "ui/PageHost.h"

#include <QDialog>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CResizablePage;
class CToolLog;
class CServiceWatch;
class QLabel;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QTimer;

// Where the main window finds its files; empty values take the usual places.
struct CMainWindowOptions
{
    std::string toolDir;      // the tool's own folder (ini files, language/)
    std::string documentPath; // GatewayConfig.XML
    bool attachLog = true;    // write the tool's log files
    // How often the service's state is read again besides its change signals.
    std::chrono::milliseconds serviceSafetyPoll{5000};
};

// The main window: loads the configuration document and the language, hosts the settings
// pages in a page tree, and offers Apply ("Save"), Start and Close.
class CRaviraZazuDlg : public QDialog, public CListenerBase, public ILoadLanguage, public IPageHost
{
    Q_OBJECT

public:
    static constexpr int kDialogId = 102;

    using Options = CMainWindowOptions;

    // How the Start button looks: as Start, as Stop, or as save-and-restart.
    enum class StartLook
    {
        Start,
        Stop,
        Pending,
    };

    explicit CRaviraZazuDlg(Options options = {}, QWidget* parent = nullptr);
    ~CRaviraZazuDlg() override;

    // The start-up sequence. False when the tool must end at once (the document is missing;
    // the user has been told).
    bool OnInitDialog();

    // Asks every created page to save, in tree order, then writes the document. Reports
    // "Failed to save!" or, unless changes were pending, "Save Successful!".
    bool SaveAll();

    void ShowMainButtons(bool show) override;
    void EnablePageTree(bool enable) override;
    // The tree's labels and the title in the new language; the title is stored in the profile
    // again, so that a second copy still finds this window by it.
    void LanguageChanged() override;
    // The buttons' font, the page tree's labels, and text 5 on Start while changes are pending.
    void LoadLanguage() override;

    // A state reported by the service watch: 1 stopped, 4 running, 7 paused set the Start
    // button; no such service hides it, an unreadable state disables it; others change
    // nothing.
    void OnServiceState(uint32_t state);
    // Service state events (type 1124) from the watcher.
    void OnEvent(CEventBase* event) override;
    // The watch; none before the first picture or request, and none without a service.
    CServiceWatch* Watcher() const { return m_watcher.get(); }

    // Brings the window to the front when its title ends with title (a second copy asks).
    bool ActivateIfTitled(const QString& title);
    // Reads the document again from its file (WM_CONFIG_RELOAD).
    void ReloadDocument();

    // Shows the page at a tree position, creating its window the first time.
    void SelectPage(int index);
    int PageCount() const { return static_cast<int>(m_pages.size()); }
    // The page at a tree position. It is built the first time it is shown or asked for;
    // its window is created when it is first shown.
    CResizablePage* Page(int index);
    // Replaces the page at a tree position before it is created (tests, later pages).
    void SetPage(int index, CResizablePage* page);

    QListWidget* PageTree() const { return m_tree; }
    QPushButton* StartButton() const { return m_start; }
    bool IsPending() const { return m_pending; }
    bool IsRunning() const { return m_running; }
    // False while the service manager does not answer.
    bool IsServiceStateKnown() const { return m_stateKnown; }
    bool IsServiceInstalled() const { return m_serviceInstalled; }
    StartLook CurrentStartLook() const { return m_startLook; }
    const std::wstring& ServiceName() const { return m_serviceName; }

public Q_SLOTS:
    void OnApply();
    void OnStart();
    void OnStop();
    void OnCloseButton();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct PageEntry
    {
        int titleTextId;
        // Builds the page, once: when it is first shown or asked for.
        std::function<CResizablePage*(QWidget* parent)> make;
        CResizablePage* page = nullptr;
    };

    // Lists the pages in the tree; builds none of them.
    void BuildPages();
    // Puts a page into the page stack at a tree position, in place of what was there.
    void PlacePage(int index, CResizablePage* page);
    // The page in a scroll area, as the page stack holds it.
    QWidget* Scrolled(CResizablePage* page) const;
    void FitScreen();
    // Cancels an entry open on the page shown; false when there was none.
    bool CancelOpenEdit();
    void RelabelTree();
    void EnterPending();
    void ShowStartAs(StartLook look);
    // Starts watching the service, once OnInitDialog has found its name.
    void StartWatch();
    void DeleteWatcher();

    Options m_options;
    // The document and tool files every page works on.
    CPageContext m_context;
    std::vector<PageEntry> m_pages;
    QListWidget* m_tree;
    QStackedWidget* m_stack;
    QLabel* m_title;
    QPushButton* m_start;
    QPushButton* m_stop;
    QPushButton* m_apply;
    QPushButton* m_close;
    std::unique_ptr<CToolLog> m_log;
    std::unique_ptr<CServiceWatch> m_watcher;
    std::wstring m_serviceName;
    bool m_running = false;
    bool m_pending = false;
    bool m_serviceInstalled = true;
    bool m_stateKnown = true;
    bool m_serviceSeen = false; // the watch has found the service once
    bool m_closing = false;
    bool m_watchWanted = false; // a service to watch was configured, and the window is open
    bool m_painted = false;     // the first picture has been painted
    StartLook m_startLook = StartLook::Start;
};
