// The trend, goal and figure formulas of both templates, filled as generation fills them and
// computed by the engine, against the same figures worked out from their definitions.
#include "TemplateDefinitions.h"
#include "TrendFill.h"

#include "charts/Chart.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"

#include <gtest/gtest.h>

using namespace kalmora;
using trendref::Entry;
using trendref::Fill;
using trendref::Filled;
using trendref::kJune10;

namespace {

std::string Shown(const sheet::Value& v)
{
    if (v.isNumber())
        return QString::number(v.asNumber(), 'g', 12).toStdString();
    if (v.isString())
        return '"' + v.asString().toStdString() + '"';
    return v.isEmpty() ? "<empty>" : "<error or boolean>";
}

// Every trend, goal and figure cell against the reference; no cell of the sheet an error.
void ExpectFigures(const Filled& f, const std::vector<Entry>& entries, std::optional<double> goal)
{
    const TemplateDefinition& d = *f.def;
    const trendref::Figures want = trendref::Compute(entries, goal);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int row = d.firstDataRow + static_cast<int>(i);
        const sheet::Value trend = f.data->value(row, d.trendColumn());
        if (want.trend[i]) {
            EXPECT_NEAR(trend.isNumber() ? trend.asNumber() : -1e9, *want.trend[i], 1e-9) << "trend " << i;
        } else {
            EXPECT_EQ(Shown(trend), "\"\"") << "trend " << i;
        }
        const sheet::Value g = f.data->value(row, d.goalColumn());
        EXPECT_EQ(Shown(g), goal ? QString::number(*goal, 'g', 12).toStdString() : "\"\"") << "goal " << i;
    }
    const sheet::Value change = f.data->value(d.changePerWeekRow, d.summaryColumn);
    if (want.changePerWeek) {
        EXPECT_NEAR(change.isNumber() ? change.asNumber() : -1e9, *want.changePerWeek, 1e-9) << Shown(change);
    } else if (!want.lastDated) {
        EXPECT_TRUE(change.isEmpty()) << Shown(change); // no figures without a date
    } else {
        EXPECT_EQ(Shown(change), "\"\"");
    }
    const sheet::Value date = f.data->value(d.goalDateRow, d.summaryColumn);
    if (want.goalDate) {
        EXPECT_EQ(Shown(date), QString::number(*want.goalDate).toStdString());
    } else if (!want.lastDated) {
        EXPECT_TRUE(date.isEmpty()) << Shown(date);
    } else {
        EXPECT_EQ(Shown(date), '"' + want.goalText.toStdString() + '"');
    }

    for (const auto& [key, cell] : f.data->cells()) {
        const int row = sheet::keyRow(key);
        const int col = sheet::keyCol(key);
        // An entry without a weight leaves the estimates dividing by nothing, as they always have.
        const bool estimate = col >= d.dataColumns && col < d.trendColumn();
        if (!estimate) {
            EXPECT_FALSE(f.data->value(row, col).isError()) << "row " << row + 1 << ", column " << col + 1;
        }
    }
}

// Entries 1, 3, 4, 8, 9, 15, 16, 22, 30, 31, 38, 45, 46, 52, 60, 61, 67, 74, 75, 81 days apart.
std::vector<Entry> UnevenLog()
{
    const int days[] = {0, 1, 4, 8, 16, 25, 40, 56, 78, 108, 139, 177, 222, 268, 320, 380, 441, 508, 582, 657};
    std::vector<Entry> entries;
    for (int i = 0; i < 20; ++i)
        entries.push_back({kJune10 + days[i], 210.0 - 0.03 * days[i] + ((i * 7) % 5 - 2) * 0.3});
    return entries;
}

class TrendFormulas : public ::testing::TestWithParam<int> {
protected:
    void check(const std::vector<Entry>& entries, std::optional<double> goal)
    {
        const Filled f = Fill(GetParam(), entries, goal);
        ExpectFigures(f, entries, goal);
    }
};

} // namespace

TEST_P(TrendFormulas, AnUnevenLogWithAGoal)
{
    const std::vector<Entry> log = UnevenLog();
    check(log, 185.0);
    const trendref::Figures want = trendref::Compute(log, 185.0);
    ASSERT_TRUE(want.goalDate); // the log heads for its goal
    EXPECT_LT(*want.changePerWeek, 0);
}

TEST_P(TrendFormulas, OneEntryHasItsWeightForTrendAndNoRateOrDate)
{
    check({{kJune10, 200.0}}, 185.0);
    check({{kJune10, 200.0}}, std::nullopt);
    check({{kJune10, 185.0}}, 185.0); // on the goal: reached
    EXPECT_EQ(trendref::Compute({{kJune10, 185.0}}, 185.0).goalText, QStringLiteral("reached"));
}

