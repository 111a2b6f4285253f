#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>

// What "Save Results To Excel File" writes: the workbook, or the PDF report of it.

inline const QString ExcelFilter = QStringLiteral("Excel Files (*.xls)");
inline const QString PdfFilter = QStringLiteral("PDF report (*.pdf)");
// The save dialog's filters, the workbook's first.
QString SaveFilters();

// The report is chosen by a name ending in ".pdf", or by its filter for a name that ends in
// neither ".pdf" nor ".xls"; the name itself is kept exactly as typed.
bool WantsPdf(const QString& path, const QString& filter);

// The folder the save dialog opens in: the one last saved to (remembered across runs) while
// it exists, else the user's documents folder, else the home folder.
QString SaveFolder();
// Remembers the folder of a path just saved to. Throws Failure when the settings cannot be
// written.
void RememberSaveFolder(const QString& savedPath);
// The name the save dialog offers: "Fitness Progress 2026-12-07.xls".
QString SuggestedSaveName(const QDate& day);

// Writes bytes to path whole or not at all: a failed save leaves the user's existing file as
// it was. Throws Failure naming the file and the system's reason.
void WriteWholeFile(const QString& path, const QByteArray& bytes);
