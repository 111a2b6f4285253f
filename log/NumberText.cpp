#include "NumberText.h"

#include <QLocale>
#include <QRegularExpression>

namespace {

// Stored numbers: "5", "5.", "35.50", ".5", "-2.25".
const QRegularExpression& StoredNumberPattern()
{
    static const QRegularExpression pattern(QStringLiteral("^-?(?:\\d+\\.?\\d*|\\.\\d+)$"));
    return pattern;
}

// What older versions stored under a decimal-comma locale.
const QRegularExpression& OldDecimalCommaPattern()
{
    static const QRegularExpression pattern(QStringLiteral("^-?\\d*,\\d{1,2}$"));
    return pattern;
}

QString DecimalPoint() { return QLocale().decimalPoint(); }

// The typed text split into its parts, or false when it is not a plain number of the locale.
bool SplitTyped(const QString& text, QString* sign, QString* whole, QString* fraction, bool* hasPoint)
{
    const QString point = DecimalPoint();
    QString t = text.trimmed();
    const QString localeMinus = QLocale().negativeSign();
    if (t.startsWith(QLatin1Char('-'))) {
        *sign = QStringLiteral("-");
        t.remove(0, 1);
    } else if (!localeMinus.isEmpty() && t.startsWith(localeMinus)) {
        *sign = QStringLiteral("-");
        t.remove(0, localeMinus.size());
    }
    const qsizetype at = t.indexOf(point);
    *hasPoint = at >= 0;
    *whole = *hasPoint ? t.left(at) : t;
    *fraction = *hasPoint ? t.mid(at + point.size()) : QString();
    auto digitsOnly = [](const QString& s) {
        for (const QChar c : s) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        }
        return true;
    };
    return digitsOnly(*whole) && digitsOnly(*fraction) && !(whole->isEmpty() && fraction->isEmpty());
}

} // namespace

QString StoredNumberText(const QString& shown)
{
    QString sign, whole, fraction;
    bool hasPoint = false;
    if (!SplitTyped(shown, &sign, &whole, &fraction, &hasPoint))
        return shown;
    // Keep the digits and blanks exactly; only the separator changes.
    QString stored = shown;
    if (hasPoint && DecimalPoint() != QLatin1String("."))
        stored.replace(stored.indexOf(DecimalPoint()), DecimalPoint().size(), QStringLiteral("."));
    return stored;
}

QString CanonicalStoredNumber(const QString& stored)
{
    if (OldDecimalCommaPattern().match(stored).hasMatch()) {
        QString text = stored;
        text.replace(QLatin1Char(','), QLatin1Char('.'));
        return text;
    }
    return stored;
}

QString ShownNumberText(const QString& stored)
{
    const QString canonical = CanonicalStoredNumber(stored);
    if (!StoredNumberPattern().match(canonical).hasMatch())
        return stored;
    QString shown = canonical;
    shown.replace(QLatin1Char('.'), DecimalPoint());
    return shown;
}

std::optional<double> ReadTypedNumber(const QString& text)
{
    QString sign, whole, fraction;
    bool hasPoint = false;
    if (!SplitTyped(text, &sign, &whole, &fraction, &hasPoint))
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(sign + (whole.isEmpty() ? QStringLiteral("0") : whole) + QLatin1Char('.')
                                                   + (fraction.isEmpty() ? QStringLiteral("0") : fraction),
                                               &ok);
    if (!ok)
        return std::nullopt;
    return value;
}

QString ExampleNumber(double value) { return QLocale().toString(value, 'f', 1); }
