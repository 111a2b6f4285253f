// libFuzzer entry for the workbook reader: any input must end in a workbook or a
// sheet::Error, never a crash, a hang or unbounded memory. The first byte picks the layer:
// odd feeds the rest to the BIFF8 stream reader directly (past the container), even to the
// compound file reader. Seeds include Excel's own files with defined names, runs of sheets,
// shared and array formulas, data tables, other workbooks' cached values and a macro sheet
// (fuzz-seeds/excel-*).
#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "io/WorkbookFile.h"

#include <cstddef>
#include <cstdint>

namespace {

// Everything a user sees of the formulas: the text of each cell's formula (array formulas,
// data tables) and of each name.
void showFormulas(const sheet::Workbook& book)
{
    for (int s = 0; s < book.sheetCount(); ++s)
        if (const sheet::Worksheet* ws = book.worksheet(s))
            for (const auto& kv : ws->cells())
                if (kv.second.isFormula())
                    ws->formulaText(sheet::keyRow(kv.first), sheet::keyCol(kv.first));
    for (int i = 0; i < book.nameCount(); ++i)
        book.nameFormula(i);
}

// New formulas over what was read: a name, a run of sheets, an array formula.
void addFormulas(sheet::Workbook& book)
{
    sheet::Worksheet* ws = nullptr;
    int first = -1;
    for (int s = 0; s < book.sheetCount() && !ws; ++s)
        if ((ws = book.worksheet(s)))
            first = s;
    if (!ws)
        return;
    const QString span = book.sheet(first).name() + QLatin1Char(':') + book.sheet(book.sheetCount() - 1).name();
    try {
        book.defineName(QStringLiteral("FuzzTotal"), QStringLiteral("=SUM('%1'!$A$1:$B$3)").arg(span));
    } catch (const sheet::Error&) {
    }
    try {
        ws->setFormula(0, 200, QStringLiteral("=FuzzTotal*2+SUM('%1'!A1)").arg(span));
    } catch (const sheet::Error&) {
    }
    try {
        ws->setArrayFormula(sheet::CellRange{0, 201, 2, 202}, QStringLiteral("=A1:B3*2"));
    } catch (const sheet::Error&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const sheet::Bytes bytes(data + 1, data + size);
    try {
        auto book = (data[0] & 1) ? sheet::workbookFromStream(bytes) : sheet::workbookFromBytes(bytes);
        // What was read must also show, recalculate, take new formulas, write and read back.
        showFormulas(*book);
        book->recalculate();
        addFormulas(*book);
        book->recalculate();
        const sheet::Bytes again = sheet::workbookToStream(*book);
        auto back = sheet::workbookFromStream(again);
        showFormulas(*back);
    } catch (const sheet::Error&) {
    }
    return 0;
}
