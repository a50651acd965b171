#include "ui/LanguageTexts.h"

#include "lang/Language.h"
#include "ui/ILoadLanguage.h"
#include "ui/QtText.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>
#include <QWidget>
#include <cstdlib>
#include <vector>

namespace
{

struct RegistryEntry
{
    QPointer<QWidget> window;
    int dialogId;
};

std::vector<RegistryEntry>& Registry()
{
    static std::vector<RegistryEntry> registry;
    return registry;
}

void SetLabel(QWidget* control, const QString& text)
{
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(ButtonText(text));
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(control))
        group->setTitle(ButtonText(text));
}

// The toolkit's own texts (the Yes and No of a question) in the current language.
QTranslator& ToolkitTranslator()
{
    static QTranslator translator;
    return translator;
}

// The toolkit's default font: a message box and a tip have it, and so has the text that every
// line edit lays out once while it is made, before it takes its parent's font. Setting it makes
// the fonts a desktop gives single classes of controls give way to it, so it is set only when
// it changes.
void SetToolkitFont(const QFont& font)
{
    if (font != QApplication::font())
        QApplication::setFont(font);
}

QFont MakeFont(const lang::CFontChoice& wanted)
{
    // The desktop's font, not the toolkit's default, which is the last language's font.
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (wanted.faceName.empty() && wanted.height == 0)
        return font; // as the desktop sets it up, hinting and all
    if (!wanted.faceName.empty())
        font.setFamily(ToQString(wanted.faceName));
    if (wanted.height != 0)
        font.setPixelSize(std::abs(wanted.height));
    // A language's own font is drawn unhinted, as on any high-density screen: loading a glyph
    // then skips the hinter, which was most of what a window's first picture spent on glyphs.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

} // namespace

void ApplyLanguageTexts(QWidget* window, int dialogId, bool remember)
{
    if (window == nullptr)
        return;
    std::wstring key = std::to_wstring(dialogId);
    if (key == L"102" || key == L"103" || key == L"104")
        key = L"103";
    window->setWindowTitle(ToQString(lang::LookupText(key)));
    window->update();

    if (remember)
    {
        auto& registry = Registry();
        bool known = false;
        for (const auto& entry : registry)
            known = known || (entry.window == window);
        if (!known)
            registry.push_back({window, dialogId});
    }

    for (QObject* child : window->children())
    {
        auto* control = qobject_cast<QWidget*>(child);
        if (control == nullptr)
            continue;
        bool hasId = false;
        const int id = control->property(kControlIdProperty).toInt(&hasId);
        // -1 is the ID of controls that have none.
        if (!hasId || id < 0 || id >= 100000)
            continue;
        const std::wstring text = lang::LookupText(std::to_wstring(id));
        if (!text.empty())
            SetLabel(control, ToQString(text));
    }

    if (auto* loader = dynamic_cast<ILoadLanguage*>(window))
        loader->LoadLanguage();
}

void ReapplyLanguageTexts()
{
    ApplyToolkitTranslation();
    // A copy: a window's LoadLanguage may register further windows.
    const std::vector<RegistryEntry> entries = Registry();
    for (const auto& entry : entries)
    {
        if (entry.window)
            ApplyLanguageTexts(entry.window, entry.dialogId, true);
    }
    std::erase_if(Registry(), [](const RegistryEntry& entry) { return entry.window.isNull(); });
}

void ClearLanguageRegistry()
{
    Registry().clear();
}

QString ButtonText(const QString& text)
{
    // "&" before a letter or digit marks the shortcut key, as the text tables mean it; any
    // other "&" ("Save & Restart") is the character itself and is doubled for the toolkit.
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i)
    {
        shown += text[i];
        if (text[i] != QLatin1Char('&'))
            continue;
        if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&'))
            shown += text[++i];
        else if (i + 1 >= text.size() || !text[i + 1].isLetterOrNumber())
            shown += QLatin1Char('&');
    }
    return shown;
}

void ApplyToolkitTranslation()
{
    SetToolkitFont(LanguageFont());
    // The language file names its locale ("de") among its settings; without one the
    // toolkit's English stays.
    const QString locale = ToQString(lang::LookupText(L"Locale"));
    QTranslator& translator = ToolkitTranslator();
    QCoreApplication::removeTranslator(&translator);
    if (locale.isEmpty())
        return;
    if (translator.load(QLocale(locale), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
}

void RestoreToolkitDefaults()
{
    QCoreApplication::removeTranslator(&ToolkitTranslator());
    SetToolkitFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
}

QFont LanguageFont()
{
    return MakeFont(lang::CLanguage::Instance().NormalFont());
}

QFont LanguageTitleFont()
{
    return MakeFont(lang::CLanguage::Instance().TitleFont());
}

QWidget* FindControl(QWidget* window, int controlId)
{
    if (window == nullptr)
        return nullptr;
    for (QWidget* widget : window->findChildren<QWidget*>())
    {
        bool hasId = false;
        if (widget->property(kControlIdProperty).toInt(&hasId) == controlId && hasId)
            return widget;
    }
    return nullptr;
}
