#include "TemplateDefinitions.h"
#include "TemplateResources.h"

#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "charts/Chart.h"
#include "format/NumberFormat.h"
#include "io/WorkbookFile.h"

#include <QDate>
#include <QLocale>
#include <gtest/gtest.h>

using namespace kalmora;

namespace {

std::unique_ptr<sheet::Workbook> embedded(int id)
{
    const QByteArray bytes = templateResourceBytes(id);
    return sheet::workbookFromBytes(sheet::Bytes(bytes.begin(), bytes.end()));
}

QString cellText(const sheet::Worksheet& ws, int row, int col)
{
    const sheet::Value v = ws.value(row, col);
    return v.isString() ? v.asString() : QString();
}

class TemplateTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        def = &templateDefinition(GetParam());
        wb = embedded(GetParam());
        ASSERT_TRUE(wb);
        data = wb->worksheet(0);
        ASSERT_TRUE(data);
    }
    const TemplateDefinition* def = nullptr;
    std::unique_ptr<sheet::Workbook> wb;
    sheet::Worksheet* data = nullptr;
};

} // namespace

TEST_P(TemplateTest, EmbeddedBytesAreWhatTheGeneratorMakesNow)
{
    const QByteArray bytes = templateResourceBytes(GetParam());
    const sheet::Bytes generated = buildTemplateBytes(GetParam());
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_TRUE(sheet::Bytes(bytes.begin(), bytes.end()) == generated) << "the embedded template is stale: rebuild it";
    EXPECT_TRUE(buildTemplateBytes(GetParam()) == generated) << "two builds differ";
}

TEST_P(TemplateTest, SheetsInOrderWithDataActive)
{
    ASSERT_EQ(wb->sheetCount(), 4);
    EXPECT_EQ(wb->sheet(0).name(), QStringLiteral("Data"));
    EXPECT_EQ(wb->sheet(1).name(), QStringLiteral("Measurements Chart"));
    EXPECT_EQ(wb->sheet(2).name(), QStringLiteral("Weight and BMI Chart"));
    EXPECT_EQ(wb->sheet(3).name(), QStringLiteral("Weight and Body Fat Chart"));
    EXPECT_TRUE(wb->sheet(0).isWorksheet());
    for (int i = 1; i < 4; ++i)
        EXPECT_TRUE(wb->sheet(i).isChart()) << i;
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(wb->sheet(i).visibility(), sheet::Sheet::Visibility::Visible);
    EXPECT_EQ(wb->activeSheet(), 0);
    EXPECT_TRUE(wb->isTemplate());
}

