#include "LogHistory.h"

#include "ActiveLog.h"
#include "EntryList.h"
#include "Guarded.h"
#include "Pointer.h"

#include <QEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QTreeWidget>
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
    StateStep(LogHistory* history, QTreeWidget* list, const QString& text, const LogState& before,
              const LogState& after)
        : QUndoCommand(text)
        , m_history(history)
        , m_list(list)
        , m_rows(Difference(before.rows, after.rows))
        , m_before(Without(before))
        , m_after(Without(after))
    {
    }

    void undo() override
    {
        LogState state = m_before;
        state.rows = Replace(EntryList(m_list).storedEntries(), m_rows.at, m_rows.inserted.size(), m_rows.removed);
        m_history->apply(state);
    }
    void redo() override
    {
        // Recorded after the change was made: the first redo is the change itself.
        if (m_done) {
            m_done = false;
            return;
        }
        LogState state = m_after;
        state.rows = Replace(EntryList(m_list).storedEntries(), m_rows.at, m_rows.removed.size(), m_rows.inserted);
        m_history->apply(state);
    }

private:
    static LogState Without(LogState state)
    {
        state.rows.clear();
        return state;
    }

    LogHistory* m_history;
    QTreeWidget* m_list;
    RowChange m_rows;
    LogState m_before; // heights and selection; the rows are in m_rows
    LogState m_after;
    bool m_done = true;
};

// Typing in one height field while it keeps the focus.
class HeightStep : public QUndoCommand {
public:
    HeightStep(const LogControls& c, int field, QString before, QString after, int session)
        : QUndoCommand(QStringLiteral("Height"))
        , m_field(field == 1 ? c.Text1 : c.Text2)
        , m_fieldNumber(field)
        , m_before(std::move(before))
        , m_after(std::move(after))
        , m_session(session)
    {
    }

    int id() const override { return 1000 + m_fieldNumber; }
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
    void undo() override { SetHeightField(m_field, m_before); }
    void redo() override
    {
        if (m_done) {
            m_done = false;
            return;
        }
        SetHeightField(m_field, m_after);
    }

private:
    QLineEdit* m_field;
    int m_fieldNumber;
    QString m_before;
    QString m_after;
    int m_session;
    bool m_done = true;
};

} // namespace

LogState CaptureLogState(const LogControls& c)
{
    const EntryList list(c.ListView1);
    LogState state;
    state.rows = list.storedEntries();
    state.height1 = c.Text1->text();
    state.height2 = c.Text2->text();
    if (QTreeWidgetItem* row = list.selectedRow())
        state.selected = list.index(row);
    return state;
}

LogHistory::LogHistory(const LogControls& c, QObject* parent)
    : QObject(parent)
    , m_controls(c)
    , m_imperial(new QUndoStack(this))
    , m_metric(new QUndoStack(this))
{
    for (QUndoStack* stack : {m_imperial, m_metric}) {
        stack->setUndoLimit(StepLimit);
        connect(stack, &QUndoStack::indexChanged, this, &LogHistory::changed);
    }
    m_lastHeight[0] = c.Text1->text();
    m_lastHeight[1] = c.Text2->text();
    c.Text1->installEventFilter(this);
    c.Text2->installEventFilter(this);
}

LogHistory::~LogHistory() = default;

QUndoStack* LogHistory::stack(bool imperial) const { return imperial ? m_imperial : m_metric; }

QUndoStack* LogHistory::activeStack() const { return stack(m_controls.Option1->isChecked()); }

void LogHistory::push(QUndoCommand* step)
{
    activeStack()->push(step);
    emit changed();
}

void LogHistory::recordChange(const QString& text, const LogState& before)
{
    LogState after = CaptureLogState(m_controls);
    if (after == before)
        return;
    push(new StateStep(this, m_controls.ListView1, text, before, after));
}

void LogHistory::recordAppendedRows(const LogState& before)
{
    const LogState after = CaptureLogState(m_controls);
    const qsizetype from = before.rows.size();
    if (after.rows.size() <= from || after.rows.mid(0, from) != before.rows || after.height1 != before.height1
        || after.height2 != before.height2) {
        recordChange(QStringLiteral("Add Entry"), before);
        return;
    }
    LogState step = before;
    for (qsizetype n = from + 1; n <= after.rows.size(); ++n) {
        LogState next = step;
        next.rows.append(after.rows.at(n - 1));
        if (n == after.rows.size())
            next.selected = after.selected;
        push(new StateStep(this, m_controls.ListView1, QStringLiteral("Add Entry"), step, next));
        step = std::move(next);
    }
}

void LogHistory::heightChanged(int field, const QString& text, bool byProgram)
{
    QString& last = m_lastHeight[field == 1 ? 0 : 1];
    const QString before = last;
    last = text;
    if (byProgram || m_applying || before == text)
        return;
    push(new HeightStep(m_controls, field, before, text, m_focusSession));
}

bool LogHistory::eventFilter(QObject* watched, QEvent* event)
{
    // Typing after the field got the focus again is a new step.
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        ++m_focusSession;
    return QObject::eventFilter(watched, event);
}

bool LogHistory::canUndo() const { return activeStack()->canUndo(); }

bool LogHistory::canRedo() const { return activeStack()->canRedo(); }

void LogHistory::undo()
{
    if (IsBusyPointer(m_controls.window) || !canUndo())
        return;
    m_procedure = QStringLiteral("Form1.Undo");
    activeStack()->undo();
}

void LogHistory::redo()
{
    if (IsBusyPointer(m_controls.window) || !canRedo())
        return;
    m_procedure = QStringLiteral("Form1.Redo");
    activeStack()->redo();
}

void LogHistory::apply(const LogState& state)
{
    const LogControls& c = m_controls;
    m_applying = true;
    Guarded proc(m_procedure.isEmpty() ? QStringLiteral("Form1.Undo") : m_procedure);
    EntryList list(c.ListView1);
    proc(10, [&] {
        list.clearRows();
        list.appendEntries(state.rows, list.columnCount());
        if (state.selected > 0 && state.selected <= list.rowCount())
            list.selectRow(list.row(state.selected));
        list.ensureSelection();
    });
    proc(20, [&] { SetHeightField(c.Text1, state.height1); });
    proc(21, [&] { SetHeightField(c.Text2, state.height2); });
    proc(30, [&] { StoreActiveLog(c); });
    m_applying = false;
}
