#pragma once

#include "charts/Chart.h"
#include "charts/ChartData.h"
#include "charts/ChartDateAxis.h"
#include "charts/ChartScale.h"

#include <QColor>
#include <QFont>
#include <QLineF>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace sheet {

class Workbook;

// Where everything of one chart goes, in the painter's logical pixels: the arithmetic of a
// drawing, without the drawing. layoutChart() makes it; ChartDrawing (ChartRenderer.h) draws it.

// Which of the chart's fonts a text is drawn in.
enum class ChartTextRole { Title, AxisTitle, AxisLabel, Legend, NoData, DataLabel, Count };

struct ChartTextStyle {
    QFont font;
    QColor colour = Qt::black;
};

// One text: `box` is in a frame turned `angle` degrees counter-clockwise about `origin`.
struct ChartLayoutText {
    QString text;
    ChartTextRole role = ChartTextRole::AxisLabel;
    QPointF origin;
    double angle = 0;
    QRectF box;
    int alignment = 0; // Qt::Alignment and Qt::TextWordWrap
};

// A line's pen: its width in pixels (0: the thinnest line the device draws), colour, dashes.
struct ChartStroke {
    QColor colour = Qt::black;
    double width = 1;
    ChartLinePattern pattern = ChartLinePattern::Solid;
    bool round = false; // round caps and joins, as series lines have
};

// A value axis: its scale, one tick per major unit, and the labels beside them.
struct ValueAxisLayout {
    bool shown = false;
    AxisScale scale;
    std::vector<double> ticks;     // values
    std::vector<double> positions; // their heights in the picture
    std::vector<ChartLayoutText> labels;
    std::vector<QLineF> tickMarks;
};

// The category axis: its line, tick marks and the labels that fit. On a date axis, points
// sit at their dates and the labels at calendar steps (`dates`); else side by side.
struct CategoryAxisLayout {
    QLineF line;
    std::vector<QLineF> tickMarks;
    std::vector<ChartLayoutText> labels;
    int labelStep = 1; // every how many categories a label shows (a text axis)
    int angle = 0;     // of the labels, degrees counter-clockwise
    std::optional<DateAxisSteps> dates;
};

struct ChartLayoutMarker {
    QPointF at;
    ChartMarker shape = ChartMarker::None;
    double size = 0;
};

struct SeriesLayout {
    std::vector<std::optional<QPointF>> points; // one per category slot; none for a gap
    std::vector<QPolygonF> lines;               // runs of neighbouring points
    std::vector<ChartLayoutMarker> markers;
    std::vector<ChartLayoutText> labels; // the points' values, right of them
    QColor colour;
    ChartStroke stroke;
};

struct LegendEntryLayout {
    std::optional<QLineF> sample; // the line sample, when the series has a line
    ChartLayoutMarker marker;
    ChartLayoutText label;
    QColor colour;
    ChartStroke stroke;
};

struct LegendLayout {
    bool shown = false;
    QRectF frame;
    ChartStroke frameStroke;
    std::vector<LegendEntryLayout> entries;
};

// A text box where the chart puts it, in its own font, filled and framed as it says.
struct TextBoxLayout {
    QRectF box;
    ChartLayoutText text; // drawn in `style`
    ChartTextStyle style;
    std::optional<QColor> fill;
    std::optional<QColor> border;
};

struct ChartLayout {
    QRectF area; // the chart area
    std::optional<QColor> areaFill;
    std::array<ChartTextStyle, static_cast<std::size_t>(ChartTextRole::Count)> styles;
    std::vector<ChartLayoutText> texts; // the title and the axis titles
    LegendLayout legend;

    // The rest exists when there is room for a plot area.
    bool hasPlot = false;
    QRectF plot;
    std::optional<QColor> plotFill;
    ChartStroke plotBorder;
    ChartStroke axisStroke;
    std::vector<QLineF> gridlines;
    ChartStroke gridStroke;
    ValueAxisLayout primary, secondary;
    CategoryAxisLayout category;
    // A scatter chart's x axis: its scale and ticks (positions across), labelled by `category`.
    ValueAxisLayout xAxis;
    QRectF seriesClip;
    std::vector<SeriesLayout> series;
    double markerPenWidth = 1;            // the outline of markers, in the legend too
    std::vector<TextBoxLayout> textBoxes; // drawn over everything else
    // "No data" on a ground of the plot area's colour.
    std::optional<ChartLayoutText> noData;
    QRectF noDataBox;
    QColor noDataFill;

    const ChartTextStyle& style(ChartTextRole role) const { return styles[static_cast<std::size_t>(role)]; }
};

// Lays out `chart` with the numbers of `data` in `target`. Text, lines and gaps keep their
// size relative to the chart: `chartPoints` is the size the chart was made at, in points
// (its CHART record); empty, the chart writer's chart sheet (733.3 x 450.7 points). Needs a
// GUI application (fonts).
ChartLayout layoutChart(const Workbook& book, const Chart& chart, const ChartData& data, const QRectF& target,
                        const QSizeF& chartPoints = QSizeF());

} // namespace sheet
