#pragma once

#include "LogImport.h"

#include <QList>
#include <QString>

#include <optional>

// File > Import... without its windows: read the file, let the user map its columns when its
// layout is not a known one, let the user confirm what will happen, and give back the log as
// it is to be after the import. The caller stores it as one undoable step.

// What the user is shown before an import takes place.
struct ImportReview {
    QString fileName;
    int imported = 0;  // entries read from the file
    int sameDates = 0; // of those, on a date the log already has
    QList<RejectedRow> rejected;
    QList<int> unlikelyLines;
    int entriesAfter = 0; // in the log after the import, when new entries on known dates are kept
    int entryLimit = 0;   // the add command's limit, 0 for none
};

// The questions an import asks; the program's are dialogs (ImportDialog.h), tests answer them.
class ImportQuestions {
public:
    virtual ~ImportQuestions() = default;
    // The mapping dialog: may change the layout; false when the user cancels. A layout given
    // back has no LayoutProblem.
    virtual bool chooseLayout(const QString& fileName, const ImportTable& table, bool imperial, ImportLayout& layout)
        = 0;
    // What will be imported, and what to do with entries on dates the log has (when there are
    // such); false when the user cancels.
    virtual bool confirm(const ImportReview& review, SameDate& rule) = 0;
    // Why nothing is imported.
    virtual void tell(const QString& message) = 0;
};

// Whether the review needs the user's answer: rows left out, values that look unlikely,
// entries on dates the log has, or more entries than the limit. Otherwise the import goes
// ahead without a question.
bool ReviewNeedsAnswer(const ImportReview& review);

// The log after importing the file at path into `existing` (the active log, imperial or
// metric), or nothing when the user cancels or nothing can be imported (the user has then been
// told why). `entryLimit` is the add command's limit, only for the review.
std::optional<QList<LogEntry>> RunImport(const QString& path, bool imperial, const QList<LogEntry>& existing,
                                         int entryLimit, ImportQuestions& ask);
