#pragma once

#include "LogHistory.h"
#include "StoredLog.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>

class Guarded;

// The active log's working copy, without any window: its columns, its rows in their stored
// form (numbers with a point, dates month first), the selected row, the two height fields and
// the commands that change them, each ending in the store. The main window's list and height
// fields are views of it. Positions count from 1; field 0 of a row is its date.
//
// The active log is the imperial one ("Fitness Men") or the metric one ("Fitness Women"); it
// changes only through switchTemplate. Each log has its own undo history.
class LogModel : public QObject, private UndoTarget {
    Q_OBJECT
public:
    explicit LogModel(QObject* parent = nullptr);
    ~LogModel() override;

    bool imperial() const { return m_imperial; }
    // The settings key of the active log.
    QString activeKey() const;
    // Captions of the height fields: "Feet:" / "Inches:" or "Meter:" / "CM:".
    static std::array<QString, 2> HeightCaptions(bool imperial);

    // Columns.
    const QStringList& columns() const { return m_columns; }
    int columnCount() const { return static_cast<int>(m_columns.size()); }
    void setColumns(const QStringList& captions);

    // Rows, in their stored form.
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    const QList<LogEntry>& entries() const { return m_rows; }
    const LogEntry& entry(int position) const { return m_rows.at(position - 1); }
    // Field k of the row at position; a field never written reads as the empty text.
    QString field(int position, int k) const { return entry(position).value(k); }
    // The list's own operations: rows appended in their stored form (an older decimal comma
    // read as today's point) or all removed, with no store and no undo step.
    void appendEntries(const QList<LogEntry>& rows) { appendRows(rows); }
    void clearEntries() { resetRows({}, 0); }
    // The rows with their measurements as the user's locale writes them (the dates as
    // stored): what chart generation fills in.
    QList<LogEntry> typedEntries() const;

    // The selected row, or 0. While there are rows one of them is selected.
    int selected() const { return m_selected; }
    void select(int position);

    // The height fields (1 or 2), as shown.
    QString height(int field) const { return m_heights.at(field - 1); }

    // While a chart generation runs, delete, clear and the example keep the rows, and nothing
    // is undone.
    void setBusy(bool busy) { m_busy = busy; }
    bool busy() const { return m_busy; }

    // Start-up: the imperial log's heights (defaults "5" and "10") and start-up columns.
    void setUpImperialView();
    // Appends the stored entries of the active log (missing fields empty, extra ones dropped)
    // and selects the first row when none is.
    void loadActiveLog();
    // Rewrites the active log's stored text (the store takes the day's backup first). Throws
    // Failure when the store or the backup fails (the text is stored all the same when only
    // the backup failed).
    void storeActiveLog();

    // The switch between logs, as steps 20 to 70 of proc: rows, columns, heights from the
    // store, the stored choice, the log. The log being left is not stored.
    void switchTemplate(bool imperial, Guarded& proc);

    // A height field set by the program: stores it (a number with a point) when it changes.
    // Throws Failure when the store fails.
    void setHeight(int field, const QString& text);
    // A height field typed by the user: the same, and an undo step.
    void typeHeight(int field, const QString& text);
    // The user starts or ends typing in a height field.
    void startHeightSession() { m_history->startHeightSession(); }

    // A row added by the add dialog's "Save": one undo step; the dialog stores it at once.
    void appendEntry(const LogEntry& entry);
    // Editing; each ends in the store and is one undo step. Throws Failure when the store
    // fails (the change stays on screen and is stored at the next change).
    void replaceSelected(const LogEntry& entry); // the edit dialog's "Save"; no row, no change
    void deleteSelected(Guarded& proc);          // steps 10 and 20
    void clear(Guarded& proc);                   // steps 10 and 20
    void loadSample(Guarded& proc);              // steps 10 to 40
    // The whole log replaced by other entries (the log as another program left it in the
    // store), as one step that undo takes back.
    void replaceLog(const QList<LogEntry>& entries, const QString& stepText);
    // The active log read again from the store, with no undo step (nothing was pending).
    void reloadActiveLog();
    // Edit > Sort by Date: the rows in date order as one undo step, stored at once; the
    // selected entry stays selected. False (and no step) when they already are in that order
    // or a chart generation runs.
    bool sortByDate();

    // The active log's goal weight as stored: a number with a point, or empty for none.
    QString goal() const;
    // A new goal for the active log: stored at once, one undo step; nothing when unchanged.
    // A store that fails is reported under "Form1.SetGoal".
    void setGoal(const QString& stored);
    // A log's goal was changed in the store by something else: the views show it again.
    void goalReadAgain(bool imperial);

    // Undo and redo of the active log; nothing while busy. A failing store is reported under
    // "Form1.Undo" or "Form1.Redo".
    LogHistory& history() { return *m_history; }
    bool canUndo() const { return m_history->canUndo(); }
    bool canRedo() const { return m_history->canRedo(); }
    void undo();
    void redo();

    // The state undo puts back.
    LogState state() const;

signals:
    // For views: the same protocol as an item model's, positions from 1.
    void aboutToReset();
    void wasReset(); // columns and rows
    void columnsChanged();
    void rowsAboutToBeAppended(int first, int last);
    void rowsAppended(int first, int last);
    void rowAboutToBeRemoved(int position);
    void rowRemoved(int position);
    void rowChanged(int position);
    // A row the user added (the list shows it).
    void entryAppended(int position);
    void selectionChanged(int position);
    void heightChanged(int field, const QString& text);
    // The goal of a log (not always the active one: undo of a step made before a switch).
    void goalChanged(bool imperial, const QString& stored);
    void activeLogChanged(bool imperial);
    void historyChanged();

private:
    const QList<LogEntry>& currentRows() const override { return m_rows; }
    void applyState(const LogState& state) override;
    void applyHeight(int field, const QString& text) override;

    void resetRows(const QList<LogEntry>& rows, int selected);
    void appendRows(const QList<LogEntry>& rows);
    void removeRow(int position);
    void ensureSelection();
    void storeHeight(int field);
    QString heightKey(int field) const;
    int fieldCount() const;

    bool m_imperial = true;
    bool m_busy = false;
    QStringList m_columns;
    QList<LogEntry> m_rows;
    int m_selected = 0;
    std::array<QString, 2> m_heights;
    LogHistory* m_history;
    QString m_undoProcedure;
};
