// The program as a user starts it, twice.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

namespace {

TEST(TwoStarts, TheSecondWakesTheFirstAndEnds)
{
    QTemporaryDir runtime, config;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("XDG_CONFIG_HOME", config.path());

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(KALMORA), {});
    ASSERT_TRUE(first.waitForStarted());
    const QString socket = runtime.filePath("kalmora/instance.socket");
    const QDeadlineTimer ready(20000);
    while (!QFile::exists(socket) && !ready.hasExpired() && first.state() == QProcess::Running)
        QThread::msleep(20);
    ASSERT_TRUE(QFile::exists(socket)) << first.readAllStandardError().toStdString();

    for (int start = 0; start < 2; ++start) {
        QProcess second;
        second.setProcessEnvironment(env);
        second.start(QStringLiteral(KALMORA), {});
        ASSERT_TRUE(second.waitForFinished(20000)) << "the second start did not end";
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.exitCode(), 0);
        EXPECT_EQ(first.state(), QProcess::Running);
    }
    first.kill();
    first.waitForFinished();

    // The first one gone (even killed), the next start runs.
    QProcess next;
    next.setProcessEnvironment(env);
    next.start(QStringLiteral(KALMORA), {});
    EXPECT_FALSE(next.waitForFinished(3000)) << "a start after the first one ended did not run";
    next.kill();
    next.waitForFinished();
}

} // namespace
