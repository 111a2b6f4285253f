#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <random>

class Guarded;

// What the chart generation reads from the main window.
struct GenerationInput {
    bool imperial = true;    // the imperial log ("Male") is active
    QString height1;         // feet or metres, as typed
    QString height2;         // inches or centimetres, as typed
    int columnCount = 5;     // the list's columns
    QList<QStringList> rows; // each row's text and sub-items, in list order
    QString goal;            // the log's goal weight as stored (a point before decimals); empty: none
};

// Where the steps put their files.
struct GenerationFiles {
    QString folder;       // this user's private work folder
    QString templatePath; // folder + "/Fitness.xlt"
    QString workbookPath; // the temporary workbook, once chosen
    QString picturePath;  // folder + "/temp.bmp"
};

// Bytes of the template workbook for a log: 101 imperial, 102 metric.
QByteArray TemplateBytes(int id);

// Where each log's figures go on the template's data sheet (1-based).
struct CellMap {
    int heightColumn; // 9 (I) or 11 (K); rows 2 and 3
    int goalRow = 4;  // the goal weight, under the heights
    int firstDataRow = 6;
    int lastClearedRow = 32;
    int clearedColumns; // the list's columns plus the six formula columns (estimates, trend, goal)
};
CellMap CellMapFor(bool imperial, int columnCount);

// The goal weight a stored goal text names: a number above 0 and below a million, with a point
// before its decimals. Anything else, the empty text included, is no goal.
std::optional<double> GoalWeight(const QString& stored);

// Throws Failure, in one report for the whole log, when the entries do not fit a sheet from
// the first data row on or a field is longer than a cell's text may be.
void CheckFitsSheet(const GenerationInput& input);

// The workbook steps of "Start Creating Template": write the template, open it, give it a row
// for every entry, fill in the height, the goal and the entries in date order, clear the rest,
// end the figures and the charts at the last entry, save it under a fresh temporary name,
// reopen it and capture its data sheet as a picture. Each step runs as a numbered step of proc. A step
// every later one needs (the folder, the instance, the template, the workbook, each cell, the
// save, the picture) ends the generation with one report when it fails: then proc is stopped
// and no workbook or picture is left. busyPointer is called where the busy pointer is set
// again. Leftovers of earlier runs are removed first.
GenerationFiles GenerateChartWorkbook(Guarded& proc, const GenerationInput& input, std::mt19937& rng,
                                      const std::function<void()>& busyPointer);
