// A few charts drawn whole, compared with pictures checked by eye once. On a mismatch the
// picture drawn goes beside the golden one as NAME.actual.png, the differing pixels as
// NAME.diff.png, and the test says how many differ and where. KALMORA_UPDATE_GOLDEN=1 writes
// the golden pictures anew (look at them before committing).
#include "ChartRenderTestSupport.h"

#include "charts/ChartRenderer.h"
#include "model/Font.h"
#include "io/WorkbookFile.h"
#include "model/Workbook.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace sheet;
using sheet::charttest::Book;

namespace {

const QString kGoldenDir = QStringLiteral(SHEET_CHART_GOLDEN);

// Pixels that differ by more than antialiasing noise.
bool differs(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) > 40 || std::abs(qGreen(a) - qGreen(b)) > 40
        || std::abs(qBlue(a) - qBlue(b)) > 40;
}

void expectGolden(const QImage& drawn, const QString& name)
{
    const QImage picture = drawn.convertToFormat(QImage::Format_RGB32);
    const QString golden = QDir(kGoldenDir).filePath(name + QStringLiteral(".png"));
    const QString actual = QDir(kGoldenDir).filePath(name + QStringLiteral(".actual.png"));
    const QString diff = QDir(kGoldenDir).filePath(name + QStringLiteral(".diff.png"));
    if (qEnvironmentVariableIntValue("KALMORA_UPDATE_GOLDEN") == 1) {
        ASSERT_TRUE(picture.save(golden, "PNG")) << golden.toStdString();
        QFile::remove(actual);
        QFile::remove(diff);
        return;
    }
    const QImage expected = QImage(golden, "PNG").convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(expected.isNull()) << "no golden picture " << golden.toStdString();
    int count = 0;
    QRect where;
    QImage marks(picture.size(), QImage::Format_RGB32);
    marks.fill(Qt::white);
    if (expected.size() == picture.size()) {
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (differs(picture.pixel(x, y), expected.pixel(x, y))) {
                    ++count;
                    where |= QRect(x, y, 1, 1);
                    marks.setPixel(x, y, qRgb(255, 0, 0));
                }
    }
    if (expected.size() == picture.size() && count == 0) {
        QFile::remove(actual);
        QFile::remove(diff);
        return;
    }
    picture.save(actual, "PNG");
    marks.save(diff, "PNG");
    ADD_FAILURE() << name.toStdString() << ": " << count << " pixels differ in (" << where.left() << ", " << where.top()
                  << ") to (" << where.right() << ", " << where.bottom() << "); drawn " << picture.width() << "x"
                  << picture.height() << ", golden " << expected.width() << "x" << expected.height() << "; see "
                  << actual.toStdString() << " and " << diff.toStdString();
}

// Fonts as the program's charts have them: bold title and axis titles, small labels, with
// their heights in the records so they scale with the chart.
ChartFonts programFonts(Workbook& book)
{
    Font bold;
    bold.weight = 700;
    bold.height = 280;
    const auto title = static_cast<std::uint16_t>(book.addFont(bold));
    bold.height = 220;
    const auto axisTitle = static_cast<std::uint16_t>(book.addFont(bold));
    Font small;
    small.height = 180;
    const auto labels = static_cast<std::uint16_t>(book.addFont(small));
    return {title, axisTitle, labels, labels, 280, 220, 180, 180};
}

} // namespace

TEST(ChartGolden, WeightAndBmiOverTwentySixWeeks)
{
    Book b;
    for (int i = 0; i < 26; ++i)
        b.entry(i, {212 - 0.8 * i + (i % 3) * 0.5, (212 - 0.8 * i + (i % 3) * 0.5) * 703 / (72.375 * 72.375)});
    Chart c = b.chart({1, 2}, 26);
    c.title = QStringLiteral("Weight and BMI");
    c.valueAxisTitle = QStringLiteral("Pounds");
    c.secondaryValueAxisTitle = QStringLiteral("BMI");
    c.legend = true;
    c.valueGridlines = true;
    c.categoryLabelRotation = 45;
    c.categoryNumberFormat = 14;
    c.fonts = programFonts(*b.book);
    c.series[0].marker = ChartMarker::Square;
    c.series[1].marker = ChartMarker::Diamond;
    c.series[1].secondaryAxis = true;
    expectGolden(renderChartSheet(*b.book, b.add(c), QSize(900, 600)), QStringLiteral("weight-bmi"));
}

TEST(ChartGolden, TrendAndGoalOnADateAxis)
{
    Book b;
    const int days[] = {0, 3, 7, 14, 15, 30, 44, 51, 80, 81, 95};
    double trend = 205;
    for (int i = 0; i < 11; ++i) {
        const double weight = 205 - i * 1.1 + (i % 2 ? 1.4 : -0.6);
        trend += 0.3 * (weight - trend);
        b.entryOn(i, QDate(2004, 6, 10).addDays(days[i]), {weight, trend, 192});
    }
    b.ws().setText(0, 3, QStringLiteral("Goal"));
    b.ws().setText(0, 2, QStringLiteral("Trend"));
    Chart c = b.chart({1, 2, 3}, 26);
    c.title = QStringLiteral("Weight");
    c.legend = true;
    c.valueGridlines = true;
    c.dateCategoryAxis = true;
    c.categoryNumberFormat = 14;
    c.fonts = programFonts(*b.book);
    c.series[0].marker = ChartMarker::Square;
    c.series[1].colour = 0x12; // navy trend, no markers
    c.series[2].colour = 0x11; // green dashed goal
    c.series[2].pattern = ChartLinePattern::Dash;
    expectGolden(renderChartSheet(*b.book, b.add(c), QSize(900, 600)), QStringLiteral("trend-goal-dates"));
}

TEST(ChartGolden, ExcelsLineAndScatterCharts)
{
    const auto line = loadWorkbook(QStringLiteral(SHEET_TEST_DATA "/44010-SingleChart.xls"));
    expectGolden(renderChartSheet(*line, 1, QSize(800, 500)), QStringLiteral("excel-44010"));
    const auto scatter = loadWorkbook(QStringLiteral(SHEET_CHART_TEST_DATA "/SimpleScatterChart.xls"));
    expectGolden(renderChartSheet(*scatter, 1, QSize(800, 500)), QStringLiteral("excel-scatter"));
}
