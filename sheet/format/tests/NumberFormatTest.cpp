#include "formula/tests/TestSheet.h"

#include "format/NumberFormat.h"

#include <gtest/gtest.h>

using namespace sheet;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kDe(QLocale::German, QLocale::Germany);

QString show(double v, const char* code, const QLocale& locale = kUs)
{
    return formatValue(Value::number(v), QString::fromUtf8(code), locale);
}

struct Case {
    double value;
    const char* code;
    const char* shown;
};

TEST(NumberFormat, BuiltinTable)
{
    EXPECT_EQ(builtinFormatCode(0), "General");
    EXPECT_EQ(builtinFormatCode(1), "0");
    EXPECT_EQ(builtinFormatCode(2), "0.00");
    EXPECT_EQ(builtinFormatCode(9), "0%");
    EXPECT_EQ(builtinFormatCode(10), "0.00%");
    EXPECT_EQ(builtinFormatCode(12), "# ?/?");
    EXPECT_EQ(builtinFormatCode(13), "# ?\?/?\?");
    EXPECT_EQ(builtinFormatCode(14), "m/d/yyyy");
    EXPECT_EQ(builtinFormatCode(49), "@");
    EXPECT_TRUE(builtinFormatCode(23).isEmpty());
    EXPECT_TRUE(builtinFormatCode(164).isEmpty());
    EXPECT_EQ(builtinFormatIndex(QStringLiteral("# ?/?")), 12);
    EXPECT_EQ(builtinFormatIndex(QStringLiteral("dd/mm/yyyy")), -1);
    for (int i = 0; i < 50; ++i) {
        if (!builtinFormatCode(i).isEmpty()) {
            EXPECT_EQ(builtinFormatIndex(builtinFormatCode(i)), i);
        }
    }
}

TEST(NumberFormat, GeneralShowsUpToElevenCharacters)
{
    const Case cases[] = {
        {0, "General", "0"},
        {5, "General", "5"},
        {-5, "General", "-5"},
        {161.42, "General", "161.42"},
        {1.0 / 3, "General", "0.333333333"},
        {2.0 / 3, "General", "0.666666667"},
        {200.0 / 70 / 70 * 703, "General", "28.69387755"},
        {0.1 + 0.2, "General", "0.3"},
        {99999999999, "General", "99999999999"},
        {123456789012, "General", "1.23457E+11"},
        {1e20, "General", "1E+20"},
        {0.000000001, "General", "0.000000001"},
        {0.0000000001, "General", "1E-10"},
        {1.5e-10, "General", "1.5E-10"},
        {-1234.5, "", "-1234.5"},
        {38148, "general", "38148"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(show(c.value, c.code), QString::fromUtf8(c.shown));
    }
    EXPECT_EQ(show(1.5, "General", kDe), "1,5");
    // Narrower, as a renderer fitting a column asks for.
    EXPECT_EQ(formatGeneral(1.0 / 3, kUs, 8), "0.333333");
    EXPECT_EQ(formatGeneral(28.69387755, kUs, 6), "28.694");
    EXPECT_EQ(formatGeneral(123456789, kUs, 8), "1.23E+08");
    EXPECT_EQ(formatGeneral(38148, kUs, 8), "38148");
}

TEST(NumberFormat, FixedDecimalsGroupingAndPercent)
{
    const Case cases[] = {
        {2.5, "0", "3"},
        {-2.5, "0", "-3"},
        {-0.4, "0", "-0"}, // the sign stays on a negative value that rounds to zero
        {-0.0001, "0.00", "-0.00"},
        {161.42, "0", "161"},
        {161.425, "0.00", "161.43"},
        {1.005, "0.00", "1.01"},
        {5, "0.00", "5.00"},
        {1234567.891, "#,##0.00", "1,234,567.89"},
        {1234567, "#,##0", "1,234,567"},
        {999.5, "#,##0", "1,000"},
        {1234567, "#,##0,", "1,235"},
        {0.5, "#.##", ".5"},
        {0.5, "0.0?", "0.5 "},
        {0.07, "0.0#", "0.07"},
        {12345.678, "00000.0", "12345.7"},
        {7, "000", "007"},
        {0.125, "0%", "13%"},
        {0.19289, "0.00%", "19.29%"},
        {1234.5, "0.00E+00", "1.23E+03"},
        {0.00012, "0.00E+00", "1.20E-04"},
        {12345, "##0.0E+0", "12.3E+3"},
        {123, "\\$0", "$123"},
        {123, "\"Total: \"0", "Total: 123"},
        {-5, "[Red]0;[Blue](0)", "(5)"},
        {5, "0_);(0)", "5 "},
        {-1234.5, "#,##0.00_);(#,##0.00)", "(1,234.50)"},
        {0, "0;(0);\"zero\"", "zero"},
        {150, "[>100]\"big\";0", "big"},
        {50, "[>100]\"big\";0", "50"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.code) + " " + std::to_string(c.value));
        EXPECT_EQ(show(c.value, c.code), QString::fromUtf8(c.shown));
    }
    EXPECT_EQ(show(1234567.891, "#,##0.00", kDe), "1.234.567,89");
    EXPECT_EQ(show(0.5, "0.00%", kDe), "50,00%");
}

