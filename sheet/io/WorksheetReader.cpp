// Reading a worksheet substream.
#include "io/WorksheetReader.h"

#include "biff/CellRecords.h"
#include "biff/ReadBudget.h"
#include "biff/RecordIds.h"
#include "formula/Formula.h"
#include "model/Workbook.h"

#include <algorithm>

namespace sheet {

using Part = Worksheet::Part;

namespace {

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
    case rid::kFormulaBiff4:
    case rid::kString:
    case rid::kShrFmla:
    case rid::kArray:
    case rid::kTable:
    case rid::kDbCell: return true;
    default: return false;
    }
}

// What may stand between a FORMULA and the STRING that holds its text result.
bool mayPrecedeString(std::uint16_t id)
{
    return id == rid::kString || id == rid::kShrFmla || id == rid::kArray || id == rid::kTable || id == rid::kContinue;
}

} // namespace

WorksheetReader::WorksheetReader(Worksheet& sheet, const SubstreamRecords& records, Strings strings, ReadBudget* budget)
    : m_sheet(sheet)
    , m_records(records)
    , m_strings(strings)
    , m_budget(budget)
    , m_xfCount(sheet.workbook().xfCount())
{
    const std::size_t n = records.size();
    const bool closed = n >= 2 && records.back().id == rid::kEof;
    m_end = closed ? n - 1 : n;
}

void WorksheetReader::read()
{
    m_sheet.layout().clear();
    for (m_at = 1; m_at < m_end; ++m_at)
        readRecord(m_records[m_at]);
    expandSharedFormulas();
    placeMissingParts();
}

void WorksheetReader::readRecord(const RecordView& rec)
{
    if (rec.id == rid::kBof) {
        keepEmbeddedSubstream();
        return;
    }
    if (m_cellTableOpen && !isCellTableRecord(rec.id) && rec.id != rid::kContinue)
        m_cellTableOpen = false;
    if (!mayPrecedeString(rec.id))
        m_pendingString = false;

    if (!readCell(rec)) {
        switch (rec.id) {
        case rid::kDimensions: m_sheet.layout().place(Part::Dimensions); break;
        case rid::kIndex:
        case rid::kDbCell: break; // positions of the old layout; not needed to read the file back
        case rid::kDefColWidth:
        case rid::kStandardWidth:
        case rid::kColInfo: readColumns(rec); break;
        case rid::kDefaultRowHeight: {
            ByteReader r(rec.data);
            const std::uint16_t flags = r.u16();
            m_sheet.setDefaultRowRecord(flags, r.u16());
            m_sheet.layout().place(Part::DefaultRowHeight);
            break;
        }
        case rid::kRow: readRow(rec); break;
        case rid::kMergedCells: readMergedCells(rec); break;
        case rid::kWsBool:
        case rid::kSetup: readPrinting(rec); break;
        case rid::kWindow2: readWindow2(rec); break;
        default: keepOther(rec); break;
        }
    }
    if (isCellTableRecord(rec.id) && rec.id != rid::kDbCell) {
        m_sheet.layout().place(Part::CellTable);
        m_cellTableOpen = true;
    }
}

// ---------------------------------------------------------------- cells

bool WorksheetReader::readCell(const RecordView& rec)
{
    ByteReader r(rec.data);
    switch (rec.id) {
    case rid::kLabelSst:
    case rid::kLabel:
    case rid::kRString: readLabel(rec); return true;
    case rid::kNumber:
    case rid::kRk: {
        const Header h = header(r);
        Cell c;
        c.value = Value::number(rec.id == rid::kRk ? decodeRk(r.u32()) : r.f64());
        m_lastCell = &put(h, std::move(c));
        return true;
    }
    case rid::kMulRk:
    case rid::kMulBlank: readMultiple(rec); return true;
    case rid::kBlank: {
        const Header h = header(r);
        m_lastCell = &put(h, Cell{});
        return true;
    }
    case rid::kBoolErr: readBoolErr(rec); return true;
    case rid::kFormula:
    case rid::kFormulaBiff4: readFormula(rec); return true;
    case rid::kString: readFormulaString(); return true;
    case rid::kShrFmla:
    case rid::kArray:
    case rid::kTable: readFormulaGroup(rec); return true;
    default: return false;
    }
}

