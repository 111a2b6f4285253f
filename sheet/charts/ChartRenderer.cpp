#include "charts/ChartRenderer.h"

#include "charts/Chart.h"
#include "charts/ChartData.h"
#include "charts/ChartScale.h"
#include "base/Error.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "biff/RecordStream.h"
#include "render/RenderLimits.h"

#include <QFontMetricsF>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace sheet {

namespace {

// Font heights in FBI records were chosen for this chart size (the chart sheet's own size in
// the chart writer): 14,666 x 9,014 twips.
constexpr double kBasisWidth = 14666 / 15.0;
constexpr double kBasisHeight = 9014 / 15.0;

struct Text {
    QFont font;
    QColor colour = Qt::black;
};

// The pieces of one drawing, in the painter's logical pixels.
class ChartPainter {
public:
    ChartPainter(const Workbook& book, const Chart& chart, const ChartData& data, QPainter& painter,
                 const QRectF& target)
        : m_book(book)
        , m_chart(chart)
        , m_data(data)
        , m_p(painter)
        , m_target(target)
    {
        m_scale = std::min(target.width() / kBasisWidth, target.height() / kBasisHeight);
        if (!(m_scale > 0) || !std::isfinite(m_scale))
            m_scale = 1;
    }

    void paint();

private:
    Text text(std::uint16_t fontIndex, std::uint16_t fbiHeight) const;
    double u(double v) const { return v * m_scale; }
    QColor colour(PaletteIndex index, const QColor& fallback) const;
    void layoutAndDraw();
    void drawLegend(const QRectF& box, bool vertical, const std::vector<double>& rowWidths, int perRow);
    void drawMarker(const QPointF& at, ChartMarker marker, double size, const QColor& c);
    void drawSeries(const QRectF& plot, const AxisScale& primary, const AxisScale& secondary);
    // Horizontal position of category slot i in the plot area.
    double xOf(const QRectF& plot, int i) const
    {
        const int n = std::max(1, m_data.slotCount());
        if (m_chart.pointsBetweenTicks)
            return plot.left() + (i + 0.5) * plot.width() / n;
        return n == 1 ? plot.center().x() : plot.left() + i * plot.width() / (n - 1);
    }
    QPen seriesPen(const ChartSeries& s, const QColor& c) const;

