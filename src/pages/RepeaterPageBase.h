#pragma once

#include "pages/ISaveConfig.h"
#include "pages/PageContext.h"
#include "ui/ILoadLanguage.h"
#include "ui/ScrollDialog.h"

class QAbstractButton;

// What the repeater frame hosts: a scrolling page with an edit mode whose Save and Cancel
// buttons live on the frame. The page sends WM_REPEATER_EDIT_MODE to the frame whenever the
// mode begins or ends.
class CRepeaterPageBase : public CScrollDialog, public ISaveConfig, public ILoadLanguage
{
    Q_OBJECT

public:
    using CScrollDialog::CScrollDialog;

    // The host's document and files, given by the frame before OnInitDialog.
    void SetContext(CPageContext* context) { m_context = context; }
    CPageContext* Context() const { return m_context; }

    // The frame's Save and Cancel, given before OnInitDialog: the buttons that Enter and
    // Escape press while an edit mode lasts.
    virtual void SetEntryButtons(QAbstractButton*, QAbstractButton*) {}
    // Fills the page when the frame's window is created.
    virtual void OnInitDialog() = 0;
    // True while an entry is being added or changed.
    virtual bool InEditMode() const = 0;
    // The frame's Save: keep the entry being edited.
    virtual void SaveEntry() = 0;
    // The frame's Cancel: drop it.
    virtual void CancelEntry() = 0;
    // The page became the page shown in the tree.
    virtual void Refresh() {}

private:
    CPageContext* m_context = nullptr;
};
