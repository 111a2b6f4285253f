// The engine's part of making a chart workbook: open the template, type 26 rows, clear the
// rest, recalculate, save, open the result again.
#include "biff/Compound.h"
#include "model/Workbook.h"
#include "io/WorkbookFile.h"

#include <QFile>
#include <QLocale>

#include <benchmark/benchmark.h>

namespace {

sheet::Bytes templateBytes()
{
    QFile f(QStringLiteral(SHEET_TEST_DATA "/reference-imperial.xls"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray d = f.readAll();
    return sheet::Bytes(d.begin(), d.end());
}

void fill(sheet::Worksheet& ws, const QLocale& locale)
{
    ws.setInput(1, 8, QStringLiteral("5"), locale);
    ws.setInput(2, 8, QStringLiteral("10"), locale);
    for (int r = 5; r < 31; ++r) {
        ws.setInput(r, 0, QStringLiteral("6/%1/2004").arg(1 + r % 28), locale);
        ws.setInput(r, 1, QStringLiteral("%1.5").arg(150 + r), locale);
        ws.setInput(r, 2, QStringLiteral("40"), locale);
        ws.setInput(r, 3, QStringLiteral("36.25"), locale);
        ws.setInput(r, 4, QStringLiteral("41"), locale);
    }
    for (int c = 0; c < 9; ++c)
        ws.setInput(31, c, QString(), locale);
}

void BM_Open(benchmark::State& state)
{
    const sheet::Bytes bytes = templateBytes();
    for (auto _ : state)
        benchmark::DoNotOptimize(sheet::workbookFromBytes(bytes));
}
BENCHMARK(BM_Open)->Unit(benchmark::kMicrosecond);

void BM_Fill(benchmark::State& state)
{
    const sheet::Bytes bytes = templateBytes();
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    for (auto _ : state) {
        state.PauseTiming();
        auto book = sheet::workbookFromBytes(bytes);
        state.ResumeTiming();
        fill(*book->worksheet(0), us);
    }
}
BENCHMARK(BM_Fill)->Unit(benchmark::kMicrosecond);

void BM_RecalcAndSave(benchmark::State& state)
{
    const sheet::Bytes bytes = templateBytes();
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    for (auto _ : state) {
        state.PauseTiming();
        auto book = sheet::workbookFromBytes(bytes);
        fill(*book->worksheet(0), us);
        state.ResumeTiming();
        benchmark::DoNotOptimize(sheet::workbookToBytes(*book));
    }
}
BENCHMARK(BM_RecalcAndSave)->Unit(benchmark::kMicrosecond);

void BM_WholeSequence(benchmark::State& state)
{
    const sheet::Bytes bytes = templateBytes();
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    for (auto _ : state) {
        auto book = sheet::workbookFromBytes(bytes);
        fill(*book->worksheet(0), us);
        const sheet::Bytes saved = sheet::workbookToBytes(*book);
        auto again = sheet::workbookFromBytes(saved);
        benchmark::DoNotOptimize(again->worksheet(0)->value(30, 8));
    }
}
BENCHMARK(BM_WholeSequence)->Unit(benchmark::kMicrosecond);

// 2000 formulas each summing a 2000-row column: reading ranges must not get quadratic.
void BM_RecalcManySums(benchmark::State& state)
{
    sheet::Workbook book;
    book.addWorksheet(QStringLiteral("S"));
    sheet::Worksheet* ws = book.worksheet(0);
    for (int r = 0; r < 2000; ++r) {
        ws->setNumber(r, 1, r);
        ws->setFormula(r, 0, QStringLiteral("=SUM(B$1:B$2000)+1"));
    }
    for (auto _ : state)
        book.recalculate();
}
BENCHMARK(BM_RecalcManySums)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
