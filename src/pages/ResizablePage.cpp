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
        // A control that shows the font already (from the page stack) is left alone: a change
        // of font makes it lay itself out anew.
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget != nullptr && widget->font() != font)
            widget->setFont(font);
    }
}
