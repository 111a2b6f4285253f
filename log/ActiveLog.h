#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The two logs' columns and what their heights must be for the chart templates.

// Column captions of each log as the switch creates them, and the imperial ones of start-up
// (two of those begin with a blank).
QStringList ImperialColumns();
QStringList MetricColumns();
QStringList StartupImperialColumns();
// The first column is this wide after start-up and every switch.
constexpr int DateColumnTwips = 1500;

// Why the height fields cannot go into the active log's chart template, naming the field at
// fault (1 or 2), or nothing when they can. The first field (feet, metres) takes a whole
// number, the second a number in the user's locale (inches also a fraction, "3/8" or
// "5 3/8", which the imperial template shows as such); neither below zero, together above zero.
struct HeightProblem {
    int field = 0;
    QString message;
};
std::optional<HeightProblem> CheckHeightForChart(bool imperial, const QString& first, const QString& second);