    const Workbook& m_book;
    const Chart& m_chart;
    const ChartData& m_data;
    QPainter& m_p;
    QRectF m_target;
    double m_scale = 1;
};

Text ChartPainter::text(std::uint16_t fontIndex, std::uint16_t fbiHeight) const
{
    Text t;
    Font f;
    if (m_book.hasFont(fontIndex))
        f = m_book.font(fontIndex);
    t.font = QFont(f.name);
    // Text keeps its size relative to the chart when the chart says so (FBI), else its own.
    const double px = f.height / 15.0 * (fbiHeight != 0 ? m_scale : 1.0);
    t.font.setPixelSize(std::max(1, static_cast<int>(std::lround(px))));
    t.font.setBold(f.bold());
    t.font.setItalic(f.italic());
    t.font.setUnderline(f.underline != 0);
    t.font.setStrikeOut(f.strikeOut());
    t.colour = colour(f.color, QColor(Qt::black));
    return t;
}

QColor ChartPainter::colour(PaletteIndex index, const QColor& fallback) const
{
    if (index < 8 || index > 63)
        return fallback;
    const QColor c = m_book.paletteColor(index);
    return c.isValid() ? c : fallback;
}

QPen ChartPainter::seriesPen(const ChartSeries& s, const QColor& c) const
{
    double w = 2;
    switch (s.weight) {
    case ChartLineWeight::Hairline: w = 0.75; break;
    case ChartLineWeight::Narrow: w = 1; break;
    case ChartLineWeight::Medium: w = 2; break;
    case ChartLineWeight::Wide: w = 3; break;
    }
    QPen pen(c, std::max(0.5, u(w)));
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    switch (s.pattern) {
    case ChartLinePattern::Solid: break;
    case ChartLinePattern::Dash: pen.setStyle(Qt::DashLine); break;
    case ChartLinePattern::Dot: pen.setStyle(Qt::DotLine); break;
    case ChartLinePattern::DashDot: pen.setStyle(Qt::DashDotLine); break;
    case ChartLinePattern::DashDotDot: pen.setStyle(Qt::DashDotDotLine); break;
    }
    if (pen.style() != Qt::SolidLine)
        pen.setCapStyle(Qt::FlatCap); // round ends would close the gaps
    return pen;
}

void ChartPainter::drawMarker(const QPointF& at, ChartMarker marker, double size, const QColor& c)
{
    const double h = size / 2;
    m_p.setBrush(c);
    QPen pen(c, std::max(0.5, u(1)));
    m_p.setPen(pen);
    switch (marker) {
    case ChartMarker::None: break;
    case ChartMarker::Square: m_p.drawRect(QRectF(at.x() - h, at.y() - h, size, size)); break;
    case ChartMarker::Diamond:
        m_p.drawPolygon(QPolygonF({at + QPointF(0, -h), at + QPointF(h, 0), at + QPointF(0, h), at + QPointF(-h, 0)}));
        break;
    case ChartMarker::Triangle:
        m_p.drawPolygon(QPolygonF({at + QPointF(0, -h), at + QPointF(h, h), at + QPointF(-h, h)}));
        break;
    case ChartMarker::Circle: m_p.drawEllipse(at, h, h); break;
    case ChartMarker::Cross:
        m_p.drawLine(at + QPointF(-h, -h), at + QPointF(h, h));
        m_p.drawLine(at + QPointF(-h, h), at + QPointF(h, -h));
        break;
    case ChartMarker::Star:
        m_p.drawLine(at + QPointF(-h, -h), at + QPointF(h, h));
        m_p.drawLine(at + QPointF(-h, h), at + QPointF(h, -h));
        m_p.drawLine(at + QPointF(0, -h), at + QPointF(0, h));
        break;
    case ChartMarker::Plus:
        m_p.drawLine(at + QPointF(-h, 0), at + QPointF(h, 0));
        m_p.drawLine(at + QPointF(0, -h), at + QPointF(0, h));
        break;
    case ChartMarker::DowJones: m_p.drawLine(at + QPointF(-h / 2, 0), at + QPointF(h / 2, 0)); break;
    case ChartMarker::StdDev: m_p.drawLine(at + QPointF(-h, 0), at + QPointF(h, 0)); break;
    }
}

QString axisLabel(const Workbook& book, const SheetRange& formatCell, double v, double major)
{
    // Ticks are sums of the unit: snap away the rounding noise before formatting.
    if (major > 0) {
        const double steps = std::round(v / major);
        if (std::fabs(v - steps * major) < major * 1e-9)
            v = steps * major;
        if (std::fabs(v) < major * 1e-9)
            v = 0;
    }
    return formatLikeCell(book, formatCell, v, QLocale());
}

void ChartPainter::drawSeries(const QRectF& plot, const AxisScale& primary, const AxisScale& secondary)
{
    const double markerScale = m_scale / 15.0; // twips to pixels
    m_p.save();
    m_p.setClipRect(plot.adjusted(-u(8), -u(8), u(8), u(8)));
    for (std::size_t k = 0; k < m_data.series.size() && k < m_chart.series.size(); ++k) {
        const ChartSeries& s = m_chart.series[k];
        const ChartSeriesData& d = m_data.series[k];
        const AxisScale& scale = d.secondaryAxis ? secondary : primary;
        const QColor c = colour(s.colour, QColor(Qt::black));
        auto yOf = [&](double v) { return plot.bottom() - (v - scale.min) / (scale.max - scale.min) * plot.height(); };
        std::vector<QPointF> points(d.values.size());
        for (std::size_t i = 0; i < d.values.size(); ++i)
            if (d.values[i])
                points[i] = QPointF(xOf(plot, static_cast<int>(i)), yOf(*d.values[i]));

        // Lines join neighbouring points; a gap (no number) breaks the line.
        m_p.setPen(seriesPen(s, c));
        m_p.setBrush(Qt::NoBrush);
        QPolygonF run;
        auto flush = [&] {
            if (run.size() > 1)
                m_p.drawPolyline(run);
            run.clear();
        };
        for (std::size_t i = 0; i < d.values.size() && s.line; ++i) {
            if (d.values[i])
                run << points[i];
            else
                flush();
        }
        flush();

        const double size = std::max(2.0, s.markerSize * markerScale);
        for (std::size_t i = 0; i < d.values.size(); ++i) {
            if (!d.values[i])
                continue;
            const bool alone
                = !s.line || ((i == 0 || !d.values[i - 1]) && (i + 1 >= d.values.size() || !d.values[i + 1]));
            if (s.marker != ChartMarker::None)
                drawMarker(points[i], s.marker, size, c);
            else if (alone) // a point with no line to either side still shows
                drawMarker(points[i], ChartMarker::Circle, std::max(3.0, u(4)), c);
        }
    }
    m_p.restore();
}

void ChartPainter::drawLegend(const QRectF& box, bool vertical, const std::vector<double>& rowWidths, int perRow)
{
    const Text t = text(m_chart.fonts.legend, m_chart.fonts.legendHeight);
    const QFontMetricsF fm(t.font);
    const double line = fm.height() * 1.15;
    const double sample = u(28);
    const double gap = u(6);
    m_p.setFont(t.font);
    double y = box.top();
    std::size_t k = 0;
    for (std::size_t row = 0; row < rowWidths.size(); ++row) {
        double x = vertical ? box.left() : box.center().x() - rowWidths[row] / 2;
        for (int c = 0; c < perRow && k < m_data.series.size(); ++c, ++k) {
            const ChartSeries& s = m_chart.series[k];
            const QColor colourOf = colour(s.colour, QColor(Qt::black));
            const double mid = y + line / 2;
            m_p.setPen(seriesPen(s, colourOf));
            if (s.line)
                m_p.drawLine(QPointF(x, mid), QPointF(x + sample, mid));
            drawMarker(QPointF(x + sample / 2, mid), s.marker, std::max(2.0, s.markerSize * m_scale / 15.0), colourOf);
            m_p.setPen(t.colour);
            const QString& name = m_data.series[k].name;
            const double w = fm.horizontalAdvance(name);
            m_p.drawText(QRectF(x + sample + gap / 2, y, w + 2, line), Qt::AlignLeft | Qt::AlignVCenter, name);
            x += sample + gap / 2 + w + gap * 2;
        }
        y += line;
    }
}

void ChartPainter::paint()
{
    m_p.save();
    m_p.setRenderHint(QPainter::Antialiasing, true);
    m_p.setRenderHint(QPainter::TextAntialiasing, true);
    m_p.setClipRect(m_target, Qt::IntersectClip);
    layoutAndDraw();
    m_p.restore();
}

void ChartPainter::layoutAndDraw()
{
    if (m_chart.chartAreaFill)
        m_p.fillRect(m_target, colour(m_chart.chartAreaColour, QColor(Qt::white)));

    const double pad = u(10);
    QRectF free = m_target.adjusted(pad, pad, -pad, -pad);

    // Title across the top.
    QString title = m_chart.title;
    if (title.isEmpty() && m_chart.titleFromSeriesName && !m_data.series.empty())
        title = m_data.series.front().name;
    if (!title.isEmpty()) {
        const Text t = text(m_chart.fonts.title, m_chart.fonts.titleHeight);
        const QFontMetricsF fm(t.font);
        const QRectF need = fm.boundingRect(free, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, title);
        m_p.setFont(t.font);
        m_p.setPen(t.colour);
        m_p.drawText(QRectF(free.left(), free.top(), free.width(), need.height()),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, title);
        free.setTop(free.top() + need.height() + pad);
    }

    // Legend at its stored side.
    if (m_chart.legend && !m_data.series.empty()) {
        const Text t = text(m_chart.fonts.legend, m_chart.fonts.legendHeight);
        const QFontMetricsF fm(t.font);
        const double line = fm.height() * 1.15;
        const double sample = u(28);
        const double gap = u(6);
        std::vector<double> widths;
        for (const ChartSeriesData& d : m_data.series)
            widths.push_back(sample + gap / 2 + fm.horizontalAdvance(d.name) + gap * 2);
        const bool vertical = m_chart.legendPosition == LegendPosition::Right
            || m_chart.legendPosition == LegendPosition::Left || m_chart.legendPosition == LegendPosition::Corner;
        std::vector<double> rows;
        int perRow = 1;
        double boxWidth = 0;
        if (vertical) {
            for (double w : widths) {
                rows.push_back(w);
                boxWidth = std::max(boxWidth, w);
            }
        } else {
            // As many entries side by side as fit, in rows of equal count.
            perRow = static_cast<int>(widths.size());
            while (perRow > 1) {
                double widest = 0;
                for (std::size_t i = 0; i < widths.size(); i += static_cast<std::size_t>(perRow)) {
                    double w = 0;
                    for (std::size_t j = i; j < std::min(widths.size(), i + static_cast<std::size_t>(perRow)); ++j)
                        w += widths[j];
                    widest = std::max(widest, w);
                }
                if (widest <= free.width())
                    break;
                --perRow;
            }
            for (std::size_t i = 0; i < widths.size(); i += static_cast<std::size_t>(perRow)) {
                double w = 0;
                for (std::size_t j = i; j < std::min(widths.size(), i + static_cast<std::size_t>(perRow)); ++j)
                    w += widths[j];
                rows.push_back(w);
                boxWidth = std::max(boxWidth, w);
            }
        }
        const double boxHeight = line * static_cast<double>(rows.size());
        QRectF box;
        switch (m_chart.legendPosition) {
        case LegendPosition::Bottom:
            box = QRectF(free.left(), free.bottom() - boxHeight - u(2), free.width(), boxHeight);
            free.setBottom(box.top() - pad);
            break;
        case LegendPosition::Top:
            box = QRectF(free.left(), free.top(), free.width(), boxHeight);
            free.setTop(box.bottom() + pad);
            break;
        case LegendPosition::Left:
            box = QRectF(free.left(), free.center().y() - boxHeight / 2, boxWidth, boxHeight);
            free.setLeft(box.right() + pad);
            break;
        case LegendPosition::Corner:
            box = QRectF(free.right() - boxWidth, free.top(), boxWidth, boxHeight);
            free.setRight(box.left() - pad);
            break;
        case LegendPosition::Right:
            box = QRectF(free.right() - boxWidth, free.center().y() - boxHeight / 2, boxWidth, boxHeight);
            free.setRight(box.left() - pad);
            break;
        }
        drawLegend(box, vertical, rows, perRow);
        // The automatic legend border, a thin line around the entries.
        const double frameWidth = vertical ? boxWidth : *std::max_element(rows.begin(), rows.end());
        const QRectF frame(vertical ? box.left() : box.center().x() - frameWidth / 2, box.top(), frameWidth,
                           box.height());
        m_p.setPen(QPen(QColor(Qt::black), std::max(0.5, u(1))));
        m_p.setBrush(Qt::NoBrush);
        m_p.drawRect(frame.adjusted(-u(5), -u(2), -gap * 1.5 + u(5), u(2)));
    }

    const bool secondary = std::any_of(m_data.series.begin(), m_data.series.end(),
                                       [](const ChartSeriesData& d) { return d.secondaryAxis; });

    // Axis titles, turned a quarter to read upwards beside the value axes.
    const Text axisTitle = text(m_chart.fonts.axisTitle, m_chart.fonts.axisTitleHeight);
    const QFontMetricsF titleMetrics(axisTitle.font);
    auto verticalTitle = [&](const QString& caption, bool right) {
        if (caption.isEmpty())
            return;
        const double h = titleMetrics.height();
        const double x = right ? free.right() - h : free.left();
        m_p.save();
        m_p.setFont(axisTitle.font);
        m_p.setPen(axisTitle.colour);
        m_p.translate(x, free.center().y());
        m_p.rotate(-90);
        m_p.drawText(QRectF(-free.height() / 2, 0, free.height(), h), Qt::AlignCenter, caption);
        m_p.restore();
        if (right)
            free.setRight(free.right() - h - pad / 2);
        else
            free.setLeft(free.left() + h + pad / 2);
    };
    verticalTitle(m_chart.valueAxisTitle, false);
    if (secondary)
        verticalTitle(m_chart.secondaryValueAxisTitle, true);
    if (!m_chart.categoryAxisTitle.isEmpty()) {
        const double h = titleMetrics.height();
        m_p.setFont(axisTitle.font);
        m_p.setPen(axisTitle.colour);
        m_p.drawText(QRectF(free.left(), free.bottom() - h, free.width(), h), Qt::AlignCenter,
                     m_chart.categoryAxisTitle);
        free.setBottom(free.bottom() - h - pad / 2);
    }

    // Category labels: how much room they take below the plot area, at their angle.
    const Text labels = text(m_chart.fonts.axisLabels, m_chart.fonts.axisLabelsHeight);
    const QFontMetricsF fm(labels.font);
    const int slotTotal = std::max(1, m_data.slotCount());
    double widest = 0;
    for (const QString& c : m_data.categories)
        widest = std::max(widest, fm.horizontalAdvance(c));
    const double tick = u(4);
    const double labelHeight = fm.height();

    // The value axes' labels need their width; estimate the plot first with the widest label
    // of a first scaling, then place everything.
    double primaryMin = 0, primaryMax = 0, secondaryMin = 0, secondaryMax = 0;
    bool havePrimary = false, haveSecondary = false;
    for (const ChartSeriesData& d : m_data.series) {
        for (const auto& v : d.values) {
            if (!v)
                continue;
            double& lo = d.secondaryAxis ? secondaryMin : primaryMin;
            double& hi = d.secondaryAxis ? secondaryMax : primaryMax;
            bool& have = d.secondaryAxis ? haveSecondary : havePrimary;
            lo = have ? std::min(lo, *v) : *v;
            hi = have ? std::max(hi, *v) : *v;
            have = true;
        }
    }

    int angle = m_chart.categoryLabelRotation;
    double slotWidth = free.width() / slotTotal;
    if (angle == 0 && widest + u(4) > slotWidth)
        angle = (widest * std::sin(M_PI / 4) + labelHeight) * 0.75 < slotWidth * 3 ? 45 : 90;
    const double radians = angle * M_PI / 180.0;
    const double categoryDepth = widest * std::sin(radians) + labelHeight * std::cos(radians);
    QRectF plot = free.adjusted(0, labelHeight / 2, 0, -(categoryDepth + tick + u(3)));

    const int intervals = static_cast<int>(plot.height() / (labelHeight * 1.2));
    const AxisScale primaryScale = scaleValueAxis(primaryMin, primaryMax, m_chart.valueScaling, intervals);
    const AxisScale secondaryScale
        = scaleValueAxis(secondaryMin, secondaryMax, m_chart.secondaryValueScaling, intervals);
    auto ticks = [](const AxisScale& s) {
        std::vector<double> out;
        const int n = static_cast<int>(std::floor((s.max - s.min) / s.major + 1e-9));
        for (int i = 0; i <= n && i <= 1000; ++i)
            out.push_back(s.min + i * s.major);
        return out;
    };
    const std::vector<double> primaryTicks = ticks(primaryScale);
    const std::vector<double> secondaryTicks = secondary ? ticks(secondaryScale) : std::vector<double>();
    std::vector<QString> primaryLabels, secondaryLabels;
    double primaryWidth = 0, secondaryWidth = 0;
    for (double v : primaryTicks) {
        primaryLabels.push_back(axisLabel(m_book, m_data.primaryFormatCell, v, primaryScale.major));
        primaryWidth = std::max(primaryWidth, fm.horizontalAdvance(primaryLabels.back()));
    }
    for (double v : secondaryTicks) {
        secondaryLabels.push_back(axisLabel(m_book, m_data.secondaryFormatCell, v, secondaryScale.major));
        secondaryWidth = std::max(secondaryWidth, fm.horizontalAdvance(secondaryLabels.back()));
    }
    plot.setLeft(plot.left() + primaryWidth + tick + u(4));
    if (secondary)
        plot.setRight(plot.right() - secondaryWidth - tick - u(4));
    else
        plot.setRight(plot.right() - std::min(widest / 2, u(20)));
    // The first category label reaches left of its point (all of a turned label, half of a
    // level one): it must not run off the chart.
    if (!m_data.categories.empty()) {
        const double first = fm.horizontalAdvance(m_data.categories.front());
        const double reach = angle == 0 ? first / 2 : first * std::cos(radians) + labelHeight * std::sin(radians) / 2;
        const double overflow = free.left() - (xOf(plot, 0) - reach);
        if (overflow > 0)
            plot.setLeft(plot.left() + overflow);
    }
    if (plot.width() < 4 || plot.height() < 4)
        return; // no room left for a plot area at this size
    slotWidth = plot.width() / slotTotal;

    // Plot area.
    if (m_chart.plotAreaFill)
        m_p.fillRect(plot, colour(m_chart.plotAreaColour, QColor(Qt::white)));
    auto yOf
        = [&](const AxisScale& s, double v) { return plot.bottom() - (v - s.min) / (s.max - s.min) * plot.height(); };
    const QColor axisColour = colour(0x17, QColor(0x80, 0x80, 0x80));
    const QPen hairline(axisColour, std::max(0.5, u(1)));
    if (m_chart.valueGridlines) {
        m_p.setPen(QPen(colour(m_chart.gridlineColour, QColor(0xC0, 0xC0, 0xC0)), std::max(0.5, u(1))));
        for (double v : primaryTicks)
            m_p.drawLine(QPointF(plot.left(), yOf(primaryScale, v)), QPointF(plot.right(), yOf(primaryScale, v)));
    }
    m_p.setPen(hairline);
    m_p.setBrush(Qt::NoBrush);
    m_p.drawRect(plot);

    // Value axes: labels right-aligned left of the plot, and left-aligned right of it.
    m_p.setFont(labels.font);
    for (std::size_t i = 0; i < primaryTicks.size(); ++i) {
        const double y = yOf(primaryScale, primaryTicks[i]);
        m_p.setPen(hairline);
        m_p.drawLine(QPointF(plot.left() - tick, y), QPointF(plot.left(), y));
        m_p.setPen(labels.colour);
        m_p.drawText(
            QRectF(plot.left() - tick - u(3) - primaryWidth - 2, y - labelHeight / 2, primaryWidth + 2, labelHeight),
            Qt::AlignRight | Qt::AlignVCenter, primaryLabels[i]);
    }
    for (std::size_t i = 0; i < secondaryTicks.size(); ++i) {
        const double y = yOf(secondaryScale, secondaryTicks[i]);
        m_p.setPen(hairline);
        m_p.drawLine(QPointF(plot.right(), y), QPointF(plot.right() + tick, y));
        m_p.setPen(labels.colour);
        m_p.drawText(QRectF(plot.right() + tick + u(3), y - labelHeight / 2, secondaryWidth + 2, labelHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, secondaryLabels[i]);
    }

    // Category axis: where the value axis passes 0, else along the bottom; labels below the
    // plot area, every one that fits.
    const double crossing = primaryScale.min < 0 && primaryScale.max > 0 ? 0.0 : primaryScale.min;
    const double axisY = yOf(primaryScale, crossing);
    m_p.setPen(hairline);
    m_p.drawLine(QPointF(plot.left(), axisY), QPointF(plot.right(), axisY));
    const int tickCount = m_chart.pointsBetweenTicks ? slotTotal + 1 : slotTotal;
    for (int i = 0; i < tickCount; ++i) {
        const double x = m_chart.pointsBetweenTicks ? plot.left() + i * slotWidth : xOf(plot, i);
        m_p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + tick));
    }
    int step = 1;
    if (angle == 0)
        step = static_cast<int>(std::ceil((widest + u(4)) / std::max(1.0, slotWidth)));
    else
        step = static_cast<int>(std::ceil(labelHeight * 1.1 / std::max(0.1, slotWidth * std::sin(radians))));
    step = std::max(1, step);
    m_p.setPen(labels.colour);
    for (int i = 0; i < m_data.slotCount(); i += step) {
        const QString& label = m_data.categories[static_cast<std::size_t>(i)];
        const double x = xOf(plot, i);
        const double top = plot.bottom() + tick + u(2);
        if (angle == 0) {
            m_p.drawText(QRectF(x - slotWidth * step / 2, top, slotWidth * step, labelHeight),
                         Qt::AlignHCenter | Qt::AlignTop, label);
        } else {
            // The label's end sits under its point, the text running down to the left.
            const double w = fm.horizontalAdvance(label);
            m_p.save();
            m_p.translate(x, top);
            m_p.rotate(-angle);
            m_p.drawText(QRectF(-w - 2, -labelHeight / 2 * std::cos(radians), w + 2, labelHeight),
                         Qt::AlignRight | Qt::AlignVCenter, label);
            m_p.restore();
        }
    }

