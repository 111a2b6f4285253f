// The writer's records, byte by byte, against annotated expected buffers.
#include "TestUtil.h"

#include "biff/RecordIds.h"
#include "biff/RecordStream.h"
#include "model/Workbook.h"
#include "io/WorkbookFile.h"

namespace sheet::test {
namespace {

// Every record of the stream in order, substreams flattened.
RecordList allRecords(const Bytes& stream)
{
    RecordList out;
    std::size_t pos = 0;
    while (pos + 4 <= stream.size()) {
        std::size_t next = 0;
        RecordList part = readSubstream(stream, pos, &next);
        out.insert(out.end(), part.begin(), part.end());
        pos = next;
    }
    return out;
}

RecordList recordsWithId(const Bytes& stream, std::uint16_t id)
{
    RecordList out;
    for (const Record& r : allRecords(stream))
        if (r.id == id)
            out.push_back(r);
    return out;
}

// Raw bytes (headers included) of the records strictly between the first `from` record and
// the next `to` record of the stream.
Bytes bytesBetween(const Bytes& stream, std::uint16_t from, std::uint16_t to)
{
    Bytes out;
    bool inside = false;
    for (const Record& r : allRecords(stream)) {
        if (inside && r.id == to)
            break;
        if (inside)
            appendRecord(out, r);
        if (r.id == from)
            inside = true;
    }
    return out;
}

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

class CellTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        book.addWorksheet(QStringLiteral("Data"));
        ws = book.worksheet(0);
        Xf shaded = book.xf(15);
        shaded.setSolidFill(22);
        customXf = static_cast<std::uint16_t>(book.addXf(shaded));
    }
    Workbook book;
    Worksheet* ws = nullptr;
    std::uint16_t customXf = 0;
};

