// Chart generation from the click to a preview ready to show, and its parts.
#include "BenchSupport.h"
#include "automation/Automation.h"
#include "Excel1.h"
#include "Form2.h"
#include "Generation.h"
#include "Guarded.h"
#include "ProgramFiles.h"
#include "ClipboardPicture.h"
#include "MessageBox.h"
#include "TemplateResources.h"
#include "WorkFiles.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <random>

#include <time.h>

namespace {

void BM_GenerationClickToPreview(benchmark::State& state)
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
        DeleteFileForced(files.picturePath);
        state.PauseTiming();
        QFile::remove(files.workbookPath);
        state.ResumeTiming();
    }
    if (!boxes.failures.isEmpty())
        state.SkipWithError(boxes.failures.first().toStdString().c_str());
}
BENCHMARK(BM_GenerationClickToPreview)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Peak resident memory of this process so far, in megabytes (run one benchmark alone to see
// its own peak).
double PeakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return 0;
}

// The same for a log of years of daily entries: a preview ready within 30 ms for 1,000.
void BM_GenerationClickToPreviewLong(benchmark::State& state)
{
    NoBoxes boxes;
    const GenerationInput input = ImperialInput(static_cast<int>(state.range(0)));
    std::mt19937 rng(1);
    Form2 preview(nullptr);
    for (auto _ : state) {
        Guarded proc(QStringLiteral("Form1.PushButton1_Click"));
        const GenerationFiles files = GenerateChartWorkbook(proc, input, rng, [] {});
        preview.LoadPicture(files.picturePath);
        preview.mExcelFile = files.workbookPath;
        DeleteFileForced(files.picturePath);
        state.PauseTiming();
        QFile::remove(files.workbookPath);
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = PeakMegabytes();
    if (!boxes.failures.isEmpty())
        state.SkipWithError(boxes.failures.first().toStdString().c_str());
}
BENCHMARK(BM_GenerationClickToPreviewLong)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The same work, step by step.
struct Parts {
    QTemporaryDir temp;
    QString folder = PrivateWorkFolderIn(temp.path());
    QString templatePath = folder + QStringLiteral("/Fitness.xlt");
    QString workbookPath = folder + QStringLiteral("/qarvel11111111.xls");
    QString picturePath = folder + QStringLiteral("/temp.bmp");
    QByteArray bytes = TemplateBytes(101);
};

void BM_Part1_WriteTemplate(benchmark::State& state)
{
    Parts p;
    for (auto _ : state) {
        DeleteFileForced(p.templatePath);
        WriteBytesIfMissing(p.bytes, p.templatePath);
    }
}
BENCHMARK(BM_Part1_WriteTemplate)->Unit(benchmark::kMicrosecond);

void BM_Part2_Open(benchmark::State& state)
{
    Parts p;
    WriteBytesIfMissing(p.bytes, p.templatePath);
    for (auto _ : state) {
        sheet::automation::Application app;
        benchmark::DoNotOptimize(app.Workbooks().Open(p.templatePath).ActiveSheet().Name());
        app.Quit();
    }
}
BENCHMARK(BM_Part2_Open)->Unit(benchmark::kMicrosecond);

void Fill(const sheet::automation::Worksheet& data, const GenerationInput& input)
{
    data.Cells(2, 9).setValue(input.height1);
    data.Cells(3, 9).setValue(input.height2);
    int r = 6;
    for (const QStringList& row : input.rows) {
        for (int k = 1; k <= input.columnCount; ++k)
            data.Cells(r, k).setValue(row.at(k - 1));
        ++r;
    }
    for (; r <= 32; ++r)
        for (int k = 1; k <= 9; ++k)
            data.Cells(r, k).setValue(QString());
}

void BM_Part3_Fill(benchmark::State& state)
{
    Parts p;
    WriteBytesIfMissing(p.bytes, p.templatePath);
    const GenerationInput input = ImperialInput(26);
    sheet::automation::Application app;
    const auto book = app.Workbooks().Open(p.templatePath);
    const auto data = book.ActiveSheet();
    for (auto _ : state)
        Fill(data, input);
}
BENCHMARK(BM_Part3_Fill)->Unit(benchmark::kMicrosecond);

// Filling must cost in proportion to the rows written: a log of 100,000 entries (a damaged or
// hand-edited store) fills in well under a second. Rows after the template's are new cells.
void BM_FillRows(benchmark::State& state)
{
    Parts p;
    WriteBytesIfMissing(p.bytes, p.templatePath);
    const GenerationInput input = ImperialInput(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        sheet::automation::Application app;
        const auto book = app.Workbooks().Open(p.templatePath);
        state.ResumeTiming();
        Fill(book.ActiveSheet(), input);
        state.PauseTiming();
        app.Quit();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FillRows)->Arg(1000)->Arg(10000)->Arg(65531)->Unit(benchmark::kMillisecond);

// Opens the template, fills it and saves it as the temporary workbook.
void FillAndSave(const Parts& p, const GenerationInput& input)
{
    sheet::automation::Application app;
    const auto book = app.Workbooks().Open(p.templatePath);
    Fill(book.ActiveSheet(), input);
    book.SaveAsScratch(p.workbookPath);
    app.Quit();
}

// The engine's whole part of a generation for a long log, without the picture: open, fill,
// save, reopen.
void BM_EngineRows(benchmark::State& state)
{
    Parts p;
    WriteBytesIfMissing(p.bytes, p.templatePath);
    const GenerationInput input = ImperialInput(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        FillAndSave(p, input);
        sheet::automation::Application again;
        benchmark::DoNotOptimize(again.Workbooks().Open(p.workbookPath).ActiveSheet().UsedRange().LastRow());
        again.Quit();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EngineRows)->Arg(4000)->Arg(16000)->Arg(65531)->Unit(benchmark::kMillisecond);

// The generation steps (write, open, fill, save, reopen, capture) for a long log.
void BM_GenerateRows(benchmark::State& state)
{
    NoBoxes boxes;
    const GenerationInput input = ImperialInput(static_cast<int>(state.range(0)));
    std::mt19937 rng(1);
    for (auto _ : state) {
        Guarded proc(QStringLiteral("Form1.PushButton1_Click"));
        const GenerationFiles files = GenerateChartWorkbook(proc, input, rng, [] {});
        state.PauseTiming();
        QFile::remove(files.workbookPath);
        QFile::remove(files.picturePath);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["peak_MB"] = PeakMegabytes();
    if (!boxes.failures.isEmpty())
        state.SkipWithError(boxes.failures.first().toStdString().c_str());
}
BENCHMARK(BM_GenerateRows)->Arg(1000)->Arg(4000)->Arg(10000)->Arg(16000)->Arg(65531)->Unit(benchmark::kMillisecond);

// CPU time of this thread in milliseconds: the machine may be busy with other work.
double ThreadMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Where the time of a generation goes: the busy pointer is set again after the fill (step
// 110) and after the reopen (step 160), which splits it into filling (open, rows, entries,
// figures, charts), saving and reopening, and capturing the picture; CPU milliseconds each.
void BM_GenerationPhases(benchmark::State& state)
{
    NoBoxes boxes;
    const GenerationInput input = ImperialInput(static_cast<int>(state.range(0)));
    std::mt19937 rng(1);
    std::vector<double> marks;
    double phases[3] = {0, 0, 0};
    for (auto _ : state) {
        marks.assign(1, ThreadMilliseconds());
        Guarded proc(QStringLiteral("Form1.PushButton1_Click"));
        const GenerationFiles files
            = GenerateChartWorkbook(proc, input, rng, [&] { marks.push_back(ThreadMilliseconds()); });
        marks.push_back(ThreadMilliseconds());
        state.PauseTiming();
        for (std::size_t k = 0; k < 3 && marks.size() == 4; ++k)
            phases[k] += marks[k + 1] - marks[k];
        QFile::remove(files.workbookPath);
        QFile::remove(files.picturePath);
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["fill_ms"] = phases[0] / n;
    state.counters["save_reopen_ms"] = phases[1] / n;
    state.counters["capture_ms"] = phases[2] / n;
    if (!boxes.failures.isEmpty())
        state.SkipWithError(boxes.failures.first().toStdString().c_str());
}
BENCHMARK(BM_GenerationPhases)->Arg(26)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// A log of 100,000 entries does not fit a sheet: refused at once, in one report.
void BM_GenerateRefusesOversizedLog(benchmark::State& state)
{
    NoBoxes boxes;
    const GenerationInput input = ImperialInput(100000);
    std::mt19937 rng(1);
    for (auto _ : state) {
        Guarded proc(QStringLiteral("Form1.PushButton1_Click"));
        benchmark::DoNotOptimize(GenerateChartWorkbook(proc, input, rng, [] {}));
    }
    if (boxes.failures.size() != static_cast<int>(state.iterations()))
        state.SkipWithError("not one report per refused generation");
}
BENCHMARK(BM_GenerateRefusesOversizedLog)->Unit(benchmark::kMillisecond);

void BM_Part4_Save(benchmark::State& state)
{
    Parts p;
    WriteBytesIfMissing(p.bytes, p.templatePath);
    sheet::automation::Application app;
    const auto book = app.Workbooks().Open(p.templatePath);
    Fill(book.ActiveSheet(), ImperialInput(26));
    for (auto _ : state) {
        book.ActiveSheet().Cells(6, 2).setValue(QStringLiteral("201")); // something to recalculate
        book.SaveAsScratch(p.workbookPath, excelSaveFormat(&app));
    }
}
BENCHMARK(BM_Part4_Save)->Unit(benchmark::kMicrosecond);

void BM_Part5_Reopen(benchmark::State& state)
{
    Parts p;
    {
        sheet::automation::Application app;
        WriteBytesIfMissing(p.bytes, p.templatePath);
        const auto book = app.Workbooks().Open(p.templatePath);
        Fill(book.ActiveSheet(), ImperialInput(26));
        book.SaveAs(p.workbookPath);
        app.Quit();
    }
    for (auto _ : state) {
        auto app = openExcelWithWorkbook(p.workbookPath);
        benchmark::DoNotOptimize(app->Workbooks().count());
        app->Quit();
    }
}
BENCHMARK(BM_Part5_Reopen)->Unit(benchmark::kMicrosecond);

void BM_Part6_Capture(benchmark::State& state)
{
    Parts p;
    NoBoxes boxes;
    WriteBytesIfMissing(p.bytes, p.templatePath);
    sheet::automation::Application app;
    const auto book = app.Workbooks().Open(p.templatePath);
    Fill(book.ActiveSheet(), ImperialInput(26));
    for (auto _ : state)
        saveCellsActivesheet(book, p.picturePath);
    if (!boxes.failures.isEmpty())
        state.SkipWithError(boxes.failures.first().toStdString().c_str());
}
BENCHMARK(BM_Part6_Capture)->Unit(benchmark::kMicrosecond);

// The engine alone: open, fill, save, reopen, render (no clipboard, no files of pictures).
void BM_EngineSequence(benchmark::State& state)
{
    Parts p;
    WriteBytesIfMissing(p.bytes, p.templatePath);
    const GenerationInput input = ImperialInput(26);
    for (auto _ : state) {
        FillAndSave(p, input);
        sheet::automation::Application again;
        benchmark::DoNotOptimize(again.Workbooks().Open(p.workbookPath).ActiveSheet().UsedRange().Picture());
        again.Quit();
    }
}
BENCHMARK(BM_EngineSequence)->Unit(benchmark::kMicrosecond);

// What the capture is made of: drawing the range, the clipboard, the picture file.
void BM_Part6a_Render(benchmark::State& state)
{
    Parts p;
    WriteBytesIfMissing(p.bytes, p.templatePath);
    sheet::automation::Application app;
    const auto book = app.Workbooks().Open(p.templatePath);
    Fill(book.ActiveSheet(), ImperialInput(26));
    const auto used = book.ActiveSheet().UsedRange();
    for (auto _ : state)
        benchmark::DoNotOptimize(used.Picture());
}
BENCHMARK(BM_Part6a_Render)->Unit(benchmark::kMicrosecond);

void BM_Part6b_ClipboardAndFile(benchmark::State& state)
{
    Parts p;
    WriteBytesIfMissing(p.bytes, p.templatePath);
    sheet::automation::Application app;
    const QImage picture = app.Workbooks().Open(p.templatePath).ActiveSheet().UsedRange().Picture();
    for (auto _ : state) {
        sheet::automation::clearCopiedPicture();
        app.Workbooks()(1).ActiveSheet().UsedRange().CopyPicture();
        const QImage back = GetClipboardPicture(0);
        QFile::remove(p.picturePath);
        back.save(p.picturePath, "bmp");
    }
}
BENCHMARK(BM_Part6b_ClipboardAndFile)->Unit(benchmark::kMicrosecond);

void BM_Part7_LoadPicture(benchmark::State& state)
{
    Parts p;
    NoBoxes boxes;
    WriteBytesIfMissing(p.bytes, p.templatePath);
    sheet::automation::Application app;
    const auto book = app.Workbooks().Open(p.templatePath);
    saveCellsActivesheet(book, p.picturePath);
    Form2 preview(nullptr);
    for (auto _ : state)
        preview.LoadPicture(p.picturePath);
}
BENCHMARK(BM_Part7_LoadPicture)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
