// Charts embedded in worksheets: found after their drawing object, anchored where it says.
#include "charts/EmbeddedCharts.h"

#include <gtest/gtest.h>

using namespace sheet;

namespace {

void put16(Bytes& b, int v)
{
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void put32(Bytes& b, std::uint32_t v)
{
    put16(b, static_cast<int>(v & 0xFFFF));
    put16(b, static_cast<int>(v >> 16));
}

// An OfficeArt record header.
void header(Bytes& b, int verInstance, int type, std::uint32_t length)
{
    put16(b, verInstance);
    put16(b, type);
    put32(b, length);
}

// One shape's drawing data: a shape container holding a client anchor from (col 1, row 2) a
// quarter and a half into them, to (col 5, row 20), as the first shape of a sheet holds it
// inside the sheet's drawing container, whose length runs on into later records.
Bytes drawing(bool withAnchor)
{
    Bytes b;
    header(b, 0x000F, 0xF002, 500); // drawing container, longer than this record
    header(b, 0x000F, 0xF004, withAnchor ? 26 + 16 : 16);
    header(b, 0x0002, 0xF00A, 8); // the shape: id and flags
    put32(b, 1025);
    put32(b, 0x0A00);
    if (withAnchor) {
        header(b, 0x0000, 0xF010, 18);
        put16(b, 0);   // moves and sizes with cells
        put16(b, 1);   // column
        put16(b, 256); // a quarter of it
        put16(b, 2);   // row
        put16(b, 128); // half of it
        put16(b, 5);   // last column
        put16(b, 0);
        put16(b, 20); // last row
        put16(b, 0);
    }
    return b;
}

Record obj(int type)
{
    Bytes b;
    put16(b, 0x0015); // ftCmo
    put16(b, 18);
    put16(b, type);
    b.resize(22, 0);
    return Record{0x005D, b};
}

Record bof(int type)
{
    Bytes b;
    put16(b, 0x0600);
    put16(b, type);
    b.resize(16, 0);
    return Record{0x0809, b};
}

const Record kEof{0x000A, {}};
const Record kChartRecord{0x1002, Bytes(16, 0)};

} // namespace

TEST(EmbeddedCharts, AnchorsFromTheDrawingBeforeEachChart)
{
    const std::optional<ChartAnchor> a = drawingAnchor(drawing(true));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->cells(), (CellRange{2, 1, 20, 5}));
    EXPECT_EQ(a->firstColFraction, 0.25);
    EXPECT_EQ(a->firstRowFraction, 0.5);
    EXPECT_FALSE(drawingAnchor(drawing(false)));
    // A record cut short, or nonsense, holds no anchor.
    Bytes cut = drawing(true);
    cut.resize(cut.size() - 4);
    EXPECT_FALSE(drawingAnchor(cut));
    EXPECT_FALSE(drawingAnchor(Bytes{1, 2, 3}));

    // A worksheet with a comment (no chart), then a chart, then a chart without a drawing.
    const RecordList sheet = {bof(0x0010),
                              Record{0x00EC, drawing(true)},
                              obj(0x0019), // a comment's note
                              Record{0x00EC, drawing(true)},
                              obj(0x0005),
                              bof(0x0020),
                              kChartRecord,
                              bof(0x0020), // a chart's own nested substream stays inside it
                              kEof,
                              kEof,
                              obj(0x0005),
                              bof(0x0020),
                              kChartRecord,
                              kEof,
                              kEof};
    const std::vector<EmbeddedChart> charts = embeddedChartsIn(sheet);
    ASSERT_EQ(charts.size(), 2u);
    ASSERT_TRUE(charts[0].anchor);
    EXPECT_EQ(charts[0].anchor->cells(), (CellRange{2, 1, 20, 5}));
    ASSERT_EQ(charts[0].records.size(), 3u); // CHART and the nested BOF ... EOF, without its own BOF and EOF
    EXPECT_EQ(charts[0].records[0].id, 0x1002);
    EXPECT_FALSE(charts[1].anchor); // its drawing was the first chart's
    EXPECT_EQ(charts[1].records.size(), 1u);

    // A substream left open runs to the end of the sheet.
    const RecordList open = {bof(0x0010), obj(0x0005), bof(0x0020), kChartRecord};
    ASSERT_EQ(embeddedChartsIn(open).size(), 1u);
    EXPECT_EQ(embeddedChartsIn(open)[0].records.size(), 1u);
}

TEST(EmbeddedCharts, DrawingCarriedOnInContinueRecordsAnchorsItsChart)
{
    // Excel's later shapes: their drawing data in CONTINUE records, between text boxes whose
    // CONTINUE records hold text and runs.
    Bytes later = drawing(true);
    later.erase(later.begin(), later.begin() + 8); // no sheet drawing container: it began earlier
    later[38] = 30;                                // first row
    later[46] = 40;                                // last row
    const Record text{0x003C, Bytes{0, 'G', 'o', 'a', 'l'}};
    const Record runs{0x003C, Bytes{0, 0, 5, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0}};
    const Record txo{0x01B6, Bytes(18, 0)};
    const RecordList sheet
        = {bof(0x0010), Record{0x00EC, drawing(true)}, obj(0x0006), txo, text, runs, Record{0x003C, later}, obj(0x0005),
           bof(0x0020), kChartRecord, kEof,
           // a text box, then a chart whose drawing was not found
           Record{0x003C, later}, obj(0x0006), txo, text, runs, obj(0x0005), bof(0x0020), kChartRecord, kEof, kEof};
    const std::vector<EmbeddedChart> charts = embeddedChartsIn(sheet);
    ASSERT_EQ(charts.size(), 2u);
    ASSERT_TRUE(charts[0].anchor);
    EXPECT_EQ(charts[0].anchor->cells(), (CellRange{30, 1, 40, 5}));
    EXPECT_FALSE(charts[1].anchor); // the text box's anchor is not the chart's
}
