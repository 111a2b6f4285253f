#include "ChartTestSupport.h"

#include "base/Error.h"
#include "io/WorkbookFile.h"
#include "model/Workbook.h"

#include <gtest/gtest.h>

using namespace sheet;
using namespace sheet::chartrec;
using sheet::charttest::sampleChart;

namespace {

// Sheet s is entry s + 3 of the external-sheet table, so a mix-up of the two shows.
std::uint16_t ixtiFor(int sheet) { return static_cast<std::uint16_t>(sheet + 3); }
int sheetFor(std::uint16_t ixti) { return ixti >= 3 && ixti < 10 ? ixti - 3 : -1; }

Chart roundTrip(const Chart& c) { return readChartSheetBody(writeChartSheetBody(c, ixtiFor), sheetFor); }

std::size_t indexOf(const RecordList& list, std::uint16_t id, int nth = 0)
{
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].id == id && nth-- == 0)
            return i;
    ADD_FAILURE() << "record not found";
    return 0;
}

} // namespace

TEST(ChartRoundTrip, ReadsBackWhatWasWritten)
{
    Chart c = sampleChart();
    c.categoryAxisTitle = QStringLiteral("Date");
    c.series[1].weight = ChartLineWeight::Wide;
    c.series[1].markerSize = 160;
    c.series[2].values.sheet = 2; // data on another sheet than the names
    c.plotAreaColour = 0x2A;
    c.chartAreaColour = 0x1A;
    c.gridlineColour = 0x37;
    c.legendPosition = LegendPosition::Right;
    c.selected = true;
    c.categoryLabelRotation = 45;
    c.categoryNumberFormat = 14;
    const Chart back = roundTrip(c);
    EXPECT_EQ(back.series.size(), 3u);
    EXPECT_EQ(back.series[2].values, SheetRange::column(2, 3, 5, 30));
    EXPECT_EQ(back.series[0].nameCell, SheetRange::cell(0, 4, 1));
    EXPECT_TRUE(back.series[2].secondaryAxis);
    EXPECT_EQ(back.secondaryValueAxisTitle, QStringLiteral("BMI"));
    EXPECT_TRUE(back == c);
}

TEST(ChartRoundTrip, OptionalPartsStayAbsent)
{
    Chart c = sampleChart();
    c.title.clear();
    c.valueAxisTitle.clear();
    c.secondaryValueAxisTitle.clear();
    c.legend = false;
    c.valueGridlines = false;
    c.dateCategoryAxis = true;
    c.series[0].categories = SheetRange();
    c.series[1].nameCell = SheetRange();
    c.series[1].name = QStringLiteral("Wa\u00efst \u2013 cm"); // wide characters in a literal name
    c.series[2].marker = ChartMarker::None;
    c.fonts = {0, 0, 5, 0, 0, 0, 180, 0}; // fonts of parts that are not there are not stored
    const Chart back = roundTrip(c);
    EXPECT_FALSE(back.series[0].categories.isSet());
    EXPECT_EQ(back.series[1].name, c.series[1].name);
    EXPECT_TRUE(back == c);
}

TEST(ChartRoundTrip, SingleSeriesWithoutTitleReadsAsUntitled)
{
    Chart c = sampleChart();
    c.series.resize(1);
    c.title.clear();
    c.secondaryValueAxisTitle.clear(); // no secondary series, so no secondary axis to title
    c.fonts.titleHeight = 0;           // nor a title font to scale
    const Chart back = roundTrip(c);
    EXPECT_TRUE(back.title.isEmpty());
    EXPECT_TRUE(back == c);
}

TEST(ChartReader, RejectsBrokenNesting)
{
    RecordList body = writeChartSheetBody(sampleChart(), ixtiFor);
    RecordList noEnd = body;
    noEnd.erase(noEnd.begin() + static_cast<long>(indexOf(noEnd, Dimensions) - 1)); // the CHART block's END
    EXPECT_THROW(readChartSheetBody(noEnd, sheetFor), FormatError);

    RecordList extraEnd = body;
    extraEnd.insert(extraEnd.begin() + static_cast<long>(indexOf(extraEnd, Units)), Record{End, {}});
    EXPECT_THROW(readChartSheetBody(extraEnd, sheetFor), FormatError);

    RecordList strayBegin = body;
    strayBegin.insert(strayBegin.begin(), Record{Begin, {}});
    EXPECT_THROW(readChartSheetBody(strayBegin, sheetFor), FormatError);

    RecordList deep;
    deep.push_back(Record{ChartRecord, Bytes(16, 0)});
    for (int i = 0; i < 100; ++i) {
        deep.push_back(Record{Begin, {}});
        deep.push_back(Record{Frame, Bytes(4, 0)});
    }
    EXPECT_THROW(readChartSheetBody(deep, sheetFor), FormatError);
}

