#include "model/Recalc.h"

#include "model/FormulaGroups.h"
#include "model/Workbook.h"
#include "formula/Formula.h"
#include "formula/FormulaTokens.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <unordered_map>

namespace sheet {

namespace {

// Formula cells computed on demand inside one another's evaluation; deeper chains read the
// value a cell has (the dependency order computes them first in all but odd cases).
constexpr int kMaxDemandDepth = 200;
// What-if evaluations of data tables recompute formulas down to this depth.
constexpr int kMaxWhatIfDepth = 64;

enum class Kind : std::uint8_t {
    Formula,     // an ordinary formula
    ArrayMember, // a cell of an array formula's range
    TableMember, // a result cell of a data table
    Opaque,      // tokens the engine cannot take: the cached result stays
    Range,       // a range many formula cells lie in, read by formulas: only for the order
};

// Formulas that read a range holding more formula cells than this depend on one node for
// the range, so a thousand SUM(A:A) over a thousand formulas cost two thousand edges, not a
// million.
constexpr std::size_t kRangeNodeAbove = 16;

enum class State : std::uint8_t { Pending, Computing, Done };

struct Node {
    int sheet = 0;
    std::uint32_t key = 0;
    Cell* cell = nullptr;
    Kind kind = Kind::Formula;
    int group = -1;
    std::vector<int> deps;
};

struct ArrayFormula {
    int sheet = 0;
    int anchorRow = 0, anchorCol = 0;
    ArrayGroup group;
    std::vector<int> members;
    bool done = false;
};

struct Table {
    int sheet = 0;
    DataTable table;
};

// What the evaluator reads of one worksheet during a recalculation: its used extent and, when
// the extent is small enough, a dense grid of cell pointers so each read is one index.
struct SheetView {
    const Worksheet* sheet = nullptr;
    int firstRow = 0, firstCol = 0, lastRow = -1, lastCol = -1;
    std::vector<const Cell*> grid; // empty: look cells up in the sheet's map

    void build(const Worksheet* ws)
    {
        sheet = ws;
        const auto used = ws->usedRange();
        if (!used)
            return;
        firstRow = used->firstRow;
        firstCol = used->firstCol;
        lastRow = used->lastRow;
        lastCol = used->lastCol;
        const std::size_t area
            = static_cast<std::size_t>(used->rowCount()) * static_cast<std::size_t>(used->colCount());
        if (area > (1u << 20))
            return;
        grid.assign(area, nullptr);
        for (const auto& kv : ws->cells())
            grid[static_cast<std::size_t>(keyRow(kv.first) - firstRow) * static_cast<std::size_t>(used->colCount())
                 + static_cast<std::size_t>(keyCol(kv.first) - firstCol)]
                = &kv.second;
    }
    const Cell* cell(int row, int col) const
    {
        if (row < firstRow || row > lastRow || col < firstCol || col > lastCol)
            return nullptr;
        if (grid.empty())
            return sheet->cell(row, col);
        return grid[static_cast<std::size_t>(row - firstRow) * static_cast<std::size_t>(lastCol - firstCol + 1)
                    + static_cast<std::size_t>(col - firstCol)];
    }
};

// Formula cells of a sheet in column order, to find those inside a range without walking
// every cell of its rows.
struct FormulaColumns {
    std::vector<std::pair<std::uint32_t, int>> keys; // (col << 16 | row, node)

    static std::uint32_t key(int row, int col)
    {
        return (static_cast<std::uint32_t>(col) << 16) | static_cast<std::uint32_t>(row);
    }
};

// A cell position with its sheet, for the input cells of a what-if evaluation.
struct Position {
    int sheet, row, col;
    bool operator<(const Position& o) const
    {
        return sheet != o.sheet ? sheet < o.sheet : row != o.row ? row < o.row : col < o.col;
    }
};

struct WhatIf {
    std::map<Position, Value> inputs;
    std::map<Position, Value> computed;
    int depth = 0;
};

class Run;

class Env : public EvalEnv {
public:
    Env(Run& run, int sheet, int row, int col, WhatIf* whatIf = nullptr)
        : m_run(run)
        , m_sheet(sheet)
        , m_row(row)
        , m_col(col)
        , m_whatIf(whatIf)
    {
    }