TEST_P(TrendFormulas, EntriesOfOneDayAndEntriesWithoutAWeight)
{
    // A second entry on a day leaves the trend; one without a weight carries it over.
    check({{kJune10, 200.0},
           {kJune10, 190.0},
           {kJune10 + 7, 198.0},
           {kJune10 + 7, 180.0},
           {kJune10 + 9, {}},
           {kJune10 + 20, 196.0},
           {kJune10 + 40, {}},
           {kJune10 + 41, 195.0}},
          180.0);
    // Weights that begin late start the trend where they begin.
    check({{kJune10, {}}, {kJune10 + 3, {}}, {kJune10 + 10, 90.0}, {kJune10 + 12, 89.0}, {kJune10 + 50, 88.0}}, 80.0);
    // No weight at all: no trend, no rate, no date.
    check({{kJune10, {}}, {kJune10 + 30, {}}, {kJune10 + 60, {}}}, 80.0);
}

TEST_P(TrendFormulas, TheRateNeedsAnEntryFourWeeksOlderThanTheLast)
{
    check({{kJune10, 200.0}, {kJune10 + 14, 199.0}, {kJune10 + 27, 198.0}}, 185.0); // 27 days: none
    check({{kJune10, 200.0}, {kJune10 + 14, 199.0}, {kJune10 + 28, 198.0}}, 185.0); // 28 days: the first
    // An entry 27 days before the last one is too young; the one before it counts.
    check({{kJune10, 200.0}, {kJune10 + 10, 190.0}, {kJune10 + 37, 198.0}}, 185.0);
    // The latest entry that old, not the first one.
    check({{kJune10, 200.0}, {kJune10 + 5, 204.0}, {kJune10 + 6, 199.0}, {kJune10 + 40, 198.0}}, 185.0);
}

TEST_P(TrendFormulas, GoalReachedAwayOrFlat)
{
    const std::vector<Entry> losing = {{kJune10, 200.0}, {kJune10 + 30, 190.0}, {kJune10 + 60, 180.0}};
    check(losing, 195.0); // passed: reached
    check(losing, 170.0); // ahead: a date
    check(losing, 205.0); // behind the start: moving away
    EXPECT_EQ(trendref::Compute(losing, 205.0).goalText, QStringLiteral("not on current trend"));
    const std::vector<Entry> gaining = {{kJune10, 60.0}, {kJune10 + 30, 61.0}, {kJune10 + 60, 62.0}};
    check(gaining, 61.0); // reached from below
    check(gaining, 65.0);
    // Flat: no division by a zero rate.
    check({{kJune10, 70.0}, {kJune10 + 30, 70.0}, {kJune10 + 60, 70.0}}, 65.0);
    // So slow that the day lies past the last date a sheet holds.
    check({{kJune10, 70.0}, {kJune10 + 300, 69.99999}}, 10.0);
    EXPECT_EQ(trendref::Compute({{kJune10, 70.0}, {kJune10 + 300, 69.99999}}, 10.0).goalText,
              QStringLiteral("not on current trend"));
}

TEST_P(TrendFormulas, NoGoalLeavesTheGoalCellsEmpty)
{
    const std::vector<Entry> log = UnevenLog();
    const Filled f = Fill(GetParam(), log, std::nullopt);
    ExpectFigures(f, log, std::nullopt);
    // ...and the weight charts have no goal line.
    for (int i = 1; i < f.book->sheetCount(); ++i) {
        const sheet::Chart chart = sheet::readChartSheetBody(
            f.book->sheet(i).records(), [&](std::uint16_t ixti) { return f.book->sheetForExternSheetIndex(ixti); });
        for (const sheet::ChartSeries& s : chart.series)
            EXPECT_NE(s.values.firstCol, f.def->goalColumn()) << i;
    }
}

TEST_P(TrendFormulas, EntriesWithoutADateComeLastAndCarryTheTrend)
{
    check({{kJune10, 200.0}, {kJune10 + 35, 195.0}, {{}, 150.0}, {{}, {}}}, 185.0);
    check({{{}, 150.0}, {{}, 160.0}}, 185.0); // none with a date: no figures
}

TEST_P(TrendFormulas, LongLogsKeepTheirFormulasToTheLastRow)
{
    std::vector<Entry> log;
    for (int i = 0; i < 1000; ++i)
        log.push_back({kJune10 + 3 * i + i % 2, 220.0 - i * 0.03 + (i % 7) * 0.4});
    check(log, 180.0);
}

TEST_P(TrendFormulas, AnEmptyLogHasNoFigures) { check({}, 185.0); }

INSTANTIATE_TEST_SUITE_P(Templates, TrendFormulas, ::testing::Values(kImperialTemplate, kMetricTemplate),
                         [](const ::testing::TestParamInfo<int>& tested) {
                             return tested.param == kImperialTemplate ? "Imperial" : "Metric";
                         });