TEST_F(CellTable, EveryCellKindAsTheSpreadsheetWritesIt)
{
    ws->setText(0, 0, QStringLiteral("Date"));
    ws->setNumber(0, 1, 42);
    ws->setNumber(0, 2, 43);
    ws->setNumber(0, 3, 0.1);
    ws->setNumber(1, 0, 1.0 / 3);
    ws->setCellXf(1, 1, customXf);
    ws->setCellXf(1, 2, customXf);
    ws->setBool(1, 3, true);
    ws->setError(1, 4, ErrorCode::Div0);
    ws->setFormulaTokens(2, 0, {0x44, 0x00, 0x00, 0x01, 0xC0, 0x1E, 0x02, 0x00, 0x05}); // =B1*2
    ws->setFormulaTokens(2, 1, {0x17, 0x01, 0x00, 'a', 0x17, 0x01, 0x00, 'b', 0x08});   // ="a"&"b"
    ws->setFormulaTokens(2, 2, {0x17, 0x00, 0x00});                                     // =""
    ws->setFormulaTokens(2, 3, {0x1E, 0x01, 0x00, 0x1E, 0x01, 0x00, 0x0B});             // =1=1
    ws->setFormulaTokens(2, 4, {0x1E, 0x01, 0x00, 0x1E, 0x00, 0x00, 0x06});             // =1/0

    const Bytes stream = workbookToStream(book);
    const Bytes expected = cat({
        // ROW: row, first col, last col + 1, height 255, 0, 0, flags 0x0100, xf 15
        recordBytes(rid::kRow, {0, 0, 0, 0, 4, 0, 0xFF, 0, 0, 0, 0, 0, 0x00, 0x01, 0x0F, 0}),
        recordBytes(rid::kRow, {1, 0, 0, 0, 5, 0, 0xFF, 0, 0, 0, 0, 0, 0x00, 0x01, 0x0F, 0}),
        recordBytes(rid::kRow, {2, 0, 0, 0, 5, 0, 0xFF, 0, 0, 0, 0, 0, 0x00, 0x01, 0x0F, 0}),
        // A1 LABELSST: row 0, col 0, xf 15, string 0
        recordBytes(rid::kLabelSst, {0, 0, 0, 0, 15, 0, 0, 0, 0, 0}),
        // B1:D1 MULRK: 42 = (42 << 2) | 2, 43, 0.1 as hundredths (10 << 2) | 3; last col 3
        recordBytes(rid::kMulRk, {0, 0, 1, 0, 15, 0, 0xAA, 0, 0, 0, 15, 0, 0xAE, 0, 0, 0, 15, 0, 0x2B, 0, 0, 0, 3, 0}),
        // A2 NUMBER 1/3 (no exact RK form)
        recordBytes(rid::kNumber, {1, 0, 0, 0, 15, 0, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0xD5, 0x3F}),
        // B2:C2 MULBLANK with the shaded format
        recordBytes(rid::kMulBlank,
                    {1, 0, 1, 0, static_cast<std::uint8_t>(customXf), 0, static_cast<std::uint8_t>(customXf), 0, 2, 0}),
        // D2 BOOLERR TRUE, E2 BOOLERR #DIV/0!
        recordBytes(rid::kBoolErr, {1, 0, 3, 0, 15, 0, 1, 0}),
        recordBytes(rid::kBoolErr, {1, 0, 4, 0, 15, 0, 0x07, 1}),
        // A3 FORMULA: cached 84.0, grbit 3 (always calc, calc on load), chn 0, cce 9, tokens
        recordBytes(rid::kFormula, {2, 0, 0, 0, 15, 0, 0,    0,    0,    0,    0,    0,    0x55, 0x40, 3,   0,
                                    0, 0, 0, 0, 9,  0, 0x44, 0x00, 0x00, 0x01, 0xC0, 0x1E, 0x02, 0x00, 0x05}),
        // B3 FORMULA with a text result, then its STRING "ab"
        recordBytes(rid::kFormula, {2, 0, 1, 0, 15, 0, 0,    0,    0,    0,   0,    0,    0xFF, 0xFF, 3,   0,
                                    0, 0, 0, 0, 9,  0, 0x17, 0x01, 0x00, 'a', 0x17, 0x01, 0x00, 'b',  0x08}),
        recordBytes(rid::kString, {2, 0, 0, 'a', 'b'}),
        // C3 empty text result: kind 3, no STRING
        recordBytes(rid::kFormula,
                    {2, 0, 2, 0, 15, 0, 3, 0, 0, 0, 0, 0, 0xFF, 0xFF, 3, 0, 0, 0, 0, 0, 3, 0, 0x17, 0x00, 0x00}),
        // D3 boolean result TRUE: kind 1, value in byte 2
        recordBytes(rid::kFormula, {2, 0, 3, 0, 15, 0, 1, 0,    1,    0,    0,    0,    0xFF, 0xFF, 3,
                                    0, 0, 0, 0, 0,  7, 0, 0x1E, 0x01, 0x00, 0x1E, 0x01, 0x00, 0x0B}),
        // E3 error result #DIV/0!: kind 2, code in byte 2
        recordBytes(rid::kFormula, {2, 0, 4, 0, 15, 0, 2, 0,    0x07, 0,    0,    0,    0xFF, 0xFF, 3,
                                    0, 0, 0, 0, 0,  7, 0, 0x1E, 0x01, 0x00, 0x1E, 0x00, 0x00, 0x06}),
    });
    EXPECT_TRUE(sameBytes(bytesBetween(stream, rid::kDimensions, rid::kWindow2), expected));

    // DIMENSIONS: first row 0, last row + 1 = 3, first col 0, last col + 1 = 5
    const RecordList dims = recordsWithId(stream, rid::kDimensions);
    ASSERT_EQ(dims.size(), 1u);
    EXPECT_TRUE(sameBytes(dims[0].data, {0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 5, 0, 0, 0}));
}

TEST_F(CellTable, NoFormulaPointsAtAMissingSharedFormula)
{
    // A cell of a shared formula group whose anchor (and its SHRFMLA) is gone.
    ws->setFormulaTokens(1, 0, {0x01, 0x00, 0x00, 0x00, 0x00});
    const Bytes stream = workbookToStream(book);
    EXPECT_TRUE(recordsWithId(stream, rid::kFormula).empty());
    const RecordList blanks = recordsWithId(stream, rid::kBlank);
    ASSERT_EQ(blanks.size(), 1u);
    EXPECT_TRUE(sameBytes(blanks[0].data, {1, 0, 0, 0, 15, 0}));
}

TEST_F(CellTable, RowsComeInBlocksOf32BeforeTheirCells)
{
    ws->setNumber(0, 0, 1);
    ws->setNumber(40, 0, 2);
    ws->setRowHeight(33, 600);
    const RecordList all = allRecords(workbookToStream(book));
    std::vector<std::uint16_t> order;
    for (const Record& r : all)
        if (r.id == rid::kRow || r.id == rid::kRk)
            order.push_back(r.id);
    EXPECT_EQ(order, (std::vector<std::uint16_t>{rid::kRow, rid::kRk, rid::kRow, rid::kRow, rid::kRk}));
    // Row 34 (index 33): height 600 twips, flagged as set by hand (0x40)
    const RecordList rows = recordsWithId(workbookToStream(book), rid::kRow);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(sameBytes(rows[1].data, {33, 0, 0, 0, 0, 0, 0x58, 0x02, 0, 0, 0, 0, 0x40, 0x01, 0x0F, 0}));
}

