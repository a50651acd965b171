#pragma once

#include "controls/ChangedEdit.h"

// An edit field for numbers: digits, and a decimal point once while the decimal-point flag
// is on.
class CNumEdit : public CChangedEdit
{
    Q_OBJECT

public:
    explicit CNumEdit(QWidget* parent = nullptr);

    void SetDecimalPoint(bool allowed) { m_decimalPoint = allowed; }
    bool DecimalPoint() const { return m_decimalPoint; }

protected:
    bool AcceptsTyped(wchar_t typed) const override;

private:
    bool m_decimalPoint = true;
};
