#include "controls/ChangedEdit.h"

#include "model/FieldFilters.h"
#include "ui/QtText.h"
#include "ui/WindowMessages.h"

#include <QKeyEvent>

CChangedEdit::CChangedEdit(QWidget* parent) : QLineEdit(parent) {}

bool CChangedEdit::AcceptsTyped(wchar_t) const
{
    return true;
}

void CChangedEdit::keyPressEvent(QKeyEvent* event)
{
    // Shortcuts (paste among them), navigation and the dialog keys are not typed characters.
    const bool shortcut =
        (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier | Qt::AltModifier)) != 0;
    const int key = event->key();
    const bool dialogKey = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape ||
                           key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Delete;
    wchar_t typed = 0;
    if (key == Qt::Key_Backspace)
        typed = fields::kBackspace;
    else if (event->text().size() == 1 && event->text().at(0).isPrint())
        typed = static_cast<wchar_t>(event->text().at(0).unicode());
    if (shortcut || dialogKey || typed == 0)
    {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (!AcceptsTyped(typed))
    {
        event->accept(); // dropped without a sound
        return;
    }
    if (NotifiesOnTyping())
        PostConfigModified(this);
    QLineEdit::keyPressEvent(event);
    AfterTyped();
}

void CChangedEdit::SetTextCaretAtEnd(const std::wstring& text)
{
    setText(ToQString(text));
    setCursorPosition(static_cast<int>(this->text().size()));
}
