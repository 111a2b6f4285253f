#include "model/Workbook.h"

#include "model/Palette.h"
#include "format/NumberFormat.h"
#include "biff/ReadBudget.h"
#include "biff/RecordIds.h"
#include "biff/RecordStream.h"
#include "file/DurableFile.h"
#include "file/ReadFile.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace sheet {

namespace {

Record rawRecord(std::uint16_t id, Bytes body = {}) { return Record{id, std::move(body)}; }

Record u16Record(std::uint16_t id, std::uint16_t v)
{
    ByteWriter w;
    w.u16(v);
    return Record{id, w.take()};
}

Xf styleXf(std::uint16_t font, std::uint16_t used)
{
    Xf x;
    x.font = font;
    x.type = 0xFFF5;
    x.indent = used;
    return x;
}

} // namespace

Workbook::Workbook()
{
    m_bof = standardBof(rid::kBofGlobals);
    Font arial;
    for (int i = 0; i < 4; ++i)
        m_fonts.push_back(arial);
    // Excel's own XF layout: 0 Normal style, 1..14 outline styles, 15 the default cell XF.
    m_xfs.push_back(styleXf(0, 0x0000));
    for (int i = 1; i < 15; ++i)
        m_xfs.push_back(styleXf(i <= 2 ? 1 : (i <= 4 ? 2 : 0), 0xF400));
    m_xfs.push_back(cellXf(0, 0));
    defaultLayout();
}

Workbook::~Workbook() = default;

void Workbook::defaultLayout()
{
    m_layout.clear();
    auto part = [this](Part p) { m_layout.push_back(LayoutItem{p, {}}); };
    auto raw = [this](Record r) { m_layout.push_back(LayoutItem{Part::Raw, std::move(r)}); };
    part(Part::Template);
    raw(u16Record(0x00E1, 0x04B0)); // INTERFACEHDR
    raw(u16Record(0x00C1, 0x0000)); // MMS
    raw(rawRecord(0x00E2));         // INTERFACEEND
    raw(u16Record(rid::kCodePage, 0x04B0));
    raw(u16Record(0x0161, 0)); // DSF
    part(Part::Window1);
    raw(u16Record(rid::kBackup, 0));
    raw(u16Record(rid::kHideObj, 0));
    part(Part::DateMode);
    raw(u16Record(rid::kPrecision, 1));
    raw(u16Record(rid::kRefreshAll, 0));
    raw(u16Record(rid::kBookBool, 0));
    part(Part::Fonts);
    part(Part::Formats);
    part(Part::Xfs);
    raw(rawRecord(rid::kStyle, Bytes{0x00, 0x80, 0x00, 0xFF})); // Normal -> XF 0
    raw(u16Record(rid::kUsesElfs, 0));
    part(Part::BoundSheets);
    {
        ByteWriter w;
        w.u16(1);
        w.u16(1);
        raw(Record{rid::kCountry, w.take()});
    }
    part(Part::LinkTable);
    part(Part::Sst);
}

void Workbook::ensurePart(Part p)
{
    for (const LayoutItem& item : m_layout)
        if (item.part == p)
            return;
    auto indexOfPart = [this](Part q) -> int {
        for (std::size_t i = 0; i < m_layout.size(); ++i)
            if (m_layout[i].part == q)
                return static_cast<int>(i);
        return -1;
    };
    auto indexOfRaw = [this](std::uint16_t id) -> int {
        for (std::size_t i = 0; i < m_layout.size(); ++i)
            if (m_layout[i].part == Part::Raw && m_layout[i].record.id == id)
                return static_cast<int>(i);
        return -1;
    };
    auto firstOf = [](std::initializer_list<int> candidates) {
        for (int c : candidates)
            if (c >= 0)
                return c;
        return -1;
    };
    int at = -1;
    switch (p) {
    case Part::Template: at = 0; break;
    case Part::Window1:
        at = firstOf({indexOfPart(Part::DateMode), indexOfPart(Part::Fonts), indexOfPart(Part::Formats),
                      indexOfPart(Part::Xfs), indexOfPart(Part::BoundSheets)});
        break;
    case Part::DateMode:
        at = firstOf({indexOfPart(Part::Fonts), indexOfPart(Part::Formats), indexOfPart(Part::Xfs),
                      indexOfPart(Part::BoundSheets)});
        break;
    case Part::Fonts:
        at = firstOf({indexOfPart(Part::Formats), indexOfPart(Part::Xfs), indexOfRaw(rid::kStyle),
                      indexOfPart(Part::BoundSheets)});
        break;
    case Part::Formats:
        at = firstOf({indexOfPart(Part::Xfs), indexOfRaw(rid::kStyle), indexOfPart(Part::BoundSheets)});
        break;
    case Part::Xfs: {
        const int f = indexOfPart(Part::Formats);
        at = f >= 0 ? f + 1 : firstOf({indexOfRaw(rid::kStyle), indexOfPart(Part::BoundSheets)});
        break;
    }
    case Part::BoundSheets:
        at = firstOf({indexOfRaw(rid::kCountry), indexOfPart(Part::LinkTable), indexOfPart(Part::Names),
                      indexOfRaw(rid::kName), indexOfRaw(0x00EB), indexOfPart(Part::Sst)});
        break;
    case Part::Names: {
        const int link = indexOfPart(Part::LinkTable);
        at = link >= 0 ? link + 1 : firstOf({indexOfRaw(0x00EB), indexOfPart(Part::Sst)});
        break;
    }
    case Part::LinkTable:
        at = firstOf({indexOfPart(Part::Names), indexOfRaw(rid::kName), indexOfRaw(0x00EB), indexOfPart(Part::Sst)});
        if (at < 0) {
            const int b = indexOfPart(Part::BoundSheets);
            const int c = indexOfRaw(rid::kCountry);
            at = std::max(b, c) >= 0 ? std::max(b, c) + 1 : -1;
        }
        break;
    case Part::Sst:
    case Part::Raw: break;
    }
    if (at < 0 || at > static_cast<int>(m_layout.size()))
        at = static_cast<int>(m_layout.size());
    m_layout.insert(m_layout.begin() + at, LayoutItem{p, {}});
}

