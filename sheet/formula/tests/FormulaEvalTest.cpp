#include "TestSheet.h"

#include "base/Error.h"
#include "formula/Formula.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <cmath>

using namespace sheet;
using sheet::test::hex;
using sheet::test::TestSheet;

namespace {

class FormulaEval : public test::FormulaTest {
protected:
    double number(const char* formula)
    {
        const Value v = eval(formula);
        EXPECT_TRUE(v.isNumber()) << formula;
        return v.asNumber();
    }
};

TEST_F(FormulaEval, ImperialTemplateRowGivesTheHandComputedFigures)
{
    // 5 feet 10 inches, weight 200, waist 36.
    sheet.set("I2", 5);
    sheet.set("I3", 10);
    sheet.set("B6", 200);
    sheet.set("D6", 36);
    const double lean = number("=(B6*1.082+94.42)-D6*4.15");
    EXPECT_NEAR(lean, 161.42, 1e-9);
    sheet.set("F6", lean);
    EXPECT_NEAR(number("=B6-F6"), 38.58, 1e-9);
    sheet.set("G6", 200 - lean);
    EXPECT_NEAR(number("=G6*100/B6"), 19.29, 1e-9);
    const double bmi = number("=B6/($I$2*12+$I$3)/($I$2*12+$I$3)*703");
    EXPECT_NEAR(bmi, 200.0 / 70 / 70 * 703, 1e-12);
    EXPECT_NEAR(bmi, 28.69, 0.005);
}

TEST_F(FormulaEval, MetricTemplateBmi)
{
    sheet.set("K2", 1);
    sheet.set("K3", 65);
    sheet.set("B6", 63.5);
    EXPECT_NEAR(number("=B6/($K$2+$K$3/100)^2"), 23.32, 0.005);
    // Metric lean body weight with every input filled in.
    sheet.set("D6", 70);
    sheet.set("E6", 95);
    sheet.set("F6", 15);
    sheet.set("G6", 24);
    const double expected = ((63.5 / 0.45359) * 0.732 + 8.987 + (15 / 2.54) / 3.14 - (70 / 2.54) * 0.157
                             - (95 / 2.54) * 0.249 + (24 / 2.54) * 0.434)
        * 0.45359;
    EXPECT_NEAR(
        number("=((B6/0.45359)*0.732+8.987+(F6/2.54)/3.14-(D6/2.54)*0.157-(E6/2.54)*0.249+(G6/2.54)*0.434)*0.45359"),
        expected, 1e-9);
}

TEST_F(FormulaEval, EmptyCellsCountZeroOrEmptyText)
{
    EXPECT_EQ(eval("=A1+1"), num(1));
    EXPECT_EQ(eval("=A1*5"), num(0));
    EXPECT_EQ(eval("=-A1"), num(0));
    EXPECT_EQ(eval("=A1&\"x\""), text("x"));
    EXPECT_EQ(eval("=A1"), num(0)); // a formula showing an empty cell shows 0
    EXPECT_EQ(eval("=A1=0"), Value::boolean(true));
    EXPECT_EQ(eval("=A1=\"\""), Value::boolean(true));
    // Empty rows of the template: every derived column gives #DIV/0! or 0, never a crash.
    EXPECT_EQ(eval("=B6/($I$2*12+$I$3)/($I$2*12+$I$3)*703"), err(ErrorCode::Div0));
    EXPECT_EQ(eval("=(B6*1.082+94.42)-D6*4.15"), num(94.42));
}

TEST_F(FormulaEval, TextInArithmetic)
{
    sheet.set("A1", "abc");
    sheet.set("A2", "12.5");
    sheet.set("A3", " 7 ");
    sheet.set("A4", "");
    EXPECT_EQ(eval("=A1+1"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=-A1"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=A2*2"), num(25)); // text that reads as a number
    EXPECT_EQ(eval("=A3+1"), num(8));
    EXPECT_EQ(eval("=A4+1"), err(ErrorCode::Value)); // empty text is not empty
    EXPECT_EQ(eval("=\"50%\"*2"), num(1));
    EXPECT_EQ(eval("=\"TRUE\"+1"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=A1&A2"), text("abc12.5"));
}

TEST_F(FormulaEval, BooleansCountOneAndZero)
{
    sheet.set("A1", Value::boolean(true));
    EXPECT_EQ(eval("=A1+1"), num(2));
    EXPECT_EQ(eval("=TRUE*5"), num(5));
    EXPECT_EQ(eval("=FALSE-1"), num(-1));
    EXPECT_EQ(eval("=TRUE&\"\""), text("TRUE"));
}

TEST_F(FormulaEval, DivisionByZeroAndNumberErrors)
{
    EXPECT_EQ(eval("=1/0"), err(ErrorCode::Div0));
    EXPECT_EQ(eval("=1/A9"), err(ErrorCode::Div0));
    EXPECT_EQ(eval("=0^0"), err(ErrorCode::Num));
    EXPECT_EQ(eval("=0^-1"), err(ErrorCode::Div0));
    EXPECT_EQ(eval("=(-8)^(1/3)"), err(ErrorCode::Num));
    EXPECT_EQ(eval("=10^400"), err(ErrorCode::Num));
    EXPECT_EQ(eval("=SQRT(-1)"), err(ErrorCode::Num));
    EXPECT_EQ(eval("=LN(0)"), err(ErrorCode::Num));
}

TEST_F(FormulaEval, ErrorsPropagateLeftmostFirst)
{
    sheet.set("A1", err(ErrorCode::NA));
    sheet.set("A2", err(ErrorCode::Ref));
    sheet.set("A3", "x");
    EXPECT_EQ(eval("=A1+1"), err(ErrorCode::NA));
    EXPECT_EQ(eval("=1+A1"), err(ErrorCode::NA));
    EXPECT_EQ(eval("=A1+A2"), err(ErrorCode::NA));
    EXPECT_EQ(eval("=A2+A1"), err(ErrorCode::Ref));
    EXPECT_EQ(eval("=A3+A1"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=1/0+A1"), err(ErrorCode::Div0));
    EXPECT_EQ(eval("=A1&\"x\""), err(ErrorCode::NA));
    EXPECT_EQ(eval("=A1=1"), err(ErrorCode::NA));
    EXPECT_EQ(eval("=ABS(A2)"), err(ErrorCode::Ref));
    EXPECT_EQ(eval("=SUM(B1,A2)"), err(ErrorCode::Ref));
    EXPECT_EQ(eval("=#N/A"), err(ErrorCode::NA));
}

TEST_F(FormulaEval, PrecedenceMatchesTheSpreadsheet)
{
    EXPECT_EQ(eval("=-2^2"), num(4));
    EXPECT_EQ(eval("=-(2^2)"), num(-4));
    EXPECT_EQ(eval("=2^3^2"), num(64));
    EXPECT_EQ(eval("=1+2*3"), num(7));
    EXPECT_EQ(eval("=(1+2)*3"), num(9));
    EXPECT_EQ(eval("=10-4-3"), num(3));
    EXPECT_EQ(eval("=12/2/3"), num(2));
    EXPECT_EQ(eval("=2*-3"), num(-6));
    EXPECT_EQ(eval("=50%*4"), num(2));
    EXPECT_EQ(eval("=1+2&3"), text("33"));
    EXPECT_EQ(eval("=1+2=3"), Value::boolean(true));
    EXPECT_EQ(eval("=\"a\"&1=\"a1\""), Value::boolean(true));
}

TEST_F(FormulaEval, ComparisonsOrderNumbersTextAndBooleans)
{
    EXPECT_EQ(eval("=1<\"a\""), Value::boolean(true));
    EXPECT_EQ(eval("=\"z\"<TRUE"), Value::boolean(true));
    EXPECT_EQ(eval("=\"abc\"=\"ABC\""), Value::boolean(true));
    EXPECT_EQ(eval("=\"abc\"<\"abd\""), Value::boolean(true));
    EXPECT_EQ(eval("=0.1+0.2=0.3"), Value::boolean(true)); // 15 significant digits
    EXPECT_EQ(eval("=2>=2"), Value::boolean(true));
    EXPECT_EQ(eval("=2<>2"), Value::boolean(false));
}

TEST_F(FormulaEval, AggregatesSkipTextBooleansAndBlanksInRanges)
{
    sheet.set("B6", 10);
    sheet.set("B7", "20");
    sheet.set("B8", Value::boolean(true));
    sheet.set("B10", 30);
    EXPECT_EQ(eval("=SUM(B6:B31)"), num(40));
    EXPECT_EQ(eval("=AVERAGE(B6:B31)"), num(20));
    EXPECT_EQ(eval("=MIN(B6:B31)"), num(10));
    EXPECT_EQ(eval("=MAX(B6:B31)"), num(30));
    EXPECT_EQ(eval("=COUNT(B6:B31)"), num(2));
    EXPECT_EQ(eval("=COUNTA(B6:B31)"), num(4));
    // A single-cell reference is a range too: its text is skipped.
    EXPECT_EQ(eval("=SUM(B7)"), num(0));
    // Values typed as arguments count when they read as numbers.
    EXPECT_EQ(eval("=SUM(\"20\",TRUE,1)"), num(22));
    EXPECT_EQ(eval("=SUM(\"x\")"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=AVERAGE(C1:C5)"), err(ErrorCode::Div0));
    EXPECT_EQ(eval("=MAX(C1:C5)"), num(0));
    EXPECT_EQ(eval("=SUM()"), num(0));
    EXPECT_EQ(eval("=SUM(B6:B31,5)"), num(45));
    EXPECT_EQ(eval("=AVERAGE(1,)"), num(0.5));
    // The one-argument SUM other writers store as tAttrSum.
    EXPECT_EQ(evaluateFormula(hex("25 05 00 1E 00 01 C0 01 C0 19 10 00 00"), sheet), num(40));
}

TEST_F(FormulaEval, CommonFunctions)
{
    sheet.set("A1", 2.5);
    EXPECT_EQ(eval("=IF(A1>2,\"big\",\"small\")"), text("big"));
    EXPECT_EQ(eval("=IF(A1>3,1)"), Value::boolean(false));
    EXPECT_EQ(eval("=IF(A1>3,1,)"), num(0));
    EXPECT_EQ(eval("=IF(\"x\",1,2)"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=ABS(-3)"), num(3));
    EXPECT_EQ(eval("=ROUND(2.345,2)"), num(2.35));
    EXPECT_EQ(eval("=ROUND(-2.5,0)"), num(-3));
    EXPECT_EQ(eval("=ROUND(1234,-2)"), num(1200));
    EXPECT_EQ(eval("=ROUND(1.005,2)"), num(1.01));
    EXPECT_EQ(eval("=ROUNDUP(1.01,1)"), num(1.1));
    EXPECT_EQ(eval("=ROUNDDOWN(-1.99,0)"), num(-1));
    EXPECT_EQ(eval("=INT(-1.5)"), num(-2));
    EXPECT_EQ(eval("=TRUNC(-1.5)"), num(-1));
    EXPECT_EQ(eval("=SQRT(16)"), num(4));
    EXPECT_EQ(eval("=MOD(-3,2)"), num(1));
    EXPECT_EQ(eval("=MOD(1,0)"), err(ErrorCode::Div0));
    EXPECT_EQ(eval("=POWER(2,10)"), num(1024));
    EXPECT_EQ(eval("=AND(TRUE,1,A1>2)"), Value::boolean(true));
    EXPECT_EQ(eval("=OR(FALSE,0)"), Value::boolean(false));
    EXPECT_EQ(eval("=NOT(0)"), Value::boolean(true));
    EXPECT_EQ(eval("=ISBLANK(Z9)"), Value::boolean(true));
    EXPECT_EQ(eval("=ISBLANK(A1)"), Value::boolean(false));
    EXPECT_EQ(eval("=ISNUMBER(A1)"), Value::boolean(true));
    EXPECT_EQ(eval("=ISERROR(1/0)"), Value::boolean(true));
    EXPECT_EQ(eval("=LEN(\"abc\")"), num(3));
    EXPECT_EQ(eval("=UPPER(\"abc\")&LOWER(\"DE\")"), text("ABCde"));
    EXPECT_EQ(eval("=LEFT(\"abcdef\",2)&MID(\"abcdef\",3,2)&RIGHT(\"abcdef\")"), text("abcdf"));
    EXPECT_EQ(eval("=CONCATENATE(\"a\",1,TRUE)"), text("a1TRUE"));
    EXPECT_EQ(eval("=DATE(2004,6,10)"), num(38148));
    EXPECT_EQ(eval("=DATE(2004,13,1)"), num(38353)); // month overflow: 2005-01-01
    EXPECT_EQ(eval("=DATE(1900,2,29)"), num(60));
    EXPECT_EQ(eval("=YEAR(38148)*10000+MONTH(38148)*100+DAY(38148)"), num(20040610));
    EXPECT_EQ(eval("=DAY(60)"), num(29));
    EXPECT_EQ(eval("=WEEKDAY(38148)"), num(5)); // a Thursday
    EXPECT_EQ(eval("=TEXT(0.375,\"# ?/?\")"), text("3/8"));
    EXPECT_EQ(eval("=1/3&\"\""), text("0.333333333333333"));
    EXPECT_EQ(eval("=FIND(\"b\",\"abcb\",3)"), num(4));
    EXPECT_EQ(eval("=FIND(\"B\",\"abc\")"), err(ErrorCode::Value)); // FIND minds case
    EXPECT_EQ(eval("=SEARCH(\"B?\",\"abcb\")"), num(2));
    EXPECT_EQ(eval("=SUBSTITUTE(\"a-b-c\",\"-\",\"+\")"), text("a+b+c"));
    EXPECT_EQ(eval("=SUBSTITUTE(\"a-b-c\",\"-\",\"+\",2)"), text("a-b+c"));
    EXPECT_EQ(eval("=REPLACE(\"abcdef\",2,3,\"X\")"), text("aXef"));
    EXPECT_EQ(eval("=PROPER(\"fitness PROGRESS o'neil\")"), text("Fitness Progress O'Neil"));
    EXPECT_EQ(eval("=DATEVALUE(\"6/10/2004\")"), num(38148));
    EXPECT_EQ(eval("=TIMEVALUE(\"6:00 PM\")"), num(0.75));
    EXPECT_EQ(eval("=DATEVALUE(\"soon\")"), err(ErrorCode::Value));
    sheet.set("C1", 10);
    sheet.set("C2", 30);
    sheet.set("C3", 20);
    EXPECT_EQ(eval("=RANK(20,C1:C3)"), num(2));
    EXPECT_EQ(eval("=RANK(20,C1:C3,1)"), num(2));
    EXPECT_EQ(eval("=RANK(30,C1:C3,1)"), num(3));
    EXPECT_EQ(eval("=RANK(25,C1:C3)"), err(ErrorCode::NA));
    EXPECT_EQ(eval("=ISREF(C1)"), Value::boolean(true));
    EXPECT_EQ(eval("=ISREF(1)"), Value::boolean(false));
}

TEST_F(FormulaEval, CriteriaAndLookups)
{
    sheet.set("A1", 10);
    sheet.set("A2", 20);
    sheet.set("A3", 30);
    sheet.set("A4", "apple");
    sheet.set("A5", "banana");
    for (int i = 1; i <= 5; ++i)
        sheet.set(QStringLiteral("B%1").arg(i), i);
    sheet.set("D1", 1);
    sheet.set("E1", 2);
    sheet.set("F1", 3);
    sheet.set("D2", "a");
    sheet.set("E2", "b");
    sheet.set("F2", "c");

    EXPECT_EQ(eval("=COUNTIF(A1:A5,\">15\")"), num(2));
    EXPECT_EQ(eval("=COUNTIF(A1:A5,\"APPLE\")"), num(1));
    EXPECT_EQ(eval("=COUNTIF(A1:A5,\"b*\")"), num(1));
    EXPECT_EQ(eval("=COUNTIF(A1:A5,\"?pple\")"), num(1));
    EXPECT_EQ(eval("=COUNTIF(A1:A5,20)"), num(1));
    EXPECT_EQ(eval("=COUNTIF(A1:A5,\"<>apple\")"), num(4));
    EXPECT_EQ(eval("=COUNTIF(C1:C3,\"\")"), num(3));
    EXPECT_EQ(eval("=SUMIF(A1:A5,\">15\",B1:B5)"), num(5));
    EXPECT_EQ(eval("=SUMIF(A1:A3,\">15\")"), num(50));

    EXPECT_EQ(eval("=VLOOKUP(20,A1:B3,2,FALSE)"), num(2));
    EXPECT_EQ(eval("=VLOOKUP(25,A1:B3,2)"), num(2)); // sorted: the last key not above
    EXPECT_EQ(eval("=VLOOKUP(5,A1:B3,2)"), err(ErrorCode::NA));
    EXPECT_EQ(eval("=VLOOKUP(\"APPLE\",A4:B5,2,FALSE)"), num(4));
    EXPECT_EQ(eval("=VLOOKUP(20,A1:B3,3,FALSE)"), err(ErrorCode::Ref));
    EXPECT_EQ(eval("=VLOOKUP(20,A1:B3,0,FALSE)"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=HLOOKUP(2,D1:F2,2,FALSE)"), text("b"));
    EXPECT_EQ(eval("=VLOOKUP(\"ban*\",A4:B5,2,FALSE)"), num(5));
    sheet.set("G1", "10");
    sheet.set("H1", "text ten");
    EXPECT_EQ(eval("=VLOOKUP(\"10\",G1:H1,2,FALSE)"), text("text ten"));
    EXPECT_EQ(eval("=VLOOKUP(10,G1:H1,2,FALSE)"), err(ErrorCode::NA)); // text "10" is not the number

    EXPECT_EQ(eval("=MATCH(30,A1:A3,0)"), num(3));
    EXPECT_EQ(eval("=MATCH(25,A1:A3)"), num(2));
    EXPECT_EQ(eval("=MATCH(\"banana\",A4:A5,0)"), num(2));
    EXPECT_EQ(eval("=MATCH(99,A1:A3,0)"), err(ErrorCode::NA));
    EXPECT_EQ(eval("=MATCH(2,D1:F1,0)"), num(2));

    EXPECT_EQ(eval("=INDEX(B1:B5,3)"), num(3));
    EXPECT_EQ(eval("=INDEX(A1:B5,2,2)"), num(2));
    EXPECT_EQ(eval("=INDEX(D1:F1,3)"), num(3));
    EXPECT_EQ(eval("=SUM(INDEX(A1:B3,0,2))"), num(6));
    EXPECT_EQ(eval("=INDEX(B1:B5,9)"), err(ErrorCode::Ref));

    EXPECT_EQ(eval("=SUMPRODUCT(A1:A3,B1:B3)"), num(140));
    EXPECT_EQ(eval("=SUMPRODUCT(A1:A3,B1:B2)"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=SMALL(A1:A5,1)"), num(10));
    EXPECT_EQ(eval("=LARGE(A1:A5,1)"), num(30));
    EXPECT_EQ(eval("=LARGE(A1:A5,4)"), err(ErrorCode::Num));
}

TEST_F(FormulaEval, FunctionsTheEngineDoesNotComputeAreRefusedNamesItDoesNotKnowAreNameErrors)
{
    // A function number outside the table, a macro-sheet function: the caller keeps what the
    // file says rather than a made-up error.
    EXPECT_THROW(evaluateFormula(hex("1E 01 00 42 01 7F 01"), sheet), Error);
    EXPECT_THROW(evaluateFormula(hex("42 00 35 00"), sheet), Error); // GOTO
    try {
        evaluateFormula(hex("1E 01 00 42 01 7F 01"), sheet);
    } catch (const FormatError&) {
        ADD_FAILURE() << "well-formed tokens must not be called malformed";
    } catch (const Error&) {
    }
    EXPECT_EQ(evaluateFormula(hex("23 01 00 00 00"), sheet), err(ErrorCode::Name));
    // A known function with the wrong number of arguments in the tokens.
    EXPECT_EQ(evaluateFormula(hex("42 00 01 00"), sheet), err(ErrorCode::Value));
}

TEST_F(FormulaEval, RangesAsSingleValuesNeedTheFormulasCell)
{
    for (int r = 6; r <= 31; ++r)
        sheet.set(QStringLiteral("B%1").arg(r), r * 10);
    sheet.set("F1", 7);
    EXPECT_EQ(eval("=B6:B31*2"), err(ErrorCode::Value)); // position unknown
    EXPECT_EQ(eval("=ROW()"), err(ErrorCode::Value));
    sheet.ownRow = 9; // F10
    sheet.ownCol = 5;
    EXPECT_EQ(eval("=B6:B31*2"), num(200)); // a column reads the formula's row: B10
    EXPECT_EQ(eval("=C1:G1+1"), num(8));    // a row reads the formula's column: F1
    EXPECT_EQ(eval("=ROW()*100+COLUMN()"), num(1006));
    EXPECT_EQ(eval("=B1:C2"), err(ErrorCode::Value)); // a block has no single cell
    sheet.ownRow = 0;                                 // A1: outside both
    sheet.ownCol = 0;
    EXPECT_EQ(eval("=B6:B31"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=C1:G1"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=ROW(B6:B31)"), num(6));
}

TEST_F(FormulaEval, ThreeDReferencesReadTheirSheet)
{
    sheet.set("B6", 5, 0);
    sheet.set("B7", 7, 0);
    sheet.set("B6", 100);
    EXPECT_EQ(eval("=Data!B6*2+B6"), num(110));
    EXPECT_EQ(eval("=SUM(Data!B6:B7)"), num(12));
    EXPECT_EQ(eval("=Data!#REF!+1"), err(ErrorCode::Ref));
}

TEST_F(FormulaEval, WholeColumnsAreWalkedOnlyWhereUsed)
{
    sheet.set("A5", 3);
    sheet.reads = 0;
    EXPECT_EQ(eval("=SUM(A:A)"), num(3));
    EXPECT_LE(sheet.reads, 100);
}

TEST_F(FormulaEval, MalformedTokensThrowInsteadOfCrashing)
{
    EXPECT_THROW(evaluateFormula(hex("44 05 00"), sheet), FormatError);
    EXPECT_THROW(evaluateFormula(hex("03"), sheet), FormatError);
    EXPECT_THROW(evaluateFormula(Bytes{}, sheet), FormatError);
    EXPECT_THROW(evaluateFormula(hex("42 03 04 00"), sheet), FormatError);
}

TEST_F(FormulaEval, TextLongerThanACellHoldsIsAValueError)
{
    sheet.set("A1", Value::string(QString(20000, QLatin1Char('x'))));
    EXPECT_EQ(eval("=A1&A1"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=CONCATENATE(A1,A1)"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=REPT(\"ab\",20000)"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=LEN(A1&\"y\")"), num(20001));
}

TEST_F(FormulaEval, OutOfRangeArgumentsGiveErrorsNotUndefinedBehaviour)
{
    sheet.set("A1", std::nan(""));
    sheet.set("A2", HUGE_VAL);
    EXPECT_EQ(eval("=A1+1"), err(ErrorCode::Num));
    EXPECT_EQ(eval("=SUM(A1:A2)"), err(ErrorCode::Num));
    EXPECT_EQ(eval("=CHOOSE(1E+300,1,2)"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=DATE(1E+300,1,1)"), err(ErrorCode::Num));
    EXPECT_EQ(eval("=REPT(\"\",1E+300)"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=ROUND(2.5,1E+300)"), num(2.5));
    EXPECT_EQ(eval("=ROUND(2.5,-1E+300)"), num(0));
    EXPECT_EQ(eval("=MID(\"abc\",1E+300,1E+300)"), text(""));
    EXPECT_EQ(eval("=YEAR(-1)"), err(ErrorCode::Num));
    EXPECT_EQ(eval("=NOT(1/0)"), err(ErrorCode::Div0));
    EXPECT_EQ(eval("=NOT(\"x\")"), err(ErrorCode::Value));
}

TEST_F(FormulaEval, ConcatenationUsesTheLocaleDecimalSeparator)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(eval("=1.5&\"\""), text("1,5"));
    EXPECT_EQ(eval("=\"2,5\"*2"), num(5));
}

} // namespace
