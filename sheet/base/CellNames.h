#pragma once

#include <QString>

namespace sheet {

// "A1"-style names, 0-based row and column.
QString columnName(int col); // 0 -> "A", 255 -> "IV"
QString cellName(int row, int col);
// Parses "B6" / "$B$6"; false when the text is not a cell name inside the sheet's limits.
bool parseCellName(const QString& text, int* row, int* col);

} // namespace sheet
