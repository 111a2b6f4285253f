#include "EntryDate.h"

#include "LocaleText.h"

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

QString EntryDateDisplayFormat()
{
    QString separator = LocaleDateSeparator();
    // A letter would be read as a format field; quote it.
    if (separator == QLatin1String("'"))
        separator = QStringLiteral("''");
    else if (separator.at(0).isLetter())
        separator = QLatin1Char('\'') + separator + QLatin1Char('\'');
    return QStringLiteral("M") + separator + QStringLiteral("d") + separator + QStringLiteral("yyyy");
}
