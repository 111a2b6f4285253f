// The chart layout as numbers: axis ranges, label texts, the plot rectangle and the points,
// on the charts Excel wrote and on charts built here.
#include "ChartRenderTestSupport.h"

#include "charts/ChartLayout.h"
#include "charts/ChartRenderer.h"
#include "io/WorkbookFile.h"
#include "model/Workbook.h"

#include <QTransform>
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
    const auto book = loadWorkbook(QStringLiteral(SHEET_TEST_DATA "/12843-1.xls"));
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
    const auto excel = loadWorkbook(QStringLiteral(SHEET_TEST_DATA "/44010-SingleChart.xls"));
    const std::optional<ChartLayout> single = ChartDrawing::ofSheet(*excel, 1).layout(QRectF(0, 0, 800, 500));
    ASSERT_TRUE(single);
    expectTidy(*single, "44010");
    ASSERT_EQ(single->series.size(), 2u);
    EXPECT_EQ(single->series[0].colour, QColor(0x00, 0x00, 0x80));
    EXPECT_EQ(single->series[1].colour, QColor(0xFF, 0x00, 0xFF));
    EXPECT_FALSE(single->secondary.shown);

    // LibreOffice's charts sit in worksheets: three line charts, two with a secondary axis.
    const auto lo = loadWorkbook(QStringLiteral(SHEET_TEST_DATA "/reference-imperial.xls"));
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
    // Everything scales with the chart, down to a plot area of less than 4 pixels.
    const ChartLayout tiny = *ChartDrawing::ofSheet(*b.book, sheet).layout(QRectF(0, 0, 6, 4));
    EXPECT_FALSE(tiny.hasPlot);
    EXPECT_TRUE(tiny.series.empty());
}

