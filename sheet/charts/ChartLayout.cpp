#include "charts/ChartLayout.h"

#include "charts/ChartLabels.h"
#include "format/DateSerial.h"
#include "model/Workbook.h"

#include <QFontMetricsF>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace sheet {

namespace {

// The chart writer's chart sheet: 14,666 x 9,014 twips, the basis of its FBI records too.
constexpr double kBasisWidth = 14666 / 15.0;
constexpr double kBasisHeight = 9014 / 15.0;

// Line widths as LibreOffice draws the weights of the chart records (0.35, 0.7 and 1.05 mm
// of a chart of the basis size), in pixels of that size; a hairline is the thinnest line the
// device draws.
double weightWidth(ChartLineWeight weight)
{
    switch (weight) {
    case ChartLineWeight::Hairline: return 0;
    case ChartLineWeight::Narrow: return 0.35 / 25.4 * 96;
    case ChartLineWeight::Medium: return 0.7 / 25.4 * 96;
    case ChartLineWeight::Wide: return 1.05 / 25.4 * 96;
    }
    return 0;
}

// Dates the spreadsheet can show: 1900-01-01 to 9999-12-31.
bool isDateSerial(double v) { return v >= 1 && v < 2958466; }

std::vector<double> ticksOf(const AxisScale& s)
{
    std::vector<double> out;
    const int n = static_cast<int>(std::floor((s.max - s.min) / s.major + 1e-9));
    for (int i = 0; i <= n && i <= 1000; ++i)
        out.push_back(s.min + i * s.major);
    return out;
}

// The data's smallest and largest value on each axis.
struct DataRange {
    double min = 0;
    double max = 0;
    bool any = false;

    void add(double v)
    {
        min = any ? std::min(min, v) : v;
        max = any ? std::max(max, v) : v;
        any = true;
    }
};

class LayoutBuilder {
public:
    LayoutBuilder(const Workbook& book, const Chart& chart, const ChartData& data, const QRectF& target,
                  const QSizeF& chartPoints)
        : m_book(book)
        , m_chart(chart)
        , m_data(data)
    {
        const bool ownSize = chartPoints.width() >= 1 && chartPoints.height() >= 1 && chartPoints.width() < 1e5
            && chartPoints.height() < 1e5;
        const double basisWidth = ownSize ? chartPoints.width() * 96 / 72 : kBasisWidth;
        const double basisHeight = ownSize ? chartPoints.height() * 96 / 72 : kBasisHeight;
        m_scale = std::min(target.width() / basisWidth, target.height() / basisHeight);
        if (!(m_scale > 0) || !std::isfinite(m_scale))
            m_scale = 1;
        m_out.area = target;
        m_pad = u(10);
        m_free = target.adjusted(m_pad, m_pad, -m_pad, -m_pad);
    }

    ChartLayout build();

private:
    double u(double v) const { return v * m_scale; }
    QColor colour(PaletteIndex index, const QColor& fallback) const;
    ChartTextStyle textStyle(std::uint16_t fontIndex) const;
    const ChartTextStyle& style(ChartTextRole role) const { return m_out.style(role); }
    void placeTitle();
    void placeLegend();
    LegendLayout legendEntries(const QRectF& box, bool vertical, const std::vector<double>& rowWidths,
                               int perRow) const;
    void placeAxisTitles();
    void prepareCategories();
    void prepareXAxis();
    std::vector<QString> scaleXAxis(double width);
    bool placeAxes();
    QRectF plotBeside(const QRectF& plot, const double labelWidths[2], double radians) const;
    void placeValueAxis(ValueAxisLayout& axis, const std::vector<QString>& labels, double labelWidth, bool right);
    void placeCategoryAxis();
    void placeCategoryLabel(const QString& text, double x, double room);
    double dateLabelSpacing() const;
    void placeSeries();
    void placeValueLabels(SeriesLayout& series, const ChartSeriesData& d, double markerSize);
    void placeTextBoxes();
    void placeNoData();
    ChartStroke seriesStroke(const ChartSeries& s, const QColor& c) const;
    double width(ChartLineWeight weight) const
    {
        return weight == ChartLineWeight::Hairline ? 0 : u(weightWidth(weight));
    }
    // Horizontal position of a category place in the plot area: in the middle of its slot,
    // or on the slots' edges.
    double xAt(const QRectF& plot, double place) const
    {
        const double n = m_lastPlace - m_firstPlace + 1;
        if (m_chart.pointsBetweenTicks)
            return plot.left() + (place - m_firstPlace + 0.5) * plot.width() / n;
        return n <= 1 ? plot.center().x() : plot.left() + (place - m_firstPlace) * plot.width() / (n - 1);
    }
    // Horizontal position of a scatter chart's x value.
    double xOfValue(double v) const
    {
        const AxisScale& s = m_out.xAxis.scale;
        return m_out.plot.left() + (v - s.min) / (s.max - s.min) * m_out.plot.width();
    }
    // Whether point i of a series has a place across the plot (a date, an x value).
    bool placed(const ChartSeriesData& d, std::size_t i) const
    {
        if (m_chart.scatter)
            return i < d.x.size() && std::isfinite(d.x[i]);
        return i < m_places.size() && m_places[i].has_value();
    }
    double yOf(const AxisScale& s, double v) const
    {
        return m_out.plot.bottom() - (v - s.min) / (s.max - s.min) * m_out.plot.height();
    }

