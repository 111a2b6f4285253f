// The evaluator's stack machine: operands, operators, references, names and calls.
#include "Evaluator.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace sheet {

EvalEnv::~EvalEnv() = default;

void EvalEnv::usedExtent(int, int* lastRow, int* lastCol) const
{
    *lastRow = kMaxRows - 1;
    *lastCol = kMaxCols - 1;
}

bool EvalEnv::formulaCell(int*, int*) const { return false; }

bool EvalEnv::externSheets(int ixti, int* first, int* last) const
{
    *first = *last = ixti;
    return true;
}

bool EvalEnv::sheetByName(const QString&, int*) const { return false; }

QString EvalEnv::sheetName(int) const { return QString(); }

bool EvalEnv::definedName(int, NameDefinition*) const { return false; }

bool EvalEnv::externName(int, int, NameDefinition*) const { return false; }

bool EvalEnv::isSubtotalCell(int, int, int) const { return false; }

bool EvalEnv::isHiddenRow(int, int) const { return false; }

bool EvalEnv::cellFormula(int, int, int, Bytes*, Bytes*) const { return false; }

namespace eval {

using namespace ptg;

namespace {

constexpr int kMaxNameDepth = 32;

[[noreturn]] void badStack() { throw FormatError(QStringLiteral("Formula tokens do not form an expression")); }

// Functions with arguments that take arrays: only formulas calling one need to know which
// parts are computed as arrays.
bool takesArrays(int index)
{
    static const std::array<bool, 400> table = [] {
        std::array<bool, 400> t{};
        for (int i = 0; i < 400; ++i)
            if (const FunctionInfo* f = functionByIndex(i))
                t[static_cast<std::size_t>(i)] = std::strchr(f->argClasses, 'A') || std::strchr(f->argClasses, 'M');
        return t;
    }();
    return index >= 0 && index < 400 && table[static_cast<std::size_t>(index)];
}

} // namespace

// ---------------------------------------------------------------- scalar operators

Value arithmetic(std::uint8_t op, const Value& a, const Value& b)
{
    double x = 0, y = 0;
    Value e = toNumber(a, &x);
    if (e.isEmpty())
        e = toNumber(b, &y);
    if (!e.isEmpty())
        return e;
    switch (op) {
    case Add: return checked(x + y);
    case Sub: return checked(x - y);
    case Mul: return checked(x * y);
    case Div: return y == 0 ? Value::error(ErrorCode::Div0) : checked(x / y);
    default: // Power
        if (x == 0 && y == 0)
            return Value::error(ErrorCode::Num);
        if (x == 0 && y < 0)
            return Value::error(ErrorCode::Div0);
        return checked(std::pow(x, y));
    }
}

Value comparison(std::uint8_t op, const Value& a, const Value& b)
{
    if (a.isError())
        return a;
    if (b.isError())
        return b;
    const int c = compareValues(a, b);
    switch (op) {
    case LT: return Value::boolean(c < 0);
    case LE: return Value::boolean(c <= 0);
    case EQ: return Value::boolean(c == 0);
    case GE: return Value::boolean(c >= 0);
    case GT: return Value::boolean(c > 0);
    default: return Value::boolean(c != 0);
    }
}

Value concatenation(const Value& a, const Value& b)
{
    QString x, y;
    Value e = toText(a, &x);
    if (e.isEmpty())
        e = toText(b, &y);
    if (!e.isEmpty())
        return e;
    if (x.size() + y.size() > kMaxText)
        return Value::error(ErrorCode::Value);
    return Value::string(x + y);
}

namespace {

Value binaryScalar(std::uint8_t op, const Value& a, const Value& b)
{
    if (op >= LT && op <= NE)
        return comparison(op, a, b);
    if (op == Concat)
        return concatenation(a, b);
    return arithmetic(op, a, b);
}

Value unaryScalar(std::uint8_t op, const Value& v)
{
    if (op == Uplus)
        return v.isEmpty() ? Value::number(0) : v;
    double d = 0;
    const Value e = toNumber(v, &d);
    if (!e.isEmpty())
        return e;
    return checked(op == Uminus ? -d : d / 100);
}

// Element (r, c) of an operand in an array operation: a single row or column repeats, and
// positions beyond a larger operand's size are #N/A.
Value element(const Matrix& m, int r, int c)
{
    const int rr = m.rows == 1 ? 0 : r;
    const int cc = m.cols == 1 ? 0 : c;
    if (rr >= m.rows || cc >= m.cols)
        return Value::error(ErrorCode::NA);
    return m.at(rr, cc);
}

} // namespace

// ---------------------------------------------------------------- call arguments

Value Call::value(int i) const
{
    if (i >= size())
        return {};
    return ev.scalar(arg(i));
}

Value Call::number(int i, double* out, double fallback) const
{
    if (!has(i)) {
        *out = fallback;
        return {};
    }
    return toNumber(value(i), out);
}

Value Call::integer(int i, double* out, double fallback) const
{
    const Value e = number(i, out, fallback);
    if (e.isEmpty())
        *out = std::trunc(*out);
    return e;
}

Value Call::text(int i, QString* out) const
{
    if (!has(i)) {
        out->clear();
        return {};
    }
    return toText(value(i), out);
}

Value Call::boolean(int i, bool* out, bool fallback) const
{
    if (!has(i)) {
        *out = fallback;
        return {};
    }
    return toBool(value(i), out);
}

// ---------------------------------------------------------------- cells and ranges

void Evaluator::usedEnd(const Area& a, int* lastRow, int* lastCol) const
{
    int usedRow = kMaxRows - 1, usedCol = kMaxCols - 1;
    m_env.usedExtent(a.sheet, &usedRow, &usedCol);
    *lastRow = std::min(a.r2, usedRow);
    *lastCol = std::min(a.c2, usedCol);
}

Value Evaluator::intersection(const Area& a) const
{
    if (a.multiSheet())
        return Value::error(ErrorCode::Value);
    int row = 0, col = 0;
    if (!m_env.formulaCell(&row, &col))
        return Value::error(ErrorCode::Value);
    const bool inRows = row >= a.r1 && row <= a.r2, inCols = col >= a.c1 && col <= a.c2;
    if ((inRows || a.r1 == a.r2) && (inCols || a.c1 == a.c2))
        return cell(a.sheet, inRows ? row : a.r1, inCols ? col : a.c1);
    return Value::error(ErrorCode::Value);
}

Value Evaluator::scalar(const Item& it) const
{
    switch (it.kind) {
    case Item::Kind::Val: return it.v;
    case Item::Kind::Missing: return {};
    case Item::Kind::Ref:
        if (it.ref.single())
            return cell(it.ref.sheet, it.ref.r1, it.ref.c1);
        return intersection(it.ref);
    case Item::Kind::Refs:
        if (it.array->areas.size() == 1) {
            Item one = Item::area(it.array->areas.front());
            return scalar(one);
        }
        return Value::error(ErrorCode::Value);
    case Item::Kind::Array: return it.array->cells.empty() ? Value() : it.array->cells.front();
    case Item::Kind::Function: return Value::error(ErrorCode::Name);
    }
    return {};
}

MatrixPtr Evaluator::matrix(const Item& it, Value* error) const
{
    switch (it.kind) {
    case Item::Kind::Array: return it.array;
    case Item::Kind::Ref: {
        const Area& a = it.ref;
        if (a.multiSheet()) {
            *error = Value::error(ErrorCode::Value);
            return nullptr;
        }
        if (static_cast<std::size_t>(a.rows()) * static_cast<std::size_t>(a.cols()) > kMaxArrayCells) {
            *error = Value::error(ErrorCode::Num);
            return nullptr;
        }
        auto m = std::make_shared<Matrix>(a.rows(), a.cols());
        int lastRow, lastCol;
        usedEnd(a, &lastRow, &lastCol);
        for (int r = a.r1; r <= lastRow; ++r)
            for (int c = a.c1; c <= lastCol; ++c)
                m->at(r - a.r1, c - a.c1) = cell(a.sheet, r, c);
        return m;
    }
    case Item::Kind::Refs:
        if (it.array->areas.size() == 1)
            return matrix(Item::area(it.array->areas.front()), error);
        *error = Value::error(ErrorCode::Value);
        return nullptr;
    default: {
        auto m = std::make_shared<Matrix>(1, 1);
        m->at(0, 0) = scalar(it);
        return m;
    }
    }
}

bool Evaluator::area(int ixti, int r1, int r2, int c1, int c2, Area* out) const
{
    out->sheet = out->lastSheet = -1;
    if (ixti >= 0) {
        if (!m_env.externSheets(ixti, &out->sheet, &out->lastSheet))
            return false;
        if (out->lastSheet < out->sheet)
            std::swap(out->sheet, out->lastSheet);
    }
    out->r1 = std::min(r1, r2);
    out->r2 = std::max(r1, r2);
    out->c1 = std::min(c1, c2);
    out->c2 = std::max(c1, c2);
    return true;
}

// ---------------------------------------------------------------- the stack machine

Item Evaluator::pop()
{
    if (m_stack.empty())
        badStack();
    Item i = std::move(m_stack.back());
    m_stack.pop_back();
    return i;
}

Item Evaluator::evaluate(const Bytes& rgce, const Bytes& extra, std::uint8_t rootWant)
{
    run(rgce, extra, rootWant);
    if (m_stack.size() != 1)
        badStack();
    return pop();
}

void Evaluator::run(const Bytes& rgce, const Bytes& extra, std::uint8_t rootWant)
{
    m_stack.clear();
    m_stack.reserve(8);
    m_rgce = &rgce;
    m_extra = &extra;
    m_extraPos = 0;
    // Only formulas with arrays in play need to know what each part is computed as: the
    // others run as they are read, and start again should a function that takes arrays come.
    if (!m_arrayMode && rootWant != WantA) {
        bool arrays = false;
        for (std::size_t pos = 0; pos < rgce.size();) {
            const Token t = tokenAt(rgce, pos);
            if ((t.base == Func || t.base == FuncVar)
                && takesArrays(readU16(rgce, t.payload + (t.base == FuncVar ? 1 : 0)) & 0x7FFF)) {
                arrays = true;
                break;
            }
            token(t, nullptr);
            pos += t.size;
        }
        if (!arrays)
            return;
        m_stack.clear();
        m_extraPos = 0;
    }
    const std::vector<Token> tokens = tokenize(rgce);
    std::vector<TokenClass> classes;
    if (!classifyTokens(rgce, tokens, rootWant, &classes))
        badStack();
    for (std::size_t i = 0; i < tokens.size(); ++i)
        token(tokens[i], &classes[i]);
}

void Evaluator::token(const Token& t, const TokenClass* tc)
{
    const Bytes& rgce = *m_rgce;
    const std::size_t p = t.payload;
    auto u16 = [&](std::size_t at) { return readU16(rgce, at); };
    const bool elementwise = m_arrayMode || (tc && (tc->want == WantA || tc->force));
    switch (t.base) {
    case Exp:
    case Tbl: push(Item::err(ErrorCode::NA)); break;
    case Add:
    case Sub:
    case Mul:
    case Div:
    case Power:
    case Concat:
    case LT:
    case LE:
    case EQ:
    case GE:
    case GT:
    case NE: binaryOp(t.base, elementwise); break;
    case Isect:
    case Union:
    case Range: referenceOp(t.base); break;
    case Uplus:
    case Uminus:
    case Percent: unaryOp(t.base, elementwise); break;
    case Paren: break;
    case MissArg: push(Item::missing()); break;
    case Str: {
        ByteReader r(rgce.data() + p, t.size - 1);
        push(Item::str(r.shortXLUnicodeString()));
        break;
    }
    case Attr:
        if (rgce[p] & AttrSum)
            call(4, 1, nullptr); // SUM
        break;                   // jumps only skip work: both branches are evaluated and IF picks one
    case Err: {
        const std::uint8_t code = rgce[p];
        push(Item::err(isKnownErrorCode(code) ? static_cast<ErrorCode>(code) : ErrorCode::NA));
        break;
    }
    case Bool: push(Item::boolean(rgce[p] != 0)); break;
    case Int: m_stack.emplace_back().v = Value::number(u16(p)); break;
    case Num: {
        ByteReader r(rgce.data() + p, 8);
        m_stack.emplace_back().v = checked(r.f64());
        break;
    }
    case Array: {
        Item a = arrayConstant();
        a.valueConstant = (t.id & 0x60) == ClassValue && !m_arrayMode;
        push(std::move(a));
        break;
    }
    case Func: {
        const int index = u16(p);
        const FunctionInfo* info = functionByIndex(index);
        if (!info || !info->fixedCount())
            throw FormatError(QStringLiteral("Unknown function number %1 in a formula").arg(index));
        call(index, info->minArgs, tc, t.id & 0x60);
        break;
    }
    case FuncVar: call(u16(p + 1) & 0x7FFF, rgce[p], tc, t.id & 0x60); break;
    case Name: push(nameItem(u16(p), tc)); break;
    case NameX: push(externNameItem(u16(p), u16(p + 2), tc)); break;
    case Ref:
    case RefN:
    case ptg::Area:
    case AreaN:
    case Ref3d:
    case Area3d: referenceToken(t); break;
    case RefErr:
    case AreaErr:
    case RefErr3d:
    case AreaErr3d: push(Item::err(ErrorCode::Ref)); break;
    default: break; // memory tokens only describe the tokens that follow them
    }
}

// Shared-formula tokens, and a name's relative references, count from the formula's cell.
void Evaluator::placeAddress(std::uint16_t rw, std::uint16_t colWord, bool offsets, int* row, int* col) const
{
    if (offsets || (m_inName && (colWord & (kRowRelative | kColRelative)))) {
        int baseRow = 0, baseCol = 0;
        m_env.formulaCell(&baseRow, &baseCol);
        resolveRelative(rw, colWord, baseRow, baseCol, row, col);
    } else {
        *row = rw;
        *col = colWord & 0xFF;
    }
}

void Evaluator::referenceToken(const Token& t)
{
    const Bytes& rgce = *m_rgce;
    const std::size_t p = t.payload;
    auto u16 = [&](std::size_t at) { return readU16(rgce, at); };
    switch (t.base) {
    case Ref:
    case RefN: {
        int row, col;
        placeAddress(u16(p), u16(p + 2), t.base == RefN, &row, &col);
        Item& it = m_stack.emplace_back();
        it.kind = Item::Kind::Ref;
        area(-1, row, row, col, col, &it.ref);
        break;
    }
    case ptg::Area:
    case AreaN: {
        int r1, r2, c1, c2;
        placeAddress(u16(p), u16(p + 4), t.base == AreaN, &r1, &c1);
        placeAddress(u16(p + 2), u16(p + 6), t.base == AreaN, &r2, &c2);
        Item& it = m_stack.emplace_back();
        it.kind = Item::Kind::Ref;
        area(-1, r1, r2, c1, c2, &it.ref);
        break;
    }
    case Ref3d: {
        int row, col;
        placeAddress(u16(p + 2), u16(p + 4), false, &row, &col);
        Area a;
        if (area(u16(p), row, row, col, col, &a))
            push(Item::area(a));
        else
            push(Item::err(ErrorCode::Ref));
        break;
    }
    case Area3d: {
        int r1, r2, c1, c2;
        placeAddress(u16(p + 2), u16(p + 6), false, &r1, &c1);
        placeAddress(u16(p + 4), u16(p + 8), false, &r2, &c2);
        Area a;
        if (area(u16(p), r1, r2, c1, c2, &a))
            push(Item::area(a));
        else
            push(Item::err(ErrorCode::Ref));
        break;
    }
    default: break;
    }
}

void Evaluator::binaryOp(std::uint8_t op, bool elementwise)
{
    auto multi = [](const Item& i) {
        return i.kind == Item::Kind::Array || (i.kind == Item::Kind::Ref && !i.ref.single())
            || i.kind == Item::Kind::Refs;
    };
    if (m_stack.size() < 2)
        badStack();
    Item& top = m_stack.back();
    Item& under = m_stack[m_stack.size() - 2];
    if (!elementwise && (under.kind == Item::Kind::Array || top.kind == Item::Kind::Array)) {
        // an array (a constant, or what a function gave) is worked element by element
        // wherever it stands; a range beside it is still one value
        intersectRanges(under);
        intersectRanges(top);
        elementwise = true;
    }
    if (!elementwise || (!multi(under) && !multi(top))) {
        // the result takes the left operand's place
        Value r = binaryScalar(op, scalar(under), scalar(top));
        m_stack.pop_back();
        Item& a = m_stack.back();
        a.kind = Item::Kind::Val;
        a.v = std::move(r);
        a.array.reset();
        return;
    }
    const Item b = pop();
    const Item a = pop();
    Value error;
    const MatrixPtr ma = matrix(a, &error);
    const MatrixPtr mb = ma ? matrix(b, &error) : nullptr;
    if (!ma || !mb) {
        push(Item::val(error));
        return;
    }
    Matrix out(std::max(ma->rows, mb->rows), std::max(ma->cols, mb->cols));
    for (int r = 0; r < out.rows; ++r)
        for (int c = 0; c < out.cols; ++c)
            out.at(r, c) = binaryScalar(op, element(*ma, r, c), element(*mb, r, c));
    push(Item::matrix(std::move(out)));
}

void Evaluator::unaryOp(std::uint8_t op, bool elementwise)
{
    if (m_stack.empty())
        badStack();
    {
        Item& top = m_stack.back();
        const bool multi = top.kind == Item::Kind::Array || (top.kind == Item::Kind::Ref && !top.ref.single());
        if ((!elementwise && top.kind != Item::Kind::Array) || !multi) {
            Value r = unaryScalar(op, scalar(top));
            top.kind = Item::Kind::Val;
            top.v = std::move(r);
            top.array.reset();
            return;
        }
    }
    const Item a = pop();
    Value error;
    const MatrixPtr m = matrix(a, &error);
    if (!m) {
        push(Item::val(error));
        return;
    }
    Matrix out(m->rows, m->cols);
    for (std::size_t i = 0; i < m->cells.size(); ++i)
        out.cells[i] = unaryScalar(op, m->cells[i]);
    push(Item::matrix(std::move(out)));
}

void Evaluator::referenceOp(std::uint8_t op)
{
    const Item b = pop();
    const Item a = pop();
    auto areasOf = [](const Item& i, std::vector<Area>* out) {
        if (i.kind == Item::Kind::Ref)
            out->push_back(i.ref);
        else if (i.kind == Item::Kind::Refs)
            out->insert(out->end(), i.array->areas.begin(), i.array->areas.end());
        else
            return false;
        return true;
    };
    std::vector<Area> left, right;
    if (!areasOf(a, &left) || !areasOf(b, &right)) {
        // an error operand passes through; anything else is no reference
        push(a.isError() ? a : b.isError() ? b : Item::err(ErrorCode::Value));
        return;
    }
    if (op == Union) {
        left.insert(left.end(), right.begin(), right.end());
        push(Item::areas(std::move(left)));
        return;
    }
    if (left.size() == 1 && right.size() == 1)
        sameSheet(&left[0], &right[0]);
    if (left.size() != 1 || right.size() != 1 || left[0].sheet != right[0].sheet
        || left[0].lastSheet != right[0].lastSheet) {
        push(Item::err(ErrorCode::Value));
        return;
    }
    Area r = left[0];
    const Area& s = right[0];
    if (op == Range) {
        r.r1 = std::min(r.r1, s.r1);
        r.r2 = std::max(r.r2, s.r2);
        r.c1 = std::min(r.c1, s.c1);
        r.c2 = std::max(r.c2, s.c2);
    } else {
        r.r1 = std::max(r.r1, s.r1);
        r.r2 = std::min(r.r2, s.r2);
        r.c1 = std::max(r.c1, s.c1);
        r.c2 = std::min(r.c2, s.c2);
        if (r.r1 > r.r2 || r.c1 > r.c2) {
            push(Item::err(ErrorCode::Null));
            return;
        }
    }
    push(Item::area(r));
}

// A name's reference names its sheet, where the formula's own cells say "this sheet": when
// they mean the same sheet, both say it alike (pineapple:B2).
void Evaluator::sameSheet(Area* a, Area* b) const
{
    if ((a->sheet < 0) == (b->sheet < 0))
        return;
    Area& own = a->sheet < 0 ? *a : *b;
    const Area& named = a->sheet < 0 ? *b : *a;
    int index = -1;
    if (named.sheet == named.lastSheet && m_env.sheetByName(m_env.sheetName(-1), &index) && index == named.sheet)
        own.sheet = own.lastSheet = index;
}

Item Evaluator::arrayConstant()
{
    // The values live in the formula's extra bytes, one block per array constant in order.
    const Bytes& x = *m_extra;
    if (m_extraPos + 3 > x.size())
        throw FormatError(QStringLiteral("Array constant without its values"));
    ByteReader r(x.data() + m_extraPos, x.size() - m_extraPos);
    const int cols = r.u8() + 1;
    const int rows = r.u16() + 1;
    // every value takes 4 bytes at least (an empty string): do not trust the size before that
    if (r.remaining() / 4 < static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols))
        throw FormatError(QStringLiteral("Array constant without its values"));
    Matrix m(rows, cols);
    for (Value& v : m.cells) {
        v = constantValue(r);
        if (v.isNumber())
            v = checked(v.asNumber());
    }
    m_extraPos = x.size() - r.remaining();
    return Item::matrix(std::move(m));
}

