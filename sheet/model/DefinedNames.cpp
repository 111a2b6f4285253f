// Defined names, external names and the formula text environment of a workbook.
#include "model/BookFormulaEnv.h"
#include "model/Workbook.h"
#include "model/OtherBooks.h"

#include "biff/RecordIds.h"
#include "formula/FormulaTokens.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstdlib>

namespace sheet {

namespace {

// Built-in names by their one-character code.
const char* const kBuiltInNames[] = {
    "Consolidate_Area", "Auto_Open", "Auto_Close", "Extract",       "Database",        "Criteria",    "Print_Area",
    "Print_Titles",     "Recorder",  "Data_Form",  "Auto_Activate", "Auto_Deactivate", "Sheet_Title", "_FilterDatabase",
};

// NAME grbit Excel writes for the names of later versions' functions ("_xlfn.IFERROR").
constexpr std::uint16_t kFutureFunctionFlags = 0x038B;

// The SUPBOOK body of the add-in link: one "sheet", a virtual path marker of 0x3A01.
const Bytes kAddInSupBook = {0x01, 0x00, 0x01, 0x3A};

QString readNoCch(ByteReader& r, std::size_t cch)
{
    if (cch == 0)
        return QString();
    const bool wide = r.u8() & 1;
    return r.unicodeChars(cch, wide);
}

void writeNoCch(ByteWriter& w, const QString& s)
{
    if (s.isEmpty())
        return;
    const bool wide = !fitsLatin1(s);
    w.u8(wide ? 1 : 0);
    w.unicodeChars(s, wide);
}

bool validName(const QString& name)
{
    static const QRegularExpression shape(QStringLiteral("^[A-Za-z_\\\\][A-Za-z0-9_.\\\\]*$"));
    static const QRegularExpression cell(QStringLiteral("^[A-Za-z]{1,3}[0-9]+$"));
    static const QRegularExpression rc(QStringLiteral("^[Rr][0-9]*[Cc]?[0-9]*$|^[Cc][0-9]*$"));
    return name.size() <= 255 && shape.match(name).hasMatch() && !cell.match(name).hasMatch()
        && !rc.match(name).hasMatch() && name.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) != 0
        && name.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) != 0;
}

} // namespace

// ---------------------------------------------------------------- NAME records

QString DefinedName::displayName() const
{
    if (isBuiltIn() && name.size() == 1) {
        const int code = name.at(0).unicode();
        if (code < static_cast<int>(sizeof kBuiltInNames / sizeof kBuiltInNames[0]))
            return QLatin1String(kBuiltInNames[code]);
    }
    return name;
}

DefinedName DefinedName::decode(const Bytes& body)
{
    ByteReader r(body);
    DefinedName n;
    n.flags = r.u16();
    n.shortcut = r.u8();
    const std::size_t cch = r.u8();
    const std::size_t cce = r.u16();
    r.skip(2);
    const int itab = r.u16();
    const std::size_t cchMenu = r.u8(), cchDescription = r.u8(), cchHelp = r.u8(), cchStatus = r.u8();
    n.sheet = itab - 1;
    n.name = readNoCch(r, cch);
    if (n.name.isEmpty())
        throw FormatError(QStringLiteral("a defined name without a name"));
    n.rgce = r.bytes(cce);
    // array constants, then the optional texts
    const Bytes rest(body.begin() + static_cast<std::ptrdiff_t>(r.pos()), body.end());
    std::size_t extra = rest.size();
    if (cchMenu || cchDescription || cchHelp || cchStatus)
        extra = arrayConstantsSize(n.rgce, rest);
    n.extra = r.bytes(extra);
    n.menu = readNoCch(r, cchMenu);
    n.description = readNoCch(r, cchDescription);
    n.helpTopic = readNoCch(r, cchHelp);
    n.statusText = readNoCch(r, cchStatus);
    return n;
}

Bytes DefinedName::encode() const
{
    ByteWriter w;
    w.u16(flags);
    w.u8(shortcut);
    w.u8(static_cast<std::uint8_t>(name.size()));
    w.u16(static_cast<std::uint16_t>(rgce.size()));
    w.u16(0);
    w.u16(static_cast<std::uint16_t>(sheet + 1));
    w.u8(static_cast<std::uint8_t>(menu.size()));
    w.u8(static_cast<std::uint8_t>(description.size()));
    w.u8(static_cast<std::uint8_t>(helpTopic.size()));
    w.u8(static_cast<std::uint8_t>(statusText.size()));
    writeNoCch(w, name);
    w.bytes(rgce);
    w.bytes(extra);
    writeNoCch(w, menu);
    writeNoCch(w, description);
    writeNoCch(w, helpTopic);
    writeNoCch(w, statusText);
    return w.take();
}

