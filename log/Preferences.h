#pragma once

#include "StoredLog.h"

#include <QString>
#include <QUndoCommand>

#include <functional>

// The user's preferences and the goal weight of each log, kept in the settings store (group
// Kalmora) like everything else.

// "Entry Limit": how many entries the add command lets a log hold; 0 for no limit.
inline const QString EntryLimitKey = QStringLiteral("Entry Limit");
constexpr int DefaultEntryLimit = EntryLimit;
constexpr int HighestEntryLimit = 1000000;

// The stored limit; a missing or unreadable value is the default.
int ReadEntryLimit();
// Why a typed limit cannot be kept (not a whole number from 0 to HighestEntryLimit), or an
// empty text.
QString EntryLimitProblem(const QString& typed);
// Stores a typed limit that has no problem. Throws Failure when the store fails.
void StoreEntryLimit(const QString& typed);
// Whether the add command must refuse a log of `rows` entries.
bool EntryLimitReached(int rows, int limit);
// What it then says: for the default limit the message it has always shown, else one that
// names the limit and where to change it.
QString EntryLimitReachedMessage(int limit);

// The goal weight of the imperial ("Goal Men", pounds) or the metric log ("Goal Women",
// kilograms): a number with a point, the empty text for no goal.
QString GoalKey(bool imperial);
QString ReadGoal(bool imperial);

// What a goal typed in the user's locale comes to.
struct GoalCheck {
    enum class Kind { Accepted, Refused, Unlikely };
    Kind kind = Kind::Accepted;
    QString message; // why it is refused, or the question to ask
    QString stored;  // the text to store when accepted (or when the user keeps an unlikely goal)
};
GoalCheck CheckGoal(const QString& typed, bool imperial);

// Setting a goal as an undo step of its log: stores it at once (and again on redo), the
// earlier goal on undo; `shown` is told the goal after each, for the window to show it.
// Failures to store are reported under "Form1.SetGoal".
class GoalStep : public QUndoCommand {
public:
    GoalStep(bool imperial, QString before, QString after, std::function<void(bool, const QString&)> shown);
    void undo() override;
    void redo() override;

private:
    void apply(const QString& goal);

    bool m_imperial;
    QString m_before;
    QString m_after;
    std::function<void(bool, const QString&)> m_shown;
};
