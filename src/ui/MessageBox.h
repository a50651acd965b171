#pragma once

#include <QMessageBox>

class QWidget;

// A message box as the tool shows them: the text looked up by its ID in the current
// language, an empty caption, and the icon telling the kind. Returns the button pressed.
QMessageBox::StandardButton ShowMessage(QWidget* parent, QMessageBox::Icon icon, int textId,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// The same for a text that is not in the text table.
QMessageBox::StandardButton ShowMessageText(QWidget* parent, QMessageBox::Icon icon,
                                            const QString& text,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok);
