#include "LogImport.h"

#include "EntryDate.h"
#include "LogExport.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <charconv>
#include <cmath>
#include <string>

namespace {

// Rows looked at to guess which column holds what.
constexpr int SampleRows = 200;

constexpr double KilogramsPerPound = 0.45359237;
constexpr double CentimetresPerInch = 2.54;

enum class UnitKind { None, Weight, Length };

struct Unit {
    UnitKind kind = UnitKind::None;
    WeightUnit weight = WeightUnit::Kilograms;
    LengthUnit length = LengthUnit::Centimetres;
};

Unit UnitOfWord(const QString& word)
{
    static const QHash<QString, Unit> units = {
        {QStringLiteral("kg"), {UnitKind::Weight, WeightUnit::Kilograms, {}}},
        {QStringLiteral("kgs"), {UnitKind::Weight, WeightUnit::Kilograms, {}}},
        {QStringLiteral("kilo"), {UnitKind::Weight, WeightUnit::Kilograms, {}}},
        {QStringLiteral("kilos"), {UnitKind::Weight, WeightUnit::Kilograms, {}}},
        {QStringLiteral("kilogram"), {UnitKind::Weight, WeightUnit::Kilograms, {}}},
        {QStringLiteral("kilograms"), {UnitKind::Weight, WeightUnit::Kilograms, {}}},
        {QStringLiteral("lb"), {UnitKind::Weight, WeightUnit::Pounds, {}}},
        {QStringLiteral("lbs"), {UnitKind::Weight, WeightUnit::Pounds, {}}},
        {QStringLiteral("pound"), {UnitKind::Weight, WeightUnit::Pounds, {}}},
        {QStringLiteral("pounds"), {UnitKind::Weight, WeightUnit::Pounds, {}}},
        {QStringLiteral("cm"), {UnitKind::Length, {}, LengthUnit::Centimetres}},
        {QStringLiteral("centimetre"), {UnitKind::Length, {}, LengthUnit::Centimetres}},
        {QStringLiteral("centimetres"), {UnitKind::Length, {}, LengthUnit::Centimetres}},
        {QStringLiteral("centimeter"), {UnitKind::Length, {}, LengthUnit::Centimetres}},
        {QStringLiteral("centimeters"), {UnitKind::Length, {}, LengthUnit::Centimetres}},
        {QStringLiteral("in"), {UnitKind::Length, {}, LengthUnit::Inches}},
        {QStringLiteral("inch"), {UnitKind::Length, {}, LengthUnit::Inches}},
        {QStringLiteral("inches"), {UnitKind::Length, {}, LengthUnit::Inches}},
    };
    return units.value(word.toLower());
}

// What a column header names: a field, and the unit it gives, if any.
struct HeaderMeaning {
    int field = ImportField::None;
    Unit unit;
};

HeaderMeaning ReadHeader(const QString& header)
{
    // Names as other programs and people write them; the units in a header are read apart.
    static const QHash<QString, int> names = {
        {QStringLiteral("date"), ImportField::Date},         {QStringLiteral("day"), ImportField::Date},
        {QStringLiteral("datum"), ImportField::Date},        {QStringLiteral("time"), ImportField::Date},
        {QStringLiteral("timestamp"), ImportField::Date},    {QStringLiteral("datetime"), ImportField::Date},
        {QStringLiteral("date time"), ImportField::Date},    {QStringLiteral("measurement date"), ImportField::Date},
        {QStringLiteral("weight"), ImportField::Weight},     {QStringLiteral("body weight"), ImportField::Weight},
        {QStringLiteral("bodyweight"), ImportField::Weight}, {QStringLiteral("mass"), ImportField::Weight},
        {QStringLiteral("gewicht"), ImportField::Weight},    {QStringLiteral("chest"), ImportField::Chest},
        {QStringLiteral("brust"), ImportField::Chest},       {QStringLiteral("taille"), ImportField::Waist},
        {QStringLiteral("hüfte"), ImportField::Hips},        {QStringLiteral("bust"), ImportField::Chest},
        {QStringLiteral("waist"), ImportField::Waist},       {QStringLiteral("hips"), ImportField::Hips},
        {QStringLiteral("hip"), ImportField::Hips},          {QStringLiteral("wrist"), ImportField::Wrist},
        {QStringLiteral("forearm"), ImportField::Forearm},
    };
    static const QRegularExpression words(QStringLiteral("[^\\p{L}\\p{N}]+"));
    HeaderMeaning meaning;
    QStringList nameWords;
    for (const QString& word : header.toLower().split(words, Qt::SkipEmptyParts)) {
        const Unit unit = UnitOfWord(word);
        if (unit.kind != UnitKind::None)
            meaning.unit = unit;
        else
            nameWords.append(word);
    }
    meaning.field = names.value(nameWords.join(QLatin1Char(' ')), ImportField::None);
    return meaning;
}

QString Cell(const ImportRow& row, int column)
{
    return column >= 0 && column < row.cells.size() ? row.cells.at(column).trimmed() : QString();
}

bool ReadsAsDate(const QString& text)
{
    return ReadImportDate(text, DateOrder::MonthFirst) || ReadImportDate(text, DateOrder::DayFirst);
}

bool ReadsAsNumber(const QString& text)
{
    return ReadImportNumber(text, u'.').has_value() || ReadImportNumber(text, u',').has_value();
}

bool LooksLikeHeader(const ImportRow& row)
{
    for (const QString& raw : row.cells) {
        const QString text = raw.trimmed();
        if (!text.isEmpty() && !ReadsAsDate(text) && !ReadsAsNumber(text))
            return true;
    }
    return false;
}

int ColumnCount(const QList<ImportRow>& rows)
{
    int columns = 0;
    for (const ImportRow& row : rows)
        columns = std::max(columns, static_cast<int>(row.cells.size()));
    return columns;
}

// The share of non-empty sample cells of a column that `reads`.
double Share(const QList<ImportRow>& rows, int column, bool (*reads)(const QString&))
{
    int filled = 0;
    int read = 0;
    for (int i = 0; i < rows.size() && i < SampleRows; ++i) {
        const QString text = Cell(rows.at(i), column);
        if (text.isEmpty())
            continue;
        ++filled;
        read += reads(text) ? 1 : 0;
    }
    return filled == 0 ? 0 : static_cast<double>(read) / filled;
}

DateOrder LocaleDateOrder(const QLocale& locale)
{
    if (locale.language() == QLocale::C)
        return DateOrder::MonthFirst;
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    const qsizetype day = format.indexOf(QLatin1Char('d'));
    const qsizetype month = format.indexOf(QLatin1Char('M'));
    return day >= 0 && month >= 0 && day < month ? DateOrder::DayFirst : DateOrder::MonthFirst;
}

// Day or month first, from dates whose first or second number is above 12.
DateOrder DetectDateOrder(const QList<ImportRow>& rows, int column, const QLocale& locale)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,2})[./-](\\d{1,2})[./-]\\d"));
    int dayFirst = 0;
    int monthFirst = 0;
    for (const ImportRow& row : rows) {
        const QRegularExpressionMatch m = pattern.match(Cell(row, column));
        if (!m.hasMatch())
            continue;
        const int first = m.capturedView(1).toInt();
        const int second = m.capturedView(2).toInt();
        if (first > 12 && second <= 12)
            ++dayFirst;
        else if (second > 12 && first <= 12)
            ++monthFirst;
    }
    if (dayFirst != monthFirst)
        return dayFirst > monthFirst ? DateOrder::DayFirst : DateOrder::MonthFirst;
    return LocaleDateOrder(locale);
}

