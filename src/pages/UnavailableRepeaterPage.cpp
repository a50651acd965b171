#include "pages/UnavailableRepeaterPage.h"

#include "lang/Language.h"
#include "pages/UnavailablePage.h"
#include "ui/LanguageTexts.h"
#include "ui/QtText.h"

#include <QLabel>

CUnavailableRepeaterPage::CUnavailableRepeaterPage(QWidget* parent)
    : CRepeaterPageBase(parent), m_notice(new QLabel(this))
{
    m_notice->setObjectName("unavailableNotice");
    m_notice->setWordWrap(true);
    m_notice->setGeometry(20, 20, 460, 80);
}

void CUnavailableRepeaterPage::OnInitDialog()
{
    InitializeScroll(QSize(500, 120));
    LoadLanguage();
}

void CUnavailableRepeaterPage::LoadLanguage()
{
    m_notice->setFont(LanguageFont());
    m_notice->setText(CUnavailablePage::UnavailableNotice(ToQString(lang::LookupText(256))));
}