    const Workbook& m_book;
    const Chart& m_chart;
    const ChartData& m_data;
    double m_scale = 1;
    double m_pad = 0;
    QRectF m_free; // what is left of the chart area for the parts not yet placed
    bool m_secondary = false;
    // Category places: slot i at place i on a text axis; on a date axis each slot at its
    // date's place in base units, and a slot without a date nowhere.
    std::vector<std::optional<double>> m_places;
    double m_firstPlace = 0;
    double m_lastPlace = 0;
    std::vector<double> m_dates; // the slots' dates, on a date axis
    LabelFormat m_dateFormat;
    QString m_firstLabel; // the leftmost category label
    DataRange m_xData;    // a scatter chart's x values
    std::vector<QString> m_xLabels;
    // Category labels, shared by the axes' placement.
    double m_widest = 0;
    double m_labelHeight = 0;
    double m_tick = 0;
    ChartLayout m_out;
};

QColor LayoutBuilder::colour(PaletteIndex index, const QColor& fallback) const
{
    if (index < 8 || index > 63)
        return fallback;
    const QColor c = m_book.paletteColor(index);
    return c.isValid() ? c : fallback;
}

ChartTextStyle LayoutBuilder::textStyle(std::uint16_t fontIndex) const
{
    ChartTextStyle t;
    Font f;
    if (m_book.hasFont(fontIndex))
        f = m_book.font(fontIndex);
    t.font = QFont(f.name);
    // Text keeps its size relative to the chart, as the chart's FBI records ask and as
    // spreadsheets show every chart scaled.
    const double px = f.height / 15.0 * m_scale;
    t.font.setPixelSize(std::max(1, static_cast<int>(std::lround(px))));
    t.font.setBold(f.bold());
    t.font.setItalic(f.italic());
    t.font.setUnderline(f.underline != 0);
    t.font.setStrikeOut(f.strikeOut());
    t.colour = colour(f.color, QColor(Qt::black));
    return t;
}

ChartStroke LayoutBuilder::seriesStroke(const ChartSeries& s, const QColor& c) const
{
    return ChartStroke{c, width(s.weight), s.pattern, true};
}

void LayoutBuilder::placeTitle()
{
    QString title = m_chart.title;
    if (title.isEmpty() && m_chart.titleFromSeriesName && !m_data.series.empty())
        title = m_data.series.front().name;
    if (title.isEmpty())
        return;
    const QFontMetricsF fm(style(ChartTextRole::Title).font);
    const int align = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
    const QRectF need = fm.boundingRect(m_free, align, title);
    m_out.texts.push_back(ChartLayoutText{title, ChartTextRole::Title, QPointF(), 0,
                                          QRectF(m_free.left(), m_free.top(), m_free.width(), need.height()), align});
    m_free.setTop(m_free.top() + need.height() + m_pad);
}

LegendLayout LayoutBuilder::legendEntries(const QRectF& box, bool vertical, const std::vector<double>& rowWidths,
                                          int perRow) const
{
    LegendLayout legend;
    legend.shown = true;
    const QFontMetricsF fm(style(ChartTextRole::Legend).font);
    const double line = fm.height() * 1.15;
    const double sample = u(28);
    const double gap = u(6);
    double y = box.top();
    std::size_t k = 0;
    for (std::size_t row = 0; row < rowWidths.size(); ++row) {
        double x = vertical ? box.left() : box.center().x() - rowWidths[row] / 2;
        for (int c = 0; c < perRow && k < m_data.series.size(); ++c, ++k) {
            const ChartSeries& s = m_chart.series[k];
            const double mid = y + line / 2;
            LegendEntryLayout entry;
            entry.colour = colour(s.colour, QColor(Qt::black));
            entry.stroke = seriesStroke(s, entry.colour);
            if (s.line)
                entry.sample = QLineF(QPointF(x, mid), QPointF(x + sample, mid));
            entry.marker = {QPointF(x + sample / 2, mid), s.marker, std::max(2.0, s.markerSize * m_scale / 15.0)};
            const QString& name = m_data.series[k].name;
            const double w = fm.horizontalAdvance(name);
            entry.label = ChartLayoutText{name,
                                          ChartTextRole::Legend,
                                          QPointF(),
                                          0,
                                          QRectF(x + sample + gap / 2, y, w + 2, line),
                                          Qt::AlignLeft | Qt::AlignVCenter};
            legend.entries.push_back(entry);
            x += sample + gap / 2 + w + gap * 2;
        }
        y += line;
    }
    // The automatic legend border, a thin line around the entries.
    const double frameWidth = vertical ? box.width() : *std::max_element(rowWidths.begin(), rowWidths.end());
    const QRectF frame(vertical ? box.left() : box.center().x() - frameWidth / 2, box.top(), frameWidth, box.height());
    legend.frame = frame.adjusted(-u(5), -u(2), -gap * 1.5 + u(5), u(2));
    legend.frameStroke = ChartStroke{QColor(Qt::black), width(ChartLineWeight::Hairline)};
    return legend;
}

void LayoutBuilder::placeLegend()
{
    if (!m_chart.legend || m_data.series.empty())
        return;
    const QFontMetricsF fm(style(ChartTextRole::Legend).font);
    const double line = fm.height() * 1.15;
    const double sample = u(28);
    const double gap = u(6);
    std::vector<double> widths;
    for (const ChartSeriesData& d : m_data.series)
        widths.push_back(sample + gap / 2 + fm.horizontalAdvance(d.name) + gap * 2);
    const bool vertical = m_chart.legendPosition == LegendPosition::Right
        || m_chart.legendPosition == LegendPosition::Left || m_chart.legendPosition == LegendPosition::Corner;
    // Rows of entries and their widths: one entry a row when the legend stands beside the
    // plot, else as many entries side by side as fit, in rows of equal count.
    auto rowsOf = [&](std::size_t perRow) {
        std::vector<double> rows;
        for (std::size_t i = 0; i < widths.size(); i += perRow) {
            double w = 0;
            for (std::size_t j = i; j < std::min(widths.size(), i + perRow); ++j)
                w += widths[j];
            rows.push_back(w);
        }
        return rows;
    };
    std::size_t perRow = vertical ? 1 : widths.size();
    while (perRow > 1) {
        const std::vector<double> rows = rowsOf(perRow);
        if (*std::max_element(rows.begin(), rows.end()) <= m_free.width())
            break;
        --perRow;
    }
    const std::vector<double> rows = rowsOf(perRow);
    const double boxWidth = *std::max_element(rows.begin(), rows.end());
    const double boxHeight = line * static_cast<double>(rows.size());
    QRectF box;
    switch (m_chart.legendPosition) {
    case LegendPosition::Bottom:
        box = QRectF(m_free.left(), m_free.bottom() - boxHeight - u(2), m_free.width(), boxHeight);
        m_free.setBottom(box.top() - m_pad);
        break;
    case LegendPosition::Top:
        box = QRectF(m_free.left(), m_free.top(), m_free.width(), boxHeight);
        m_free.setTop(box.bottom() + m_pad);
        break;
    case LegendPosition::Left:
        box = QRectF(m_free.left(), m_free.center().y() - boxHeight / 2, boxWidth, boxHeight);
        m_free.setLeft(box.right() + m_pad);
        break;
    case LegendPosition::Corner:
        box = QRectF(m_free.right() - boxWidth, m_free.top(), boxWidth, boxHeight);
        m_free.setRight(box.left() - m_pad);
        break;
    case LegendPosition::Right:
        box = QRectF(m_free.right() - boxWidth, m_free.center().y() - boxHeight / 2, boxWidth, boxHeight);
        m_free.setRight(box.left() - m_pad);
        break;
    }
    m_out.legend = legendEntries(box, vertical, rows, static_cast<int>(perRow));
}

void LayoutBuilder::placeAxisTitles()
{
    const QFontMetricsF titleMetrics(style(ChartTextRole::AxisTitle).font);
    const double h = titleMetrics.height();
    // Level titles share a line above the plot, each over its own axis.
    const bool primaryLevel = !m_chart.valueAxisTitle.isEmpty() && m_chart.valueAxisTitleAngle == 0;
    const bool secondaryLevel
        = m_secondary && !m_chart.secondaryValueAxisTitle.isEmpty() && m_chart.secondaryValueAxisTitleAngle == 0;
    if (primaryLevel || secondaryLevel) {
        const QRectF line(m_free.left(), m_free.top(), m_free.width(), h);
        if (primaryLevel)
            m_out.texts.push_back(ChartLayoutText{m_chart.valueAxisTitle, ChartTextRole::AxisTitle, QPointF(), 0, line,
                                                  Qt::AlignLeft | Qt::AlignVCenter});
        if (secondaryLevel)
            m_out.texts.push_back(ChartLayoutText{m_chart.secondaryValueAxisTitle, ChartTextRole::AxisTitle, QPointF(),
                                                  0, line, Qt::AlignRight | Qt::AlignVCenter});
        m_free.setTop(m_free.top() + h + m_pad / 2);
    }
    // The others turned a quarter to read upwards beside the value axes.
    auto verticalTitle = [&](const QString& caption, bool right) {
        const double x = right ? m_free.right() - h : m_free.left();
        m_out.texts.push_back(ChartLayoutText{caption, ChartTextRole::AxisTitle, QPointF(x, m_free.center().y()), 90,
                                              QRectF(-m_free.height() / 2, 0, m_free.height(), h), Qt::AlignCenter});
        if (right)
            m_free.setRight(m_free.right() - h - m_pad / 2);
        else
            m_free.setLeft(m_free.left() + h + m_pad / 2);
    };
    if (!m_chart.valueAxisTitle.isEmpty() && !primaryLevel)
        verticalTitle(m_chart.valueAxisTitle, false);
    if (m_secondary && !m_chart.secondaryValueAxisTitle.isEmpty() && !secondaryLevel)
        verticalTitle(m_chart.secondaryValueAxisTitle, true);
    if (!m_chart.categoryAxisTitle.isEmpty()) {
        m_out.texts.push_back(ChartLayoutText{m_chart.categoryAxisTitle, ChartTextRole::AxisTitle, QPointF(), 0,
                                              QRectF(m_free.left(), m_free.bottom() - h, m_free.width(), h),
                                              Qt::AlignCenter});
        m_free.setBottom(m_free.bottom() - h - m_pad / 2);
    }
}

// Where each category sits, and the widest label the category axis may show.
void LayoutBuilder::prepareCategories()
{
    const QFontMetricsF fm(style(ChartTextRole::AxisLabel).font);
    const QLocale locale;
    const int slotTotal = m_data.slotCount();
    m_places.assign(static_cast<std::size_t>(slotTotal), std::nullopt);
    if (m_chart.scatter) {
        prepareXAxis();
        return;
    }
    if (m_chart.dateCategoryAxis) {
        for (const auto& v : m_data.categoryNumbers)
            if (v && isDateSerial(*v))
                m_dates.push_back(std::floor(*v));
    }
    if (m_dates.empty()) { // a text axis, or a date axis without a date to place
        for (int i = 0; i < slotTotal; ++i)
            m_places[static_cast<std::size_t>(i)] = i;
        m_lastPlace = std::max(0, slotTotal - 1);
        for (const QString& c : m_data.categories)
            m_widest = std::max(m_widest, fm.horizontalAdvance(c));
        if (!m_data.categories.empty())
            m_firstLabel = m_data.categories.front();
        return;
    }
    m_dateFormat = dateAxisLabelFormat(m_book, m_chart, m_data.categoryFormatCell);
    // The places need the base unit only; the steps follow when the plot's width is known.
    const DateAxisSteps unit = dateAxisSteps(m_dates, m_chart.dateScaling, 1, 0, true);
    for (int i = 0; i < slotTotal; ++i)
        if (const auto& v = m_data.categoryNumbers[static_cast<std::size_t>(i)]; v && isDateSerial(*v))
            m_places[static_cast<std::size_t>(i)] = dateAxisPlace(*v, unit.base);
    m_firstPlace = unit.first;
    m_lastPlace = unit.last;
    // Labels of one date format are about as wide as one another: the first, the last and
    // one with two-digit month and day stand for all.
    const auto [lo, hi] = std::minmax_element(m_dates.begin(), m_dates.end());
    m_firstLabel = m_dateFormat.format(*lo, locale);
    const double december = dateToSerial(QDate(serialToDate(*hi).year(), 12, 28));
    for (double d : {*lo, *hi, december})
        m_widest = std::max(m_widest, fm.horizontalAdvance(m_dateFormat.format(d, locale)));
}

// A scatter chart's x values, and about how wide their labels are.
void LayoutBuilder::prepareXAxis()
{
    for (const ChartSeriesData& d : m_data.series)
        for (std::size_t i = 0; i < d.x.size() && i < d.values.size(); ++i)
            if (d.values[i] && std::isfinite(d.x[i]))
                m_xData.add(d.x[i]);
    const QFontMetricsF fm(style(ChartTextRole::AxisLabel).font);
    const LabelFormat format = cellLabelFormat(m_book, m_data.categoryFormatCell);
    for (double v : {m_xData.min, m_xData.max})
        m_widest = std::max(m_widest, fm.horizontalAdvance(format.format(v, QLocale())));
}

// The x axis of a scatter chart `width` pixels wide: as many intervals as labels fit.
std::vector<QString> LayoutBuilder::scaleXAxis(double width)
{
    ValueAxisLayout& axis = m_out.xAxis;
    const int intervals = static_cast<int>(width / (m_widest + u(16)));
    axis.shown = true;
    axis.scale = scaleValueAxis(m_xData.min, m_xData.max, m_chart.xScaling, intervals);
    axis.ticks = ticksOf(axis.scale);
    std::vector<QString> labels
        = valueAxisLabels(m_book, m_data.categoryFormatCell, axis.ticks, axis.scale.major, QLocale());
    const QFontMetricsF fm(style(ChartTextRole::AxisLabel).font);
    m_widest = 0;
    for (const QString& label : labels)
        m_widest = std::max(m_widest, fm.horizontalAdvance(label));
    m_firstLabel = labels.empty() ? QString() : labels.front();
    return labels;
}

// The plot area, the value axes' scales and labels; false when no plot area fits.
bool LayoutBuilder::placeAxes()
{
    const QFontMetricsF fm(style(ChartTextRole::AxisLabel).font);
    m_tick = u(4);
    m_labelHeight = fm.height();
    const double slotWidth = m_free.width() / std::max(1.0, m_lastPlace - m_firstPlace + 1);

    // Only the points drawn count: a value in a row without a date would stretch the scale.
    DataRange primaryData, secondaryData;
    for (const ChartSeriesData& d : m_data.series)
        for (std::size_t i = 0; i < d.values.size(); ++i)
            if (d.values[i] && placed(d, i))
                (d.secondaryAxis ? secondaryData : primaryData).add(*d.values[i]);

    // Text categories that do not fit side by side turn; dates show fewer labels instead.
    int angle = m_chart.categoryLabelRotation;
    if (angle == 0 && m_dates.empty() && !m_chart.scatter && m_widest + u(4) > slotWidth)
        angle = (m_widest * std::sin(M_PI / 4) + m_labelHeight) * 0.75 < slotWidth * 3 ? 45 : 90;
    m_out.category.angle = angle;
    const double radians = angle * M_PI / 180.0;
    const double categoryDepth = m_widest * std::sin(radians) + m_labelHeight * std::cos(radians);
    QRectF plot = m_free.adjusted(0, m_labelHeight / 2, 0, -(categoryDepth + m_tick + u(3)));

    // The value axes' labels need their width: the plot's height gives the scales first.
    const int intervals = static_cast<int>(plot.height() / (m_labelHeight * 1.2));
    m_out.primary.scale = scaleValueAxis(primaryData.min, primaryData.max, m_chart.valueScaling, intervals);
    m_out.secondary.scale
        = scaleValueAxis(secondaryData.min, secondaryData.max, m_chart.secondaryValueScaling, intervals);
    m_out.primary.shown = true;
    m_out.secondary.shown = m_secondary;
    std::vector<QString> labels[2];
    double widths[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
        ValueAxisLayout& axis = k == 0 ? m_out.primary : m_out.secondary;
        if (!axis.shown)
            continue;
        axis.ticks = ticksOf(axis.scale);
        labels[k] = valueAxisLabels(m_book, k == 0 ? m_data.primaryFormatCell : m_data.secondaryFormatCell, axis.ticks,
                                    axis.scale.major, QLocale());
        for (const QString& label : labels[k])
            widths[k] = std::max(widths[k], fm.horizontalAdvance(label));
    }
    if (m_chart.scatter)
        m_xLabels = scaleXAxis(plot.width() - widths[0] - widths[1]);
    plot = plotBeside(plot, widths, radians);
    if (plot.width() < 4 || plot.height() < 4)
        return false; // no room left for a plot area at this size
    m_out.plot = plot;
    placeValueAxis(m_out.primary, labels[0], widths[0], false);
    if (m_secondary)
        placeValueAxis(m_out.secondary, labels[1], widths[1], true);
    if (!m_dates.empty())
        m_out.category.dates
            = dateAxisSteps(m_dates, m_chart.dateScaling, plot.width(), dateLabelSpacing(), m_chart.pointsBetweenTicks);
    return true;
}

// The plot beside the value axes' labels; the first category label, which reaches left of
// its point (all of a turned label, half of a level one), must not run off the chart.
QRectF LayoutBuilder::plotBeside(const QRectF& area, const double labelWidths[2], double radians) const
{
    QRectF plot = area;
    plot.setLeft(plot.left() + labelWidths[0] + m_tick + u(4));
    if (m_secondary)
        plot.setRight(plot.right() - labelWidths[1] - m_tick - u(4));
    else
        plot.setRight(plot.right() - std::min(m_widest / 2, u(20)));
    if (!m_firstLabel.isEmpty()) {
        const double first = QFontMetricsF(style(ChartTextRole::AxisLabel).font).horizontalAdvance(m_firstLabel);
        const double reach
            = m_out.category.angle == 0 ? first / 2 : first * std::cos(radians) + m_labelHeight * std::sin(radians) / 2;
        const double firstX = m_chart.scatter ? plot.left() : xAt(plot, m_firstPlace);
        const double overflow = m_free.left() - (firstX - reach);
        if (overflow > 0)
            plot.setLeft(plot.left() + overflow);
    }
    return plot;
}

// How far apart the ticks of a date axis must lie for their labels not to touch.
double LayoutBuilder::dateLabelSpacing() const
{
    const int angle = m_out.category.angle;
    if (angle == 0)
        return m_widest + u(8);
    return m_labelHeight * 1.1 / std::sin(angle * M_PI / 180.0);
}

// Labels right-aligned left of the plot, or left-aligned right of it.
void LayoutBuilder::placeValueAxis(ValueAxisLayout& axis, const std::vector<QString>& labels, double labelWidth,
                                   bool right)
{
    const QRectF& plot = m_out.plot;
    for (std::size_t i = 0; i < axis.ticks.size(); ++i) {
        const double y = yOf(axis.scale, axis.ticks[i]);
        axis.positions.push_back(y);
        ChartLayoutText label;
        label.text = labels[i];
        label.role = ChartTextRole::AxisLabel;
        if (right) {
            axis.tickMarks.emplace_back(QPointF(plot.right(), y), QPointF(plot.right() + m_tick, y));
            label.box = QRectF(plot.right() + m_tick + u(3), y - m_labelHeight / 2, labelWidth + 2, m_labelHeight);
            label.alignment = Qt::AlignLeft | Qt::AlignVCenter;
        } else {
            axis.tickMarks.emplace_back(QPointF(plot.left() - m_tick, y), QPointF(plot.left(), y));
            label.box = QRectF(plot.left() - m_tick - u(3) - labelWidth - 2, y - m_labelHeight / 2, labelWidth + 2,
                               m_labelHeight);
            label.alignment = Qt::AlignRight | Qt::AlignVCenter;
        }
        axis.labels.push_back(label);
    }
}

// A category label under its point `x`, level in `room` pixels or turned.
void LayoutBuilder::placeCategoryLabel(const QString& text, double x, double room)
{
    CategoryAxisLayout& axis = m_out.category;
    const double top = m_out.plot.bottom() + m_tick + u(2);
    if (axis.angle == 0) {
        axis.labels.push_back(ChartLayoutText{text, ChartTextRole::AxisLabel, QPointF(), 0,
                                              QRectF(x - room / 2, top, room, m_labelHeight),
                                              Qt::AlignHCenter | Qt::AlignTop});
        return;
    }
    // The label's end sits under its point, the text running down to the left; its top corner
    // hangs from the line under the tick mark, so no tick runs into the text.
    const double radians = axis.angle * M_PI / 180.0;
    const double w = QFontMetricsF(style(ChartTextRole::AxisLabel).font).horizontalAdvance(text);
    axis.labels.push_back(ChartLayoutText{
        text, ChartTextRole::AxisLabel, QPointF(x - m_labelHeight / 2 * std::sin(radians), top),
        static_cast<double>(axis.angle), QRectF(-w - 2, 0, w + 2, m_labelHeight), Qt::AlignRight | Qt::AlignVCenter});
}

// Where the value axis passes 0, else along the bottom; labels below the plot area: on a
// text axis every one that fits, on a date axis one at each calendar step.
void LayoutBuilder::placeCategoryAxis()
{
    const QRectF& plot = m_out.plot;
    const AxisScale& primary = m_out.primary.scale;
    CategoryAxisLayout& axis = m_out.category;
    const double crossing = primary.min < 0 && primary.max > 0 ? 0.0 : primary.min;
    const double axisY = yOf(primary, crossing);
    axis.line = QLineF(QPointF(plot.left(), axisY), QPointF(plot.right(), axisY));
    auto tickAt
        = [&](double x) { axis.tickMarks.emplace_back(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + m_tick)); };
    if (m_chart.scatter) {
        const std::vector<double>& ticks = m_out.xAxis.ticks;
        const double room = ticks.size() > 1 ? xOfValue(ticks[1]) - xOfValue(ticks[0]) : plot.width();
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            const double x = xOfValue(ticks[i]);
            m_out.xAxis.positions.push_back(x);
            tickAt(x);
            placeCategoryLabel(i < m_xLabels.size() ? m_xLabels[i] : QString(), x, room);
        }
        return;
    }
    if (axis.dates) {
        const QLocale locale;
        const std::vector<double>& ticks = axis.dates->ticks;
        const double room = ticks.size() > 1 ? xAt(plot, dateAxisPlace(ticks[1], axis.dates->base))
                - xAt(plot, dateAxisPlace(ticks[0], axis.dates->base))
                                             : plot.width();
        for (double serial : ticks) {
            const double x = xAt(plot, dateAxisPlace(serial, axis.dates->base));
            tickAt(x);
            placeCategoryLabel(m_dateFormat.format(serial, locale), x, room);
        }
        return;
    }
    const int slotTotal = std::max(1, m_data.slotCount());
    const double slotWidth = plot.width() / slotTotal;
    const int tickCount = m_chart.pointsBetweenTicks ? slotTotal + 1 : slotTotal;
    for (int i = 0; i < tickCount; ++i)
        tickAt(m_chart.pointsBetweenTicks ? plot.left() + i * slotWidth : xAt(plot, i));
    const double radians = axis.angle * M_PI / 180.0;
    int step = 1;
    if (axis.angle == 0)
        step = static_cast<int>(std::ceil((m_widest + u(4)) / std::max(1.0, slotWidth)));
    else
        step = static_cast<int>(std::ceil(m_labelHeight * 1.1 / std::max(0.1, slotWidth * std::sin(radians))));
    axis.labelStep = std::max(1, step);
    for (int i = 0; i < m_data.slotCount(); i += axis.labelStep)
        placeCategoryLabel(m_data.categories[static_cast<std::size_t>(i)], xAt(plot, i), slotWidth * axis.labelStep);
}

