// Where the evaluator finds each function, and the helpers the families share.
#include "FnSupport.h"

#include "format/DateSerial.h"

#include <algorithm>

namespace sheet::eval {

void Registry::add(const char* name, Fn f)
{
    const QString key = QString::fromLatin1(name);
    const ptg::FunctionInfo* info = ptg::functionByName(key);
    if (info && info->index != 255 && info->index < kBuiltins) {
        if (m_builtin[static_cast<std::size_t>(info->index)])
            throw Error(QStringLiteral("%1 is registered twice").arg(key));
        m_builtin[static_cast<std::size_t>(info->index)] = f;
        return;
    }
    if (ptg::addInFunctionName(key).isEmpty() || m_addIns.contains(key))
        throw Error(QStringLiteral("%1 is no function the file format knows, or registered twice").arg(key));
    m_addIns.insert(key, f);
}

int Registry::builtinCount() const
{
    return static_cast<int>(std::count_if(m_builtin.begin(), m_builtin.end(), [](Fn f) { return f != nullptr; }));
}

QStringList Registry::names() const
{
    QStringList out = m_addIns.keys();
    for (int i = 0; i < kBuiltins; ++i)
        if (m_builtin[static_cast<std::size_t>(i)])
            out << QString::fromLatin1(ptg::functionByIndex(i)->name);
    return out;
}

const Registry& functionRegistry()
{
    static const Registry r = [] {
        Registry reg;
        registerMathFunctions(reg);
        registerStatFunctions(reg);
        registerTextFunctions(reg);
        registerDateFunctions(reg);
        registerLookupFunctions(reg);
        registerInfoFunctions(reg);
        registerFinanceFunctions(reg);
        registerDatabaseFunctions(reg);
        registerEngineeringFunctions(reg);
        return reg;
    }();
    return r;
}

Fn builtinFunction(int index) { return functionRegistry().builtin(index); }

Fn addInFunction(const QString& name)
{
    QString key = ptg::addInFunctionName(name);
    if (key.isEmpty())
        key = name;
    if (key.startsWith(QLatin1String("_xlfn."), Qt::CaseInsensitive))
        key = key.mid(6);
    return functionRegistry().addIn(key.toUpper());
}

Value gatherItemNumbers(const Evaluator& ev, const Item& it, std::vector<double>* out, Gather how)
{
    return visitItemNumbers(ev, it, how, [out](double d) { out->push_back(d); });
}

Value gatherNumbers(const Call& c, int from, int to, std::vector<double>* out, Gather how)
{
    for (int i = from; i < to && i < c.size(); ++i) {
        const Value e = gatherItemNumbers(c.ev, c.arg(i), out, how);
        if (!e.isEmpty())
            return e;
    }
    return {};
}

MatrixPtr argMatrix(const Call& c, int i, Value* error)
{
    if (i >= c.size()) {
        *error = Value::error(ErrorCode::Value);
        return nullptr;
    }
    const Item& a = c.arg(i);
    if (a.kind == Item::Kind::Val && a.v.isError()) {
        *error = a.v;
        return nullptr;
    }
    return c.ev.matrix(a, error);
}

Value dateParts(double serial, int* y, int* m, int* d)
{
    if (serial < 0 || serial >= 2958466)
        return Value::error(ErrorCode::Num);
    const double day = std::floor(serial);
    if (day == 0) {
        *y = 1900;
        *m = 1;
        *d = 0;
    } else if (day == 60) {
        *y = 1900;
        *m = 2;
        *d = 29;
    } else {
        const QDate date = serialToDate(day);
        *y = date.year();
        *m = date.month();
        *d = date.day();
    }
    return {};
}

double serialOf(int y, int m, int d)
{
    // Months past December run into the next years, days past the month's end into the next
    // months; counting in serials keeps the phantom 1900-02-29.
    const int months = y * 12 + (m - 1);
    const QDate first(months / 12 - (months < 0 && months % 12 ? 1 : 0), ((months % 12) + 12) % 12 + 1, 1);
    return dateToSerial(first) + (d - 1);
}

} // namespace sheet::eval
