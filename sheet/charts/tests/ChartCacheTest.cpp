// Chart sheets as Excel writes them: the cached series names and values follow the cells on
// every save, BOF flags, default-text blocks, frames and label rotation.
#include "ChartTestSupport.h"

#include "biff/RecordIds.h"
#include "biff/RecordStream.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "io/WorkbookFile.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace sheet;
using namespace sheet::chartrec;
using sheet::charttest::hex;
using sheet::charttest::sampleChart;

namespace {

std::uint16_t u16(const Record& r, std::size_t at)
{
    ByteReader reader(r.data);
    reader.skip(at);
    return reader.u16();
}

// A workbook with a data sheet (names in row 1, dates in A, two series in B and C over a
// fixed range of 6 rows) and a chart sheet of those two series.
struct SavedBook {
    SavedBook()
    {
        data = book.addWorksheet(QStringLiteral("Data"));
        Worksheet& ws = *book.worksheet(data);
        ws.setText(0, 1, QStringLiteral("Weight"));
        ws.setText(0, 2, QStringLiteral("BMI"));
        for (int i = 0; i < 3; ++i) {
            ws.setDate(1 + i, 0, QDate(2004, 6, 10).addDays(7 * i));
            ws.setNumber(1 + i, 1, 200 - i);
            ws.setFormula(1 + i, 2, QStringLiteral("=B%1/4").arg(2 + i));
        }
        Chart c;
        for (int col : {1, 2}) {
            ChartSeries s;
            s.values = SheetRange::column(data, col, 1, 6);
            s.categories = SheetRange::column(data, 0, 1, 6);
            s.nameCell = SheetRange::cell(data, 0, col);
            s.secondaryAxis = col == 2;
            c.series.push_back(s);
        }
        c.title = QStringLiteral("Weight and BMI");
        chart = book.addChartSheet(QStringLiteral("Chart"),
                                   writeChartSheetBody(c, [&](int s) { return book.externSheetIndex(s); }));
    }

    // The chart sheet's records as a reader finds them in the saved bytes.
    RecordList savedChart() const
    {
        const auto back = workbookFromBytes(workbookToBytes(book));
        return back->sheet(chart).records();
    }

    Workbook book;
    int data = 0;
    int chart = 0;
};

// The cached cells after SIINDEX `kind`: (point, series) -> record.
std::vector<const Record*> cacheOf(const RecordList& body, std::uint16_t kind)
{
    std::vector<const Record*> out;
    bool in = false;
    for (const Record& r : body) {
        if (r.id == SIIndex)
            in = u16(r, 0) == kind;
        else if (in && (r.id == Number || r.id == Label || r.id == BoolErr || r.id == Blank))
            out.push_back(&r);
        else if (in)
            break;
    }
    return out;
}

double numberOf(const Record& r)
{
    ByteReader reader(r.data);
    reader.skip(6);
    return reader.f64();
}

QString seriesTextAfterNameLink(const RecordList& body, int series)
{
    int seen = -1;
    for (std::size_t i = 0; i + 1 < body.size(); ++i) {
        if (body[i].id == BRAI && body[i].data[0] == 0 && body[i].data[1] == 2 && ++seen == series) {
            if (body[i + 1].id != SeriesText)
                return QStringLiteral("<no SERIESTEXT>");
            ByteReader r(body[i + 1].data);
            r.u16();
            return r.shortXLUnicodeString();
        }
    }
    return QStringLiteral("<no name link>");
}

} // namespace