void LayoutBuilder::placeSeries()
{
    const QRectF& plot = m_out.plot;
    const double markerScale = m_scale / 15.0; // twips to pixels
    m_out.seriesClip = plot.adjusted(-u(8), -u(8), u(8), u(8));
    for (std::size_t k = 0; k < m_data.series.size() && k < m_chart.series.size(); ++k) {
        const ChartSeries& s = m_chart.series[k];
        const ChartSeriesData& d = m_data.series[k];
        const AxisScale& scale = d.secondaryAxis ? m_out.secondary.scale : m_out.primary.scale;
        SeriesLayout out;
        out.colour = colour(s.colour, QColor(Qt::black));
        out.stroke = seriesStroke(s, out.colour);
        out.points.resize(d.values.size());
        for (std::size_t i = 0; i < d.values.size(); ++i)
            if (d.values[i] && placed(d, i))
                out.points[i]
                    = QPointF(m_chart.scatter ? xOfValue(d.x[i]) : xAt(plot, *m_places[i]), yOf(scale, *d.values[i]));

        // Lines join neighbouring points; a gap (no number) breaks the line.
        QPolygonF run;
        for (std::size_t i = 0; i <= out.points.size() && s.line; ++i) {
            if (i < out.points.size() && out.points[i]) {
                run << *out.points[i];
                continue;
            }
            if (run.size() > 1)
                out.lines.push_back(run);
            run.clear();
        }

        const double size = std::max(2.0, s.markerSize * markerScale);
        for (std::size_t i = 0; i < out.points.size(); ++i) {
            if (!out.points[i])
                continue;
            const bool alone
                = !s.line || ((i == 0 || !out.points[i - 1]) && (i + 1 >= out.points.size() || !out.points[i + 1]));
            if (s.marker != ChartMarker::None)
                out.markers.push_back({*out.points[i], s.marker, size});
            else if (alone) // a point with no line to either side still shows
                out.markers.push_back({*out.points[i], ChartMarker::Circle, std::max(3.0, u(4))});
        }
        if (s.valueLabels)
            placeValueLabels(out, d, size);
        m_out.series.push_back(std::move(out));
    }
}

