// What filling and recalculating one log costs in the formula layer: typing 26 rows of
// five cells, compiling the template's formulas and evaluating them, showing the cells.

#include "formula/Formula.h"
#include "format/NumberFormat.h"
#include "format/TypedInput.h"

#include <QHash>
#include <QLocale>
#include <benchmark/benchmark.h>

using namespace sheet;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);

struct Row {
    QString date, weight, chest, waist, hips;
};

std::vector<Row> rows()
{
    std::vector<Row> out;
    for (int i = 0; i < 26; ++i)
        out.push_back({QStringLiteral("%1/%2/2004").arg(6 + i / 4).arg(1 + i % 28), QStringLiteral("%1.5").arg(200 - i),
                       QStringLiteral("44.625"), QStringLiteral("%1").arg(36 + i % 3), QStringLiteral("41.25")});
    return out;
}

void TypeTwentySixRows(benchmark::State& state)
{
    const auto data = rows();
    const QString general = QStringLiteral("General");
    for (auto _ : state) {
        for (const Row& r : data) {
            benchmark::DoNotOptimize(interpretTypedInput(r.date, kUs, general));
            benchmark::DoNotOptimize(interpretTypedInput(r.weight, kUs, general));
            benchmark::DoNotOptimize(interpretTypedInput(r.chest, kUs, general));
            benchmark::DoNotOptimize(interpretTypedInput(r.waist, kUs, general));
            benchmark::DoNotOptimize(interpretTypedInput(r.hips, kUs, general));
        }
    }
}
BENCHMARK(TypeTwentySixRows);

void ParseTemplateFormulas(benchmark::State& state)
{
    const QString formulas[] = {QStringLiteral("=(B6*1.082+94.42)-D6*4.15"), QStringLiteral("=B6-F6"),
                                QStringLiteral("=G6*100/B6"), QStringLiteral("=B6/($I$2*12+$I$3)/($I$2*12+$I$3)*703")};
    for (auto _ : state)
        for (const QString& f : formulas)
            benchmark::DoNotOptimize(parseFormula(f));
}
BENCHMARK(ParseTemplateFormulas);

struct Sheet : EvalEnv {
    QHash<int, Value> cells;
    Value cellValue(int, int row, int col) const override { return cells.value(row * 256 + col); }
};

// 26 rows of the four derived columns, each formula shifted from row 6.
void EvaluateTwentySixRows(benchmark::State& state)
{
    Sheet sheet;
    sheet.cells[1 * 256 + 8] = Value::number(5);
    sheet.cells[2 * 256 + 8] = Value::number(10);
    for (int r = 5; r < 31; ++r) {
        sheet.cells[r * 256 + 1] = Value::number(200);
        sheet.cells[r * 256 + 3] = Value::number(36);
    }
    std::vector<std::pair<int, Bytes>> formulas;
    const Bytes base[] = {parseFormula(QStringLiteral("=(B6*1.082+94.42)-D6*4.15")),
                          parseFormula(QStringLiteral("=B6-F6")), parseFormula(QStringLiteral("=G6*100/B6")),
                          parseFormula(QStringLiteral("=B6/($I$2*12+$I$3)/($I$2*12+$I$3)*703"))};
    for (int r = 0; r < 26; ++r)
        for (int c = 0; c < 4; ++c)
            formulas.emplace_back((5 + r) * 256 + 5 + c, shiftFormula(base[c], r, 0));
    for (auto _ : state)
        for (const auto& [at, rgce] : formulas)
            sheet.cells[at] = evaluateFormula(rgce, sheet);
}
BENCHMARK(EvaluateTwentySixRows);

void ShowCells(benchmark::State& state)
{
    const QString shortDate = localeShortDateCode(kUs);
    const QString fraction = QStringLiteral("# ?/?");
    const QString general = QStringLiteral("General");
    for (auto _ : state) {
        for (int i = 0; i < 26; ++i) {
            benchmark::DoNotOptimize(formatValue(Value::number(38148 + 7 * i), shortDate, kUs));
            benchmark::DoNotOptimize(formatValue(Value::number(28.69387755 + i), general, kUs));
            benchmark::DoNotOptimize(formatValue(Value::number(0.375), fraction, kUs));
        }
    }
}
BENCHMARK(ShowCells);

} // namespace

BENCHMARK_MAIN();
