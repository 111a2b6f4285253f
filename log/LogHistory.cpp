#include "LogHistory.h"

#include <QUndoCommand>
#include <QUndoStack>

namespace {

// Rows [at, at + removed.size()) of the rows before a change became `inserted`: a command
// changes one stretch of rows, and a step keeps just that stretch (a long log is not copied
// into every step).
struct RowChange {
    qsizetype at = 0;
    QList<LogEntry> removed;
    QList<LogEntry> inserted;
};

RowChange Difference(const QList<LogEntry>& before, const QList<LogEntry>& after)
{
    qsizetype head = 0;
    while (head < before.size() && head < after.size() && before.at(head) == after.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < before.size() - head && tail < after.size() - head
           && before.at(before.size() - 1 - tail) == after.at(after.size() - 1 - tail))
        ++tail;
    return {head, before.mid(head, before.size() - head - tail), after.mid(head, after.size() - head - tail)};
}

QList<LogEntry> Replace(QList<LogEntry> rows, qsizetype at, qsizetype count, const QList<LogEntry>& with)
{
    rows.remove(at, count);
    for (qsizetype i = 0; i < with.size(); ++i)
        rows.insert(at + i, with.at(i));
    return rows;
}

// A change of the log by a command: puts the rows, heights and selection before or after it
// back.
class StateStep : public QUndoCommand {
public:
    StateStep(UndoTarget& target, const QString& text, const LogState& before, const LogState& after)
        : QUndoCommand(text)
        , m_target(target)
        , m_rows(Difference(before.rows, after.rows))
        , m_before(Without(before))
        , m_after(Without(after))
    {
    }

    void undo() override
    {
        LogState state = m_before;
        state.rows = Replace(m_target.currentRows(), m_rows.at, m_rows.inserted.size(), m_rows.removed);
        m_target.applyState(state);
    }
    void redo() override
    {
        // Recorded after the change was made: the first redo is the change itself.
        if (m_done) {
            m_done = false;
            return;
        }
        LogState state = m_after;
        state.rows = Replace(m_target.currentRows(), m_rows.at, m_rows.removed.size(), m_rows.inserted);
        m_target.applyState(state);
    }

private:
    static LogState Without(LogState state)
    {
        state.rows.clear();
        return state;
    }

    UndoTarget& m_target;
    RowChange m_rows;
    LogState m_before; // heights and selection; the rows are in m_rows
    LogState m_after;
    bool m_done = true;
};

// Typing in one height field while it keeps the focus.
class HeightStep : public QUndoCommand {
public:
    HeightStep(UndoTarget& target, int field, QString before, QString after, int session)
        : QUndoCommand(QStringLiteral("Height"))
        , m_target(target)
        , m_field(field)
        , m_before(std::move(before))
        , m_after(std::move(after))
        , m_session(session)
    {
    }

    int id() const override { return 1000 + m_field; }
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* next = static_cast<const HeightStep*>(other);
        if (next->m_session != m_session)
            return false;
        m_after = next->m_after;
        // Typed back to where it started: no step at all.
        setObsolete(m_after == m_before);
        return true;
    }
    void undo() override { m_target.applyHeight(m_field, m_before); }
    void redo() override
    {
        if (m_done) {
            m_done = false;
            return;
        }
        m_target.applyHeight(m_field, m_after);
    }

private:
    UndoTarget& m_target;
    int m_field;
    QString m_before;
    QString m_after;
    int m_session;
    bool m_done = true;
};

} // namespace

LogHistory::LogHistory(UndoTarget& target, QObject* parent)
    : QObject(parent)
    , m_target(target)
    , m_imperial(new QUndoStack(this))
    , m_metric(new QUndoStack(this))
{
    for (QUndoStack* stack : {m_imperial, m_metric}) {
        stack->setUndoLimit(StepLimit);
        connect(stack, &QUndoStack::indexChanged, this, &LogHistory::changed);
    }
}

LogHistory::~LogHistory() = default;

QUndoStack* LogHistory::stack(bool imperial) const { return imperial ? m_imperial : m_metric; }

QUndoStack* LogHistory::activeStack() const { return stack(m_activeImperial); }

void LogHistory::setActive(bool imperial)
{
    if (m_activeImperial == imperial)
        return;
    m_activeImperial = imperial;
    emit changed();
}

void LogHistory::push(QUndoCommand* step)
{
    activeStack()->push(step);
    emit changed();
}

void LogHistory::recordChange(const QString& text, const LogState& before, const LogState& after)
{
    if (after == before)
        return;
    push(new StateStep(m_target, text, before, after));
}

void LogHistory::recordAppendedRows(const LogState& before, const LogState& after)
{
    const qsizetype from = before.rows.size();
    if (after.rows.size() <= from || after.rows.mid(0, from) != before.rows || after.height1 != before.height1
        || after.height2 != before.height2) {
        recordChange(QStringLiteral("Add Entry"), before, after);
        return;
    }
    LogState step = before;
    for (qsizetype n = from + 1; n <= after.rows.size(); ++n) {
        LogState next = step;
        next.rows.append(after.rows.at(n - 1));
        if (n == after.rows.size())
            next.selected = after.selected;
        push(new StateStep(m_target, QStringLiteral("Add Entry"), step, next));
        step = std::move(next);
    }
}

void LogHistory::recordTypedHeight(int field, const QString& before, const QString& after)
{
    if (before == after)
        return;
    push(new HeightStep(m_target, field, before, after, m_heightSession));
}

bool LogHistory::canUndo() const { return activeStack()->canUndo(); }

bool LogHistory::canRedo() const { return activeStack()->canRedo(); }

void LogHistory::undo()
{
    if (canUndo())
        activeStack()->undo();
}

void LogHistory::redo()
{
    if (canRedo())
        activeStack()->redo();
}