    drawSeries(plot, primaryScale, secondaryScale);

    if (!m_data.hasValues()) {
        // On a white ground of its own, so that no gridline runs through it.
        QFont big = labels.font;
        big.setPixelSize(std::max(1, static_cast<int>(std::lround(labels.font.pixelSize() * 1.5))));
        const QFontMetricsF bigMetrics(big);
        const QString words = QStringLiteral("No data");
        const double w = bigMetrics.horizontalAdvance(words) + u(16);
        const double h = bigMetrics.height() + u(8);
        const QRectF box(plot.center().x() - w / 2, plot.center().y() - h / 2, w, h);
        m_p.fillRect(box, colour(m_chart.plotAreaColour, QColor(Qt::white)));
        m_p.setFont(big);
        m_p.setPen(labels.colour);
        m_p.drawText(box, Qt::AlignCenter, words);
    }
}

// A chart the renderer does not draw: the chart area with a frame and a line saying why.
void paintPlaceholder(QPainter& p, const QRectF& target, const QString& title, const QString& why)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setClipRect(target, Qt::IntersectClip);
    p.fillRect(target, Qt::white);
    const double s = std::clamp(std::min(target.width() / kBasisWidth, target.height() / kBasisHeight), 0.2, 10.0);
    const QRectF frame = target.adjusted(10 * s, 10 * s, -10 * s, -10 * s);
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), std::max(0.5, s), Qt::DashLine));
    p.setBrush(QColor(0xF4, 0xF4, 0xF4));
    p.drawRect(frame);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(16 * s))));
    p.setPen(QColor(0x40, 0x40, 0x40));
    QString text = why;
    if (!title.isEmpty()) {
        QFont bold = f;
        bold.setBold(true);
        p.setFont(bold);
        p.drawText(frame.adjusted(0, 20 * s, 0, 0), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, title);
    }
    p.setFont(f);
    p.drawText(frame.adjusted(20 * s, 0, -20 * s, 0), Qt::AlignCenter | Qt::TextWordWrap, text);
    p.restore();
}