TEST(NumberFormat, NumbersTooLargeToShow)
{
    EXPECT_EQ(show(1e307, "0%%"), "########");
    EXPECT_EQ(show(1e300, "0").size(), 301);
    EXPECT_EQ(show(1e300, "General"), "1E+300");
}

TEST(NumberFormat, FractionsAsTheHeightInchesCellShowsThem)
{
    const Case cases[] = {
        {0.375, "# ?/?", "3/8"},
        {5.375, "# ?/?", "5 3/8"},
        {-5.375, "# ?/?", "-5 3/8"},
        {0.5, "# ?/?", "1/2"},
        // Whole numbers keep blanks where the fraction would be, so digits line up.
        {5, "# ?/?", "5    "},
        {0, "# ?/?", "0    "},
        {10, "# ?/?", "10    "},
        {0.999, "# ?/?", "1    "},
        {0.333, "# ?/?", "1/3"},
        {3.14159, "# ?/?", "3 1/7"},
        {0.375, "# ?\?/?\?", " 3/8 "},
        {5.375, "# ?\?/?\?", "5  3/8 "},
        {3.14159, "# ?\?/?\?", "3 14/99"},
        {5.375, "?/?", "43/8"},
        {0.3, "# ?/4", "1/4"},
        {2.75, "# ?/8", "2 6/8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.code) + " " + std::to_string(c.value));
        EXPECT_EQ(show(c.value, c.code), QString::fromUtf8(c.shown));
    }
}

TEST(NumberFormat, DatesAndTimes)
{
    const Case cases[] = {
        {38148, "m/d/yyyy", "6/10/2004"},
        {38323, "m/d/yyyy", "12/2/2004"},
        {38148, "mm/dd/yy", "06/10/04"},
        {38148, "d-mmm-yy", "10-Jun-04"},
        {38148, "d-mmm", "10-Jun"},
        {38148, "mmm-yy", "Jun-04"},
        {38148, "mmmm d, yyyy", "June 10, 2004"},
        {38148, "dddd", "Thursday"},
        {38148, "ddd", "Thu"},
        {38148, "mmmmm", "J"},
        {38148.75, "h:mm AM/PM", "6:00 PM"},
        {38148.75, "h:mm:ss", "18:00:00"},
        {38148.0, "h:mm AM/PM", "12:00 AM"},
        {0.5 + 90.0 / 86400, "hh:mm:ss", "12:01:30"},
        {0.5 + 90.0 / 86400, "mm:ss", "01:30"},
        {1.25, "[h]:mm:ss", "30:00:00"},
        {0.5 + 1.25 / 86400, "mm:ss.0", "00:01.3"},
        {38148.75, "m/d/yyyy h:mm", "6/10/2004 18:00"},
        {38148.5, "A/P", "P"},
        {60, "m/d/yyyy", "2/29/1900"},
        {61, "dddd", "Thursday"},
        {0, "m/d/yyyy", "1/0/1900"},
        {-1, "m/d/yyyy", "########"},
        {38148, "dd\\.mm\\.yyyy", "10.06.2004"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.code) + " " + std::to_string(c.value));
        EXPECT_EQ(show(c.value, c.code), QString::fromUtf8(c.shown));
    }
}

TEST(NumberFormat, ShortDateFollowsTheLocaleWithAFourDigitYear)
{
    const Value d = Value::number(38148);
    EXPECT_EQ(formatCellValue(d, 14, QString(), kUs), "6/10/2004");
    EXPECT_EQ(formatCellValue(d, 14, QString(), kDe), "10.06.2004");
    EXPECT_EQ(formatCellValue(d, 14, builtinFormatCode(14), kDe), "10.06.2004");
    EXPECT_EQ(localeShortDateCode(kUs), "m/d/yyyy");
    EXPECT_EQ(localeShortDateCode(kDe), "dd.mm.yyyy");
    // Other indices use their own code, or the custom one given.
    EXPECT_EQ(formatCellValue(d, 15, QString(), kUs), "10-Jun-04");
    EXPECT_EQ(formatCellValue(Value::number(0.375), 12, QString(), kUs), "3/8");
    EXPECT_EQ(formatCellValue(d, 165, QStringLiteral("yyyy-mm-dd"), kUs), "2004-06-10");
    // The built-in currency formats take the locale's symbol and its place.
    EXPECT_EQ(formatCellValue(Value::number(1234.5), 7, QString(), kUs), "$1,234.50 ");
    EXPECT_EQ(formatCellValue(Value::number(-5), 5, QString(), kUs), "($5)");
    EXPECT_EQ(formatCellValue(Value::number(1234.5), 7, QString(), kDe), "1.234,50 \u20AC");
    EXPECT_EQ(formatCellValue(Value::number(-5), 5, QString(), kDe), "-5 \u20AC");
}