TEST_F(CellTable, ColumnWidthsMergeIntoRangesAndMergedCells)
{
    ws->setColumnWidth(0, 2, 3000);
    ws->setColumnWidth(4, 4, 1000);
    ws->addMergedRange(CellRange{0, 1, 0, 3});
    const Bytes stream = workbookToStream(book);
    const RecordList cols = recordsWithId(stream, rid::kColInfo);
    ASSERT_EQ(cols.size(), 2u);
    // first, last, width 3000 (0x0BB8), xf 15, flags 0x0002 (set by the user), reserved
    EXPECT_TRUE(sameBytes(cols[0].data, {0, 0, 2, 0, 0xB8, 0x0B, 15, 0, 2, 0, 0, 0}));
    EXPECT_TRUE(sameBytes(cols[1].data, {4, 0, 4, 0, 0xE8, 0x03, 15, 0, 2, 0, 0, 0}));
    const RecordList merged = recordsWithId(stream, rid::kMergedCells);
    ASSERT_EQ(merged.size(), 1u);
    // one range: rows 0..0, columns 1..3
    EXPECT_TRUE(sameBytes(merged[0].data, {1, 0, 0, 0, 0, 0, 1, 0, 3, 0}));
    EXPECT_THROW(ws->addMergedRange(CellRange{0, 3, 1, 4}), Error);
}

TEST(GlobalsRecords, BoundSheetsPointAtTheirBofsAndSheetKindsAreKept)
{
    Workbook book;
    book.addWorksheet(QStringLiteral("Data"));
    book.addChartSheet(QStringLiteral("Chart"), {Record{0x1001, {0, 0}}});
    book.worksheet(0)->setText(0, 0, QStringLiteral("x"));
    const Bytes stream = workbookToStream(book);
    const RecordList sheets = recordsWithId(stream, rid::kBoundSheet);
    ASSERT_EQ(sheets.size(), 2u);
    // offset, visible, type 0 (worksheet) / 2 (chart), name as a short string
    const Bytes data = sheets[0].data;
    EXPECT_TRUE(sameBytes(Bytes(data.begin() + 4, data.end()), {0, 0, 4, 0, 'D', 'a', 't', 'a'}));
    EXPECT_EQ(sheets[1].data[5], 2);
    const std::uint16_t kinds[2] = {rid::kBofWorksheet, rid::kBofChart};
    for (int i = 0; i < 2; ++i) {
        ByteReader r(sheets[static_cast<std::size_t>(i)].data);
        const std::uint32_t pos = r.u32();
        ASSERT_LT(pos + 8, stream.size());
        EXPECT_EQ(stream[pos], 0x09);
        EXPECT_EQ(stream[pos + 1], 0x08);
        EXPECT_EQ(stream[pos + 6] | (stream[pos + 7] << 8), kinds[i]);
    }
    // The chart sheet body comes back record for record.
    auto again = workbookFromStream(stream);
    ASSERT_EQ(again->sheet(1).kind(), Sheet::Kind::Chart);
    ASSERT_EQ(again->sheet(1).records().size(), 1u);
    EXPECT_EQ(again->sheet(1).records()[0].id, 0x1001);
}

TEST(GlobalsRecords, FontXfAndFormatEncodings)
{
    Font bold;
    bold.weight = 700;
    // height 200, flags 0, colour automatic 0x7FFF, weight 700, script 0, underline, family,
    // charset, reserved, then "Arial" as a short string
    EXPECT_TRUE(sameBytes(bold.encode(),
                          {0xC8, 0, 0, 0, 0xFF, 0x7F, 0xBC, 0x02, 0, 0, 0, 0, 0, 0, 5, 0, 'A', 'r', 'i', 'a', 'l'}));
    // default cell XF: font 0, format 14, locked cell with parent 0, bottom aligned,
    // "number format used", no borders, pattern colours 0x40 / 0x41
    EXPECT_TRUE(sameBytes(cellXf(0, 14).encode(),
                          {0, 0, 14, 0, 0x01, 0x00, 0x20, 0, 0x00, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20}));

    Workbook book;
    book.addWorksheet(QStringLiteral("S"));
    EXPECT_EQ(book.addNumberFormat(QStringLiteral("0.00")), 2); // built in: no record
    EXPECT_EQ(book.addNumberFormat(QStringLiteral("0.000")), 164);
    EXPECT_EQ(book.addNumberFormat(QStringLiteral("0.000")), 164);
    EXPECT_EQ(book.addFont(bold), 5); // font index 4 does not exist
    const RecordList formats = recordsWithId(workbookToStream(book), rid::kFormat);
    ASSERT_EQ(formats.size(), 1u);
    EXPECT_TRUE(sameBytes(formats[0].data, {164, 0, 5, 0, 0, '0', '.', '0', '0', '0'}));
    EXPECT_THROW(book.font(4), Error);
    EXPECT_EQ(book.font(5).weight, 700);
}

