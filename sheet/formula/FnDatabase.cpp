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

Value header(const Evaluator& ev, const Area& a, int col) { return ev.cell(a.sheet, a.r1, a.c1 + col); }

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
        if (!t.isEmpty() && !t.startsWith(QLatin1Char('<')) && !t.startsWith(QLatin1Char('>'))
            && !t.startsWith(QLatin1Char('='))) {
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
        out->push_back(db->field >= 0 ? c.ev.cell(db->table.sheet, db->table.r1 + rec, db->table.c1 + db->field)
                                      : Value::boolean(true));
    }
    return {};
}

// DGET: the field of the one record that meets the criteria.
Item dget(Call& c)
{
    std::vector<Value> values;
    Database db;
    if (const Value e = selected(c, true, &values, &db); !e.isEmpty())
        return Item::val(e);
    if (values.empty())
        return Item::err(ErrorCode::Value);
    if (values.size() > 1)
        return Item::err(ErrorCode::Num);
    return Item::val(values.front());
}

// DCOUNT counts numbers in the field, or records without one; DCOUNTA what is not blank.
template <bool All> Item dcount(Call& c)
{
    std::vector<Value> values;
    Database db;
    if (const Value e = selected(c, false, &values, &db); !e.isEmpty())
        return Item::val(e);
    double n = 0;
    for (const Value& v : values)
        n += All ? !v.isEmpty() : v.isNumber();
    return Item::num(!All && db.field < 0 ? static_cast<double>(values.size()) : n);
}

// The numbers of the field in the records that meet the criteria.
Value selectedNumbers(Call& c, std::vector<double>* out)
{
    std::vector<Value> values;
    Database db;
    const Value e = selected(c, true, &values, &db);
    for (const Value& x : values)
        if (x.isNumber())
            out->push_back(x.asNumber());
    return e;
}

// DSUM, DAVERAGE, DPRODUCT, DSTDEV, DSTDEVP, DVAR, DVARP.
template <Agg Kind> Item dbAggregate(Call& c)
{
    std::vector<double> v;
    if (const Value e = selectedNumbers(c, &v); !e.isEmpty())
        return Item::val(e);
    return Item::val(aggregate(Kind, v));
}

// DMIN and DMAX: 0 when no number meets the criteria.
template <bool Max> Item dbMinMax(Call& c)
{
    std::vector<double> v;
    if (const Value e = selectedNumbers(c, &v); !e.isEmpty())
        return Item::val(e);
    if (v.empty())
        return Item::num(0);
    return Item::num(Max ? *std::max_element(v.begin(), v.end()) : *std::min_element(v.begin(), v.end()));
}

} // namespace

void registerDatabaseFunctions(Registry& r)
{
    r.add(41, dbAggregate<Agg::Sum>);
    r.add(40, dcount<false>);
    r.add(199, dcount<true>);
    r.add(42, dbAggregate<Agg::Average>);
    r.add(43, dbMinMax<false>);
    r.add(44, dbMinMax<true>);
    r.add(189, dbAggregate<Agg::Product>);
    r.add(45, dbAggregate<Agg::StdevS>);
    r.add(195, dbAggregate<Agg::StdevP>);
    r.add(47, dbAggregate<Agg::VarS>);
    r.add(196, dbAggregate<Agg::VarP>);
    r.add(235, dget);
}

} // namespace sheet::eval
