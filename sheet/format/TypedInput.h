#pragma once

#include <QLocale>
#include <QString>

namespace sheet {

// What a text becomes when typed into a cell.
struct TypedInput {
    enum class Kind { Empty, Number, Bool, Text };
    Kind kind = Kind::Empty;
    double number = 0;
    bool boolean = false;
    QString text;
    // Built-in format to give the cell when its format is General (-1: keep it): 14 after a
    // date (15 to 17 for other date shapes, 18 to 22 for times), 9 or 10 after a percentage,
    // 11 after a number typed with an exponent, 3 or 4 after one typed with group separators,
    // 5 or 7 after an amount with a currency symbol, 12 or 13 after a mixed fraction.
    int suggestedFormat = -1;
};

// Reads text as the spreadsheet reads a typed entry:
// - numbers in the locale: decimal and group separators (groups of three), sign or
//   brackets, exponent, percent, the locale's currency symbol, surrounding blanks; 15
//   significant digits are kept;
// - dates in the locale's short-date order with "/", "-" or the locale's separator, 2- or
//   4-digit years (00-29 are 20xx), month names ("10-Jun-2004"), an optional time after
//   them; "3/8" without a year is a date in the current year, "6/2004" the first of a month;
// - times "18:00", "6:30:15", "6:00 PM" as fractions of a day;
// - fractions: "3/8" becomes 0.375 only in a cell with a fraction format (elsewhere it is the
//   date above); a mixed number "5 3/8" is 5.375 in any cell, since it cannot be a date;
// - TRUE and FALSE in any case;
// - anything else is text, kept as typed. A leading apostrophe forces text and is dropped;
//   a cell formatted "@" takes everything as text.
// A date written as m/d/yyyy reads as d/m/yyyy in a day-first locale: callers holding dates
// in a fixed order should type them in the locale's order (formatValue with
// localeShortDateCode) or set the serial. A leading "=" is not special here: the caller
// decides about formulas.
TypedInput interpretTypedInput(const QString& text, const QLocale& locale, const QString& cellFormatCode);

} // namespace sheet
