// Ranges as single values and as arrays, array formulas, array constants, runs of sheets and
// defined names, in the parser, the printer and the evaluator.
#include "TestSheet.h"

#include "base/Error.h"
#include "formula/Formula.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace sheet;
using sheet::test::hexText;
using sheet::test::TestSheet;

namespace {

class FormulaArrays : public test::FormulaTest {
protected:
    QString roundTrip(const char* formula)
    {
        Bytes extra;
        const Bytes rgce = parseFormula(QString::fromUtf8(formula), &sheet, &extra);
        return formulaText(rgce, &sheet, extra);
    }
    void at(int row, int col) // the formula's own cell, 1-based row
    {
        sheet.ownRow = row - 1;
        sheet.ownCol = col;
    }
};

TEST_F(FormulaArrays, ImplicitIntersection)
{
    for (int c = 0; c < 10; ++c)
        sheet.set(TestSheet::address(6, c), c + 1); // A7:J7 = 1..10
    sheet.set("B15", -1);
    sheet.set("N9", -345);
    sheet.set("K9", 1);
    at(59, 9); // J59
    EXPECT_EQ(eval("=A7:J7*B15"), num(-10));
    at(96, 13); // N96
    EXPECT_EQ(eval("=ABS(K9:N9)"), num(345));
    at(96, 0); // A96: outside K9:N9's columns
    EXPECT_EQ(eval("=ABS(K9:N9)"), err(ErrorCode::Value));
    // a range at the root of a formula too
    at(8, 4); // E8
    EXPECT_EQ(eval("=A7:J7"), num(5));
}

TEST_F(FormulaArrays, ArraysInsideFunctionsThatTakeThem)
{
    column("A", 2, {10, 20, 30, 40, 50});
    sheet.set("B2", "x");
    sheet.set("B3", "y");
    sheet.set("B4", "x");
    sheet.set("B5", "z");
    sheet.set("B6", "x");
    sheet.set("F2", "x");
    sheet.set("B10", 4);
    sheet.set("C9", 5);
    // no Ctrl+Shift+Enter needed: SUMPRODUCT and INDEX's first argument take arrays
    EXPECT_EQ(eval("=SUMPRODUCT((B2:B6=F2)*A2:A6)"), num(90));
    EXPECT_EQ(eval("=SUMPRODUCT(--(B2:B6=\"x\"))"), num(3));
    EXPECT_EQ(eval("=SUMPRODUCT(3,B10,C9)"), num(60));
    EXPECT_EQ(eval("=MAX(INDEX((B2:B6=F2)*A2:A6,0))"), num(50));
    EXPECT_EQ(eval("=SUMPRODUCT(A2:A6,A2:A6)"), num(5500));
    // elsewhere an expression over a range is one value: SUM does not make arrays
    at(1, 0); // A1, outside the rows
    EXPECT_EQ(eval("=SUM(A2:A6*2)"), err(ErrorCode::Value));
    // INDEX with an empty row argument picks a whole column
    sheet.set("C2", 1);
    sheet.set("C3", 2);
    EXPECT_EQ(eval("=SUM(INDEX(A2:C6,,3))"), num(3));
    EXPECT_EQ(eval("=INDEX(A2:C6,2,1)"), num(20));
    EXPECT_EQ(eval("=SUM(INDEX(A2:C6,3,0))"), num(30));
}

TEST_F(FormulaArrays, ArrayConstants)
{
    EXPECT_EQ(roundTrip("={1,2;3,4}"), QStringLiteral("{1,2;3,4}"));
    EXPECT_EQ(roundTrip("=SUM({1,\"a\",TRUE,-2.5,#N/A})"), QStringLiteral("SUM({1,\"a\",TRUE,-2.5,#N/A})"));
    EXPECT_EQ(eval("=SUM({1,2;3,4})"), num(10));
    EXPECT_EQ(eval("=SUM({1,\"a\",TRUE})"), num(1)); // text and booleans in arrays do not count
    EXPECT_EQ(eval("=INDEX({1,2;3,4},2,1)"), num(3));
    EXPECT_EQ(eval("=SUMPRODUCT({1,2,3}*{4,5,6})"), num(32));
    EXPECT_EQ(eval("={5,6}"), num(5)); // one value: the first
    // Arrays given to functions that take one value are worked element by element even
    // outside array formulas, and what takes ranges sees every result.
    EXPECT_EQ(eval("=SUM(ROUND({1.4,2.6},0))"), num(4));
    EXPECT_EQ(eval("=COUNT(ABS({1,-2,3}))"), num(3));
    EXPECT_EQ(eval("=COLUMNS(SIN({2,3,4}+1)+1)"), num(3));
    EXPECT_EQ(eval("=SUM(IF({1,0,1}>0,1,0))"), num(2));
    EXPECT_EQ(eval("=ROUND({1.4,2.6},0)"), num(1)); // the cell shows the first
    // An IF computed as one value takes the first condition only.
    EXPECT_EQ(eval("=IF({0,1}>0,5,6)+0"), num(6));
    // Without a place for the values the parser refuses them.
    EXPECT_THROW(parseFormula(QStringLiteral("={1,2}"), &sheet), Error);
    EXPECT_THROW(parseFormula(QStringLiteral("={1,2;3}"), &sheet, nullptr), Error);
    Bytes extra;
    EXPECT_THROW(parseFormula(QStringLiteral("={1,A1}"), &sheet, &extra), Error);
}

TEST_F(FormulaArrays, ArrayFormulasGiveOneValuePerCell)
{
    column("A", 1, {1, 2, 3});
    column("B", 1, {10, 20, 30});
    EXPECT_EQ(evalArray("=A1:A3*B1:B3", 3, 1), (std::vector<Value>{num(10), num(40), num(90)}));
    // one result for the whole range: SUM over an array computed element by element
    EXPECT_EQ(evalArray("=SUM(IF(A1:A3>1,B1:B3))", 1, 1), (std::vector<Value>{num(50)}));
    EXPECT_EQ(evalArray("=SUM(A1:A3*B1:B3)", 1, 1), (std::vector<Value>{num(140)}));
    // a single row repeats down a taller range; beyond a result's size cells show #N/A
    EXPECT_EQ(evalArray("={1,2}", 2, 3),
              (std::vector<Value>{num(1), num(2), err(ErrorCode::NA), num(1), num(2), err(ErrorCode::NA)}));
    EXPECT_EQ(evalArray("=ROW(A1:A3)", 3, 1), (std::vector<Value>{num(1), num(2), num(3)}));
    EXPECT_EQ(evalArray("=TRANSPOSE(A1:A3)", 1, 3), (std::vector<Value>{num(1), num(2), num(3)}));
    EXPECT_EQ(evalArray("=ABS(-A1:A3)", 3, 1), (std::vector<Value>{num(1), num(2), num(3)}));
    // the parser writes what an array formula computes as arrays
    Bytes extra;
    EXPECT_EQ(hexText(parseFormula(QStringLiteral("=A1:A3*2"), &sheet, &extra, FormulaKind::Array)),
              QStringLiteral("65 00 00 02 00 00 C0 00 C0 1E 02 00 05"));
}

TEST_F(FormulaArrays, TokenClassesAsExcelWritesThem)
{
    auto hexOf = [&](const char* f) {
        Bytes extra;
        return hexText(parseFormula(QString::fromLatin1(f), &sheet, &extra));
    };
    // SUMPRODUCT takes arrays (ptgAreaA); SUM takes references (ptgAreaR); ABS values (ptgAreaV)
    EXPECT_EQ(hexOf("=SUMPRODUCT(A1:A3)"), QStringLiteral("65 00 00 02 00 00 C0 00 C0 42 01 E4 00"));
    EXPECT_EQ(hexOf("=SUM(A1:A3)"), QStringLiteral("25 00 00 02 00 00 C0 00 C0 42 01 04 00"));
    EXPECT_EQ(hexOf("=ABS(A1:A3)"), QStringLiteral("45 00 00 02 00 00 C0 00 C0 41 18 00"));
    // an operator inside SUMPRODUCT computes arrays, and a value function there too (ptgFuncA)
    EXPECT_EQ(hexOf("=SUMPRODUCT(ABS(A1:A3))"), QStringLiteral("65 00 00 02 00 00 C0 00 C0 61 18 00 42 01 E4 00"));
}

TEST_F(FormulaArrays, RunsOfSheets)
{
    sheet.set("A1", 1, 0);
    sheet.set("A1", 2, 1);
    sheet.set("A1", 4, 2);
    sheet.set("A2", 8, 1);
    EXPECT_EQ(roundTrip("=SUM('Data:Sheet ''Q'''!A1)"), QStringLiteral("SUM('Data:Sheet ''Q'''!A1)"));
    EXPECT_EQ(roundTrip("=SUM(Data:Data!A1)"), QStringLiteral("SUM(Data:Data!A1)"));
    EXPECT_EQ(eval("=SUM('Data:Sheet ''Q'''!A1)"), num(7));
    EXPECT_EQ(eval("=SUM('Data:Weight Chart'!A1:A2)"), num(11));
    EXPECT_EQ(eval("=COUNT('Data:Sheet ''Q'''!A1:A2)"), num(4));
    // one value from several sheets is no value
    EXPECT_EQ(eval("='Data:Weight Chart'!A1"), err(ErrorCode::Value));
    EXPECT_THROW(parseFormula(QStringLiteral("=SUM(Data:Nowhere!A1)"), &sheet), Error);
}

TEST_F(FormulaArrays, DefinedNames)
{
    sheet.set("B6", 10, 0);
    sheet.set("B7", 20, 0);
    sheet.set("B8", 30, 0);
    sheet.defineName(QStringLiteral("Weights"), "=Data!$B$6:$B$8");
    sheet.defineName(QStringLiteral("Rate"), "=0.5");
    sheet.defineName(QStringLiteral("Total"), "=SUM(Weights)");
    sheet.defineName(QStringLiteral("Loop"), "=Loop+1");
    EXPECT_EQ(roundTrip("=Total*2"), QStringLiteral("Total*2"));
    EXPECT_EQ(eval("=Total*2"), num(120));
    EXPECT_EQ(eval("=SUM(Weights)*Rate"), num(30));
    EXPECT_EQ(eval("=INDEX(Weights,2)"), num(20));
    EXPECT_EQ(eval("=ROWS(Weights)"), num(3));
    // a name used as one value is its cell in the formula's row
    at(7, 5);
    EXPECT_EQ(eval("=Weights+1"), num(21));
    // a name that refers to itself ends, with an error
    EXPECT_TRUE(eval("=Loop").isError());
    // names the workbook does not know cannot be typed; unknown indices read #NAME?
    EXPECT_THROW(parseFormula(QStringLiteral("=Totl*2"), &sheet), Error);
    EXPECT_EQ(evaluateFormula(Bytes{0x43, 0x09, 0x00, 0x00, 0x00}, sheet), err(ErrorCode::Name));
    EXPECT_EQ(formulaText(Bytes{0x43, 0x09, 0x00, 0x00, 0x00}, &sheet), QStringLiteral("#NAME?"));
}

TEST_F(FormulaArrays, ReferenceOperators)
{
    column("B", 72, {1, 2, 3, 4, 5, 6, 7});
    sheet.set("C1", 100);
    at(75, 3); // D75
    EXPECT_EQ(roundTrip("=SUM((B72):B78)"), QStringLiteral("SUM((B72):B78)"));
    EXPECT_EQ(eval("=(B72):B78"), num(4)); // a range built by ':' intersects like any other
    EXPECT_EQ(eval("=SUM(B72:B78 B75:C80)"), num(4 + 5 + 6 + 7));
    EXPECT_EQ(eval("=SUM(B72:B73 C1:C2)"), err(ErrorCode::Null));
    EXPECT_EQ(eval("=SUM((B72,B78,C1))"), num(108));
    EXPECT_EQ(roundTrip("=SUM((B72,B78,C1))"), QStringLiteral("SUM((B72,B78,C1))"));
    EXPECT_EQ(eval("=AREAS((B72,B78,C1))"), num(3));
    EXPECT_EQ(eval("=INDEX((B72:B73,C1:C2),1,1,2)"), num(100));
    // a blank after ':' joins as Excel joins it; a sheet's reference on the right keeps one
    EXPECT_EQ(roundTrip("=SUM(B72: B78)"), QStringLiteral("SUM(B72:B78)"));
    EXPECT_EQ(roundTrip("=B72: Data!B78"), QStringLiteral("B72: Data!B78"));
    EXPECT_EQ(roundTrip("=B72: 'Weight Chart'!B78"), QStringLiteral("B72: 'Weight Chart'!B78"));
    Bytes extra;
    const Bytes rgce = parseFormula(QStringLiteral("=B72: Data!B78"), &sheet, &extra);
    EXPECT_EQ(parseFormula(formulaText(rgce, &sheet), &sheet), rgce);
}

TEST_F(FormulaArrays, ArrayConstantsLargerThanTheirBytesAreMalformed)
{
    // 256 x 28768 values announced in 30 bytes: refused before anything is set aside for them
    Bytes extra = {0xFF, 0x5F, 0x70};
    extra.resize(30, 0);
    const Bytes rgce = {0x60, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_THROW(evaluateFormula(rgce, sheet, extra), FormatError);
    EXPECT_THROW(formulaText(rgce, &sheet, extra), FormatError);
    EXPECT_THROW(arrayConstantsSize(rgce, extra), FormatError);
}

} // namespace