// ---------------------------------------------------------------- names

Item Evaluator::evaluateName(const NameDefinition& def, std::uint8_t want) const
{
    if (def.function)
        return Item::function(def.name);
    if (def.constant)
        return Item::val(def.value);
    if (def.reference) {
        Area a;
        a.sheet = def.sheet;
        a.lastSheet = def.lastSheet;
        a.r1 = def.firstRow;
        a.r2 = def.lastRow;
        a.c1 = def.firstCol;
        a.c2 = def.lastCol;
        return Item::area(a);
    }
    if (def.rgce.empty())
        return Item::err(ErrorCode::Name);
    if (m_depth >= kMaxNameDepth)
        return Item::err(ErrorCode::Ref); // a name that refers to itself
    Evaluator inner(m_env, m_arrayMode, m_depth + 1);
    inner.m_inName = true;
    return inner.evaluate(def.rgce, def.extra, want);
}

namespace {
// A name computed where an array is wanted gives its array; elsewhere its reference stays one.
std::uint8_t nameWant(const TokenClass* tc) { return tc && (tc->want == WantA || tc->force) ? WantA : WantR; }
} // namespace

Item Evaluator::nameItem(int index, const TokenClass* tc)
{
    NameDefinition def;
    if (!m_env.definedName(index, &def))
        return Item::err(ErrorCode::Name);
    return evaluateName(def, nameWant(tc));
}

