#pragma once

#include "biff/Record.h"
#include "charts/Chart.h"
#include "charts/ChartData.h"
#include "charts/ChartLayout.h"

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

namespace sheet {

class Workbook;

// Draws the chart of chart sheet `sheetIndex` (a chart sheet of `book`) into `target`,
// in the painter's logical coordinates (1 unit = 1 px at 96 dpi). Throws sheet::Error when
// the sheet is not a chart sheet.
//
// The chart is drawn from the chart sheet's records and the workbook's current cell values
// (formulas are brought up to date first): line series in their colours, weights and
// markers, category labels, primary and secondary value axes scaled automatically (see
// ChartScale.h), axis titles, the title, the legend at its stored position, gridlines and
// the plot-area and chart-area fills. A chart this renderer cannot draw (another chart type,
// records it cannot read) gets a framed placeholder that says so. Trailing rows of the
// series ranges that hold nothing are left out. Text scales with the chart when the chart
// keeps its font sizes relative to the chart area (FBI records), as the spreadsheet does.
void paintChartSheet(const Workbook& book, int sheetIndex, QPainter& painter, const QRectF& target);

// The same drawn into a new ARGB image of `size` device pixels (white chart-area background
// unless the chart's own fill says otherwise), at device pixel ratio `dpr`.
// Throws sheet::Error for a picture beyond the renderer's bounds (render/RenderLimits.h).
QImage renderChartSheet(const Workbook& book, int sheetIndex, const QSize& size, qreal dpr = 1.0);

// Charts that other programs embed in a worksheet (LibreOffice writes no chart sheets): the
// records of each chart substream of sheet `sheetIndex`, in file order; none for a chart
// sheet or a worksheet without charts.
std::vector<RecordList> embeddedCharts(const Workbook& book, int sheetIndex);
// Draws one chart from its records (a chart sheet's or an embedded chart's) as
// paintChartSheet does; `name` captions a placeholder.
void paintChart(const Workbook& book, const RecordList& chart, const QString& name, QPainter& painter,
                const QRectF& target);

// A chart read from its records and the workbook's current cells, drawn later: what
// paintChart does in one go, in two steps, so that a caller can see the fonts and texts of
// the picture before anything is drawn (sheet-tool chooses its fonts from them). The workbook
// must outlive it.
class ChartDrawing {
public:
    ChartDrawing(const Workbook& book, const RecordList& chart, const QString& name);
    // Throws sheet::Error as paintChartSheet does.
    static ChartDrawing ofSheet(const Workbook& book, int sheetIndex);

    // The font families the picture uses, and every text it may show: value-axis labels are
    // given as all the characters their number format can write, as they depend on the size.
    QStringList fontFamilies() const;
    QStringList texts() const;

    void paint(QPainter& painter, const QRectF& target) const;

    // What paint() draws in `target`, as numbers; none when the chart is a placeholder.
    std::optional<ChartLayout> layout(const QRectF& target) const;
    // The chart as read from its records.
    const Chart& chart() const { return m_chart; }
    // Why the chart is drawn as a placeholder; empty when it is drawn.
    const QString& placeholderText() const { return m_placeholderText; }

private:
    const Workbook* m_book;
    QString m_name;
    Chart m_chart;
    QSizeF m_chartPoints; // the size the chart was made at
    ChartData m_data;
    // Set when the chart is drawn as a placeholder that says why.
    QString m_placeholderTitle;
    QString m_placeholderText;
};

} // namespace sheet
