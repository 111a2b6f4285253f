#pragma once

#include <QLocale>
#include <QString>

#include <cstddef>
#include <functional>

namespace sheet {

class Workbook;

// Everything a person debugging a workbook wants to see, as JSON: the sheets in order with
// their kinds, the active sheet, the defined names (name, the sheet a local name belongs to,
// formula, built-in, hidden, function), and per worksheet its used range and every cell
// (address, shown text, raw value with its type, number format, formula text: "{=...}" for
// the cells of an array formula, "{=TABLE(row input,column input)}" for a data table's, with
// the range the formula or table covers as "group");
// per chart sheet its series with their references and axis group. Shown texts use `locale`;
// `file`, when not empty, is given as "file".
//
// The text is handed to `sink` piece by piece as it is made, never whole: a large workbook's
// JSON is many times the workbook. It reads as QJsonDocument's indented form does (members
// in the order of their names, four spaces a level), so either can be compared with the other.
using JsonSink = std::function<void(const char* data, std::size_t size)>;
void writeWorkbookJson(const Workbook& book, const QLocale& locale, const QString& file, const JsonSink& sink);

} // namespace sheet
