#pragma once

#include "base/Value.h"

#include <QString>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace sheet {

// What a workbook keeps of the other workbooks its formulas read (a SUPBOOK naming a file,
// with the values of the cells read as they were when the file was saved: XCT and CRN
// records) and of its DDE links (a SUPBOOK naming an application and a topic, the values in
// each EXTERNNAME). Excel and LibreOffice compute with these values without opening the
// other file; so does the engine.
struct OtherBookSheet {
    QString name;
    std::unordered_map<std::uint32_t, Value> cells; // by cellKey
    int lastRow = -1, lastCol = -1;
};

// An external name: another workbook's defined name (a reference into its sheets, or an
// error), or a DDE link's item (its last value, #REF! when the file keeps none).
struct OtherBookName {
    QString name;
    int sheet = -1; // the sheet a sheet-level name belongs to, else -1
    bool reference = false;
    int firstSheet = 0, lastSheet = 0, firstRow = 0, lastRow = 0, firstCol = 0, lastCol = 0;
    Value value;
};

struct OtherBook {
    enum class Kind : std::uint8_t { None, Workbook, Dde };
    Kind kind = Kind::None; // None: this workbook, the add-ins, or nothing known
    QString file;           // "Book1.xls", the workbook's file name without its folders
    QString application, topic;
    std::vector<OtherBookSheet> sheets;
    std::vector<OtherBookName> names; // by EXTERNNAME position, from 0
};

// How much of a SUPBOOK to read: its sheet names only, or its names and cached cells too.
enum class OtherBookPart : std::uint8_t { Sheets, All };

// Every SUPBOOK of a workbook, by position. Another workbook's sheets have sheet numbers of
// their own, from kFirstSheet up, so references into them are read like any other.
struct OtherBooks {
    static constexpr int kFirstSheet = 0x10000;
    static constexpr int kSheetsPerBook = 0x400;

    std::vector<OtherBook> books;

    static bool isOtherSheet(int sheet) { return sheet >= kFirstSheet; }
    static int sheetNumber(int book, int sheet) { return kFirstSheet + book * kSheetsPerBook + sheet; }
    const OtherBookSheet* sheet(int number) const
    {
        if (!isOtherSheet(number))
            return nullptr;
        const int book = (number - kFirstSheet) / kSheetsPerBook, index = (number - kFirstSheet) % kSheetsPerBook;
        if (book >= static_cast<int>(books.size()) || index >= static_cast<int>(books[book].sheets.size()))
            return nullptr;
        return &books[static_cast<std::size_t>(book)].sheets[static_cast<std::size_t>(index)];
    }
    const OtherBook* bookOfSheet(int number) const
    {
        return sheet(number) ? &books[static_cast<std::size_t>((number - kFirstSheet) / kSheetsPerBook)] : nullptr;
    }
    Value value(int sheetNumber, int row, int col) const;
    // "[Book1.xls]Sheet1" as formulas name another workbook's sheet.
    QString sheetName(int sheetNumber) const;
};

} // namespace sheet
