#include "LogFigures.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(LogFigures, ImperialFiguresAreTheTemplateFormulas)
{
    const QList<ComputedFigures> figures = ComputeLogFigures(
        true, "5", "10", {{"6/10/2004", "200", "42", "36", "34"}, {"6/17/2004", "", "42", "36", "34"}});
    ASSERT_EQ(figures.size(), 2);
    // Worked out by hand from the workbook's formulas, 5 ft 10 in = 70 in.
    const double lean = 200 * 1.082 + 94.42 - 36 * 4.15;
    EXPECT_NEAR(*figures[0][0], lean, 1e-9);
    EXPECT_NEAR(*figures[0][1], 200 - lean, 1e-9);
    EXPECT_NEAR(*figures[0][2], (200 - lean) * 100 / 200, 1e-9);
    EXPECT_NEAR(*figures[0][3], 200.0 / 70 / 70 * 703, 1e-9);
    // Without a weight the workbook divides by nothing: no percentage there.
    EXPECT_FALSE(figures[1][2].has_value());
}

TEST(LogFigures, MetricFiguresAndAFractionOfAnInch)
{
    const QList<ComputedFigures> metric
        = ComputeLogFigures(false, "1", "68", {{"6/10/2004", "72.4", "96", "82", "104", "15.6", "25.6"}});
    const double lean = ((72.4 / 0.45359) * 0.732 + 8.987 + (15.6 / 2.54) / 3.14 - (82 / 2.54) * 0.157
                         - (104 / 2.54) * 0.249 + (25.6 / 2.54) * 0.434)
        * 0.45359;
    EXPECT_NEAR(*metric[0][0], lean, 1e-9);
    EXPECT_NEAR(*metric[0][3], 72.4 / (1.68 * 1.68), 1e-9);

    const QList<ComputedFigures> fraction = ComputeLogFigures(true, "5", "10 1/2", {{"1/1/2024", "150"}});
    EXPECT_NEAR(*fraction[0][3], 150.0 / 70.5 / 70.5 * 703, 1e-9);
    EXPECT_TRUE(ComputeLogFigures(true, "5", "10", {}).isEmpty());
}

} // namespace
