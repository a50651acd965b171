#pragma once

#include "network/CancelToken.h"
#include "network/ConnectionTest.h"

#include <QDialog>
#include <string>
#include <thread>

class CListenerBase;
class MobileChannelDetector;
class QLabel;
class QPushButton;

// The progress of a dispatch station's connection test. The test runs on a thread of its own
// so that the window stays responsive (it repaints, the service state goes on updating) while
// a silent radio costs seconds; the dialog shows the radio found behind the adapter, the route
// set and the attempt under way, and its Cancel ends the test at once.
class CConnectionTestDialog : public QDialog
{
    Q_OBJECT

public:
    // ip: the station IP. The detector and the listener (which hears the radio's data on the
    // socket's thread) must outlive the dialog; the dialog does not start the test yet.
    CConnectionTestDialog(std::wstring ip, MobileChannelDetector& detector, CListenerBase* listener,
                          const connection_test::COptions& options, QWidget* parent = nullptr);
    // Cancels a test that still runs and waits for its thread.
    ~CConnectionTestDialog() override;

    // Shows the dialog (modal for the window, without blocking) and starts the test.
    void Start();
    // Ends the test at once; testFinished follows with kCancelled.
    void Cancel();
    bool IsRunning() const { return m_worker.joinable(); }

    // What the dialog shows now: the radio and adapter, the route, the attempt.
    QString RadioText() const;
    QString RouteText() const;
    QString AttemptText() const;
    QPushButton* CancelButton() const { return m_cancelButton; }

Q_SIGNALS:
    // The test has ended (its thread has too) with the text ID of its message, or kCancelled.
    void testFinished(int messageId);

protected:
    // Escape and the window's close button cancel, as the Cancel button does.
    void reject() override;

private:
    void OnStep(const connection_test::CStep& step);
    void OnFinished(int messageId);

    std::wstring m_ip;
    MobileChannelDetector& m_detector;
    CListenerBase* m_listener;
    connection_test::COptions m_options;
    CCancelToken m_cancel;
    std::thread m_worker;
    QLabel* m_radio;
    QLabel* m_route;
    QLabel* m_attempt;
    QPushButton* m_cancelButton;
};
