#include "model/Workbook.h"

#include "biff/RecordIds.h"
#include "format/NumberFormat.h"
#include "model/Palette.h"

#include <algorithm>

namespace sheet {

namespace {

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
    auto raw = [this](std::uint16_t id, Bytes body = {}) { m_layout.keep(Record{id, std::move(body)}); };
    auto u16 = [](std::uint16_t v) {
        ByteWriter w;
        w.u16(v);
        return w.take();
    };
    m_layout.place(Part::Template);
    raw(rid::kInterfaceHdr, u16(0x04B0));
    raw(rid::kMms, u16(0));
    raw(rid::kInterfaceEnd);
    raw(rid::kCodePage, u16(0x04B0));
    raw(rid::kDsf, u16(0));
    m_layout.place(Part::Window1);
    raw(rid::kBackup, u16(0));
    raw(rid::kHideObj, u16(0));
    m_layout.place(Part::DateMode);
    raw(rid::kPrecision, u16(1));
    raw(rid::kRefreshAll, u16(0));
    raw(rid::kBookBool, u16(0));
    m_layout.place(Part::Fonts);
    m_layout.place(Part::Formats);
    m_layout.place(Part::Xfs);
    raw(rid::kStyle, Bytes{0x00, 0x80, 0x00, 0xFF}); // Normal -> XF 0
    raw(rid::kUsesElfs, u16(0));
    m_layout.place(Part::BoundSheets);
    raw(rid::kCountry, Bytes{0x01, 0x00, 0x01, 0x00});
    m_layout.place(Part::LinkTable);
    m_layout.place(Part::Sst);
}

void Workbook::ensurePart(Part p)
{
    if (m_layout.has(p))
        return;
    const Layout& l = m_layout;
    auto part = [&l](Part q) { return l.indexOf(q); };
    auto kept = [&l](std::uint16_t id) { return l.indexOfRecord(id); };
    auto after = [](int at) { return at >= 0 ? at + 1 : -1; };
    int at = -1;
    switch (p) {
    case Part::Template: at = 0; break;
    case Part::Window1:
        at = Layout::firstOf(
            {part(Part::DateMode), part(Part::Fonts), part(Part::Formats), part(Part::Xfs), part(Part::BoundSheets)});
        break;
    case Part::DateMode:
        at = Layout::firstOf({part(Part::Fonts), part(Part::Formats), part(Part::Xfs), part(Part::BoundSheets)});
        break;
    case Part::Fonts:
        at = Layout::firstOf({part(Part::Formats), part(Part::Xfs), kept(rid::kStyle), part(Part::BoundSheets)});
        break;
    case Part::Formats: at = Layout::firstOf({part(Part::Xfs), kept(rid::kStyle), part(Part::BoundSheets)}); break;
    case Part::Xfs:
        at = Layout::firstOf({after(part(Part::Formats)), kept(rid::kStyle), part(Part::BoundSheets)});
        break;
    case Part::BoundSheets:
        at = Layout::firstOf({kept(rid::kCountry), part(Part::LinkTable), part(Part::Names), kept(rid::kName),
                              kept(rid::kMsoDrawingGroup), part(Part::Sst)});
        break;
    case Part::Names:
        at = Layout::firstOf({after(part(Part::LinkTable)), kept(rid::kMsoDrawingGroup), part(Part::Sst)});
        break;
    case Part::LinkTable:
        at = Layout::firstOf({part(Part::Names), kept(rid::kName), kept(rid::kMsoDrawingGroup), part(Part::Sst),
                              after(std::max(part(Part::BoundSheets), kept(rid::kCountry)))});
        break;
    case Part::Sst:
    case Part::Raw: break;
    }
    m_layout.insert(at, p);
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

void Workbook::addSheetAsRead(std::unique_ptr<Sheet> sheet)
{
    if (sheetCount() >= 0xFFFF)
        throw Error(QStringLiteral("Too many sheets"));
    m_sheets.push_back(std::move(sheet));
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

void Workbook::setLinkTable(std::vector<SupBook> supBooks, std::vector<Xti> externSheets)
{
    m_supBooks = std::move(supBooks);
    m_xti = std::move(externSheets);
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

void Workbook::ensureCalculated() const
{
    if (m_dirty)
        const_cast<Workbook*>(this)->recalculate();
}

} // namespace sheet
