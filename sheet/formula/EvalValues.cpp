// Conversions between values as the spreadsheet makes them in formulas.
#include "EvalTypes.h"

#include "format/Decimal.h"
#include "format/TypedInput.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace sheet::eval {

using decimal::round15;

Value checked(double d)
{
    if (!std::isfinite(d))
        return Value::error(ErrorCode::Num);
    return Value::number(d == 0 ? 0.0 : d); // no "-0"
}

QString numberToText(double v)
{
    if (v == 0 || !std::isfinite(v))
        return QStringLiteral("0");
    // 15 significant digits; whole-number style up to 20 digits before the point and up to
    // 20 characters after "0." below one, the exponent form beyond.
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, 14);
    const std::string s(buf, r.ptr);
    const std::size_t e = s.find('e');
    std::string digits = s.substr(0, 1) + s.substr(2, e - 2);
    const int exponent = std::stoi(s.substr(e + 1));
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const int sig = static_cast<int>(digits.size());
    std::string out;
    auto scientific = [&](char sign, int x) {
        out = digits.substr(0, 1);
        if (sig > 1)
            out += '.' + digits.substr(1);
        out += 'E';
        out += sign;
        if (x < 10)
            out += '0';
        out += std::to_string(x);
    };
    if (exponent < 0) {
        const int leadingZeros = -exponent - 1;
        if (2 + leadingZeros + sig > 20)
            scientific('-', -exponent);
        else
            out = "0." + std::string(static_cast<std::size_t>(leadingZeros), '0') + digits;
    } else if (exponent > 19) {
        scientific('+', exponent);
    } else if (sig > exponent + 1) {
        out = digits.substr(0, static_cast<std::size_t>(exponent) + 1) + '.'
            + digits.substr(static_cast<std::size_t>(exponent) + 1);
    } else {
        out = digits + std::string(static_cast<std::size_t>(exponent + 1 - sig), '0');
    }
    QString text = QString::fromLatin1(out.data(), static_cast<qsizetype>(out.size()));
    if (v < 0)
        text.prepend(QLatin1Char('-'));
    const QLocale locale;
    if (locale.decimalPoint() != QLatin1String("."))
        text.replace(QLatin1Char('.'), locale.decimalPoint());
    return text;
}

bool textToNumber(const QString& s, double* out)
{
    const TypedInput in = interpretTypedInput(s, QLocale(), QString());
    if (in.kind != TypedInput::Kind::Number)
        return false;
    *out = in.number;
    return true;
}

