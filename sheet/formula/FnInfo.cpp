// Logic and information about values and cells.
#include "FnSupport.h"

namespace sheet::eval {

namespace {

Item ifFn(Call& c)
{
    bool cond = false;
    const Value e = c.boolean(0, &cond, false);
    if (!e.isEmpty())
        return Item::val(e);
    const int pick = cond ? 1 : 2;
    if (pick >= c.size())
        return Item::boolean(false);
    const Item& chosen = c.arg(pick);
    return chosen.kind == Item::Kind::Missing ? Item::num(0) : chosen;
}

// AND, OR, XOR: booleans and numbers count; text and blanks in ranges are skipped, text
// given directly counts only as TRUE or FALSE; an argument left empty, or a function's blank
// result (VLOOKUP of an empty cell), is FALSE.
enum class Logic { And, Or, Xor };

template <Logic Kind> Item logical(Call& c)
{
    bool any = false;
    bool acc = Kind == Logic::And;
    Value error;
    for (int i = 0; i < c.size() && error.isEmpty(); ++i) {
        if (!c.has(i)) {
            any = true;
            acc = Kind == Logic::And ? false : acc;
            continue;
        }
        c.ev.forEach(c.arg(i), [&](const Value& v, bool fromRange) {
            bool b = false;
            switch (v.type()) {
            case Value::Type::Error: error = v; return false;
            case Value::Type::Number:
            case Value::Type::Bool: b = v.asNumber() != 0; break;
            case Value::Type::String:
                if (fromRange || !toBool(v, &b).isEmpty())
                    return true;
                break;
            case Value::Type::Empty:
                if (fromRange)
                    return true; // a blank cell counts for nothing; a blank result is FALSE
                break;
            }
            any = true;
            acc = Kind == Logic::And ? (acc && b) : Kind == Logic::Or ? (acc || b) : (acc != b);
            return true;
        });
    }
    if (!error.isEmpty())
        return Item::val(error);
    if (!any)
        return Item::err(ErrorCode::Value);
    return Item::boolean(acc);
}

Item notFn(Call& c)
{
    bool b = false;
    const Value e = c.boolean(0, &b);
    return result(e, Value::boolean(!b));
}

Item trueFn(Call&) { return Item::boolean(true); }
Item falseFn(Call&) { return Item::boolean(false); }
Item na(Call&) { return Item::err(ErrorCode::NA); }

enum class Is { Number, Text, NonText, Logical, Error, Err, NA, Blank };

template <Is Kind> Item isFn(Call& c)
{
    const Value v = c.value(0);
    switch (Kind) {
    case Is::Number: return Item::boolean(v.isNumber());
    case Is::Text: return Item::boolean(v.isString());
    case Is::NonText: return Item::boolean(!v.isString());
    case Is::Logical: return Item::boolean(v.isBool());
    case Is::Error: return Item::boolean(v.isError());
    case Is::Err: return Item::boolean(v.isError() && v.asError() != ErrorCode::NA);
    case Is::NA: return Item::boolean(v.isError() && v.asError() == ErrorCode::NA);
    case Is::Blank: break;
    }
    return Item::boolean(c.arg(0).kind != Item::Kind::Missing && v.isEmpty());
}

Item isRef(Call& c) { return Item::boolean(c.arg(0).isRef()); }

Item errorType(Call& c)
{
    const Value v = c.value(0);
    if (!v.isError())
        return Item::err(ErrorCode::NA);
    static const ErrorCode order[] = {ErrorCode::Null, ErrorCode::Div0, ErrorCode::Value, ErrorCode::Ref,
                                      ErrorCode::Name, ErrorCode::Num,  ErrorCode::NA};
    for (int i = 0; i < 7; ++i)
        if (order[i] == v.asError())
            return Item::num(i + 1);
    return Item::err(ErrorCode::NA);
}

// The first cell of a reference, the value itself otherwise.
Value firstValue(Call& c, int i)
{
    const Item& a = c.arg(i);
    if (a.kind == Item::Kind::Ref)
        return c.ev.cell(a.ref.sheet, a.ref.r1, a.ref.c1);
    if (a.kind == Item::Kind::Refs)
        return c.ev.cell(a.array->areas.front().sheet, a.array->areas.front().r1, a.array->areas.front().c1);
    return c.ev.scalar(a);
}

Item n(Call& c)
{
    const Value v = firstValue(c, 0);
    if (v.isError())
        return Item::val(v);
    return Item::num(v.isNumber() || v.isBool() ? v.asNumber() : 0);
}

Item type(Call& c)
{
    const Item& a = c.arg(0);
    if (a.kind == Item::Kind::Array || (a.kind == Item::Kind::Ref && !a.ref.single()) || a.kind == Item::Kind::Refs)
        return Item::num(a.kind == Item::Kind::Array ? 64 : 16);
    const Value v = c.value(0);
    switch (v.type()) {
    case Value::Type::Empty:
    case Value::Type::Number: return Item::num(1);
    case Value::Type::String: return Item::num(2);
    case Value::Type::Bool: return Item::num(4);
    case Value::Type::Error: return Item::num(16);
    }
    return Item::num(1);
}

Item cell(Call& c)
{
    QString what;
    const Value e = c.text(0, &what);
    if (!e.isEmpty())
        return Item::val(e);
    what = what.toLower();
    Area a;
    if (c.has(1)) {
        const Item& r = c.arg(1);
        if (r.kind != Item::Kind::Ref)
            return r.isError() ? r : Item::err(ErrorCode::Value);
        a = r.ref;
    } else {
        // without a reference: the formula's own cell stands in for the last changed one
        if (!c.ev.ownCell(&a.r1, &a.c1))
            return Item::err(ErrorCode::Value);
        a.r2 = a.r1;
        a.c2 = a.c1;
    }
    const Value v = c.ev.cell(a.sheet, a.r1, a.c1);
    if (what == QLatin1String("row"))
        return Item::num(a.r1 + 1);
    if (what == QLatin1String("col"))
        return Item::num(a.c1 + 1);
    if (what == QLatin1String("contents"))
        return Item::val(v);
    if (what == QLatin1String("type"))
        return Item::str(v.isEmpty() ? QStringLiteral("b") : v.isString() ? QStringLiteral("l") : QStringLiteral("v"));
    if (what == QLatin1String("address")) {
        QString out = QLatin1Char('$') + columnName(a.c1) + QLatin1Char('$') + QString::number(a.r1 + 1);
        if (a.sheet >= 0) {
            const QString sheet = c.ev.env().sheetName(a.sheet);
            if (!sheet.isEmpty())
                out = ptg::quoteSheetName(sheet) + QLatin1Char('!') + out;
        }
        return Item::str(out);
    }
    if (what == QLatin1String("filename"))
        return Item::str(QString());
    // what a cell's format, width or protection says is not the engine's to know
    static const char* const formatted[] = {"color", "format", "parentheses", "prefix", "protect", "width"};
    for (const char* f : formatted)
        if (what == QLatin1String(f))
            throw NotComputed(QStringLiteral("CELL(\"%1\") is not computed").arg(what));
    return Item::err(ErrorCode::Value);
}

Item ifError(Call& c)
{
    const Item& a = c.arg(0);
    const Value v = c.value(0);
    if (v.isError())
        return c.has(1) ? c.arg(1) : Item::num(0);
    return a.kind == Item::Kind::Missing ? Item::num(0) : a;
}

Item ifNa(Call& c)
{
    const Value v = c.value(0);
    if (v.isError() && v.asError() == ErrorCode::NA)
        return c.has(1) ? c.arg(1) : Item::num(0);
    return c.arg(0);
}

Item single(Call& c) { return Item::val(c.value(0)); }

Item ifs(Call& c)
{
    for (int i = 0; i + 1 < c.size(); i += 2) {
        bool b = false;
        const Value e = c.boolean(i, &b);
        if (!e.isEmpty())
            return Item::val(e);
        if (b)
            return c.arg(i + 1);
    }
    return Item::err(ErrorCode::NA);
}

Item switchFn(Call& c)
{
    const Value key = c.value(0);
    if (key.isError())
        return Item::val(key);
    int i = 1;
    for (; i + 1 < c.size(); i += 2)
        if (compareValues(key, c.value(i)) == 0 && key.type() == c.value(i).type())
            return c.arg(i + 1);
    return i < c.size() ? c.arg(i) : Item::err(ErrorCode::NA);
}

} // namespace

void registerInfoFunctions(Registry& r)
{
    r.add("IF", ifFn);
    r.add("AND", logical<Logic::And>);
    r.add("OR", logical<Logic::Or>);
    r.add("NOT", notFn);
    r.add("TRUE", trueFn);
    r.add("FALSE", falseFn);
    r.add("NA", na);
    r.add("ISNUMBER", isFn<Is::Number>);
    r.add("ISTEXT", isFn<Is::Text>);
    r.add("ISNONTEXT", isFn<Is::NonText>);
    r.add("ISLOGICAL", isFn<Is::Logical>);
    r.add("ISERROR", isFn<Is::Error>);
    r.add("ISERR", isFn<Is::Err>);
    r.add("ISNA", isFn<Is::NA>);
    r.add("ISBLANK", isFn<Is::Blank>);
    r.add("ISREF", isRef);
    r.add("ERROR.TYPE", errorType);
    r.add("N", n);
    r.add("TYPE", type);
    r.add("CELL", cell);
    r.add("IFERROR", ifError);
    r.add("IFNA", ifNa);
    r.add("SINGLE", single);
    r.add("XOR", logical<Logic::Xor>);
    r.add("IFS", ifs);
    r.add("SWITCH", switchFn);
}

} // namespace sheet::eval
