// The functions real workbooks use most that the engine lacked, each against results Excel
// documents or gives, with the errors Excel gives for arguments out of their domain.
#include "TestSheet.h"

#include "base/Error.h"
#include "formula/Evaluator.h"
#include "formula/Formula.h"
#include "formula/FormulaTokens.h"

#include <QLocale>
#include <cmath>
#include <gtest/gtest.h>

using namespace sheet;
using sheet::test::TestSheet;

namespace {

class FormulaFunctions : public test::FormulaTest {
protected:
    // A number to the digits Excel's documentation shows.
    double rounded(const char* formula, int digits)
    {
        const Value v = eval(formula);
        EXPECT_TRUE(v.isNumber()) << formula;
        const double scale = std::pow(10.0, digits);
        return std::round(v.asNumber() * scale) / scale;
    }
};

TEST_F(FormulaFunctions, ReferencesBuiltFromValues)
{
    column("A", 1, {1, 2, 3, 4});
    column("B", 1, {10, 20, 30, 40});
    EXPECT_EQ(eval("=OFFSET(A1,1,1)"), num(20));
    EXPECT_EQ(eval("=SUM(OFFSET(A1,1,0,2,2))"), num(2 + 3 + 20 + 30));
    EXPECT_EQ(eval("=SUM(OFFSET(B4,-3,-1,,))"), num(1)); // empty height and width: the reference's
    EXPECT_EQ(eval("=OFFSET(A1,-1,0)"), err(ErrorCode::Ref));
    EXPECT_EQ(eval("=OFFSET(A1,0,0,0,1)"), err(ErrorCode::Ref));
    EXPECT_EQ(eval("=OFFSET(A1,0,256)"), err(ErrorCode::Ref));
    EXPECT_EQ(eval("=OFFSET(1,0,0)"), err(ErrorCode::Value)); // not a reference
    EXPECT_EQ(eval("=INDIRECT(\"B2\")"), num(20));
    EXPECT_EQ(eval("=SUM(INDIRECT(\"A1:A\"&3))"), num(6));
    EXPECT_EQ(eval("=INDIRECT(\"R3C2\",FALSE)"), num(30));
    EXPECT_EQ(eval("=INDIRECT(\"not a cell\")"), err(ErrorCode::Ref));
    EXPECT_EQ(eval("=INDIRECT(\"Nowhere!A1\")"), err(ErrorCode::Ref));

    EXPECT_EQ(eval("=ADDRESS(2,3)"), text("$C$2"));
    EXPECT_EQ(eval("=ADDRESS(2,3,2)"), text("C$2"));
    EXPECT_EQ(eval("=ADDRESS(2,3,3)"), text("$C2"));
    EXPECT_EQ(eval("=ADDRESS(2,3,4)"), text("C2"));
    EXPECT_EQ(eval("=ADDRESS(2,3,1,FALSE)"), text("R2C3"));
    EXPECT_EQ(eval("=ADDRESS(2,3,4,FALSE)"), text("R[2]C[3]"));
    EXPECT_EQ(eval("=ADDRESS(1,1,1,TRUE,\"Data\")"), text("Data!$A$1"));
    EXPECT_EQ(eval("=ADDRESS(1,1,1,TRUE,\"My Sheet\")"), text("'My Sheet'!$A$1"));
    EXPECT_EQ(eval("=ADDRESS(0,1)"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=ADDRESS(1,257)"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=ADDRESS(1,1,5)"), err(ErrorCode::Value));

    EXPECT_EQ(eval("=CELL(\"address\",B2)"), text("$B$2"));
    EXPECT_EQ(eval("=CELL(\"row\",B7)+CELL(\"col\",D1)"), num(11));
    EXPECT_EQ(eval("=CELL(\"contents\",B3)"), num(30));
    sheet.set("C1", "label");
    EXPECT_EQ(eval("=CELL(\"type\",C1)&CELL(\"type\",A1)&CELL(\"type\",Z50)"), text("lvb"));
    EXPECT_EQ(eval("=CELL(\"colour\",A1)"), err(ErrorCode::Value)); // no such information
    EXPECT_THROW(eval("=CELL(\"width\",A1)"), Error);               // the cell's format: kept as read
}

TEST_F(FormulaFunctions, LookupInBothItsForms)
{
    column("A", 1, {1, 2, 3, 5});
    column("B", 1, {10, 20, 30, 50});
    EXPECT_EQ(eval("=LOOKUP(4,A1:A4,B1:B4)"), num(30));
    EXPECT_EQ(eval("=LOOKUP(0,A1:A4,B1:B4)"), err(ErrorCode::NA));
    EXPECT_EQ(eval("=LOOKUP(9,A1:B4)"), num(50)); // taller than wide: down the first column
    // array form: wider than tall searches the first row and gives the last
    EXPECT_EQ(eval("=LOOKUP(\"C\",{\"a\",\"b\",\"c\",\"d\";1,2,3,4})"), num(3));
    EXPECT_EQ(eval("=LOOKUP(\"bump\",{\"a\",1;\"b\",2;\"c\",3})"), num(2));
}

TEST_F(FormulaFunctions, DatesOnA360DayYearAndDifferences)
{
    // Excel's documented examples: 1/30/2011 to 12/31/2011, 1/1/2011 to 2/1/2011
    EXPECT_EQ(eval("=DAYS360(DATE(2011,1,30),DATE(2011,12,31))"), num(330));
    EXPECT_EQ(eval("=DAYS360(DATE(2011,1,1),DATE(2011,2,1))"), num(30));
    EXPECT_EQ(eval("=DAYS360(DATE(2011,1,1),DATE(2011,12,31))"), num(360));
    EXPECT_EQ(eval("=DAYS360(DATE(2011,1,30),DATE(2011,12,31),TRUE)"), num(330));
    EXPECT_EQ(eval("=DAYS360(DATE(2011,12,31),DATE(2011,1,30))"), num(-330));

    EXPECT_EQ(eval("=DATEDIF(DATE(2001,1,1),DATE(2003,1,1),\"Y\")"), num(2));
    EXPECT_EQ(eval("=DATEDIF(DATE(2001,6,1),DATE(2002,8,15),\"D\")"), num(440));
    EXPECT_EQ(eval("=DATEDIF(DATE(2001,6,1),DATE(2002,8,15),\"YD\")"), num(75));
    EXPECT_EQ(eval("=DATEDIF(DATE(2001,6,1),DATE(2002,8,15),\"MD\")"), num(14));
    EXPECT_EQ(eval("=DATEDIF(DATE(2001,6,1),DATE(2002,8,15),\"ym\")"), num(2));
    EXPECT_EQ(eval("=DATEDIF(DATE(2001,6,1),DATE(2002,8,15),\"M\")"), num(14));
    EXPECT_EQ(eval("=DATEDIF(DATE(2002,1,1),DATE(2001,1,1),\"D\")"), err(ErrorCode::Num));
    EXPECT_EQ(eval("=DATEDIF(DATE(2001,1,1),DATE(2002,1,1),\"W\")"), err(ErrorCode::Num));
}

TEST_F(FormulaFunctions, NumbersAsText)
{
    EXPECT_EQ(eval("=FIXED(1234.567)"), text("1,234.57"));
    EXPECT_EQ(eval("=FIXED(1234.567,-2)"), text("1,200"));
    EXPECT_EQ(eval("=FIXED(1234.5,1,TRUE)"), text("1234.5"));
    EXPECT_EQ(eval("=FIXED(-0.5,0)"), text("-1")); // halves away from zero
    EXPECT_EQ(eval("=FIXED(\"x\")"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=DOLLAR(1234.567)"), text("$1,234.57"));
    EXPECT_EQ(eval("=DOLLAR(1234.567,-2)"), text("$1,200"));
    EXPECT_EQ(eval("=DOLLAR(0.125,1)"), text("$0.1"));

    EXPECT_EQ(eval("=ROMAN(1999)"), text("MCMXCIX"));
    EXPECT_EQ(eval("=ROMAN(499,0)"), text("CDXCIX"));
    EXPECT_EQ(eval("=ROMAN(499,1)"), text("LDVLIV"));
    EXPECT_EQ(eval("=ROMAN(499,2)"), text("XDIX"));
    EXPECT_EQ(eval("=ROMAN(499,3)"), text("VDIV"));
    EXPECT_EQ(eval("=ROMAN(499,4)"), text("ID"));
    EXPECT_EQ(eval("=ROMAN(499,TRUE)"), text("CDXCIX"));
    EXPECT_EQ(eval("=ROMAN(0)"), text(""));
    EXPECT_EQ(eval("=ROMAN(4000)"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=ROMAN(-1)"), err(ErrorCode::Value));
}

TEST_F(FormulaFunctions, Statistics)
{
    column("A", 1, {4, 5, 6, 7, 5, 4, 3});
    EXPECT_DOUBLE_EQ(rounded("=AVEDEV(A1:A7)", 9), 1.020408163);
    EXPECT_EQ(eval("=DEVSQ(4,5,8,7,11,4,3)"), num(48));
    EXPECT_DOUBLE_EQ(rounded("=DEVSQ(A1:A7)", 9), 10.857142857);
    EXPECT_EQ(eval("=SUMSQ(3,4)"), num(25));
    EXPECT_EQ(eval("=SUMSQ(A1:A2,\"2\")"), num(16 + 25 + 4)); // text typed as an argument counts
    EXPECT_EQ(eval("=MODE(5.6,4,4,3,2,4)"), num(4));
    EXPECT_EQ(eval("=MODE(1,2,3)"), err(ErrorCode::NA));
    EXPECT_EQ(eval("=MODE(A1:A7)"), num(4)); // 4 and 5 both twice: the first seen
    // Excel's examples; too few values, or values that do not vary, are #DIV/0!
    EXPECT_DOUBLE_EQ(rounded("=SKEW(3,4,5,2,3,4,5,6,4,7)", 6), 0.359543);
    EXPECT_DOUBLE_EQ(rounded("=KURT(3,4,5,2,3,4,5,6,4,7)", 6), -0.1518);
    EXPECT_EQ(eval("=SKEW(1,2)"), err(ErrorCode::Div0));
    EXPECT_EQ(eval("=KURT(1,2,3)"), err(ErrorCode::Div0));
    EXPECT_EQ(eval("=SKEW(5,5,5,5)"), err(ErrorCode::Div0));

    // the A variants count text in ranges as 0 and TRUE as 1
    sheet.set("B1", 0.2);
    sheet.set("B2", 0.5);
    sheet.set("B3", Value::boolean(true));
    sheet.set("B4", "Not available");
    EXPECT_EQ(eval("=MAXA(B1:B4)"), num(1));
    EXPECT_EQ(eval("=MAX(B1:B4)"), num(0.5));
    EXPECT_EQ(eval("=MINA(B1:B4)"), num(0));
    EXPECT_EQ(eval("=AVERAGEA(B1:B4)"), num((0.2 + 0.5 + 1 + 0) / 4));
    EXPECT_EQ(eval("=MAXA(B10:B12)"), num(0)); // nothing to count
    EXPECT_EQ(eval("=AVERAGEA(B10:B12)"), err(ErrorCode::Div0));

    // Excel's example: known y 2,3,9,1,8, known x 6,5,11,7,5
    column("D", 1, {2, 3, 9, 1, 8});
    column("E", 1, {6, 5, 11, 7, 5});
    EXPECT_DOUBLE_EQ(rounded("=INTERCEPT(D1:D5,E1:E5)", 7), 0.0483871);
    EXPECT_EQ(eval("=INTERCEPT(D1:D5,E1:E4)"), err(ErrorCode::NA));
    EXPECT_EQ(eval("=INTERCEPT(D1:D2,{1,1})"), err(ErrorCode::Div0));
    // a straight line y = 2x + 1
    column("F", 1, {1, 2, 3, 4});
    column("G", 1, {3, 5, 7, 9});
    EXPECT_EQ(eval("=TREND(G1:G4,F1:F4,10)"), num(21));
    EXPECT_EQ(eval("=TREND(G1:G4)"), num(3)); // x defaults to 1, 2, 3...

    EXPECT_EQ(eval("=SUBTOTAL(9,A1:A7)"), num(34));
    EXPECT_EQ(eval("=SUBTOTAL(109,A1:A7)"), num(34));
    EXPECT_EQ(eval("=SUBTOTAL(2,A1:A7,B1:B4)"), num(9));
    EXPECT_EQ(eval("=SUBTOTAL(12,A1:A7)"), err(ErrorCode::Value));
}

TEST_F(FormulaFunctions, Finance)
{
    // Excel's documented examples
    EXPECT_DOUBLE_EQ(rounded("=NPV(10%,-10000,3000,4200,6800)", 2), 1188.44);
    EXPECT_DOUBLE_EQ(rounded("=FV(0.06/12,10,-200,-500,1)", 2), 2581.40);
    EXPECT_DOUBLE_EQ(rounded("=PMT(8%/12,10,10000)", 2), -1037.03);
    EXPECT_EQ(eval("=PMT(0,10,1000)"), num(-100));
    EXPECT_DOUBLE_EQ(rounded("=NPER(12%/12,-100,-1000,10000,1)", 7), 59.6738657);
    EXPECT_EQ(eval("=NPER(0,-100,1000)"), num(10));
    EXPECT_DOUBLE_EQ(rounded("=PV(0.08/12,12*20,500,,0)", 2), -59777.15);
    EXPECT_DOUBLE_EQ(rounded("=IPMT(10%/12,1,3*12,8000)", 2), -66.67);
    EXPECT_DOUBLE_EQ(rounded("=IPMT(10%,3,3,8000)", 2), -292.45);
    EXPECT_EQ(eval("=IPMT(10%,4,3,8000)"), err(ErrorCode::Num));
    EXPECT_DOUBLE_EQ(rounded("=PPMT(10%/12,1,2*12,2000)", 2), -75.62);
    EXPECT_DOUBLE_EQ(rounded("=PPMT(8%,10,10,200000)", 2), -27598.05);

    column("A", 1, {-70000, 12000, 15000, 18000, 21000, 26000});
    EXPECT_DOUBLE_EQ(rounded("=IRR(A1:A5)", 3), -0.021);
    EXPECT_DOUBLE_EQ(rounded("=IRR(A1:A6)", 3), 0.087);
    EXPECT_EQ(eval("=IRR(A2:A6)"), err(ErrorCode::Num)); // no outflow: no rate
    column("B", 1, {-120000, 39000, 30000, 21000, 37000, 46000});
    EXPECT_DOUBLE_EQ(rounded("=MIRR(B1:B6,10%,12%)", 3), 0.126);
    EXPECT_EQ(eval("=MIRR(B2:B6,10%,12%)"), err(ErrorCode::Div0));
}

TEST_F(FormulaFunctions, Databases)
{
    const char* head[] = {"Tree", "Height", "Age", "Profit"};
    for (int c = 0; c < 4; ++c)
        sheet.set(TestSheet::address(0, c), head[c]);
    const char* trees[] = {"Apple", "Pear", "Cherry", "Apple", "Pear", "Apple"};
    const double height[] = {18, 12, 13, 14, 9, 8}, age[] = {20, 12, 14, 15, 8, 9},
                 profit[] = {105, 96, 105, 75, 76.8, 45};
    for (int r = 0; r < 6; ++r) {
        sheet.set(TestSheet::address(r + 1, 0), trees[r]);
        sheet.set(TestSheet::address(r + 1, 1), height[r]);
        sheet.set(TestSheet::address(r + 1, 2), age[r]);
        sheet.set(TestSheet::address(r + 1, 3), profit[r]);
    }
    // criteria: Tree = Apple and Height > 10
    sheet.set("F1", "Tree");
    sheet.set("G1", "Height");
    sheet.set("F2", "Apple");
    sheet.set("G2", ">10");
    EXPECT_EQ(eval("=DSUM(A1:D7,\"Profit\",F1:G2)"), num(180));
    EXPECT_EQ(eval("=DSUM(A1:D7,4,F1:F2)"), num(225));
    EXPECT_EQ(eval("=DGET(A1:D7,\"Profit\",F1:G2)"), err(ErrorCode::Num)); // two trees match
    sheet.set("G2", ">15");
    EXPECT_EQ(eval("=DGET(A1:D7,\"Age\",F1:G2)"), num(20));
    sheet.set("G2", ">99");
    EXPECT_EQ(eval("=DGET(A1:D7,\"Age\",F1:G2)"), err(ErrorCode::Value));    // none does
    EXPECT_EQ(eval("=DSUM(A1:D7,\"Weight\",F1:G2)"), err(ErrorCode::Value)); // no such field
}

TEST_F(FormulaFunctions, InverseHyperbolicCosine)
{
    EXPECT_EQ(eval("=ACOSH(1)"), num(0));
    EXPECT_DOUBLE_EQ(rounded("=ACOSH(10)", 7), 2.9932228);
    EXPECT_EQ(eval("=ACOSH(0.5)"), err(ErrorCode::Num));
    EXPECT_EQ(eval("=ACOSH(\"a\")"), err(ErrorCode::Value));
}

} // namespace

// Functions are registered by name from one table: every name registered is a function of
// the file format or an add-in's, each once.
TEST(FunctionRegistry, EveryFunctionByItsName)
{
    const eval::Registry& r = eval::functionRegistry();
    EXPECT_EQ(r.builtinCount(), 221);
    EXPECT_TRUE(r.builtin(4));   // SUM
    EXPECT_FALSE(r.builtin(53)); // GOTO runs macros only
    EXPECT_TRUE(r.addIn(QStringLiteral("NETWORKDAYS")));
    const QStringList names = r.names();
    EXPECT_EQ(names.size(), r.builtinCount() + 63); // and 63 add-ins
    for (const QString& n : names)
        EXPECT_TRUE(ptg::functionByName(n) || !ptg::addInFunctionName(n).isEmpty()) << n.toStdString();

    eval::Registry fresh;
    const eval::Fn f = r.builtin(4);
    fresh.add("SUM", f);
    EXPECT_EQ(fresh.builtin(4), f);
    EXPECT_THROW(fresh.add("SUM", f), Error);
    EXPECT_THROW(fresh.add("NOSUCHFUNCTION", f), Error);
    fresh.add("WEEKNUM", f);
    EXPECT_EQ(fresh.addIn(QStringLiteral("WEEKNUM")), f);
}
