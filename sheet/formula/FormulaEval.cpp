#include "Formula.h"

#include "DateSerial.h"
#include "Decimal.h"
#include "FormulaTokens.h"
#include "NumberFormat.h"
#include "TypedInput.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <limits>

namespace sheet {

EvalEnv::~EvalEnv() = default;

void EvalEnv::usedExtent(int, int* lastRow, int* lastCol) const
{
    *lastRow = kMaxRows - 1;
    *lastCol = kMaxCols - 1;
}

bool EvalEnv::formulaCell(int*, int*) const
{
    return false;
}

namespace {

using namespace ptg;

// An operand on the evaluation stack: a value, a rectangle of cells not read yet (so that
// SUM can walk a range and ISBLANK can see an empty cell), or an omitted argument.
struct Item {
    enum class Kind { Val, Area, Missing };
    Kind kind = Kind::Val;
    Value v;
    FormulaRef ref;

    static Item val(Value v) { Item i; i.v = std::move(v); return i; }
    static Item num(double d) { return val(Value::number(d)); }
    static Item err(ErrorCode e) { return val(Value::error(e)); }
    static Item missing() { Item i; i.kind = Kind::Missing; return i; }
    static Item area(const FormulaRef& r) { Item i; i.kind = Kind::Area; i.ref = r; return i; }
    bool singleCell() const { return ref.firstRow == ref.lastRow && ref.firstCol == ref.lastCol; }
};

// Built-in function numbers (iftab) the evaluator implements.
namespace fn {
enum : int {
    Count = 0, If = 1, IsNa = 2, IsError = 3, Sum = 4, Average = 5, Min = 6, Max = 7, Row = 8,
    Column = 9, Na = 10, Stdev = 12, Sin = 15, Cos = 16, Tan = 17, Atan = 18, Pi = 19, Sqrt = 20,
    Exp = 21, Ln = 22, Log10 = 23, Abs = 24, Int = 25, Sign = 26, Round = 27, Rept = 30, Mid = 31,
    Len = 32, Value = 33, True = 34, False = 35, And = 36, Or = 37, Not = 38, Mod = 39, Var = 46,
    Text = 48, Date = 65, Time = 66, Day = 67, Month = 68, Year = 69, Weekday = 70, Hour = 71,
    Minute = 72, Second = 73, Now = 74, Rows = 76, Columns = 77, Atan2 = 97, Asin = 98, Acos = 99,
    Choose = 100, Log = 109, Char = 111, Lower = 112, Upper = 113, Left = 115, Right = 116,
    Exact = 117, Trim = 118, Code = 121, IsErr = 126, IsText = 127, IsNumber = 128, IsBlank = 129,
    T = 130, N = 131, CountA = 169, Product = 183, Fact = 184, IsNonText = 190, StdevP = 193,
    VarP = 194, Trunc = 197, IsLogical = 198, RoundUp = 212, RoundDown = 213, Today = 221,
    Median = 227, ErrorType = 261, Even = 279, Floor = 285, Ceiling = 288, Odd = 298,
    Concatenate = 336, Power = 337, Radians = 342, Degrees = 343, CountBlank = 347,
    Lookup = 28, Index = 29, Match = 64, HLookup = 101, VLookup = 102, SumProduct = 228, Small = 324,
    Large = 325, SumIf = 345, CountIf = 346, Search = 82, IsRef = 105, Proper = 114, Replace = 119,
    Substitute = 120, Find = 124, DateValue = 140, TimeValue = 141, Rank = 216,
};
} // namespace fn

// The longest text a cell holds; longer results are #VALUE! as in the spreadsheet.
constexpr qsizetype kMaxText = 32767;

constexpr double kPi = 3.14159265358979323846;

using decimal::round15;

// Number as text the way concatenation shows it: up to 15 significant digits.
QString numberToText(double v)
{
    QString s = QString::number(v, 'g', 15).toUpper();
    const QLocale locale;
    if (locale.decimalPoint() != QLatin1String("."))
        s.replace(QLatin1Char('.'), locale.decimalPoint());
    return s;
}

Value checked(double d)
{
    if (!std::isfinite(d))
        return Value::error(ErrorCode::Num);
    return Value::number(d == 0 ? 0.0 : d); // no "-0"
}

// Value to number for arithmetic. Returns an error value on failure, an empty Value on success.
Value toNumber(const Value& v, double* out)
{
    switch (v.type()) {
    case Value::Type::Empty: *out = 0; return {};
    case Value::Type::Number:
    case Value::Type::Bool: *out = v.asNumber(); return {};
    case Value::Type::Error: return v;
    case Value::Type::String: {
        const TypedInput in = interpretTypedInput(v.asString(), QLocale(), QString());
        if (in.kind == TypedInput::Kind::Number) {
            *out = in.number;
            return {};
        }
        return Value::error(ErrorCode::Value);
    }
    }
    return Value::error(ErrorCode::Value);
}

Value toBool(const Value& v, bool* out)
{
    switch (v.type()) {
    case Value::Type::Empty: *out = false; return {};
    case Value::Type::Number:
    case Value::Type::Bool: *out = v.asNumber() != 0; return {};
    case Value::Type::Error: return v;
    case Value::Type::String:
        if (v.asString().compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0) {
            *out = true;
            return {};
        }
        if (v.asString().compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0) {
            *out = false;
            return {};
        }
        return Value::error(ErrorCode::Value);
    }
    return Value::error(ErrorCode::Value);
}

Value toText(const Value& v, QString* out)
{
    switch (v.type()) {
    case Value::Type::Empty: out->clear(); return {};
    case Value::Type::Number: *out = numberToText(v.asNumber()); return {};
    case Value::Type::Bool: *out = v.asBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE"); return {};
    case Value::Type::String: *out = v.asString(); return {};
    case Value::Type::Error: return v;
    }
    return {};
}

// Spreadsheet ordering: numbers < text < booleans; an empty cell takes the other side's type.
int compareValues(const Value& a, const Value& b)
{
    auto rank = [](const Value& v) {
        switch (v.type()) {
        case Value::Type::Number: return 0;
        case Value::Type::String: return 1;
        case Value::Type::Bool: return 2;
        default: return 0;
        }
    };
    Value x = a, y = b;
    if (x.isEmpty() && y.isEmpty())
        return 0;
    if (x.isEmpty())
        x = y.isString() ? Value::string(QString()) : y.isBool() ? Value::boolean(false) : Value::number(0);
    if (y.isEmpty())
        y = x.isString() ? Value::string(QString()) : x.isBool() ? Value::boolean(false) : Value::number(0);
    if (rank(x) != rank(y))
        return rank(x) < rank(y) ? -1 : 1;
    if (x.isString()) {
        const int c = x.asString().compare(y.asString(), Qt::CaseInsensitive);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    const double p = round15(x.asNumber()), q = round15(y.asNumber());
    return p < q ? -1 : p > q ? 1 : 0;
}

Value roundTo(double x, double digits, int mode) // mode 0 nearest, 1 up (away from 0), -1 down
{
    const int n = static_cast<int>(std::trunc(std::clamp(digits, -400.0, 400.0)));
    if (n > 15 || n < -308)
        return checked(n > 15 ? x : 0);
    const double scale = std::pow(10.0, n);
    const double scaled = round15(std::fabs(x) * scale);
    double r;
    if (mode == 0)
        r = std::floor(scaled + 0.5);
    else if (mode > 0)
        r = std::ceil(scaled);
    else
        r = std::floor(scaled);
    r /= scale;
    return checked(x < 0 ? -r : r);
}

class Evaluator {
public:
    Evaluator(const Bytes& rgce, const EvalEnv& env) : m_rgce(rgce), m_env(env) {}

    Value run()
    {
        m_stack.reserve(16);
        for (std::size_t pos = 0; pos < m_rgce.size();) {
            const Token t = tokenAt(m_rgce, pos);
            token(t);
            pos += t.size;
        }
        if (m_stack.size() != 1)
            throw FormatError(QStringLiteral("Formula tokens do not form an expression"));
        Value v = deref(m_stack.back());
        if (v.isEmpty())
            return Value::number(0);
        if (v.isNumber())
            return checked(v.asNumber());
        return v;
    }

private:
    std::uint16_t u16(std::size_t at) const { return readU16(m_rgce, at); }

    Item pop()
    {
        if (m_stack.empty())
            throw FormatError(QStringLiteral("Formula tokens do not form an expression"));
        Item i = std::move(m_stack.back());
        m_stack.pop_back();
        return i;
    }
    void push(Item i) { m_stack.push_back(std::move(i)); }

    // A cell holding NaN or infinity (a file may) reads as #NUM!, so every number that
    // reaches a function is finite.
    Value cell(int ixti, int row, int col) const
    {
        Value v = m_env.cellValue(ixti, row, col);
        if (v.isNumber() && !std::isfinite(v.asNumber()))
            return Value::error(ErrorCode::Num);
        return v;
    }

    Value deref(const Item& i) const
    {
        switch (i.kind) {
        case Item::Kind::Val: return i.v;
        case Item::Kind::Missing: return {};
        case Item::Kind::Area:
            if (i.singleCell())
                return cell(i.ref.ixti, i.ref.firstRow, i.ref.firstCol);
            return intersection(i.ref);
        }
        return {};
    }

    // A one-column range used as a value reads the cell in the formula's row, a one-row range
    // the cell in its column; anything else is #VALUE!.
    Value intersection(const FormulaRef& r) const
    {
        int row = 0, col = 0;
        if (!m_env.formulaCell(&row, &col))
            return Value::error(ErrorCode::Value);
        if (r.firstCol == r.lastCol && row >= r.firstRow && row <= r.lastRow)
            return cell(r.ixti, row, r.firstCol);
        if (r.firstRow == r.lastRow && col >= r.firstCol && col <= r.lastCol)
            return cell(r.ixti, r.firstRow, col);
        return Value::error(ErrorCode::Value);
    }

    // Walks a range row by row within the used part of its sheet; f returns false to stop.
    template <typename F>
    void forEachCell(const FormulaRef& r, F f) const
    {
        int lastRow = kMaxRows - 1, lastCol = kMaxCols - 1;
        m_env.usedExtent(r.ixti, &lastRow, &lastCol);
        const int r2 = std::min(r.lastRow, lastRow), c2 = std::min(r.lastCol, lastCol);
        for (int row = r.firstRow; row <= r2; ++row)
            for (int col = r.firstCol; col <= c2; ++col)
                if (!f(cell(r.ixti, row, col)))
                    return;
    }

    // Numbers of aggregate arguments: in ranges only numbers count (errors propagate); a
    // value given directly counts when it reads as a number.
    Value numbers(const std::vector<Item>& args, std::vector<double>* out) const
    {
        Value error;
        for (const Item& a : args) {
            if (a.kind == Item::Kind::Area) {
                forEachCell(a.ref, [&](const Value& v) {
                    if (v.isNumber())
                        out->push_back(v.asNumber());
                    else if (v.isError())
                        error = v;
                    return !v.isError();
                });
                if (!error.isEmpty())
                    return error;
            } else if (a.kind == Item::Kind::Missing) {
                out->push_back(0);
            } else if (!a.v.isEmpty()) {
                double d = 0;
                const Value e = toNumber(a.v, &d);
                if (!e.isEmpty())
                    return e;
                out->push_back(d);
            }
        }
        return {};
    }

    void binaryOp(std::uint8_t op)
    {
        const Item b = pop();
        const Item a = pop();
        const Value va = deref(a), vb = deref(b);
        if (op >= LT && op <= NE) {
            if (va.isError()) return push(Item::val(va));
            if (vb.isError()) return push(Item::val(vb));
            const int c = compareValues(va, vb);
            bool r = false;
            switch (op) {
            case LT: r = c < 0; break;
            case LE: r = c <= 0; break;
            case EQ: r = c == 0; break;
            case GE: r = c >= 0; break;
            case GT: r = c > 0; break;
            default: r = c != 0; break;
            }
            return push(Item::val(Value::boolean(r)));
        }
        if (op == Concat) {
            QString x, y;
            Value e = toText(va, &x);
            if (e.isEmpty())
                e = toText(vb, &y);
            if (e.isEmpty() && x.size() + y.size() > kMaxText)
                e = Value::error(ErrorCode::Value);
            return push(Item::val(e.isEmpty() ? Value::string(x + y) : e));
        }
        double x = 0, y = 0;
        Value e = toNumber(va, &x);
        if (e.isEmpty())
            e = toNumber(vb, &y);
        if (!e.isEmpty())
            return push(Item::val(e));
        switch (op) {
        case Add: return push(Item::val(checked(x + y)));
        case Sub: return push(Item::val(checked(x - y)));
        case Mul: return push(Item::val(checked(x * y)));
        case Div:
            if (y == 0)
                return push(Item::err(ErrorCode::Div0));
            return push(Item::val(checked(x / y)));
        default: // Power
            if (x == 0 && y == 0)
                return push(Item::err(ErrorCode::Num));
            if (x == 0 && y < 0)
                return push(Item::err(ErrorCode::Div0));
            return push(Item::val(checked(std::pow(x, y))));
        }
    }

    void rangeOp(std::uint8_t op)
    {
        const Item b = pop();
        const Item a = pop();
        if (a.kind != Item::Kind::Area || b.kind != Item::Kind::Area || a.ref.ixti != b.ref.ixti)
            return push(Item::err(ErrorCode::Value));
        FormulaRef r;
        r.ixti = a.ref.ixti;
        if (op == Range) {
            r.firstRow = std::min(a.ref.firstRow, b.ref.firstRow);
            r.lastRow = std::max(a.ref.lastRow, b.ref.lastRow);
            r.firstCol = std::min(a.ref.firstCol, b.ref.firstCol);
            r.lastCol = std::max(a.ref.lastCol, b.ref.lastCol);
        } else if (op == Isect) {
            r.firstRow = std::max(a.ref.firstRow, b.ref.firstRow);
            r.lastRow = std::min(a.ref.lastRow, b.ref.lastRow);
            r.firstCol = std::max(a.ref.firstCol, b.ref.firstCol);
            r.lastCol = std::min(a.ref.lastCol, b.ref.lastCol);
            if (r.firstRow > r.lastRow || r.firstCol > r.lastCol)
                return push(Item::err(ErrorCode::Null));
        } else {
            return push(Item::err(ErrorCode::Value)); // unions only make sense inside functions
        }
        push(Item::area(r));
    }

    void pushArea(int ixti, int r1, int r2, int c1, int c2)
    {
        FormulaRef r;
        r.ixti = ixti;
        r.firstRow = std::min(r1, r2);
        r.lastRow = std::max(r1, r2);
        r.firstCol = std::min(c1, c2);
        r.lastCol = std::max(c1, c2);
        push(Item::area(r));
    }

    void token(const Token& t)
    {
        const std::size_t p = t.payload;
        switch (t.base) {
        case Exp:
        case Tbl:
        case Array: push(Item::err(ErrorCode::NA)); break;
        case Add: case Sub: case Mul: case Div: case Power: case Concat:
        case LT: case LE: case EQ: case GE: case GT: case NE: binaryOp(t.base); break;
        case Isect: case Union: case Range: rangeOp(t.base); break;
        case Uplus: {
            const Value v = deref(pop());
            push(Item::val(v.isEmpty() ? Value::number(0) : v));
            break;
        }
        case Uminus:
        case Percent: {
            double d = 0;
            const Value e = toNumber(deref(pop()), &d);
            if (!e.isEmpty())
                push(Item::val(e));
            else
                push(Item::val(checked(t.base == Uminus ? -d : d / 100)));
            break;
        }
        case Paren: break;
        case MissArg: push(Item::missing()); break;
        case Str: {
            ByteReader r(m_rgce.data() + p, t.size - 1);
            push(Item::val(Value::string(r.shortXLUnicodeString())));
            break;
        }
        case Attr:
            if (m_rgce[p] & AttrSum)
                call(fn::Sum, 1);
            break; // jumps only skip work: both branches are evaluated and IF picks one
        case Err: {
            const std::uint8_t code = m_rgce[p];
            push(Item::err(isKnownErrorCode(code) ? static_cast<ErrorCode>(code) : ErrorCode::NA));
            break;
        }
        case Bool: push(Item::val(Value::boolean(m_rgce[p] != 0))); break;
        case Int: push(Item::num(u16(p))); break;
        case Num: {
            ByteReader r(m_rgce.data() + p, 8);
            push(Item::val(checked(r.f64())));
            break;
        }
        case Func: {
            const int index = u16(p);
            const FunctionInfo* info = functionByIndex(index);
            if (!info)
                throw FormatError(QStringLiteral("Unknown function number %1 in a formula").arg(index));
            call(index, info->minArgs);
            break;
        }
        case FuncVar: call(u16(p + 1) & 0x7FFF, m_rgce[p]); break;
        case Name:
        case NameX: push(Item::err(ErrorCode::Name)); break;
        case Ref: {
            const std::uint16_t w = u16(p + 2);
            pushArea(-1, u16(p), u16(p), w & 0xFF, w & 0xFF);
            break;
        }
        case Area: pushArea(-1, u16(p), u16(p + 2), u16(p + 4) & 0xFF, u16(p + 6) & 0xFF); break;
        case RefN: {
            int row, col;
            resolveRelative(u16(p), u16(p + 2), 0, 0, &row, &col);
            pushArea(-1, row, row, col, col);
            break;
        }
        case AreaN: {
            int r1, c1, r2, c2;
            resolveRelative(u16(p), u16(p + 4), 0, 0, &r1, &c1);
            resolveRelative(u16(p + 2), u16(p + 6), 0, 0, &r2, &c2);
            pushArea(-1, r1, r2, c1, c2);
            break;
        }
        case RefErr:
        case AreaErr:
        case RefErr3d:
        case AreaErr3d: push(Item::err(ErrorCode::Ref)); break;
        case Ref3d: {
            const std::uint16_t w = u16(p + 4);
            pushArea(u16(p), u16(p + 2), u16(p + 2), w & 0xFF, w & 0xFF);
            break;
        }
        case Area3d: pushArea(u16(p), u16(p + 2), u16(p + 4), u16(p + 6) & 0xFF, u16(p + 8) & 0xFF); break;
        default: break; // memory tokens
        }
    }

    void call(int index, int argc)
    {
        if (argc < 0 || static_cast<std::size_t>(argc) > m_stack.size())
            throw FormatError(QStringLiteral("Formula tokens do not form an expression"));
        std::vector<Item> args(m_stack.end() - argc, m_stack.end());
        m_stack.resize(m_stack.size() - argc);
        push(function(index, args));
    }

    // Argument i as a number; an error value (returned) when it is not one.
    Value number(const std::vector<Item>& args, std::size_t i, double* out, double fallback = 0) const
    {
        if (i >= args.size() || args[i].kind == Item::Kind::Missing) {
            *out = fallback;
            return {};
        }
        return toNumber(deref(args[i]), out);
    }

    Value text(const std::vector<Item>& args, std::size_t i, QString* out) const
    {
        if (i >= args.size()) {
            out->clear();
            return {};
        }
        return toText(deref(args[i]), out);
    }

    static Item result(const Value& error, const Value& v) { return Item::val(error.isEmpty() ? v : error); }

    Item math1(const std::vector<Item>& args, double (*f)(double)) const
    {
        double x = 0;
        const Value e = number(args, 0, &x);
        return result(e, checked(f(x)));
    }

    Item aggregate(int index, const std::vector<Item>& args) const
    {
        std::vector<double> v;
        const Value e = numbers(args, &v);
        if (!e.isEmpty())
            return Item::val(e);
        double sum = 0;
        for (double d : v)
            sum += d;
        switch (index) {
        case fn::Sum: return Item::val(checked(sum));
        case fn::Average:
            if (v.empty())
                return Item::err(ErrorCode::Div0);
            return Item::val(checked(sum / v.size()));
        case fn::Min: return Item::val(checked(v.empty() ? 0 : *std::min_element(v.begin(), v.end())));
        case fn::Max: return Item::val(checked(v.empty() ? 0 : *std::max_element(v.begin(), v.end())));
        case fn::Product: {
            if (v.empty())
                return Item::num(0);
            double prod = 1;
            for (double d : v)
                prod *= d;
            return Item::val(checked(prod));
        }
        case fn::Median: {
            if (v.empty())
                return Item::err(ErrorCode::Num);
            std::sort(v.begin(), v.end());
            const std::size_t n = v.size();
            return Item::val(checked(n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2));
        }
        default: { // 12 STDEV, 46 VAR, 193 STDEVP, 194 VARP
            const bool sample = index == fn::Stdev || index == fn::Var;
            const std::size_t need = sample ? 2 : 1;
            if (v.size() < need)
                return Item::err(ErrorCode::Div0);
            const double mean = sum / v.size();
            double ss = 0;
            for (double d : v)
                ss += (d - mean) * (d - mean);
            const double var = ss / (v.size() - (sample ? 1 : 0));
            return Item::val(checked(index == fn::Stdev || index == fn::StdevP ? std::sqrt(var) : var));
        }
        }
    }

    // --- Lookups and criteria ---------------------------------------------------------

    Value at(const FormulaRef& r, int i, int j) const { return cell(r.ixti, r.firstRow + i, r.firstCol + j); }
    static int height(const FormulaRef& r) { return r.lastRow - r.firstRow + 1; }
    static int width(const FormulaRef& r) { return r.lastCol - r.firstCol + 1; }

    // A criterion of COUNTIF/SUMIF: "<=5", ">abc", "=", "<>", "a*b?", or a plain value.
    struct Criterion {
        QString op = QStringLiteral("=");
        Value operand;
        bool pattern = false; // text with * or ? wildcards
        QRegularExpression rx; // the pattern, compiled once per criterion
    };

    static Criterion criterion(const Value& v)
    {
        Criterion c;
        if (!v.isString()) {
            c.operand = v.isEmpty() ? Value::number(0) : v;
            return c;
        }
        QString t = v.asString();
        for (const char* op : {"<=", ">=", "<>", "<", ">", "="}) {
            if (t.startsWith(QLatin1String(op))) {
                c.op = QLatin1String(op);
                t = t.mid(c.op.size());
                break;
            }
        }
        double d = 0;
        if (t.isEmpty())
            c.operand = Value();
        else if (toNumber(Value::string(t), &d).isEmpty())
            c.operand = Value::number(d);
        else if (t.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0 || t.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0)
            c.operand = Value::boolean(t.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0);
        else
            c.operand = Value::string(t);
        c.pattern = c.operand.isString() && (t.contains(QLatin1Char('*')) || t.contains(QLatin1Char('?')));
        if (c.pattern)
            c.rx = wildcardPattern(t);
        return c;
    }

    // "a*b?" with "~" escaping, case-insensitive; over the whole text unless `anywhere`.
    static QRegularExpression wildcardPattern(const QString& pattern, bool anywhere = false)
    {
        QString re;
        for (int i = 0; i < pattern.size(); ++i) {
            const QChar c = pattern[i];
            if (c == QLatin1Char('~') && i + 1 < pattern.size())
                re += QRegularExpression::escape(QString(pattern[++i]));
            else if (c == QLatin1Char('*'))
                re += QLatin1String(".*");
            else if (c == QLatin1Char('?'))
                re += QLatin1Char('.');
            else
                re += QRegularExpression::escape(QString(c));
        }
        return QRegularExpression(anywhere ? re : QRegularExpression::anchoredPattern(re),
                                  QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    }

    static bool meets(const Value& v, const Criterion& c)
    {
        const Value& x = c.operand;
        if (x.isEmpty()) // "=" matches blanks, "<>" anything else
            return c.op == QLatin1String("=") ? (v.isEmpty() || (v.isString() && v.asString().isEmpty()))
                                               : c.op == QLatin1String("<>") && !v.isEmpty();
        if (c.op == QLatin1String("<>") && v.type() != x.type() && !(v.isBool() && x.isBool()))
            return true;
        if (v.type() != x.type())
            return false; // numbers only meet numbers, text text
        int cmp;
        if (x.isString()) {
            if (c.pattern && (c.op == QLatin1String("=") || c.op == QLatin1String("<>"))) {
                const bool m = c.rx.match(v.asString()).hasMatch();
                return c.op == QLatin1String("=") ? m : !m;
            }
            cmp = compareValues(v, x);
        } else {
            cmp = compareValues(v, x);
        }
        if (c.op == QLatin1String("=")) return cmp == 0;
        if (c.op == QLatin1String("<>")) return cmp != 0;
        if (c.op == QLatin1String("<")) return cmp < 0;
        if (c.op == QLatin1String("<=")) return cmp <= 0;
        if (c.op == QLatin1String(">")) return cmp > 0;
        return cmp >= 0;
    }

    Item countOrSumIf(const std::vector<Item>& args, bool sum) const
    {
        if (args[0].kind != Item::Kind::Area)
            return Item::err(ErrorCode::Value);
        const Value crit = deref(args[1]);
        if (crit.isError())
            return Item::val(crit);
        const Criterion c = criterion(crit);
        const FormulaRef& r = args[0].ref;
        FormulaRef target = r;
        if (sum && args.size() > 2 && args[2].kind == Item::Kind::Area) {
            // The sum range takes the criteria range's shape from its own top-left cell.
            target.ixti = args[2].ref.ixti;
            target.firstRow = args[2].ref.firstRow;
            target.firstCol = args[2].ref.firstCol;
        } else if (sum && args.size() > 2 && args[2].kind != Item::Kind::Missing) {
            return Item::err(ErrorCode::Value);
        }
        int lastRow = kMaxRows - 1, lastCol = kMaxCols - 1;
        m_env.usedExtent(r.ixti, &lastRow, &lastCol);
        double total = 0;
        Value error;
        const int h = std::min(height(r), lastRow - r.firstRow + 1), w = std::min(width(r), lastCol - r.firstCol + 1);
        for (int i = 0; i < h && error.isEmpty(); ++i) {
            for (int j = 0; j < w; ++j) {
                if (!meets(at(r, i, j), c))
                    continue;
                if (!sum) {
                    total += 1;
                    continue;
                }
                const Value v = at(target, i, j);
                if (v.isError()) {
                    error = v;
                    break;
                }
                if (v.isNumber())
                    total += v.asNumber();
            }
        }
        if (!error.isEmpty())
            return Item::val(error);
        // Blank cells beyond the used part still meet "=" and "<>" criteria of blanks.
        if (!sum && c.operand.isEmpty() && c.op == QLatin1String("="))
            total += double(height(r)) * width(r) - double(std::max(0, h)) * std::max(0, w);
        return Item::val(checked(total));
    }

    // Position (0-based) of value in a row or column of cells: exact, or for sorted data the
    // last entry not above it (ascending) / not below it (descending). -1 when none.
    int lookupIn(const Value& key, const std::vector<Value>& cells, int mode) const
    {
        if (mode == 0) {
            Criterion c;
            c.operand = key;
            if (key.isString() && (key.asString().contains(QLatin1Char('*')) || key.asString().contains(QLatin1Char('?')))) {
                c.pattern = true;
                c.rx = wildcardPattern(key.asString());
            }
            for (std::size_t i = 0; i < cells.size(); ++i)
                if (cells[i].type() == key.type() ? (key.isString() ? meets(cells[i], c) : compareValues(cells[i], key) == 0) : false)
                    return static_cast<int>(i);
            return -1;
        }
        int found = -1;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const Value& v = cells[i];
            if (v.isEmpty() || v.type() != key.type())
                continue;
            const int cmp = compareValues(v, key);
            if (mode > 0 ? cmp <= 0 : cmp >= 0)
                found = static_cast<int>(i);
            else
                break;
        }
        return found;
    }

    std::vector<Value> line(const FormulaRef& r, bool alongRow, int index) const
    {
        std::vector<Value> out;
        const int n = alongRow ? width(r) : height(r);
        int lastRow = kMaxRows - 1, lastCol = kMaxCols - 1;
        m_env.usedExtent(r.ixti, &lastRow, &lastCol);
        const int used = alongRow ? lastCol - r.firstCol + 1 : lastRow - r.firstRow + 1;
        for (int k = 0; k < std::min(n, std::max(0, used)); ++k)
            out.push_back(alongRow ? at(r, index, k) : at(r, k, index));
        return out;
    }

    Item tableLookup(const std::vector<Item>& args, bool vertical) const
    {
        const Value key = deref(args[0]);
        if (key.isError())
            return Item::val(key);
        if (args[1].kind != Item::Kind::Area)
            return Item::err(ErrorCode::Value);
        double which = 0;
        Value e = number(args, 2, &which);
        if (!e.isEmpty())
            return Item::val(e);
        bool approx = true;
        if (args.size() > 3 && args[3].kind != Item::Kind::Missing) {
            e = toBool(deref(args[3]), &approx);
            if (!e.isEmpty())
                return Item::val(e);
        }
        const FormulaRef& t = args[1].ref;
        if (which < 1)
            return Item::err(ErrorCode::Value);
        if (which > (vertical ? width(t) : height(t)))
            return Item::err(ErrorCode::Ref);
        const int pos = lookupIn(key, line(t, !vertical, 0), approx ? 1 : 0);
        if (pos < 0)
            return Item::err(ErrorCode::NA);
        const int k = static_cast<int>(which) - 1;
        return Item::val(vertical ? at(t, pos, k) : at(t, k, pos));
    }

    Item match(const std::vector<Item>& args) const
    {
        const Value key = deref(args[0]);
        if (key.isError())
            return Item::val(key);
        if (args[1].kind != Item::Kind::Area)
            return Item::err(ErrorCode::NA);
        double type = 1;
        const Value e = number(args, 2, &type, 1);
        if (!e.isEmpty())
            return Item::val(e);
        const FormulaRef& r = args[1].ref;
        if (height(r) > 1 && width(r) > 1)
            return Item::err(ErrorCode::NA);
        const int pos = lookupIn(key, line(r, height(r) == 1, 0), type > 0 ? 1 : type < 0 ? -1 : 0);
        return pos < 0 ? Item::err(ErrorCode::NA) : Item::num(pos + 1);
    }

    Item pick(const std::vector<Item>& args) const
    {
        if (args[0].kind != Item::Kind::Area)
            return Item::err(ErrorCode::Value);
        const FormulaRef& r = args[0].ref;
        double row = 0, col = 0;
        Value e = number(args, 1, &row);
        if (e.isEmpty())
            e = number(args, 2, &col);
        if (!e.isEmpty())
            return Item::val(e);
        if (row < 0 || col < 0)
            return Item::err(ErrorCode::Value);
        // A single row or column takes one index for its only dimension.
        if (args.size() == 2 && height(r) == 1) {
            col = row;
            row = 0;
        }
        if (row > height(r) || col > width(r))
            return Item::err(ErrorCode::Ref);
        FormulaRef out = r;
        if (row >= 1)
            out.firstRow = out.lastRow = r.firstRow + static_cast<int>(row) - 1;
        if (col >= 1)
            out.firstCol = out.lastCol = r.firstCol + static_cast<int>(col) - 1;
        return Item::area(out);
    }

    Item sumProduct(const std::vector<Item>& args) const
    {
        std::vector<FormulaRef> ranges;
        for (const Item& a : args) {
            if (a.kind != Item::Kind::Area)
                return Item::err(ErrorCode::Value);
            if (!ranges.empty() && (height(a.ref) != height(ranges[0]) || width(a.ref) != width(ranges[0])))
                return Item::err(ErrorCode::Value);
            ranges.push_back(a.ref);
        }
        if (ranges.empty())
            return Item::err(ErrorCode::Value);
        int lastRow = kMaxRows - 1, lastCol = kMaxCols - 1;
        m_env.usedExtent(ranges[0].ixti, &lastRow, &lastCol);
        const int h = std::min(height(ranges[0]), lastRow - ranges[0].firstRow + 1);
        const int w = std::min(width(ranges[0]), lastCol - ranges[0].firstCol + 1);
        double total = 0;
        for (int i = 0; i < h; ++i) {
            for (int j = 0; j < w; ++j) {
                double product = 1;
                for (const FormulaRef& r : ranges) {
                    const Value v = at(r, i, j);
                    if (v.isError())
                        return Item::val(v);
                    product *= v.isNumber() ? v.asNumber() : 0;
                }
                total += product;
            }
        }
        return Item::val(checked(total));
    }

    Item kth(const std::vector<Item>& args, bool largest) const
    {
        std::vector<double> v;
        const Value e = numbers({args[0]}, &v);
        if (!e.isEmpty())
            return Item::val(e);
        double k = 0;
        const Value ek = number(args, 1, &k);
        if (!ek.isEmpty())
            return Item::val(ek);
        if (k < 1 || k > static_cast<double>(v.size()))
            return Item::err(ErrorCode::Num);
        std::sort(v.begin(), v.end());
        const std::size_t i = static_cast<std::size_t>(k) - 1;
        return Item::num(largest ? v[v.size() - 1 - i] : v[i]);
    }

    Item count(const std::vector<Item>& args, bool all) const
    {
        double n = 0;
        for (const Item& a : args) {
            if (a.kind == Item::Kind::Area) {
                forEachCell(a.ref, [&](const Value& v) {
                    if (all ? !v.isEmpty() : v.isNumber())
                        ++n;
                    return true;
                });
            } else if (a.kind == Item::Kind::Val) {
                double d = 0;
                if (all || a.v.isNumber() || a.v.isBool() || (a.v.isString() && toNumber(a.v, &d).isEmpty()))
                    ++n;
            }
        }
        return Item::num(n);
    }

    Item logical(const std::vector<Item>& args, bool isAnd) const
    {
        bool any = false;
        bool acc = isAnd;
        for (const Item& a : args) {
            Value error;
            auto take = [&](const Value& v, bool fromRange) {
                if (v.isError()) {
                    error = v;
                    return false;
                }
                bool b = false;
                if (v.isNumber() || v.isBool()) {
                    b = v.asNumber() != 0;
                } else if (v.isString() && !fromRange) {
                    if (!toBool(v, &b).isEmpty()) {
                        error = Value::error(ErrorCode::Value);
                        return false;
                    }
                } else {
                    return true;
                }
                any = true;
                acc = isAnd ? (acc && b) : (acc || b);
                return true;
            };
            if (a.kind == Item::Kind::Area)
                forEachCell(a.ref, [&](const Value& v) { return take(v, true); });
            else if (a.kind == Item::Kind::Val)
                take(a.v, false);
            if (!error.isEmpty())
                return Item::val(error);
        }
        if (!any)
            return Item::err(ErrorCode::Value);
        return Item::val(Value::boolean(acc));
    }

    static Value dateParts(double serial, int* y, int* m, int* d)
    {
        if (serial < 0 || serial >= 2958466)
            return Value::error(ErrorCode::Num);
        const double day = std::floor(serial);
        if (day == 0) {
            *y = 1900; *m = 1; *d = 0;
        } else if (day == 60) {
            *y = 1900; *m = 2; *d = 29;
        } else {
            const QDate date = serialToDate(day);
            *y = date.year(); *m = date.month(); *d = date.day();
        }
        return {};
    }

    Item function(int index, const std::vector<Item>& args) const
    {
        const FunctionInfo* info = functionByIndex(index);
        if (!info)
            return Item::err(ErrorCode::Name);
        const int argc = static_cast<int>(args.size());
        if (argc < info->minArgs || argc > info->maxArgs)
            return Item::err(ErrorCode::Value);
        double x = 0, y = 0;
        Value e;
        switch (index) {
        case fn::Sum: case fn::Average: case fn::Min: case fn::Max: case fn::Stdev: case fn::Var: case fn::Product: case fn::StdevP: case fn::VarP: case fn::Median:
            return aggregate(index, args);
        case fn::Count: return count(args, false);
        case fn::CountA: return count(args, true);
        case fn::CountBlank: {
            if (args.size() != 1 || args[0].kind != Item::Kind::Area)
                return Item::err(ErrorCode::Value);
            const FormulaRef& r = args[0].ref;
            double used = 0;
            forEachCell(r, [&](const Value& v) {
                if (!v.isEmpty() && !(v.isString() && v.asString().isEmpty()))
                    ++used;
                return true;
            });
            return Item::num(double(r.lastRow - r.firstRow + 1) * (r.lastCol - r.firstCol + 1) - used);
        }
        case fn::If: {
            bool c = false;
            e = toBool(deref(args.at(0)), &c);
            if (!e.isEmpty())
                return Item::val(e);
            const std::size_t pick = c ? 1 : 2;
            if (pick >= args.size())
                return Item::val(Value::boolean(false));
            if (args[pick].kind == Item::Kind::Missing)
                return Item::num(0);
            return args[pick];
        }
        case fn::Choose: {
            e = number(args, 0, &x);
            if (!e.isEmpty())
                return Item::val(e);
            if (x < 1 || x >= static_cast<double>(args.size()))
                return Item::err(ErrorCode::Value);
            const int i = static_cast<int>(std::trunc(x));
            return args[i].kind == Item::Kind::Missing ? Item::num(0) : args[i];
        }
        case fn::And: return logical(args, true);
        case fn::Or: return logical(args, false);
        case fn::Not: {
            bool b = false;
            e = toBool(deref(args.at(0)), &b);
            return result(e, Value::boolean(!b));
        }
        case fn::True: return Item::val(Value::boolean(true));
        case fn::False: return Item::val(Value::boolean(false));
        case fn::Na: return Item::err(ErrorCode::NA);
        case fn::Pi: return Item::num(kPi);
        case fn::Sin: return math1(args, [](double v) { return std::sin(v); });
        case fn::Cos: return math1(args, [](double v) { return std::cos(v); });
        case fn::Tan: return math1(args, [](double v) { return std::tan(v); });
        case fn::Atan: return math1(args, [](double v) { return std::atan(v); });
        case fn::Asin: return math1(args, [](double v) { return std::asin(v); });
        case fn::Acos: return math1(args, [](double v) { return std::acos(v); });
        case fn::Sqrt: return math1(args, [](double v) { return v < 0 ? std::numeric_limits<double>::quiet_NaN() : std::sqrt(v); });
        case fn::Exp: return math1(args, [](double v) { return std::exp(v); });
        case fn::Ln: return math1(args, [](double v) { return v <= 0 ? std::numeric_limits<double>::quiet_NaN() : std::log(v); });
        case fn::Log10: return math1(args, [](double v) { return v <= 0 ? std::numeric_limits<double>::quiet_NaN() : std::log10(v); });
        case fn::Abs: return math1(args, [](double v) { return std::fabs(v); });
        case fn::Int: return math1(args, [](double v) { return std::floor(v); });
        case fn::Sign: return math1(args, [](double v) { return v > 0 ? 1.0 : v < 0 ? -1.0 : 0.0; });
        case fn::Radians: return math1(args, [](double v) { return v * kPi / 180; });
        case fn::Degrees: return math1(args, [](double v) { return v * 180 / kPi; });
        case fn::Fact: return math1(args, [](double v) { return v < 0 ? std::numeric_limits<double>::quiet_NaN() : std::tgamma(std::floor(v) + 1); });
        case fn::Even: case fn::Odd: { // EVEN, ODD: away from zero
            e = number(args, 0, &x);
            if (!e.isEmpty())
                return Item::val(e);
            double m = std::ceil(std::fabs(x));
            if (index == fn::Even && std::fmod(m, 2) != 0)
                m += 1;
            if (index == fn::Odd && std::fmod(m, 2) == 0)
                m += 1;
            return Item::val(checked(x < 0 ? -m : m));
        }
        case fn::Round: case fn::RoundUp: case fn::RoundDown: case fn::Trunc: {
            e = number(args, 0, &x);
            if (e.isEmpty())
                e = number(args, 1, &y);
            if (!e.isEmpty())
                return Item::val(e);
            return Item::val(roundTo(x, y, index == fn::Round ? 0 : index == fn::RoundUp ? 1 : -1));
        }
        case fn::Mod: {
            e = number(args, 0, &x);
            if (e.isEmpty())
                e = number(args, 1, &y);
            if (!e.isEmpty())
                return Item::val(e);
            if (y == 0)
                return Item::err(ErrorCode::Div0);
            return Item::val(checked(x - y * std::floor(x / y)));
        }
        case fn::Power: {
            e = number(args, 0, &x);
            if (e.isEmpty())
                e = number(args, 1, &y);
            if (!e.isEmpty())
                return Item::val(e);
            if (x == 0 && y == 0)
                return Item::err(ErrorCode::Num);
            if (x == 0 && y < 0)
                return Item::err(ErrorCode::Div0);
            return Item::val(checked(std::pow(x, y)));
        }
        case fn::Log: {
            e = number(args, 0, &x);
            if (e.isEmpty())
                e = number(args, 1, &y, 10);
            if (!e.isEmpty())
                return Item::val(e);
            if (x <= 0 || y <= 0)
                return Item::err(ErrorCode::Num);
            if (y == 1)
                return Item::err(ErrorCode::Div0);
            return Item::val(checked(std::log(x) / std::log(y)));
        }
        case fn::Atan2: { // ATAN2(x, y)
            e = number(args, 0, &x);
            if (e.isEmpty())
                e = number(args, 1, &y);
            if (!e.isEmpty())
                return Item::val(e);
            if (x == 0 && y == 0)
                return Item::err(ErrorCode::Div0);
            return Item::val(checked(std::atan2(y, x)));
        }
        case fn::Floor: case fn::Ceiling: { // FLOOR, CEILING
            e = number(args, 0, &x);
            if (e.isEmpty())
                e = number(args, 1, &y);
            if (!e.isEmpty())
                return Item::val(e);
            if (x == 0 || y == 0)
                return index == fn::Floor && y == 0 && x != 0 ? Item::err(ErrorCode::Div0) : Item::num(0);
            if ((x > 0) != (y > 0))
                return Item::err(ErrorCode::Num);
            const double q = round15(x / y);
            return Item::val(checked((index == fn::Floor ? std::floor(q) : std::ceil(q)) * y));
        }
        case fn::IsBlank: {
            const Item& a = args.at(0);
            return Item::val(Value::boolean(a.kind == Item::Kind::Area && deref(a).isEmpty()));
        }
        case fn::IsNumber: return Item::val(Value::boolean(deref(args.at(0)).isNumber()));
        case fn::IsText: return Item::val(Value::boolean(deref(args.at(0)).isString()));
        case fn::IsNonText: return Item::val(Value::boolean(!deref(args.at(0)).isString()));
        case fn::IsLogical: return Item::val(Value::boolean(deref(args.at(0)).isBool()));
        case fn::IsError: return Item::val(Value::boolean(deref(args.at(0)).isError()));
        case fn::IsNa: {
            const Value v = deref(args.at(0));
            return Item::val(Value::boolean(v.isError() && v.asError() == ErrorCode::NA));
        }
        case fn::IsErr: {
            const Value v = deref(args.at(0));
            return Item::val(Value::boolean(v.isError() && v.asError() != ErrorCode::NA));
        }
        case fn::ErrorType: {
            const Value v = deref(args.at(0));
            if (!v.isError())
                return Item::err(ErrorCode::NA);
            static const ErrorCode order[] = {ErrorCode::Null, ErrorCode::Div0, ErrorCode::Value, ErrorCode::Ref,
                                              ErrorCode::Name, ErrorCode::Num,  ErrorCode::NA};
            for (int i = 0; i < 7; ++i)
                if (order[i] == v.asError())
                    return Item::num(i + 1);
            return Item::err(ErrorCode::NA);
        }
        case fn::Row: case fn::Column: case fn::Rows: case fn::Columns: { // ROW, COLUMN, ROWS, COLUMNS
            int ownRow = 0, ownCol = 0;
            if (args.empty() && (index == fn::Row || index == fn::Column) && m_env.formulaCell(&ownRow, &ownCol))
                return Item::num(index == fn::Row ? ownRow + 1 : ownCol + 1);
            if (args.empty() || args[0].kind != Item::Kind::Area)
                return Item::err(ErrorCode::Value);
            const FormulaRef& r = args[0].ref;
            switch (index) {
            case fn::Row: return Item::num(r.firstRow + 1);
            case fn::Column: return Item::num(r.firstCol + 1);
            case fn::Rows: return Item::num(r.lastRow - r.firstRow + 1);
            default: return Item::num(r.lastCol - r.firstCol + 1);
            }
        }
        case fn::Len: case fn::Lower: case fn::Upper: case fn::Trim: case fn::Value: case fn::T: case fn::N: case fn::Code: case fn::Char: {
            const Value v = args.empty() ? Value() : deref(args[0]);
            if (v.isError())
                return Item::val(v);
            if (index == fn::T)
                return Item::val(Value::string(v.isString() ? v.asString() : QString()));
            if (index == fn::N)
                return Item::num(v.isNumber() || v.isBool() ? v.asNumber() : 0);
            if (index == fn::Char) {
                e = toNumber(v, &x);
                if (!e.isEmpty())
                    return Item::val(e);
                if (x < 1 || x >= 256)
                    return Item::err(ErrorCode::Value);
                return Item::val(Value::string(QString(QChar::fromLatin1(static_cast<char>(static_cast<int>(x))))));
            }
            QString s;
            toText(v, &s);
            switch (index) {
            case fn::Len: return Item::num(s.size());
            case fn::Lower: return Item::val(Value::string(s.toLower()));
            case fn::Upper: return Item::val(Value::string(s.toUpper()));
            case fn::Trim: return Item::val(Value::string(s.simplified()));
            case fn::Code:
                if (s.isEmpty())
                    return Item::err(ErrorCode::Value);
                return Item::num(s.at(0).unicode());
            default: // VALUE
                if (v.isNumber())
                    return Item::val(v);
                e = toNumber(Value::string(s), &x);
                return result(e, Value::number(x));
            }
        }
        case fn::Left: case fn::Right: case fn::Mid: { // LEFT, RIGHT, MID
            QString s;
            e = text(args, 0, &s);
            if (!e.isEmpty())
                return Item::val(e);
            if (index == fn::Mid) {
                e = number(args, 1, &x);
                if (e.isEmpty())
                    e = number(args, 2, &y);
                if (!e.isEmpty())
                    return Item::val(e);
                if (x < 1 || y < 0)
                    return Item::err(ErrorCode::Value);
                return Item::val(Value::string(s.mid(static_cast<int>(std::min(x, 1e9)) - 1, static_cast<int>(std::min(y, 1e9)))));
            }
            e = number(args, 1, &x, 1);
            if (!e.isEmpty())
                return Item::val(e);
            if (x < 0)
                return Item::err(ErrorCode::Value);
            const int n = static_cast<int>(std::min(x, 1e9));
            return Item::val(Value::string(index == fn::Left ? s.left(n) : s.right(n)));
        }
        case fn::Concatenate: {
            QString all;
            for (std::size_t i = 0; i < args.size(); ++i) {
                QString s;
                e = text(args, i, &s);
                if (!e.isEmpty())
                    return Item::val(e);
                all += s;
                if (all.size() > kMaxText)
                    return Item::err(ErrorCode::Value);
            }
            return Item::val(Value::string(all));
        }
        case fn::Rept: {
            QString s;
            e = text(args, 0, &s);
            if (e.isEmpty())
                e = number(args, 1, &x);
            if (!e.isEmpty())
                return Item::val(e);
            if (x < 0 || x > kMaxText || s.size() * std::floor(x) > kMaxText)
                return Item::err(ErrorCode::Value);
            return Item::val(Value::string(s.repeated(static_cast<int>(x))));
        }
        case fn::Exact: {
            QString a, b;
            e = text(args, 0, &a);
            if (e.isEmpty())
                e = text(args, 1, &b);
            return result(e, Value::boolean(a == b));
        }
        case fn::Text: {
            QString code;
            const Value v = deref(args.at(0));
            e = text(args, 1, &code);
            if (v.isError())
                return Item::val(v);
            if (!e.isEmpty())
                return Item::val(e);
            Value shown = v;
            if (v.isString() && toNumber(v, &x).isEmpty())
                shown = Value::number(x);
            return Item::val(Value::string(formatValue(shown, code, QLocale())));
        }
        case fn::Date: {
            double m = 0, d = 0;
            e = number(args, 0, &x);
            if (e.isEmpty())
                e = number(args, 1, &m);
            if (e.isEmpty())
                e = number(args, 2, &d);
            if (!e.isEmpty())
                return Item::val(e);
            if (x < 0 || x >= 10000)
                return Item::err(ErrorCode::Num);
            int year = static_cast<int>(std::trunc(x));
            if (year < 1900)
                year += 1900;
            const double months = std::trunc(m) - 1, days = std::trunc(d) - 1;
            if (std::fabs(months) > 120000 || std::fabs(days) > 4e6)
                return Item::err(ErrorCode::Num);
            const QDate first = QDate(year, 1, 1).addMonths(static_cast<int>(months));
            // Day overflow counts in serials, which include the phantom 1900-02-29.
            const double serial = dateToSerial(first) + days;
            if (serial < 0 || serial >= 2958466)
                return Item::err(ErrorCode::Num);
            return Item::num(serial);
        }
        case fn::Time: {
            double mi = 0, s = 0;
            e = number(args, 0, &x);
            if (e.isEmpty())
                e = number(args, 1, &mi);
            if (e.isEmpty())
                e = number(args, 2, &s);
            if (!e.isEmpty())
                return Item::val(e);
            const double secs = std::trunc(x) * 3600 + std::trunc(mi) * 60 + std::trunc(s);
            if (secs < 0)
                return Item::err(ErrorCode::Num);
            return Item::val(checked(std::fmod(secs, 86400) / 86400));
        }
        case fn::Day: case fn::Month: case fn::Year: case fn::Weekday: {
            e = number(args, 0, &x);
            if (!e.isEmpty())
                return Item::val(e);
            int yy, mm, dd;
            e = dateParts(x, &yy, &mm, &dd);
            if (!e.isEmpty())
                return Item::val(e);
            if (index == fn::Day)
                return Item::num(dd);
            if (index == fn::Month)
                return Item::num(mm);
            if (index == fn::Year)
                return Item::num(yy);
            // WEEKDAY: serial 1 (1900-01-01) counts as a Sunday in the 1900 system.
            double type = 1;
            e = number(args, 1, &type, 1);
            if (!e.isEmpty())
                return Item::val(e);
            const int sunday1 = static_cast<int>(std::fmod(std::floor(x) + 6, 7)) + 1;
            if (type == 1)
                return Item::num(sunday1);
            if (type == 2)
                return Item::num((sunday1 + 5) % 7 + 1);
            if (type == 3)
                return Item::num((sunday1 + 5) % 7);
            return Item::err(ErrorCode::Num);
        }
        case fn::Hour: case fn::Minute: case fn::Second: {
            e = number(args, 0, &x);
            if (!e.isEmpty())
                return Item::val(e);
            if (x < 0)
                return Item::err(ErrorCode::Num);
            const double secs = std::floor((x - std::floor(x)) * 86400 + 0.5);
            const int s = static_cast<int>(secs) % 86400;
            return Item::num(index == fn::Hour ? s / 3600 : index == fn::Minute ? (s / 60) % 60 : s % 60);
        }
        case fn::CountIf: return countOrSumIf(args, false);
        case fn::SumIf: return countOrSumIf(args, true);
        case fn::VLookup: return tableLookup(args, true);
        case fn::HLookup: return tableLookup(args, false);
        case fn::Match: return match(args);
        case fn::Index: return pick(args);
        case fn::SumProduct: return sumProduct(args);
        case fn::Small: return kth(args, false);
        case fn::Large: return kth(args, true);
        case fn::Find:
        case fn::Search: {
            QString what, within;
            double start = 1;
            e = text(args, 0, &what);
            if (e.isEmpty())
                e = text(args, 1, &within);
            if (e.isEmpty())
                e = number(args, 2, &start, 1);
            if (!e.isEmpty())
                return Item::val(e);
            if (start < 1 || start > within.size() + 1)
                return Item::err(ErrorCode::Value);
            const int from = static_cast<int>(start) - 1;
            qsizetype at = -1;
            if (index == fn::Find) {
                at = within.indexOf(what, from, Qt::CaseSensitive);
            } else {
                // SEARCH ignores case and takes * and ? wildcards.
                const auto m = wildcardPattern(what, true).match(within, from);
                at = m.hasMatch() ? m.capturedStart() : -1;
            }
            return at < 0 ? Item::err(ErrorCode::Value) : Item::num(static_cast<double>(at) + 1);
        }
        case fn::Substitute: {
            QString t, from, to;
            double nth = 0;
            e = text(args, 0, &t);
            if (e.isEmpty())
                e = text(args, 1, &from);
            if (e.isEmpty())
                e = text(args, 2, &to);
            if (e.isEmpty())
                e = number(args, 3, &nth, 0);
            if (!e.isEmpty())
                return Item::val(e);
            if (from.isEmpty())
                return Item::val(Value::string(t));
            if (args.size() < 4 || args[3].kind == Item::Kind::Missing) {
                t.replace(from, to);
            } else {
                if (nth < 1)
                    return Item::err(ErrorCode::Value);
                qsizetype at = -1;
                for (double k = 0; k < nth; ++k) {
                    at = t.indexOf(from, at + 1);
                    if (at < 0)
                        break;
                }
                if (at >= 0)
                    t.replace(at, from.size(), to);
            }
            return Item::val(t.size() > kMaxText ? Value::error(ErrorCode::Value) : Value::string(t));
        }
        case fn::Replace: {
            QString t, with;
            double start = 0, n = 0;
            e = text(args, 0, &t);
            if (e.isEmpty())
                e = number(args, 1, &start);
            if (e.isEmpty())
                e = number(args, 2, &n);
            if (e.isEmpty())
                e = text(args, 3, &with);
            if (!e.isEmpty())
                return Item::val(e);
            if (start < 1 || n < 0)
                return Item::err(ErrorCode::Value);
            const int from = static_cast<int>(std::min<double>(start - 1, t.size()));
            const int count = static_cast<int>(std::min<double>(n, t.size() - from));
            t.replace(from, count, with);
            return Item::val(t.size() > kMaxText ? Value::error(ErrorCode::Value) : Value::string(t));
        }
        case fn::Proper: {
            QString t;
            e = text(args, 0, &t);
            if (!e.isEmpty())
                return Item::val(e);
            bool start = true; // a letter after a non-letter starts a word
            for (QChar& c : t) {
                c = start ? c.toUpper() : c.toLower();
                start = !c.isLetter();
            }
            return Item::val(Value::string(t));
        }
        case fn::IsRef: return Item::val(Value::boolean(args[0].kind == Item::Kind::Area));
        case fn::DateValue:
        case fn::TimeValue: {
            const Value v = deref(args[0]);
            if (v.isError())
                return Item::val(v);
            if (!v.isString())
                return Item::err(ErrorCode::Value);
            const TypedInput in = interpretTypedInput(v.asString(), QLocale(), QString());
            const int f = in.suggestedFormat;
            const bool isDate = (f >= 14 && f <= 17) || f == 22;
            const bool isTime = f >= 18 && f <= 22;
            if (in.kind != TypedInput::Kind::Number || !(index == fn::DateValue ? isDate : (isTime || isDate)))
                return Item::err(ErrorCode::Value);
            return Item::num(index == fn::DateValue ? std::floor(in.number) : in.number - std::floor(in.number));
        }
        case fn::Rank: {
            double x = 0, order = 0;
            e = number(args, 0, &x);
            if (e.isEmpty())
                e = number(args, 2, &order, 0);
            if (!e.isEmpty())
                return Item::val(e);
            if (args[1].kind != Item::Kind::Area)
                return Item::err(ErrorCode::Value);
            std::vector<double> v;
            e = numbers({args[1]}, &v);
            if (!e.isEmpty())
                return Item::val(e);
            double rank = 1;
            bool present = false;
            for (double d : v) {
                if (d == x)
                    present = true;
                else if (order == 0 ? d > x : d < x)
                    rank += 1;
            }
            return present ? Item::num(rank) : Item::err(ErrorCode::NA);
        }
        case fn::Today: return Item::num(dateToSerial(QDate::currentDate()));
        case fn::Now: return Item::val(checked(dateTimeToSerial(QDateTime::currentDateTime())));
        default: return Item::err(ErrorCode::Name);
        }
    }

    const Bytes& m_rgce;
    const EvalEnv& m_env;
    std::vector<Item> m_stack;
};

} // namespace

Value evaluateFormula(const Bytes& rgce, const EvalEnv& env)
{
    return Evaluator(rgce, env).run();
}

} // namespace sheet
