#include "charts/ChartLabels.h"

#include "format/NumberFormat.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"

#include <cmath>

namespace sheet {

namespace {

constexpr int kShortDate = 14;

QString customCode(const Workbook& book, int ifmt)
{
    for (const auto& f : book.customFormats())
        if (f.first == ifmt)
            return f.second;
    return QString();
}

// Ticks are sums of the unit: snap away the rounding noise before formatting.
double snapped(double v, double major)
{
    if (major > 0) {
        const double steps = std::round(v / major);
        if (std::fabs(v - steps * major) < major * 1e-9)
            v = steps * major;
        if (std::fabs(v) < major * 1e-9)
            v = 0;
    }
    return v;
}

// Where the digits of one section end: after its last digit placeholder outside quotes,
// escapes, brackets and an exponent; -1 when it has none. `point` says whether a decimal
// point comes before it.
int lastDigitEnd(const QString& section, bool* point)
{
    int end = -1;
    *point = false;
    bool exponent = false;
    for (int i = 0; i < section.size(); ++i) {
        const QChar c = section[i];
        if (c == QLatin1Char('"')) {
            i = section.indexOf(QLatin1Char('"'), i + 1);
            if (i < 0)
                break;
        } else if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*')) {
            ++i; // the next character is literal, a width or a fill
        } else if (c == QLatin1Char('[')) {
            i = section.indexOf(QLatin1Char(']'), i + 1);
            if (i < 0)
                break;
        } else if (c == QLatin1Char('E') || c == QLatin1Char('e')) {
            exponent = true;
        } else if (c == QLatin1Char('.') && !exponent) {
            *point = true;
        } else if ((c == QLatin1Char('0') || c == QLatin1Char('#') || c == QLatin1Char('?')) && !exponent) {
            end = i + 1;
        }
    }
    return end;
}

// The decimals the first section of `code` shows, and the factor its percent signs scale
// a number by.
int decimalsOf(const QString& code, double* scale)
{
    const QString section = code.section(QLatin1Char(';'), 0, 0);
    bool point = false;
    const int end = lastDigitEnd(section, &point);
    int decimals = 0;
    *scale = 1;
    for (int i = 0; i < section.size(); ++i) {
        const QChar c = section[i];
        if (c == QLatin1Char('"')) {
            const int close = section.indexOf(QLatin1Char('"'), i + 1);
            i = close < 0 ? section.size() : close;
        } else if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*')) {
            ++i;
        } else if (c == QLatin1Char('%')) {
            *scale *= 100;
        }
    }
    if (point) {
        const int dot = section.lastIndexOf(QLatin1Char('.'), end);
        for (int i = dot + 1; i < end; ++i)
            if (section[i] == QLatin1Char('0') || section[i] == QLatin1Char('#') || section[i] == QLatin1Char('?'))
                ++decimals;
    }
    return decimals;
}

// The fewest decimals that write every multiple of `step` exactly (0.25: 2), at most 10.
int decimalsFor(double step)
{
    for (int d = 0; d < 10; ++d) {
        const double scaled = step * std::pow(10.0, d);
        if (std::fabs(scaled - std::round(scaled)) < 1e-6 * std::max(1.0, scaled))
            return d;
    }
    return 10;
}

} // namespace

QString LabelFormat::code() const { return custom.isEmpty() ? builtinFormatCode(index) : custom; }

QString LabelFormat::format(double value, const QLocale& locale) const
{
    return formatCellValue(Value::number(value), index, custom, locale);
}

LabelFormat cellLabelFormat(const Workbook& book, const SheetRange& cell)
{
    LabelFormat f;
    if (const Worksheet* ws = cell.isSet() ? book.worksheet(cell.sheet) : nullptr) {
        const std::uint16_t xf = ws->cellXf(cell.firstRow, cell.firstCol);
        if (xf < book.xfCount())
            f.index = book.xf(xf).format;
    }
    f.custom = customCode(book, f.index);
    return f;
}

QString withMoreDecimals(const QString& code, int extra)
{
    if (extra <= 0 || isGeneralFormat(code) || isDateFormat(code) || isFractionFormat(code))
        return code;
    QStringList sections = code.split(QLatin1Char(';'));
    for (QString& section : sections) {
        bool point = false;
        const int end = lastDigitEnd(section, &point);
        if (end < 0)
            continue;
        section.insert(end, (point ? QString() : QStringLiteral(".")) + QString(extra, QLatin1Char('0')));
    }
    return sections.join(QLatin1Char(';'));
}

std::vector<QString> valueAxisLabels(const Workbook& book, const SheetRange& formatCell,
                                     const std::vector<double>& ticks, double major, const QLocale& locale)
{
    const LabelFormat format = cellLabelFormat(book, formatCell);
    auto labelsIn = [&](const LabelFormat& f) {
        std::vector<QString> out;
        out.reserve(ticks.size());
        for (double v : ticks)
            out.push_back(f.format(snapped(v, major), locale));
        return out;
    };
    auto distinct = [](const std::vector<QString>& labels) {
        for (std::size_t i = 1; i < labels.size(); ++i)
            if (labels[i] == labels[i - 1])
                return false;
        return true;
    };
    std::vector<QString> labels = labelsIn(format);
    if (distinct(labels))
        return labels;
    // As many decimals as the step needs, more if that still does not tell them apart.
    double scale = 1;
    const int shown = decimalsOf(format.code(), &scale);
    for (int extra = std::max(1, decimalsFor(major * scale) - shown); extra <= 10 && !distinct(labels); ++extra) {
        const QString code = withMoreDecimals(format.code(), extra);
        if (code == format.code())
            break;
        labels = labelsIn(LabelFormat{-1, code});
    }
    return labels;
}

LabelFormat dateAxisLabelFormat(const Workbook& book, const Chart& chart, const SheetRange& categoryCell)
{
    if (chart.categoryNumberFormat != 0)
        return LabelFormat{chart.categoryNumberFormat, customCode(book, chart.categoryNumberFormat)};
    const LabelFormat cells = cellLabelFormat(book, categoryCell);
    if (cells.index == kShortDate || isDateFormat(cells.code()))
        return cells;
    return LabelFormat{kShortDate, QString()};
}

} // namespace sheet
