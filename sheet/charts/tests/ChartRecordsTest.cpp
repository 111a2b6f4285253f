#include "ChartTestSupport.h"

#include "base/Error.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

using namespace sheet;
using namespace sheet::chartrec;
using sheet::charttest::hex;
using sheet::charttest::sampleChart;

namespace {

std::uint16_t identityIxti(int sheet) { return static_cast<std::uint16_t>(sheet); }

std::uint16_t u16(const Record& r, std::size_t at)
{
    ByteReader reader(r.data);
    reader.skip(at);
    return reader.u16();
}

// Checks a chart sheet body against the chart sheet grammar of the file format (the parts of
// it a line chart uses) and collects what the cross-checks below need.
class GrammarChecker {
public:
    explicit GrammarChecker(RecordList records)
        : m_r(std::move(records))
    {
    }

    void run()
    {
        expect(Header);
        expect(Footer);
        expect(HCenter);
        expect(VCenter);
        for (std::uint16_t id : {LeftMargin, RightMargin, TopMargin, BottomMargin})
            optional(id);
        expect(Setup);
        expect(PrintSize);
        while (optional(0x1060)) { } // Fbi
        expect(Units);
        chartFormats();
        expect(Dimensions);
        for (int k = 0; k < 3; ++k) {
            expect(SIIndex);
            while (peek() == Number || peek() == Label || peek() == BoolErr || peek() == Blank)
                ++m_i;
        }
        expect(Window2);
        optional(Scl);
        if (m_i != m_r.size())
            fail("records after the sheet window");
    }

    std::vector<std::uint16_t> axisParents;
    std::vector<std::uint16_t> chartGroups;
    std::vector<std::uint16_t> seriesGroups;
    std::vector<std::uint16_t> fontIndices;
    std::vector<std::uint16_t> linkObjects;
    std::vector<std::uint16_t> defaultTexts;
    int legends = 0;
    int legendGroup = -1;
    std::uint16_t axesUsed = 0;

private:
    [[noreturn]] void fail(const std::string& what) const
    {
        throw std::runtime_error(what + " at record " + std::to_string(m_i));
    }
    std::uint16_t peek() const { return m_i < m_r.size() ? m_r[m_i].id : 0; }
    const Record& expect(std::uint16_t id)
    {
        if (peek() != id) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "expected 0x%04X, found 0x%04X", id, peek());
            fail(buf);
        }
        return m_r[m_i++];
    }
    bool optional(std::uint16_t id)
    {
        if (peek() != id)
            return false;
        ++m_i;
        return true;
    }
    void fontX()
    {
        if (peek() == FontX)
            fontIndices.push_back(u16(expect(FontX), 0));
    }
    void frame()
    {
        expect(Frame);
        expect(Begin);
        expect(LineFormat);
        expect(AreaFormat);
        expect(End);
    }
    void ai()
    {
        expect(BRAI);
        optional(SeriesText);
    }
    void attachedLabel()
    {
        expect(Text);
        expect(Begin);
        expect(Pos);
        fontX();
        ai();
        if (peek() == Frame)
            frame();
        if (peek() == ObjectLink)
            linkObjects.push_back(u16(expect(ObjectLink), 0));
        expect(End);
    }
    void chartFormats()
    {
        expect(ChartRecord);
        expect(Begin);
        expect(Scl);
        expect(PlotGrowth);
        if (peek() == Frame)
            frame();
        while (peek() == SeriesRecord)
            seriesFormat();
        expect(ShtProps);
        for (int k = 0; k < 2 && peek() == DefaultText; ++k) {
            defaultTexts.push_back(u16(expect(DefaultText), 0));
            attachedLabel();
        }
        axesUsed = u16(expect(AxesUsed), 0);
        axisParent();
        if (peek() == AxisParent)
            axisParent();
        while (peek() == Text)
            attachedLabel();
        expect(End);
    }
    void seriesFormat()
    {
        expect(SeriesRecord);
        expect(Begin);
        for (int k = 0; k < 4; ++k)
            ai();
        while (peek() == DataFormat) {
            expect(DataFormat);
            expect(Begin);
            optional(BarShape3d);
            if (optional(LineFormat)) {
                expect(AreaFormat);
                expect(PieFormat);
            }
            optional(0x105D); // SerFmt
            optional(MarkerFormat);
            optional(AttachedLabel);
            expect(End);
        }
        seriesGroups.push_back(u16(expect(SerToCrt), 0));
        expect(End);
    }
    void axs()
    {
        optional(IFmt);
        optional(Tick);
        fontX();
        for (int k = 0; k < 4 && peek() == AxisLine; ++k) {
            expect(AxisLine);
            expect(LineFormat);
        }
        optional(AreaFormat);
    }
    void axisParent()
    {
        axisParents.push_back(u16(expect(AxisParent), 0));
        expect(Begin);
        expect(Pos);
        if (peek() == Axis) {
            expect(Axis);
            expect(Begin);
            optional(CatSerRange);
            expect(AxcExt);
            axs();
            expect(End);
            expect(Axis);
            expect(Begin);
            optional(ValueRange);
            axs();
            expect(End);
            for (int k = 0; k < 3 && peek() == Text; ++k)
                attachedLabel();
            if (optional(PlotArea))
                frame();
        }
        int groups = 0;
        while (peek() == ChartFormat) {
            chartGroups.push_back(u16(expect(ChartFormat), 18));
            expect(Begin);
            expect(Line);
            expect(CrtLink);
            optional(0x1016); // SeriesList
            if (peek() == Legend) {
                ++legends;
                legendGroup = chartGroups.back();
                expect(Legend);
                expect(Begin);
                expect(Pos);
                attachedLabel();
                if (peek() == Frame)
                    frame();
                expect(End);
            }
            expect(End);
            ++groups;
        }
        if (groups < 1 || groups > 4)
            fail("an axis group needs one to four chart groups");
        expect(End);
    }

    const RecordList m_r;
    std::size_t m_i = 0;
};

