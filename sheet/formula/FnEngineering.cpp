// Number bases (Analysis ToolPak): binary, octal and hexadecimal text in ten digits, with
// negative numbers as their complement in the top half of the range.
#include "FnSupport.h"

namespace sheet::eval {

namespace {

struct Base {
    int radix;
    int bits; // ten digits of the radix
};
constexpr Base kBin{2, 10};
constexpr Base kOct{8, 30};
constexpr Base kHex{16, 40};

// The text of a number in a base: numbers given as numbers read as their digits.
Value digitsArg(Call& c, int i, QString* out)
{
    const Value v = c.value(i);
    if (v.isError())
        return v;
    if (v.isBool())
        return Value::error(ErrorCode::Value);
    return toText(v, out);
}

// Text in a base to a number; false when it is not one (#NUM!).
bool fromBase(const QString& text, const Base& b, double* out)
{
    const QString t = text.trimmed();
    if (t.size() > 10)
        return false;
    double v = 0;
    for (QChar ch : t) {
        const int d = ch.isDigit() ? ch.digitValue() : (ch.toUpper().unicode() >= 'A' && ch.toUpper().unicode() <= 'F' ? ch.toUpper().unicode() - 'A' + 10 : 99);
        if (d >= b.radix)
            return false;
        v = v * b.radix + d;
    }
    const double full = std::ldexp(1.0, b.bits);
    if (t.size() == 10 && v >= full / 2)
        v -= full;
    *out = v;
    return true;
}

// A number to text in a base, padded to `places` digits when given.
Value toBase(double v, const Base& b, Call& c, int placesArg, QString* out)
{
    const double full = std::ldexp(1.0, b.bits);
    v = std::trunc(v);
    if (v < -full / 2 || v >= full / 2)
        return Value::error(ErrorCode::Num);
    const bool negative = v < 0;
    double x = negative ? v + full : v;
    QString s;
    do {
        const int d = static_cast<int>(std::fmod(x, b.radix));
        s.prepend(QLatin1Char("0123456789ABCDEF"[d]));
        x = std::floor(x / b.radix);
    } while (x > 0);
    if (!negative && c.has(placesArg)) {
        const Value pv = c.value(placesArg);
        double places = 0;
        if (pv.isBool())
            return Value::error(ErrorCode::Value);
        const Value e = toNumber(pv, &places);
        if (!e.isEmpty())
            return e;
        places = std::trunc(places);
        if (places <= 0 || places > 10 || places < s.size())
            return Value::error(ErrorCode::Num);
        s = s.rightJustified(static_cast<qsizetype>(places), QLatin1Char('0'));
    }
    *out = s;
    return {};
}

template <const Base& From>
Item toDecimal(Call& c)
{
    QString t;
    const Value e = digitsArg(c, 0, &t);
    if (!e.isEmpty())
        return Item::val(e);
    double v = 0;
    if (!fromBase(t, From, &v))
        return Item::err(ErrorCode::Num);
    return Item::num(v);
}

template <const Base& To>
Item fromDecimal(Call& c)
{
    double v = 0;
    const Value e = c.number(0, &v);
    if (!e.isEmpty())
        return Item::val(e);
    QString out;
    const Value e2 = toBase(v, To, c, 1, &out);
    return result(e2, Value::string(out));
}

template <const Base& From, const Base& To>
Item convert(Call& c)
{
    QString t;
    const Value e = digitsArg(c, 0, &t);
    if (!e.isEmpty())
        return Item::val(e);
    double v = 0;
    if (!fromBase(t, From, &v))
        return Item::err(ErrorCode::Num);
    QString out;
    const Value e2 = toBase(v, To, c, 1, &out);
    return result(e2, Value::string(out));
}

Item delta(Call& c)
{
    double a = 0, b = 0;
    Value e = c.number(0, &a);
    if (e.isEmpty())
        e = c.number(1, &b, 0);
    return result(e, Value::number(a == b ? 1 : 0));
}

Item gestep(Call& c)
{
    double a = 0, b = 0;
    Value e = c.number(0, &a);
    if (e.isEmpty())
        e = c.number(1, &b, 0);
    return result(e, Value::number(a >= b ? 1 : 0));
}

} // namespace

void registerEngineeringFunctions(Registry& r)
{
    r.addIn("BIN2DEC", toDecimal<kBin>);
    r.addIn("OCT2DEC", toDecimal<kOct>);
    r.addIn("HEX2DEC", toDecimal<kHex>);
    r.addIn("DEC2BIN", fromDecimal<kBin>);
    r.addIn("DEC2OCT", fromDecimal<kOct>);
    r.addIn("DEC2HEX", fromDecimal<kHex>);
    r.addIn("BIN2OCT", convert<kBin, kOct>);
    r.addIn("BIN2HEX", convert<kBin, kHex>);
    r.addIn("OCT2BIN", convert<kOct, kBin>);
    r.addIn("OCT2HEX", convert<kOct, kHex>);
    r.addIn("HEX2BIN", convert<kHex, kBin>);
    r.addIn("HEX2OCT", convert<kHex, kOct>);
    r.addIn("DELTA", delta);
    r.addIn("GESTEP", gestep);
}

} // namespace sheet::eval
