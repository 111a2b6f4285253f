// Token streams written by other spreadsheet programs, checked against our parser, printer
// and evaluator.
//
// Gnumeric: ssconvert 1.12.55 (Debian 12) converted a CSV of the formulas below to
// "Excel 97" (--export-type=Gnumeric_Excel:excel_biff8); the bytes are the rgce of each
// FORMULA record.
// LibreOffice: the SHRFMLA records of /work/shared/reference/reference-imperial.xls and
// reference-metric.xls (LibreOffice Calc 7.4.7, "MS Excel 97" export); the expected values
// are the cached results LibreOffice stored for row 6.

#include "TestSheet.h"

#include "formula/Formula.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace sheet;
using sheet::test::hex;
using sheet::test::hexText;
using sheet::test::TestSheet;

namespace {

struct Written {
    const char* text;
    const char* tokens;
};

const Written kGnumeric[] = {
    {"SUM(A1:C1)", "25 00 00 00 00 00 C0 02 C0 42 01 04 00"},
    {"AVERAGE(A1:C1)", "25 00 00 00 00 00 C0 02 C0 42 01 05 00"},
    {"MIN(A1,B1)", "24 00 00 00 C0 24 00 00 01 C0 42 02 06 00"},
    {"MAX(A1:C1)", "25 00 00 00 00 00 C0 02 C0 42 01 07 00"},
    {"COUNT(A1:C1)", "25 00 00 00 00 00 C0 02 C0 42 01 00 00"},
    {"IF(A1>0,1,2)", "44 00 00 00 C0 1E 00 00 0D 1E 01 00 1E 02 00 42 03 01 00"},
    {"ABS(-A1)", "44 00 00 00 C0 13 41 18 00"},
    {"ROUND(A1/3,2)", "44 00 00 00 C0 1E 03 00 06 1E 02 00 41 1B 00"},
    {"SQRT(B1)", "44 00 00 01 C0 41 14 00"},
    {"INT(A1/3)", "44 00 00 00 C0 1E 03 00 06 41 19 00"},
    {"(B6-C6)*$B$2/100", "44 05 00 01 C0 44 05 00 02 C0 04 15 44 01 00 01 00 05 1E 64 00 06"},
    {"A1^2", "44 00 00 00 C0 1E 02 00 07"},
    {"MOD(5,3)", "1E 05 00 1E 03 00 41 27 00"},
    {"AND(A1,B1)", "24 00 00 00 C0 24 00 00 01 C0 42 02 24 00"},
    {"OR(A1,B1)", "24 00 00 00 C0 24 00 00 01 C0 42 02 25 00"},
    {"NOT(A1)", "44 00 00 00 C0 41 26 00"},
    {"ISBLANK(A1)", "44 00 00 00 C0 41 81 00"},
    {"ISNUMBER(A1)", "44 00 00 00 C0 41 80 00"},
    {"LN(A1)", "44 00 00 00 C0 41 16 00"},
    {"LOG10(A1)", "44 00 00 00 C0 41 17 00"},
    {"TRUNC(A1)", "44 00 00 00 C0 42 01 C5 00"},
    {"POWER(A1,2)", "44 00 00 00 C0 1E 02 00 41 51 01"},
    {"COUNTA(A1:C1)", "25 00 00 00 00 00 C0 02 C0 42 01 A9 00"},
    {"DATE(2004,6,10)", "1E D4 07 1E 06 00 1E 0A 00 41 41 00"},
    {"YEAR(A1)", "44 00 00 00 C0 41 45 00"},
    {"TEXT(A1,\"0.00\")", "44 00 00 00 C0 17 04 00 30 2E 30 30 41 30 00"},
    {"LEN(\"abc\")", "17 03 00 61 62 63 41 20 00"},
    {"CONCATENATE(\"a\",\"b\")", "17 01 00 61 17 01 00 62 42 02 50 01"},
    {"LEFT(\"abc\",1)", "17 03 00 61 62 63 1E 01 00 42 02 73 00"},
    {"ROUNDUP(A1,1)", "44 00 00 00 C0 1E 01 00 41 D4 00"},
    {"ROUNDDOWN(A1,1)", "44 00 00 00 C0 1E 01 00 41 D5 00"},
    {"PI()", "41 13 00"},
    {"MEDIAN(A1:C1)", "25 00 00 00 00 00 C0 02 C0 42 01 E3 00"},
    {"PRODUCT(A1:C1)", "25 00 00 00 00 00 C0 02 C0 42 01 B7 00"},
    {"STDEV(A1:C1)", "25 00 00 00 00 00 C0 02 C0 42 01 0C 00"},
    {"VLOOKUP(A1,A1:C3,2,FALSE)", "44 00 00 00 C0 25 00 00 02 00 00 C0 02 C0 1E 02 00 1D 00 42 04 66 00"},
    {"CHOOSE(1,2,3)", "1E 01 00 1E 02 00 1E 03 00 42 03 64 00"},
    {"TODAY()", "41 DD 00"},
    {"SUMIF(A1:C1,\">1\")", "25 00 00 00 00 00 C0 02 C0 17 02 00 3E 31 42 02 59 01"},
    {"COUNTIF(A1:C1,\">1\")", "25 00 00 00 00 00 C0 02 C0 17 02 00 3E 31 41 5A 01"},
    {"ISERROR(A1)", "44 00 00 00 C0 41 03 00"},
    {"A1&\"x\"", "44 00 00 00 C0 17 01 00 78 08"},
    {"A1<>B1", "44 00 00 00 C0 44 00 00 01 C0 0E"},
    {"5%", "1E 05 00 14"},
};

TEST(FormulaInterop, GnumericTokensReadBackAndCompileIdentically)
{
    for (const Written& w : kGnumeric) {
        SCOPED_TRACE(w.text);
        EXPECT_EQ(formulaText(hex(w.tokens)), QString::fromUtf8(w.text));
        EXPECT_EQ(hexText(parseFormula(QString::fromUtf8(w.text))), QString::fromLatin1(w.tokens));
    }
}

TEST(FormulaInterop, GnumericWritesANegativeLiteralAsOneNumber)
{
    // "=-2^2": Gnumeric stores -2 as a number in brackets; we store 2 and a sign. Same value.
    const Bytes theirs = hex("1F 00 00 00 00 00 00 00 C0 15 1E 02 00 07");
    TestSheet sheet;
    EXPECT_EQ(formulaText(theirs), "(-2)^2");
    EXPECT_EQ(evaluateFormula(theirs, sheet), Value::number(4));
    EXPECT_EQ(evaluateFormula(parseFormula(QStringLiteral("=-2^2")), sheet), Value::number(4));
}

struct Shared {
    int col;
    const char* tokens;
    const char* text;
    double cached;
};

TEST(FormulaInterop, LibreOfficeSharedFormulasOfTheImperialLog)
{
    const Shared formulas[] = {
        {5,
         "4C 00 00 FC C0 1F 1D 5A 64 3B DF 4F F1 3F 05 1F 7B 14 AE 47 E1 9A 57 40 03 15 4C 00 00 FE C0 1F 9A 99 99 99 "
         "99 99 10 40 05 04",
         "(B6*1.082+94.42)-D6*4.15", 155.462},
        {6, "4C 00 00 FB C0 4C 00 00 FF C0 04", "B6-F6", 50.53800000000001},
        {7, "4C 00 00 FF C0 1E 64 00 05 4C 00 00 FA C0 06", "G6*100/B6", 24.53300970873787},
        {8,
         "4C 00 00 F9 C0 44 01 00 08 00 1E 0C 00 05 44 02 00 08 00 03 15 06 44 01 00 08 00 1E 0C 00 05 44 02 00 08 00 "
         "03 15 06 1E BF 02 05",
         "B6/($I$2*12+$I$3)/($I$2*12+$I$3)*703", 27.64683317374665},
    };
    TestSheet sheet;
    sheet.set("I2", 6);
    sheet.set("I3", 0.375);
    sheet.set("A6", 38148);
    sheet.set("B6", 206);
    sheet.set("C6", 44.625);
    sheet.set("D6", 39);
    sheet.set("E6", 41.25);
    for (const Shared& f : formulas) {
        SCOPED_TRACE(f.text);
        const Bytes cell = sharedFormulaForCell(hex(f.tokens), 5, f.col);
        EXPECT_EQ(formulaText(cell), QString::fromUtf8(f.text));
        const Value v = evaluateFormula(cell, sheet);
        ASSERT_TRUE(v.isNumber());
        EXPECT_NEAR(v.asNumber(), f.cached, 1e-12 * f.cached);
        sheet.set(TestSheet::address(5, f.col), v);
        // The same group read from row 31 names row 31.
        EXPECT_EQ(formulaText(sharedFormulaForCell(hex(f.tokens), 30, f.col)),
                  QString::fromUtf8(f.text).replace(QStringLiteral("6"), QStringLiteral("31")));
    }
}

TEST(FormulaInterop, LibreOfficeSharedFormulasOfTheMetricLog)
{
    const Shared formulas[] = {
        {7,
         "4C 00 00 FA C0 1F 9D BA F2 59 9E 07 DD 3F 06 15 1F 06 81 95 43 8B 6C E7 3F 05 1F D3 4D 62 10 58 F9 21 40 03 "
         "4C 00 00 FE C0 1F 52 B8 1E 85 EB 51 04 40 06 15 1F 1F 85 EB 51 B8 1E 09 40 06 03 4C 00 00 FC C0 1F 52 B8 1E "
         "85 EB 51 04 40 06 15 1F 7F 6A BC 74 93 18 C4 3F 05 04 4C 00 00 FD C0 1F 52 B8 1E 85 EB 51 04 40 06 15 1F AC "
         "1C 5A 64 3B DF CF 3F 05 04 4C 00 00 FF C0 1F 52 B8 1E 85 EB 51 04 40 06 15 1F 2D B2 9D EF A7 C6 DB 3F 05 03 "
         "15 1F 9D BA F2 59 9E 07 DD 3F 05",
         "((B6/0.45359)*0.732+8.987+(F6/2.54)/3.14-(D6/2.54)*0.157-(E6/2.54)*0.249+(G6/2.54)*0.434)*0.45359",
         53.07030683126135},
        {8, "4C 00 00 F9 C0 4C 00 00 FF C0 04", "B6-H6", 19.329693168738658},
        {9, "4C 00 00 FF C0 1E 64 00 05 4C 00 00 F8 C0 06", "I6*100/B6", 26.69847122753958},
        {10, "4C 00 00 F7 C0 44 01 00 0A 00 44 02 00 0A 00 1E 64 00 06 03 15 1E 02 00 07 06", "B6/($K$2+$K$3/100)^2",
         25.65192743764172},
    };
    TestSheet sheet;
    sheet.set("K2", 1);
    sheet.set("K3", 68);
    sheet.set("B6", 72.4);
    sheet.set("C6", 96.5);
    sheet.set("D6", 80.5);
    sheet.set("E6", 104);
    sheet.set("F6", 16);
    sheet.set("G6", 25.4);
    for (const Shared& f : formulas) {
        SCOPED_TRACE(f.text);
        const Bytes cell = sharedFormulaForCell(hex(f.tokens), 5, f.col);
        EXPECT_EQ(formulaText(cell), QString::fromUtf8(f.text));
        // Our own compilation of the text evaluates the same.
        const Value v = evaluateFormula(cell, sheet);
        ASSERT_TRUE(v.isNumber());
        EXPECT_NEAR(v.asNumber(), f.cached, 1e-12 * f.cached);
        EXPECT_EQ(evaluateFormula(parseFormula(QString::fromUtf8(f.text)), sheet), v);
        sheet.set(TestSheet::address(5, f.col), v);
    }
}

} // namespace
