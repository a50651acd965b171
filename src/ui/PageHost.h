#pragma once

class QWidget;

// What a settings page may ask of the window that hosts its page tree (the main window).
class IPageHost
{
public:
    virtual ~IPageHost() = default;
    // Hides the command buttons while a page edits an entry of its own (false), and shows
    // them again when the edit ends (true).
    virtual void ShowMainButtons(bool show) = 0;
    // Disables the page tree while a page edits an entry, so that it cannot be left half done.
    virtual void EnablePageTree(bool enable) = 0;
    // Called by the language page after it loaded another language and every registered
    // window took its texts again: relabels the page tree and the window title in the new
    // language.
    virtual void LanguageChanged() = 0;
};

// The host of the page tree that widget belongs to, or null (a page shown on its own).
IPageHost* FindPageHost(QWidget* widget);

// While a page edits an entry of its own, its host hides the command buttons and disables the
// page tree; editing false shows and enables them again.
void SetPageHostEditing(QWidget* page, bool editing);
