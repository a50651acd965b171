#include "pages/ResizablePage.h"

#include "ui/LanguageTexts.h"

CResizablePage::CResizablePage(int dialogId, QWidget* parent)
    : QWidget(parent), m_dialogId(dialogId)
{
}

void CResizablePage::Create()
{
    if (m_created)
        return;
    m_created = true;
    OnInitDialog();
}

void CResizablePage::OnInitDialog()
{
    ApplyLanguageTexts(this, m_dialogId, true);
}

void CResizablePage::LoadLanguage()
{
    const QFont font = LanguageFont();
    for (QObject* child : children())
    {
        if (auto* widget = qobject_cast<QWidget*>(child))
            widget->setFont(font);
    }
}