QChar DetectDecimal(const QList<ImportRow>& rows, const ImportLayout& layout)
{
    static const QRegularExpression comma(QStringLiteral("^[-+]?\\d*,\\d+\\s*\\p{L}*$"));
    static const QRegularExpression point(QStringLiteral("^[-+]?\\d*\\.\\d+\\s*\\p{L}*$"));
    int commas = 0;
    int points = 0;
    for (const ImportRow& row : rows) {
        for (int column = 0; column < layout.fields.size(); ++column) {
            if (layout.fields.at(column) == ImportField::Date)
                continue;
            const QString text = Cell(row, column);
            commas += comma.match(text).hasMatch() ? 1 : 0;
            points += point.match(text).hasMatch() ? 1 : 0;
        }
    }
    return commas > 0 && points == 0 ? u',' : u'.';
}

bool IsOwnExportHeader(const ImportRow& row)
{
    QStringList cells;
    for (const QString& cell : row.cells)
        cells.append(cell.trimmed());
    return cells == ExportHeader(true) || cells == ExportHeader(false);
}

// The fields the header names (for the log's fields only; a field named twice goes to the
// first column) and the units it gives.
void ApplyHeader(const ImportRow& header, bool imperial, ImportLayout& layout)
{
    const int fieldCount = static_cast<int>(ImportFieldNames(imperial).size());
    bool weightUnitSeen = false;
    bool lengthUnitSeen = false;
    for (int column = 0; column < header.cells.size(); ++column) {
        const HeaderMeaning meaning = ReadHeader(header.cells.at(column));
        if (meaning.field == ImportField::None || meaning.field >= fieldCount || layout.fields.contains(meaning.field))
            continue;
        layout.fields[column] = meaning.field;
        if (meaning.field == ImportField::Weight && meaning.unit.kind == UnitKind::Weight) {
            layout.weightUnit = meaning.unit.weight;
            weightUnitSeen = true;
        } else if (meaning.field > ImportField::Weight && meaning.unit.kind == UnitKind::Length && !lengthUnitSeen) {
            layout.lengthUnit = meaning.unit.length;
            lengthUnitSeen = true;
        }
    }
    (void)weightUnitSeen;
}

