#include "StoredLog.h"

QString EntryLimitMessage()
{
    return QStringLiteral("Template chart will not fit perfectly.\r\nUp to 26 items only to be added. ");
}

QString JoinStoredLog(const QList<LogEntry>& entries)
{
    qsizetype length = 0;
    for (const LogEntry& entry : entries) {
        for (const QString& field : entry)
            length += field.size() + FieldSeparator.size();
    }
    QString text;
    text.reserve(length);
    for (const LogEntry& entry : entries) {
        if (entry.isEmpty())
            continue;
        for (qsizetype i = 0; i < entry.size(); ++i) {
            if (i > 0)
                text += FieldSeparator;
            text += entry.at(i);
        }
        text += EntrySeparator;
    }
    return text;
}

QList<LogEntry> SplitStoredLog(const QString& text)
{
    QList<LogEntry> entries;
    const QList<QStringView> chunks = QStringView(text).split(EntrySeparator, Qt::SkipEmptyParts);
    entries.reserve(chunks.size());
    for (const QStringView chunk : chunks) {
        LogEntry entry;
        const QList<QStringView> fields = chunk.split(FieldSeparator, Qt::KeepEmptyParts);
        entry.reserve(fields.size());
        for (const QStringView field : fields)
            entry.append(field.toString());
        entries.append(std::move(entry));
    }
    return entries;
}

namespace {

// Whether the entry comes back unchanged from a stored text where it stands between two
// others, as it does in the list (entries begin with their date text).
bool SurvivesStoring(const LogEntry& entry)
{
    const LogEntry neighbour = {QStringLiteral("1/1/2000"), QStringLiteral("0")};
    const QList<LogEntry> entries = {neighbour, entry, neighbour};
    return SplitStoredLog(JoinStoredLog(entries)) == entries;
}

} // namespace

QString UnstorableText(const LogEntry& entry)
{
    if (entry.isEmpty() || SurvivesStoring(entry))
        return QString();
    // Name the text at fault: the first that fails among plain neighbours...
    for (qsizetype i = 0; i < entry.size(); ++i) {
        LogEntry plain(entry.size(), QStringLiteral("0"));
        plain[0] = QStringLiteral("1/1/2000");
        plain[i] = entry.at(i);
        if (!SurvivesStoring(plain))
            return entry.at(i);
    }
    // ...or, when only texts side by side fail, the first one with a bar in it.
    for (const QString& text : entry) {
        if (text.contains(QLatin1Char('|')))
            return text;
    }
    return entry.first();
}
