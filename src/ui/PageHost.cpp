#include "ui/PageHost.h"

#include <QWidget>

IPageHost* FindPageHost(QWidget* widget)
{
    return widget != nullptr ? dynamic_cast<IPageHost*>(widget->window()) : nullptr;
}

void SetPageHostEditing(QWidget* page, bool editing)
{
    if (IPageHost* host = FindPageHost(page))
    {
        host->EnablePageTree(!editing);
        host->ShowMainButtons(!editing);
    }
}
