#pragma once

// Workbooks for the chart renderer's tests: a data sheet and line charts on it.

#include "charts/Chart.h"
#include "charts/ChartData.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"

#include <QDate>
#include <QLocale>

#include <cmath>
#include <initializer_list>
#include <memory>

#include <ostream>

// Test failures show texts as text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace sheet::charttest {

constexpr PaletteIndex kRed = 0x0A;  // FF0000
constexpr PaletteIndex kBlue = 0x0C; // 0000FF

// A data sheet (dates in A from row 2, series in B, C... with names in row 1) and charts on it.
struct Book {
    Book()
        : book(std::make_unique<Workbook>())
    {
        data = book->addWorksheet(QStringLiteral("Data"));
        ws().setText(0, 0, QStringLiteral("Date"));
        ws().setText(0, 1, QStringLiteral("Weight"));
        ws().setText(0, 2, QStringLiteral("BMI"));
    }
    Worksheet& ws() { return *book->worksheet(data); }

    // Row i (0-based entry) gets a date and the given values; NaN leaves a cell empty.
    void entry(int i, std::initializer_list<double> values) { entryOn(i, QDate(2004, 6, 10).addDays(7 * i), values); }
    void entryOn(int i, const QDate& date, std::initializer_list<double> values)
    {
        ws().setDate(1 + i, 0, date);
        int col = 1;
        for (double v : values) {
            if (!std::isnan(v))
                ws().setNumber(1 + i, col, v);
            ++col;
        }
    }

    // A line chart over rows 2..rows+1 of the given columns; no legend or title, so the
    // only coloured pixels are the series'.
    Chart chart(std::initializer_list<int> columns, int rows)
    {
        Chart c;
        c.legend = false;
        c.valueGridlines = false;
        int k = 0;
        for (int col : columns) {
            ChartSeries s;
            s.values = SheetRange::column(data, col, 1, rows);
            s.categories = SheetRange::column(data, 0, 1, rows);
            s.nameCell = SheetRange::cell(data, 0, col);
            s.colour = k == 0 ? kRed : kBlue;
            s.marker = ChartMarker::None;
            s.weight = ChartLineWeight::Medium;
            c.series.push_back(s);
            ++k;
        }
        return c;
    }

    int add(const Chart& c)
    {
        return book->addChartSheet(QStringLiteral("Chart %1").arg(book->sheetCount()),
                                   writeChartSheetBody(c, [&](int s) { return book->externSheetIndex(s); }));
    }

    ChartData dataOf(const Chart& c) const
    {
        return readChartData(*book, c, QLocale(QLocale::English, QLocale::UnitedStates));
    }

    std::unique_ptr<Workbook> book;
    int data = 0;
};

} // namespace sheet::charttest
