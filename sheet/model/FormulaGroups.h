#pragma once

#include "model/Cell.h"
#include "model/CellRange.h"

namespace sheet {

// An array formula (ARRAY record after its anchor cell's FORMULA): one formula over a range,
// each cell of which holds ptgExp naming the anchor.
struct ArrayGroup {
    CellRange range;
    Bytes rgce;
    Bytes extra;
};
// False when the anchor has no (readable) ARRAY record.
bool arrayGroupOf(const Cell& anchor, ArrayGroup* out);
// The ARRAY record of a new array formula.
Record arrayRecord(const CellRange& range, const Bytes& rgce, const Bytes& extra);

// A data table (TABLE record after the FORMULA of its first result cell): results of a
// formula with one or two input cells set to the values along its edges.
struct DataTable {
    CellRange range;                      // the result cells
    bool rowInput = false;                // one input: the values run along the row above the results
    bool twoInputs = false;               // the row above feeds rowInputCell, the column left colInputCell
    int rowInputRow = 0, rowInputCol = 0; // the input cell (the row input of two)
    int colInputRow = 0, colInputCol = 0; // the column input of two
};
bool dataTableOf(const Cell& anchor, DataTable* out);

} // namespace sheet
