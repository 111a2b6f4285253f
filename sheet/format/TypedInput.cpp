#include "TypedInput.h"

#include "DateSerial.h"
#include "Decimal.h"
#include "NumberFormat.h"

#include <QDate>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace sheet {

namespace {

// What the reader needs of a locale, worked out once per locale rather than per cell.
struct LocaleInfo {
    QString point;
    QString group;
    QString order; // "MDY", "DMY", "YMD"
    QChar dateSeparator;
    QString currency; // "$", "€"
};

QString dateOrder(const QLocale& locale);
QString dateSeparator(const QLocale& locale);

const LocaleInfo& localeInfo(const QLocale& locale)
{
    thread_local QLocale cached = QLocale::c();
    thread_local LocaleInfo info;
    thread_local bool valid = false;
    if (!valid || !(cached == locale)) {
        cached = locale;
        info.point = locale.decimalPoint();
        info.group = locale.groupSeparator();
        info.order = dateOrder(locale);
        info.dateSeparator = dateSeparator(locale).at(0);
        info.currency = locale.currencySymbol(QLocale::CurrencySymbol);
        valid = true;
    }
    return info;
}

bool startsWithAt(const QString& t, int i, const QString& what)
{
    if (i >= t.size())
        return false;
    if (what.size() == 1)
        return t.at(i) == what.at(0);
    return !what.isEmpty() && QStringView(t).mid(i).startsWith(what);
}

bool isAsciiDigit(QChar c) { return c.unicode() >= '0' && c.unicode() <= '9'; }

TypedInput numberInput(double v, int format)
{
    TypedInput in;
    in.kind = TypedInput::Kind::Number;
    in.number = v;
    in.suggestedFormat = format;
    return in;
}

bool isBlank(QChar c) { return c.isSpace() || c == QChar(0x00A0); }

// "1,234.5", "-2.5e3", "(12)", "12.5 %", "$5.50" in the locale's separators, read left to right.
class NumberReader {
public:
    NumberReader(const QString& text, const LocaleInfo& loc)
        : m_text(text)
        , m_size(text.size())
        , m_loc(loc)
    {
    }

    bool read(double* out, int* format)
    {
        readSign();
        skipCurrency();
        if (currency && !negative && m_at < m_size && m_text[m_at] == QLatin1Char('-')) {
            negative = true;
            ++m_at;
        }
        if (!readMantissa() || !readExponent() || !readEnd())
            return false;
        double v = 0;
        if (!decimal::parse(digits, &v))
            return false;
        if (percent)
            v /= 100;
        *out = negative ? -v : v;
        *format = suggestedFormat();
        return true;
    }

private:
    void readSign()
    {
        if (m_at < m_size && (m_text[m_at] == QLatin1Char('+') || m_text[m_at] == QLatin1Char('-'))) {
            negative = m_text[m_at] == QLatin1Char('-');
            ++m_at;
        } else if (m_at < m_size && m_text[m_at] == QLatin1Char('(')) {
            negative = parens = true;
            ++m_at;
        }
    }

    // The locale's currency symbol before or after the number ("$5.50", "-$5", "5,50 €").
    void skipCurrency()
    {
        if (currency || m_loc.currency.isEmpty() || !startsWithAt(m_text, m_at, m_loc.currency))
            return;
        currency = true;
        m_at += m_loc.currency.size();
        while (m_at < m_size && isBlank(m_text[m_at]))
            ++m_at;
    }

