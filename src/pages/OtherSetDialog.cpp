#include "pages/OtherSetDialog.h"

#include "controls/NumEdit.h"
#include "lang/Language.h"
#include "ui/LanguageTexts.h"
#include "ui/QtText.h"
#include "ui/WindowMessages.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>

namespace
{

template <typename T> T* WithId(T* control, int id)
{
    control->setProperty(kControlIdProperty, id);
    return control;
}

QLabel* Label(QWidget* parent, int id, const char* text)
{
    return WithId(new QLabel(QString::fromUtf8(text), parent), id);
}

std::wstring Lookup(int id)
{
    return lang::LookupText(id);
}

} // namespace

COtherSetDialog::COtherSetDialog(QWidget* parent)
    : CResizablePage(kDialogId, parent), m_fileSize(WithId(new CNumEdit(this), kFileSizeEdit)),
      m_level(WithId(new QComboBox(this), kLogLevelList))
{
    m_fileSize->SetDecimalPoint(false);
    m_fileSize->setMaximumWidth(120);
    m_level->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label(this, kFileSizeLabel, "File Size"), 0, 0);
    grid->addWidget(m_fileSize, 0, 1);
    grid->addWidget(Label(this, kFileSizeUnit, "M"), 0, 2);
    grid->addWidget(Label(this, kLogLevelLabel, "Log Type"), 1, 0);
    grid->addWidget(m_level, 1, 1, 1, 2);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(2, 1);

    // activated comes only from the user, never from the page's own filling of the list.
    connect(m_level, &QComboBox::activated, this, &COtherSetDialog::OnLevelChosen);
    connect(m_fileSize, &QLineEdit::textEdited, this, [this] { ShowSizeHint(true); });
    connect(m_fileSize, &QLineEdit::textChanged, this, [this] { ShowSizeHint(false); });
    m_fileSize->installEventFilter(this);
}

void COtherSetDialog::OnInitDialog()
{
    CPageContext* context = Context();
    m_settings.Load(*context->document, context->files);
    m_fileSize->setText(ToQString(m_settings.fileSize));
    // The texts, which also fill the level list (LoadLanguage).
    CResizablePage::OnInitDialog();
}

void COtherSetDialog::LoadLanguage()
{
    CResizablePage::LoadLanguage();
    const CChoiceTable& levels = CLogSettings::Levels();
    m_level->clear();
    for (size_t i = 0; i < levels.Size(); ++i)
        m_level->addItem(ToQString(levels.Label(i, Lookup)));
    m_level->setCurrentIndex(static_cast<int>(m_settings.LevelToShow()));
}

void COtherSetDialog::OnLevelChosen(int index)
{
    if (index < 0)
        return;
    m_settings.ChooseLevel(static_cast<size_t>(index));
    PostConfigModified(this);
}

bool COtherSetDialog::eventFilter(QObject* watched, QEvent* event)
{
    // Leaving the size field with a size out of range puts the default in.
    if (watched == m_fileSize && event->type() == QEvent::FocusOut)
    {
        const std::wstring typed = ToWString(m_fileSize->text());
        const std::wstring kept = CLogSettings::SizeOnLeave(typed);
        if (kept != typed)
            m_fileSize->setText(ToQString(kept));
    }
    return CResizablePage::eventFilter(watched, event);
}

void COtherSetDialog::ShowSizeHint(bool show)
{
    // The tip stays exactly as long as its cause.
    CLogSettings now = m_settings;
    now.fileSize = ToWString(m_fileSize->text());
    QString text;
    for (const CHint& hint : now.Hints())
        if (hint.field == CLogSettings::SizeField().key)
            text = ToQString(CLogSettings::RangeHint(Lookup));
    if (show || text.isEmpty())
        m_balloon.Update(m_fileSize, text);
}

bool COtherSetDialog::SaveConfig()
{
    const std::wstring typed = ToWString(m_fileSize->text());
    m_settings.fileSize = CLogSettings::SizeOnLeave(typed);
    if (m_settings.fileSize != typed)
        m_fileSize->setText(ToQString(m_settings.fileSize));
    CPageContext* context = Context();
    CFileChanges unsaved;
    m_settings.Save(*context->document, context->files,
                    context->changes != nullptr ? *context->changes : unsaved);
    return true;
}
