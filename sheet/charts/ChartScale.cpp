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
namespace {

// Steps 1 to 3: the range to scale, with the mirrored flag and the limits still automatic.
struct Span {
    double sourceMin = 0; // the data, or the fixed limits
    double sourceMax = 0;
    double lo = 0; // what the axis must show before rounding to units
    double hi = 0;
    bool autoMin = true;
    bool autoMax = true;
    bool mirrored = false;
};

Span spanOf(double dataMin, double dataMax, const ValueAxisScaling& stored)
{
    Span s;
    s.autoMin = stored.autoMin;
    s.autoMax = stored.autoMax;
    if (!std::isfinite(dataMin) || !std::isfinite(dataMax) || dataMin > dataMax)
        dataMin = dataMax = 0;
    s.sourceMin = s.autoMin || !std::isfinite(stored.min) ? dataMin : stored.min;
    s.sourceMax = s.autoMax || !std::isfinite(stored.max) ? dataMax : stored.max;
    if (s.sourceMin > s.sourceMax) {
        if (s.autoMax || !s.autoMin)
            s.sourceMax = s.sourceMin;
        else
            s.sourceMin = s.sourceMax;
    }
    s.mirrored = s.sourceMin < 0 && s.sourceMax <= 0;
    if (s.mirrored) {
        const double t = s.sourceMin;
        s.sourceMin = -s.sourceMax;
        s.sourceMax = -t;
        std::swap(s.autoMin, s.autoMax);
    }
    s.lo = s.sourceMin;
    s.hi = s.sourceMax;
    if (s.autoMin && s.lo > 0) {
        if (s.lo == s.hi || s.lo / s.hi < 5.0 / 6.0)
            s.lo = 0;
        else
            s.lo -= (s.hi - s.lo) / 2;
    }
    if (s.lo == s.hi) {
        if (s.autoMax || !s.autoMin)
            s.hi = s.hi == 0 ? 1 : s.hi * 2;
        else
            s.lo = s.lo == 0 ? -1 : s.lo / 2;
    }
    return s;
}

// Step 4 and the ladder of step 6: 1, 2 or 5 times a power of ten.
class MajorUnit {
public:
    double first(double raw)
    {
        if (!(raw > 1e-307)) {
            m_normalized = 1;
            m_magnitude = 1e-307;
        } else if (!std::isfinite(raw)) {
            m_normalized = 1;
            m_magnitude = std::numeric_limits<double>::max();
        } else {
            m_magnitude = std::pow(10.0, std::floor(std::log10(raw)));
            const double n = raw / m_magnitude;
            m_normalized = n <= 1.0 + 1e-12 ? 1 : n <= 2.0 + 1e-12 ? 2 : n <= 5.0 + 1e-12 ? 5 : 10;
            if (m_normalized == 10) {
                m_normalized = 1;
                m_magnitude *= 10;
            }
        }
        return m_normalized * m_magnitude;
    }
    double next()
    {
        if (m_normalized == 1) {
            m_normalized = 2;
        } else if (m_normalized == 2) {
            m_normalized = 5;
        } else {
            m_normalized = 1;
            m_magnitude *= 10;
        }
        return m_normalized * m_magnitude;
    }

private:
    double m_normalized = 1;
    double m_magnitude = 1;
};

// Compare with a little slack so that 0.1 * 3 counts as 0.3.
double approxFloor(double v) { return std::floor(v + 1e-9 * std::max(1.0, std::fabs(v))); }
double approxCeil(double v) { return std::ceil(v - 1e-9 * std::max(1.0, std::fabs(v))); }

// Step 5: limits on whole units from `base`, one more unit where the data touches an end.
// Returns the number of intervals.
double fitLimits(const Span& s, double base, double major, AxisScale& out)
{
    double axisMin = s.lo;
    double axisMax = s.hi;
    if (s.autoMin) {
        axisMin = base + approxFloor((axisMin - base) / major) * major;
        if (axisMin != 0 && (axisMax - s.sourceMin) / (axisMax - axisMin) > 20.0 / 21.0)
            axisMin -= major;
    }
    if (s.autoMax) {
        axisMax = base + approxCeil((axisMax - base) / major) * major;
        if (axisMax != 0 && (s.sourceMax - axisMin) / (axisMax - axisMin) > 20.0 / 21.0)
            axisMax += major;
    }
    out.min = s.mirrored ? -axisMax : axisMin;
    out.max = s.mirrored ? -axisMin : axisMax;
    out.major = major;
    return approxFloor((axisMax - axisMin) / major);
}

} // namespace

AxisScale scaleValueAxis(double dataMin, double dataMax, const ValueAxisScaling& stored, int maxIntervals)
{
    maxIntervals = std::clamp(maxIntervals, 2, 10);
    const Span span = spanOf(dataMin, dataMax, stored);
    // Ticks are anchored at 0 unless a fixed limit gives the anchor.
    const double base = !span.autoMin ? span.lo : (!span.autoMax ? span.hi : 0.0);
    bool autoMajor = stored.autoMajor || !(stored.major > 0) || !std::isfinite(stored.major);
    const int maxCount = autoMajor ? maxIntervals : 500;
    MajorUnit ladder;
    bool onLadder = false;
    double major = stored.major;

    AxisScale out;
    for (int guard = 0; guard < 400; ++guard) {
        if (autoMajor) {
            major = onLadder ? ladder.next() : ladder.first((span.hi - span.lo) / maxIntervals);
            onLadder = true;
        }
        const double count = fitLimits(span, base, major, out);
        if (!(count > maxCount) || !std::isfinite(count))
            break;
        autoMajor = true; // even a fixed unit gives way when it makes too many intervals
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
