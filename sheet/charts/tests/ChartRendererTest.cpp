// The chart renderer on workbooks built here: what reaches the picture from the cells
// (gaps, trailing rows, the secondary axis, edge cases), placeholders, and the size bounds.
#include "ChartRenderTestSupport.h"

#include "charts/Chart.h"
#include "charts/ChartData.h"
#include "charts/ChartRenderer.h"
#include "charts/ChartScale.h"
#include "base/Error.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "render/Render.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace sheet;
using sheet::charttest::Book;

namespace {

// Strong enough in one colour to be the series' (antialiased edges included).
bool isRed(QRgb p) { return qRed(p) > 150 && qRed(p) - std::max(qGreen(p), qBlue(p)) > 60; }
bool isBlue(QRgb p) { return qBlue(p) > 150 && qBlue(p) - std::max(qRed(p), qGreen(p)) > 60; }

// Columns (x) holding at least one pixel of the colour.
std::vector<int> columnsWith(const QImage& img, bool (*colour)(QRgb))
{
    std::vector<int> xs;
    for (int x = 0; x < img.width(); ++x)
        for (int y = 0; y < img.height(); ++y)
            if (colour(img.pixel(x, y))) {
                xs.push_back(x);
                break;
            }
    return xs;
}

// Runs of neighbouring columns: each separately drawn piece of a series.
int pieces(const std::vector<int>& xs)
{
    int n = 0;
    for (std::size_t i = 0; i < xs.size(); ++i)
        if (i == 0 || xs[i] != xs[i - 1] + 1)
            ++n;
    return n;
}

// Topmost and bottommost row holding the colour.
std::pair<int, int> rowsWith(const QImage& img, bool (*colour)(QRgb))
{
    int top = img.height(), bottom = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (colour(img.pixel(x, y))) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                break;
            }
    return {top, bottom};
}

int inkIn(const QImage& img, const QRect& r)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (qGray(img.pixel(x, y)) < 100)
                ++n;
    return n;
}

const QLocale kUs(QLocale::English, QLocale::UnitedStates);

} // namespace

TEST(ChartScale, FollowsTheSpreadsheetRule)
{
    struct Case {
        double lo, hi;
        double min, max, major;
    } cases[] = {
        {193, 210, 180, 215, 5},     // narrow data: the minimum comes down by half the spread
        {20, 100, 0, 120, 20},       // wide data starts at zero; one unit of room above needs a wider unit
        {-210, -193, -215, -180, 5}, // negative data mirrors the rule
        {-5, 10, -6, 12, 2},         // both signs
        {5, 5, 0, 6, 1},             // one value
        {0, 0, 0, 1, 0.1},           // no data
        {24.5, 29.1, 22, 30, 1},
        {1e300, 1.6e300, 0, 1.8e300, 2e299},
    };
    for (const Case& c : cases) {
        const AxisScale s = scaleValueAxis(c.lo, c.hi);
        EXPECT_NEAR(s.min, c.min, std::fabs(c.major) * 1e-9) << c.lo << ".." << c.hi;
        EXPECT_NEAR(s.max, c.max, std::fabs(c.major) * 1e-9) << c.lo << ".." << c.hi;
        EXPECT_NEAR(s.major, c.major, std::fabs(c.major) * 1e-9) << c.lo << ".." << c.hi;
    }

    // A short axis gets fewer, wider intervals.
    EXPECT_EQ(scaleValueAxis(193, 210, {}, 3).major, 20);
    // Fixed limits and units are kept; the other limit still follows the data.
    ValueAxisScaling fixed;
    fixed.autoMin = false;
    fixed.min = 150;
    const AxisScale s = scaleValueAxis(193, 210, fixed);
    EXPECT_EQ(s.min, 150);
    EXPECT_EQ(s.major, 10);
    EXPECT_EQ(s.max, 220);
    fixed.autoMajor = false;
    fixed.major = 25;
    EXPECT_EQ(scaleValueAxis(193, 210, fixed).max, 225);
    // Nonsense never yields an empty or infinite axis.
    const double inf = std::numeric_limits<double>::infinity();
    for (const AxisScale& bad : {scaleValueAxis(-inf, inf), scaleValueAxis(std::nan(""), 3), scaleValueAxis(5, 1),
                                 scaleValueAxis(-1.7e308, 1.7e308)}) {
        EXPECT_LT(bad.min, bad.max);
        EXPECT_TRUE(std::isfinite(bad.max - bad.min));
        EXPECT_GT(bad.major, 0);
    }
}

