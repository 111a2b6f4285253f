#include "model/CellRange.h"

namespace sheet {

bool parseRangeName(const QString& text, CellRange* range)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    CellRange r;
    if (colon < 0) {
        if (!parseCellName(text.trimmed(), &r.firstRow, &r.firstCol))
            return false;
        r.lastRow = r.firstRow;
        r.lastCol = r.firstCol;
    } else {
        if (!parseCellName(text.left(colon).trimmed(), &r.firstRow, &r.firstCol)
            || !parseCellName(text.mid(colon + 1).trimmed(), &r.lastRow, &r.lastCol))
            return false;
        if (r.lastRow < r.firstRow)
            std::swap(r.lastRow, r.firstRow);
        if (r.lastCol < r.firstCol)
            std::swap(r.lastCol, r.firstCol);
    }
    *range = r;
    return true;
}

} // namespace sheet