// Every character a number in the format of `formatCell` can be written with: the format's
// code (its literal text), the locale's signs, names and currency, and printable ASCII.
QString numberCharacters(const Workbook& book, const SheetRange& formatCell, const QLocale& locale)
{
    QString out;
    for (char c = 0x20; c < 0x7F; ++c)
        out += QLatin1Char(c);
    if (const Worksheet* ws = formatCell.isSet() ? book.worksheet(formatCell.sheet) : nullptr) {
        const std::uint16_t xf = ws->cellXf(formatCell.firstRow, formatCell.firstCol);
        if (xf < book.xfCount())
            out += book.numberFormat(book.xf(xf).format);
    }
    out += locale.decimalPoint() + locale.groupSeparator() + locale.negativeSign() + locale.positiveSign()
        + locale.percent() + locale.exponential() + locale.zeroDigit() + locale.amText() + locale.pmText()
        + locale.currencySymbol(QLocale::CurrencySymbol) + locale.currencySymbol(QLocale::CurrencyIsoCode)
        + locale.dateFormat(QLocale::ShortFormat) + locale.dateFormat(QLocale::LongFormat)
        + locale.timeFormat(QLocale::ShortFormat) + locale.timeFormat(QLocale::LongFormat);
    for (int i = 1; i <= 12; ++i)
        out += locale.monthName(i, QLocale::LongFormat) + locale.monthName(i, QLocale::ShortFormat);
    for (int i = 1; i <= 7; ++i)
        out += locale.dayName(i, QLocale::LongFormat) + locale.dayName(i, QLocale::ShortFormat);
    return out;
}

} // namespace

