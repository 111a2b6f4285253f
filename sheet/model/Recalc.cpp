#include "model/Recalc.h"

#include "model/Workbook.h"
#include "formula/Formula.h"

#include <algorithm>

namespace sheet {

namespace {

struct Node {
    int sheet = 0;
    std::uint32_t key = 0;
    Cell* cell = nullptr;
    bool opaque = false; // tokens the evaluator cannot take: the cached result stays
    std::vector<int> deps;
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
        const std::size_t area = static_cast<std::size_t>(used->rowCount()) * static_cast<std::size_t>(used->colCount());
        if (area > (1u << 20))
            return;
        grid.assign(area, nullptr);
        for (const auto& kv : ws->cells())
            grid[static_cast<std::size_t>(keyRow(kv.first) - firstRow) * static_cast<std::size_t>(used->colCount())
                 + static_cast<std::size_t>(keyCol(kv.first) - firstCol)] = &kv.second;
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

class Env : public EvalEnv {
public:
    Env(const Workbook& book, const std::vector<SheetView>& views, int sheet)
        : m_book(book), m_views(views), m_sheet(sheet) {}

    const SheetView* target(int ixti) const
    {
        const int s = ixti < 0 ? m_sheet : m_book.sheetForExternSheetIndex(static_cast<std::uint16_t>(ixti));
        if (s < 0 || s >= static_cast<int>(m_views.size()) || !m_views[static_cast<std::size_t>(s)].sheet)
            return nullptr;
        return &m_views[static_cast<std::size_t>(s)];
    }
    Value cellValue(int ixti, int row, int col) const override
    {
        const SheetView* view = target(ixti);
        if (!view)
            return Value::error(ErrorCode::Ref);
        const Cell* c = view->cell(row, col);
        return c ? c->value : Value();
    }
    void usedExtent(int ixti, int* lastRow, int* lastCol) const override
    {
        const SheetView* view = target(ixti);
        *lastRow = view ? std::max(0, view->lastRow) : 0;
        *lastCol = view ? std::max(0, view->lastCol) : 0;
    }

private:
    const Workbook& m_book;
    const std::vector<SheetView>& m_views;
    int m_sheet;
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

} // namespace

void Recalc::run()
{
    std::vector<Node> nodes;
    std::vector<FormulaColumns> columns(static_cast<std::size_t>(m_book.sheetCount()));
    for (int s = 0; s < m_book.sheetCount(); ++s) {
        Worksheet* ws = m_book.worksheet(s);
        if (!ws)
            continue;
        auto& keys = columns[static_cast<std::size_t>(s)].keys;
        for (auto& kv : ws->m_cells) {
            if (!kv.second.formula)
                continue;
            keys.emplace_back(FormulaColumns::key(keyRow(kv.first), keyCol(kv.first)), static_cast<int>(nodes.size()));
            nodes.push_back(Node{s, kv.first, &kv.second, false, {}});
        }
        std::sort(keys.begin(), keys.end());
    }
    if (nodes.empty()) {
        m_book.m_dirty = false;
        return;
    }

    // Edges: a node depends on the formula cells inside the ranges it reads.
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        Node& node = nodes[n];
        int ar, ac;
        if (sharedFormulaAnchor(node.cell->tokens, &ar, &ac)) {
            node.opaque = true;
            continue;
        }
        std::vector<FormulaRef> refs;
        try {
            refs = formulaReferences(node.cell->tokens);
        } catch (const Error&) {
            node.opaque = true;
            continue;
        }
        for (const FormulaRef& ref : refs) {
            const int target = ref.ixti < 0 ? node.sheet
                                            : m_book.sheetForExternSheetIndex(static_cast<std::uint16_t>(ref.ixti));
            if (!m_book.worksheet(target))
                continue;
            const auto& keys = columns[static_cast<std::size_t>(target)].keys;
            const int r1 = std::max(0, ref.firstRow), r2 = std::min(kMaxRows - 1, ref.lastRow);
            const int c1 = std::max(0, ref.firstCol), c2 = std::min(kMaxCols - 1, ref.lastCol);
            if (r1 > r2 || c1 > c2 || keys.empty())
                continue;
            const int lastFormulaCol = static_cast<int>(keys.back().first >> 16);
            for (int c = c1; c <= c2 && c <= lastFormulaCol; ++c) {
                auto it = std::lower_bound(keys.begin(), keys.end(), std::make_pair(FormulaColumns::key(r1, c), -1));
                for (; it != keys.end() && it->first <= FormulaColumns::key(r2, c); ++it)
                    node.deps.push_back(it->second);
            }
        }
    }

    // Tarjan's strongly connected components, iteratively; components come out with the
    // cells they read before them, which is the order to compute them in.
    const int count = static_cast<int>(nodes.size());
    std::vector<int> order(static_cast<std::size_t>(count), -1), low(static_cast<std::size_t>(count), 0);
    std::vector<char> onStack(static_cast<std::size_t>(count), 0);
    std::vector<int> stack;
    struct Frame {
        int node;
        std::size_t next;
    };
    std::vector<Frame> call;
    int counter = 0;
    std::vector<std::vector<int>> components;
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
            if (f.next < nodes[v].deps.size()) {
                const int w = nodes[v].deps[f.next++];
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
                components.push_back(std::move(comp));
            }
            const int done = f.node;
            call.pop_back();
            if (!call.empty()) {
                const auto parent = static_cast<std::size_t>(call.back().node);
                low[parent] = std::min(low[parent], low[static_cast<std::size_t>(done)]);
            }
        }
    }

    std::vector<SheetView> views(static_cast<std::size_t>(m_book.sheetCount()));
    for (int s = 0; s < m_book.sheetCount(); ++s)
        if (const Worksheet* ws = m_book.worksheet(s))
            views[static_cast<std::size_t>(s)].build(ws);

    for (const auto& comp : components) {
        const Node& first = nodes[static_cast<std::size_t>(comp.front())];
        bool circular = comp.size() > 1;
        for (int d : first.deps)
            circular = circular || d == comp.front();
        if (circular) {
            for (int n : comp)
                if (!nodes[static_cast<std::size_t>(n)].opaque)
                    nodes[static_cast<std::size_t>(n)].cell->value = Value::error(ErrorCode::Ref);
            continue;
        }
        Node& node = nodes[static_cast<std::size_t>(comp.front())];
        if (node.opaque)
            continue;
        try {
            node.cell->value = evaluateFormula(node.cell->tokens, Env(m_book, views, node.sheet));
        } catch (const Error&) {
            // Tokens the evaluator does not take: keep the result the file came with.
        }
    }
    m_book.m_dirty = false;
}

void Workbook::recalculate()
{
    Recalc(*this).run();
}

} // namespace sheet
