#include "WorkbookImport.h"

#include "base/Error.h"
#include "format/DateSerial.h"
#include "format/NumberFormat.h"
#include "io/WorkbookFile.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"

namespace {

// The rows a header is looked for in.
constexpr int HeaderSearchRows = 50;

bool IsDateCell(const sheet::Workbook& book, const sheet::Worksheet& ws, int row, int col)
{
    const int xf = ws.cellXf(row, col);
    if (xf < 0 || xf >= book.xfCount())
        return false;
    return sheet::isDateFormat(book.numberFormat(book.xf(xf).format));
}

QString CellText(const sheet::Workbook& book, const sheet::Worksheet& ws, int row, int col)
{
    const sheet::Cell* cell = ws.cell(row, col);
    if (!cell || !ws.formulaText(row, col).isEmpty())
        return QString();
    const sheet::Value value = ws.value(row, col);
    if (value.isNumber()) {
        if (IsDateCell(book, ws, row, col)) {
            const QDate date = sheet::serialToDate(value.asNumber());
            if (date.isValid())
                return date.toString(Qt::ISODate);
        }
        return QString::number(value.asNumber(), 'g', 15);
    }
    if (value.type() == sheet::Value::Type::String)
        return value.asString();
    return QString();
}

// The row of the first worksheet whose first used cell reads "Date", looking at the sheet
// named "Data" first.
bool FindHeader(const sheet::Workbook& book, int* sheetIndex, int* headerRow)
{
    QList<int> order;
    for (int i = 0; i < book.sheetCount(); ++i) {
        if (book.worksheet(i))
            book.sheet(i).name() == QLatin1String("Data") ? order.prepend(i) : order.append(i);
    }
    for (const int i : order) {
        const sheet::Worksheet& ws = *book.worksheet(i);
        const auto used = ws.usedRange();
        if (!used)
            continue;
        for (int row = used->firstRow; row <= used->lastRow && row < HeaderSearchRows; ++row) {
            if (ws.value(row, 0).type() == sheet::Value::Type::String
                && ws.value(row, 0).asString().trimmed().compare(QLatin1String("Date"), Qt::CaseInsensitive) == 0) {
                *sheetIndex = i;
                *headerRow = row;
                return true;
            }
        }
    }
    return false;
}

} // namespace

bool IsWorkbookBytes(const QByteArray& bytes) { return bytes.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"); }

bool IsZipBytes(const QByteArray& bytes) { return bytes.startsWith("PK\x03\x04"); }

ImportTable ReadWorkbookTable(const QByteArray& bytes)
{
    std::unique_ptr<sheet::Workbook> book;
    try {
        book = sheet::workbookFromBytes(sheet::Bytes(bytes.begin(), bytes.end()));
        book->ensureCalculated();
    } catch (const sheet::Error& e) {
        throw ImportRefused(QStringLiteral("This workbook cannot be read: %1. Nothing was imported.").arg(e.message()));
    }
    int sheetIndex = -1;
    int headerRow = -1;
    if (!FindHeader(*book, &sheetIndex, &headerRow))
        throw ImportRefused(QStringLiteral("This workbook has no sheet with a \"Date\" column, as the workbooks "
                                           "Kalmora saves have. Nothing was imported."));
    const sheet::Worksheet& ws = *book->worksheet(sheetIndex);
    const auto used = ws.usedRange();
    ImportTable table;
    table.fromWorkbook = true;
    for (int row = headerRow; row <= used->lastRow; ++row) {
        ImportRow line;
        line.line = row + 1;
        bool blank = true;
        for (int col = 0; col <= used->lastCol; ++col) {
            line.cells.append(CellText(*book, ws, row, col));
            blank = blank && line.cells.back().isEmpty();
        }
        if (blank)
            continue;
        table.rows.append(std::move(line));
        if (table.rows.size() > ImportRowLimit + 1)
            throw ImportRefused(TooLargeMessage());
    }
    return table;
}

ImportTable ReadImportFile(const QString& path)
{
    const QByteArray bytes = ReadImportBytes(path);
    if (IsWorkbookBytes(bytes))
        return ReadWorkbookTable(bytes);
    if (IsZipBytes(bytes))
        throw ImportRefused(QStringLiteral("This is a workbook of a newer kind (such as .xlsx or .ods), which Kalmora "
                                           "does not read. Please save it as CSV and import that. Nothing was "
                                           "imported."));
    const QString text = DecodeImportText(bytes);
    return SplitDelimited(text, DetectDelimiter(text));
}