ChartDrawing::ChartDrawing(const Workbook& book, const RecordList& records, const QString& name)
    : m_book(&book)
    , m_name(name)
{
    try {
        m_chart = readChartSheetBody(records, [&](std::uint16_t ixti) { return book.sheetForExternSheetIndex(ixti); });
    } catch (const FormatError& e) {
        m_placeholderTitle = name;
        m_placeholderText = QStringLiteral("This chart cannot be drawn: %1").arg(e.message());
        return;
    }
    if (!m_chart.unsupportedType.isEmpty()) {
        m_placeholderTitle = m_chart.title.isEmpty() ? name : m_chart.title;
        m_placeholderText
            = QStringLiteral("This is a %1 chart; only line charts are drawn yet.").arg(m_chart.unsupportedType);
        return;
    }
    m_data = readChartData(book, m_chart);
}

ChartDrawing ChartDrawing::ofSheet(const Workbook& book, int sheetIndex)
{
    if (sheetIndex < 0 || sheetIndex >= book.sheetCount())
        throw Error(QStringLiteral("There is no sheet %1 in the workbook").arg(sheetIndex + 1));
    const Sheet& sheet = book.sheet(sheetIndex);
    if (!sheet.isChart())
        throw Error(QStringLiteral("Sheet '%1' is not a chart sheet").arg(sheet.name()));
    return ChartDrawing(book, sheet.records(), sheet.name());
}

