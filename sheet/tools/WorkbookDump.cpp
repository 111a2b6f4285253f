#include "WorkbookDump.h"

#include "base/Error.h"
#include "model/FormulaGroups.h"
#include "model/Workbook.h"
#include "charts/Chart.h"
#include "formula/Formula.h"
#include "formula/FormulaTokens.h"

#include <QJsonArray>

namespace sheet {
namespace {

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
QJsonValue referenceText(const Workbook& book, const SheetRange& r)
{
    if (!r.isSet())
        return QJsonValue::Null;
    if (r.sheet >= book.sheetCount())
        return QStringLiteral("#REF!");
    QString text
        = ptg::quoteSheetName(book.sheet(r.sheet).name()) + QLatin1Char('!') + absoluteCell(r.firstRow, r.firstCol);
    if (!r.isSingleCell())
        text += QLatin1Char(':') + absoluteCell(r.lastRow, r.lastCol);
    return text;
}

QJsonObject valueJson(const Value& v)
{
    QJsonObject o;
    switch (v.type()) {
    case Value::Type::Empty:
        o[QStringLiteral("type")] = QStringLiteral("empty");
        o[QStringLiteral("value")] = QJsonValue::Null;
        break;
    case Value::Type::Number:
        o[QStringLiteral("type")] = QStringLiteral("number");
        o[QStringLiteral("value")] = v.asNumber();
        break;
    case Value::Type::String:
        o[QStringLiteral("type")] = QStringLiteral("string");
        o[QStringLiteral("value")] = v.asString();
        break;
    case Value::Type::Bool:
        o[QStringLiteral("type")] = QStringLiteral("bool");
        o[QStringLiteral("value")] = v.asBool();
        break;
    case Value::Type::Error:
        o[QStringLiteral("type")] = QStringLiteral("error");
        o[QStringLiteral("value")] = errorText(v.asError());
        break;
    }
    return o;
}

// The range an array formula or a data table covers, for each of its cells; null otherwise.
QJsonValue groupRange(const Worksheet& ws, const Cell& cell)
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
        return QJsonValue(QJsonValue::Null);
    return cellName(range.firstRow, range.firstCol) + QLatin1Char(':') + cellName(range.lastRow, range.lastCol);
}

void addWorksheet(QJsonObject& out, const Worksheet& ws, const QLocale& locale)
{
    const auto used = ws.usedRange();
    out[QStringLiteral("usedRange")] = used ? QJsonValue(cellName(used->firstRow, used->firstCol) + QLatin1Char(':')
                                                         + cellName(used->lastRow, used->lastCol))
                                            : QJsonValue(QJsonValue::Null);

    const Workbook& book = ws.workbook();
    QJsonArray cells;
    for (const auto& [key, cell] : ws.cells()) {
        const int row = keyRow(key);
        const int col = keyCol(key);
        QJsonObject c;
        c[QStringLiteral("address")] = cellName(row, col);
        c[QStringLiteral("shown")] = ws.displayText(row, col, locale);
        c[QStringLiteral("value")] = valueJson(ws.value(row, col));
        c[QStringLiteral("numberFormat")] = book.xfNumberFormat(cell.xf);
        c[QStringLiteral("xf")] = cell.xf;
        c[QStringLiteral("formula")]
            = cell.isFormula() ? QJsonValue(ws.formulaText(row, col)) : QJsonValue(QJsonValue::Null);
        if (cell.isFormula())
            c[QStringLiteral("group")] = groupRange(ws, cell);
        cells.append(c);
    }
    out[QStringLiteral("cells")] = cells;
}

void addChartSheet(QJsonObject& out, const Sheet& sheet)
{
    const Workbook& book = sheet.workbook();
    Chart chart;
    try {
        chart = readChartSheetBody(sheet.records(),
                                   [&](std::uint16_t ixti) { return book.sheetForExternSheetIndex(ixti); });
    } catch (const Error& e) {
        // Charts of kinds the engine does not read are still worth listing with the rest.
        out[QStringLiteral("chartError")] = e.message();
        return;
    }
    out[QStringLiteral("title")] = chart.title;
    QJsonArray series;
    for (const ChartSeries& s : chart.series) {
        QJsonObject o;
        o[QStringLiteral("nameRef")] = referenceText(book, s.nameCell);
        o[QStringLiteral("name")] = s.nameCell.isSet() ? QJsonValue(QJsonValue::Null) : QJsonValue(s.name);
        o[QStringLiteral("values")] = referenceText(book, s.values);
        o[QStringLiteral("categories")] = referenceText(book, s.categories);
        o[QStringLiteral("axis")] = s.secondaryAxis ? QStringLiteral("secondary") : QStringLiteral("primary");
        series.append(o);
    }
    out[QStringLiteral("series")] = series;
}

QJsonArray namesJson(const Workbook& book)
{
    QJsonArray names;
    for (int i = 0; i < book.nameCount(); ++i) {
        const DefinedName& n = book.definedName(i);
        QJsonObject o;
        QString name = n.displayName();
        if (name.startsWith(QLatin1String("_xlfn."), Qt::CaseInsensitive))
            name = name.mid(6); // a later version's function, by its own name
        o[QStringLiteral("name")] = name;
        o[QStringLiteral("sheet")] = n.sheet >= 0 && n.sheet < book.sheetCount()
            ? QJsonValue(book.sheet(n.sheet).name())
            : QJsonValue(QJsonValue::Null);
        const QString formula = book.nameFormula(i);
        o[QStringLiteral("formula")]
            = formula.isEmpty() || n.isFunction() ? QJsonValue(QJsonValue::Null) : QJsonValue(formula);
        o[QStringLiteral("builtIn")] = n.isBuiltIn();
        o[QStringLiteral("hidden")] = (n.flags & DefinedName::Hidden) != 0;
        o[QStringLiteral("function")] = n.isFunction();
        names.append(o);
    }
    return names;
}

} // namespace

QJsonObject dumpWorkbook(const Workbook& book, const QLocale& locale)
{
    QJsonArray sheets;
    for (int i = 0; i < book.sheetCount(); ++i) {
        const Sheet& sheet = book.sheet(i);
        QJsonObject s;
        s[QStringLiteral("index")] = i;
        s[QStringLiteral("name")] = sheet.name();
        s[QStringLiteral("kind")] = kindName(sheet.kind());
        s[QStringLiteral("visibility")] = visibilityName(sheet.visibility());
        if (const Worksheet* ws = book.worksheet(i))
            addWorksheet(s, *ws, locale);
        else if (sheet.isChart())
            addChartSheet(s, sheet);
        sheets.append(s);
    }

    QJsonObject root;
    root[QStringLiteral("sheets")] = sheets;
    root[QStringLiteral("names")] = namesJson(book);
    const int active = book.activeSheet();
    root[QStringLiteral("activeSheet")] = active >= 0 && active < book.sheetCount()
        ? QJsonValue(book.sheet(active).name())
        : QJsonValue(QJsonValue::Null);
    root[QStringLiteral("activeSheetIndex")] = active;
    root[QStringLiteral("date1904")] = book.date1904();
    root[QStringLiteral("template")] = book.isTemplate();
    return root;
}

} // namespace sheet
