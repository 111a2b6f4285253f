#pragma once

#include "render/SheetRenderer.h"

#include <QImage>
#include <QPainter>
#include <QSize>

#include <memory>
#include <vector>

namespace sheet {

class Worksheet;

// Picture of the cells r1..r2 x c1..c2 (0-based, inclusive) as the sheet shows them on
// screen at 96 dpi: column widths, row heights, fonts, alignment, fills, borders, gridlines.
// This is what Range.CopyPicture puts on the clipboard.
// Throws sheet::Error for a range outside the sheet or a picture beyond the renderer's bounds
// (more than 16,384 pixels on a side or 100 megapixels, see RenderLimits.h).
QImage renderRange(const Worksheet& sheet, int r1, int c1, int r2, int c2);

// The same range drawn as vectors into any painter (a PDF page, a picture scaled to a size),
// from (0,0) in the painter's logical coordinates at 96 dpi (one unit per pixel of
// renderRange's picture). The painter's device bounds the picture: only a range of more
// than a million cells is refused.
void paintRange(const Worksheet& sheet, int r1, int c1, int r2, int c2, QPainter& painter);
// Size in pixels at 96 dpi of the range's picture.
QSize rangePixelSize(const Worksheet& sheet, int r1, int c1, int r2, int c2);
// A column's width and a row's height in those pictures (0 when hidden).
int columnPixelWidth(const Worksheet& sheet, int col);
int rowPixelHeight(const Worksheet& sheet, int row);

// A range read once, drawn later: what paintRange does in two steps, so that a caller can see
// the fonts and texts of the picture before anything is drawn (sheet-tool chooses its fonts
// from them). The sheet must outlive it and stay unchanged.
class RangeDrawing {
public:
    // Throws as paintRange does, before reading any cell. The picture's size is the caller's
    // to check (render/RenderLimits.h), at the size it is drawn.
    RangeDrawing(const Worksheet& sheet, int r1, int c1, int r2, int c2);
    ~RangeDrawing();

    QSize pixelSize() const { return m_size; }
    // Every cell of the range as the picture shows it, row by row.
    const std::vector<RenderCell>& cells() const;
    void paint(QPainter& painter) const;

private:
    class Source;
    std::unique_ptr<Source> m_source;
    CellRange m_range;
    QSize m_size;
};

// A range drawn a band of rows at a time, for a view that scrolls through a long sheet: only
// the rows in view are read and drawn, each pixel as renderRange's picture of the whole range
// has it, so a range far taller than a picture may be (16,384 pixels) is shown all the same.
// The sheet must outlive it and stay unchanged; it is brought up to date first.
class RangeRows {
public:
    // Throws sheet::Error for a range outside the sheet.
    RangeRows(const Worksheet& sheet, int r1, int c1, int r2, int c2);
    ~RangeRows();

    // The whole range's picture size, and where its rows lie in it (see RowBands).
    QSize pixelSize() const;
    int rowTop(int row) const;
    std::pair<int, int> rowsBetween(int top, int bottom) const;
    // Rows firstRow..lastRow where the whole picture has them.
    void paintRows(QPainter& painter, int firstRow, int lastRow) const;
    // The view of the picture `height` pixels high scrolled down by `top` pixels, at the
    // range's full width, with the first `keptRows` rows of the range held at its top as
    // the spreadsheet's frozen rows are. Throws sheet::Error beyond the picture bounds.
    QImage renderView(int top, int height, int keptRows = 0) const;
    // The same into a painter, from its (0, 0).
    void paintView(QPainter& painter, int top, int height, int keptRows = 0) const;

private:
    class Source;
    std::unique_ptr<Source> m_source;
    std::unique_ptr<RowBands> m_bands;
};

} // namespace sheet
