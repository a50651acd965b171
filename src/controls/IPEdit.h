#pragma once

#include "controls/NumEdit.h"

// A field for an IPv4 address: digits and dots where an address has them, each part kept at
// most 255, and missing parts filled in when the field is left. Unlike the gateway's older
// tools, it tells the main window of every edit like the other fields: a changed address is
// a pending change too. It also serves as the editable part of an address combo box.
class CIPEdit : public CNumEdit
{
    Q_OBJECT

public:
    explicit CIPEdit(QWidget* parent = nullptr);

protected:
    bool AcceptsTyped(wchar_t typed) const override;
    void AfterTyped() override;
    void focusOutEvent(QFocusEvent* event) override;
};
