#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A sheet the preview offers as a tab.
struct SheetTab {
    enum class Kind { Worksheet, Chart };
    QString name;
    int sheetIndex = 0; // position among all the workbook's sheets
    Kind kind = Kind::Worksheet;
};

// The visible worksheets and chart sheets of the workbook file at path, in the workbook's
// order, read from its globals alone (the preview opens the whole workbook only when a tab
// needs it). Throws Failure naming the file when it cannot be read.
QList<SheetTab> ReadSheetTabs(const QString& path);

// The bytes of the workbook file at path. Throws Failure naming the file when it cannot be
// read.
QByteArray ReadWorkbookFile(const QString& path);
