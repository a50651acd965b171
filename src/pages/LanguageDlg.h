#pragma once

#include "model/LanguageChoice.h"
#include "pages/ResizablePage.h"

class QComboBox;

// The Language Settings page: the language files of the tool's folder by their display names.
// Choosing one takes effect at once: the document's Language element takes the file's language
// name, the file is loaded, and every window shows its texts and fonts.
class CLanguageDlg : public CResizablePage
{
    Q_OBJECT

public:
    static constexpr int kDialogId = 150;

    // Control IDs of the page (the label carries its text ID).
    enum ControlId
    {
        kLanguageLabel = 1011,
        kLanguageList = 1012,
    };

    explicit CLanguageDlg(QWidget* parent = nullptr);

    // Nothing to do: a choice is written into the document when it is made.
    bool SaveConfig() override { return true; }

    const CLanguageChoice& Choice() const { return m_choice; }

protected:
    void OnInitDialog() override;

private:
    void OnLanguageChosen(int index);

    CLanguageChoice m_choice;
    QComboBox* m_list;
    // Set while the page fills the list, whose selection changes are then not the user's.
    bool m_filling = false;
};
