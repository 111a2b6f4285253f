// How a worksheet prints: the page set-up in the model, its SETUP and WSBOOL records.
#include "TestUtil.h"

#include "biff/RecordIds.h"
#include "biff/RecordStream.h"
#include "io/WorkbookFile.h"
#include "model/Workbook.h"

#include <algorithm>

namespace sheet::test {
namespace {

// The records of the first sheet's substream (the one after the globals).
RecordList firstSheetRecords(const Bytes& stream)
{
    std::size_t end = 0;
    readSubstream(stream, 0, &end);
    return readSubstream(stream, end);
}

std::vector<std::uint16_t> ids(const RecordList& records)
{
    std::vector<std::uint16_t> out;
    for (const Record& r : records)
        out.push_back(r.id);
    return out;
}

const Record* find(const RecordList& records, std::uint16_t id)
{
    for (const Record& r : records)
        if (r.id == id)
            return &r;
    return nullptr;
}

int position(const RecordList& records, std::uint16_t id)
{
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].id == id)
            return static_cast<int>(i);
    return -1;
}

PageSetup landscapeA4OnePageWide()
{
    PageSetup s;
    s.setPaper(PageSetup::A4, true, 600);
    s.fitToPages = true;
    s.fitWidth = 1;
    s.fitHeight = 0;
    s.headerMargin = 0.3;
    s.footerMargin = 0.3;
    return s;
}

TEST(PageSetup, EncodesTheSetupRecordFieldByField)
{
    PageSetup s = landscapeA4OnePageWide();
    s.copies = 2;
    s.firstPageNumber = -3;
    const Bytes expected = {
        0x09, 0x00,                                     // paper: A4
        0x64, 0x00,                                     // scale 100 %
        0xFD, 0xFF,                                     // first page number -3
        0x01, 0x00,                                     // one page wide
        0x00, 0x00,                                     // as many pages tall as it takes
        0x00, 0x00,                                     // landscape, printer settings valid
        0x58, 0x02, 0x58, 0x02,                         // 600 x 600 dpi
        0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0xD3, 0x3F, // header margin 0.3 in
        0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0xD3, 0x3F, // footer margin 0.3 in
        0x02, 0x00,                                     // two copies
    };
    EXPECT_TRUE(sameBytes(s.encode(), expected));
    EXPECT_TRUE(s.landscape());
}

TEST(PageSetup, DecodesWhatItEncodesAndRefusesOtherSizes)
{
    PageSetup s = landscapeA4OnePageWide();
    s.fitToPages = false; // WSBOOL's, not SETUP's
    s.flags |= PageSetup::BlackAndWhite | PageSetup::UseFirstPageNumber;
    EXPECT_EQ(PageSetup::decode(s.encode()), s);
    Bytes shorter = s.encode();
    shorter.pop_back();
    EXPECT_THROW(PageSetup::decode(shorter), FormatError);
}

TEST(PageSetup, OrientationCountsOnlyWithPrinterSettings)
{
    PageSetup s;
    EXPECT_FALSE(s.landscape()); // the printer decides
    s.setPaper(PageSetup::Letter, false, 300);
    EXPECT_FALSE(s.landscape());
    EXPECT_EQ(s.flags & PageSetup::Portrait, PageSetup::Portrait);
    s.setPaper(PageSetup::Letter, true, 300);
    EXPECT_TRUE(s.landscape());
    EXPECT_EQ(s.horizontalDpi, 300);
}

TEST(WorksheetPageSetup, ANewSheetLeavesPaperScaleAndOrientationToThePrinter)
{
    Workbook book;
    book.addWorksheet(QStringLiteral("Data"));
    EXPECT_EQ(book.worksheet(0)->pageSetup(), PageSetup());
    const RecordList records = firstSheetRecords(workbookToStream(book));
    ASSERT_TRUE(find(records, rid::kSetup));
    EXPECT_TRUE(sameBytes(find(records, rid::kSetup)->data,
                          {0x00, 0x00, 0x64, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x04, 0x00,
                           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x3F,
                           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x3F, 0x01, 0x00}));
    ASSERT_TRUE(find(records, rid::kWsBool));
    EXPECT_TRUE(sameBytes(find(records, rid::kWsBool)->data, {0xC1, 0x04}));
}

