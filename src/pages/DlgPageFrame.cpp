#include "pages/DlgPageFrame.h"

#include "ui/LanguageTexts.h"

#include <QVBoxLayout>

CDlgPageFrame::CDlgPageFrame(int iconId, CResizablePage* hosted, QWidget* parent)
    : CResizablePage(kDialogId, parent), m_iconId(iconId), m_hosted(hosted)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (m_hosted != nullptr)
    {
        m_hosted->setParent(this);
        layout->addWidget(m_hosted);
    }
}

void CDlgPageFrame::OnInitDialog()
{
    if (m_hosted != nullptr)
    {
        m_hosted->Create();
        m_hosted->show();
    }
    ApplyLanguageTexts(this, kDialogId, true);
}

void CDlgPageFrame::SetContext(CPageContext* context)
{
    CResizablePage::SetContext(context);
    if (m_hosted != nullptr)
        m_hosted->SetContext(context);
}

bool CDlgPageFrame::SaveConfig()
{
    return m_hosted != nullptr && m_hosted->SaveConfig();
}

void CDlgPageFrame::LoadLanguage()
{
    if (m_hosted != nullptr)
        m_hosted->LoadLanguage();
}

void CDlgPageFrame::OnSetActive()
{
    if (m_hosted != nullptr)
        m_hosted->OnSetActive();
}

bool CDlgPageFrame::CancelEdit()
{
    return m_hosted != nullptr && m_hosted->CancelEdit();
}
