// Open, change, save and reopen workbooks made by other software and by the engine itself.
#include "TestUtil.h"

#include "biff/RecordIds.h"
#include "biff/RecordStream.h"
#include "model/Workbook.h"
#include "format/DateSerial.h"
#include "format/NumberFormat.h"
#include "io/WorkbookFile.h"

#include <QLocale>
#include <QTemporaryDir>

#include <set>

namespace sheet::test {
namespace {

std::unique_ptr<Workbook> openReference(const char* name) { return loadWorkbook(dataPath(name)); }

// Records the engine rewrites from its model; everything else must come back byte for byte.
bool interpretedInGlobals(std::uint16_t id)
{
    static const std::set<std::uint16_t> ids
        = {rid::kFont,   rid::kFormat,   rid::kXf,      rid::kBoundSheet, rid::kSupBook,  rid::kExternSheet, rid::kSst,
           rid::kExtSst, rid::kContinue, rid::kWindow1, rid::kDateMode,   rid::kTemplate, rid::kRecalcId};
    return ids.count(id) > 0;
}

bool interpretedInSheet(std::uint16_t id)
{
    static const std::set<std::uint16_t> ids
        = {rid::kDimensions, rid::kDefColWidth, rid::kColInfo, rid::kDefaultRowHeight,
           rid::kRow,        rid::kLabelSst,    rid::kLabel,   rid::kRString,
           rid::kNumber,     rid::kRk,          rid::kMulRk,   rid::kBlank,
           rid::kMulBlank,   rid::kBoolErr,     rid::kFormula, rid::kString,
           rid::kShrFmla,    rid::kArray,       rid::kTable,   rid::kIndex,
           rid::kDbCell,     rid::kMergedCells, rid::kWindow2};
    return ids.count(id) > 0;
}

// The records of every substream the engine keeps as they are, in order (records of
// substreams nested in a worksheet, such as embedded charts, all count).
std::vector<RecordList> keptRecords(const Bytes& stream)
{
    std::vector<RecordList> out;
    std::size_t end = 0;
    RecordList globals = readSubstream(stream, 0, &end);
    RecordList kept;
    for (const Record& r : globals)
        if (!interpretedInGlobals(r.id))
            kept.push_back(r);
    out.push_back(kept);
    while (end + 4 <= stream.size()) {
        std::size_t next = 0;
        RecordList sheet = readSubstream(stream, end, &next);
        kept.clear();
        int depth = 0;
        for (const Record& r : sheet) {
            if (r.id == rid::kBof)
                ++depth;
            if (depth > 1 || !interpretedInSheet(r.id))
                kept.push_back(r);
            if (r.id == rid::kEof)
                --depth;
        }
        out.push_back(kept);
        end = next;
    }
    return out;
}

void expectSameCells(const Workbook& a, const Workbook& b)
{
    ASSERT_EQ(a.sheetCount(), b.sheetCount());
    for (int s = 0; s < a.sheetCount(); ++s) {
        EXPECT_EQ(a.sheet(s).name(), b.sheet(s).name());
        EXPECT_EQ(a.sheet(s).kind(), b.sheet(s).kind());
        const Worksheet* wa = a.worksheet(s);
        const Worksheet* wb = b.worksheet(s);
        if (!wa)
            continue;
        ASSERT_TRUE(wb);
        ASSERT_EQ(wa->cells().size(), wb->cells().size()) << "sheet " << s;
        for (const auto& kv : wa->cells()) {
            const int r = keyRow(kv.first), c = keyCol(kv.first);
            const Cell* cb = wb->cell(r, c);
            ASSERT_TRUE(cb) << cellName(r, c).toStdString();
            EXPECT_EQ(kv.second.xf, cb->xf) << cellName(r, c).toStdString();
            EXPECT_EQ(wa->value(r, c), wb->value(r, c)) << cellName(r, c).toStdString();
            EXPECT_EQ(wa->formulaText(r, c), wb->formulaText(r, c)) << cellName(r, c).toStdString();
        }
        EXPECT_EQ(wa->mergedRanges().size(), wb->mergedRanges().size());
        for (int c = 0; c < 12; ++c)
            EXPECT_EQ(wa->columnWidth(c), wb->columnWidth(c)) << "column " << c;
        for (int r = 0; r < 40; ++r)
            EXPECT_EQ(wa->rowHeight(r), wb->rowHeight(r)) << "row " << r;
    }
}

class ReferenceRoundTrip : public ::testing::TestWithParam<const char*> { };

TEST_P(ReferenceRoundTrip, OpenSaveReopenKeepsSheetsCellsAndUnknownRecords)
{
    const Bytes original = CompoundFile::fromBytes(readFile(dataPath(GetParam()))).workbook;
    auto book = workbookFromStream(original);
    const Bytes saved = workbookToStream(*book);
    auto again = workbookFromStream(saved);

    expectSameCells(*book, *again);
    EXPECT_EQ(book->activeSheet(), again->activeSheet());

    const auto before = keptRecords(original);
    const auto after = keptRecords(saved);
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t s = 0; s < before.size(); ++s) {
        ASSERT_EQ(before[s].size(), after[s].size()) << "substream " << s;
        for (std::size_t i = 0; i < before[s].size(); ++i) {
            EXPECT_EQ(before[s][i].id, after[s][i].id) << "substream " << s << " record " << i;
            EXPECT_TRUE(sameBytes(after[s][i].data, before[s][i].data)) << "substream " << s << " record " << i;
        }
    }
    // A second save of the reopened workbook is the same stream: nothing drifts.
    EXPECT_TRUE(sameBytes(workbookToStream(*again), saved));
}

INSTANTIATE_TEST_SUITE_P(References, ReferenceRoundTrip,
                         ::testing::Values("reference-imperial.xls", "reference-metric.xls"));

TEST(ReferenceWorkbook, SharedFormulasBecomeEachCellsOwnAndComputeAsLibreOffice)
{
    auto book = openReference("reference-imperial.xls");
    const Worksheet* data = book->worksheet(0);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->name(), QStringLiteral("Data"));
    EXPECT_EQ(data->formulaText(5, 5), QStringLiteral("=(B6*1.082+94.42)-D6*4.15"));
    EXPECT_EQ(data->formulaText(6, 6), QStringLiteral("=B7-F7"));
    EXPECT_EQ(data->formulaText(30, 8), QStringLiteral("=B31/($I$2*12+$I$3)/($I$2*12+$I$3)*703"));
    book->recalculate();
    EXPECT_NEAR(data->value(5, 5).asNumber(), 155.462, 1e-9);
    EXPECT_NEAR(data->value(5, 6).asNumber(), 50.538, 1e-9);
    EXPECT_NEAR(data->value(5, 8).asNumber(), 27.6468, 1e-4);
    EXPECT_EQ(data->value(5, 0), Value::number(38148));
    // LibreOffice writes the fraction format with a locale prefix: "[$-409]# ?/?".
    EXPECT_TRUE(book->numberFormat(book->xf(data->cellXf(2, 8)).format).endsWith(QStringLiteral("# ?/?")));
    EXPECT_DOUBLE_EQ(data->value(2, 8).asNumber(), 0.375);
}