TEST(WorksheetPageSetup, SurvivesASaveWithFitToPagesInWsBool)
{
    Workbook book;
    book.addWorksheet(QStringLiteral("Data"));
    book.worksheet(0)->setPageSetup(landscapeA4OnePageWide());
    const Bytes stream = workbookToStream(book);

    const RecordList records = firstSheetRecords(stream);
    const std::vector<std::uint16_t> all = ids(records);
    EXPECT_EQ(std::count(all.begin(), all.end(), rid::kSetup), 1);
    EXPECT_EQ(std::count(all.begin(), all.end(), rid::kWsBool), 1);
    EXPECT_TRUE(sameBytes(find(records, rid::kWsBool)->data, {0xC1, 0x05})); // the other flags as they were

    auto again = workbookFromStream(stream);
    EXPECT_EQ(again->worksheet(0)->pageSetup(), landscapeA4OnePageWide());
    PageSetup noFit = landscapeA4OnePageWide();
    noFit.fitToPages = false;
    again->worksheet(0)->setPageSetup(noFit);
    EXPECT_TRUE(sameBytes(find(firstSheetRecords(workbookToStream(*again)), rid::kWsBool)->data, {0xC1, 0x04}));
}

// A sheet substream without SETUP and WSBOOL, as some writers leave it.
Bytes withoutPrintingRecords(const Bytes& stream)
{
    std::size_t sheetStart = 0;
    const RecordList globals = readSubstream(stream, 0, &sheetStart);
    Bytes out(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(sheetStart));
    for (const Record& r : readSubstream(stream, sheetStart))
        if (r.id != rid::kSetup && r.id != rid::kWsBool)
            appendRecord(out, r);
    return out;
}

TEST(WorksheetPageSetup, ASheetWithoutOneGetsItWhereTheSpreadsheetExpectsIt)
{
    Workbook built;
    built.addWorksheet(QStringLiteral("Data"));
    built.worksheet(0)->setNumber(0, 0, 1);
    auto book = workbookFromStream(withoutPrintingRecords(workbookToStream(built)));
    const RecordList plain = firstSheetRecords(workbookToStream(*book));
    EXPECT_EQ(position(plain, rid::kSetup), -1) << "a page set-up the file did not have was added";
    EXPECT_EQ(position(plain, rid::kWsBool), -1);

    book->worksheet(0)->setPageSetup(landscapeA4OnePageWide());
    const RecordList records = firstSheetRecords(workbookToStream(*book));
    const int setup = position(records, rid::kSetup);
    const int wsBool = position(records, rid::kWsBool);
    ASSERT_GE(setup, 0);
    ASSERT_GE(wsBool, 0);
    EXPECT_EQ(wsBool, position(records, rid::kDefaultRowHeight) + 1);
    EXPECT_LT(wsBool, setup);
    EXPECT_EQ(setup + 1, position(records, rid::kDefColWidth));
    EXPECT_EQ(workbookFromStream(workbookToStream(*book))->worksheet(0)->pageSetup(), landscapeA4OnePageWide());
}

TEST(WorksheetPageSetup, ASetupOfAnotherSizeIsKeptAsItWas)
{
    Workbook built;
    built.addWorksheet(QStringLiteral("Data"));
    const Bytes stream = workbookToStream(built);
    std::size_t sheetStart = 0;
    readSubstream(stream, 0, &sheetStart);
    Bytes odd(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(sheetStart));
    const Bytes twelve = {0x09, 0x00, 0x50, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00};
    for (const Record& r : readSubstream(stream, sheetStart))
        appendRecord(odd, r.id == rid::kSetup ? Record{rid::kSetup, twelve} : r);

    auto book = workbookFromStream(odd);
    EXPECT_EQ(book->worksheet(0)->pageSetup().paper, PageSetup::PrinterPaper); // not read
    const RecordList records = firstSheetRecords(workbookToStream(*book));
    ASSERT_TRUE(find(records, rid::kSetup));
    EXPECT_TRUE(sameBytes(find(records, rid::kSetup)->data, twelve));
}

} // namespace
} // namespace sheet::test