    Value cellValue(int sheet, int row, int col) const override;
    void usedExtent(int sheet, int* lastRow, int* lastCol) const override;
    bool formulaCell(int* row, int* col) const override
    {
        *row = m_row;
        *col = m_col;
        return true;
    }
    bool externSheets(int ixti, int* first, int* last) const override;
    bool sheetByName(const QString& name, int* sheet) const override;
    QString sheetName(int sheet) const override;
    bool definedName(int index, NameDefinition* out) const override;
    bool externName(int ixti, int index, NameDefinition* out) const override;
    bool isSubtotalCell(int sheet, int row, int col) const override;
    bool isHiddenRow(int sheet, int row) const override;
    bool cellFormula(int sheet, int row, int col, Bytes* rgce, Bytes* extra) const override;
    bool otherBookName(int ixti, int index, NameDefinition* out) const;

private:
    Run& m_run;
    int m_sheet, m_row, m_col;
    WhatIf* m_whatIf;
};

class Run {
public:
    explicit Run(Workbook& book)
        : m_book(book)
    {
    }
    void run();

    const Workbook& book() const { return m_book; }
    const SheetView* view(int sheet) const
    {
        if (sheet < 0 || sheet >= static_cast<int>(m_views.size()) || !m_views[static_cast<std::size_t>(sheet)].sheet)
            return nullptr;
        return &m_views[static_cast<std::size_t>(sheet)];
    }
    Value cellValue(int sheet, int row, int col, WhatIf* whatIf);
    const OtherBooks& otherBooks() const { return m_otherBooks; }

private:
    void collect();
    void addDependencies();
    std::vector<std::vector<int>> components() const;
    void compute(int n);
    void computeArray(int group);
    void computeTangle(const std::vector<int>& comp);
    Value evaluate(const Node& node, WhatIf* whatIf);
    Value tableValue(const Node& node, WhatIf* outer);
    Value whatIfValue(int sheet, int row, int col, WhatIf& w);
    void refsOf(const Bytes& rgce, int sheet, bool read, std::vector<std::pair<int, FormulaRef>>* out,
                std::set<int>* names) const;
    static bool callsPositionFunction(const Bytes& rgce);

