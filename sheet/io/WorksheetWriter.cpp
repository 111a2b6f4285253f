// Writing a worksheet substream.
#include "io/WorksheetWriter.h"

#include "biff/CellRecords.h"
#include "biff/RecordIds.h"
#include "biff/SharedStrings.h"
#include "formula/Formula.h"

#include <algorithm>

namespace sheet {

using Part = Worksheet::Part;

namespace {

// MERGEDCELLS holds at most this many ranges.
constexpr std::size_t kMergedRangesPerRecord = 1026;
// Rows go in blocks: the block's ROW records, then its cells.
constexpr int kRowBlock = 32;

bool isRkNumber(const Cell& c, std::uint32_t* rk)
{
    return !c.formula && c.value.isNumber() && encodeRk(c.value.asNumber(), rk);
}

} // namespace

Bytes window2ForSave(const Bytes& body, bool active)
{
    Bytes w = body;
    if (w.size() < 10)
        w.resize(18, 0);
    std::uint16_t grbit = static_cast<std::uint16_t>(w[0] | (w[1] << 8));
    grbit = active ? (grbit | 0x0600) : (grbit & ~0x0600);
    w[0] = grbit & 0xFF;
    w[1] = grbit >> 8;
    return w;
}

WorksheetWriter::WorksheetWriter(const Worksheet& sheet, const std::vector<std::uint32_t>& sstIndex, bool active)
    : m_sheet(sheet)
    , m_sstIndex(sstIndex)
    , m_active(active)
{
}

void WorksheetWriter::write(Bytes& out) const
{
    appendRecord(out, rid::kBof, m_sheet.bof());
    std::size_t embedded = 0;
    for (const Worksheet::Layout::Item& item : m_sheet.layout().items()) {
        if (item.part != Part::Embedded) {
            writePart(out, item);
            continue;
        }
        for (const Record& r : m_sheet.embeddedSubstreams().at(embedded++))
            appendRecord(out, r);
    }
    appendRecord(out, rid::kEof, {});
}

void WorksheetWriter::writePart(Bytes& out, const Worksheet::Layout::Item& item) const
{
    switch (item.part) {
    case Part::Raw: appendRecord(out, item.record); break;
    case Part::Dimensions: writeDimensions(out); break;
    case Part::DefColWidth: {
        ByteWriter w;
        w.u16(static_cast<std::uint16_t>(m_sheet.defaultColumnWidth()));
        appendRecord(out, rid::kDefColWidth, w.data());
        break;
    }
    case Part::ColInfos: writeColumns(out); break;
    case Part::DefaultRowHeight: {
        ByteWriter w;
        w.u16(m_sheet.defaultRowFlags());
        w.u16(static_cast<std::uint16_t>(m_sheet.defaultRowHeight()));
        appendRecord(out, rid::kDefaultRowHeight, w.data());
        break;
    }
    case Part::CellTable: writeCellTable(out); break;
    case Part::MergedCells: writeMergedCells(out); break;
    case Part::Window2: appendRecord(out, rid::kWindow2, window2ForSave(m_sheet.window2Record(), m_active)); break;
    case Part::WsBool: {
        ByteWriter w;
        w.u16(m_sheet.wsBoolRecord());
        appendRecord(out, rid::kWsBool, w.data());
        break;
    }
    case Part::Setup: appendRecord(out, rid::kSetup, m_sheet.setupRecord().encode()); break;
    case Part::Embedded: break; // written by write()
    }
}

void WorksheetWriter::writeDimensions(Bytes& out) const
{
    ByteWriter w;
    const auto used = m_sheet.usedRange();
    w.u32(used ? static_cast<std::uint32_t>(used->firstRow) : 0);
    w.u32(used ? static_cast<std::uint32_t>(used->lastRow + 1) : 0);
    w.u16(used ? static_cast<std::uint16_t>(used->firstCol) : 0);
    w.u16(used ? static_cast<std::uint16_t>(used->lastCol + 1) : 0);
    w.u16(0);
    appendRecord(out, rid::kDimensions, w.data());
}

// One COLINFO per run of columns that look the same.
void WorksheetWriter::writeColumns(Bytes& out) const
{
    for (int c = 0; c < kMaxCols;) {
        const ColumnInfo* info = m_sheet.columnInfo(c);
        if (!info) {
            ++c;
            continue;
        }
        int last = c;
        while (last + 1 < kMaxCols && m_sheet.columnInfo(last + 1) && *m_sheet.columnInfo(last + 1) == *info)
            ++last;
        ByteWriter w;
        w.u16(static_cast<std::uint16_t>(c));
        w.u16(static_cast<std::uint16_t>(last));
        w.u16(info->width);
        w.u16(info->xf);
        w.u16(info->flags);
        w.u16(info->reserved);
        appendRecord(out, rid::kColInfo, w.data());
        c = last + 1;
    }
}

void WorksheetWriter::writeMergedCells(Bytes& out) const
{
    const std::vector<CellRange>& merged = m_sheet.mergedRanges();
    for (std::size_t k = 0; k < merged.size(); k += kMergedRangesPerRecord) {
        const std::size_t count = std::min(kMergedRangesPerRecord, merged.size() - k);
        ByteWriter w;
        w.u16(static_cast<std::uint16_t>(count));
        for (std::size_t j = k; j < k + count; ++j) {
            w.u16(static_cast<std::uint16_t>(merged[j].firstRow));
            w.u16(static_cast<std::uint16_t>(merged[j].lastRow));
            w.u16(static_cast<std::uint16_t>(merged[j].firstCol));
            w.u16(static_cast<std::uint16_t>(merged[j].lastCol));
        }
        appendRecord(out, rid::kMergedCells, w.data());
    }
}

// ---------------------------------------------------------------- the cell table

void WorksheetWriter::writeCellTable(Bytes& out) const
{
    const Worksheet::CellMap& cells = m_sheet.cells();
    const std::map<int, RowInfo>& rows = m_sheet.rows();
    auto cellIt = cells.begin();
    auto rowIt = rows.begin();
    while (cellIt != cells.end() || rowIt != rows.end()) {
        const int nextRow = std::min(cellIt != cells.end() ? keyRow(cellIt->first) : kMaxRows,
                                     rowIt != rows.end() ? rowIt->first : kMaxRows);
        const int blockEnd = (nextRow / kRowBlock + 1) * kRowBlock;
        rowIt = writeRows(out, cellIt, rowIt, blockEnd);
        while (cellIt != cells.end() && keyRow(cellIt->first) < blockEnd) {
            Cell orphan;
            const Cell& cell = asWritten(cellIt->second, orphan);
            const CellIt next = writeRun(out, cellIt, cell);
            if (next != cellIt) {
                cellIt = next;
                continue;
            }
            writeCell(out, keyRow(cellIt->first), keyCol(cellIt->first), cell);
            ++cellIt;
        }
    }
}

// The ROW records of the rows before blockEnd that have cells or row settings; returns the
// first row setting after them.
WorksheetWriter::RowIt WorksheetWriter::writeRows(Bytes& out, CellIt c, RowIt ri, int blockEnd) const
{
    const auto cellsEnd = m_sheet.cells().end();
    const auto rowsEnd = m_sheet.rows().end();
    while (true) {
        const int cr = c != cellsEnd ? keyRow(c->first) : kMaxRows;
        const int rr = ri != rowsEnd ? ri->first : kMaxRows;
        const int row = std::min(cr, rr);
        if (row >= blockEnd)
            return ri;
        int firstCol = 0, lastCol = -1;
        if (cr == row) {
            firstCol = keyCol(c->first);
            for (; c != cellsEnd && keyRow(c->first) == row; ++c)
                lastCol = keyCol(c->first);
        }
        RowInfo info;
        info.height = static_cast<std::uint16_t>(m_sheet.defaultRowHeight());
        if (rr == row)
            info = (ri++)->second;
        ByteWriter w;
        w.u16(static_cast<std::uint16_t>(row));
        w.u16(static_cast<std::uint16_t>(lastCol >= 0 ? firstCol : 0));
        w.u16(static_cast<std::uint16_t>(lastCol >= 0 ? lastCol + 1 : 0));
        w.u16(info.height);
        w.u16(info.reserved1);
        w.u16(info.reserved2);
        w.u16(info.flags);
        w.u16(info.xfWord);
        appendRecord(out, rid::kRow, w.data());
    }
}

// A run of RK numbers or of blanks in adjacent columns goes as one MULRK / MULBLANK (`cell` is
// the first as it is written). Returns the cell after the run, or `first` when there is no run
// of two.
WorksheetWriter::CellIt WorksheetWriter::writeRun(Bytes& out, CellIt first, const Cell& cell) const
{
    std::uint32_t rk = 0;
    const bool blank = cell.isBlank();
    if ((!blank && !isRkNumber(cell, &rk)) || !cell.trailing.empty())
        return first;
    const int row = keyRow(first->first);
    const int col = keyCol(first->first);
    auto runEnd = std::next(first);
    int lastCol = col;
    for (; runEnd != m_sheet.cells().end(); ++runEnd) {
        const Cell& n = runEnd->second;
        if (keyRow(runEnd->first) != row || keyCol(runEnd->first) != lastCol + 1 || !n.trailing.empty())
            break;
        std::uint32_t nrk;
        if (blank ? !n.isBlank() : !isRkNumber(n, &nrk))
            break;
        ++lastCol;
    }
    if (lastCol == col)
        return first;
    ByteWriter w;
    w.u16(static_cast<std::uint16_t>(row));
    w.u16(static_cast<std::uint16_t>(col));
    for (auto k = first; k != runEnd; ++k) {
        w.u16(k->second.xf);
        if (!blank) {
            std::uint32_t v = 0;
            encodeRk(k->second.value.asNumber(), &v);
            w.u32(v);
        }
    }
    w.u16(static_cast<std::uint16_t>(lastCol));
    appendRecord(out, blank ? rid::kMulBlank : rid::kMulRk, w.data());
    return runEnd;
}

// A shared or array formula whose group record went with its anchor cell can no longer be
// written as a formula: its last result stays as a constant (in `orphan`).
const Cell& WorksheetWriter::asWritten(const Cell& cell, Cell& orphan) const
{
    int ar, ac;
    if (!cell.formula || cell.tokens.size() != 5
        || !(sharedFormulaAnchor(cell.tokens, &ar, &ac) || dataTableAnchor(cell.tokens, &ar, &ac))
        || hasFormulaGroup(ar, ac))
        return cell;
    orphan.xf = cell.xf;
    // Text results have no shared string to point at; such a cell stays blank.
    orphan.value = cell.value.isString() ? Value() : cell.value;
    return orphan;
}

bool WorksheetWriter::hasFormulaGroup(int row, int col) const
{
    const Cell* anchor = m_sheet.cell(row, col);
    if (!anchor)
        return false;
    for (const Record& r : anchor->trailing)
        if (r.id == rid::kShrFmla || r.id == rid::kArray || r.id == rid::kTable)
            return true;
    return false;
}

void WorksheetWriter::writeCell(Bytes& out, int row, int col, const Cell& cell) const
{
    ByteWriter w;
    w.u16(static_cast<std::uint16_t>(row));
    w.u16(static_cast<std::uint16_t>(col));
    w.u16(cell.xf);
    if (cell.formula) {
        writeFormula(out, w, cell);
        return;
    }
    std::uint32_t rk = 0;
    switch (cell.value.type()) {
    case Value::Type::Empty: appendRecord(out, rid::kBlank, w.data()); break;
    case Value::Type::Number:
        if (isRkNumber(cell, &rk)) {
            w.u32(rk);
            appendRecord(out, rid::kRk, w.data());
        } else {
            w.f64(cell.value.asNumber());
            appendRecord(out, rid::kNumber, w.data());
        }
        break;
    case Value::Type::String: {
        const std::uint32_t index = cell.sst < m_sstIndex.size() ? m_sstIndex[cell.sst] : Cell::kNoString;
        if (index == Cell::kNoString)
            throw Error(QStringLiteral("Text of cell %1 is missing from the string table").arg(cellName(row, col)));
        w.u32(index);
        appendRecord(out, rid::kLabelSst, w.data());
        break;
    }
    case Value::Type::Bool:
    case Value::Type::Error:
        w.u8(cell.value.isBool() ? (cell.value.asBool() ? 1 : 0) : static_cast<std::uint8_t>(cell.value.asError()));
        w.u8(cell.value.isBool() ? 0 : 1);
        appendRecord(out, rid::kBoolErr, w.data());
        break;
    }
    for (const Record& t : cell.trailing)
        appendRecord(out, t);
}

void WorksheetWriter::writeFormula(Bytes& out, ByteWriter& w, const Cell& cell) const
{
    encodeFormulaResult(w, cell.value);
    // Ask the reader to recalculate: always-calculate and calculate-on-load.
    w.u16(static_cast<std::uint16_t>((cell.formulaFlags & 0x0008) | 0x0003));
    w.u32(0);
    w.u16(static_cast<std::uint16_t>(cell.tokens.size()));
    w.bytes(cell.tokens);
    w.bytes(cell.extra);
    appendRecord(out, rid::kFormula, w.data());
    // SHRFMLA / ARRAY / TABLE sit between FORMULA and STRING.
    for (const Record& t : cell.trailing)
        appendRecord(out, t);
    if (cell.value.isString() && !cell.value.asString().isEmpty())
        writeContinuedString(out, rid::kString, cell.value.asString());
}

} // namespace sheet
