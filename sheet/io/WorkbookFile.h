#pragma once

#include "biff/Bytes.h"
#include "model/Sheet.h"

#include <QString>
#include <memory>
#include <vector>

namespace sheet {

class Workbook;

// Workbooks read from and written to files, compound file bytes and bare BIFF8 workbook streams.

// Compound file bytes (.xls / .xlt). Throws FormatError with what is wrong.
std::unique_ptr<Workbook> workbookFromBytes(const Bytes& bytes);
// The bare BIFF8 workbook stream.
std::unique_ptr<Workbook> workbookFromStream(const Bytes& stream);
// Throws Error naming the file on any failure; refuses what is not a regular file and files
// over 512 MB before reading them.
std::unique_ptr<Workbook> loadWorkbook(const QString& path);

// The BIFF8 workbook stream; formulas are brought up to date first.
Bytes workbookToStream(const Workbook& book);
// The compound file.
Bytes workbookToBytes(const Workbook& book);
// Replaces path whole or not at all (writeFileDurably); throws WriteError with the system's
// reason. Scratch saves skip the waits for the disk and replace a link at path.
enum class Durability { Durable, Scratch };
void saveWorkbook(const Workbook& book, const QString& path, Durability durability = Durability::Durable);

// A sheet as the workbook's globals list it.
struct SheetListing {
    QString name;
    Sheet::Kind kind = Sheet::Kind::Worksheet; // as reading the workbook would make it
    Sheet::Visibility visibility = Sheet::Visibility::Visible;
};
// The sheets of the workbook file at path, in order, from its globals alone: the sheets
// themselves are not read. Throws Error naming the file as loadWorkbook does.
std::vector<SheetListing> listSheets(const QString& path);

} // namespace sheet
