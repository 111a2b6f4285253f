#include "charts/ChartRenderer.h"

#include "charts/Chart.h"
#include "charts/ChartData.h"
#include "charts/ChartLayout.h"
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

// The placeholder's text keeps its size relative to a chart of this size.
constexpr double kBasisWidth = 14666 / 15.0;
constexpr double kBasisHeight = 9014 / 15.0;

QPen penOf(const ChartStroke& stroke)
{
    QPen pen(stroke.colour, stroke.width);
    if (stroke.round) {
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
    }
    switch (stroke.pattern) {
    case ChartLinePattern::Solid: break;
    case ChartLinePattern::Dash: pen.setDashPattern({6, 1.5}); break; // LibreOffice's dashes
    case ChartLinePattern::Dot: pen.setStyle(Qt::DotLine); break;
    case ChartLinePattern::DashDot: pen.setStyle(Qt::DashDotLine); break;
    case ChartLinePattern::DashDotDot: pen.setStyle(Qt::DashDotDotLine); break;
    }
    if (pen.style() != Qt::SolidLine)
        pen.setCapStyle(Qt::FlatCap); // round ends would close the gaps
    return pen;
}

// Draws a chart's layout.
class ChartPainter {
public:
    ChartPainter(const ChartLayout& layout, QPainter& painter)
        : m_l(layout)
        , m_p(painter)
    {
    }

    void paint();

private:
    void drawText(const ChartLayoutText& t);
    void drawMarker(const ChartLayoutMarker& m, const QColor& c);
    void drawLegend();
    void drawAxes();
    void drawSeries();
    void drawRun(const QPolygonF& run, const QPen& pen);

    const ChartLayout& m_l;
    QPainter& m_p;
};

void ChartPainter::drawText(const ChartLayoutText& t)
{
    const ChartTextStyle& style = m_l.style(t.role);
    m_p.setFont(style.font);
    m_p.setPen(style.colour);
    if (t.angle == 0) {
        m_p.drawText(t.box.translated(t.origin), t.alignment, t.text);
        return;
    }
    m_p.save();
    m_p.translate(t.origin);
    m_p.rotate(-t.angle);
    m_p.drawText(t.box, t.alignment, t.text);
    m_p.restore();
}