TEST(ChartReader, RejectsReferencesItCannotFollow)
{
    const RecordList body = writeChartSheetBody(sampleChart(), ixtiFor);
    const std::size_t values = indexOf(body, BRAI, 1);

    RecordList unknownSheet = body;
    unknownSheet[values].data[9] = 0x40; // ixti 0x0040 + 3
    EXPECT_THROW(readChartSheetBody(unknownSheet, sheetFor), FormatError);

    RecordList otherToken = body;
    otherToken[values].data[8] = 0x25; // a 2-D area has no place in a chart link
    EXPECT_THROW(readChartSheetBody(otherToken, sheetFor), FormatError);

    RecordList reversed = body;
    reversed[values].data[11] = 0x40; // first row after the last
    EXPECT_THROW(readChartSheetBody(reversed, sheetFor), FormatError);

    RecordList longCce = body;
    longCce[values].data[6] = 0x20; // cce past the record
    EXPECT_THROW(readChartSheetBody(longCce, sheetFor), FormatError);

    RecordList noValues = body;
    noValues[values].data[1] = 0; // values link "automatic": the series has no data
    EXPECT_THROW(readChartSheetBody(noValues, sheetFor), FormatError);
}

TEST(ChartReader, NeverCrashesOnDamagedRecords)
{
    // Shorten, then drop, each record in turn: the reader either copes or throws FormatError.
    const RecordList body = writeChartSheetBody(sampleChart(), ixtiFor);
    int rejected = 0;
    for (std::size_t i = 0; i < body.size(); ++i) {
        for (int variant = 0; variant < 2; ++variant) {
            RecordList damaged = body;
            if (variant == 0) {
                if (damaged[i].data.empty())
                    continue;
                damaged[i].data.pop_back();
            } else {
                damaged.erase(damaged.begin() + static_cast<long>(i));
            }
            try {
                readChartSheetBody(damaged, sheetFor);
            } catch (const FormatError&) {
                ++rejected;
            }
        }
    }
    EXPECT_GT(rejected, 20);
}

TEST(ChartReader, RejectsBodiesWithoutAChartAndReadsChartsWithoutSeries)
{
    EXPECT_THROW(readChartSheetBody({}, sheetFor), FormatError);
    // A chart whose series are all gone is an empty chart with its title and axes.
    RecordList noSeries = writeChartSheetBody(sampleChart(), ixtiFor);
    for (std::size_t i = indexOf(noSeries, SeriesRecord); noSeries[i].id != ShtProps;)
        noSeries.erase(noSeries.begin() + static_cast<long>(i));
    const Chart empty = readChartSheetBody(noSeries, sheetFor);
    EXPECT_TRUE(empty.series.empty());
    EXPECT_FALSE(empty.title.isEmpty());
    EXPECT_EQ(empty.title, sampleChart().title);
    EXPECT_EQ(empty.valueAxisTitle, sampleChart().valueAxisTitle);
    EXPECT_FALSE(empty.titleFromSeriesName);
}

TEST(ChartRoundTrip, DateAxisUnitsAndLineStylesReadBack)
{
    Chart c = sampleChart();
    c.dateCategoryAxis = true;
    c.series[0].marker = ChartMarker::None; // a trend: line only
    c.series[1].pattern = ChartLinePattern::Dash;
    c.series[1].marker = ChartMarker::None; // a goal: dashed, no markers
    c.series[2].pattern = ChartLinePattern::DashDotDot;
    for (const DateAxisScaling& d : {DateAxisScaling{}, DateAxisScaling{true, DateUnit::Days, false, 7, DateUnit::Days},
                                     DateAxisScaling{false, DateUnit::Days, false, 3, DateUnit::Months},
                                     DateAxisScaling{false, DateUnit::Months, true, 1, DateUnit::Days},
                                     DateAxisScaling{false, DateUnit::Years, false, 5, DateUnit::Years}}) {
        c.dateScaling = d;
        const Chart back = roundTrip(c);
        EXPECT_EQ(back.dateScaling, d);
        EXPECT_EQ(back.series[1].pattern, ChartLinePattern::Dash);
        EXPECT_EQ(back.series[0].marker, ChartMarker::None);
        EXPECT_TRUE(back == c);
    }
}

