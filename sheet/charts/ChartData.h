#pragma once

#include "charts/Chart.h"

#include <QLocale>
#include <QString>
#include <optional>
#include <vector>

namespace sheet {

class Workbook;

// The numbers a chart shows, read from the workbook's current cell values.
struct ChartSeriesData {
    QString name;
    // One entry per category slot; empty where the cell holds no number (blank, text, an
    // error, TRUE/FALSE), which the chart shows as a gap.
    std::vector<std::optional<double>> values;
    // A scatter chart's x value of each point: its category cell's number (NaN for an empty
    // cell), else its position counting from 1, as spreadsheets take x values that are not
    // numbers.
    std::vector<double> x;
    bool secondaryAxis = false;
    SheetRange formatCell; // its first value cell holding a number
};

struct ChartData {
    std::vector<QString> categories; // label of each slot
    // The number in each slot's category cell (a date serial on a date axis); none where the
    // cell holds no number, or the chart has no categories.
    std::vector<std::optional<double>> categoryNumbers;
    SheetRange categoryFormatCell; // the first category cell holding a number (x value)
    std::vector<ChartSeriesData> series;
    // The first value cell of the first series on each axis that holds a number: its number
    // format labels that axis (the axis is linked to its source, as the spreadsheet does).
    SheetRange primaryFormatCell;
    SheetRange secondaryFormatCell;

    int slotCount() const { return static_cast<int>(categories.size()); }
    bool hasValues() const;
};

// Reads the series of `chart` from `book` (formulas brought up to date first). Slots run to
// the last row (or column) of the ranges that holds anything in a series or the categories,
// so the empty rows at the end of a fixed data range take no room. Category labels are the
// category cells as the sheet shows them, or in the axis' own number format when the chart
// has one; without categories the slots are numbered 1, 2, 3... Series without a name are
// called "Series1", "Series2"... A series whose only group is the secondary one moves to the
// primary axis, as the chart writer stores it.
ChartData readChartData(const Workbook& book, const Chart& chart, const QLocale& locale = QLocale());

// Text of a number in the number format of a cell (its custom or built-in format).
QString formatLikeCell(const Workbook& book, const SheetRange& cell, double value, const QLocale& locale);

} // namespace sheet