TEST(NumberFormat, TextBooleansErrorsAndEmpty)
{
    EXPECT_EQ(formatValue(Value::string(QStringLiteral("Date")), QStringLiteral("0.00"), kUs), "Date");
    EXPECT_EQ(formatValue(Value::string(QStringLiteral("x")), QStringLiteral("@"), kUs), "x");
    EXPECT_EQ(formatValue(Value::string(QStringLiteral("x")), QStringLiteral("0;-0;0;\"<\"@\">\""), kUs), "<x>");
    EXPECT_EQ(formatValue(Value::boolean(true), QStringLiteral("0.00"), kUs), "TRUE");
    EXPECT_EQ(formatValue(Value::boolean(false), QStringLiteral("General"), kUs), "FALSE");
    EXPECT_EQ(formatValue(Value::error(ErrorCode::Div0), QStringLiteral("0.00"), kUs), "#DIV/0!");
    EXPECT_EQ(formatValue(Value(), QStringLiteral("0.00"), kUs), "");
    // A number in a text-only format shows as General.
    EXPECT_EQ(show(5, "@"), "5");
}

TEST(NumberFormat, CodesAsLibreOfficeWritesThem)
{
    // FORMAT records of the reference workbooks: a locale tag in front of the code.
    EXPECT_EQ(show(0.375, "[$-409]# ?/?"), "3/8");
    EXPECT_EQ(show(38148, "[$-409]mm/dd/yy"), "06/10/04");
    EXPECT_EQ(show(27.64683317, "[$-409]0.0"), "27.6");
    EXPECT_TRUE(isFractionFormat(QStringLiteral("[$-409]# ?/?")));
    EXPECT_TRUE(isDateFormat(QStringLiteral("[$-409]mm/dd/yy")));
    EXPECT_TRUE(isGeneralFormat(QStringLiteral("General")));
    EXPECT_TRUE(isGeneralFormat(QString()));
    EXPECT_FALSE(isGeneralFormat(QStringLiteral("0")));
    // A currency tag shows its symbol.
    EXPECT_EQ(show(5, "[$\u20AC-407]0.00"), "\u20AC5.00");
}

TEST(NumberFormat, RecognisesDateAndFractionCodes)
{
    for (const char* code :
         {"m/d/yyyy", "d-mmm-yy", "h:mm", "[h]:mm:ss", "yyyy", "dd.mm.yyyy", "mmm-yy", "[$-409]m/d/yy"})
        EXPECT_TRUE(isDateFormat(QString::fromUtf8(code))) << code;
    for (const char* code : {"General", "0.00", "# ?/?", "\"d\"0", "0\\m", "[Red]0", "0.00E+00", "@", ""})
        EXPECT_FALSE(isDateFormat(QString::fromUtf8(code))) << code;
    for (const char* code : {"# ?/?", "# ?\?/?\?", "?/?", "# ?/8", "0 ?/?"})
        EXPECT_TRUE(isFractionFormat(QString::fromUtf8(code))) << code;
    for (const char* code : {"General", "m/d/yyyy", "0.00", "\"a/b\"0", "0\\/0", ""})
        EXPECT_FALSE(isFractionFormat(QString::fromUtf8(code))) << code;
}

TEST(NumberFormat, ExtremeCodesStayBounded)
{
    // A long denominator is searched to four digits only; long fractions of a second to milliseconds.
    EXPECT_EQ(show(0.5, "# ?????????\?/?????????\?"), "         1/2         ");
    EXPECT_EQ(show(0.5 + 1.5 / 86400, "ss.000000"), "01.500000");
    EXPECT_EQ(show(4.9e-324, "0.00E+00"), "4.94E-324");
    EXPECT_EQ(show(1e-310, "General"), "1E-310");
}

TEST(NumberFormat, OddCodesGiveBoundedTextWithoutThrowing)
{
    const char* codes[] = {
        "",   ";",  ";;;", "\"",   "[",   "\\",   "_",        "*",  "0.0.0",           "E+",     "0E+", "#/#/#", "?/",
        "/?", "[h", "0%%", "[>]0", ",,,", "0,,,", "yyyyyyyy", "@@", "General General", "0;;;;;;"};
    for (const char* code : codes) {
        SCOPED_TRACE(code);
        for (double v : {0.0, 1.5, -2.25, 1e300, 38148.5}) {
            QString shown;
            EXPECT_NO_THROW(shown = formatValue(Value::number(v), QString::fromUtf8(code), kUs));
            EXPECT_LE(shown.size(), 400); // 1e300 in full is 301 digits
        }
        EXPECT_NO_THROW(formatValue(Value::string(QStringLiteral("t")), QString::fromUtf8(code), kUs));
    }
    // Sections beyond the fourth are ignored; an empty section shows nothing.
    EXPECT_EQ(show(-5, "0;"), "");
    EXPECT_EQ(show(5, "0;;;;;;"), "5");
}

} // namespace