// ---------------------------------------------------------------- the workbook's names

const DefinedName& Workbook::definedName(int index) const
{
    if (index < 0 || index >= nameCount())
        throw Error(QStringLiteral("There is no defined name %1 in the workbook").arg(index + 1));
    return m_names[static_cast<std::size_t>(index)];
}

int Workbook::findName(const QString& name, int sheet) const
{
    int global = -1;
    for (int i = 0; i < nameCount(); ++i) {
        const DefinedName& n = m_names[static_cast<std::size_t>(i)];
        if (n.displayName().compare(name, Qt::CaseInsensitive) != 0 && n.name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (n.sheet >= 0 && n.sheet == sheet)
            return i;
        if (n.sheet < 0 && global < 0)
            global = i;
    }
    return global;
}

int Workbook::defineName(const QString& name, const QString& formula, int sheet)
{
    if (!validName(name))
        throw Error(QStringLiteral("'%1' cannot be a name: it must start with a letter or '_', hold only letters, "
                                   "digits, '_' and '.', and not read as a cell address")
                        .arg(name));
    if (sheet >= 0)
        this->sheet(sheet); // range check
    if (nameCount() >= 0xFFFF)
        throw Error(QStringLiteral("Too many defined names"));
    BookFormulaEnv env(this, sheet);
    Bytes extra;
    Bytes rgce;
    try {
        rgce = parseFormula(formula, &env, &extra, FormulaKind::Name);
    } catch (const Error& e) {
        throw Error(QStringLiteral("The formula of name '%1' is not valid: %2").arg(name, e.message()));
    }
    int index = -1;
    for (int i = 0; i < nameCount(); ++i) {
        const DefinedName& n = m_names[static_cast<std::size_t>(i)];
        if (n.sheet == sheet && !n.isBuiltIn() && n.name.compare(name, Qt::CaseInsensitive) == 0)
            index = i;
    }
    if (index < 0) {
        DefinedName n;
        n.name = name;
        n.sheet = sheet;
        m_names.push_back(std::move(n));
        index = nameCount() - 1;
    }
    DefinedName& n = m_names[static_cast<std::size_t>(index)];
    n.rgce = std::move(rgce);
    n.extra = std::move(extra);
    n.raw.clear();
    // Readers expect the link table wherever there are names.
    if (!m_sheets.empty())
        externSheetIndex(sheet >= 0 ? sheet : 0);
    ensurePart(Part::LinkTable);
    ensurePart(Part::Names);
    m_dirty = true;
    return index;
}

QString Workbook::nameFormula(int index) const
{
    const DefinedName& n = definedName(index);
    if (n.rgce.empty())
        return QString();
    BookFormulaEnv env(const_cast<Workbook*>(this), n.sheet);
    try {
        return QLatin1Char('=') + formulaText(n.rgce, &env, n.extra);
    } catch (const Error&) {
        return QString();
    }
}

// ---------------------------------------------------------------- external names

int Workbook::addInSupBook() const
{
    for (std::size_t i = 0; i < m_supBooks.size(); ++i)
        if (!m_supBooks[i].self && m_supBooks[i].record.data == kAddInSupBook)
            return static_cast<int>(i);
    return -1;
}

QString Workbook::externNameAt(int supBook, int index) const
{
    if (supBook < 0 || supBook >= static_cast<int>(m_supBooks.size()) || index < 1)
        return QString();
    int k = 0;
    for (const Record& r : m_supBooks[static_cast<std::size_t>(supBook)].followers) {
        if (r.id != rid::kExternName || ++k != index)
            continue;
        try {
            ByteReader rd(r.data);
            rd.skip(6);
            return rd.shortXLUnicodeString();
        } catch (const FormatError&) {
            return QString();
        }
    }
    return QString();
}

bool Workbook::externNameIsAddIn(std::uint16_t ixti) const
{
    return ixti < m_xti.size() && static_cast<int>(m_xti[ixti].supBook) == addInSupBook();
}

int Workbook::ownExternName(std::uint16_t ixti, int index) const
{
    if (ixti >= m_xti.size() || index < 1 || index > nameCount())
        return -1;
    const Xti& x = m_xti[ixti];
    return x.supBook < m_supBooks.size() && m_supBooks[x.supBook].self ? index - 1 : -1;
}

QString Workbook::externNameText(std::uint16_t ixti, int index) const
{
    if (ixti >= m_xti.size())
        return QString();
    const Xti& x = m_xti[ixti];
    if (x.supBook >= m_supBooks.size())
        return QString();
    if (m_supBooks[x.supBook].self) {
        // a name of this workbook, through one of its sheets or the workbook itself
        const int own = ownExternName(ixti, index);
        if (own < 0)
            return QString();
        const DefinedName& n = m_names[static_cast<std::size_t>(own)];
        int sheet = x.firstSheet < m_sheets.size() ? x.firstSheet : -1;
        if (n.sheet >= 0 && n.sheet < sheetCount())
            sheet = n.sheet;
        return sheet < 0 ? n.displayName()
                         : ptg::quoteSheetName(m_sheets[static_cast<std::size_t>(sheet)]->name()) + QLatin1Char('!')
                + n.displayName();
    }
    if (static_cast<int>(x.supBook) == addInSupBook())
        return externNameAt(x.supBook, index);
    const QString other = otherBookNameText(x.supBook, index);
    return other.isEmpty() ? externNameAt(x.supBook, index) : other;
}

void Workbook::addInFunction(const QString& name, int* ixti, int* index)
{
    if (name.startsWith(QLatin1String("_xlfn."), Qt::CaseInsensitive)) {
        // Later versions' functions are names of their own with no formula.
        for (int i = 0; i < nameCount(); ++i) {
            if (m_names[static_cast<std::size_t>(i)].sheet < 0
                && m_names[static_cast<std::size_t>(i)].name.compare(name, Qt::CaseInsensitive) == 0) {
                *ixti = -1;
                *index = i + 1;
                return;
            }
        }
        DefinedName n;
        n.name = name;
        n.flags = kFutureFunctionFlags;
        n.rgce = {ptg::Err, static_cast<std::uint8_t>(ErrorCode::Name)};
        m_names.push_back(std::move(n));
        if (!m_sheets.empty())
            externSheetIndex(0);
        ensurePart(Part::LinkTable);
        ensurePart(Part::Names);
        *ixti = -1;
        *index = nameCount();
        return;
    }
    int sb = addInSupBook();
    if (sb < 0) {
        SupBook book;
        book.record = Record{rid::kSupBook, kAddInSupBook};
        m_supBooks.push_back(std::move(book));
        sb = static_cast<int>(m_supBooks.size()) - 1;
        ensurePart(Part::LinkTable);
    }
    int x = -1;
    for (std::size_t i = 0; i < m_xti.size(); ++i)
        if (m_xti[i].supBook == sb)
            x = static_cast<int>(i);
    if (x < 0) {
        if (m_xti.size() >= 1370)
            throw Error(QStringLiteral("Too many external sheet references"));
        m_xti.push_back(Xti{static_cast<std::uint16_t>(sb), 0xFFFE, 0xFFFE});
        x = static_cast<int>(m_xti.size()) - 1;
    }
    RecordList& followers = m_supBooks[static_cast<std::size_t>(sb)].followers;
    int k = 0, found = -1;
    for (const Record& r : followers) {
        if (r.id != rid::kExternName)
            continue;
        ++k;
        if (externNameAt(sb, k).compare(name, Qt::CaseInsensitive) == 0)
            found = k;
    }
    if (found < 0) {
        ByteWriter w;
        w.u16(0);
        w.u32(0);
        w.shortXLUnicodeString(name.toUpper());
        w.u16(2);
        w.u8(ptg::Err);
        w.u8(static_cast<std::uint8_t>(ErrorCode::Ref));
        followers.push_back(Record{rid::kExternName, w.take()});
        found = k + 1;
    }
    *ixti = x;
    *index = found;
    m_dirty = true;
}

// ---------------------------------------------------------------- other workbooks

namespace {

// The file a SUPBOOK's path names, without its folders: the path is encoded with marks below
// 0x09 for volumes and folders, or is a plain name or a URL.
QString fileOfPath(const QString& path)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t c = path[i].unicode();
        if (c < 0x09 || c == u'/' || c == u'\\')
            start = i + 1;
        if (c == 0x05)
            ++i; // a URL's length follows its mark
    }
    return path.mid(start);
}

