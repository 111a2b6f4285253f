#pragma once
// TEMPORARY stand-in for the engine's chart renderer until it is merged; removed then.

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QSize>

namespace sheet {

class Workbook;

void paintChartSheet(const Workbook& book, int sheetIndex, QPainter& painter, const QRectF& target);
QImage renderChartSheet(const Workbook& book, int sheetIndex, const QSize& size, qreal dpr = 1.0);

} // namespace sheet
