#include "ui/BalloonTip.h"

#include <QToolTip>
#include <QWidget>

void CBalloonTip::Show(QWidget* field, const QString& text)
{
    m_owner = field;
    m_text = text;
    m_last = text;
    QToolTip::showText(field->mapToGlobal(QPoint(0, field->height())), text, field);
}

void CBalloonTip::Hide(QWidget* field)
{
    if (m_owner != field)
        return;
    m_owner = nullptr;
    m_text.clear();
    QToolTip::hideText();
}

void CBalloonTip::Update(QWidget* field, const QString& text)
{
    if (text.isEmpty())
        Hide(field);
    else
        Show(field, text);
}

QString CBalloonTip::Shown() const
{
    return m_owner ? m_text : QString();
}