// Without a header: the column that holds dates, and beside it in a two-column file the weight.
void GuessColumns(const QList<ImportRow>& data, ImportLayout& layout)
{
    if (layout.columnOf(ImportField::Date) < 0) {
        for (int column = 0; column < layout.fields.size(); ++column) {
            if (layout.fields.at(column) == ImportField::None && Share(data, column, ReadsAsDate) > 0.5) {
                layout.fields[column] = ImportField::Date;
                break;
            }
        }
    }
    const int date = layout.columnOf(ImportField::Date);
    if (layout.fields.size() == 2 && date >= 0 && layout.columnOf(ImportField::Weight) < 0) {
        const int other = 1 - date;
        if (layout.fields.at(other) == ImportField::None && Share(data, other, ReadsAsNumber) > 0.5)
            layout.fields[other] = ImportField::Weight;
    }
}

} // namespace

QStringList ImportFieldNames(bool imperial)
{
    QStringList names = {QStringLiteral("Date"), QStringLiteral("Weight"), QStringLiteral("Chest"),
                         QStringLiteral("Waist"), QStringLiteral("Hips")};
    if (!imperial)
        names << QStringLiteral("Wrist") << QStringLiteral("Forearm");
    return names;
}

ImportLayout DetectLayout(const ImportTable& table, bool imperial, const QLocale& locale)
{
    if (table.rows.isEmpty())
        throw ImportRefused(QStringLiteral("This file holds no values. Nothing was imported."));
    ImportLayout layout;
    layout.weightUnit = imperial ? WeightUnit::Pounds : WeightUnit::Kilograms;
    layout.lengthUnit = imperial ? LengthUnit::Inches : LengthUnit::Centimetres;
    layout.fields = QList<int>(ColumnCount(table.rows), ImportField::None);
    layout.header = LooksLikeHeader(table.rows.first());
    const QList<ImportRow> data = table.rows.mid(layout.header ? 1 : 0);
    if (data.isEmpty())
        throw ImportRefused(QStringLiteral("This file holds only a header row and no entries. Nothing was imported."));
    if (data.size() > ImportRowLimit)
        throw ImportRefused(TooLargeMessage());
    if (layout.header)
        ApplyHeader(table.rows.first(), imperial, layout);
    GuessColumns(data, layout);
    const int date = layout.columnOf(ImportField::Date);
    if (date >= 0)
        layout.dateOrder = DetectDateOrder(data, date, locale);
    layout.decimal = table.fromWorkbook ? u'.' : DetectDecimal(data.mid(0, 1000), layout);
    const bool ownExport = layout.header && IsOwnExportHeader(table.rows.first());
    const bool dateAndWeight = layout.fields.size() == 2 && date >= 0 && layout.columnOf(ImportField::Weight) >= 0;
    layout.known = (ownExport || dateAndWeight || table.fromWorkbook) && LayoutProblem(layout, imperial).isEmpty();
    return layout;
}