WorksheetReader::Header WorksheetReader::header(ByteReader& r) const
{
    Header h;
    h.row = r.u16();
    h.col = r.u16();
    h.xf = r.u16();
    if (h.col >= kMaxCols)
        throw FormatError(QStringLiteral("cell in column %1 is outside the sheet").arg(h.col + 1));
    return h;
}

Cell& WorksheetReader::put(const Header& h, Cell c)
{
    if (h.xf >= m_xfCount)
        throw FormatError(QStringLiteral("sheet '%1' uses cell format %2, the workbook has %3")
                              .arg(m_sheet.name())
                              .arg(h.xf)
                              .arg(m_xfCount));
    c.xf = h.xf;
    spend(sizeof(Cell) + readcost::kMapNode + (c.formula ? readcost::formula(c.tokens.size(), c.extra.size()) : 0));
    m_lastKey = cellKey(h.row, h.col);
    Cell& slot = m_sheet.cellStore()[m_lastKey];
    slot = std::move(c);
    return slot;
}

void WorksheetReader::readLabel(const RecordView& rec)
{
    ByteReader r(rec.data);
    const Header h = header(r);
    Cell c;
    if (rec.id == rid::kLabelSst) {
        const std::uint32_t isst = r.u32();
        const std::vector<SharedString>* table = m_strings.table;
        if (!table || isst >= table->size())
            throw FormatError(QStringLiteral("sheet '%1' refers to shared string %2, the table has %3")
                                  .arg(m_sheet.name())
                                  .arg(isst)
                                  .arg(table ? table->size() : 0));
        c.sst = (*m_strings.poolIndex)[isst];
        c.value = Value::string((*table)[isst].text);
    } else {
        const QString text = r.xlUnicodeString();
        spend(readcost::text(text.size()) + sizeof(SharedString) + readcost::kPooledString);
        c.sst = m_sheet.workbook().strings().add(text);
        c.value = Value::string(text);
    }
    m_lastCell = &put(h, std::move(c));
}

// MULRK and MULBLANK: a run of numbers or blanks in one row.
void WorksheetReader::readMultiple(const RecordView& rec)
{
    const bool rk = rec.id == rid::kMulRk;
    ByteReader r(rec.data);
    const int row = r.u16();
    const int first = r.u16();
    const std::size_t unit = rk ? 6 : 2;
    if (rec.data.size < 6 || (rec.data.size - 6) % unit != 0)
        throw FormatError(QStringLiteral("sheet '%1' has a malformed %2 record")
                              .arg(m_sheet.name(), rk ? QStringLiteral("MULRK") : QStringLiteral("MULBLANK")));
    const std::size_t count = (rec.data.size - 6) / unit;
    const std::size_t lastAt = rec.data.size - 2;
    const int last = rec.data[lastAt] | (rec.data[lastAt + 1] << 8);
    if (last != first + static_cast<int>(count) - 1 || last >= kMaxCols)
        throw FormatError(
            QStringLiteral("sheet '%1' row %2: cell count and column range disagree").arg(m_sheet.name()).arg(row + 1));
    for (std::size_t k = 0; k < count; ++k) {
        const Header h{row, first + static_cast<int>(k), r.u16()};
        Cell c;
        if (rk)
            c.value = Value::number(decodeRk(r.u32()));
        m_lastCell = &put(h, std::move(c));
    }
}

void WorksheetReader::readBoolErr(const RecordView& rec)
{
    ByteReader r(rec.data);
    const Header h = header(r);
    const std::uint8_t v = r.u8();
    const std::uint8_t isError = r.u8();
    Cell c;
    if (isError)
        c.value = isKnownErrorCode(v) ? Value::error(static_cast<ErrorCode>(v)) : Value::error(ErrorCode::NA);
    else
        c.value = Value::boolean(v != 0);
    m_lastCell = &put(h, std::move(c));
}

// ---------------------------------------------------------------- formulas

void WorksheetReader::readFormula(const RecordView& rec)
{
    ByteReader r(rec.data);
    const Header h = header(r);
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
    m_lastCell = &put(h, std::move(c));
    m_pendingString = stringFollows;
}

