#include "model/Worksheet.h"

#include "biff/RecordIds.h"
#include "model/Workbook.h"

#include <algorithm>
#include <cmath>

namespace sheet {

namespace {
constexpr std::uint16_t kGridlines = 0x0002;
constexpr std::uint16_t kShowZeros = 0x0010;
constexpr std::uint16_t kSelected = 0x0200;
constexpr std::uint16_t kFitToPage = 0x0100; // of WSBOOL

} // namespace

Worksheet::Worksheet(Workbook* book, const QString& name)
    : Sheet(book, Kind::Worksheet, name)
{
    ByteWriter w;
    w.u16(0x00B6); // gridlines, headers, zeros, default header colour, outline symbols
    w.u16(0);      // top row
    w.u16(0);      // left column
    w.u16(0x0040); // header colour
    w.u16(0);
    w.u16(0); // zoom in page-break preview
    w.u16(0); // zoom in normal view
    w.u32(0);
    m_window2 = w.take();
    defaultLayout();
}

Worksheet::~Worksheet() = default;

void Worksheet::defaultLayout()
{
    m_layout.clear();
    auto raw = [this](std::uint16_t id, Bytes body) { m_layout.keep(Record{id, std::move(body)}); };
    auto u16 = [](std::uint16_t v) {
        ByteWriter w;
        w.u16(v);
        return w.take();
    };
    raw(rid::kCalcMode, u16(1));
    raw(rid::kCalcCount, u16(100));
    raw(rid::kRefMode, u16(1));
    raw(rid::kIteration, u16(0));
    {
        ByteWriter w;
        w.f64(0.001);
        raw(rid::kDelta, w.take());
    }
    raw(rid::kSaveRecalc, u16(1));
    raw(rid::kPrintHeaders, u16(0));
    raw(rid::kPrintGridlines, u16(0));
    raw(rid::kGridSet, u16(1));
    raw(rid::kGuts, Bytes(8, 0));
    m_layout.place(Part::DefaultRowHeight);
    m_layout.place(Part::WsBool);
    raw(rid::kHeader, {});
    raw(rid::kFooter, {});
    raw(rid::kHCenter, u16(0));
    raw(rid::kVCenter, u16(0));
    m_layout.place(Part::Setup);
    m_layout.place(Part::DefColWidth);
    m_layout.place(Part::ColInfos);
    m_layout.place(Part::Dimensions);
    m_layout.place(Part::CellTable);
    m_layout.place(Part::Window2);
    m_layout.place(Part::MergedCells);
}

void Worksheet::ensurePart(Part p)
{
    if (m_layout.has(p))
        return;
    auto find = [this](Part q) { return m_layout.indexOf(q); };
    auto after = [](int at) { return at >= 0 ? at + 1 : -1; };
    int at = -1;
    switch (p) {
    case Part::Dimensions: at = Layout::firstOf({find(Part::CellTable), find(Part::Window2)}); break;
    case Part::CellTable: at = Layout::firstOf({after(find(Part::Dimensions)), find(Part::Window2)}); break;
    case Part::ColInfos: at = Layout::firstOf({after(find(Part::DefColWidth)), find(Part::Dimensions)}); break;
    case Part::DefColWidth: at = Layout::firstOf({find(Part::ColInfos), find(Part::Dimensions)}); break;
    case Part::DefaultRowHeight: at = Layout::firstOf({find(Part::DefColWidth), find(Part::Dimensions)}); break;
    case Part::Window2: at = find(Part::MergedCells); break;
    case Part::MergedCells: at = afterWindowRecords(); break;
    case Part::WsBool:
        at = Layout::firstOf({after(find(Part::DefaultRowHeight)), find(Part::Setup), find(Part::DefColWidth),
                              find(Part::ColInfos), find(Part::Dimensions)});
        break;
    case Part::Setup:
        at = Layout::firstOf({find(Part::DefColWidth), find(Part::ColInfos), find(Part::Dimensions)});
        break;
    case Part::Embedded:
    case Part::Raw: break;
    }
    m_layout.insert(at, p);
}

// After WINDOW2 and the window's own records (PLV, SCL, PANE, SELECTION); -1 without WINDOW2.
int Worksheet::afterWindowRecords() const
{
    int at = m_layout.indexOf(Part::Window2);
    if (at < 0)
        return -1;
    const auto& items = m_layout.items();
    for (++at; at < static_cast<int>(items.size()); ++at) {
        const Layout::Item& item = items[static_cast<std::size_t>(at)];
        const std::uint16_t id = item.record.id;
        if (item.part != Part::Raw || (id != rid::kPlv && id != rid::kScl && id != rid::kPane && id != rid::kSelection))
            break;
    }
    return at;
}

// ---------------------------------------------------------------- cells

void Worksheet::checkCell(int row, int col) const
{
    if (row < 0 || row >= kMaxRows || col < 0 || col >= kMaxCols)
        throw Error(QStringLiteral("Cell (%1, %2) is outside the sheet").arg(row + 1).arg(col + 1));
}

const Cell* Worksheet::cell(int row, int col) const
{
    if (row < 0 || row >= kMaxRows || col < 0 || col >= kMaxCols)
        return nullptr;
    auto it = m_cells.find(cellKey(row, col));
    return it == m_cells.end() ? nullptr : &it->second;
}

Value Worksheet::value(int row, int col) const
{
    const Cell* c = cell(row, col);
    if (!c)
        return Value();
    if (c->formula) {
        m_book->ensureCalculated();
        c = cell(row, col);
    }
    return c->value;
}

std::uint16_t Worksheet::newCellXf(int row, int col) const
{
    auto r = m_rows.find(row);
    if (r != m_rows.end() && (r->second.flags & 0x0080))
        return r->second.xfWord & 0x0FFF;
    if (m_columns[static_cast<std::size_t>(col)])
        return m_columns[static_cast<std::size_t>(col)]->xf;
    return static_cast<std::uint16_t>(m_book->defaultCellXf());
}

Cell& Worksheet::touch(int row, int col)
{
    checkCell(row, col);
    // One search, which also places a new cell: rows are mostly written top to bottom.
    const std::uint32_t key = cellKey(row, col);
    auto it = m_cells.lower_bound(key);
    if (it == m_cells.end() || it->first != key) {
        Cell c;
        c.xf = newCellXf(row, col);
        it = m_cells.emplace_hint(it, key, std::move(c));
    } else {
        Cell& c = it->second;
        c.formula = false;
        c.formulaFlags = 0;
        c.tokens.clear();
        c.extra.clear();
        c.trailing.clear();
        c.sst = Cell::kNoString;
        c.value = Value();
    }
    return it->second;
}

void Worksheet::changed() { m_book->markDirty(); }

void Worksheet::setStringCell(Cell& c, const QString& text)
{
    if (text.size() > 32767)
        throw Error(QStringLiteral("Text longer than 32767 characters"));
    c.sst = m_book->strings().add(text);
    c.value = Value::string(text);
}

void Worksheet::setNumber(int row, int col, double v)
{
    Cell& c = touch(row, col);
    c.value = std::isfinite(v) ? Value::number(v) : Value::error(ErrorCode::Num);
    changed();
}

void Worksheet::setText(int row, int col, const QString& text)
{
    Cell& c = touch(row, col);
    setStringCell(c, text);
    changed();
}

void Worksheet::setBool(int row, int col, bool v)
{
    touch(row, col).value = Value::boolean(v);
    changed();
}

void Worksheet::setError(int row, int col, ErrorCode e)
{
    touch(row, col).value = Value::error(e);
    changed();
}

void Worksheet::setValue(int row, int col, const Value& v)
{
    switch (v.type()) {
    case Value::Type::Empty: setBlank(row, col); break;
    case Value::Type::Number: setNumber(row, col, v.asNumber()); break;
    case Value::Type::String: setText(row, col, v.asString()); break;
    case Value::Type::Bool: setBool(row, col, v.asBool()); break;
    case Value::Type::Error: setError(row, col, v.asError()); break;
    }
}

void Worksheet::setBlank(int row, int col)
{
    touch(row, col);
    changed();
}

void Worksheet::removeCell(int row, int col)
{
    checkCell(row, col);
    if (m_cells.erase(cellKey(row, col)))
        changed();
}

void Worksheet::clearContents(int row, int col)
{
    checkCell(row, col);
    auto it = m_cells.find(cellKey(row, col));
    if (it == m_cells.end())
        return;
    // A cell that only had the format every new cell there gets leaves nothing behind.
    if (it->second.xf == newCellXf(row, col))
        m_cells.erase(it);
    else
        touch(row, col);
    changed();
}

void Worksheet::setFormulaTokens(int row, int col, const Bytes& tokens, const Bytes& extra)
{
    if (tokens.empty() || tokens.size() > 1800)
        throw Error(QStringLiteral("Formula in %1 is empty or too long").arg(cellName(row, col)));
    Cell& c = touch(row, col);
    c.formula = true;
    c.tokens = tokens;
    c.extra = extra;
    changed();
}

std::uint16_t Worksheet::cellXf(int row, int col) const
{
    const Cell* c = cell(row, col);
    if (c)
        return c->xf;
    checkCell(row, col);
    return newCellXf(row, col);
}

void Worksheet::setCellXf(int row, int col, std::uint16_t xf)
{
    checkCell(row, col);
    if (xf >= m_book->xfCount() || m_book->xf(xf).isStyle())
        throw Error(QStringLiteral("Cell format %1 is not a cell format of this workbook").arg(xf));
    const std::uint32_t key = cellKey(row, col);
    auto it = m_cells.lower_bound(key);
    if (it == m_cells.end() || it->first != key) {
        Cell c;
        c.xf = xf;
        m_cells.emplace_hint(it, key, std::move(c));
    } else {
        it->second.xf = xf;
    }
}

std::optional<CellRange> Worksheet::usedRange() const
{
    if (m_cells.empty())
        return std::nullopt;
    CellRange r;
    r.firstRow = keyRow(m_cells.begin()->first);
    r.lastRow = keyRow(m_cells.rbegin()->first);
    r.firstCol = kMaxCols;
    r.lastCol = -1;
    for (const auto& kv : m_cells) {
        const int c = keyCol(kv.first);
        r.firstCol = std::min(r.firstCol, c);
        r.lastCol = std::max(r.lastCol, c);
    }
    return r;
}

// ---------------------------------------------------------------- rows and columns

int Worksheet::rowHeight(int row) const
{
    auto it = m_rows.find(row);
    if (it == m_rows.end())
        return m_defaultRowHeight;
    if (it->second.hidden())
        return 0;
    if (it->second.defaultHeight())
        return m_defaultRowHeight;
    // a row is at most 409 points high
    return std::min<int>(it->second.height, 8192);
}

void Worksheet::setRowHeight(int row, int twips)
{
    checkCell(row, 0);
    if (twips < 0 || twips > 8192)
        throw Error(QStringLiteral("Row height %1 is out of range").arg(twips));
    auto it = m_rows.find(row);
    if (it == m_rows.end()) {
        RowInfo info;
        info.height = m_defaultRowHeight;
        it = m_rows.emplace(row, info).first;
    }
    it->second.height = static_cast<std::uint16_t>(twips);
    it->second.flags |= 0x0040;
}

const RowInfo* Worksheet::rowInfo(int row) const
{
    auto it = m_rows.find(row);
    return it == m_rows.end() ? nullptr : &it->second;
}

void Worksheet::setDefaultRowHeight(int twips)
{
    if (twips <= 0 || twips > 8192)
        throw Error(QStringLiteral("Row height %1 is out of range").arg(twips));
    m_defaultRowHeight = static_cast<std::uint16_t>(twips);
}

int Worksheet::columnWidth(int col) const
{
    if (col >= 0 && col < kMaxCols && m_columns[static_cast<std::size_t>(col)])
        return m_columns[static_cast<std::size_t>(col)]->hidden() ? 0 : m_columns[static_cast<std::size_t>(col)]->width;
    if (m_standardWidth)
        return *m_standardWidth;
    // DEFCOLWIDTH counts characters without the padding the spreadsheet adds (5 pixels at
    // 7 pixels per character for the default font).
    return m_defColWidth * 256 + 183;
}

const ColumnInfo* Worksheet::columnInfo(int col) const
{
    if (col < 0 || col >= kMaxCols || !m_columns[static_cast<std::size_t>(col)])
        return nullptr;
    return &*m_columns[static_cast<std::size_t>(col)];
}

namespace {
void checkColumns(int first, int last)
{
    if (first < 0 || last >= kMaxCols || first > last)
        throw Error(QStringLiteral("Column range %1 to %2 is outside the sheet").arg(first + 1).arg(last + 1));
}
} // namespace

void Worksheet::setColumnWidth(int firstCol, int lastCol, int width256)
{
    checkColumns(firstCol, lastCol);
    if (width256 < 0 || width256 > 255 * 256)
        throw Error(QStringLiteral("Column width %1 is out of range").arg(width256));
    for (int c = firstCol; c <= lastCol; ++c) {
        auto& info = m_columns[static_cast<std::size_t>(c)];
        if (!info) {
            info = ColumnInfo{};
            info->xf = static_cast<std::uint16_t>(m_book->defaultCellXf());
        }
        info->width = static_cast<std::uint16_t>(width256);
        info->flags |= 0x0002;
    }
    ensurePart(Part::ColInfos);
}

void Worksheet::setColumnXf(int firstCol, int lastCol, std::uint16_t xf)
{
    checkColumns(firstCol, lastCol);
    if (xf >= m_book->xfCount())
        throw Error(QStringLiteral("There is no cell format %1 in the workbook").arg(xf));
    for (int c = firstCol; c <= lastCol; ++c) {
        auto& info = m_columns[static_cast<std::size_t>(c)];
        if (!info) {
            info = ColumnInfo{};
            info->width = static_cast<std::uint16_t>(columnWidth(c));
        }
        info->xf = xf;
    }
    ensurePart(Part::ColInfos);
}

void Worksheet::setColumnHidden(int firstCol, int lastCol, bool hidden)
{
    checkColumns(firstCol, lastCol);
    for (int c = firstCol; c <= lastCol; ++c) {
        auto& info = m_columns[static_cast<std::size_t>(c)];
        if (!info) {
            info = ColumnInfo{};
            info->width = static_cast<std::uint16_t>(columnWidth(c));
            info->xf = static_cast<std::uint16_t>(m_book->defaultCellXf());
        }
        info->flags = hidden ? (info->flags | 0x0001) : (info->flags & ~0x0001);
    }
    ensurePart(Part::ColInfos);
}

void Worksheet::setDefaultColumnWidth(int chars)
{
    if (chars < 0 || chars > 255)
        throw Error(QStringLiteral("Column width %1 is out of range").arg(chars));
    m_defColWidth = static_cast<std::uint16_t>(chars);
    m_standardWidth.reset();
    ensurePart(Part::DefColWidth);
}

void Worksheet::addMergedRange(const CellRange& range)
{
    if (range.firstRow < 0 || range.firstCol < 0 || range.lastRow >= kMaxRows || range.lastCol >= kMaxCols
        || range.firstRow > range.lastRow || range.firstCol > range.lastCol)
        throw Error(QStringLiteral("Merged range is outside the sheet"));
    for (const CellRange& m : m_merged) {
        const bool apart = range.lastRow < m.firstRow || m.lastRow < range.firstRow || range.lastCol < m.firstCol
            || m.lastCol < range.firstCol;
        if (!apart)
            throw Error(QStringLiteral("Merged range %1:%2 overlaps another one")
                            .arg(cellName(range.firstRow, range.firstCol), cellName(range.lastRow, range.lastCol)));
    }
    m_merged.push_back(range);
    ensurePart(Part::MergedCells);
}

// ---------------------------------------------------------------- printing

PageSetup Worksheet::pageSetup() const
{
    PageSetup setup = m_setup;
    setup.fitToPages = m_wsBool & kFitToPage;
    return setup;
}

void Worksheet::setPageSetup(const PageSetup& setup)
{
    m_setup = setup;
    m_wsBool = setup.fitToPages ? (m_wsBool | kFitToPage) : (m_wsBool & ~kFitToPage);
    ensurePart(Part::Setup);
    ensurePart(Part::WsBool);
}

// ---------------------------------------------------------------- embedded substreams

void Worksheet::addEmbeddedSubstream(RecordList records)
{
    m_embedded.push_back(std::move(records));
    m_layout.append(Part::Embedded);
}

std::vector<RecordList> Worksheet::embeddedCharts() const
{
    std::vector<RecordList> charts;
    for (const RecordList& s : m_embedded) {
        const bool chart = s.size() >= 2 && s.front().id == rid::kBof && s.front().data.size() >= 4
            && (s.front().data[2] | (s.front().data[3] << 8)) == rid::kBofChart;
        if (!chart)
            continue;
        const bool closed = s.back().id == rid::kEof;
        charts.emplace_back(s.begin() + 1, closed ? s.end() - 1 : s.end());
    }
    return charts;
}

RecordList Worksheet::keptRecords() const
{
    RecordList out;
    std::size_t embedded = 0;
    for (const Layout::Item& item : m_layout.items()) {
        if (item.part == Part::Raw) {
            out.push_back(item.record);
        } else if (item.part == Part::Embedded && embedded < m_embedded.size()) {
            const RecordList& s = m_embedded[embedded++];
            out.insert(out.end(), s.begin(), s.end());
        }
    }
    return out;
}

// ---------------------------------------------------------------- window

bool Worksheet::showGridlines() const { return m_window2.size() >= 2 && (m_window2[0] & kGridlines); }

void Worksheet::setShowGridlines(bool on)
{
    if (m_window2.size() < 2)
        m_window2.resize(18, 0);
    m_window2[0] = static_cast<std::uint8_t>(on ? (m_window2[0] | kGridlines) : (m_window2[0] & ~kGridlines));
}

bool Worksheet::showZeros() const { return m_window2.size() < 2 || (m_window2[0] & kShowZeros); }

bool Worksheet::isSelected() const
{
    return m_window2.size() >= 2 && ((m_window2[0] | (m_window2[1] << 8)) & kSelected);
}

} // namespace sheet
