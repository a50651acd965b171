#include "LanguageFiles.h"
#include "TestSupport.h"
#include "WidgetTestSupport.h"
#include "app/RaviraZazuDlg.h"
#include "config/GatewayConfigDoc.h"
#include "lang/Language.h"
#include "pages/BaseSetDialog.h"
#include "pages/ResizablePage.h"
#include "platform/Profile.h"
#include "service/ServiceStateCheck.h"
#include "ui/LanguageTexts.h"
#include "ui/WindowMessages.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLineEdit>
#include <QListWidget>
#include <QLoggingCategory>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <mutex>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

using rztest::CMessageBoxAnswerer;
using rztest::CTempDir;

namespace
{

// A page that counts its saves and answers as told.
class CCountingPage : public CResizablePage
{
public:
    CCountingPage(int dialogId, bool result) : CResizablePage(dialogId), m_result(result) {}
    bool SaveConfig() override
    {
        ++saves;
        return m_result;
    }
    int saves = 0;

private:
    bool m_result;
};

// Makes a folder immutable for the life of the object, so that not even root can create a
// file in it; skipped where the file system has no such attribute.
class CImmutableFolder
{
public:
    explicit CImmutableFolder(const std::string& path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY))
    {
        int flags = 0;
        m_ok = m_fd >= 0 && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0 &&
               (flags |= FS_IMMUTABLE_FL, ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0);
    }
    ~CImmutableFolder()
    {
        int flags = 0;
        if (m_ok && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0)
        {
            flags &= ~FS_IMMUTABLE_FL;
            ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags);
        }
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool Ok() const { return m_ok; }

private:
    int m_fd;
    bool m_ok = false;
};

class MainWindowTest : public rztest::WindowTest
{
protected:
    static QPushButton* Button(QWidget* window, int id)
    {
        return qobject_cast<QPushButton*>(FindControl(window, id));
    }
};

} // namespace

TEST_F(MainWindowTest, StartUpShowsTheTreeTitleAndButtons)
{
    CRaviraZazuDlg dialog(Options());
    ASSERT_TRUE(dialog.OnInitDialog());
    EXPECT_EQ(dialog.windowTitle(), "Gateway Config Tool"); // dialog 102 shows text 103
    EXPECT_EQ(rz::GetProfileString(L"MXR_GatewayRaviraZazu", L"Title", L""),
              L"Gateway Config Tool");
    EXPECT_EQ(dialog.ServiceName(), L"Quorix MXR Gateway");
    ASSERT_EQ(dialog.PageTree()->count(), 5);
    const QStringList labels = {"Basic Settings", "Dispatch Station Settings", "Repeater Settings",
                                "Language Settings", "Others"};
    for (int i = 0; i < 5; ++i)
    {
        EXPECT_EQ(dialog.PageTree()->item(i)->text(), labels[i]);
        EXPECT_FALSE(dialog.PageTree()->item(i)->icon().isNull());
    }
    EXPECT_EQ(Button(&dialog, 1)->text(), "Save");
    EXPECT_TRUE(Button(&dialog, 1)->isDefault());
    EXPECT_EQ(Button(&dialog, 2)->text(), "Close");
    EXPECT_TRUE(Button(&dialog, 4)->isHidden()); // Stop is never shown
    EXPECT_TRUE(dialog.Page(0)->IsCreated());
    EXPECT_FALSE(dialog.Page(1)->IsCreated());

    // Choosing an entry creates its page once; a change of language relabels the tree.
    dialog.show();
    QTest::mouseClick(dialog.PageTree()->viewport(), Qt::LeftButton, {},
                      dialog.PageTree()->visualItemRect(dialog.PageTree()->item(2)).center());
    EXPECT_TRUE(dialog.Page(2)->IsCreated());
    lang::CLanguage::Instance().LoadFile(m_dir.File("tool/language/Deutsch.xml"),
                                         CGatewayConfigDoc::Instance(), m_dir.File("tool/"));
    ReapplyLanguageTexts();
    EXPECT_EQ(dialog.PageTree()->item(0)->text(), "Grundeinstellungen");
    EXPECT_EQ(dialog.windowTitle(), "Gateway-Konfiguration");
}

