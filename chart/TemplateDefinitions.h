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
};

struct TemplateChart {
    QString sheetName;
    QString title;
    QString valueAxisTitle;
    QString secondaryValueAxisTitle;
    std::vector<TemplateSeries> series;
};

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
    int headerRow = 4;                       // row 5
    QStringList headers;                     // A5 onwards
    int dataColumns = 0;                     // entry fields: A..E or A..G
    int firstDataRow = 5;                    // row 6
    int dataRowCount = 0;                    // 26 or 27
    // Formulas of the derived columns, in column order after the entry fields, written for
    // row 6; every other data row has the same formulas with its own row number.
    QStringList formulas;
    std::vector<TemplateChart> charts;

    int lastDataRow() const { return firstDataRow + dataRowCount - 1; }
    int formulaColumn(int k) const { return dataColumns + k; }
    int columnCount() const { return dataColumns + static_cast<int>(formulas.size()); }
    // The formula of derived column k in data row `row` (0-based), e.g. "=B7-F7".
    QString formulaForRow(int k, int row) const;
};

// 101 or 102; throws std::invalid_argument for anything else.
const TemplateDefinition& templateDefinition(int resourceId);

// The template workbook with its example entries, recalculated.
std::unique_ptr<sheet::Workbook> buildTemplateWorkbook(int resourceId);

// The template as a compound file (.xlt). The same every time it is built.
sheet::Bytes buildTemplateBytes(int resourceId);

} // namespace kalmora