// One value of a SerAr (CRN and MOper records).
Value serArValue(ByteReader& r)
{
    switch (r.u8()) {
    case 0x00: r.skip(8); return Value();
    case 0x01: return Value::number(r.f64());
    case 0x02: return Value::string(r.xlUnicodeString());
    case 0x04: {
        const bool b = r.u8() != 0;
        r.skip(7);
        return Value::boolean(b);
    }
    case 0x10: {
        const std::uint8_t code = r.u8();
        r.skip(7);
        return Value::error(isKnownErrorCode(code) ? static_cast<ErrorCode>(code) : ErrorCode::NA);
    }
    default: throw FormatError(QStringLiteral("unknown value type in a cached value"));
    }
}

// An EXTERNNAME of another workbook: its defined name, as a reference into the workbook's
// sheets (the sheet numbers stand where a formula has its EXTERNSHEET index) or an error.
OtherBookName workbookName(ByteReader& r)
{
    OtherBookName n;
    n.sheet = static_cast<int>(r.u16()) - 1;
    r.skip(2);
    n.name = r.shortXLUnicodeString();
    n.value = Value::error(ErrorCode::Ref);
    const std::size_t cce = r.remaining() >= 2 ? r.u16() : 0;
    if (cce < 9 || r.remaining() < cce)
        return n;
    const std::uint8_t id = ptg::base(r.u8());
    n.firstSheet = r.u16();
    n.lastSheet = r.u16();
    if (id == ptg::Ref3d) {
        n.firstRow = n.lastRow = r.u16();
        n.firstCol = n.lastCol = r.u16() & 0xFF;
        n.reference = true;
    } else if (id == ptg::Area3d && cce >= 13) {
        n.firstRow = r.u16();
        n.lastRow = r.u16();
        n.firstCol = r.u16() & 0xFF;
        n.lastCol = r.u16() & 0xFF;
        n.reference = true;
    }
    return n;
}