// STRING: the text result of the formula before it.
void WorksheetReader::readFormulaString()
{
    const QString text = readContinuedString(gatherContinues(m_records, m_at));
    if (m_pendingString && m_lastCell && m_lastCell->formula) {
        spend(readcost::text(text.size()) + readcost::kCellString);
        m_lastCell->value = Value::string(text);
    }
    m_pendingString = false;
}

// SHRFMLA, ARRAY and TABLE go with the formula cell they follow.
void WorksheetReader::readFormulaGroup(const RecordView& rec)
{
    if (!m_lastCell || !m_lastCell->formula) {
        // Belongs to no formula: nothing can use it.
        gatherContinues(m_records, m_at);
        return;
    }
    if (rec.id == rid::kShrFmla && rec.data.size >= 10) {
        const std::size_t cce = rec.data[8] | (rec.data[9] << 8);
        if (10 + cce <= rec.data.size) {
            // keyed by the cell whose FORMULA it follows: the cell ptgExp names (not always
            // the first of its range)
            spend(cce + readcost::kMapNode);
            m_sharedFormulas[m_lastKey] = Bytes(rec.data.data + 10, rec.data.data + 10 + cce);
        }
    }
    const std::size_t start = m_at;
    gatherContinues(m_records, m_at);
    for (std::size_t k = start; k <= m_at; ++k)
        m_lastCell->trailing.push_back(keep(m_records[k]));
}

// Shared formulas become each cell's own formula, so that any cell can change on its own.
void WorksheetReader::expandSharedFormulas()
{
    if (m_sharedFormulas.empty())
        return;
    std::map<std::uint32_t, bool> expandedAll; // anchor -> every cell of it expanded
    for (auto& kv : m_sheet.cellStore()) {
        Cell& c = kv.second;
        int ar, ac;
        if (!c.formula || c.tokens.empty() || c.tokens[0] != 0x01 || !sharedFormulaAnchor(c.tokens, &ar, &ac))
            continue;
        const auto sf = m_sharedFormulas.find(cellKey(ar, ac));
        if (sf == m_sharedFormulas.end())
            continue;
        auto expanded = expandedAll.emplace(sf->first, true).first;
        Bytes own;
        try {
            own = sharedFormulaForCell(sf->second, keyRow(kv.first), keyCol(kv.first));
        } catch (const Error&) {
            expanded->second = false; // stays shared; its cached result is kept
            continue;
        }
        spend(readcost::expandedFormula(own.size()));
        c.tokens = std::move(own);
        c.formulaFlags &= ~0x0008;
    }
    dropExpandedGroups(expandedAll);
}

// A SHRFMLA that every cell of its group no longer needs goes.
void WorksheetReader::dropExpandedGroups(const std::map<std::uint32_t, bool>& expanded)
{
    for (const auto& e : expanded) {
        if (!e.second)
            continue;
        auto anchor = m_sheet.cellStore().find(e.first);
        if (anchor == m_sheet.cellStore().end())
            continue;
        RecordList& t = anchor->second.trailing;
        for (std::size_t k = 0; k < t.size();) {
            if (t[k].id != rid::kShrFmla) {
                ++k;
                continue;
            }
            std::size_t stop = k + 1;
            while (stop < t.size() && t[stop].id == rid::kContinue)
                ++stop;
            t.erase(t.begin() + static_cast<std::ptrdiff_t>(k), t.begin() + static_cast<std::ptrdiff_t>(stop));
        }
    }
}

// ---------------------------------------------------------------- rows, columns, the rest

void WorksheetReader::readColumns(const RecordView& rec)
{
    ByteReader r(rec.data);
    if (rec.id == rid::kDefColWidth) {
        m_sheet.setDefaultColumnRecord(r.u16());
        m_sheet.layout().place(Part::DefColWidth);
        return;
    }
    if (rec.id == rid::kStandardWidth) {
        m_sheet.setStandardWidth(r.u16());
        m_sheet.layout().keep(keep(rec));
        return;
    }
    const int first = r.u16();
    int last = r.u16();
    ColumnInfo info;
    info.width = r.u16();
    info.xf = r.u16();
    info.flags = r.u16();
    if (r.remaining() >= 2)
        info.reserved = r.u16();
    last = std::min(last, kMaxCols - 1);
    if (first > last)
        throw FormatError(QStringLiteral("sheet '%1' has a bad column range").arg(m_sheet.name()));
    for (int c = first; c <= last; ++c)
        m_sheet.setColumnRecord(c, info);
    m_sheet.layout().place(Part::ColInfos);
}

