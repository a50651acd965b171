#include "controls/IPEdit.h"

#include "model/FieldFilters.h"
#include "ui/QtText.h"

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
    if (const auto completed = fields::IpOnLeave(ToWString(text())))
        setText(ToQString(*completed));
    CNumEdit::focusOutEvent(event);
}
