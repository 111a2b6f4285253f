#pragma once

#include <QString>

#include <functional>
#include <memory>

class EntryDialog;
class Guarded;
class LogModel;
class QWidget;

// The commands of the main window that edit the active log. Each runs as the body of the
// window's guarded procedure `proc` and ends by rewriting the active log's stored text; the
// entry dialogs open over `window`.

// "Add New Entry": the entry-limit message when the log holds as many rows as the user's
// entry limit ("Entry Limit", 26 unless changed, 0 for none) or more; otherwise
// the entry dialog of the active log in add mode. Every "Save" in it stores the log at once
// (one write, one undo step per entry); closing it stores once more.
void AddNewEntry(LogModel& log, QWidget* window, Guarded& proc);

// "Delete Selected Entry": removes the selected row (none while a chart is generated),
// keeps a row selected, stores.
void DeleteSelectedEntry(LogModel& log, Guarded& proc);

// "Edit Selected Entry": with a selected row, the entry dialog in edit mode preset from the
// row, then the store. With no rows, nothing at all.
void EditSelectedEntry(LogModel& log, QWidget* window, Guarded& proc);

// "Clear List": removes every row (none while a chart is generated), stores.
void ClearList(LogModel& log, Guarded& proc);

// "Load Sample/Example Data": replaces the active log and height with the example.
void LoadSampleData(LogModel& log, Guarded& proc);

// The entry dialog of the active log: Form3 for the imperial log, else Form4.
std::unique_ptr<EntryDialog> MakeEntryDialog(LogModel& log, QWidget* window);

// Tests watch the dialog a command opens (it runs modally inside the command).
void SetEntryDialogOpenedHook(std::function<void(EntryDialog*)> hook);
