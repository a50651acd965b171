#include "pages/DlgPageFrame.h"
#include "pages/DlgRepeaterFrame.h"
#include "pages/RepeaterPageBase.h"
#include "ui/LanguageTexts.h"
#include "ui/ScrollDialog.h"
#include "ui/WindowMessages.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace
{

// A page that records what its frame asks of it.
class CRecordingPage : public CResizablePage
{
public:
    explicit CRecordingPage(bool saveResult) : CResizablePage(129), m_saveResult(saveResult) {}
    bool SaveConfig() override
    {
        ++saves;
        return m_saveResult;
    }
    void LoadLanguage() override { ++languageLoads; }
    int saves = 0;
    int languageLoads = 0;

protected:
    void OnInitDialog() override { ++inits; }

public:
    int inits = 0;

private:
    bool m_saveResult;
};

// A scrolling page whose edit mode the test switches, sending the frame the message the
// repeater page sends.
class CEditingPage : public CRepeaterPageBase
{
public:
    CEditingPage()
    {
        m_marker = new QLabel("top left", this);
        m_marker->move(10, 20);
    }
    void OnInitDialog() override { InitializeScroll(QSize(600, 900)); }
    bool InEditMode() const override { return editing; }
    void SaveEntry() override { ++saved; }
    void CancelEntry() override { ++cancelled; }
    bool SaveConfig() override { return true; }
    void LoadLanguage() override {}
    void SetEditing(bool on)
    {
        editing = on;
        SendWindowMessage(parentWidget(), WM_REPEATER_EDIT_MODE);
    }
    QPoint MarkerPos() const { return m_marker->pos(); }

    bool editing = false;
    int saved = 0;
    int cancelled = 0;

private:
    QLabel* m_marker;
};

} // namespace

TEST(PageFrames, AFrameForwardsToItsPageAndAnswersFalseWithoutOne)
{
    auto* page = new CRecordingPage(true);
    CDlgPageFrame frame(190, page);
    frame.Create();
    EXPECT_EQ(page->inits, 1);
    EXPECT_TRUE(page->IsCreated());
    EXPECT_EQ(page->parentWidget(), &frame);
    const int loadsAfterInit = page->languageLoads;
    EXPECT_GE(loadsAfterInit, 1); // the frame's texts end with LoadLanguage, passed on
    EXPECT_TRUE(frame.SaveConfig());
    EXPECT_EQ(page->saves, 1);
    frame.LoadLanguage();
    EXPECT_EQ(page->languageLoads, loadsAfterInit + 1);

    CDlgPageFrame empty(192, nullptr);
    empty.Create();
    EXPECT_FALSE(empty.SaveConfig());
    empty.LoadLanguage(); // nothing to pass on, and no crash
    ClearLanguageRegistry();
}

