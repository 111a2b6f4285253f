#include "Commands.h"

#include "ActiveLog.h"
#include "EntryDate.h"
#include "EntryDateEdit.h"
#include "EntryDialog.h"
#include "EntryList.h"
#include "Failure.h"
#include "Guarded.h"
#include "LogHistory.h"
#include "MessageBox.h"
#include "Pointer.h"
#include "SampleData.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QRadioButton>
#include <QTreeWidget>

namespace {

std::function<void(EntryDialog*)>& OpenedHook()
{
    static std::function<void(EntryDialog*)> hook;
    return hook;
}

void RunDialog(EntryDialog* dialog)
{
    if (OpenedHook())
        OpenedHook()(dialog);
    dialog->exec();
}

// What the log looked like before a command, for its undo step.
LogState Before(const LogControls& c) { return c.history ? CaptureLogState(c) : LogState(); }

void Record(const LogControls& c, const QString& text, const LogState& before)
{
    if (c.history)
        c.history->recordChange(text, before);
}

} // namespace

std::unique_ptr<EntryDialog> MakeEntryDialog(const LogControls& c)
{
    if (c.Option1->isChecked())
        return std::make_unique<Form3>(c.ListView1, c.window);
    return std::make_unique<Form4>(c.ListView1, c.window);
}

void SetEntryDialogOpenedHook(std::function<void(EntryDialog*)> hook) { OpenedHook() = std::move(hook); }

void AddNewEntry(const LogControls& c, Guarded& proc)
{
    EntryList list(c.ListView1);
    bool full = false;
    proc(10, [&] {
        if (list.rowCount() >= EntryLimit) {
            full = true;
            ShowMessage(EntryLimitMessage());
        }
    });
    if (full)
        return;
    LogState before = Before(c);
    proc(20, [&] {
        std::unique_ptr<EntryDialog> dialog = MakeEntryDialog(c);
        // Each saved entry is stored when it is saved, and is one undo step of its own.
        dialog->setAppendedHandler([&] {
            // Reported as the command's own store is.
            Guarded store(QStringLiteral("Form1.PushButton2_Click"));
            store(30, [&] { StoreActiveLog(c); });
            if (c.history) {
                c.history->recordAppendedRows(before);
                before = Before(c);
            }
        });
        RunDialog(dialog.get());
    });
    proc(30, [&] { StoreActiveLog(c); });
    if (c.history)
        c.history->recordAppendedRows(before);
}

void DeleteSelectedEntry(const LogControls& c, Guarded& proc)
{
    EntryList list(c.ListView1);
    const LogState before = Before(c);
    proc(10, [&] {
        if (IsBusyPointer(c.window) || list.rowCount() < 1)
            return;
        QTreeWidgetItem* selected = list.selectedRow();
        if (!selected)
            return;
        const int position = list.index(selected);
        list.removeRow(position);
        // The row that moved up into the place, or the new last row.
        if (list.rowCount() > 0)
            list.selectRow(list.row(qMin(position, list.rowCount())));
    });
    proc(20, [&] { StoreActiveLog(c); });
    Record(c, QStringLiteral("Delete Entry"), before);
}

void EditSelectedEntry(const LogControls& c, Guarded& proc)
{
    EntryList list(c.ListView1);
    if (list.rowCount() == 0)
        return;
    QTreeWidgetItem* selected = list.selectedRow();
    if (!selected)
        return;
    std::unique_ptr<EntryDialog> dialog;
    proc(20, [&] { dialog = MakeEntryDialog(c); });
    if (!dialog)
        return;
    proc(30, [&] { dialog->setWindowTitle(EntryDialog::EditCaption()); });
    proc(40, [&] {
        const QString text = EntryList::text(selected);
        const QDate date = ParseEntryDate(text);
        if (!date.isValid() || date < dialog->DateTimePicker1()->minimumDate()
            || date > dialog->DateTimePicker1()->maximumDate())
            throw Failure(QStringLiteral("Type mismatch: \"%1\" is not a date.").arg(text));
        dialog->DateTimePicker1()->setDate(date);
    });
    proc(50, [&] {
        for (int n = 1; n <= dialog->measurementCount(); ++n)
            dialog->Text(n)->setText(EntryList::subItem(selected, n));
    });
    const LogState before = Before(c);
    proc(60, [&] { RunDialog(dialog.get()); });
    proc(70, [&] { StoreActiveLog(c); });
    Record(c, QStringLiteral("Edit Entry"), before);
}

void ClearList(const LogControls& c, Guarded& proc)
{
    EntryList list(c.ListView1);
    const LogState before = Before(c);
    proc(10, [&] {
        if (!IsBusyPointer(c.window))
            list.clearRows();
    });
    proc(20, [&] { StoreActiveLog(c); });
    Record(c, QStringLiteral("Clear List"), before);
}

void LoadSampleData(const LogControls& c, Guarded& proc)
{
    EntryList list(c.ListView1);
    const LogState before = Before(c);
    proc(10, [&] {
        if (!IsBusyPointer(c.window))
            list.clearRows();
    });
    const bool imperial = c.Option1->isChecked();
    proc(20, [&] { SetHeightField(c.Text1, imperial ? ImperialSampleHeight1 : MetricSampleHeight1); });
    proc(21, [&] { SetHeightField(c.Text2, imperial ? ImperialSampleHeight2 : MetricSampleHeight2); });
    proc(30, [&] {
        list.appendEntries(SampleEntries(imperial), imperial ? 5 : 7);
        list.ensureSelection();
    });
    proc(40, [&] { StoreActiveLog(c); });
    Record(c, QStringLiteral("Load Example Data"), before);
}
