#include "pages/UnavailablePage.h"

#include "lang/Language.h"
#include "ui/QtText.h"

#include <QLabel>
#include <QVBoxLayout>

CUnavailablePage::CUnavailablePage(int dialogId, int titleTextId, QWidget* parent)
    : CResizablePage(dialogId, parent), m_titleTextId(titleTextId), m_notice(new QLabel(this))
{
    m_notice->setObjectName("unavailableNotice");
    m_notice->setAlignment(Qt::AlignCenter);
    m_notice->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_notice);
}

void CUnavailablePage::LoadLanguage()
{
    CResizablePage::LoadLanguage();
    const QString name =
        ToQString(lang::CLanguage::Instance().LookupOrBuiltin(std::to_wstring(m_titleTextId)));
    m_notice->setText(UnavailableNotice(name));
}

QString CUnavailablePage::UnavailableNotice(const QString& pageName)
{
    return QStringLiteral("%1: not available yet in this version of RaviraZazu.\n"
                          "The settings of this page stay in the document unchanged.")
        .arg(pageName.isEmpty() ? QStringLiteral("This page") : pageName);
}
