#pragma once

// Operands of the evaluator and the spreadsheet's conversions between values. Internal to
// the formula layer.

#include "Formula.h"

#include <QRegularExpression>
#include <memory>
#include <vector>

namespace sheet::eval {

// The longest text a cell holds; longer results are #VALUE! as in the spreadsheet.
constexpr qsizetype kMaxText = 32767;
// Arrays a formula may build (rows x columns); beyond it the result is #NUM!.
constexpr std::size_t kMaxArrayCells = 1u << 20;

// A rectangle of cells on one sheet or, for a 3-D reference, on the same rectangle of a run
// of sheets. Sheet -1 is the formula's own sheet; others are what EvalEnv::externSheets gives.
struct Area {
    int sheet = -1;
    int lastSheet = -1;
    int r1 = 0, c1 = 0, r2 = 0, c2 = 0;

    int rows() const { return r2 - r1 + 1; }
    int cols() const { return c2 - c1 + 1; }
    bool single() const { return r1 == r2 && c1 == c2 && sheet == lastSheet; }
    bool multiSheet() const { return sheet != lastSheet; }
};

// Values in rows and columns: an array constant, or what an array operation computed.
// (A union of references keeps its areas in `areas`, with no values.)
struct Matrix {
    int rows = 0;
    int cols = 0;
    std::vector<Value> cells;
    std::vector<Area> areas;

    Matrix() = default;
    Matrix(int r, int c)
        : rows(r)
        , cols(c)
        , cells(static_cast<std::size_t>(r) * static_cast<std::size_t>(c))
    {
    }
    Value& at(int r, int c)
    {
        return cells[static_cast<std::size_t>(r) * static_cast<std::size_t>(cols) + static_cast<std::size_t>(c)];
    }
    const Value& at(int r, int c) const
    {
        return cells[static_cast<std::size_t>(r) * static_cast<std::size_t>(cols) + static_cast<std::size_t>(c)];
    }
};
using MatrixPtr = std::shared_ptr<const Matrix>;

// An operand: a value, cells not read yet (so SUM can walk a range and ISBLANK can see an
// empty cell), several areas (a union), an array, or an omitted argument.
struct Item {
    // Function: the name of a function called through a name (add-ins), kept in v.
    enum class Kind : std::uint8_t { Val, Ref, Refs, Array, Missing, Function };
    Kind kind = Kind::Val;
    // an array constant written as one value (Excel's value class): a function computed as
    // a reference or an array takes its first element where it takes one value
    bool valueConstant = false;
    Value v;
    Area ref;
    MatrixPtr array; // the values of an array, the areas of a union

    static Item val(Value v)
    {
        Item i;
        i.v = std::move(v);
        return i;
    }
    static Item num(double d) { return val(Value::number(d)); }
    static Item err(ErrorCode e) { return val(Value::error(e)); }
    static Item str(const QString& s) { return val(Value::string(s)); }
    static Item boolean(bool b) { return val(Value::boolean(b)); }
    static Item missing()
    {
        Item i;
        i.kind = Kind::Missing;
        return i;
    }
    static Item function(const QString& name)
    {
        Item i;
        i.kind = Kind::Function;
        i.v = Value::string(name);
        return i;
    }
    static Item area(const Area& a)
    {
        Item i;
        i.kind = Kind::Ref;
        i.ref = a;
        return i;
    }
    static Item areas(std::vector<Area> list)
    {
        Item i;
        i.kind = Kind::Refs;
        auto m = std::make_shared<Matrix>();
        m->areas = std::move(list);
        i.array = std::move(m);
        return i;
    }
    static Item matrix(Matrix m)
    {
        Item i;
        i.kind = Kind::Array;
        i.array = std::make_shared<const Matrix>(std::move(m));
        return i;
    }

    bool isRef() const { return kind == Kind::Ref || kind == Kind::Refs; }
    bool isError() const { return kind == Kind::Val && v.isError(); }
};

// ---- conversions (EvalValues.cpp) ----

// NaN and infinities are #NUM!; -0 becomes 0.
Value checked(double d);
// A number as concatenation and TEXT-less conversion show it: up to 15 significant digits,
// no exponent for the numbers the spreadsheet writes out in full.
QString numberToText(double v);
// The value as a number for arithmetic; returns an error value on failure, empty on success.
Value toNumber(const Value& v, double* out);
// Text that reads as a number (also dates, times, percentages, fractions as typed).
bool textToNumber(const QString& s, double* out);
Value toBool(const Value& v, bool* out);
Value toText(const Value& v, QString* out);
// Spreadsheet ordering: numbers < text < booleans; an empty value takes the other side's type.
// Text compares case-insensitively, numbers to 15 significant digits.
int compareValues(const Value& a, const Value& b);
// ROUND, ROUNDUP, ROUNDDOWN.
enum class Rounding { Nearest, AwayFromZero, TowardZero };
Value roundTo(double x, double digits, Rounding mode);

// "a*b?" with "~" escaping, case-insensitive; over the whole text unless `anywhere`.
QRegularExpression wildcardPattern(const QString& pattern, bool anywhere = false);
bool hasWildcards(const QString& s);

// A criterion of COUNTIF, SUMIF and the database functions: "<=5", ">abc", "=", "<>", "a*b?",
// or a plain value.
struct Criterion {
    enum class Op : std::uint8_t { Eq, Ne, Lt, Le, Gt, Ge };
    Op op = Op::Eq;
    Value operand;           // empty for "=" and "<>" alone
    QString text;            // the operand as typed, for text comparisons
    bool pattern = false;    // text with * or ? wildcards
    bool bareEquals = false; // "=" alone: only blank cells, not empty text
    QRegularExpression rx;   // the pattern, compiled once per criterion

    static Criterion from(const Value& v);
    bool meets(const Value& v) const;
};

} // namespace sheet::eval