QString LayoutProblem(const ImportLayout& layout, bool imperial)
{
    const QStringList names = ImportFieldNames(imperial);
    if (layout.columnOf(ImportField::Date) < 0)
        return QStringLiteral("Please choose the column that holds the dates.");
    bool measurement = false;
    for (int field = 0; field < names.size(); ++field) {
        if (layout.fields.count(field) > 1)
            return QStringLiteral("\"%1\" is chosen for more than one column. Please choose it for one column only.")
                .arg(names.at(field));
        if (field > ImportField::Date && layout.fields.contains(field))
            measurement = true;
    }
    for (const int field : layout.fields) {
        if (field != ImportField::None && (field < 0 || field >= names.size()))
            return QStringLiteral("The log has no field for column %1.").arg(layout.fields.indexOf(field) + 1);
    }
    if (!measurement)
        return QStringLiteral("Please choose at least one column with a measurement, such as the weight.");
    return QString();
}

std::optional<QDate> ReadImportDate(const QString& text, DateOrder order)
{
    // The time of day, when there is one, is left aside: "T08:30:00Z", " 8:30 PM", "+02:00".
    static const QRegularExpression yearFirst(QStringLiteral(
        "^\\s*(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})(?:(?:[T ]\\s*\\d{1,2}:\\d{2}(?::\\d{2})?(?:[.,]\\d+)?)?"
        "\\s*(?:Z|[+-]\\d{2}(?::?\\d{2})?)?)\\s*$"));
    static const QRegularExpression dayOrMonthFirst(QStringLiteral(
        "^\\s*(\\d{1,2})([./-])(\\d{1,2})\\2(\\d{4}|\\d{2})(?:,?\\s+\\d{1,2}:\\d{2}(?::\\d{2})?(?:[.,]\\d+)?"
        "\\s*(?:[AaPp]\\.?[Mm]\\.?)?)?\\s*$"));
    QDate date;
    QRegularExpressionMatch m = yearFirst.match(text);
    if (m.hasMatch()) {
        date = QDate(m.capturedView(1).toInt(), m.capturedView(2).toInt(), m.capturedView(3).toInt());
    } else {
        m = dayOrMonthFirst.match(text);
        if (!m.hasMatch())
            return std::nullopt;
        int first = m.capturedView(1).toInt();
        int second = m.capturedView(3).toInt();
        if (order == DateOrder::DayFirst)
            std::swap(first, second);
        int year = m.capturedView(4).toInt();
        if (m.capturedView(4).size() == 2)
            year += year < 30 ? 2000 : 1900;
        date = QDate(year, first, second);
    }
    // The entries' dates as the dialogs take them.
    if (!date.isValid() || date < QDate(1601, 1, 1) || date > QDate(9999, 12, 31))
        return std::nullopt;
    return date;
}

