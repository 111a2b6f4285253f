// The database functions: a table with a header row, a field and a criteria range.
#include "FnSupport.h"

#include <algorithm>

namespace sheet::eval {

namespace {

// One criterion: a value a column of the table must meet, or a formula computed for each
// record (in a criteria column whose header names no field of the table).
struct DbCriterion {
    int col = -1; // column inside the table; -1 when the header names none
    Criterion crit;
    bool formula = false;
    Bytes rgce, extra;       // a formula criterion as written for the first record
    int row = 0, column = 0; // where the formula is written
};

struct Database {
    Area table;
    Area criteria;
    int field = -1; // column inside the table; -1 when no field was given
    // a record meets a row when it meets all of the row's criteria, and the criteria when it
    // meets any row
    std::vector<std::vector<DbCriterion>> rows;
};

Value header(const Evaluator& ev, const Area& a, int col) { return ev.cell(a.sheet, a.r1, a.c1 + col); }

// The table's column a header names; error headers name none.
int columnByName(const Evaluator& ev, const Area& table, const Value& name)
{
    if (name.isError())
        return -1;
    QString wanted;
    toText(name, &wanted);
    for (int k = 0; k < table.cols(); ++k) {
        const Value h = header(ev, table, k);
        QString text;
        if (!h.isError() && toText(h, &text).isEmpty() && text.compare(wanted.trimmed(), Qt::CaseInsensitive) == 0)
            return k;
    }
    return -1;
}

// A criterion cell. Text without an operator matches text that begins with it, so "" matches
// any text but no blank; TRUE and FALSE written as text match only text; a tilde escapes only
// * and ? (Excel's database functions take "~~" as two tildes).
Criterion criterionOf(const Value& v)
{
    if (!v.isString())
        return Criterion::from(v);
    QString t;
    for (int i = 0; i < v.asString().size(); ++i) {
        const QChar ch = v.asString()[i];
        const QChar next = i + 1 < v.asString().size() ? v.asString()[i + 1] : QChar();
        t += ch;
        if (ch == QLatin1Char('~') && next != QLatin1Char('*') && next != QLatin1Char('?'))
            t += QLatin1Char('~');
    }
    double d = 0;
    if (!t.startsWith(QLatin1Char('<')) && !t.startsWith(QLatin1Char('>')) && !t.startsWith(QLatin1Char('='))
        && !textToNumber(t, &d))
        t += QLatin1Char('*');
    Criterion c = Criterion::from(Value::string(t));
    if (c.operand.isBool())
        c.operand = Value::string(c.text);
    return c;
}

Value fieldOf(Call& c, Database* db)
{
    const Value f = c.value(1);
    if (f.isError())
        return f;
    if (f.isNumber()) {
        const double n = std::trunc(f.asNumber());
        if (n < 1 || n > db->table.cols())
            return Value::error(ErrorCode::Value);
        db->field = static_cast<int>(n) - 1;
        return {};
    }
    db->field = columnByName(c.ev, db->table, f);
    return db->field < 0 ? Value::error(ErrorCode::Value) : Value();
}

void readCriteria(Call& c, Database* db)
{
    const Area& crit = db->criteria;
    std::vector<int> columns;
    std::vector<char> blankHeader;
    for (int col = 0; col < crit.cols(); ++col) {
        const Value h = header(c.ev, crit, col);
        blankHeader.push_back(h.isEmpty() || (h.isString() && h.asString().isEmpty()));
        columns.push_back(columnByName(c.ev, db->table, h));
    }
    for (int r = 1; r < crit.rows(); ++r) {
        std::vector<DbCriterion> row;
        for (int col = 0; col < crit.cols(); ++col) {
            DbCriterion k;
            k.row = crit.r1 + r;
            k.column = crit.c1 + col;
            k.col = columns[static_cast<std::size_t>(col)];
            k.formula = k.col < 0 && c.ev.env().cellFormula(crit.sheet, k.row, k.column, &k.rgce, &k.extra);
            const Value v = c.ev.cell(crit.sheet, k.row, k.column);
            if (k.formula || (!v.isEmpty() && !blankHeader[static_cast<std::size_t>(col)])) {
                k.crit = criterionOf(v);
                row.push_back(std::move(k));
            }
        }
        db->rows.push_back(std::move(row));
    }
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
    db->criteria = k.ref;
    if (c.has(1)) {
        if (const Value e = fieldOf(c, db); !e.isEmpty())
            return e;
    } else if (needField) {
        return Value::error(ErrorCode::Value);
    }
    readCriteria(c, db);
    return {};
}

// What a criteria formula sees for one record: its references moved down to the record, and
// the table's field names standing for the record's values.
class RecordEnv : public EvalEnv {
public:
    RecordEnv(const Evaluator& ev, const Database& db, const DbCriterion& k, int record)
        : m_ev(ev)
        , m_inner(ev.env())
        , m_db(db)
        , m_k(k)
        , m_record(record)
    {
    }
    Value cellValue(int sheet, int row, int col) const override
    {
        return m_inner.cellValue(sheet < 0 ? m_db.criteria.sheet : sheet, row, col);
    }
    void usedExtent(int sheet, int* lastRow, int* lastCol) const override
    {
        m_inner.usedExtent(sheet < 0 ? m_db.criteria.sheet : sheet, lastRow, lastCol);
    }
    bool formulaCell(int* row, int* col) const override
    {
        *row = m_k.row + m_record - 1;
        *col = m_k.column;
        return true;
    }
    bool externSheets(int ixti, int* first, int* last) const override
    {
        return m_inner.externSheets(ixti, first, last);
    }
    bool sheetByName(const QString& name, int* sheet) const override { return m_inner.sheetByName(name, sheet); }
    QString sheetName(int sheet) const override { return m_inner.sheetName(sheet); }
    bool externName(int ixti, int index, NameDefinition* out) const override
    {
        return m_inner.externName(ixti, index, out);
    }
    bool definedName(int index, NameDefinition* out) const override
    {
        if (!m_inner.definedName(index, out))
            return false;
        const int field = columnByName(m_ev, m_db.table, Value::string(out->name));
        if (field >= 0) {
            out->constant = true;
            out->value = m_ev.cell(m_db.table.sheet, m_db.table.r1 + m_record, m_db.table.c1 + field);
        }
        return true;
    }

private:
    const Evaluator& m_ev;
    const EvalEnv& m_inner;
    const Database& m_db;
    const DbCriterion& m_k;
    int m_record;
};

bool meetsFormula(const Evaluator& ev, const Database& db, const DbCriterion& k, int record)
{
    try {
        const Value v = evaluateFormula(shiftFormula(k.rgce, record - 1, 0), RecordEnv(ev, db, k, record), k.extra);
        return (v.isBool() || v.isNumber()) && v.asNumber() != 0;
    } catch (const Error&) {
        return false;
    }
}

bool meets(const Evaluator& ev, const Database& db, int record)
{
    for (const auto& row : db.rows) {
        bool all = true;
        for (const DbCriterion& k : row) {
            const bool ok = k.formula
                ? meetsFormula(ev, db, k, record)
                : k.col >= 0 && k.crit.meets(ev.cell(db.table.sheet, db.table.r1 + record, db.table.c1 + k.col));
            if (!ok) {
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
    // records whose field is blank or "" do not count
    values.erase(std::remove_if(values.begin(), values.end(),
                                [](const Value& v) { return v.isEmpty() || (v.isString() && v.asString().isEmpty()); }),
                 values.end());
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
    r.add("DSUM", dbAggregate<Agg::Sum>);
    r.add("DCOUNT", dcount<false>);
    r.add("DCOUNTA", dcount<true>);
    r.add("DAVERAGE", dbAggregate<Agg::Average>);
    r.add("DMIN", dbMinMax<false>);
    r.add("DMAX", dbMinMax<true>);
    r.add("DPRODUCT", dbAggregate<Agg::Product>);
    r.add("DSTDEV", dbAggregate<Agg::StdevS>);
    r.add("DSTDEVP", dbAggregate<Agg::StdevP>);
    r.add("DVAR", dbAggregate<Agg::VarS>);
    r.add("DVARP", dbAggregate<Agg::VarP>);
    r.add("DGET", dget);
}

} // namespace sheet::eval
