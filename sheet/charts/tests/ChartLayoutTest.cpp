// The chart layout as numbers: axis ranges, label texts, the plot rectangle and the points,
// on the charts Excel wrote and on charts built here.
#include "ChartRenderTestSupport.h"

#include "charts/ChartLayout.h"
#include "charts/ChartRenderer.h"
#include "model/Workbook.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace sheet;
using sheet::charttest::Book;

namespace {

struct Range {
    double min, max, major; // major NaN: not checked
};

// A chart sheet of 12843-1.xls as Excel and LibreOffice show it: the value axes (most are
// fixed in the records; the automatic ones are as LibreOffice draws them), the first and
// last label of each, and the number of category slots.
struct ExcelChart {
    int sheet;
    Range primary, secondary;
    const char* primaryLabels[2];
    const char* secondaryLabels[2];
    int slotCount;
};

const double kAny = std::nan("");

const ExcelChart kExcelCharts[] = {
    {7, {2e6, 9e6, 1e6}, {0.65, 0.85, 0.025}, {"2,000,000", "9,000,000"}, {"65.00%", "85.00%"}, 12},
    {9, {3000, 90000, 10000}, {0.1, 0.25, 0.025}, {"3,000", "83,000"}, {"10.00%", "25.00%"}, 12},
    {11, {0, 9000, 1000}, {0.25, 0.75, 0.05}, {"0", "9,000"}, {"25.00%", "75.00%"}, 12},
    {13, {0, 5600, 1000}, {0.02, 0.2, 0.02}, {"0", "5,000"}, {"2.00%", "20.00%"}, 12},
    {15, {550000, 2.55e6, 200000}, {0.5, 0.75, 0.05}, {"550,000", "2,550,000"}, {"50.00%", "75.00%"}, 12},
    {17, {45000, 85000, 10000}, {0.05, 0.85, 0.05}, {"45,000", "85,000"}, {"5.00%", "85.00%"}, 12},
    {19, {1000, 33000, 2000}, {0, 0.6, 0.1}, {"1,000", "33,000"}, {"0.00%", "60.00%"}, 12},
    {21, {160000, 800000, 100000}, {0.5, 0.95, 0.05}, {"160,000", "760,000"}, {"50.00%", "95.00%"}, 25},
    {23, {220, 900, 100}, {0.45, 0.95, 0.05}, {"220", "820"}, {"45.00%", "95.00%"}, 25},
    {25, {200000, 980000, 100000}, {0.5, 0.95, 0.05}, {"200,000", "900,000"}, {"50.00%", "95.00%"}, 25},
    {27, {600000, 2e6, 200000}, {0.45, 0.85, 0.05}, {"600,000", "2,000,000"}, {"45.00%", "85.00%"}, 25},
    {29, {6e6, 8e6, 500000}, {0.8, 1, 0.05}, {"6,000,000", "8,000,000"}, {"80.00%", "100.00%"}, 25},
    // LibreOffice labels the secondary axis in steps of 1 % where a step of 0.5 % fits too.
    {31, {5000, 7000, 200}, {0.95, 1, kAny}, {"5,000", "7,000"}, {"95.00%", "100.00%"}, 25},
    {33, {60000, 270000, 20000}, {0.3, 0.6, 0.05}, {"60,000", "260,000"}, {"30.00%", "60.00%"}, 25},
    {35, {18000, 318000, 50000}, {0.09, 0.3, 0.05}, {"18,000", "318,000"}, {"9.00%", "29.00%"}, 25},
    {37, {2.8e6, 1.48e7, 2e6}, {0.4, 0.7, 0.05}, {"2,800,000", "14,800,000"}, {"40.00%", "70.00%"}, 25},
    {39, {1000, 36000, 2000}, {0.25, 0.4, 0.05}, {"1,000", "35,000"}, {"25.00%", "40.00%"}, 12},
};

void expectRange(const ValueAxisLayout& axis, const Range& r, const std::string& what)
{
    ASSERT_TRUE(axis.shown) << what;
    const double slack = (r.max - r.min) * 1e-9;
    EXPECT_NEAR(axis.scale.min, r.min, slack) << what;
    EXPECT_NEAR(axis.scale.max, r.max, slack) << what;
    if (!std::isnan(r.major)) {
        EXPECT_NEAR(axis.scale.major, r.major, slack) << what;
    }
    ASSERT_EQ(axis.labels.size(), axis.ticks.size()) << what;
    ASSERT_EQ(axis.positions.size(), axis.ticks.size()) << what;
}

// The parts of a layout that must hold for any chart: everything inside the chart area,
// value labels beside the plot without overlapping one another, ticks from the bottom up.
void expectTidy(const ChartLayout& l, const std::string& what)
{
    const QRectF area = l.area.adjusted(-0.5, -0.5, 0.5, 0.5);
    ASSERT_TRUE(l.hasPlot) << what;
    EXPECT_TRUE(area.contains(l.plot)) << what;
    EXPECT_GT(l.plot.width() * l.plot.height(), l.area.width() * l.area.height() * 0.4) << what;
    for (const ValueAxisLayout* axis : {&l.primary, &l.secondary}) {
        for (std::size_t i = 0; i < axis->labels.size(); ++i) {
            const QRectF box = axis->labels[i].box;
            EXPECT_TRUE(area.contains(box)) << what << " label " << axis->labels[i].text.toStdString();
            EXPECT_FALSE(box.intersects(l.plot.adjusted(1, 1, -1, -1))) << what;
            if (i > 0) {
                EXPECT_LT(axis->positions[i], axis->positions[i - 1]) << what;
                EXPECT_LE(box.bottom(), axis->labels[i - 1].box.top() + 0.5) << what << " labels overlap";
            }
        }
    }
    for (const ChartLayoutText& t : l.texts)
        EXPECT_FALSE(t.text.isEmpty()) << what;
}

// Where a value sits on an axis: 0 at the plot's bottom, 1 at its top.
double heightOf(const ChartLayout& l, double y) { return (l.plot.bottom() - y) / l.plot.height(); }

} // namespace