Item Evaluator::externNameItem(int ixti, int index, const TokenClass* tc)
{
    NameDefinition def;
    if (!m_env.externName(ixti, index, &def))
        return Item::err(ErrorCode::Name);
    return evaluateName(def, nameWant(tc));
}

// ---------------------------------------------------------------- calls

void Evaluator::call(int index, int argc, const TokenClass* tc, std::uint8_t cls)
{
    if (argc < 0 || static_cast<std::size_t>(argc) > m_stack.size())
        badStack();
    std::vector<Item> args(std::make_move_iterator(m_stack.end() - argc), std::make_move_iterator(m_stack.end()));
    m_stack.resize(m_stack.size() - static_cast<std::size_t>(argc));

    if (index == 255) {
        // An add-in or a later version's function: its name comes first.
        if (args.empty() || args.front().kind != Item::Kind::Function) {
            push(!args.empty() && args.front().isError() ? args.front() : Item::err(ErrorCode::Name));
            return;
        }
        const QString name = args.front().v.asString();
        const Fn fn = addInFunction(name);
        args.erase(args.begin());
        if (!fn) {
            // LibreOffice writes some built-in functions this way ("_xlfn.ERROR.TYPE").
            const FunctionInfo* builtin
                = name.startsWith(QLatin1String("_xlfn."), Qt::CaseInsensitive) ? functionByName(name.mid(6)) : nullptr;
            if (!builtin || builtin->index == 255)
                throw NotComputed(QStringLiteral("The function %1 is not computed").arg(name));
            const int n = static_cast<int>(args.size());
            for (Item& a : args)
                push(std::move(a));
            call(builtin->index, n, tc, cls);
            return;
        }
        if (m_arrayMode || (tc && tc->lifted)) {
            push(callLifted(fn, nullptr, -1, args));
            return;
        }
        Call c{*this, args, -1};
        push(fn(c));
        return;
    }

    const FunctionInfo* info = functionByIndex(index);
    if (!info || (info->flags & kMacroOnly))
        throw NotComputed(QStringLiteral("Function number %1 is not computed").arg(index));
    if (argc < info->minArgs || argc > info->maxArgs) {
        push(Item::err(ErrorCode::Value));
        return;
    }
    const Fn fn = builtinFunction(index);
    if (!fn)
        throw NotComputed(QStringLiteral("The function %1 is not computed").arg(QLatin1String(info->name)));
    if (cls != ClassValue)
        for (std::size_t i = 0; i < args.size(); ++i)
            if (args[i].valueConstant && info->argClass(static_cast<int>(i)) == 'V')
                args[i] = Item::val(scalar(args[i]));
    if ((m_arrayMode && info->returnClass != 'A') || (tc && tc->lifted)) {
        push(callLifted(fn, info, index, args));
        return;
    }
    // IF and CHOOSE written as one value (Excel's value class) take one condition
    const bool picksOne = (index == 1 || index == 100) && cls == ClassValue;
    if (!picksOne && arrayForValue(info, args)) {
        // an array given where one value is taken makes the call element by element, even
        // outside array formulas; ranges there are still one value each
        for (std::size_t i = 0; i < args.size(); ++i)
            if (info->argClass(static_cast<int>(i)) == 'V')
                intersectRanges(args[i]);
        push(callLifted(fn, info, index, args));
        return;
    }
    Call c{*this, args, index};
    c.wantsArray = m_arrayMode || (tc && (tc->want == WantA || tc->force));
    push(fn(c));
}

