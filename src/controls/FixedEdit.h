#pragma once

#include "controls/NumEdit.h"
#include "model/FieldFilters.h"

// A whole-number field with optional bounds, corrected after every typed character, and an
// optional default that fills it when it is left empty.
class CFixedEdit : public CNumEdit
{
    Q_OBJECT

public:
    explicit CFixedEdit(QWidget* parent = nullptr);

    void SetMinimum(bool on, int value);
    void SetMaximum(bool on, int value);
    void SetDefault(bool on, int value);
    const fields::FixedLimits& Limits() const { return m_limits; }

protected:
    void AfterTyped() override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    fields::FixedLimits m_limits;
};