TEST(PageFrames, RepeaterFrameShowsItsButtonsOnlyInEditMode)
{
    CEditingPage* page = nullptr;
    CDlgRepeaterFrame frame([&page] { return page = new CEditingPage; });
    frame.resize(640, 480);
    frame.Create();
    frame.show();
    ASSERT_NE(page, nullptr);
    auto* save = qobject_cast<QPushButton*>(FindControl(&frame, 1051));
    auto* cancel = qobject_cast<QPushButton*>(FindControl(&frame, 1052));
    ASSERT_NE(save, nullptr);
    ASSERT_NE(cancel, nullptr);
    EXPECT_FALSE(save->isVisible());
    EXPECT_EQ(page->geometry(), frame.rect());

    // Scroll down, then enter the edit mode: the page shrinks above the buttons and is back
    // at its origin.
    page->ScrollBy(Qt::Vertical, CScrollState::PageDown);
    EXPECT_GT(page->ScrollState().Y(), 0);
    page->SetEditing(true);
    EXPECT_TRUE(save->isVisible());
    EXPECT_TRUE(cancel->isVisible());
    EXPECT_EQ(page->geometry().top(), 0);
    EXPECT_EQ(page->geometry().bottom(), save->geometry().top() - CDlgRepeaterFrame::kMargin - 1);
    EXPECT_EQ(save->geometry().bottom(), frame.height() - CDlgRepeaterFrame::kMargin - 1);
    EXPECT_EQ(page->ScrollState().Y(), 0);
    EXPECT_EQ(page->MarkerPos(), QPoint(10, 20));

    QTest::mouseClick(save, Qt::LeftButton);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_EQ(page->saved, 1);
    EXPECT_EQ(page->cancelled, 1);

    page->SetEditing(false);
    EXPECT_FALSE(save->isVisible());
    EXPECT_EQ(page->geometry(), frame.rect());

    // A resize always brings the page back to its top-left corner.
    page->ScrollBy(Qt::Vertical, CScrollState::Bottom);
    page->ScrollBy(Qt::Horizontal, CScrollState::LineDown);
    EXPECT_NE(page->MarkerPos(), QPoint(10, 20));
    frame.resize(500, 400);
    EXPECT_EQ(page->MarkerPos(), QPoint(10, 20));
    EXPECT_EQ(page->ScrollState().X(), 0);
    EXPECT_TRUE(frame.SaveConfig());
    ClearLanguageRegistry();
}

TEST(ScrollState, StepsAndRangesAtTheEdges)
{
    CScrollState state;
    state.Initialize(600, 900);
    state.Resize(400, 305); // (600-400)/8 = 25 across, (900-305)/15 = 39 down
    EXPECT_EQ(state.MaxX(), 25);
    EXPECT_EQ(state.MaxY(), 39);

    EXPECT_EQ(state.ScrollVertical(CScrollState::LineUp), 0);    // already at the top
    EXPECT_EQ(state.ScrollVertical(CScrollState::PageDown), 39); // page down: to the bottom
    EXPECT_EQ(state.ScrollVertical(CScrollState::LineDown), 0);
    EXPECT_EQ(state.ScrollVertical(CScrollState::PageUp), -39);
    EXPECT_EQ(state.ScrollVertical(CScrollState::ThumbTrack, 12), 12);
    EXPECT_EQ(state.ScrollVertical(CScrollState::Bottom), 27);
    EXPECT_EQ(state.ScrollVertical(CScrollState::Top), -39);

    EXPECT_EQ(state.ScrollHorizontal(CScrollState::PageDown), 8); // page right: 8 steps
    EXPECT_EQ(state.ScrollHorizontal(CScrollState::PageDown), 8);
    EXPECT_EQ(state.ScrollHorizontal(CScrollState::PageDown), 8);
    EXPECT_EQ(state.ScrollHorizontal(CScrollState::PageDown), 1); // clamped at 25
    EXPECT_EQ(state.ScrollHorizontal(CScrollState::ThumbTrack, 40), 0);
    EXPECT_EQ(state.ScrollHorizontal(CScrollState::PageUp), -8);
    EXPECT_EQ(state.ScrollHorizontal(CScrollState::Other), 0);

    // A resize goes back to the origin.
    state.Resize(400, 305);
    EXPECT_EQ(state.X(), 0);
    EXPECT_EQ(state.Y(), 0);

    // An area larger than the design: ranges of 0, and nothing moves, not even a page.
    state.Resize(800, 1000);
    EXPECT_EQ(state.MaxX(), 0);
    EXPECT_EQ(state.MaxY(), 0);
    EXPECT_LT(state.RawRangeY(), 0);
    EXPECT_EQ(state.ScrollVertical(CScrollState::PageDown), 0);
    EXPECT_EQ(state.ScrollVertical(CScrollState::PageUp), 0);
    EXPECT_EQ(state.ScrollHorizontal(CScrollState::LineDown), 0);

    // Before initialisation a resize does nothing.
    CScrollState fresh;
    fresh.Resize(10, 10);
    EXPECT_EQ(fresh.MaxY(), 0);
}
