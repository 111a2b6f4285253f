#include "TestSheet.h"

#include "formula/Formula.h"

#include <gtest/gtest.h>

using namespace sheet;
using sheet::test::hex;
using sheet::test::hexText;
using sheet::test::TestSheet;

namespace {

QString shifted(const char* formula, int dRow, int dCol)
{
    TestSheet wb;
    return formulaText(shiftFormula(parseFormula(QString::fromUtf8(formula), &wb), dRow, dCol), &wb);
}

TEST(FormulaShift, RelativeReferencesMoveWithTheirRow)
{
    // The template's formula row 6 copied to row 7 and row 31.
    EXPECT_EQ(shifted("=(B6*1.082+94.42)-D6*4.15", 1, 0), "(B7*1.082+94.42)-D7*4.15");
    EXPECT_EQ(shifted("=B6/($I$2*12+$I$3)/($I$2*12+$I$3)*703", 25, 0), "B31/($I$2*12+$I$3)/($I$2*12+$I$3)*703");
    EXPECT_EQ(shifted("=B6/($K$2+$K$3/100)^2", 26, 0), "B32/($K$2+$K$3/100)^2");
}

TEST(FormulaShift, MixedReferencesMoveOnlyTheirRelativePart)
{
    EXPECT_EQ(shifted("=$B6+B$6+B6+$B$6", 2, 3), "$B8+E$6+E8+$B$6");
    EXPECT_EQ(shifted("=SUM(B6:C7)", -5, -1), "SUM(A1:B2)");
    EXPECT_EQ(shifted("=SUM(B$6:B7)", 3, 0), "SUM(B$6:B10)");
    EXPECT_EQ(shifted("=Data!B6+'Weight Chart'!$A1", 1, 1), "Data!C7+'Weight Chart'!$A2");
}

TEST(FormulaShift, WholeColumnsAndRowsStayWhole)
{
    EXPECT_EQ(shifted("=SUM(A:A)", 10, 1), "SUM(B:B)");
    EXPECT_EQ(shifted("=SUM(1:1)", 1, 10), "SUM(2:2)");
}

TEST(FormulaShift, ReferencesPushedOffTheSheetBecomeRefErrors)
{
    TestSheet wb;
    EXPECT_EQ(shifted("=A1+1", -1, 0), "#REF!+1");
    EXPECT_EQ(shifted("=SUM(A1:B2)", 0, -1), "SUM(#REF!)");
    EXPECT_EQ(shifted("=IV1", 0, 1), "#REF!");
    EXPECT_EQ(shifted("=A65536", 1, 0), "#REF!");
    EXPECT_EQ(shifted("=Data!A1", -1, 0), "Data!#REF!");
    // The error token keeps the class and size of the reference it replaces.
    const Bytes out = shiftFormula(parseFormula(QStringLiteral("=A1+SUM(B1:B2)")), -1, 0);
    EXPECT_EQ(hexText(out), "4A 00 00 00 C0 2B 00 00 01 00 01 C0 01 C0 42 01 04 00 03");
    // A #REF! result, not a crash, when evaluated.
    EXPECT_EQ(evaluateFormula(out, wb), Value::error(ErrorCode::Ref));
}

TEST(FormulaShift, ZeroShiftChangesNothing)
{
    const Bytes b = parseFormula(QStringLiteral("=IF($A1>0,SUM(B1:B9)/A$1,\"\")"));
    EXPECT_EQ(shiftFormula(b, 0, 0), b);
}

TEST(FormulaShift, ReferencesListTheCellsAFormulaReads)
{
    TestSheet wb;
    const auto refs = formulaReferences(parseFormula(QStringLiteral("=B6+SUM(Data!C1:D3)"), &wb));
    ASSERT_EQ(refs.size(), 2u);
    EXPECT_EQ(refs[0].ixti, -1);
    EXPECT_EQ(refs[0].firstRow, 5);
    EXPECT_EQ(refs[0].firstCol, 1);
    EXPECT_EQ(refs[1].ixti, 0);
    EXPECT_EQ(refs[1].firstRow, 0);
    EXPECT_EQ(refs[1].lastRow, 2);
    EXPECT_EQ(refs[1].firstCol, 2);
    EXPECT_EQ(refs[1].lastCol, 3);
}

TEST(FormulaShift, SharedFormulasResolveForEachCell)
{
    // ptgExp stub pointing at B6.
    int row = -1, col = -1;
    EXPECT_TRUE(sharedFormulaAnchor(hex("01 05 00 01 00"), &row, &col));
    EXPECT_EQ(row, 5);
    EXPECT_EQ(col, 1);
    EXPECT_FALSE(sharedFormulaAnchor(hex("44 05 00 01 C0"), &row, &col));
    // Shared tokens: B(row)*2 as offsets (row 0, column +1 from the cell in column A), and $C$1.
    const Bytes shared = hex("4C 00 00 01 C0 1E 02 00 05 44 00 00 02 00 03");
    EXPECT_EQ(formulaText(sharedFormulaForCell(shared, 6, 0)), "B7*2+$C$1");
    EXPECT_EQ(formulaText(sharedFormulaForCell(shared, 9, 3)), "E10*2+$C$1");
    // Negative offsets: from one row up and one column left to the cell itself.
    EXPECT_EQ(formulaText(sharedFormulaForCell(hex("2D FF FF 00 00 FF C0 00 C0 42 01 04 00"), 5, 2)), "SUM(B5:C6)");
}

} // namespace