TEST(ChartLayout, ExcelChartSheetsAxesLabelsAndPoints)
{
    const auto book = Workbook::load(QStringLiteral(SHEET_TEST_DATA "/12843-1.xls"));
    for (const ExcelChart& c : kExcelCharts) {
        const std::string what = "sheet " + std::to_string(c.sheet);
        const ChartDrawing drawing = ChartDrawing::ofSheet(*book, c.sheet);
        const std::optional<ChartLayout> layout = drawing.layout(QRectF(0, 0, 800, 500));
        ASSERT_TRUE(layout) << what << ": " << drawing.placeholderText().toStdString();
        const ChartLayout& l = *layout;
        expectTidy(l, what);
        expectRange(l.primary, c.primary, what + " primary");
        expectRange(l.secondary, c.secondary, what + " secondary");
        EXPECT_EQ(l.primary.labels.front().text.trimmed(), QString::fromUtf8(c.primaryLabels[0])) << what;
        EXPECT_EQ(l.primary.labels.back().text.trimmed(), QString::fromUtf8(c.primaryLabels[1])) << what;
        EXPECT_EQ(l.secondary.labels.front().text.trimmed(), QString::fromUtf8(c.secondaryLabels[0])) << what;
        EXPECT_EQ(l.secondary.labels.back().text.trimmed(), QString::fromUtf8(c.secondaryLabels[1])) << what;
        // Twelve months or 25 fortnights; labels every `labelStep` slots from the first.
        ASSERT_FALSE(l.series.empty()) << what;
        EXPECT_EQ(static_cast<int>(l.series[0].points.size()), c.slotCount) << what;
        EXPECT_EQ(static_cast<int>(l.category.labels.size()),
                  (c.slotCount + l.category.labelStep - 1) / l.category.labelStep)
            << what;
        EXPECT_EQ(l.category.labels.front().text,
                  c.slotCount == 12 ? QStringLiteral("一月") : QStringLiteral("1月14日"))
            << what;

        // Points sit in the middle of their slots, at their value's height on their own axis.
        const ChartData data = readChartData(*book, drawing.chart());
        const double slot = l.plot.width() / c.slotCount;
        int points = 0;
        for (std::size_t k = 0; k < l.series.size(); ++k) {
            const Range& axis = data.series[k].secondaryAxis ? c.secondary : c.primary;
            for (std::size_t i = 0; i < l.series[k].points.size(); ++i) {
                const auto& p = l.series[k].points[i];
                ASSERT_EQ(p.has_value(), data.series[k].values[i].has_value()) << what;
                if (!p)
                    continue;
                ++points;
                EXPECT_NEAR(p->x(), l.plot.left() + (static_cast<double>(i) + 0.5) * slot, 1e-6) << what;
                EXPECT_NEAR(heightOf(l, p->y()), (*data.series[k].values[i] - axis.min) / (axis.max - axis.min), 1e-9)
                    << what << " series " << k << " point " << i;
            }
            EXPECT_EQ(l.series[k].markers.size(),
                      l.series[k].points.size()
                          - std::count(l.series[k].points.begin(), l.series[k].points.end(), std::nullopt))
                << what;
        }
        EXPECT_GT(points, 0) << what;
        EXPECT_FALSE(l.legend.shown) << what; // these charts have none
    }
}