const Record* findRecord(const RecordList& list, std::uint16_t id, int nth = 0)
{
    for (const Record& r : list)
        if (r.id == id && nth-- == 0)
            return &r;
    return nullptr;
}

std::size_t indexAfterLast(const RecordList& list, std::uint16_t id)
{
    std::size_t at = 0;
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].id == id)
            at = i + 1;
    return at;
}

} // namespace

TEST(ChartRecords, FollowsTheChartSheetGrammarWithASecondaryAxis)
{
    const RecordList body = writeChartSheetBody(sampleChart(), identityIxti);
    GrammarChecker g(body);
    ASSERT_NO_THROW(g.run());
    EXPECT_EQ(g.axesUsed, 2);
    EXPECT_EQ(g.axisParents, (std::vector<std::uint16_t>{0, 1}));
    EXPECT_EQ(g.chartGroups, (std::vector<std::uint16_t>{0, 1}));
    EXPECT_EQ(g.seriesGroups, (std::vector<std::uint16_t>{0, 0, 1}));
    EXPECT_EQ(g.legends, 1);
    EXPECT_EQ(g.legendGroup, 0);
    // value axis title in each group, then the chart title
    EXPECT_EQ(g.linkObjects, (std::vector<std::uint16_t>{2, 2, 1}));
}

TEST(ChartRecords, OneAxisGroupWithoutSecondarySeries)
{
    Chart c = sampleChart();
    c.series.back().secondaryAxis = false;
    c.categoryAxisTitle = QStringLiteral("Date");
    const RecordList body = writeChartSheetBody(c, identityIxti);
    GrammarChecker g(body);
    ASSERT_NO_THROW(g.run());
    EXPECT_EQ(g.axesUsed, 1);
    EXPECT_EQ(g.axisParents, (std::vector<std::uint16_t>{0}));
    EXPECT_EQ(g.seriesGroups, (std::vector<std::uint16_t>{0, 0, 0}));
    EXPECT_EQ(g.linkObjects, (std::vector<std::uint16_t>{3, 2, 1}));
}

