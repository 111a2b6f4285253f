// Workbooks written by Excel, recalculated by the engine: every formula must come out as the
// value Excel cached (see RecalcCheck.h).
#include "RecalcCheck.h"

#include <QLocale>

namespace sheet::test {
namespace {

void expectAll(const char* file, const QSet<QString>& excluded = {})
{
    const Bytes bytes = readFile(dataPath(file));
    ASSERT_FALSE(bytes.empty()) << file;
    const Outcome o = recalcAgainstCached(bytes, excluded);
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
    expectAll("excel/testNames.xls",
              {QStringLiteral("Sheet1!B1"), QStringLiteral("Sheet1!C1"), QStringLiteral("Sheet1!A5")});
}
TEST(ExcelRecalc, SharedFormulas) { expectAll("excel/ex47747-sharedFormula.xls"); }
TEST(ExcelRecalc, ThreeDReferences) { expectAll("excel/3dFormulas.xls"); }
TEST(ExcelRecalc, ArraysAndTables) { expectAll("excel/testArraysAndTables.xls"); }

} // namespace
} // namespace sheet::test
