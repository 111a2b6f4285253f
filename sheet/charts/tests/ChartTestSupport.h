#pragma once

#include "charts/Chart.h"

#include <QString>
#include <string>

namespace sheet::charttest {

// The three-series-plus-secondary chart most tests start from: values in columns B..E of
// sheet 0, rows 6..31, names in row 5, dates in column A.
inline Chart sampleChart()
{
    Chart c;
    c.title = QStringLiteral("Weight and BMI");
    c.valueAxisTitle = QStringLiteral("Pounds");
    c.secondaryValueAxisTitle = QStringLiteral("BMI");
    c.fonts = {6, 7, 5, 5, 280, 220, 180, 180};
    c.categoryNumberFormat = 14;
    for (int col = 1; col <= 3; ++col) {
        ChartSeries s;
        s.values = SheetRange::column(0, col, 5, 30);
        s.categories = SheetRange::column(0, 0, 5, 30);
        s.nameCell = SheetRange::cell(0, 4, col);
        s.colour = static_cast<PaletteIndex>(0x0C + col);
        s.marker = static_cast<ChartMarker>(col);
        c.series.push_back(s);
    }
    c.series.back().secondaryAxis = true;
    return c;
}

inline std::string hex(const Bytes& b)
{
    std::string out;
    static const char* digits = "0123456789ABCDEF";
    for (std::size_t i = 0; i < b.size(); ++i) {
        if (i)
            out += ' ';
        out += digits[b[i] >> 4];
        out += digits[b[i] & 15];
    }
    return out;
}

} // namespace sheet::charttest