TEST_F(MainWindowTest, TheLanguagesFontIsTheToolkitsWhileTheWindowIsOpen)
{
    const QFont desktop = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    {
        CRaviraZazuDlg dialog(Options());
        ASSERT_TRUE(dialog.OnInitDialog());
        // The sample's English.xml: FontName "DejaVu Sans", FontSize 13.
        EXPECT_EQ(QApplication::font().family(), "DejaVu Sans");
        EXPECT_EQ(QApplication::font().pixelSize(), 13);
    }
    EXPECT_EQ(QApplication::font(), desktop);
}

namespace
{

// The font requests the font system is asked to match (qt.text.font.match) while a
// CFontRequests lives, as (pixel size, weight) pairs; other messages go on to the handler that
// was there before. Tests set no logging rules of their own.
class CFontRequests
{
public:
    CFontRequests()
    {
        {
            std::lock_guard lock(Log().mutex);
            Log().requests.clear();
            Log().active = true;
        }
        QLoggingCategory::setFilterRules(QStringLiteral("qt.text.font.match.debug=true"));
        Log().previous = qInstallMessageHandler(&CFontRequests::Handle);
    }
    ~CFontRequests()
    {
        qInstallMessageHandler(Log().previous);
        QLoggingCategory::setFilterRules(QString());
        std::lock_guard lock(Log().mutex);
        Log().active = false;
    }
    std::vector<std::pair<int, int>> Requests() const
    {
        std::lock_guard lock(Log().mutex);
        return Log().requests;
    }

private:
    struct CLog
    {
        std::mutex mutex;
        bool active = false;
        std::atomic<QtMessageHandler> previous = nullptr;
        std::vector<std::pair<int, int>> requests;
    };
    // Never destroyed: another thread may still be logging when a test ends.
    static CLog& Log()
    {
        static auto* log = new CLog;
        return *log;
    }
    static void Handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        CLog& log = Log();
        if (qstrcmp(context.category, "qt.text.font.match") != 0)
        {
            if (QtMessageHandler previous = log.previous.load())
                previous(type, context, message);
            return;
        }
        static const QRegularExpression request(QStringLiteral("weight: (\\d+).*pixelSize: (\\d+)"),
                                                QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch match = request.match(message);
        std::lock_guard lock(log.mutex);
        if (log.active && match.hasMatch())
            log.requests.emplace_back(match.captured(2).toInt(), match.captured(1).toInt());
    }
};

} // namespace

TEST_F(MainWindowTest, TheFirstPictureAsksForNoBoldFont)
{
    // Sizes no other test uses, new at each run: a font loaded earlier in this process (by a
    // repeated run of this test too) is not asked for again.
    static int runs = 0;
    const int text = 30 + 2 * runs++;
    const int title = text + 1;
    rztest::WriteLanguageFile(ToolDir() + "language/English.xml",
                              {{L"Language",
                                {{L"FontName", L"DejaVu Sans"},
                                 {L"FontSize", std::to_wstring(text)},
                                 {L"TitleFontSize", std::to_wstring(title)}}},
                               {L"Main", {{L"103", L"Gateway Config Tool"}}}});
    CFontRequests fonts;
    OpenWindow();
    m_window->grab(); // the whole window painted: tree, title, the Basic page and its list
    const std::vector<std::pair<int, int>> requests = fonts.Requests();
    // The regular text and the title; nothing bold, which only the server list's header
    // would ask for, to measure its labels.
    EXPECT_NE(std::find(requests.begin(), requests.end(), std::pair{text, 400}), requests.end());
    EXPECT_NE(std::find(requests.begin(), requests.end(), std::pair{title, 400}), requests.end());
    for (const auto& [pixels, weight] : requests)
        EXPECT_EQ(weight, 400) << pixels << " px";
}

TEST_F(MainWindowTest, ApplySavesOpenedPagesOnlyAndRewritesTheDocument)
{
    CRaviraZazuDlg dialog(Options());
    auto* first = new CCountingPage(129, true);
    auto* neverShown = new CCountingPage(133, true);
    dialog.SetPage(0, first);
    dialog.SetPage(4, neverShown);
    ASSERT_TRUE(dialog.OnInitDialog());
    CGatewayConfigDoc::Instance().SetSetting(L"LocalIP", L"10.9.8.7");
    dialog.show();

    CMessageBoxAnswerer answerer;
    QTest::keyClick(&dialog, Qt::Key_Return); // Enter presses the default button, Save
    EXPECT_EQ(first->saves, 1);
    EXPECT_EQ(neverShown->saves, 0);
    ASSERT_EQ(answerer.Count(), 1);
    EXPECT_EQ(answerer.Texts()[0], "Save Successful!");
    EXPECT_EQ(answerer.Icons()[0], QMessageBox::Warning); // the exclamation icon

    CGatewayConfigDoc reread;
    ASSERT_TRUE(reread.Load(DocumentPath()));
    EXPECT_STREQ(reread.GetSetting(L"LocalIP"), L"10.9.8.7");
}