// Each point's value right of it, in the format of the series' cells.
void LayoutBuilder::placeValueLabels(SeriesLayout& series, const ChartSeriesData& d, double markerSize)
{
    const QFontMetricsF fm(style(ChartTextRole::DataLabel).font);
    const LabelFormat format = cellLabelFormat(m_book, d.formatCell);
    const QLocale locale;
    for (std::size_t i = 0; i < series.points.size(); ++i) {
        if (!series.points[i])
            continue;
        const QString text = format.format(*d.values[i], locale);
        const QPointF p = *series.points[i];
        const double w = fm.horizontalAdvance(text) + 2;
        series.labels.push_back(
            ChartLayoutText{text, ChartTextRole::DataLabel, QPointF(), 0,
                            QRectF(p.x() + markerSize / 2 + u(3), p.y() - fm.height() / 2, w, fm.height()),
                            Qt::AlignLeft | Qt::AlignVCenter});
    }
}

// Text boxes where the chart puts them, in their fonts.
void LayoutBuilder::placeTextBoxes()
{
    const QRectF& area = m_out.area;
    for (const ChartTextBox& t : m_chart.textBoxes) {
        TextBoxLayout box;
        box.box = QRectF(QPointF(area.left() + t.left * area.width(), area.top() + t.top * area.height()),
                         QPointF(area.left() + t.right * area.width(), area.top() + t.bottom * area.height()));
        box.style = textStyle(t.font);
        box.text = ChartLayoutText{t.text,
                                   ChartTextRole::Title,
                                   QPointF(),
                                   0,
                                   box.box.adjusted(u(4), u(3), -u(4), -u(3)),
                                   t.alignment | Qt::TextWordWrap};
        if (t.filled)
            box.fill = QColor::fromRgb(t.fill);
        if (t.bordered)
            box.border = QColor::fromRgb(t.border);
        m_out.textBoxes.push_back(box);
    }
}

