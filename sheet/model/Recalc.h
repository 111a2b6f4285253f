#pragma once

#include "model/Worksheet.h"

namespace sheet {

class Workbook;

// Brings every formula's cached result up to date, in dependency order: a cell is computed
// after the cells it reads (through names and 3-D references too), without deep recursion
// however long the chains are. Cells that read one another's ranges are computed together:
// a cell that reads its own value on the way gets #REF! (the spreadsheet refuses to compute
// a circle too); reading a range that holds the cell, or naming the cell only for its
// position (ROW, OFFSET's first argument), is no circle. A cell read through a reference only known while computing
// (INDIRECT, OFFSET) is computed when it is read. Array formulas are computed once for their
// range; data tables compute their formula again for each pair of input values.
class Recalc {
public:
    explicit Recalc(Workbook& book)
        : m_book(book)
    {
    }
    void run();

private:
    Workbook& m_book;
};

} // namespace sheet
