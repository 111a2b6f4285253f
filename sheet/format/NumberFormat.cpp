#include "NumberFormat.h"

#include "DateSerial.h"
#include "Decimal.h"

#include <QHash>
#include <QStringList>
#include <algorithm>
#include <charconv>
#include <string>
#include <utility>
#include <cmath>
#include <vector>

namespace sheet {

namespace {

struct Builtin {
    int index;
    const char* code;
};

// Built-in formats that need no FORMAT record (US English codes).
constexpr Builtin kBuiltins[] = {
    {0, "General"},
    {1, "0"},
    {2, "0.00"},
    {3, "#,##0"},
    {4, "#,##0.00"},
    {5, "\"$\"#,##0_);(\"$\"#,##0)"},
    {6, "\"$\"#,##0_);[Red](\"$\"#,##0)"},
    {7, "\"$\"#,##0.00_);(\"$\"#,##0.00)"},
    {8, "\"$\"#,##0.00_);[Red](\"$\"#,##0.00)"},
    {9, "0%"},
    {10, "0.00%"},
    {11, "0.00E+00"},
    {12, "# ?/?"},
    {13, "# ?\?/?\?"},
    {14, "m/d/yyyy"},
    {15, "d-mmm-yy"},
    {16, "d-mmm"},
    {17, "mmm-yy"},
    {18, "h:mm AM/PM"},
    {19, "h:mm:ss AM/PM"},
    {20, "h:mm"},
    {21, "h:mm:ss"},
    {22, "m/d/yyyy h:mm"},
    {37, "#,##0_);(#,##0)"},
    {38, "#,##0_);[Red](#,##0)"},
    {39, "#,##0.00_);(#,##0.00)"},
    {40, "#,##0.00_);[Red](#,##0.00)"},
    {41, "_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)"},
    {42, "_(\"$\"* #,##0_);_(\"$\"* (#,##0);_(\"$\"* \"-\"_);_(@_)"},
    {43, "_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"??_);_(@_)"},
    {44, "_(\"$\"* #,##0.00_);_(\"$\"* (#,##0.00);_(\"$\"* \"-\"??_);_(@_)"},
    {45, "mm:ss"},
    {46, "[h]:mm:ss"},
    {47, "mm:ss.0"},
    {48, "##0.0E+0"},
    {49, "@"},
};

using decimal::round15;

// Decimal digits of a non-negative value rounded half away from zero to `decimals`
// places, from its 15-significant-digit form so that 1.005 shows as 1.01 as in the
// spreadsheet. Returns integer digits (no leading zeros, "" for 0) and decimals.
void decimalDigits(double a, int decimals, QString* intPart, QString* decPart)
{
    // Only the 15 significant digits the spreadsheet keeps take part; beyond them pad zeros.
    decimals = std::clamp(decimals, 0, 340);
    const double r = round15(a);
    if (!std::isfinite(r) || r < 0) {
        intPart->clear();
        *decPart = QString(decimals, QLatin1Char('0'));
        return;
    }
    const int e = r > 0 ? static_cast<int>(std::floor(std::log10(r))) : 0;
    char buf[720];
    const auto res = std::to_chars(buf, buf + sizeof buf, r, std::chars_format::fixed, std::clamp(14 - e, 0, 340));
    std::string s(buf, res.ptr);
    const std::size_t dot = s.find('.');
    std::string digits = dot == std::string::npos ? s : s.substr(0, dot);
    const std::size_t intLen = digits.size();
    std::string dp = dot == std::string::npos ? std::string() : s.substr(dot + 1);
    dp.resize(static_cast<std::size_t>(decimals) + 1, '0');
    const bool up = dp[decimals] >= '5';
    digits += dp.substr(0, decimals);
    std::size_t len = intLen;
    if (up) {
        int i = static_cast<int>(digits.size()) - 1;
        for (; i >= 0; --i) {
            if (digits[i] == '9') {
                digits[i] = '0';
            } else {
                ++digits[i];
                break;
            }
        }
        if (i < 0) {
            digits.insert(digits.begin(), '1');
            ++len;
        }
    }
    std::size_t lead = 0;
    while (lead < len && digits[lead] == '0')
        ++lead;
    *intPart = QString::fromLatin1(digits.data() + lead, static_cast<qsizetype>(len - lead));
    *decPart = QString::fromLatin1(digits.data() + len, static_cast<qsizetype>(decimals));
}

// a / 10^e for any e a double can reach, without 10^e overflowing or vanishing.
double divPow10(double a, int e)
{
    if (e < -290)
        return (a * 1e300) / std::pow(10.0, e + 300);
    if (e > 290)
        return (a / 1e300) / std::pow(10.0, e - 300);
    return a / std::pow(10.0, e);
}

QString groupDigits(const QString& digits, const QString& sep)
{
    QString out;
    const int n = digits.size();
    for (int i = 0; i < n; ++i) {
        out.append(digits[i]);
        const int left = n - 1 - i;
        if (left > 0 && left % 3 == 0 && digits[i].isDigit())
            out.append(sep);
    }
    return out;
}

// --- Format code sections ---------------------------------------------------------------

enum class Kind {
    Literal,  // text shown as is
    Digit,    // 0 # ?
    Point,    // decimal point
    Exponent, // E+ E- e+ e-
    Slash,    // fraction bar
    Percent,
    Text,    // @
    General, // the word General inside a section
    Year,
    Month,
    Day,
    Hour,
    Minute,
    Second,
    AmPm,
    Elapsed,
    SubSecond,
};

struct Elem {
    Kind kind = Kind::Literal;
    QString text; // literal text, or the placeholder character / date token as written
    int width = 0;
};

struct Section {
    std::vector<Elem> elems;
    bool hasCondition = false;
    QString condOp;
    double condValue = 0;
};

bool isDateLetter(QChar c)
{
    const QChar l = c.toLower();
    return l == QLatin1Char('y') || l == QLatin1Char('m') || l == QLatin1Char('d') || l == QLatin1Char('h')
        || l == QLatin1Char('s');
}

QStringList splitSections(const QString& code)
{
    QStringList out;
    QString cur;
    bool quoted = false, bracket = false;
    for (int i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (quoted) {
            cur.append(c);
            if (c == QLatin1Char('"'))
                quoted = false;
        } else if (bracket) {
            cur.append(c);
            if (c == QLatin1Char(']'))
                bracket = false;
        } else if (c == QLatin1Char('\\') && i + 1 < code.size()) {
            cur.append(c);
            cur.append(code[++i]);
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            cur.append(c);
        } else if (c == QLatin1Char('[')) {
            bracket = true;
            cur.append(c);
        } else if (c == QLatin1Char(';')) {
            out.append(cur);
            cur.clear();
        } else {
            cur.append(c);
        }
    }
    out.append(cur);
    return out;
}

void addLiteral(Section& s, const QString& t)
{
    if (t.isEmpty())
        return;
    if (!s.elems.empty() && s.elems.back().kind == Kind::Literal)
        s.elems.back().text += t;
    else
        s.elems.push_back({Kind::Literal, t, 0});
}

// A bracketed option: elapsed time ("[h]"), a currency or locale ("[$-409]"), a condition
// ("[<100]"); colours and other options change nothing in the text.
void parseBracket(Section& s, const QString& inner)
{
    const QString li = inner.toLower();
    if (!li.isEmpty() && (li.count(li[0]) == li.size())
        && (li[0] == QLatin1Char('h') || li[0] == QLatin1Char('m') || li[0] == QLatin1Char('s'))) {
        s.elems.push_back({Kind::Elapsed, li, static_cast<int>(li.size())});
    } else if (inner.startsWith(QLatin1Char('$'))) {
        const int dash = inner.indexOf(QLatin1Char('-'));
        addLiteral(s, inner.mid(1, (dash < 0 ? inner.size() : dash) - 1));
    } else if (!inner.isEmpty()
               && (inner[0] == QLatin1Char('<') || inner[0] == QLatin1Char('>') || inner[0] == QLatin1Char('='))) {
        int k = 0;
        while (k < inner.size() && QStringLiteral("<>=").contains(inner[k]))
            ++k;
        s.hasCondition = true;
        s.condOp = inner.left(k);
        s.condValue = inner.mid(k).trimmed().toDouble();
    }
}

// Text the code shows as it is: quoted, escaped, room for a character, a fill, an option in
// brackets. Returns the position after it, or -1 when the code has none at i.
int parseLiteral(Section& s, const QString& code, int i)
{
    const int n = code.size();
    const QChar c = code[i];
    if (c == QLatin1Char('"')) {
        const int end = code.indexOf(QLatin1Char('"'), i + 1);
        addLiteral(s, code.mid(i + 1, (end < 0 ? n : end) - i - 1));
        return end < 0 ? n : end + 1;
    }
    if (c == QLatin1Char('\\')) {
        if (i + 1 < n)
            addLiteral(s, code.mid(i + 1, 1));
        return i + 2;
    }
    if (c == QLatin1Char('_')) {
        addLiteral(s, QStringLiteral(" ")); // room for the next character
        return i + 2;
    }
    if (c == QLatin1Char('*'))
        return i + 2; // fill to the column width: nothing at a free width
    if (c == QLatin1Char('[')) {
        const int end = code.indexOf(QLatin1Char(']'), i + 1);
        parseBracket(s, code.mid(i + 1, (end < 0 ? n : end) - i - 1));
        return end < 0 ? n : end + 1;
    }
    return -1;
}

// Digits, point, percent, text, fraction slash, exponent. Returns the position after it, or
// -1 when the code has none at i.
int parseNumberPart(Section& s, const QString& code, int i)
{
    const QChar c = code[i];
    Kind kind;
    if (c == QLatin1Char('0') || c == QLatin1Char('#') || c == QLatin1Char('?'))
        kind = Kind::Digit;
    else if (c == QLatin1Char('.'))
        kind = Kind::Point;
    else if (c == QLatin1Char('%'))
        kind = Kind::Percent;
    else if (c == QLatin1Char('@'))
        kind = Kind::Text;
    else if (c == QLatin1Char('/'))
        kind = Kind::Slash;
    else if (c.toLower() == QLatin1Char('e') && i + 1 < code.size()
             && (code[i + 1] == QLatin1Char('+') || code[i + 1] == QLatin1Char('-'))) {
        s.elems.push_back({Kind::Exponent, code.mid(i, 2), 0});
        return i + 2;
    } else
        return -1;
    s.elems.push_back({kind, QString(c), kind == Kind::Digit ? 1 : 0});
    return i + 1;
}

// General, AM/PM, A/P and runs of date and time letters. Returns the position after it, or
// -1 when the code has none at i.
int parseWordOrDate(Section& s, const QString& code, int i)
{
    auto at = [&](const char* word, int size) {
        return code.mid(i, size).compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    };
    if (at("General", 7)) {
        s.elems.push_back({Kind::General, QString(), 0});
        return i + 7;
    }
    for (const auto& [word, size] : {std::pair<const char*, int>{"AM/PM", 5}, {"A/P", 3}}) {
        if (at(word, size)) {
            s.elems.push_back({Kind::AmPm, code.mid(i, size), size});
            return i + size;
        }
    }
    const QChar lower = code[i].toLower();
    if (!isDateLetter(code[i]))
        return -1;
    int j = i;
    while (j < code.size() && code[j].toLower() == lower)
        ++j;
    Kind k = Kind::Second;
    switch (lower.unicode()) {
    case 'y': k = Kind::Year; break;
    case 'm': k = Kind::Month; break;
    case 'd': k = Kind::Day; break;
    case 'h': k = Kind::Hour; break;
    default: break;
    }
    s.elems.push_back({k, code.mid(i, j - i), j - i});
    return j;
}

// "m" right after hours or right before seconds means minutes.
void markMinutes(Section& s)
{
    int lastTime = -1;
    for (std::size_t k = 0; k < s.elems.size(); ++k) {
        Elem& e = s.elems[k];
        if (e.kind == Kind::Hour || (e.kind == Kind::Elapsed && e.text[0] == QLatin1Char('h'))) {
            lastTime = static_cast<int>(k);
        } else if (e.kind == Kind::Month && e.width <= 2) {
            bool minute = lastTime >= 0;
            for (std::size_t j = k + 1; j < s.elems.size() && !minute; ++j) {
                if (s.elems[j].kind == Kind::Second
                    || (s.elems[j].kind == Kind::Elapsed && s.elems[j].text[0] == QLatin1Char('s')))
                    minute = true;
                else if (s.elems[j].kind != Kind::Literal && s.elems[j].kind != Kind::Point)
                    break;
            }
            if (minute)
                e.kind = Kind::Minute;
            lastTime = -1;
        } else if (e.kind != Kind::Literal && e.kind != Kind::Point) {
            lastTime = -1; // a separator ("hh:mm", "hh.mm") keeps the hours in view
        }
    }
}

// A decimal point after seconds starts fractions of a second ("ss.0").
void markSubSeconds(Section& s)
{
    for (std::size_t k = 1; k < s.elems.size(); ++k) {
        if (s.elems[k].kind != Kind::Point || s.elems[k - 1].kind != Kind::Second)
            continue;
        int w = 0;
        std::size_t j = k + 1;
        while (j < s.elems.size() && s.elems[j].kind == Kind::Digit && s.elems[j].text == QLatin1String("0")) {
            ++w;
            ++j;
        }
        s.elems.erase(s.elems.begin() + k + 1, s.elems.begin() + j);
        s.elems[k] = {Kind::SubSecond, QString(), w};
    }
}

Section parseSection(const QString& code)
{
    Section s;
    for (int i = 0; i < code.size();) {
        int next = parseLiteral(s, code, i);
        if (next < 0)
            next = parseNumberPart(s, code, i);
        if (next < 0)
            next = parseWordOrDate(s, code, i);
        if (next < 0) {
            addLiteral(s, QString(code[i]));
            next = i + 1;
        }
        i = next;
    }
    markMinutes(s);
    markSubSeconds(s);
    return s;
}

bool sectionIsDate(const Section& s)
{
    for (const Elem& e : s.elems) {
        switch (e.kind) {
        case Kind::Year:
        case Kind::Month:
        case Kind::Day:
        case Kind::Hour:
        case Kind::Minute:
        case Kind::Second:
        case Kind::AmPm:
        case Kind::Elapsed: return true;
        default: break;
        }
    }
    return false;
}

bool sectionIsFraction(const Section& s)
{
    for (std::size_t k = 0; k < s.elems.size(); ++k) {
        if (s.elems[k].kind != Kind::Slash)
            continue;
        bool before = false, after = false;
        for (std::size_t j = k; j-- > 0;) {
            if (s.elems[j].kind == Kind::Digit) {
                before = true;
                break;
            }
            if (s.elems[j].kind != Kind::Literal)
                break;
        }
        for (std::size_t j = k + 1; j < s.elems.size(); ++j) {
            if (s.elems[j].kind == Kind::Digit) {
                after = true;
                break;
            }
            if (s.elems[j].kind == Kind::Literal && s.elems[j].text.trimmed().toInt() > 0) {
                after = true;
                break;
            }
            if (s.elems[j].kind != Kind::Literal)
                break;
        }
        if (before && after)
            return !sectionIsDate(s);
    }
    return false;
}

bool conditionHolds(const Section& s, double v)
{
    const QString& op = s.condOp;
    const double c = s.condValue;
    if (op == QLatin1String("<"))
        return v < c;
    if (op == QLatin1String("<="))
        return v <= c;
    if (op == QLatin1String(">"))
        return v > c;
    if (op == QLatin1String(">="))
        return v >= c;
    if (op == QLatin1String("<>"))
        return v != c;
    return v == c;
}

// --- General ------------------------------------------------------------------------------

QString scientific(double a, int width, const QString& point)
{
    int e = static_cast<int>(std::floor(std::log10(a)));
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QString expText = QString::number(std::abs(e)).rightJustified(2, QLatin1Char('0'));
        const int decimals = std::max(0, width - 2 - 2 - static_cast<int>(expText.size()));
        QString ip, dp;
        decimalDigits(divPow10(a, e), decimals, &ip, &dp);
        if (ip.size() > 1) { // rounded up to 10
            ++e;
            continue;
        }
        while (dp.endsWith(QLatin1Char('0')))
            dp.chop(1);
        return (ip.isEmpty() ? QStringLiteral("0") : ip) + (dp.isEmpty() ? QString() : point + dp)
            + (e < 0 ? QStringLiteral("E-") : QStringLiteral("E+")) + expText;
    }
    return QStringLiteral("0");
}

QString general(double v, const QLocale& locale, int width = 11)
{
    if (v == 0 || !std::isfinite(v))
        return QStringLiteral("0");
    const QString point = locale.decimalPoint();
    const double a = std::fabs(v);
    const QString sign = v < 0 ? QStringLiteral("-") : QString();
    const int e = static_cast<int>(std::floor(std::log10(a)));
    int decimals;
    if (e >= 0)
        decimals = std::max(0, width - (e + 1) - 1);
    else
        decimals = width - 2;
    if (e < width && -e - 1 < decimals) {
        QString ip, dp;
        decimalDigits(a, decimals, &ip, &dp);
        while (dp.endsWith(QLatin1Char('0')))
            dp.chop(1);
        if (ip.isEmpty())
            ip = QStringLiteral("0");
        if (ip.size() <= width && !(ip == QLatin1String("0") && dp.isEmpty()))
            return sign + ip + (dp.isEmpty() ? QString() : point + dp);
    }
    return sign + scientific(a, width, point);
}

// --- Numbers ------------------------------------------------------------------------------

QString fillInteger(const std::vector<const Elem*>& places, const QString& digits)
{
    // Right to left; surplus digits all go to the leftmost placeholder.
    QString out;
    int di = digits.size() - 1;
    for (int k = static_cast<int>(places.size()) - 1; k >= 0; --k) {
        const QChar p = places[k]->text[0];
        if (k == 0) {
            if (di >= 0)
                out.prepend(digits.left(di + 1));
            else if (p == QLatin1Char('0'))
                out.prepend(QLatin1Char('0'));
            else if (p == QLatin1Char('?'))
                out.prepend(QLatin1Char(' '));
            break;
        }
        if (di >= 0)
            out.prepend(digits[di--]);
        else if (p == QLatin1Char('0'))
            out.prepend(QLatin1Char('0'));
        else if (p == QLatin1Char('?'))
            out.prepend(QLatin1Char(' '));
    }
    return out;
}

// A number section's elements with its literal commas read: between digit placeholders they
// group thousands, right after the last placeholder each one divides by 1000.
struct NumberLayout {
    std::vector<Elem> elems;
    bool grouping = false;
    int scale = 0; // divide by 1000 this many times
};

NumberLayout readThousands(const std::vector<Elem>& el)
{
    int firstDigit = -1, lastDigit = -1;
    for (int k = 0; k < static_cast<int>(el.size()); ++k)
        if (el[k].kind == Kind::Digit) {
            if (firstDigit < 0)
                firstDigit = k;
            lastDigit = k;
        }
    NumberLayout out;
    int expAt = -1;
    for (int k = 0; k < static_cast<int>(el.size()); ++k) {
        Elem e = el[k];
        if (e.kind == Kind::Exponent && expAt < 0)
            expAt = k;
        if (e.kind == Kind::Literal && e.text.contains(QLatin1Char(',')) && firstDigit >= 0) {
            QString rest;
            for (QChar c : e.text) {
                if (c != QLatin1Char(',')) {
                    rest.append(c);
                    continue;
                }
                if (k > firstDigit && k < lastDigit && (expAt < 0 || k < expAt))
                    out.grouping = true;
                else if (k > lastDigit || (k > firstDigit && k < lastDigit))
                    ++out.scale;
                else
                    rest.append(c);
            }
            if (rest.isEmpty())
                continue;
            e.text = rest;
        }
        out.elems.push_back(e);
    }
    return out;
}

// The digit placeholders of each region: integer before the point, decimals after it,
// exponent digits after E+.
struct Places {
    std::vector<const Elem*> integer, decimals, exponent;
    const Elem* exponentSign = nullptr; // the E+ / E- element
};

Places placesOf(const std::vector<Elem>& el)
{
    Places p;
    int region = 0; // 0 integer, 1 decimals, 2 exponent
    for (const Elem& e : el) {
        if (e.kind == Kind::Point && region == 0) {
            region = 1;
        } else if (e.kind == Kind::Exponent && !p.exponentSign) {
            region = 2;
            p.exponentSign = &e;
        } else if (e.kind == Kind::Digit) {
            (region == 0 ? p.integer : region == 1 ? p.decimals : p.exponent).push_back(&e);
        }
    }
    return p;
}

// Decimals: trailing zeros vanish under '#' and turn into blanks under '?'.
QString decimalsText(const QString& dp, const std::vector<const Elem*>& places)
{
    QString out;
    int last = static_cast<int>(dp.size()) - 1;
    while (last >= 0 && dp[last] == QLatin1Char('0') && places[last]->text != QLatin1String("0"))
        --last;
    for (int k = 0; k < static_cast<int>(dp.size()); ++k) {
        if (k <= last)
            out.append(dp[k]);
        else if (places[k]->text == QLatin1String("?"))
            out.append(QLatin1Char(' '));
    }
    return out;
}

QString exponentText(int exponent, const Places& p)
{
    QString digits = QString::number(std::abs(exponent));
    while (digits.size() < static_cast<int>(p.exponent.size()))
        digits.prepend(QLatin1Char('0'));
    const QString sign = exponent < 0 ? QStringLiteral("-")
                                      : (p.exponentSign->text[1] == QLatin1Char('+') ? QStringLiteral("+") : QString());
    return p.exponentSign->text.left(1).toUpper() + sign + digits;
}

// The digits of a, scaled for an exponent when the format has one: integer and decimal
// digits, and the exponent.
struct Digits {
    QString integer, decimals;
    int exponent = 0;
    double scaled = 0; // a over ten to the exponent
};

Digits digitsOf(double a, const Places& p)
{
    Digits d;
    if (p.exponentSign && a != 0) {
        const int places = static_cast<int>(p.integer.size());
        const int step = places > 1 && p.integer.front()->text != QLatin1String("0") ? places : 1;
        d.exponent = static_cast<int>(std::floor(std::log10(a)));
        d.exponent -= ((d.exponent % step) + step) % step;
        a = divPow10(a, d.exponent);
    }
    decimalDigits(a, static_cast<int>(p.decimals.size()), &d.integer, &d.decimals);
    if (p.exponentSign && static_cast<std::size_t>(d.integer.size()) > std::max<std::size_t>(1, p.integer.size())) {
        // Rounding carried into a new digit: 9.99E+00 -> 1.00E+01.
        a /= 10;
        d.exponent += 1;
        decimalDigits(a, static_cast<int>(p.decimals.size()), &d.integer, &d.decimals);
    }
    d.scaled = a;
    return d;
}

// The section's elements with the number's parts put in their places.
struct NumberParts {
    QString integer, decimals, exponent;
    bool exponentHasDigits = false;
};

QString assembleNumber(const std::vector<Elem>& el, const NumberParts& parts, double a, const QLocale& locale)
{
    QString out;
    bool intDone = false, expDone = false;
    int region = 0;
    std::size_t decIndex = 0;
    auto integerOnce = [&] {
        if (!intDone)
            out += parts.integer;
        intDone = true;
    };
    for (const Elem& e : el) {
        switch (e.kind) {
        case Kind::Digit:
            if (region == 0) {
                integerOnce();
            } else if (region == 1) {
                if (decIndex < static_cast<std::size_t>(parts.decimals.size()))
                    out += parts.decimals[static_cast<int>(decIndex)];
                ++decIndex;
            } else if (!expDone) {
                out += parts.exponent;
                expDone = true;
            }
            break;
        case Kind::Point:
            if (region == 0) {
                integerOnce();
                out += locale.decimalPoint();
                region = 1;
            }
            break;
        case Kind::Exponent:
            region = 2;
            if (!parts.exponentHasDigits) {
                out += parts.exponent;
                expDone = true;
            }
            break;
        case Kind::Percent: out += QLatin1Char('%'); break;
        case Kind::General: out += general(a, locale); break;
        case Kind::Text: break;
        default: out += e.text; break;
        }
    }
    return out;
}

QString formatNumber(double v, const Section& s, const QLocale& locale, bool showSign)
{
    const NumberLayout layout = readThousands(s.elems);
    double a = std::fabs(v);
    for (const Elem& e : layout.elems)
        if (e.kind == Kind::Percent)
            a *= 100;
    a /= std::pow(1000.0, layout.scale);
    if (!std::isfinite(a))
        return QStringLiteral("########"); // too wide to show

    const Places places = placesOf(layout.elems);
    const Digits digits = digitsOf(a, places);
    NumberParts parts;
    parts.integer = places.integer.empty() ? digits.integer : fillInteger(places.integer, digits.integer);
    if (layout.grouping)
        parts.integer = groupDigits(parts.integer, locale.groupSeparator());
    parts.decimals = decimalsText(digits.decimals, places.decimals);
    if (places.exponentSign)
        parts.exponent = exponentText(digits.exponent, places);
    parts.exponentHasDigits = !places.exponent.empty();
    // A negative value keeps its sign even when it rounds to zero ("-0.00"), as the
    // spreadsheet shows it.
    QString out = assembleNumber(layout.elems, parts, digits.scaled, locale);
    if (showSign && v < 0)
        out.prepend(QLatin1Char('-'));
    return out;
}

// Where a fraction's parts are among the section's elements: [integer placeholders] literal
// [numerator placeholders] / [denominator placeholders or a fixed denominator].
struct FractionLayout {
    int intStart = 0, intEnd = 0; // the integer part's placeholders
    bool hasInt = false;
    int numStart = 0, slash = -1; // the numerator's placeholders end at the slash
    int denEnd = 0;               // after the denominator
    QString denFixed;             // "/16"
    int denWidth = 0;
    int numWidth() const { return slash - numStart; }
};

FractionLayout fractionLayout(const Section& s)
{
    FractionLayout f;
    const int n = static_cast<int>(s.elems.size());
    for (int k = 0; k < n && f.slash < 0; ++k)
        if (s.elems[k].kind == Kind::Slash)
            f.slash = k;
    // Numerator: the run of digit placeholders just before the slash.
    f.numStart = f.slash;
    while (f.numStart > 0 && s.elems[f.numStart - 1].kind == Kind::Digit)
        --f.numStart;
    // Integer part: digit placeholders before the numerator, separated by a literal.
    f.intEnd = f.numStart;
    while (f.intEnd > 0 && s.elems[f.intEnd - 1].kind == Kind::Literal)
        --f.intEnd;
    f.hasInt = f.intEnd > 0 && s.elems[f.intEnd - 1].kind == Kind::Digit;
    f.intStart = f.intEnd;
    while (f.hasInt && f.intStart > 0 && s.elems[f.intStart - 1].kind == Kind::Digit)
        --f.intStart;
    f.denEnd = f.slash + 1;
    if (f.denEnd < n && s.elems[f.denEnd].kind == Kind::Literal && s.elems[f.denEnd].text.trimmed().toInt() > 0) {
        f.denFixed = s.elems[f.denEnd].text.trimmed();
        ++f.denEnd;
    } else {
        for (; f.denEnd < n && s.elems[f.denEnd].kind == Kind::Digit; ++f.denEnd)
            ++f.denWidth;
    }
    return f;
}

// The closest fraction num/den of a (0 <= a < 1 with an integer part) under the layout's
// denominator: the fixed one, or up to four digits, each one tried.
void closestFraction(double a, const FractionLayout& f, long long* num, long long* den)
{
    *num = 0;
    *den = 1;
    if (!f.denFixed.isEmpty()) {
        *den = f.denFixed.toLongLong();
        *num = std::llround(a * static_cast<double>(*den));
        return;
    }
    const long long maxDen = static_cast<long long>(std::pow(10.0, std::clamp(f.denWidth, 1, 4))) - 1;
    double best = 2;
    for (long long d = 1; d <= maxDen; ++d) {
        const long long n = std::llround(a * static_cast<double>(d));
        const double err = std::fabs(a - static_cast<double>(n) / static_cast<double>(d));
        if (err < best - 1e-12) {
            best = err;
            *num = n;
            *den = d;
        }
    }
}

// The section's literals from `from` up to `to` (exclusive), percent signs included.
QString literalsOf(const Section& s, int from, int to)
{
    QString out;
    for (int k = from; k < to; ++k)
        if (s.elems[k].kind == Kind::Literal)
            out += s.elems[k].text;
        else if (s.elems[k].kind == Kind::Percent)
            out += QLatin1Char('%');
    return out;
}

QString formatFraction(double v, const Section& s, bool showSign)
{
    const FractionLayout f = fractionLayout(s);
    double a = std::fabs(v);
    double whole = 0;
    if (f.hasInt) {
        whole = std::floor(a);
        a -= whole;
    }
    long long num = 0, den = 1;
    closestFraction(a, f, &num, &den);
    if (f.hasInt && num == den && num != 0) {
        whole += 1;
        num = 0;
    }
    const bool noFraction = num == 0;

    auto padLeft = [](QString t, int w) { return t.size() < w ? QString(w - t.size(), QLatin1Char(' ')) + t : t; };
    auto padRight = [](QString t, int w) { return t.size() < w ? t + QString(w - t.size(), QLatin1Char(' ')) : t; };
    const QString fraction = padLeft(QString::number(num), f.numWidth()) + QLatin1Char('/')
        + padRight(f.denFixed.isEmpty() ? QString::number(den) : f.denFixed, f.denWidth);
    QString out = literalsOf(s, 0, f.hasInt ? f.intStart : f.numStart);
    if (f.hasInt) {
        std::vector<const Elem*> places;
        for (int j = f.intStart; j < f.intEnd; ++j)
            places.push_back(&s.elems[j]);
        QString ip = whole == 0 ? QString() : QString::number(whole, 'f', 0);
        if (whole == 0 && noFraction)
            ip = QStringLiteral("0"); // zero still shows a digit
        const QString intText = fillInteger(places, ip);
        QString sep;
        for (int j = f.intEnd; j < f.numStart; ++j)
            sep += s.elems[j].text;
        const int fracWidth
            = f.numWidth() + 1 + (f.denFixed.isEmpty() ? f.denWidth : static_cast<int>(f.denFixed.size()));
        if (noFraction)
            out += intText + QString(sep.size() + fracWidth, QLatin1Char(' '));
        else if (intText.trimmed().isEmpty())
            out += fraction;
        else
            out += intText + sep + fraction;
    } else {
        out += fraction;
    }
    out += literalsOf(s, f.denEnd, static_cast<int>(s.elems.size()));
    if (showSign && v < 0)
        out.prepend(QLatin1Char('-'));
    return out;
}

// A date serial's parts, its time rounded to what the format shows.
struct DateParts {
    double day = 0;
    int year = 1900, month = 1, dayOfMonth = 0; // day 0 is the spreadsheet's "1/0/1900"
    int weekday = 0;                            // 0 = Sunday
    long long seconds = 0;                      // into the day
    int hour = 0, minute = 0, second = 0;
    long long sub = 0; // fractions of the second, subWidth digits
    int subWidth = 0;
    bool ampm = false;
};

DateParts datePartsOf(double v, const Section& s)
{
    DateParts p;
    for (const Elem& e : s.elems) {
        if (e.kind == Kind::SubSecond)
            p.subWidth = std::min(3, std::max(p.subWidth, e.width)); // milliseconds at most
        if (e.kind == Kind::AmPm)
            p.ampm = true;
    }
    const double unitsPerDay = 86400.0 * std::pow(10.0, p.subWidth);
    const double units = std::floor(v * unitsPerDay + 0.5);
    p.day = std::floor(units / unitsPerDay);
    const double inDay = units - p.day * unitsPerDay;
    p.seconds = static_cast<long long>(std::floor(inDay / std::pow(10.0, p.subWidth)));
    p.sub = static_cast<long long>(inDay) - p.seconds * static_cast<long long>(std::pow(10.0, p.subWidth));
    p.hour = static_cast<int>(p.seconds / 3600);
    p.minute = static_cast<int>((p.seconds / 60) % 60);
    p.second = static_cast<int>(p.seconds % 60);
    if (p.day == 60) {
        p.month = 2;
        p.dayOfMonth = 29;
    } else if (p.day > 0) {
        const QDate date = serialToDate(p.day);
        p.year = date.year();
        p.month = date.month();
        p.dayOfMonth = date.day();
    }
    // Serial 1 counts as a Sunday, which is right from 1900-03-01 on.
    p.weekday = static_cast<int>(std::fmod(p.day + 6, 7));
    return p;
}

QString pad2(long long n) { return QString::number(n).rightJustified(2, QLatin1Char('0')); }

QString monthText(int width, int month, const QLocale& locale)
{
    switch (width) {
    case 1: return QString::number(month);
    case 2: return pad2(month);
    case 3: return locale.monthName(month, QLocale::ShortFormat);
    case 5: return locale.monthName(month, QLocale::LongFormat).left(1);
    default: return locale.monthName(month, QLocale::LongFormat);
    }
}

QString dayText(int width, const DateParts& p, const QLocale& locale)
{
    const int qtWeekday = p.weekday == 0 ? 7 : p.weekday;
    switch (width) {
    case 1: return QString::number(p.dayOfMonth);
    case 2: return pad2(p.dayOfMonth);
    case 3: return locale.dayName(qtWeekday, QLocale::ShortFormat);
    default: return locale.dayName(qtWeekday, QLocale::LongFormat);
    }
}

// [h], [mm], [ss]: hours, minutes or seconds since the start of day 0.
QString elapsedText(const Elem& e, const DateParts& p)
{
    const long long total = static_cast<long long>(p.day) * 86400 + p.seconds;
    const QChar unit = e.text[0];
    const long long n = unit == QLatin1Char('h') ? total / 3600 : unit == QLatin1Char('m') ? total / 60 : total;
    return QString::number(n).rightJustified(e.width, QLatin1Char('0'));
}

QString timeText(const Elem& e, const DateParts& p, const QLocale& locale)
{
    auto number = [&](int n) { return e.width >= 2 ? pad2(n) : QString::number(n); };
    switch (e.kind) {
    case Kind::Hour: {
        int h = p.hour;
        if (p.ampm) {
            h %= 12;
            if (h == 0)
                h = 12;
        }
        return number(h);
    }
    case Kind::Minute: return number(p.minute);
    case Kind::Second: return number(p.second);
    case Kind::SubSecond:
        if (e.width == 0)
            return locale.decimalPoint();
        return locale.decimalPoint()
            + (QString::number(p.sub).rightJustified(p.subWidth, QLatin1Char('0')) + QString(e.width, QLatin1Char('0')))
                  .left(e.width);
    case Kind::AmPm:
        if (e.width == 5)
            return p.hour >= 12 ? QStringLiteral("PM") : QStringLiteral("AM");
        return QString(e.text.at(p.hour >= 12 ? 2 : 0));
    default: return elapsedText(e, p);
    }
}

QString formatDate(double v, const Section& s, const QLocale& locale)
{
    if (v < 0 || v >= 2958466)
        return QStringLiteral("########");
    const DateParts p = datePartsOf(v, s);
    QString out;
    for (const Elem& e : s.elems) {
        switch (e.kind) {
        case Kind::Year:
            out += e.width <= 2 ? pad2(p.year % 100) : QString::number(p.year).rightJustified(4, QLatin1Char('0'));
            break;
        case Kind::Month: out += monthText(e.width, p.month, locale); break;
        case Kind::Day: out += dayText(e.width, p, locale); break;
        case Kind::Hour:
        case Kind::Minute:
        case Kind::Second:
        case Kind::SubSecond:
        case Kind::Elapsed:
        case Kind::AmPm: out += timeText(e, p, locale); break;
        case Kind::Digit: out += e.text == QLatin1String("0") ? QStringLiteral("0") : QString(); break;
        case Kind::Point: out += QLatin1Char('.'); break; // a separator in dates ("dd.mm.yyyy")
        case Kind::Percent: out += QLatin1Char('%'); break;
        case Kind::Slash: out += QLatin1Char('/'); break;
        case Kind::General: out += general(v, locale); break;
        case Kind::Text:
        case Kind::Exponent: break;
        default: out += e.text; break;
        }
    }
    return out;
}

bool hasNumberPart(const Section& s)
{
    for (const Elem& e : s.elems)
        if (e.kind != Kind::Literal && e.kind != Kind::Text)
            return true;
    return false;
}

bool sectionHasText(const Section& s)
{
    for (const Elem& e : s.elems)
        if (e.kind == Kind::Text)
            return true;
    return false;
}

QString formatInSection(double v, const Section& s, const QLocale& locale, bool showSign)
{
    if (s.elems.size() == 1 && s.elems[0].kind == Kind::General)
        return (showSign || v >= 0) ? general(v, locale) : general(std::fabs(v), locale);
    if (sectionIsDate(s))
        return formatDate(v, s, locale);
    if (sectionIsFraction(s))
        return formatFraction(v, s, showSign);
    if (!hasNumberPart(s)) {
        if (sectionHasText(s)) // a text format shows numbers as they are
            return general(v, locale);
        QString out;
        for (const Elem& e : s.elems)
            if (e.kind == Kind::Literal)
                out += e.text;
        return out;
    }
    return formatNumber(v, s, locale, showSign);
}

QString formatText(const QString& text, const Section& s)
{
    QString out;
    for (const Elem& e : s.elems) {
        if (e.kind == Kind::Text)
            out += text;
        else if (e.kind == Kind::Literal)
            out += e.text;
    }
    return out;
}

// Codes are few and cells many: keep the parsed form of the codes seen lately.
const std::vector<Section>& parsedFormat(const QString& code)
{
    thread_local QHash<QString, std::vector<Section>> cache;
    auto it = cache.constFind(code);
    if (it != cache.constEnd())
        return *it;
    if (cache.size() >= 256)
        cache.clear();
    std::vector<Section> sections;
    for (const QString& p : splitSections(code))
        sections.push_back(parseSection(p));
    return *cache.insert(code, std::move(sections));
}

bool isGeneral(const QString& code)
{
    const QString t = code.trimmed();
    return t.isEmpty() || t.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0;
}

} // namespace

