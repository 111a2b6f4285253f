#pragma once

#include <QImage>
#include <QPainter>
#include <QSize>

namespace sheet {

class Worksheet;

// Picture of the cells r1..r2 x c1..c2 (0-based, inclusive) as the sheet shows them on
// screen at 96 dpi: column widths, row heights, fonts, alignment, fills, borders, gridlines.
// This is what Range.CopyPicture puts on the clipboard.
// Throws sheet::Error for a range outside the sheet or a picture beyond the renderer's bounds
// (more than 16,384 pixels on a side or 100 megapixels, see RenderLimits.h).
QImage renderRange(const Worksheet& sheet, int r1, int c1, int r2, int c2);

// The same range drawn as vectors into any painter (a PDF page, say), from (0,0) in the
// painter's logical coordinates at 96 dpi (one unit per pixel of renderRange's picture).
void paintRange(const Worksheet& sheet, int r1, int c1, int r2, int c2, QPainter& painter);
// Size in pixels at 96 dpi of the range's picture.
QSize rangePixelSize(const Worksheet& sheet, int r1, int c1, int r2, int c2);

} // namespace sheet