    // Digits with the locale's group separators (groups of exactly three digits after the
    // first one) and its decimal point; into `digits` as plain "123.45".
    bool readMantissa()
    {
        const QString& group = m_loc.group;
        // Where the locale groups with a (narrow) no-break space, people type a plain space.
        const bool spaceGroups = group.size() == 1 && (group[0] == QChar(0x00A0) || group[0] == QChar(0x202F));
        int sinceGroup = -1;
        for (; m_at < m_size; ++m_at) {
            const QChar c = m_text[m_at];
            if (isAsciiDigit(c)) {
                digits.append(c);
                if (hasPoint) {
                    ++decDigits;
                } else {
                    ++intDigits;
                    if (sinceGroup >= 0)
                        ++sinceGroup;
                }
            } else if (!hasPoint && intDigits > 0 && group != m_loc.point
                       && (startsWithAt(m_text, m_at, group)
                           || (spaceGroups && (c == QLatin1Char(' ') || c == QChar(0x00A0))))) {
                if ((sinceGroup >= 0 && sinceGroup != 3) || (sinceGroup < 0 && intDigits > 3))
                    return false;
                sinceGroup = 0;
                grouped = true;
                if (startsWithAt(m_text, m_at, group))
                    m_at += group.size() - 1;
            } else if (!hasPoint && startsWithAt(m_text, m_at, m_loc.point)) {
                hasPoint = true;
                digits.append(QLatin1Char('.'));
                m_at += m_loc.point.size() - 1;
            } else {
                break;
            }
        }
        if ((grouped && sinceGroup != 3) || intDigits + decDigits == 0)
            return false;
        keepFifteenDigits();
        return true;
    }

    // The spreadsheet keeps 15 significant digits of what is typed; later ones become zeros.
    void keepFifteenDigits()
    {
        int significant = 0;
        for (QChar& c : digits) {
            if (c == QLatin1Char('.') || (significant == 0 && c == QLatin1Char('0')))
                continue;
            if (++significant > 15)
                c = QLatin1Char('0');
        }
    }

    bool readExponent()
    {
        if (m_at >= m_size || (m_text[m_at] != QLatin1Char('e') && m_text[m_at] != QLatin1Char('E')))
            return true;
        int j = m_at + 1;
        QString e = QStringLiteral("e");
        if (j < m_size && (m_text[j] == QLatin1Char('+') || m_text[j] == QLatin1Char('-')))
            e.append(m_text[j++]);
        const int start = j;
        while (j < m_size && isAsciiDigit(m_text[j]))
            e.append(m_text[j++]);
        if (j == start)
            return false;
        digits += e;
        exponent = true;
        m_at = j;
        return true;
    }

    // What may follow the number: a percent sign, the currency, the closing parenthesis.
    bool readEnd()
    {
        while (m_at < m_size && isBlank(m_text[m_at]))
            ++m_at;
        if (m_at < m_size && m_text[m_at] == QLatin1Char('%')) {
            percent = true;
            ++m_at;
        }
        while (m_at < m_size && isBlank(m_text[m_at]))
            ++m_at;
        if (!percent && !exponent)
            skipCurrency();
        if (currency && (percent || exponent))
            return false; // money is neither a percentage nor in E notation
        if (parens) {
            if (m_at >= m_size || m_text[m_at] != QLatin1Char(')'))
                return false;
            ++m_at;
        }
        return m_at == m_size;
    }

    int suggestedFormat() const
    {
        if (percent)
            return decDigits > 0 ? 10 : 9;
        if (currency)
            return decDigits > 0 ? 7 : 5;
        if (exponent)
            return 11;
        if (grouped)
            return decDigits > 0 ? 4 : 3;
        return -1;
    }