TEST_F(MainWindowTest, AFailingPageStopsTheSaveAndChangesStayPending)
{
    CRaviraZazuDlg dialog(Options());
    auto* failing = new CCountingPage(153, false);
    auto* after = new CCountingPage(150, true);
    dialog.SetPage(1, failing);
    dialog.SetPage(3, after);
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.SelectPage(1);
    dialog.SelectPage(3);
    const std::string before = rztest::ReadBytes(DocumentPath());

    PostWindowMessage(&dialog, WM_CONFIG_MODIFIED);
    QCoreApplication::processEvents();
    ASSERT_TRUE(dialog.IsPending());

    CMessageBoxAnswerer answerer;
    EXPECT_FALSE(dialog.SaveAll());
    ASSERT_EQ(answerer.Count(), 1);
    EXPECT_EQ(answerer.Texts()[0], "Failed to save!");
    EXPECT_EQ(answerer.Icons()[0], QMessageBox::Critical);
    EXPECT_EQ(after->saves, 0); // the save stopped at the failing page
    EXPECT_TRUE(dialog.IsPending());
    EXPECT_EQ(dialog.CurrentStartLook(), CRaviraZazuDlg::StartLook::Pending);
    EXPECT_EQ(rztest::ReadBytes(DocumentPath()), before);
}

TEST_F(MainWindowTest, ADocumentThatCannotBeWrittenIsReportedAndKept)
{
    CRaviraZazuDlg dialog(Options());
    ASSERT_TRUE(dialog.OnInitDialog());
    CGatewayConfigDoc::Instance().SetSetting(L"LocalIP", L"10.1.1.1");
    const std::string before = rztest::ReadBytes(DocumentPath());
    CImmutableFolder readOnly(m_dir.File("data"));
    if (!readOnly.Ok())
        GTEST_SKIP() << "this file system cannot make a folder immutable";

    CMessageBoxAnswerer answerer;
    QTest::mouseClick(Button(&dialog, 1), Qt::LeftButton);
    ASSERT_EQ(answerer.Count(), 1);
    EXPECT_EQ(answerer.Texts()[0], "Failed to save!");
    EXPECT_EQ(rztest::ReadBytes(DocumentPath()), before);
}

TEST_F(MainWindowTest, PendingChangesRelabelStartOnceAndCloseAsksFirst)
{
    CRaviraZazuDlg dialog(Options());
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.show();
    PostWindowMessage(&dialog, WM_CONFIG_MODIFIED);
    QCoreApplication::processEvents();
    // Text 5 of the language file, its "&" shown as itself rather than as a shortcut marker.
    EXPECT_EQ(dialog.StartButton()->text(), "Save && Restart");
    EXPECT_EQ(dialog.CurrentStartLook(), CRaviraZazuDlg::StartLook::Pending);

    // A second message while pending changes nothing.
    dialog.StartButton()->setText("marker");
    PostWindowMessage(&dialog, WM_CONFIG_MODIFIED);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.StartButton()->text(), "marker");

    // Close while pending: the question, and No keeps everything.
    CMessageBoxAnswerer answerer(QMessageBox::No);
    QTest::mouseClick(Button(&dialog, 2), Qt::LeftButton);
    ASSERT_EQ(answerer.Count(), 1);
    EXPECT_EQ(answerer.Texts()[0], "There are unsaved changes. Close without saving?");
    EXPECT_EQ(answerer.Icons()[0], QMessageBox::Question);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.IsPending());
    EXPECT_EQ(dialog.CurrentStartLook(), CRaviraZazuDlg::StartLook::Pending);

    // Escape is Close too; Yes closes.
    answerer.SetAnswer(QMessageBox::Yes);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(answerer.Count(), 2);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(MainWindowTest, MainButtonsHideForAPageEditAndStartOnlyWithAService)
{
    CRaviraZazuDlg dialog(Options());
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.show();
    QPushButton* start = Button(&dialog, 3);
    QPushButton* apply = Button(&dialog, 1);
    QPushButton* close = Button(&dialog, 2);
    EXPECT_TRUE(dialog.IsServiceInstalled());
    EXPECT_TRUE(start->isVisible());
    dialog.ShowMainButtons(false);
    dialog.EnablePageTree(false);
    EXPECT_FALSE(start->isVisible());
    EXPECT_FALSE(apply->isVisible());
    EXPECT_FALSE(close->isVisible());
    EXPECT_FALSE(dialog.PageTree()->isEnabled());
    dialog.ShowMainButtons(true);
    dialog.EnablePageTree(true);
    EXPECT_TRUE(start->isVisible());
    EXPECT_TRUE(apply->isVisible());

    // Without the service the Start button stays hidden for the whole run.
    m_systemd.RemoveUnit(kUnit);
    CRaviraZazuDlg other(Options());
    ASSERT_TRUE(other.OnInitDialog());
    other.show();
    RZ_TRY_TRUE(!other.IsServiceInstalled(), 2000);
    EXPECT_FALSE(Button(&other, 3)->isVisible());
    other.ShowMainButtons(false);
    other.ShowMainButtons(true);
    EXPECT_FALSE(Button(&other, 3)->isVisible());
    EXPECT_TRUE(Button(&other, 1)->isVisible());
}

