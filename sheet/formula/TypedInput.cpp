#include "TypedInput.h"

#include "DateSerial.h"
#include "NumberFormat.h"

#include <QDate>
#include <QRegularExpression>
#include <cmath>

namespace sheet {

namespace {

TypedInput numberInput(double v, int format)
{
    TypedInput in;
    in.kind = TypedInput::Kind::Number;
    in.number = v;
    in.suggestedFormat = format;
    return in;
}

bool isBlank(QChar c)
{
    return c.isSpace() || c == QChar(0x00A0);
}

// "1,234.5", "-2.5e3", "(12)", "12.5 %" in the locale's separators.
bool readNumber(const QString& t, const QLocale& locale, double* out, int* format)
{
    const QString point = locale.decimalPoint();
    const QString group = locale.groupSeparator();
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
    QString digits;       // plain "123.45e-6" for the C-locale conversion
    int intDigits = 0, groups = 0, sinceGroup = -1, decDigits = 0;
    bool grouped = false, hasPoint = false;
    for (; i < n; ++i) {
        const QChar c = t[i];
        if (c.isDigit()) {
            digits.append(QChar('0' + c.digitValue()));
            if (hasPoint) {
                ++decDigits;
            } else {
                ++intDigits;
                if (sinceGroup >= 0)
                    ++sinceGroup;
            }
        } else if (!hasPoint && !group.isEmpty() && t.mid(i, group.size()) == group && intDigits > 0
                   && (group != point)) {
            // Groups of exactly three digits after the first separator.
            if (sinceGroup >= 0 && sinceGroup != 3)
                return false;
            if (sinceGroup < 0 && intDigits > 3)
                return false;
            sinceGroup = 0;
            ++groups;
            grouped = true;
            i += group.size() - 1;
        } else if (!hasPoint && t.mid(i, point.size()) == point) {
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
    bool exponent = false;
    if (i < n && (t[i] == QLatin1Char('e') || t[i] == QLatin1Char('E'))) {
        int j = i + 1;
        QString e = QStringLiteral("e");
        if (j < n && (t[j] == QLatin1Char('+') || t[j] == QLatin1Char('-')))
            e.append(t[j++]);
        const int start = j;
        while (j < n && t[j].isDigit())
            e.append(QChar('0' + t[j++].digitValue()));
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
    if (parens) {
        if (i >= n || t[i] != QLatin1Char(')'))
            return false;
        ++i;
    }
    if (i != n)
        return false;
    bool ok = false;
    double v = digits.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    if (percent)
        v /= 100;
    *out = negative ? -v : v;
    Q_UNUSED(groups);
    if (percent)
        *format = decDigits > 0 ? 10 : 9;
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
        if (c == QLatin1Char('d')) k = QLatin1Char('D');
        else if (c == QLatin1Char('M')) k = QLatin1Char('M');
        else if (c == QLatin1Char('y')) k = QLatin1Char('Y');
        else continue;
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

int fullYear(const QString& digits)
{
    const int y = digits.toInt();
    if (digits.size() <= 2)
        return y < 30 ? 2000 + y : 1900 + y;
    return y;
}

// Time of day "10:30", "10:30:15", "9:05 PM"; false when not a time.
bool readTime(const QString& t, double* fraction, int* format)
{
    static const QRegularExpression re(
        QStringLiteral("^(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?\\s*([AaPp][Mm]?)?$"));
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
                || name.compare(l->monthName(m, QLocale::ShortFormat).remove(QLatin1Char('.')), Qt::CaseInsensitive) == 0)
                return m;
        }
    }
    return 0;
}

// Dates in the locale's order with "/", "-" or the locale's separator; 2-part dates
// without a year fall in the current year; a month name may stand for the month.
bool readDate(const QString& t, const QLocale& locale, double* serial, int* format)
{
    const QString sep = QRegularExpression::escape(dateSeparator(locale));
    const QRegularExpression re(QStringLiteral("^(\\w+)\\s*(?:/|-|%1)\\s*(\\w+)(?:\\s*(?:/|-|%1)\\s*(\\w+))?\\s*(?:%1)?$").arg(sep));
    const auto m = re.match(t);
    if (!m.hasMatch())
        return false;
    QStringList parts = {m.captured(1), m.captured(2)};
    if (!m.captured(3).isEmpty())
        parts.append(m.captured(3));
    const QString order = dateOrder(locale);

    int named = -1, namedMonth = 0;
    for (int i = 0; i < parts.size(); ++i) {
        bool isNumber = false;
        parts[i].toInt(&isNumber);
        if (!isNumber) {
            if (named >= 0)
                return false;
            namedMonth = monthFromName(parts[i], locale);
            if (!namedMonth)
                return false;
            named = i;
        } else if (parts[i].size() > 4) {
            return false;
        }
    }

    int y = 0, mo = 0, d = 0;
    if (parts.size() == 3) {
        if (named >= 0) {
            // "10-Jun-2004", "Jun-10-2004"
            mo = namedMonth;
            const int a = named == 0 ? 1 : 0;
            const int b = named == 2 ? 1 : 2;
            d = parts[a].toInt();
            y = fullYear(parts[b]);
            *format = 15;
        } else {
            for (int i = 0; i < 3; ++i) {
                const QChar k = order[i];
                if (k == QLatin1Char('Y'))
                    y = fullYear(parts[i]);
                else if (k == QLatin1Char('M'))
                    mo = parts[i].toInt();
                else
                    d = parts[i].toInt();
            }
            // A 4-digit first part is a year whatever the locale says (ISO order).
            if (parts[0].size() == 4 && order[0] != QLatin1Char('Y')) {
                y = parts[0].toInt();
                mo = parts[1].toInt();
                d = parts[2].toInt();
            }
            *format = 14;
        }
    } else {
        const int first = named == 0 ? namedMonth : parts[0].toInt();
        const int second = named == 1 ? namedMonth : parts[1].toInt();
        const bool dayFirst = order.indexOf(QLatin1Char('D')) < order.indexOf(QLatin1Char('M'));
        const int monthValue = named >= 0 ? namedMonth : (dayFirst ? second : first);
        const int dayOrYear = named >= 0 ? (named == 0 ? second : first) : (dayFirst ? first : second);
        const bool yearLike = (named >= 0 && named == 0 && parts[1].size() >= 3) || (named < 0 && !dayFirst && parts[1].size() >= 3)
                              || dayOrYear > 31;
        if (yearLike) {
            // "6/2004", "Jun-04" with the month first: month and year, first day.
            mo = named >= 0 ? namedMonth : first;
            y = fullYear(named >= 0 ? parts[1] : parts[1]);
            d = 1;
            *format = 17;
        } else {
            mo = monthValue;
            d = dayOrYear;
            y = QDate::currentDate().year();
            *format = 16;
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
    if (readNumber(t, locale, &v, &format))
        return numberInput(v, format);

    // Fractions: "5 3/8" always (a mixed number is never a date); "3/8" only where the cell
    // shows fractions, since elsewhere it is the 8th of March.
    static const QRegularExpression fraction(QStringLiteral("^([+-]?)(?:(\\d+)\\s+)?(\\d+)/(\\d+)$"));
    const auto f = fraction.match(t);
    if (f.hasMatch() && (!f.captured(2).isEmpty() || isFractionFormat(cellFormatCode))) {
        const double whole = f.captured(2).toDouble();
        const double num = f.captured(3).toDouble();
        const double den = f.captured(4).toDouble();
        if (den > 0) {
            const double value = (whole + num / den) * (f.captured(1) == QLatin1String("-") ? -1 : 1);
            return numberInput(value, f.captured(4).size() > 1 ? 13 : 12);
        }
    }

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
