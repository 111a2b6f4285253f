#include "charts/Chart.h"

#include "base/Error.h"
#include "model/PageSetup.h"

#include <cmath>
#include <map>

namespace sheet {

namespace {

using namespace chartrec;

constexpr int kMaxRow = 65535;
constexpr int kMaxCol = 255;

// Chart-relative positions are in 1/4000 of the chart area; these are the values Excel uses
// for a chart sheet with its default layout.
constexpr std::uint16_t kAutoForeground = 0x4D; // "automatic" chart line and text colour

class Emitter {
public:
    void add(std::uint16_t id, Bytes data = {}) { m_records.push_back(Record{id, std::move(data)}); }
    void begin()
    {
        add(Begin);
        ++m_depth;
    }
    void end()
    {
        add(End);
        --m_depth;
    }
    int depth() const { return m_depth; }
    RecordList take() { return std::move(m_records); }

private:
    RecordList m_records;
    int m_depth = 0;
};

Bytes u16Body(std::uint16_t v)
{
    ByteWriter w;
    w.u16(v);
    return w.take();
}

void checkText(const QString& text, const char* what)
{
    if (text.size() > 255)
        throw Error(QStringLiteral("Chart %1 is longer than 255 characters").arg(QLatin1String(what)));
}

void checkRange(const SheetRange& r, const char* what)
{
    if (r.firstRow < 0 || r.lastRow > kMaxRow || r.firstCol < 0 || r.lastCol > kMaxCol || r.firstRow > r.lastRow
        || r.firstCol > r.lastCol)
        throw Error(QStringLiteral("Chart %1 range is outside the sheet").arg(QLatin1String(what)));
}

// ChartParsedFormula: cce, then one reference-class 3-D token with absolute addresses.
Bytes refFormula(const SheetRange& r, std::uint16_t ixti)
{
    ByteWriter w;
    if (r.isSingleCell()) {
        w.u16(7);
        w.u8(0x3A); // ptgRef3d
        w.u16(ixti);
        w.u16(static_cast<std::uint16_t>(r.firstRow));
        w.u16(static_cast<std::uint16_t>(r.firstCol));
    } else {
        w.u16(11);
        w.u8(0x3B); // ptgArea3d
        w.u16(ixti);
        w.u16(static_cast<std::uint16_t>(r.firstRow));
        w.u16(static_cast<std::uint16_t>(r.lastRow));
        w.u16(static_cast<std::uint16_t>(r.firstCol));
        w.u16(static_cast<std::uint16_t>(r.lastCol));
    }
    return w.take();
}

enum AiId : std::uint8_t { AiName = 0, AiValues = 1, AiCategories = 2, AiBubbles = 3 };
enum AiType : std::uint8_t { AiDefault = 0, AiLiteral = 1, AiReference = 2 };

Bytes brai(std::uint8_t id, std::uint8_t rt, const Bytes& formula = {})
{
    ByteWriter w;
    w.u8(id);
    w.u8(rt);
    w.u16(0); // number format follows the source cells
    w.u16(0);
    if (formula.empty())
        w.u16(0);
    else
        w.bytes(formula);
    return w.take();
}

Bytes seriesText(const QString& s) { return seriesTextBody(s); }

Bytes pos(std::uint16_t mdTopLt, std::uint16_t mdBotRt, std::int16_t x1, std::int16_t y1, std::int16_t x2,
          std::int16_t y2)
{
    ByteWriter w;
    w.u16(mdTopLt);
    w.u16(mdBotRt);
    for (std::int16_t v : {x1, y1, x2, y2}) {
        w.i16(v);
        w.u16(0);
    }
    return w.take();
}

Bytes lineFormat(std::uint32_t rgb, std::uint16_t pattern, std::int16_t weight, std::uint16_t flags, std::uint16_t icv)
{
    ByteWriter w;
    w.u8((rgb >> 16) & 0xFF);
    w.u8((rgb >> 8) & 0xFF);
    w.u8(rgb & 0xFF);
    w.u8(0);
    w.u16(pattern);
    w.i16(weight);
    w.u16(flags);
    w.u16(icv);
    return w.take();
}

constexpr std::uint16_t kLineSolid = 0;
constexpr std::uint16_t kLineNone = 5;
constexpr std::uint16_t kLineAxisOn = 0x0004;

void rgbBytes(ByteWriter& w, std::uint32_t rgb)
{
    w.u8((rgb >> 16) & 0xFF);
    w.u8((rgb >> 8) & 0xFF);
    w.u8(rgb & 0xFF);
    w.u8(0);
}

Bytes areaFormat(std::uint32_t foreRgb, std::uint16_t foreIcv, std::uint16_t pattern, std::uint16_t flags)
{
    ByteWriter w;
    rgbBytes(w, foreRgb);
    rgbBytes(w, 0);
    w.u16(pattern);
    w.u16(flags);
    w.u16(foreIcv);
    w.u16(kAutoForeground);
    return w.take();
}

// TEXT: alignment centred, transparent background, automatic colour.
Bytes text(std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy, std::uint16_t flags,
           std::uint16_t rotation)
{
    ByteWriter w;
    w.u8(2);  // at: centre
    w.u8(2);  // vat: centre
    w.u16(1); // transparent
    rgbBytes(w, 0);
    w.i32(x);
    w.i32(y);
    w.i32(dx);
    w.i32(dy);
    w.u16(flags);
    w.u16(kAutoForeground);
    w.u16(0);
    w.u16(rotation);
    return w.take();
}

constexpr std::uint16_t kTextAutoColour = 0x0001;
constexpr std::uint16_t kTextShowValue = 0x0004;
constexpr std::uint16_t kTextAutoText = 0x0010;
constexpr std::uint16_t kTextGenerated = 0x0020;
constexpr std::uint16_t kTextDeleted = 0x0040;
constexpr std::uint16_t kTextAutoMode = 0x0080;
constexpr std::uint16_t kTextVertical = 0x0200; // older readers take the rotation from here

enum LinkObject : std::uint16_t { LinkTitle = 1, LinkValueAxis = 2, LinkCategoryAxis = 3 };
constexpr std::uint16_t kLinkDataLabel = 4;

Bytes objectLink(std::uint16_t what)
{
    ByteWriter w;
    w.u16(what);
    w.u16(0);
    w.u16(0);
    return w.take();
}

// ATTACHEDLABEL for a title: Text Begin Pos FontX AI SeriesText ObjectLink End.
void writeTitle(Emitter& e, const QString& caption, LinkObject link, std::uint16_t font, bool deleted, int angle = 90)
{
    std::uint16_t flags = kTextAutoColour | kTextAutoMode;
    if (deleted)
        flags |= kTextDeleted;
    switch (link) {
    case LinkTitle:
        e.add(Text, text(0x06E4, 0x0051, 0x01DB, 0x00C4, flags, 0));
        e.begin();
        e.add(Pos, pos(2, 2, 0, 0, 0x73, 0x1D));
        break;
    case LinkCategoryAxis:
        e.add(Text, text(0x07E1, 0x0DFC, 0xB2, 0x9C, flags, 0));
        e.begin();
        e.add(Pos, pos(2, 2, 0, 0, 0x2B, 0x17));
        break;
    case LinkValueAxis:
        e.add(Text,
              text(0x002D, 0x06AA, 0x5F, 0x1CC, angle > 45 ? flags | kTextVertical : flags,
                   static_cast<std::uint16_t>(angle)));
        e.begin();
        e.add(Pos, pos(2, 2, 0, 0, 0x17, 0x44));
        break;
    }
    e.add(FontX, u16Body(font));
    e.add(BRAI, brai(AiName, AiLiteral));
    if (!deleted)
        e.add(SeriesText, seriesText(caption));
    e.add(ObjectLink, objectLink(link));
    e.end();
}

// The labels of one series' points, as Excel writes them: TEXT showing the value, linked to
// all points of the series.
void writeValueLabels(Emitter& e, std::uint16_t series)
{
    e.add(Text, text(0, 0, 0, 0, kTextAutoColour | kTextShowValue | kTextAutoText | kTextAutoMode, 0));
    e.begin();
    e.add(Pos, pos(2, 2, 0, 0, 0, 0));
    e.add(BRAI, brai(AiName, AiLiteral));
    ByteWriter w;
    w.u16(kLinkDataLabel);
    w.u16(series);
    w.u16(0xFFFF); // every point
    e.add(ObjectLink, w.take());
    e.end();
}

Bytes tick(bool labels, bool marks, int rotation = 0)
{
    const std::uint8_t labelPosition = 3; // next to the axis
    ByteWriter w;
    w.u8(marks ? 2 : 0); // major tick marks outside
    w.u8(0);             // no minor tick marks
    w.u8(labels ? labelPosition : 0);
    w.u8(1); // transparent
    rgbBytes(w, 0);
    w.zeros(16);
    // Automatic colour and background; automatic rotation unless an angle is given. As Excel
    // stores an angle: the degrees in trot, and above 45 degrees also the orientation bits
    // saying "turned a quarter counter-clockwise" for readers that only know those.
    std::uint16_t flags = rotation == 0 ? 0x0023 : 0x0003;
    if (rotation > 45)
        flags |= 2 << 2;
    w.u16(flags);
    w.u16(kAutoForeground);
    w.u16(static_cast<std::uint16_t>(rotation));
    return w.take();
}

Bytes catSerRange(bool crossAtMax, bool between)
{
    ByteWriter w;
    w.u16(1); // value axis crosses at category 1
    w.u16(1); // a label on every category
    w.u16(1); // a tick mark on every category
    // Points sit between tick marks; the secondary group's value axis crosses at the last
    // category, which puts it on the right.
    w.u16(static_cast<std::uint16_t>((crossAtMax ? 0x0002 : 0) | (between ? 0x0001 : 0)));
    return w.take();
}

Bytes axcExt(const Chart& chart)
{
    // Limits and crossing are automatic; the axis type is fixed, never guessed from the cells.
    // Automatic units are written as a step of one day, fixed ones as given.
    const bool date = chart.dateCategoryAxis;
    const DateAxisScaling& d = chart.dateScaling;
    const bool fixedMajor = date && !d.autoMajor;
    const bool fixedBase = date && !d.autoBase;
    const std::uint16_t base = fixedBase ? static_cast<std::uint16_t>(d.base) : 0;
    ByteWriter w;
    w.u16(0); // catMin
    w.u16(0); // catMax
    w.u16(fixedMajor ? d.major : 1);
    w.u16(fixedMajor ? static_cast<std::uint16_t>(d.majorUnit) : 0);
    w.u16(1); // catMinor, automatic, in the base unit
    w.u16(base);
    w.u16(base);
    w.u16(0);                                                // crossing date
    std::uint16_t flags = 0x0001 | 0x0002 | 0x0008 | 0x0040; // automatic min, max, minor, crossing
    if (!fixedMajor)
        flags |= 0x0004;
    if (!fixedBase)
        flags |= 0x0020;
    if (date)
        flags |= 0x0010;
    w.u16(flags);
    return w.take();
}

Bytes valueRange(const ValueAxisScaling& s)
{
    ByteWriter w;
    w.f64(s.autoMin ? 0 : s.min);
    w.f64(s.autoMax ? 0 : s.max);
    w.f64(s.autoMajor ? 0 : s.major);
    w.f64(0);
    w.f64(0);
    // Minor unit and crossing automatic; 0x100 as Excel writes it.
    w.u16(static_cast<std::uint16_t>(0x0118 | (s.autoMin ? 0x1 : 0) | (s.autoMax ? 0x2 : 0) | (s.autoMajor ? 0x4 : 0)));
    return w.take();
}

Bytes axis(std::uint16_t type)
{
    ByteWriter w;
    w.u16(type);
    w.zeros(16);
    return w.take();
}

Bytes axisParent(std::uint16_t iax)
{
    ByteWriter w;
    w.u16(iax);
    w.i32(0x00F8);
    w.i32(0x01F5);
    w.i32(0x0E7F);
    w.i32(0x0B36);
    return w.take();
}

Bytes chartFormat(std::uint16_t icrt)
{
    ByteWriter w;
    w.zeros(16);
    w.u16(0); // one colour per series, not per point
    w.u16(icrt);
    return w.take();
}

void writeLegend(Emitter& e, const Chart& chart)
{
    ByteWriter w;
    const bool vertical = chart.legendPosition == LegendPosition::Right || chart.legendPosition == LegendPosition::Left
        || chart.legendPosition == LegendPosition::Corner;
    switch (chart.legendPosition) {
    case LegendPosition::Bottom:
        w.i32(0x05F9);
        w.i32(0x0EE9);
        w.i32(0x047D);
        w.i32(0x009C);
        break;
    case LegendPosition::Top:
        w.i32(0x05F9);
        w.i32(0x0080);
        w.i32(0x047D);
        w.i32(0x009C);
        break;
    default:
        w.i32(0x0E48);
        w.i32(0x0680);
        w.i32(0x0180);
        w.i32(0x0300);
        break;
    }
    w.u8(static_cast<std::uint8_t>(chart.legendPosition));
    w.u8(1);                                                             // medium spacing
    w.u16(static_cast<std::uint16_t>(0x000F | (vertical ? 0x0010 : 0))); // docked, automatic
    e.add(Legend, w.take());
    e.begin();
    e.add(Pos, pos(5, 2, 0x05F9, 0x0EE9, 0, 0));
    e.add(Text, text(-186, -250, 0, 0, kTextAutoColour | kTextAutoText | kTextGenerated | kTextAutoMode, 0));
    e.begin();
    e.add(Pos, pos(2, 2, 0, 0, 0, 0));
    e.add(FontX, u16Body(chart.fonts.legend));
    e.add(BRAI, brai(AiName, AiLiteral));
    e.end();
    e.end();
}

void writeSeries(Emitter& e, const ChartSeries& s, int index, std::uint16_t icrt,
                 const std::function<std::uint16_t(int)>& ixtiFor)
{
    const int values = s.values.cellCount();
    const int categories = s.categories.isSet() ? s.categories.cellCount() : values;
    ByteWriter w;
    w.u16(1); // categories are numbers (dates)
    w.u16(1); // values are numbers
    w.u16(static_cast<std::uint16_t>(categories));
    w.u16(static_cast<std::uint16_t>(values));
    w.u16(1); // bubble sizes: numbers, none
    w.u16(0);
    e.add(SeriesRecord, w.take());
    e.begin();
    if (s.nameCell.isSet()) {
        e.add(BRAI, brai(AiName, AiReference, refFormula(s.nameCell, ixtiFor(s.nameCell.sheet))));
        // The cell's text follows its reference, as Excel writes it; refreshChartCache fills
        // it in from the cell on every save.
        e.add(SeriesText, seriesText(QString()));
    } else {
        e.add(BRAI, brai(AiName, AiLiteral));
        if (!s.name.isEmpty())
            e.add(SeriesText, seriesText(s.name));
    }
    e.add(BRAI, brai(AiValues, AiReference, refFormula(s.values, ixtiFor(s.values.sheet))));
    if (s.categories.isSet())
        e.add(BRAI, brai(AiCategories, AiReference, refFormula(s.categories, ixtiFor(s.categories.sheet))));
    else
        e.add(BRAI, brai(AiCategories, AiDefault));
    e.add(BRAI, brai(AiBubbles, AiLiteral));

    // SS: DataFormat Begin Chart3DBarShape [LineFormat AreaFormat PieFormat] MarkerFormat End
    ByteWriter df;
    df.u16(0xFFFF); // the whole series
    df.u16(static_cast<std::uint16_t>(index));
    df.u16(static_cast<std::uint16_t>(index));
    df.u16(0);
    e.add(DataFormat, df.take());
    e.begin();
    e.add(BarShape3d, Bytes{0, 0});
    const std::uint32_t rgb = paletteRgb(s.colour);
    e.add(LineFormat,
          lineFormat(rgb, s.line ? static_cast<std::uint16_t>(s.pattern) : kLineNone,
                     static_cast<std::int16_t>(s.weight), 0, s.colour));
    e.add(AreaFormat, areaFormat(rgb, s.colour, 1, 0x0001));
    e.add(PieFormat, u16Body(0));
    // No marker: Excel writes it in black with automatic colours.
    const bool marked = s.marker != ChartMarker::None;
    ByteWriter mk;
    rgbBytes(mk, marked ? rgb : 0);
    rgbBytes(mk, marked ? rgb : 0);
    mk.u16(static_cast<std::uint16_t>(s.marker));
    mk.u16(0); // filled and bordered
    mk.u16(marked ? s.colour : kAutoForeground);
    mk.u16(marked ? s.colour : kAutoForeground);
    mk.u32(s.markerSize);
    e.add(MarkerFormat, mk.take());
    if (s.valueLabels)
        e.add(AttachedLabel, u16Body(0x0001)); // the value
    e.end();

    e.add(SerToCrt, u16Body(icrt));
    e.end();
}

// IVAXIS: Axis Begin CatSerRange AxcExt Tick FontX AxisLine LineFormat End
void writeCategoryAxis(Emitter& e, const Chart& chart, bool secondary)
{
    e.add(Axis, axis(0));
    e.begin();
    e.add(CatSerRange, catSerRange(secondary, chart.pointsBetweenTicks));
    e.add(AxcExt, axcExt(chart));
    if (secondary) {
        // The secondary group shares the primary categories: no labels, no line.
        e.add(Tick, tick(false, false));
        e.add(FontX, u16Body(chart.fonts.axisLabels));
        e.add(AxisLine, u16Body(0));
        e.add(LineFormat,
              lineFormat(0, kLineNone, static_cast<std::int16_t>(ChartLineWeight::Hairline), 0, kAutoForeground));
    } else {
        if (chart.categoryNumberFormat != 0)
            e.add(IFmt, u16Body(chart.categoryNumberFormat));
        e.add(Tick, tick(true, true, chart.categoryLabelRotation));
        e.add(FontX, u16Body(chart.fonts.axisLabels));
        e.add(AxisLine, u16Body(0));
        e.add(LineFormat, lineFormat(paletteRgb(0x17), kLineSolid, 0, kLineAxisOn, 0x17));
        if (chart.categoryGridlines) {
            e.add(AxisLine, u16Body(1));
            e.add(LineFormat,
                  lineFormat(paletteRgb(chart.gridlineColour), kLineSolid,
                             static_cast<std::int16_t>(chart.gridlineWeight), 0, chart.gridlineColour));
        }
    }
    e.end();
}

// DVAXIS: Axis Begin ValueRange Tick FontX AxisLine LineFormat [AxisLine LineFormat] End
void writeValueAxis(Emitter& e, const Chart& chart, bool secondary)
{
    e.add(Axis, axis(1));
    e.begin();
    e.add(ValueRange, valueRange(secondary ? chart.secondaryValueScaling : chart.valueScaling));
    e.add(Tick, tick(true, true));
    e.add(FontX, u16Body(chart.fonts.axisLabels));
    e.add(AxisLine, u16Body(0));
    e.add(LineFormat, lineFormat(paletteRgb(0x17), kLineSolid, 0, kLineAxisOn, 0x17));
    if (!secondary && chart.valueGridlines) {
        e.add(AxisLine, u16Body(1));
        e.add(LineFormat,
              lineFormat(paletteRgb(chart.gridlineColour), kLineSolid, static_cast<std::int16_t>(chart.gridlineWeight),
                         0, chart.gridlineColour));
    }
    e.end();
}

void writeFrame(Emitter& e, std::uint16_t frameFlags, const Bytes& line, const Bytes& area)
{
    ByteWriter w;
    w.u16(0); // plain frame, no shadow
    w.u16(frameFlags);
    e.add(Frame, w.take());
    e.begin();
    e.add(LineFormat, line);
    e.add(AreaFormat, area);
    e.end();
}

void writeAxisParent(Emitter& e, const Chart& chart, bool secondary)
{
    const std::uint16_t iax = secondary ? 1 : 0;
    e.add(AxisParent, axisParent(iax));
    e.begin();
    e.add(Pos, pos(2, 2, 0x008C, 0x01AA, 0x0EEA, 0x0C52));
    writeCategoryAxis(e, chart, secondary);
    writeValueAxis(e, chart, secondary);
    if (!secondary) {
        if (!chart.categoryAxisTitle.isEmpty())
            writeTitle(e, chart.categoryAxisTitle, LinkCategoryAxis, chart.fonts.axisTitle, false);
        if (!chart.valueAxisTitle.isEmpty())
            writeTitle(e, chart.valueAxisTitle, LinkValueAxis, chart.fonts.axisTitle, false, chart.valueAxisTitleAngle);
        e.add(PlotArea);
        writeFrame(e, 0x0003, lineFormat(paletteRgb(0x17), kLineSolid, 0, 0, 0x17),
                   areaFormat(paletteRgb(chart.plotAreaColour), chart.plotAreaColour, chart.plotAreaFill ? 1 : 0, 0));
    } else if (!chart.secondaryValueAxisTitle.isEmpty()) {
        writeTitle(e, chart.secondaryValueAxisTitle, LinkValueAxis, chart.fonts.axisTitle, false,
                   chart.secondaryValueAxisTitleAngle);
    }

    // CRT: ChartFormat Begin Line CrtLink [LD] End
    e.add(ChartFormat, chartFormat(iax));
    e.begin();
    e.add(Line, u16Body(0)); // plain lines: not stacked, no shadow
    e.add(CrtLink, Bytes(10, 0));
    if (!secondary && chart.legend)
        writeLegend(e, chart);
    e.end();
    e.end();
}

Bytes f64Body(double v)
{
    ByteWriter w;
    w.f64(v);
    return w.take();
}

void writePageSetup(Emitter& e)
{
    e.add(Header);
    e.add(Footer);
    e.add(HCenter, u16Body(1));
    e.add(VCenter, u16Body(1));
    e.add(LeftMargin, f64Body(0.5));
    e.add(RightMargin, f64Body(0.5));
    e.add(TopMargin, f64Body(0.6));
    e.add(BottomMargin, f64Body(0.6));
    PageSetup setup;
    setup.setPaper(PageSetup::Letter, true, 600);
    setup.headerMargin = 0.3;
    setup.footerMargin = 0.3;
    e.add(Setup, setup.encode());
    e.add(PrintSize, u16Body(2)); // fill the page, keep the proportions
}

// One FBI per font the chart uses, with the chart size its height was chosen for.
void writeFontBases(Emitter& e, const Chart& chart)
{
    const ChartFonts& f = chart.fonts;
    const bool axisTitles = !chart.categoryAxisTitle.isEmpty() || !chart.valueAxisTitle.isEmpty()
        || (!chart.secondaryValueAxisTitle.isEmpty() && chart.hasSecondaryAxis());
    std::map<std::uint16_t, std::uint16_t> heights;
    const std::pair<std::uint16_t, std::uint16_t> used[]
        = {{f.title, chart.title.isEmpty() ? std::uint16_t(0) : f.titleHeight},
           {f.axisTitle, axisTitles ? f.axisTitleHeight : std::uint16_t(0)},
           {f.axisLabels, f.axisLabelsHeight},
           {f.legend, chart.legend ? f.legendHeight : std::uint16_t(0)}};
    for (const auto& [font, height] : used)
        if (height != 0)
            heights.emplace(font, height);
    for (const auto& [font, height] : heights) {
        ByteWriter w;
        w.u16(14666); // chart width and height in twips (733.3 pt by 450.7 pt)
        w.u16(9014);
        w.u16(height);
        w.u16(0); // scaled with the chart area
        w.u16(font);
        e.add(Fbi, w.take());
    }
}

void checkDateScaling(const DateAxisScaling& d)
{
    const auto known = [](DateUnit u) { return static_cast<std::uint16_t>(u) <= 2; };
    if (!known(d.base) || !known(d.majorUnit))
        throw Error(QStringLiteral("Unknown date axis unit"));
    if (!d.autoMajor && (d.major < 1 || d.major > 31999))
        throw Error(QStringLiteral("A date axis steps by 1 to 31,999 units"));
    if (!d.autoMajor && !d.autoBase && d.majorUnit < d.base)
        throw Error(QStringLiteral("A date axis' major unit cannot be smaller than its base unit"));
}

} // namespace

namespace {

void checkSeries(const ChartSeries& s)
{
    if (!s.values.isSet())
        throw Error(QStringLiteral("A chart series has no values"));
    checkRange(s.values, "values");
    if (!s.values.isLine())
        throw Error(QStringLiteral("Chart series values must be one row or one column"));
    if (s.categories.isSet()) {
        checkRange(s.categories, "categories");
        if (!s.categories.isLine())
            throw Error(QStringLiteral("Chart categories must be one row or one column"));
    }
    if (s.nameCell.isSet()) {
        checkRange(s.nameCell, "series name");
        if (!s.nameCell.isSingleCell())
            throw Error(QStringLiteral("A chart series name must be a single cell"));
    }
    checkText(s.name, "series name");
    paletteRgb(s.colour);
    if (s.markerSize < 40 || s.markerSize > 1440)
        throw Error(QStringLiteral("Chart markers are 2 to 72 points in size"));
    if (static_cast<std::uint16_t>(s.pattern) > static_cast<std::uint16_t>(ChartLinePattern::DashDotDot))
        throw Error(QStringLiteral("Unknown chart line pattern"));
}

void checkAxes(const Chart& chart)
{
    for (const ValueAxisScaling* scaling : {&chart.valueScaling, &chart.secondaryValueScaling}) {
        if ((!scaling->autoMin && !std::isfinite(scaling->min)) || (!scaling->autoMax && !std::isfinite(scaling->max))
            || (!scaling->autoMin && !scaling->autoMax && scaling->min >= scaling->max))
            throw Error(QStringLiteral("A value axis needs a minimum below its maximum"));
        if (!scaling->autoMajor && !(scaling->major > 0 && std::isfinite(scaling->major)))
            throw Error(QStringLiteral("A value axis needs a positive major unit"));
    }
    if (chart.dateCategoryAxis)
        checkDateScaling(chart.dateScaling);
    for (int angle : {chart.valueAxisTitleAngle, chart.secondaryValueAxisTitleAngle})
        if (angle < 0 || angle > 90)
            throw Error(QStringLiteral("Axis titles turn by 0 to 90 degrees"));
    if (chart.categoryLabelRotation < 0 || chart.categoryLabelRotation > 90)
        throw Error(QStringLiteral("Category labels turn by 0 to 90 degrees"));
}

// Everything a chart must be for Excel to open it; throws Error naming what is not.
void checkChart(const Chart& chart)
{
    if (chart.series.empty())
        throw Error(QStringLiteral("A chart needs at least one series"));
    if (!chart.unsupportedType.isEmpty() || chart.scatter)
        throw Error(QStringLiteral("Only line charts can be written, not a %1 chart")
                        .arg(chart.scatter ? QStringLiteral("scatter") : chart.unsupportedType));
    if (chart.series.size() > 255)
        throw Error(QStringLiteral("A chart holds at most 255 series"));
    checkText(chart.title, "title");
    checkText(chart.categoryAxisTitle, "axis title");
    checkText(chart.valueAxisTitle, "axis title");
    checkText(chart.secondaryValueAxisTitle, "axis title");
    for (const ChartSeries& s : chart.series)
        checkSeries(s);
    paletteRgb(chart.chartAreaColour);
    paletteRgb(chart.plotAreaColour);
    paletteRgb(chart.gridlineColour);
    if (static_cast<int>(chart.gridlineWeight) < -1 || static_cast<int>(chart.gridlineWeight) > 2)
        throw Error(QStringLiteral("Unknown gridline weight"));
    checkAxes(chart);
}

// CHART and its size, SCL, PLOTGROWTH and the chart area's frame.
void writeChartStart(Emitter& e, const Chart& chart)
{
    ByteWriter c;
    c.u32(0);
    c.u32(0);
    c.u32(0x02DD51E0); // 733.3 pt by 450.7 pt, Excel's chart sheet size
    c.u32(0x01C2B838);
    e.add(ChartRecord, c.take());
    e.begin();
    ByteWriter scl;
    scl.u16(1);
    scl.u16(1);
    e.add(Scl, scl.take());
    ByteWriter growth;
    growth.u32(0x00010000);
    growth.u32(0x00010000);
    e.add(PlotGrowth, growth.take());
    // A white chart area with no border is what a chart without a frame shows; Excel writes
    // the frame only for another fill.
    if (chart.chartAreaColour != 0x09 || !chart.chartAreaFill)
        writeFrame(
            e, 0x0002,
            lineFormat(0, kLineNone, static_cast<std::int16_t>(ChartLineWeight::Hairline), 0x0008, kAutoForeground),
            areaFormat(paletteRgb(chart.chartAreaColour), chart.chartAreaColour, chart.chartAreaFill ? 1 : 0, 0));
}

// SHTPROPS, and the default text for the chart (2) and for its axes (3), each with the font
// it starts from.
void writeSheetProperties(Emitter& e, const Chart& chart)
{
    ByteWriter props;
    props.u16(0x000E); // plot visible cells only, fixed plot area
    props.u8(0);       // empty cells leave a gap
    props.u8(0);
    e.add(ShtProps, props.take());
    for (const auto& [which, font] : {std::pair<std::uint16_t, std::uint16_t>{2, chart.fonts.legend},
                                      std::pair<std::uint16_t, std::uint16_t>{3, chart.fonts.axisLabels}}) {
        e.add(DefaultText, u16Body(which));
        e.add(Text, text(-21, -33, 0, 0, kTextAutoColour | kTextAutoText | kTextGenerated | kTextAutoMode, 0));
        e.begin();
        e.add(Pos, pos(2, 2, 0, 0, 0, 0));
        e.add(FontX, u16Body(font));
        e.add(BRAI, brai(AiName, AiLiteral));
        e.end();
    }
}

// SERIESDATA without cached values (readers take the points from the sheet) and the window.
void writeSheetEnd(Emitter& e, const Chart& chart)
{
    ByteWriter dims;
    dims.zeros(14);
    e.add(Dimensions, dims.take());
    for (std::uint16_t kind : {2, 1, 3})
        e.add(SIIndex, u16Body(kind));
    ByteWriter win;
    win.u16(chart.selected ? 0x0600 : 0x0000);
    win.u16(0);
    win.u16(0);
    win.u32(0);
    e.add(Window2, win.take());
}

} // namespace

RecordList writeChartSheetBody(const Chart& chart, const std::function<std::uint16_t(int sheetIndex)>& ixtiFor)
{
    checkChart(chart);
    // A chart group without series is something Excel cannot show, so a secondary axis exists
    // only when both groups have series.
    bool anyPrimary = false;
    for (const ChartSeries& s : chart.series)
        anyPrimary = anyPrimary || !s.secondaryAxis;
    const bool twoAxes = anyPrimary && chart.hasSecondaryAxis();

    Emitter e;
    writePageSetup(e);
    writeFontBases(e, chart);
    e.add(Units, u16Body(0));
    writeChartStart(e, chart);
    for (std::size_t i = 0; i < chart.series.size(); ++i) {
        const ChartSeries& s = chart.series[i];
        writeSeries(e, s, static_cast<int>(i), twoAxes && s.secondaryAxis ? 1 : 0, ixtiFor);
    }
    writeSheetProperties(e, chart);
    e.add(AxesUsed, u16Body(twoAxes ? 2 : 1));
    writeAxisParent(e, chart, false);
    if (twoAxes)
        writeAxisParent(e, chart, true);
    // Without a title TEXT, Excel titles a one-series chart with the series name.
    if (!chart.title.isEmpty())
        writeTitle(e, chart.title, LinkTitle, chart.fonts.title, false);
    else if (chart.series.size() == 1 && !chart.titleFromSeriesName)
        writeTitle(e, QString(), LinkTitle, chart.fonts.title, true);
    for (std::size_t i = 0; i < chart.series.size(); ++i)
        if (chart.series[i].valueLabels)
            writeValueLabels(e, static_cast<std::uint16_t>(i));
    e.end();
    writeSheetEnd(e, chart);
    return e.take();
}

} // namespace sheet