namespace {

ChartLayout layoutOf(const Book& b, int sheet, const QRectF& area = QRectF(0, 0, 800, 500))
{
    return *ChartDrawing::ofSheet(*b.book, sheet).layout(area);
}

std::vector<QString> textsOf(const std::vector<ChartLayoutText>& labels)
{
    std::vector<QString> out;
    for (const ChartLayoutText& t : labels)
        out.push_back(t.text);
    return out;
}

// Sets the default locale for the life of the value.
struct LocaleScope {
    explicit LocaleScope(const QLocale& l) { QLocale::setDefault(l); }
    ~LocaleScope() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

} // namespace

TEST(ChartLayout, DateAxisSpacesEntriesByTheirDates)
{
    Book b;
    const QDate first(2004, 6, 10);
    for (const auto& [i, days] : {std::pair<int, int>{0, 0}, {1, 7}, {2, 21}, {3, 22}})
        b.entryOn(i, first.addDays(days), {200.0 - i});
    Chart c = b.chart({1}, 26);
    c.dateCategoryAxis = true;
    c.categoryNumberFormat = 14;
    const int sheet = b.add(c);
    const ChartLayout l = layoutOf(b, sheet);
    expectTidy(l, "dates");
    ASSERT_TRUE(l.category.dates);
    EXPECT_EQ(l.category.dates->last - l.category.dates->first, 22);
    // Two weeks between entries take twice the room of one week, a day a seventh of it.
    const auto& p = l.series[0].points;
    const double week = p[1]->x() - p[0]->x();
    EXPECT_NEAR(p[2]->x() - p[1]->x(), 2 * week, 1e-9);
    EXPECT_NEAR(p[3]->x() - p[2]->x(), week / 7, 1e-9);
    // 23 days in slots of a day, each point in the middle of its day.
    EXPECT_NEAR(p[0]->x(), l.plot.left() + l.plot.width() / 23 / 2, 1e-9);
    // Labels at calendar steps from the first entry, in the locale's short date.
    const DateAxisSteps& steps = *l.category.dates;
    ASSERT_EQ(l.category.labels.size(), steps.ticks.size());
    EXPECT_EQ(l.category.labels.front().text, QStringLiteral("6/10/2004"));
    EXPECT_EQ(l.category.tickMarks.size(), steps.ticks.size());
    EXPECT_NEAR(l.category.tickMarks.front().x1(), p[0]->x(), 1e-9);
    {
        LocaleScope british(QLocale(QLocale::English, QLocale::UnitedKingdom));
        EXPECT_EQ(layoutOf(b, sheet).category.labels.front().text, QStringLiteral("10/06/2004"));
        LocaleScope german(QLocale(QLocale::German, QLocale::Germany));
        EXPECT_EQ(layoutOf(b, sheet).category.labels.front().text, QStringLiteral("10.06.2004"));
    }

    // The chart's own step: a label a week.
    c.dateScaling = DateAxisScaling{true, DateUnit::Days, false, 7, DateUnit::Days};
    const ChartLayout weekly = layoutOf(b, b.add(c));
    EXPECT_EQ(textsOf(weekly.category.labels),
              (std::vector<QString>{QStringLiteral("6/10/2004"), QStringLiteral("6/17/2004"),
                                    QStringLiteral("6/24/2004"), QStringLiteral("7/1/2004")}));

    // A row whose date is not a date has no place: its value is not drawn.
    b.ws().setText(2, 0, QStringLiteral("soon"));
    const ChartLayout gap = layoutOf(b, sheet);
    EXPECT_FALSE(gap.series[0].points[1]);
    EXPECT_TRUE(gap.series[0].points[2]);

    // Nor does it stretch the value axis: rows below the log whose formulas give 0 leave the
    // scale around the entries, as LibreOffice draws it.
    b.ws().setNumber(10, 1, 0);
    b.ws().setNumber(11, 1, 0);
    const ChartLayout below = layoutOf(b, sheet);
    EXPECT_GT(below.primary.scale.min, 150);
    EXPECT_FALSE(below.noData);
    for (std::size_t i = 4; i < below.series[0].points.size(); ++i)
        EXPECT_FALSE(below.series[0].points[i]) << i;
    // Values only in rows without a date leave nothing to draw, and the chart says so.
    Book undated;
    undated.entryOn(0, first, {std::nan("")});
    undated.ws().setNumber(3, 1, 180);
    const ChartLayout none = layoutOf(undated, undated.add(c));
    EXPECT_TRUE(none.noData);
}

TEST(ChartLayout, OneEntryOrOneDateStaysReadable)
{
    for (int entries : {1, 4}) {
        Book b;
        for (int i = 0; i < entries; ++i)
            b.entryOn(i, QDate(2004, 6, 10), {180.0 + i});
        Chart c = b.chart({1}, 26);
        c.dateCategoryAxis = true;
        const ChartLayout l = layoutOf(b, b.add(c));
        expectTidy(l, "one date");
        // One place in the middle of the plot, one label under it.
        for (const auto& p : l.series[0].points)
            EXPECT_NEAR(p->x(), l.plot.center().x(), 1e-9);
        ASSERT_EQ(l.category.labels.size(), 1u);
        EXPECT_EQ(l.category.labels[0].text, QStringLiteral("6/10/2004"));
        EXPECT_NEAR(l.category.labels[0].box.center().x(), l.plot.center().x(), 1e-9);
        // The value axis opens around a single value.
        EXPECT_LT(l.primary.scale.min, 180);
        EXPECT_GT(l.primary.scale.max, 180.0 + entries - 1);
    }
    // A date axis without a single date falls back to the categories side by side.
    Book b;
    b.entry(0, {1});
    b.entry(1, {2});
    b.ws().setText(1, 0, QStringLiteral("first"));
    b.ws().setText(2, 0, QStringLiteral("second"));
    Chart c = b.chart({1}, 26);
    c.dateCategoryAxis = true;
    const ChartLayout text = layoutOf(b, b.add(c));
    EXPECT_FALSE(text.category.dates);
    EXPECT_EQ(textsOf(text.category.labels), (std::vector<QString>{QStringLiteral("first"), QStringLiteral("second")}));
}

TEST(ChartLayout, LineWeightsAsLibreOfficeDrawsThem)
{
    Book b;
    for (int i = 0; i < 5; ++i)
        b.entry(i, {200.0 + i, 27.0 + i});
    Chart c = b.chart({1, 2}, 26);
    c.valueGridlines = true;
    c.series[1].weight = ChartLineWeight::Wide;
    c.series[1].pattern = ChartLinePattern::Dash;
    const int sheet = b.add(c);
    // At the chart sheet's own size (733 by 451 points): 0.7 mm for a medium line, 1.05 mm for
    // a wide one, 0.35 mm for the axes, a hairline (drawn as thin as the device can) for the
    // gridlines and the legend's frame. (The chart record says 733.33 points, the basis of
    // its font sizes 733.30: hence the slack.)
    const QRectF basis(0, 0, 14666 / 15.0, 9014 / 15.0);
    const double mm = 96 / 25.4;
    ChartLayout l = layoutOf(b, sheet, basis);
    EXPECT_NEAR(l.series[0].stroke.width, 0.7 * mm, 1e-3);
    EXPECT_NEAR(l.series[1].stroke.width, 1.05 * mm, 1e-3);
    EXPECT_EQ(l.series[1].stroke.pattern, ChartLinePattern::Dash);
    EXPECT_EQ(l.series[0].stroke.pattern, ChartLinePattern::Solid);
    EXPECT_NEAR(l.axisStroke.width, 0.35 * mm, 1e-3);
    EXPECT_EQ(l.gridStroke.width, 0);
    // Twice the size, twice the width; a hairline stays a hairline.
    l = layoutOf(b, sheet, QRectF(0, 0, basis.width() * 2, basis.height() * 2));
    EXPECT_NEAR(l.series[0].stroke.width, 1.4 * mm, 1e-3);
    EXPECT_EQ(l.gridStroke.width, 0);
    // Heavier gridlines when the chart says so.
    c.gridlineWeight = ChartLineWeight::Narrow;
    EXPECT_NEAR(layoutOf(b, b.add(c), basis).gridStroke.width, 0.35 * mm, 1e-3);

    // Excel's charts: automatic gridlines are hairlines; lines keep their width relative to
    // the chart's own size, here 815 by 509 points.
    const auto excel = loadWorkbook(QStringLiteral(SHEET_TEST_DATA "/12843-1.xls"));
    const QRectF own(0, 0, 0x032F0A18 / 65536.0 * 4 / 3, 0x01FD0A18 / 65536.0 * 4 / 3);
    const ChartLayout e = *ChartDrawing::ofSheet(*excel, 7).layout(own);
    EXPECT_EQ(e.gridStroke.width, 0);
    EXPECT_NEAR(e.series[0].stroke.width, 0.7 * 96 / 25.4, 1e-9); // medium in the records
}

TEST(ChartLayout, TextScalesWithThePictureForEveryChart)
{
    // Excel's chart at its own size (726 by 451 points) shows its fonts at their size; at
    // 300 x 210 and 2000 x 1400 pixels, in proportion to the picture.
    const auto excel = loadWorkbook(QStringLiteral(SHEET_TEST_DATA "/44010-SingleChart.xls"));
    const ChartDrawing drawing = ChartDrawing::ofSheet(*excel, 1);
    const double ownWidth = 0x02D5FAD8 / 65536.0 * 4 / 3;
    const double ownHeight = 0x01C2B058 / 65536.0 * 4 / 3;
    auto labelPixels = [&](double w, double h) {
        return drawing.layout(QRectF(0, 0, w, h))->style(ChartTextRole::AxisLabel).font.pixelSize();
    };
    const Font labels = excel->font(drawing.chart().fonts.axisLabels);
    EXPECT_EQ(labelPixels(ownWidth, ownHeight), std::lround(labels.height / 15.0));
    const int small = labelPixels(300, 210);
    const int large = labelPixels(2000, 1400);
    EXPECT_NEAR(large, labels.height / 15.0 * std::min(2000 / ownWidth, 1400 / ownHeight), 1);
    EXPECT_NEAR(small, labels.height / 15.0 * std::min(300 / ownWidth, 210 / ownHeight), 1);

    // A chart built here without font sizes for its records scales the same way.
    Book b;
    b.entry(0, {1});
    b.entry(1, {2});
    const ChartDrawing ours = ChartDrawing::ofSheet(*b.book, b.add(b.chart({1}, 26)));
    const double basisWidth = 14666 / 15.0;
    const int at1
        = ours.layout(QRectF(0, 0, basisWidth, 9014 / 15.0))->style(ChartTextRole::AxisLabel).font.pixelSize();
    const int at2
        = ours.layout(QRectF(0, 0, basisWidth * 2, 9014 / 15.0 * 2))->style(ChartTextRole::AxisLabel).font.pixelSize();
    EXPECT_NEAR(at2, 2 * at1, 1);
}

TEST(ChartLayout, TurnedLabelsHangBelowTheirTickMarks)
{
    Book b;
    for (int i = 0; i < 26; ++i)
        b.entry(i, {200.0 - i});
    for (const bool dates : {false, true})
        for (const int angle : {30, 45, 60, 90}) {
            Chart c = b.chart({1}, 26);
            c.categoryLabelRotation = angle;
            c.dateCategoryAxis = dates;
            c.categoryNumberFormat = 14;
            const ChartLayout l = layoutOf(b, b.add(c), QRectF(0, 0, 900, 600));
            const std::string what = (dates ? "dates at " : "text at ") + std::to_string(angle);
            expectTidy(l, what);
            ASSERT_GT(l.category.labels.size(), 3u) << what;
            ASSERT_FALSE(l.category.tickMarks.empty()) << what;
            const double tickEnd = l.category.tickMarks.front().y2();
            for (const ChartLayoutText& t : l.category.labels) {
                ASSERT_EQ(t.angle, angle) << what;
                const QTransform turn = QTransform().translate(t.origin.x(), t.origin.y()).rotate(-t.angle);
                // No part of the text reaches up into the tick marks or the plot.
                EXPECT_GT(turn.mapRect(t.box).top(), tickEnd) << what << " " << t.text.toStdString();
                // The middle of the text's end is under its point (a date: its tick mark).
                const double endX = turn.map(QPointF(t.box.right(), t.box.center().y())).x();
                double nearest = 1e9;
                for (const QLineF& tick : l.category.tickMarks)
                    nearest = std::min(nearest, std::abs(tick.x1() - endX));
                for (const auto& p : l.series[0].points)
                    nearest = std::min(nearest, std::abs(p->x() - endX));
                EXPECT_LT(nearest, 1.0) << what << " " << t.text.toStdString();
            }
        }
}

TEST(ChartLayout, MarkersAndTheirAbsence)
{
    Book b;
    for (int i = 0; i < 5; ++i)
        b.entry(i, {200.0 + i, 27.0 + i});
    Chart c = b.chart({1, 2}, 26);
    c.series[0].marker = ChartMarker::Diamond;
    c.series[0].markerSize = 100; // 5 points
    c.series[1].marker = ChartMarker::None;
    const QRectF basis(0, 0, 14666 / 15.0, 9014 / 15.0);
    const ChartLayout l = layoutOf(b, b.add(c), basis);
    ASSERT_EQ(l.series[0].markers.size(), 5u);
    EXPECT_NEAR(l.series[0].markers[0].size, 100 / 15.0, 1e-3);
    EXPECT_EQ(l.series[0].markers[0].shape, ChartMarker::Diamond);
    EXPECT_TRUE(l.series[1].markers.empty()); // a trend line: no markers
    EXPECT_EQ(l.series[1].lines.size(), 1u);
}

TEST(ChartLayout, ValueLabelsTellTheTicksApart)
{
    // Weights of 200, 200.2, 200.1, 200.2 and 200 lb at 71.95 in; BMI shown with two decimals.
    Book b;
    const double weights[] = {200, 200.2, 200.1, 200.2, 200};
    for (int i = 0; i < 5; ++i)
        b.entry(i, {weights[i], weights[i] * 703 / (71.95 * 71.95)});
    Xf xf = b.book->xf(b.ws().cellXf(1, 2));
    xf.format = 2; // 0.00
    const auto twoDecimals = static_cast<std::uint16_t>(b.book->addXf(xf));
    for (int i = 0; i < 5; ++i)
        b.ws().setCellXf(1 + i, 2, twoDecimals);
    Chart c = b.chart({1, 2}, 26);
    c.series[1].secondaryAxis = true;
    const ChartLayout l = layoutOf(b, b.add(c));
    const std::vector<QString> bmi = textsOf(l.secondary.labels);
    ASSERT_GE(bmi.size(), 3u);
    for (std::size_t i = 1; i < bmi.size(); ++i)
        EXPECT_NE(bmi[i], bmi[i - 1]);
    // Steps finer than a hundredth get a third decimal, and each label says its tick.
    ASSERT_LT(l.secondary.scale.major, 0.01);
    for (std::size_t i = 0; i < bmi.size(); ++i) {
        EXPECT_EQ(bmi[i].section(QLatin1Char('.'), 1).size(), 3) << bmi[i].toStdString();
        EXPECT_NEAR(bmi[i].toDouble(), l.secondary.ticks[i], 1e-9);
    }
}

TEST(ChartLayout, ExcelsTextBoxesDataLabelsAndLevelAxisTitles)
{
    const auto book = loadWorkbook(QStringLiteral(SHEET_TEST_DATA "/12843-1.xls"));
    const QRectF area(0, 0, 800, 500);
    const ChartLayout first = *ChartDrawing::ofSheet(*book, 7).layout(area);
    expectTidy(first, "sheet 7");
    // Level titles on one line above the plot: over the left axis and over the right one.
    std::vector<const ChartLayoutText*> level;
    for (const ChartLayoutText& t : first.texts)
        if (t.role == ChartTextRole::AxisTitle)
            level.push_back(&t);
    ASSERT_EQ(level.size(), 2u);
    for (const ChartLayoutText* t : level) {
        EXPECT_EQ(t->angle, 0);
        EXPECT_LE(t->box.bottom(), first.plot.top());
    }
    EXPECT_TRUE(level[0]->alignment & Qt::AlignLeft);
    EXPECT_TRUE(level[1]->alignment & Qt::AlignRight);
    // The text boxes where Excel put them, over the plot.
    ASSERT_EQ(first.textBoxes.size(), 2u);
    EXPECT_NEAR(first.textBoxes[1].box.left(), 800 * 2420 / 4000.0, 1e-9);
    EXPECT_NEAR(first.textBoxes[1].box.top(), 500 * 1972 / 4000.0, 1e-9);
    EXPECT_TRUE(first.textBoxes[0].text.text.contains(QStringLiteral("375,200")));
    // sheet-tool picks its fonts from every text the picture may show.
    EXPECT_TRUE(ChartDrawing::ofSheet(*book, 7).texts().contains(first.textBoxes[0].text.text));
    EXPECT_TRUE(first.textBoxes[0].fill);
    EXPECT_TRUE(first.textBoxes[0].box.intersects(first.plot));

    // The labels of the third series: each point's percentage, right of the point.
    const ChartLayout labelled = *ChartDrawing::ofSheet(*book, 17).layout(area);
    const SeriesLayout& s = labelled.series[2];
    std::size_t points = 0;
    for (const auto& p : s.points)
        points += p.has_value();
    ASSERT_EQ(s.labels.size(), points);
    EXPECT_EQ(s.labels.front().text, QStringLiteral("68.79%"));
    EXPECT_GT(s.labels.front().box.left(), s.points.front()->x());
    EXPECT_NEAR(s.labels.front().box.center().y(), s.points.front()->y(), 1e-9);
    EXPECT_TRUE(labelled.series[0].labels.empty());
}

namespace {

// The chart of `b`'s columns as a scatter chart: its chart group's LINE made SCATTER.
int addScatter(Book& b, const Chart& c)
{
    RecordList body = writeChartSheetBody(c, [&](int s) { return b.book->externSheetIndex(s); });
    for (Record& r : body)
        if (r.id == chartrec::Line)
            r = Record{0x101B, Bytes{100, 0, 1, 0, 0, 0}}; // bubbles 100 %, area, no bubbles
    return b.book->addChartSheet(QStringLiteral("Scatter %1").arg(b.book->sheetCount()), body);
}

} // namespace

TEST(ChartLayout, ScatterChartsPlaceEachPointAtItsXValue)
{
    // Excel's scatter chart (SimpleScatterChart.xls): two teal points, (0, 0.5) and (1, 1.5).
    const auto excel = loadWorkbook(QStringLiteral(SHEET_CHART_TEST_DATA "/SimpleScatterChart.xls"));
    const ChartDrawing drawing = ChartDrawing::ofSheet(*excel, 1);
    ASSERT_TRUE(drawing.chart().scatter) << drawing.placeholderText().toStdString();
    const ChartLayout e = *drawing.layout(QRectF(0, 0, 800, 500));
    expectTidy(e, "SimpleScatterChart");
    ASSERT_TRUE(e.xAxis.shown);
    EXPECT_EQ(e.xAxis.scale.min, 0);
    EXPECT_NEAR(e.xAxis.scale.max, 1.2, 1e-9);
    ASSERT_EQ(e.series.size(), 1u);
    const auto& p = e.series[0].points;
    ASSERT_TRUE(p[0] && p[1]);
    EXPECT_NEAR(p[0]->x(), e.plot.left(), 1e-9);
    EXPECT_NEAR(p[1]->x(), e.plot.left() + e.plot.width() / 1.2, 1e-9);
    EXPECT_NEAR(heightOf(e, p[1]->y()), 1.5 / e.primary.scale.max, 1e-9);
    EXPECT_TRUE(e.series[0].lines.empty()); // markers only
    EXPECT_EQ(e.series[0].colour, QColor(0x33, 0xCC, 0xCC));
    EXPECT_EQ(e.category.labels.front().text, QStringLiteral("0"));
    EXPECT_FALSE(e.gridlines.empty());
    // Its title has automatic text: the single series' name. Its legend floats at the bottom.
    ASSERT_FALSE(e.texts.empty());
    EXPECT_EQ(e.texts[0].text, QStringLiteral("Y"));
    EXPECT_GT(e.legend.frame.top(), e.plot.bottom());

    // One built here: x values 1, 2, 4, 8 (0 to 9 in steps of 1), joined in their order.
    Book b;
    const double xs[] = {1, 2, 4, 8};
    for (int i = 0; i < 4; ++i) {
        b.entry(i, {10.0 + i});
        b.ws().setNumber(1 + i, 0, xs[i]);
    }
    Chart c = b.chart({1}, 26);
    c.series[0].marker = ChartMarker::Square;
    const ChartLayout l = layoutOf(b, addScatter(b, c));
    ASSERT_TRUE(l.xAxis.shown);
    const auto& q = l.series[0].points;
    const double unit = l.plot.width() / (l.xAxis.scale.max - l.xAxis.scale.min);
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(q[static_cast<std::size_t>(i)]->x(), l.plot.left() + (xs[i] - l.xAxis.scale.min) * unit, 1e-9);
    EXPECT_EQ(l.series[0].lines.size(), 1u);
    EXPECT_EQ(l.category.labels.size(), l.xAxis.ticks.size());
    EXPECT_EQ(l.category.tickMarks.size(), l.xAxis.ticks.size());

    // Text among the x values: the points are numbered 1, 2, 3...; an empty x: no point.
    b.ws().setText(2, 0, QStringLiteral("two"));
    const ChartLayout numbered = layoutOf(b, addScatter(b, c));
    EXPECT_NEAR(numbered.series[0].points[3]->x() - numbered.series[0].points[2]->x(),
                numbered.series[0].points[1]->x() - numbered.series[0].points[0]->x(), 1e-9);
    b.ws().setNumber(2, 0, 2);
    b.ws().setBlank(3, 0);
    const ChartLayout gap = layoutOf(b, addScatter(b, c));
    EXPECT_FALSE(gap.series[0].points[2]);
    EXPECT_TRUE(gap.series[0].points[3]);
}
