#include "charts/ChartData.h"

#include "format/NumberFormat.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"

#include <algorithm>
#include <cmath>

namespace sheet {

namespace {

// The cell at position `index` along a one-row or one-column range.
SheetRange cellAt(const SheetRange& r, int index)
{
    if (r.firstRow == r.lastRow && r.firstCol != r.lastCol)
        return SheetRange::cell(r.sheet, r.firstRow, r.firstCol + index);
    return SheetRange::cell(r.sheet, r.firstRow + index, r.firstCol);
}

int lengthOf(const SheetRange& r)
{
    if (!r.isSet())
        return 0;
    return r.firstRow == r.lastRow ? r.lastCol - r.firstCol + 1 : r.lastRow - r.firstRow + 1;
}

Value valueAt(const Workbook& book, const SheetRange& cell)
{
    const Worksheet* ws = book.worksheet(cell.sheet);
    if (!ws)
        return {};
    return ws->value(cell.firstRow, cell.firstCol);
}

QString codeFor(const Workbook& book, int ifmt)
{
    for (const auto& f : book.customFormats())
        if (f.first == ifmt)
            return f.second;
    return QString();
}

constexpr int kMaxChartPoints = 1'000'000;

bool holdsSomething(const Value& v) { return !v.isEmpty() && !(v.isString() && v.asString().isEmpty()); }

// A series' name and its values in `used` slots.
ChartSeriesData readSeries(const Workbook& book, const ChartSeries& s, int number, int used, const QLocale& locale)
{
    ChartSeriesData d;
    if (s.nameCell.isSet()) {
        if (const Worksheet* ws = book.worksheet(s.nameCell.sheet))
            d.name = ws->displayText(s.nameCell.firstRow, s.nameCell.firstCol, locale);
    } else {
        d.name = s.name;
    }
    if (d.name.isEmpty())
        d.name = QStringLiteral("Series%1").arg(number);
    d.name.replace(QLatin1Char('\n'), QLatin1Char(' '));
    d.values.resize(static_cast<std::size_t>(used));
    const int n = std::min(used, lengthOf(s.values));
    for (int i = 0; i < n; ++i) {
        const SheetRange cell = cellAt(s.values, i);
        const Value v = valueAt(book, cell);
        if (v.isNumber() && std::isfinite(v.asNumber())) {
            d.values[static_cast<std::size_t>(i)] = v.asNumber();
            if (!d.formatCell.isSet())
                d.formatCell = cell;
        }
    }
    return d;
}

// A scatter series' x values: the numbers of its category cells (NaN where one is empty), or
// 1, 2, 3... when any of them holds something else.
std::vector<double> xValues(const Workbook& book, const SheetRange& categories, int used)
{
    std::vector<double> x(static_cast<std::size_t>(used));
    bool numbers = categories.isSet();
    for (int i = 0; i < used && numbers; ++i) {
        const Value v = i < lengthOf(categories) ? valueAt(book, cellAt(categories, i)) : Value();
        if (v.isNumber() && std::isfinite(v.asNumber()))
            x[static_cast<std::size_t>(i)] = v.asNumber();
        else if (holdsSomething(v))
            numbers = false;
        else
            x[static_cast<std::size_t>(i)] = std::nan(""); // no x: no point
    }
    if (!numbers)
        for (int i = 0; i < used; ++i)
            x[static_cast<std::size_t>(i)] = i + 1;
    return x;
}

} // namespace

bool ChartData::hasValues() const
{
    for (const ChartSeriesData& s : series)
        for (const auto& v : s.values)
            if (v)
                return true;
    return false;
}

QString formatLikeCell(const Workbook& book, const SheetRange& cell, double value, const QLocale& locale)
{
    int ifmt = 0;
    if (const Worksheet* ws = cell.isSet() ? book.worksheet(cell.sheet) : nullptr) {
        const std::uint16_t xf = ws->cellXf(cell.firstRow, cell.firstCol);
        if (xf < book.xfCount())
            ifmt = book.xf(xf).format;
    }
    return formatCellValue(Value::number(value), ifmt, codeFor(book, ifmt), locale);
}

ChartData readChartData(const Workbook& book, const Chart& chart, const QLocale& locale)
{
    book.ensureCalculated();
    ChartData out;

    SheetRange categories;
    for (const ChartSeries& s : chart.series) {
        if (s.categories.isSet()) {
            categories = s.categories;
            break;
        }
    }

    // Slots: as many as the longest range, then trimmed to the last one holding anything. A
    // chart shows at most a million points in all (a column of 65,536 rows in each of 255
    // series would be gigabytes of nothing to see).
    int slotTotal = lengthOf(categories);
    for (const ChartSeries& s : chart.series)
        slotTotal = std::max(slotTotal, lengthOf(s.values));
    slotTotal = std::min<int>(slotTotal, kMaxChartPoints / std::max<int>(1, static_cast<int>(chart.series.size())));
    int used = 0;
    for (int i = slotTotal - 1; i >= 0 && used == 0; --i) {
        if (i < lengthOf(categories) && holdsSomething(valueAt(book, cellAt(categories, i))))
            used = i + 1;
        for (const ChartSeries& s : chart.series)
            if (i < lengthOf(s.values) && holdsSomething(valueAt(book, cellAt(s.values, i))))
                used = i + 1;
    }

    bool anyPrimary = false;
    for (const ChartSeries& s : chart.series)
        anyPrimary = anyPrimary || !s.secondaryAxis;

    out.categories.reserve(static_cast<std::size_t>(used));
    out.categoryNumbers.resize(static_cast<std::size_t>(used));
    for (int i = 0; i < used; ++i) {
        if (i >= lengthOf(categories)) {
            out.categories.push_back(QString::number(i + 1));
            continue;
        }
        const SheetRange cell = cellAt(categories, i);
        const Value v = valueAt(book, cell);
        if (v.isNumber() && std::isfinite(v.asNumber())) {
            out.categoryNumbers[static_cast<std::size_t>(i)] = v.asNumber();
            if (!out.categoryFormatCell.isSet())
                out.categoryFormatCell = cell;
        }
        QString label;
        if (v.isNumber() && chart.categoryNumberFormat != 0)
            label = formatCellValue(v, chart.categoryNumberFormat, codeFor(book, chart.categoryNumberFormat), locale);
        else if (const Worksheet* ws = book.worksheet(cell.sheet))
            label = ws->displayText(cell.firstRow, cell.firstCol, locale);
        out.categories.push_back(label);
    }

    int number = 0;
    for (const ChartSeries& s : chart.series) {
        ChartSeriesData d = readSeries(book, s, ++number, used, locale);
        d.secondaryAxis = anyPrimary && s.secondaryAxis;
        SheetRange& formatCell = d.secondaryAxis ? out.secondaryFormatCell : out.primaryFormatCell;
        if (!formatCell.isSet())
            formatCell = d.formatCell;
        if (chart.scatter)
            d.x = xValues(book, s.categories.isSet() ? s.categories : categories, used);
        out.series.push_back(std::move(d));
    }
    return out;
}

} // namespace sheet
