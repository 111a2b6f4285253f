#include "TestUtil.h"

#include "model/CellRange.h"
#include "biff/CellRecords.h"

#include <cmath>
#include <limits>

namespace sheet::test {
namespace {

struct RkCase {
    double value;
    bool encodable;
    std::uint32_t rk;
};

TEST(Rk, EncodesTheCompactFormsAndOnlyExactOnes)
{
    const RkCase cases[] = {
        {0.0, true, 0x00000002}, // integer form
        {1.0, true, 0x00000006},
        {-1.0, true, 0xFFFFFFFE},
        {536870911.0, true, 0x7FFFFFFE}, // largest 30-bit integer
        {-536870912.0, true, 0x80000002},
        {1.5, true, 0x3FF80000},  // double with 34 zero low bits
        {0.01, true, 0x00000007}, // hundredths: 1 / 100
        {1.25, true, 0x3FF40000},
        {12345.67, true, (1234567u << 2) | 3},
        {1.0 / 3, false, 0},
        {1e300, false, 0},
        {std::numeric_limits<double>::quiet_NaN(), false, 0},
        {std::numeric_limits<double>::infinity(), false, 0},
    };
    for (const RkCase& c : cases) {
        std::uint32_t rk = 0;
        EXPECT_EQ(encodeRk(c.value, &rk), c.encodable) << c.value;
        if (c.encodable) {
            EXPECT_EQ(rk, c.rk) << c.value;
            EXPECT_EQ(decodeRk(rk), c.value) << c.value;
        }
    }
}

TEST(Rk, DecodesEveryFlagCombination)
{
    EXPECT_EQ(decodeRk(0x3FF00000), 1.0);        // double
    EXPECT_EQ(decodeRk(0x3FF00001), 0.01);       // double / 100
    EXPECT_EQ(decodeRk((100u << 2) | 2), 100.0); // integer
    EXPECT_EQ(decodeRk((150u << 2) | 3), 1.5);   // integer / 100
    EXPECT_EQ(decodeRk(0xFFFFFFF6), -3.0);       // negative integer
}

TEST(FormulaResult, EachKindRoundTrips)
{
    const Value values[]
        = {Value::number(2.5),    Value::string(QStringLiteral("abc")), Value::string(QString()), Value::boolean(true),
           Value::boolean(false), Value::error(ErrorCode::NA)};
    for (const Value& v : values) {
        ByteWriter w;
        encodeFormulaResult(w, v);
        ASSERT_EQ(w.size(), 8u);
        bool stringFollows = false;
        const Value back = decodeFormulaResult(w.data().data(), &stringFollows);
        EXPECT_EQ(stringFollows, v.isString() && !v.asString().isEmpty());
        if (!stringFollows) {
            EXPECT_EQ(back, v);
        }
    }
    // An unknown error code reads as #N/A rather than an invalid value.
    const std::uint8_t odd[8] = {2, 0, 0x63, 0, 0, 0, 0xFF, 0xFF};
    bool sf = false;
    EXPECT_EQ(decodeFormulaResult(odd, &sf), Value::error(ErrorCode::NA));
}

TEST(CellNames, A1TextBothWays)
{
    EXPECT_EQ(cellName(0, 0), QStringLiteral("A1"));
    EXPECT_EQ(cellName(31, 10), QStringLiteral("K32"));
    EXPECT_EQ(columnName(255), QStringLiteral("IV"));
    int r = -1, c = -1;
    EXPECT_TRUE(parseCellName(QStringLiteral("$I$3"), &r, &c));
    EXPECT_EQ(r, 2);
    EXPECT_EQ(c, 8);
    EXPECT_FALSE(parseCellName(QStringLiteral("IW1"), &r, &c));
    EXPECT_FALSE(parseCellName(QStringLiteral("A0"), &r, &c));
    EXPECT_FALSE(parseCellName(QStringLiteral("A65537"), &r, &c));
    CellRange range;
    EXPECT_TRUE(parseRangeName(QStringLiteral("K32:A1"), &range));
    EXPECT_EQ(range, (CellRange{0, 0, 31, 10}));
}

} // namespace
} // namespace sheet::test