TEST(ChartRecords, AllSeriesOnTheSecondaryAxisFallBackToOneGroup)
{
    // A chart group without series is not allowed, so the primary group takes them all.
    Chart c = sampleChart();
    for (ChartSeries& s : c.series)
        s.secondaryAxis = true;
    GrammarChecker g(writeChartSheetBody(c, identityIxti));
    ASSERT_NO_THROW(g.run());
    EXPECT_EQ(g.axesUsed, 1);
    EXPECT_EQ(g.seriesGroups, (std::vector<std::uint16_t>{0, 0, 0}));
}

TEST(ChartRecords, SeriesLinksAreAbsoluteReferenceClass3dTokens)
{
    Chart c = sampleChart();
    c.series.resize(1);
    const RecordList body = writeChartSheetBody(c, [](int sheet) { return static_cast<std::uint16_t>(sheet + 2); });
    const Record* series = findRecord(body, SeriesRecord);
    ASSERT_TRUE(series);
    // numeric categories and values, 26 points each, no bubbles
    EXPECT_EQ(hex(series->data), "01 00 01 00 1A 00 1A 00 01 00 00 00");
    const Record* name = findRecord(body, BRAI, 0);
    const Record* values = findRecord(body, BRAI, 1);
    const Record* cats = findRecord(body, BRAI, 2);
    const Record* bubbles = findRecord(body, BRAI, 3);
    ASSERT_TRUE(name && values && cats && bubbles);
    EXPECT_EQ(hex(name->data), "00 02 00 00 00 00 07 00 3A 02 00 04 00 01 00");               // Data!$B$5
    EXPECT_EQ(hex(values->data), "01 02 00 00 00 00 0B 00 3B 02 00 05 00 1E 00 01 00 01 00"); // $B$6:$B$31
    EXPECT_EQ(hex(cats->data), "02 02 00 00 00 00 0B 00 3B 02 00 05 00 1E 00 00 00 00 00");   // $A$6:$A$31
    EXPECT_EQ(hex(bubbles->data), "03 01 00 00 00 00 00 00");
}

TEST(ChartRecords, PointCountsFollowTheRanges)
{
    Chart c = sampleChart();
    c.series[0].values = SheetRange::column(0, 1, 5, 31); // 27 values
    c.series[0].categories = SheetRange{0, 3, 2, 3, 9};   // 8 categories in a row
    c.series[1].categories = SheetRange();                // none: as many as the values
    const RecordList body = writeChartSheetBody(c, identityIxti);
    EXPECT_EQ(hex(findRecord(body, SeriesRecord, 0)->data), "01 00 01 00 08 00 1B 00 01 00 00 00");
    EXPECT_EQ(hex(findRecord(body, SeriesRecord, 1)->data), "01 00 01 00 1A 00 1A 00 01 00 00 00");
    // no category reference: the categories link is "automatic" with an empty formula
    EXPECT_EQ(hex(findRecord(body, BRAI, 6)->data), "02 00 00 00 00 00 00 00");
}

TEST(ChartRecords, LiteralSeriesNameAndTitleText)
{
    Chart c = sampleChart();
    c.series.resize(1);
    c.series[0].nameCell = SheetRange();
    c.series[0].name = QStringLiteral("Waist");
    const RecordList body = writeChartSheetBody(c, identityIxti);
    EXPECT_EQ(hex(findRecord(body, BRAI, 0)->data), "00 01 00 00 00 00 00 00");
    // in two-byte characters, as Excel writes them
    EXPECT_EQ(hex(findRecord(body, SeriesText, 0)->data), "00 00 05 01 57 00 61 00 69 00 73 00 74 00");
    // axis title "Pounds", then the chart title
    EXPECT_EQ(hex(findRecord(body, SeriesText, 1)->data), "00 00 06 01 50 00 6F 00 75 00 6E 00 64 00 73 00");
    EXPECT_EQ(hex(findRecord(body, ObjectLink, 0)->data), "02 00 00 00 00 00");
    EXPECT_EQ(hex(findRecord(body, ObjectLink, 1)->data), "01 00 00 00 00 00");
}

