#pragma once

#include "pages/ISaveConfig.h"
#include "pages/PageContext.h"
#include "ui/ILoadLanguage.h"

#include <QWidget>

// The base of every page of the page tree. A page object exists from the start; its window
// is "created" (filled from the document, given its texts) when it is first shown, and only
// created pages are asked to save.
class CResizablePage : public QWidget, public ISaveConfig, public ILoadLanguage
{
    Q_OBJECT

public:
    // dialogId: the ID of the page's texts (its caption and the IDs of its controls).
    explicit CResizablePage(int dialogId, QWidget* parent = nullptr);

    int DialogId() const { return m_dialogId; }

    // The host's document and files; set by the host before the page is created. Frames pass
    // it on to the page they host.
    virtual void SetContext(CPageContext* context) { m_context = context; }
    CPageContext* Context() const { return m_context; }

    // Creates the page's window once: runs OnInitDialog the first time, nothing after.
    void Create();
    bool IsCreated() const { return m_created; }

    // The page became the page shown in the tree. Called after Create.
    virtual void OnSetActive() {}
    // Cancels an entry that is open on the page (as its Cancel does), when the user presses
    // Escape or closes the window; false when no entry was open.
    virtual bool CancelEdit() { return false; }

    // The normal language font on every child window.
    void LoadLanguage() override;

protected:
    // Fills the page at its creation. The base applies the page's texts (and registers it
    // for language changes), which also runs LoadLanguage.
    virtual void OnInitDialog();

private:
    CPageContext* m_context = nullptr;
    int m_dialogId;
    bool m_created = false;
};
