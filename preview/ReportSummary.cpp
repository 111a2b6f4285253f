#include "ReportSummary.h"

#include "format/DateSerial.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include <cmath>
#include <functional>

namespace {

// Rows searched for the header row and for labels above it.
constexpr int HeaderSearchRows = 50;

struct DataSheet {
    const sheet::Worksheet* ws = nullptr;
    int headerRow = -1;
    QList<int> rows; // entry rows: those with a date
    QStringList headers;
};

QString Text(const sheet::Worksheet& ws, int row, int col)
{
    const sheet::Value v = ws.value(row, col);
    return v.type() == sheet::Value::Type::String ? v.asString().trimmed() : QString();
}

std::optional<DataSheet> FindDataSheet(const sheet::Workbook& book)
{
    for (int i = 0; i < book.sheetCount(); ++i) {
        const sheet::Worksheet* ws = book.worksheet(i);
        const auto used = ws ? ws->usedRange() : std::nullopt;
        if (!used)
            continue;
        for (int row = used->firstRow; row <= used->lastRow && row < HeaderSearchRows; ++row) {
            if (Text(*ws, row, 0) != QLatin1String("Date"))
                continue;
            DataSheet data;
            data.ws = ws;
            data.headerRow = row;
            for (int col = 0; col <= used->lastCol; ++col)
                data.headers.append(Text(*ws, row, col));
            for (int r = row + 1; r <= used->lastRow; ++r) {
                if (ws->value(r, 0).isNumber())
                    data.rows.append(r);
            }
            return data;
        }
    }
    return std::nullopt;
}

int ColumnWhere(const QStringList& headers, const std::function<bool(const QString&)>& wanted)
{
    for (int c = 1; c < headers.size(); ++c) {
        if (wanted(headers.at(c)))
            return c;
    }
    return -1;
}

// The cell right of the first cell above the header row that reads `label` (a colon after it
// allowed), or (-1, -1).
std::pair<int, int> CellBesideLabel(const DataSheet& data, const QString& label)
{
    const auto used = data.ws->usedRange();
    for (int row = used->firstRow; row < data.headerRow; ++row) {
        for (int col = used->firstCol; col <= used->lastCol; ++col) {
            QString text = Text(*data.ws, row, col);
            if (text.endsWith(QLatin1Char(':')))
                text.chop(1);
            if (text.compare(label, Qt::CaseInsensitive) == 0)
                return {row, col + 1};
        }
    }
    return {-1, -1};
}

QString Signed(double value, const QLocale& locale)
{
    if (std::abs(value) < 0.005)
        value = 0;
    const QString digits = locale.toString(value, 'f', 2);
    return value > 0 ? locale.positiveSign() + digits : digits;
}

std::optional<SummaryFigure> Figure(const DataSheet& data, int col, const QString& name, const QLocale& locale)
{
    if (col < 0)
        return std::nullopt;
    int first = -1;
    int last = -1;
    for (const int row : data.rows) {
        if (!data.ws->value(row, col).isNumber())
            continue;
        if (first < 0)
            first = row;
        last = row;
    }
    if (first < 0)
        return std::nullopt;
    SummaryFigure figure;
    figure.name = name;
    figure.first = data.ws->displayText(first, col, locale);
    figure.last = data.ws->displayText(last, col, locale);
    figure.change = Signed(data.ws->value(last, col).asNumber() - data.ws->value(first, col).asNumber(), locale);
    return figure;
}

// The entered columns are those before the first computed one ("Estimated ...", a trend, a goal).
int EnteredColumns(const QStringList& headers)
{
    for (int c = 1; c < headers.size(); ++c) {
        const QString& h = headers.at(c);
        if (h.isEmpty() || h.startsWith(QLatin1String("Estimated")) || h.contains(QLatin1String("Trend"))
            || h.contains(QLatin1String("Goal")))
            return c;
    }
    return static_cast<int>(headers.size());
}

QStringList Lacking(const DataSheet& data, const QLocale& locale)
{
    QStringList lacking;
    const int entered = EnteredColumns(data.headers);
    for (const int row : data.rows) {
        QStringList missing;
        for (int c = 1; c < entered; ++c) {
            if (data.ws->value(row, c).isEmpty())
                missing.append(data.headers.at(c));
        }
        if (!missing.isEmpty())
            lacking.append(data.ws->displayText(row, 0, locale) + QStringLiteral(": ")
                           + missing.join(QStringLiteral(", ")));
    }
    return lacking;
}

void ReadChangePerWeek(const DataSheet& data, int weightCol, ReportSummary& s, const QLocale& locale)
{
    const auto [row, col] = CellBesideLabel(data, QStringLiteral("Trend change per week"));
    if (row >= 0) {
        s.changePerWeekLabel = QStringLiteral("Trend change per week");
        s.changePerWeek = data.ws->displayText(row, col, locale);
        return;
    }
    // A workbook without a trend: the weight's change from its first entry to its last.
    s.changePerWeekLabel = QStringLiteral("Weight change per week");
    QList<int> weighed;
    for (const int r : data.rows) {
        if (weightCol >= 0 && data.ws->value(r, weightCol).isNumber())
            weighed.append(r);
    }
    if (weighed.size() < 2)
        return;
    const double days = data.ws->value(weighed.last(), 0).asNumber() - data.ws->value(weighed.first(), 0).asNumber();
    if (days < 1)
        return;
    const double change
        = data.ws->value(weighed.last(), weightCol).asNumber() - data.ws->value(weighed.first(), weightCol).asNumber();
    s.changePerWeek = Signed(change / days * 7, locale);
}

void ReadGoal(const DataSheet& data, ReportSummary& s, const QLocale& locale)
{
    const int goalCol = ColumnWhere(data.headers, [](const QString& h) { return h.contains(QLatin1String("Goal")); });
    if (goalCol >= 0) {
        for (const int row : data.rows) {
            if (data.ws->value(row, goalCol).isNumber()) {
                s.goal = data.ws->displayText(row, goalCol, locale);
                break;
            }
        }
    }
    const auto [row, col] = CellBesideLabel(data, QStringLiteral("Goal date"));
    if (row >= 0)
        s.goalDate = data.ws->displayText(row, col, locale);
}

} // namespace

