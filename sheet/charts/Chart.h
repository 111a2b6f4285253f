#pragma once

#include "biff/Record.h"
#include "charts/ChartScale.h"

#include <QSizeF>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace sheet {

class Workbook;

// A rectangle of cells on one sheet of the workbook; rows and columns count from 0, both ends
// included. A chart's data always lives on another sheet, so the sheet is part of the range.
struct SheetRange {
    int sheet = -1; // workbook sheet index (BOUNDSHEET order); -1 means "no range"
    int firstRow = 0;
    int firstCol = 0;
    int lastRow = 0;
    int lastCol = 0;

    static SheetRange cell(int sheet, int row, int col) { return {sheet, row, col, row, col}; }
    static SheetRange column(int sheet, int col, int firstRow, int lastRow)
    {
        return {sheet, firstRow, col, lastRow, col};
    }

    bool isSet() const { return sheet >= 0; }
    bool isSingleCell() const { return firstRow == lastRow && firstCol == lastCol; }
    bool isLine() const { return firstRow == lastRow || firstCol == lastCol; }
    int cellCount() const { return (lastRow - firstRow + 1) * (lastCol - firstCol + 1); }

    bool operator==(const SheetRange& o) const
    {
        return sheet == o.sheet && firstRow == o.firstRow && firstCol == o.firstCol && lastRow == o.lastRow
            && lastCol == o.lastCol;
    }
    bool operator!=(const SheetRange& o) const { return !(*this == o); }
};

// Colours are indices into the workbook's default colour palette (8 to 63), which is what
// the chart records store next to the RGB value.
using PaletteIndex = std::uint16_t;
std::uint32_t paletteRgb(PaletteIndex index); // 0x00RRGGBB; throws Error outside 8..63

enum class ChartMarker : std::uint16_t {
    None = 0,
    Square = 1,
    Diamond = 2,
    Triangle = 3,
    Cross = 4,
    Star = 5,
    DowJones = 6,
    StdDev = 7,
    Circle = 8,
    Plus = 9,
};

enum class ChartLineWeight : std::int16_t { Hairline = -1, Narrow = 0, Medium = 1, Wide = 2 };

// The dashes of a series line, as LINEFORMAT stores them. A series without a line at all has
// `ChartSeries::line` false.
enum class ChartLinePattern : std::uint16_t { Solid = 0, Dash = 1, Dot = 2, DashDot = 3, DashDotDot = 4 };

// Calendar units of a date axis.
enum class DateUnit : std::uint16_t { Days = 0, Months = 1, Years = 2 };

// The steps of a date category axis (AXCEXT), each chosen from the dates or fixed. The base
// unit is the smallest step a point can sit at: with months, the entries of one month share
// a place. The major unit spaces the tick marks and labels, e.g. 7 days for weekly labels;
// it is never smaller than a fixed base unit.
struct DateAxisScaling {
    bool autoBase = true;
    DateUnit base = DateUnit::Days;
    bool autoMajor = true;
    std::uint16_t major = 1; // 1 to 31,999 of majorUnit
    DateUnit majorUnit = DateUnit::Days;

    bool operator==(const DateAxisScaling& o) const
    {
        return autoBase == o.autoBase && base == o.base && autoMajor == o.autoMajor && major == o.major
            && majorUnit == o.majorUnit;
    }
    bool operator!=(const DateAxisScaling& o) const { return !(*this == o); }
};

enum class LegendPosition : std::uint8_t { Bottom = 0, Corner = 1, Top = 2, Right = 3, Left = 4 };

struct ChartSeries {
    SheetRange values;     // one row or one column
    SheetRange categories; // optional; one row or one column
    SheetRange nameCell;   // optional single cell holding the series name
    QString name;          // literal name, used when there is no name cell (at most 255 characters)
    bool secondaryAxis = false;
    bool line = true; // false: markers only

    PaletteIndex colour = 0x0C;
    ChartLineWeight weight = ChartLineWeight::Medium;
    ChartLinePattern pattern = ChartLinePattern::Solid;
    ChartMarker marker = ChartMarker::Square; // None: a line without markers
    std::uint16_t markerSize = 100;           // twips
    bool valueLabels = false;                 // each point labelled with its value

    bool operator==(const ChartSeries& o) const;
};

// Indices of FONT records as cells use them (index 4 does not exist). Every index given here
// must exist in the workbook's font table, or Excel reports the file as damaged.
struct ChartFonts {
    std::uint16_t title = 0;
    std::uint16_t axisTitle = 0;
    std::uint16_t axisLabels = 0;
    std::uint16_t legend = 0;
    // Heights of those fonts in twips, when known: they go into FBI records, which keep the
    // text at its size however the chart is scaled. 0 writes no FBI for that font.
    std::uint16_t titleHeight = 0;
    std::uint16_t axisTitleHeight = 0;
    std::uint16_t axisLabelsHeight = 0;
    std::uint16_t legendHeight = 0;

