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

// A change of the log: puts `before` or `after` back whole.
class StateStep : public QUndoCommand {
public:
    StateStep(LogHistory* history, const QString& text, LogState before, LogState after)
        : QUndoCommand(text)
        , m_history(history)
        , m_before(std::move(before))
        , m_after(std::move(after))
    {
    }

    void undo() override { m_history->apply(m_before); }
    void redo() override
    {
        // Recorded after the change was made: the first redo is the change itself.
        if (m_done) {
            m_done = false;
            return;
        }
        m_history->apply(m_after);
    }

private:
    LogHistory* m_history;
    LogState m_before;
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

QUndoStack* LogHistory::stack(bool imperial) const
{
    return imperial ? m_imperial : m_metric;
}

QUndoStack* LogHistory::activeStack() const
{
    return stack(m_controls.Option1->isChecked());
}

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
    push(new StateStep(this, text, before, std::move(after)));
}

void LogHistory::recordAppendedRows(const LogState& before)
{
    const LogState after = CaptureLogState(m_controls);
    const qsizetype from = before.rows.size();
    if (after.rows.size() <= from || after.rows.mid(0, from) != before.rows
        || after.height1 != before.height1 || after.height2 != before.height2) {
        recordChange(QStringLiteral("Add Entry"), before);
        return;
    }
    LogState step = before;
    for (qsizetype n = from + 1; n <= after.rows.size(); ++n) {
        LogState next = step;
        next.rows.append(after.rows.at(n - 1));
        if (n == after.rows.size())
            next.selected = after.selected;
        push(new StateStep(this, QStringLiteral("Add Entry"), step, next));
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

bool LogHistory::canUndo() const
{
    return activeStack()->canUndo();
}

bool LogHistory::canRedo() const
{
    return activeStack()->canRedo();
}

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
