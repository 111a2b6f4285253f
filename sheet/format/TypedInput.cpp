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

// "1,234.5", "-2.5e3", "(12)", "12.5 %" in the locale's separators.
bool readNumber(const QString& t, const LocaleInfo& loc, double* out, int* format)
{
    const QString& point = loc.point;
    const QString& group = loc.group;
    // Where the locale groups with a (narrow) no-break space, people type a plain space.
    const bool spaceGroups = group.size() == 1 && (group[0] == QChar(0x00A0) || group[0] == QChar(0x202F));
    int i = 0;
    const int n = t.size();
    bool negative = false, parens = false;
    if (i < n && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
        negative = t[i] == QLatin1Char('-');
        ++i;
    } else if (i < n && t[i] == QLatin1Char('(')) {
        negative = parens = true;
        ++i;
    }
    // The locale's currency symbol before or after the number ("$5.50", "-$5", "5,50 €").
    bool currency = false;
    auto skipCurrency = [&] {
        if (!currency && !loc.currency.isEmpty() && startsWithAt(t, i, loc.currency)) {
            currency = true;
            i += loc.currency.size();
            while (i < n && isBlank(t[i]))
                ++i;
        }
    };
    skipCurrency();
    if (currency && !negative && i < n && t[i] == QLatin1Char('-')) {
        negative = true;
        ++i;
    }
    QString digits; // plain "123.45e-6" for the C-locale conversion
    int intDigits = 0, sinceGroup = -1, decDigits = 0;
    bool grouped = false, hasPoint = false;
    for (; i < n; ++i) {
        const QChar c = t[i];
        if (isAsciiDigit(c)) {
            digits.append(c);
            if (hasPoint) {
                ++decDigits;
            } else {
                ++intDigits;
                if (sinceGroup >= 0)
                    ++sinceGroup;
            }
        } else if (!hasPoint && intDigits > 0 && group != point
                   && (startsWithAt(t, i, group)
                       || (spaceGroups && (t[i] == QLatin1Char(' ') || t[i] == QChar(0x00A0))))) {
            // Groups of exactly three digits after the first separator.
            if (sinceGroup >= 0 && sinceGroup != 3)
                return false;
            if (sinceGroup < 0 && intDigits > 3)
                return false;
            sinceGroup = 0;
            grouped = true;
            if (startsWithAt(t, i, group))
                i += group.size() - 1;
        } else if (!hasPoint && startsWithAt(t, i, point)) {
            hasPoint = true;
            digits.append(QLatin1Char('.'));
            i += point.size() - 1;
        } else {
            break;
        }
    }
    if (grouped && sinceGroup != 3)
        return false;
    if (intDigits + decDigits == 0)
        return false;
    // The spreadsheet keeps 15 significant digits of what is typed; later ones become zeros.
    {
        int significant = 0;
        for (QChar& c : digits) {
            if (c == QLatin1Char('.') || (significant == 0 && c == QLatin1Char('0')))
                continue;
            if (++significant > 15)
                c = QLatin1Char('0');
        }
    }
    bool exponent = false;
    if (i < n && (t[i] == QLatin1Char('e') || t[i] == QLatin1Char('E'))) {
        int j = i + 1;
        QString e = QStringLiteral("e");
        if (j < n && (t[j] == QLatin1Char('+') || t[j] == QLatin1Char('-')))
            e.append(t[j++]);
        const int start = j;
        while (j < n && isAsciiDigit(t[j]))
            e.append(t[j++]);
        if (j == start)
            return false;
        digits += e;
        exponent = true;
        i = j;
    }
    bool percent = false;
    while (i < n && isBlank(t[i]))
        ++i;
    if (i < n && t[i] == QLatin1Char('%')) {
        percent = true;
        ++i;
    }
    while (i < n && isBlank(t[i]))
        ++i;
    if (!percent && !exponent)
        skipCurrency();
    if (currency && (percent || exponent))
        return false; // money is neither a percentage nor in E notation
    if (parens) {
        if (i >= n || t[i] != QLatin1Char(')'))
            return false;
        ++i;
    }
    if (i != n)
        return false;
    double v = 0;
    if (!decimal::parse(digits, &v))
        return false;
    if (percent)
        v /= 100;
    *out = negative ? -v : v;
    if (percent)
        *format = decDigits > 0 ? 10 : 9;
    else if (currency)
        *format = decDigits > 0 ? 7 : 5;
    else if (exponent)
        *format = 11;
    else if (grouped)
        *format = decDigits > 0 ? 4 : 3;
    else
        *format = -1;
    return true;
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
    const QString& t = spaced.isNull() ? text : spaced;
    // Split on "/", "-" and the locale's separator; a trailing locale separator ("8.3.") is allowed.
    const QChar sep = loc.dateSeparator;
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
    const QString& order = loc.order;

    int named = -1, namedMonth = 0;
    for (int i = 0; i < count; ++i) {
        if (parts[i].isEmpty())
            return false;
        if (digitsValue(parts[i]) >= 0) {
            if (parts[i].size() > 4)
                return false;
            continue;
        }
        for (QChar c : parts[i])
            if (!c.isLetter())
                return false;
        if (named >= 0)
            return false;
        namedMonth = monthFromName(parts[i].toString(), locale);
        if (!namedMonth)
            return false;
        named = i;
    }

    int y = 0, mo = 0, d = 0;
    if (count == 3) {
        if (named == 1 && parts[0].size() == 4) {
            // "2020-Feb-01": year first
            mo = namedMonth;
            y = digitsValue(parts[0]);
            d = digitsValue(parts[2]);
            *format = 15;
        } else if (named >= 0) {
            // "10-Jun-2004", "Jun-10-2004"
            mo = namedMonth;
            const int a = named == 0 ? 1 : 0;
            const int b = named == 2 ? 1 : 2;
            d = digitsValue(parts[a]);
            y = fullYear(parts[b]);
            *format = 15;
        } else {
            for (int i = 0; i < 3; ++i) {
                const QChar k = order[i];
                if (k == QLatin1Char('Y'))
                    y = fullYear(parts[i]);
                else if (k == QLatin1Char('M'))
                    mo = digitsValue(parts[i]);
                else
                    d = digitsValue(parts[i]);
            }
            // A 4-digit first part is a year whatever the locale says (ISO order).
            if (parts[0].size() == 4 && order[0] != QLatin1Char('Y')) {
                y = digitsValue(parts[0]);
                mo = digitsValue(parts[1]);
                d = digitsValue(parts[2]);
            }
            *format = 14;
        }
    } else {
        const bool dayFirst = order.indexOf(QLatin1Char('D')) < order.indexOf(QLatin1Char('M'));
        if (named >= 0) {
            // "Jun-10", "10-Jun", "Jun-2004"
            const QStringView other = parts[named == 0 ? 1 : 0];
            mo = namedMonth;
            if (named == 0 && other.size() >= 3) {
                y = fullYear(other);
                d = 1;
                *format = 17;
            } else {
                d = digitsValue(other);
                y = QDate::currentDate().year();
                *format = 16;
            }
        } else {
            const int first = digitsValue(parts[0]), second = digitsValue(parts[1]);
            const int dayOrYear = dayFirst ? first : second;
            if ((!dayFirst && parts[1].size() >= 3) || dayOrYear > 31) {
                // "6/2004": month and year, the first of the month.
                mo = first;
                y = fullYear(parts[1]);
                d = 1;
                *format = 17;
            } else {
                mo = dayFirst ? second : first;
                d = dayOrYear;
                y = QDate::currentDate().year();
                *format = 16;
            }
        }
    }
    if (y < 1900 || y > 9999)
        return false;
    if (y == 1900 && mo == 2 && d == 29) {
        *serial = 60; // the spreadsheet's own 1900-02-29
        return true;
    }
    const QDate date(y, mo, d);
    if (!date.isValid())
        return false;
    *serial = dateToSerial(date);
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
