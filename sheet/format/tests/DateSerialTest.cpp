#include "format/DateSerial.h"

#include <gtest/gtest.h>

using namespace sheet;

namespace {

TEST(DateSerial, TheNineteenHundredSystemWithItsPhantomLeapDay)
{
    EXPECT_EQ(dateToSerial(QDate(1900, 1, 1)), 1);
    EXPECT_EQ(dateToSerial(QDate(1900, 2, 28)), 59);
    EXPECT_EQ(dateToSerial(QDate(1900, 3, 1)), 61);
    EXPECT_EQ(dateToSerial(QDate(2004, 6, 10)), 38148);
    EXPECT_EQ(dateToSerial(QDate(2004, 12, 2)), 38323);
    EXPECT_EQ(dateToSerial(QDate(9999, 12, 31)), 2958465);
}

TEST(DateSerial, SerialsBackToDates)
{
    EXPECT_EQ(serialToDate(1), QDate(1900, 1, 1));
    EXPECT_EQ(serialToDate(59), QDate(1900, 2, 28));
    EXPECT_EQ(serialToDate(61), QDate(1900, 3, 1));
    EXPECT_EQ(serialToDate(38148), QDate(2004, 6, 10));
    EXPECT_EQ(serialToDate(38148.75), QDate(2004, 6, 10));
    // The 29th that never was has no QDate: it reads as the 28th and is flagged.
    EXPECT_EQ(serialToDate(60), QDate(1900, 2, 28));
    EXPECT_TRUE(isPhantomLeapDay(60.5));
    EXPECT_FALSE(isPhantomLeapDay(61));
    // A time that rounds up to midnight is the next day.
    EXPECT_EQ(serialToDate(38148.9999999999), QDate(2004, 6, 11));
    EXPECT_FALSE(serialToDate(-1).isValid());
    EXPECT_FALSE(serialToDate(3e6).isValid());
}

TEST(DateSerial, EveryDayRoundTrips)
{
    for (QDate d(1900, 1, 1); d <= QDate(2100, 1, 1); d = d.addDays(1)) {
        const double s = dateToSerial(d);
        ASSERT_EQ(serialToDate(s), d) << d.toString(Qt::ISODate).toStdString();
    }
}

TEST(DateSerial, TimeFractions)
{
    EXPECT_DOUBLE_EQ(timeToFraction(QTime(18, 0)), 0.75);
    EXPECT_EQ(fractionToTime(38148.75), QTime(18, 0));
    EXPECT_EQ(fractionToTime(0.5 + 1.0 / 86400), QTime(12, 0, 1));
    EXPECT_DOUBLE_EQ(dateTimeToSerial(QDateTime(QDate(2004, 6, 10), QTime(6, 0))), 38148.25);
}

} // namespace
