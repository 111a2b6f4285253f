#pragma once

#include "StoredLog.h"

#include <QObject>
#include <QString>

class QUndoCommand;
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

// What the steps change: the log on screen and in the store.
class UndoTarget {
public:
    virtual ~UndoTarget() = default;
    // The rows as they are now, in their stored form.
    virtual const QList<LogEntry>& currentRows() const = 0;
    // Puts a whole state on screen and into the store.
    virtual void applyState(const LogState& state) = 0;
    // Puts one height field (1 or 2) back, as the program sets it.
    virtual void applyHeight(int field, const QString& text) = 0;
};

// Undo and redo of the changes to the log, within a session: the editing commands, the
// example data and heights typed into the fields. Each log has a history of its own, so the
// history follows the log across switches.
class LogHistory : public QObject {
    Q_OBJECT
public:
    // Steps kept per log.
    static constexpr int StepLimit = 200;

    explicit LogHistory(UndoTarget& target, QObject* parent = nullptr);
    ~LogHistory() override;

    // The history of the imperial or the metric log, and which one is in use.
    QUndoStack* stack(bool imperial) const;
    QUndoStack* activeStack() const;
    void setActive(bool imperial);

    // The log changed from `before` to `after`: one step, none when nothing changed.
    void recordChange(const QString& text, const LogState& before, const LogState& after);
    // Rows were appended to `before`: one step per row, so each can be undone alone.
    void recordAppendedRows(const LogState& before, const LogState& after);

    // A height field (1 or 2) was typed from `before` to `after`. Consecutive changes of one
    // field within one editing session make one step.
    void recordTypedHeight(int field, const QString& before, const QString& after);
    // The field got or lost the focus: the next typing is a new step.
    void startHeightSession() { ++m_heightSession; }

    bool canUndo() const;
    bool canRedo() const;
    void undo();
    void redo();

signals:
    void changed();

private:
    void push(QUndoCommand* step);

    UndoTarget& m_target;
    QUndoStack* m_imperial;
    QUndoStack* m_metric;
    bool m_activeImperial = true;
    int m_heightSession = 0;
};
