#include "Recalc.h"

#include "Workbook.h"
#include "formula/Formula.h"

#include <unordered_map>

namespace sheet {

namespace {

struct Node {
    int sheet = 0;
    std::uint32_t key = 0;
    Cell* cell = nullptr;
    bool opaque = false; // tokens the evaluator cannot take: the cached result stays
    std::vector<int> deps;
};

std::uint64_t nodeId(int sheet, std::uint32_t key)
{
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(sheet)) << 32) | key;
}

class Env : public EvalEnv {
public:
    Env(const Workbook& book, int sheet) : m_book(book), m_sheet(sheet) {}

    const Worksheet* target(int ixti) const
    {
        if (ixti < 0)
            return m_book.worksheet(m_sheet);
        return m_book.worksheet(m_book.sheetForExternSheetIndex(static_cast<std::uint16_t>(ixti)));
    }
    Value cellValue(int ixti, int row, int col) const override
    {
        const Worksheet* ws = target(ixti);
        if (!ws)
            return Value::error(ErrorCode::Ref);
        const Cell* c = ws->cell(row, col);
        return c ? c->value : Value();
    }
    void usedExtent(int ixti, int* lastRow, int* lastCol) const override
    {
        const Worksheet* ws = target(ixti);
        const auto used = ws ? ws->usedRange() : std::nullopt;
        *lastRow = used ? used->lastRow : 0;
        *lastCol = used ? used->lastCol : 0;
    }

private:
    const Workbook& m_book;
    int m_sheet;
};

} // namespace

void Recalc::run()
{
    std::vector<Node> nodes;
    std::unordered_map<std::uint64_t, int> index;
    for (int s = 0; s < m_book.sheetCount(); ++s) {
        Worksheet* ws = m_book.worksheet(s);
        if (!ws)
            continue;
        for (auto& kv : ws->m_cells) {
            if (!kv.second.formula)
                continue;
            index.emplace(nodeId(s, kv.first), static_cast<int>(nodes.size()));
            nodes.push_back(Node{s, kv.first, &kv.second, false, {}});
        }
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
            const Worksheet* ws = m_book.worksheet(target);
            if (!ws)
                continue;
            const auto& cells = ws->m_cells;
            const int r1 = std::max(0, ref.firstRow), r2 = std::min(kMaxRows - 1, ref.lastRow);
            const int c1 = std::max(0, ref.firstCol), c2 = std::min(kMaxCols - 1, ref.lastCol);
            if (r1 > r2 || c1 > c2)
                continue;
            auto it = cells.lower_bound(cellKey(r1, c1));
            const auto end = cells.upper_bound(cellKey(r2, c2));
            for (; it != end; ++it) {
                const int c = keyCol(it->first);
                if (c < c1 || c > c2 || !it->second.formula)
                    continue;
                node.deps.push_back(index.at(nodeId(target, it->first)));
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
            node.cell->value = evaluateFormula(node.cell->tokens, Env(m_book, node.sheet));
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