    const QString& m_text;
    const int m_size;
    const LocaleInfo& m_loc;
    int m_at = 0;
    bool negative = false, parens = false, currency = false, percent = false, exponent = false;
    QString digits; // plain "123.45e-6" for the C-locale conversion
    int intDigits = 0, decDigits = 0;
    bool grouped = false, hasPoint = false;
};

bool readNumber(const QString& t, const LocaleInfo& loc, double* out, int* format)
{
    return NumberReader(t, loc).read(out, format);
}

// Order of day, month and year in the locale's short date, as a string like "MDY".
QString dateOrder(const QLocale& locale)
{
    const QString f = locale.dateFormat(QLocale::ShortFormat);
    QString order;
    for (QChar c : f) {
        QChar k;
        if (c == QLatin1Char('d'))
            k = QLatin1Char('D');
        else if (c == QLatin1Char('M'))
            k = QLatin1Char('M');
        else if (c == QLatin1Char('y'))
            k = QLatin1Char('Y');
        else
            continue;
        if (!order.contains(k))
            order.append(k);
    }
    if (order.size() != 3)
        order = QStringLiteral("MDY");
    return order;
}

QString dateSeparator(const QLocale& locale)
{
    const QString f = locale.dateFormat(QLocale::ShortFormat);
    for (QChar c : f)
        if (!c.isLetter() && c != QLatin1Char('\''))
            return QString(c);
    return QStringLiteral("/");
}

// Digits only (at most 9 of them); -1 otherwise.
int digitsValue(QStringView v)
{
    if (v.isEmpty() || v.size() > 9)
        return -1;
    int n = 0;
    for (QChar c : v) {
        if (!isAsciiDigit(c))
            return -1;
        n = n * 10 + (c.unicode() - '0');
    }
    return n;
}

// Two-digit years: 00-29 are 2000-2029, 30-99 are 1930-1999.
int fullYear(QStringView digits)
{
    const int y = digitsValue(digits);
    if (digits.size() <= 2)
        return y < 30 ? 2000 + y : 1900 + y;
    return y;
}

// "5 3/8", "-3/8": sign, optional whole part, numerator and denominator.
bool readFraction(const QString& t, double* value, bool* mixed, int* denDigits)
{
    QStringView v(t);
    double sign = 1;
    if (!v.isEmpty() && (v.front() == QLatin1Char('-') || v.front() == QLatin1Char('+'))) {
        sign = v.front() == QLatin1Char('-') ? -1 : 1;
        v = v.mid(1);
    }
    const qsizetype slash = v.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return false;
    QStringView left = v.left(slash);
    const QStringView den = v.mid(slash + 1);
    int whole = 0;
    *mixed = false;
    const qsizetype space = left.indexOf(QLatin1Char(' '));
    if (space >= 0) {
        whole = digitsValue(left.left(space));
        left = left.mid(space).trimmed();
        *mixed = true;
        if (whole < 0)
            return false;
    }
    const int n = digitsValue(left), d = digitsValue(den);
    if (n < 0 || d <= 0)
        return false;
    *value = sign * (whole + static_cast<double>(n) / d);
    *denDigits = static_cast<int>(den.size());
    return true;
}

// Time of day "10:30", "10:30:15", "9:05 PM"; false when not a time.
bool readTime(const QString& t, double* fraction, int* format)
{
    if (!t.contains(QLatin1Char(':')))
        return false;
    static const QRegularExpression re(QStringLiteral("^(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?\\s*([AaPp][Mm]?)?$"));
    const auto m = re.match(t);
    if (!m.hasMatch())
        return false;
    int h = m.captured(1).toInt();
    const int mi = m.captured(2).toInt();
    const int s = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    const QString ampm = m.captured(4).toUpper();
    if (mi > 59 || s > 59)
        return false;
    if (!ampm.isEmpty()) {
        if (h < 1 || h > 12)
            return false;
        h %= 12;
        if (ampm.startsWith(QLatin1Char('P')))
            h += 12;
    } else if (h > 23) {
        return false;
    }
    *fraction = (h * 3600 + mi * 60 + s) / 86400.0;
    const bool seconds = !m.captured(3).isEmpty();
    *format = ampm.isEmpty() ? (seconds ? 21 : 20) : (seconds ? 19 : 18);
    return true;
}

int monthFromName(const QString& name, const QLocale& locale)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    for (int m = 1; m <= 12; ++m) {
        for (const QLocale* l : {&locale, &english}) {
            if (name.compare(l->monthName(m, QLocale::LongFormat), Qt::CaseInsensitive) == 0
                || name.compare(l->monthName(m, QLocale::ShortFormat), Qt::CaseInsensitive) == 0
                || name.compare(l->monthName(m, QLocale::ShortFormat).remove(QLatin1Char('.')), Qt::CaseInsensitive)
                    == 0)
                return m;
        }
    }
    return 0;
}

// The parts of a typed date: two or three, at most one of them a month's name.
struct DateText {
    QStringView parts[3];
    int count = 0;
    int named = -1;     // the part that names the month
    int namedMonth = 0; // 1-12
};