TEST(GlobalsRecords, ExternSheetTableForThreeDimensionalReferences)
{
    Workbook book;
    book.addWorksheet(QStringLiteral("Data"));
    book.addWorksheet(QStringLiteral("Other"));
    EXPECT_EQ(book.externSheetIndex(1), 0);
    EXPECT_EQ(book.externSheetIndex(0), 1);
    EXPECT_EQ(book.externSheetIndex(1), 0);
    EXPECT_EQ(book.sheetForExternSheetIndex(1), 0);
    EXPECT_EQ(book.sheetForExternSheetIndex(2), -1);
    const Bytes stream = workbookToStream(book);
    const RecordList sup = recordsWithId(stream, rid::kSupBook);
    ASSERT_EQ(sup.size(), 1u);
    EXPECT_TRUE(sameBytes(sup[0].data, {2, 0, 0x01, 0x04})); // two sheets, this workbook
    const RecordList ext = recordsWithId(stream, rid::kExternSheet);
    ASSERT_EQ(ext.size(), 1u);
    // two entries: (supbook 0, sheet 1..1), (supbook 0, sheet 0..0)
    EXPECT_TRUE(sameBytes(ext[0].data, {2, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0}));
    // Adding a sheet later updates the self reference's sheet count.
    book.addChartSheet(QStringLiteral("Chart"), {});
    EXPECT_EQ(recordsWithId(workbookToStream(book), rid::kSupBook)[0].data[0], 3);
}

TEST(GlobalsRecords, WindowsMarkOnlyTheActiveSheetAndTemplateRecordLeadsTheGlobals)
{
    Workbook book;
    book.addWorksheet(QStringLiteral("A"));
    book.addWorksheet(QStringLiteral("B"));
    book.setActiveSheet(1);
    book.setTemplate(true);
    const Bytes stream = workbookToStream(book);
    const RecordList all = allRecords(stream);
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[1].id, rid::kTemplate);
    EXPECT_TRUE(all[1].data.empty());
    const RecordList w1 = recordsWithId(stream, rid::kWindow1);
    ASSERT_EQ(w1.size(), 1u);
    EXPECT_EQ(w1[0].data[10], 1); // active tab
    EXPECT_EQ(w1[0].data[14], 1); // one selected tab
    const RecordList w2 = recordsWithId(stream, rid::kWindow2);
    ASSERT_EQ(w2.size(), 2u);
    EXPECT_TRUE(sameBytes(Bytes(w2[0].data.begin(), w2[0].data.begin() + 2), {0xB6, 0x00}));
    EXPECT_TRUE(sameBytes(Bytes(w2[1].data.begin(), w2[1].data.begin() + 2), {0xB6, 0x06}));

    auto again = workbookFromStream(stream);
    EXPECT_TRUE(again->isTemplate());
    EXPECT_EQ(again->activeSheet(), 1);
}

TEST(GlobalsRecords, SavingTwiceGivesTheSameBytes)
{
    auto build = [] {
        auto book = std::make_unique<Workbook>();
        book->addWorksheet(QStringLiteral("Data"));
        book->worksheet(0)->setText(0, 0, QStringLiteral("Gewicht \u00FC \u20AC"));
        book->worksheet(0)->setNumber(1, 0, 72.5);
        return book;
    };
    const Bytes first = workbookToBytes(*build());
    const Bytes second = workbookToBytes(*build());
    EXPECT_TRUE(sameBytes(first, second));
    auto again = workbookFromBytes(first);
    EXPECT_EQ(again->worksheet(0)->value(0, 0), Value::string(QStringLiteral("Gewicht \u00FC \u20AC")));
}

} // namespace
} // namespace sheet::test
