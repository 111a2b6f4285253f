#pragma once
// TEMPORARY stand-in shadowing the engine's render/Render.h until paintRange is merged.

#include <QImage>
#include <QPainter>
#include <QSize>

namespace sheet {

class Worksheet;

QImage renderRange(const Worksheet& sheet, int r1, int c1, int r2, int c2);
void paintRange(const Worksheet& sheet, int r1, int c1, int r2, int c2, QPainter& painter);
QSize rangePixelSize(const Worksheet& sheet, int r1, int c1, int r2, int c2);

} // namespace sheet
