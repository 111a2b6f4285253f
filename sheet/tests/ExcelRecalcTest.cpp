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

// Names through an external-name token of the workbook itself, unqualified and sheet-qualified.
TEST(ExcelRecalc, QualifiedNames)
{
    expectAll("excel/49612.xls");
    expectAll("excel/56737.xls");
    const auto book = Workbook::fromBytes(readFile(dataPath("excel/49612.xls")));
    EXPECT_EQ(book->worksheet(0)->formulaText(0, 3), QStringLiteral("=SUM(BOB+JIM)"));
    const auto uses = Workbook::fromBytes(readFile(dataPath("excel/56737.xls")));
    EXPECT_EQ(uses->worksheet(0)->formulaText(1, 3), QStringLiteral("=Defines!NR_To_A1"));
}

// A name for a two-dimensional range used as one value: the cell where the formula's row
// and column cross it.
TEST(ExcelRecalc, ImplicitIntersection) { expectAll("excel/61116.xls"); }
TEST(ExcelRecalc, NestedSubtotals) { expectAll("excel/SubtotalsNested.xls"); }
TEST(ExcelRecalc, Trend) { expectAll("excel/Trend.xls"); }
// Formats of one section with a condition, and which section a value takes.
TEST(ExcelRecalc, TextFormatSections) { expectAll("excel/FormatChoiceTests.xls"); }
TEST(ExcelRecalc, LookupArguments)
{
    expectAll("excel/LookupFunctionsTestCaseData.xls");
    expectAll("excel/MatchFunctionTestCaseData.xls");
}
TEST(ExcelRecalc, DatabaseCriteria) { expectAll("excel/DGet.xls"); }
// Value, reference and array arguments, and arrays inside functions that take one value.
TEST(ExcelRecalc, ArraysInsideValueFunctions) { expectAll("excel/testRVA.xls"); }
// NPV at its internal rate of return: Excel's rounding leaves a tiny remainder, not zero.
TEST(ExcelRecalc, NetPresentValueNearZero) { expectAll("excel/IrrNpvTestCaseData.xls"); }

} // namespace
} // namespace sheet::test
