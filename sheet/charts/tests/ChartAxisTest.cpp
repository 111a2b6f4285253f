// The arithmetic of chart axes without drawing: calendar steps of a date axis, and value
// labels with enough decimals for their step.
#include "charts/ChartDateAxis.h"
#include "charts/ChartLabels.h"
#include "format/DateSerial.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"

#include <gtest/gtest.h>

using namespace sheet;

namespace {

double serial(int y, int m, int d) { return dateToSerial(QDate(y, m, d)); }

// Dates from `first`, `count` of them, `days` apart.
std::vector<double> every(const QDate& first, int days, int count)
{
    std::vector<double> out;
    for (int i = 0; i < count; ++i)
        out.push_back(dateToSerial(first.addDays(static_cast<qint64>(i) * days)));
    return out;
}

std::vector<QDate> datesOf(const std::vector<double>& serials)
{
    std::vector<QDate> out;
    for (double s : serials)
        out.push_back(serialToDate(s));
    return out;
}

const QLocale kUs(QLocale::English, QLocale::UnitedStates);

} // namespace

TEST(ChartDateAxis, PlacesAndTheBaseUnit)
{
    EXPECT_EQ(dateAxisPlace(serial(2004, 6, 10), DateUnit::Days), 38148);
    EXPECT_EQ(dateAxisPlace(serial(2004, 6, 10) + 0.75, DateUnit::Days), 38148); // the time of day does not count
    EXPECT_EQ(dateAxisPlace(serial(2004, 6, 10), DateUnit::Months), 104 * 12 + 5);
    EXPECT_EQ(dateAxisPlace(serial(2004, 6, 30), DateUnit::Months), 104 * 12 + 5);
    EXPECT_EQ(dateAxisPlace(serial(2004, 6, 10), DateUnit::Years), 104);

    EXPECT_EQ(automaticDateBase(every(QDate(2004, 6, 10), 7, 26)), DateUnit::Days);
    EXPECT_EQ(automaticDateBase({serial(2004, 1, 1), serial(2004, 3, 1), serial(2005, 2, 1)}), DateUnit::Months);
    EXPECT_EQ(automaticDateBase({serial(2001, 1, 1), serial(2004, 1, 1)}), DateUnit::Years);
    // One date, or the same date again and again: shown by the day.
    EXPECT_EQ(automaticDateBase({serial(2004, 1, 1)}), DateUnit::Days);
    EXPECT_EQ(automaticDateBase({serial(2004, 1, 1), serial(2004, 1, 1)}), DateUnit::Days);
}

TEST(ChartDateAxis, LabelsAtTheFirstCalendarStepThatFits)
{
    // 26 weekly entries, 175 days over 800 pixels (4.5 a day), labels 60 pixels apart:
    // one a fortnight, from the first entry.
    const std::vector<double> weekly = every(QDate(2004, 6, 10), 7, 26);
    DateAxisSteps s = dateAxisSteps(weekly, {}, 800, 60, true);
    EXPECT_EQ(s.base, DateUnit::Days);
    EXPECT_EQ(s.first, 38148);
    EXPECT_EQ(s.last, 38148 + 175);
    EXPECT_EQ(s.major, 14);
    EXPECT_EQ(s.majorUnit, DateUnit::Days);
    ASSERT_EQ(s.ticks.size(), 13u);
    EXPECT_EQ(serialToDate(s.ticks[1]), QDate(2004, 6, 24));
    EXPECT_EQ(serialToDate(s.ticks.back()), QDate(2004, 11, 25));
    // Twice the room: weekly labels.
    EXPECT_EQ(dateAxisSteps(weekly, {}, 1600, 60, true).major, 7);
    // Labels that need more room than two weeks give: a month.
    s = dateAxisSteps(weekly, {}, 800, 100, true);
    EXPECT_EQ(s.major, 1);
    EXPECT_EQ(s.majorUnit, DateUnit::Months);
    EXPECT_EQ(datesOf(s.ticks).at(1), QDate(2004, 7, 10));

    // A year of daily entries: a month, then a quarter, then half a year as room shrinks.
    const std::vector<double> daily = every(QDate(2003, 1, 31), 1, 366);
    EXPECT_EQ(dateAxisSteps(daily, {}, 800, 60, true).majorUnit, DateUnit::Months);
    EXPECT_EQ(dateAxisSteps(daily, {}, 800, 60, true).major, 1);
    EXPECT_EQ(dateAxisSteps(daily, {}, 400, 60, true).major, 2);
    EXPECT_EQ(dateAxisSteps(daily, {}, 300, 60, true).major, 3);
    // Months from January 31st end at each month's last day.
    EXPECT_EQ(datesOf(dateAxisSteps(daily, {}, 800, 60, true).ticks).at(1), QDate(2003, 2, 28));
    // Twenty years: every five years.
    const DateAxisSteps years = dateAxisSteps(every(QDate(1990, 3, 1), 365, 21), {}, 800, 120, true);
    EXPECT_EQ(years.majorUnit, DateUnit::Years);
    EXPECT_EQ(years.major, 5);
    EXPECT_EQ(datesOf(years.ticks).at(1), QDate(1995, 3, 1));
}

