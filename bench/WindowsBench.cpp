// The windows as the user meets them, with a log of 30 entries and a goal:
// - the built program started until its main window is mapped on the X server (needs an X
//   server: run it under `xvfb-run -a`; skipped without DISPLAY);
// - in one process, the main window made, loaded and shown until it is exposed, and a click on
//   "Start Creating Template" until the preview is exposed.
// Targets: program start to main window mapped 40 ms median, click to preview mapped 15 ms.
#include "Constants.h"
#include "Form1.h"
#include "Form2.h"
#include "LogModel.h"
#include "MessageBox.h"
#include "Settings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>
#include <xcb/xcb.h>

#include <csignal>
#include <memory>

namespace {

QString ThirtyEntries()
{
    QString log;
    for (int i = 0; i < 30; ++i) {
        const QDate date = QDate(2025, 1, 6).addDays(7 * i);
        log += QStringLiteral("%1/%2/%3||SEP1||%4||SEP1||43||SEP1||%5||SEP1||41||SEP2||")
                   .arg(date.month())
                   .arg(date.day())
                   .arg(date.year())
                   .arg(205 - i * 0.5)
                   .arg(40 - i * 0.1);
    }
    return log;
}

// The settings a user with 30 entries and a goal has, in a folder of their own.
struct UserSettings {
    UserSettings()
    {
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        qputenv("XDG_DATA_HOME", (config.path() + QStringLiteral("/data")).toUtf8());
        ForgetUnsavedSettingsForTesting();
        WriteSetting(SettingsSection, Keys::FitnessMen, ThirtyEntries());
        WriteSetting(SettingsSection, Keys::GoalMen, QStringLiteral("185"));
    }
    QTemporaryDir config;
};

// The X server's root window, watched for windows being mapped on it.
class MapWatch {
public:
    MapWatch()
        : m_connection(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(m_connection))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection);
        m_ok = true;
    }
    ~MapWatch() { xcb_disconnect(m_connection); }
    bool ok() const { return m_ok; }

    // Waits for the next top-level window to be mapped; false when the connection fails.
    bool waitForMap()
    {
        while (xcb_generic_event_t* event = xcb_wait_for_event(m_connection)) {
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            free(event);
            if (mapped)
                return true;
        }
        return false;
    }

private:
    xcb_connection_t* m_connection;
    xcb_window_t m_root = 0;
    bool m_ok = false;
};

void BM_ProgramStartToMainWindowMapped(benchmark::State& state)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        state.SkipWithError("needs an X server: run under xvfb-run -a");
        return;
    }
    UserSettings settings;
    MapWatch watch;
    if (!watch.ok()) {
        state.SkipWithError("cannot watch the X server");
        return;
    }
    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    for (auto _ : state) {
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(KALMORA), {});
        if (!program.waitForStarted() || !watch.waitForMap()) {
            state.SkipWithError("the program showed no window");
            break;
        }
        state.PauseTiming();
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        program.waitForFinished();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ProgramStartToMainWindowMapped)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(25);

// The program's own part of start-up, once Qt runs: the main window made, loaded, shown.
void BM_MainWindowShown(benchmark::State& state)
{
    UserSettings settings;
    for (auto _ : state) {
        ForgetUnsavedSettingsForTesting();
        Form1 form;
        form.Form_Load();
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            state.SkipWithError("the main window was not exposed");
        state.PauseTiming();
        form.hide();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MainWindowShown)->Unit(benchmark::kMillisecond)->UseRealTime();

// A click on "Start Creating Template" until the preview is exposed, and "< Back".
void BM_ClickToPreviewMapped(benchmark::State& state)
{
    UserSettings settings;
    Form1 form;
    form.Form_Load();
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        state.SkipWithError("the main window was not exposed");
        return;
    }
    for (auto _ : state) {
        form.PushButton1()->click();
        Form2* preview = form.existingPreview();
        if (!preview || !QTest::qWaitForWindowExposed(preview)) {
            state.SkipWithError("the preview was not shown");
            break;
        }
        state.PauseTiming();
        preview->PushButton8_Click();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    if (Form2* preview = form.existingPreview())
        preview->SetProgramEnd([] {});
}
BENCHMARK(BM_ClickToPreviewMapped)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace

int main(int argc, char** argv)
{
    // On the X server when there is one (mapped means mapped there), else offscreen.
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QApplication app(argc, argv);
    SetMessageResponder([](const MessageRequest& r) {
        std::fprintf(stderr, "message: %s\n", qPrintable(r.text));
        return MsgAnswer::Ok;
    });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
