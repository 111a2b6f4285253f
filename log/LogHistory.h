#pragma once

#include "LogControls.h"
#include "StoredLog.h"

#include <QObject>
#include <QString>

class QUndoStack;

// What an undo step puts back: the active log's rows in their stored form, the two height
// fields as shown, and the selected row.
struct LogState {
    QList<LogEntry> rows;
    QString height1;
    QString height2;
    int selected = 0; // position from 1; 0 when no row is selected

    bool operator==(const LogState& other) const
    {
        return rows == other.rows && height1 == other.height1 && height2 == other.height2;
    }
    bool operator!=(const LogState& other) const { return !(*this == other); }
};

LogState CaptureLogState(const LogControls& c);

// Undo and redo of the changes to the log on screen, within a session: the editing commands,
// the example data and heights typed into the fields. Each log has a history of its own, so
// the history follows the log across switches. A step changes the list, the height fields and
// the stored log together; the stored log keeps its format.
class LogHistory : public QObject {
    Q_OBJECT
public:
    // Steps kept per log.
    static constexpr int StepLimit = 200;

    explicit LogHistory(const LogControls& c, QObject* parent = nullptr);
    ~LogHistory() override;

    // The history of the imperial (Option1) or the metric log.
    QUndoStack* stack(bool imperial) const;
    QUndoStack* activeStack() const;

    // A command changed the active log from `before` to what is on screen now: one step, none
    // when nothing changed.
    void recordChange(const QString& text, const LogState& before);
    // An add command appended rows to `before`: one step per row, so each can be undone alone.
    void recordAppendedRows(const LogState& before);

    // A height field's text changed (field 1 or 2). Typing makes a step; consecutive changes
    // of one field while it keeps the focus make one step. Changes made by the program itself
    // (start-up, a switch, the example, undo) make none.
    void heightChanged(int field, const QString& text, bool byProgram);

    // Undo and redo the active log's last step. Nothing while the busy pointer shows (a chart
    // generation runs) or when there is nothing to undo or redo. A failing store is reported
    // under "Form1.Undo" or "Form1.Redo".
    void undo();
    void redo();
    bool canUndo() const;
    bool canRedo() const;

    // Puts a state on screen and into the store (used by the steps).
    void apply(const LogState& state);

signals:
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void push(class QUndoCommand* step);

    LogControls m_controls;
    QUndoStack* m_imperial;
    QUndoStack* m_metric;
    QString m_lastHeight[2];
    int m_focusSession = 0;
    bool m_applying = false;
    QString m_procedure;
};
