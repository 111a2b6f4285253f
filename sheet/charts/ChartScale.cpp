#include "charts/ChartScale.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace sheet {

// The rule, step by step (all limits automatic unless the axis fixes them):
//
// 1. Data entirely at or below zero is mirrored to positive numbers first and mirrored back
//    at the end, so [-5, -2] scales as [2, 5] does.
// 2. Positive data with an automatic minimum: when the smallest value is below 5/6 of the
//    largest (or equals it) the axis starts at 0; otherwise the minimum moves down by half
//    the data's spread, so that small differences still show as differences but the
//    smallest point does not sit on the axis.
// 3. A range still empty (one value, or no data) opens upwards: 0 becomes 0..1, anything
//    else is doubled.
// 4. The major unit: (max - min) / maxIntervals, rounded up to 1, 2 or 5 times a power of
//    ten.
// 5. Limits move outwards to whole multiples of the unit; when the data then still reaches
//    into the last twenty-first of the axis at either end, that end moves out by one more
//    unit, so no point sits on the plot area's edge.
// 6. If that leaves more than maxIntervals intervals, the unit goes one step up the
//    1-2-5 ladder and steps 5 and 6 run again.
//
// LibreOffice limits maxIntervals by the axis length over the label height, between 2 and
// 10; ChartInteropTest compares the result with the axis LibreOffice draws for the same data.
AxisScale scaleValueAxis(double dataMin, double dataMax, const ValueAxisScaling& stored, int maxIntervals)
{
    maxIntervals = std::clamp(maxIntervals, 2, 10);
    bool autoMin = stored.autoMin;
    bool autoMax = stored.autoMax;
    if (!std::isfinite(dataMin) || !std::isfinite(dataMax) || dataMin > dataMax)
        dataMin = dataMax = 0;
    double sourceMin = autoMin ? dataMin : stored.min;
    double sourceMax = autoMax ? dataMax : stored.max;
    if (!std::isfinite(sourceMin))
        sourceMin = dataMin;
    if (!std::isfinite(sourceMax))
        sourceMax = dataMax;
    if (sourceMin > sourceMax) {
        if (autoMax || !autoMin)
            sourceMax = sourceMin;
        else
            sourceMin = sourceMax;
    }

    const bool mirrored = sourceMin < 0 && sourceMax <= 0;
    if (mirrored) {
        const double t = sourceMin;
        sourceMin = -sourceMax;
        sourceMax = -t;
        std::swap(autoMin, autoMax);
    }

    double lo = sourceMin;
    double hi = sourceMax;
    if (autoMin && lo > 0) {
        if (lo == hi || lo / hi < 5.0 / 6.0)
            lo = 0;
        else
            lo -= (hi - lo) / 2;
    }
    if (lo == hi) {
        if (autoMax || !autoMin)
            hi = hi == 0 ? 1 : hi * 2;
        else
            lo = lo == 0 ? -1 : lo / 2;
    }

    // Ticks are anchored at 0 unless a fixed limit gives the anchor.
    const double base = !autoMin ? lo : (!autoMax ? hi : 0.0);
    bool autoMajor = stored.autoMajor || !(stored.major > 0) || !std::isfinite(stored.major);
    const int maxCount = autoMajor ? maxIntervals : 500;
    double major = autoMajor ? 0 : stored.major;
    double magnitude = 0;
    double normalized = 0;
    bool haveNormalized = false;
    // Compare with a little slack so that 0.1 * 3 counts as 0.3.
    auto approxFloor = [](double v) { return std::floor(v + 1e-9 * std::max(1.0, std::fabs(v))); };
    auto approxCeil = [](double v) { return std::ceil(v - 1e-9 * std::max(1.0, std::fabs(v))); };

    AxisScale out;
    for (int guard = 0; guard < 400; ++guard) {
        if (autoMajor) {
            if (!haveNormalized) {
                const double raw = (hi - lo) / maxIntervals;
                if (!(raw > 1e-307)) {
                    normalized = 1;
                    magnitude = 1e-307;
                } else if (!std::isfinite(raw)) {
                    normalized = 1;
                    magnitude = std::numeric_limits<double>::max();
                } else {
                    magnitude = std::pow(10.0, std::floor(std::log10(raw)));
                    normalized = raw / magnitude;
                    if (normalized <= 1.0 + 1e-12)
                        normalized = 1;
                    else if (normalized <= 2.0 + 1e-12)
                        normalized = 2;
                    else if (normalized <= 5.0 + 1e-12)
                        normalized = 5;
                    else {
                        normalized = 1;
                        magnitude *= 10;
                    }
                }
                haveNormalized = true;
            } else if (normalized == 1) {
                normalized = 2;
            } else if (normalized == 2) {
                normalized = 5;
            } else {
                normalized = 1;
                magnitude *= 10;
            }
            major = normalized * magnitude;
        }

        double axisMin = lo;
        double axisMax = hi;
        if (autoMin) {
            axisMin = base + approxFloor((axisMin - base) / major) * major;
            if (axisMin != 0 && (axisMax - sourceMin) / (axisMax - axisMin) > 20.0 / 21.0)
                axisMin -= major;
        }
        if (autoMax) {
            axisMax = base + approxCeil((axisMax - base) / major) * major;
            if (axisMax != 0 && (sourceMax - axisMin) / (axisMax - axisMin) > 20.0 / 21.0)
                axisMax += major;
        }
        out.min = mirrored ? -axisMax : axisMin;
        out.max = mirrored ? -axisMin : axisMax;
        out.major = major;
        const double count = approxFloor((axisMax - axisMin) / major);
        if (!(count > maxCount) || !std::isfinite(count))
            break;
        autoMajor = true;
    }
    if (!(out.max > out.min) || !std::isfinite(out.max - out.min) || !(out.major > 0)) {
        // Data spanning nearly all of double's range: an axis as wide as can be drawn.
        out.min = -8e307;
        out.max = 8e307;
        out.major = 2e307;
    }
    return out;
}

} // namespace sheet
