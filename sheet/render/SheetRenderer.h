#pragma once

#include "model/CellRange.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QSize>
#include <QString>

#include <utility>
#include <vector>

namespace sheet {

enum class HAlign { General, Left, Center, Right, Fill, Justify, CenterAcross };
enum class VAlign { Top, Center, Bottom, Justify };

// Line styles as the workbook stores them: 0 none, 1 thin, 2 medium, 3 dashed, 4 dotted,
// 5 thick, 6 double, 7 hair, 8.. medium dashed variants.
struct BorderLine {
    int style = 0;
    QColor color = Qt::black;
};

struct RenderStyle {
    QString fontName = QStringLiteral("Arial");
    double fontPoints = 10;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    QColor fontColor = Qt::black;
    HAlign hAlign = HAlign::General;
    VAlign vAlign = VAlign::Bottom;
    bool wrap = false;
    int indent = 0;
    QColor fill; // invalid: no fill
    BorderLine left, right, top, bottom;
};

struct RenderCell {
    enum class Kind { Empty, Text, Number, Bool, Error };
    Kind kind = Kind::Empty;
    QString text; // as displayed, number format applied
    RenderStyle style;
};

// What the renderer needs of a sheet. Sizes are screen pixels at 96 dpi.
class RenderSource {
public:
    virtual ~RenderSource() = default;
    virtual int columnWidthPixels(int col) const = 0;
    virtual int rowHeightPixels(int row) const = 0;
    virtual bool showGridlines() const = 0;
    virtual RenderCell cell(int row, int col) const = 0;
    virtual std::vector<CellRange> mergedRanges() const = 0;
};

// The range as it appears on screen: column widths, row heights, fonts, alignment, wrapped
// text, fills, borders and gridlines; text of a cell runs on over empty neighbours as in the
// spreadsheet, numbers too wide for their column show as #.
// Throws Error for a picture beyond the bounds of render/RenderLimits.h or a range of more
// than a million cells.
QImage renderRange(const RenderSource& source, const CellRange& range);

// The same picture drawn into any painter, from (0,0) in its logical coordinates (one unit
// per pixel at 96 dpi), for vector output such as PDF or a scaled picture. The painter's
// state is kept. Its device bounds the picture, so only a range of more than a million
// cells is refused.
void paintRange(const RenderSource& source, const CellRange& range, QPainter& painter);
// Size of that picture in pixels at 96 dpi.
QSize rangePixelSize(const RenderSource& source, const CellRange& range);

// A range laid out once (the edges of its columns and rows) and drawn a band of rows at a
// time: a view scrolling through a long sheet draws only the rows it shows, each pixel as the
// whole range's picture has it, and never needs that picture (which may be far beyond the
// bounds of RenderLimits.h). The source must outlive it and keep its sizes.
class RowBands {
public:
    // Reads the width of every column and the height of every row of the range, no cell:
    // cells are read when their band is drawn.
    RowBands(const RenderSource& source, const CellRange& range);

    const CellRange& range() const { return m_range; }
    QSize pixelSize() const;
    // Top edge of a row of the range in the whole picture; rowTop(lastRow + 1) is its bottom.
    int rowTop(int row) const;
    // The first and last row with pixels between y = top and y = bottom - 1; the first is
    // past the last when no row is there.
    std::pair<int, int> rowsBetween(int top, int bottom) const;
    // Draws rows firstRow..lastRow where the whole picture has them (a painter translated by
    // -rowTop(firstRow) puts them at its top); pixels outside the band are left alone.
    // Throws Error for a band of more than a million cells.
    void paintRows(QPainter& painter, int firstRow, int lastRow) const;

private:
    const RenderSource& m_source;
    CellRange m_range;
    std::vector<int> m_x;
    std::vector<int> m_y;
};
// The same, after the checks paintRange makes: throws Error for a range beyond the
// renderer's bounds.
QSize checkedRangePixelSize(const RenderSource& source, const CellRange& range);

} // namespace sheet
