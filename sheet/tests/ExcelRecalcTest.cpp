// Workbooks written by Excel, recalculated by the engine: every formula must come out as the
// value Excel cached (see RecalcCheck.h).
#include "RecalcCheck.h"
#include "io/WorkbookFile.h"

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
    // WEEKNUM with return type -1: this cell keeps what the old Analysis ToolPak computed;
    // Excel 2007 and 2010 give #NUM! (WeekNumFunctionTestCaseData.xls), as we do.
    expectAll("excel/FormulaEvalTestData.xls", {QStringLiteral("EverythingTests!I1524")});
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
    const auto book = workbookFromBytes(readFile(dataPath("excel/49612.xls")));
    EXPECT_EQ(book->worksheet(0)->formulaText(0, 3), QStringLiteral("=SUM(BOB+JIM)"));
    const auto uses = workbookFromBytes(readFile(dataPath("excel/56737.xls")));
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
// COUNTIF's "=" finds blank cells only, not empty text.
TEST(ExcelRecalc, CountIf) { expectAll("excel/countifExamples.xls"); }
// AND over a lookup's blank result; INDEX with one number into a table; a name as one end of
// a range; WEEKNUM's return types; complex numbers written as text, their logarithm and
// exponential.
TEST(ExcelRecalc, Functions)
{
    expectAll("excel/BooleanFunctionsTestCaseData.xls");
    expectAll("excel/IndexFunctionTestCaseData.xls");
    expectAll("excel/RangePtg.xls");
    expectAll("excel/WeekNumFunctionTestCaseData.xls");
    expectAll("excel/ComplexFunctionTestCaseData.xls");
    expectAll("excel/ImRealFunctionTestCaseData.xls");
    expectAll("excel/ImaginaryFunctionTestCaseData.xls");
    expectAll("excel/atp.xls");
}
// Value, reference and array arguments, and arrays inside functions that take one value.
TEST(ExcelRecalc, ArraysInsideValueFunctions) { expectAll("excel/testRVA.xls"); }
// NPV at the internal rate of return is zero to within rounding. Excel's IRR stops a few
// units in the 13th digit from the root, where ours goes on to it, so Excel's NPV there is
// -7.9e-8 and ours 7e-12: both zero at the precision of cash flows of 70,000. The rates
// themselves agree.
TEST(ExcelRecalc, NetPresentValueNearZero)
{
    const Bytes bytes = readFile(dataPath("excel/IrrNpvTestCaseData.xls"));
    const Outcome o = recalcAgainstCached(bytes, {}, [](const QString& where, const Value& got, const Value& cached) {
        return where.startsWith(QLatin1String("IRR-NPV!C")) && got.isNumber() && cached.isNumber()
            && std::fabs(got.asNumber()) < 1e-6 && std::fabs(cached.asNumber()) < 1e-6;
    });
    EXPECT_EQ(o.total, 29);
    EXPECT_EQ(o.matched, o.total) << o.misses.join(QLatin1Char('\n')).toStdString();
}

// Formulas that read other workbooks compute with the values the file keeps of them, as Excel
// and LibreOffice do without opening those files: cells (XCT/CRN), the other workbook's names
// at workbook and sheet level, and the items of DDE links. They show the workbook's name.
TEST(ExcelRecalc, OtherWorkbooksFromTheValuesTheFileKeeps)
{
    expectAll("excel/60460.xls");
    expectAll("excel/19599-1.xls");
    expectAll("excel/XRefCalc.xls");
    expectAll("excel/49219.xls");
    const auto questionnaire = workbookFromBytes(readFile(dataPath("excel/60460.xls")));
    EXPECT_EQ(questionnaire->worksheet(0)->formulaText(6, 4), QStringLiteral("=[stphys.xls]Analysis!$C$24"));
    const auto syteline = workbookFromBytes(readFile(dataPath("excel/19599-1.xls")));
    const Worksheet* adjusted = syteline->worksheet(syteline->sheetIndex(QStringLiteral("adjusted syteline")));
    ASSERT_NE(adjusted, nullptr);
    EXPECT_EQ(adjusted->formulaText(2, 5), QStringLiteral("=VLOOKUP(B3,'[0231324V1-1.xls]Sheet1'!$D:$I,1,FALSE)"));
    const auto xref = workbookFromBytes(readFile(dataPath("excel/XRefCalc.xls")));
    EXPECT_EQ(xref->worksheet(0)->formulaText(1, 4), QStringLiteral("=Cost*XRefCalcData.xls!Markup_Cost"));
    EXPECT_EQ(xref->worksheet(0)->formulaText(2, 4), QStringLiteral("=Cost*[XRefCalcData.xls]MarkupSheet!Markup_Cost"));
}

// A save keeps what the file knows of the other workbooks: every formula shows the same text
// afterwards and computes the same values again from the saved file alone.
TEST(ExcelRecalc, OtherWorkbooksSurviveASave)
{
    for (const char* file : {"excel/60460.xls", "excel/19599-1.xls", "excel/XRefCalc.xls", "excel/49219.xls"}) {
        const auto book = workbookFromBytes(readFile(dataPath(file)));
        const Bytes saved = workbookToBytes(*book);
        const auto again = workbookFromBytes(saved);
        ASSERT_EQ(again->sheetCount(), book->sheetCount()) << file;
        int formulas = 0;
        for (int s = 0; s < book->sheetCount(); ++s) {
            const Worksheet* before = book->worksheet(s);
            const Worksheet* after = again->worksheet(s);
            if (!before || !after)
                continue;
            for (const auto& kv : before->cells()) {
                if (!kv.second.formula)
                    continue;
                ++formulas;
                const int row = keyRow(kv.first), col = keyCol(kv.first);
                EXPECT_EQ(after->formulaText(row, col), before->formulaText(row, col))
                    << file << " " << s << ":" << row << "," << col;
            }
        }
        EXPECT_GT(formulas, 0) << file;
        const Outcome o = recalcAgainstCached(saved);
        EXPECT_EQ(o.matched, o.total) << file << "\n" << o.misses.join(QLatin1Char('\n')).toStdString();
    }
}

// A formula typed with another workbook's sheet reads the values kept of it; a workbook the
// file does not know is refused with a message, not turned into #REF!.
TEST(ExcelRecalc, TypedReferenceToAnotherWorkbook)
{
    const auto book = workbookFromBytes(readFile(dataPath("excel/60460.xls")));
    Worksheet* ws = book->worksheet(0);
    ws->setFormula(80, 0, QStringLiteral("=[stphys.xls]Analysis!$C$24*10+SUM('[stphys.xls]Analysis'!C24:C25)"));
    EXPECT_EQ(ws->formulaText(80, 0),
              QStringLiteral("=[stphys.xls]Analysis!$C$24*10+SUM([stphys.xls]Analysis!C24:C25)"));
    book->recalculate();
    // Analysis!C24 is 1 and C25 is 11 in what the file keeps (E7 and F7 show them)
    EXPECT_EQ(ws->cell(80, 0)->value, Value::number(22));
    EXPECT_THROW(ws->setFormula(81, 0, QStringLiteral("=[other.xls]Analysis!A1")), Error);
    EXPECT_THROW(ws->setFormula(81, 0, QStringLiteral("=[stphys.xls Analysis!A1")), Error);
    EXPECT_EQ(ws->cell(81, 0), nullptr);
}

} // namespace
} // namespace sheet::test