TEST(ChartData, CellsWithoutANumberAreGapsAndTrailingEmptyRowsAreLeftOut)
{
    Book b;
    const double gap = std::nan("");
    for (int i = 0; i < 8; ++i)
        b.entry(i, {10.0 * (i + 1)});
    b.ws().setBlank(3, 1);
    b.ws().setText(4, 1, QStringLiteral("n/a"));
    b.ws().setFormula(5, 1, QStringLiteral("=1/0"));
    b.ws().setBool(6, 1, true);
    b.entry(8, {gap}); // a date without a measurement still takes its slot

    const Chart c = b.chart({1}, 26); // a fixed range of 26 rows, 9 of them used
    const ChartData d = b.dataOf(c);
    ASSERT_EQ(d.slotCount(), 9);
    ASSERT_EQ(d.series.size(), 1u);
    const auto& v = d.series[0].values;
    EXPECT_EQ(v[0], 10.0);
    EXPECT_EQ(v[1], 20.0);
    for (int i : {2, 3, 4, 5, 8})
        EXPECT_FALSE(v[static_cast<std::size_t>(i)]) << "slot " << i;
    EXPECT_EQ(v[6], 70.0);
    EXPECT_EQ(v[7], 80.0);
    EXPECT_EQ(d.series[0].name, QStringLiteral("Weight"));
    EXPECT_EQ(d.categories[0], QStringLiteral("6/10/2004"));
    EXPECT_EQ(d.primaryFormatCell, SheetRange::cell(b.data, 1, 1));

    // Only values below the last entry: the slots end at the last value too.
    b.ws().removeCell(9, 0);
    b.ws().setNumber(12, 1, 5);
    EXPECT_EQ(b.dataOf(c).slotCount(), 12);
    // Nothing at all: no slots.
    Book empty;
    EXPECT_EQ(empty.dataOf(empty.chart({1}, 26)).slotCount(), 0);
}

TEST(ChartData, LabelsNamesAndAxes)
{
    Book b;
    b.entry(0, {200, 27.5});
    b.entry(1, {198, 27.1});
    Chart c = b.chart({1, 2}, 26);
    c.series[1].secondaryAxis = true;
    c.series[1].nameCell = SheetRange();
    c.categoryNumberFormat = 15; // d-mmm-yy, whatever the cells show
    ChartData d = b.dataOf(c);
    EXPECT_EQ(d.categories[1], QStringLiteral("17-Jun-04"));
    EXPECT_EQ(d.series[1].name, QStringLiteral("Series2"));
    EXPECT_TRUE(d.series[1].secondaryAxis);
    EXPECT_EQ(d.secondaryFormatCell, SheetRange::cell(b.data, 1, 2));

    // Only secondary series: they are the primary axis.
    c.series[0].secondaryAxis = true;
    d = b.dataOf(c);
    EXPECT_FALSE(d.series[0].secondaryAxis || d.series[1].secondaryAxis);

    // Without categories, the slots are numbered.
    for (ChartSeries& s : c.series)
        s.categories = SheetRange();
    EXPECT_EQ(b.dataOf(c).categories[1], QStringLiteral("2"));
}

