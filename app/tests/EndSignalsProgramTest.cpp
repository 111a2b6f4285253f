// The built program on a real X server, driven by xdotool as from a keyboard: an entry saved in
// the add dialog is stored at once, and a signal to end (TERM, HUP, INT) ends the program
// cleanly with the dialog still open. kill -9 loses nothing either.
#include <gtest/gtest.h>

#include <QDate>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

namespace {

QString Xdotool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(20000)) {
        tool.kill();
        tool.waitForFinished();
    }
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

// The first visible window of that title, waiting up to 20 s for it.
QString WindowNamed(const QString& title)
{
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        const QString found = Xdotool({"search", "--onlyvisible", "--name", title}).section(QLatin1Char('\n'), 0, 0);
        if (!found.isEmpty())
            return found;
        QThread::msleep(100);
    }
    return QString();
}

QByteArray Bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class EndSignalsProgramTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()
            || qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "needs xdotool and an X server (scripts/deps.sh --tests installs them; ctest runs Xvfb)";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.insert("LANG", "C.UTF-8");
        env.remove("LC_ALL");
        program.setProcessEnvironment(env);
        settings = home.filePath("config/Pendrel/Pendrel.ini");
    }
    void TearDown() override
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished();
        }
    }

    // Starts the program, opens "Add New Entry" with Alt+A and saves one entry with the keyboard,
    // leaving the dialog open. Returns the stored text of the entry, found in the settings file.
    void SaveOneEntryWithTheDialogOpen()
    {
        program.start(QStringLiteral(KALMORA), {});
        ASSERT_TRUE(program.waitForStarted());
        const QString main = WindowNamed(QStringLiteral("^Kalmora$"));
        ASSERT_FALSE(main.isEmpty()) << "no main window; the program "
                                     << (program.state() == QProcess::Running
                                             ? std::string("runs")
                                             : "ended with " + std::to_string(program.exitCode()))
                                     << ": " << program.readAllStandardError().toStdString();
        Xdotool({"windowfocus", "--sync", main});
        Xdotool({"key", "--clearmodifiers", "alt+a"});
        const QString dialog = WindowNamed(QStringLiteral("^Add New Record$"));
        ASSERT_FALSE(dialog.isEmpty()) << "Alt+A opened no add dialog";
        Xdotool({"windowfocus", "--sync", dialog});
        // The date stays today's; weight, waist, chest and hips in the dialog's tab order.
        for (const char* value : {"201", "36", "42", "34"}) {
            Xdotool({"key", "Tab"});
            Xdotool({"type", "--delay", "30", value});
        }
        Xdotool({"key", "Return"});
        const QDeadlineTimer deadline(10000);
        while (!Bytes(settings).contains(Entry()) && !deadline.hasExpired())
            QThread::msleep(50);
        ASSERT_TRUE(Bytes(settings).contains(Entry())) << "the saved entry did not reach the settings file:\n"
                                                       << Bytes(settings).toStdString();
        // The dialog is still open: more entries could follow.
        ASSERT_FALSE(WindowNamed(QStringLiteral("^Add New Record$")).isEmpty());
    }

    static QByteArray Entry()
    {
        const QDate today = QDate::currentDate();
        return QStringLiteral("%1/%2/%3||SEP1||201||SEP1||42||SEP1||36||SEP1||34||SEP2||")
            .arg(today.month())
            .arg(today.day())
            .arg(today.year())
            .toUtf8();
    }

    QTemporaryDir runtime;
    QTemporaryDir home;
    QProcess program;
    QString settings;
};

TEST_P(EndSignalsProgramTest, TheEntryIsStoredAndTheProgramEndsCleanly)
{
    SaveOneEntryWithTheDialogOpen();
    if (HasFatalFailure())
        return;
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), GetParam()), 0);
    ASSERT_TRUE(program.waitForFinished(15000)) << "the program did not end";
    if (GetParam() == SIGKILL) {
        EXPECT_EQ(program.exitStatus(), QProcess::CrashExit);
    } else {
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "ended by the signal itself";
        EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    }
    EXPECT_TRUE(Bytes(settings).contains(Entry())) << Bytes(settings).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Signals, EndSignalsProgramTest, ::testing::Values(SIGTERM, SIGHUP, SIGINT, SIGKILL),
                         [](const ::testing::TestParamInfo<int>& tested) {
                             switch (tested.param) {
                             case SIGTERM: return std::string("TERM");
                             case SIGHUP: return std::string("HUP");
                             case SIGINT: return std::string("INT");
                             default: return std::string("KILL");
                             }
                         });

} // namespace
