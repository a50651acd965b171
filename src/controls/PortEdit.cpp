#include "controls/PortEdit.h"

CPortEdit::CPortEdit(QWidget* parent) : CFixedEdit(parent)
{
    const fields::FixedLimits port = fields::PortLimits();
    SetMaximum(port.hasMaximum, port.maximum);
}
