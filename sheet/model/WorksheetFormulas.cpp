// Formula text and typed input on worksheet cells.
#include "model/Worksheet.h"
#include "formula/DateSerial.h"

#include "model/Workbook.h"
#include "formula/Formula.h"
#include "formula/NumberFormat.h"
#include "formula/TypedInput.h"

namespace sheet {

namespace {

// Sheet names in 3-D references resolve through the workbook's EXTERNSHEET table.
class BookFormulaEnv : public FormulaEnv {
public:
    explicit BookFormulaEnv(Workbook* book) : m_book(book) {}
    int ixtiForSheet(const QString& sheetName) const override
    {
        const int index = m_book->sheetIndex(sheetName);
        return index < 0 ? -1 : m_book->externSheetIndex(index);
    }
    QString sheetForIxti(int ixti) const override
    {
        if (ixti < 0 || ixti > 0xFFFF)
            return QString();
        const int index = m_book->sheetForExternSheetIndex(static_cast<std::uint16_t>(ixti));
        return index < 0 ? QString() : m_book->sheet(index).name();
    }

private:
    Workbook* m_book;
};

} // namespace

void Worksheet::setFormula(int row, int col, const QString& text)
{
    checkCell(row, col);
    BookFormulaEnv env(m_book);
    Bytes tokens;
    try {
        tokens = parseFormula(text, &env);
    } catch (const Error& e) {
        throw Error(QStringLiteral("Formula for %1 is not valid: %2").arg(cellName(row, col), e.message()));
    }
    setFormulaTokens(row, col, tokens);
}

QString Worksheet::formulaText(int row, int col) const
{
    const Cell* c = cell(row, col);
    if (!c || !c->formula)
        return QString();
    BookFormulaEnv env(m_book);
    try {
        return QLatin1Char('=') + sheet::formulaText(c->tokens, &env);
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
            m_cells[cellKey(row, col)].xf =
                m_book->xfWithFormat(xf, static_cast<std::uint16_t>(typed.suggestedFormat));
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
