#include "WorkbookDump.h"

#include "base/Error.h"
#include "model/FormulaGroups.h"
#include "model/Workbook.h"
#include "charts/Chart.h"
#include "formula/Formula.h"
#include "format/NumberFormat.h"
#include "formula/FormulaTokens.h"

#include <QByteArray>

#include <string>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace sheet {
namespace {

// JSON written as it is made, in QJsonDocument's indented form: callers give the members of
// an object in the order of their names.
class JsonOut {
public:
    explicit JsonOut(const JsonSink& sink)
        : m_sink(sink)
    {
        m_buf.reserve(kFlushAt + 4096);
    }
    ~JsonOut() = default;
    void finish()
    {
        m_buf.push_back('\n');
        flush();
    }

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }
    // The name of the object's next member.
    template <std::size_t N> void key(const char (&name)[N])
    {
        separate();
        char text[N + 3];
        text[0] = '"';
        std::memcpy(text + 1, name, N - 1);
        text[N] = '"';
        text[N + 1] = ':';
        text[N + 2] = ' ';
        m_buf.append(text, N + 3);
        m_afterKey = true;
    }
    void string(const QString& s);
    void utf8(char32_t code); // one character of two bytes or more
    // "B12": a cell's name, written without a string of its own.
    void address(int row, int col)
    {
        separate();
        char text[16];
        int n = 0;
        text[n++] = '"';
        if (col >= 26)
            text[n++] = static_cast<char>('A' + col / 26 - 1);
        text[n++] = static_cast<char>('A' + col % 26);
        n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), "%d\"", row + 1);
        m_buf.append(text, static_cast<std::size_t>(n));
    }
    void number(double d);
    void integer(qint64 n)
    {
        separate();
        m_buf += std::to_string(n);
    }
    void boolean(bool b)
    {
        separate();
        m_buf.append(b ? "true" : "false");
    }
    void null()
    {
        separate();
        m_buf.append("null");
    }

private:
    static constexpr std::size_t kFlushAt = 1 << 20;

    void open(char c)
    {
        separate();
        m_buf.push_back(c);
        m_first.push_back(true);
        if (m_buf.size() >= kFlushAt)
            flush();
    }
    void close(char c)
    {
        m_first.pop_back();
        m_buf.push_back('\n');
        indent();
        m_buf.push_back(c);
    }
    // What goes before a value or a member: its separator, a new line and the indentation.
    void separate()
    {
        if (m_afterKey) {
            m_afterKey = false;
            return;
        }
        if (m_first.empty())
            return;
        if (!m_first.back())
            m_buf.push_back(',');
        m_first.back() = false;
        m_buf.push_back('\n');
        indent();
    }
    void indent() { m_buf.append(4 * m_first.size(), ' '); }
    void flush()
    {
        m_sink(m_buf.data(), m_buf.size());
        m_buf.clear();
    }

    const JsonSink& m_sink;
    std::string m_buf;
    std::vector<bool> m_first; // per open object or array: nothing written in it yet
    bool m_afterKey = false;
};

// As QJsonDocument writes strings: the usual escapes, other control characters and lone
// surrogates as \u escapes, the rest as UTF-8.
void JsonOut::string(const QString& s)
{
    separate();
    m_buf.push_back('"');
    const char16_t* p = reinterpret_cast<const char16_t*>(s.utf16());
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i];
        if (c < 0x80 && c >= 0x20 && c != u'"' && c != u'\\') {
            m_buf.push_back(static_cast<char>(c));
            continue;
        }
        switch (c) {
        case u'"': m_buf.append("\\\""); continue;
        case u'\\': m_buf.append("\\\\"); continue;
        case u'\b': m_buf.append("\\b"); continue;
        case u'\f': m_buf.append("\\f"); continue;
        case u'\n': m_buf.append("\\n"); continue;
        case u'\r': m_buf.append("\\r"); continue;
        case u'\t': m_buf.append("\\t"); continue;
        default: break;
        }
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(p[i + 1]);
        if (c < 0x20 || (QChar::isSurrogate(c) && !pair)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04x", static_cast<unsigned>(c));
            m_buf.append(hex);
            continue;
        }
        const char32_t code = pair ? QChar::surrogateToUcs4(c, p[i + 1]) : c;
        i += pair ? 1 : 0;
        utf8(code);
    }
    m_buf.push_back('"');
}

void JsonOut::utf8(char32_t code)
{
    if (code < 0x800) {
        m_buf.push_back(static_cast<char>(0xC0 | (code >> 6)));
    } else {
        if (code < 0x10000) {
            m_buf.push_back(static_cast<char>(0xE0 | (code >> 12)));
        } else {
            m_buf.push_back(static_cast<char>(0xF0 | (code >> 18)));
            m_buf.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        }
        m_buf.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    }
    m_buf.push_back(static_cast<char>(0x80 | (code & 0x3F)));
}

