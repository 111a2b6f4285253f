// Text functions.
#include "FnSupport.h"

#include "format/NumberFormat.h"

#include <QLocale>
#include <algorithm>

namespace sheet::eval {

namespace {

// Characters 128 to 159 of Windows-1252, the code page CHAR and CODE use.
const char16_t kWin1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

Item textResult(const QString& s) { return s.size() > kMaxText ? Item::err(ErrorCode::Value) : Item::str(s); }

Item len(Call& c)
{
    QString s;
    const Value e = c.text(0, &s);
    return result(e, Value::number(static_cast<double>(s.size())));
}

enum class Case { Lower, Upper, Trim, Clean, Proper };

template <Case Kind> Item transform(Call& c)
{
    QString s;
    const Value e = c.text(0, &s);
    if (!e.isEmpty())
        return Item::val(e);
    switch (Kind) {
    case Case::Lower: return Item::str(s.toLower());
    case Case::Upper: return Item::str(s.toUpper());
    case Case::Trim: {
        // Spaces only: leading and trailing ones go, runs inside become one.
        QString out;
        bool space = false;
        for (QChar ch : s) {
            if (ch == QLatin1Char(' ')) {
                space = !out.isEmpty();
                continue;
            }
            if (space)
                out += QLatin1Char(' ');
            space = false;
            out += ch;
        }
        return Item::str(out);
    }
    case Case::Clean: {
        QString out;
        for (QChar ch : s)
            if (ch.unicode() >= 32)
                out += ch;
        return Item::str(out);
    }
    case Case::Proper: break;
    }
    bool start = true; // a letter after a non-letter starts a word
    for (QChar& ch : s) {
        ch = start ? ch.toUpper() : ch.toLower();
        start = !ch.isLetter();
    }
    return Item::str(s);
}

template <bool Left> Item leftRight(Call& c)
{
    QString s;
    double n = 1;
    if (const Value e = c.read(textArg(0, &s), numArg(1, &n, c.size() > 1 ? 0 : 1)); !e.isEmpty())
        return Item::val(e);
    if (n < 0)
        return Item::err(ErrorCode::Value);
    const int k = static_cast<int>(std::min(n, 1e9));
    return Item::str(Left ? s.left(k) : s.right(k));
}

Item mid(Call& c)
{
    QString s;
    double start = 0, n = 0;
    if (const Value e = c.read(textArg(0, &s), numArg(1, &start), numArg(2, &n)); !e.isEmpty())
        return Item::val(e);
    start = std::trunc(start);
    if (start < 1 || n < 0)
        return Item::err(ErrorCode::Value);
    if (start > s.size())
        return Item::str(QString());
    return Item::str(s.mid(static_cast<qsizetype>(start) - 1, static_cast<qsizetype>(std::min(n, 1e9))));
}

Item concatenate(Call& c)
{
    QString all;
    for (int i = 0; i < c.size(); ++i) {
        QString s;
        const Value e = c.text(i, &s);
        if (!e.isEmpty())
            return Item::val(e);
        all += s;
        if (all.size() > kMaxText)
            return Item::err(ErrorCode::Value);
    }
    return Item::str(all);
}

// CONCAT and TEXTJOIN take whole ranges, row by row.
Value joined(const Call& c, int from, const QString& delimiter, bool skipEmpty, QString* out)
{
    bool first = true;
    Value error;
    for (int i = from; i < c.size(); ++i) {
        c.ev.forEach(c.arg(i), [&](const Value& v, bool) {
            QString s;
            const Value e = toText(v, &s);
            if (!e.isEmpty()) {
                error = e;
                return false;
            }
            if (skipEmpty && s.isEmpty())
                return true;
            if (!first)
                *out += delimiter;
            first = false;
            *out += s;
            if (out->size() > kMaxText) {
                error = Value::error(ErrorCode::Value);
                return false;
            }
            return true;
        });
        if (!error.isEmpty())
            return error;
    }
    return {};
}

Item concat(Call& c)
{
    QString out;
    const Value e = joined(c, 0, QString(), false, &out);
    return result(e, Value::string(out));
}

Item textJoin(Call& c)
{
    QString delimiter, out;
    bool skipEmpty = true;
    const Value e = c.read(textArg(0, &delimiter), boolArg(1, &skipEmpty, true),
                           [&](const Call& call) { return joined(call, 2, delimiter, skipEmpty, &out); });
    return result(e, Value::string(out));
}

Item rept(Call& c)
{
    QString s;
    double n = 0;
    if (const Value e = c.read(textArg(0, &s), numArg(1, &n)); !e.isEmpty())
        return Item::val(e);
    n = std::trunc(n);
    if (n < 0 || n > kMaxText || static_cast<double>(s.size()) * n > kMaxText)
        return Item::err(ErrorCode::Value);
    return Item::str(s.repeated(static_cast<qsizetype>(n)));
}

Item exact(Call& c)
{
    QString a, b;
    const Value e = c.read(textArg(0, &a), textArg(1, &b));
    return result(e, Value::boolean(a == b));
}

template <bool Find> Item findSearch(Call& c)
{
    QString what, within;
    double start = 1;
    if (const Value e = c.read(textArg(0, &what), textArg(1, &within), numArg(2, &start, 1)); !e.isEmpty())
        return Item::val(e);
    start = std::trunc(start);
    if (start < 1 || start > within.size() + (what.isEmpty() ? 1 : 0))
        return Item::err(ErrorCode::Value);
    const qsizetype from = static_cast<qsizetype>(start) - 1;
    if (what.isEmpty())
        return Item::num(start);
    qsizetype at = -1;
    if (Find) {
        at = within.indexOf(what, from, Qt::CaseSensitive);
    } else {
        // SEARCH ignores case and takes * and ? wildcards.
        const auto m = wildcardPattern(what, true).match(within, from);
        at = m.hasMatch() ? m.capturedStart() : -1;
    }
    return at < 0 ? Item::err(ErrorCode::Value) : Item::num(static_cast<double>(at) + 1);
}

Item substitute(Call& c)
{
    QString t, from, to;
    double nth = 0;
    if (const Value e = c.read(textArg(0, &t), textArg(1, &from), textArg(2, &to), numArg(3, &nth, 0)); !e.isEmpty())
        return Item::val(e);
    if (!c.has(3)) {
        if (!from.isEmpty())
            t.replace(from, to);
        return textResult(t);
    }
    nth = std::trunc(nth);
    if (nth < 1)
        return Item::err(ErrorCode::Value);
    if (from.isEmpty())
        return Item::str(t);
    qsizetype at = -1;
    for (double k = 0; k < nth; ++k) {
        at = t.indexOf(from, at + 1);
        if (at < 0)
            break;
    }
    if (at >= 0)
        t.replace(at, from.size(), to);
    return textResult(t);
}

Item replace(Call& c)
{
    QString t, with;
    double start = 0, n = 0;
    if (const Value e = c.read(textArg(0, &t), numArg(1, &start), numArg(2, &n), textArg(3, &with)); !e.isEmpty())
        return Item::val(e);
    start = std::trunc(start);
    n = std::trunc(n);
    if (start < 1 || n < 0)
        return Item::err(ErrorCode::Value);
    const qsizetype from = static_cast<qsizetype>(std::min<double>(start - 1, static_cast<double>(t.size())));
    const qsizetype count = static_cast<qsizetype>(std::min<double>(n, static_cast<double>(t.size() - from)));
    t.replace(from, count, with);
    return textResult(t);
}

Item charFn(Call& c)
{
    double x = 0;
    const Value e = c.number(0, &x);
    if (!e.isEmpty())
        return Item::val(e);
    x = std::trunc(x);
    if (x < 1 || x > 255)
        return Item::err(ErrorCode::Value);
    const int k = static_cast<int>(x);
    const char16_t ch = k >= 128 && k < 160 ? kWin1252High[k - 128] : static_cast<char16_t>(k);
    return Item::str(QString(QChar(ch)));
}

Item code(Call& c)
{
    QString s;
    const Value e = c.text(0, &s);
    if (!e.isEmpty())
        return Item::val(e);
    if (s.isEmpty())
        return Item::err(ErrorCode::Value);
    const char16_t ch = s.at(0).unicode();
    for (int k = 0; k < 32; ++k)
        if (kWin1252High[k] == ch)
            return Item::num(128 + k);
    return Item::num(ch < 256 ? ch : 63); // "?" for what the code page lacks
}

Item tFn(Call& c)
{
    const Value v = c.ev.scalar(c.arg(0).kind == Item::Kind::Ref ? Item::area([&] {
        Area a = c.arg(0).ref;
        a.r2 = a.r1;
        a.c2 = a.c1;
        a.lastSheet = a.sheet;
        return a;
    }())
                                                                 : c.arg(0));
    if (v.isError())
        return Item::val(v);
    return Item::str(v.isString() ? v.asString() : QString());
}

Item value(Call& c)
{
    const Value v = c.value(0);
    if (v.isError())
        return Item::val(v);
    if (v.isNumber())
        return Item::val(v);
    if (v.isBool())
        return Item::err(ErrorCode::Value);
    if (v.isEmpty())
        return Item::num(0);
    double d = 0;
    if (!textToNumber(v.asString().trimmed(), &d))
        return Item::err(ErrorCode::Value);
    return Item::num(d);
}

Item text(Call& c)
{
    const Value v = c.value(0);
    QString format;
    const Value e = c.text(1, &format);
    if (v.isError())
        return Item::val(v);
    if (!e.isEmpty())
        return Item::val(e);
    Value shown = v;
    double x = 0;
    if (v.isString() && textToNumber(v.asString(), &x))
        shown = Value::number(x);
    return textResult(formatValue(shown, format, QLocale()));
}

// FIXED and DOLLAR: rounded to a number of decimals (negative rounds left of the point).
Item fixedOrDollar(Call& c, bool dollar, const QLocale& locale = QLocale())
{
    double x = 0, decimals = 2;
    bool noCommas = false;
    Value e = c.read(numArg(0, &x), numArg(1, &decimals, 2));
    if (e.isEmpty() && !dollar) // DOLLAR always groups digits
        e = c.boolean(2, &noCommas, false);
    if (!e.isEmpty())
        return Item::val(e);
    decimals = std::trunc(decimals);
    if (decimals > 127)
        return Item::err(ErrorCode::Value);
    const Value rounded = roundTo(x, decimals, Rounding::Nearest);
    if (rounded.isError())
        return Item::val(rounded);
    const int places = static_cast<int>(std::clamp(decimals, 0.0, 127.0));
    QString code = noCommas ? QStringLiteral("0") : QStringLiteral("#,##0");
    if (places > 0)
        code += QLatin1Char('.') + QString(places, QLatin1Char('0'));
    if (dollar) {
        // the locale's currency symbol where the locale puts it; negative amounts with a minus
        // (as Windows writes them by default, in the United States too since Windows 10)
        const QString symbol = locale.currencySymbol(QLocale::CurrencySymbol);
        const QString quoted = QLatin1Char('"') + symbol + QLatin1Char('"');
        const QString sample = locale.toCurrencyString(1.0);
        const bool after = sample.endsWith(symbol);
        const QString gap
            = sample.contains(QLatin1Char(' ')) || sample.contains(QChar(0x00A0)) ? QStringLiteral(" ") : QString();
        const QString positive = after ? code + gap + quoted : quoted + gap + code;
        code = positive + QLatin1Char(';') + QLatin1Char('-') + positive;
    }
    return textResult(formatValue(rounded, code, locale));
}

Item fixed(Call& c) { return fixedOrDollar(c, false); }

// USDOLLAR: dollars whatever the locale.
Item usDollar(Call& c) { return fixedOrDollar(c, true, QLocale(QLocale::English, QLocale::UnitedStates)); }

// ASC and DBCS change the width of East Asian characters only where Excel runs in such a
// language; elsewhere the text stays as it is.
Item sameText(Call& c)
{
    QString t;
    const Value e = c.text(0, &t);
    return e.isEmpty() ? textResult(t) : Item::val(e);
}
Item dollar(Call& c) { return fixedOrDollar(c, true); }

// Roman numerals; forms 1 to 4 allow ever longer subtractions (499: CDXCIX, LDVLIV, XDIX,
// VDIV, ID).
QString roman(int n, int form)
{
    static const char letters[] = {'M', 'D', 'C', 'L', 'X', 'V', 'I'};
    static const int values[] = {1000, 500, 100, 50, 10, 5, 1};
    QString out;
    for (int place = 0; place <= 6; place += 2) { // M, C, X, I
        const int digit = n / values[place];
        if (digit % 5 == 4) {
            // subtract from the next five or ten: try smaller letters as the form allows
            const int big = digit == 4 ? place - 1 : place - 2;
            int small = place;
            for (int step = 0; step < form && small < 6; ++step) {
                if (values[big] - values[small + 1] <= n)
                    ++small;
                else
                    break;
            }
            out += QLatin1Char(letters[small]);
            out += QLatin1Char(letters[big]);
            n += values[small] - values[big];
        } else {
            if (digit > 4)
                out += QLatin1Char(letters[place - 1]);
            out += QString(digit % 5, QLatin1Char(letters[place]));
            n %= values[place];
        }
    }
    return out;
}

Item romanFn(Call& c)
{
    double x = 0, form = 0;
    Value e = c.number(0, &x);
    if (e.isEmpty() && c.has(1)) {
        const Value f = c.value(1);
        if (f.isBool())
            form = f.asBool() ? 0 : 4;
        else
            e = c.number(1, &form);
    }
    if (!e.isEmpty())
        return Item::val(e);
    x = std::trunc(x);
    form = std::trunc(form);
    if (x < 0 || x > 3999 || form < 0 || form > 4)
        return Item::err(ErrorCode::Value);
    return Item::str(roman(static_cast<int>(x), static_cast<int>(form)));
}

Item hyperlink(Call& c)
{
    // shows its friendly name, else the address
    const Value v = c.value(c.has(1) ? 1 : 0);
    return Item::val(v.isEmpty() ? Value::number(0) : v);
}

} // namespace

void registerTextFunctions(Registry& r)
{
    r.add("LEN", len);
    r.add("LENB", len); // LENB: one byte a character in single-byte code pages
    r.add("LOWER", transform<Case::Lower>);
    r.add("UPPER", transform<Case::Upper>);
    r.add("TRIM", transform<Case::Trim>);
    r.add("CLEAN", transform<Case::Clean>);
    r.add("PROPER", transform<Case::Proper>);
    r.add("LEFT", leftRight<true>);
    r.add("RIGHT", leftRight<false>);
    r.add("LEFTB", leftRight<true>);
    r.add("RIGHTB", leftRight<false>);
    r.add("MID", mid);
    r.add("MIDB", mid);
    r.add("CONCATENATE", concatenate);
    r.add("REPT", rept);
    r.add("EXACT", exact);
    r.add("FIND", findSearch<true>);
    r.add("FINDB", findSearch<true>);
    r.add("SEARCH", findSearch<false>);
    r.add("SEARCHB", findSearch<false>);
    r.add("SUBSTITUTE", substitute);
    r.add("REPLACE", replace);
    r.add("REPLACEB", replace);
    r.add("CHAR", charFn);
    r.add("CODE", code);
    r.add("T", tFn);
    r.add("VALUE", value);
    r.add("TEXT", text);
    r.add("FIXED", fixed);
    r.add("DOLLAR", dollar);
    r.add("USDOLLAR", usDollar);
    r.add("ASC", sameText);
    r.add("DBCS", sameText);
    r.add("ROMAN", romanFn);
    r.add("HYPERLINK", hyperlink);
    r.add("CONCAT", concat);
    r.add("TEXTJOIN", textJoin);
}

} // namespace sheet::eval
