#include "EntryDate.h"

#include "LocaleText.h"

#include <QLocale>
#include <QRegularExpression>

QString FormatEntryDate(const QDate& date)
{
    const QString separator = LocaleDateSeparator();
    return QString::number(date.month()) + separator + QString::number(date.day()) + separator
        + QString::number(date.year()).rightJustified(4, QLatin1Char('0'));
}

QDate ParseEntryDate(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d{1,2})\\D(\\d{1,2})\\D(\\d{1,4})\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return QDate();
    return QDate(match.captured(3).toInt(), match.captured(1).toInt(), match.captured(2).toInt());
}

QString DateParts::words() const
{
    QStringList names;
    for (const char part : parts)
        names << (part == 'd' ? QStringLiteral("day") : part == 'M' ? QStringLiteral("month") : QStringLiteral("year"));
    return names.join(separator);
}

bool DateParts::operator==(const DateParts& other) const
{
    return std::equal(std::begin(parts), std::end(parts), std::begin(other.parts)) && separator == other.separator
        && padDay == other.padDay && padMonth == other.padMonth;
}

DateParts LocaleDateParts()
{
    // The order in which the short format names day, month and year, outside quoted text.
    const QString format = QLocale().dateFormat(QLocale::ShortFormat);
    DateParts order;
    QString seen;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (quoted || (c != QLatin1Char('d') && c != QLatin1Char('M') && c != QLatin1Char('y')))
            continue;
        qsizetype run = 1;
        while (i + run < format.size() && format.at(i + run) == c)
            ++run;
        // "ddd" and "dddd" name the weekday, not the day.
        if (!(c == QLatin1Char('d') && run > 2) && !seen.contains(c)) {
            seen += c;
            if (c == QLatin1Char('d'))
                order.padDay = run == 2;
            else if (c == QLatin1Char('M'))
                order.padMonth = run >= 2;
        }
        i += run - 1;
    }
    if (seen.size() == 3) {
        for (int k = 0; k < 3; ++k)
            order.parts[k] = seen.at(k).toLatin1();
    }
    order.separator = LocaleDateSeparator();
    return order;
}

namespace {

QString DisplayFormatOf(const DateParts& order)
{
    QString separator = order.separator;
    // A letter or a quote would be read as a format field; quote it.
    if (separator == QLatin1String("'"))
        separator = QStringLiteral("''");
    else if (separator.at(0).isLetter())
        separator = QLatin1Char('\'') + separator + QLatin1Char('\'');
    QStringList fields;
    for (const char part : order.parts) {
        if (part == 'd')
            fields << (order.padDay ? QStringLiteral("dd") : QStringLiteral("d"));
        else if (part == 'M')
            fields << (order.padMonth ? QStringLiteral("MM") : QStringLiteral("M"));
        else
            fields << QStringLiteral("yyyy");
    }
    return fields.join(separator);
}

} // namespace

QString EntryDateDisplayFormat()
{
    // Asked for every date the list shows: worked out once per locale.
    static QString locale;
    static QString format;
    const QString name = QLocale().name();
    if (format.isEmpty() || name != locale) {
        locale = name;
        format = DisplayFormatOf(LocaleDateParts());
    }
    return format;
}

QString ShownEntryDate(const QDate& date) { return QLocale().toString(date, EntryDateDisplayFormat()); }

QString ShownEntryDate(const QString& stored)
{
    const QDate date = ParseEntryDate(stored);
    return date.isValid() ? ShownEntryDate(date) : stored;
}