TEST_P(TemplateTest, FixedCellsAndFormats)
{
    const bool men = GetParam() == kImperialTemplate;
    EXPECT_EQ(cellText(*data, 0, 0),
              men ? QStringLiteral("Fitness Progress Chart for Men")
                  : QStringLiteral("Fitness Progress Chart for Women"));
    const int label = men ? 7 : 9;
    const int value = men ? 8 : 10;
    EXPECT_EQ(cellText(*data, 1, label), men ? QStringLiteral("Height (feet)") : QStringLiteral("Height (m)"));
    EXPECT_EQ(cellText(*data, 2, label), men ? QStringLiteral("Height (inches)") : QStringLiteral("Height \n(cm)"));
    EXPECT_DOUBLE_EQ(data->value(1, value).asNumber(), men ? 6 : 1);
    EXPECT_DOUBLE_EQ(data->value(2, value).asNumber(), men ? 0.375 : 68);
    if (men) {
        EXPECT_EQ(wb->xf(data->cellXf(2, value)).format, 12);
        EXPECT_EQ(wb->xfNumberFormat(data->cellXf(2, value)), QStringLiteral("# ?/?"));
        EXPECT_EQ(wb->xf(data->cellXf(1, value)).format, 0);
    } else {
        EXPECT_EQ(wb->xfNumberFormat(data->cellXf(1, value)), QStringLiteral("0"));
        EXPECT_TRUE(wb->xf(data->cellXf(2, label)).wrapText());
    }

    const QStringList headers = men ? QStringList{"Date",
                                                  "Weight (pounds)",
                                                  "Chest (inches)",
                                                  "Waist (inches)",
                                                  "Hips (inches)",
                                                  "Estimated Lean Body Weight",
                                                  "Estimated Body Fat Weight",
                                                  "Estimated Body Fat Percentage",
                                                  "Estimated Body Mass Index (BMI)",
                                                  "Weight Trend (pounds)",
                                                  "Goal Weight (pounds)"}
                                    : QStringList{"Date",
                                                  "Weight (kg)",
                                                  "Chest (cm)",
                                                  "Waist (cm)",
                                                  "Hips (cm)",
                                                  "Wrist (cm)",
                                                  "Forearm (cm)",
                                                  "Estimated Lean Body Weight",
                                                  "Estimated Body Fat Weight",
                                                  "Estimated Body Fat Percentage",
                                                  "Estimated Body Mass Index (BMI)",
                                                  "Weight Trend (kg)",
                                                  "Goal Weight (kg)"};
    for (int c = 0; c < headers.size(); ++c)
        EXPECT_EQ(cellText(*data, 4, c), headers[c]) << c;
    EXPECT_TRUE(cellText(*data, 4, headers.size()).isEmpty());

    // The goal under the heights; the figures beside their labels, over two columns each.
    EXPECT_EQ(cellText(*data, 3, label), men ? QStringLiteral("Goal (pounds)") : QStringLiteral("Goal (kg)"));
    EXPECT_DOUBLE_EQ(data->value(3, value).asNumber(), men ? 185 : 62);
    EXPECT_EQ(cellText(*data, 1, 2), QStringLiteral("Trend change per week"));
    EXPECT_EQ(cellText(*data, 2, 2), QStringLiteral("Goal date"));
    EXPECT_EQ(wb->xfNumberFormat(data->cellXf(1, 3)), QStringLiteral("0.00"));
    EXPECT_TRUE(sheet::isDateFormat(wb->xfNumberFormat(data->cellXf(2, 3))));
    EXPECT_EQ(data->mergedRanges(), (std::vector<sheet::CellRange>{{1, 3, 1, 4}, {2, 3, 2, 4}}));

    const int rows = men ? 26 : 27;
    for (int r = 5; r < 5 + rows; ++r) {
        EXPECT_EQ(wb->xf(data->cellXf(r, 0)).format, 14) << r;
        if (!men) {
            EXPECT_EQ(wb->xfNumberFormat(data->cellXf(r, 5)), QStringLiteral("0.00")) << r;
            EXPECT_EQ(wb->xfNumberFormat(data->cellXf(r, 6)), QStringLiteral("0.00")) << r;
        }
    }
}

TEST_P(TemplateTest, DataSheetPrintsLandscapeOnePageWide)
{
    // As the embedded template holds it, read back.
    const sheet::PageSetup setup = data->pageSetup();
    EXPECT_TRUE(setup.landscape());
    EXPECT_EQ(setup.paper, GetParam() == kImperialTemplate ? sheet::PageSetup::Letter : sheet::PageSetup::A4);
    EXPECT_TRUE(setup.fitToPages);
    EXPECT_EQ(setup.fitWidth, 1);
    EXPECT_EQ(setup.fitHeight, 0); // as many pages down as it takes
}