bool Evaluator::arrayForValue(const FunctionInfo* info, const std::vector<Item>& args)
{
    if (info->returnClass == 'A')
        return false;
    for (std::size_t i = 0; i < args.size(); ++i)
        if (args[i].kind == Item::Kind::Array && info->argClass(static_cast<int>(i)) == 'V')
            return true;
    return false;
}

void Evaluator::intersectRanges(Item& it) const
{
    if (it.kind == Item::Kind::Ref && !it.ref.single())
        it = Item::val(scalar(it));
}

Item Evaluator::callLifted(Fn fn, const FunctionInfo* info, int index, std::vector<Item>& args)
{
    // Value arguments given arrays make the call element by element; IF and CHOOSE pick
    // element by element from their other arguments too.
    const bool picks = index == 1 || index == 100;
    std::vector<MatrixPtr> arrays(args.size());
    int rows = 0, cols = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const char cls = info && !picks ? info->argClass(static_cast<int>(i)) : 'V';
        const Item& a = args[i];
        if (cls != 'V' || !(a.kind == Item::Kind::Array || (a.kind == Item::Kind::Ref && !a.ref.single())))
            continue;
        Value error;
        arrays[i] = matrix(a, &error);
        if (!arrays[i])
            return Item::val(error);
        rows = std::max(rows, arrays[i]->rows);
        cols = std::max(cols, arrays[i]->cols);
    }
    if (rows == 0) {
        Call c{*this, args, index};
        c.wantsArray = true;
        return fn(c);
    }
    Matrix out(rows, cols);
    std::vector<Item> one = args;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            for (std::size_t i = 0; i < args.size(); ++i)
                if (arrays[i])
                    one[i] = Item::val(element(*arrays[i], r, c));
            Call call{*this, one, index};
            out.at(r, c) = scalar(fn(call));
        }
    }
    return Item::matrix(std::move(out));
}

} // namespace eval

