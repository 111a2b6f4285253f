#pragma once

#include <QList>
#include <QLocale>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <optional>

class QPainter;

namespace sheet {
class Workbook;
}

// The report's summary page: what a reader wants first from a log of measurements, read from
// the workbook's own cells (entered and computed), so that the summary and the workbook agree.
// The data sheet is found by its header row (first cell "Date"); its columns by their headers.

struct SummaryFigure {
    QString name;  // "Weight (pounds)", "Body fat percentage", ...
    QString first; // as the workbook shows the first entry's value
    QString last;
    QString change; // last minus first, with its sign
};

struct ReportSummary {
    QString title; // the data sheet's title
    QString firstDate;
    QString lastDate;
    int entries = 0;
    int days = 0; // from the first entry to the last
    QList<SummaryFigure> figures;
    QString changePerWeekLabel; // "Trend change per week", or the weight's when there is no trend
    QString changePerWeek;      // empty while the workbook has none
    QString goal;               // empty when no goal is set
    QString goalDate;
    QStringList lacking; // "6/17/2004: Chest (inches), Hips (inches)", one per entry lacking one
};

// The summary of a workbook with a data sheet of entries, or nothing when it has none.
std::optional<ReportSummary> SummarizeWorkbook(const sheet::Workbook& book, const QLocale& locale = QLocale());

// Draws the summary within page (pixels of 96 dpi). Entries lacking measurements beyond what
// the page holds are counted in a last line.
void PaintSummaryPage(const ReportSummary& summary, QPainter& painter, const QRectF& page);