TEST_P(TemplateTest, ExampleEntriesAreWeeklyFromTenthOfJune2004)
{
    const QDate epoch(1899, 12, 30);
    const int rows = def->dataRowCount;
    EXPECT_EQ(rows, GetParam() == kImperialTemplate ? 26 : 27);
    for (int i = 0; i < rows; ++i) {
        const QDate date = epoch.addDays(static_cast<qint64>(data->value(5 + i, 0).asNumber()));
        EXPECT_EQ(date, QDate(2004, 6, 10).addDays(7 * i)) << i;
        for (int c = 1; c < def->dataColumns; ++c)
            EXPECT_GT(data->value(5 + i, c).asNumber(), 10) << i << "," << c;
    }
    const QDate last = epoch.addDays(static_cast<qint64>(data->value(5 + rows - 1, 0).asNumber()));
    EXPECT_EQ(last, GetParam() == kImperialTemplate ? QDate(2004, 12, 2) : QDate(2004, 12, 9));
    // nothing below the last data row
    for (int c = 0; c < def->columnCount(); ++c)
        EXPECT_EQ(data->cell(5 + rows, c), nullptr) << c;
}

TEST_P(TemplateTest, FormulasInEveryDataRow)
{
    const bool men = GetParam() == kImperialTemplate;
    for (int i = 0; i < def->dataRowCount; ++i) {
        const int row = 5 + i;
        const QString r = QString::number(row + 1);
        QStringList expected;
        if (men)
            expected = {"=(B" + r + "*1.082+94.42)-D" + r + "*4.15", "=B" + r + "-F" + r, "=G" + r + "*100/B" + r,
                        "=B" + r + "/($I$2*12+$I$3)/($I$2*12+$I$3)*703"};
        else
            expected = {"=((B" + r + "/0.45359)*0.732+8.987+(F" + r + "/2.54)/3.14-(D" + r + "/2.54)*0.157-(E" + r
                            + "/2.54)*0.249+(G" + r + "/2.54)*0.434)*0.45359",
                        "=B" + r + "-H" + r, "=I" + r + "*100/B" + r, "=B" + r + "/($K$2+$K$3/100)^2"};
        const QString t = men ? "J" : "L";
        const QString p = QString::number(row);
        expected << (i == 0 ? "=IF(ISNUMBER(B" + r + "),B" + r + ",\"\")"
                            : "=IF(AND(ISNUMBER(B" + r + "),ISNUMBER(A" + r + ")),IF(AND(ISNUMBER(" + t + p
                             + "),ISNUMBER(A" + p + "))," + t + p + "+(1-0.9^(A" + r + "-A" + p + "))*(B" + r + "-" + t
                             + p + "),B" + r + ")," + t + p + ")");
        expected << (men ? "=IF(ISNUMBER($I$4),$I$4,\"\")" : "=IF(ISNUMBER($K$4),$K$4,\"\")");
        for (int k = 0; k < 6; ++k) {
            const int col = def->dataColumns + k;
            EXPECT_EQ(data->formulaText(row, col), expected[k]) << row << "," << col;
            EXPECT_EQ(wb->xfNumberFormat(data->cellXf(row, col)), QStringLiteral("0.00"));
        }
    }
}

TEST_P(TemplateTest, CachedResultsAreUpToDate)
{
    // the values stored in the file, before any recalculation here
    const bool men = GetParam() == kImperialTemplate;
    for (int i = 0; i < def->dataRowCount; ++i) {
        const int row = 5 + i;
        const sheet::Cell* lean = data->cell(row, def->dataColumns);
        const sheet::Cell* bmi = data->cell(row, def->dataColumns + 3);
        ASSERT_TRUE(lean && bmi);
        const double b = data->value(row, 1).asNumber();
        const double d = data->value(row, 3).asNumber();
        if (men) {
            EXPECT_NEAR(lean->value.asNumber(), (b * 1.082 + 94.42) - d * 4.15, 1e-9);
            EXPECT_NEAR(bmi->value.asNumber(), b / 72.375 / 72.375 * 703, 1e-9);
        } else {
            EXPECT_NEAR(bmi->value.asNumber(), b / (1.68 * 1.68), 1e-9);
            EXPECT_GT(lean->value.asNumber(), 40);
            EXPECT_LT(lean->value.asNumber(), b);
        }
    }
}