TEST(ChartRecords, SecondaryGroupCrossesAtTheLastCategoryAndHidesItsCategoryAxis)
{
    const RecordList body = writeChartSheetBody(sampleChart(), identityIxti);
    const Record* primary = findRecord(body, CatSerRange, 0);
    const Record* secondary = findRecord(body, CatSerRange, 1);
    ASSERT_TRUE(primary && secondary);
    EXPECT_EQ(hex(primary->data), "01 00 01 00 01 00 01 00");
    EXPECT_EQ(hex(secondary->data), "01 00 01 00 01 00 03 00");
    // the secondary category axis: no tick marks, no labels
    const Record* tick = findRecord(body, Tick, 2);
    ASSERT_TRUE(tick);
    EXPECT_EQ(tick->data[0], 0);
    EXPECT_EQ(tick->data[2], 0);
    EXPECT_EQ(hex(findRecord(body, AxisParent, 1)->data).substr(0, 5), "01 00");
}

TEST(ChartRecords, CategoryAxisTypeIsFixedNotGuessed)
{
    Chart c = sampleChart();
    EXPECT_EQ(u16(*findRecord(writeChartSheetBody(c, identityIxti), AxcExt), 16), 0x006F);
    c.dateCategoryAxis = true;
    EXPECT_EQ(u16(*findRecord(writeChartSheetBody(c, identityIxti), AxcExt), 16), 0x007F);
}

TEST(ChartRecords, OnlyTheGivenFontsAreReferenced)
{
    Chart c = sampleChart();
    c.categoryAxisTitle = QStringLiteral("Date");
    c.fonts = {9, 8, 6, 7, 0, 0, 0, 0};
    GrammarChecker g(writeChartSheetBody(c, identityIxti));
    ASSERT_NO_THROW(g.run());
    const std::set<std::uint16_t> used(g.fontIndices.begin(), g.fontIndices.end());
    EXPECT_EQ(used, (std::set<std::uint16_t>{6, 7, 8, 9}));
}

TEST(ChartRecords, FontBasesForFontsWithAKnownHeight)
{
    Chart c = sampleChart(); // title 6 (14 pt), axis titles 7 (11 pt), labels and legend 5 (9 pt)
    const RecordList body = writeChartSheetBody(c, identityIxti);
    std::vector<std::string> fbi;
    for (const Record& r : body)
        if (r.id == 0x1060)
            fbi.push_back(hex(r.data));
    // one per font, in font order, before UNITS
    EXPECT_EQ(fbi,
              (std::vector<std::string>{"4A 39 36 23 B4 00 00 00 05 00", "4A 39 36 23 18 01 00 00 06 00",
                                        "4A 39 36 23 DC 00 00 00 07 00"}));
    EXPECT_EQ(body[indexAfterLast(body, 0x1060)].id, Units);
}

TEST(ChartRecords, SeriesFormatUsesThePaletteColour)
{
    Chart c = sampleChart();
    c.series.resize(1);
    c.series[0].colour = 0x35; // orange FF6600
    c.series[0].weight = ChartLineWeight::Wide;
    c.series[0].marker = ChartMarker::Diamond;
    c.series[0].markerSize = 140;
    const RecordList body = writeChartSheetBody(c, identityIxti);
    std::size_t at = 0;
    while (body[at].id != DataFormat)
        ++at;
    EXPECT_EQ(hex(body[at].data), "FF FF 00 00 00 00 00 00");
    EXPECT_EQ(body[at + 2].id, BarShape3d);
    EXPECT_EQ(hex(body[at + 3].data), "FF 66 00 00 00 00 02 00 00 00 35 00");
    EXPECT_EQ(hex(body[at + 6].data), "FF 66 00 00 FF 66 00 00 02 00 00 00 35 00 35 00 8C 00 00 00");
}

