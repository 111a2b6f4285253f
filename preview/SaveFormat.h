#pragma once

#include <QByteArray>
#include <QString>

// What "Save Results To Excel File" writes: the workbook, or the PDF report of it.

inline const QString ExcelFilter = QStringLiteral("Excel Files (*.xls)");
inline const QString PdfFilter = QStringLiteral("PDF report (*.pdf)");
// The save dialog's filters, the workbook's first.
QString SaveFilters();

// The report is chosen by a name ending in ".pdf", or by its filter for a name that ends in
// neither ".pdf" nor ".xls"; the name itself is kept exactly as typed.
bool WantsPdf(const QString& path, const QString& filter);

// Writes bytes to path whole or not at all: a failed save leaves the user's existing file as
// it was. Throws Failure naming the file and the system's reason.
void WriteWholeFile(const QString& path, const QByteArray& bytes);
