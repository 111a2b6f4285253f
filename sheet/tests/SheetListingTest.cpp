// Listing a workbook file's sheets from its globals, and the charts embedded in worksheets.
#include "TestUtil.h"

#include "biff/Compound.h"
#include "biff/RecordIds.h"
#include "biff/RecordStream.h"
#include "io/WorkbookFile.h"
#include "model/Workbook.h"

#include <QDir>
#include <QTemporaryDir>

namespace sheet::test {
namespace {

void writeBytes(const QString& path, const Bytes& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

Bytes compound(Bytes stream)
{
    Bytes out;
    CompoundFile::write(std::move(stream), {}, [&](const std::uint8_t* d, std::size_t n) { out.assign(d, d + n); });
    return out;
}

TEST(SheetListing, ListsEverySheetInOrderWithItsKindAndVisibility)
{
    Workbook book;
    book.addWorksheet(QStringLiteral("Data"));
    book.addChartSheet(QStringLiteral("Weight Chart"), {});
    book.addWorksheet(QStringLiteral("Hidden"));
    book.sheet(2).setVisibility(Sheet::Visibility::Hidden);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.xls"));
    saveWorkbook(book, path);

    const std::vector<SheetListing> sheets = listSheets(path);
    ASSERT_EQ(sheets.size(), 3u);
    EXPECT_EQ(sheets[0].name, QStringLiteral("Data"));
    EXPECT_EQ(sheets[0].kind, Sheet::Kind::Worksheet);
    EXPECT_EQ(sheets[1].name, QStringLiteral("Weight Chart"));
    EXPECT_EQ(sheets[1].kind, Sheet::Kind::Chart);
    EXPECT_EQ(sheets[1].visibility, Sheet::Visibility::Visible);
    EXPECT_EQ(sheets[2].visibility, Sheet::Visibility::Hidden);
}

class EveryTestWorkbook : public ::testing::TestWithParam<const char*> { };

TEST_P(EveryTestWorkbook, ListingAgreesWithReading)
{
    const QString path = dataPath(GetParam());
    const auto book = loadWorkbook(path);
    const std::vector<SheetListing> sheets = listSheets(path);
    ASSERT_EQ(static_cast<int>(sheets.size()), book->sheetCount());
    for (int i = 0; i < book->sheetCount(); ++i) {
        const Sheet& s = book->sheet(i);
        EXPECT_EQ(sheets[static_cast<std::size_t>(i)].name, s.name()) << i;
        EXPECT_EQ(sheets[static_cast<std::size_t>(i)].kind, s.kind()) << i;
        EXPECT_EQ(sheets[static_cast<std::size_t>(i)].visibility, s.visibility()) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Data, EveryTestWorkbook,
                         ::testing::Values("reference-imperial.xls", "reference-metric.xls", "12843-1.xls",
                                           "44010-SingleChart.xls", "excel/testNames.xls", "excel/3dFormulas.xls",
                                           "excel/testArraysAndTables.xls"));

TEST(SheetListing, ReadsTheGlobalsOnly)
{
    // A cell whose format does not exist stops the reader, not the listing.
    Workbook built;
    built.addWorksheet(QStringLiteral("Data"));
    built.worksheet(0)->setNumber(0, 0, 7);
    Bytes stream = workbookToStream(built);
    std::size_t sheetStart = 0;
    readSubstream(stream, 0, &sheetStart);
    bool patched = false;
    for (std::size_t pos = sheetStart; pos + 4 <= stream.size();) {
        const std::uint16_t id = static_cast<std::uint16_t>(stream[pos] | (stream[pos + 1] << 8));
        const std::size_t len = static_cast<std::size_t>(stream[pos + 2] | (stream[pos + 3] << 8));
        if (id == rid::kRk) {
            stream[pos + 8] = 0xE7; // XF 999
            stream[pos + 9] = 0x03;
            patched = true;
        }
        pos += 4 + len;
    }
    ASSERT_TRUE(patched);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad-cell.xls"));
    writeBytes(path, compound(stream));

    EXPECT_THROW(loadWorkbook(path), FormatError);
    const std::vector<SheetListing> sheets = listSheets(path);
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(sheets[0].name, QStringLiteral("Data"));
}

TEST(SheetListing, RefusesWhatIsNotAWorkbookAndNamesTheFile)
{
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    writeBytes(text, Bytes(600, 'x'));
    try {
        listSheets(text);
        ADD_FAILURE() << "a text file was listed";
    } catch (const FormatError& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("'notes.txt' is not a workbook"))) << e.what();
    }
    EXPECT_THROW(listSheets(dir.path()), Error);                                  // a folder
    EXPECT_THROW(listSheets(QStringLiteral("/dev/zero")), Error);                 // never ends
    EXPECT_THROW(listSheets(dir.filePath(QStringLiteral("missing.xls"))), Error); // not there

    // A sheet that starts past the end of the stream.
    Workbook built;
    built.addWorksheet(QStringLiteral("Data"));
    Bytes stream = workbookToStream(built);
    std::size_t sheetStart = 0;
    readSubstream(stream, 0, &sheetStart);
    const Bytes truncated(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(sheetStart));
    const QString cut = dir.filePath(QStringLiteral("cut.xls"));
    writeBytes(cut, compound(truncated));
    EXPECT_THROW(listSheets(cut), FormatError);
}

// LibreOffice puts its charts on worksheets: the last three sheets of the reference hold one each.
TEST(EmbeddedCharts, TheModelKeepsThemAsAListAndSavesThemWhereTheyWere)
{
    const Bytes original = CompoundFile::fromBytes(readFile(dataPath("reference-imperial.xls"))).workbook;
    auto book = workbookFromStream(original);
    ASSERT_EQ(book->sheetCount(), 4);
    EXPECT_TRUE(book->worksheet(0)->embeddedCharts().empty());
    for (int s = 1; s < 4; ++s) {
        const std::vector<RecordList> charts = book->worksheet(s)->embeddedCharts();
        ASSERT_EQ(charts.size(), 1u) << s;
        EXPECT_NE(charts[0].front().id, rid::kBof) << "the chart's records start after its BOF";
        EXPECT_NE(charts[0].back().id, rid::kEof);
        ASSERT_EQ(book->worksheet(s)->embeddedSubstreams().size(), 1u);
        const RecordList& whole = book->worksheet(s)->embeddedSubstreams()[0];
        EXPECT_EQ(whole.size(), charts[0].size() + 2);
    }

    // Edited and saved, each chart substream is in the saved stream as it was in the original.
    book->worksheet(1)->setNumber(40, 0, 123);
    const Bytes saved = workbookToStream(*book);
    for (int s = 1; s < 4; ++s) {
        Bytes chart;
        for (const Record& r : book->worksheet(s)->embeddedSubstreams()[0])
            appendRecord(chart, r);
        EXPECT_NE(std::search(original.begin(), original.end(), chart.begin(), chart.end()), original.end()) << s;
        EXPECT_NE(std::search(saved.begin(), saved.end(), chart.begin(), chart.end()), saved.end()) << s;
    }
}

} // namespace
} // namespace sheet::test
