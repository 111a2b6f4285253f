#include "ActiveLog.h"

#include "NumberText.h"

#include <QRegularExpression>

QStringList ImperialColumns()
{
    return {QStringLiteral("Date"), QStringLiteral("Weight (lbs)"), QStringLiteral("Chest (inch)"),
            QStringLiteral("Waist (inch)"), QStringLiteral("Hips (inch)")};
}

QStringList MetricColumns()
{
    return {QStringLiteral("Date"),        QStringLiteral("Weight (kg)"), QStringLiteral("Chest (cm)"),
            QStringLiteral("Waist (cm)"),  QStringLiteral("Hips (cm)"),   QStringLiteral("Wrist (cm)"),
            QStringLiteral("Forearm (cm)")};
}

QStringList StartupImperialColumns()
{
    return {QStringLiteral("Date"), QStringLiteral(" Weight (lbs)"), QStringLiteral("Chest (inch)"),
            QStringLiteral(" Waist (inch)"), QStringLiteral("Hips (inch)")};
}

namespace {

// "3/8" or "5 3/8".
std::optional<double> ReadFraction(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(?:(\\d+)\\s+)?(\\d+)\\s*/\\s*(\\d+)\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const double denominator = match.captured(3).toDouble();
    if (denominator == 0)
        return std::nullopt;
    return match.captured(1).toDouble() + match.captured(2).toDouble() / denominator;
}

} // namespace

std::optional<HeightProblem> CheckHeightForChart(bool imperial, const QString& first, const QString& second)
{
    const QString firstName = imperial ? QStringLiteral("Feet") : QStringLiteral("Meter");
    const QString secondName = imperial ? QStringLiteral("Inches") : QStringLiteral("CM");
    static const QRegularExpression whole(QStringLiteral("^\\s*\\d+\\s*$"));
    if (first.trimmed().isEmpty())
        return HeightProblem{1, QStringLiteral("Please type the height under \"%1\".").arg(firstName)};
    if (!whole.match(first).hasMatch())
        return HeightProblem{
            1,
            QStringLiteral("The height \"%1\" under \"%2\" is not a whole number. Please type the whole %3 "
                           "there and the rest under \"%4\".")
                .arg(first, firstName, imperial ? QStringLiteral("feet") : QStringLiteral("metres"), secondName)};
    if (second.trimmed().isEmpty())
        return HeightProblem{
            2, QStringLiteral("Please type the height under \"%1\" (0 when there is nothing to add).").arg(secondName)};
    std::optional<double> rest = ReadTypedNumber(second);
    if (!rest && imperial)
        rest = ReadFraction(second);
    if (!rest || *rest < 0)
        return HeightProblem{
            2,
            QStringLiteral("The height \"%1\" under \"%2\" is not a number. Please type a number there, "
                           "for example %3.")
                .arg(second, secondName,
                     imperial ? ExampleNumber(7.5) + QStringLiteral(" or 3/8") : QStringLiteral("68"))};
    if (first.trimmed().toDouble() == 0 && *rest == 0)
        return HeightProblem{
            1, QStringLiteral("The height is 0. Please type it under \"%1\" and \"%2\".").arg(firstName, secondName)};
    return std::nullopt;
}
