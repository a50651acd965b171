#pragma once

#include "ui/ScrollState.h"

#include <QWidget>

class QScrollBar;

// A dialog laid out for a fixed design size that scrolls when it is shown smaller. Its
// controls are placed at fixed positions (no layout); scrolling moves them as a whole.
class CScrollDialog : public QWidget
{
    Q_OBJECT

public:
    explicit CScrollDialog(QWidget* parent = nullptr);

    // Takes the design size and starts at the origin. Called once the controls are placed.
    void InitializeScroll(const QSize& designSize);
    // Applies a scroll command to one direction.
    void ScrollBy(Qt::Orientation orientation, CScrollState::Command command, int thumb = 0);
    // Back to the origin with the ranges for the current size (as on a size change).
    void ResetScroll();

    const CScrollState& ScrollState() const { return m_state; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void MoveContent(int dx, int dy);
    void UpdateBars();
    void OnBarAction(Qt::Orientation orientation, int action);

    CScrollState m_state;
    QScrollBar* m_horizontal;
    QScrollBar* m_vertical;
    QPoint m_offset; // how far the controls are moved from their design positions
};
