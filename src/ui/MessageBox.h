#pragma once

#include <QMessageBox>

class QWidget;

// A message box as the tool shows them: the text looked up by its ID in the current
// language, an empty caption, and the icon telling the kind. defaultButton is the one Enter
// presses (a question's default is the answer that loses nothing). Returns the button pressed.
QMessageBox::StandardButton
ShowMessage(QWidget* parent, QMessageBox::Icon icon, int textId,
            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// The same for a text that is not in the text table.
QMessageBox::StandardButton
ShowMessageText(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// A message box of the application rather than of a page: the same, captioned with the
// application's name (a failed connection test is reported so).
QMessageBox::StandardButton ShowAppMessage(QWidget* parent, QMessageBox::Icon icon, int textId);