QStringList ChartDrawing::fontFamilies() const
{
    if (!m_placeholderText.isEmpty())
        return {QStringLiteral("Arial")};
    QStringList out;
    for (const std::uint16_t index :
         {m_chart.fonts.title, m_chart.fonts.axisTitle, m_chart.fonts.axisLabels, m_chart.fonts.legend}) {
        // As ChartPainter::text picks them: the workbook's font, else the default one.
        const QString name = m_book->hasFont(index) ? m_book->font(index).name : Font().name;
        if (!out.contains(name))
            out << name;
    }
    return out;
}

QStringList ChartDrawing::texts() const
{
    if (!m_placeholderText.isEmpty())
        return {m_placeholderTitle, m_placeholderText};
    QStringList out{m_chart.title, m_chart.categoryAxisTitle, m_chart.valueAxisTitle, m_chart.secondaryValueAxisTitle,
                    QStringLiteral("No data")};
    for (const QString& c : m_data.categories)
        out << c;
    for (const ChartSeriesData& s : m_data.series)
        out << s.name;
    for (const SheetRange& cell : {m_data.primaryFormatCell, m_data.secondaryFormatCell})
        out << numberCharacters(*m_book, cell, QLocale());
    return out;
}

void ChartDrawing::paint(QPainter& painter, const QRectF& target) const
{
    if (!(target.width() > 0) || !(target.height() > 0))
        return;
    checkPictureSize(static_cast<qint64>(std::ceil(target.width())), static_cast<qint64>(std::ceil(target.height())),
                     QStringLiteral("The chart '%1'").arg(m_name));
    if (!m_placeholderText.isEmpty())
        paintPlaceholder(painter, target, m_placeholderTitle, m_placeholderText);
    else
        ChartPainter(*m_book, m_chart, m_data, painter, target).paint();
}