TEST(ReferenceWorkbook, OtherStreamsOfTheContainerAreKept)
{
    auto book = openReference("reference-metric.xls");
    const CompoundFile saved = CompoundFile::fromBytes(workbookToBytes(*book));
    const CompoundFile original = CompoundFile::fromBytes(readFile(dataPath("reference-metric.xls")));
    ASSERT_EQ(saved.others.size(), original.others.size());
    for (std::size_t i = 0; i < saved.others.size(); ++i) {
        EXPECT_EQ(saved.others[i].name, original.others[i].name);
        EXPECT_TRUE(sameBytes(saved.others[i].data, original.others[i].data)) << saved.others[i].name;
    }
}

TEST(ReferenceWorkbook, ShownTextFollowsTheCellFormats)
{
    auto book = openReference("reference-imperial.xls");
    const Worksheet* data = book->worksheet(0);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(data->displayText(2, 8, us), QStringLiteral("3/8"));
    EXPECT_EQ(data->displayText(0, 0, us), QStringLiteral("Fitness Progress Chart for Men"));
    EXPECT_TRUE(data->displayText(9, 9, us).isEmpty());
}

TEST(ReferenceWorkbook, MetricValuesAfterRecalculation)
{
    auto book = openReference("reference-metric.xls");
    const Worksheet* data = book->worksheet(0);
    ASSERT_TRUE(data);
    book->recalculate();
    EXPECT_NEAR(data->value(5, 7).asNumber(), 53.0703, 1e-4);
    EXPECT_NEAR(data->value(5, 8).asNumber(), 19.3297, 1e-4);
    EXPECT_NEAR(data->value(5, 10).asNumber(), 25.6519, 1e-4);
}

