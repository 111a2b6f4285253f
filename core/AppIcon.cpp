#include "AppIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QImage DrawApplicationIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Draw on a 256 unit canvas and let the painter scale it.
    painter.scale(size / 256.0, size / 256.0);

    // Rounded tile.
    QLinearGradient tile(0, 0, 0, 256);
    tile.setColorAt(0.0, QColor(0x1f, 0x8a, 0x9e));
    tile.setColorAt(1.0, QColor(0x12, 0x4e, 0x78));
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    QPainterPath tilePath;
    tilePath.addRoundedRect(QRectF(8, 8, 240, 240), 44, 44);
    painter.drawPath(tilePath);
    // Everything else stays inside the tile's rounded corners.
    painter.setClipPath(tilePath);

    // Measuring tape across the bottom, with its ticks.
    const QRectF tape(8, 182, 240, 42);
    painter.setBrush(QColor(0xf6, 0xc9, 0x4a));
    painter.drawRect(tape);
    painter.setPen(QPen(QColor(0x5a, 0x43, 0x10), 5, Qt::SolidLine, Qt::FlatCap));
    for (int x = 24; x < 248; x += 16) {
        const qreal tick = (x - 24) % 64 == 0 ? 24 : 13;
        painter.drawLine(QPointF(x, tape.top()), QPointF(x, tape.top() + tick));
    }

    // A falling progress line with its points.
    const QPointF points[] = {{40, 70}, {88, 92}, {136, 84}, {184, 124}, {218, 140}};
    QPainterPath line(points[0]);
    for (const QPointF& p : points)
        line.lineTo(p);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 14, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(line);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xf6, 0xc9, 0x4a));
    for (const QPointF& p : points)
        painter.drawEllipse(p, 13, 13);

    painter.end();
    return image;
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int size : ApplicationIconSizes)
        icon.addPixmap(QPixmap::fromImage(DrawApplicationIcon(size)));
    return icon;
}