std::optional<ReportSummary> SummarizeWorkbook(const sheet::Workbook& book, const QLocale& locale)
{
    book.ensureCalculated();
    const std::optional<DataSheet> found = FindDataSheet(book);
    if (!found || found->rows.isEmpty())
        return std::nullopt;
    const DataSheet& data = *found;
    ReportSummary s;
    s.title = Text(*data.ws, 0, 0);
    s.entries = static_cast<int>(data.rows.size());
    s.firstDate = data.ws->displayText(data.rows.first(), 0, locale);
    s.lastDate = data.ws->displayText(data.rows.last(), 0, locale);
    s.days = static_cast<int>(
        std::lround(data.ws->value(data.rows.last(), 0).asNumber() - data.ws->value(data.rows.first(), 0).asNumber()));

    const int weightCol
        = ColumnWhere(data.headers, [](const QString& h) { return h.startsWith(QLatin1String("Weight (")); });
    const int fatCol = static_cast<int>(data.headers.indexOf(QStringLiteral("Estimated Body Fat Percentage")));
    const int bmiCol = static_cast<int>(data.headers.indexOf(QStringLiteral("Estimated Body Mass Index (BMI)")));
    const int trendCol = ColumnWhere(data.headers, [](const QString& h) { return h.contains(QLatin1String("Trend")); });
    const std::pair<int, QString> wanted[] = {
        {weightCol, weightCol >= 0 ? data.headers.at(weightCol) : QString()},
        {fatCol, QStringLiteral("Body fat percentage")},
        {bmiCol, QStringLiteral("BMI")},
        {trendCol, trendCol >= 0 ? data.headers.at(trendCol) : QString()},
    };
    for (const auto& [col, name] : wanted) {
        if (const std::optional<SummaryFigure> figure = Figure(data, col, name, locale))
            s.figures.append(*figure);
    }
    ReadChangePerWeek(data, weightCol, s, locale);
    ReadGoal(data, s, locale);
    s.lacking = Lacking(data, locale);
    return s;
}