TEST_P(TemplateTest, ChartSeriesReadBack)
{
    const bool men = GetParam() == kImperialTemplate;
    const int last = men ? 30 : 31;
    struct Expect {
        const char* axis;
        const char* secondaryAxis;
        std::vector<std::pair<int, bool>> series;
    };
    // The weight charts: weight, its trend and the goal on the weight axis.
    const std::vector<Expect> expected = men
        ? std::vector<Expect>{{"Inches", "", {{2, false}, {3, false}, {4, false}}},
                              {"Pounds", "BMI", {{1, false}, {9, false}, {10, false}, {8, true}}},
                              {"Pounds", "Body Fat Percentage", {{1, false}, {9, false}, {10, false}, {7, true}}}}
        : std::vector<Expect>{{"cm", "", {{2, false}, {3, false}, {4, false}, {5, false}, {6, false}}},
                              {"kg", "BMI", {{1, false}, {11, false}, {12, false}, {10, true}}},
                              {"kg", "Body Fat Percentage", {{1, false}, {11, false}, {12, false}, {9, true}}}};
    for (int i = 0; i < 3; ++i) {
        const sheet::Chart chart = sheet::readChartSheetBody(
            wb->sheet(1 + i).records(), [&](std::uint16_t ixti) { return wb->sheetForExternSheetIndex(ixti); });
        const Expect& e = expected[static_cast<std::size_t>(i)];
        EXPECT_EQ(chart.valueAxisTitle, QLatin1String(e.axis));
        EXPECT_EQ(chart.secondaryValueAxisTitle, QLatin1String(e.secondaryAxis));
        EXPECT_TRUE(chart.legend);
        ASSERT_EQ(chart.series.size(), e.series.size());
        for (std::size_t k = 0; k < e.series.size(); ++k) {
            const sheet::ChartSeries& s = chart.series[k];
            const int col = e.series[k].first;
            EXPECT_EQ(s.values, sheet::SheetRange::column(0, col, 5, last));
            EXPECT_EQ(s.categories, sheet::SheetRange::column(0, 0, 5, last));
            EXPECT_EQ(s.nameCell, sheet::SheetRange::cell(0, 4, col));
            EXPECT_EQ(s.secondaryAxis, e.series[k].second);
            // The trend and the goal are lines without markers.
            const bool trendOrGoal = col == def->trendColumn() || col == def->goalColumn();
            EXPECT_EQ(s.marker == sheet::ChartMarker::None, trendOrGoal) << i << "," << k;
            EXPECT_TRUE(s.line);
            EXPECT_EQ(s.pattern,
                      col == def->goalColumn() ? sheet::ChartLinePattern::Dash : sheet::ChartLinePattern::Solid);
        }
        // A date axis with a place for every day.
        EXPECT_TRUE(chart.dateCategoryAxis);
        EXPECT_FALSE(chart.dateScaling.autoBase);
        EXPECT_EQ(chart.dateScaling.base, sheet::DateUnit::Days);
        // every font a chart names exists in the workbook
        for (std::uint16_t f : {chart.fonts.title, chart.fonts.axisTitle, chart.fonts.axisLabels, chart.fonts.legend})
            EXPECT_TRUE(wb->hasFont(f)) << f;
    }
}