// ---------------------------------------------------------------- entry points

Value evaluateFormula(const Bytes& rgce, const EvalEnv& env, const Bytes& extra)
{
    eval::Evaluator ev(env, false);
    const eval::Item it = ev.evaluate(rgce, extra, ptg::WantV);
    Value v = ev.scalar(it);
    if (v.isEmpty())
        return Value::number(0);
    if (v.isNumber())
        return eval::checked(v.asNumber());
    return v;
}

std::vector<Value> evaluateArrayFormula(const Bytes& rgce, const EvalEnv& env, int rows, int cols, const Bytes& extra)
{
    eval::Evaluator ev(env, true);
    const eval::Item it = ev.evaluate(rgce, extra, ptg::WantA);
    Value error;
    eval::MatrixPtr m;
    if (it.kind == eval::Item::Kind::Array || it.isRef())
        m = ev.matrix(it, &error);
    std::vector<Value> out;
    out.reserve(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            Value v;
            if (m) {
                const int rr = m->rows == 1 ? 0 : r, cc = m->cols == 1 ? 0 : c;
                v = rr < m->rows && cc < m->cols ? m->at(rr, cc) : Value::error(ErrorCode::NA);
            } else {
                v = error.isEmpty() ? ev.scalar(it) : error;
            }
            if (v.isEmpty())
                v = Value::number(0);
            out.push_back(v);
        }
    }
    return out;
}

} // namespace sheet