TEST(ChartCache, ValuesAndNamesFollowTheCellsOnEverySave)
{
    SavedBook b;
    RecordList body = b.savedChart();
    EXPECT_EQ(seriesTextAfterNameLink(body, 0), QStringLiteral("Weight"));
    EXPECT_EQ(seriesTextAfterNameLink(body, 1), QStringLiteral("BMI"));

    // DIMENSIONS: 6 points (the whole range), 2 series; then categories, values, bubbles.
    const Record* dims = nullptr;
    std::vector<std::uint16_t> kinds;
    for (const Record& r : body) {
        if (r.id == Dimensions)
            dims = &r;
        if (r.id == SIIndex)
            kinds.push_back(u16(r, 0));
    }
    ASSERT_TRUE(dims);
    EXPECT_EQ(hex(dims->data), "00 00 00 00 06 00 00 00 00 00 02 00 00 00");
    EXPECT_EQ(kinds, (std::vector<std::uint16_t>{2, 1, 3}));

    // Point by point, each series in turn: numbers where the cells hold them (recalculated
    // formulas too), blanks below the entries.
    const auto values = cacheOf(body, 1);
    ASSERT_EQ(values.size(), 12u);
    EXPECT_EQ(values[0]->id, Number);
    EXPECT_EQ(numberOf(*values[0]), 200);
    EXPECT_EQ(numberOf(*values[1]), 50);
    EXPECT_EQ(numberOf(*values[5]), 198 / 4.0);
    EXPECT_EQ(hex(values[1]->data).substr(0, 17), "00 00 01 00 00 00"); // row = point, column = series
    for (std::size_t i = 6; i < 12; ++i)
        EXPECT_EQ(values[i]->id, Blank);
    const auto categories = cacheOf(body, 2);
    ASSERT_EQ(categories.size(), 12u);
    EXPECT_EQ(numberOf(*categories[2]), 38155); // 2004-06-17, for the first series

    // A changed entry, a text, an error and a renamed series reach the next save.
    Worksheet& ws = *b.book.worksheet(b.data);
    ws.setNumber(1, 1, 180);
    ws.setText(4, 1, QStringLiteral("n/a"));
    ws.setFormula(5, 1, QStringLiteral("=1/0"));
    ws.setText(0, 1, QStringLiteral("Body weight"));
    body = b.savedChart();
    EXPECT_EQ(seriesTextAfterNameLink(body, 0), QStringLiteral("Body weight"));
    const auto after = cacheOf(body, 1);
    ASSERT_EQ(after.size(), 12u);
    EXPECT_EQ(numberOf(*after[0]), 180);
    EXPECT_EQ(numberOf(*after[1]), 45); // the formula was recalculated first
    EXPECT_EQ(after[6]->id, Label);
    EXPECT_EQ(after[8]->id, BoolErr);
    EXPECT_EQ(hex(after[8]->data), "04 00 00 00 00 00 07 01"); // #DIV/0!, an error
    // and the chart itself reads back as it was written
    const Chart read
        = readChartSheetBody(body, [&](std::uint16_t ixti) { return b.book.sheetForExternSheetIndex(ixti); });
    EXPECT_EQ(read.series.size(), 2u);
    EXPECT_EQ(read.series[0].nameCell, SheetRange::cell(b.data, 0, 1));
}

TEST(ChartCache, ExcelsOwnChartSheetsComeBackByteForByte)
{
    // Excel's caches match its cells, so bringing them up to date changes nothing: the same
    // record order, cell records, two-byte series texts and DIMENSIONS as Excel writes.
    for (const char* name : {"12843-1.xls", "44010-SingleChart.xls"}) {
        const auto book = loadWorkbook(QStringLiteral(SHEET_TEST_DATA "/") + QLatin1String(name));
        int charts = 0;
        for (int i = 0; i < book->sheetCount(); ++i) {
            if (!book->sheet(i).isChart())
                continue;
            ++charts;
            const RecordList& before = book->sheet(i).records();
            const RecordList after = refreshChartCache(*book, before);
            ASSERT_EQ(after.size(), before.size()) << name << " sheet " << i;
            for (std::size_t k = 0; k < before.size(); ++k) {
                EXPECT_EQ(after[k].id, before[k].id) << name << " sheet " << i << " record " << k;
                EXPECT_EQ(hex(after[k].data), hex(before[k].data)) << name << " sheet " << i << " record " << k;
            }
        }
        EXPECT_GT(charts, 0);
    }
}

