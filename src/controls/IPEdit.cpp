#include "controls/IPEdit.h"

#include "model/FieldFilters.h"
#include "ui/QtText.h"

#include <QFocusEvent>

CIPEdit::CIPEdit(QWidget* parent) : CNumEdit(parent) {}

bool CIPEdit::AcceptsTyped(wchar_t typed) const
{
    return fields::IpAccepts(ToWString(text()), typed);
}

void CIPEdit::AfterTyped()
{
    const std::wstring current = ToWString(text());
    const auto dot = current.rfind(L'.');
    if (current.substr(dot == std::wstring::npos ? 0 : dot + 1).empty())
        return;
    SetTextCaretAtEnd(fields::IpAfterTyping(current).value_or(current));
}

void CIPEdit::focusOutEvent(QFocusEvent* event)
{
    // A menu or the drop-down list of the field's own combo box does not leave the field.
    if (event->reason() == Qt::PopupFocusReason)
    {
        CNumEdit::focusOutEvent(event);
        return;
    }
    if (const auto completed = fields::IpOnLeave(ToWString(text())))
        setText(ToQString(*completed));
    CNumEdit::focusOutEvent(event);
}
