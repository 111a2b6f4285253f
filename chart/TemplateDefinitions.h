#pragma once

#include "io/WorkbookFile.h"
#include "charts/Chart.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace sheet {
class Workbook;
}

namespace kalmora {

// The two chart templates the program carries, by their resource identifiers.
constexpr int kImperialTemplate = 101; // "Fitness Men"
constexpr int kMetricTemplate = 102;   // "Fitness Women"

struct TemplateSeries {
    int column = 0; // data sheet column of the values; the name is the header above them
    bool secondaryAxis = false;
    sheet::PaletteIndex colour = 0x0C;
    sheet::ChartMarker marker = sheet::ChartMarker::Square;
    bool dashed = false; // the goal: a flat dashed line
};

struct TemplateChart {
    QString sheetName;
    QString title;
    QString valueAxisTitle;
    QString secondaryValueAxisTitle;
    std::vector<TemplateSeries> series;
};

// The labels of the figures in the header area, each with its live formula beside it.
inline const QString kChangePerWeekLabel = QStringLiteral("Trend change per week");
inline const QString kGoalDateLabel = QStringLiteral("Goal date");
// What "Goal date" shows instead of a date.
inline const QString kGoalReached = QStringLiteral("reached");
inline const QString kNotOnTrend = QStringLiteral("not on current trend");

// Everything that is fixed about a template: where the height and the entries go, the
// labels, the formulas of a data row and the chart sheets. Rows and columns count from 0.
struct TemplateDefinition {
    int resourceId = 0;
    QString fileName;      // what the build writes, e.g. "fitness-101.xlt"
    QString dataSheetName; // "Data", the active sheet
    QString title;         // A1
    int heightLabelColumn = 0;
    int heightColumn = 0; // height cells: rows 1 and 2 of this column (I2/I3, K2/K3)
    QString heightLabels[2];
    double heightValues[2] = {0, 0};
    std::uint16_t heightFormats[2] = {0, 0}; // number formats of the two height cells
    // The goal weight: under the height cells, in their columns (I4, K4); empty for no goal.
    int goalRow = 3;
    QString goalLabel;
    double goalValue = 0; // the example's goal
    // "Trend change per week" (row 2) and "Goal date" (row 3): label in C, formula in D (D:E
    // merged, so a date or "not on current trend" fits).
    int summaryLabelColumn = 2;
    int summaryColumn = 3;
    int changePerWeekRow = 1;
    int goalDateRow = 2;
    int headerRow = 4;    // row 5
    QStringList headers;  // A5 onwards
    int dataColumns = 0;  // entry fields: A..E or A..G
    int firstDataRow = 5; // row 6
    int dataRowCount = 0; // rows of the example: 26 or 27
    // Formulas of the estimates, in column order after the entry fields, written for row 6;
    // every other data row has the same formulas with its own row number. The trend and the
    // goal follow them.
    QStringList formulas;
    std::vector<TemplateChart> charts;

    int lastDataRow() const { return firstDataRow + dataRowCount - 1; }
    int formulaColumn(int k) const { return dataColumns + k; }
    int trendColumn() const { return dataColumns + static_cast<int>(formulas.size()); }
    int goalColumn() const { return trendColumn() + 1; }
    int derivedCount() const { return static_cast<int>(formulas.size()) + 2; }
    int columnCount() const { return dataColumns + derivedCount(); }
    // The formula of derived column k (the estimates, the trend, the goal) in data row `row`
    // (0-based), e.g. "=B7-F7". The trend of the first data row is its weight.
    QString formulaForRow(int k, int row) const;
    // The figures beside their labels, for entries whose dates are in rows firstDataRow to
    // lastRow (0-based).
    QString changePerWeekFormula(int lastRow) const;
    QString goalDateFormula(int lastRow) const;

private:
    QString goalCell() const; // "$I$4"
    QString summaryFormula(QString f, int lastRow) const;
};

// 101 or 102; throws std::invalid_argument for anything else.
const TemplateDefinition& templateDefinition(int resourceId);

// The template workbook with its example entries, recalculated.
std::unique_ptr<sheet::Workbook> buildTemplateWorkbook(int resourceId);

// The template as a compound file (.xlt). The same every time it is built.
sheet::Bytes buildTemplateBytes(int resourceId);

// Gives the data sheet of a workbook made from template `resourceId` room for `entries`
// entries from the first data row on: the rows past the template's own get its cell formats,
// row height and formulas.
void extendDataRows(sheet::Workbook& book, int resourceId, int entries);

// Once the entries are written: the figures beside their labels reckon with the first
// `datedEntries` rows (those with a date; none: the cells are emptied), and every chart
// series ends at the last entry's row. Without a goal the charts draw no goal line.
void fitToEntries(sheet::Workbook& book, int resourceId, int entries, int datedEntries, bool withGoal);

} // namespace kalmora
