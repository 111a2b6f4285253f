#pragma once

#include "biff/RecordStream.h"
#include "biff/SharedStrings.h"
#include "model/Worksheet.h"

#include <cstdint>
#include <map>
#include <vector>

namespace sheet {

class ReadBudget;

// Reads one worksheet substream into a worksheet: cells, rows, columns, merged cells and the
// window; every record it does not interpret is kept where it was. One method per family of
// records.
class WorksheetReader {
public:
    // The workbook's shared strings as read, and where each went in the workbook's pool.
    struct Strings {
        const std::vector<SharedString>* table = nullptr;
        const std::vector<std::uint32_t>* poolIndex = nullptr;
    };

    // What the sheet keeps counts against `budget` (may be null).
    WorksheetReader(Worksheet& sheet, const SubstreamRecords& records, Strings strings, ReadBudget* budget);
    void read();

private:
    void readRecord(const RecordView& rec);
    bool readCell(const RecordView& rec);
    void keepEmbeddedSubstream();
    void readColumns(const RecordView& rec);
    void readRow(const RecordView& rec);
    void readLabel(const RecordView& rec);
    void readMultiple(const RecordView& rec);
    void readBoolErr(const RecordView& rec);
    void readFormula(const RecordView& rec);
    void readFormulaString();
    void readFormulaGroup(const RecordView& rec);
    void readMergedCells(const RecordView& rec);
    void readWindow2(const RecordView& rec);
    void readPrinting(const RecordView& rec);
    void keepOther(const RecordView& rec);
    void expandSharedFormulas();
    void dropExpandedGroups(const std::map<std::uint32_t, bool>& expanded);
    void placeMissingParts();

    struct Header {
        int row;
        int col;
        std::uint16_t xf;
    };
    Header header(ByteReader& r) const;
    Cell& put(const Header& h, Cell c);
    Record keep(const RecordView& r);
    void spend(std::size_t bytes);

    Worksheet& m_sheet;
    const SubstreamRecords& m_records;
    Strings m_strings;
    ReadBudget* m_budget;
    std::size_t m_at = 0;  // the record being read
    std::size_t m_end = 0; // the EOF, or the end of what there is
    int m_xfCount = 0;
    Cell* m_lastCell = nullptr;
    std::uint32_t m_lastKey = 0;
    bool m_pendingString = false;
    bool m_cellTableOpen = false;
    std::map<std::uint32_t, Bytes> m_sharedFormulas; // the cell a SHRFMLA follows -> its tokens
};

} // namespace sheet