TEST(ChartRoundTrip, ValueLabelsAndTitleAnglesReadBack)
{
    Chart c = sampleChart();
    c.series[0].valueLabels = true;
    c.series[2].valueLabels = true;
    c.valueAxisTitleAngle = 0;
    c.secondaryValueAxisTitleAngle = 0;
    const Chart back = roundTrip(c);
    EXPECT_TRUE(back.series[0].valueLabels);
    EXPECT_FALSE(back.series[1].valueLabels);
    EXPECT_EQ(back.valueAxisTitleAngle, 0);
    EXPECT_TRUE(back == c);
}

TEST(ChartReader, ExcelsLevelAxisTitlesTextBoxesAndDataLabels)
{
    const auto book = loadWorkbook(QStringLiteral(SHEET_TEST_DATA "/12843-1.xls"));
    const auto chartOf = [&](int sheet) {
        return readChartSheetBody(book->sheet(sheet).records(),
                                  [&](std::uint16_t ixti) { return book->sheetForExternSheetIndex(ixti); });
    };
    // The first chart: both value-axis titles stored level, and two text boxes on the right.
    const Chart first = chartOf(7);
    EXPECT_EQ(first.valueAxisTitleAngle, 0);
    EXPECT_EQ(first.secondaryValueAxisTitleAngle, 0);
    EXPECT_EQ(first.valueAxisTitle, QString::fromUtf8("設備門號數(門)"));
    ASSERT_EQ(first.textBoxes.size(), 2u);
    for (const ChartTextBox& box : first.textBoxes) {
        EXPECT_GT(box.left, 0.5);
        EXPECT_LT(box.right, 1.0);
        EXPECT_LT(box.top, box.bottom);
        EXPECT_GT(box.text.size(), 40);
    }
    EXPECT_EQ(first.textBoxes[1].left, 2420 / 4000.0);
    EXPECT_EQ(first.textBoxes[1].top, 1972 / 4000.0);
    EXPECT_TRUE(first.textBoxes[0].text.contains(QStringLiteral("375,200")));
    // The international exchange chart labels the values of its third series.
    const Chart labelled = chartOf(17);
    ASSERT_EQ(labelled.series.size(), 3u);
    EXPECT_FALSE(labelled.series[0].valueLabels);
    EXPECT_TRUE(labelled.series[2].valueLabels);
    EXPECT_TRUE(labelled.textBoxes.empty());
}

TEST(ChartReader, DeletedReferencesAndTrendLinesAreNoReasonToGiveUp)
{
    const RecordList body = writeChartSheetBody(sampleChart(), ixtiFor);
    // The second series' values refer to deleted cells (#REF!): it shows nothing.
    RecordList deleted = body;
    deleted[indexOf(body, BRAI, 5)].data[8] = 0x3D; // ptgAreaErr3d
    const Chart c = readChartSheetBody(deleted, sheetFor);
    ASSERT_EQ(c.series.size(), 3u);
    EXPECT_FALSE(c.series[1].values.isSet());
    EXPECT_TRUE(c.series[2].values.isSet());
    // A deleted reference of the wrong length is still broken.
    deleted[indexOf(body, BRAI, 5)].data[8] = 0x3C; // ptgRefErr3d with an area's length
    EXPECT_THROW(readChartSheetBody(deleted, sheetFor), FormatError);

    // A trend line of the first series (its own SERIES with SERPARENT) is passed over, and
    // the labels linked to the series after it still find theirs.
    Chart labelled = sampleChart();
    labelled.series[2].valueLabels = true;
    RecordList trend = writeChartSheetBody(labelled, ixtiFor);
    const std::size_t at = indexOf(trend, SeriesRecord);
    const RecordList child
        = {Record{SeriesRecord, Bytes(12, 0)}, Record{Begin, {}}, Record{BRAI, Bytes{1, 1, 0, 0, 0, 0, 0, 0}},
           Record{0x104A, Bytes{1, 0}}, Record{End, {}}};
    trend.insert(trend.begin() + static_cast<std::ptrdiff_t>(at), child.begin(), child.end());
    for (Record& r : trend)
        if (r.id == ObjectLink && r.data[0] == 4)
            r.data[2] = 3; // the labelled series is the fourth SERIES record now
    const Chart withTrend = readChartSheetBody(trend, sheetFor);
    ASSERT_EQ(withTrend.series.size(), 3u);
    EXPECT_FALSE(withTrend.series[1].valueLabels);
    EXPECT_TRUE(withTrend.series[2].valueLabels);
}
