#pragma once

#include "ImportText.h"
#include "StoredLog.h"

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

// What the rows of a file to import mean for a log: which column holds which field, how dates
// and numbers are written, in which units; and the entries that come out of them.

// Entry fields a column can fill (the positions of LogEntry), or none.
namespace ImportField {
constexpr int None = -1;
constexpr int Date = 0;
constexpr int Weight = 1;
constexpr int Chest = 2;
constexpr int Waist = 3;
constexpr int Hips = 4;
constexpr int Wrist = 5;
constexpr int Forearm = 6;
} // namespace ImportField

// The fields of a log, in order: "Date", "Weight", "Chest", "Waist", "Hips" and, for the
// metric log, "Wrist", "Forearm".
QStringList ImportFieldNames(bool imperial);

enum class DateOrder { MonthFirst, DayFirst };
enum class WeightUnit { Kilograms, Pounds };
enum class LengthUnit { Centimetres, Inches };

// How to read a table. Detected from the file, and changed by the user in the mapping dialog.
struct ImportLayout {
    bool header = false;                         // the first row names the columns
    QList<int> fields;                           // per column: an ImportField
    DateOrder dateOrder = DateOrder::MonthFirst; // for dates that are not year first
    QChar decimal = u'.';                        // '.' or ','
    WeightUnit weightUnit = WeightUnit::Pounds;
    LengthUnit lengthUnit = LengthUnit::Inches;
    // A layout the program knows (its own export, a plain date and weight file): it needs no
    // question.
    bool known = false;

    int columnOf(int field) const { return static_cast<int>(fields.indexOf(field)); }
};

// The layout a table most likely has, for the imperial or the metric log; dates that read
// either way are taken in the order of `locale`.
ImportLayout DetectLayout(const ImportTable& table, bool imperial, const QLocale& locale = QLocale());

// Why a layout cannot import anything (no date column, no measurement, a field given to two
// columns), or an empty text.
QString LayoutProblem(const ImportLayout& layout, bool imperial);

// The date a text names: year first (ISO 8601, with or without a time), else day and month in
// the given order; a year of two digits is 1930 to 2029. A time of day is ignored.
std::optional<QDate> ReadImportDate(const QString& text, DateOrder order);

// A number written with the given decimal separator (no thousands separators), possibly
// followed by a unit ("80.5 kg"); the unit is returned in *unit when given ("kg", "lb",
// "cm", "in"), else left empty.
std::optional<double> ReadImportNumber(const QString& text, QChar decimal, QString* unit = nullptr);

struct RejectedRow {
    int line = 0;
    QString reason;
};

struct ImportResult {
    QList<LogEntry> entries; // in stored form, one field per field of the log
    QList<RejectedRow> rejected;
    QList<int> unlikelyLines; // rows imported with a value far outside human range
};

// The entries of the table's rows read with the layout. Rows whose date or a number cannot be
// read are left out and listed with their lines. Values are converted to the log's units.
ImportResult ConvertImport(const ImportTable& table, const ImportLayout& layout, bool imperial);

// Whether a value of a field (in the log's units) lies far outside what a person measures:
// a weight over 1,000 lb or 450 kg or under 20 lb or 9 kg, a circumference over 100 in or
// 250 cm or under 2 in or 5 cm.
bool LooksUnlikely(int field, double value, bool imperial);

// What happens to an imported entry on a date the log already has.
enum class SameDate { Skip, Replace, KeepBoth };

// How many imported entries fall on a date the log already has.
int CountSameDates(const QList<LogEntry>& existing, const QList<LogEntry>& imported);

// The log after the import: imported entries on new dates are appended in the file's order.
// Those on a date the log has are dropped (Skip), take the place of the log's entries of that
// date (Replace, at the first one's position), or are appended as well (KeepBoth).
QList<LogEntry> MergeImport(const QList<LogEntry>& existing, const QList<LogEntry>& imported, SameDate rule);

// The rejected rows as the user reads them: one line each, at most `limit` lines, then how
// many more.
QString DescribeRejected(const QList<RejectedRow>& rejected, int limit = 10);