// A DDE item: the values its link last gave, the first of them; #REF! when there are none.
OtherBookName ddeItem(ByteReader& r)
{
    OtherBookName n;
    r.skip(4);
    n.name = r.shortXLUnicodeString();
    n.value = Value::error(ErrorCode::Ref);
    if (r.remaining() >= 3) {
        r.skip(3); // columns and rows less one
        n.value = serArValue(r);
    }
    return n;
}

// The cells an XCT record and its CRN records give of one sheet.
void readCachedCells(const RecordList& followers, std::size_t& i, OtherBook& book)
{
    ByteReader xct(followers[i].data);
    const int count = std::abs(static_cast<std::int16_t>(xct.u16()));
    const std::size_t itab = xct.u16();
    for (int k = 0; k < count && i + 1 < followers.size() && followers[i + 1].id == rid::kCrn; ++k) {
        const Record& crn = followers[++i];
        if (itab >= book.sheets.size())
            continue;
        OtherBookSheet& sheet = book.sheets[itab];
        ByteReader r(crn.data);
        const int lastCol = r.u8(), firstCol = r.u8(), row = r.u16();
        for (int col = firstCol; col <= lastCol && col < kMaxCols && row < kMaxRows; ++col) {
            sheet.cells[cellKey(row, col)] = serArValue(r);
            sheet.lastRow = std::max(sheet.lastRow, row);
            sheet.lastCol = std::max(sheet.lastCol, col);
        }
    }
}

// An EXTERNNAME of another workbook or of a DDE link.
OtherBookName otherName(const Record& externName, OtherBook::Kind kind)
{
    ByteReader f(externName.data);
    const bool ole = f.u16() & 0x0010;
    if (kind == OtherBook::Kind::Dde)
        return ole ? OtherBookName{} : ddeItem(f);
    return workbookName(f);
}

