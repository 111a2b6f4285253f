// Array formulas and data tables in a workbook: computed over their ranges, shown as the
// spreadsheet shows them, saved with their records.
#include "TestUtil.h"

#include "biff/Compound.h"
#include "biff/RecordIds.h"
#include "biff/RecordStream.h"
#include "model/CellRange.h"
#include "model/Workbook.h"
#include "DumpJson.h"
#include "io/WorkbookFile.h"

#include <QJsonArray>

namespace sheet::test {
namespace {

std::vector<Record> recordsOf(const Bytes& file, std::uint16_t id)
{
    const CompoundFile c = CompoundFile::fromBytes(file);
    std::vector<Record> out;
    std::size_t pos = 0;
    while (pos < c.workbook.size()) {
        std::size_t end = 0;
        RecordList part = readSubstream(c.workbook, pos, &end);
        for (const Record& r : part)
            if (r.id == id)
                out.push_back(r);
        pos = end;
    }
    return out;
}

CellRange range(const char* text)
{
    CellRange r;
    parseRangeName(QString::fromLatin1(text), &r);
    return r;
}

TEST(ArrayFormulas, ComputedOverTheirRangeAndShownInBraces)
{
    Workbook book;
    book.addWorksheet(QStringLiteral("S"));
    Worksheet* ws = book.worksheet(0);
    for (int r = 0; r < 3; ++r) {
        ws->setNumber(r, 0, r + 1);
        ws->setNumber(r, 1, 10 * (r + 1));
    }
    ws->setArrayFormula(range("C1:C3"), QStringLiteral("=A1:A3*B1:B3"));
    ws->setArrayFormula(range("D1"), QStringLiteral("=SUM(A1:A3*B1:B3)"));
    ws->setArrayFormula(range("E1:F2"), QStringLiteral("=TRANSPOSE(A1:A2)"));
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(ws->formulaText(r, 2), QStringLiteral("{=A1:A3*B1:B3}"));
    EXPECT_EQ(ws->value(0, 2), Value::number(10));
    EXPECT_EQ(ws->value(2, 2), Value::number(90));
    EXPECT_EQ(ws->value(0, 3), Value::number(140));
    // TRANSPOSE gives one row of two: it repeats down the range
    EXPECT_EQ(ws->value(1, 5), Value::number(2));
    ws->setNumber(1, 0, 5);
    EXPECT_EQ(ws->value(1, 2), Value::number(100));
    EXPECT_EQ(ws->value(0, 3), Value::number(10 + 100 + 90));

    // saved and read back: still one array formula
    auto again = workbookFromBytes(workbookToBytes(book));
    Worksheet* a = again->worksheet(0);
    EXPECT_EQ(a->formulaText(2, 2), QStringLiteral("{=A1:A3*B1:B3}"));
    again->worksheet(0)->setNumber(2, 0, 0);
    EXPECT_EQ(a->value(2, 2), Value::number(0));
    EXPECT_EQ(recordsOf(workbookToBytes(*again), rid::kArray).size(), 3u);
    EXPECT_THROW(ws->setArrayFormula(range("G1:G2"), QStringLiteral("=A1:A3*")), Error);
}

TEST(ArrayFormulas, AnOverwrittenFirstCellLeavesTheOthersTheirValues)
{
    Workbook book;
    book.addWorksheet(QStringLiteral("S"));
    Worksheet* ws = book.worksheet(0);
    ws->setNumber(0, 0, 2);
    ws->setNumber(1, 0, 3);
    ws->setArrayFormula(range("B1:B2"), QStringLiteral("=A1:A2*2"));
    EXPECT_EQ(ws->value(1, 1), Value::number(6));
    ws->setNumber(0, 1, 99); // the cell the group hangs on
    auto again = workbookFromBytes(workbookToBytes(book));
    EXPECT_EQ(again->worksheet(0)->formulaText(1, 1), QString());
    EXPECT_EQ(again->worksheet(0)->value(1, 1), Value::number(6));
}

TEST(DataTables, KeptByteForByteAndComputedAgain)
{
    const Bytes file = readFile(dataPath("excel/testArraysAndTables.xls"));
    auto book = workbookFromBytes(file);
    Worksheet* ws = book->worksheet(0);
    // one-input tables, row and column oriented, and a two-input table
    EXPECT_EQ(ws->formulaText(26, 2), QStringLiteral("{=TABLE(B26,)}"));
    EXPECT_EQ(ws->formulaText(32, 3), QStringLiteral("{=TABLE(,B32)}"));
    EXPECT_EQ(ws->formulaText(40, 2), QStringLiteral("{=TABLE(B38,B39)}"));
    EXPECT_EQ(ws->formulaText(26, 1), QStringLiteral("=B26+100&\"a\""));
    // the dump shows them so, with the range each covers
    QHash<QString, QJsonObject> dumped;
    const QJsonArray sheets = dumpWorkbook(*book, QLocale::c())[QStringLiteral("sheets")].toArray();
    for (const QJsonValue& c : sheets[0].toObject()[QStringLiteral("cells")].toArray())
        dumped.insert(c.toObject()[QStringLiteral("address")].toString(), c.toObject());
    EXPECT_EQ(dumped[QStringLiteral("C28")][QStringLiteral("formula")].toString(), QStringLiteral("{=TABLE(B26,)}"));
    EXPECT_EQ(dumped[QStringLiteral("C28")][QStringLiteral("group")].toString(), QStringLiteral("C27:E28"));
    EXPECT_EQ(dumped[QStringLiteral("E41")][QStringLiteral("group")].toString(), QStringLiteral("C41:F46"));
    EXPECT_TRUE(dumped[QStringLiteral("B27")][QStringLiteral("group")].isNull());
    // the tables' records go out as they came
    const Bytes saved = workbookToBytes(*book);
    const auto before = recordsOf(file, rid::kTable), after = recordsOf(saved, rid::kTable);
    ASSERT_EQ(before.size(), 3u);
    ASSERT_EQ(after.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(sameBytes(after[i].data, before[i].data));
    // new input values along the edge: the results follow
    ws->setNumber(25, 2, 5);                  // C26: row input 3 -> 5
    ws->setNumber(33, 1, 7);                  // B34: column input 4 -> 7
    ws->setText(41, 1, QStringLiteral("zz")); // B42
    EXPECT_EQ(ws->value(26, 2), Value::string(QStringLiteral("105a")));
    EXPECT_EQ(ws->value(27, 2), Value::number(25));
    EXPECT_EQ(ws->value(33, 2), Value::number(93));
    EXPECT_EQ(ws->value(33, 4), Value::string(QStringLiteral("93#7#")));
    EXPECT_EQ(ws->value(41, 2), Value::string(QStringLiteral("9zz")));
    // the input cells themselves keep their values
    EXPECT_EQ(ws->value(25, 1), Value::number(0));
    EXPECT_EQ(ws->value(26, 1), Value::string(QStringLiteral("100a")));
}

TEST(RecalcRangeNodes, ManyFormulasOverOneRangeOfFormulas)
{
    // 300 formulas each summing a column of 300 formulas: computed in order through one
    // node for the range; a formula inside the range it sums is circular.
    Workbook book;
    book.addWorksheet(QStringLiteral("S"));
    Worksheet* ws = book.worksheet(0);
    for (int r = 0; r < 300; ++r) {
        ws->setFormula(r, 0, QStringLiteral("=ROW()"));
        ws->setFormula(r, 1, QStringLiteral("=SUM(A$1:A$300)+ROW()"));
    }
    EXPECT_EQ(ws->value(0, 1), Value::number(45150 + 1));
    EXPECT_EQ(ws->value(299, 1), Value::number(45150 + 300));
    ws->setFormula(10, 0, QStringLiteral("=SUM(A1:A300)"));
    EXPECT_EQ(ws->value(10, 0), Value::error(ErrorCode::Ref));
    EXPECT_EQ(ws->value(0, 1), Value::error(ErrorCode::Ref));
}

} // namespace
} // namespace sheet::test
