#include "TestSheet.h"

#include "model/Error.h"
#include "formula/Formula.h"

#include <gtest/gtest.h>

using namespace sheet;
using sheet::test::hex;
using sheet::test::hexText;
using sheet::test::TestSheet;

namespace {

QString compiled(const char* text, const FormulaEnv* env = nullptr)
{
    return hexText(parseFormula(QString::fromUtf8(text), env));
}

TEST(FormulaParse, WorkedExamplesGiveTheExactTokens)
{
    EXPECT_EQ(compiled("=(B6-C6)*$B$2/100"),
              "44 05 00 01 C0 44 05 00 02 C0 04 15 44 01 00 01 00 05 1E 64 00 06");
    EXPECT_EQ(compiled("=A1^2"), "44 00 00 00 C0 1E 02 00 07");
    // Without the "=", and with blanks around the tokens.
    EXPECT_EQ(compiled(" A1 ^ 2 "), "44 00 00 00 C0 1E 02 00 07");
}

TEST(FormulaParse, MixedAbsoluteMarkersSetOnlyTheirFlag)
{
    EXPECT_EQ(compiled("=$B6"), "44 05 00 01 80");
    EXPECT_EQ(compiled("=B$6"), "44 05 00 01 40");
    EXPECT_EQ(compiled("=IV65536"), "44 FF FF FF C0");
    EXPECT_EQ(compiled("=b6"), "44 05 00 01 C0");
}

TEST(FormulaParse, NumbersUseIntOnlyForSmallWholeValues)
{
    EXPECT_EQ(compiled("=0"), "1E 00 00");
    EXPECT_EQ(compiled("=65535"), "1E FF FF");
    EXPECT_EQ(compiled("=65536"), "1F 00 00 00 00 00 00 F0 40");
    EXPECT_EQ(compiled("=1.5"), "1F 00 00 00 00 00 00 F8 3F");
    EXPECT_EQ(compiled("=2.0"), "1E 02 00");
    EXPECT_EQ(compiled("=.5"), "1F 00 00 00 00 00 00 E0 3F");
    EXPECT_EQ(compiled("=1E3"), "1E E8 03");
    // A negative literal is a positive number and a sign.
    EXPECT_EQ(compiled("=-5"), "1E 05 00 13");
}

TEST(FormulaParse, PrecedenceFollowsTheSpreadsheet)
{
    // Sign binds tighter than ^: -2^2 is (-2)^2.
    EXPECT_EQ(compiled("=-2^2"), "1E 02 00 13 1E 02 00 07");
    // ^ is left-associative.
    EXPECT_EQ(compiled("=2^3^2"), "1E 02 00 1E 03 00 07 1E 02 00 07");
    // * before +, + before &, & before comparisons.
    EXPECT_EQ(compiled("=1+2*3"), "1E 01 00 1E 02 00 1E 03 00 05 03");
    EXPECT_EQ(compiled("=1&2+3"), "1E 01 00 1E 02 00 1E 03 00 03 08");
    EXPECT_EQ(compiled("=1=2&3"), "1E 01 00 1E 02 00 1E 03 00 08 0B");
    // Percent after the sign and before ^.
    EXPECT_EQ(compiled("=-5%"), "1E 05 00 13 14");
    EXPECT_EQ(compiled("=2^50%"), "1E 02 00 1E 32 00 14 07");
    EXPECT_EQ(compiled("=1-2-3"), "1E 01 00 1E 02 00 04 1E 03 00 04");
}

TEST(FormulaParse, ComparisonOperators)
{
    EXPECT_EQ(compiled("=1<2"), "1E 01 00 1E 02 00 09");
    EXPECT_EQ(compiled("=1<=2"), "1E 01 00 1E 02 00 0A");
    EXPECT_EQ(compiled("=1=2"), "1E 01 00 1E 02 00 0B");
    EXPECT_EQ(compiled("=1>=2"), "1E 01 00 1E 02 00 0C");
    EXPECT_EQ(compiled("=1>2"), "1E 01 00 1E 02 00 0D");
    EXPECT_EQ(compiled("=1<>2"), "1E 01 00 1E 02 00 0E");
}

TEST(FormulaParse, LiteralsOfEveryKind)
{
    EXPECT_EQ(compiled("=\"ab\"\"c\""), "17 04 00 61 62 22 63");
    EXPECT_EQ(compiled("=\"\""), "17 00 00");
    EXPECT_EQ(compiled("=TRUE"), "1D 01");
    EXPECT_EQ(compiled("=false"), "1D 00");
    EXPECT_EQ(compiled("=#DIV/0!"), "1C 07");
    EXPECT_EQ(compiled("=#N/A"), "1C 2A");
    EXPECT_EQ(compiled("=#REF!"), "1C 17");
    // Text beyond Latin-1 is stored in 16-bit characters.
    EXPECT_EQ(compiled("=\"\u20AC\""), "17 01 01 AC 20");
}

TEST(FormulaParse, FunctionsTakeRangesInReferenceClass)
{
    // SUM of a range: reference-class area, then tFuncVar with its argument count.
    EXPECT_EQ(compiled("=SUM(B6:B31)"), "25 05 00 1E 00 01 C0 01 C0 42 01 04 00");
    EXPECT_EQ(compiled("=AVERAGE(A1,B2)"), "24 00 00 00 C0 24 01 00 01 C0 42 02 05 00");
    EXPECT_EQ(compiled("=MIN(A1:A2)"), "25 00 00 01 00 00 C0 00 C0 42 01 06 00");
    EXPECT_EQ(compiled("=MAX(A1:A2)"), "25 00 00 01 00 00 C0 00 C0 42 01 07 00");
    EXPECT_EQ(compiled("=COUNT(A1:A2)"), "25 00 00 01 00 00 C0 00 C0 42 01 00 00");
    // Value functions take value-class operands; fixed-count ones use tFunc.
    EXPECT_EQ(compiled("=ABS(A1)"), "44 00 00 00 C0 41 18 00");
    EXPECT_EQ(compiled("=ROUND(A1,2)"), "44 00 00 00 C0 1E 02 00 41 1B 00");
    EXPECT_EQ(compiled("=SQRT(4)"), "1E 04 00 41 14 00");
    EXPECT_EQ(compiled("=INT(A1)"), "44 00 00 00 C0 41 19 00");
    EXPECT_EQ(compiled("=IF(A1>0,1,2)"), "44 00 00 00 C0 1E 00 00 0D 1E 01 00 1E 02 00 42 03 01 00");
    EXPECT_EQ(compiled("=PI()"), "41 13 00");
    // An expression inside an aggregate keeps its value-class operands.
    EXPECT_EQ(compiled("=SUM(A1*2)"), "44 00 00 00 C0 1E 02 00 05 42 01 04 00");
    // Omitted arguments.
    EXPECT_EQ(compiled("=IF(A1,,2)"), "44 00 00 00 C0 16 1E 02 00 42 03 01 00");
    EXPECT_EQ(compiled("=sum()"), "42 00 04 00");
}

TEST(FormulaParse, RangesAreNormalisedAndWholeColumnsAllowed)
{
    EXPECT_EQ(compiled("=SUM(B31:B6)"), "25 05 00 1E 00 01 C0 01 C0 42 01 04 00");
    EXPECT_EQ(compiled("=SUM(A:B)"), "25 00 00 FF FF 00 C0 01 C0 42 01 04 00");
    EXPECT_EQ(compiled("=SUM($2:$3)"), "25 01 00 02 00 00 40 FF 40 42 01 04 00");
}

TEST(FormulaParse, ThreeDReferencesNeedTheWorkbook)
{
    TestSheet wb;
    EXPECT_EQ(compiled("=Data!$B$6:$B$31", &wb), "5B 00 00 05 00 1E 00 01 00 01 00");
    EXPECT_EQ(compiled("='Weight Chart'!A1", &wb), "5A 01 00 00 00 00 C0");
    EXPECT_EQ(compiled("='Sheet ''Q'''!A1", &wb), "5A 02 00 00 00 00 C0");
    EXPECT_EQ(compiled("=SUM(Data!B6:B7)", &wb), "3B 00 00 05 00 06 00 01 C0 01 C0 42 01 04 00");
    EXPECT_EQ(compiled("=Data!#REF!", &wb), "5C 00 00 00 00 00 00");
    EXPECT_THROW(parseFormula(QStringLiteral("=Data!A1")), Error);
    EXPECT_THROW(parseFormula(QStringLiteral("=Nowhere!A1"), &wb), Error);
}

TEST(FormulaParse, BadTextThrowsAReadableError)
{
    const char* bad[] = {
        "=",        "=1+",       "=(1+2",     "=1+2)",   "=SUM(1,2",  "=\"open",
        "=FOO(1)",  "=A0",       "=A65537",   "=IW1",    "=1 2",      "=#BAD!",
        "=ROUND(1)", "=ABS(1,2)", "=A1:",     "='Data",  "=@",        "=Data",
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        try {
            parseFormula(QString::fromUtf8(text));
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("formula")));
        }
    }
}

TEST(FormulaParse, DeepNestingIsRefusedNotACrash)
{
    const QString deep = QStringLiteral("=") + QString(5000, QLatin1Char('(')) + QStringLiteral("1")
                         + QString(5000, QLatin1Char(')'));
    EXPECT_THROW(parseFormula(deep), Error);
    const QString minus = QStringLiteral("=") + QString(5000, QLatin1Char('-')) + QStringLiteral("1");
    EXPECT_THROW(parseFormula(minus), Error);
    // Ordinary nesting is fine.
    EXPECT_NO_THROW(parseFormula(QStringLiteral("=((((((((((1))))))))))")));
}

} // namespace
