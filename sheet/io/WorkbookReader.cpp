// Reading the globals substream and the sheets' substreams after it.
#include "io/WorkbookReader.h"

#include "biff/ReadBudget.h"
#include "biff/RecordIds.h"
#include "io/WorksheetReader.h"

namespace sheet {

using Part = Workbook::Part;

namespace {

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

// Records that belong to the SUPBOOK before them.
bool followsSupBook(std::uint16_t id)
{
    return id == rid::kContinue || id == rid::kExternName || id == rid::kXct || id == rid::kCrn;
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

} // namespace

BoundSheet BoundSheet::decode(ByteView body)
{
    ByteReader rd(body);
    BoundSheet s;
    s.pos = rd.u32();
    s.state = rd.u8();
    s.type = rd.u8();
    s.name = rd.shortXLUnicodeString();
    return s;
}

WorkbookReader::WorkbookReader(const Bytes& stream, ReadBudget& budget)
    : m_stream(stream)
    , m_budget(budget)
{
}

SubstreamRecords WorkbookReader::globals(const Bytes& stream, ReadBudget& budget)
{
    if (stream.size() < 4)
        throw FormatError(QStringLiteral("the workbook stream is empty"));
    if (const QString older = olderBiffVersion(stream); !older.isEmpty())
        throw UnsupportedFormatError(older + QStringLiteral("; only Excel 97-2003 (BIFF8) workbooks are read"));
    SubstreamRecords records = scanSubstream(stream, 0, nullptr, &budget);
    ByteReader bof(records.front().data);
    const std::uint16_t version = bof.u16();
    const std::uint16_t type = bof.u16();
    if (version != 0x0600)
        throw FormatError(QStringLiteral("not an Excel 97-2003 (BIFF8) workbook (version 0x%1)")
                              .arg(version, 4, 16, QLatin1Char('0')));
    if (type != rid::kBofGlobals)
        throw FormatError(QStringLiteral("the workbook stream does not start with the workbook globals"));
    return records;
}

Sheet::Kind WorkbookReader::sheetKind(const BoundSheet& s, std::uint16_t bofType)
{
    if (s.type == 0 && bofType == rid::kBofWorksheet)
        return Sheet::Kind::Worksheet;
    return (s.type == 2 || bofType == rid::kBofChart) ? Sheet::Kind::Chart : Sheet::Kind::Other;
}

std::uint16_t WorkbookReader::substreamType(const Bytes& stream, std::uint32_t pos)
{
    if (pos >= stream.size() || stream.size() - pos < 8)
        throw FormatError(QStringLiteral("a sheet starts past the end of the stream"));
    const std::uint8_t* at = stream.data() + pos;
    if ((at[0] | (at[1] << 8)) != rid::kBof)
        throw FormatError(QStringLiteral("no BOF record where a sheet starts"));
    return static_cast<std::uint16_t>(at[6] | (at[7] << 8));
}

std::unique_ptr<Workbook> WorkbookReader::read()
{
    const SubstreamRecords records = globals(m_stream, m_budget);
    m_book = std::make_unique<Workbook>();
    m_book->layout().clear();
    m_book->setBofRecord(records.front().data.copy());
    readGlobals(records);
    finishGlobals();
    if (m_bound.size() > 0xFFFF)
        throw FormatError(QStringLiteral("too many sheets"));
    for (const BoundSheet& s : m_bound)
        readSheet(s);

    const Bytes& window1 = m_book->window1Record();
    const int active = window1.size() >= 12 ? (window1[10] | (window1[11] << 8)) : 0;
    if (m_book->sheetCount() > 0)
        m_book->setActiveSheet(active < m_book->sheetCount() ? active : 0);
    m_book->markCalculated();
    return std::move(m_book);
}

// ---------------------------------------------------------------- the globals

void WorkbookReader::readGlobals(const SubstreamRecords& records)
{
    for (std::size_t i = 1; i < records.size(); ++i) {
        // Whether kept as it is or decoded, a record takes about its own size again.
        m_budget.spend(readcost::keptRecord(records[i].data.size));
        if (!followsSupBook(records[i].id))
            m_inSupBook = false;
        if (!readRecord(records, i))
            break;
    }
}

// False at the globals' EOF.
bool WorkbookReader::readRecord(const SubstreamRecords& records, std::size_t& i)
{
    const RecordView r = records[i];
    switch (r.id) {
    case rid::kEof: return false;
    case rid::kBof: throw FormatError(QStringLiteral("unexpected BOF inside the workbook globals"));
    case rid::kFilePass: throw FormatError(QStringLiteral("the workbook is password-protected (encrypted)"));
    case rid::kName: readName(records, i); return true;
    case rid::kBoundSheet:
        m_bound.push_back(BoundSheet::decode(r.data));
        place(Part::BoundSheets);
        return true;
    case rid::kSst:
        m_sst = readSst(gatherContinues(records, i), &m_budget);
        place(Part::Sst);
        return true;
    case rid::kExtSst: gatherContinues(records, i); return true; // rebuilt on save
    case rid::kRecalcId: return true; // dropped: without it the spreadsheet recalculates on open
    default: break;
    }
    if (!readBookRecord(r) && !readStyleRecord(r) && !readLinkRecord(records, i))
        keep(r);
    return true;
}

// TEMPLATE, WINDOW1, DATEMODE.
bool WorkbookReader::readBookRecord(const RecordView& r)
{
    switch (r.id) {
    case rid::kTemplate:
        m_book->setTemplate(true);
        place(Part::Template);
        return true;
    case rid::kWindow1: readWindow1(r); return true;
    case rid::kDateMode: {
        ByteReader rd(r.data);
        m_book->setDate1904(rd.u16() != 0);
        place(Part::DateMode);
        return true;
    }
    default: return false;
    }
}

void WorkbookReader::readWindow1(const RecordView& r)
{
    if (m_book->layout().has(Part::Window1)) {
        keep(r);
        return;
    }
    if (r.data.size < 18)
        throw FormatError(QStringLiteral("WINDOW1 record is too short"));
    m_book->setWindow1Record(r.data.copy());
    place(Part::Window1);
}

// FONT, FORMAT, XF, PALETTE.
bool WorkbookReader::readStyleRecord(const RecordView& r)
{
    switch (r.id) {
    case rid::kFont:
        m_fonts.push_back(Font::decode(r.data.copy()));
        place(Part::Fonts);
        return true;
    case rid::kFormat: {
        ByteReader rd(r.data);
        const std::uint16_t index = rd.u16();
        m_formats.emplace_back(index, formatCode(rd));
        place(Part::Formats);
        return true;
    }
    case rid::kXf:
        m_xfs.push_back(Xf::decode(r.data.copy()));
        place(Part::Xfs);
        return true;
    case rid::kPalette: readPalette(r); return true;
    default: return false;
    }
}

// The colours are read; the record itself is kept as it is.
void WorkbookReader::readPalette(const RecordView& r)
{
    ByteReader rd(r.data);
    const std::size_t n = rd.u16();
    std::vector<std::uint32_t> palette;
    for (std::size_t k = 0; k < n && k < 56; ++k) {
        const std::uint32_t red = rd.u8(), green = rd.u8(), blue = rd.u8();
        rd.skip(1);
        palette.push_back((red << 16) | (green << 8) | blue);
    }
    m_book->setPalette(std::move(palette));
    keep(r);
}

// SUPBOOK and what follows it (EXTERNNAME, XCT, CRN), EXTERNSHEET.
bool WorkbookReader::readLinkRecord(const SubstreamRecords& records, std::size_t& i)
{
    const RecordView r = records[i];
    if (r.id == rid::kSupBook) {
        Workbook::SupBook sb;
        sb.record = r.copy();
        sb.self = r.data.size == 4 && r.data[2] == 0x01 && r.data[3] == 0x04;
        m_supBooks.push_back(std::move(sb));
        m_inSupBook = true;
        place(Part::LinkTable);
        return true;
    }
    if (r.id == rid::kExternSheet) {
        readExternSheet(records, i);
        return true;
    }
    if (followsSupBook(r.id) && m_inSupBook && !m_supBooks.empty()) {
        m_supBooks.back().followers.push_back(r.copy());
        return true;
    }
    return false;
}

void WorkbookReader::readExternSheet(const SubstreamRecords& records, std::size_t& i)
{
    const Bytes body = concat(gatherContinues(records, i));
    ByteReader rd(body);
    const std::size_t n = rd.u16();
    rd.need(n * 6);
    for (std::size_t k = 0; k < n; ++k) {
        Workbook::Xti x;
        x.supBook = rd.u16();
        x.firstSheet = rd.u16();
        x.lastSheet = rd.u16();
        m_xti.push_back(x);
    }
    place(Part::LinkTable);
}

void WorkbookReader::readName(const SubstreamRecords& records, std::size_t& i)
{
    const std::size_t first = i;
    const std::vector<ByteView> chunks = gatherContinues(records, i);
    DefinedName n;
    try {
        n = DefinedName::decode(concat(chunks));
    } catch (const FormatError&) {
        // kept as it was, so the names after it keep their numbers
    }
    for (std::size_t k = first; k <= i; ++k) {
        if (k > first)
            m_budget.spend(readcost::keptRecord(records[k].data.size));
        n.raw.push_back(records[k].copy());
    }
    m_names.push_back(std::move(n));
    place(Part::Names);
}

void WorkbookReader::finishGlobals()
{
    if (m_xfs.empty())
        throw FormatError(QStringLiteral("the workbook has no cell formats (XF records)"));
    Workbook& b = *m_book;
    b.setFonts(std::move(m_fonts));
    b.setXfs(std::move(m_xfs));
    b.setCustomFormats(std::move(m_formats));
    b.setLinkTable(std::move(m_supBooks), std::move(m_xti));
    b.setDefinedNames(std::move(m_names));
    for (Part p : {Part::Window1, Part::DateMode, Part::Fonts, Part::Formats, Part::Xfs, Part::BoundSheets, Part::Sst})
        b.ensurePart(p);
    if (!b.supBooks().empty() || !b.externSheets().empty())
        b.ensurePart(Part::LinkTable);

    // Shared strings go into the pool; cells refer to pool entries.
    m_poolIndex.reserve(m_sst.size());
    for (SharedString& s : m_sst)
        m_poolIndex.push_back(b.strings().add(s));
}

// ---------------------------------------------------------------- the sheets

void WorkbookReader::readSheet(const BoundSheet& s)
{
    if (s.pos >= m_stream.size())
        throw FormatError(QStringLiteral("sheet '%1' starts past the end of the stream").arg(s.name));
    const SubstreamRecords records = scanSubstream(m_stream, s.pos, nullptr, &m_budget);
    ByteReader bof(records.front().data);
    bof.u16();
    const Sheet::Kind kind = sheetKind(s, bof.u16());
    std::unique_ptr<Sheet> sheet;
    if (kind == Sheet::Kind::Worksheet) {
        m_budget.spend(sizeof(Worksheet) + readcost::kWorksheet);
        auto ws = std::make_unique<Worksheet>(m_book.get(), s.name);
        WorksheetReader(*ws, records, {&m_sst, &m_poolIndex}, &m_budget).read();
        sheet = std::move(ws);
    } else {
        sheet = readKeptSheet(s, kind, records);
    }
    sheet->setBof(records.front().data.copy());
    sheet->setBoundSheetType(s.type);
    sheet->setVisibility(static_cast<Sheet::Visibility>(s.state & 0x03));
    m_book->addSheetAsRead(std::move(sheet));
}

// Chart sheets and the kinds the engine does not interpret: the records between BOF and EOF.
std::unique_ptr<Sheet> WorkbookReader::readKeptSheet(const BoundSheet& s, Sheet::Kind kind,
                                                     const SubstreamRecords& records)
{
    m_budget.spend(sizeof(Sheet) + readcost::kKeptSheet);
    auto sheet = std::make_unique<Sheet>(m_book.get(), kind, s.name);
    const bool closed = records.size() >= 2 && records.back().id == rid::kEof;
    const std::size_t end = closed ? records.size() - 1 : records.size();
    RecordList& kept = sheet->records();
    kept.reserve(end - 1);
    for (std::size_t k = 1; k < end; ++k) {
        m_budget.spend(readcost::keptRecord(records[k].data.size));
        kept.push_back(records[k].copy());
        keepString(kept, m_poolIndex, sheet->keptStrings());
    }
    return sheet;
}

} // namespace sheet
