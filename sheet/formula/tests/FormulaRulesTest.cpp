// The spreadsheet's rules for arguments, lookups, criteria and conversions, as Excel applies
// them (each case here is one Excel got differently from an earlier version of the engine).
#include "TestSheet.h"

#include "base/Error.h"
#include "formula/Formula.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace sheet;
using sheet::test::TestSheet;

namespace {

class FormulaRules : public test::FormulaTest { };

TEST_F(FormulaRules, ArgumentsLeftEmpty)
{
    sheet.set("E26", Value::boolean(false));
    EXPECT_EQ(eval("=AND(,TRUE)"), boolean(false)); // an empty argument is FALSE
    EXPECT_EQ(eval("=OR(E26,)"), boolean(false));
    EXPECT_EQ(eval("=OR(,TRUE)"), boolean(true));
    EXPECT_EQ(eval("=ROUND(2.5,)"), num(3));
    EXPECT_EQ(eval("=SUM(1,,2)"), num(3));
    EXPECT_EQ(eval("=IF(TRUE,,1)"), num(0));
    // VLOOKUP(x, r, 2, ) asks for an exact match: the empty fourth argument is FALSE.
    sheet.set("A1", 10);
    sheet.set("B1", "ten");
    sheet.set("A2", 20);
    sheet.set("B2", "twenty");
    EXPECT_EQ(eval("=VLOOKUP(15,A1:B2,2)"), text("ten"));
    EXPECT_EQ(eval("=VLOOKUP(15,A1:B2,2,)"), err(ErrorCode::NA));
    EXPECT_EQ(eval("=VLOOKUP(20,A1:B2,2,)"), text("twenty"));
}

TEST_F(FormulaRules, ApproximateLookupsSearchAsExcelDoesOnUnsortedData)
{
    // 1 2 3 10 4 5: a binary search finds the 4 after the 10, a scan would stop at the 3.
    const double data[] = {1, 2, 3, 10, 4, 5};
    for (int i = 0; i < 6; ++i) {
        sheet.set(TestSheet::address(i, 0), data[i]);
        sheet.set(TestSheet::address(0, i + 2), data[i]);
        sheet.set(TestSheet::address(i, 1), i + 1);
    }
    EXPECT_EQ(eval("=MATCH(4,A1:A6)"), num(5));
    EXPECT_EQ(eval("=MATCH(4,A1:A6,1)"), num(5));
    EXPECT_EQ(eval("=VLOOKUP(4,A1:B6,2)"), num(5));
    EXPECT_EQ(eval("=HLOOKUP(4,C1:H1,1)"), num(4));
    EXPECT_EQ(eval("=LOOKUP(4,A1:A6,B1:B6)"), num(5));
    // below everything: nothing
    EXPECT_EQ(eval("=MATCH(0,A1:A6)"), err(ErrorCode::NA));
    // values of another type are stepped over
    sheet.set("E10", 1);
    sheet.set("E11", "x");
    sheet.set("E12", "y");
    sheet.set("E13", 3);
    EXPECT_EQ(eval("=MATCH(2,E10:E13)"), num(1));
    EXPECT_EQ(eval("=MATCH(9,E10:E13)"), num(4));
    EXPECT_EQ(eval("=MATCH(\"x\",E10:E13)"), num(2));
}

TEST_F(FormulaRules, ExactMatchesTakeWildcardsAndNeedAKey)
{
    sheet.set("A1", "apple");
    sheet.set("A2", "banana");
    sheet.set("A3", "cherry");
    sheet.set("A4", "b*");
    EXPECT_EQ(eval("=MATCH(\"b*\",A1:A3,0)"), num(2));
    EXPECT_EQ(eval("=MATCH(\"?herry\",A1:A3,0)"), num(3));
    EXPECT_EQ(eval("=MATCH(\"b~*\",A1:A4,0)"), num(4)); // ~ makes * a plain star
    EXPECT_EQ(eval("=MATCH(\"BANANA\",A1:A3,0)"), num(2));
    // A blank key finds nothing, even where the table has blanks.
    sheet.set("B1", 1);
    sheet.set("B3", 3);
    EXPECT_EQ(eval("=MATCH(Z99,B1:B3,0)"), err(ErrorCode::NA));
    EXPECT_EQ(eval("=VLOOKUP(Z99,A1:B3,2,FALSE)"), err(ErrorCode::NA));
}

TEST_F(FormulaRules, CountIfCriteria)
{
    sheet.set("A1", 1);
    sheet.set("A2", "1");
    sheet.set("A3", 2);
    sheet.set("A4", err(ErrorCode::Div0));
    sheet.set("A5", "x");
    // numeric criteria also count numbers kept as text; comparisons only numbers
    EXPECT_EQ(eval("=COUNTIF(A1:A5,1)"), num(2));
    EXPECT_EQ(eval("=COUNTIF(A1:A5,\"1\")"), num(2));
    EXPECT_EQ(eval("=COUNTIF(A1:A5,\">=1\")"), num(2));
    // an error as the criterion counts that error
    EXPECT_EQ(eval("=COUNTIF(A1:A5,1/0)"), num(1));
    EXPECT_EQ(eval("=COUNTIF(A1:A5,\"#DIV/0!\")"), num(1));
    // "<>" counts whatever is not blank; "" and "=" count the blanks
    EXPECT_EQ(eval("=COUNTIF(A1:A6,\"<>\")"), num(5));
    EXPECT_EQ(eval("=COUNTIF(A1:A6,\"\")"), num(1));
    EXPECT_EQ(eval("=COUNTIF(A1:A6,\"=\")"), num(1));
}

TEST_F(FormulaRules, NumbersBecomeTextWithoutExponentsWhereExcelWritesThemOut)
{
    EXPECT_EQ(eval("=0.00001&\"\""), text("0.00001"));
    EXPECT_EQ(eval("=0.0000001234&\"\""), text("0.0000001234"));
    EXPECT_EQ(eval("=1E-20&\"\""), text("1E-20"));
    EXPECT_EQ(eval("=123456789012345678&\"\""), text("123456789012346000"));
    EXPECT_EQ(eval("=1E+21&\"\""), text("1E+21"));
    EXPECT_EQ(eval("=1/3&\"\""), text("0.333333333333333"));
    EXPECT_EQ(eval("=-2.5&\"\""), text("-2.5"));
}

TEST_F(FormulaRules, TextFormats)
{
    // mm right after hh is minutes
    EXPECT_EQ(eval("=TEXT(0.75+5/1440,\"hh.mm\")"), text("18.05"));
    EXPECT_EQ(eval("=TEXT(0.75+5/1440,\"hh:mm\")"), text("18:05"));
    // conditional sections
    EXPECT_EQ(eval("=TEXT(5,\"[<10]\"\"small\"\";\"\"big\"\"\")"), text("small"));
    EXPECT_EQ(eval("=TEXT(50,\"[<10]\"\"small\"\";\"\"big\"\"\")"), text("big"));
    EXPECT_EQ(eval("=TEXT(1234.5,\"#,##0.00\")"), text("1,234.50"));
}

TEST_F(FormulaRules, SubstituteTruncatesItsInstance)
{
    EXPECT_EQ(eval("=SUBSTITUTE(\"a-b-c\",\"-\",\"+\",2.9)"), text("a-b+c"));
    EXPECT_EQ(eval("=SUBSTITUTE(\"a-b-c\",\"-\",\"+\",0.5)"), err(ErrorCode::Value));
    EXPECT_EQ(eval("=SUBSTITUTE(\"a-b-c\",\"-\",\"+\")"), text("a+b+c"));
}

TEST_F(FormulaRules, LogicalFunctionsSkipTextTheyAreGivenDirectly)
{
    EXPECT_EQ(eval("=AND(\"1\",1)"), boolean(true));
    EXPECT_EQ(eval("=AND(\"1\")"), err(ErrorCode::Value)); // nothing left to judge
    EXPECT_EQ(eval("=AND(\"TRUE\",1)"), boolean(true));
    EXPECT_EQ(eval("=OR(\"FALSE\",0)"), boolean(false));
}

TEST_F(FormulaRules, DatesWrittenWithMonthNames)
{
    EXPECT_EQ(eval("=DATEVALUE(\"2020-FEB-01\")"), num(43862));
    EXPECT_EQ(eval("=\"18 Jan 2019\"+0"), num(43483));
    EXPECT_EQ(eval("=DATEVALUE(\"18-Jan-2019\")"), num(43483));
}

} // namespace
