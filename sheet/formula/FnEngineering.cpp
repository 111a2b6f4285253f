// Number bases (Analysis ToolPak): binary, octal and hexadecimal text in ten digits, with
// negative numbers as their complement in the top half of the range.
#include "FnSupport.h"

#include <QLocale>

#include <cmath>
#include <complex>

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
        const int d = ch.isDigit()
            ? ch.digitValue()
            : (ch.toUpper().unicode() >= 'A' && ch.toUpper().unicode() <= 'F' ? ch.toUpper().unicode() - 'A' + 10 : 99);
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

// BIN2DEC ... HEX2OCT; a null base is a decimal number.
template <const Base* From, const Base* To> Item convert(Call& c)
{
    double v = 0;
    if constexpr (From != nullptr) {
        QString t;
        if (const Value e = digitsArg(c, 0, &t); !e.isEmpty())
            return Item::val(e);
        if (!fromBase(t, *From, &v))
            return Item::err(ErrorCode::Num);
    } else {
        if (const Value e = c.number(0, &v); !e.isEmpty())
            return Item::val(e);
    }
    if constexpr (To == nullptr) {
        return Item::num(v);
    } else {
        QString out;
        const Value e = toBase(v, *To, c, 1, &out);
        return result(e, Value::string(out));
    }
}

// DELTA (equal) and GESTEP (at least): 1 or 0.
template <bool AtLeast> Item step(Call& c)
{
    double a = 0, b = 0;
    const Value e = c.read(numArg(0, &a), numArg(1, &b, 0));
    return result(e, Value::number((AtLeast ? a >= b : a == b) ? 1 : 0));
}

// ---------------------------------------------------------------- complex numbers as text

// "3+4i", "-2.5j", "i", "4": the parts of a complex number; false when the text is none.
bool complexParts(const QString& text, double* re, double* im, QChar* suffix)
{
    const QLocale c = QLocale::c();
    bool ok = true;
    *re = *im = 0;
    *suffix = QLatin1Char('i');
    if (text.isEmpty())
        return true;
    const QChar last = text.back();
    if (last != QLatin1Char('i') && last != QLatin1Char('j')) {
        *re = c.toDouble(text, &ok);
        return ok;
    }
    *suffix = last;
    const QString body = text.chopped(1);
    // the imaginary part starts at the last sign that is not an exponent's or the first
    int split = 0;
    for (int k = static_cast<int>(body.size()) - 1; k > 0; --k) {
        if ((body[k] == QLatin1Char('+') || body[k] == QLatin1Char('-')) && body[k - 1].toLower() != QLatin1Char('e')) {
            split = k;
            break;
        }
    }
    const QString imag = body.mid(split);
    if (split > 0) {
        *re = c.toDouble(body.left(split), &ok);
        if (!ok)
            return false;
    }
    if (imag.isEmpty() || imag == QLatin1String("+") || imag == QLatin1String("-")) {
        *im = imag == QLatin1String("-") ? -1 : 1;
        return true;
    }
    if (imag.startsWith(QLatin1Char('+')) && imag.size() > 1 && !imag[1].isDigit() && imag[1] != QLatin1Char('.'))
        return false;
    *im = c.toDouble(imag, &ok);
    return ok;
}

// A complex number given as text or as a plain number; `suffix` gets its "i" or "j".
Value complexArg(Call& c, int i, double* re, double* im, QChar* suffix = nullptr)
{
    QChar own = QLatin1Char('i');
    if (!suffix)
        suffix = &own;
    *suffix = QLatin1Char('i');
    const Value v = c.value(i);
    if (v.isError())
        return v;
    if (v.isNumber()) {
        *re = v.asNumber();
        *im = 0;
        return {};
    }
    if (v.isBool())
        return Value::error(ErrorCode::Value);
    QString text;
    toText(v, &text);
    return complexParts(text, re, im, suffix) ? Value() : Value::error(ErrorCode::Num);
}

QString complexNumber(double x) { return QLocale::c().toString(x, 'g', 15); }

