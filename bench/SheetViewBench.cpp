// The preview's data sheet drawn a band of rows at a time: the first screen after a
// generation, and one scroll step, for logs of years of daily entries. Targets: the first
// screen within the 30 ms a click to preview has, a scroll step within 16 ms (one frame).
#include "BenchSupport.h"
#include "Generation.h"
#include "Guarded.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "render/Render.h"
#include "io/WorkbookFile.h"

#include <QFile>
#include <QImage>

#include <memory>
#include <random>

namespace {

// The picture area of the preview, in pixels.
constexpr int kViewHeight = 495;
// The rows above the entries: title, heights, figures and column labels.
constexpr int kHeaderRows = 5;

// A generated workbook of that many entries, read back as the preview reads it.
std::unique_ptr<sheet::Workbook> GeneratedBook(int entries)
{
    NoBoxes boxes;
    std::mt19937 rng(1);
    Guarded proc(QStringLiteral("Form1.PushButton1_Click"));
    const GenerationFiles files = GenerateChartWorkbook(proc, ImperialInput(entries), rng, [] {});
    if (!boxes.failures.isEmpty())
        return nullptr;
    auto book = sheet::loadWorkbook(files.workbookPath);
    QFile::remove(files.workbookPath);
    QFile::remove(files.picturePath);
    return book;
}

// Laying the data sheet out and drawing the screen the preview opens on.
void BM_SheetViewFirstScreen(benchmark::State& state)
{
    const auto book = GeneratedBook(static_cast<int>(state.range(0)));
    if (!book) {
        state.SkipWithError("the generation failed");
        return;
    }
    const sheet::Worksheet& ws = *book->worksheet(0);
    const sheet::CellRange used = *ws.usedRange();
    for (auto _ : state) {
        const sheet::RangeRows rows(ws, used.firstRow, used.firstCol, used.lastRow, used.lastCol);
        benchmark::DoNotOptimize(rows.renderView(0, kViewHeight, kHeaderRows));
    }
}
BENCHMARK(BM_SheetViewFirstScreen)->Arg(1000)->Arg(10000)->Arg(65531)->Unit(benchmark::kMillisecond);

// One step of the mouse wheel (three lines of 20 pixels) further down a laid-out sheet.
void BM_SheetViewScrollStep(benchmark::State& state)
{
    const auto book = GeneratedBook(static_cast<int>(state.range(0)));
    if (!book) {
        state.SkipWithError("the generation failed");
        return;
    }
    const sheet::Worksheet& ws = *book->worksheet(0);
    const sheet::CellRange used = *ws.usedRange();
    const sheet::RangeRows rows(ws, used.firstRow, used.firstCol, used.lastRow, used.lastCol);
    const int end = rows.pixelSize().height() - kViewHeight;
    int top = end / 2;
    for (auto _ : state) {
        top = top + 60 > end ? 0 : top + 60;
        benchmark::DoNotOptimize(rows.renderView(top, kViewHeight, kHeaderRows));
    }
}
BENCHMARK(BM_SheetViewScrollStep)->Arg(1000)->Arg(10000)->Arg(65531)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
