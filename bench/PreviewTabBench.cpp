// The preview's sheet tabs: what opening the preview costs now that it has tabs, and the
// time from a click on a chart tab to its picture being ready.
#include "BenchSupport.h"
#include "Form2.h"
#include "Generation.h"
#include "Guarded.h"
#include "ProgramFiles.h"
#include "MessageBox.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QTabBar>

#include <benchmark/benchmark.h>

#include <random>

namespace {

// One generated workbook and its picture, as the preview gets them.
struct Generated {
    Generated()
    {
        std::mt19937 rng(1);
        Guarded proc(QStringLiteral("Form1.PushButton1_Click"));
        files = GenerateChartWorkbook(proc, ImperialInput(26), rng, [] {});
        picture = QImage(files.picturePath);
    }
    GenerationFiles files;
    QImage picture;
};

void Report(benchmark::State& state, const NoBoxes& boxes)
{
    if (!boxes.failures.isEmpty())
        state.SkipWithError(boxes.failures.first().toStdString().c_str());
}

// The generation benchmark's click to preview, and the preview shown: its set-up and the tab
// row read from the workbook. No chart is drawn.
void BM_ClickToPreviewShown(benchmark::State& state)
{
    NoBoxes boxes;
    const GenerationInput input = ImperialInput(26);
    std::mt19937 rng(1);
    Form2 preview(nullptr);
    for (auto _ : state) {
        Guarded proc(QStringLiteral("Form1.PushButton1_Click"));
        const GenerationFiles files = GenerateChartWorkbook(proc, input, rng, [] {});
        preview.LoadPicture(files.picturePath);
        preview.mExcelFile = files.workbookPath;
        preview.show();
        DeleteFileForced(files.picturePath);
        state.PauseTiming();
        if (preview.tabStrip()->count() != 4 || preview.drawnSheetPictures() != 0)
            state.SkipWithError("the preview did not open as expected");
        preview.hide();
        QFile::remove(files.workbookPath);
        state.ResumeTiming();
    }
    Report(state, boxes);
}
BENCHMARK(BM_ClickToPreviewShown)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The preview's own part of that: picture in, shown and painted, with the tab row read from
// the workbook (1) or without a workbook to read it from (0).
void BM_PreviewShown(benchmark::State& state)
{
    Generated g;
    NoBoxes boxes;
    Form2 preview(nullptr);
    for (auto _ : state) {
        preview.SetPicture(g.picture);
        preview.mExcelFile = state.range(0) ? g.files.workbookPath : QString();
        preview.show();
        QCoreApplication::processEvents();
        state.PauseTiming();
        preview.hide();
        state.ResumeTiming();
    }
    Report(state, boxes);
}
BENCHMARK(BM_PreviewShown)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A click on a chart tab of a fresh preview: the workbook opened, the chart drawn at the
// picture area's size, the picture on screen.
void BM_SwitchToChartTab(benchmark::State& state)
{
    Generated g;
    NoBoxes boxes;
    Form2 preview(nullptr);
    preview.mExcelFile = g.files.workbookPath;
    const int tab = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        preview.SetPicture(g.picture);
        preview.show();
        state.ResumeTiming();
        preview.tabStrip()->setCurrentIndex(tab);
        state.PauseTiming();
        if (!preview.pictureShown() || preview.drawnSheetPictures() != 1)
            state.SkipWithError("the chart was not drawn");
        preview.hide();
        state.ResumeTiming();
    }
    Report(state, boxes);
}
BENCHMARK(BM_SwitchToChartTab)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

// The next chart tab once the workbook is open.
void BM_SwitchToAnotherChartTab(benchmark::State& state)
{
    Generated g;
    NoBoxes boxes;
    Form2 preview(nullptr);
    preview.mExcelFile = g.files.workbookPath;
    for (auto _ : state) {
        state.PauseTiming();
        preview.SetPicture(g.picture);
        preview.show();
        preview.tabStrip()->setCurrentIndex(1);
        state.ResumeTiming();
        preview.tabStrip()->setCurrentIndex(2);
        state.PauseTiming();
        preview.hide();
        state.ResumeTiming();
    }
    Report(state, boxes);
}
BENCHMARK(BM_SwitchToAnotherChartTab)->Unit(benchmark::kMillisecond);

// A zoom step on a chart: redrawn at the new size.
void BM_ZoomStepOnChart(benchmark::State& state)
{
    Generated g;
    NoBoxes boxes;
    Form2 preview(nullptr);
    preview.mExcelFile = g.files.workbookPath;
    preview.SetPicture(g.picture);
    preview.show();
    preview.tabStrip()->setCurrentIndex(2);
    for (auto _ : state) {
        preview.PushButton1_Click(); // 1.25
        preview.PushButton2_Click(); // 1
    }
    state.SetItemsProcessed(2 * state.iterations());
    Report(state, boxes);
}
BENCHMARK(BM_ZoomStepOnChart)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
