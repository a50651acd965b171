#pragma once

#include <QPointer>
#include <QString>

class QWidget;

// The warning tip a page shows on a field while its value needs attention (an empty address,
// an odd port). It stays as long as its cause does: the page shows it again after every edit
// that keeps the cause, and hides it as soon as an edit removes it.
class CBalloonTip
{
public:
    // Shows text below the field.
    void Show(QWidget* field, const QString& text);
    // Hides the tip when it belongs to the field.
    void Hide(QWidget* field);
    // Shows text, or hides the field's tip when text is empty.
    void Update(QWidget* field, const QString& text);

    // The text of the tip on show, or empty; the last text shown, for tests.
    QString Shown() const;
    const QString& Last() const { return m_last; }

private:
    QPointer<QWidget> m_owner;
    QString m_text;
    QString m_last;
};