TEST(ChartRecords, ChartSheetWindowIsTheShortForm)
{
    Chart c = sampleChart();
    EXPECT_EQ(hex(findRecord(writeChartSheetBody(c, identityIxti), Window2)->data), "00 00 00 00 00 00 00 00 00 00");
    c.selected = true;
    EXPECT_EQ(hex(findRecord(writeChartSheetBody(c, identityIxti), Window2)->data), "00 06 00 00 00 00 00 00 00 00");
}

TEST(ChartRecords, OneSeriesWithoutTitleGetsADeletedTitle)
{
    Chart c = sampleChart();
    c.series.resize(1);
    c.title.clear();
    const RecordList body = writeChartSheetBody(c, identityIxti);
    GrammarChecker g(body);
    ASSERT_NO_THROW(g.run());
    ASSERT_EQ(g.linkObjects.back(), 1);
    // the last TEXT is the title, flagged deleted
    const Record* title = nullptr;
    for (const Record& r : body)
        if (r.id == Text)
            title = &r;
    EXPECT_TRUE(u16(*title, 24) & 0x0040);

    c.series = sampleChart().series; // several series: no title record at all
    GrammarChecker g2(writeChartSheetBody(c, identityIxti));
    ASSERT_NO_THROW(g2.run());
    EXPECT_EQ(g2.linkObjects, (std::vector<std::uint16_t>{2, 2}));
}

TEST(ChartRecords, RejectsChartsItCannotWrite)
{
    Chart none = sampleChart();
    none.series.clear();
    EXPECT_THROW(writeChartSheetBody(none, identityIxti), Error);

    Chart square = sampleChart();
    square.series[0].values = SheetRange{0, 5, 1, 30, 2};
    EXPECT_THROW(writeChartSheetBody(square, identityIxti), Error);

    Chart offGrid = sampleChart();
    offGrid.series[0].values = SheetRange::column(0, 256, 5, 30);
    EXPECT_THROW(writeChartSheetBody(offGrid, identityIxti), Error);

    Chart noValues = sampleChart();
    noValues.series[1].values = SheetRange();
    EXPECT_THROW(writeChartSheetBody(noValues, identityIxti), Error);

    Chart longTitle = sampleChart();
    longTitle.valueAxisTitle = QString(256, QLatin1Char('x'));
    EXPECT_THROW(writeChartSheetBody(longTitle, identityIxti), Error);

    Chart badColour = sampleChart();
    badColour.series[2].colour = 64;
    EXPECT_THROW(writeChartSheetBody(badColour, identityIxti), Error);

    Chart tinyMarker = sampleChart();
    tinyMarker.series[0].markerSize = 20;
    EXPECT_THROW(writeChartSheetBody(tinyMarker, identityIxti), Error);

    Chart turned = sampleChart();
    turned.categoryLabelRotation = 91;
    EXPECT_THROW(writeChartSheetBody(turned, identityIxti), Error);

    Chart rangeName = sampleChart();
    rangeName.series[0].nameCell = SheetRange::column(0, 1, 3, 4);
    EXPECT_THROW(writeChartSheetBody(rangeName, identityIxti), Error);
}

namespace {

// Puts `data` in place of the first record `id` of `body`.
RecordList withRecord(RecordList body, std::uint16_t id, const Bytes& data)
{
    for (Record& r : body)
        if (r.id == id) {
            r.data = data;
            break;
        }
    return body;
}

Bytes fromHex(const char* text)
{
    Bytes out;
    for (const char* p = text; *p;) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
        p += 2;
    }
    return out;
}

int sameSheet(std::uint16_t ixti) { return ixti; }

} // namespace

