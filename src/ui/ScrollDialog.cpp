#include "ui/ScrollDialog.h"

#include <QAbstractSlider>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>

CScrollDialog::CScrollDialog(QWidget* parent)
    : QWidget(parent), m_horizontal(new QScrollBar(Qt::Horizontal, this)),
      m_vertical(new QScrollBar(Qt::Vertical, this))
{
    m_horizontal->hide();
    m_vertical->hide();
    connect(m_horizontal, &QAbstractSlider::actionTriggered, this,
            [this](int action) { OnBarAction(Qt::Horizontal, action); });
    connect(m_vertical, &QAbstractSlider::actionTriggered, this,
            [this](int action) { OnBarAction(Qt::Vertical, action); });
}

void CScrollDialog::InitializeScroll(const QSize& designSize)
{
    MoveContent(-m_offset.x(), -m_offset.y());
    m_state.Initialize(designSize.width(), designSize.height());
    ResetScroll();
}

void CScrollDialog::ResetScroll()
{
    if (!m_state.IsInitialized())
        return;
    MoveContent(-m_offset.x(), -m_offset.y());
    m_state.Resize(width(), height());
    UpdateBars();
}

void CScrollDialog::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    ResetScroll();
}

void CScrollDialog::ScrollBy(Qt::Orientation orientation, CScrollState::Command command, int thumb)
{
    if (orientation == Qt::Horizontal)
    {
        const int change = m_state.ScrollHorizontal(command, thumb);
        if (change != 0)
            MoveContent(-change * CScrollState::kStepX, 0);
    }
    else
    {
        const int change = m_state.ScrollVertical(command, thumb);
        if (change != 0)
            MoveContent(0, -change * CScrollState::kStepY);
    }
    UpdateBars();
}

void CScrollDialog::wheelEvent(QWheelEvent* event)
{
    const int notches = event->angleDelta().y() / 120;
    for (int i = 0; i < std::abs(notches) * 3; ++i)
        ScrollBy(Qt::Vertical, notches > 0 ? CScrollState::LineUp : CScrollState::LineDown);
    event->accept();
}

void CScrollDialog::MoveContent(int dx, int dy)
{
    if (dx == 0 && dy == 0)
        return;
    for (QObject* child : children())
    {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget != nullptr && widget != m_horizontal && widget != m_vertical)
            widget->move(widget->pos() + QPoint(dx, dy));
    }
    m_offset += QPoint(dx, dy);
}

void CScrollDialog::UpdateBars()
{
    const int barWidth = m_vertical->sizeHint().width();
    const int barHeight = m_horizontal->sizeHint().height();
    m_horizontal->setGeometry(0, height() - barHeight, width() - barWidth, barHeight);
    m_vertical->setGeometry(width() - barWidth, 0, barWidth, height() - barHeight);
    m_horizontal->setRange(0, m_state.MaxX());
    m_horizontal->setPageStep(8);
    m_horizontal->setValue(m_state.X());
    m_vertical->setRange(0, m_state.MaxY());
    m_vertical->setPageStep(std::max(m_state.RawRangeY(), 1));
    m_vertical->setValue(m_state.Y());
    m_horizontal->setVisible(m_state.MaxX() > 0);
    m_vertical->setVisible(m_state.MaxY() > 0);
    m_horizontal->raise();
    m_vertical->raise();
}

void CScrollDialog::OnBarAction(Qt::Orientation orientation, int action)
{
    QScrollBar* bar = orientation == Qt::Horizontal ? m_horizontal : m_vertical;
    CScrollState::Command command = CScrollState::Other;
    switch (action)
    {
    case QAbstractSlider::SliderSingleStepSub:
        command = CScrollState::LineUp;
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        command = CScrollState::LineDown;
        break;
    case QAbstractSlider::SliderPageStepSub:
        command = CScrollState::PageUp;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        command = CScrollState::PageDown;
        break;
    case QAbstractSlider::SliderToMinimum:
        command = CScrollState::Top;
        break;
    case QAbstractSlider::SliderToMaximum:
        command = CScrollState::Bottom;
        break;
    case QAbstractSlider::SliderMove:
        command = CScrollState::ThumbTrack;
        break;
    default:
        break;
    }
    // The bar proposes a position; the dialog's own arithmetic decides.
    const int thumb = bar->sliderPosition();
    ScrollBy(orientation, command, thumb);
    bar->setSliderPosition(orientation == Qt::Horizontal ? m_state.X() : m_state.Y());
}