TEST(ChartLayout, ExcelsAutomaticFormatsAndLibreOfficesEmbeddedCharts)
{
    // One chart sheet, two series in Excel's automatic formats: navy, then magenta.
    const auto excel = Workbook::load(QStringLiteral(SHEET_TEST_DATA "/44010-SingleChart.xls"));
    const std::optional<ChartLayout> single = ChartDrawing::ofSheet(*excel, 1).layout(QRectF(0, 0, 800, 500));
    ASSERT_TRUE(single);
    expectTidy(*single, "44010");
    ASSERT_EQ(single->series.size(), 2u);
    EXPECT_EQ(single->series[0].colour, QColor(0x00, 0x00, 0x80));
    EXPECT_EQ(single->series[1].colour, QColor(0xFF, 0x00, 0xFF));
    EXPECT_FALSE(single->secondary.shown);

    // LibreOffice's charts sit in worksheets: three line charts, two with a secondary axis.
    const auto lo = Workbook::load(QStringLiteral(SHEET_TEST_DATA "/reference-imperial.xls"));
    int embedded = 0, secondary = 0;
    for (int i = 0; i < lo->sheetCount(); ++i) {
        for (const RecordList& records : embeddedCharts(*lo, i)) {
            ++embedded;
            const ChartDrawing drawing(*lo, records, lo->sheet(i).name());
            const std::optional<ChartLayout> l = drawing.layout(QRectF(0, 0, 800, 500));
            ASSERT_TRUE(l) << drawing.placeholderText().toStdString();
            expectTidy(*l, lo->sheet(i).name().toStdString());
            secondary += l->secondary.shown;
            // 26 weekly entries from 6/10/2004.
            for (const SeriesLayout& s : l->series)
                EXPECT_EQ(s.points.size(), 26u);
            EXPECT_EQ(l->category.labels.front().text, QStringLiteral("06/10/04")); // as the cells show it
        }
    }
    EXPECT_EQ(embedded, 3);
    EXPECT_EQ(secondary, 2);
    EXPECT_TRUE(embeddedCharts(*lo, 0).empty());
}