// Splits on "/", "-" and the locale's separator; a trailing locale separator ("8.3.") is allowed.
bool splitDate(const QString& t, QChar sep, DateText* out)
{
    QStringView parts[4];
    int count = 0;
    qsizetype start = 0;
    QChar lastSep;
    for (qsizetype i = 0; i <= t.size(); ++i) {
        const bool end = i == t.size();
        const QChar c = end ? QChar() : t.at(i);
        if (end || c == QLatin1Char('/') || c == QLatin1Char('-') || c == sep) {
            if (count == 4)
                return false;
            parts[count++] = QStringView(t).mid(start, i - start).trimmed();
            start = i + 1;
            if (!end)
                lastSep = c;
        }
    }
    if (count >= 3 && parts[count - 1].isEmpty() && lastSep == sep)
        --count;
    if (count < 2 || count > 3)
        return false;
    out->count = count;
    std::copy(parts, parts + count, out->parts);
    return true;
}

// Each part is a number of at most four digits or, once, a month's name.
bool readDateParts(DateText* d, const QLocale& locale)
{
    for (int i = 0; i < d->count; ++i) {
        const QStringView part = d->parts[i];
        if (part.isEmpty())
            return false;
        if (digitsValue(part) >= 0) {
            if (part.size() > 4)
                return false;
            continue;
        }
        if (d->named >= 0 || !std::all_of(part.begin(), part.end(), [](QChar c) { return c.isLetter(); }))
            return false;
        d->namedMonth = monthFromName(part.toString(), locale);
        if (!d->namedMonth)
            return false;
        d->named = i;
    }
    return true;
}

struct Ymd {
    int y = 0, m = 0, d = 0;
    int format = 14;
};

// Day, month and year: "10/6/2004" in the locale's order, "2004-06-10", "10-Jun-2004", "2020-Feb-01".
Ymd threePartDate(const DateText& t, const QString& order)
{
    Ymd r;
    if (t.named == 1 && t.parts[0].size() == 4) { // year first
        r = {digitsValue(t.parts[0]), t.namedMonth, digitsValue(t.parts[2]), 15};
    } else if (t.named >= 0) { // "10-Jun-2004", "Jun-10-2004"
        const int a = t.named == 0 ? 1 : 0;
        const int b = t.named == 2 ? 1 : 2;
        r = {fullYear(t.parts[b]), t.namedMonth, digitsValue(t.parts[a]), 15};
    } else if (t.parts[0].size() == 4 && order[0] != QLatin1Char('Y')) {
        // A 4-digit first part is a year whatever the locale says (ISO order).
        r = {digitsValue(t.parts[0]), digitsValue(t.parts[1]), digitsValue(t.parts[2]), 14};
    } else {
        for (int i = 0; i < 3; ++i) {
            const QChar k = order[i];
            if (k == QLatin1Char('Y'))
                r.y = fullYear(t.parts[i]);
            else if (k == QLatin1Char('M'))
                r.m = digitsValue(t.parts[i]);
            else
                r.d = digitsValue(t.parts[i]);
        }
        r.format = 14;
    }
    return r;
}

// Two parts: day and month in this year ("10/6", "Jun-10"), or month and year, the first of
// the month ("6/2004", "Jun-2004").
Ymd twoPartDate(const DateText& t, const QString& order)
{
    const int thisYear = QDate::currentDate().year();
    if (t.named >= 0) {
        const QStringView other = t.parts[t.named == 0 ? 1 : 0];
        if (t.named == 0 && other.size() >= 3)
            return {fullYear(other), t.namedMonth, 1, 17};
        return {thisYear, t.namedMonth, digitsValue(other), 16};
    }
    const bool dayFirst = order.indexOf(QLatin1Char('D')) < order.indexOf(QLatin1Char('M'));
    const int first = digitsValue(t.parts[0]), second = digitsValue(t.parts[1]);
    const int dayOrYear = dayFirst ? first : second;
    if ((!dayFirst && t.parts[1].size() >= 3) || dayOrYear > 31)
        return {fullYear(t.parts[1]), first, 1, 17};
    return {thisYear, dayFirst ? second : first, dayOrYear, 16};
}

