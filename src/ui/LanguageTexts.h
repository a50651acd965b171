#pragma once

#include <QFont>
#include <QString>

class QWidget;

// Name of the Qt property that carries a control's ID; texts and tests find controls by it.
inline constexpr const char* kControlIdProperty = "controlId";

// Fills a window from the current text table: its caption from the text of dialogId (102, 103
// and 104 all show text 103), and the label of each direct child whose controlId is below
// 100000 and has a non-empty text (others keep their own label). With remember set, the window
// is registered so that ReapplyLanguageTexts fills it again. Windows that implement
// ILoadLanguage have their LoadLanguage called at the end.
void ApplyLanguageTexts(QWidget* window, int dialogId, bool remember);

// Fills every registered window again, in the order of registration (after a language change).
void ReapplyLanguageTexts();

// A text from the text table as a button shows it: "&" before a letter or digit stays the
// shortcut marker, any other "&" is shown as itself.
QString ButtonText(const QString& text);

// Loads the toolkit's own translation (standard buttons such as Yes and No) for the locale
// that the current language file names in its "Locale" setting, English without one, and
// makes the language's font the toolkit's default.
void ApplyToolkitTranslation();
// Gives the toolkit back its English and the desktop's font (when the main window goes).
void RestoreToolkitDefaults();

// Forgets every registered window (when the main window goes).
void ClearLanguageRegistry();

// The two language fonts made from the current language's settings: face name and pixel
// height, each the desktop's font where the language file gives none.
QFont LanguageFont();
QFont LanguageTitleFont();

// The control with the given ID among the window's descendants, or null.
QWidget* FindControl(QWidget* window, int controlId);