TEST(ChartLayout, PlotAndPointsOfAChartBuiltHere)
{
    Book b;
    const double weights[] = {210, 205, 199, 193};
    for (int i = 0; i < 4; ++i)
        b.entry(i, {weights[i], 27.0 - i * 0.25});
    Chart c = b.chart({1, 2}, 26);
    c.series[1].secondaryAxis = true;
    c.title = QStringLiteral("Weight and BMI");
    c.valueAxisTitle = QStringLiteral("Pounds");
    c.legend = true;
    const int sheet = b.add(c);
    const ChartDrawing drawing = ChartDrawing::ofSheet(*b.book, sheet);
    const ChartLayout l = *drawing.layout(QRectF(0, 0, 800, 500));
    expectTidy(l, "two axes");

    // 193..210 scales to 180..215 by 5: half the spread below, then whole units, and one
    // unit more where a point would touch the edge; 26.25..27 to 25.8..27.2 by 0.2.
    expectRange(l.primary, {180, 215, 5}, "primary");
    expectRange(l.secondary, {25.8, 27.2, 0.2}, "secondary");
    EXPECT_EQ(l.primary.labels.front().text, QStringLiteral("180"));
    EXPECT_EQ(l.secondary.labels.back().text, QStringLiteral("27.2"));
    // The title above the plot, the axis title turned upwards on its left, the legend below.
    ASSERT_EQ(l.texts.size(), 2u);
    EXPECT_LT(l.texts[0].box.bottom(), l.plot.top());
    EXPECT_EQ(l.texts[1].angle, 90);
    EXPECT_LT(l.texts[1].origin.x(), l.primary.labels[0].box.left());
    EXPECT_GT(l.legend.frame.top(), l.plot.bottom());
    ASSERT_EQ(l.legend.entries.size(), 2u);
    EXPECT_EQ(l.legend.entries[1].label.text, QStringLiteral("BMI"));

    // Four slots: points at their centres; 210 lb is 30/35 up the weight axis.
    const SeriesLayout& weight = l.series[0];
    ASSERT_EQ(weight.points.size(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(weight.points[static_cast<std::size_t>(i)]->x(), l.plot.left() + (i + 0.5) * l.plot.width() / 4,
                    1e-9);
    EXPECT_NEAR(heightOf(l, weight.points[0]->y()), 30.0 / 35.0, 1e-9);
    EXPECT_NEAR(heightOf(l, l.series[1].points[3]->y()), 0.45 / 1.4, 1e-9);
    ASSERT_EQ(weight.lines.size(), 1u);
    EXPECT_EQ(weight.lines[0].size(), 4);
    EXPECT_NEAR(l.category.line.y1(), l.plot.bottom(), 1e-9);

    // A gap breaks the line into runs; a point alone still gets a marker.
    b.ws().setBlank(3, 1);
    const ChartLayout gap = *ChartDrawing::ofSheet(*b.book, sheet).layout(QRectF(0, 0, 800, 500));
    EXPECT_FALSE(gap.series[0].points[2]);
    ASSERT_EQ(gap.series[0].lines.size(), 1u);
    EXPECT_EQ(gap.series[0].lines[0].size(), 2);
    ASSERT_EQ(gap.series[0].markers.size(), 1u); // the fourth point, with no neighbour
    EXPECT_EQ(gap.series[0].markers[0].at, *gap.series[0].points[3]);
}

TEST(ChartLayout, NoPlotAreaWhereNoneFitsAndNoDataSaysSo)
{
    Book b;
    const int sheet = b.add(b.chart({1}, 26));
    const ChartLayout empty = *ChartDrawing::ofSheet(*b.book, sheet).layout(QRectF(0, 0, 800, 500));
    ASSERT_TRUE(empty.noData);
    EXPECT_EQ(empty.noData->text, QStringLiteral("No data"));
    EXPECT_TRUE(empty.plot.contains(empty.noDataBox));

    b.entry(0, {100});
    const ChartLayout tiny = *ChartDrawing::ofSheet(*b.book, sheet).layout(QRectF(0, 0, 30, 20));
    EXPECT_FALSE(tiny.hasPlot);
    EXPECT_TRUE(tiny.series.empty());
}
