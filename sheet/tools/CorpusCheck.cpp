// sheet-corpus-check: measures the engine against workbooks other programs saved.
//
//   sheet-corpus-check [--list] [--save] FILE...
//
// Recalculation: every FORMULA record's cached result is first overwritten with a value no
// formula computes, so a cell the engine never recomputes cannot pass; then each recomputed
// value is compared with the result the saving program cached. Left out: cells whose result
// changes without their inputs (NOW, TODAY, RAND, RANDBETWEEN, INFO) and their dependants,
// and cells whose result is written in the saving program's language (CELL's info types in
// another language, FIXED and DOLLAR with other separators or currency, CELL("filename")).
// A disagreement is a root when none of the formula cells it reads disagrees.
//
// --save: also saves each workbook as it was read and compares what every cell shows before
// and after, worksheets through the model and sheets kept as they were through their records.
//
// One line per file, then the totals; --list adds every root disagreement.
#include "WorkbookDump.h"

#include "biff/Compound.h"
#include "biff/RecordIds.h"
#include "biff/RecordStream.h"
#include "biff/SharedStrings.h"
#include "file/ReadFile.h"
#include "format/CLocale.h"
#include "formula/Formula.h"
#include "formula/FormulaTokens.h"
#include "model/FormulaGroups.h"
#include "io/WorkbookFile.h"
#include "model/Workbook.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>