TEST_F(MainWindowTest, TheStartButtonFollowsAndDrivesTheService)
{
    CRaviraZazuDlg dialog(Options());
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.show();
    QPushButton* start = Button(&dialog, 3);
    EXPECT_EQ(start->text(), "Start");

    // A click starts the unit (enabling it) and shows Stop at once.
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(start->text(), "Stop");
    RZ_TRY_EQ(m_systemd.GetUnit(kUnit)->activeState, "active", 2000);
    EXPECT_EQ(m_systemd.GetUnit(kUnit)->unitFileState, "enabled");
    RZ_TRY_TRUE(dialog.IsRunning(), 2000); // the 100 ms poll saw it run

    // Stopped from elsewhere: the poll shows Start again.
    m_systemd.SetActiveState(kUnit, "inactive");
    RZ_TRY_EQ(start->text(), QString("Start"), 2000);
    m_systemd.SetActiveState(kUnit, "active");
    RZ_TRY_EQ(start->text(), QString("Stop"), 2000);

    // A click while running stops it.
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(start->text(), "Start");
    RZ_TRY_EQ(m_systemd.GetUnit(kUnit)->activeState, "inactive", 2000);
    EXPECT_EQ(m_systemd.GetUnit(kUnit)->unitFileState, "enabled"); // a stop never disables

    // Pending changes, with a stop that systemd carries out at once: stop, then start.
    m_systemd.SetActiveState(kUnit, "active");
    RZ_TRY_TRUE(dialog.IsRunning(), 2000);
    PostWindowMessage(&dialog, WM_CONFIG_MODIFIED);
    QCoreApplication::processEvents();
    const size_t jobsBefore = m_systemd.JobsRun().size();
    CMessageBoxAnswerer answerer;
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(answerer.Count(), 0);
    EXPECT_FALSE(dialog.IsPending());
    const auto jobsSince = [&]
    {
        const std::vector<std::string> jobs = m_systemd.JobsRun();
        return std::vector<std::string>(jobs.begin() + static_cast<std::ptrdiff_t>(jobsBefore),
                                        jobs.end());
    };
    RZ_TRY_EQ(jobsSince(),
              (std::vector<std::string>{std::string("StopUnit ") + kUnit,
                                        std::string("StartUnit ") + kUnit}),
              2000);
    EXPECT_EQ(m_systemd.GetUnit(kUnit)->activeState, "active");

    // A unit that disappears: no more events, and the button keeps its label.
    RZ_TRY_EQ(start->text(), QString("Stop"), 2000);
    m_systemd.RemoveUnit(kUnit);
    const int gets = m_systemd.Calls("Get");
    RZ_TRY_TRUE(m_systemd.Calls("Get") > gets + 1, 2000);
    EXPECT_EQ(start->text(), "Stop");
}

