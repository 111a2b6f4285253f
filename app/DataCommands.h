#pragma once

#include "StoredLog.h"

#include <QDate>
#include <QList>
#include <QString>

#include <functional>

class QWidget;

// The main window's commands that bring data in and take it out: File > Import...,
// File > Export CSV..., File > Restore From Backup... Each runs as a guarded procedure of
// the main window and gives back the text for its status bar (empty when nothing happened).

// What they need of the active log.
struct ActiveLogAccess {
    bool imperial = true;
    QList<LogEntry> entries; // in their stored form
    QString height1;         // the height fields, in their stored form
    QString height2;
    // Puts entries in the active log as one undoable step, stored at once (after the day's
    // backup). Throws Failure when the store fails.
    std::function<void(const QList<LogEntry>&, const QString&)> replace;
};

QString ImportIntoActiveLog(const ActiveLogAccess& log, QWidget* parent);
QString ExportActiveLog(const ActiveLogAccess& log, QWidget* parent);
QString RestoreActiveLog(const ActiveLogAccess& log, QWidget* parent);

// The file name Export CSV... offers: "Fitness Men 2026-12-07.csv".
QString ExportFileName(bool imperial, const QDate& day);
