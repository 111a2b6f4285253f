#include "SingleInstance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Lets the running instance's event loop take the request, up to two seconds.
bool WaitFor(const int& count, int wanted)
{
    const QDeadlineTimer deadline(2000);
    while (count < wanted && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return count >= wanted;
}

TEST(SingleInstance, ALaterStartWakesTheRunningOneAndStandsDown)
{
    QTemporaryDir folder;
    SingleInstance running(folder.path());
    ASSERT_EQ(running.acquire(), SingleInstance::Role::First);
    int activations = 0;
    QObject::connect(&running, &SingleInstance::activationRequested, [&] { ++activations; });

    for (int start = 1; start <= 2; ++start) {
        SingleInstance later(folder.path());
        EXPECT_EQ(later.acquire(), SingleInstance::Role::Another);
        EXPECT_TRUE(WaitFor(activations, start));
    }
    EXPECT_EQ(activations, 2);
}

TEST(SingleInstance, TheLockGoesWithTheInstanceHoweverItEnds)
{
    QTemporaryDir folder;
    {
        SingleInstance first(folder.path());
        ASSERT_EQ(first.acquire(), SingleInstance::Role::First);
    }
    {
        SingleInstance next(folder.path());
        EXPECT_EQ(next.acquire(), SingleInstance::Role::First);
    }
    // Killed while it ran: its lock file and socket stay behind and stop nobody.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SingleInstance doomed(folder.path());
        doomed.acquire();
        ::pause();
        ::_exit(0);
    }
    const QDeadlineTimer deadline(5000);
    while (!QFile::exists(folder.filePath("instance.socket")) && !deadline.hasExpired())
        ::usleep(10000);
    ASSERT_TRUE(QFile::exists(folder.filePath("instance.socket")));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    SingleInstance after(folder.path());
    EXPECT_EQ(after.acquire(), SingleInstance::Role::First);
    int activations = 0;
    QObject::connect(&after, &SingleInstance::activationRequested, [&] { ++activations; });
    SingleInstance later(folder.path());
    EXPECT_EQ(later.acquire(), SingleInstance::Role::Another);
    EXPECT_TRUE(WaitFor(activations, 1));
}

TEST(SingleInstance, WithoutAPrivateFolderTheProgramRunsUnguarded)
{
    SingleInstance none{QString()};
    EXPECT_EQ(none.acquire(), SingleInstance::Role::Unavailable);
    SingleInstance missing(QStringLiteral("/no/such/folder"));
    EXPECT_EQ(missing.acquire(), SingleInstance::Role::Unavailable);
}

} // namespace
