#pragma once

#include "biff/RecordStream.h"
#include "biff/SharedStrings.h"
#include "model/Workbook.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace sheet {

class ReadBudget;

// What a BOUNDSHEET record says of a sheet.
struct BoundSheet {
    std::uint32_t pos = 0; // where its substream starts in the workbook stream
    std::uint8_t state = 0;
    std::uint8_t type = 0; // 0 worksheet or dialog, 1 macro sheet, 2 chart, 6 module
    QString name;

    static BoundSheet decode(ByteView body);
};

// Reads a BIFF8 workbook stream: the globals (one method per family of records), then each
// sheet. What the workbook keeps counts against the budget; a file that needs more is refused.
class WorkbookReader {
public:
    WorkbookReader(const Bytes& stream, ReadBudget& budget);
    std::unique_ptr<Workbook> read();

    // The globals' records, once the stream's start is checked (BIFF8, globals first).
    static SubstreamRecords globals(const Bytes& stream, ReadBudget& budget);
    // The kind of sheet the reader makes of a BOUNDSHEET entry, from its type and the BOF
    // its substream starts with.
    static Sheet::Kind sheetKind(const BoundSheet& s, std::uint16_t bofType);
    // The BOF type of the substream at `pos`; throws FormatError when there is none.
    static std::uint16_t substreamType(const Bytes& stream, std::uint32_t pos);

private:
    void readGlobals(const SubstreamRecords& globals);
    bool readRecord(const SubstreamRecords& globals, std::size_t& i);
    bool readBookRecord(const RecordView& r);
    bool readStyleRecord(const RecordView& r);
    bool readLinkRecord(const SubstreamRecords& globals, std::size_t& i);
    void readWindow1(const RecordView& r);
    void readPalette(const RecordView& r);
    void readName(const SubstreamRecords& globals, std::size_t& i);
    void readExternSheet(const SubstreamRecords& globals, std::size_t& i);
    void finishGlobals();
    void readSheet(const BoundSheet& s);
    std::unique_ptr<Sheet> readKeptSheet(const BoundSheet& s, Sheet::Kind kind, const SubstreamRecords& records);
    void place(Workbook::Part part) { m_book->layout().place(part); }
    void keep(const RecordView& r) { m_book->layout().keep(r.copy()); }

    const Bytes& m_stream;
    ReadBudget& m_budget;
    std::unique_ptr<Workbook> m_book;
    std::vector<Font> m_fonts;
    std::vector<Xf> m_xfs;
    std::vector<std::pair<std::uint16_t, QString>> m_formats;
    std::vector<Workbook::SupBook> m_supBooks;
    std::vector<Workbook::Xti> m_xti;
    std::vector<DefinedName> m_names;
    std::vector<BoundSheet> m_bound;
    std::vector<SharedString> m_sst;
    std::vector<std::uint32_t> m_poolIndex;
    bool m_inSupBook = false;
};

} // namespace sheet
