#include "Commands.h"

#include "EntryDate.h"
#include "EntryDateEdit.h"
#include "EntryDialog.h"
#include "Failure.h"
#include "Guarded.h"
#include "LogModel.h"
#include "MessageBox.h"
#include "NumberText.h"
#include "Preferences.h"

#include <QLineEdit>

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

} // namespace

std::unique_ptr<EntryDialog> MakeEntryDialog(LogModel& log, QWidget* window)
{
    if (log.imperial())
        return std::make_unique<Form3>(log, window);
    return std::make_unique<Form4>(log, window);
}

void SetEntryDialogOpenedHook(std::function<void(EntryDialog*)> hook) { OpenedHook() = std::move(hook); }

void AddNewEntry(LogModel& log, QWidget* window, Guarded& proc)
{
    bool full = false;
    proc(10, [&] {
        const int limit = ReadEntryLimit();
        if (EntryLimitReached(log.rowCount(), limit)) {
            full = true;
            ShowMessage(EntryLimitReachedMessage(limit));
        }
    });
    if (full)
        return;
    proc(20, [&] {
        std::unique_ptr<EntryDialog> dialog = MakeEntryDialog(log, window);
        // Each saved entry is stored when it is saved, reported as the command's own store is.
        dialog->setAppendedHandler([&] {
            Guarded store(QStringLiteral("Form1.PushButton2_Click"));
            store(30, [&] { log.storeActiveLog(); });
        });
        RunDialog(dialog.get());
    });
    proc(30, [&] { log.storeActiveLog(); });
}

void DeleteSelectedEntry(LogModel& log, Guarded& proc) { log.deleteSelected(proc); }

void EditSelectedEntry(LogModel& log, QWidget* window, Guarded& proc)
{
    const int selected = log.selected();
    if (log.rowCount() == 0 || selected < 1)
        return;
    std::unique_ptr<EntryDialog> dialog;
    proc(20, [&] { dialog = MakeEntryDialog(log, window); });
    if (!dialog)
        return;
    proc(30, [&] { dialog->setWindowTitle(EntryDialog::EditCaption()); });
    proc(40, [&] {
        const QString text = log.field(selected, 0);
        const QDate date = ParseEntryDate(text);
        if (!date.isValid() || date < dialog->DateTimePicker1()->minimumDate()
            || date > dialog->DateTimePicker1()->maximumDate())
            throw Failure(QStringLiteral("Type mismatch: \"%1\" is not a date.").arg(text));
        dialog->DateTimePicker1()->setDate(date);
    });
    proc(50, [&] {
        for (int n = 1; n <= dialog->measurementCount(); ++n)
            dialog->Text(n)->setText(ShownNumberText(log.field(selected, n)));
    });
    proc(60, [&] { RunDialog(dialog.get()); });
    proc(70, [&] { log.storeActiveLog(); });
}

void ClearList(LogModel& log, Guarded& proc) { log.clear(proc); }

void LoadSampleData(LogModel& log, Guarded& proc) { log.loadSample(proc); }