// As QJsonValue keeps numbers: whole ones as integers, the others in their shortest form.
void JsonOut::number(double d)
{
    if (!std::isfinite(d)) {
        null();
        return;
    }
    if (d == std::trunc(d) && d >= -9223372036854775808.0 && d < 9223372036854775808.0) {
        integer(static_cast<qint64>(d));
        return;
    }
    separate();
    const QByteArray text = QByteArray::number(d, 'g', QLocale::FloatingPointShortest);
    m_buf.append(text.constData(), static_cast<std::size_t>(text.size()));
}

QString kindName(Sheet::Kind kind)
{
    switch (kind) {
    case Sheet::Kind::Worksheet: return QStringLiteral("worksheet");
    case Sheet::Kind::Chart: return QStringLiteral("chart");
    case Sheet::Kind::Other: break;
    }
    return QStringLiteral("other");
}

QString visibilityName(Sheet::Visibility v)
{
    switch (v) {
    case Sheet::Visibility::Visible: break;
    case Sheet::Visibility::Hidden: return QStringLiteral("hidden");
    case Sheet::Visibility::VeryHidden: return QStringLiteral("veryHidden");
    }
    return QStringLiteral("visible");
}

QString absoluteCell(int row, int col) { return QStringLiteral("$%1$%2").arg(columnName(col)).arg(row + 1); }

// "Data!$B$6:$B$31" as the series' formula shows it; null when the series has none.
void referenceText(JsonOut& out, const Workbook& book, const SheetRange& r)
{
    if (!r.isSet()) {
        out.null();
        return;
    }
    if (r.sheet >= book.sheetCount()) {
        out.string(QStringLiteral("#REF!"));
        return;
    }
    QString text
        = ptg::quoteSheetName(book.sheet(r.sheet).name()) + QLatin1Char('!') + absoluteCell(r.firstRow, r.firstCol);
    if (!r.isSingleCell())
        text += QLatin1Char(':') + absoluteCell(r.lastRow, r.lastCol);
    out.string(text);
}

void valueJson(JsonOut& out, const Value& v)
{
    out.beginObject();
    out.key("type");
    switch (v.type()) {
    case Value::Type::Empty:
        out.string(QStringLiteral("empty"));
        out.key("value");
        out.null();
        break;
    case Value::Type::Number:
        out.string(QStringLiteral("number"));
        out.key("value");
        out.number(v.asNumber());
        break;
    case Value::Type::String:
        out.string(QStringLiteral("string"));
        out.key("value");
        out.string(v.asString());
        break;
    case Value::Type::Bool:
        out.string(QStringLiteral("bool"));
        out.key("value");
        out.boolean(v.asBool());
        break;
    case Value::Type::Error:
        out.string(QStringLiteral("error"));
        out.key("value");
        out.string(errorText(v.asError()));
        break;
    }
    out.endObject();
}

// The range an array formula or a data table covers, for each of its cells; null otherwise.
void groupRange(JsonOut& out, const Worksheet& ws, const Cell& cell)
{
    int row = 0, col = 0;
    CellRange range;
    bool found = false;
    if (sharedFormulaAnchor(cell.tokens, &row, &col)) {
        ArrayGroup group;
        const Cell* anchor = ws.cell(row, col);
        if (anchor && arrayGroupOf(*anchor, &group)) {
            range = group.range;
            found = true;
        }
    } else if (dataTableAnchor(cell.tokens, &row, &col)) {
        DataTable table;
        const Cell* anchor = ws.cell(row, col);
        if (anchor && dataTableOf(*anchor, &table)) {
            range = table.range;
            found = true;
        }
    }
    if (!found)
        out.null();
    else
        out.string(cellName(range.firstRow, range.firstCol) + QLatin1Char(':')
                   + cellName(range.lastRow, range.lastCol));
}

// What a cell format says for the dump, worked out once per format rather than per cell.
class Formats {
public:
    explicit Formats(const Workbook& book)
        : m_book(book)
    {
    }
    struct Entry {
        bool known = false;
        int ifmt = 0;
        QString code;  // the custom code a cell is shown with; empty for built-in ones
        QString shown; // the number format's name in the dump
    };
    const Entry& of(std::uint16_t xf)
    {
        if (m_entries.size() <= xf)
            m_entries.resize(static_cast<std::size_t>(xf) + 1);
        Entry& e = m_entries[xf];
        if (!e.known) {
            e.known = true;
            e.ifmt = xf < m_book.xfCount() ? m_book.xf(xf).format : 0;
            for (const auto& f : m_book.customFormats())
                if (f.first == e.ifmt)
                    e.code = f.second;
            e.shown = m_book.xfNumberFormat(xf);
        }
        return e;
    }

private:
    const Workbook& m_book;
    std::vector<Entry> m_entries;
};

void cellJson(JsonOut& out, const Worksheet& ws, std::uint32_t key, const Cell& cell, Formats& formats,
              const QLocale& locale)
{
    const int row = keyRow(key);
    const int col = keyCol(key);
    const Formats::Entry& format = formats.of(cell.xf);
    out.beginObject();
    out.key("address");
    out.address(row, col);
    out.key("formula");
    if (cell.isFormula())
        out.string(ws.formulaText(row, col));
    else
        out.null();
    if (cell.isFormula()) {
        out.key("group");
        groupRange(out, ws, cell);
    }
    out.key("numberFormat");
    out.string(format.shown);
    // the workbook is brought up to date before the first cell: the cell's value is current
    out.key("shown");
    out.string(cell.value.isEmpty() ? QString() : formatCellValue(cell.value, format.ifmt, format.code, locale));
    out.key("value");
    valueJson(out, cell.value);
    out.key("xf");
    out.integer(cell.xf);
    out.endObject();
}