// "3+4i", "-2.5j", "7": as Excel writes a complex number.
QString complexText(double re, double im, const QString& suffix)
{
    if (im == 0)
        return complexNumber(re);
    QString out = re == 0 ? QString() : complexNumber(re);
    if (im == 1 || im == -1)
        out += im < 0 ? QStringLiteral("-") : (re == 0 ? QString() : QStringLiteral("+"));
    else
        out += (im > 0 && re != 0 ? QStringLiteral("+") : QString()) + complexNumber(im);
    return out + suffix;
}

Item complex(Call& c)
{
    double re = 0, im = 0;
    QString suffix = QStringLiteral("i");
    if (const Value e = c.read(numArg(0, &re), numArg(1, &im)); !e.isEmpty())
        return Item::val(e);
    if (c.has(2)) {
        if (const Value e = c.text(2, &suffix); !e.isEmpty())
            return Item::val(e);
        if (suffix.isEmpty())
            suffix = QStringLiteral("i");
        if (suffix != QLatin1String("i") && suffix != QLatin1String("j"))
            return Item::err(ErrorCode::Value);
    }
    return Item::str(complexText(re, im, suffix));
}

template <bool Real> Item complexPart(Call& c)
{
    double re = 0, im = 0;
    if (const Value e = complexArg(c, 0, &re, &im); !e.isEmpty())
        return Item::val(e);
    return Item::num(Real ? re : im);
}

enum class ComplexOp : std::uint8_t { Abs, Argument, Conjugate, Exp, Ln };

// Functions of one complex number. Results that are complex keep the argument's "i" or "j".
template <ComplexOp Op> Item complexFunction(Call& c)
{
    double re = 0, im = 0;
    QChar suffix;
    if (const Value e = complexArg(c, 0, &re, &im, &suffix); !e.isEmpty())
        return Item::val(e);
    const std::complex<double> z(re, im);
    std::complex<double> w;
    switch (Op) {
    case ComplexOp::Abs: return Item::num(std::abs(z));
    case ComplexOp::Argument:
        if (z == 0.0)
            return Item::err(ErrorCode::Div0);
        return Item::num(std::arg(z));
    case ComplexOp::Conjugate: w = std::conj(z); break;
    case ComplexOp::Exp: w = std::exp(z); break;
    case ComplexOp::Ln:
        if (z == 0.0)
            return Item::err(ErrorCode::Num);
        w = std::log(z);
        break;
    }
    if (!std::isfinite(w.real()) || !std::isfinite(w.imag()))
        return Item::err(ErrorCode::Num);
    return Item::str(complexText(w.real(), w.imag(), QString(suffix)));
}

} // namespace

void registerEngineeringFunctions(Registry& r)
{
    r.add("IMABS", complexFunction<ComplexOp::Abs>);
    r.add("IMARGUMENT", complexFunction<ComplexOp::Argument>);
    r.add("IMCONJUGATE", complexFunction<ComplexOp::Conjugate>);
    r.add("IMEXP", complexFunction<ComplexOp::Exp>);
    r.add("IMLN", complexFunction<ComplexOp::Ln>);
    r.add("COMPLEX", complex);
    r.add("IMREAL", complexPart<true>);
    r.add("IMAGINARY", complexPart<false>);
    constexpr const Base* kDec = nullptr;
    r.add("BIN2DEC", convert<&kBin, kDec>);
    r.add("OCT2DEC", convert<&kOct, kDec>);
    r.add("HEX2DEC", convert<&kHex, kDec>);
    r.add("DEC2BIN", convert<kDec, &kBin>);
    r.add("DEC2OCT", convert<kDec, &kOct>);
    r.add("DEC2HEX", convert<kDec, &kHex>);
    r.add("BIN2OCT", convert<&kBin, &kOct>);
    r.add("BIN2HEX", convert<&kBin, &kHex>);
    r.add("OCT2BIN", convert<&kOct, &kBin>);
    r.add("OCT2HEX", convert<&kOct, &kHex>);
    r.add("HEX2BIN", convert<&kHex, &kBin>);
    r.add("HEX2OCT", convert<&kHex, &kOct>);
    r.add("DELTA", step<false>);
    r.add("GESTEP", step<true>);
}

} // namespace sheet::eval