TEST(ChartRenderer, GapsBreakTheLine)
{
    Book b;
    for (int i = 0; i < 8; ++i)
        b.entry(i, {100.0 + i});
    b.ws().setBlank(3, 1);                            // slot 2
    b.ws().setText(5, 1, QStringLiteral("n/a"));      // slot 4
    b.ws().setFormula(7, 1, QStringLiteral("=NA()")); // slot 6
    const int sheet = b.add(b.chart({1}, 8));
    const QImage img = renderChartSheet(*b.book, sheet, QSize(800, 500));
    // Slots 0-1 joined, then 3, 5 and 7 each alone.
    EXPECT_EQ(pieces(columnsWith(img, isRed)), 4);

    b.ws().setNumber(3, 1, 102);
    b.ws().setNumber(5, 1, 104);
    b.ws().setNumber(7, 1, 106);
    EXPECT_EQ(pieces(columnsWith(renderChartSheet(*b.book, sheet, QSize(800, 500)), isRed)), 1);
}

TEST(ChartRenderer, DashedLinesHaveGaps)
{
    Book b;
    for (int i = 0; i < 8; ++i)
        b.entry(i, {100});
    Chart c = b.chart({1}, 8);
    const int solid = b.add(c);
    c.series[0].pattern = ChartLinePattern::Dash;
    const int dashed = b.add(c);
    EXPECT_EQ(pieces(columnsWith(renderChartSheet(*b.book, solid, QSize(800, 500)), isRed)), 1);
    // About 600 pixels of a 2.2-pixel line in dashes of 6 widths and gaps of 1.5.
    const int dashes = pieces(columnsWith(renderChartSheet(*b.book, dashed, QSize(800, 500)), isRed));
    EXPECT_GT(dashes, 30);
    EXPECT_LT(dashes, 60);
}

TEST(ChartRenderer, ThePictureEndsAtTheLastEntry)
{
    Book b;
    for (int i = 0; i < 5; ++i)
        b.entry(i, {100.0 - i});
    const int sheet = b.add(b.chart({1}, 26));
    const QImage img = renderChartSheet(*b.book, sheet, QSize(800, 500));
    const std::vector<int> xs = columnsWith(img, isRed);
    ASSERT_FALSE(xs.empty());
    // Five slots over the plot width: the last point sits in the last tenth, not at 5/26.
    EXPECT_GT(xs.back(), 800 * 0.85);
    EXPECT_LT(xs.front(), 800 * 0.25);

    // 26 and 27 entries all show, the last near the right edge.
    for (int n : {26, 27}) {
        Book full;
        for (int i = 0; i < n; ++i)
            full.entry(i, {200.0 - i * 0.5});
        const int s = full.add(full.chart({1}, 27));
        EXPECT_EQ(full.dataOf(full.chart({1}, 27)).slotCount(), n);
        const std::vector<int> cols = columnsWith(renderChartSheet(*full.book, s, QSize(800, 500)), isRed);
        ASSERT_FALSE(cols.empty());
        EXPECT_GT(cols.back(), 800 * 0.85) << n;
        EXPECT_EQ(pieces(cols), 1) << n;
    }
}

