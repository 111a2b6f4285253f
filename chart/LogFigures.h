#pragma once

#include "LogExport.h"
#include "StoredLog.h"

#include <QList>
#include <QString>

// What the workbook computes for each entry of a log (lean body weight, body fat weight, body
// fat percentage and BMI), worked out by the engine from the chart template's own formulas
// with the entries and the height where the workbook has them, so that every place that shows
// these figures agrees with the workbook. Entries and heights are in their stored form
// (numbers with a point; "5 3/8" inches read as the workbook reads them).
QList<ComputedFigures> ComputeLogFigures(bool imperial, const QString& height1, const QString& height2,
                                         const QList<LogEntry>& entries);