std::optional<double> ReadImportNumber(const QString& text, QChar decimal, QString* unit)
{
    // By hand: a long file has hundreds of thousands of these.
    const QStringView t = QStringView(text).trimmed();
    const qsizetype n = t.size();
    std::string plain;
    plain.reserve(static_cast<std::size_t>(n) + 2);
    qsizetype i = 0;
    if (i < n && (t[i] == u'+' || t[i] == u'-')) {
        if (t[i] == u'-')
            plain += '-';
        ++i;
    }
    bool digits = false;
    auto takeDigits = [&] {
        while (i < n && t[i] >= u'0' && t[i] <= u'9') {
            plain += static_cast<char>(t[i].unicode());
            digits = true;
            ++i;
        }
    };
    takeDigits();
    if (i < n && (t[i] == u'.' || t[i] == u',')) {
        if (t[i] != decimal)
            return std::nullopt;
        plain += '.';
        ++i;
        takeDigits();
    }
    if (!digits)
        return std::nullopt;
    const QStringView word = t.sliced(i).trimmed();
    for (const QChar c : word) {
        if (!(c.isLetter() && c.unicode() < 0x80) && c != u'"')
            return std::nullopt;
    }
    if (!word.isEmpty()) {
        const Unit u = UnitOfWord(word == u"\"" ? QStringLiteral("in") : word.toString());
        if (u.kind == UnitKind::None)
            return std::nullopt;
        if (unit) {
            if (u.kind == UnitKind::Weight)
                *unit = u.weight == WeightUnit::Kilograms ? QStringLiteral("kg") : QStringLiteral("lb");
            else
                *unit = u.length == LengthUnit::Centimetres ? QStringLiteral("cm") : QStringLiteral("in");
        }
    } else if (unit) {
        unit->clear();
    }
    double value = 0;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (error != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

namespace {

// The value in the log's unit, as stored: the file's own digits when no conversion is needed
// (so an export reads back exactly), else rounded to two decimals.
QString StoredValue(const QString& text, QChar decimal, double value, double factor)
{
    if (factor == 1.0) {
        static const QRegularExpression digits(QStringLiteral("^\\s*\\+?(-?\\d*(?:[.,]\\d*)?)"));
        QString kept = digits.match(text).captured(1);
        if (decimal == u',')
            kept.replace(QLatin1Char(','), QLatin1Char('.'));
        return kept;
    }
    QString rounded = QString::number(value * factor, 'f', 2);
    while (rounded.endsWith(QLatin1Char('0')))
        rounded.chop(1);
    if (rounded.endsWith(QLatin1Char('.')))
        rounded.chop(1);
    return rounded;
}

double WeightFactor(WeightUnit from, bool imperial)
{
    if ((from == WeightUnit::Pounds) == imperial)
        return 1.0;
    return imperial ? 1.0 / KilogramsPerPound : KilogramsPerPound;
}

double LengthFactor(LengthUnit from, bool imperial)
{
    if ((from == LengthUnit::Inches) == imperial)
        return 1.0;
    return imperial ? 1.0 / CentimetresPerInch : CentimetresPerInch;
}

struct RowReading {
    LogEntry entry;
    QString problem;
    bool unlikely = false;
};

// One measurement cell into field `field` of the entry.
QString ReadMeasurement(const QString& text, int field, const ImportLayout& layout, bool imperial, RowReading& reading)
{
    const QString name = ImportFieldNames(imperial).at(field);
    QString unit;
    const std::optional<double> value = ReadImportNumber(text, layout.decimal, &unit);
    if (!value)
        return QStringLiteral("\"%1\" is not a number (%2)").arg(text, name);
    if (*value <= 0)
        return QStringLiteral("%1 must be more than 0, not %2").arg(name, text);
    const bool weight = field == ImportField::Weight;
    double factor = 1.0;
    if (weight) {
        if (unit == QLatin1String("cm") || unit == QLatin1String("in"))
            return QStringLiteral("\"%1\" is no weight (%2)").arg(text, name);
        const WeightUnit from = unit.isEmpty() ? layout.weightUnit
            : unit == QLatin1String("kg")      ? WeightUnit::Kilograms
                                               : WeightUnit::Pounds;
        factor = WeightFactor(from, imperial);
    } else {
        if (unit == QLatin1String("kg") || unit == QLatin1String("lb"))
            return QStringLiteral("\"%1\" is no length (%2)").arg(text, name);
        const LengthUnit from = unit.isEmpty() ? layout.lengthUnit
            : unit == QLatin1String("cm")      ? LengthUnit::Centimetres
                                               : LengthUnit::Inches;
        factor = LengthFactor(from, imperial);
    }
    reading.entry[field] = StoredValue(text, layout.decimal, *value, factor);
    reading.unlikely = reading.unlikely || LooksUnlikely(field, *value * factor, imperial);
    return QString();
}

RowReading ReadRow(const ImportRow& row, const ImportLayout& layout, bool imperial, int fieldCount)
{
    RowReading reading;
    reading.entry = LogEntry(fieldCount);
    const QString dateText = Cell(row, layout.columnOf(ImportField::Date));
    if (dateText.isEmpty()) {
        reading.problem = QStringLiteral("no date");
        return reading;
    }
    const std::optional<QDate> date = ReadImportDate(dateText, layout.dateOrder);
    if (!date) {
        reading.problem = QStringLiteral("\"%1\" is not a date").arg(dateText);
        return reading;
    }
    reading.entry[ImportField::Date] = FormatEntryDate(*date);
    for (int column = 0; column < layout.fields.size(); ++column) {
        const int field = layout.fields.at(column);
        if (field <= ImportField::Date || field >= fieldCount)
            continue;
        const QString text = Cell(row, column);
        if (text.isEmpty())
            continue;
        reading.problem = ReadMeasurement(text, field, layout, imperial, reading);
        if (!reading.problem.isEmpty())
            return reading;
    }
    return reading;
}

} // namespace

ImportResult ConvertImport(const ImportTable& table, const ImportLayout& layout, bool imperial)
{
    ImportResult result;
    const int fieldCount = static_cast<int>(ImportFieldNames(imperial).size());
    result.entries.reserve(table.rows.size());
    for (qsizetype i = layout.header ? 1 : 0; i < table.rows.size(); ++i) {
        const ImportRow& row = table.rows.at(i);
        RowReading reading = ReadRow(row, layout, imperial, fieldCount);
        if (!reading.problem.isEmpty()) {
            result.rejected.append({row.line, reading.problem});
            continue;
        }
        if (reading.unlikely)
            result.unlikelyLines.append(row.line);
        result.entries.append(std::move(reading.entry));
    }
    return result;
}

namespace {

QSet<qint64> DaysOf(const QList<LogEntry>& entries)
{
    QSet<qint64> days;
    for (const LogEntry& entry : entries) {
        const QDate date = entry.isEmpty() ? QDate() : ParseEntryDate(entry.first());
        if (date.isValid())
            days.insert(date.toJulianDay());
    }
    return days;
}

qint64 DayOf(const LogEntry& entry)
{
    const QDate date = entry.isEmpty() ? QDate() : ParseEntryDate(entry.first());
    return date.isValid() ? date.toJulianDay() : std::numeric_limits<qint64>::min();
}

} // namespace

bool LooksUnlikely(int field, double value, bool imperial)
{
    if (field == ImportField::Weight)
        return imperial ? (value > 1000 || value < 20) : (value > 450 || value < 9);
    return imperial ? (value > 100 || value < 2) : (value > 250 || value < 5);
}

int CountSameDates(const QList<LogEntry>& existing, const QList<LogEntry>& imported)
{
    const QSet<qint64> days = DaysOf(existing);
    int count = 0;
    for (const LogEntry& entry : imported)
        count += days.contains(DayOf(entry)) ? 1 : 0;
    return count;
}

QList<LogEntry> MergeImport(const QList<LogEntry>& existing, const QList<LogEntry>& imported, SameDate rule)
{
    const QSet<qint64> days = DaysOf(existing);
    QList<LogEntry> fresh;
    QHash<qint64, QList<LogEntry>> replacing;
    for (const LogEntry& entry : imported) {
        const qint64 day = DayOf(entry);
        if (!days.contains(day) || rule == SameDate::KeepBoth)
            fresh.append(entry);
        else if (rule == SameDate::Replace)
            replacing[day].append(entry);
    }
    QList<LogEntry> merged;
    merged.reserve(existing.size() + imported.size());
    for (const LogEntry& entry : existing) {
        const auto it = replacing.find(DayOf(entry));
        if (it == replacing.end()) {
            merged.append(entry);
            continue;
        }
        // The first entry of the day takes the imported ones; the others of that day go.
        merged.append(it.value());
        it.value().clear();
    }
    merged.append(fresh);
    return merged;
}

QString DescribeRejected(const QList<RejectedRow>& rejected, int limit)
{
    QStringList lines;
    for (int i = 0; i < rejected.size() && i < limit; ++i)
        lines.append(QStringLiteral("Line %1: %2").arg(rejected.at(i).line).arg(rejected.at(i).reason));
    if (rejected.size() > limit)
        lines.append(QStringLiteral("... and %1 more.").arg(rejected.size() - limit));
    return lines.join(QLatin1Char('\n'));
}