void WorksheetReader::readRow(const RecordView& rec)
{
    ByteReader r(rec.data);
    const int row = r.u16();
    r.skip(4); // column extent, rebuilt on save
    RowInfo info;
    info.height = r.u16();
    info.reserved1 = r.u16();
    info.reserved2 = r.u16();
    info.flags = r.u16();
    info.xfWord = r.u16();
    spend(sizeof(RowInfo) + readcost::kMapNode);
    m_sheet.setRowRecord(row, info);
}

void WorksheetReader::readMergedCells(const RecordView& rec)
{
    ByteReader r(rec.data);
    const std::size_t count = r.u16();
    r.need(count * 8);
    spend(readcost::kGrowth * count * sizeof(CellRange));
    for (std::size_t k = 0; k < count; ++k) {
        CellRange m;
        m.firstRow = r.u16();
        m.lastRow = r.u16();
        m.firstCol = r.u16();
        m.lastCol = r.u16();
        // Reversed or out-of-sheet ranges cannot be shown; drop them.
        if (m.firstRow <= m.lastRow && m.firstCol <= m.lastCol && m.lastCol < kMaxCols)
            m_sheet.addMergedRecord(m);
    }
    m_sheet.layout().place(Part::MergedCells);
}

void WorksheetReader::readWindow2(const RecordView& rec)
{
    if (m_sheet.layout().has(Part::Window2)) {
        m_sheet.layout().keep(keep(rec));
        return;
    }
    if (rec.data.size < 10)
        throw FormatError(QStringLiteral("sheet '%1' has a short WINDOW2 record").arg(m_sheet.name()));
    m_sheet.setWindow2Record(rec.data.copy());
    m_sheet.layout().place(Part::Window2);
}

// WSBOOL and SETUP of the sizes BIFF8 gives them; others are kept as they are.
void WorksheetReader::readPrinting(const RecordView& rec)
{
    if (rec.id == rid::kWsBool && rec.data.size == 2 && !m_sheet.layout().has(Part::WsBool)) {
        m_sheet.setWsBoolRecord(static_cast<std::uint16_t>(rec.data[0] | (rec.data[1] << 8)));
        m_sheet.layout().place(Part::WsBool);
    } else if (rec.id == rid::kSetup && rec.data.size == PageSetup::kSize && !m_sheet.layout().has(Part::Setup)) {
        m_sheet.setSetupRecord(PageSetup::decode(rec.data.copy()));
        m_sheet.layout().place(Part::Setup);
    } else {
        m_sheet.layout().keep(keep(rec));
    }
}

// An embedded chart (or other substream) stays as it is, up to its EOF.
void WorksheetReader::keepEmbeddedSubstream()
{
    RecordList records;
    int depth = 0;
    for (; m_at < m_end; ++m_at) {
        const RecordView r = m_records[m_at];
        records.push_back(keep(r));
        if (r.id == rid::kBof)
            ++depth;
        else if (r.id == rid::kEof && --depth == 0)
            break;
    }
    m_sheet.addEmbeddedSubstream(std::move(records));
    m_cellTableOpen = false;
}

void WorksheetReader::keepOther(const RecordView& rec)
{
    if (m_cellTableOpen && m_lastCell && rec.id == rid::kContinue)
        m_lastCell->trailing.push_back(keep(rec));
    else
        m_sheet.layout().keep(keep(rec));
}

void WorksheetReader::placeMissingParts()
{
    m_sheet.ensurePart(Part::Dimensions);
    m_sheet.ensurePart(Part::CellTable);
    m_sheet.ensurePart(Part::Window2);
    for (int c = 0; c < kMaxCols; ++c) {
        if (m_sheet.columnInfo(c)) {
            m_sheet.ensurePart(Part::ColInfos);
            break;
        }
    }
    if (!m_sheet.mergedRanges().empty())
        m_sheet.ensurePart(Part::MergedCells);
}

Record WorksheetReader::keep(const RecordView& r)
{
    spend(readcost::keptRecord(r.data.size));
    return r.copy();
}

void WorksheetReader::spend(std::size_t bytes)
{
    if (m_budget)
        m_budget->spend(bytes);
}

} // namespace sheet
