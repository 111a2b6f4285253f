#pragma once

#include "ActiveLog.h"
#include "Commands.h"
#include "EntryDialog.h"
#include "EntryList.h"
#include "LogControls.h"
#include "LogHistory.h"
#include "Settings.h"
#include "TestSupport.h"
#include "Constants.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include <functional>

// The stored text under key, or "<missing>".
inline QString Stored(const QString& key) { return ReadSetting(SettingsSection, key, QStringLiteral("<missing>")); }

// Fills the dialog's boxes 1, 2, ... with texts.
inline void Type(EntryDialog* dialog, const QStringList& texts)
{
    for (int n = 1; n <= texts.size(); ++n)
        dialog->Text(n)->setText(texts.at(n - 1));
}

// The main window's log controls without the main window, set up the way start-up leaves
// them with the imperial log.
struct LogHarness {
    QWidget window;
    LogControls c;

    explicit LogHarness(bool withHistory = false)
    {
        auto* frame1 = new QGroupBox("Gender", &window);
        c.Option1 = new QRadioButton("Male", frame1);
        c.Option2 = new QRadioButton("Female", frame1);
        c.Option1->setChecked(true);
        auto* frame2 = new QGroupBox("Height", &window);
        c.Label1 = {new QLabel("Feet:", frame2), new QLabel("Inches:", frame2)};
        c.Text1 = new QLineEdit(frame2);
        c.Text2 = new QLineEdit(frame2);
        c.ListView1 = new QTreeWidget(&window);
        // The list has no columns until start-up creates them.
        c.ListView1->setColumnCount(0);
        c.window = &window;
        if (withHistory)
            c.history = new LogHistory(c, &window);
        WireLogControls(c);
    }

    void startImperial()
    {
        SetupImperialView(c);
        list().setColumnWidthTwips(1, DateColumnTwips);
        LoadActiveLog(c);
    }

    EntryList list() const { return EntryList(c.ListView1); }

    void addRows(const QList<LogEntry>& entries) { list().appendEntries(entries, list().columnCount()); }

    QList<LogEntry> rows() const { return list().entries(); }
};

// Runs `act` on the entry dialog once it is open and modal; the dialog is closed afterwards
// if `act` left it open, so a test never waits on it.
class DriveDialog {
public:
    explicit DriveDialog(std::function<void(EntryDialog*)> act)
    {
        SetEntryDialogOpenedHook([this, act](EntryDialog* dialog) {
            ++opened;
            lastCaption = dialog->windowTitle();
            QTimer::singleShot(0, dialog, [dialog, act] {
                act(dialog);
                if (dialog->isVisible())
                    dialog->reject();
            });
        });
    }
    ~DriveDialog() { SetEntryDialogOpenedHook({}); }

    int opened = 0;
    QString lastCaption;
};