namespace sheet {
namespace {

constexpr double kSentinel = -1.2345678901e+299;

// ---------------------------------------------------------------- who saved the file

enum class Writer { Excel, LibreOffice, Gnumeric, Other };

const char* writerName(Writer w)
{
    switch (w) {
    case Writer::Excel: return "Excel";
    case Writer::LibreOffice: return "LibreOffice";
    case Writer::Gnumeric: return "Gnumeric";
    case Writer::Other: break;
    }
    return "other";
}

// Excel writes the interface records, the function-group count and (from Excel 2000 on) its
// own version records; LibreOffice and Gnumeric write WRITEACCESS with their names; libraries
// that build workbooks write none of Excel's bookkeeping.
Writer writerOf(const Bytes& stream)
{
    const SubstreamRecords globals = scanSubstream(stream, 0);
    bool interface = false, fnGroups = false, codeName = false, excel9 = false, recalcId = false;
    QString access;
    for (std::size_t i = 0; i < globals.size(); ++i) {
        const RecordView r = globals[i];
        switch (r.id) {
        case 0x00E1: interface = true; break;
        case 0x009C: fnGroups = true; break;
        case 0x01BA: codeName = true; break;
        case 0x01C0: excel9 = true; break;
        case rid::kRecalcId: recalcId = true; break;
        case 0x005C: {
            ByteReader rd(r.data);
            try {
                access = rd.xlUnicodeString().trimmed();
            } catch (const FormatError&) {
            }
            break;
        }
        default: break;
        }
    }
    if (access.contains(QLatin1String("Gnumeric"), Qt::CaseInsensitive))
        return Writer::Gnumeric;
    if (access.contains(QLatin1String("LibreOffice"), Qt::CaseInsensitive)
        || access.contains(QLatin1String("OpenOffice"), Qt::CaseInsensitive))
        return Writer::LibreOffice;
    if (interface && fnGroups && (excel9 || recalcId || codeName || !access.isEmpty()))
        return Writer::Excel;
    return Writer::Other;
}

// ---------------------------------------------------------------- values

Bytes withSentinels(Bytes stream)
{
    std::size_t pos = 0;
    while (pos + 4 <= stream.size()) {
        const std::uint16_t id = static_cast<std::uint16_t>(stream[pos] | (stream[pos + 1] << 8));
        const std::size_t len = static_cast<std::size_t>(stream[pos + 2] | (stream[pos + 3] << 8));
        if (id == rid::kFormula && len >= 20) {
            ByteWriter w;
            w.f64(kSentinel);
            std::copy(w.data().begin(), w.data().end(), stream.begin() + static_cast<std::ptrdiff_t>(pos + 10));
        }
        pos += 4 + len;
    }
    return stream;
}

bool sameValue(const Value& got, const Value& want)
{
    if (got.type() != want.type())
        return false;
    if (want.isNumber())
        return std::fabs(got.asNumber() - want.asNumber()) <= 1e-9 * std::max(1.0, std::fabs(want.asNumber()));
    return got == want;
}

QString shown(const Value& v)
{
    switch (v.type()) {
    case Value::Type::Empty: return QStringLiteral("(empty)");
    case Value::Type::Number:
        return v.asNumber() == kSentinel ? QStringLiteral("(not computed)") : QString::number(v.asNumber(), 'g', 15);
    case Value::Type::String: return QLatin1Char('"') + v.asString() + QLatin1Char('"');
    case Value::Type::Bool: return v.asBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case Value::Type::Error: return errorText(v.asError());
    }
    return QString();
}

// ---------------------------------------------------------------- formula cells and what they read

enum class Leave { No, Volatile, Language };

struct FormulaCell {
    int sheet = 0, row = 0, col = 0;
    Value cached;
    Bytes rgce;             // the formula (an array formula's for its cells)
    std::vector<int> reads; // formula cells (and range nodes) it reads
    Leave leave = Leave::No;
    bool agrees = true;
};

// Functions whose result changes with no input changing, by built-in number.
bool isVolatileCall(int index) { return index == 63 || index == 74 || index == 221 || index == 244; }

// English CELL info types; others are the saving program's language.
bool englishInfoType(const QString& t)
{
    static const char* const types[] = {"address",     "col",    "color",   "contents", "filename", "format",
                                        "parentheses", "prefix", "protect", "row",      "type",     "width"};
    for (const char* e : types)
        if (t.compare(QLatin1String(e), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// What in a formula makes its value not comparable: volatile calls, CELL("filename") or CELL
// with another language's info type; FIXED and DOLLAR are judged by their texts later.
Leave leaveFor(const Bytes& rgce, bool* localeText)
{
    Leave leave = Leave::No;
    QString lastString;
    try {
        for (const ptg::Token& t : ptg::tokenize(rgce)) {
            if (t.base == ptg::Str) {
                const std::size_t cch = rgce[t.payload];
                const bool wide = rgce[t.payload + 1] & 1;
                ByteReader rd(rgce.data() + t.payload + 2, t.size - 3);
                lastString = rd.unicodeChars(cch, wide);
                continue;
            }
            if (t.base == ptg::Attr && (rgce[t.payload] & ptg::AttrVolatile))
                continue;
            if (t.base != ptg::Func && t.base != ptg::FuncVar)
                continue;
            const int index = ptg::readU16(rgce, t.base == ptg::Func ? t.payload : t.payload + 1) & 0x7FFF;
            if (isVolatileCall(index))
                return Leave::Volatile;
            if (index == 125
                && (!englishInfoType(lastString)
                    || lastString.compare(QLatin1String("filename"), Qt::CaseInsensitive) == 0))
                leave = Leave::Language;
            if (index == 13 || index == 14)
                *localeText = true;
        }
    } catch (const FormatError&) {
    }
    return leave;
}

// Digits and signs of a text: FIXED and DOLLAR in another locale differ only in the rest.
QString digitsOf(const QString& s)
{
    QString out;
    for (QChar c : s)
        if (c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('('))
            out += c;
    return out;
}

struct Graph {
    std::vector<FormulaCell> cells;
    std::vector<std::vector<int>> rangeMembers;                      // node cells.size() + i
    std::map<std::uint64_t, int> nodeOfCell;                         // sheet << 32 | key
    std::vector<std::vector<std::pair<std::uint32_t, int>>> columns; // per sheet: col << 16 | row
    std::map<std::array<int, 5>, int> rangeNodes;
};

void collectCells(const Workbook& book, Graph& g)
{
    g.columns.assign(static_cast<std::size_t>(book.sheetCount()), {});
    for (int s = 0; s < book.sheetCount(); ++s) {
        const Worksheet* ws = book.worksheet(s);
        if (!ws)
            continue;
        for (const auto& [key, cell] : ws->cells()) {
            if (!cell.isFormula())
                continue;
            FormulaCell fc;
            fc.sheet = s;
            fc.row = keyRow(key);
            fc.col = keyCol(key);
            fc.cached = cell.value;
            fc.rgce = cell.tokens;
            int ar = 0, ac = 0;
            ArrayGroup group;
            if (sharedFormulaAnchor(cell.tokens, &ar, &ac) && ws->cell(ar, ac)
                && arrayGroupOf(*ws->cell(ar, ac), &group))
                fc.rgce = group.rgce;
            const int node = static_cast<int>(g.cells.size());
            g.nodeOfCell[(static_cast<std::uint64_t>(s) << 32) | key] = node;
            g.columns[static_cast<std::size_t>(s)].emplace_back(
                (static_cast<std::uint32_t>(fc.col) << 16) | static_cast<std::uint32_t>(fc.row), node);
            g.cells.push_back(std::move(fc));
        }
        std::sort(g.columns[static_cast<std::size_t>(s)].begin(), g.columns[static_cast<std::size_t>(s)].end());
    }
}

// The rectangles a formula reads, through the defined names it uses.
void rectanglesOf(const Workbook& book, const Bytes& rgce, int sheet, std::set<int>& names,
                  std::vector<std::pair<int, FormulaRef>>* out)
{
    std::vector<FormulaRef> refs;
    std::vector<int> used;
    try {
        refs = formulaReferences(rgce);
        used = formulaNames(rgce);
    } catch (const Error&) {
        return;
    }
    for (const FormulaRef& r : refs) {
        int first = sheet, last = sheet;
        if (r.ixti >= 0 && !book.externSheetRange(static_cast<std::uint16_t>(r.ixti), &first, &last))
            continue;
        for (int s = first; s <= last; ++s)
            out->emplace_back(s, r);
    }
    for (int n : used)
        if (n >= 1 && n <= book.nameCount() && names.insert(n).second)
            rectanglesOf(book, book.definedName(n - 1).rgce, sheet, names, out);
}

int nodeForRange(Graph& g, int sheet, const FormulaRef& r)
{
    if (sheet < 0 || sheet >= static_cast<int>(g.columns.size()))
        return -1;
    const auto& keys = g.columns[static_cast<std::size_t>(sheet)];
    const int r1 = std::max(0, std::min(r.firstRow, r.lastRow)), r2 = std::min(65535, std::max(r.firstRow, r.lastRow));
    const int c1 = std::max(0, std::min(r.firstCol, r.lastCol)), c2 = std::min(255, std::max(r.firstCol, r.lastCol));
    const std::array<int, 5> key{sheet, r1, r2, c1, c2};
    const auto known = g.rangeNodes.find(key);
    if (known != g.rangeNodes.end())
        return known->second;
    std::vector<int> inside;
    for (int c = c1; c <= c2; ++c) {
        const std::uint32_t lo = (static_cast<std::uint32_t>(c) << 16) | static_cast<std::uint32_t>(r1);
        const std::uint32_t hi = (static_cast<std::uint32_t>(c) << 16) | static_cast<std::uint32_t>(r2);
        for (auto it = std::lower_bound(keys.begin(), keys.end(), std::make_pair(lo, -1));
             it != keys.end() && it->first <= hi; ++it)
            inside.push_back(it->second);
    }
    const int node = static_cast<int>(g.cells.size() + g.rangeMembers.size());
    g.rangeMembers.push_back(std::move(inside));
    g.rangeNodes.emplace(key, node);
    return node;
}

void linkCells(const Workbook& book, Graph& g)
{
    for (std::size_t n = 0; n < g.cells.size(); ++n) {
        std::vector<std::pair<int, FormulaRef>> rects;
        std::set<int> names;
        rectanglesOf(book, g.cells[n].rgce, g.cells[n].sheet, names, &rects);
        for (const auto& [sheet, r] : rects) {
            const int node = nodeForRange(g, sheet, r);
            if (node >= 0)
                g.cells[n].reads.push_back(node);
        }
    }
}

// The formula cells a node reads directly (a range node stands for its members).
template <typename F> void forEachRead(const Graph& g, int node, F f)
{
    for (int d : g.cells[static_cast<std::size_t>(node)].reads) {
        if (d < static_cast<int>(g.cells.size())) {
            f(d);
            continue;
        }
        for (int m : g.rangeMembers[static_cast<std::size_t>(d) - g.cells.size()])
            f(m);
    }
}

// What a left-out cell reads into is left out too, through any number of steps.
void spreadLeaving(Graph& g)
{
    std::vector<std::vector<int>> readers(g.cells.size());
    for (std::size_t n = 0; n < g.cells.size(); ++n)
        forEachRead(g, static_cast<int>(n), [&](int d) { readers[static_cast<std::size_t>(d)].push_back(int(n)); });
    for (const Leave kind : {Leave::Volatile, Leave::Language}) {
        std::vector<int> work;
        for (std::size_t n = 0; n < g.cells.size(); ++n)
            if (g.cells[n].leave == kind)
                work.push_back(static_cast<int>(n));
        while (!work.empty()) {
            const int n = work.back();
            work.pop_back();
            for (int r : readers[static_cast<std::size_t>(n)]) {
                FormulaCell& c = g.cells[static_cast<std::size_t>(r)];
                if (c.leave == Leave::No) {
                    c.leave = kind;
                    work.push_back(r);
                }
            }
        }
    }
}

// ---------------------------------------------------------------- one file

struct Figures {
    int files = 0, compared = 0, agreed = 0, volatileCells = 0, languageCells = 0, roots = 0;
};

struct Totals {
    int files = 0, refused = 0, saveChanged = 0;
    std::map<Writer, Figures> byWriter;
    QStringList changedList;
};

struct FileResult {
    Writer writer = Writer::Other;
    int compared = 0, agreed = 0, volatileCells = 0, languageCells = 0;
    QStringList roots;
};

// Roots: disagreements none of whose read formula cells disagree; a circle of disagreements
// with nothing disagreeing outside it gives one root.
QStringList rootsOf(const Graph& g, const Workbook& book, const Workbook& recomputed)
{
    std::vector<int> order;
    for (std::size_t n = 0; n < g.cells.size(); ++n) {
        if (g.cells[n].agrees)
            continue;
        bool readsWrong = false;
        forEachRead(g, static_cast<int>(n),
                    [&](int d) { readsWrong = readsWrong || (d != int(n) && !g.cells[std::size_t(d)].agrees); });
        if (!readsWrong)
            order.push_back(static_cast<int>(n));
    }
    QStringList out;
    for (int n : order) {
        const FormulaCell& c = g.cells[static_cast<std::size_t>(n)];
        const Worksheet* ws = recomputed.worksheet(c.sheet);
        out << QStringLiteral("%1!%2 =%3: ours %4, cached %5")
                   .arg(book.sheet(c.sheet).name(), cellName(c.row, c.col), ws->formulaText(c.row, c.col),
                        shown(ws->value(c.row, c.col)), shown(c.cached));
    }
    return out;
}

FileResult checkRecalc(const Bytes& stream)
{
    FileResult res;
    res.writer = writerOf(stream);
    const auto book = workbookFromStream(stream);
    Graph g;
    collectCells(*book, g);
    std::vector<char> localeText(g.cells.size(), 0);
    for (std::size_t n = 0; n < g.cells.size(); ++n) {
        bool text = false;
        g.cells[n].leave = leaveFor(g.cells[n].rgce, &text);
        localeText[n] = text;
    }
    linkCells(*book, g);
    spreadLeaving(g);

    const auto recomputed = workbookFromStream(withSentinels(stream));
    recomputed->recalculate();
    for (std::size_t n = 0; n < g.cells.size(); ++n) {
        FormulaCell& c = g.cells[n];
        const Value got = recomputed->worksheet(c.sheet)->value(c.row, c.col);
        if (c.leave == Leave::No && localeText[n] && got.isString() && c.cached.isString() && got != c.cached
            && digitsOf(got.asString()) == digitsOf(c.cached.asString()))
            c.leave = Leave::Language;
        if (c.leave == Leave::Volatile) {
            ++res.volatileCells;
            continue;
        }
        if (c.leave == Leave::Language) {
            ++res.languageCells;
            continue;
        }
        ++res.compared;
        c.agrees = sameValue(got, c.cached);
        res.agreed += c.agrees ? 1 : 0;
    }
    res.roots = rootsOf(g, *book, *recomputed);
    return res;
}

// ---------------------------------------------------------------- plain save

// The text of every cell record of the sheets the engine keeps as they were.
QStringList keptCellTexts(const Bytes& stream)
{
    const SubstreamRecords globals = scanSubstream(stream, 0);
    std::vector<SharedString> sst;
    std::vector<std::pair<std::uint32_t, QString>> sheets;
    for (std::size_t i = 0; i < globals.size(); ++i) {
        const RecordView r = globals[i];
        if (r.id == rid::kSst)
            sst = readSst(gatherContinues(globals, i));
        if (r.id == rid::kBoundSheet && r.data.size >= 6 && r.data[5] != 0) {
            ByteReader rd(r.data);
            const std::uint32_t pos = rd.u32();
            rd.skip(2);
            sheets.emplace_back(pos, rd.shortXLUnicodeString());
        }
    }
    QStringList out;
    for (const auto& [pos, name] : sheets) {
        const SubstreamRecords records = scanSubstream(stream, pos);
        for (std::size_t i = 0; i < records.size(); ++i) {
            const RecordView r = records[i];
            if (r.id != rid::kLabelSst || r.data.size < 10)
                continue;
            ByteReader rd(r.data);
            const int row = rd.u16(), col = rd.u16();
            rd.skip(2);
            const std::uint32_t isst = rd.u32();
            out << QStringLiteral("%1!%2 %3")
                       .arg(name, cellName(row, col),
                            isst < sst.size() ? sst[isst].text : QStringLiteral("(no string)"));
        }
    }
    return out;
}

// Empty when a plain save keeps every cell's text; else the first difference.
QString checkSave(const Bytes& stream)
{
    const auto before = workbookFromStream(stream);
    const Bytes saved = workbookToStream(*before);
    const auto after = workbookFromStream(saved);
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    QByteArray a, b;
    writeWorkbookJson(*before, locale, QString(), [&](const char* d, std::size_t n) { a.append(d, qsizetype(n)); });
    writeWorkbookJson(*after, locale, QString(), [&](const char* d, std::size_t n) { b.append(d, qsizetype(n)); });
    if (a != b) {
        qsizetype at = 0;
        while (at < a.size() && at < b.size() && a[at] == b[at])
            ++at;
        const qsizetype from = std::max<qsizetype>(0, at - 80);
        return QStringLiteral("cells differ: ...%1... became ...%2...")
            .arg(QString::fromUtf8(a.mid(from, 160)), QString::fromUtf8(b.mid(from, 160)));
    }
    const QStringList keptBefore = keptCellTexts(stream), keptAfter = keptCellTexts(saved);
    for (int i = 0; i < keptBefore.size() && i < keptAfter.size(); ++i)
        if (keptBefore[i] != keptAfter[i])
            return QStringLiteral("%1 became %2").arg(keptBefore[i], keptAfter[i]);
    if (keptBefore.size() != keptAfter.size())
        return QStringLiteral("kept sheets lost cells");
    return QString();
}

void checkFile(const QString& path, bool save, bool list, Totals& t)
{
    ++t.files;
    const QString name = QFileInfo(path).fileName();
    Bytes stream;
    FileResult r;
    try {
        const QByteArray file = readRegularFile(path);
        stream = CompoundFile::fromBytes(Bytes(file.begin(), file.end())).workbook;
        r = checkRecalc(stream);
    } catch (const Error& e) {
        ++t.refused;
        std::printf("%s: refused: %s\n", qPrintable(name), qPrintable(e.message()));
        return;
    }
    Figures& f = t.byWriter[r.writer];
    ++f.files;
    f.compared += r.compared;
    f.agreed += r.agreed;
    f.volatileCells += r.volatileCells;
    f.languageCells += r.languageCells;
    f.roots += static_cast<int>(r.roots.size());
    QString change;
    if (save) {
        try {
            change = checkSave(stream);
        } catch (const Error& e) {
            change = QStringLiteral("save failed: ") + e.message();
        }
        if (!change.isEmpty()) {
            ++t.saveChanged;
            t.changedList << name + QStringLiteral(": ") + change;
        }
    }
    std::printf("%s: %s, %d of %d agree, %d left out, %d roots%s\n", qPrintable(name), writerName(r.writer), r.agreed,
                r.compared, r.volatileCells + r.languageCells, static_cast<int>(r.roots.size()),
                change.isEmpty() ? "" : ", changed by a plain save");
    if (list)
        for (const QString& root : r.roots)
            std::printf("  %s\n", qPrintable(root));
}

void printFigures(const char* who, const Figures& f)
{
    std::printf("%s: %d files, %d formula cells compared, %d agree (%.2f %%), left out %d volatile and %d in the "
                "saving program's language; %d root disagreements\n",
                who, f.files, f.compared, f.agreed, f.compared ? 100.0 * f.agreed / f.compared : 100.0, f.volatileCells,
                f.languageCells, f.roots);
}

} // namespace
} // namespace sheet

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    sheet::useUsEnglishForCLocale();
    QStringList args = app.arguments().mid(1);
    const bool list = args.removeAll(QStringLiteral("--list")) > 0;
    const bool save = args.removeAll(QStringLiteral("--save")) > 0;
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: sheet-corpus-check [--list] [--save] FILE...\n");
        return 2;
    }
    sheet::Totals t;
    for (const QString& path : args)
        sheet::checkFile(path, save, list, t);
    std::printf("\nfiles %d, refused %d\n", t.files, t.refused);
    sheet::Figures all;
    for (const auto& [writer, f] : t.byWriter) {
        sheet::printFigures(sheet::writerName(writer), f);
        all.files += f.files;
        all.compared += f.compared;
        all.agreed += f.agreed;
        all.volatileCells += f.volatileCells;
        all.languageCells += f.languageCells;
        all.roots += f.roots;
    }
    sheet::printFigures("all", all);
    if (save) {
        std::printf("files changed by a plain save %d\n", t.saveChanged);
        for (const QString& c : t.changedList)
            std::printf("  %s\n", qPrintable(c));
    }
    return 0;
}