TEST_P(TemplateTest, TypedInputGivesTheDerivedFigures)
{
    // As generation fills the template: height, one entry, the rest of the rows emptied.
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const bool men = GetParam() == kImperialTemplate;
    const int hc = men ? 8 : 10;
    data->setInput(1, hc, men ? QStringLiteral("5") : QStringLiteral("1"), us);
    data->setInput(2, hc, men ? QStringLiteral("10") : QStringLiteral("65"), us);
    const QStringList entry = men ? QStringList{"6/10/2004", "200", "40", "36", "38"}
                                  : QStringList{"6/10/2004", "63.5", "90", "70", "98", "15.5", "25"};
    for (int c = 0; c < entry.size(); ++c)
        data->setInput(5, c, entry[c], us);
    for (int row = 6; row <= 31; ++row)
        for (int c = 0; c < entry.size() + 6; ++c)
            data->setInput(row, c, QString(), us);
    wb->recalculate();

    EXPECT_EQ(data->value(5, 0).asNumber(), 38148);
    if (men) {
        EXPECT_NEAR(data->value(5, 5).asNumber(), 161.42, 0.005);
        EXPECT_NEAR(data->value(5, 6).asNumber(), 38.58, 0.005);
        EXPECT_NEAR(data->value(5, 7).asNumber(), 19.29, 0.005);
        EXPECT_NEAR(data->value(5, 8).asNumber(), 200.0 / 70 / 70 * 703, 1e-9);
        EXPECT_NEAR(data->value(5, 8).asNumber(), 28.69, 0.005);
    } else {
        EXPECT_NEAR(data->value(5, 10).asNumber(), 63.5 / (1.65 * 1.65), 1e-9);
        EXPECT_NEAR(data->value(5, 10).asNumber(), 23.32, 0.005);
    }
    EXPECT_TRUE(data->value(6, 5).isEmpty());
    EXPECT_EQ(data->formulaText(6, 5), QString());

    // the filled workbook still saves and opens with its charts intact
    auto again = sheet::workbookFromBytes(sheet::workbookToBytes(*wb));
    ASSERT_EQ(again->sheetCount(), 4);
    EXPECT_NO_THROW(sheet::readChartSheetBody(
        again->sheet(2).records(), [&](std::uint16_t ixti) { return again->sheetForExternSheetIndex(ixti); }));
}

INSTANTIATE_TEST_SUITE_P(Templates, TemplateTest, ::testing::Values(kImperialTemplate, kMetricTemplate),
                         [](const ::testing::TestParamInfo<int>& tested) {
                             return tested.param == kImperialTemplate ? "Imperial" : "Metric";
                         });

namespace {

// How deep function calls nest in a formula's text ("=IF(A1,INT(B1),0)" is 2).
int FunctionDepth(const QString& formula)
{
    std::vector<bool> calls; // per open parenthesis: whether a function name opened it
    int depth = 0;
    int deepest = 0;
    bool quoted = false;
    for (int i = 0; i < formula.size(); ++i) {
        const QChar c = formula.at(i);
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        if (quoted)
            continue;
        if (c == QLatin1Char('(')) {
            calls.push_back(i > 0 && formula.at(i - 1).isLetter());
            depth += calls.back() ? 1 : 0;
            deepest = std::max(deepest, depth);
        } else if (c == QLatin1Char(')') && !calls.empty()) {
            depth -= calls.back() ? 1 : 0;
            calls.pop_back();
        }
    }
    return deepest;
}

} // namespace

TEST(TemplateDefinitions, FormulasNestNoDeeperThanExcel97Allows)
{
    EXPECT_EQ(FunctionDepth(QStringLiteral("=IF(A1,INT((B1+1)*2),\"(x(\")")), 2);
    for (const int id : {kImperialTemplate, kMetricTemplate}) {
        const TemplateDefinition& d = templateDefinition(id);
        QStringList formulas = {d.changePerWeekFormula(40), d.goalDateFormula(40)};
        for (int k = 0; k < d.derivedCount(); ++k)
            formulas << d.formulaForRow(k, d.firstDataRow) << d.formulaForRow(k, d.firstDataRow + 1);
        for (const QString& f : formulas)
            EXPECT_LE(FunctionDepth(f), 7) << f.toStdString();
    }
}

TEST(TemplateDefinitions, UnknownTemplateIsRefused)
{
    EXPECT_THROW(templateDefinition(103), std::invalid_argument);
    EXPECT_TRUE(templateResourceBytes(100).isEmpty());
}