namespace {

class SummaryPainter {
public:
    SummaryPainter(QPainter& painter, const QRectF& page)
        : m_painter(painter)
        , m_page(page)
        , m_y(page.top())
    {
    }

    void line(const QString& text, int points = 11, bool bold = false, qreal indent = 0)
    {
        setFont(points, bold);
        const QFontMetricsF metrics(m_painter.font(), m_painter.device());
        m_y += metrics.ascent();
        m_painter.drawText(QPointF(m_page.left() + indent, m_y), text);
        m_y += metrics.descent() + metrics.leading() + 2;
    }
    void gap(qreal pixels = 10) { m_y += pixels; }

    // A table of texts: the first column left-aligned, the others right-aligned.
    void table(const QList<QStringList>& rows, const QList<qreal>& widths)
    {
        for (int r = 0; r < rows.size(); ++r) {
            setFont(11, r == 0);
            const QFontMetricsF metrics(m_painter.font(), m_painter.device());
            m_y += metrics.ascent();
            qreal x = m_page.left();
            for (int c = 0; c < rows.at(r).size() && c < widths.size(); ++c) {
                const QString& text = rows.at(r).at(c);
                const qreal left = c == 0 ? x : x + widths.at(c) - metrics.horizontalAdvance(text);
                m_painter.drawText(QPointF(left, m_y), text);
                x += widths.at(c);
            }
            m_y += metrics.descent() + metrics.leading() + 4;
        }
    }

    // Lines that still fit above the page's bottom, each `points` high.
    int linesLeft(int points = 11)
    {
        setFont(points, false);
        const QFontMetricsF metrics(m_painter.font(), m_painter.device());
        return static_cast<int>((m_page.bottom() - m_y) / (metrics.height() + 2));
    }

private:
    void setFont(int points, bool bold)
    {
        QFont font(QStringLiteral("Arial"));
        font.setPointSize(points);
        font.setBold(bold);
        m_painter.setFont(font);
    }

    QPainter& m_painter;
    QRectF m_page;
    qreal m_y;
};

} // namespace

void PaintSummaryPage(const ReportSummary& summary, QPainter& painter, const QRectF& page)
{
    painter.save();
    painter.setPen(Qt::black);
    SummaryPainter p(painter, page);
    p.line(QStringLiteral("Summary"), 18, true);
    if (!summary.title.isEmpty())
        p.line(summary.title, 12);
    p.gap();
    p.line(QStringLiteral("Period: %1 to %2 (%3 days), %4 %5")
               .arg(summary.firstDate, summary.lastDate)
               .arg(summary.days)
               .arg(summary.entries)
               .arg(summary.entries == 1 ? QStringLiteral("entry") : QStringLiteral("entries")));
    p.gap();
    QList<QStringList> rows = {{QString(), QStringLiteral("First"), QStringLiteral("Last"), QStringLiteral("Change")}};
    for (const SummaryFigure& f : summary.figures)
        rows.append({f.name, f.first, f.last, f.change});
    p.table(rows, {260, 110, 110, 110});
    p.gap();
    p.line(summary.changePerWeekLabel + QStringLiteral(": ")
           + (summary.changePerWeek.isEmpty() ? QStringLiteral("not known yet") : summary.changePerWeek));
    p.line(QStringLiteral("Goal: ") + (summary.goal.isEmpty() ? QStringLiteral("none set") : summary.goal));
    if (!summary.goal.isEmpty())
        p.line(QStringLiteral("Goal date: ")
               + (summary.goalDate.isEmpty() ? QStringLiteral("not known yet") : summary.goalDate));
    p.gap();
    if (summary.lacking.isEmpty()) {
        p.line(QStringLiteral("Every entry has all its measurements."));
    } else {
        p.line(QStringLiteral("Entries lacking a measurement:"), 11, true);
        const int room = std::max(1, p.linesLeft());
        const int shown = summary.lacking.size() <= room ? static_cast<int>(summary.lacking.size()) : room - 1;
        for (int i = 0; i < shown; ++i)
            p.line(summary.lacking.at(i), 11, false, 12);
        if (shown < summary.lacking.size())
            p.line(QStringLiteral("... and %1 more").arg(summary.lacking.size() - shown), 11, false, 12);
    }
    painter.restore();
}
