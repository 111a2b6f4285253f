// Lookups, references built from values, and the conditional aggregates.
#include "FnSupport.h"

#include <algorithm>

namespace sheet::eval {

namespace {

struct Table;

// One row or column of a table to search, read lazily.
struct Line {
    const Table* table = nullptr;
    bool alongRow = false;
    int fixed = 0; // the row (alongRow) or column index inside the table
    int count = 0;

    Value at(int i) const;
};

// Sources of a lookup: a reference (read lazily) or an array, as a table of rows and columns.
struct Table {
    const Evaluator* ev = nullptr;
    Area area;       // when reading a reference
    MatrixPtr array; // when reading an array
    int rows = 0;
    int cols = 0;

    Line line(bool alongRow, int index) const
    {
        Line l;
        l.table = this;
        l.alongRow = alongRow;
        l.fixed = index;
        l.count = alongRow ? cols : rows;
        if (!array) {
            // nothing is past the used part of the sheet
            int lastRow, lastCol;
            ev->usedEnd(area, &lastRow, &lastCol);
            l.count = std::max(0, alongRow ? lastCol - area.c1 + 1 : lastRow - area.r1 + 1);
            l.count = std::min(l.count, alongRow ? cols : rows);
        }
        return l;
    }
    Value at(int r, int c) const { return array ? array->at(r, c) : ev->cell(area.sheet, area.r1 + r, area.c1 + c); }
};

Value Line::at(int i) const { return alongRow ? table->at(fixed, i) : table->at(i, fixed); }

Value tableOf(const Call& c, int i, Table* t)
{
    if (i >= c.size())
        return Value::error(ErrorCode::Value);
    const Item& a = c.arg(i);
    t->ev = &c.ev;
    if (a.kind == Item::Kind::Ref) {
        if (a.ref.multiSheet())
            return Value::error(ErrorCode::Ref);
        t->area = a.ref;
        t->rows = a.ref.rows();
        t->cols = a.ref.cols();
        return {};
    }
    if (a.kind == Item::Kind::Val && a.v.isError())
        return a.v;
    Value error;
    t->array = c.ev.matrix(a, &error);
    if (!t->array)
        return error;
    t->rows = t->array->rows;
    t->cols = t->array->cols;
    return {};
}

// For Call::read: argument i as a table.
struct TableArg {
    int i;
    Table* out;
    Value operator()(const Call& c) const { return tableOf(c, i, out); }
};
TableArg tableArg(int i, Table* out) { return {i, out}; }

// How the key compares with a value of the table: values of another type do not compare.
enum class Cmp { KeyLess, Equal, KeyGreater, Mismatch };

Cmp lookupCompare(const Value& key, const Value& v)
{
    if (key.type() != v.type() || v.isEmpty() || v.isError())
        return Cmp::Mismatch;
    const int c = compareValues(key, v);
    return c < 0 ? Cmp::KeyLess : c > 0 ? Cmp::KeyGreater : Cmp::Equal;
}

// Exact match: the first equal value; text keys take * ? ~ wildcards.
int exactMatch(const Value& key, const Line& line)
{
    if (key.isString() && hasWildcards(key.asString())) {
        const QRegularExpression rx = wildcardPattern(key.asString());
        for (int i = 0; i < line.count; ++i) {
            const Value v = line.at(i);
            if (v.isString() && rx.match(v.asString()).hasMatch())
                return i;
        }
        return -1;
    }
    for (int i = 0; i < line.count; ++i)
        if (lookupCompare(key, line.at(i)) == Cmp::Equal)
            return i;
    return -1;
}

// Approximate match the way the spreadsheet searches: a binary search between `low` and
// `high` (both exclusive) that steps forward over values of other types, so that unsorted
// data gives what the spreadsheet gives. The last value not above the key, or -1.
int approximateMatch(const Value& key, const Line& line)
{
    int low = -1, high = line.count;
    while (high - low >= 2) {
        int mid = (low + high) / 2;
        Cmp c = lookupCompare(key, line.at(mid));
        if (c == Cmp::Mismatch) {
            // the next value of the key's type before the upper end
            int probe = mid;
            for (;;) {
                if (++probe == high) {
                    high = mid; // none: the search goes on below
                    break;
                }
                c = lookupCompare(key, line.at(probe));
                if (c == Cmp::KeyLess && probe == high - 1) {
                    high = probe;
                    break;
                }
                if (c != Cmp::Mismatch)
                    break;
            }
            if (probe >= high)
                continue;
            mid = probe;
        }
        if (c == Cmp::Equal) {
            // the last of a run of equal values
            while (mid + 1 < high && lookupCompare(key, line.at(mid + 1)) == Cmp::Equal)
                ++mid;
            return mid;
        }
        if (c == Cmp::KeyLess)
            high = mid;
        else
            low = mid;
    }
    return low;
}

// MATCH type -1: the smallest value not below the key in descending data.
int descendingMatch(const Value& key, const Line& line)
{
    int found = -1;
    for (int i = 0; i < line.count; ++i) {
        const Cmp c = lookupCompare(key, line.at(i));
        if (c == Cmp::Mismatch)
            continue;
        if (c == Cmp::Equal)
            return i;
        if (c == Cmp::KeyGreater)
            break; // the values fell below the key
        found = i;
    }
    return found;
}

// Where the key stands in a line, by MATCH's types: 1 the last value not above it in
// ascending data, 0 the first equal one, -1 the last not below it in descending data.
int search(const Value& key, const Line& line, double type)
{
    if (type > 0)
        return approximateMatch(key, line);
    if (type < 0)
        return descendingMatch(key, line);
    return exactMatch(key, line);
}

// VLOOKUP's column number (HLOOKUP's row number) as Excel reads it: a number (truncated), a
// whole number written as text, TRUE for 1; an error or any other text is #REF!.
Value lookupIndex(const Call& c, int i, double* out)
{
    const Value v = c.value(i);
    switch (v.type()) {
    case Value::Type::Error: return Value::error(ErrorCode::Ref);
    case Value::Type::String:
        if (!textToNumber(v.asString(), out) || *out != std::trunc(*out))
            return Value::error(ErrorCode::Ref);
        return {};
    case Value::Type::Empty: *out = 0; return {};
    case Value::Type::Number:
    case Value::Type::Bool: *out = std::trunc(v.asNumber()); return {};
    }
    return {};
}

// range_lookup: a number or a boolean, text is #VALUE!; left out TRUE, left empty or a blank
// cell FALSE.
Value rangeLookup(const Call& c, int i, bool* out)
{
    *out = i >= c.size();
    if (!c.has(i))
        return {};
    const Value v = c.value(i);
    if (v.isError())
        return v;
    if (v.isString())
        return Value::error(ErrorCode::Value);
    *out = !v.isEmpty() && v.asNumber() != 0;
    return {};
}

// The lookups take the key first, an error there is the result; then the table, range_lookup
// and the column (row) number. A blank key looks for 0.
template <bool Vertical> Item tableLookup(Call& c)
{
    Value key = c.value(0);
    if (key.isError())
        return Item::val(key);
    if (key.isEmpty())
        key = Value::number(0);
    Table t;
    double which = 0;
    bool approximate = true;
    if (const Value e = c.read(
            tableArg(1, &t), [&](const Call& call) { return rangeLookup(call, 3, &approximate); },
            [&](const Call& call) { return lookupIndex(call, 2, &which); });
        !e.isEmpty())
        return Item::val(e);
    if (which < 1)
        return Item::err(ErrorCode::Value);
    if (which > (Vertical ? t.cols : t.rows))
        return Item::err(ErrorCode::Ref);
    const int pos = search(key, t.line(!Vertical, 0), approximate ? 1 : 0);
    if (pos < 0)
        return Item::err(ErrorCode::NA);
    const int k = static_cast<int>(which) - 1;
    const Value v = Vertical ? t.at(pos, k) : t.at(k, pos);
    return Item::val(v);
}

Item match(Call& c)
{
    const Value key = c.value(0);
    if (key.isError())
        return Item::val(key);
    Table t;
    double type = 1;
    if (const Value e = c.read(tableArg(1, &t), numArg(2, &type, 1)); !e.isEmpty())
        return Item::val(e);
    if (t.rows > 1 && t.cols > 1)
        return Item::err(ErrorCode::NA);
    if (key.isEmpty())
        return Item::err(ErrorCode::NA);
    const Line line = t.line(t.rows == 1, 0);
    // Excel's MATCH takes wildcards with every match type: a text key with wildcards finds
    // its first match before any ordered search.
    int pos = type != 0 && key.isString() && hasWildcards(key.asString()) ? exactMatch(key, line) : -1;
    if (pos < 0)
        pos = search(key, line, type);
    return pos < 0 ? Item::err(ErrorCode::NA) : Item::num(pos + 1);
}

Item lookup(Call& c)
{
    const Value key = c.value(0);
    if (key.isError())
        return Item::val(key);
    Table t;
    if (const Value e = tableOf(c, 1, &t); !e.isEmpty())
        return Item::val(e);
    if (key.isEmpty())
        return Item::err(ErrorCode::NA);
    if (c.size() < 3) {
        // array form: search the first row of a wide table, else the first column; the
        // answer is in the last row or column
        const bool wide = t.cols > t.rows;
        const int pos = approximateMatch(key, t.line(wide, 0));
        if (pos < 0)
            return Item::err(ErrorCode::NA);
        return Item::val(wide ? t.at(t.rows - 1, pos) : t.at(pos, t.cols - 1));
    }
    Table result;
    if (const Value e = tableOf(c, 2, &result); !e.isEmpty())
        return Item::val(e);
    if (t.rows > 1 && t.cols > 1)
        return Item::err(ErrorCode::NA);
    const int pos = approximateMatch(key, t.line(t.rows == 1, 0));
    if (pos < 0)
        return Item::err(ErrorCode::NA);
    if (result.rows == 1)
        return pos < result.cols ? Item::val(result.at(0, pos)) : Item::err(ErrorCode::NA);
    return pos < result.rows ? Item::val(result.at(pos, 0)) : Item::err(ErrorCode::NA);
}

Item index(Call& c)
{
    double row = 0, col = 0, which = 1;
    if (const Value e = c.read(intArg(1, &row, 0), intArg(2, &col, 0), intArg(3, &which, 1)); !e.isEmpty())
        return Item::val(e);
    if (row < 0 || col < 0 || which < 1)
        return Item::err(ErrorCode::Value);
    const Item& src = c.arg(0);
    if (src.kind == Item::Kind::Val && src.v.isError())
        return src;
    const bool colGiven = c.size() > 2;
    if (src.isRef()) {
        Area a;
        if (src.kind == Item::Kind::Refs) {
            if (which > static_cast<double>(src.array->areas.size()))
                return Item::err(ErrorCode::Ref);
            a = src.array->areas[static_cast<std::size_t>(which) - 1];
        } else {
            if (which > 1)
                return Item::err(ErrorCode::Ref);
            a = src.ref;
        }
        // one index into a single row or column picks along it; a table needs both
        if (!colGiven && a.r1 == a.r2 && a.c1 != a.c2) {
            col = row;
            row = 0;
        } else if (!colGiven && a.r1 != a.r2 && a.c1 != a.c2) {
            return Item::err(ErrorCode::Ref);
        }
        if (row > a.rows() || col > a.cols())
            return Item::err(ErrorCode::Ref);
        if (row >= 1)
            a.r1 = a.r2 = a.r1 + static_cast<int>(row) - 1;
        if (col >= 1)
            a.c1 = a.c2 = a.c1 + static_cast<int>(col) - 1;
        return Item::area(a);
    }
    Value error;
    const MatrixPtr m = c.ev.matrix(src, &error);
    if (!m)
        return Item::val(error);
    if (!colGiven && m->rows == 1 && m->cols > 1) {
        col = row;
        row = 0;
    }
    if (!colGiven && m->cols == 1 && m->rows > 1)
        col = 1;
    if (row > m->rows || col > m->cols)
        return Item::err(ErrorCode::Ref);
    if (row >= 1 && col >= 1)
        return Item::val(m->at(static_cast<int>(row) - 1, static_cast<int>(col) - 1));
    if (row >= 1) {
        Matrix out(1, m->cols);
        for (int k = 0; k < m->cols; ++k)
            out.at(0, k) = m->at(static_cast<int>(row) - 1, k);
        return Item::matrix(std::move(out));
    }
    if (col >= 1) {
        Matrix out(m->rows, 1);
        for (int k = 0; k < m->rows; ++k)
            out.at(k, 0) = m->at(k, static_cast<int>(col) - 1);
        return Item::matrix(std::move(out));
    }
    return Item::matrix(*m);
}

Item choose(Call& c)
{
    double x = 0;
    const Value e = c.integer(0, &x);
    if (!e.isEmpty())
        return Item::val(e);
    if (x < 1 || x >= c.size())
        return Item::err(ErrorCode::Value);
    const Item& picked = c.arg(static_cast<int>(x));
    return picked.kind == Item::Kind::Missing ? Item::num(0) : picked;
}

Item offset(Call& c)
{
    const Item& base = c.arg(0);
    if (base.kind == Item::Kind::Val && base.v.isError())
        return base;
    if (base.kind != Item::Kind::Ref && !(base.kind == Item::Kind::Refs && base.array->areas.size() == 1))
        return Item::err(ErrorCode::Value);
    const Area a = base.kind == Item::Kind::Ref ? base.ref : base.array->areas.front();
    double dr = 0, dc = 0, h = a.rows(), w = a.cols();
    if (const Value e = c.read(intArg(1, &dr), intArg(2, &dc), intArg(3, &h, a.rows()), intArg(4, &w, a.cols()));
        !e.isEmpty())
        return Item::val(e);
    if (h == 0 || w == 0)
        return Item::err(ErrorCode::Ref);
    Area out = a;
    double r1 = a.r1 + dr, c1 = a.c1 + dc;
    double r2 = r1 + h + (h > 0 ? -1 : 1), c2 = c1 + w + (w > 0 ? -1 : 1);
    if (r2 < r1)
        std::swap(r1, r2);
    if (c2 < c1)
        std::swap(c1, c2);
    if (r1 < 0 || c1 < 0 || r2 >= kMaxRows || c2 >= kMaxCols)
        return Item::err(ErrorCode::Ref);
    out.r1 = static_cast<int>(r1);
    out.r2 = static_cast<int>(r2);
    out.c1 = static_cast<int>(c1);
    out.c2 = static_cast<int>(c2);
    return Item::area(out);
}

// ---- references as text

int columnNumber(const QString& letters)
{
    int col = 0;
    for (QChar ch : letters) {
        const char16_t u = ch.toUpper().unicode();
        if (u < 'A' || u > 'Z')
            return -1;
        col = col * 26 + (u - 'A' + 1);
        if (col > kMaxCols)
            return -1;
    }
    return col - 1;
}

// "A1", "$B$2", "A1:C3", "A:A", "3:5" within a sheet.
bool a1Area(const QString& text, Area* out)
{
    static const QRegularExpression cellRe(QStringLiteral("^\\$?([A-Za-z]{1,3})\\$?([0-9]{1,7})$"));
    static const QRegularExpression colRe(QStringLiteral("^\\$?([A-Za-z]{1,3})$"));
    static const QRegularExpression rowRe(QStringLiteral("^\\$?([0-9]{1,7})$"));
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() > 2 || parts.isEmpty())
        return false;
    int rows[2], cols[2];
    int kind = -1; // 0 cells, 1 columns, 2 rows
    for (int i = 0; i < parts.size(); ++i) {
        const QString& p = parts[i];
        QRegularExpressionMatch m;
        int k;
        if ((m = cellRe.match(p)).hasMatch()) {
            k = 0;
            cols[i] = columnNumber(m.captured(1));
            rows[i] = m.captured(2).toInt() - 1;
        } else if (parts.size() == 2 && (m = colRe.match(p)).hasMatch()) {
            k = 1;
            cols[i] = columnNumber(m.captured(1));
            rows[i] = i == 0 ? 0 : kMaxRows - 1;
        } else if (parts.size() == 2 && (m = rowRe.match(p)).hasMatch()) {
            k = 2;
            rows[i] = m.captured(1).toInt() - 1;
            cols[i] = i == 0 ? 0 : kMaxCols - 1;
        } else {
            return false;
        }
        if (kind >= 0 && k != kind)
            return false;
        kind = k;
        if (cols[i] < 0 || cols[i] >= kMaxCols || rows[i] < 0 || rows[i] >= kMaxRows)
            return false;
    }
    if (parts.size() == 1) {
        rows[1] = rows[0];
        cols[1] = cols[0];
    }
    out->r1 = std::min(rows[0], rows[1]);
    out->r2 = std::max(rows[0], rows[1]);
    out->c1 = std::min(cols[0], cols[1]);
    out->c2 = std::max(cols[0], cols[1]);
    return true;
}

// "R1C1", "R[-1]C[2]", "R2C", "RC[1]" relative to the formula's cell.
bool r1c1Cell(const QString& text, int baseRow, int baseCol, int* row, int* col)
{
    static const QRegularExpression re(QStringLiteral("^[Rr](\\[-?[0-9]+\\]|[0-9]*)[Cc](\\[-?[0-9]+\\]|[0-9]*)$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return false;
    auto part = [](const QString& s, int base, int* out) {
        if (s.isEmpty())
            *out = base;
        else if (s.startsWith(QLatin1Char('[')))
            *out = base + s.mid(1, s.size() - 2).toInt();
        else
            *out = s.toInt() - 1;
    };
    part(m.captured(1), baseRow, row);
    part(m.captured(2), baseCol, col);
    return *row >= 0 && *row < kMaxRows && *col >= 0 && *col < kMaxCols;
}

Item indirect(Call& c)
{
    QString text;
    bool a1 = true;
    if (const Value e = c.read(textArg(0, &text), boolArg(1, &a1, true)); !e.isEmpty())
        return Item::val(e);
    text = text.trimmed();
    Area a;
    const int bang = text.lastIndexOf(QLatin1Char('!'));
    if (bang >= 0) {
        QString sheet = text.left(bang);
        text = text.mid(bang + 1);
        if (sheet.size() >= 2 && sheet.startsWith(QLatin1Char('\'')) && sheet.endsWith(QLatin1Char('\'')))
            sheet = sheet.mid(1, sheet.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
        if (!c.ev.env().sheetByName(sheet, &a.sheet))
            return Item::err(ErrorCode::Ref);
        a.lastSheet = a.sheet;
    }
    if (a1) {
        if (!a1Area(text, &a))
            return Item::err(ErrorCode::Ref);
    } else {
        int baseRow = 0, baseCol = 0;
        c.ev.ownCell(&baseRow, &baseCol);
        const QStringList parts = text.split(QLatin1Char(':'));
        int r[2], k[2];
        if (parts.size() > 2 || !r1c1Cell(parts[0], baseRow, baseCol, &r[0], &k[0]))
            return Item::err(ErrorCode::Ref);
        if (parts.size() == 2 && !r1c1Cell(parts[1], baseRow, baseCol, &r[1], &k[1]))
            return Item::err(ErrorCode::Ref);
        if (parts.size() == 1) {
            r[1] = r[0];
            k[1] = k[0];
        }
        a.r1 = std::min(r[0], r[1]);
        a.r2 = std::max(r[0], r[1]);
        a.c1 = std::min(k[0], k[1]);
        a.c2 = std::max(k[0], k[1]);
    }
    return Item::area(a);
}

Item address(Call& c)
{
    double row = 0, col = 0, kind = 1;
    bool a1 = true;
    QString sheet;
    if (const Value e
        = c.read(intArg(0, &row), intArg(1, &col), intArg(2, &kind, 1), boolArg(3, &a1, true), textArg(4, &sheet));
        !e.isEmpty())
        return Item::val(e);
    if (row < 1 || col < 1 || row > kMaxRows || col > kMaxCols || kind < 1 || kind > 4)
        return Item::err(ErrorCode::Value);
    const bool absRow = kind == 1 || kind == 2;
    const bool absCol = kind == 1 || kind == 3;
    QString out;
    if (a1) {
        out = (absCol ? QStringLiteral("$") : QString()) + columnName(static_cast<int>(col) - 1)
            + (absRow ? QStringLiteral("$") : QString()) + QString::number(static_cast<int>(row));
    } else {
        out = QLatin1Char('R')
            + (absRow ? QString::number(row) : QLatin1Char('[') + QString::number(row) + QLatin1Char(']'))
            + QLatin1Char('C')
            + (absCol ? QString::number(col) : QLatin1Char('[') + QString::number(col) + QLatin1Char(']'));
    }
    if (c.has(4)) {
        static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_.\\[\\]]*$"));
        if (!plain.match(sheet).hasMatch())
            sheet = QLatin1Char('\'') + QString(sheet).replace(QLatin1String("'"), QLatin1String("''"))
                + QLatin1Char('\'');
        out = sheet + QLatin1Char('!') + out;
    }
    return Item::str(out);
}

template <bool Row> Item rowColumn(Call& c)
{
    if (c.size() == 0 || !c.has(0)) {
        int r = 0, k = 0;
        if (!c.ev.ownCell(&r, &k))
            return Item::err(ErrorCode::Value);
        return Item::num(Row ? r + 1 : k + 1);
    }
    const Item& a = c.arg(0);
    if (a.kind == Item::Kind::Val && a.v.isError())
        return a;
    if (a.kind != Item::Kind::Ref)
        return Item::err(ErrorCode::Value);
    const Area& r = a.ref;
    if (c.wantsArray && (Row ? r.rows() : r.cols()) > 1) {
        const int n = Row ? r.rows() : r.cols();
        Matrix out(Row ? n : 1, Row ? 1 : n);
        for (int i = 0; i < n; ++i)
            out.cells[static_cast<std::size_t>(i)] = Value::number((Row ? r.r1 : r.c1) + i + 1);
        return Item::matrix(std::move(out));
    }
    return Item::num(Row ? r.r1 + 1 : r.c1 + 1);
}

template <bool Rows> Item rowsColumns(Call& c)
{
    const Item& a = c.arg(0);
    switch (a.kind) {
    case Item::Kind::Ref: return Item::num(Rows ? a.ref.rows() : a.ref.cols());
    case Item::Kind::Array: return Item::num(Rows ? a.array->rows : a.array->cols);
    case Item::Kind::Refs: return Item::err(ErrorCode::Ref);
    default: return a.isError() ? a : Item::num(1);
    }
}

Item areas(Call& c)
{
    const Item& a = c.arg(0);
    if (a.kind == Item::Kind::Ref)
        return Item::num(1);
    if (a.kind == Item::Kind::Refs)
        return Item::num(static_cast<double>(a.array->areas.size()));
    return a.isError() ? a : Item::err(ErrorCode::Value);
}

Item transpose(Call& c)
{
    Value error;
    const MatrixPtr m = argMatrix(c, 0, &error);
    if (!m)
        return Item::val(error);
    Matrix out(m->cols, m->rows);
    for (int r = 0; r < m->rows; ++r)
        for (int k = 0; k < m->cols; ++k)
            out.at(k, r) = m->at(r, k);
    return Item::matrix(std::move(out));
}

// ---- conditional counts and sums

// Calls f(i, j, value) for each cell of a criteria range (including blanks past the used
// part, visited as empty values).
template <typename F> Value eachCandidate(Call& c, int i, Area* shape, F f)
{
    const Item& a = c.arg(i);
    if (a.kind == Item::Kind::Val && a.v.isError())
        return a.v;
    if (a.kind == Item::Kind::Ref) {
        const Area& r = a.ref;
        if (r.multiSheet())
            return Value::error(ErrorCode::Value);
        *shape = r;
        int lastRow, lastCol;
        c.ev.usedEnd(r, &lastRow, &lastCol);
        for (int row = r.r1; row <= r.r2; ++row) {
            if (row > lastRow) {
                // the rest is blank: one empty value stands for each such cell
                for (int rr = row; rr <= r.r2; ++rr)
                    for (int col = r.c1; col <= r.c2; ++col)
                        if (!f(rr - r.r1, col - r.c1, Value()))
                            return {};
                break;
            }
            for (int col = r.c1; col <= r.c2; ++col)
                if (!f(row - r.r1, col - r.c1, col > lastCol ? Value() : c.ev.cell(r.sheet, row, col)))
                    return {};
        }
        return {};
    }
    Value error;
    const MatrixPtr m = c.ev.matrix(a, &error);
    if (!m)
        return error;
    shape->r1 = shape->c1 = 0;
    shape->r2 = m->rows - 1;
    shape->c2 = m->cols - 1;
    for (int r = 0; r < m->rows; ++r)
        for (int k = 0; k < m->cols; ++k)
            if (!f(r, k, m->at(r, k)))
                return {};
    return {};
}

// Whole-column criteria ranges are long: when every blank meets the criterion the count of
// blanks is worked out instead of visiting them.
Item countIf(Call& c)
{
    const Criterion crit = Criterion::from(c.value(1));
    const Item& a = c.arg(0);
    double n = 0;
    if (a.kind == Item::Kind::Ref && !a.ref.multiSheet()) {
        const Area& r = a.ref;
        int lastRow, lastCol;
        c.ev.usedEnd(r, &lastRow, &lastCol);
        double visited = 0;
        for (int row = r.r1; row <= lastRow; ++row)
            for (int col = r.c1; col <= lastCol; ++col, ++visited)
                n += crit.meets(c.ev.cell(r.sheet, row, col));
        if (crit.meets(Value()))
            n += double(r.rows()) * r.cols() - visited;
        return Item::num(n);
    }
    Area shape;
    const Value e = eachCandidate(c, 0, &shape, [&](int, int, const Value& v) {
        n += crit.meets(v);
        return true;
    });
    return result(e, Value::number(n));
}

// SUMIF and AVERAGEIF: the values range takes the criteria range's shape from its own
// first cell.
Value valuesAt(Call& c, int i, int r, int k, Value* v)
{
    const Item& a = c.arg(i);
    if (a.kind == Item::Kind::Ref) {
        *v = c.ev.cell(a.ref.sheet, a.ref.r1 + r, a.ref.c1 + k);
        return {};
    }
    if (a.kind == Item::Kind::Array) {
        *v = r < a.array->rows && k < a.array->cols ? a.array->at(r, k) : Value();
        return {};
    }
    return a.isError() ? a.v : Value::error(ErrorCode::Value);
}

enum class IfSum { Sum, Average };

template <IfSum Kind> Item sumIf(Call& c)
{
    const Criterion crit = Criterion::from(c.value(1));
    const int target = c.has(2) ? 2 : 0;
    double total = 0, n = 0;
    Value error;
    Area shape;
    const Value e = eachCandidate(c, 0, &shape, [&](int r, int k, const Value& v) {
        if (!crit.meets(v))
            return true;
        Value x;
        error = valuesAt(c, target, r, k, &x);
        if (!error.isEmpty())
            return false;
        if (x.isError()) {
            error = x;
            return false;
        }
        if (x.isNumber()) {
            total += x.asNumber();
            n += 1;
        }
        return true;
    });
    if (!e.isEmpty())
        return Item::val(e);
    if (!error.isEmpty())
        return Item::val(error);
    if (Kind == IfSum::Average)
        return n == 0 ? Item::err(ErrorCode::Div0) : numberResult(total / n);
    return numberResult(total);
}

// COUNTIFS, SUMIFS, AVERAGEIFS, MAXIFS, MINIFS: pairs of range and criterion.
enum class IfsKind { Count, Sum, Average, Max, Min };

template <IfsKind Kind> Item multiIf(Call& c)
{
    const int first = Kind == IfsKind::Count ? 0 : 1;
    if ((c.size() - first) < 2 || (c.size() - first) % 2)
        return Item::err(ErrorCode::Value);
    std::vector<Criterion> crits;
    for (int i = first + 1; i < c.size(); i += 2)
        crits.push_back(Criterion::from(c.value(i)));
    std::vector<char> meets;
    int rows = 0, cols = 0;
    for (int i = first, k = 0; i < c.size(); i += 2, ++k) {
        std::vector<char> these;
        Area s;
        const Value e = eachCandidate(c, i, &s, [&](int, int, const Value& v) {
            these.push_back(crits[static_cast<std::size_t>(k)].meets(v));
            return true;
        });
        if (!e.isEmpty())
            return Item::val(e);
        if (k == 0) {
            meets = these;
            rows = s.rows();
            cols = s.cols();
        } else {
            if (s.rows() != rows || s.cols() != cols)
                return Item::err(ErrorCode::Value);
            for (std::size_t j = 0; j < meets.size(); ++j)
                meets[j] = meets[j] && these[j];
        }
    }
    double total = 0, n = 0, best = 0;
    bool any = false;
    for (int r = 0; r < rows; ++r) {
        for (int k = 0; k < cols; ++k) {
            if (!meets[static_cast<std::size_t>(r * cols + k)])
                continue;
            if (Kind == IfsKind::Count) {
                n += 1;
                continue;
            }
            Value x;
            const Value e = valuesAt(c, 0, r, k, &x);
            if (!e.isEmpty())
                return Item::val(e);
            if (x.isError())
                return Item::val(x);
            if (!x.isNumber())
                continue;
            const double d = x.asNumber();
            total += d;
            n += 1;
            if (!any || (Kind == IfsKind::Max ? d > best : d < best))
                best = d;
            any = true;
        }
    }
    switch (Kind) {
    case IfsKind::Count: return Item::num(n);
    case IfsKind::Sum: return numberResult(total);
    case IfsKind::Average: return n == 0 ? Item::err(ErrorCode::Div0) : numberResult(total / n);
    case IfsKind::Max:
    case IfsKind::Min: break;
    }
    return Item::num(any ? best : 0);
}

} // namespace

void registerLookupFunctions(Registry& r)
{
    r.add("VLOOKUP", tableLookup<true>);
    r.add("HLOOKUP", tableLookup<false>);
    r.add("MATCH", match);
    r.add("LOOKUP", lookup);
    r.add("INDEX", index);
    r.add("CHOOSE", choose);
    r.add("OFFSET", offset);
    r.add("INDIRECT", indirect);
    r.add("ADDRESS", address);
    r.add("ROW", rowColumn<true>);
    r.add("COLUMN", rowColumn<false>);
    r.add("ROWS", rowsColumns<true>);
    r.add("COLUMNS", rowsColumns<false>);
    r.add("AREAS", areas);
    r.add("TRANSPOSE", transpose);
    r.add("COUNTIF", countIf);
    r.add("SUMIF", sumIf<IfSum::Sum>);
    r.add("AVERAGEIF", sumIf<IfSum::Average>);
    r.add("COUNTIFS", multiIf<IfsKind::Count>);
    r.add("SUMIFS", multiIf<IfsKind::Sum>);
    r.add("AVERAGEIFS", multiIf<IfsKind::Average>);
    r.add("MAXIFS", multiIf<IfsKind::Max>);
    r.add("MINIFS", multiIf<IfsKind::Min>);
}

} // namespace sheet::eval
