#pragma once

#include "model/Worksheet.h"

#include <cstdint>
#include <vector>

namespace sheet {

// A WINDOW2 body as saved: only the active sheet shows as selected.
Bytes window2ForSave(const Bytes& body, bool active);

// Writes a worksheet's substream (BOF .. EOF) in the order the sheet keeps: its own parts from
// the model, the records it keeps as they were between them.
class WorksheetWriter {
public:
    // sstIndex maps pool index -> SST index of this save; `active` marks the sheet's window
    // as the selected, shown one.
    WorksheetWriter(const Worksheet& sheet, const std::vector<std::uint32_t>& sstIndex, bool active);
    void write(Bytes& out) const;

private:
    using CellIt = Worksheet::CellMap::const_iterator;
    using RowIt = std::map<int, RowInfo>::const_iterator;

    void writePart(Bytes& out, const Worksheet::Layout::Item& item) const;
    void writeDimensions(Bytes& out) const;
    void writeColumns(Bytes& out) const;
    void writeMergedCells(Bytes& out) const;
    void writeCellTable(Bytes& out) const;
    RowIt writeRows(Bytes& out, CellIt cells, RowIt rows, int blockEnd) const;
    CellIt writeRun(Bytes& out, CellIt first, const Cell& cell) const;
    void writeCell(Bytes& out, int row, int col, const Cell& cell) const;
    void writeFormula(Bytes& out, ByteWriter& w, const Cell& cell) const;
    const Cell& asWritten(const Cell& cell, Cell& orphan) const;
    bool hasFormulaGroup(int row, int col) const;

    const Worksheet& m_sheet;
    const std::vector<std::uint32_t>& m_sstIndex;
    bool m_active;
};

} // namespace sheet