TEST(ChartDateAxis, FixedUnitsOneDateAndPointsOnTicks)
{
    const std::vector<double> weekly = every(QDate(2004, 6, 10), 7, 26);
    // The chart's own step is kept, however crowded.
    DateAxisSteps s
        = dateAxisSteps(weekly, DateAxisScaling{true, DateUnit::Days, false, 7, DateUnit::Days}, 100, 60, true);
    EXPECT_EQ(s.major, 7);
    EXPECT_EQ(s.ticks.size(), 26u);
    // A base of months puts the entries of a month in one place.
    s = dateAxisSteps(weekly, DateAxisScaling{false, DateUnit::Months, true, 1, DateUnit::Days}, 800, 60, true);
    EXPECT_EQ(s.base, DateUnit::Months);
    EXPECT_EQ(s.last - s.first, 6); // June to December
    EXPECT_EQ(s.majorUnit, DateUnit::Months);

    // One entry, or all on one day: one place, one label.
    for (const std::vector<double>& dates :
         {std::vector<double>{serial(2004, 6, 10)}, std::vector<double>(5, serial(2004, 6, 10))}) {
        s = dateAxisSteps(dates, {}, 800, 60, true);
        EXPECT_EQ(s.first, s.last);
        EXPECT_EQ(s.ticks, std::vector<double>{serial(2004, 6, 10)});
    }
    // Points on the slots' edges: 175 days span 175 gaps, not 176 slots.
    EXPECT_EQ(dateAxisSteps(weekly, {}, 175 * 8, 55, false).major, 7);
    EXPECT_EQ(dateAxisSteps(weekly, {}, 176 * 8 - 10, 56, true).major, 14);
}

TEST(ChartLabels, MoreDecimalsInEverySection)
{
    EXPECT_EQ(withMoreDecimals(QStringLiteral("0.00"), 1), QStringLiteral("0.000"));
    EXPECT_EQ(withMoreDecimals(QStringLiteral("0.00%"), 1), QStringLiteral("0.000%"));
    EXPECT_EQ(withMoreDecimals(QStringLiteral("#,##0"), 2), QStringLiteral("#,##0.00"));
    EXPECT_EQ(withMoreDecimals(QStringLiteral("#,##0_ "), 1), QStringLiteral("#,##0.0_ "));
    EXPECT_EQ(withMoreDecimals(QStringLiteral("#,##0.0_);[Red](#,##0.0)"), 1),
              QStringLiteral("#,##0.00_);[Red](#,##0.00)"));
    EXPECT_EQ(withMoreDecimals(QStringLiteral("0\"kg\""), 1), QStringLiteral("0.0\"kg\""));
    EXPECT_EQ(withMoreDecimals(QStringLiteral("\"No. \"0"), 1), QStringLiteral("\"No. \"0.0"));
    EXPECT_EQ(withMoreDecimals(QStringLiteral("0.0E+00"), 1), QStringLiteral("0.00E+00"));
    // Nothing to add to General, dates, fractions and text.
    for (const char* code : {"General", "m/d/yyyy", "# ?/?", "@"})
        EXPECT_EQ(withMoreDecimals(QString::fromLatin1(code), 2), QString::fromLatin1(code)) << code;
}

TEST(ChartLabels, ValueLabelsNeverReadTheSame)
{
    Workbook book;
    const int data = book.addWorksheet(QStringLiteral("Data"));
    Worksheet& ws = *book.worksheet(data);
    ws.setNumber(0, 0, 27.16);
    const int twoDecimals = book.addXf([&] {
        Xf xf = book.xf(ws.cellXf(0, 0));
        xf.format = 2; // 0.00
        return xf;
    }());
    ws.setCellXf(0, 0, static_cast<std::uint16_t>(twoDecimals));
    const SheetRange cell = SheetRange::cell(data, 0, 0);

    // BMI of 200, 200.2, 200.1, 200.2 and 200 lb: steps of 0.005 need a third decimal.
    const std::vector<double> fine = {27.14, 27.145, 27.15, 27.155, 27.16};
    EXPECT_EQ(valueAxisLabels(book, cell, fine, 0.005, kUs),
              (std::vector<QString>{QStringLiteral("27.140"), QStringLiteral("27.145"), QStringLiteral("27.150"),
                                    QStringLiteral("27.155"), QStringLiteral("27.160")}));
    // Steps the cells' format shows apart keep it.
    EXPECT_EQ(valueAxisLabels(book, cell, {27.1, 27.12, 27.14}, 0.02, kUs),
              (std::vector<QString>{QStringLiteral("27.10"), QStringLiteral("27.12"), QStringLiteral("27.14")}));
    // Rounding noise in the ticks does not count as a difference.
    EXPECT_EQ(valueAxisLabels(book, cell, {0.1 + 0.2, 0.6000000000000001}, 0.3, kUs),
              (std::vector<QString>{QStringLiteral("0.30"), QStringLiteral("0.60")}));
    // A whole-number format with steps of a quarter.
    const int whole = book.addXf([&] {
        Xf xf = book.xf(twoDecimals);
        xf.format = 3; // #,##0
        return xf;
    }());
    ws.setCellXf(0, 0, static_cast<std::uint16_t>(whole));
    EXPECT_EQ(
        valueAxisLabels(book, cell, {1000, 1000.25, 1000.5}, 0.25, kUs),
        (std::vector<QString>{QStringLiteral("1,000.00"), QStringLiteral("1,000.25"), QStringLiteral("1,000.50")}));
    // Percentages: steps of half a percent need one decimal.
    const int percent = book.addXf([&] {
        Xf xf = book.xf(twoDecimals);
        xf.format = 9; // 0%
        return xf;
    }());
    ws.setCellXf(0, 0, static_cast<std::uint16_t>(percent));
    EXPECT_EQ(valueAxisLabels(book, cell, {0.25, 0.255, 0.26}, 0.005, kUs),
              (std::vector<QString>{QStringLiteral("25.0%"), QStringLiteral("25.5%"), QStringLiteral("26.0%")}));
    // No cell to follow: General, which writes what it needs.
    EXPECT_EQ(valueAxisLabels(book, SheetRange(), {0.5, 0.505}, 0.005, kUs),
              (std::vector<QString>{QStringLiteral("0.5"), QStringLiteral("0.505")}));
}
