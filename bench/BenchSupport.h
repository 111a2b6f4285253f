#pragma once
// What the program's benchmarks share: an imperial log to generate from, and message boxes
// answered at once.

#include "Generation.h"
#include "MessageBox.h"

#include <QApplication>
#include <QDate>
#include <QStringList>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

// A log of daily entries, lower in weight and waist each day.
inline GenerationInput ImperialInput(int entries)
{
    GenerationInput in;
    in.imperial = true;
    in.height1 = QStringLiteral("5");
    in.height2 = QStringLiteral("10");
    in.columnCount = 5;
    for (int i = 0; i < entries; ++i) {
        const QDate date = QDate(2004, 6, 1).addDays(i);
        in.rows.append({QStringLiteral("%1/%2/%3").arg(date.month()).arg(date.day()).arg(date.year()),
                        QString::number(200 - i * 0.5), QStringLiteral("42"), QString::number(36 - i * 0.1),
                        QStringLiteral("34")});
    }
    return in;
}

// Answers every message box, so a failure shows up as an error, not as a hang.
struct NoBoxes {
    NoBoxes()
    {
        SetMessageResponder([this](const MessageRequest& r) {
            failures.append(r.text);
            return MsgAnswer::Ok;
        });
    }
    ~NoBoxes() { SetMessageResponder({}); }
    NoBoxes(const NoBoxes&) = delete;
    NoBoxes& operator=(const NoBoxes&) = delete;
    QStringList failures;
};

// A GUI application on the offscreen platform, with settings and work files in folders of its
// own, running
// the benchmarks the command line selects.
inline int RunBenchmarks(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    // The work folder and the instance registry live in the user's runtime folder.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