void paintChart(const Workbook& book, const RecordList& records, const QString& name, QPainter& painter,
                const QRectF& target)
{
    if (!(target.width() > 0) || !(target.height() > 0))
        return;
    checkPictureSize(static_cast<qint64>(std::ceil(target.width())), static_cast<qint64>(std::ceil(target.height())),
                     QStringLiteral("The chart '%1'").arg(name));
    ChartDrawing(book, records, name).paint(painter, target);
}

void paintChartSheet(const Workbook& book, int sheetIndex, QPainter& painter, const QRectF& target)
{
    ChartDrawing::ofSheet(book, sheetIndex).paint(painter, target);
}

std::vector<RecordList> embeddedCharts(const Workbook& book, int sheetIndex)
{
    if (sheetIndex < 0 || sheetIndex >= book.sheetCount())
        throw Error(QStringLiteral("There is no sheet %1 in the workbook").arg(sheetIndex + 1));
    const Worksheet* sheet = book.worksheet(sheetIndex);
    return sheet ? sheet->embeddedCharts() : std::vector<RecordList>();
}

QImage renderChartSheet(const Workbook& book, int sheetIndex, const QSize& size, qreal dpr)
{
    if (!(dpr > 0) || !std::isfinite(dpr))
        throw Error(QStringLiteral("A picture needs a positive device pixel ratio"));
    if (sheetIndex >= 0 && sheetIndex < book.sheetCount())
        checkPictureSize(size.width(), size.height(),
                         QStringLiteral("The chart '%1'").arg(book.sheet(sheetIndex).name()));
    else
        checkPictureSize(size.width(), size.height(), QStringLiteral("The chart"));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::white);
    QPainter painter(&image);
    paintChartSheet(book, sheetIndex, painter, QRectF(0, 0, size.width() / dpr, size.height() / dpr));
    painter.end();
    return image;
}

} // namespace sheet
