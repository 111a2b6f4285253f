// The settings store: one height typed (a write of the whole file with both logs full, read
// afresh under the lock, fsync'ed and renamed into place), and the first read at start-up.
// Target: a write under 5 ms on ext4. Runs in a folder under the build tree's filesystem
// (set BENCH_SETTINGS_DIR to measure another one).
#include "Constants.h"
#include "Form1.h"
#include "MessageBox.h"
#include "Settings.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QString FullLog(int entries, int fields)
{
    QString log;
    for (int i = 1; i <= entries; ++i) {
        QStringList entry{QStringLiteral("6/%1/2004").arg(i)};
        for (int f = 1; f < fields; ++f)
            entry << QString::number(200 - i * 0.5 + f);
        log += entry.join(QStringLiteral("||SEP1||")) + QStringLiteral("||SEP2||");
    }
    return log;
}

// A settings folder of its own, with both logs of 26 entries stored.
struct Store {
    Store()
        : dir(qEnvironmentVariableIsEmpty("BENCH_SETTINGS_DIR")
                  ? QDir::currentPath() + QStringLiteral("/settings-bench-XXXXXX")
                  : qEnvironmentVariable("BENCH_SETTINGS_DIR") + QStringLiteral("/settings-bench-XXXXXX"))
    {
        qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
        qputenv("XDG_DATA_HOME", (dir.path() + QStringLiteral("/data")).toUtf8());
        ForgetUnsavedSettingsForTesting();
        WriteSetting(SettingsSection, Keys::FitnessMen, FullLog(26, 5));
        WriteSetting(SettingsSection, Keys::FitnessWomen, FullLog(26, 7));
        WriteSetting(SettingsSection, Keys::Text1Men, QStringLiteral("5"));
        WriteSetting(SettingsSection, Keys::Text2Men, QStringLiteral("10"));
    }
    ~Store() { ForgetUnsavedSettingsForTesting(); }
    QTemporaryDir dir;
};

void BM_WriteOneHeight(benchmark::State& state)
{
    Store store;
    int n = 0;
    for (auto _ : state)
        WriteSetting(SettingsSection, Keys::Text2Men, QString::number(10 + (++n % 2)));
}
BENCHMARK(BM_WriteOneHeight)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteTheLogWithAnEntryMore(benchmark::State& state)
{
    Store store;
    const QString shorter = FullLog(25, 5);
    const QString longer = FullLog(26, 5);
    int n = 0;
    for (auto _ : state)
        WriteSetting(SettingsSection, Keys::FitnessMen, ++n % 2 ? shorter : longer);
}
BENCHMARK(BM_WriteTheLogWithAnEntryMore)->Unit(benchmark::kMillisecond)->UseRealTime();

// Start-up: the first read parses the whole file.
void BM_FirstReadAtStart(benchmark::State& state)
{
    Store store;
    for (auto _ : state) {
        ForgetUnsavedSettingsForTesting();
        benchmark::DoNotOptimize(ReadSetting(SettingsSection, Keys::FitnessMen));
    }
}
BENCHMARK(BM_FirstReadAtStart)->Unit(benchmark::kMicrosecond);

// Start-up to the first paint of the main window, with a log whose one field holds 5 MB (a hand
// edit or another program can store that). It took 7.5 s when the list laid the field out whole.
void BM_MainWindowWithAFiveMegabyteField(benchmark::State& state)
{
    Store store;
    WriteSetting(SettingsSection, Keys::FitnessMen,
                 QStringLiteral("6/10/2004||SEP1||") + QString(5 * 1024 * 1024, QLatin1Char('7'))
                     + QStringLiteral("||SEP1||42||SEP1||36||SEP1||34||SEP2||"));
    SetMessageResponder([](const MessageRequest&) { return MsgAnswer::Ok; });
    for (auto _ : state) {
        ForgetUnsavedSettingsForTesting();
        Form1 form;
        form.Form_Load();
        form.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(form.grab());
    }
    SetMessageResponder({});
}
BENCHMARK(BM_MainWindowWithAFiveMegabyteField)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