OtherBook otherBook(const Record& supBook, const RecordList& followers, OtherBookPart part)
{
    OtherBook book;
    ByteReader r(supBook.data);
    const std::size_t ctab = r.u16();
    const QString path = r.xlUnicodeString();
    if (path == QLatin1String(" "))
        return book; // a link whose workbook is not known
    book.kind = ctab == 0 && path.contains(QChar(0x03)) && !path.startsWith(QChar(0x01)) ? OtherBook::Kind::Dde
                                                                                         : OtherBook::Kind::Workbook;
    if (book.kind == OtherBook::Kind::Dde) {
        book.application = path.section(QChar(0x03), 0, 0);
        book.topic = path.section(QChar(0x03), 1);
    } else {
        book.file = fileOfPath(path);
        for (std::size_t k = 0; k < ctab; ++k)
            book.sheets.push_back(OtherBookSheet{r.xlUnicodeString(), {}, -1, -1});
    }
    if (part == OtherBookPart::Sheets)
        return book;
    for (std::size_t i = 0; i < followers.size(); ++i) {
        if (followers[i].id == rid::kExternName)
            book.names.push_back(otherName(followers[i], book.kind));
        else if (followers[i].id == rid::kXct && part == OtherBookPart::All)
            readCachedCells(followers, i, book);
    }
    return book;
}

} // namespace

OtherBook Workbook::otherBook(int supBook, OtherBookPart part) const
{
    OtherBook book;
    if (supBook < 0 || supBook >= static_cast<int>(m_supBooks.size()))
        return book;
    const SupBook& sb = m_supBooks[static_cast<std::size_t>(supBook)];
    if (sb.self || sb.record.data == kAddInSupBook)
        return book;
    try {
        book = sheet::otherBook(sb.record, sb.followers, part);
    } catch (const FormatError&) {
        // a link the engine cannot read gives #REF!
    }
    return book;
}

OtherBooks Workbook::otherBooks() const
{
    OtherBooks out;
    for (int i = 0; i < static_cast<int>(m_supBooks.size()); ++i)
        out.books.push_back(otherBook(i, OtherBookPart::All));
    return out;
}

// "[Book1.xls]Sheet1", "[Book1.xls]Sheet1:Sheet3" for an XTI entry into another workbook;
// empty for any other.
QString Workbook::otherBookSheetText(std::uint16_t ixti) const
{
    int sb = 0, first = 0, last = 0;
    if (!externSheetEntry(ixti, &sb, &first, &last))
        return QString();
    const OtherBook book = otherBook(sb, OtherBookPart::Sheets);
    const int count = static_cast<int>(book.sheets.size());
    if (book.kind != OtherBook::Kind::Workbook || first > last || last >= count)
        return QString();
    QString text = QLatin1Char('[') + book.file + QLatin1Char(']') + book.sheets[static_cast<std::size_t>(first)].name;
    if (last != first)
        text += QLatin1Char(':') + book.sheets[static_cast<std::size_t>(last)].name;
    return text;
}

// Another workbook's name as Excel shows it ("Book1.xls!Costs", "[Book1.xls]Sheet1!Rate"),
// a DDE item ("Server|Topic!Item"); empty when unknown.
QString Workbook::otherBookNameText(int supBook, int index) const
{
    // only the one name is read: a formula is shown far more often than a file has names
    const OtherBook book = otherBook(supBook, OtherBookPart::Sheets);
    if (book.kind == OtherBook::Kind::None || index < 1)
        return QString();
    const RecordList& followers = m_supBooks[static_cast<std::size_t>(supBook)].followers;
    const Record* record = nullptr;
    for (std::size_t i = 0, seen = 0; i < followers.size() && !record; ++i)
        if (followers[i].id == rid::kExternName && ++seen == static_cast<std::size_t>(index))
            record = &followers[i];
    if (!record)
        return QString();
    OtherBookName n;
    try {
        n = otherName(*record, book.kind);
    } catch (const FormatError&) {
        return QString();
    }
    if (book.kind == OtherBook::Kind::Dde)
        return book.application + QLatin1Char('|') + book.topic + QLatin1Char('!') + ptg::quoteSheetName(n.name);
    if (n.sheet >= 0 && n.sheet < static_cast<int>(book.sheets.size()))
        return ptg::sheetReferenceText(QLatin1Char('[') + book.file + QLatin1Char(']')
                                       + book.sheets[static_cast<std::size_t>(n.sheet)].name)
            + QLatin1Char('!') + n.name;
    return book.file + QLatin1Char('!') + n.name;
}

