#include "ImportCommand.h"

#include "WorkbookImport.h"

#include <QFileInfo>

bool ReviewNeedsAnswer(const ImportReview& review)
{
    return review.sameDates > 0 || !review.rejected.isEmpty() || !review.unlikelyLines.isEmpty()
        || (review.entryLimit > 0 && review.entriesAfter > review.entryLimit);
}

std::optional<QList<LogEntry>> RunImport(const QString& path, bool imperial, const QList<LogEntry>& existing,
                                         int entryLimit, ImportQuestions& ask)
{
    const QString fileName = QFileInfo(path).fileName();
    ImportTable table;
    ImportLayout layout;
    try {
        table = ReadImportFile(path);
        layout = DetectLayout(table, imperial);
    } catch (const ImportRefused& e) {
        ask.tell(e.description());
        return std::nullopt;
    }
    if (!layout.known && !ask.chooseLayout(fileName, table, imperial, layout))
        return std::nullopt;
    const ImportResult result = ConvertImport(table, layout, imperial);
    if (result.entries.isEmpty()) {
        ask.tell(QStringLiteral("No row of %1 could be read, so nothing was imported.\n\n%2")
                     .arg(fileName, DescribeRejected(result.rejected)));
        return std::nullopt;
    }
    ImportReview review;
    review.fileName = fileName;
    review.imported = static_cast<int>(result.entries.size());
    review.sameDates = CountSameDates(existing, result.entries);
    review.rejected = result.rejected;
    review.unlikelyLines = result.unlikelyLines;
    review.entriesAfter = static_cast<int>(existing.size() + result.entries.size());
    review.entryLimit = entryLimit;
    SameDate rule = SameDate::Skip;
    if (ReviewNeedsAnswer(review) && !ask.confirm(review, rule))
        return std::nullopt;
    QList<LogEntry> merged = MergeImport(existing, result.entries, rule);
    if (merged == existing) {
        ask.tell(QStringLiteral("Every entry of %1 is on a date the log already has, so nothing was imported.")
                     .arg(fileName));
        return std::nullopt;
    }
    return merged;
}
