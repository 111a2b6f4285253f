#pragma once

#include "StoredLog.h"

#include <QObject>

class QTreeWidget;
class QTreeWidgetItem;

// The operations the program performs on the main list (a QTreeWidget in report view).
// Positions count from 1; a row's text is entry field 0 and sub-item k is field k.
class EntryList {
public:
    explicit EntryList(QTreeWidget* list)
        : m_list(list)
    {
    }

    QTreeWidget* widget() const { return m_list; }

    // Columns.
    void clearColumns();
    void addColumn(const QString& caption);
    int columnCount() const;
    void setColumnWidthTwips(int position, int twips);
    QString columnCaption(int position) const;

    // Rows.
    void clearRows();
    QTreeWidgetItem* addRow(const QString& text);
    int rowCount() const;
    QTreeWidgetItem* row(int position) const;
    void removeRow(int position);
    int index(const QTreeWidgetItem* row) const;

    static QString text(const QTreeWidgetItem* row);
    static void setText(QTreeWidgetItem* row, const QString& text);
    // Sub-item k as shown; writing it sets the shown text (a number in the user's locale).
    static QString subItem(const QTreeWidgetItem* row, int k);
    static void setSubItem(QTreeWidgetItem* row, int k, const QString& text);

    // Selection: at most one row.
    QTreeWidgetItem* selectedRow() const;
    void selectRow(QTreeWidgetItem* row);
    // Selects the first row when there are rows and none is selected.
    void ensureSelection();

    // Whole entries as the list shows them, one field per column.
    QList<LogEntry> entries() const;
    // Whole entries in their stored form (numbers with a decimal point; see NumberText.h). A
    // field loaded from the store and left alone gives back its stored text (an older decimal
    // comma in today's form), so storing never reinterprets what it did not show differently.
    QList<LogEntry> storedEntries() const;
    // Appends stored entries at once, each with fieldCount fields (missing fields empty, extra
    // fields ignored); numbers show in the user's locale.
    void appendEntries(const QList<LogEntry>& entries, int fieldCount);

private:
    QList<LogEntry> collect(QString (*field)(const QTreeWidgetItem*, int)) const;

    QTreeWidget* m_list;
};

// Keeps one row selected while the list has rows, whatever the user clicks.
void KeepOneRowSelected(QTreeWidget* list);
