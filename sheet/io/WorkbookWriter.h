#pragma once

#include "biff/SharedStrings.h"
#include "model/Workbook.h"

#include <cstdint>
#include <vector>

namespace sheet {

// Writes a workbook as a BIFF8 workbook stream: the globals in the order the workbook keeps
// (its own parts written from the model, the records it keeps as they were), then each sheet.
// Formulas are brought up to date first; chart sheets' cached values follow the cells.
class WorkbookWriter {
public:
    explicit WorkbookWriter(const Workbook& book);
    Bytes stream();

private:
    void collectStrings();
    void writeGlobals(Bytes& out);
    void writePart(Bytes& out, const Workbook::Layout::Item& item);
    void writeBoundSheets(Bytes& out);
    void writeLinkTable(Bytes& out) const;
    void writeNames(Bytes& out) const;
    void writeStrings(Bytes& out) const;
    void writeSheets(Bytes& out) const;
    void writeKeptSheet(Bytes& out, const Sheet& sheet, bool active) const;
    Bytes window1Body() const;

    const Workbook& m_book;
    // Shared strings in order of first use: pool index -> SST index, and the table.
    std::vector<std::uint32_t> m_sstIndex;
    std::vector<SharedString> m_table;
    std::uint32_t m_totalUses = 0;
    // Where each BOUNDSHEET's stream position goes, filled in once the sheet is written.
    std::vector<std::size_t> m_positionAt;
};

} // namespace sheet