// Dates in the locale's order with "/", "-" or the locale's separator; 2-part dates
// without a year fall in the current year; a month name may stand for the month.
bool readDate(const QString& text, const QLocale& locale, double* serial, int* format)
{
    const LocaleInfo& loc = localeInfo(locale);
    // With a month name, blanks and a comma separate the parts too: "18 Jan 2019", "Jan 18, 2019".
    QString spaced;
    if (text.contains(QLatin1Char(' '))
        && std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isLetter(); })) {
        spaced = text;
        spaced.replace(QLatin1String(", "), QLatin1String("-"));
        spaced.replace(QLatin1Char(' '), QLatin1Char('-'));
    }
    DateText t;
    if (!splitDate(spaced.isNull() ? text : spaced, loc.dateSeparator, &t) || !readDateParts(&t, locale))
        return false;
    const Ymd date = t.count == 3 ? threePartDate(t, loc.order) : twoPartDate(t, loc.order);
    if (date.y < 1900 || date.y > 9999)
        return false;
    *format = date.format;
    if (date.y == 1900 && date.m == 2 && date.d == 29) {
        *serial = 60; // the spreadsheet's own 1900-02-29
        return true;
    }
    const QDate valid(date.y, date.m, date.d);
    if (!valid.isValid())
        return false;
    *serial = dateToSerial(valid);
    return true;
}

} // namespace

TypedInput interpretTypedInput(const QString& text, const QLocale& locale, const QString& cellFormatCode)
{
    TypedInput in;
    if (text.isEmpty())
        return in;
    const QString t = text.trimmed();
    auto asText = [&] {
        TypedInput r;
        r.kind = TypedInput::Kind::Text;
        r.text = text;
        return r;
    };
    if (t.isEmpty())
        return asText();
    // A cell formatted as text takes what is typed as text.
    if (cellFormatCode == QLatin1String("@"))
        return asText();
    if (text.startsWith(QLatin1Char('\''))) {
        // A leading apostrophe forces text and is not part of it.
        TypedInput r = asText();
        r.text = text.mid(1);
        return r;
    }

    if (t.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0
        || t.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0) {
        in.kind = TypedInput::Kind::Bool;
        in.boolean = t.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0;
        return in;
    }

    double v = 0;
    int format = -1;
    if (readNumber(t, localeInfo(locale), &v, &format))
        return numberInput(v, format);
    if (!t.contains(QLatin1Char('/')) && !t.contains(QLatin1Char('-')) && !t.contains(QLatin1Char(':'))
        && !t.contains(localeInfo(locale).dateSeparator) && !t.contains(QLatin1Char(' ')))
        return asText(); // no date, time or fraction without one of these

    // Fractions: "5 3/8" always (a mixed number is never a date); "3/8" only where the cell
    // shows fractions, since elsewhere it is the 8th of March.
    double fractionValue = 0;
    bool mixed = false;
    int denDigits = 0;
    if (readFraction(t, &fractionValue, &mixed, &denDigits) && (mixed || isFractionFormat(cellFormatCode)))
        return numberInput(fractionValue, denDigits > 1 ? 13 : 12);

    double fractionOfDay = 0;
    if (readTime(t, &fractionOfDay, &format))
        return numberInput(fractionOfDay, format);

    // Date, optionally followed by a time.
    double serial = 0;
    const int space = t.lastIndexOf(QLatin1Char(' '));
    int timeFormat = -1;
    if (space > 0 && readTime(t.mid(space + 1).trimmed(), &fractionOfDay, &timeFormat)
        && readDate(t.left(space).trimmed(), locale, &serial, &format))
        return numberInput(serial + fractionOfDay, 22);
    if (space > 0) {
        // "9:05 PM" style times contain a space of their own.
        const int prev = t.lastIndexOf(QLatin1Char(' '), space - 1);
        if (prev > 0 && readTime(t.mid(prev + 1).trimmed(), &fractionOfDay, &timeFormat)
            && readDate(t.left(prev).trimmed(), locale, &serial, &format))
            return numberInput(serial + fractionOfDay, 22);
    }
    if (readDate(t, locale, &serial, &format))
        return numberInput(serial, format);

    return asText();
}

} // namespace sheet