TEST(ChartRenderer, SecondarySeriesFollowItsOwnAxis)
{
    Book b;
    for (int i = 0; i < 10; ++i)
        b.entry(i, {210.0 - i, 27.0 + i * 0.2});
    Chart c = b.chart({1, 2}, 26);
    c.series[1].secondaryAxis = true;
    c.secondaryValueAxisTitle = QStringLiteral("BMI");
    const int sheet = b.add(c);
    const QImage img = renderChartSheet(*b.book, sheet, QSize(800, 500));
    // Both lines span most of the plot's height: each axis is scaled to its own series.
    const auto [redTop, redBottom] = rowsWith(img, isRed);
    const auto [blueTop, blueBottom] = rowsWith(img, isBlue);
    EXPECT_GT(redBottom - redTop, 150);
    EXPECT_GT(blueBottom - blueTop, 150);
    // Falling weight, rising BMI: the blue line starts low on the left.
    const std::vector<int> blueXs = columnsWith(img, isBlue);
    ASSERT_FALSE(blueXs.empty());
    int firstBlueY = -1;
    for (int y = 0; y < img.height() && firstBlueY < 0; ++y)
        if (isBlue(img.pixel(blueXs.front(), y)))
            firstBlueY = y;
    EXPECT_GT(firstBlueY, (blueTop + blueBottom) / 2);
    // The secondary axis has labels and its title on the right.
    EXPECT_GT(inkIn(img, QRect(760, 50, 40, 350)), 50);

    // Weights missing, BMI present: the BMI line is still drawn to scale; the weight axis
    // stays usable.
    for (int i = 0; i < 10; ++i)
        b.ws().setBlank(1 + i, 1);
    const QImage noWeights = renderChartSheet(*b.book, sheet, QSize(800, 500));
    EXPECT_TRUE(columnsWith(noWeights, isRed).empty());
    const auto [top, bottom] = rowsWith(noWeights, isBlue);
    EXPECT_GT(bottom - top, 150);
}

TEST(ChartRenderer, OneEntryNoEntriesAndExtremeValues)
{
    {
        Book b;
        b.entry(0, {180});
        Chart c = b.chart({1}, 26);
        const int plain = b.add(c);
        c.series[0].marker = ChartMarker::Square;
        const int marked = b.add(c);
        // A single point has no line to draw, yet it shows (as its marker or a dot).
        for (int sheet : {plain, marked}) {
            const std::vector<int> xs = columnsWith(renderChartSheet(*b.book, sheet, QSize(800, 500)), isRed);
            ASSERT_FALSE(xs.empty());
            EXPECT_EQ(pieces(xs), 1);
            EXPECT_LT(xs.back() - xs.front(), 15);
        }
    }
    {
        Book b; // no entries: axes and "No data" in the middle of the plot
        const int sheet = b.add(b.chart({1}, 26));
        const QImage img = renderChartSheet(*b.book, sheet, QSize(800, 500));
        EXPECT_GT(inkIn(img, QRect(340, 200, 140, 60)), 30);
        EXPECT_TRUE(columnsWith(img, isRed).empty());
    }
    for (const auto& values : {std::vector<double>{-40, -10, -25, -5}, std::vector<double>{-3, 4, -2, 6},
                               std::vector<double>{1e250, 3e250, 2e250, 5e250}}) {
        Book b;
        for (std::size_t i = 0; i < values.size(); ++i)
            b.entry(static_cast<int>(i), {values[i]});
        const int sheet = b.add(b.chart({1}, 26));
        const QImage img = renderChartSheet(*b.book, sheet, QSize(800, 500));
        const auto [top, bottom] = rowsWith(img, isRed);
        EXPECT_GT(bottom - top, 150) << values[0]; // drawn to scale, not flattened or off the plot
        EXPECT_EQ(pieces(columnsWith(img, isRed)), 1) << values[0];
    }
}