TEST(ChartCache, BodiesItCannotFollowAreLeftAlone)
{
    SavedBook b;
    RecordList body = b.book.sheet(b.chart).records();
    for (Record& r : body)
        if (r.id == BRAI && r.data[0] == 1 && r.data.size() > 9)
            r.data[9] = 0x40; // values in an external sheet entry that does not exist
    EXPECT_EQ(refreshChartCache(b.book, body).size(), body.size());
    RecordList open = b.book.sheet(b.chart).records();
    for (std::size_t i = 0; i < open.size(); ++i)
        if (open[i].id == End) {
            open.erase(open.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    const RecordList same = refreshChartCache(b.book, open);
    ASSERT_EQ(same.size(), open.size());
    for (std::size_t i = 0; i < open.size(); ++i)
        EXPECT_EQ(same[i].data, open[i].data);
}

TEST(ChartRecordShape, BofFlagsDefaultTextsFramesAndRotationAsExcelWritesThem)
{
    SavedBook b;
    // Every BOF of the engine's own workbooks: saved on Windows (fWin, fWinAny, bit 6).
    const Bytes stream = workbookToStream(b.book);
    int bofs = 0;
    for (std::size_t pos = 0; pos + 20 <= stream.size();) {
        const std::uint16_t id = static_cast<std::uint16_t>(stream[pos] | (stream[pos + 1] << 8));
        const std::size_t len = static_cast<std::size_t>(stream[pos + 2] | (stream[pos + 3] << 8));
        if (id == 0x0809) {
            ++bofs;
            EXPECT_EQ(stream[pos + 4 + 8], 0x49) << "BOF at " << pos;
        }
        pos += 4 + len;
    }
    EXPECT_EQ(bofs, 3); // globals, worksheet, chart

    const RecordList body = b.savedChart();
    // DefaultText 2 and 3, each followed by its TEXT block, between SHTPROPS and AXESUSED.
    std::size_t at = 0;
    while (at < body.size() && body[at].id != ShtProps)
        ++at;
    ASSERT_LT(at + 14, body.size());
    EXPECT_EQ(hex(body[at + 1].data), "02 00");
    EXPECT_EQ(body[at].id, ShtProps);
    EXPECT_EQ(body[at + 1].id, DefaultText);
    EXPECT_EQ(body[at + 2].id, Text);
    EXPECT_EQ(body[at + 3].id, Begin);
    EXPECT_EQ(body[at + 8].id, DefaultText);
    EXPECT_EQ(hex(body[at + 8].data), "03 00");
    EXPECT_EQ(body[at + 15].id, AxesUsed);

    // No chart-area frame for the plain white chart area, as in Excel's files.
    std::size_t growth = 0;
    while (body[growth].id != PlotGrowth)
        ++growth;
    EXPECT_EQ(body[growth + 1].id, SeriesRecord);
    Chart coloured = sampleChart();
    coloured.chartAreaColour = 0x2C;
    const RecordList framed = writeChartSheetBody(coloured, [](int s) { return static_cast<std::uint16_t>(s); });
    growth = 0;
    while (framed[growth].id != PlotGrowth)
        ++growth;
    EXPECT_EQ(framed[growth + 1].id, Frame);
    EXPECT_EQ(readChartSheetBody(framed, [](std::uint16_t i) { return static_cast<int>(i); }).chartAreaColour, 0x2C);

    // Category labels at 45 degrees: the angle alone; at 90: the angle and the orientation
    // bits of a quarter turn counter-clockwise.
    for (const auto& [angle, flags] :
         {std::pair<int, const char*>{45, "03 00 4D 00 2D 00"}, std::pair<int, const char*>{90, "0B 00 4D 00 5A 00"},
          std::pair<int, const char*>{0, "23 00 4D 00 00 00"}}) {
        Chart c = sampleChart();
        c.categoryLabelRotation = angle;
        const RecordList r = writeChartSheetBody(c, [](int s) { return static_cast<std::uint16_t>(s); });
        const Record* tick = nullptr;
        for (const Record& rec : r)
            if (rec.id == Tick && !tick)
                tick = &rec;
        ASSERT_TRUE(tick);
        EXPECT_EQ(hex(tick->data).substr(24 * 3), flags) << angle;
        EXPECT_EQ(readChartSheetBody(r, [](std::uint16_t i) { return static_cast<int>(i); }).categoryLabelRotation,
                  angle);
    }
}