TEST(ChartRecords, DateAxisUnitsAsExcelStoresThem)
{
    Chart c = sampleChart();
    auto axcExt = [&] { return hex(findRecord(writeChartSheetBody(c, identityIxti), AxcExt)->data); };
    // catMin, catMax, catMajor, duMajor, catMinor, duMinor, duBase, catCrossDate, flags
    EXPECT_EQ(axcExt(), "00 00 00 00 01 00 00 00 01 00 00 00 00 00 00 00 6F 00"); // text axis
    c.dateCategoryAxis = true;
    EXPECT_EQ(axcExt(), "00 00 00 00 01 00 00 00 01 00 00 00 00 00 00 00 7F 00"); // every unit automatic
    c.dateScaling.autoMajor = false;
    c.dateScaling.major = 7; // weekly labels over days
    EXPECT_EQ(axcExt(), "00 00 00 00 07 00 00 00 01 00 00 00 00 00 00 00 7B 00");
    c.dateScaling.autoBase = false;
    c.dateScaling.base = DateUnit::Months;
    c.dateScaling.major = 2;
    c.dateScaling.majorUnit = DateUnit::Years;
    EXPECT_EQ(axcExt(), "00 00 00 00 02 00 02 00 01 00 01 00 01 00 00 00 5B 00");
    // A text axis stores no units, whatever the scaling says.
    c.dateCategoryAxis = false;
    EXPECT_EQ(axcExt(), "00 00 00 00 01 00 00 00 01 00 00 00 00 00 00 00 6F 00");

    // Excel's own date axis (44861.xls): base and major unit fixed in months, a label every
    // two months, limits automatic, the computed limits stored beside them.
    const Bytes excel = fromHex("07 05 13 05 02 00 01 00 01 00 01 00 01 00 07 05 D3 00");
    const Chart read
        = readChartSheetBody(withRecord(writeChartSheetBody(sampleChart(), identityIxti), AxcExt, excel), sameSheet);
    EXPECT_TRUE(read.dateCategoryAxis);
    EXPECT_EQ(read.dateScaling, (DateAxisScaling{false, DateUnit::Months, false, 2, DateUnit::Months}));
    // Written again: the same units in the same fields.
    Chart again = sampleChart();
    again.dateCategoryAxis = true;
    again.dateScaling = read.dateScaling;
    const Bytes ours = findRecord(writeChartSheetBody(again, identityIxti), AxcExt)->data;
    for (std::size_t at : {4, 5, 6, 7, 10, 11, 12, 13})
        EXPECT_EQ(ours[at], excel[at]) << at;

    // Units a reader does not know, or a major unit below the base, are left automatic.
    const Chart odd = readChartSheetBody(withRecord(writeChartSheetBody(sampleChart(), identityIxti), AxcExt,
                                                    fromHex("00 00 00 00 03 00 07 00 01 00 00 00 07 00 00 00 5B 00")),
                                         sameSheet);
    EXPECT_TRUE(odd.dateCategoryAxis);
    EXPECT_EQ(odd.dateScaling, DateAxisScaling{});
    const Chart below = readChartSheetBody(withRecord(writeChartSheetBody(sampleChart(), identityIxti), AxcExt,
                                                      fromHex("00 00 00 00 03 00 00 00 01 00 01 00 01 00 00 00 5B 00")),
                                           sameSheet);
    EXPECT_EQ(below.dateScaling, (DateAxisScaling{false, DateUnit::Months, true, 1, DateUnit::Days}));
}

