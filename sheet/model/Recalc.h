#pragma once

#include "model/Worksheet.h"

namespace sheet {

class Workbook;

// Brings every formula's cached result up to date, in dependency order: a cell is computed
// after the cells it reads (through names and 3-D references too). Cells on a circular
// chain get #REF! (the spreadsheet refuses to compute them too), without deep recursion
// however long the chains are. A cell read through a reference only known while computing
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