TEST_F(MainWindowTest, SaveAndRestartFromAFreshStartLeavesTheServiceRunning)
{
    // The service runs when the tool starts, and systemd carries out a stop only a while
    // after accepting it, as it does when the job is queued.
    m_systemd.SetActiveState(kUnit, "active");
    m_systemd.HoldJobs(true);
    CRaviraZazuDlg dialog(Options());
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.show();
    QPushButton* start = Button(&dialog, 3);
    RZ_TRY_TRUE(dialog.IsRunning(), 2000);
    // A change typed into the Basic Settings page.
    auto* port = qobject_cast<QLineEdit*>(FindControl(&dialog, CBaseSetDialog::kLocalPortEdit));
    ASSERT_NE(port, nullptr);
    port->setFocus();
    port->selectAll();
    QTest::keyClick(port, Qt::Key_Backspace);
    QTest::keyClicks(port, "4321");
    QCoreApplication::processEvents(); // the page posts its notification
    ASSERT_EQ(dialog.CurrentStartLook(), CRaviraZazuDlg::StartLook::Pending);

    const auto requests = [this]
    {
        return m_systemd.Calls("StopUnit") + m_systemd.Calls("StartUnit") +
               m_systemd.Calls("RestartUnit");
    };
    int asked = requests();
    CMessageBoxAnswerer answerer;
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(answerer.Count(), 0); // no success message for a save and restart
    EXPECT_FALSE(dialog.IsPending());
    const auto savedPort = [this]
    {
        CGatewayConfigDoc reread;
        const wchar_t* port =
            reread.Load(DocumentPath()) ? reread.GetSetting(L"LocalPort") : L"unreadable";
        return std::wstring(port != nullptr ? port : L"missing");
    };
    EXPECT_EQ(savedPort(), L"4321");

    // The watch asks systemd for the stop and the start on its own thread.
    RZ_TRY_TRUE(requests() >= asked + 2, 2000);
    m_systemd.RunJobs();
    EXPECT_EQ(m_systemd.GetUnit(kUnit)->activeState, "active");
    // systemd saw one restart, or a stop and then a start.
    const std::vector<std::string> jobs = m_systemd.JobsRun();
    const std::string restart = std::string("RestartUnit ") + kUnit;
    const std::string stop = std::string("StopUnit ") + kUnit;
    const std::string startJob = std::string("StartUnit ") + kUnit;
    EXPECT_TRUE(jobs == std::vector<std::string>{restart} ||
                jobs == (std::vector<std::string>{stop, startJob}))
        << ::testing::PrintToString(jobs);
    RZ_TRY_EQ(start->text(), QString("Stop"), 2000);
    EXPECT_TRUE(dialog.IsRunning());

    // A stop that another program asked for has begun when the user saves and restarts: the
    // service runs again in the end all the same.
    ServiceStateCheck elsewhere(dialog.ServiceName());
    ASSERT_TRUE(elsewhere.Stop(dialog.ServiceName()));
    m_systemd.SetActiveState(kUnit, "deactivating");
    port->selectAll();
    QTest::keyClicks(port, "4322");
    QCoreApplication::processEvents();
    ASSERT_TRUE(dialog.IsPending());
    asked = requests();
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(answerer.Count(), 0) << answerer.Texts().join("|").toStdString();
    // The unit is already stopping: the stop asks nothing, the start asks for a restart.
    RZ_TRY_TRUE(requests() >= asked + 1, 2000);
    m_systemd.RunJobs();
    EXPECT_EQ(m_systemd.GetUnit(kUnit)->activeState, "active");
    EXPECT_EQ(savedPort(), L"4322");
}

TEST_F(MainWindowTest, StartFollowsAPausedServiceAndStaysThroughPendingChangesAndItsRemoval)
{
    m_systemd.SetActiveState(kUnit, "active");
    CRaviraZazuDlg dialog(Options());
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.show();
    QPushButton* start = Button(&dialog, 3);
    // The service is first seen while a page edit hides the main buttons: Start stays
    // hidden with them until the edit ends.
    dialog.ShowMainButtons(false);
    RZ_TRY_TRUE(dialog.IsRunning(), 2000);
    EXPECT_FALSE(start->isVisible());
    dialog.ShowMainButtons(true);
    EXPECT_TRUE(start->isVisible());
    EXPECT_EQ(start->text(), "Stop");

    // A paused (frozen) service does not run: Start.
    m_systemd.AddUnit({kUnit, "Quorix MXR Gateway", "active", "frozen", "disabled"});
    RZ_TRY_EQ(start->text(), QString("Start"), 2000);
    EXPECT_FALSE(dialog.IsRunning());

    // With changes pending the button keeps Save & Restart whatever the service does.
    PostWindowMessage(&dialog, WM_CONFIG_MODIFIED);
    QCoreApplication::processEvents();
    m_systemd.AddUnit({kUnit, "Quorix MXR Gateway", "active", "running", "disabled"});
    RZ_TRY_TRUE(dialog.IsRunning(), 2000);
    EXPECT_EQ(start->text(), "Save && Restart");
    EXPECT_EQ(dialog.CurrentStartLook(), CRaviraZazuDlg::StartLook::Pending);

    // A service removed while the tool runs leaves the button in its place.
    m_systemd.RemoveUnit(kUnit);
    const int gets = m_systemd.Calls("Get");
    RZ_TRY_TRUE(m_systemd.Calls("Get") > gets + 1, 2000);
    rztest::WaitUntil([] { return false; }, 200); // the state reaches the window's thread
    EXPECT_TRUE(dialog.IsServiceInstalled());
    EXPECT_TRUE(start->isVisible());
}

