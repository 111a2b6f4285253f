#pragma once

#include "model/CellRange.h"

#include <QColor>
#include <QImage>
#include <QString>

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
QImage renderRange(const RenderSource& source, const CellRange& range);

} // namespace sheet
