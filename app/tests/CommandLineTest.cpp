// kalmora --help and --version, run as a user would, without a display.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

Outcome Kalmora(const QStringList& arguments, bool display = false)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (display)
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    else
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(KALMORA_BINARY), arguments);
    Outcome run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

TEST(CommandLine, VersionIsTheProjectsVersion)
{
    for (const char* option : {"--version", "-v"}) {
        const Outcome run = Kalmora({QString::fromLatin1(option)});
        EXPECT_EQ(run.status, 0) << option << run.err.toStdString();
        EXPECT_EQ(run.out, QStringLiteral("kalmora %1\n").arg(QStringLiteral(KALMORA_VERSION)));
    }
}

TEST(CommandLine, HelpNamesTheProgramItsPurposeAndItsOptions)
{
    for (const char* option : {"--help", "-h"}) {
        const Outcome run = Kalmora({QString::fromLatin1(option)});
        EXPECT_EQ(run.status, 0) << option << run.err.toStdString();
        EXPECT_TRUE(run.out.startsWith("Usage: kalmora [-h | --help | -v | --version]\n")) << run.out.toStdString();
        EXPECT_TRUE(run.out.contains("body measurements"));
        EXPECT_TRUE(run.out.contains("--version"));
        EXPECT_TRUE(run.out.contains("backups"));
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    }
}

TEST(CommandLine, AnythingElseIsRefusedWithTheUsage)
{
    // Beside an information option, before the window system is needed...
    Outcome run = Kalmora({"--help", "--frobnicate"});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains("--frobnicate") || run.err.contains("frobnicate")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Usage: kalmora"));
    EXPECT_TRUE(run.out.isEmpty());
    // ...and alone, once the application object has taken Qt's own options.
    run = Kalmora({"-platform", "offscreen", "--frobnicate"}, true);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains("Unknown option '--frobnicate'.")) << run.err.toStdString();
    run = Kalmora({"file.xls"}, true);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains("Unexpected argument 'file.xls'.")) << run.err.toStdString();
}

TEST(CommandLine, AnUnknownOptionIsRefusedWithoutADisplay)
{
    // Without a display the toolkit aborts (status 134) once it is asked for one: the command
    // line is read first.
    for (const QStringList& arguments :
         {QStringList{"--bogus"}, QStringList{"-style=Fusion", "--bogus"},
          QStringList{"--platform", "xcb", "-reverse", "--bogus"}, QStringList{"-display", ":7", "notes.txt"}}) {
        const Outcome run = Kalmora(arguments);
        EXPECT_EQ(run.status, 2) << arguments.join(' ').toStdString() << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("Usage: kalmora")) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(arguments.last())) << run.err.toStdString();
    }
}

} // namespace
