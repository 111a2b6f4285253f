// Writing the globals substream and putting the sheets' substreams after it.
#include "io/WorkbookWriter.h"

#include "biff/RecordIds.h"
#include "charts/Chart.h"
#include "io/WorksheetWriter.h"

namespace sheet {

using Part = Workbook::Part;

WorkbookWriter::WorkbookWriter(const Workbook& book)
    : m_book(book)
{
}

Bytes WorkbookWriter::stream()
{
    m_book.ensureCalculated();
    collectStrings();
    Bytes out;
    out.reserve(4096);
    writeGlobals(out);
    // The sheets follow the globals in the same buffer: no second copy of the stream is made.
    writeSheets(out);
    return out;
}

// Shared strings in order of first use; the pool may hold strings no cell uses any more.
void WorkbookWriter::collectStrings()
{
    m_sstIndex.assign(m_book.strings().size(), Cell::kNoString);
    auto use = [&](std::uint32_t pool) {
        if (pool >= m_sstIndex.size())
            return;
        ++m_totalUses;
        if (m_sstIndex[pool] == Cell::kNoString) {
            m_sstIndex[pool] = static_cast<std::uint32_t>(m_table.size());
            m_table.push_back(m_book.strings().at(pool));
        }
    };
    for (int i = 0; i < m_book.sheetCount(); ++i) {
        const Worksheet* ws = m_book.worksheet(i);
        if (!ws) {
            // text cells of sheets kept as they are (macro and dialog sheets) keep their texts
            for (const Sheet::KeptString& k : m_book.sheet(i).keptStrings())
                use(k.pool);
            continue;
        }
        for (const auto& kv : ws->cells()) {
            const Cell& c = kv.second;
            if (!c.formula && c.value.isString())
                use(c.sst);
        }
    }
}

void WorkbookWriter::writeGlobals(Bytes& out)
{
    appendRecord(out, rid::kBof, m_book.bofRecord());
    for (const Workbook::Layout::Item& item : m_book.layout().items())
        writePart(out, item);
    appendRecord(out, rid::kEof, {});
}

void WorkbookWriter::writePart(Bytes& out, const Workbook::Layout::Item& item)
{
    switch (item.part) {
    case Part::Raw: appendRecord(out, item.record); break;
    case Part::Template:
        if (m_book.isTemplate())
            appendRecord(out, rid::kTemplate, {});
        break;
    case Part::Window1: appendRecord(out, rid::kWindow1, window1Body()); break;
    case Part::DateMode: {
        ByteWriter w;
        w.u16(m_book.date1904() ? 1 : 0);
        appendRecord(out, rid::kDateMode, w.data());
        break;
    }
    case Part::Fonts:
        for (const Font& f : m_book.fonts())
            appendRecord(out, rid::kFont, f.encode());
        break;
    case Part::Formats:
        for (const auto& f : m_book.customFormats()) {
            ByteWriter w;
            w.u16(f.first);
            w.xlUnicodeString(f.second);
            appendRecord(out, rid::kFormat, w.data());
        }
        break;
    case Part::Xfs:
        for (const Xf& x : m_book.xfs())
            appendRecord(out, rid::kXf, x.encode());
        break;
    case Part::BoundSheets: writeBoundSheets(out); break;
    case Part::LinkTable: writeLinkTable(out); break;
    case Part::Names: writeNames(out); break;
    case Part::Sst: writeStrings(out); break;
    }
}

Bytes WorkbookWriter::window1Body() const
{
    ByteWriter w;
    const Bytes& kept = m_book.window1Record();
    if (kept.size() >= 18) {
        w.bytes(kept);
    } else {
        w.u16(0);
        w.u16(0);
        w.u16(0x4000);
        w.u16(0x2000);
        w.u16(0x0038);
        w.u16(0);
        w.u16(0);
        w.u16(1);
        w.u16(0x0258);
    }
    const std::uint16_t active = static_cast<std::uint16_t>(m_book.activeSheet());
    w.patchU16(10, active);
    const Bytes& d = w.data();
    const std::uint16_t firstTab = static_cast<std::uint16_t>(d[12] | (d[13] << 8));
    if (firstTab > active)
        w.patchU16(12, 0);
    w.patchU16(14, 1); // one selected tab: the active one
    return w.take();
}

void WorkbookWriter::writeBoundSheets(Bytes& out)
{
    for (int i = 0; i < m_book.sheetCount(); ++i) {
        const Sheet& s = m_book.sheet(i);
        ByteWriter w;
        w.u32(0); // filled in once the sheet is written
        w.u8(static_cast<std::uint8_t>(s.visibility()));
        w.u8(s.isWorksheet() ? 0 : (s.isChart() ? 2 : s.boundSheetType()));
        w.shortXLUnicodeString(s.name());
        m_positionAt.push_back(out.size() + 4);
        appendRecord(out, rid::kBoundSheet, w.data());
    }
}

void WorkbookWriter::writeLinkTable(Bytes& out) const
{
    for (const Workbook::SupBook& sb : m_book.supBooks()) {
        if (sb.self) {
            ByteWriter w;
            w.u16(static_cast<std::uint16_t>(m_book.sheetCount()));
            w.u16(0x0401);
            appendRecord(out, rid::kSupBook, w.data());
        } else {
            appendRecord(out, sb.record);
        }
        for (const Record& r : sb.followers)
            appendRecord(out, r);
    }
    const std::vector<Workbook::Xti>& xti = m_book.externSheets();
    if (xti.empty())
        return;
    ByteWriter w;
    w.u16(static_cast<std::uint16_t>(xti.size()));
    for (const Workbook::Xti& x : xti) {
        w.u16(x.supBook);
        w.u16(x.firstSheet);
        w.u16(x.lastSheet);
    }
    appendRecord(out, rid::kExternSheet, w.data());
}

void WorkbookWriter::writeNames(Bytes& out) const
{
    for (int i = 0; i < m_book.nameCount(); ++i) {
        const DefinedName& n = m_book.definedName(i);
        if (n.raw.empty()) {
            appendRecord(out, rid::kName, n.encode());
            continue;
        }
        for (const Record& r : n.raw)
            appendRecord(out, r);
    }
}

void WorkbookWriter::writeStrings(Bytes& out) const
{
    const std::uint16_t bucket = extSstBucketSize(m_table.size());
    std::vector<SstBucket> buckets;
    writeSst(out, 0, m_table, m_totalUses, bucket, &buckets);
    appendRecord(out, rid::kExtSst, encodeExtSst(bucket, buckets));
}

void WorkbookWriter::writeSheets(Bytes& out) const
{
    for (int i = 0; i < m_book.sheetCount(); ++i) {
        const std::size_t pos = out.size();
        if (pos > 0xFFFFFFFFu)
            throw Error(QStringLiteral("The workbook is too large"));
        const std::uint32_t p = static_cast<std::uint32_t>(pos);
        const std::size_t at = m_positionAt.at(static_cast<std::size_t>(i));
        out[at] = p & 0xFF;
        out[at + 1] = (p >> 8) & 0xFF;
        out[at + 2] = (p >> 16) & 0xFF;
        out[at + 3] = (p >> 24) & 0xFF;

        const bool active = i == m_book.activeSheet();
        if (const Worksheet* ws = m_book.worksheet(i))
            WorksheetWriter(*ws, m_sstIndex, active).write(out);
        else
            writeKeptSheet(out, m_book.sheet(i), active);
    }
}

void WorkbookWriter::writeKeptSheet(Bytes& out, const Sheet& s, bool active) const
{
    appendRecord(out, rid::kBof, s.bof());
    // A chart's cached series values and names follow the cells as they are now.
    const RecordList refreshed = s.isChart() ? refreshChartCache(m_book, s.records()) : RecordList();
    const RecordList& records = s.isChart() ? refreshed : s.records();
    std::vector<std::uint32_t> stringAt(s.keptStrings().empty() ? 0 : records.size(), Cell::kNoString);
    for (const Sheet::KeptString& k : s.keptStrings())
        if (k.record < stringAt.size() && k.pool < m_sstIndex.size())
            stringAt[k.record] = m_sstIndex[k.pool];
    for (std::size_t k = 0; k < records.size(); ++k) {
        const Record& r = records[k];
        if (k < stringAt.size() && stringAt[k] != Cell::kNoString && r.id == rid::kLabelSst && r.data.size() >= 10) {
            // the text's place in the table written above
            Record moved = r;
            for (int b = 0; b < 4; ++b)
                moved.data[6 + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(stringAt[k] >> (8 * b));
            appendRecord(out, moved);
        } else if (r.id == rid::kWindow2 && r.data.size() >= 2) {
            // Only the active sheet shows as selected.
            appendRecord(out, rid::kWindow2, window2ForSave(r.data, active));
        } else {
            appendRecord(out, r);
        }
    }
    appendRecord(out, rid::kEof, {});
}

} // namespace sheet
