#pragma once

#include "charts/Chart.h"

#include <QLocale>
#include <QString>

#include <vector>

namespace sheet {

class Workbook;

// A number format: its index and, for a custom one, its code.
struct LabelFormat {
    int index = 0;
    QString custom;

    QString code() const; // the custom code, else the built-in one
    QString format(double value, const QLocale& locale) const;
};

// The number format of a cell (General when there is no cell).
LabelFormat cellLabelFormat(const Workbook& book, const SheetRange& cell);

// `code` with `extra` more decimals in each of its sections ("0.00%" with 1: "0.000%",
// "#,##0" with 2: "#,##0.00"); codes for dates, times, fractions and text unchanged.
QString withMoreDecimals(const QString& code, int extra);

// The labels of value-axis ticks in the number format of `formatCell`, the cell the axis
// is linked to. Where that format shows two ticks alike (too few decimals for the step), as
// many more decimals as tell them apart, up to ten.
std::vector<QString> valueAxisLabels(const Workbook& book, const SheetRange& formatCell,
                                     const std::vector<double>& ticks, double major, const QLocale& locale);

// The format of a date axis' labels: the axis' own, else the category cells' when it shows
// dates, else the locale's short date.
LabelFormat dateAxisLabelFormat(const Workbook& book, const Chart& chart, const SheetRange& categoryCell);

} // namespace sheet