TEST(ChartRenderer, LooksTheSameAtAnyPixelRatio)
{
    Book b;
    for (int i = 0; i < 6; ++i)
        b.entry(i, {100.0 + i * i});
    const int sheet = b.add(b.chart({1}, 26));
    const QImage one = renderChartSheet(*b.book, sheet, QSize(600, 400));
    const QImage two = renderChartSheet(*b.book, sheet, QSize(1200, 800), 2.0);
    EXPECT_EQ(two.size(), QSize(1200, 800));
    EXPECT_EQ(two.devicePixelRatio(), 2.0);
    const std::vector<int> a = columnsWith(one, isRed);
    const std::vector<int> c = columnsWith(two, isRed);
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(c.empty());
    EXPECT_NEAR(c.front(), 2 * a.front(), 4);
    EXPECT_NEAR(c.back(), 2 * a.back(), 4);

    // Drawn into a painter's rectangle away from the origin, nothing lands outside it.
    QImage canvas(900, 600, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainter p(&canvas);
    paintChartSheet(*b.book, sheet, p, QRectF(300, 200, 600, 400));
    p.end();
    const std::vector<int> xs = columnsWith(canvas, isRed);
    ASSERT_FALSE(xs.empty());
    EXPECT_GE(xs.front(), 300);
    EXPECT_EQ(inkIn(canvas, QRect(0, 0, 300, 600)) + inkIn(canvas, QRect(0, 0, 900, 200)), 0);
}

TEST(ChartRenderer, ChartsItCannotDrawGetAPlaceholder)
{
    Book b;
    for (int i = 0; i < 6; ++i)
        b.entry(i, {100.0 + i});
    RecordList body = writeChartSheetBody(b.chart({1}, 26), [&](int s) { return b.book->externSheetIndex(s); });
    RecordList bar = body;
    for (Record& r : bar)
        if (r.id == chartrec::Line)
            r = Record{0x1017, Bytes{0, 0, 150, 0, 0, 0}}; // a bar chart group
    RecordList broken = body;
    for (std::size_t i = broken.size() / 2; i < broken.size(); ++i)
        if (broken[i].id == chartrec::End) {
            broken.erase(broken.begin() + static_cast<std::ptrdiff_t>(i)); // a block left open
            break;
        }
    RecordList area = body;
    for (Record& r : area)
        if (r.id == chartrec::Line)
            r = Record{0x101A, Bytes{0, 0}}; // an area chart group
    const char* why[] = {"This is a bar chart; only line and scatter charts are drawn yet.",
                         "This chart cannot be drawn: Chart sheet: BEGIN without END",
                         "This is an area chart; only line and scatter charts are drawn yet."};
    int k = 0;
    for (const RecordList& records : {bar, broken, area}) {
        const int sheet = b.book->addChartSheet(QStringLiteral("Odd %1").arg(b.book->sheetCount()), records);
        const ChartDrawing drawing = ChartDrawing::ofSheet(*b.book, sheet);
        EXPECT_EQ(drawing.placeholderText(), QString::fromLatin1(why[k++]));
        EXPECT_FALSE(drawing.layout(QRectF(0, 0, 800, 500)));
        const QImage img = renderChartSheet(*b.book, sheet, QSize(800, 500));
        EXPECT_TRUE(columnsWith(img, isRed).empty());
        EXPECT_GT(inkIn(img, QRect(100, 150, 600, 200)), 100); // the sentence saying why
    }
}

TEST(ChartRenderer, RefusesWhatIsNotAChartOrTooLarge)
{
    Book b;
    b.entry(0, {1});
    const int sheet = b.add(b.chart({1}, 26));
    EXPECT_THROW(renderChartSheet(*b.book, b.data, QSize(100, 100)), Error);
    EXPECT_THROW(renderChartSheet(*b.book, 7, QSize(100, 100)), Error);
    EXPECT_THROW(renderChartSheet(*b.book, sheet, QSize(16385, 100)), Error);
    EXPECT_THROW(renderChartSheet(*b.book, sheet, QSize(12000, 9000)), Error); // 108 megapixels
    EXPECT_THROW(renderChartSheet(*b.book, sheet, QSize(0, 100)), Error);
    EXPECT_NO_THROW(renderChartSheet(*b.book, sheet, QSize(16384, 16)));
    try {
        renderChartSheet(*b.book, sheet, QSize(20000, 20000));
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("16384"))) << e.message().toStdString();
    }
}

