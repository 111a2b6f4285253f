#pragma once

#include "base/Value.h"

#include <QLocale>
#include <QString>

namespace sheet {

// The format code of a built-in number format index (the ones without a FORMAT record);
// empty for an index that has none. 0 is "General", 14 the short date.
QString builtinFormatCode(int ifmt);
// The built-in index whose code is exactly this one, or -1.
int builtinFormatIndex(const QString& code);

// The cell text as the spreadsheet shows it for a value in a format code, with the locale's
// decimal and group separators. Booleans read TRUE/FALSE, errors their text (#DIV/0!).
// Numbers round half away from zero on their 15 significant digits (1.005 in "0.00" is
// 1.01). Fractions pick the nearest fraction the denominator's digits allow; "# ?/?" shows
// 0.375 as "3/8", 5.375 as "5 3/8", and a whole number as "5    " with blanks where the
// fraction would stand (so digits line up when right-aligned); "?" pads with blanks. Dates
// use the locale's month and day names; serial 60 is the spreadsheet's 1900-02-29; dates
// out of range show "########".
QString formatValue(const Value& v, const QString& code, const QLocale& locale);

// As above for a cell whose XF names format index ifmt: the built-in short date (14) follows
// the locale's short-date order with a four-digit year; code is used when non-empty, else
// the built-in code of ifmt.
QString formatCellValue(const Value& v, int ifmt, const QString& code, const QLocale& locale);

// A number in the General format within maxChars characters (not counting a minus sign):
// rounded to fit, switching to E notation (1.23457E+11) when the digits cannot fit. The
// spreadsheet shows at most 11; a renderer may ask for fewer to fit a narrow column.
QString formatGeneral(double v, const QLocale& locale, int maxChars = 11);

// "General" under any index: LibreOffice writes it as a custom format (164) of its own.
bool isGeneralFormat(const QString& code);
bool isDateFormat(const QString& code);     // shows a number as a date or time
bool isFractionFormat(const QString& code); // "# ?/?", "# ??/??", "?/4" ...

// The locale's short-date picture in the spreadsheet's terms ("m/d/yyyy" for en_US,
// "dd.mm.yyyy" for de_DE): the order and separator of the locale, always a 4-digit year.
QString localeShortDateCode(const QLocale& locale);

} // namespace sheet