QString formatGeneral(double v, const QLocale& locale, int maxChars)
{
    return general(v, locale, std::clamp(maxChars, 5, 11));
}

QString builtinFormatCode(int ifmt)
{
    for (const auto& b : kBuiltins)
        if (b.index == ifmt)
            return QString::fromLatin1(b.code);
    return QString();
}

int builtinFormatIndex(const QString& code)
{
    for (const auto& b : kBuiltins)
        if (code == QLatin1String(b.code))
            return b.index;
    return -1;
}

QString formatValue(const Value& v, const QString& code, const QLocale& locale)
{
    switch (v.type()) {
    case Value::Type::Empty: return QString();
    case Value::Type::Bool: return v.asBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case Value::Type::Error: return errorText(v.asError());
    case Value::Type::String: {
        if (isGeneral(code))
            return v.asString();
        const std::vector<Section>& sections = parsedFormat(code);
        if (sections.size() >= 4)
            return formatText(v.asString(), sections[3]);
        for (const Section& s : sections)
            if (sectionHasText(s))
                return formatText(v.asString(), s);
        return v.asString();
    }
    case Value::Type::Number: break;
    }
    const double x = v.asNumber();
    if (!std::isfinite(x))
        return errorText(ErrorCode::Num);
    if (isGeneral(code))
        return general(x, locale);
    const std::vector<Section>& sections = parsedFormat(code);
    // Sections with conditions pick by condition; else positive;negative;zero.
    if (sections[0].hasCondition) {
        for (std::size_t i = 0; i < sections.size() && i < 3; ++i)
            if (sections[i].hasCondition && conditionHolds(sections[i], x))
                return formatInSection(x, sections[i], locale, true);
        for (std::size_t i = 0; i < sections.size() && i < 3; ++i)
            if (!sections[i].hasCondition && !sectionHasText(sections[i]))
                return formatInSection(x, sections[i], locale, true);
        // one section whose condition fails: Excel shows the number as General
        if (sections.size() == 1 || (sections.size() == 2 && sectionHasText(sections[1])))
            return general(x, locale);
        return QStringLiteral("########");
    }
    if (sections.size() == 1 || (sections.size() == 2 && sectionHasText(sections[1])))
        return formatInSection(x, sections[0], locale, true);
    if (x < 0)
        return formatInSection(x, sections[1], locale, false);
    if (x == 0 && sections.size() >= 3 && !sectionHasText(sections[2]))
        return formatInSection(x, sections[2], locale, false);
    return formatInSection(x, sections[0], locale, true);
}