// A worksheet's members after "kind" and "name" would sort in, and before them.
void worksheetCells(JsonOut& out, const Worksheet& ws, const QLocale& locale)
{
    out.key("cells");
    out.beginArray();
    Formats formats(ws.workbook());
    for (const auto& [key, cell] : ws.cells())
        cellJson(out, ws, key, cell, formats, locale);
    out.endArray();
}

void usedRange(JsonOut& out, const Worksheet& ws)
{
    const auto used = ws.usedRange();
    out.key("usedRange");
    if (used)
        out.string(cellName(used->firstRow, used->firstCol) + QLatin1Char(':')
                   + cellName(used->lastRow, used->lastCol));
    else
        out.null();
}

void seriesJson(JsonOut& out, const Workbook& book, const ChartSeries& s)
{
    out.beginObject();
    out.key("axis");
    out.string(s.secondaryAxis ? QStringLiteral("secondary") : QStringLiteral("primary"));
    out.key("categories");
    referenceText(out, book, s.categories);
    out.key("name");
    if (s.nameCell.isSet())
        out.null();
    else
        out.string(s.name);
    out.key("nameRef");
    referenceText(out, book, s.nameCell);
    out.key("values");
    referenceText(out, book, s.values);
    out.endObject();
}

void sheetJson(JsonOut& out, const Workbook& book, int index, const QLocale& locale)
{
    const Sheet& sheet = book.sheet(index);
    const Worksheet* ws = book.worksheet(index);
    Chart chart;
    QString chartError;
    if (!ws && sheet.isChart()) {
        try {
            chart = readChartSheetBody(sheet.records(),
                                       [&](std::uint16_t ixti) { return book.sheetForExternSheetIndex(ixti); });
        } catch (const Error& e) {
            // Charts of kinds the engine does not read are still worth listing with the rest.
            chartError = e.message();
        }
    }
    const bool chartRead = !ws && sheet.isChart() && chartError.isEmpty();
    out.beginObject();
    if (ws)
        worksheetCells(out, *ws, locale);
    if (!chartError.isEmpty()) {
        out.key("chartError");
        out.string(chartError);
    }
    out.key("index");
    out.integer(index);
    out.key("kind");
    out.string(kindName(sheet.kind()));
    out.key("name");
    out.string(sheet.name());
    if (chartRead) {
        out.key("series");
        out.beginArray();
        for (const ChartSeries& s : chart.series)
            seriesJson(out, book, s);
        out.endArray();
        out.key("title");
        out.string(chart.title);
    }
    if (ws)
        usedRange(out, *ws);
    out.key("visibility");
    out.string(visibilityName(sheet.visibility()));
    out.endObject();
}

void nameJson(JsonOut& out, const Workbook& book, int i)
{
    const DefinedName& n = book.definedName(i);
    QString name = n.displayName();
    if (name.startsWith(QLatin1String("_xlfn."), Qt::CaseInsensitive))
        name = name.mid(6); // a later version's function, by its own name
    const QString formula = book.nameFormula(i);
    out.beginObject();
    out.key("builtIn");
    out.boolean(n.isBuiltIn());
    out.key("formula");
    if (formula.isEmpty() || n.isFunction())
        out.null();
    else
        out.string(formula);
    out.key("function");
    out.boolean(n.isFunction());
    out.key("hidden");
    out.boolean((n.flags & DefinedName::Hidden) != 0);
    out.key("name");
    out.string(name);
    out.key("sheet");
    if (n.sheet >= 0 && n.sheet < book.sheetCount())
        out.string(book.sheet(n.sheet).name());
    else
        out.null();
    out.endObject();
}

} // namespace

void writeWorkbookJson(const Workbook& book, const QLocale& locale, const QString& file, const JsonSink& sink)
{
    book.ensureCalculated();
    JsonOut out(sink);
    out.beginObject();
    const int active = book.activeSheet();
    out.key("activeSheet");
    if (active >= 0 && active < book.sheetCount())
        out.string(book.sheet(active).name());
    else
        out.null();
    out.key("activeSheetIndex");
    out.integer(active);
    out.key("date1904");
    out.boolean(book.date1904());
    if (!file.isEmpty()) {
        out.key("file");
        out.string(file);
    }
    out.key("names");
    out.beginArray();
    for (int i = 0; i < book.nameCount(); ++i)
        nameJson(out, book, i);
    out.endArray();
    out.key("sheets");
    out.beginArray();
    for (int i = 0; i < book.sheetCount(); ++i)
        sheetJson(out, book, i, locale);
    out.endArray();
    out.key("template");
    out.boolean(book.isTemplate());
    out.endObject();
    out.finish();
}

} // namespace sheet
