#include "ui/DropDownList.h"

CDropDownList::CDropDownList(QWidget* parent) : QComboBox(parent) {}

void CDropDownList::showPopup()
{
    Q_EMIT droppingDown();
    QComboBox::showPopup();
}
