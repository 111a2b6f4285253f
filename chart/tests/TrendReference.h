#pragma once
// The trend, the change per week and the goal date worked out in plain C++, straight from their
// definitions, to check the workbook's formulas against.

#include <QString>

#include <cmath>
#include <optional>
#include <vector>

namespace trendref {

struct Entry {
    std::optional<int> day; // the date's serial number; none: a date text that names no date
    std::optional<double> weight;
};

struct Figures {
    std::vector<std::optional<double>> trend; // per entry
    std::optional<double> changePerWeek;
    // The goal date's serial number, or the text the cell shows ("" too).
    std::optional<int> goalDate;
    QString goalText;
    bool lastDated = false; // some entry has a date
};

inline std::vector<std::optional<double>> Trend(const std::vector<Entry>& entries)
{
    std::vector<std::optional<double>> trend;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        if (i == 0) {
            trend.push_back(e.weight);
        } else if (!e.weight || !e.day) {
            trend.push_back(trend.back()); // carried over
        } else if (trend.back() && entries[i - 1].day) {
            const double days = *e.day - *entries[i - 1].day;
            trend.push_back(*trend.back() + (1 - std::pow(0.9, days)) * (*e.weight - *trend.back()));
        } else {
            trend.push_back(e.weight); // the first weight starts it
        }
    }
    return trend;
}

// Entries are in date order, those without a date last.
inline Figures Compute(const std::vector<Entry>& entries, std::optional<double> goal)
{
    Figures f;
    f.trend = Trend(entries);
    int last = -1;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].day)
            last = static_cast<int>(i);
    }
    if (last < 0)
        return f;
    f.lastDated = true;
    const auto lastIndex = static_cast<std::size_t>(last);
    const int lastDay = *entries[lastIndex].day;
    int then = -1; // the latest entry at least 28 days before the last one
    for (int i = 0; i <= last; ++i) {
        if (*entries[static_cast<std::size_t>(i)].day <= lastDay - 28)
            then = i;
    }
    const std::optional<double> lastTrend = f.trend[lastIndex];
    if (then >= 0 && lastTrend && f.trend[static_cast<std::size_t>(then)]) {
        const auto t = static_cast<std::size_t>(then);
        f.changePerWeek = (*lastTrend - *f.trend[t]) / (lastDay - *entries[t].day) * 7;
    }
    if (!goal || !lastTrend)
        return f;
    std::optional<double> firstTrend;
    for (std::size_t i = 0; i <= lastIndex && !firstTrend; ++i)
        firstTrend = f.trend[i];
    if ((*goal - *lastTrend) * (*goal - *firstTrend) <= 0) {
        f.goalText = QStringLiteral("reached");
    } else if (f.changePerWeek) {
        const double date = lastDay + (*goal - *lastTrend) / (*f.changePerWeek / 7);
        if ((*goal - *lastTrend) * *f.changePerWeek > 0 && date <= 2958465)
            f.goalDate = static_cast<int>(std::floor(date));
        else
            f.goalText = QStringLiteral("not on current trend");
    }
    return f;
}

} // namespace trendref
