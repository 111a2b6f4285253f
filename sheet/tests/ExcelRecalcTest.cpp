// Workbooks written by Excel, recalculated by the engine: every formula must come out as the
// value Excel cached. The cached results are overwritten before the workbook is read, so a
// formula the engine leaves alone cannot pass by keeping Excel's answer.
#include "TestUtil.h"

#include "biff/Compound.h"
#include "model/CellRange.h"
#include "model/Workbook.h"

#include <QLocale>
#include <QSet>
#include <cmath>

namespace sheet::test {
namespace {

// A cached result no formula of these files computes (NaN would read as #NUM!).
constexpr double kStale = -1.2345678901e+299;

struct FormulaCell {
    int sheet;
    int row;
    int col;
    Value cached;
};

// Replaces each FORMULA record's cached result with kStale, remembering what it was.
Bytes staleResults(Bytes stream)
{
    std::size_t pos = 0;
    while (pos + 4 <= stream.size()) {
        const std::uint16_t id = static_cast<std::uint16_t>(stream[pos] | (stream[pos + 1] << 8));
        const std::size_t len = static_cast<std::size_t>(stream[pos + 2] | (stream[pos + 3] << 8));
        if ((id == 0x0006 || id == 0x0406) && len >= 20) {
            ByteWriter w;
            w.f64(kStale);
            std::copy(w.data().begin(), w.data().end(), stream.begin() + static_cast<std::ptrdiff_t>(pos + 4 + 6));
        }
        pos += 4 + len;
    }
    return stream;
}

bool sameValue(const Value& got, const Value& want)
{
    if (got.type() != want.type())
        return false;
    if (want.isNumber()) {
        const double a = got.asNumber(), b = want.asNumber();
        return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
    }
    return got == want;
}

QString shown(const Value& v)
{
    switch (v.type()) {
    case Value::Type::Empty: return QStringLiteral("(empty)");
    case Value::Type::Number: return QString::number(v.asNumber(), 'g', 17);
    case Value::Type::String: return QLatin1Char('"') + v.asString() + QLatin1Char('"');
    case Value::Type::Bool: return v.asBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case Value::Type::Error: return errorText(v.asError());
    }
    return QString();
}

struct Outcome {
    int total = 0;
    int matched = 0;
    QStringList misses;
};

// `excluded`: "Sheet!A1" of cells left out on purpose (each with its reason at the call site).
Outcome recalcAgainstExcel(const char* file, const QSet<QString>& excluded = {})
{
    Outcome out;
    const Bytes bytes = readFile(dataPath(file));
    EXPECT_FALSE(bytes.empty()) << file;
    if (bytes.empty())
        return out;
    // Excel's own results, read from the file as it is.
    const auto original = Workbook::fromBytes(bytes);
    std::vector<FormulaCell> cells;
    for (int s = 0; s < original->sheetCount(); ++s) {
        const Worksheet* ws = original->worksheet(s);
        if (!ws)
            continue;
        for (const auto& [key, cell] : ws->cells())
            if (cell.isFormula())
                cells.push_back({s, keyRow(key), keyCol(key), cell.value});
    }
    CompoundFile compound = CompoundFile::fromBytes(bytes);
    const auto book = Workbook::fromStream(staleResults(compound.workbook));
    book->recalculate();
    for (const FormulaCell& c : cells) {
        const Worksheet* ws = book->worksheet(c.sheet);
        const QString where = ws->name() + QLatin1Char('!') + cellName(c.row, c.col);
        if (excluded.contains(where))
            continue;
        ++out.total;
        const Value got = ws->value(c.row, c.col);
        if (sameValue(got, c.cached))
            ++out.matched;
        else
            out.misses << QStringLiteral("%1 %2: got %3, Excel %4")
                              .arg(where, ws->formulaText(c.row, c.col), shown(got), shown(c.cached));
    }
    return out;
}

void expectAll(const char* file, const QSet<QString>& excluded = {})
{
    const Outcome o = recalcAgainstExcel(file, excluded);
    std::printf("%s: %d of %d formulas recomputed to Excel's value\n", file, o.matched, o.total);
    EXPECT_GT(o.total, 0);
    EXPECT_EQ(o.matched, o.total) << o.misses.join(QLatin1Char('\n')).toStdString();
}

TEST(ExcelRecalc, FormulaEvalTestData)
{
    // Written on a British system: DOLLAR shows pounds, "$1,000" is no number there.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    expectAll("excel/FormulaEvalTestData.xls");
    QLocale::setDefault(before);
}

TEST(ExcelRecalc, Names)
{
    // Calls of the workbook's Visual Basic functions: the engine runs no macros.
    expectAll("excel/testNames.xls", {QStringLiteral("Sheet1!B1"), QStringLiteral("Sheet1!C1"), QStringLiteral("Sheet1!A5")});
}
TEST(ExcelRecalc, SharedFormulas) { expectAll("excel/ex47747-sharedFormula.xls"); }
TEST(ExcelRecalc, ThreeDReferences) { expectAll("excel/3dFormulas.xls"); }
TEST(ExcelRecalc, ArraysAndTables) { expectAll("excel/testArraysAndTables.xls"); }

} // namespace
} // namespace sheet::test
