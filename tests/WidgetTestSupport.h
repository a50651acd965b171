#pragma once

#include "PrivateBus.h"
#include "SystemdStandIn.h"
#include "TestSupport.h"
#include "app/RaviraZazuDlg.h"

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>
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
    const QStringList& Texts() const { return m_texts; }
    const QList<QMessageBox::Icon>& Icons() const { return m_icons; }
    const QStringList& Titles() const { return m_titles; }
    int Count() const { return static_cast<int>(m_texts.size()); }

private:
    void Check();

    QMessageBox::StandardButton m_answer;
    QTimer m_timer;
    QStringList m_texts;
    QList<QMessageBox::Icon> m_icons;
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
    std::string ToolDir() const { return m_dir.File("tool/"); }
    CRaviraZazuDlg::Options Options() const { return {ToolDir(), DocumentPath(), false}; }

    CTempDir m_dir;
    CScopedEnv m_config;
    CScopedEnv m_state;
    CPrivateBus m_bus;
    CSystemdStandIn m_systemd;
    std::unique_ptr<CScopedEnv> m_busKind;
    std::unique_ptr<CScopedEnv> m_busAddress;
};

} // namespace rztest
