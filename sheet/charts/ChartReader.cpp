#include "charts/Chart.h"
#include "charts/ChartTextBoxes.h"

#include "base/Error.h"

#include <algorithm>
#include <cmath>

namespace sheet {

namespace {

using namespace chartrec;

constexpr int kMaxNesting = 64;

// A chart record with the records of its BEGIN ... END block, if it has one.
struct Node {
    const Record* record = nullptr;
    std::vector<Node> children;

    std::uint16_t id() const { return record->id; }
    ByteReader reader() const { return ByteReader(record->data); }
};

[[noreturn]] void fail(const QString& what) { throw FormatError(QStringLiteral("Chart sheet: %1").arg(what)); }

std::vector<Node> parseLevel(const RecordList& list, std::size_t& i, int depth)
{
    std::vector<Node> out;
    bool hasBlock = false; // the last node already got its block
    while (i < list.size()) {
        const Record& r = list[i];
        if (r.id == End) {
            if (depth == 0)
                fail(QStringLiteral("END without BEGIN"));
            ++i;
            return out;
        }
        if (r.id == Begin) {
            if (out.empty() || hasBlock)
                fail(QStringLiteral("BEGIN without a record to open"));
            if (depth + 1 > kMaxNesting)
                fail(QStringLiteral("blocks nested too deeply"));
            ++i;
            out.back().children = parseLevel(list, i, depth + 1);
            hasBlock = true;
            continue;
        }
        out.push_back(Node{&r, {}});
        hasBlock = false;
        ++i;
    }
    if (depth > 0)
        fail(QStringLiteral("BEGIN without END"));
    return out;
}

const Node* findChild(const Node& n, std::uint16_t id)
{
    for (const Node& c : n.children)
        if (c.id() == id)
            return &c;
    return nullptr;
}

struct Link {
    ChartLink link;
    QString text;
};

Link readLink(const Node& n, const std::function<int(std::uint16_t)>& sheetFor)
{
    return Link{readChartLink(n.record->data, sheetFor), QString()};
}

QString readSeriesText(const Node& n)
{
    ByteReader r = n.reader();
    r.u16();
    return r.shortXLUnicodeString();
}

std::uint16_t u16At(const Node& n, std::size_t offset)
{
    ByteReader r = n.reader();
    r.skip(offset);
    return r.u16();
}

struct TitleLabel {
    std::uint16_t link = 0;
    std::uint16_t linkSeries = 0;
    std::uint16_t linkPoint = 0;
    bool deleted = false;
    bool showsValue = false;
    bool autoText = false;
    int angle = 0; // counter-clockwise
    QString text;
    int font = -1;
};

// TEXT's turn: the orientation bits, else trot (0 to 90 counter-clockwise, 91 to 180
// clockwise, 255 letters stacked, read as upwards).
int textAngle(std::uint16_t flags, std::uint16_t trot)
{
    switch ((flags >> 8) & 0x7) {
    case 1: return 90;  // stacked
    case 2: return 90;  // a quarter counter-clockwise
    case 3: return -90; // a quarter clockwise
    default: break;
    }
    if (trot <= 90)
        return trot;
    if (trot <= 180)
        return 90 - trot;
    return trot == 255 ? 90 : 0;
}

TitleLabel readLabel(const Node& textNode)
{
    TitleLabel label;
    const std::uint16_t flags = u16At(textNode, 24);
    label.deleted = (flags & 0x0040) != 0;
    label.showsValue = (flags & 0x0004) != 0;
    label.autoText = (flags & 0x0010) != 0;
    label.angle = textAngle(flags, u16At(textNode, 30));
    for (const Node& c : textNode.children) {
        if (c.id() == SeriesText) {
            label.text = readSeriesText(c);
        } else if (c.id() == ObjectLink) {
            label.link = u16At(c, 0);
            label.linkSeries = u16At(c, 2);
            label.linkPoint = u16At(c, 4);
        } else if (c.id() == FontX) {
            label.font = u16At(c, 0);
        }
    }
    return label;
}

PaletteIndex areaColour(const Node& frame, PaletteIndex fallback, bool* filled)
{
    if (const Node* area = findChild(frame, AreaFormat)) {
        *filled = u16At(*area, 8) != 0; // fill pattern 0: none
        const std::uint16_t icv = u16At(*area, 12);
        if (icv >= 8 && icv <= 63)
            return icv;
    }
    return fallback;
}

// What the renderer cannot draw of a chart group: empty for plain (unstacked, flat) lines.
QString groupType(const Node& crt)
{
    QString type;
    bool threeD = false;
    for (const Node& c : crt.children) {
        switch (c.id()) {
        case Line:
            if (u16At(c, 0) & 0x0003)
                type = QStringLiteral("stacked line");
            break;
        case 0x1017: type = QStringLiteral("bar"); break;
        case 0x1019: type = QStringLiteral("pie"); break;
        case 0x101A: type = QStringLiteral("area"); break;
        case 0x101B: // scatter: drawn, unless its points are bubbles
            if (u16At(c, 4) & 0x0001)
                type = QStringLiteral("bubble");
            break;
        case 0x103E: type = QStringLiteral("radar"); break;
        case 0x103F: type = QStringLiteral("surface"); break;
        case 0x1040: type = QStringLiteral("filled radar"); break;
        case 0x1061: type = QStringLiteral("pie of pie"); break;
        case 0x103A: threeD = true; break; // Chart3d
        default: break;
        }
    }
    if (threeD)
        type = QStringLiteral("3-D ") + (type.isEmpty() ? QStringLiteral("line") : type);
    return type;
}

ValueAxisScaling readValueRange(const Node& n)
{
    ByteReader r = n.reader();
    ValueAxisScaling s;
    s.min = r.f64();
    s.max = r.f64();
    s.major = r.f64();
    r.f64(); // minor unit
    r.f64(); // crossing
    const std::uint16_t flags = r.u16();
    s.autoMin = flags & 0x0001;
    s.autoMax = flags & 0x0002;
    s.autoMajor = flags & 0x0004;
    if (!s.autoMin && !std::isfinite(s.min))
        s.autoMin = true;
    if (!s.autoMax && !std::isfinite(s.max))
        s.autoMax = true;
    if (!s.autoMajor && !(s.major > 0 && std::isfinite(s.major)))
        s.autoMajor = true;
    if (s.autoMin)
        s.min = 0;
    if (s.autoMax)
        s.max = 0;
    if (s.autoMajor)
        s.major = 0;
    return s;
}

// AXCEXT: whether the category axis is a date axis, and its units. Units it does not know
// are left to be chosen from the dates.
void readDateAxis(const Node& ext, Chart& chart)
{
    ByteReader r = ext.reader();
    r.u16(); // catMin
    r.u16(); // catMax
    const std::uint16_t major = r.u16();
    const std::uint16_t majorUnit = r.u16();
    r.u16(); // catMinor
    r.u16(); // duMinor
    const std::uint16_t base = r.u16();
    r.u16(); // crossing date
    const std::uint16_t flags = r.u16();
    chart.dateCategoryAxis = (flags & 0x0010) != 0;
    if (!chart.dateCategoryAxis)
        return;
    DateAxisScaling& d = chart.dateScaling;
    if ((flags & 0x0020) == 0 && base <= 2) {
        d.autoBase = false;
        d.base = static_cast<DateUnit>(base);
    }
    if ((flags & 0x0004) == 0 && majorUnit <= 2 && major >= 1 && major <= 31999 && (d.autoBase || majorUnit >= base)) {
        d.autoMajor = false;
        d.major = major;
        d.majorUnit = static_cast<DateUnit>(majorUnit);
    }
}

// Automatic formats: the spreadsheet's line-chart colours and markers in turn.
void automaticLook(ChartSeries& s, std::size_t formatIndex, bool line, bool marker)
{
    static const PaletteIndex kAutoColours[] = {0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27};
    static const ChartMarker kAutoMarkers[]
        = {ChartMarker::Diamond, ChartMarker::Square, ChartMarker::Triangle, ChartMarker::Cross,
           ChartMarker::Star,    ChartMarker::Circle, ChartMarker::Plus};
    if (line)
        s.colour = kAutoColours[formatIndex % 8];
    if (marker)
        s.marker = kAutoMarkers[formatIndex % 7];
}

// LINEFORMAT of a series: its weight, and unless automatic its line, dashes and colour.
bool readSeriesLine(const Node& f, ChartSeries& s)
{
    ByteReader r = f.reader();
    r.skip(4);
    const std::uint16_t pattern = r.u16();
    const std::int16_t we = r.i16();
    const std::uint16_t flags = r.u16();
    const std::uint16_t icv = r.u16();
    if (we >= -1 && we <= 2)
        s.weight = static_cast<ChartLineWeight>(we);
    const bool automatic = flags & 0x0001;
    if (!automatic) {
        s.line = pattern != 5;
        if (pattern <= 4) // 6 to 8 are grey fills, drawn solid
            s.pattern = static_cast<ChartLinePattern>(pattern);
        if (icv >= 8 && icv <= 63)
            s.colour = icv;
    }
    return automatic;
}

// MARKERFORMAT of a series: its size, and unless automatic its shape.
bool readSeriesMarker(const Node& f, ChartSeries& s)
{
    ByteReader r = f.reader();
    r.skip(8);
    const std::uint16_t imk = r.u16();
    const std::uint16_t flags = r.u16();
    const std::uint16_t colour = r.u16();
    r.skip(2);
    const std::uint32_t size = r.u32();
    const bool automatic = flags & 0x0001;
    if (!automatic && imk <= 9)
        s.marker = static_cast<ChartMarker>(imk);
    // Markers without a line show the series in their colour.
    if (!automatic && !s.line && colour >= 8 && colour <= 63)
        s.colour = colour;
    if (size <= 0xFFFF)
        s.markerSize = static_cast<std::uint16_t>(std::clamp<std::uint32_t>(size, 40, 1440));
    return automatic;
}

// DATAFORMAT of the whole series (not of one point): line, marker and value labels, with
// the spreadsheet's automatic look for the parts that ask for it. False for one point's.
bool readSeriesFormat(const Node& c, ChartSeries& s)
{
    if (u16At(c, 0) != 0xFFFF)
        return false;
    bool autoLine = true;
    bool autoMarker = true;
    for (const Node& f : c.children) {
        if (f.id() == LineFormat)
            autoLine = readSeriesLine(f, s);
        else if (f.id() == AttachedLabel)
            s.valueLabels = (u16At(f, 0) & 0x0001) != 0;
        else if (f.id() == MarkerFormat)
            autoMarker = readSeriesMarker(f, s);
    }
    automaticLook(s, u16At(c, 4), autoLine, autoMarker);
    return true;
}

// The series' name, values and categories from its links.
void readSeriesLinks(const std::vector<Link>& links, ChartSeries& s)
{
    bool valuesDeleted = false;
    for (const Link& l : links) {
        switch (l.link.id) {
        case 0:
            if (l.link.range.isSet()) {
                if (!l.link.range.isSingleCell())
                    fail(QStringLiteral("series name is not a single cell"));
                s.nameCell = l.link.range;
            } else {
                s.name = l.text;
            }
            break;
        case 1:
            s.values = l.link.range;
            valuesDeleted = l.link.deleted;
            break;
        case 2: s.categories = l.link.range; break;
        default: break;
        }
    }
    if (!s.values.isSet() && !valuesDeleted)
        fail(QStringLiteral("series without a values range"));
}

ChartSeries readSeries(const Node& n, std::size_t index, std::uint16_t* icrt,
                       const std::function<int(std::uint16_t)>& sheetFor)
{
    bool formatted = false;
    ChartSeries s;
    std::vector<Link> links;
    links.reserve(n.children.size());
    bool haveGroup = false;
    for (const Node& c : n.children) {
        switch (c.id()) {
        case BRAI: links.push_back(readLink(c, sheetFor)); break;
        case SeriesText:
            if (links.empty())
                fail(QStringLiteral("series text without a link"));
            links.back().text = readSeriesText(c);
            break;
        case DataFormat: formatted = readSeriesFormat(c, s) || formatted; break;
        case SerToCrt:
            *icrt = u16At(c, 0);
            haveGroup = true;
            break;
        default: break;
        }
    }
    if (!haveGroup)
        fail(QStringLiteral("series without a chart group"));
    if (!formatted)
        automaticLook(s, index, true, true);
    readSeriesLinks(links, s);
    return s;
}

} // namespace

ChartLink readChartLink(const Bytes& brai, const std::function<int(std::uint16_t ixti)>& sheetFor)
{
    ByteReader r(brai);
    ChartLink link;
    link.id = r.u8();
    link.type = r.u8();
    r.u16();
    r.u16();
    const std::size_t cce = r.u16();
    if (link.type != 2 || cce == 0)
        return link;
    r.need(cce);
    const std::uint8_t ptg = r.u8();
    const std::uint8_t base = ptg & 0x9F; // strip the operand class
    const std::uint16_t ixti = r.u16();
    SheetRange range;
    auto column = [](std::uint16_t raw) {
        const int col = raw & 0x3FFF;
        if (col > 255)
            fail(QStringLiteral("column out of range in a reference"));
        return col;
    };
    if (base == 0x1A) { // ptgRef3d
        range.firstRow = range.lastRow = r.u16();
        range.firstCol = range.lastCol = column(r.u16());
    } else if (base == 0x1B) { // ptgArea3d
        range.firstRow = r.u16();
        range.lastRow = r.u16();
        range.firstCol = column(r.u16());
        range.lastCol = column(r.u16());
    } else if ((base == 0x1C && cce == 7) || (base == 0x1D && cce == 11)) { // ptgRefErr3d, ptgAreaErr3d
        link.deleted = true;
        return link;
    } else {
        fail(QStringLiteral("unsupported token 0x%1 in a chart reference").arg(ptg, 2, 16, QLatin1Char('0')));
    }
    if (cce != 7 + (base == 0x1B ? 4u : 0u))
        fail(QStringLiteral("a chart reference holds more than one range"));
    if (range.firstRow > range.lastRow || range.firstCol > range.lastCol)
        fail(QStringLiteral("reversed range in a chart reference"));
    range.sheet = sheetFor(ixti);
    if (range.sheet < 0)
        fail(QStringLiteral("reference to an unknown sheet entry %1").arg(ixti));
    link.range = range;
    return link;
}

QSizeF readChartSize(const RecordList& body)
{
    for (const Record& r : body) {
        if (r.id != ChartRecord || r.data.size() < 16)
            continue;
        ByteReader reader(r.data);
        reader.skip(8);
        const double width = reader.u32() / 65536.0; // 16.16 fixed point
        const double height = reader.u32() / 65536.0;
        return QSizeF(width, height);
    }
    return QSizeF();
}

namespace {

// A legend placed by hand: the side of the chart its top-left corner is nearest to (in
// 1/4000 of the chart area).
LegendPosition floatingLegend(const Node& legend)
{
    ByteReader r = legend.reader();
    const std::int32_t x = r.i32();
    const std::int32_t y = r.i32();
    if (y > 3000)
        return LegendPosition::Bottom;
    if (y < 600)
        return LegendPosition::Top;
    return x < 1000 ? LegendPosition::Left : LegendPosition::Right;
}

// Reads the chart of a chart sheet body, one record family at a time.
class ChartSheetReader {
public:
    explicit ChartSheetReader(const std::function<int(std::uint16_t)>& sheetFor)
        : m_sheetFor(sheetFor)
    {
        m_chart.legend = false;
        m_chart.valueGridlines = false;
    }

