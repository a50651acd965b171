#include "ui/WindowMessages.h"

#include <QCoreApplication>
#include <QWidget>

void PostWindowMessage(QWidget* target, int message)
{
    if (target != nullptr)
        QCoreApplication::postEvent(target, new QEvent(MessageEventType(message)));
}

bool SendWindowMessage(QWidget* target, int message)
{
    if (target == nullptr)
        return false;
    QEvent event(MessageEventType(message));
    event.setAccepted(false);
    QCoreApplication::sendEvent(target, &event);
    return event.isAccepted();
}

void PostConfigModified(QWidget* from)
{
    if (from != nullptr)
        PostWindowMessage(from->window(), WM_CONFIG_MODIFIED);
}
