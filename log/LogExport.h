#pragma once

#include "StoredLog.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// The active log as a CSV file: a header row, one row per entry in the log's order, dates as
// yyyy-MM-dd, numbers with a point, UTF-8, the entered fields and then what the workbook
// computes from them.

// The columns: the log's fields as the list names them, then "Lean Body Weight (lbs)" (or
// "(kg)"), "Body Fat Weight (lbs)", "Body Fat Percentage" and "BMI".
QStringList ExportHeader(bool imperial);

// What the workbook's formulas give for one entry: lean body weight, body fat weight, body
// fat percentage and BMI; nothing where the workbook shows no number (an empty cell or an
// error).
using ComputedFigures = std::array<std::optional<double>, 4>;

// The file's bytes. `computed` holds one item per entry (missing items leave the computed
// columns empty). A date the log holds in another form than month/day/year is written as it
// stands.
QByteArray ExportCsvBytes(bool imperial, const QList<LogEntry>& entries, const QList<ComputedFigures>& computed);

// Writes the bytes to path whole or not at all. Throws Failure with the reason, the file
// then being as it was.
void WriteExportFile(const QString& path, const QByteArray& bytes);
