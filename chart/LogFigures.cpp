#include "LogFigures.h"

#include "EntryDate.h"
#include "TemplateDefinitions.h"

#include "model/Workbook.h"
#include "model/Worksheet.h"

#include <QLocale>

namespace {

// The template's headers of the four computed columns, in the order of ComputedFigures.
const QStringList& FigureHeaders()
{
    static const QStringList headers = {
        QStringLiteral("Estimated Lean Body Weight"),
        QStringLiteral("Estimated Body Fat Weight"),
        QStringLiteral("Estimated Body Fat Percentage"),
        QStringLiteral("Estimated Body Mass Index (BMI)"),
    };
    return headers;
}

void FillEntry(sheet::Worksheet& ws, const kalmora::TemplateDefinition& d, int row, const LogEntry& entry)
{
    for (int c = 0; c < d.dataColumns && c < entry.size(); ++c) {
        const QDate date = c == 0 ? ParseEntryDate(entry.at(c)) : QDate();
        if (date.isValid())
            ws.setDate(row, c, date);
        else
            ws.setInput(row, c, entry.at(c), QLocale::c());
    }
    for (int k = 0; k < d.formulas.size(); ++k)
        ws.setFormula(row, d.formulaColumn(k), d.formulaForRow(k, row));
}

} // namespace

QList<ComputedFigures> ComputeLogFigures(bool imperial, const QString& height1, const QString& height2,
                                         const QList<LogEntry>& entries)
{
    const kalmora::TemplateDefinition& d
        = kalmora::templateDefinition(imperial ? kalmora::kImperialTemplate : kalmora::kMetricTemplate);
    sheet::Workbook book;
    sheet::Worksheet& ws = *book.worksheet(book.addWorksheet(d.dataSheetName));
    ws.setInput(1, d.heightColumn, height1, QLocale::c());
    ws.setInput(2, d.heightColumn, height2, QLocale::c());
    for (int i = 0; i < entries.size(); ++i)
        FillEntry(ws, d, d.firstDataRow + i, entries.at(i));
    book.recalculate();

    QList<int> columns;
    for (const QString& header : FigureHeaders())
        columns.append(static_cast<int>(d.headers.indexOf(header)));
    QList<ComputedFigures> figures;
    figures.reserve(entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        ComputedFigures row;
        for (std::size_t k = 0; k < row.size(); ++k) {
            const int column = columns.at(static_cast<int>(k));
            const sheet::Value value = column >= 0 ? ws.value(d.firstDataRow + i, column) : sheet::Value();
            if (value.isNumber())
                row[k] = value.asNumber();
        }
        figures.append(row);
    }
    return figures;
}
