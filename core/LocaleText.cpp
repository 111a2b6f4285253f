#include "LocaleText.h"

#include <QLocale>

QString LocaleDecimalSeparator()
{
    const QString half = QLocale().toString(0.5).trimmed();
    return half.mid(1, 1);
}

QString LocaleDateSeparator()
{
    // The first character between the day, month and year fields of the short date format.
    const QString format = QLocale().dateFormat(QLocale::ShortFormat);
    bool inQuote = false;
    bool seenField = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            inQuote = !inQuote;
            continue;
        }
        if (inQuote)
            continue;
        if (c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y')) {
            seenField = true;
        } else if (seenField && !c.isSpace()) {
            return QString(c);
        }
    }
    return QStringLiteral("/");
}

QString NormalizeDecimal(const QString& text, DecimalDirection direction)
{
    const QString separator = LocaleDecimalSeparator();
    QString result = text;
    if (direction == DecimalDirection::ToPoint) {
        result.replace(separator, QStringLiteral("."));
    } else {
        result.replace(QLatin1Char('.'), separator);
        result.replace(QLatin1Char(','), separator);
    }
    return result;
}
