// TEMPORARY stand-in for the engine's chart renderer and vector range drawing; removed at the
// merge that brings the real ones.
#include "charts/ChartRenderer.h"
#include "render/Render.h"

#include "model/Error.h"
#include "model/Workbook.h"

namespace sheet {

void paintChartSheet(const Workbook& book, int sheetIndex, QPainter& painter, const QRectF& target)
{
    if (sheetIndex < 0 || sheetIndex >= book.sheetCount() || !book.sheet(sheetIndex).isChart())
        throw Error(QStringLiteral("Not a chart sheet"));
    painter.save();
    painter.fillRect(target, Qt::white);
    painter.setPen(QPen(Qt::darkBlue, 2));
    painter.drawRect(target.adjusted(4, 4, -4, -4));
    painter.drawLine(target.topLeft() + QPointF(20, target.height() - 20), target.topRight() + QPointF(-20, 20));
    painter.drawText(target, Qt::AlignCenter, book.sheet(sheetIndex).name());
    painter.restore();
}

QImage renderChartSheet(const Workbook& book, int sheetIndex, const QSize& size, qreal dpr)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::white);
    QPainter p(&image);
    paintChartSheet(book, sheetIndex, p, QRectF(0, 0, size.width() / dpr, size.height() / dpr));
    return image;
}

void paintRange(const Worksheet& sheet, int r1, int c1, int r2, int c2, QPainter& painter)
{
    painter.drawImage(0, 0, renderRange(sheet, r1, c1, r2, c2));
}

QSize rangePixelSize(const Worksheet& sheet, int r1, int c1, int r2, int c2)
{
    return renderRange(sheet, r1, c1, r2, c2).size();
}

} // namespace sheet
