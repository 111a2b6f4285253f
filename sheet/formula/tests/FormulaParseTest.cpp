#include "TestSheet.h"

#include "base/Error.h"
#include "formula/Formula.h"
#include "formula/FormulaTokens.h"

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
    EXPECT_EQ(compiled("=(B6-C6)*$B$2/100"), "44 05 00 01 C0 44 05 00 02 C0 04 15 44 01 00 01 00 05 1E 64 00 06");
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
        "=",    "=1+",  "=(1+2",  "=1+2)",     "=SUM(1,2",  "=\"open", "=FOO(1)", "=A0", "=A65537",
        "=IW1", "=1 2", "=#BAD!", "=ROUND(1)", "=ABS(1,2)", "=A1:",    "='Data",  "=@",  "=Data",
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
    const QString deep
        = QStringLiteral("=") + QString(5000, QLatin1Char('(')) + QStringLiteral("1") + QString(5000, QLatin1Char(')'));
    EXPECT_THROW(parseFormula(deep), Error);
    const QString minus = QStringLiteral("=") + QString(5000, QLatin1Char('-')) + QStringLiteral("1");
    EXPECT_THROW(parseFormula(minus), Error);
    // Ordinary nesting is fine.
    EXPECT_NO_THROW(parseFormula(QStringLiteral("=((((((((((1))))))))))")));
}

} // namespace

namespace {

// Every function of the BIFF8 table prints its name and compiles back to the same tokens,
// whatever the engine computes of it.
TEST(FormulaParse, EveryBuiltInFunctionRoundTrips)
{
    TestSheet sheet;
    int count = 0;
    for (int index = 0; index < 400; ++index) {
        const ptg::FunctionInfo* f = ptg::functionByIndex(index);
        if (!f)
            continue;
        const int argc = f->minArgs >= 0 ? f->minArgs : 1;
        QStringList args;
        for (int i = 0; i < argc; ++i)
            args << QString::number(i + 1);
        const QString text = QLatin1String(f->name) + QLatin1Char('(') + args.join(QLatin1Char(',')) + QLatin1Char(')');
        Bytes extra;
        Bytes tokens;
        ASSERT_NO_THROW(tokens = parseFormula(text, &sheet, &extra)) << text.toStdString();
        EXPECT_EQ(formulaText(tokens, &sheet), text);
        EXPECT_EQ(parseFormula(formulaText(tokens, &sheet), &sheet, &extra), tokens);
        // the function number is what the table says
        const std::size_t at = tokens.size() - 2;
        EXPECT_EQ(tokens[at] | (tokens[at + 1] << 8), index) << text.toStdString();
        ++count;
    }
    EXPECT_GT(count, 300);
    // Names are not case-sensitive; macro-sheet functions are written with their count.
    EXPECT_EQ(formulaText(parseFormula(QStringLiteral("=days360(1,2)"), &sheet), &sheet),
              QStringLiteral("DAYS360(1,2)"));
    EXPECT_EQ(hexText(parseFormula(QStringLiteral("=GET.CELL(1,2)"), &sheet)),
              QStringLiteral("1E 01 00 1E 02 00 42 02 B9 00"));
}

TEST(FormulaParse, AddInCallsPrintTheirOwnName)
{
    // BIN2DEC through an external name, CONCAT through a later version's name.
    struct Env : TestSheet {
        QString externNameText(int ixti, int index) const override
        {
            return ixti == 7 && index == 3 ? QStringLiteral("BIN2DEC") : QString();
        }
    } env;
    NameDefinition concat;
    concat.name = QStringLiteral("_xlfn.CONCAT");
    concat.function = true;
    env.names.append(concat);
    EXPECT_EQ(formulaText(hex("39 07 00 03 00 00 00 1E 64 00 42 02 FF 00"), &env), QStringLiteral("BIN2DEC(100)"));
    EXPECT_EQ(formulaText(hex("23 01 00 00 00 1E 01 00 1E 02 00 42 03 FF 00"), &env), QStringLiteral("CONCAT(1,2)"));
    // Without the names the text still stands: the call of an unknown name
    EXPECT_EQ(formulaText(hex("39 07 00 04 00 00 00 42 01 FF 00")), QStringLiteral("#NAME?()"));
}

} // namespace
