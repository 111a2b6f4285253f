#pragma once

#include <QJsonObject>
#include <QLocale>

namespace sheet {

class Workbook;

// Everything a person debugging a workbook wants to see, as JSON: the sheets in order with
// their kinds, the active sheet, the defined names (name, the sheet a local name belongs to,
// formula, built-in, hidden, function), and per worksheet its used range and every cell
// (address, shown text, raw value with its type, number format, formula text: "{=...}" for
// the cells of an array formula, "{=TABLE(row input,column input)}" for a data table's, with
// the range the formula or table covers as "group");
// per chart sheet its series with their references and axis group. Shown texts use `locale`.
QJsonObject dumpWorkbook(const Workbook& book, const QLocale& locale);

} // namespace sheet
