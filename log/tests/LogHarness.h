#pragma once

#include "ActiveLog.h"
#include "Commands.h"
#include "Constants.h"
#include "EntryDialog.h"
#include "EntryTableModel.h"
#include "LogModel.h"
#include "LogView.h"
#include "Settings.h"
#include "TestSupport.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QTreeView>
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

// A log model with the main window's log controls as its view, without the main window.
struct LogHarness {
    // The model outlives the window: the view and the list still ask it while they are torn down.
    LogModel model;
    QWidget window;
    LogControls c;
    LogView* view = nullptr;

    LogHarness()
    {
        auto* frame1 = new QGroupBox("Gender", &window);
        c.Option1 = new QRadioButton("Male", frame1);
        c.Option2 = new QRadioButton("Female", frame1);
        c.Option1->setChecked(true);
        auto* frame2 = new QGroupBox("Height", &window);
        c.Label1 = {new QLabel("Feet:", frame2), new QLabel("Inches:", frame2)};
        c.Text1 = new QLineEdit(frame2);
        c.Text2 = new QLineEdit(frame2);
        c.ListView1 = new QTreeView(&window);
        c.window = &window;
        view = new LogView(c, model, &window);
    }

    // What start-up does with the imperial log.
    void startImperial()
    {
        model.setUpImperialView();
        c.ListView1->setColumnWidth(0, Px(DateColumnTwips));
        model.loadActiveLog();
    }

    void addRows(const QList<LogEntry>& entries) { model.appendEntries(entries); }
    QList<LogEntry> rows() const { return model.entries(); }
    int rowCount() const { return model.rowCount(); }
    // Field k of the row at position as the list shows it.
    QString shown(int position, int k) const { return view->tableModel()->index(position - 1, k).data().toString(); }
    // The rows as the list shows them.
    QList<LogEntry> shownRows() const
    {
        QList<LogEntry> result;
        for (int r = 1; r <= model.rowCount(); ++r) {
            LogEntry row;
            for (int k = 0; k < model.columnCount(); ++k)
                row.append(shown(r, k));
            result.append(row);
        }
        return result;
    }
    // The row the list shows selected (from 1), or 0.
    int listSelection() const
    {
        const QModelIndexList rows = c.ListView1->selectionModel()->selectedRows();
        return rows.isEmpty() ? 0 : rows.first().row() + 1;
    }
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