bool Workbook::externSheetEntry(std::uint16_t ixti, int* supBook, int* first, int* last) const
{
    if (ixti >= m_xti.size())
        return false;
    *supBook = m_xti[ixti].supBook;
    *first = m_xti[ixti].firstSheet;
    *last = m_xti[ixti].lastSheet;
    return true;
}

bool Workbook::otherBookSheets(const OtherBooks& books, std::uint16_t ixti, int* first, int* last) const
{
    int sb = 0, a = 0, b = 0;
    if (!externSheetEntry(ixti, &sb, &a, &b) || sb >= static_cast<int>(books.books.size()))
        return false;
    const OtherBook& book = books.books[static_cast<std::size_t>(sb)];
    const int count = static_cast<int>(book.sheets.size());
    if (book.kind != OtherBook::Kind::Workbook || a > b || b >= count || count > OtherBooks::kSheetsPerBook)
        return false;
    *first = OtherBooks::sheetNumber(sb, a);
    *last = OtherBooks::sheetNumber(sb, b);
    return true;
}

Value OtherBooks::value(int sheetNumber, int row, int col) const
{
    const OtherBookSheet* s = sheet(sheetNumber);
    if (!s)
        return Value::error(ErrorCode::Ref);
    const auto it = s->cells.find(cellKey(row, col));
    return it == s->cells.end() ? Value() : it->second;
}

QString OtherBooks::sheetName(int sheetNumber) const
{
    const OtherBook* book = bookOfSheet(sheetNumber);
    return book ? QLatin1Char('[') + book->file + QLatin1Char(']') + sheet(sheetNumber)->name : QString();
}

// ---------------------------------------------------------------- formula text environment

int BookFormulaEnv::ixtiForSheet(const QString& sheetName) const
{
    if (sheetName.startsWith(QLatin1Char('['))) {
        // another workbook's sheet: only one the workbook already refers to
        for (int i = 0; i < m_book->externSheetCount(); ++i)
            if (m_book->otherBookSheetText(static_cast<std::uint16_t>(i)).compare(sheetName, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
    const int index = m_book->sheetIndex(sheetName);
    return index < 0 ? -1 : m_book->externSheetIndex(index);
}

QString BookFormulaEnv::sheetForIxti(int ixti) const
{
    int first = 0, last = 0;
    if (ixti < 0 || ixti > 0xFFFF)
        return QString();
    if (!m_book->externSheetRange(static_cast<std::uint16_t>(ixti), &first, &last))
        return m_book->otherBookSheetText(static_cast<std::uint16_t>(ixti));
    const QString name = m_book->sheet(first).name();
    return first == last ? name : name + QLatin1Char(':') + m_book->sheet(last).name();
}

int BookFormulaEnv::ixtiForSheetSpan(const QString& first, const QString& last) const
{
    const int a = m_book->sheetIndex(first), b = m_book->sheetIndex(last);
    if (a < 0 || b < 0)
        return -1;
    return m_book->externSheetIndex(std::min(a, b), std::max(a, b));
}

int BookFormulaEnv::nameIndex(const QString& name, const QString& sheet) const
{
    int scope = m_sheet;
    if (!sheet.isEmpty()) {
        scope = m_book->sheetIndex(sheet);
        if (scope < 0)
            return 0;
    }
    const int i = m_book->findName(name, scope);
    if (i < 0)
        return 0;
    const DefinedName& n = m_book->definedName(i);
    if (n.isFunction() && n.rgce.size() <= 2)
        return 0; // a function's name is no value
    if (!sheet.isEmpty() && n.sheet != scope)
        return 0; // Sheet1!Name names that sheet's own
    return i + 1;
}

QString BookFormulaEnv::nameText(int index) const
{
    if (index < 1 || index > m_book->nameCount())
        return QString();
    return m_book->definedName(index - 1).displayName();
}

QString BookFormulaEnv::externNameText(int ixti, int index) const
{
    if (ixti < 0 || ixti > 0xFFFF)
        return QString();
    return m_book->externNameText(static_cast<std::uint16_t>(ixti), index);
}

bool BookFormulaEnv::addInFunction(const QString& name, int* ixti, int* index) const
{
    m_book->addInFunction(name, ixti, index);
    return true;
}

} // namespace sheet