    bool operator==(const ChartFonts& o) const
    {
        return title == o.title && axisTitle == o.axisTitle && axisLabels == o.axisLabels && legend == o.legend
            && titleHeight == o.titleHeight && axisTitleHeight == o.axisTitleHeight
            && axisLabelsHeight == o.axisLabelsHeight && legendHeight == o.legendHeight;
    }
};

// A text box on a chart, as other programs draw them (the chart writer writes none): where, in
// fractions of the chart area, what it says and in which font (of its first run).
struct ChartTextBox {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
    QString text;
    std::uint16_t font = 0;
    int alignment = 0x0001 | 0x0020; // Qt::AlignLeft | Qt::AlignTop
    bool filled = true;
    std::uint32_t fill = 0xFFFFFF; // 0xRRGGBB
    bool bordered = true;
    std::uint32_t border = 0x000000;

    bool operator==(const ChartTextBox& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom && text == o.text
            && font == o.font && alignment == o.alignment && filled == o.filled && fill == o.fill
            && bordered == o.bordered && border == o.border;
    }
};

// A line chart on a chart sheet: a category axis, a primary value axis and, when a series
// asks for it, a secondary value axis on the right.
struct Chart {
    QString title; // empty: no title
    QString categoryAxisTitle;
    QString valueAxisTitle;
    QString secondaryValueAxisTitle;
    // Value-axis titles read upwards beside their axis (90 degrees), or level (0) above it.
    int valueAxisTitleAngle = 90;
    int secondaryValueAxisTitleAngle = 90;
    // A date axis spaces points by their dates; a text axis puts them side by side. The text
    // axis is the safe choice when the category range may end in empty cells.
    bool dateCategoryAxis = false;
    DateAxisScaling dateScaling; // the date axis' units; kept only on a date axis
    // Category labels turned counter-clockwise by this many degrees (0 to 90); 0 lets the
    // reader turn them when they do not fit.
    int categoryLabelRotation = 0;
    // Number format of the category labels (a FORMAT index, e.g. 14 short date); 0 shows them
    // as the category cells are formatted.
    std::uint16_t categoryNumberFormat = 0;
    bool legend = true;
    LegendPosition legendPosition = LegendPosition::Bottom;
    bool valueGridlines = true;
    bool categoryGridlines = false; // upright lines at the category axis' tick marks
    PaletteIndex chartAreaColour = 0x09;
    PaletteIndex plotAreaColour = 0x09;
    bool chartAreaFill = true; // false: the area is transparent (no fill pattern)
    bool plotAreaFill = true;
    ValueAxisScaling valueScaling; // automatic unless the chart fixes limits or units
    ValueAxisScaling secondaryValueScaling;
    PaletteIndex gridlineColour = 0x16;
    ChartLineWeight gridlineWeight = ChartLineWeight::Hairline;
    ChartFonts fonts;
    bool selected = false; // the sheet's tab is selected (the workbook's active sheet)
    std::vector<ChartSeries> series;

    // Read from other writers' charts: points on the tick marks instead of between them; a
    // one-series chart without a title of its own, which the spreadsheet titles with the
    // series' name; the kind of chart when it is not plain lines ("bar", "3-D line"...),
    // which the writer refuses and the renderer shows as a placeholder.
    bool pointsBetweenTicks = true;
    bool titleFromSeriesName = false;
    QString unsupportedType;
    std::vector<ChartTextBox> textBoxes;
    // A scatter chart: each series' categories are its points' x values, on a value axis
    // scaled like the others (the writer writes line charts only).
    bool scatter = false;
    ValueAxisScaling xScaling;

    bool hasSecondaryAxis() const;
    bool operator==(const Chart& o) const;
};

// The records between a chart sheet's BOF (dt 0x20) and its EOF, both excluded, for `chart`.
// `ixtiFor` turns a sheet index into the EXTERNSHEET entry that 3-D references use.
// Throws Error when the chart cannot be written (no series, a range that is not one row or one
// column, a reference outside the sheet grid, text longer than 255 characters).
RecordList writeChartSheetBody(const Chart& chart, const std::function<std::uint16_t(int sheetIndex)>& ixtiFor);

// Reads a chart sheet body back. `sheetFor` turns an EXTERNSHEET entry into a sheet index and
// returns a negative number for an entry it does not know. Throws FormatError on input that
// does not hold a readable line chart.
Chart readChartSheetBody(const RecordList& body, const std::function<int(std::uint16_t ixti)>& sheetFor);

