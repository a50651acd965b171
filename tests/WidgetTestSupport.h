#pragma once

#include "PrivateBus.h"
#include "SystemdStandIn.h"
#include "TestSupport.h"
#include "app/RaviraZazuDlg.h"
#include "ui/LanguageTexts.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QMessageBox>
#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

namespace rztest
{

// Answers the message boxes that open while it lives, as a user would: it records each
// box's text and icon and presses the given button.
class CMessageBoxAnswerer : public QObject
{
public:
    explicit CMessageBoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok);
    ~CMessageBoxAnswerer() override;
    CMessageBoxAnswerer(const CMessageBoxAnswerer&) = delete;
    CMessageBoxAnswerer& operator=(const CMessageBoxAnswerer&) = delete;

    // How many answerers live now.
    static int Live();

    void SetAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }
    // Answers with a key instead (Enter takes the default button), as a user at the keyboard.
    void SetAnswerKey(Qt::Key key) { m_key = key; }
    // The default button of each box.
    const QList<QMessageBox::StandardButton>& Defaults() const { return m_defaults; }
    // The button each box was left with.
    const QList<int>& Results() const { return m_results; }
    const QStringList& Texts() const { return m_texts; }
    const QList<QMessageBox::Icon>& Icons() const { return m_icons; }
    // The labels of each box's buttons, as shown (shortcut markers removed).
    const QList<QStringList>& ButtonTexts() const { return m_buttons; }
    const QStringList& Titles() const { return m_titles; }
    int Count() const { return static_cast<int>(m_texts.size()); }

private:
    void Check();

    QMessageBox::StandardButton m_answer;
    QTimer m_timer;
    QStringList m_texts;
    QList<QMessageBox::Icon> m_icons;
    QList<QMessageBox::StandardButton> m_defaults;
    QList<int> m_results;
    Qt::Key m_key = Qt::Key_unknown;
    QList<QStringList> m_buttons;
    QStringList m_titles;
};

// Lives for the whole test program: a message box that opens while no CMessageBoxAnswerer
// lives would wait for a click forever, so it is closed (as by Escape) and the running test
// fails with its text. A test that expects a box answers it with a CMessageBoxAnswerer.
class CUnexpectedMessageBoxes : public QObject
{
public:
    CUnexpectedMessageBoxes();

private:
    void Check();

    QTimer m_timer;
};

// A tool folder (a copy of the sample's), the sample document, private profile and log
// folders, and a private bus with the systemd stand-in serving the gateway unit (stopped),
// for tests that open the real main window.
class WindowTest : public ::testing::Test
{
protected:
    static constexpr const char* kUnit = "quorix-gateway.service";

    WindowTest();
    ~WindowTest() override;

    std::string DocumentPath() const { return m_dir.File("data/GatewayConfig.XML"); }
    // Replaces a part of the sample document (given as text) before the window reads it.
    void ReplaceInDocument(const std::wstring& from, const std::wstring& to);
    std::string ToolDir() const { return m_dir.File("tool/"); }
    // The window's options: these files, no log, the service read again every 200 ms.
    CRaviraZazuDlg::Options Options() const
    {
        return {ToolDir(), DocumentPath(), false, std::chrono::milliseconds(200)};
    }

    // Opens the real main window on these files (at that size, when one is given) and waits
    // until it is the active window.
    void OpenWindow(QSize size = {});
    // Chooses a page with a click on its entry in the tree, as a user does.
    void ClickPage(int index);
    // Whether Save and Close of the main window are shown (an entry being edited hides them).
    bool MainButtonsShown() const;
    // Whether a change has been reported to the main window (the message is posted, not sent).
    bool Pending() const;
    // A control of the window, by its ID.
    template <typename T = QWidget> T* Control(int id) const
    {
        return qobject_cast<T*>(FindControl(m_window.get(), id));
    }

    CTempDir m_dir;
    CScopedEnv m_config;
    CScopedEnv m_state;
    CPrivateBus m_bus;
    CSystemdStandIn m_systemd;
    std::unique_ptr<CScopedEnv> m_busKind;
    std::unique_ptr<CScopedEnv> m_busAddress;
    // Last: the window goes before the bus and the files it uses.
    std::unique_ptr<CRaviraZazuDlg> m_window;
};

// Replaces a field's text as a user does: focus, select all, erase, type.
void TypeInto(QLineEdit* field, const QString& text);
// A click on the first cell of a row of a list, scrolled into view first.
void ClickRow(QAbstractItemView* list, int row, Qt::KeyboardModifiers modifiers = {});

// The message boxes that an action opens, answered with OK, each as "icon: text" on a line
// of its own ("critical: The value is required"). A box that opens later is waited for up to
// milliseconds; titles, when given, receives the boxes' titles.
QString MessagesOf(const std::function<void()>& action, int milliseconds = 0,
                   QStringList* titles = nullptr);

// Waits, handling the application's events, until a condition holds or the time is up;
// true when it held. Qt's QTRY macros cannot be used under GoogleTest: a failing one returns
// from the test without failing it.
bool WaitUntil(const std::function<bool()>& condition, int milliseconds);

} // namespace rztest

// Waits up to milliseconds for a condition, then expects it (a failure is the test's).
#define RZ_TRY_TRUE(condition, milliseconds)                                                       \
    do                                                                                             \
    {                                                                                              \
        rztest::WaitUntil([&] { return static_cast<bool>(condition); }, milliseconds);             \
        EXPECT_TRUE(condition);                                                                    \
    } while (false)
// The same for two values that must become equal.
#define RZ_TRY_EQ(actual, expected, milliseconds)                                                  \
    do                                                                                             \
    {                                                                                              \
        rztest::WaitUntil([&] { return (actual) == (expected); }, milliseconds);                   \
        EXPECT_EQ(actual, expected);                                                               \
    } while (false)