    Workbook& m_book;
    std::vector<Node> m_nodes;
    std::vector<State> m_state;
    std::vector<ArrayFormula> m_arrays;
    std::vector<Table> m_tables;
    std::vector<SheetView> m_views;
    std::vector<FormulaColumns> m_columns;
    std::unordered_map<const Cell*, int> m_nodeOf;
    std::map<std::array<int, 5>, int> m_rangeNodes; // (sheet, rows, columns) -> node
    OtherBooks m_otherBooks;                        // the values the file keeps of other workbooks and DDE links
    int m_depth = 0;
    bool m_cutShort = false; // a formula read past the on-demand limit before it was computed
};

// ---------------------------------------------------------------- the environment

Value Env::cellValue(int sheet, int row, int col) const
{
    const int target = sheet < 0 ? m_sheet : sheet;
    if (OtherBooks::isOtherSheet(target))
        return m_run.otherBooks().value(target, row, col);
    if (!m_whatIf) {
        // most reads: a value, or a formula already computed
        if (const SheetView* v = m_run.view(target)) {
            const Cell* c = v->cell(row, col);
            if (!c)
                return Value();
            if (!c->formula)
                return c->value;
        }
    }
    return m_run.cellValue(target, row, col, m_whatIf);
}

void Env::usedExtent(int sheet, int* lastRow, int* lastCol) const
{
    if (const OtherBookSheet* other = m_run.otherBooks().sheet(sheet)) {
        *lastRow = other->lastRow;
        *lastCol = other->lastCol;
        return;
    }
    // nothing to walk on a chart sheet inside a run of sheets
    const SheetView* view = m_run.view(sheet < 0 ? m_sheet : sheet);
    *lastRow = view ? std::max(0, view->lastRow) : -1;
    *lastCol = view ? std::max(0, view->lastCol) : -1;
    if (m_whatIf) {
        // input cells may lie past what the sheet uses
        for (const auto& kv : m_whatIf->inputs) {
            *lastRow = std::max(*lastRow, kv.first.row);
            *lastCol = std::max(*lastCol, kv.first.col);
        }
    }
}

bool Env::externSheets(int ixti, int* first, int* last) const
{
    if (ixti < 0 || ixti > 0xFFFF)
        return false;
    const auto x = static_cast<std::uint16_t>(ixti);
    return m_run.book().externSheetRange(x, first, last)
        || m_run.book().otherBookSheets(m_run.otherBooks(), x, first, last);
}

bool Env::sheetByName(const QString& name, int* sheet) const
{
    const int index = m_run.book().sheetIndex(name);
    if (index < 0 || !m_run.book().worksheet(index))
        return false;
    *sheet = index;
    return true;
}

QString Env::sheetName(int sheet) const
{
    const int index = sheet < 0 ? m_sheet : sheet;
    if (OtherBooks::isOtherSheet(index))
        return m_run.otherBooks().sheetName(index);
    return index < m_run.book().sheetCount() ? m_run.book().sheet(index).name() : QString();
}

bool Env::definedName(int index, NameDefinition* out) const
{
    if (index < 1 || index > m_run.book().nameCount())
        return false;
    const DefinedName& n = m_run.book().definedName(index - 1);
    out->name = n.name;
    out->function = n.isFunction();
    out->rgce = n.rgce;
    out->extra = n.extra;
    return true;
}

bool Env::externName(int ixti, int index, NameDefinition* out) const
{
    if (ixti < 0 || ixti > 0xFFFF)
        return false;
    const Workbook& book = m_run.book();
    const int own = book.ownExternName(static_cast<std::uint16_t>(ixti), index);
    if (own >= 0)
        return definedName(own + 1, out); // a name of this workbook, qualified
    if (!book.externNameIsAddIn(static_cast<std::uint16_t>(ixti)))
        return otherBookName(ixti, index, out);
    const QString name = book.externNameText(static_cast<std::uint16_t>(ixti), index);
    if (name.isEmpty())
        return false;
    out->name = name;
    out->function = true;
    return true;
}

// Another workbook's name (a reference into the cells the file keeps of it) or a DDE item.
bool Env::otherBookName(int ixti, int index, NameDefinition* out) const
{
    int supBook = 0, first = 0, last = 0;
    if (!m_run.book().externSheetEntry(static_cast<std::uint16_t>(ixti), &supBook, &first, &last))
        return false;
    const std::vector<OtherBook>& books = m_run.otherBooks().books;
    if (supBook >= static_cast<int>(books.size()) || index < 1
        || index > static_cast<int>(books[static_cast<std::size_t>(supBook)].names.size()))
        return false;
    const OtherBook& book = books[static_cast<std::size_t>(supBook)];
    const OtherBookName& n = book.names[static_cast<std::size_t>(index) - 1];
    out->name = n.name;
    const int sheets = static_cast<int>(book.sheets.size());
    if (!n.reference || n.firstSheet > n.lastSheet || n.lastSheet >= sheets || sheets > OtherBooks::kSheetsPerBook) {
        out->constant = true;
        out->value = n.reference ? Value::error(ErrorCode::Ref) : n.value;
        return true;
    }
    out->reference = true;
    out->sheet = OtherBooks::sheetNumber(supBook, n.firstSheet);
    out->lastSheet = OtherBooks::sheetNumber(supBook, n.lastSheet);
    out->firstRow = n.firstRow;
    out->lastRow = n.lastRow;
    out->firstCol = n.firstCol;
    out->lastCol = n.lastCol;
    return true;
}

bool Env::isSubtotalCell(int sheet, int row, int col) const
{
    const SheetView* v = m_run.view(sheet < 0 ? m_sheet : sheet);
    const Cell* c = v ? v->cell(row, col) : nullptr;
    if (!c || !c->formula)
        return false;
    try {
        return formulaCallsSubtotal(c->tokens);
    } catch (const FormatError&) {
        return false;
    }
}

bool Env::isHiddenRow(int sheet, int row) const
{
    const SheetView* v = m_run.view(sheet < 0 ? m_sheet : sheet);
    const RowInfo* info = v ? v->sheet->rowInfo(row) : nullptr;
    return info && info->hidden();
}

bool Env::cellFormula(int sheet, int row, int col, Bytes* rgce, Bytes* extra) const
{
    const SheetView* v = m_run.view(sheet < 0 ? m_sheet : sheet);
    const Cell* c = v ? v->cell(row, col) : nullptr;
    if (!c || !c->formula || sharedFormulaAnchor(c->tokens, nullptr, nullptr)
        || dataTableAnchor(c->tokens, nullptr, nullptr))
        return false;
    *rgce = c->tokens;
    *extra = c->extra;
    return true;
}

// ---------------------------------------------------------------- reading cells

Value Run::cellValue(int sheet, int row, int col, WhatIf* whatIf)
{
    if (whatIf)
        return whatIfValue(sheet, row, col, *whatIf);
    const SheetView* v = view(sheet);
    if (!v)
        return Value::error(ErrorCode::Ref); // a chart sheet has no cells
    const Cell* c = v->cell(row, col);
    if (!c)
        return Value();
    if (c->formula && m_depth < kMaxDemandDepth) {
        // a formula not computed yet (read through a reference only known while computing,
        // such as INDIRECT or OFFSET) is computed now; one being computed reads itself
        const auto it = m_nodeOf.find(c);
        const State state = it != m_nodeOf.end() ? m_state[static_cast<std::size_t>(it->second)] : State::Done;
        const Kind kind = it != m_nodeOf.end() ? m_nodes[static_cast<std::size_t>(it->second)].kind : Kind::Opaque;
        if (state == State::Pending)
            compute(it->second);
        else if (state == State::Computing && (kind == Kind::Formula || kind == Kind::ArrayMember))
            return Value::error(ErrorCode::Ref);
    } else if (c->formula) {
        const auto it = m_nodeOf.find(c);
        m_cutShort
            = m_cutShort || (it != m_nodeOf.end() && m_state[static_cast<std::size_t>(it->second)] == State::Pending);
    }
    return c->value;
}

// A data table's formula, computed again with its input cells set: the formula cells in
// between are computed again too, the others read as they are.
Value Run::whatIfValue(int sheet, int row, int col, WhatIf& w)
{
    const Position at{sheet, row, col};
    const auto input = w.inputs.find(at);
    if (input != w.inputs.end())
        return input->second;
    const SheetView* v = view(sheet);
    if (!v)
        return Value::error(ErrorCode::Ref);
    const Cell* c = v->cell(row, col);
    if (!c)
        return Value();
    if (!c->formula)
        return c->value;
    const auto known = w.computed.find(at);
    if (known != w.computed.end())
        return known->second;
    const auto it = m_nodeOf.find(c);
    if (it == m_nodeOf.end() || w.depth >= kMaxWhatIfDepth)
        return c->value;
    ++w.depth;
    const Node& node = m_nodes[static_cast<std::size_t>(it->second)];
    Value value = c->value;
    if (node.kind == Kind::Formula) {
        value = evaluate(node, &w);
    } else if (node.kind == Kind::ArrayMember) {
        const ArrayFormula& a = m_arrays[static_cast<std::size_t>(node.group)];
        const CellRange& r = a.group.range;
        try {
            const std::vector<Value> all
                = evaluateArrayFormula(a.group.rgce, Env(*this, a.sheet, a.anchorRow, a.anchorCol, &w), r.rowCount(),
                                       r.colCount(), a.group.extra);
            value = all[static_cast<std::size_t>((row - r.firstRow) * r.colCount() + (col - r.firstCol))];
        } catch (const Error&) {
        }
    }
    --w.depth;
    w.computed[at] = value;
    return value;
}

// ---------------------------------------------------------------- computing

Value Run::evaluate(const Node& node, WhatIf* whatIf)
{
    try {
        return evaluateFormula(node.cell->tokens, Env(*this, node.sheet, keyRow(node.key), keyCol(node.key), whatIf),
                               node.cell->extra);
    } catch (const FormatError&) {
        return node.cell->value; // tokens the evaluator does not take: the file's result stays
    } catch (const Error&) {
        // a function the engine does not compute: the file's result stays; a new formula shows
        // that the name is not known
        return node.cell->value.isEmpty() ? Value::error(ErrorCode::Name) : node.cell->value;
    }
}

void Run::compute(int n)
{
    if (m_state[static_cast<std::size_t>(n)] != State::Pending)
        return;
    m_state[static_cast<std::size_t>(n)] = State::Computing;
    ++m_depth;
    Node& node = m_nodes[static_cast<std::size_t>(n)];
    switch (node.kind) {
    case Kind::Formula: node.cell->value = evaluate(node, nullptr); break;
    case Kind::ArrayMember: computeArray(node.group); break;
    case Kind::TableMember: node.cell->value = tableValue(node, nullptr); break;
    case Kind::Opaque:
    case Kind::Range: break;
    }
    --m_depth;
    m_state[static_cast<std::size_t>(n)] = State::Done;
}

void Run::computeArray(int group)
{
    ArrayFormula& a = m_arrays[static_cast<std::size_t>(group)];
    if (a.done)
        return;
    a.done = true;
    for (int m : a.members)
        m_state[static_cast<std::size_t>(m)] = State::Computing;
    const CellRange& r = a.group.range;
    try {
        const std::vector<Value> all = evaluateArrayFormula(a.group.rgce, Env(*this, a.sheet, a.anchorRow, a.anchorCol),
                                                            r.rowCount(), r.colCount(), a.group.extra);
        for (int m : a.members) {
            Node& node = m_nodes[static_cast<std::size_t>(m)];
            node.cell->value = all[static_cast<std::size_t>((keyRow(node.key) - r.firstRow) * r.colCount()
                                                            + (keyCol(node.key) - r.firstCol))];
        }
    } catch (const Error&) {
        // tokens the evaluator does not take: the file's results stay
    }
    for (int m : a.members)
        m_state[static_cast<std::size_t>(m)] = State::Done;
}

Value Run::tableValue(const Node& node, WhatIf* outer)
{
    if (outer)
        return node.cell->value; // tables inside a what-if keep their results
    const Table& t = m_tables[static_cast<std::size_t>(node.group)];
    const DataTable& d = t.table;
    const int row = keyRow(node.key), col = keyCol(node.key);
    const int top = d.range.firstRow - 1, left = d.range.firstCol - 1;
    WhatIf w;
    int formulaRow, formulaCol;
    if (d.twoInputs) {
        w.inputs[{t.sheet, d.rowInputRow, d.rowInputCol}] = cellValue(t.sheet, top, col, nullptr);
        w.inputs[{t.sheet, d.colInputRow, d.colInputCol}] = cellValue(t.sheet, row, left, nullptr);
        formulaRow = top;
        formulaCol = left;
    } else if (d.rowInput) {
        w.inputs[{t.sheet, d.rowInputRow, d.rowInputCol}] = cellValue(t.sheet, top, col, nullptr);
        formulaRow = row;
        formulaCol = left;
    } else {
        w.inputs[{t.sheet, d.rowInputRow, d.rowInputCol}] = cellValue(t.sheet, row, left, nullptr);
        formulaRow = top;
        formulaCol = col;
    }
    // an empty input is 0 to the formulas
    for (auto& kv : w.inputs)
        if (kv.second.isEmpty())
            kv.second = Value::number(0);
    Value v = whatIfValue(t.sheet, formulaRow, formulaCol, w);
    return v.isEmpty() ? Value::number(0) : v;
}

// ---------------------------------------------------------------- the order of work

void Run::collect()
{
    m_columns.assign(static_cast<std::size_t>(m_book.sheetCount()), FormulaColumns{});
    for (int s = 0; s < m_book.sheetCount(); ++s) {
        Worksheet* ws = m_book.worksheet(s);
        if (!ws)
            continue;
        auto& keys = m_columns[static_cast<std::size_t>(s)].keys;
        std::map<std::uint32_t, int> arrayOf, tableOf; // anchor -> group
        for (auto& kv : ws->cellStore()) {
            if (!kv.second.formula)
                continue;
            Node node{s, kv.first, &kv.second, Kind::Formula, -1, {}};
            int ar = 0, ac = 0;
            const Bytes& t = kv.second.tokens;
            const bool shared = sharedFormulaAnchor(t, &ar, &ac);
            const bool table = !shared && dataTableAnchor(t, &ar, &ac);
            if (shared || table) {
                node.kind = Kind::Opaque;
                const Cell* anchor = ws->cell(ar, ac);
                const std::uint32_t anchorKey = cellKey(ar, ac);
                const int row = keyRow(kv.first), col = keyCol(kv.first);
                if (anchor && shared) {
                    auto found = arrayOf.find(anchorKey);
                    if (found == arrayOf.end()) {
                        ArrayFormula a;
                        a.sheet = s;
                        a.anchorRow = ar;
                        a.anchorCol = ac;
                        if (arrayGroupOf(*anchor, &a.group)) {
                            m_arrays.push_back(std::move(a));
                            found = arrayOf.emplace(anchorKey, static_cast<int>(m_arrays.size()) - 1).first;
                        }
                    }
                    if (found != arrayOf.end()
                        && m_arrays[static_cast<std::size_t>(found->second)].group.range.contains(row, col)) {
                        node.kind = Kind::ArrayMember;
                        node.group = found->second;
                        m_arrays[static_cast<std::size_t>(found->second)].members.push_back(
                            static_cast<int>(m_nodes.size()));
                    }
                } else if (anchor) {
                    auto found = tableOf.find(anchorKey);
                    if (found == tableOf.end()) {
                        Table tb;
                        tb.sheet = s;
                        if (dataTableOf(*anchor, &tb.table)) {
                            m_tables.push_back(tb);
                            found = tableOf.emplace(anchorKey, static_cast<int>(m_tables.size()) - 1).first;
                        }
                    }
                    if (found != tableOf.end()
                        && m_tables[static_cast<std::size_t>(found->second)].table.range.contains(row, col)) {
                        node.kind = Kind::TableMember;
                        node.group = found->second;
                    }
                }
            }
            keys.emplace_back(FormulaColumns::key(keyRow(kv.first), keyCol(kv.first)),
                              static_cast<int>(m_nodes.size()));
            m_nodeOf.emplace(&kv.second, static_cast<int>(m_nodes.size()));
            m_nodes.push_back(std::move(node));
        }
        std::sort(keys.begin(), keys.end());
    }
}

// The rectangles a formula reads the cells of, names followed (each once). References used
// only for their position (ROW(E5), OFFSET's first argument) are no dependency: such a cell
// may even name itself without a circle. One pass over the tokens for most formulas: the
// dependency scan runs for every formula of every recalculation.
void Run::refsOf(const Bytes& rgce, int sheet, bool read, std::vector<std::pair<int, FormulaRef>>* out,
                 std::set<int>* names) const
{
    using namespace ptg;
    std::vector<Token> tokens;
    std::vector<char> reads;
    if (!read || callsPositionFunction(rgce)) {
        tokens = tokenize(rgce);
        reads = readOperands(rgce, tokens, read);
    }
    auto add = [&](int ixti, int r1, int r2, int c1, int c2) {
        FormulaRef ref;
        ref.ixti = ixti;
        ref.firstRow = std::min(r1, r2);
        ref.lastRow = std::max(r1, r2);
        ref.firstCol = std::min(c1, c2);
        ref.lastCol = std::max(c1, c2);
        if (ixti < 0) {
            out->emplace_back(sheet, ref);
            return;
        }
        int first = 0, last = 0;
        if (!m_book.externSheetRange(static_cast<std::uint16_t>(ixti), &first, &last))
            return;
        for (int s = first; s <= last; ++s)
            out->emplace_back(s, ref);
    };
    std::size_t index = 0;
    for (std::size_t pos = 0; pos < rgce.size(); ++index) {
        const Token t = tokenAt(rgce, pos);
        const std::size_t p = t.payload;
        pos += t.size;
        const bool cellsRead = reads.empty() || reads[index];
        if (!cellsRead && t.base != Name && t.base != NameX)
            continue;
        switch (t.base) {
        case Ref: add(-1, readU16(rgce, p), readU16(rgce, p), rgce[p + 2], rgce[p + 2]); break;
        case ptg::Area: add(-1, readU16(rgce, p), readU16(rgce, p + 2), rgce[p + 4], rgce[p + 6]); break;
        case Ref3d: add(readU16(rgce, p), readU16(rgce, p + 2), readU16(rgce, p + 2), rgce[p + 4], rgce[p + 4]); break;
        case Area3d: add(readU16(rgce, p), readU16(rgce, p + 2), readU16(rgce, p + 4), rgce[p + 6], rgce[p + 8]); break;
        case Name:
        case NameX: {
            // a name used as a position may still read cells to find it (OFFSET inside)
            const int name
                = t.base == Name ? readU16(rgce, p) : m_book.ownExternName(readU16(rgce, p), readU16(rgce, p + 2)) + 1;
            if (name >= 1 && name <= m_book.nameCount() && names->insert(name * 2 + (cellsRead ? 1 : 0)).second)
                refsOf(m_book.definedName(name - 1).rgce, sheet, cellsRead, out, names);
            break;
        }
        default: break;
        }
    }
}

// Whether a formula calls ROW, OFFSET, CELL or another function that may take a reference
// for its position only.
bool Run::callsPositionFunction(const Bytes& rgce)
{
    for (std::size_t pos = 0; pos < rgce.size();) {
        const ptg::Token t = ptg::tokenAt(rgce, pos);
        pos += t.size;
        if (t.base == ptg::Func || t.base == ptg::FuncVar) {
            const int index = ptg::readU16(rgce, t.payload + (t.base == ptg::FuncVar ? 1 : 0)) & 0x7FFF;
            if (ptg::isPositionFunction(index))
                return true;
        }
    }
    return false;
}

void Run::addDependencies()
{
    const std::size_t cells = m_nodes.size(); // range nodes added below need no scan
    for (std::size_t n = 0; n < cells; ++n) {
        Node& node = m_nodes[n];
        std::vector<std::pair<int, FormulaRef>> refs;
        std::set<int> names;
        try {
            switch (node.kind) {
            case Kind::Formula: refsOf(node.cell->tokens, node.sheet, true, &refs, &names); break;
            case Kind::ArrayMember:
                refsOf(m_arrays[static_cast<std::size_t>(node.group)].group.rgce, node.sheet, true, &refs, &names);
                break;
            case Kind::TableMember: {
                // the formulas and values along the table's edges
                const CellRange& r = m_tables[static_cast<std::size_t>(node.group)].table.range;
                FormulaRef top, left;
                top.firstRow = top.lastRow = r.firstRow - 1;
                top.firstCol = r.firstCol - 1;
                top.lastCol = r.lastCol;
                left.firstCol = left.lastCol = r.firstCol - 1;
                left.firstRow = r.firstRow;
                left.lastRow = r.lastRow;
                refs.emplace_back(node.sheet, top);
                refs.emplace_back(node.sheet, left);
                break;
            }
            case Kind::Opaque:
            case Kind::Range: break;
            }
        } catch (const Error&) {
            node.kind = Kind::Opaque; // tokens that do not even read: the file's result stays
            continue;
        }
        std::vector<int> deps;
        for (const auto& [target, ref] : refs) {
            if (target < 0 || target >= static_cast<int>(m_columns.size()))
                continue;
            const auto& keys = m_columns[static_cast<std::size_t>(target)].keys;
            const int r1 = std::max(0, ref.firstRow), r2 = std::min(kMaxRows - 1, ref.lastRow);
            const int c1 = std::max(0, ref.firstCol), c2 = std::min(kMaxCols - 1, ref.lastCol);
            if (r1 > r2 || c1 > c2 || keys.empty())
                continue;
            const std::array<int, 5> key{target, r1, r2, c1, c2};
            const auto known = m_rangeNodes.find(key);
            if (known != m_rangeNodes.end()) {
                deps.push_back(known->second);
                continue;
            }
            std::vector<int> inside;
            const int lastFormulaCol = static_cast<int>(keys.back().first >> 16);
            for (int c = c1; c <= c2 && c <= lastFormulaCol; ++c) {
                auto it = std::lower_bound(keys.begin(), keys.end(), std::make_pair(FormulaColumns::key(r1, c), -1));
                for (; it != keys.end() && it->first <= FormulaColumns::key(r2, c); ++it)
                    inside.push_back(it->second);
            }
            if (inside.size() <= kRangeNodeAbove) {
                deps.insert(deps.end(), inside.begin(), inside.end());
                continue;
            }
            Node range;
            range.sheet = target;
            range.kind = Kind::Range;
            range.deps = std::move(inside);
            m_nodes.push_back(std::move(range));
            const int index = static_cast<int>(m_nodes.size()) - 1;
            m_rangeNodes.emplace(key, index);
            deps.push_back(index);
        }
        m_nodes[n].deps = std::move(deps); // m_nodes may have grown: no reference held across
    }
}

// Tarjan's strongly connected components, iteratively; components come out with the cells
// they read before them, which is the order to compute them in.
std::vector<std::vector<int>> Run::components() const
{
    const int count = static_cast<int>(m_nodes.size());
    std::vector<int> order(static_cast<std::size_t>(count), -1), low(static_cast<std::size_t>(count), 0);
    std::vector<char> onStack(static_cast<std::size_t>(count), 0);
    std::vector<int> stack;
    struct Frame {
        int node;
        std::size_t next;
    };
    std::vector<Frame> call;
    int counter = 0;
    std::vector<std::vector<int>> out;
    for (int start = 0; start < count; ++start) {
        if (order[static_cast<std::size_t>(start)] >= 0)
            continue;
        call.push_back({start, 0});
        while (!call.empty()) {
            Frame& f = call.back();
            const auto v = static_cast<std::size_t>(f.node);
            if (f.next == 0 && order[v] < 0) {
                order[v] = low[v] = counter++;
                stack.push_back(f.node);
                onStack[v] = 1;
            }
            if (f.next < m_nodes[v].deps.size()) {
                const int w = m_nodes[v].deps[f.next++];
                const auto wu = static_cast<std::size_t>(w);
                if (order[wu] < 0)
                    call.push_back({w, 0});
                else if (onStack[wu])
                    low[v] = std::min(low[v], order[wu]);
                continue;
            }
            if (low[v] == order[v]) {
                std::vector<int> comp;
                int w;
                do {
                    w = stack.back();
                    stack.pop_back();
                    onStack[static_cast<std::size_t>(w)] = 0;
                    comp.push_back(w);
                } while (w != f.node);
                out.push_back(std::move(comp));
            }
            const int done = f.node;
            call.pop_back();
            if (!call.empty()) {
                const auto parent = static_cast<std::size_t>(call.back().node);
                low[parent] = std::min(low[parent], low[static_cast<std::size_t>(done)]);
            }
        }
    }
    return out;
}

void Run::run()
{
    collect();
    if (m_nodes.empty())
        return;
    m_otherBooks = m_book.otherBooks();
    addDependencies();
    const auto comps = components();

    m_views.resize(static_cast<std::size_t>(m_book.sheetCount()));
    for (int s = 0; s < m_book.sheetCount(); ++s)
        if (const Worksheet* ws = m_book.worksheet(s))
            m_views[static_cast<std::size_t>(s)].build(ws);
    m_state.assign(m_nodes.size(), State::Pending);

    for (const auto& comp : comps) {
        const Node& first = m_nodes[static_cast<std::size_t>(comp.front())];
        bool tangle = comp.size() > 1;
        for (int d : first.deps)
            tangle = tangle || d == comp.front();
        if (tangle) {
            computeTangle(comp);
            continue;
        }
        for (int n : comp)
            compute(n);
    }
}

// Cells that read one another's ranges. Whether they really form a circle shows only while
// computing (a lookup reads one cell of its table, not all): a cell read while it is being
// computed gives #REF!, as the spreadsheet refuses to compute a circle too. They are computed
// in sheet order; a chain deeper than the on-demand limit reads values of the pass before, so
// passes repeat until the values hold still. Values that never do are a circle too long to
// follow: #REF!.
void Run::computeTangle(const std::vector<int>& comp)
{
    std::vector<int> order;
    for (int n : comp)
        if (m_nodes[static_cast<std::size_t>(n)].kind != Kind::Range)
            order.push_back(n);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const Node& x = m_nodes[static_cast<std::size_t>(a)];
        const Node& y = m_nodes[static_cast<std::size_t>(b)];
        return x.sheet != y.sheet ? x.sheet < y.sheet : x.key < y.key;
    });
    constexpr int kMaxPasses = 32;
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        std::vector<Value> before;
        if (pass > 0) {
            for (int n : order) {
                const Node& node = m_nodes[static_cast<std::size_t>(n)];
                before.push_back(node.cell ? node.cell->value : Value());
                m_state[static_cast<std::size_t>(n)] = State::Pending;
                if (node.kind == Kind::ArrayMember)
                    m_arrays[static_cast<std::size_t>(node.group)].done = false;
            }
        }
        m_cutShort = false;
        for (int n : order)
            compute(n);
        bool still = pass > 0;
        for (std::size_t i = 0; still && i < order.size(); ++i) {
            const Node& node = m_nodes[static_cast<std::size_t>(order[i])];
            still = !node.cell || node.cell->value == before[i];
        }
        if (!m_cutShort || still)
            return;
    }
    for (int n : order) {
        Node& node = m_nodes[static_cast<std::size_t>(n)];
        if (node.kind != Kind::Opaque)
            node.cell->value = Value::error(ErrorCode::Ref);
    }
}

} // namespace

void Recalc::run()
{
    Run(m_book).run();
    m_book.markCalculated();
}

void Workbook::recalculate() { Recalc(*this).run(); }

} // namespace sheet
