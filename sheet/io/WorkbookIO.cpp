// Reading and writing the globals substream and putting the sheets' substreams around it.
#include "model/Workbook.h"

#include "biff/ReadBudget.h"
#include "biff/RecordIds.h"
#include "biff/RecordStream.h"
#include "charts/Chart.h"

namespace sheet {

namespace {

struct BoundSheet {
    std::uint32_t pos = 0;
    std::uint8_t state = 0;
    std::uint8_t type = 0;
    QString name;
};

// A FORMAT record's code; a string cut short (other writers' files have them) keeps what is there.
QString formatCode(ByteReader& rd)
{
    const std::size_t start = rd.pos();
    try {
        return rd.xlUnicodeString();
    } catch (const FormatError&) {
        rd.seek(start);
        const std::size_t cch = rd.u16();
        const bool wide = rd.u8() & 1;
        const std::size_t have = wide ? rd.remaining() / 2 : rd.remaining();
        return rd.unicodeChars(std::min(cch, have), wide);
    }
}

Bytes concat(const std::vector<ByteView>& chunks)
{
    Bytes out;
    for (const ByteView& c : chunks)
        out.insert(out.end(), c.data, c.data + c.size);
    return out;
}

// A text cell of a sheet kept as it is (a macro or dialog sheet): its string's pool entry, so
// the save can point it at the same text.
void keepString(const RecordList& kept, const std::vector<std::uint32_t>& poolIndex,
                std::vector<Sheet::KeptString>& strings)
{
    const Record& r = kept.back();
    if (r.id != rid::kLabelSst || r.data.size() < 10)
        return;
    const std::uint32_t isst
        = static_cast<std::uint32_t>(r.data[6] | (r.data[7] << 8) | (r.data[8] << 16) | (r.data[9] << 24));
    if (isst < poolIndex.size())
        strings.push_back({kept.size() - 1, poolIndex[isst]});
}

// What a record the reader keeps takes: its body, the Record and the allocator's share.
std::size_t keptCost(std::size_t body) { return sizeof(Record) + body + 16; }

} // namespace

class WorkbookReader {
public:
    static std::unique_ptr<Workbook> read(const Bytes& stream, ReadBudget& budget);
};

std::unique_ptr<Workbook> Workbook::fromStream(const Bytes& stream)
{
    ReadBudget budget;
    // The stream is held while it is read, whoever owns it.
    budget.spend(stream.size());
    return WorkbookReader::read(stream, budget);
}

std::unique_ptr<Workbook> Workbook::readStream(const Bytes& stream, ReadBudget& budget)
{
    return WorkbookReader::read(stream, budget);
}

std::unique_ptr<Workbook> WorkbookReader::read(const Bytes& stream, ReadBudget& budget)
{
    if (stream.size() < 4)
        throw FormatError(QStringLiteral("the workbook stream is empty"));
    if (const QString older = olderBiffVersion(stream); !older.isEmpty())
        throw UnsupportedFormatError(older + QStringLiteral("; only Excel 97-2003 (BIFF8) workbooks are read"));
    const SubstreamRecords globals = scanSubstream(stream, 0, nullptr, &budget);
    {
        ByteReader bof(globals.front().data);
        const std::uint16_t version = bof.u16();
        const std::uint16_t type = bof.u16();
        if (version != 0x0600)
            throw FormatError(QStringLiteral("not an Excel 97-2003 (BIFF8) workbook (version 0x%1)")
                                  .arg(version, 4, 16, QLatin1Char('0')));
        if (type != rid::kBofGlobals)
            throw FormatError(QStringLiteral("the workbook stream does not start with the workbook globals"));
    }

    auto book = std::make_unique<Workbook>();
    Workbook& b = *book;
    b.m_layout.clear();
    b.m_fonts.clear();
    b.m_xfs.clear();
    b.m_bof = globals.front().data.copy();
    std::vector<BoundSheet> bound;
    std::vector<SharedString> sst;
    bool seen[16] = {};
    auto place = [&](Workbook::Part p) {
        if (!seen[static_cast<int>(p)]) {
            seen[static_cast<int>(p)] = true;
            b.m_layout.push_back(Workbook::LayoutItem{p, {}});
        }
    };
    auto raw = [&](const RecordView& r) { b.m_layout.push_back(Workbook::LayoutItem{Workbook::Part::Raw, r.copy()}); };
    bool window1 = false;
    bool inSupBook = false;

    for (std::size_t i = 1; i < globals.size(); ++i) {
        const RecordView r = globals[i];
        // Whether kept as it is or decoded, a record takes about its own size again.
        budget.spend(keptCost(r.data.size));
        if (r.id != rid::kContinue && r.id != rid::kExternName && r.id != rid::kXct && r.id != rid::kCrn)
            inSupBook = false;
        switch (r.id) {
        case rid::kEof: i = globals.size(); break;
        case rid::kBof: throw FormatError(QStringLiteral("unexpected BOF inside the workbook globals"));
        case rid::kFilePass: throw FormatError(QStringLiteral("the workbook is password-protected (encrypted)"));
        case rid::kTemplate:
            b.m_template = true;
            place(Workbook::Part::Template);
            break;
        case rid::kWindow1:
            if (window1) {
                raw(r);
            } else {
                if (r.data.size < 18)
                    throw FormatError(QStringLiteral("WINDOW1 record is too short"));
                window1 = true;
                b.m_window1 = r.data.copy();
                place(Workbook::Part::Window1);
            }
            break;
        case rid::kDateMode: {
            ByteReader rd(r.data);
            b.m_date1904 = rd.u16() != 0;
            place(Workbook::Part::DateMode);
            break;
        }
        case rid::kFont:
            b.m_fonts.push_back(Font::decode(r.data.copy()));
            place(Workbook::Part::Fonts);
            break;
        case rid::kFormat: {
            ByteReader rd(r.data);
            const std::uint16_t index = rd.u16();
            b.m_formats.emplace_back(index, formatCode(rd));
            place(Workbook::Part::Formats);
            break;
        }
        case rid::kName: {
            const std::size_t first = i;
            const std::vector<ByteView> chunks = gatherContinues(globals, i);
            DefinedName n;
            try {
                n = DefinedName::decode(concat(chunks));
            } catch (const FormatError&) {
                // kept as it was, so the names after it keep their numbers
            }
            for (std::size_t k = first; k <= i; ++k) {
                if (k > first)
                    budget.spend(keptCost(globals[k].data.size));
                n.raw.push_back(globals[k].copy());
            }
            b.m_names.push_back(std::move(n));
            place(Workbook::Part::Names);
            break;
        }
        case rid::kXf:
            b.m_xfs.push_back(Xf::decode(r.data.copy()));
            place(Workbook::Part::Xfs);
            break;
        case rid::kPalette: {
            ByteReader rd(r.data);
            const std::size_t n = rd.u16();
            b.m_palette.clear();
            for (std::size_t k = 0; k < n && k < 56; ++k) {
                const std::uint32_t red = rd.u8(), green = rd.u8(), blue = rd.u8();
                rd.skip(1);
                b.m_palette.push_back((red << 16) | (green << 8) | blue);
            }
            raw(r);
            break;
        }
        case rid::kBoundSheet: {
            ByteReader rd(r.data);
            BoundSheet s;
            s.pos = rd.u32();
            s.state = rd.u8();
            s.type = rd.u8();
            s.name = rd.shortXLUnicodeString();
            bound.push_back(s);
            place(Workbook::Part::BoundSheets);
            break;
        }
        case rid::kSupBook: {
            Workbook::SupBook sb;
            sb.record = r.copy();
            sb.self = r.data.size == 4 && r.data[2] == 0x01 && r.data[3] == 0x04;
            b.m_supBooks.push_back(std::move(sb));
            inSupBook = true;
            place(Workbook::Part::LinkTable);
            break;
        }
        case rid::kExternName:
        case rid::kXct:
        case rid::kCrn:
        case rid::kContinue:
            if (inSupBook && !b.m_supBooks.empty()) {
                b.m_supBooks.back().followers.push_back(r.copy());
                break;
            }
            raw(r);
            break;
        case rid::kExternSheet: {
            const Bytes body = concat(gatherContinues(globals, i));
            ByteReader rd(body);
            const std::size_t n = rd.u16();
            rd.need(n * 6);
            for (std::size_t k = 0; k < n; ++k) {
                Workbook::Xti x;
                x.supBook = rd.u16();
                x.firstSheet = rd.u16();
                x.lastSheet = rd.u16();
                b.m_xti.push_back(x);
            }
            place(Workbook::Part::LinkTable);
            break;
        }
        case rid::kSst:
            sst = readSst(gatherContinues(globals, i), &budget);
            place(Workbook::Part::Sst);
            break;
        case rid::kExtSst:
            gatherContinues(globals, i); // rebuilt on save
            break;
        case rid::kRecalcId:
            // Dropped: without it the spreadsheet recalculates every formula on open.
            break;
        default: raw(r); break;
        }
    }

    if (b.m_xfs.empty())
        throw FormatError(QStringLiteral("the workbook has no cell formats (XF records)"));
    for (Workbook::Part p :
         {Workbook::Part::Window1, Workbook::Part::DateMode, Workbook::Part::Fonts, Workbook::Part::Formats,
          Workbook::Part::Xfs, Workbook::Part::BoundSheets, Workbook::Part::Sst})
        b.ensurePart(p);
    if (!b.m_supBooks.empty() || !b.m_xti.empty())
        b.ensurePart(Workbook::Part::LinkTable);

    // Shared strings go into the pool; cells refer to pool entries.
    std::vector<std::uint32_t> poolIndex;
    poolIndex.reserve(sst.size());
    for (SharedString& s : sst)
        poolIndex.push_back(b.m_strings.add(s));

    if (bound.size() > 0xFFFF)
        throw FormatError(QStringLiteral("too many sheets"));
    for (const BoundSheet& s : bound) {
        if (s.pos >= stream.size())
            throw FormatError(QStringLiteral("sheet '%1' starts past the end of the stream").arg(s.name));
        const SubstreamRecords records = scanSubstream(stream, s.pos, nullptr, &budget);
        ByteReader bof(records.front().data);
        bof.u16();
        const std::uint16_t type = bof.u16();
        std::unique_ptr<Sheet> sheet;
        if (s.type == 0 && type == rid::kBofWorksheet) {
            budget.spend(sizeof(Worksheet) + 1024);
            auto ws = std::make_unique<Worksheet>(&b, s.name);
            Worksheet::ReadContext ctx;
            ctx.sst = &sst;
            ctx.poolIndex = &poolIndex;
            ctx.budget = &budget;
            ws->readRecords(records, ctx);
            sheet = std::move(ws);
        } else {
            budget.spend(sizeof(Sheet) + 256);
            const Sheet::Kind kind = (s.type == 2 || type == rid::kBofChart) ? Sheet::Kind::Chart : Sheet::Kind::Other;
            sheet = std::make_unique<Sheet>(&b, kind, s.name);
            const bool closed = records.size() >= 2 && records.back().id == rid::kEof;
            const std::size_t end = closed ? records.size() - 1 : records.size();
            RecordList& kept = sheet->records();
            kept.reserve(end - 1);
            for (std::size_t k = 1; k < end; ++k) {
                budget.spend(keptCost(records[k].data.size));
                kept.push_back(records[k].copy());
                keepString(kept, poolIndex, sheet->keptStrings());
            }
        }
        sheet->setBof(records.front().data.copy());
        sheet->setBoundSheetType(s.type);
        sheet->setVisibility(static_cast<Sheet::Visibility>(s.state & 0x03));
        b.m_sheets.push_back(std::move(sheet));
    }

    const int active = b.m_window1.size() >= 12 ? (b.m_window1[10] | (b.m_window1[11] << 8)) : 0;
    b.m_activeSheet = active < b.sheetCount() ? active : 0;
    b.m_dirty = false;
    return book;
}

// ---------------------------------------------------------------- writing

Bytes Workbook::window1Body() const
{
    ByteWriter w;
    if (m_window1.size() >= 18) {
        w.bytes(m_window1);
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
    const std::uint16_t active = static_cast<std::uint16_t>(m_activeSheet);
    w.patchU16(10, active);
    const Bytes& d = w.data();
    const std::uint16_t firstTab = static_cast<std::uint16_t>(d[12] | (d[13] << 8));
    if (firstTab > active)
        w.patchU16(12, 0);
    w.patchU16(14, 1); // one selected tab: the active one
    return w.take();
}

Bytes Workbook::toStream() const
{
    ensureCalculated();

    // Shared strings in order of first use; the pool may hold strings no cell uses any more.
    std::vector<std::uint32_t> sstIndex(m_strings.size(), Cell::kNoString);
    std::vector<SharedString> table;
    std::uint32_t totalUses = 0;
    auto use = [&](std::uint32_t pool) {
        if (pool >= sstIndex.size())
            return;
        ++totalUses;
        if (sstIndex[pool] == Cell::kNoString) {
            sstIndex[pool] = static_cast<std::uint32_t>(table.size());
            table.push_back(m_strings.at(pool));
        }
    };
    for (const auto& s : m_sheets) {
        if (!s->isWorksheet()) {
            // text cells of sheets kept as they are (macro and dialog sheets) keep their texts
            for (const Sheet::KeptString& k : s->keptStrings())
                use(k.pool);
            continue;
        }
        for (const auto& kv : static_cast<const Worksheet&>(*s).cells()) {
            const Cell& c = kv.second;
            if (!c.formula && c.value.isString())
                use(c.sst);
        }
    }

    Bytes g;
    g.reserve(4096);
    std::vector<std::size_t> plyPosAt;
    appendRecord(g, rid::kBof, m_bof);
    for (const LayoutItem& item : m_layout) {
        switch (item.part) {
        case Part::Raw: appendRecord(g, item.record); break;
        case Part::Template:
            if (m_template)
                appendRecord(g, rid::kTemplate, {});
            break;
        case Part::Window1: appendRecord(g, rid::kWindow1, window1Body()); break;
        case Part::DateMode: {
            ByteWriter w;
            w.u16(m_date1904 ? 1 : 0);
            appendRecord(g, rid::kDateMode, w.data());
            break;
        }
        case Part::Fonts:
            for (const Font& f : m_fonts)
                appendRecord(g, rid::kFont, f.encode());
            break;
        case Part::Formats:
            for (const auto& f : m_formats) {
                ByteWriter w;
                w.u16(f.first);
                w.xlUnicodeString(f.second);
                appendRecord(g, rid::kFormat, w.data());
            }
            break;
        case Part::Xfs:
            for (const Xf& x : m_xfs)
                appendRecord(g, rid::kXf, x.encode());
            break;
        case Part::BoundSheets:
            for (const auto& s : m_sheets) {
                ByteWriter w;
                w.u32(0); // patched below
                w.u8(static_cast<std::uint8_t>(s->visibility()));
                w.u8(s->isWorksheet() ? 0 : (s->isChart() ? 2 : s->boundSheetType()));
                w.shortXLUnicodeString(s->name());
                plyPosAt.push_back(g.size() + 4);
                appendRecord(g, rid::kBoundSheet, w.data());
            }
            break;
        case Part::LinkTable: {
            for (const SupBook& sb : m_supBooks) {
                if (sb.self) {
                    ByteWriter w;
                    w.u16(static_cast<std::uint16_t>(m_sheets.size()));
                    w.u16(0x0401);
                    appendRecord(g, rid::kSupBook, w.data());
                } else {
                    appendRecord(g, sb.record);
                }
                for (const Record& r : sb.followers)
                    appendRecord(g, r);
            }
            if (!m_xti.empty()) {
                ByteWriter w;
                w.u16(static_cast<std::uint16_t>(m_xti.size()));
                for (const Xti& x : m_xti) {
                    w.u16(x.supBook);
                    w.u16(x.firstSheet);
                    w.u16(x.lastSheet);
                }
                appendRecord(g, rid::kExternSheet, w.data());
            }
            break;
        }
        case Part::Names:
            for (const DefinedName& n : m_names) {
                if (!n.raw.empty()) {
                    for (const Record& r : n.raw)
                        appendRecord(g, r);
                } else {
                    appendRecord(g, rid::kName, n.encode());
                }
            }
            break;
        case Part::Sst: {
            const std::uint16_t bucket = extSstBucketSize(table.size());
            std::vector<SstBucket> buckets;
            writeSst(g, 0, table, totalUses, bucket, &buckets);
            appendRecord(g, rid::kExtSst, encodeExtSst(bucket, buckets));
            break;
        }
        }
    }
    appendRecord(g, rid::kEof, {});

    // The sheets follow the globals in the same buffer: no second copy of the stream is made.
    for (std::size_t i = 0; i < m_sheets.size(); ++i) {
        const std::size_t pos = g.size();
        if (pos > 0xFFFFFFFFu)
            throw Error(QStringLiteral("The workbook is too large"));
        const std::uint32_t p = static_cast<std::uint32_t>(pos);
        const std::size_t at = plyPosAt.at(i);
        g[at] = p & 0xFF;
        g[at + 1] = (p >> 8) & 0xFF;
        g[at + 2] = (p >> 16) & 0xFF;
        g[at + 3] = (p >> 24) & 0xFF;

        const Sheet& s = *m_sheets[i];
        const bool active = static_cast<int>(i) == m_activeSheet;
        if (s.isWorksheet()) {
            static_cast<const Worksheet&>(s).write(g, sstIndex, active);
            continue;
        }
        appendRecord(g, rid::kBof, s.bof());
        // A chart's cached series values and names follow the cells as they are now.
        const RecordList refreshed = s.isChart() ? refreshChartCache(*this, s.records()) : RecordList();
        const RecordList& records = s.isChart() ? refreshed : s.records();
        std::vector<std::uint32_t> stringAt(s.keptStrings().empty() ? 0 : records.size(), Cell::kNoString);
        for (const Sheet::KeptString& k : s.keptStrings())
            if (k.record < stringAt.size() && k.pool < sstIndex.size())
                stringAt[k.record] = sstIndex[k.pool];
        for (std::size_t k = 0; k < records.size(); ++k) {
            const Record& r = records[k];
            if (k < stringAt.size() && stringAt[k] != Cell::kNoString && r.id == rid::kLabelSst
                && r.data.size() >= 10) {
                // the text's place in the table written above
                Record moved = r;
                for (int b = 0; b < 4; ++b)
                    moved.data[6 + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(stringAt[k] >> (8 * b));
                appendRecord(g, moved);
            } else if (r.id == rid::kWindow2 && r.data.size() >= 2) {
                // Only the active sheet shows as selected.
                Record w = r;
                const std::uint16_t grbit = static_cast<std::uint16_t>(w.data[0] | (w.data[1] << 8));
                const std::uint16_t fixed = active ? (grbit | 0x0600) : (grbit & ~0x0600);
                w.data[0] = fixed & 0xFF;
                w.data[1] = fixed >> 8;
                appendRecord(g, w);
            } else {
                appendRecord(g, r);
            }
        }
        appendRecord(g, rid::kEof, {});
    }
    return g;
}

} // namespace sheet
