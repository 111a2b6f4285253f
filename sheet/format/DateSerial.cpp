#include "DateSerial.h"

#include <cmath>

namespace sheet {

namespace {
const QDate kEpoch(1899, 12, 30);      // serial 0 counting the phantom leap day
const QDate kEarlyEpoch(1899, 12, 31); // serial 0 before it
const QDate kFirstTrueDay(1900, 3, 1); // serial 61
constexpr double kMsPerDay = 86400000.0;
constexpr double kLastSerial = 2958465; // 9999-12-31
} // namespace

double dateToSerial(const QDate& date)
{
    if (!date.isValid())
        return std::nan("");
    if (date < kFirstTrueDay)
        return static_cast<double>(kEarlyEpoch.daysTo(date));
    return static_cast<double>(kEpoch.daysTo(date));
}

QDate serialToDate(double serial)
{
    if (!std::isfinite(serial) || serial < 0 || serial >= kLastSerial + 1)
        return {};
    double day = std::floor(serial);
    // A time that rounds up to midnight belongs to the next day.
    if (std::llround((serial - day) * kMsPerDay) >= static_cast<long long>(kMsPerDay))
        day += 1;
    if (day > kLastSerial)
        return {};
    const qint64 d = static_cast<qint64>(day);
    if (d >= 61)
        return kEpoch.addDays(d);
    if (d == 60)
        return QDate(1900, 2, 28);
    return kEarlyEpoch.addDays(d);
}

double timeToFraction(const QTime& time)
{
    if (!time.isValid())
        return 0;
    return time.msecsSinceStartOfDay() / kMsPerDay;
}

QTime fractionToTime(double serial)
{
    if (!std::isfinite(serial))
        return {};
    long long ms = std::llround((serial - std::floor(serial)) * kMsPerDay);
    if (ms >= static_cast<long long>(kMsPerDay))
        ms = 0;
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms));
}

double dateTimeToSerial(const QDateTime& dateTime)
{
    return dateToSerial(dateTime.date()) + timeToFraction(dateTime.time());
}

bool isPhantomLeapDay(double serial) { return std::isfinite(serial) && std::floor(serial) == 60; }

} // namespace sheet
