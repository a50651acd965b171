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
    // All bounds and the default at once, as a model's field describes them.
    void SetLimits(const fields::FixedLimits& limits) { m_limits = limits; }
    const fields::FixedLimits& Limits() const { return m_limits; }

protected:
    void AfterTyped() override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    fields::FixedLimits m_limits;
};
