#include "charts/ChartDateAxis.h"

#include "format/DateSerial.h"

#include <algorithm>
#include <cmath>

namespace sheet {

namespace {

constexpr double kDaysPerMonth = 365.2425 / 12;
constexpr double kDaysPerYear = 365.2425;
constexpr int kMaxTicks = 1000;

double daysIn(DateUnit unit)
{
    switch (unit) {
    case DateUnit::Days: return 1;
    case DateUnit::Months: return kDaysPerMonth;
    case DateUnit::Years: return kDaysPerYear;
    }
    return 1;
}

struct Step {
    int count;
    DateUnit unit;
};

// Calendar steps from the smallest up; none smaller than the base unit.
std::vector<Step> candidateSteps(DateUnit base)
{
    std::vector<Step> out;
    if (base == DateUnit::Days)
        for (int days : {1, 2, 7, 14})
            out.push_back({days, DateUnit::Days});
    if (base != DateUnit::Years)
        for (int months : {1, 2, 3, 6})
            out.push_back({months, DateUnit::Months});
    for (int power = 1; power <= 1000; power *= 10)
        for (int years : {1, 2, 5})
            out.push_back({years * power, DateUnit::Years});
    return out;
}

double serialAfter(const QDate& first, int steps, const Step& step)
{
    switch (step.unit) {
    case DateUnit::Days: return dateToSerial(first.addDays(static_cast<qint64>(steps) * step.count));
    case DateUnit::Months: return dateToSerial(first.addMonths(steps * step.count));
    case DateUnit::Years: return dateToSerial(first.addYears(steps * step.count));
    }
    return 0;
}

} // namespace

long dateAxisPlace(double serial, DateUnit base)
{
    if (base == DateUnit::Days)
        return static_cast<long>(std::floor(serial));
    const QDate d = serialToDate(serial);
    if (base == DateUnit::Months)
        return (d.year() - 1900) * 12L + d.month() - 1;
    return d.year() - 1900L;
}

DateUnit automaticDateBase(const std::vector<double>& serials)
{
    bool firstOfMonth = true;
    bool firstOfYear = true;
    for (double s : serials) {
        const QDate d = serialToDate(s);
        firstOfMonth = firstOfMonth && d.day() == 1;
        firstOfYear = firstOfYear && d.day() == 1 && d.month() == 1;
    }
    // One date alone is shown by its day.
    const bool several = std::adjacent_find(serials.begin(), serials.end(), std::not_equal_to<>()) != serials.end();
    if (!several)
        return DateUnit::Days;
    return firstOfYear ? DateUnit::Years : firstOfMonth ? DateUnit::Months : DateUnit::Days;
}

DateAxisSteps dateAxisSteps(const std::vector<double>& serials, const DateAxisScaling& stored, double length,
                            double spacing, bool between)
{
    DateAxisSteps out;
    out.base = stored.autoBase ? automaticDateBase(serials) : stored.base;
    const auto [lo, hi] = std::minmax_element(serials.begin(), serials.end());
    out.first = dateAxisPlace(*lo, out.base);
    out.last = dateAxisPlace(*hi, out.base);
    const long places = out.last - out.first + 1;
    const double pixelsPerPlace = length / std::max(1L, between ? places : places - 1);

    Step step{stored.major, stored.majorUnit};
    if (stored.autoMajor || (!stored.autoBase && stored.majorUnit < stored.base)) {
        const std::vector<Step> steps = candidateSteps(out.base);
        step = steps.back();
        for (const Step& s : steps) {
            if (s.count * daysIn(s.unit) / daysIn(out.base) * pixelsPerPlace >= spacing) {
                step = s;
                break;
            }
        }
    }
    out.major = step.count;
    out.majorUnit = step.unit;

    const QDate first = serialToDate(*lo);
    for (int k = 0; k < kMaxTicks; ++k) {
        const double serial = serialAfter(first, k, step);
        if (dateAxisPlace(serial, out.base) > out.last)
            break;
        out.ticks.push_back(serial);
    }
    return out;
}

} // namespace sheet
