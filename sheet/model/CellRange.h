#pragma once

#include "base/CellNames.h"
#include "base/SheetLimits.h"

#include <QString>

namespace sheet {

// A rectangle of cells, 0-based and inclusive.
struct CellRange {
    int firstRow = 0;
    int firstCol = 0;
    int lastRow = 0;
    int lastCol = 0;

    int rowCount() const { return lastRow - firstRow + 1; }
    int colCount() const { return lastCol - firstCol + 1; }
    bool contains(int row, int col) const
    {
        return row >= firstRow && row <= lastRow && col >= firstCol && col <= lastCol;
    }
    bool operator==(const CellRange& o) const
    {
        return firstRow == o.firstRow && firstCol == o.firstCol && lastRow == o.lastRow && lastCol == o.lastCol;
    }
    bool operator!=(const CellRange& o) const { return !(*this == o); }
};

// Parses "A1:K32" or a single cell.
bool parseRangeName(const QString& text, CellRange* range);

} // namespace sheet
