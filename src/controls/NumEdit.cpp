#include "controls/NumEdit.h"

#include "model/FieldFilters.h"
#include "ui/QtText.h"

CNumEdit::CNumEdit(QWidget* parent) : CChangedEdit(parent) {}

bool CNumEdit::AcceptsTyped(wchar_t typed) const
{
    return fields::NumAccepts(ToWString(text()), typed, m_decimalPoint);
}
