#pragma once

#include <QImage>

namespace sheet {

class Worksheet;

// Picture of the cells r1..r2 x c1..c2 (0-based, inclusive) as the sheet shows them on
// screen at 96 dpi: column widths, row heights, fonts, alignment, fills, borders, gridlines.
// This is what Range.CopyPicture puts on the clipboard.
QImage renderRange(const Worksheet& sheet, int r1, int c1, int r2, int c2);

} // namespace sheet
