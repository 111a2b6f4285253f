// The dump is written as it is made, yet reads exactly as QJsonDocument's indented form of the
// same content: the same members in the same order, numbers and escapes alike.
#include "DumpJson.h"
#include "TestUtil.h"

#include "model/Workbook.h"
#include "io/WorkbookFile.h"

#include <QJsonArray>

namespace sheet::test {
namespace {

// What QJsonDocument makes of the text: equal only when every member, number and escape is
// written as it would write it.
void expectQtForm(const QByteArray& text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    EXPECT_EQ(doc.toJson(QJsonDocument::Indented), text);
}

TEST(WorkbookDump, ReadsAsQtWritesIt)
{
    Workbook book;
    book.addWorksheet(QStringLiteral("Data \"1\""));
    book.addWorksheet(QStringLiteral("Empty"));
    Worksheet& ws = *book.worksheet(0);
    QString awkward = QStringLiteral("tab\tquote\" back\\ slash/ nl\n cr\r bell");
    awkward += QChar(7);
    awkward += QString::fromUtf8(" é € \xF0\x9F\x98\x80 ");
    awkward += QChar(0xD800); // a lone surrogate
    ws.setText(0, 0, awkward);
    const double numbers[] = {0, -0.0, 1, -5, 0.1, 1e21, 1.5e-7, 123456789012345678.0, 3.14159265358979, 1e300};
    for (int i = 0; i < 10; ++i)
        ws.setNumber(1, i, numbers[i]);
    ws.setFormula(2, 0, QStringLiteral("=1/0"));
    ws.setFormula(2, 1, QStringLiteral("=A2>0"));
    ws.setFormula(2, 2, QStringLiteral("=\"x\"&A1"));
    book.defineName(QStringLiteral("Total"), QStringLiteral("=SUM('Data \"1\"'!$B$2:$J$2)"));
    book.addChartSheet(QStringLiteral("Chart"), {});
    const QByteArray text = dumpText(book, QLocale::c(), QStringLiteral("/tmp/a\"b.xls"));
    expectQtForm(text);
    const QJsonObject root = QJsonDocument::fromJson(text).object();
    EXPECT_EQ(root[QStringLiteral("file")].toString(), QStringLiteral("/tmp/a\"b.xls"));
    const QJsonArray cells = root[QStringLiteral("sheets")].toArray()[0].toObject()[QStringLiteral("cells")].toArray();
    EXPECT_EQ(cells[0].toObject()[QStringLiteral("value")].toObject()[QStringLiteral("value")].toString(), awkward);
    EXPECT_EQ(cells.size(), 1 + 10 + 3);
    // without a file name there is no "file"
    EXPECT_FALSE(dumpWorkbook(book, QLocale::c()).contains(QStringLiteral("file")));
}

TEST(WorkbookDump, ExcelWorkbooksReadAsQtWritesThem)
{
    for (const char* name : {"excel/testArraysAndTables.xls", "excel/testNames.xls", "12843-1.xls"}) {
        const auto book = workbookFromBytes(readFile(dataPath(name)));
        expectQtForm(dumpText(*book, QLocale(QLocale::English, QLocale::UnitedStates)));
    }
}

// A dump larger than the writer's buffer arrives in pieces, none of them the whole.
TEST(WorkbookDump, ArrivesInPieces)
{
    Workbook book;
    book.addWorksheet(QStringLiteral("Big"));
    Worksheet& ws = *book.worksheet(0);
    for (int r = 0; r < 20000; ++r)
        ws.setNumber(r, 0, r * 0.5);
    std::size_t pieces = 0, largest = 0, total = 0;
    writeWorkbookJson(book, QLocale::c(), QString(), [&](const char*, std::size_t size) {
        ++pieces;
        largest = std::max(largest, size);
        total += size;
    });
    EXPECT_GT(pieces, 2u);
    EXPECT_LT(largest, total / 2);
}

} // namespace
} // namespace sheet::test
