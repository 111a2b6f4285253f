#pragma once

#include "biff/Record.h"
#include "model/CellRange.h"

#include <QPainter>
#include <QRectF>

#include <optional>
#include <vector>

namespace sheet {

class Workbook;
class Worksheet;

// Where a chart embedded in a worksheet sits: the cells of its corners and how far into each
// corner cell it starts and ends (0 to 1 of the cell's width and height).
struct ChartAnchor {
    int firstRow = 0;
    int firstCol = 0;
    int lastRow = 0;
    int lastCol = 0;
    double firstColFraction = 0;
    double firstRowFraction = 0;
    double lastColFraction = 0;
    double lastRowFraction = 0;

    CellRange cells() const { return CellRange{firstRow, firstCol, lastRow, lastCol}; }
    bool operator==(const ChartAnchor& o) const
    {
        return firstRow == o.firstRow && firstCol == o.firstCol && lastRow == o.lastRow && lastCol == o.lastCol
            && firstColFraction == o.firstColFraction && firstRowFraction == o.firstRowFraction
            && lastColFraction == o.lastColFraction && lastRowFraction == o.lastRowFraction;
    }
};

// A chart other programs embed in a worksheet: its records between BOF and EOF, and where
// it sits when the drawing before it says so.
struct EmbeddedChart {
    RecordList records;
    std::optional<ChartAnchor> anchor;
};

// The charts embedded in the worksheet whose substream is `sheet` (BOF to EOF, the charts'
// substreams inside), in file order: each chart after its OBJ, anchored by the drawing data
// before that (MSODRAWING, or CONTINUE records carrying it on), never by another object's.
// Records it cannot follow are passed over.
std::vector<EmbeddedChart> embeddedChartsIn(const RecordList& sheet);

// The same for sheet `sheetIndex` of `book`; none for a chart sheet.
std::vector<EmbeddedChart> embeddedChartList(const Workbook& book, int sheetIndex);

// The last client anchor (OfficeArtClientAnchorSheet) in the drawing data of one MSODRAWING
// record; none when it holds none.
std::optional<ChartAnchor> drawingAnchor(const Bytes& msodrawing);

// The rectangle an anchor covers in the picture of `range` of `sheet` (render/Render.h), in
// its pixels at 96 dpi.
QRectF anchorRect(const Worksheet& sheet, const CellRange& range, const ChartAnchor& anchor);

// Draws every anchored chart of worksheet `sheetIndex` where it sits in the picture of
// `range` (drawn from (0,0) of the painter, as paintRange draws it). The names of the charts
// drawn as placeholders, with why, go to `placeholders` when given.
void paintEmbeddedCharts(const Workbook& book, int sheetIndex, const CellRange& range, QPainter& painter,
                         QStringList* placeholders = nullptr);

} // namespace sheet
