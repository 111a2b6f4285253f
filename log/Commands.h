#pragma once

#include "LogControls.h"

#include <QString>

#include <functional>
#include <memory>

class EntryDialog;
class Guarded;

// The commands of the main window that edit the active log. Each runs as the body of the
// window's guarded procedure `proc` and ends by rewriting the active log's stored text.

// "Add New Entry": the entry-limit message when the list holds 26 or more rows; otherwise
// the entry dialog of the active log in add mode. Every "Save" in it stores the log at once
// (one durable write, one undo step per entry); closing it stores once more.
void AddNewEntry(const LogControls& c, Guarded& proc);

// "Delete Selected Entry": removes the selected row (none while the busy pointer shows or
// when no row is selected), keeps a row selected, stores.
void DeleteSelectedEntry(const LogControls& c, Guarded& proc);

// "Edit Selected Entry": with a selected row, the entry dialog in edit mode preset from the
// row, then the store. With no rows or no selection, nothing at all.
void EditSelectedEntry(const LogControls& c, Guarded& proc);

// "Clear List": removes every row (none while the busy pointer shows), stores.
void ClearList(const LogControls& c, Guarded& proc);

// "Load Sample/Example Data": replaces the active log and height with the example.
void LoadSampleData(const LogControls& c, Guarded& proc);

// The entry dialog of the active log: Form3 while Option1 is selected, else Form4.
std::unique_ptr<EntryDialog> MakeEntryDialog(const LogControls& c);

// Tests watch the dialog a command opens (it runs modally inside the command).
void SetEntryDialogOpenedHook(std::function<void(EntryDialog*)> hook);
