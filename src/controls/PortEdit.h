#pragma once

#include "controls/FixedEdit.h"

// A port field: a whole number that never exceeds 65535.
class CPortEdit : public CFixedEdit
{
    Q_OBJECT

public:
    explicit CPortEdit(QWidget* parent = nullptr);
};
