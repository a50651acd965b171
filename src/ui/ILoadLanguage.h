#pragma once

// A window that shows language-dependent texts and fonts.
class ILoadLanguage
{
public:
    virtual ~ILoadLanguage() = default;
    // Called at the end of every ApplyLanguageTexts on the window: at its initialisation and
    // again after each change of language. Re-applies the language fonts and the texts that
    // the generic pass by control ID cannot set (list headings, combo entries, buttons whose
    // ID differs from their text ID).
    virtual void LoadLanguage() = 0;
};
