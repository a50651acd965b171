#include "ui/DropDownList.h"

CDropDownList::CDropDownList(QWidget* parent) : QComboBox(parent) {}

void CDropDownList::showPopup()
{
    emit droppingDown();
    QComboBox::showPopup();
}