void LayoutBuilder::placeNoData()
{
    for (const SeriesLayout& series : m_out.series)
        if (std::any_of(series.points.begin(), series.points.end(), [](const auto& p) { return p.has_value(); }))
            return;
    QFont big = style(ChartTextRole::AxisLabel).font;
    big.setPixelSize(std::max(1, static_cast<int>(std::lround(big.pixelSize() * 1.5))));
    m_out.styles[static_cast<std::size_t>(ChartTextRole::NoData)]
        = ChartTextStyle{big, style(ChartTextRole::AxisLabel).colour};
    const QFontMetricsF bigMetrics(big);
    const QString words = QStringLiteral("No data");
    const double w = bigMetrics.horizontalAdvance(words) + u(16);
    const double h = bigMetrics.height() + u(8);
    m_out.noDataFill = colour(m_chart.plotAreaColour, QColor(Qt::white));
    m_out.noDataBox = QRectF(m_out.plot.center().x() - w / 2, m_out.plot.center().y() - h / 2, w, h);
    m_out.noData = ChartLayoutText{words, ChartTextRole::NoData, QPointF(), 0, m_out.noDataBox, Qt::AlignCenter};
}

ChartLayout LayoutBuilder::build()
{
    if (m_chart.chartAreaFill)
        m_out.areaFill = colour(m_chart.chartAreaColour, QColor(Qt::white));
    auto setStyle = [&](ChartTextRole role, std::uint16_t font) {
        m_out.styles[static_cast<std::size_t>(role)] = textStyle(font);
    };
    const ChartFonts& f = m_chart.fonts;
    setStyle(ChartTextRole::Title, f.title);
    setStyle(ChartTextRole::AxisTitle, f.axisTitle);
    setStyle(ChartTextRole::AxisLabel, f.axisLabels);
    setStyle(ChartTextRole::Legend, f.legend);
    setStyle(ChartTextRole::DataLabel, f.axisLabels);
    m_out.styles[static_cast<std::size_t>(ChartTextRole::NoData)] = style(ChartTextRole::AxisLabel);
    m_out.markerPenWidth = width(ChartLineWeight::Narrow);
    m_secondary = std::any_of(m_data.series.begin(), m_data.series.end(),
                              [](const ChartSeriesData& d) { return d.secondaryAxis; });

    placeTextBoxes();
    placeTitle();
    placeLegend();
    placeAxisTitles();
    prepareCategories();
    if (!placeAxes())
        return std::move(m_out);
    m_out.hasPlot = true;
    if (m_chart.plotAreaFill)
        m_out.plotFill = colour(m_chart.plotAreaColour, QColor(Qt::white));
    const QColor axisColour = colour(0x17, QColor(0x80, 0x80, 0x80));
    m_out.axisStroke = ChartStroke{axisColour, width(ChartLineWeight::Narrow)};
    m_out.plotBorder = m_out.axisStroke;
    if (m_chart.valueGridlines) {
        m_out.gridStroke
            = ChartStroke{colour(m_chart.gridlineColour, QColor(0xC0, 0xC0, 0xC0)), width(m_chart.gridlineWeight)};
        for (double y : m_out.primary.positions)
            m_out.gridlines.emplace_back(QPointF(m_out.plot.left(), y), QPointF(m_out.plot.right(), y));
    }
    placeCategoryAxis();
    if (m_chart.categoryGridlines) {
        m_out.gridStroke
            = ChartStroke{colour(m_chart.gridlineColour, QColor(0xC0, 0xC0, 0xC0)), width(m_chart.gridlineWeight)};
        for (const QLineF& tick : m_out.category.tickMarks)
            m_out.gridlines.emplace_back(QPointF(tick.x1(), m_out.plot.top()), QPointF(tick.x1(), m_out.plot.bottom()));
    }
    placeSeries();
    placeNoData();
    return std::move(m_out);
}

} // namespace

ChartLayout layoutChart(const Workbook& book, const Chart& chart, const ChartData& data, const QRectF& target,
                        const QSizeF& chartPoints)
{
    return LayoutBuilder(book, chart, data, target, chartPoints).build();
}

} // namespace sheet
