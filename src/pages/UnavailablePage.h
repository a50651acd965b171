#pragma once

#include "pages/ResizablePage.h"

class QLabel;

// Stands in the page tree for a settings page that this version does not have yet. It says
// so, changes nothing and so always saves successfully.
class CUnavailablePage : public CResizablePage
{
    Q_OBJECT

public:
    // titleTextId: the text ID of the page's name, shown in the notice.
    CUnavailablePage(int dialogId, int titleTextId, QWidget* parent = nullptr);

    bool SaveConfig() override { return true; }
    void LoadLanguage() override;

    // The notice shown for a page that is not there yet.
    static QString UnavailableNotice(const QString& pageName);

private:
    int m_titleTextId;
    QLabel* m_notice;
};
