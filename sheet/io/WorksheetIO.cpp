// Reading and writing a worksheet substream.
#include "model/Worksheet.h"

#include "biff/CellRecords.h"
#include "biff/ReadBudget.h"
#include "formula/Formula.h"
#include "biff/RecordIds.h"
#include "biff/RecordStream.h"
#include "model/Workbook.h"

#include <cmath>
#include <map>

namespace sheet {

namespace {

// FORMULA under the id BIFF3 and BIFF4 used; some writers still put it in BIFF8 files.
constexpr std::uint16_t kFormulaOld = 0x0406;

bool isCellTableRecord(std::uint16_t id)
{
    switch (id) {
    case rid::kRow:
    case rid::kLabelSst:
    case rid::kLabel:
    case rid::kRString:
    case rid::kNumber:
    case rid::kRk:
    case rid::kMulRk:
    case rid::kBlank:
    case rid::kMulBlank:
    case rid::kBoolErr:
    case rid::kFormula:
    case kFormulaOld:
    case rid::kString:
    case rid::kShrFmla:
    case rid::kArray:
    case rid::kTable:
    case rid::kDbCell: return true;
    default: return false;
    }
}

struct CellHeader {
    int row;
    int col;
    std::uint16_t xf;
};

CellHeader cellHeader(ByteReader& r)
{
    CellHeader h;
    h.row = r.u16();
    h.col = r.u16();
    h.xf = r.u16();
    if (h.col >= kMaxCols)
        throw FormatError(QStringLiteral("cell in column %1 is outside the sheet").arg(h.col + 1));
    return h;
}

} // namespace

void Worksheet::readRecords(const SubstreamRecords& records, const ReadContext& ctx)
{
    m_layout.clear();
    // Records kept as they are: copied out of the stream, and counted.
    auto keep = [&](const RecordView& r) {
        if (ctx.budget)
            ctx.budget->spend(sizeof(Record) + r.data.size + 16);
        return r.copy();
    };
    auto spend = [&](std::size_t bytes) {
        if (ctx.budget)
            ctx.budget->spend(bytes);
    };
    bool seen[8] = {};
    auto place = [&](Part p) {
        if (!seen[static_cast<int>(p)]) {
            seen[static_cast<int>(p)] = true;
            m_layout.push_back(LayoutItem{p, {}});
        }
    };
    const int xfCount = m_book->xfCount();
    auto checkXf = [&](std::uint16_t xf) {
        if (xf >= xfCount)
            throw FormatError(
                QStringLiteral("sheet '%1' uses cell format %2, the workbook has %3").arg(name()).arg(xf).arg(xfCount));
    };
    std::uint32_t lastKey = 0;
    auto put = [&](const CellHeader& h, Cell c) -> Cell& {
        checkXf(h.xf);
        c.xf = h.xf;
        if (ctx.budget)
            // a formula takes about as much again when the workbook is recalculated
            ctx.budget->spend(sizeof(Cell) + 64 + (c.formula ? 256 + 2 * c.tokens.size() + c.extra.size() : 0));
        lastKey = cellKey(h.row, h.col);
        Cell& slot = m_cells[lastKey];
        slot = std::move(c);
        return slot;
    };
    auto sstString = [&](std::uint32_t isst, Cell& c) {
        if (!ctx.sst || isst >= ctx.sst->size())
            throw FormatError(QStringLiteral("sheet '%1' refers to shared string %2, the table has %3")
                                  .arg(name())
                                  .arg(isst)
                                  .arg(ctx.sst ? ctx.sst->size() : 0));
        c.sst = (*ctx.poolIndex)[isst];
        c.value = Value::string((*ctx.sst)[isst].text);
    };

    Cell* lastCell = nullptr;
    bool pendingString = false;
    bool cellTableOpen = false;
    std::map<std::uint32_t, Bytes> sharedFormulas; // anchor cell -> rgce
    const std::size_t n = records.size();
    bool closed = n >= 2 && records.back().id == rid::kEof;
    const std::size_t end = closed ? n - 1 : n;

    for (std::size_t i = 1; i < end; ++i) {
        const RecordView rec = records[i];
        ByteReader r(rec.data);
        if (rec.id == rid::kBof) {
            // An embedded chart (or other substream) stays as it is, up to its EOF.
            int depth = 0;
            for (; i < end; ++i) {
                m_layout.push_back(LayoutItem{Part::Raw, keep(records[i])});
                if (records[i].id == rid::kBof)
                    ++depth;
                else if (records[i].id == rid::kEof && --depth == 0)
                    break;
            }
            cellTableOpen = false;
            continue;
        }
        if (cellTableOpen && !isCellTableRecord(rec.id) && rec.id != rid::kContinue)
            cellTableOpen = false;
        if (rec.id != rid::kString && rec.id != rid::kShrFmla && rec.id != rid::kArray && rec.id != rid::kTable
            && rec.id != rid::kContinue)
            pendingString = false;

        switch (rec.id) {
        case rid::kDimensions: place(Part::Dimensions); break;
        case rid::kIndex:
        case rid::kDbCell: break; // positions of the old layout; not needed to read the file back
        case rid::kDefColWidth:
            m_defColWidth = r.u16();
            place(Part::DefColWidth);
            break;
        case rid::kStandardWidth:
            m_standardWidth = r.u16();
            m_layout.push_back(LayoutItem{Part::Raw, keep(rec)});
            break;
        case rid::kColInfo: {
            int first = r.u16();
            int last = r.u16();
            ColumnInfo info;
            info.width = r.u16();
            info.xf = r.u16();
            info.flags = r.u16();
            if (r.remaining() >= 2)
                info.reserved = r.u16();
            last = std::min(last, kMaxCols - 1);
            if (first > last)
                throw FormatError(QStringLiteral("sheet '%1' has a bad column range").arg(name()));
            for (int c = first; c <= last; ++c)
                m_columns[static_cast<std::size_t>(c)] = info;
            place(Part::ColInfos);
            break;
        }
        case rid::kDefaultRowHeight:
            m_defaultRowFlags = r.u16();
            m_defaultRowHeight = r.u16();
            place(Part::DefaultRowHeight);
            break;
        case rid::kRow: {
            const int row = r.u16();
            r.skip(4); // column extent, rebuilt on save
            RowInfo info;
            info.height = r.u16();
            info.reserved1 = r.u16();
            info.reserved2 = r.u16();
            info.flags = r.u16();
            info.xfWord = r.u16();
            spend(sizeof(RowInfo) + 64); // a node of the row map
            m_rows[row] = info;
            place(Part::CellTable);
            cellTableOpen = true;
            break;
        }
        case rid::kLabelSst: {
            const CellHeader h = cellHeader(r);
            Cell c;
            sstString(r.u32(), c);
            lastCell = &put(h, std::move(c));
            break;
        }
        case rid::kLabel:
        case rid::kRString: {
            const CellHeader h = cellHeader(r);
            Cell c;
            const QString text = r.xlUnicodeString();
            // the text, its pool entry and the pool's index of it
            spend(2 * static_cast<std::size_t>(text.size()) + sizeof(SharedString) + 128);
            c.sst = m_book->strings().add(text);
            c.value = Value::string(text);
            lastCell = &put(h, std::move(c));
            break;
        }
        case rid::kNumber: {
            const CellHeader h = cellHeader(r);
            Cell c;
            c.value = Value::number(r.f64());
            lastCell = &put(h, std::move(c));
            break;
        }
        case rid::kRk: {
            const CellHeader h = cellHeader(r);
            Cell c;
            c.value = Value::number(decodeRk(r.u32()));
            lastCell = &put(h, std::move(c));
            break;
        }
        case rid::kMulRk:
        case rid::kMulBlank: {
            const bool rk = rec.id == rid::kMulRk;
            const int row = r.u16();
            const int first = r.u16();
            const std::size_t unit = rk ? 6 : 2;
            if (rec.data.size < 6 || (rec.data.size - 6) % unit != 0)
                throw FormatError(QStringLiteral("sheet '%1' has a malformed %2 record")
                                      .arg(name(), rk ? QStringLiteral("MULRK") : QStringLiteral("MULBLANK")));
            const std::size_t count = (rec.data.size - 6) / unit;
            const std::size_t lastAt = rec.data.size - 2;
            const int last = rec.data[lastAt] | (rec.data[lastAt + 1] << 8);
            if (last != first + static_cast<int>(count) - 1 || last >= kMaxCols)
                throw FormatError(
                    QStringLiteral("sheet '%1' row %2: cell count and column range disagree").arg(name()).arg(row + 1));
            for (std::size_t k = 0; k < count; ++k) {
                CellHeader h{row, first + static_cast<int>(k), r.u16()};
                Cell c;
                if (rk)
                    c.value = Value::number(decodeRk(r.u32()));
                lastCell = &put(h, std::move(c));
            }
            break;
        }
        case rid::kBlank: {
            const CellHeader h = cellHeader(r);
            lastCell = &put(h, Cell{});
            break;
        }
        case rid::kBoolErr: {
            const CellHeader h = cellHeader(r);
            const std::uint8_t v = r.u8();
            const std::uint8_t isError = r.u8();
            Cell c;
            if (isError)
                c.value = isKnownErrorCode(v) ? Value::error(static_cast<ErrorCode>(v)) : Value::error(ErrorCode::NA);
            else
                c.value = Value::boolean(v != 0);
            lastCell = &put(h, std::move(c));
            break;
        }
        case rid::kFormula:
        case kFormulaOld: {
            const CellHeader h = cellHeader(r);
            r.need(8);
            Cell c;
            bool stringFollows = false;
            c.value = decodeFormulaResult(rec.data.data + 6, &stringFollows);
            r.skip(8);
            c.formula = true;
            c.formulaFlags = r.u16();
            r.skip(4);
            const std::size_t cce = r.u16();
            c.tokens = r.bytes(cce);
            c.extra = r.bytes(r.remaining());
            lastCell = &put(h, std::move(c));
            pendingString = stringFollows;
            break;
        }
        case rid::kString: {
            const QString text = readContinuedString(gatherContinues(records, i));
            if (pendingString && lastCell && lastCell->formula) {
                spend(2 * static_cast<std::size_t>(text.size()) + 32);
                lastCell->value = Value::string(text);
            }
            pendingString = false;
            break;
        }
        case rid::kShrFmla:
        case rid::kArray:
        case rid::kTable: {
            if (!lastCell || !lastCell->formula) {
                // Belongs to no formula: nothing can use it.
                gatherContinues(records, i);
                break;
            }
            if (rec.id == rid::kShrFmla && rec.data.size >= 10) {
                const std::size_t cce = rec.data[8] | (rec.data[9] << 8);
                if (10 + cce <= rec.data.size) {
                    // keyed by the cell whose FORMULA it follows: the cell ptgExp names (not
                    // always the first of its range)
                    spend(cce + 64);
                    sharedFormulas[lastKey] = Bytes(rec.data.data + 10, rec.data.data + 10 + cce);
                }
            }
            const std::size_t start = i;
            gatherContinues(records, i);
            for (std::size_t k = start; k <= i; ++k)
                lastCell->trailing.push_back(keep(records[k]));
            break;
        }
        case rid::kMergedCells: {
            const std::size_t count = r.u16();
            r.need(count * 8);
            spend(2 * count * sizeof(CellRange)); // the list may be twice its size while it grows
            for (std::size_t k = 0; k < count; ++k) {
                CellRange m;
                m.firstRow = r.u16();
                m.lastRow = r.u16();
                m.firstCol = r.u16();
                m.lastCol = r.u16();
                // Reversed or out-of-sheet ranges cannot be shown; drop them.
                if (m.firstRow <= m.lastRow && m.firstCol <= m.lastCol && m.lastCol < kMaxCols)
                    m_merged.push_back(m);
            }
            place(Part::MergedCells);
            break;
        }
        case rid::kWindow2:
            if (!seen[static_cast<int>(Part::Window2)]) {
                if (rec.data.size < 10)
                    throw FormatError(QStringLiteral("sheet '%1' has a short WINDOW2 record").arg(name()));
                m_window2 = rec.data.copy();
                place(Part::Window2);
            } else {
                m_layout.push_back(LayoutItem{Part::Raw, keep(rec)});
            }
            break;
        default:
            if (cellTableOpen && lastCell && rec.id == rid::kContinue) {
                lastCell->trailing.push_back(keep(rec));
                break;
            }
            m_layout.push_back(LayoutItem{Part::Raw, keep(rec)});
            break;
        }
        if (isCellTableRecord(rec.id) && rec.id != rid::kDbCell) {
            place(Part::CellTable);
            cellTableOpen = true;
        }
    }

    // Shared formulas become each cell's own formula, so any cell can change on its own.
    if (!sharedFormulas.empty()) {
        std::map<std::uint32_t, bool> expandedAll;
        for (auto& kv : m_cells) {
            Cell& c = kv.second;
            int ar, ac;
            if (!c.formula || c.tokens.empty() || c.tokens[0] != 0x01 || !sharedFormulaAnchor(c.tokens, &ar, &ac))
                continue;
            const auto sf = sharedFormulas.find(cellKey(ar, ac));
            if (sf == sharedFormulas.end())
                continue;
            Bytes own;
            bool ok = true;
            try {
                own = sharedFormulaForCell(sf->second, keyRow(kv.first), keyCol(kv.first));
            } catch (const Error&) {
                ok = false; // stays shared; its cached result is kept
            }
            auto e = expandedAll.emplace(sf->first, true).first;
            if (ok) {
                // each cell now has the whole formula, and about as much again once recalculated
                spend(2 * own.size());
                c.tokens = std::move(own);
                c.formulaFlags &= ~0x0008;
            } else {
                e->second = false;
            }
        }
        for (const auto& e : expandedAll) {
            if (!e.second)
                continue;
            auto anchor = m_cells.find(e.first);
            if (anchor == m_cells.end())
                continue;
            RecordList& t = anchor->second.trailing;
            for (std::size_t k = 0; k < t.size();) {
                if (t[k].id == rid::kShrFmla) {
                    std::size_t stop = k + 1;
                    while (stop < t.size() && t[stop].id == rid::kContinue)
                        ++stop;
                    t.erase(t.begin() + static_cast<std::ptrdiff_t>(k), t.begin() + static_cast<std::ptrdiff_t>(stop));
                } else {
                    ++k;
                }
            }
        }
    }

    ensurePart(Part::Dimensions);
    ensurePart(Part::CellTable);
    ensurePart(Part::Window2);
    bool anyColumns = false;
    for (const auto& c : m_columns)
        anyColumns = anyColumns || c.has_value();
    if (anyColumns)
        ensurePart(Part::ColInfos);
    if (!m_merged.empty())
        ensurePart(Part::MergedCells);
}

// ---------------------------------------------------------------- writing

Bytes Worksheet::window2Body(bool active) const
{
    Bytes w = m_window2;
    if (w.size() < 10)
        w.resize(18, 0);
    std::uint16_t grbit = static_cast<std::uint16_t>(w[0] | (w[1] << 8));
    grbit = active ? (grbit | 0x0600) : (grbit & ~0x0600);
    w[0] = grbit & 0xFF;
    w[1] = grbit >> 8;
    return w;
}

void Worksheet::write(Bytes& out, const std::vector<std::uint32_t>& sstIndex, bool active) const
{
    appendRecord(out, rid::kBof, bof());
    for (const LayoutItem& item : m_layout) {
        switch (item.part) {
        case Part::Raw: appendRecord(out, item.record); break;
        case Part::Dimensions: {
            ByteWriter w;
            const auto used = usedRange();
            w.u32(used ? static_cast<std::uint32_t>(used->firstRow) : 0);
            w.u32(used ? static_cast<std::uint32_t>(used->lastRow + 1) : 0);
            w.u16(used ? static_cast<std::uint16_t>(used->firstCol) : 0);
            w.u16(used ? static_cast<std::uint16_t>(used->lastCol + 1) : 0);
            w.u16(0);
            appendRecord(out, rid::kDimensions, w.data());
            break;
        }
        case Part::DefColWidth: {
            ByteWriter w;
            w.u16(m_defColWidth);
            appendRecord(out, rid::kDefColWidth, w.data());
            break;
        }
        case Part::ColInfos:
            for (int c = 0; c < kMaxCols;) {
                const auto& info = m_columns[static_cast<std::size_t>(c)];
                if (!info) {
                    ++c;
                    continue;
                }
                int last = c;
                while (last + 1 < kMaxCols && m_columns[static_cast<std::size_t>(last + 1)]
                       && *m_columns[static_cast<std::size_t>(last + 1)] == *info)
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
            break;
        case Part::DefaultRowHeight: {
            ByteWriter w;
            w.u16(m_defaultRowFlags);
            w.u16(m_defaultRowHeight);
            appendRecord(out, rid::kDefaultRowHeight, w.data());
            break;
        }
        case Part::CellTable: writeCellTable(out, sstIndex); break;
        case Part::MergedCells:
            // At most 1026 ranges fit one record.
            for (std::size_t k = 0; k < m_merged.size(); k += 1026) {
                const std::size_t count = std::min<std::size_t>(1026, m_merged.size() - k);
                ByteWriter w;
                w.u16(static_cast<std::uint16_t>(count));
                for (std::size_t j = k; j < k + count; ++j) {
                    w.u16(static_cast<std::uint16_t>(m_merged[j].firstRow));
                    w.u16(static_cast<std::uint16_t>(m_merged[j].lastRow));
                    w.u16(static_cast<std::uint16_t>(m_merged[j].firstCol));
                    w.u16(static_cast<std::uint16_t>(m_merged[j].lastCol));
                }
                appendRecord(out, rid::kMergedCells, w.data());
            }
            break;
        case Part::Window2: appendRecord(out, rid::kWindow2, window2Body(active)); break;
        }
    }
    appendRecord(out, rid::kEof, {});
}

bool Worksheet::hasFormulaGroup(int row, int col) const
{
    const Cell* anchor = cell(row, col);
    if (!anchor)
        return false;
    for (const Record& r : anchor->trailing)
        if (r.id == rid::kShrFmla || r.id == rid::kArray || r.id == rid::kTable)
            return true;
    return false;
}

void Worksheet::writeCellTable(Bytes& out, const std::vector<std::uint32_t>& sstIndex) const
{
    // Rows in blocks of 32: the block's ROW records, then its cells.
    auto cellIt = m_cells.begin();
    auto rowIt = m_rows.begin();
    ByteWriter w;
    while (cellIt != m_cells.end() || rowIt != m_rows.end()) {
        const int nextRow = std::min(cellIt != m_cells.end() ? keyRow(cellIt->first) : kMaxRows,
                                     rowIt != m_rows.end() ? rowIt->first : kMaxRows);
        const int blockEnd = (nextRow / 32 + 1) * 32;

        // ROW records of the block
        auto c = cellIt;
        auto ri = rowIt;
        while (true) {
            const int cr = c != m_cells.end() ? keyRow(c->first) : kMaxRows;
            const int rr = ri != m_rows.end() ? ri->first : kMaxRows;
            const int row = std::min(cr, rr);
            if (row >= blockEnd)
                break;
            int firstCol = 0, lastCol = -1;
            if (cr == row) {
                firstCol = keyCol(c->first);
                while (c != m_cells.end() && keyRow(c->first) == row) {
                    lastCol = keyCol(c->first);
                    ++c;
                }
            }
            RowInfo info;
            info.height = m_defaultRowHeight;
            if (rr == row) {
                info = ri->second;
                ++ri;
            }
            w.clear();
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
        rowIt = ri;

        // cells of the block
        while (cellIt != m_cells.end() && keyRow(cellIt->first) < blockEnd) {
            const int row = keyRow(cellIt->first);
            const int col = keyCol(cellIt->first);
            // A shared or array formula whose group record went with its anchor cell can no
            // longer be written as a formula: its last result stays as a constant.
            Cell orphan;
            const Cell* source = &cellIt->second;
            int ar, ac;
            if (source->formula && source->tokens.size() == 5
                && (sharedFormulaAnchor(source->tokens, &ar, &ac) || dataTableAnchor(source->tokens, &ar, &ac))
                && !hasFormulaGroup(ar, ac)) {
                orphan.xf = source->xf;
                // Text results have no shared string to point at; such a cell stays blank.
                orphan.value = source->value.isString() ? Value() : source->value;
                source = &orphan;
            }
            const Cell& cell = *source;
            std::uint32_t rk = 0;
            const bool rkNumber = !cell.formula && cell.value.isNumber() && encodeRk(cell.value.asNumber(), &rk);
            const bool blank = cell.isBlank();
            // Runs of RK numbers or blanks in adjacent columns share one MULRK / MULBLANK.
            if ((rkNumber || blank) && cell.trailing.empty()) {
                auto runEnd = std::next(cellIt);
                int lastCol = col;
                while (runEnd != m_cells.end() && keyRow(runEnd->first) == row && keyCol(runEnd->first) == lastCol + 1
                       && runEnd->second.trailing.empty()) {
                    const Cell& n = runEnd->second;
                    std::uint32_t nrk;
                    const bool ok = blank ? n.isBlank()
                                          : (!n.formula && n.value.isNumber() && encodeRk(n.value.asNumber(), &nrk));
                    if (!ok)
                        break;
                    ++lastCol;
                    ++runEnd;
                }
                if (lastCol > col) {
                    w.clear();
                    w.u16(static_cast<std::uint16_t>(row));
                    w.u16(static_cast<std::uint16_t>(col));
                    for (auto k = cellIt; k != runEnd; ++k) {
                        w.u16(k->second.xf);
                        if (!blank) {
                            std::uint32_t v = 0;
                            encodeRk(k->second.value.asNumber(), &v);
                            w.u32(v);
                        }
                    }
                    w.u16(static_cast<std::uint16_t>(lastCol));
                    appendRecord(out, blank ? rid::kMulBlank : rid::kMulRk, w.data());
                    cellIt = runEnd;
                    continue;
                }
            }

            w.clear();
            w.u16(static_cast<std::uint16_t>(row));
            w.u16(static_cast<std::uint16_t>(col));
            w.u16(cell.xf);
            if (cell.formula) {
                Value result = cell.value;
                encodeFormulaResult(w, result);
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
                if (result.isString() && !result.asString().isEmpty())
                    writeContinuedString(out, rid::kString, result.asString());
                ++cellIt;
                continue;
            }
            switch (cell.value.type()) {
            case Value::Type::Empty: appendRecord(out, rid::kBlank, w.data()); break;
            case Value::Type::Number:
                if (rkNumber) {
                    w.u32(rk);
                    appendRecord(out, rid::kRk, w.data());
                } else {
                    w.f64(cell.value.asNumber());
                    appendRecord(out, rid::kNumber, w.data());
                }
                break;
            case Value::Type::String: {
                const std::uint32_t index = cell.sst < sstIndex.size() ? sstIndex[cell.sst] : Cell::kNoString;
                if (index == Cell::kNoString)
                    throw Error(
                        QStringLiteral("Text of cell %1 is missing from the string table").arg(cellName(row, col)));
                w.u32(index);
                appendRecord(out, rid::kLabelSst, w.data());
                break;
            }
            case Value::Type::Bool:
                w.u8(cell.value.asBool() ? 1 : 0);
                w.u8(0);
                appendRecord(out, rid::kBoolErr, w.data());
                break;
            case Value::Type::Error:
                w.u8(static_cast<std::uint8_t>(cell.value.asError()));
                w.u8(1);
                appendRecord(out, rid::kBoolErr, w.data());
                break;
            }
            for (const Record& t : cell.trailing)
                appendRecord(out, t);
            ++cellIt;
        }
    }
}

} // namespace sheet
