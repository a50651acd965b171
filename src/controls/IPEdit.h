#pragma once

#include "controls/NumEdit.h"

// A field for an IPv4 address: digits and dots where an address has them, each part kept at
// most 255, and missing parts filled in when the field is left. It posts no change
// notification.
class CIPEdit : public CNumEdit
{
    Q_OBJECT

public:
    explicit CIPEdit(QWidget* parent = nullptr);

protected:
    bool AcceptsTyped(wchar_t typed) const override;
    void AfterTyped() override;
    bool NotifiesOnTyping() const override { return false; }
    void focusOutEvent(QFocusEvent* event) override;
};
