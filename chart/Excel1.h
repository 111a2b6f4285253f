#pragma once

#include <QString>

#include <memory>

namespace sheet::automation {
class Application;
class Workbook;
} // namespace sheet::automation

// The spreadsheet application as the chart generation drives it: start it with a workbook,
// tell whether it is already running for this user, warn about that, capture the active
// sheet as a picture, and choose the file format to save in.

// A new hidden instance with the workbook at path open in it. Failures propagate.
std::unique_ptr<sheet::automation::Application> openExcelWithWorkbook(const QString& path);

// True when an instance of the spreadsheet application runs for this user; any failure
// counts as not running.
bool isExcelRunning();

// When one is running, asks whether to go on; true means stop.
bool warnExcelOpen();

// The text of that question.
QString ExcelOpenWarningText();

// Writes the used range of the workbook's active sheet, through the clipboard, as a picture
// file at path. A used range that ends in row 1 or column 1 writes nothing. Each failing step
// is reported and the next one runs.
void saveCellsActivesheet(const sheet::automation::Workbook& workbook, const QString& path);

// 56 for application versions after 11, else -4143. Without an application, one is started
// to ask and ended again.
int excelSaveFormat(sheet::automation::Application* application = nullptr);
// The decision itself, from the version text.
int SaveFormatForVersion(const QString& version);
