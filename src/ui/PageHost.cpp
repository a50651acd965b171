#include "ui/PageHost.h"

#include <QWidget>

IPageHost* FindPageHost(QWidget* widget)
{
    return widget != nullptr ? dynamic_cast<IPageHost*>(widget->window()) : nullptr;
}