TEST(SheetRenderer, PaintRangeDrawsRenderRangesPictureAndLargeRangesAreRefused)
{
    Book b;
    for (int i = 0; i < 8; ++i)
        b.entry(i, {70.5 + i, 25.25});
    b.ws().setColumnWidth(0, 0, 14 * 256);
    const QImage picture = renderRange(b.ws(), 0, 0, 8, 2);
    EXPECT_EQ(picture.size(), rangePixelSize(b.ws(), 0, 0, 8, 2));
    QImage painted(picture.size(), QImage::Format_RGB32);
    painted.fill(Qt::black); // paintRange lays its own white ground
    QPainter p(&painted);
    p.setRenderHint(QPainter::Antialiasing, true); // and its own hints
    paintRange(b.ws(), 0, 0, 8, 2, p);
    p.end();
    EXPECT_EQ(painted, picture);

    // A last cell 32,770 rows down would be a picture half a million pixels tall.
    b.ws().setNumber(32769, 3, 1);
    EXPECT_THROW(renderRange(b.ws(), 0, 0, 32769, 3), Error);
    EXPECT_GT(rangePixelSize(b.ws(), 0, 0, 32769, 3).height(), 16384); // told in advance
    EXPECT_NO_THROW(renderRange(b.ws(), 32760, 0, 32769, 3));
    EXPECT_THROW(renderRange(b.ws(), 0, 0, 65536, 0), Error);
    // Hidden rows make no pixels but still cost a cell each: a million of them are refused.
    EXPECT_THROW(renderRange(b.ws(), 0, 0, 65535, 20), Error);
}

TEST(ChartRenderer, AChartWithoutSeriesIsDrawnEmpty)
{
    // Dashboards keep charts whose series are not there yet: other programs show them empty.
    Book b;
    b.entry(0, {100.0});
    RecordList body = writeChartSheetBody(b.chart({1}, 26), [&](int s) { return b.book->externSheetIndex(s); });
    const auto series
        = std::find_if(body.begin(), body.end(), [](const Record& r) { return r.id == chartrec::SeriesRecord; });
    ASSERT_NE(series, body.end());
    auto end = series + 1;
    for (int depth = 0; end != body.end(); ++end) {
        depth += end->id == chartrec::Begin ? 1 : end->id == chartrec::End ? -1 : 0;
        if (depth == 0 && end->id == chartrec::End)
            break;
    }
    ASSERT_NE(end, body.end());
    body.erase(series, end + 1);
    const int sheet = b.book->addChartSheet(QStringLiteral("Empty"), body);
    const ChartDrawing drawing = ChartDrawing::ofSheet(*b.book, sheet);
    EXPECT_TRUE(drawing.placeholderText().isEmpty()) << drawing.placeholderText().toStdString();
    const std::optional<ChartLayout> l = drawing.layout(QRectF(0, 0, 800, 500));
    ASSERT_TRUE(l);
    EXPECT_TRUE(l->hasPlot);
    EXPECT_TRUE(l->series.empty());
    ASSERT_TRUE(l->noData);
    EXPECT_EQ(l->noData->text, QStringLiteral("No data"));
}

TEST(ChartRenderer, ALongLineIsDrawnWhole)
{
    // Months of daily entries: the line is drawn in pieces, and nothing between them may be missing.
    Book b;
    for (int i = 0; i < 120; ++i)
        b.entryOn(i, QDate(2004, 6, 10).addDays(i), {100.0 + (i % 9) - i * 0.01});
    Chart c = b.chart({1}, 120);
    c.dateCategoryAxis = true;
    const int sheet = b.add(c);
    const QImage img = renderChartSheet(*b.book, sheet, QSize(900, 500));
    const std::vector<int> xs = columnsWith(img, isRed);
    EXPECT_EQ(pieces(xs), 1);
    const ChartLayout l = *ChartDrawing::ofSheet(*b.book, sheet).layout(QRectF(0, 0, 900, 500));
    ASSERT_FALSE(xs.empty());
    EXPECT_NEAR(xs.front(), l.series[0].points.front()->x(), 3);
    EXPECT_NEAR(xs.back(), l.series[0].points.back()->x(), 3);
}