// What a BRAI record links: id 0 the series name, 1 its values, 2 its categories, 3 bubble
// sizes; type 0 automatic, 1 literal (text or values in the chart), 2 a reference, whose
// range is set when it is one cell or area of this workbook. Throws FormatError for a
// reference it cannot follow (another workbook, several areas, a truncated formula).
struct ChartLink {
    std::uint8_t id = 0;
    std::uint8_t type = 0;
    SheetRange range;
    bool deleted = false; // a reference to cells deleted since (#REF!): nothing to show
};
ChartLink readChartLink(const Bytes& brai, const std::function<int(std::uint16_t ixti)>& sheetFor);

// The size a chart was made at, in points, as its CHART record gives it; empty without one.
QSizeF readChartSize(const RecordList& body);

// Brings the cached parts of a chart sheet body up to date with the workbook's cells, as
// the spreadsheet does on every save: the text after each series-name reference
// (SERIESTEXT) and the cached categories and values (DIMENSIONS, then SIINDEX 2, 1 and 3
// each followed by one cell record per point and series). Everything else is kept as it
// is. A body it cannot follow comes back unchanged.
RecordList refreshChartCache(const Workbook& book, const RecordList& body);
// The body of a SERIESTEXT record holding `text` (at most 255 characters).
Bytes seriesTextBody(const QString& text);

// Record ids of the chart records, for code that walks chart sheet bodies.
namespace chartrec {
constexpr std::uint16_t Units = 0x1001;
constexpr std::uint16_t ChartRecord = 0x1002;
constexpr std::uint16_t SeriesRecord = 0x1003;
constexpr std::uint16_t DataFormat = 0x1006;
constexpr std::uint16_t LineFormat = 0x1007;
constexpr std::uint16_t MarkerFormat = 0x1009;
constexpr std::uint16_t AreaFormat = 0x100A;
constexpr std::uint16_t AttachedLabel = 0x100C;
constexpr std::uint16_t PieFormat = 0x100B;
constexpr std::uint16_t SeriesText = 0x100D;
constexpr std::uint16_t DefaultText = 0x1024;
constexpr std::uint16_t ChartFormat = 0x1014;
constexpr std::uint16_t Legend = 0x1015;
constexpr std::uint16_t Line = 0x1018;
constexpr std::uint16_t Axis = 0x101D;
constexpr std::uint16_t Tick = 0x101E;
constexpr std::uint16_t ValueRange = 0x101F;
constexpr std::uint16_t CatSerRange = 0x1020;
constexpr std::uint16_t AxisLine = 0x1021;
constexpr std::uint16_t CrtLink = 0x1022;
constexpr std::uint16_t Text = 0x1025;
constexpr std::uint16_t FontX = 0x1026;
constexpr std::uint16_t ObjectLink = 0x1027;
constexpr std::uint16_t Frame = 0x1032;
constexpr std::uint16_t Begin = 0x1033;
constexpr std::uint16_t End = 0x1034;
constexpr std::uint16_t PlotArea = 0x1035;
constexpr std::uint16_t AxisParent = 0x1041;
constexpr std::uint16_t ShtProps = 0x1044;
constexpr std::uint16_t SerToCrt = 0x1045;
constexpr std::uint16_t AxesUsed = 0x1046;
constexpr std::uint16_t IFmt = 0x104E;
constexpr std::uint16_t Pos = 0x104F;
constexpr std::uint16_t BRAI = 0x1051;
constexpr std::uint16_t BarShape3d = 0x105F;
constexpr std::uint16_t AxcExt = 0x1062;
constexpr std::uint16_t PlotGrowth = 0x1064;
constexpr std::uint16_t Fbi = 0x1060;
constexpr std::uint16_t SIIndex = 0x1065;
// Sheet-level records a chart sheet shares with worksheets.
constexpr std::uint16_t Header = 0x0014;
constexpr std::uint16_t Footer = 0x0015;
constexpr std::uint16_t LeftMargin = 0x0026;
constexpr std::uint16_t RightMargin = 0x0027;
constexpr std::uint16_t TopMargin = 0x0028;
constexpr std::uint16_t BottomMargin = 0x0029;
constexpr std::uint16_t PrintSize = 0x0033;
constexpr std::uint16_t HCenter = 0x0083;
constexpr std::uint16_t VCenter = 0x0084;
constexpr std::uint16_t Scl = 0x00A0;
constexpr std::uint16_t Setup = 0x00A1;
constexpr std::uint16_t Dimensions = 0x0200;
constexpr std::uint16_t Blank = 0x0201;
constexpr std::uint16_t Number = 0x0203;
constexpr std::uint16_t Label = 0x0204;
constexpr std::uint16_t BoolErr = 0x0205;
constexpr std::uint16_t Window2 = 0x023E;
// Drawing objects (text boxes) a chart sheet may hold before its chart.
constexpr std::uint16_t MsoDrawing = 0x00EC;
constexpr std::uint16_t Obj = 0x005D;
constexpr std::uint16_t TxO = 0x01B6;
constexpr std::uint16_t Continue = 0x003C;
} // namespace chartrec

} // namespace sheet
