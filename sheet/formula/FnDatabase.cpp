// The database functions: a table with a header row, a field and a criteria range.
#include "FnSupport.h"

#include <algorithm>

namespace sheet::eval {

namespace {

struct Database {
    Area table;
    int field = -1; // column inside the table; -1 when no field was given
    // criteria rows: (column inside the table, criterion); a record meets a row when it meets
    // all of the row's criteria, and the criteria when it meets any row
    std::vector<std::vector<std::pair<int, Criterion>>> rows;
};

Value header(const Evaluator& ev, const Area& a, int col)
{
    return ev.cell(a.sheet, a.r1, a.c1 + col);
}

int columnByName(const Evaluator& ev, const Area& table, const QString& name)
{
    for (int k = 0; k < table.cols(); ++k) {
        QString h;
        toText(header(ev, table, k), &h);
        if (h.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return k;
    }
    return -1;
}

// A criterion cell: text without an operator matches text that begins with it.
Criterion criterionOf(const Value& v)
{
    if (v.isString()) {
        const QString t = v.asString();
        if (!t.isEmpty() && !t.startsWith(QLatin1Char('<')) && !t.startsWith(QLatin1Char('>')) && !t.startsWith(QLatin1Char('='))) {
            double d = 0;
            if (!textToNumber(t, &d))
                return Criterion::from(Value::string(t + QLatin1Char('*')));
        }
    }
    return Criterion::from(v);
}

Value database(Call& c, bool needField, Database* db)
{
    const Item& t = c.arg(0);
    const Item& k = c.arg(2);
    if (t.isError())
        return t.v;
    if (k.isError())
        return k.v;
    if (t.kind != Item::Kind::Ref || k.kind != Item::Kind::Ref || t.ref.multiSheet() || k.ref.multiSheet())
        return Value::error(ErrorCode::Value);
    db->table = t.ref;
    if (c.has(1)) {
        const Value f = c.value(1);
        if (f.isError())
            return f;
        if (f.isNumber()) {
            const double n = std::trunc(f.asNumber());
            if (n < 1 || n > db->table.cols())
                return Value::error(ErrorCode::Value);
            db->field = static_cast<int>(n) - 1;
        } else {
            QString name;
            toText(f, &name);
            db->field = columnByName(c.ev, db->table, name);
            if (db->field < 0)
                return Value::error(ErrorCode::Value);
        }
    } else if (needField) {
        return Value::error(ErrorCode::Value);
    }
    const Area& crit = k.ref;
    std::vector<int> columns;
    for (int col = 0; col < crit.cols(); ++col) {
        QString name;
        toText(header(c.ev, crit, col), &name);
        columns.push_back(name.isEmpty() ? -2 : columnByName(c.ev, db->table, name));
    }
    for (int r = 1; r < crit.rows(); ++r) {
        std::vector<std::pair<int, Criterion>> row;
        for (int col = 0; col < crit.cols(); ++col) {
            const Value v = c.ev.cell(crit.sheet, crit.r1 + r, crit.c1 + col);
            if (v.isEmpty() || columns[static_cast<std::size_t>(col)] == -2)
                continue;
            row.emplace_back(columns[static_cast<std::size_t>(col)], criterionOf(v));
        }
        db->rows.push_back(std::move(row));
    }
    return {};
}

bool meets(const Evaluator& ev, const Database& db, int record)
{
    for (const auto& row : db.rows) {
        bool all = true;
        for (const auto& [col, crit] : row) {
            if (col < 0 || !crit.meets(ev.cell(db.table.sheet, db.table.r1 + record, db.table.c1 + col))) {
                all = false;
                break;
            }
        }
        if (all)
            return true;
    }
    return false;
}

// The field's values of the records that meet the criteria.
Value selected(Call& c, bool needField, std::vector<Value>* out, Database* db)
{
    const Value e = database(c, needField, db);
    if (!e.isEmpty())
        return e;
    int lastRow, lastCol;
    c.ev.usedEnd(db->table, &lastRow, &lastCol);
    for (int rec = 1; rec <= lastRow - db->table.r1; ++rec) {
        if (!meets(c.ev, *db, rec))
            continue;
        out->push_back(db->field >= 0 ? c.ev.cell(db->table.sheet, db->table.r1 + rec, db->table.c1 + db->field) : Value::boolean(true));
    }
    return {};
}

enum class DbKind { Sum, Count, CountA, Average, Min, Max, Product, Stdev, StdevP, Var, VarP, Get };

template <DbKind Kind>
Item dbFn(Call& c)
{
    std::vector<Value> values;
    Database db;
    const Value e = selected(c, Kind != DbKind::Count && Kind != DbKind::CountA, &values, &db);
    if (!e.isEmpty())
        return Item::val(e);
    if (Kind == DbKind::Get) {
        if (values.empty())
            return Item::err(ErrorCode::Value);
        if (values.size() > 1)
            return Item::err(ErrorCode::Num);
        return Item::val(values.front());
    }
    if (Kind == DbKind::CountA) {
        double n = 0;
        for (const Value& v : values)
            n += !v.isEmpty();
        return Item::num(n);
    }
    std::vector<double> v;
    for (const Value& x : values)
        if (x.isNumber())
            v.push_back(x.asNumber());
    if (Kind == DbKind::Count)
        return Item::num(db.field < 0 ? static_cast<double>(values.size()) : static_cast<double>(v.size()));
    double s = 0;
    for (double d : v)
        s += d;
    const double n = static_cast<double>(v.size());
    switch (Kind) {
    case DbKind::Sum: return numberResult(s);
    case DbKind::Average: return n == 0 ? Item::err(ErrorCode::Div0) : numberResult(s / n);
    case DbKind::Min: return Item::num(v.empty() ? 0 : *std::min_element(v.begin(), v.end()));
    case DbKind::Max: return Item::num(v.empty() ? 0 : *std::max_element(v.begin(), v.end()));
    case DbKind::Product: {
        double p = v.empty() ? 0 : 1;
        for (double d : v)
            p *= d;
        return numberResult(p);
    }
    default: {
        const bool sample = Kind == DbKind::Stdev || Kind == DbKind::Var;
        if (n < (sample ? 2 : 1))
            return Item::err(ErrorCode::Div0);
        double ss = 0;
        for (double d : v)
            ss += (d - s / n) * (d - s / n);
        const double var = ss / (n - (sample ? 1 : 0));
        return numberResult(Kind == DbKind::Stdev || Kind == DbKind::StdevP ? std::sqrt(var) : var);
    }
    }
}

} // namespace

void registerDatabaseFunctions(Registry& r)
{
    r.add(41, dbFn<DbKind::Sum>);
    r.add(40, dbFn<DbKind::Count>);
    r.add(199, dbFn<DbKind::CountA>);
    r.add(42, dbFn<DbKind::Average>);
    r.add(43, dbFn<DbKind::Min>);
    r.add(44, dbFn<DbKind::Max>);
    r.add(189, dbFn<DbKind::Product>);
    r.add(45, dbFn<DbKind::Stdev>);
    r.add(195, dbFn<DbKind::StdevP>);
    r.add(47, dbFn<DbKind::Var>);
    r.add(196, dbFn<DbKind::VarP>);
    r.add(235, dbFn<DbKind::Get>);
}

} // namespace sheet::eval