// ---------------------------------------------------------------- sheets

Sheet& Workbook::sheet(int index)
{
    if (index < 0 || index >= sheetCount())
        throw Error(QStringLiteral("There is no sheet %1 in the workbook").arg(index + 1));
    return *m_sheets[static_cast<std::size_t>(index)];
}

const Sheet& Workbook::sheet(int index) const { return const_cast<Workbook*>(this)->sheet(index); }

Worksheet* Workbook::worksheet(int index)
{
    if (index < 0 || index >= sheetCount() || !m_sheets[static_cast<std::size_t>(index)]->isWorksheet())
        return nullptr;
    return static_cast<Worksheet*>(m_sheets[static_cast<std::size_t>(index)].get());
}

const Worksheet* Workbook::worksheet(int index) const { return const_cast<Workbook*>(this)->worksheet(index); }

int Workbook::sheetIndex(const QString& name) const
{
    for (int i = 0; i < sheetCount(); ++i)
        if (m_sheets[static_cast<std::size_t>(i)]->name().compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int Workbook::indexOf(const Sheet* s) const
{
    for (int i = 0; i < sheetCount(); ++i)
        if (m_sheets[static_cast<std::size_t>(i)].get() == s)
            return i;
    return -1;
}

void Workbook::checkSheetName(const QString& name, int ignoreIndex) const
{
    if (name.isEmpty() || name.size() > 31)
        throw Error(QStringLiteral("A sheet name must have 1 to 31 characters: '%1'").arg(name));
    for (QChar c : name)
        if (QStringLiteral("[]:*?/\\").contains(c))
            throw Error(QStringLiteral("A sheet name cannot contain '%1': '%2'").arg(c).arg(name));
    const int existing = sheetIndex(name);
    if (existing >= 0 && existing != ignoreIndex)
        throw Error(QStringLiteral("The workbook already has a sheet named '%1'").arg(name));
}

int Workbook::addSheet(std::unique_ptr<Sheet> s)
{
    if (sheetCount() >= 0xFFFF)
        throw Error(QStringLiteral("Too many sheets"));
    m_sheets.push_back(std::move(s));
    m_dirty = true;
    return sheetCount() - 1;
}

int Workbook::addWorksheet(const QString& name)
{
    checkSheetName(name, -1);
    return addSheet(std::make_unique<Worksheet>(this, name));
}

int Workbook::addChartSheet(const QString& name, RecordList body)
{
    checkSheetName(name, -1);
    auto s = std::make_unique<Sheet>(this, Sheet::Kind::Chart, name);
    s->records() = std::move(body);
    return addSheet(std::move(s));
}

void Workbook::renameSheet(int index, const QString& name)
{
    checkSheetName(name, index);
    sheet(index).setNameUnchecked(name);
}

void Workbook::setActiveSheet(int index)
{
    sheet(index); // range check
    m_activeSheet = index;
}

// ---------------------------------------------------------------- fonts

bool Workbook::hasFont(int index) const
{
    if (index < 0 || index == 4)
        return false;
    const int record = index < 4 ? index : index - 1;
    return record < fontCount();
}

const Font& Workbook::font(int index) const
{
    if (!hasFont(index))
        throw Error(QStringLiteral("There is no font %1 in the workbook").arg(index));
    return m_fonts[static_cast<std::size_t>(index < 4 ? index : index - 1)];
}

void Workbook::setFont(int index, const Font& f)
{
    font(index); // range check
    m_fonts[static_cast<std::size_t>(index < 4 ? index : index - 1)] = f;
}

int Workbook::addFont(const Font& f)
{
    if (fontCount() >= 510)
        throw Error(QStringLiteral("Too many fonts"));
    m_fonts.push_back(f);
    const int record = fontCount() - 1;
    return record < 4 ? record : record + 1;
}

int Workbook::findOrAddFont(const Font& f)
{
    for (int i = 0; i < fontCount(); ++i)
        if (m_fonts[static_cast<std::size_t>(i)] == f)
            return i < 4 ? i : i + 1;
    return addFont(f);
}

// ---------------------------------------------------------------- formats

QString Workbook::numberFormat(std::uint16_t index) const
{
    for (const auto& f : m_formats)
        if (f.first == index)
            return f.second;
    const QString builtin = builtinFormatCode(index);
    return builtin.isEmpty() ? QStringLiteral("General") : builtin;
}

std::uint16_t Workbook::addNumberFormat(const QString& code)
{
    for (const auto& f : m_formats)
        if (f.second == code)
            return f.first;
    const int builtin = builtinFormatIndex(code);
    if (builtin >= 0)
        return static_cast<std::uint16_t>(builtin);
    if (code.size() > 255)
        throw Error(QStringLiteral("Number format longer than 255 characters"));
    std::uint16_t next = 164; // first custom format
    for (const auto& f : m_formats)
        if (f.first >= next)
            next = static_cast<std::uint16_t>(f.first + 1);
    if (next == 0xFFFF || next < 164)
        throw Error(QStringLiteral("Too many number formats"));
    m_formats.emplace_back(next, code);
    return next;
}

// ---------------------------------------------------------------- XF

const Xf& Workbook::xf(int index) const
{
    if (index < 0 || index >= xfCount())
        throw Error(QStringLiteral("There is no cell format %1 in the workbook").arg(index));
    return m_xfs[static_cast<std::size_t>(index)];
}

void Workbook::setXf(int index, const Xf& x)
{
    xf(index);
    m_xfs[static_cast<std::size_t>(index)] = x;
}

int Workbook::addXf(const Xf& x)
{
    if (xfCount() >= 4050)
        throw Error(QStringLiteral("Too many cell formats"));
    if (!hasFont(x.font))
        throw Error(QStringLiteral("Cell format refers to missing font %1").arg(x.font));
    m_xfs.push_back(x);
    return xfCount() - 1;
}

int Workbook::findOrAddXf(const Xf& x)
{
    for (int i = 0; i < xfCount(); ++i)
        if (m_xfs[static_cast<std::size_t>(i)] == x)
            return i;
    return addXf(x);
}

int Workbook::defaultCellXf() const
{
    for (int i = 0; i < xfCount(); ++i)
        if (!m_xfs[static_cast<std::size_t>(i)].isStyle())
            return i;
    return 0;
}

std::uint16_t Workbook::xfWithFormat(std::uint16_t base, std::uint16_t format)
{
    Xf x = base < m_xfs.size() ? m_xfs[base] : cellXf(0, 0);
    if (x.format == format)
        return base;
    x.format = format;
    x.indent |= 0x0400;
    return static_cast<std::uint16_t>(findOrAddXf(x));
}

QString Workbook::xfNumberFormat(std::uint16_t index) const
{
    if (index >= m_xfs.size())
        return QStringLiteral("General");
    return numberFormat(m_xfs[index].format);
}

QColor Workbook::paletteColor(int index) const
{
    if (index >= 8 && index - 8 < static_cast<int>(m_palette.size()))
        return rgbColor(m_palette[static_cast<std::size_t>(index - 8)]);
    return defaultPaletteColor(index);
}

// ---------------------------------------------------------------- links

int Workbook::selfSupBook() const
{
    for (std::size_t i = 0; i < m_supBooks.size(); ++i)
        if (m_supBooks[i].self)
            return static_cast<int>(i);
    return -1;
}

std::uint16_t Workbook::externSheetIndex(int sheetIndex) { return externSheetIndex(sheetIndex, sheetIndex); }

std::uint16_t Workbook::externSheetIndex(int firstSheet, int lastSheet)
{
    sheet(firstSheet); // range check
    sheet(lastSheet);
    const int sheetIndex = firstSheet;
    int self = selfSupBook();
    if (self < 0) {
        // The self reference goes first, as Excel writes it; entries that pointed at the
        // others move along with them.
        SupBook sb;
        sb.self = true;
        sb.record.id = rid::kSupBook;
        m_supBooks.insert(m_supBooks.begin(), std::move(sb));
        for (Xti& x : m_xti)
            ++x.supBook;
        self = 0;
        ensurePart(Part::LinkTable);
    }
    for (std::size_t i = 0; i < m_xti.size(); ++i) {
        const Xti& x = m_xti[i];
        if (x.supBook == self && x.firstSheet == sheetIndex && x.lastSheet == lastSheet)
            return static_cast<std::uint16_t>(i);
    }
    if (m_xti.size() >= 1370)
        throw Error(QStringLiteral("Too many external sheet references"));
    m_xti.push_back(Xti{static_cast<std::uint16_t>(self), static_cast<std::uint16_t>(sheetIndex),
                        static_cast<std::uint16_t>(lastSheet)});
    return static_cast<std::uint16_t>(m_xti.size() - 1);
}

int Workbook::sheetForExternSheetIndex(std::uint16_t ixti) const
{
    if (ixti >= m_xti.size())
        return -1;
    const Xti& x = m_xti[ixti];
    if (x.supBook >= m_supBooks.size() || !m_supBooks[x.supBook].self || x.firstSheet != x.lastSheet
        || x.firstSheet >= m_sheets.size())
        return -1;
    return x.firstSheet;
}

bool Workbook::externSheetRange(std::uint16_t ixti, int* first, int* last) const
{
    if (ixti >= m_xti.size())
        return false;
    const Xti& x = m_xti[ixti];
    if (x.supBook >= m_supBooks.size() || !m_supBooks[x.supBook].self || x.firstSheet > x.lastSheet
        || x.lastSheet >= m_sheets.size())
        return false;
    *first = x.firstSheet;
    *last = x.lastSheet;
    return true;
}

// ---------------------------------------------------------------- files

std::unique_ptr<Workbook> Workbook::fromBytes(const Bytes& bytes)
{
    if (const QString older = olderBiffVersion(bytes); !older.isEmpty())
        throw UnsupportedFormatError(older + QStringLiteral("; only Excel 97-2003 (BIFF8) workbooks are read"));
    ReadBudget budget;
    CompoundFile file = CompoundFile::fromBytes(bytes, &budget);
    auto book = readStream(file.workbook, budget);
    book->m_otherStreams = std::move(file.others);
    return book;
}

std::unique_ptr<Workbook> Workbook::load(const QString& path)
{
    const QString shown = QFileInfo(path).fileName();
    // Regular files of sane size only: a device or a pipe would be read forever or waited on.
    qint64 size = 0;
    const int fd = openRegularFile(path, &size);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(::fdopen(fd, "rb"), &std::fclose);
    if (!file) {
        const int error = errno;
        ::close(fd);
        throw Error(QStringLiteral("Cannot open '%1': %2").arg(shown, QString::fromLocal8Bit(std::strerror(error))));
    }
    try {
        std::uint8_t head[8] = {};
        const std::size_t got = std::fread(head, 1, sizeof head, file.get());
        if (const QString older = olderBiffVersion(head, got); !older.isEmpty())
            throw UnsupportedFormatError(older + QStringLiteral("; only Excel 97-2003 (BIFF8) workbooks are read"));
        // The streams are taken out where they lie in the file, which is never held whole;
        // the workbook stream is let go as soon as it has been read.
        ReadBudget budget;
        CompoundFile compound = CompoundFile::fromFile(file.get(), static_cast<std::size_t>(size), &budget);
        file.reset();
        auto book = readStream(compound.workbook, budget);
        Bytes().swap(compound.workbook);
        book->m_otherStreams = std::move(compound.others);
        return book;
    } catch (const UnsupportedFormatError& e) {
        throw UnsupportedFormatError(QStringLiteral("'%1' is %2").arg(shown, e.message()));
    } catch (const FormatError& e) {
        throw FormatError(QStringLiteral("'%1' is not a workbook: %2").arg(shown, e.message()));
    }
}

Bytes Workbook::toBytes() const
{
    Bytes out;
    CompoundFile::write(toStream(), m_otherStreams,
                        [&](const std::uint8_t* data, std::size_t size) { out.assign(data, data + size); });
    return out;
}

void Workbook::save(const QString& path, Durability durability) const
{
    DurableWriteOptions options;
    if (durability == Durability::Scratch) {
        // A program's own scratch copy: private, and a link found at its name is replaced.
        options.syncToDisk = false;
        options.links = DurableWriteOptions::Links::Replace;
        options.newFileMode = 0600;
    }
    // Written from where the container was built: the file is not copied once more.
    CompoundFile::write(toStream(), m_otherStreams, [&](const std::uint8_t* data, std::size_t size) {
        writeFileDurably(
            path, QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), options);
    });
}

void Workbook::ensureCalculated() const
{
    if (m_dirty)
        const_cast<Workbook*>(this)->recalculate();
}

} // namespace sheet
