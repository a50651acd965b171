#include "ui/DrawnIcons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPixmapCache>
#include <cmath>

namespace
{

const QColor kInk(0x33, 0x33, 0x33);
const QColor kBlue(0x2a, 0x6f, 0xb8);
const QColor kLightBlue(0xd6, 0xe8, 0xf7);
const QColor kGreen(0x2e, 0x8b, 0x3a);
const QColor kRed(0xc0, 0x39, 0x2b);

// Draws one picture into a square of 24 units (scaled to the rectangle it is given).
void Draw(DrawnIcon which, QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(kInk, 1.6);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    switch (which)
    {
    case DrawnIcon::Settings:
        p.setPen(pen);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(3, 2, 18, 20), 2, 2);
        pen.setColor(kBlue);
        pen.setWidthF(2);
        p.setPen(pen);
        for (double y : {7.0, 11.0, 15.0, 19.0 - 0.5})
            p.drawLine(QPointF(7, y), QPointF(17, y));
        break;
    case DrawnIcon::Network:
        p.setPen(QPen(kBlue.darker(130), 1.4));
        p.setBrush(kLightBlue);
        p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(12, 12), 4.5, 9.5);
        p.drawLine(QPointF(2.5, 12), QPointF(21.5, 12));
        p.drawLine(QPointF(12, 2.5), QPointF(12, 21.5));
        p.drawLine(QPointF(4.5, 7), QPointF(19.5, 7));
        p.drawLine(QPointF(4.5, 17), QPointF(19.5, 17));
        break;
    case DrawnIcon::Computer:
        p.setPen(pen);
        p.setBrush(kInk);
        p.drawRoundedRect(QRectF(2, 3, 20, 14), 1.5, 1.5);
        p.setPen(Qt::NoPen);
        p.setBrush(kLightBlue);
        p.drawRect(QRectF(4, 5, 16, 10));
        p.setPen(pen);
        p.drawLine(QPointF(12, 17), QPointF(12, 20));
        p.drawLine(QPointF(7, 21), QPointF(17, 21));
        break;
    case DrawnIcon::Question:
    {
        // The bubble, then its tail drawn over the bubble's edge.
        p.setPen(pen);
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(2, 2, 20, 16));
        const QPointF tail[] = {{7, 15.5}, {5, 22}, {12, 17.2}};
        p.setPen(Qt::NoPen);
        p.drawPolygon(tail, 3);
        p.setPen(pen);
        p.drawPolyline(tail, 3);
        pen.setColor(kBlue);
        pen.setWidthF(2.2);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        QPainterPath mark;
        mark.arcMoveTo(QRectF(9, 5, 6, 5.5), 160);
        mark.arcTo(QRectF(9, 5, 6, 5.5), 160, -250);
        mark.lineTo(12, 12);
        p.drawPath(mark);
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawEllipse(QPointF(12, 14.8), 1.2, 1.2);
        break;
    }
    case DrawnIcon::Info:
        p.setPen(QPen(kInk, 1.6));
        p.setBrush(kLightBlue);
        p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawEllipse(QPointF(12, 7), 1.6, 1.6);
        p.drawRoundedRect(QRectF(10.6, 10, 2.8, 8.5), 1, 1);
        break;
    case DrawnIcon::Play:
    {
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        const QPointF triangle[] = {{6, 4}, {20, 12}, {6, 20}};
        p.drawPolygon(triangle, 3);
        break;
    }
    case DrawnIcon::Stop:
        p.setPen(Qt::NoPen);
        p.setBrush(kRed);
        p.drawRoundedRect(QRectF(5, 5, 14, 14), 1.5, 1.5);
        break;
    case DrawnIcon::Reload:
    {
        pen.setColor(kBlue);
        pen.setWidthF(2.4);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(4, 4, 16, 16), 90 * 16, 270 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        const QPointF head[] = {{12, 0.5}, {17, 4}, {12, 7.5}};
        p.drawPolygon(head, 3);
        break;
    }
    }
}

class CDrawnIconEngine : public QIconEngine
{
public:
    explicit CDrawnIconEngine(DrawnIcon which) : m_which(which) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio =
            painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1;
        QPixmap image = pixmap(rect.size() * ratio, mode, state);
        image.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, image);
    }

    // Drawn once for each size and mode: a view paints its pictures again at every update.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override
    {
        const QString key = QStringLiteral("rz-drawn-%1-%2x%3-%4")
                                .arg(static_cast<int>(m_which))
                                .arg(size.width())
                                .arg(size.height())
                                .arg(mode == QIcon::Disabled ? 1 : 0);
        QPixmap image;
        if (QPixmapCache::find(key, &image))
            return image;
        image = QPixmap(size);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        const double side = std::min(size.width(), size.height());
        painter.translate((size.width() - side) / 2, (size.height() - side) / 2);
        painter.scale(side / 24, side / 24);
        if (mode == QIcon::Disabled)
            painter.setOpacity(0.4);
        Draw(m_which, painter);
        painter.end();
        QPixmapCache::insert(key, image);
        return image;
    }

    QIconEngine* clone() const override { return new CDrawnIconEngine(m_which); }

private:
    DrawnIcon m_which;
};

} // namespace

QIcon MakeDrawnIcon(DrawnIcon which)
{
    return QIcon(new CDrawnIconEngine(which));
}
