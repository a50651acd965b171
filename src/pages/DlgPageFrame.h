#pragma once

#include "pages/ResizablePage.h"

// A page of the tree that hosts another page: it creates the hosted page's window when its
// own is created, gives it its whole area, and passes save and language calls on.
class CDlgPageFrame : public CResizablePage
{
    Q_OBJECT

public:
    static constexpr int kDialogId = 265;

    // iconId: the frame's icon in the page tree. The frame does not own the hosted page's
    // object lifetime rules beyond Qt's parenting: it becomes the page's parent.
    CDlgPageFrame(int iconId, CResizablePage* hosted, QWidget* parent = nullptr);

    int IconId() const { return m_iconId; }
    CResizablePage* HostedPage() const { return m_hosted; }

    void SetContext(CPageContext* context) override;
    // The hosted page's save; false when the frame hosts no page.
    bool SaveConfig() override;
    // The hosted page's language reload; nothing when there is none.
    void LoadLanguage() override;
    void OnSetActive() override;
    bool CancelEdit() override;

protected:
    void OnInitDialog() override;

private:
    int m_iconId;
    CResizablePage* m_hosted;
};
