#pragma once

#include "biff/Bytes.h"
#include "biff/Record.h"
#include "base/Value.h"

#include <cstdint>
#include <limits>

namespace sheet {

// One cell of a worksheet: a constant (number, text, boolean, error), a blank with a format,
// or a formula with its last computed result.
struct Cell {
    static constexpr std::uint32_t kNoString = std::numeric_limits<std::uint32_t>::max();

    std::uint16_t xf = 15;
    Value value;                   // the constant, or the formula's cached result
    std::uint32_t sst = kNoString; // text constants: entry in the workbook's string pool

    bool formula = false;
    std::uint16_t formulaFlags = 0; // FORMULA grbit as read (0x0008 = shared)
    Bytes tokens;                   // rgce
    Bytes extra;                    // rgcb (array constants and the like)
    // Records written right after this cell: SHRFMLA / ARRAY / TABLE that belong to a formula,
    // and records the engine does not interpret that sat between cells.
    RecordList trailing;

    bool isFormula() const { return formula; }
    bool isBlank() const { return !formula && value.isEmpty(); }
};

// Row and column of a cell packed into the key the worksheet sorts its cells by.
constexpr std::uint32_t cellKey(int row, int col)
{
    return (static_cast<std::uint32_t>(row) << 8) | static_cast<std::uint32_t>(col);
}
constexpr int keyRow(std::uint32_t key) { return static_cast<int>(key >> 8); }
constexpr int keyCol(std::uint32_t key) { return static_cast<int>(key & 0xFF); }

} // namespace sheet
