#pragma once

#include "ImportText.h"

#include <QByteArray>
#include <QString>

// A workbook saved by Kalmora (Excel 97-2003, .xls), read back as a table of its data sheet's
// entries: the header row (the row whose first cell reads "Date") and every row under it,
// dates as yyyy-MM-dd and numbers with a point. Formula cells are left empty: what the
// workbook computes is not part of the log.

// Whether the bytes begin as a compound file (an .xls) does.
bool IsWorkbookBytes(const QByteArray& bytes);

// Whether the bytes begin as a zip archive does (an .xlsx or .ods).
bool IsZipBytes(const QByteArray& bytes);

// The table of the workbook in bytes. Refuses a workbook that cannot be read or has no sheet
// with a "Date" header, with ImportRefused.
ImportTable ReadWorkbookTable(const QByteArray& bytes);

// Reads the file at path as a table: a workbook, or else delimited text. Refuses what is
// neither, with one message.
ImportTable ReadImportFile(const QString& path);