TEST(ChartRecords, DashedAndMarkerlessLinesAsExcelWritesThem)
{
    // Excel's dotted series without markers (26100.xls): green, medium weight.
    Chart c = sampleChart();
    c.series.resize(1);
    c.series[0].colour = 0x11;
    c.series[0].pattern = ChartLinePattern::Dot;
    c.series[0].marker = ChartMarker::None;
    c.series[0].markerSize = 60;
    const RecordList body = writeChartSheetBody(c, identityIxti);
    EXPECT_EQ(hex(findRecord(body, LineFormat)->data), "00 80 00 00 02 00 01 00 00 00 11 00");
    EXPECT_EQ(hex(findRecord(body, MarkerFormat)->data), "00 00 00 00 00 00 00 00 00 00 00 00 4D 00 4D 00 3C 00 00 00");

    for (const auto& [pattern, lns] : {std::pair<ChartLinePattern, std::uint16_t>{ChartLinePattern::Solid, 0},
                                       {ChartLinePattern::Dash, 1},
                                       {ChartLinePattern::DashDot, 3},
                                       {ChartLinePattern::DashDotDot, 4}}) {
        c.series[0].pattern = pattern;
        EXPECT_EQ(u16(*findRecord(writeChartSheetBody(c, identityIxti), LineFormat), 4), lns);
    }
    // No line at all wins over the dashes.
    c.series[0].line = false;
    EXPECT_EQ(u16(*findRecord(writeChartSheetBody(c, identityIxti), LineFormat), 4), 5);

    // Read: the pattern of a series' own line; grey fills (6 to 8) draw solid.
    const Chart read = readChartSheetBody(withRecord(writeChartSheetBody(sampleChart(), identityIxti), LineFormat,
                                                     fromHex("00 80 00 00 02 00 01 00 00 00 11 00")),
                                          sameSheet);
    EXPECT_EQ(read.series[0].pattern, ChartLinePattern::Dot);
    EXPECT_TRUE(read.series[0].line);
    const Chart grey = readChartSheetBody(withRecord(writeChartSheetBody(sampleChart(), identityIxti), LineFormat,
                                                     fromHex("00 80 00 00 07 00 01 00 00 00 11 00")),
                                          sameSheet);
    EXPECT_EQ(grey.series[0].pattern, ChartLinePattern::Solid);
    EXPECT_TRUE(grey.series[0].line);
}

TEST(ChartRecords, RejectsDateAxesAndPatternsItCannotWrite)
{
    Chart c = sampleChart();
    c.dateCategoryAxis = true;
    c.dateScaling.autoMajor = false;
    c.dateScaling.major = 0;
    EXPECT_THROW(writeChartSheetBody(c, identityIxti), Error);
    c.dateScaling.major = 32000;
    EXPECT_THROW(writeChartSheetBody(c, identityIxti), Error);
    c.dateScaling.major = 1;
    c.dateScaling.autoBase = false;
    c.dateScaling.base = DateUnit::Months; // a label every day on an axis of months
    EXPECT_THROW(writeChartSheetBody(c, identityIxti), Error);
    c.dateScaling.base = static_cast<DateUnit>(3);
    EXPECT_THROW(writeChartSheetBody(c, identityIxti), Error);
    c.dateScaling.base = DateUnit::Days;
    EXPECT_NO_THROW(writeChartSheetBody(c, identityIxti));

    Chart dashes = sampleChart();
    dashes.series[1].pattern = static_cast<ChartLinePattern>(5);
    EXPECT_THROW(writeChartSheetBody(dashes, identityIxti), Error);
}

TEST(ChartRecords, ValueLabelsAndLevelAxisTitlesAsExcelWritesThem)
{
    Chart c = sampleChart();
    c.series[2].valueLabels = true;
    c.valueAxisTitleAngle = 0;
    const RecordList body = writeChartSheetBody(c, identityIxti);
    GrammarChecker g(body);
    ASSERT_NO_THROW(g.run());
    // Axis titles, the chart title, then the labels of series 2 (all its points).
    EXPECT_EQ(g.linkObjects, (std::vector<std::uint16_t>{2, 2, 1, 4}));
    const Record* link = findRecord(body, ObjectLink, 3);
    ASSERT_TRUE(link);
    EXPECT_EQ(hex(link->data), "04 00 02 00 FF FF");
    // The label shows the value (TEXT 0x0004), and the series' format says so too.
    const Record* attached = findRecord(body, AttachedLabel);
    ASSERT_TRUE(attached);
    EXPECT_EQ(hex(attached->data), "01 00");
    std::size_t labelText = indexAfterLast(body, Text) - 1;
    EXPECT_EQ(u16(body[labelText], 24) & 0x0004, 0x0004);
    // The level value-axis title: no quarter-turn bits, no angle.
    const Record* title = findRecord(body, Text, 2); // after the two default texts
    ASSERT_TRUE(title);
    EXPECT_EQ(u16(*title, 24) & 0x0700, 0);
    EXPECT_EQ(u16(*title, 30), 0);

    c.valueAxisTitleAngle = 91;
    EXPECT_THROW(writeChartSheetBody(c, identityIxti), Error);
}
