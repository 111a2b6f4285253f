#include "LogExport.h"

#include "ActiveLog.h"
#include "EntryDate.h"
#include "Failure.h"
#include "NumberText.h"

#include "file/DurableFile.h"

#include <QDir>

namespace {

// A cell as CSV writes it: quoted when it holds a comma, a quote, a line break or blanks at
// either end.
QString CsvCell(const QString& text)
{
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
        || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))
        || (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString Figure(const std::optional<double>& value)
{
    if (!value)
        return QString();
    // As the workbook shows them: two decimals.
    return QString::number(*value, 'f', 2);
}

void AppendRow(QString& text, const QStringList& cells)
{
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            text += QLatin1Char(',');
        text += CsvCell(cells.at(i));
    }
    text += QStringLiteral("\r\n");
}

} // namespace

QStringList ExportHeader(bool imperial)
{
    QStringList header = imperial ? ImperialColumns() : MetricColumns();
    const QString unit = imperial ? QStringLiteral("(lbs)") : QStringLiteral("(kg)");
    header << QStringLiteral("Lean Body Weight ") + unit << QStringLiteral("Body Fat Weight ") + unit
           << QStringLiteral("Body Fat Percentage") << QStringLiteral("BMI");
    return header;
}

QByteArray ExportCsvBytes(bool imperial, const QList<LogEntry>& entries, const QList<ComputedFigures>& computed)
{
    const int fields = imperial ? 5 : 7;
    QString text;
    AppendRow(text, ExportHeader(imperial));
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const LogEntry& entry = entries.at(i);
        QStringList cells;
        cells.reserve(fields + 4);
        for (int k = 0; k < fields; ++k) {
            const QString field = k < entry.size() ? entry.at(k) : QString();
            if (k == 0) {
                const QDate date = ParseEntryDate(field);
                cells.append(date.isValid() ? date.toString(Qt::ISODate) : field);
            } else {
                cells.append(CanonicalStoredNumber(field));
            }
        }
        const ComputedFigures figures = i < computed.size() ? computed.at(i) : ComputedFigures{};
        for (const std::optional<double>& figure : figures)
            cells.append(Figure(figure));
        AppendRow(text, cells);
    }
    return text.toUtf8();
}

void WriteExportFile(const QString& path, const QByteArray& bytes)
{
    try {
        sheet::writeFileDurably(path, bytes);
    } catch (const sheet::Error& e) {
        throw Failure(
            QStringLiteral("The log could not be exported to %1: %2").arg(QDir::toNativeSeparators(path), e.message()));
    }
}