    Chart read(const RecordList& body);

private:
    void readChartBlock(const Node& chartNode);
    void readChartText(const Node& text);
    void readAxisParent(const Node& parent);
    void readCategoryAxis(const Node& axis);
    void readValueAxis(const Node& axis, bool secondary);
    void readAxisTitle(const Node& text, bool secondary);
    void readChartGroup(const Node& group, std::uint16_t iax);
    void finish();

    const std::function<int(std::uint16_t)>& m_sheetFor;
    Chart m_chart;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> m_fontHeights; // (font, height) from FBI
    std::vector<std::uint16_t> m_groupOfSeries;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> m_groupAxis; // (icrt, iax)
    std::vector<TitleLabel> m_dataLabels;
    std::vector<int> m_keptSeries; // each SERIES record's series in the chart, or -1
    bool m_haveTitle = false;
    bool m_autoTitle = false;
};

Chart ChartSheetReader::read(const RecordList& body)
{
    std::size_t i = 0;
    const std::vector<Node> top = parseLevel(body, i, 0);
    const Node* chartNode = nullptr;
    for (const Node& n : top) {
        if (n.id() == Fbi)
            m_fontHeights.emplace_back(u16At(n, 8), u16At(n, 4));
        if (n.id() == ChartRecord && !chartNode)
            chartNode = &n;
        else if (n.id() == Window2)
            m_chart.selected = (u16At(n, 0) & 0x0200) != 0;
    }
    if (!chartNode)
        fail(QStringLiteral("no CHART record"));
    m_chart.textBoxes = readChartTextBoxes(body);
    readChartBlock(*chartNode);
    finish();
    return std::move(m_chart);
}

void ChartSheetReader::readChartBlock(const Node& chartNode)
{
    for (const Node& n : chartNode.children) {
        switch (n.id()) {
        case SeriesRecord: {
            // A trend line or error bars of another series (SERPARENT) are not drawn.
            if (findChild(n, 0x104A)) {
                m_keptSeries.push_back(-1);
                break;
            }
            std::uint16_t icrt = 0;
            m_keptSeries.push_back(static_cast<int>(m_chart.series.size()));
            m_chart.series.push_back(readSeries(n, m_chart.series.size(), &icrt, m_sheetFor));
            m_groupOfSeries.push_back(icrt);
            break;
        }
        case Frame: m_chart.chartAreaColour = areaColour(n, m_chart.chartAreaColour, &m_chart.chartAreaFill); break;
        case Text: readChartText(n); break;
        case AxisParent: readAxisParent(n); break;
        default: break;
        }
    }
}

// The chart's title, or the labels of a series' points.
void ChartSheetReader::readChartText(const Node& text)
{
    const TitleLabel label = readLabel(text);
    if (label.link == 1) {
        m_haveTitle = true;
        if (!label.deleted)
            m_chart.title = label.text;
        // A title with automatic text and none of its own is the single series' name.
        m_autoTitle = !label.deleted && label.text.isEmpty() && label.autoText;
        if (label.font >= 0)
            m_chart.fonts.title = static_cast<std::uint16_t>(label.font);
    } else if (label.link == 4 && label.linkPoint == 0xFFFF) {
        m_dataLabels.push_back(label);
    }
}

void ChartSheetReader::readAxisParent(const Node& parent)
{
    const std::uint16_t iax = u16At(parent, 0);
    if (iax > 1)
        fail(QStringLiteral("more than two axis groups"));
    const bool secondary = iax == 1;
    bool afterPlotArea = false;
    int axisCount = 0;
    for (const Node& c : parent.children) {
        if (c.id() == Axis) {
            ++axisCount;
            const std::uint16_t type = u16At(c, 0);
            if (type == 1)
                readValueAxis(c, secondary);
            else if (type == 0 && !secondary)
                readCategoryAxis(c);
            if (type == 0 && !secondary)
                if (const Node* range = findChild(c, ValueRange)) // a scatter chart's x axis
                    m_chart.xScaling = readValueRange(*range);
        } else if (c.id() == Text) {
            readAxisTitle(c, secondary);
        } else if (c.id() == PlotArea) {
            afterPlotArea = true;
        } else if (c.id() == Frame && afterPlotArea) {
            m_chart.plotAreaColour = areaColour(c, m_chart.plotAreaColour, &m_chart.plotAreaFill);
            afterPlotArea = false;
        } else if (c.id() == ChartFormat) {
            readChartGroup(c, iax);
        }
    }
    if (axisCount > 3)
        fail(QStringLiteral("too many axes in an axis group"));
}

void ChartSheetReader::readCategoryAxis(const Node& c)
{
    if (const Node* range = findChild(c, CatSerRange))
        m_chart.pointsBetweenTicks = (u16At(*range, 6) & 0x0001) != 0;
    if (const Node* ext = findChild(c, AxcExt))
        readDateAxis(*ext, m_chart);
    if (const Node* font = findChild(c, FontX))
        m_chart.fonts.axisLabels = u16At(*font, 0);
    if (const Node* format = findChild(c, IFmt))
        m_chart.categoryNumberFormat = u16At(*format, 0);
    if (const Node* tick = findChild(c, Tick)) {
        const std::uint16_t angle = u16At(*tick, 28);
        if ((u16At(*tick, 24) & 0x0020) == 0 && angle <= 90)
            m_chart.categoryLabelRotation = angle;
    }
    for (std::size_t k = 0; k + 1 < c.children.size(); ++k)
        if (c.children[k].id() == AxisLine && u16At(c.children[k], 0) == 1 && c.children[k + 1].id() == LineFormat)
            m_chart.categoryGridlines = u16At(c.children[k + 1], 4) != 5;
}

void ChartSheetReader::readValueAxis(const Node& c, bool secondary)
{
    if (const Node* range = findChild(c, ValueRange))
        (secondary ? m_chart.secondaryValueScaling : m_chart.valueScaling) = readValueRange(*range);
    if (secondary)
        return;
    for (std::size_t k = 0; k + 1 < c.children.size(); ++k) {
        if (c.children[k].id() != AxisLine || u16At(c.children[k], 0) != 1 || c.children[k + 1].id() != LineFormat)
            continue;
        const Node& format = c.children[k + 1];
        const std::uint16_t icv = u16At(format, 10);
        const auto weight = static_cast<std::int16_t>(u16At(format, 6));
        m_chart.valueGridlines = u16At(format, 4) != 5; // drawn with no line
        if (u16At(format, 8) & 0x0001) {
            m_chart.gridlineColour = 0x08; // automatic: a black hairline
            m_chart.gridlineWeight = ChartLineWeight::Hairline;
        } else {
            if (icv >= 8 && icv <= 63)
                m_chart.gridlineColour = icv;
            if (weight >= -1 && weight <= 2)
                m_chart.gridlineWeight = static_cast<ChartLineWeight>(weight);
        }
    }
}

void ChartSheetReader::readAxisTitle(const Node& text, bool secondary)
{
    const TitleLabel label = readLabel(text);
    if (label.deleted)
        return;
    // Turned either way, a title reads beside its axis; anything flatter sits level above it.
    const int angle = std::abs(label.angle) > 45 ? 90 : 0;
    if (label.link == 2) {
        (secondary ? m_chart.secondaryValueAxisTitle : m_chart.valueAxisTitle) = label.text;
        (secondary ? m_chart.secondaryValueAxisTitleAngle : m_chart.valueAxisTitleAngle) = angle;
    } else if (label.link == 3 && !secondary) {
        m_chart.categoryAxisTitle = label.text;
    }
    if (label.font >= 0 && (label.link == 2 || label.link == 3))
        m_chart.fonts.axisTitle = static_cast<std::uint16_t>(label.font);
}

void ChartSheetReader::readChartGroup(const Node& c, std::uint16_t iax)
{
    ByteReader r = c.reader();
    r.skip(18);
    m_groupAxis.emplace_back(r.u16(), iax);
    if (m_chart.unsupportedType.isEmpty())
        m_chart.unsupportedType = groupType(c);
    const bool scatter = findChild(c, 0x101B) != nullptr;
    if (m_groupAxis.size() == 1)
        m_chart.scatter = scatter;
    else if (scatter != m_chart.scatter && m_chart.unsupportedType.isEmpty())
        m_chart.unsupportedType = QStringLiteral("combined line and scatter");
    if (const Node* legend = findChild(c, Legend)) {
        m_chart.legend = true;
        const std::uint8_t type = static_cast<std::uint8_t>(u16At(*legend, 16) & 0xFF);
        m_chart.legendPosition = type <= 4 ? static_cast<LegendPosition>(type) : floatingLegend(*legend);
        if (const Node* text = findChild(*legend, Text))
            if (const Node* font = findChild(*text, FontX))
                m_chart.fonts.legend = u16At(*font, 0);
    }
}

void ChartSheetReader::finish()
{
    Chart& chart = m_chart; // a chart without series is an empty one, as other programs show it
    // With no title of its own, a chart of one series is titled with the series' name.
    chart.titleFromSeriesName = (!m_haveTitle || m_autoTitle) && chart.series.size() == 1;
    for (const auto& [font, height] : m_fontHeights) {
        ChartFonts& f = chart.fonts;
        if (f.title == font && chart.title.size())
            f.titleHeight = height;
        if (f.axisTitle == font
            && (chart.valueAxisTitle.size() || chart.categoryAxisTitle.size() || chart.secondaryValueAxisTitle.size()))
            f.axisTitleHeight = height;
        if (f.axisLabels == font)
            f.axisLabelsHeight = height;
        if (f.legend == font && chart.legend)
            f.legendHeight = height;
    }
    for (const TitleLabel& label : m_dataLabels) {
        const int k = label.linkSeries < m_keptSeries.size() ? m_keptSeries[label.linkSeries] : -1;
        if (k >= 0)
            chart.series[static_cast<std::size_t>(k)].valueLabels = !label.deleted && label.showsValue;
    }
    for (std::size_t k = 0; k < chart.series.size(); ++k) {
        const auto group = std::find_if(m_groupAxis.begin(), m_groupAxis.end(),
                                        [&](const auto& g) { return g.first == m_groupOfSeries[k]; });
        if (group == m_groupAxis.end())
            fail(QStringLiteral("series refers to a missing chart group"));
        chart.series[k].secondaryAxis = group->second == 1;
    }
}

} // namespace

Chart readChartSheetBody(const RecordList& body, const std::function<int(std::uint16_t ixti)>& sheetFor)
{
    return ChartSheetReader(sheetFor).read(body);
}

} // namespace sheet
