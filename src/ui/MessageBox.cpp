#include "ui/MessageBox.h"

#include "lang/Language.h"
#include "platform/DebugOutput.h"
#include "ui/QtText.h"

#include <QGuiApplication>

namespace
{

QMessageBox::StandardButton Show(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                 const QString& text, QMessageBox::StandardButtons buttons,
                                 QMessageBox::StandardButton defaultButton)
{
    // A developer (and a test driving the real program) can follow what the user is told.
    rz::OutputDebugString("message box: " + text.toStdString() + "\n");
    QMessageBox box(icon, caption, text, buttons, parent);
    box.setObjectName("RaviraZazuMessage");
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

QMessageBox::StandardButton ShowMessage(QWidget* parent, QMessageBox::Icon icon, int textId,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton)
{
    return ShowMessageText(parent, icon, ToQString(lang::LookupText(textId)), buttons,
                           defaultButton);
}

QMessageBox::StandardButton ShowMessageText(QWidget* parent, QMessageBox::Icon icon,
                                            const QString& text,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton)
{
    return Show(parent, icon, QString(), text, buttons, defaultButton);
}

QMessageBox::StandardButton ShowAppMessage(QWidget* parent, QMessageBox::Icon icon, int textId)
{
    return Show(parent, icon, QGuiApplication::applicationDisplayName(),
                ToQString(lang::LookupText(textId)), QMessageBox::Ok, QMessageBox::NoButton);
}
