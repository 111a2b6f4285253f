#include "TestSheet.h"

#include "base/Error.h"
#include "formula/Formula.h"
#include "formula/FormulaTokens.h"

#include <set>

#include <gtest/gtest.h>

#include <random>

using namespace sheet;
using sheet::test::hex;
using sheet::test::TestSheet;

namespace {

TEST(FormulaText, TextSurvivesTheRoundTrip)
{
    TestSheet wb;
    const char* formulas[] = {
        "(B6-C6)*$B$2/100",
        "(B6*1.082+94.42)-D6*4.15",
        "B6/($I$2*12+$I$3)/($I$2*12+$I$3)*703",
        "B6/($K$2+$K$3/100)^2",
        "((B6/0.45359)*0.732+8.987+(F6/2.54)/3.14-(D6/2.54)*0.157-(E6/2.54)*0.249+(G6/2.54)*0.434)*0.45359",
        "-2^2",
        "-(2^2)",
        "2^3^2",
        "2^(3^2)",
        "1-(2-3)",
        "5%",
        "-A1%",
        "\"a\"\"b\"&C1",
        "A1<>\"x\"",
        "TRUE",
        "#DIV/0!",
        "SUM(B6:B31)",
        "SUM($A:$A)",
        "SUM(1:3)",
        "IF(A1>=0,\"pos\",\"neg\")",
        "IF(A1,,2)",
        "ROUND(AVERAGE(B6:B31),2)",
        "Data!$B$6:$B$31",
        "'Weight Chart'!A1+'Sheet ''Q'''!B$2",
        "Data!#REF!",
        "1.5E+20",
        "0.001",
        "PI()",
    };
    for (const char* f : formulas) {
        SCOPED_TRACE(f);
        const QString text = QString::fromUtf8(f);
        const QString back = formulaText(parseFormula(text, &wb), &wb);
        EXPECT_EQ(back, text);
        // Stable: the printed text compiles to the same tokens.
        EXPECT_EQ(parseFormula(back, &wb), parseFormula(text, &wb));
    }
}

TEST(FormulaText, NormalisesCaseAndLeadingEquals)
{
    EXPECT_EQ(formulaText(parseFormula(QStringLiteral("=sum(b6:b7)"))), "SUM(B6:B7)");
    EXPECT_EQ(formulaText(parseFormula(QStringLiteral("= 1 +  2"))), "1+2");
}

TEST(FormulaText, AddsBracketsWhenTheTokensHaveNoParen)
{
    // (1+2)*3 as a writer that omits ptgParen stores it.
    EXPECT_EQ(formulaText(hex("1E 01 00 1E 02 00 03 1E 03 00 05")), "(1+2)*3");
    // 1-(2-3)
    EXPECT_EQ(formulaText(hex("1E 01 00 1E 02 00 1E 03 00 04 04")), "1-(2-3)");
    // -(2^2)
    EXPECT_EQ(formulaText(hex("1E 02 00 1E 02 00 07 13")), "-(2^2)");
}

TEST(FormulaText, ReadsTokensOtherWritersUse)
{
    // tAttrSum: SUM with one argument.
    EXPECT_EQ(formulaText(hex("25 00 00 09 00 00 C0 00 C0 19 10 00 00")), "SUM(A1:A10)");
    // tAttrSpace and tAttrVolatile change nothing.
    EXPECT_EQ(formulaText(hex("19 40 00 01 1E 01 00 19 01 00 00")), "1");
    // IF with its tAttrIf / tAttrGoto jumps.
    EXPECT_EQ(formulaText(hex("44 00 00 00 C0 19 02 08 00 1E 01 00 19 08 07 00 1E 02 00 19 08 03 00 42 03 01 00")),
              "IF(A1,1,2)");
    // CHOOSE's jump table (count 2, three offsets) is skipped whole.
    EXPECT_EQ(formulaText(
                  hex("1E 01 00 19 04 02 00 06 00 0A 00 0E 00 1E 05 00 19 08 00 00 1E 06 00 19 08 00 00 42 03 64 00")),
              "CHOOSE(1,5,6)");
    // Missing argument, reference-class tokens, error references.
    EXPECT_EQ(formulaText(hex("24 00 00 00 C0 16 1E 02 00 22 03 01 00")), "IF(A1,,2)");
    EXPECT_EQ(formulaText(hex("2A 00 00 00 00 1E 01 00 03")), "#REF!+1");
    EXPECT_EQ(formulaText(hex("2B 00 00 00 00 00 00 00 00 42 01 04 00")), "SUM(#REF!)");
    // Shared and table formulas name their anchor cell.
    EXPECT_EQ(formulaText(hex("01 05 00 01 00")), "SHARED(B6)");
    EXPECT_EQ(formulaText(hex("02 05 00 01 00")), "TABLE(B6)");
    // Names cannot be resolved here.
    EXPECT_EQ(formulaText(hex("23 01 00 00 00")), "#NAME?");
    // Unions inside a function are bracketed.
    EXPECT_EQ(formulaText(hex("25 00 00 01 00 00 C0 00 C0 25 00 00 01 00 02 C0 02 C0 10 15 42 01 04 00")),
              "SUM((A1:A2,C1:C2))");
    // A 3-D reference to a sheet the workbook does not know.
    TestSheet wb;
    EXPECT_EQ(formulaText(hex("5A 09 00 00 00 00 C0"), &wb), "#REF!A1");
}

TEST(FormulaText, MalformedTokensThrowFormatError)
{
    const char* bad[] = {
        "",                        // nothing
        "44 00 00 00",             // ptgRefV cut short
        "1F 00 00",                // ptgNum cut short
        "17 05 00 61",             // text longer than the data
        "17 02 01 61 00",          // 16-bit text cut short
        "19 04 05 00 00",          // CHOOSE jump table beyond the end
        "03",                      // operator without operands
        "1E 01 00 1E 02 00",       // two values, no operator
        "00",                      // not a token
        "18 00",                   // ptgExtend is not BIFF8
        "84 00 00 00 00",          // high bit set
        "41 FF 7F",                // unknown fixed-count function
        "42 05 04 00",             // more arguments than operands
        "20 00 00 00 00 00 00 00", // array constant (data lives outside rgce)
    };
    for (const char* b : bad) {
        SCOPED_TRACE(b);
        EXPECT_THROW(formulaText(hex(b)), FormatError);
    }
}

TEST(FormulaText, EveryTruncationOfARealFormulaIsRefusedCleanly)
{
    TestSheet wb;
    const Bytes full
        = parseFormula(QStringLiteral("=IF(Data!B6>0,ROUND(SUM(B6:B31)/COUNT(B6:B31),2),\"none\")&\"x\""), &wb);
    std::set<std::size_t> boundaries;
    for (const auto& t : ptg::tokenize(full))
        boundaries.insert(t.pos);
    for (std::size_t n = 0; n < full.size(); ++n) {
        const Bytes cut(full.begin(), full.begin() + n);
        SCOPED_TRACE(n);
        if (!boundaries.count(n)) {
            EXPECT_THROW(formulaText(cut, &wb), FormatError); // a token cut in the middle
        } else {
            // Whole tokens may still leave operands without their operator.
            try {
                formulaText(cut, &wb);
            } catch (const FormatError&) {
            }
        }
    }
    EXPECT_NO_THROW(formulaText(full, &wb));
}

TEST(FormulaText, RandomBytesNeverCrash)
{
    std::mt19937 rng(1234);
    TestSheet sheet;
    int accepted = 0;
    for (int i = 0; i < 20000; ++i) {
        Bytes b(rng() % 24);
        for (auto& x : b)
            x = static_cast<std::uint8_t>(rng() % 3 == 0 ? rng() % 0x20 : rng());
        // Each entry point either works or says the tokens are malformed (or, for the
        // evaluator, that it does not compute the function they call).
        try {
            formulaText(b, &sheet);
            ++accepted;
        } catch (const FormatError&) {
        }
        try {
            evaluateFormula(b, sheet);
        } catch (const Error&) {
        }
        try {
            shiftFormula(b, 3, -2);
            formulaReferences(b);
            sharedFormulaForCell(b, 10, 3);
        } catch (const FormatError&) {
        }
    }
    // Some short streams (a lone number, a reference) are valid; most are not.
    EXPECT_GT(accepted, 0);
    EXPECT_LT(accepted, 20000);
}

TEST(FormulaText, RandomTextIsAcceptedOrRefusedWithAnError)
{
    std::mt19937 rng(99);
    const QString alphabet = QStringLiteral("=+-*/^&%<>(),:!$'\"#. 0123456789ABCDEFSUMIFabTRUE");
    TestSheet wb;
    int parsed = 0;
    for (int i = 0; i < 20000; ++i) {
        QString text;
        const int n = static_cast<int>(rng() % 16);
        for (int k = 0; k < n; ++k)
            text.append(alphabet.at(static_cast<int>(rng() % alphabet.size())));
        try {
            const Bytes b = parseFormula(text, &wb);
            ++parsed;
            // What we compile we can print, and the print compiles to the same tokens.
            EXPECT_EQ(parseFormula(formulaText(b, &wb), &wb), b) << text.toStdString();
        } catch (const Error&) {
        }
    }
    EXPECT_GT(parsed, 0);
}

} // namespace
