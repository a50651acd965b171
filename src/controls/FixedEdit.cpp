#include "controls/FixedEdit.h"

#include "ui/QtText.h"

CFixedEdit::CFixedEdit(QWidget* parent) : CNumEdit(parent)
{
    SetDecimalPoint(false);
}

void CFixedEdit::SetMinimum(bool on, int value)
{
    m_limits.hasMinimum = on;
    m_limits.minimum = value;
}

void CFixedEdit::SetMaximum(bool on, int value)
{
    m_limits.hasMaximum = on;
    m_limits.maximum = value;
}

void CFixedEdit::SetDefault(bool on, int value)
{
    m_limits.hasDefault = on;
    m_limits.defaultValue = value;
}

void CFixedEdit::AfterTyped()
{
    if (const auto corrected = fields::FixedAfterTyping(ToWString(text()), m_limits))
        SetTextCaretAtEnd(*corrected);
}

void CFixedEdit::focusOutEvent(QFocusEvent* event)
{
    if (const auto filled = fields::FixedOnLeave(ToWString(text()), m_limits))
        setText(ToQString(*filled));
    CNumEdit::focusOutEvent(event);
}
