#pragma once
// A template filled with entries as generation fills it, for the trend tests.

#include "TemplateDefinitions.h"
#include "TrendReference.h"

#include "model/Workbook.h"
#include "model/Worksheet.h"

#include <memory>

namespace trendref {

using kalmora::TemplateDefinition;

constexpr int kJune10 = 38148; // 6/10/2004

struct Filled {
    std::unique_ptr<sheet::Workbook> book;
    const TemplateDefinition* def = nullptr;
    sheet::Worksheet* data = nullptr;
};

// The template with the entries written in their rows, the rest emptied, as generation does.
inline Filled Fill(int id, const std::vector<Entry>& entries, std::optional<double> goal)
{
    Filled f;
    f.def = &kalmora::templateDefinition(id);
    f.book = kalmora::buildTemplateWorkbook(id);
    const TemplateDefinition& d = *f.def;
    const int n = static_cast<int>(entries.size());
    kalmora::extendDataRows(*f.book, id, n);
    f.data = f.book->worksheet(0);
    int dated = 0;
    for (int i = 0; i < n; ++i) {
        const Entry& e = entries[static_cast<std::size_t>(i)];
        const int row = d.firstDataRow + i;
        if (e.day) {
            f.data->setNumber(row, 0, *e.day);
            ++dated;
        } else {
            f.data->setText(row, 0, QStringLiteral("someday"));
        }
        for (int c = 1; c < d.dataColumns; ++c)
            f.data->clearContents(row, c);
        if (e.weight)
            f.data->setNumber(row, 1, *e.weight);
    }
    for (int row = d.firstDataRow + n; row <= d.lastDataRow(); ++row)
        for (int c = 0; c < d.columnCount(); ++c)
            f.data->clearContents(row, c);
    if (goal)
        f.data->setNumber(d.goalRow, d.heightColumn, *goal);
    else
        f.data->clearContents(d.goalRow, d.heightColumn);
    kalmora::fitToEntries(*f.book, id, n, dated, goal.has_value());
    f.book->recalculate();
    return f;
}

} // namespace trendref
