// Data in and out: importing a long CSV file into a log, and what the PDF report's summary
// page adds to the report.
#include "BenchSupport.h"
#include "LogImport.h"
#include "PdfReport.h"
#include "ReportSummary.h"
#include "TemplateResources.h"
#include "WorkbookImport.h"

#include "io/WorkbookFile.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"

#include <QBuffer>
#include <QDate>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// A CSV file as a German spreadsheet saves a long log: semicolons, decimal commas, day-first
// dates, a byte-order mark; every field of the metric log.
QString WriteLongCsv(const QTemporaryDir& dir, int rows)
{
    QByteArray csv = "\xEF\xBB\xBF"
                     "Datum;Gewicht (kg);Brust (cm);Taille (cm);Hüfte (cm);Wrist (cm);Forearm (cm)\r\n";
    csv.reserve(rows * 48);
    const QDate first(1990, 1, 1);
    for (int i = 0; i < rows; ++i) {
        const QDate day = first.addDays(i);
        csv += QByteArray::number(day.day()).rightJustified(2, '0') + '.'
            + QByteArray::number(day.month()).rightJustified(2, '0') + '.' + QByteArray::number(day.year()) + ';'
            + QByteArray::number(70 + (i % 100) / 10.0).replace('.', ',') + ";96,5;82;104;15,6;25,6\r\n";
    }
    const QString path = dir.filePath(QStringLiteral("long.csv"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(csv);
    return path;
}

// Reading, detecting, converting and merging 100,000 rows into a log that has some entries:
// what File > Import does before the mapping dialog shows and after it is answered.
void BM_ImportCsv100k(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = WriteLongCsv(dir, static_cast<int>(state.range(0)));
    const QList<LogEntry> log = {{"1/1/1990", "71"}, {"1/2/1990", "72"}};
    for (auto _ : state) {
        const ImportTable table = ReadImportFile(path);
        const ImportLayout layout = DetectLayout(table, false);
        const ImportResult result = ConvertImport(table, layout, false);
        const QList<LogEntry> merged = MergeImport(log, result.entries, SameDate::Replace);
        if (merged.size() != state.range(0) || !result.rejected.isEmpty())
            state.SkipWithError("the import did not read every row");
        benchmark::DoNotOptimize(merged.size());
    }
}
BENCHMARK(BM_ImportCsv100k)->Arg(100000)->Unit(benchmark::kMillisecond);

std::unique_ptr<sheet::Workbook> WorkbookWithEntries(int entries)
{
    const QByteArray bytes = kalmora::templateResourceBytes(101);
    auto book = sheet::workbookFromBytes(sheet::Bytes(bytes.begin(), bytes.end()));
    sheet::Worksheet& data = *book->worksheet(0);
    for (int i = 0; i < entries; ++i) {
        data.setDate(5 + i, 0, QDate(2004, 6, 10).addDays(7 * i));
        data.setNumber(5 + i, 1, 200 - i * 0.1);
        if (i % 3 == 0)
            data.setBlank(5 + i, 2);
        data.setFormula(5 + i, 8, QStringLiteral("=B%1/($I$2*12+$I$3)/($I$2*12+$I$3)*703").arg(6 + i));
    }
    book->recalculate();
    return book;
}

// The summary page alone: reading its figures from the workbook and drawing it into a PDF page.
void BM_ReportSummaryPage(benchmark::State& state)
{
    const auto book = WorkbookWithEntries(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(96);
        QPainter painter(&writer);
        const std::optional<ReportSummary> summary = SummarizeWorkbook(*book);
        if (!summary)
            state.SkipWithError("no summary");
        else
            PaintSummaryPage(*summary, painter, QRectF(0, 0, 1000, 700));
        painter.end();
        benchmark::DoNotOptimize(bytes.size());
    }
}
BENCHMARK(BM_ReportSummaryPage)->Arg(26)->Arg(1000)->Unit(benchmark::kMillisecond);

// The whole report, for comparison with the summary page's share of it.
void BM_PdfReport(benchmark::State& state)
{
    const auto book = WorkbookWithEntries(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(PdfReport(*book, QPageSize(QPageSize::A4), QStringLiteral("Report")).size());
}
BENCHMARK(BM_PdfReport)->Arg(26)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
