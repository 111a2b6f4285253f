// The in-process part of `sheet-tool render` (what follows reading the workbook and precedes
// writing the file): reading the cells or the chart, drawing into the PNG canvas, encoding.
// The tool's targets are for whole processes, measured from outside with hyperfine; this
// keeps the share that is the tool's own code from growing unseen.
#include "PngWriter.h"
#include "WorkbookDump.h"

#include "charts/ChartRenderer.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "render/Render.h"
#include "io/WorkbookFile.h"

#include <QGuiApplication>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// A LibreOffice-made data sheet like the program's (fills, borders, wrapped headers, formulas)
// and an Excel-made chart sheet.
std::unique_ptr<sheet::Workbook> load(const char* name)
{
    auto book = sheet::loadWorkbook(QStringLiteral(SHEET_TEST_DATA "/") + QLatin1String(name));
    book->recalculate();
    return book;
}

sheet::CellRange usedRange(const sheet::Worksheet& ws) { return ws.usedRange().value_or(sheet::CellRange{}); }

int firstChartSheet(const sheet::Workbook& book)
{
    for (int i = 0; i < book.sheetCount(); ++i)
        if (book.sheet(i).isChart())
            return i;
    return -1;
}

void BM_ToolDrawDataSheet(benchmark::State& state)
{
    const auto book = load("reference-imperial.xls");
    const sheet::Worksheet& ws = *book->worksheet(0);
    const sheet::CellRange r = usedRange(ws);
    for (auto _ : state) {
        const sheet::RangeDrawing cells(ws, r.firstRow, r.firstCol, r.lastRow, r.lastCol);
        PngCanvas canvas(cells.pixelSize());
        QPainter p(&canvas.image());
        cells.paint(p);
        p.end();
        benchmark::DoNotOptimize(canvas.encode());
    }
}
BENCHMARK(BM_ToolDrawDataSheet)->Unit(benchmark::kMillisecond);

void BM_ToolDrawChartSheet(benchmark::State& state)
{
    const auto book = load("44010-SingleChart.xls");
    const int chart = firstChartSheet(*book);
    if (chart < 0) {
        state.SkipWithError("no chart sheet");
        return;
    }
    for (auto _ : state) {
        const sheet::ChartDrawing drawing = sheet::ChartDrawing::ofSheet(*book, chart);
        PngCanvas canvas(QSize(1000, 700));
        QPainter p(&canvas.image());
        drawing.paint(p, QRectF(0, 0, 1000, 700));
        p.end();
        benchmark::DoNotOptimize(canvas.encode());
    }
}
BENCHMARK(BM_ToolDrawChartSheet)->Unit(benchmark::kMillisecond);

// The PNG stream alone, of a drawn chart at the tool's default size.
void BM_ToolEncodePng(benchmark::State& state)
{
    const auto book = load("44010-SingleChart.xls");
    PngCanvas canvas(QSize(1000, 700));
    {
        QPainter p(&canvas.image());
        sheet::paintChartSheet(*book, firstChartSheet(*book), p, QRectF(0, 0, 1000, 700));
    }
    qint64 bytes = 0;
    for (auto _ : state) {
        const QByteArray png = canvas.encode();
        bytes = png.size();
        benchmark::DoNotOptimize(png);
    }
    state.counters["png_bytes"] = static_cast<double>(bytes);
    state.SetBytesProcessed(state.iterations() * 1000 * 700 * 3);
}
BENCHMARK(BM_ToolEncodePng)->Unit(benchmark::kMillisecond);

// `dump` and `recalc` of the same large sheet (60,000 numbers, texts and formulas): the
// dump's own work, the JSON, is to stay within twice a recalculation and save.
std::unique_ptr<sheet::Workbook> largeSheet()
{
    auto book = std::make_unique<sheet::Workbook>();
    book->addWorksheet(QStringLiteral("Large"));
    sheet::Worksheet& ws = *book->worksheet(0);
    for (int r = 0; r < 20000; ++r) {
        ws.setNumber(r, 0, r * 0.25);
        ws.setText(r, 1, QStringLiteral("Row %1").arg(r % 97));
        ws.setFormula(r, 2, QStringLiteral("=A%1*2").arg(r + 1));
    }
    book->recalculate();
    return book;
}

void BM_ToolDumpJson(benchmark::State& state)
{
    const auto book = largeSheet();
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        sheet::writeWorkbookJson(*book, QLocale::c(), QString(), [&](const char*, std::size_t n) { bytes += n; });
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_ToolDumpJson)->Unit(benchmark::kMillisecond);

void BM_ToolRecalcAndSave(benchmark::State& state)
{
    const auto book = largeSheet();
    for (auto _ : state) {
        book->recalculate();
        benchmark::DoNotOptimize(workbookToBytes(*book));
    }
}
BENCHMARK(BM_ToolRecalcAndSave)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