TEST_F(MainWindowTest, ASecondCopyFindsTheWindowOnlyByTheEndOfItsTitle)
{
    CRaviraZazuDlg dialog(Options());
    ASSERT_TRUE(dialog.OnInitDialog());
    EXPECT_FALSE(dialog.ActivateIfTitled(""));
    EXPECT_FALSE(dialog.ActivateIfTitled("Another Tool"));
    EXPECT_TRUE(dialog.ActivateIfTitled("Config Tool"));
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(MainWindowTest, AMissingDocumentEndsTheToolAfterSayingSo)
{
    CTempDir data;
    rztest::CScopedEnv appData("RAVIRAZAZU_COMMON_APPDATA", data.Path());
    CRaviraZazuDlg dialog({m_dir.File("tool"), "", false});
    CMessageBoxAnswerer answerer;
    EXPECT_FALSE(dialog.OnInitDialog());
    ASSERT_EQ(answerer.Count(), 1);
    EXPECT_EQ(answerer.Texts()[0], "Config file was lost.");
    EXPECT_EQ(answerer.Icons()[0], QMessageBox::Critical);
    // The folders on the way to the document were made.
    EXPECT_TRUE(std::filesystem::is_directory(data.File("Quorix/MXR Gateway 4.5")));
}

TEST_F(MainWindowTest, ReloadReadsTheDocumentAgain)
{
    CRaviraZazuDlg dialog(Options());
    ASSERT_TRUE(dialog.OnInitDialog());
    CGatewayConfigDoc other;
    ASSERT_TRUE(other.Load(DocumentPath()));
    other.SetSetting(L"LocalPort", L"4999");
    ASSERT_EQ(other.Save(), 1);
    PostWindowMessage(&dialog, WM_CONFIG_RELOAD);
    QCoreApplication::processEvents();
    EXPECT_STREQ(CGatewayConfigDoc::Instance().GetSetting(L"LocalPort"), L"4999");
}

// A document the tool cannot read completely opens with one warning that says why, every page
// opens on what was read, and nothing is written until the user saves.
TEST_F(MainWindowTest, AHostileDocumentOpensWithAWarningAndEveryPageStaysUsable)
{
    std::wstring deep = L"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<MXRGateways>"
                        L"<GatewayConfig><LocalPort>3003</LocalPort>";
    for (int i = 0; i < 40000; ++i)
        deep += L"<d>";
    const std::string sample = rztest::ReadBytes(rztest::SampleDocumentPath());
    const struct
    {
        const char* name;
        std::string bytes;
        const char* says;
    } cases[] = {
        {"deep", rztest::Utf16(deep), "nested deeper than 256 levels"},
        {"cut", sample.substr(0, sample.size() / 3), "character"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        rztest::WriteBytes(DocumentPath(), c.bytes);
        CMessageBoxAnswerer answerer;
        CRaviraZazuDlg dialog(Options());
        ASSERT_TRUE(dialog.OnInitDialog());
        ASSERT_EQ(answerer.Count(), 1);
        EXPECT_EQ(answerer.Icons()[0], QMessageBox::Warning);
        EXPECT_TRUE(answerer.Texts()[0].contains(QString::fromUtf8(c.says)))
            << answerer.Texts()[0].toStdString();
        for (int page = 0; page < dialog.PageTree()->count(); ++page)
        {
            dialog.PageTree()->setCurrentRow(page);
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(answerer.Count(), 1);
        EXPECT_EQ(rztest::ReadBytes(DocumentPath()), c.bytes);
    }
}
