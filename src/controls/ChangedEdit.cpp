#include "controls/ChangedEdit.h"

#include "model/FieldFilters.h"
#include "ui/QtText.h"
#include "ui/WindowMessages.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>

CChangedEdit::CChangedEdit(QWidget* parent) : QLineEdit(parent)
{
    // textEdited comes for every change the user makes, never for the program's setText.
    connect(this, &QLineEdit::textEdited, this,
            [this]
            {
                if (m_notify)
                    PostConfigModified(this);
            });
}

bool CChangedEdit::AcceptsTyped(wchar_t) const
{
    return true;
}

bool CChangedEdit::Type(wchar_t typed, QKeyEvent* event)
{
    // A character that replaces a selection takes no more room than the selection had.
    if (m_typedLimit != 0 && typed != fields::kBackspace &&
        static_cast<size_t>(text().size() - selectedText().size()) >= m_typedLimit)
        return false;
    if (!AcceptsTyped(typed))
        return false;
    QLineEdit::keyPressEvent(event);
    AfterTyped();
    return true;
}

void CChangedEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Paste))
    {
        TypeText(QApplication::clipboard()->text(QClipboard::Clipboard));
        event->accept();
        return;
    }
    // Shortcuts, navigation and the dialog keys are not typed characters.
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
    if (!Type(typed, event))
        event->accept(); // dropped without a sound
}

void CChangedEdit::TypeText(const QString& text)
{
    if (isReadOnly())
        return;
    for (const QChar c : text)
    {
        if (!c.isPrint())
            continue; // line breaks and tabs of a pasted text are not typed
        QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        Type(static_cast<wchar_t>(c.unicode()), &typed);
    }
}

void CChangedEdit::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createStandardContextMenu();
    // The menu's Paste types the clipboard through the filter too.
    for (QAction* action : menu->actions())
    {
        if (action->objectName() == QLatin1String("edit-paste"))
        {
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this,
                    [this] { TypeText(QApplication::clipboard()->text(QClipboard::Clipboard)); });
        }
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void CChangedEdit::mouseReleaseEvent(QMouseEvent* event)
{
    // The selection paste of the middle button, where the system has one.
    if (event->button() == Qt::MiddleButton && QApplication::clipboard()->supportsSelection())
    {
        setCursorPosition(cursorPositionAt(event->position().toPoint()));
        TypeText(QApplication::clipboard()->text(QClipboard::Selection));
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void CChangedEdit::dropEvent(QDropEvent* event)
{
    // Moving a part of the field's own text within it changes no character.
    if (event->source() == this)
    {
        QLineEdit::dropEvent(event);
        return;
    }
    if (!event->mimeData()->hasText())
    {
        event->ignore();
        return;
    }
    setCursorPosition(cursorPositionAt(event->position().toPoint()));
    TypeText(event->mimeData()->text());
    event->acceptProposedAction();
}

void CChangedEdit::SetTextCaretAtEnd(const std::wstring& text)
{
    setText(ToQString(text));
    setCursorPosition(static_cast<int>(this->text().size()));
}
