#pragma once

#include "pages/ResizablePage.h"

#include <functional>

class CRepeaterPageBase;
class QPushButton;

// The repeater entry of the page tree: hosts the scrolling repeater page and carries the
// Save (1051) and Cancel (1052) buttons of its edit mode along its bottom.
class CDlgRepeaterFrame : public CResizablePage
{
    Q_OBJECT

public:
    static constexpr int kDialogId = 256;
    static constexpr int kIconId = 191;
    static constexpr int kMargin = 5;

    // makePage builds the hosted page when the frame's window is created.
    explicit CDlgRepeaterFrame(std::function<CRepeaterPageBase*()> makePage,
                               QWidget* parent = nullptr);

    CRepeaterPageBase* Page() const { return m_page; }

    // The repeater page's save; false when there is no page.
    bool SaveConfig() override;
    // The buttons' font, then the page's own text reload.
    void LoadLanguage() override;
    void OnSetActive() override;
    // The page's edit mode is dropped, as the frame's Cancel does.
    bool CancelEdit() override;

    // Lays the page and the buttons out for the page's edit mode, as WM_REPEATER_EDIT_MODE asks.
    void LayOut();
    // The area the page gets.
    QRect PageArea() const;

protected:
    void OnInitDialog() override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool InEditMode() const;

    std::function<CRepeaterPageBase*()> m_makePage;
    CRepeaterPageBase* m_page = nullptr;
    QPushButton* m_save;
    QPushButton* m_cancel;
};