TEST(ReferenceWorkbook, TypedEntriesFlowIntoFormulasAndSurviveSave)
{
    auto book = openReference("reference-imperial.xls");
    Worksheet* data = book->worksheet(0);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    data->setInput(1, 8, QStringLiteral("5"), us);
    data->setInput(2, 8, QStringLiteral("10"), us);
    data->setInput(5, 0, QStringLiteral("6/10/2004"), us);
    data->setInput(5, 1, QStringLiteral("200"), us);
    data->setInput(5, 3, QStringLiteral("36"), us);
    for (int r = 6; r < 32; ++r)
        for (int c = 0; c < 9; ++c)
            data->setInput(r, c, QString(), us);

    auto again = workbookFromBytes(workbookToBytes(*book));
    const Worksheet* d = again->worksheet(0);
    EXPECT_EQ(d->value(5, 0), Value::number(38148));
    EXPECT_NEAR(d->value(5, 5).asNumber(), 161.42, 1e-9);
    EXPECT_NEAR(d->value(5, 6).asNumber(), 38.58, 1e-9);
    EXPECT_NEAR(d->value(5, 7).asNumber(), 19.29, 1e-9);
    EXPECT_NEAR(d->value(5, 8).asNumber(), 200.0 / 70 / 70 * 703, 1e-9);
    // Formulas of cleared rows are gone; their formats stay, so the used range still ends there.
    EXPECT_FALSE(d->cell(6, 5) && d->cell(6, 5)->isFormula());
    EXPECT_TRUE(d->value(20, 1).isEmpty());
    // The three embedded charts are still there.
    const Bytes stream = workbookToStream(*again);
    int charts = 0;
    for (std::size_t i = 0; i + 8 <= stream.size(); ++i)
        if (stream[i] == 0x09 && stream[i + 1] == 0x08 && stream[i + 2] == 16 && stream[i + 6] == 0x20
            && stream[i + 7] == 0)
            ++charts;
    EXPECT_EQ(charts, 3);
}

TEST(ReferenceWorkbook, DateTypedIntoGeneralCellOfAnotherWriterShowsAsDate)
{
    auto book = openReference("reference-imperial.xls");
    Worksheet* data = book->worksheet(0);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    // An untouched cell: its format is the file's own General, whatever index it has.
    ASSERT_TRUE(isGeneralFormat(book->xfNumberFormat(data->cellXf(40, 2))));
    data->setInput(40, 2, QStringLiteral("6/10/2004"), us);
    EXPECT_EQ(data->value(40, 2), Value::number(38148));
    EXPECT_TRUE(isDateFormat(book->xfNumberFormat(data->cellXf(40, 2))));
    data->setDate(41, 2, QDate(2004, 7, 1));
    EXPECT_EQ(data->value(41, 2), Value::number(38169));
    EXPECT_TRUE(isDateFormat(book->xfNumberFormat(data->cellXf(41, 2))));
}

} // namespace
} // namespace sheet::test
