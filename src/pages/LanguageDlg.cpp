#include "pages/LanguageDlg.h"

#include "lang/Language.h"
#include "ui/LanguageTexts.h"
#include "ui/PageHost.h"
#include "ui/QtText.h"
#include "ui/WindowMessages.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

CLanguageDlg::CLanguageDlg(QWidget* parent)
    : CResizablePage(kDialogId, parent), m_list(new QComboBox(this))
{
    auto* label = new QLabel(QStringLiteral("Language"), this);
    label->setProperty(kControlIdProperty, static_cast<int>(kLanguageLabel));
    m_list->setProperty(kControlIdProperty, static_cast<int>(kLanguageList));
    m_list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_list->setMinimumWidth(200);

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_list, 0, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(1, 1);

    connect(m_list, &QComboBox::currentIndexChanged, this, &CLanguageDlg::OnLanguageChosen);
}

void CLanguageDlg::OnInitDialog()
{
    CResizablePage::OnInitDialog();

    // The files are looked for once; files added later are seen at the next start.
    CPageContext* context = Context();
    m_filling = true;
    m_list->clear();
    m_choice.Load(*context->document, context->files);
    for (const std::wstring& name : m_choice.ListNames())
        m_list->addItem(ToQString(name));
    const auto selected = m_choice.SelectedIndex();
    m_list->setCurrentIndex(selected ? static_cast<int>(*selected) : -1);
    m_filling = false;
}

void CLanguageDlg::OnLanguageChosen(int index)
{
    if (m_filling || index < 0)
        return;
    const std::wstring display = ToWString(m_list->itemText(index));
    if (!m_choice.Choose(display))
        return;
    CPageContext* context = Context();
    CFileChanges unused;
    m_choice.Save(*context->document, context->files, unused);
    const std::string path = m_choice.PathOf(display);
    if (path.empty())
        return;

    lang::CLanguage::Instance().LoadFile(path, *context->document, context->files.toolDir);
    // Every window that showed texts shows them again, in the new language and fonts; the
    // toolkit's own texts (Yes, No) follow the language's locale.
    ReapplyLanguageTexts();
    if (IPageHost* host = FindPageHost(this))
        host->LanguageChanged();
    PostConfigModified(this);
}
