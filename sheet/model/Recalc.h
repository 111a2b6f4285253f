#pragma once

namespace sheet {

class Workbook;

// Brings every formula's cached result up to date, in dependency order: a cell is computed
// after the cells it reads. Cells on a circular chain get #REF! (the spreadsheet refuses to
// compute them too), without deep recursion however long the chains are.
class Recalc {
public:
    explicit Recalc(Workbook& book) : m_book(book) {}
    void run();

private:
    Workbook& m_book;
};

} // namespace sheet