Value toNumber(const Value& v, double* out)
{
    switch (v.type()) {
    case Value::Type::Empty: *out = 0; return {};
    case Value::Type::Number:
    case Value::Type::Bool: *out = v.asNumber(); return {};
    case Value::Type::Error: return v;
    case Value::Type::String:
        if (textToNumber(v.asString(), out))
            return {};
        return Value::error(ErrorCode::Value);
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

int compareValues(const Value& a, const Value& b)
{
    auto rank = [](const Value& v) {
        switch (v.type()) {
        case Value::Type::String: return 1;
        case Value::Type::Bool: return 2;
        default: return 0;
        }
    };
    if (a.isEmpty() && b.isEmpty())
        return 0;
    if (a.isEmpty() || b.isEmpty()) {
        // an empty value stands for the other side's zero: 0, "" or FALSE
        auto zeroLike = [](const Value& o) {
            return o.isString() ? Value::string(QString()) : o.isBool() ? Value::boolean(false) : Value::number(0);
        };
        return compareValues(a.isEmpty() ? zeroLike(b) : a, b.isEmpty() ? zeroLike(a) : b);
    }
    if (rank(a) != rank(b))
        return rank(a) < rank(b) ? -1 : 1;
    if (a.isString()) {
        const int c = a.asString().compare(b.asString(), Qt::CaseInsensitive);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    const double p = round15(a.asNumber()), q = round15(b.asNumber());
    return p < q ? -1 : p > q ? 1 : 0;
}

Value roundTo(double x, double digits, Rounding mode)
{
    const int n = static_cast<int>(std::trunc(std::clamp(digits, -400.0, 400.0)));
    if (n > 15 || n < -308)
        return checked(n > 15 ? x : 0);
    const double scale = std::pow(10.0, n);
    const double scaled = round15(std::fabs(x) * scale);
    double r = 0;
    switch (mode) {
    case Rounding::Nearest: r = std::floor(scaled + 0.5); break;
    case Rounding::AwayFromZero: r = std::ceil(scaled); break;
    case Rounding::TowardZero: r = std::floor(scaled); break;
    }
    r /= scale;
    return checked(x < 0 ? -r : r);
}

bool hasWildcards(const QString& s)
{
    return s.contains(QLatin1Char('*')) || s.contains(QLatin1Char('?')) || s.contains(QLatin1Char('~'));
}

QRegularExpression wildcardPattern(const QString& pattern, bool anywhere)
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
                              QRegularExpression::CaseInsensitiveOption
                                  | QRegularExpression::DotMatchesEverythingOption);
}

Criterion Criterion::from(const Value& v)
{
    Criterion c;
    if (!v.isString()) {
        c.operand = v.isEmpty() ? Value::number(0) : v;
        return c;
    }
    QString t = v.asString();
    static const struct {
        const char* text;
        Op op;
    } ops[] = {{"<=", Op::Le}, {">=", Op::Ge}, {"<>", Op::Ne}, {"<", Op::Lt}, {">", Op::Gt}, {"=", Op::Eq}};
    for (const auto& o : ops) {
        if (t.startsWith(QLatin1String(o.text))) {
            c.op = o.op;
            t = t.mid(static_cast<qsizetype>(std::strlen(o.text)));
            break;
        }
    }
    c.bareEquals = c.op == Op::Eq && t.isEmpty() && !v.asString().isEmpty();
    c.text = t;
    double d = 0;
    ErrorCode e;
    if (t.isEmpty())
        c.operand = Value();
    else if (textToNumber(t, &d))
        c.operand = Value::number(d);
    else if (t.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0
             || t.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0)
        c.operand = Value::boolean(t.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0);
    else if (errorFromText(t, &e))
        c.operand = Value::error(e);
    else
        c.operand = Value::string(t);
    c.pattern = c.operand.isString() && (c.op == Op::Eq || c.op == Op::Ne) && hasWildcards(t);
    if (c.pattern)
        c.rx = wildcardPattern(t);
    return c;
}

bool Criterion::meets(const Value& v) const
{
    const Value& x = operand;
    if (x.isEmpty()) {
        // "=" matches blank cells, "<>" anything else; "" matches empty text too.
        const bool blank = v.isEmpty() || (!bareEquals && v.isString() && v.asString().isEmpty());
        if (op == Op::Eq)
            return blank;
        if (op == Op::Ne)
            return !v.isEmpty();
        return false;
    }
    bool equal = false;
    int cmp = 0;
    bool comparable = false;
    if (x.isNumber()) {
        double d = 0;
        if (v.isNumber()) {
            cmp = compareValues(v, x);
            comparable = true;
        } else if (v.isString() && op == Op::Eq && textToNumber(v.asString(), &d)) {
            // numeric criteria also find numbers kept as text
            return compareValues(Value::number(d), x) == 0;
        }
    } else if (x.isString()) {
        if (v.isString()) {
            if (pattern) {
                const bool m = rx.match(v.asString()).hasMatch();
                return op == Op::Eq ? m : !m;
            }
            cmp = compareValues(v, x);
            comparable = true;
        }
    } else if (x.isBool()) {
        if (v.isBool()) {
            cmp = compareValues(v, x);
            comparable = true;
        }
    } else if (x.isError()) {
        if (v.isError()) {
            cmp = v.asError() == x.asError() ? 0 : 1;
            comparable = op == Op::Eq || op == Op::Ne;
        }
    }
    equal = comparable && cmp == 0;
    switch (op) {
    case Op::Eq: return equal;
    case Op::Ne: return !equal;
    case Op::Lt: return comparable && cmp < 0;
    case Op::Le: return comparable && cmp <= 0;
    case Op::Gt: return comparable && cmp > 0;
    case Op::Ge: return comparable && cmp >= 0;
    }
    return false;
}

} // namespace sheet::eval