void ChartPainter::drawMarker(const ChartLayoutMarker& m, const QColor& c)
{
    const double h = m.size / 2;
    const QPointF at = m.at;
    // Shapes are filled to their size, as LibreOffice draws them; crosses and bars are lines.
    m_p.setBrush(c);
    m_p.setPen(QPen(c, m_l.markerPenWidth));
    const bool filled = m.shape == ChartMarker::Square || m.shape == ChartMarker::Diamond
        || m.shape == ChartMarker::Triangle || m.shape == ChartMarker::Circle;
    if (filled)
        m_p.setPen(Qt::NoPen);
    switch (m.shape) {
    case ChartMarker::None: break;
    case ChartMarker::Square: m_p.drawRect(QRectF(at.x() - h, at.y() - h, m.size, m.size)); break;
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

void ChartPainter::drawLegend()
{
    const LegendLayout& legend = m_l.legend;
    if (!legend.shown)
        return;
    for (const LegendEntryLayout& e : legend.entries) {
        m_p.setPen(penOf(e.stroke));
        if (e.sample)
            m_p.drawLine(*e.sample);
        drawMarker(e.marker, e.colour);
        drawText(e.label);
    }
    m_p.setPen(penOf(legend.frameStroke));
    m_p.setBrush(Qt::NoBrush);
    m_p.drawRect(legend.frame);
}

void ChartPainter::drawAxes()
{
    if (m_l.plotFill)
        m_p.fillRect(m_l.plot, *m_l.plotFill);
    m_p.setPen(penOf(m_l.gridStroke));
    for (const QLineF& line : m_l.gridlines)
        m_p.drawLine(line);
    m_p.setPen(penOf(m_l.plotBorder));
    m_p.setBrush(Qt::NoBrush);
    m_p.drawRect(m_l.plot);
    for (const ValueAxisLayout* axis : {&m_l.primary, &m_l.secondary}) {
        for (std::size_t i = 0; i < axis->labels.size(); ++i) {
            m_p.setPen(penOf(m_l.axisStroke));
            m_p.drawLine(axis->tickMarks[i]);
            drawText(axis->labels[i]);
        }
    }
    m_p.setPen(penOf(m_l.axisStroke));
    m_p.drawLine(m_l.category.line);
    for (const QLineF& tick : m_l.category.tickMarks)
        m_p.drawLine(tick);
    for (const ChartLayoutText& label : m_l.category.labels)
        drawText(label);
}

// Qt strokes a polyline as one outline and resolves its overlaps at a cost that grows
// steeply with the points (a second for a thousand daily entries); pieces of a few segments
// with round ends draw the same line in a small part of that time. Dashed lines keep their
// flat dash ends whole.
void ChartPainter::drawRun(const QPolygonF& run, const QPen& pen)
{
    constexpr int kPiece = 16;
    m_p.setPen(pen);
    if (pen.isCosmetic() || pen.capStyle() != Qt::RoundCap || pen.style() != Qt::SolidLine) {
        m_p.drawPolyline(run);
        return;
    }
    for (int start = 0; start + 1 < run.size(); start += kPiece)
        m_p.drawPolyline(run.constData() + start, std::min<int>(kPiece + 1, static_cast<int>(run.size()) - start));
}

void ChartPainter::drawSeries()
{
    m_p.save();
    m_p.setClipRect(m_l.seriesClip);
    for (const SeriesLayout& s : m_l.series) {
        m_p.setBrush(Qt::NoBrush);
        for (const QPolygonF& run : s.lines)
            drawRun(run, penOf(s.stroke));
        m_p.setPen(penOf(s.stroke));
        for (const ChartLayoutMarker& m : s.markers)
            drawMarker(m, s.colour);
    }
    m_p.restore();
    // Labels of points near the edge may reach beyond the plot.
    for (const SeriesLayout& s : m_l.series)
        for (const ChartLayoutText& label : s.labels)
            drawText(label);
}

void ChartPainter::paint()
{
    m_p.save();
    m_p.setRenderHint(QPainter::Antialiasing, true);
    m_p.setRenderHint(QPainter::TextAntialiasing, true);
    m_p.setClipRect(m_l.area, Qt::IntersectClip);
    if (m_l.areaFill)
        m_p.fillRect(m_l.area, *m_l.areaFill);
    for (const ChartLayoutText& t : m_l.texts)
        if (t.role == ChartTextRole::Title)
            drawText(t);
    drawLegend();
    for (const ChartLayoutText& t : m_l.texts)
        if (t.role != ChartTextRole::Title)
            drawText(t);
    if (m_l.hasPlot) {
        drawAxes();
        drawSeries();
        if (m_l.noData) {
            // On a ground of its own, so that no gridline runs through it.
            m_p.fillRect(m_l.noDataBox, m_l.noDataFill);
            drawText(*m_l.noData);
        }
    }
    for (const TextBoxLayout& box : m_l.textBoxes) {
        m_p.setBrush(box.fill ? QBrush(*box.fill) : QBrush(Qt::NoBrush));
        m_p.setPen(box.border ? QPen(*box.border, 0) : QPen(Qt::NoPen));
        m_p.drawRect(box.box);
        m_p.setFont(box.style.font);
        m_p.setPen(box.style.colour);
        m_p.drawText(box.text.box, box.text.alignment, box.text.text);
    }
    m_p.restore();
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
        const QString& type = m_chart.unsupportedType;
        const bool vowel = QStringLiteral("aeiou").contains(type.left(1));
        m_placeholderText = QStringLiteral("This is %1 %2 chart; only line and scatter charts are drawn yet.")
                                .arg(vowel ? QStringLiteral("an") : QStringLiteral("a"), type);
        return;
    }
    m_data = readChartData(book, m_chart);
    m_chartPoints = readChartSize(records);
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
    std::vector<std::uint16_t> fonts
        = {m_chart.fonts.title, m_chart.fonts.axisTitle, m_chart.fonts.axisLabels, m_chart.fonts.legend};
    for (const ChartTextBox& box : m_chart.textBoxes)
        fonts.push_back(box.font);
    QStringList out;
    for (const std::uint16_t index : fonts) {
        // As the layout picks them: the workbook's font, else the default one.
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
        out << s.name << numberCharacters(*m_book, s.formatCell, QLocale()); // value labels
    for (const ChartTextBox& box : m_chart.textBoxes)
        out << box.text;
    // Value axes, and the dates or x values of the category axis.
    for (const SheetRange& cell : {m_data.primaryFormatCell, m_data.secondaryFormatCell, m_data.categoryFormatCell})
        out << numberCharacters(*m_book, cell, QLocale());
    return out;
}

void ChartDrawing::paint(QPainter& painter, const QRectF& target) const
{
    if (!(target.width() > 0) || !(target.height() > 0))
        return;
    if (!m_placeholderText.isEmpty())
        paintPlaceholder(painter, target, m_placeholderTitle, m_placeholderText);
    else
        ChartPainter(layoutChart(*m_book, m_chart, m_data, target, m_chartPoints), painter).paint();
}

std::optional<ChartLayout> ChartDrawing::layout(const QRectF& target) const
{
    if (!m_placeholderText.isEmpty())
        return std::nullopt;
    return layoutChart(*m_book, m_chart, m_data, target, m_chartPoints);
}

void paintChart(const Workbook& book, const RecordList& records, const QString& name, QPainter& painter,
                const QRectF& target)
{
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
