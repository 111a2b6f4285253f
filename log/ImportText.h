#pragma once

#include "Failure.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Reading a file to import into cells: the bytes into text, the text into rows of cells.
// Everything here refuses what it cannot read whole with ImportRefused, whose text is the
// one message the user sees; nothing is returned half-read.

// Files larger than this, or with more rows than this, are refused.
constexpr qint64 ImportByteLimit = 50LL * 1024 * 1024;
constexpr int ImportRowLimit = 200000;
// Rows wider than a spreadsheet's 256 columns, or more values than a long log of every field
// could hold, are no log: refused before they take the memory.
constexpr int ImportColumnLimit = 256;
constexpr qint64 ImportCellLimit = 8000000;

class ImportRefused : public Failure {
public:
    using Failure::Failure;
};

// One row of a file to import: its cells, and the line of the file it starts on (from 1).
struct ImportRow {
    int line = 0;
    QStringList cells;
};

// The rows of a file as read, before any meaning is given to them.
struct ImportTable {
    QList<ImportRow> rows;
    QChar delimiter;           // ',' ';' or '\t'; null for a workbook
    bool fromWorkbook = false; // dates as yyyy-MM-dd and numbers with a point, as the engine gives them
};

// The refusal of a file over the limits; the same text for both.
QString TooLargeMessage();

// The bytes of the regular file at path, at most ImportByteLimit of them.
QByteArray ReadImportBytes(const QString& path);

// The text of a file's bytes: UTF-8 (with or without a byte-order mark), or UTF-16 with its
// mark. Refuses an empty file, a binary file and bytes that are no such text.
QString DecodeImportText(const QByteArray& bytes);

// The delimiter of a delimited text: the one of tab, semicolon and comma that splits the first
// lines into the same number of cells (more than one), tab first, then the one giving most
// cells; a comma when none does (a file of one column).
QChar DetectDelimiter(const QString& text);

// The rows of a delimited text, cells split at the delimiter outside double quotes (a quote
// inside quotes is written twice; quoted cells may hold line breaks). Blank lines give no
// row. Refuses more than ImportRowLimit rows.
ImportTable SplitDelimited(const QString& text, QChar delimiter);
