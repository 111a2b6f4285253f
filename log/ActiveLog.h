#pragma once

#include "LogControls.h"

#include <QString>
#include <QStringList>

#include <optional>

class QLineEdit;

// The active log is the imperial one while Option1 is selected, the metric one otherwise.

// Column captions of each log as the switch creates them, and the imperial ones of start-up
// (two of those begin with a blank).
QStringList ImperialColumns();
QStringList MetricColumns();
QStringList StartupImperialColumns();
// The first column is this wide after start-up and every switch.
constexpr int DateColumnTwips = 1500;

// The settings key of the active log.
QString ActiveLogKey(const LogControls& c);

// Rewrites the active log's stored text from the list, after the day's backup when the text
// changes (SettingsBackup.h). Throws Failure when the store or the backup fails (the text is
// stored all the same when only the backup failed).
void StoreActiveLog(const LogControls& c);

// Appends the stored entries of the active log to the list (cleared by the caller, columns
// set up). Missing fields of a short entry load as empty text. Selects the first row.
void LoadActiveLog(const LogControls& c);

// Start-up's setup of the imperial log: height fields from the store (defaults "5" and "10")
// and the start-up columns.
void SetupImperialView(const LogControls& c);

// The switch between logs, run when Option1 (which == 1) or Option2 (which == 2) becomes
// selected. Failures are reported under the running guarded procedure, else under
// "Form1.Option1_Click" / "Form1.Option2_Click"; each step still runs.
void SwitchTemplate(const LogControls& c, int which);

// A height field's text changed: store it (a number with a decimal point) under the key of the
// active log. Throws Failure when the store fails.
void HeightFieldChanged(const LogControls& c, int field);

// Sets a height field; its change handler stores the text when it differs.
void SetHeightField(QLineEdit* field, const QString& text);
// True while SetHeightField writes a field (the change is the program's, not typing).
bool HeightSetByProgram();
// Shows a stored height (a number in the user's locale) in a field.
void ShowStoredHeight(QLineEdit* field, const QString& stored);

// Connects the options, the height fields and the list to the handlers above.
void WireLogControls(const LogControls& c);

// Why the height fields cannot go into the active log's chart template, naming the field at
// fault (1 or 2), or nothing when they can. The first field (feet, metres) takes a whole
// number, the second a number in the user's locale (inches also a fraction, "3/8" or
// "5 3/8", which the imperial template shows as such); neither below zero, together above zero.
struct HeightProblem {
    int field = 0;
    QString message;
};
std::optional<HeightProblem> CheckHeightForChart(bool imperial, const QString& first, const QString& second);
