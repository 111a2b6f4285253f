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
    // date, 9 or 10 after a percentage, 11 after a number typed with an exponent, 3 or 4
    // after one typed with group separators.
    int suggestedFormat = -1;
};

// Reads text as the spreadsheet reads a typed entry: numbers in the locale (decimal and group
// separators, sign, exponent, percent, surrounding blanks), dates in the locale's short-date
// order with "/", "-" or the locale's date separator (serials in the 1900 system), TRUE and
// FALSE, a fraction "3/8" or "5 3/8" when the cell's format is a fraction format; anything
// else is text, kept as typed (a leading apostrophe forces text and is dropped). A leading
// "=" is not special here: the caller decides about formulas.
TypedInput interpretTypedInput(const QString& text, const QLocale& locale, const QString& cellFormatCode);

} // namespace sheet
