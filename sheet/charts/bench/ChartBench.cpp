// Drawing a chart sheet: a line chart of 26 weekly entries on two value axes, with title,
// axis titles, legend and dates at 45 degrees, as the program's charts are; and a long log of
// daily entries on a date axis with a dashed goal line.
#include "charts/Chart.h"
#include "charts/ChartRenderer.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"

#include <QDate>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

struct ChartBook {
    std::unique_ptr<sheet::Workbook> book = std::make_unique<sheet::Workbook>();
    int chart = -1;

    explicit ChartBook(int entries = 26, int daysApart = 7, bool longLog = false)
    {
        sheet::Workbook& b = *book;
        sheet::Font bold;
        bold.weight = 700;
        bold.height = 280;
        const auto titleFont = static_cast<std::uint16_t>(b.addFont(bold));
        bold.height = 220;
        const auto axisFont = static_cast<std::uint16_t>(b.addFont(bold));
        sheet::Font small;
        small.height = 180;
        const auto labelFont = static_cast<std::uint16_t>(b.addFont(small));

        const int data = b.addWorksheet(QStringLiteral("Data"));
        sheet::Worksheet& ws = *b.worksheet(data);
        ws.setText(4, 1, QStringLiteral("Weight (pounds)"));
        ws.setText(4, 2, QStringLiteral("Estimated Body Mass Index (BMI)"));
        ws.setText(4, 3, QStringLiteral("Goal Weight (pounds)"));
        for (int i = 0; i < entries; ++i) {
            ws.setDate(5 + i, 0, QDate(2004, 6, 10).addDays(daysApart * i));
            // Daily weights go up and down by a pound or two around a slow trend.
            const double weight = longLog ? 212 - 0.02 * i + ((i * 5) % 7) * 0.4 : 212 - 0.8 * i + (i % 3) * 0.5;
            ws.setNumber(5 + i, 1, weight);
            ws.setFormula(5 + i, 2, QStringLiteral("=B%1/72.375/72.375*703").arg(6 + i));
            ws.setNumber(5 + i, 3, 185);
        }
        sheet::Chart c;
        c.title = QStringLiteral("Weight and BMI");
        c.valueAxisTitle = QStringLiteral("Pounds");
        c.secondaryValueAxisTitle = QStringLiteral("BMI");
        c.categoryLabelRotation = 45;
        c.categoryNumberFormat = 14;
        c.fonts = {titleFont, axisFont, labelFont, 0, 280, 220, 180, 200};
        c.dateCategoryAxis = longLog;
        const int last = 5 + entries - 1;
        for (int col : longLog ? std::vector<int>{1, 2, 3} : std::vector<int>{1, 2}) {
            sheet::ChartSeries s;
            s.values = sheet::SheetRange::column(data, col, 5, last);
            s.categories = sheet::SheetRange::column(data, 0, 5, last);
            s.nameCell = sheet::SheetRange::cell(data, 4, col);
            s.secondaryAxis = col == 2;
            s.colour = col == 1 ? 0x30 : 0x35;
            s.marker = col == 1 ? sheet::ChartMarker::Square : sheet::ChartMarker::Diamond;
            if (col == 3) {
                s.colour = 0x11;
                s.marker = sheet::ChartMarker::None;
                s.pattern = sheet::ChartLinePattern::Dash;
            }
            c.series.push_back(s);
        }
        chart = b.addChartSheet(QStringLiteral("Weight and BMI Chart"),
                                sheet::writeChartSheetBody(c, [&](int s) { return b.externSheetIndex(s); }));
        b.recalculate();
    }
};

// What a caller pays for a new picture: the image, the records read, the cells read, drawn.
void BM_RenderChartSheet(benchmark::State& state)
{
    const ChartBook b;
    for (auto _ : state)
        benchmark::DoNotOptimize(sheet::renderChartSheet(*b.book, b.chart, QSize(1000, 700)));
}
BENCHMARK(BM_RenderChartSheet)->Unit(benchmark::kMillisecond);

// Drawing alone, into a picture that already exists (a preview redrawing at a zoom step).
void BM_PaintChartSheet(benchmark::State& state)
{
    const ChartBook b;
    QImage image(1000, 700, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter p(&image);
        sheet::paintChartSheet(*b.book, b.chart, p, QRectF(0, 0, 1000, 700));
    }
}
BENCHMARK(BM_PaintChartSheet)->Unit(benchmark::kMillisecond);

// A long log drawn whole: a year, three and ten years of daily entries on a date axis.
void BM_RenderLongLog(benchmark::State& state)
{
    const ChartBook b(static_cast<int>(state.range(0)), 1, true);
    for (auto _ : state)
        benchmark::DoNotOptimize(sheet::renderChartSheet(*b.book, b.chart, QSize(1000, 700)));
}
BENCHMARK(BM_RenderLongLog)->Arg(365)->Arg(1000)->Arg(3650)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
