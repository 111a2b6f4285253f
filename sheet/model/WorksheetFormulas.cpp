// Formula text and typed input on worksheet cells.
#include "model/Worksheet.h"
#include "format/DateSerial.h"

#include "model/BookFormulaEnv.h"
#include "model/FormulaGroups.h"
#include "model/Workbook.h"
#include "formula/Formula.h"
#include "format/NumberFormat.h"
#include "format/TypedInput.h"

namespace sheet {

void Worksheet::setFormula(int row, int col, const QString& text)
{
    checkCell(row, col);
    BookFormulaEnv env(m_book, m_book->indexOf(this));
    Bytes tokens, extra;
    try {
        tokens = parseFormula(text, &env, &extra);
    } catch (const Error& e) {
        throw Error(QStringLiteral("Formula for %1 is not valid: %2").arg(cellName(row, col), e.message()));
    }
    setFormulaTokens(row, col, tokens, extra);
}

void Worksheet::setArrayFormula(const CellRange& range, const QString& text)
{
    checkCell(range.firstRow, range.firstCol);
    checkCell(range.lastRow, range.lastCol);
    if (range.firstRow > range.lastRow || range.firstCol > range.lastCol)
        throw Error(QStringLiteral("An array formula needs a range with its first cell first"));
    BookFormulaEnv env(m_book, m_book->indexOf(this));
    Bytes tokens, extra;
    try {
        tokens = parseFormula(text, &env, &extra, FormulaKind::Array);
    } catch (const Error& e) {
        throw Error(
            QStringLiteral("Array formula for %1:%2 is not valid: %3")
                .arg(cellName(range.firstRow, range.firstCol), cellName(range.lastRow, range.lastCol), e.message()));
    }
    if (tokens.size() > 1800)
        throw Error(QStringLiteral("The array formula is too long"));
    ByteWriter stub;
    stub.u8(0x01); // ptgExp naming the first cell
    stub.u16(static_cast<std::uint16_t>(range.firstRow));
    stub.u16(static_cast<std::uint16_t>(range.firstCol));
    for (int r = range.firstRow; r <= range.lastRow; ++r) {
        for (int c = range.firstCol; c <= range.lastCol; ++c) {
            Cell& cell = touch(r, c);
            cell.formula = true;
            cell.tokens = stub.data();
        }
    }
    m_cells[cellKey(range.firstRow, range.firstCol)].trailing.push_back(arrayRecord(range, tokens, extra));
    changed();
}

QString Worksheet::formulaText(int row, int col) const
{
    const Cell* c = cell(row, col);
    if (!c || !c->formula)
        return QString();
    BookFormulaEnv env(m_book, m_book->indexOf(this));
    try {
        int ar = 0, ac = 0;
        if (sharedFormulaAnchor(c->tokens, &ar, &ac)) {
            // an array formula shows as {=...} in every cell of its range
            const Cell* anchor = cell(ar, ac);
            ArrayGroup group;
            if (anchor && arrayGroupOf(*anchor, &group) && group.range.contains(row, col))
                return QStringLiteral("{=") + sheet::formulaText(group.rgce, &env, group.extra) + QLatin1Char('}');
        }
        if (dataTableAnchor(c->tokens, &ar, &ac)) {
            // a data table's cells show the table's input cells: {=TABLE(row input, column input)}
            const Cell* anchor = cell(ar, ac);
            DataTable table;
            if (anchor && dataTableOf(*anchor, &table)) {
                const QString rowCell = cellName(table.rowInputRow, table.rowInputCol);
                QString args;
                if (table.twoInputs)
                    args = rowCell + QLatin1Char(',') + cellName(table.colInputRow, table.colInputCol);
                else
                    args = table.rowInput ? rowCell + QLatin1Char(',') : QLatin1Char(',') + rowCell;
                return QStringLiteral("{=TABLE(") + args + QStringLiteral(")}");
            }
        }
        return QLatin1Char('=') + sheet::formulaText(c->tokens, &env, c->extra);
    } catch (const Error&) {
        return QString(); // tokens this engine cannot show (kept as they are)
    }
}

QString Worksheet::displayText(int row, int col, const QLocale& locale) const
{
    const Value v = value(row, col);
    if (v.isEmpty())
        return QString();
    const std::uint16_t xf = cellXf(row, col);
    const int ifmt = xf < m_book->xfCount() ? m_book->xf(xf).format : 0;
    // Custom codes come from the workbook; built-in ones (short date included) follow the locale.
    QString code;
    for (const auto& f : m_book->customFormats())
        if (f.first == ifmt)
            code = f.second;
    return formatCellValue(v, ifmt, code, locale);
}

void Worksheet::setInput(int row, int col, const QString& text, const QLocale& locale)
{
    checkCell(row, col);
    if (text.isEmpty()) {
        clearContents(row, col);
        return;
    }
    if (text.size() > 1 && text.startsWith(QLatin1Char('='))) {
        setFormula(row, col, text);
        return;
    }
    const std::uint16_t xf = cellXf(row, col);
    const QString code = m_book->xfNumberFormat(xf);
    const TypedInput typed = interpretTypedInput(text, locale, code);
    switch (typed.kind) {
    case TypedInput::Kind::Empty: clearContents(row, col); return;
    case TypedInput::Kind::Number: {
        setNumber(row, col, typed.number);
        // A date (or percentage...) typed into a General cell takes a matching format; a cell
        // with a format of its own keeps it.
        // Other writers store General as a custom format of its own: compare the code.
        if (typed.suggestedFormat >= 0 && isGeneralFormat(code))
            m_cells[cellKey(row, col)].xf = m_book->xfWithFormat(xf, static_cast<std::uint16_t>(typed.suggestedFormat));
        return;
    }
    case TypedInput::Kind::Bool: setBool(row, col, typed.boolean); return;
    case TypedInput::Kind::Text: setText(row, col, typed.text); return;
    }
}

void Worksheet::setDate(int row, int col, const QDate& date)
{
    checkCell(row, col);
    if (!date.isValid())
        throw Error(QStringLiteral("Invalid date"));
    double serial = dateToSerial(date);
    if (m_book->date1904())
        serial -= 1462;
    const std::uint16_t xf = cellXf(row, col);
    setNumber(row, col, serial);
    if (isGeneralFormat(m_book->xfNumberFormat(xf)))
        m_cells[cellKey(row, col)].xf = m_book->xfWithFormat(xf, 14);
}

} // namespace sheet
