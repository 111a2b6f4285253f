#pragma once

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace sheet::test {

// Runs another spreadsheet program in `dir` with a private home there, so the user's own
// profile is never touched. Extra variables (such as the locale) go into its environment;
// what it printed lands in `output`. A failure or a hang is reported to the test.
inline bool runTool(const QString& dir, const QString& program, const QStringList& args,
                    const QProcessEnvironment& extra = {}, QString* output = nullptr)
{
    const QString home = QDir(dir).filePath(QStringLiteral("home"));
    QDir().mkpath(home);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(extra);
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(240000)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << program.toStdString() << " timed out";
        return false;
    }
    const QString out = QString::fromLocal8Bit(p.readAll());
    if (output)
        *output = out;
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " failed: " << out.toStdString();
        return false;
    }
    return true;
}

} // namespace sheet::test
