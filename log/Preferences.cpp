#include "Preferences.h"

#include "Constants.h"
#include "Guarded.h"
#include "LogImport.h"
#include "NumberText.h"
#include "Settings.h"
#include "StoredLog.h"

#include <QRegularExpression>

#include <optional>

namespace {

std::optional<int> WholeNumber(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^\\s*\\d{1,7}\\s*$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const int value = text.trimmed().toInt();
    if (value > HighestEntryLimit)
        return std::nullopt;
    return value;
}

} // namespace

int ReadEntryLimit()
{
    return WholeNumber(ReadSetting(SettingsSection, EntryLimitKey, QString::number(DefaultEntryLimit)))
        .value_or(DefaultEntryLimit);
}

QString EntryLimitProblem(const QString& typed)
{
    if (WholeNumber(typed))
        return QString();
    return QStringLiteral("\"%1\" is no entry limit. Please type a whole number from 0 (no limit) to %2.")
        .arg(typed, QLocale().toString(HighestEntryLimit));
}

void StoreEntryLimit(const QString& typed)
{
    WriteSetting(SettingsSection, EntryLimitKey, QString::number(WholeNumber(typed).value_or(DefaultEntryLimit)));
}

bool EntryLimitReached(int rows, int limit) { return limit > 0 && rows >= limit; }

QString EntryLimitReachedMessage(int limit)
{
    if (limit == DefaultEntryLimit)
        return EntryLimitMessage();
    return QStringLiteral("The log holds %1 entries, as many as the entry limit allows.\r\n"
                          "The limit can be changed under Edit > Preferences.")
        .arg(QLocale().toString(limit));
}

QString GoalKey(bool imperial) { return imperial ? Keys::GoalMen : Keys::GoalWomen; }

QString ReadGoal(bool imperial) { return ReadSetting(SettingsSection, GoalKey(imperial)); }

GoalCheck CheckGoal(const QString& typed, bool imperial)
{
    GoalCheck check;
    if (typed.trimmed().isEmpty())
        return check; // no goal
    const std::optional<double> value = ReadTypedNumber(typed);
    const QString unit = imperial ? QStringLiteral("pounds") : QStringLiteral("kilograms");
    if (!value) {
        check.kind = GoalCheck::Kind::Refused;
        check.message = QStringLiteral("\"%1\" is not a number. Please type the goal weight in %2, for example %3, "
                                       "or leave it empty for no goal.")
                            .arg(typed, unit, ExampleNumber(imperial ? 180.5 : 72.5));
        return check;
    }
    if (*value <= 0) {
        check.kind = GoalCheck::Kind::Refused;
        check.message = QStringLiteral("\"%1\" cannot be the goal: a goal weight must be more than 0.").arg(typed);
        return check;
    }
    check.stored = StoredNumberText(typed.trimmed());
    if (LooksUnlikely(ImportField::Weight, *value, imperial)) {
        check.kind = GoalCheck::Kind::Unlikely;
        check.message = QStringLiteral("That looks unlikely. Save anyway?");
    }
    return check;
}

GoalStep::GoalStep(bool imperial, QString before, QString after, std::function<void(bool, const QString&)> shown)
    : QUndoCommand(QStringLiteral("Set Goal Weight"))
    , m_imperial(imperial)
    , m_before(std::move(before))
    , m_after(std::move(after))
    , m_shown(std::move(shown))
{
}

void GoalStep::undo() { apply(m_before); }

void GoalStep::redo() { apply(m_after); }

void GoalStep::apply(const QString& goal)
{
    Guarded proc(QStringLiteral("Form1.SetGoal"));
    proc(10, [&] { WriteSetting(SettingsSection, GoalKey(m_imperial), goal); });
    if (m_shown)
        m_shown(m_imperial, goal);
}
