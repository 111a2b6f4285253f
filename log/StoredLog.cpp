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

QString SeparatorIn(const QString& field)
{
    if (field.contains(FieldSeparator))
        return FieldSeparator;
    if (field.contains(EntrySeparator))
        return EntrySeparator;
    return QString();
}
