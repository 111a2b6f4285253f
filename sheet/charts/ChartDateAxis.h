#pragma once

#include "charts/Chart.h"

#include <vector>

namespace sheet {

// A date category axis as drawn: each date at its place in whole base units, the first and
// last place, and labelled ticks every `major` `majorUnit`s from the first date.
struct DateAxisSteps {
    DateUnit base = DateUnit::Days;
    long first = 0;
    long last = 0;
    int major = 1;
    DateUnit majorUnit = DateUnit::Days;
    std::vector<double> ticks; // date serials

    bool operator==(const DateAxisSteps& o) const
    {
        return base == o.base && first == o.first && last == o.last && major == o.major && majorUnit == o.majorUnit
            && ticks == o.ticks;
    }
};

// A date serial's place on an axis of `base` units: its day, or its month or year counted
// from 1900. Serials are whole days of the 1900 date system.
long dateAxisPlace(double serial, DateUnit base);

// The largest unit that keeps every two different dates apart: years when all dates fall on
// January 1st, months when all fall on the 1st of a month, else days.
DateUnit automaticDateBase(const std::vector<double>& serials);

// The axis for dates `serials` (at least one, each a valid date): the base unit and the
// label step as `stored` fixes them, else the base from the dates and the first step of
// 1, 2, 7 or 14 days, 1, 2, 3 or 6 months, 1, 2 or 5 years times a power of ten, whose
// ticks lie at least `spacing` pixels apart on an axis `length` pixels long. `between`:
// points sit in the middle of their base unit's slot, else on the slot's edges.
DateAxisSteps dateAxisSteps(const std::vector<double>& serials, const DateAxisScaling& stored, double length,
                            double spacing, bool between);

} // namespace sheet