QString localeShortDateCode(const QLocale& locale)
{
    // Qt's short pattern (M/d/yy, dd.MM.yy) in the spreadsheet's letters, with a 4-digit year.
    const QString qt = locale.dateFormat(QLocale::ShortFormat);
    QString out;
    for (int i = 0; i < qt.size();) {
        const QChar c = qt[i];
        int j = i;
        while (j < qt.size() && qt[j] == c)
            ++j;
        const int n = j - i;
        if (c == QLatin1Char('y'))
            out += QStringLiteral("yyyy");
        else if (c == QLatin1Char('M'))
            out += n >= 2 ? QStringLiteral("mm") : QStringLiteral("m");
        else if (c == QLatin1Char('d'))
            out += n >= 2 ? QStringLiteral("dd") : QStringLiteral("d");
        else if (c == QLatin1Char('\''))
            ; // Qt quoting
        else
            out += QString(n, c);
        i = j;
    }
    return out;
}

// The built-in currency formats (5 to 8) follow the locale's symbol and its place.
QString localeCurrencyCode(int ifmt, const QLocale& locale)
{
    const QString symbol = locale.currencySymbol(QLocale::CurrencySymbol);
    if (symbol.isEmpty() || symbol == QLatin1String("$"))
        return builtinFormatCode(ifmt);
    QString quoted = symbol;
    quoted.replace(QLatin1Char('"'), QLatin1String("\\\""));
    quoted = QLatin1Char('"') + quoted + QLatin1Char('"');
    const bool before = locale.toCurrencyString(1.0).trimmed().startsWith(symbol);
    const QString number = (ifmt == 5 || ifmt == 6) ? QStringLiteral("#,##0") : QStringLiteral("#,##0.00");
    const QString pos = before ? quoted + number : number + QLatin1Char(' ') + quoted;
    const QString red = (ifmt == 6 || ifmt == 8) ? QStringLiteral("[Red]") : QString();
    return pos + QLatin1Char(';') + red + QLatin1Char('-') + pos;
}

QString formatCellValue(const Value& v, int ifmt, const QString& code, const QLocale& locale)
{
    if (ifmt == 14)
        return formatValue(v, localeShortDateCode(locale), locale);
    if (ifmt >= 5 && ifmt <= 8 && code.isEmpty())
        return formatValue(v, localeCurrencyCode(ifmt, locale), locale);
    return formatValue(v, code.isEmpty() ? builtinFormatCode(ifmt) : code, locale);
}

bool isGeneralFormat(const QString& code) { return isGeneral(code); }

bool isDateFormat(const QString& code)
{
    if (isGeneral(code))
        return false;
    return sectionIsDate(parsedFormat(code).front());
}

bool isFractionFormat(const QString& code)
{
    if (isGeneral(code))
        return false;
    return sectionIsFraction(parsedFormat(code).front());
}

} // namespace sheet
