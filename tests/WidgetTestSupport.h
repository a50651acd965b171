#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>

namespace rztest
{

// Answers the message boxes that open while it lives, as a user would: it records each
// box's text and icon and presses the given button.
class CMessageBoxAnswerer : public QObject
{
public:
    explicit CMessageBoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok);

    void SetAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }
    const QStringList& Texts() const { return m_texts; }
    const QList<QMessageBox::Icon>& Icons() const { return m_icons; }
    int Count() const { return static_cast<int>(m_texts.size()); }

private:
    void Check();

    QMessageBox::StandardButton m_answer;
    QTimer m_timer;
    QStringList m_texts;
    QList<QMessageBox::Icon> m_icons;
};

} // namespace rztest
