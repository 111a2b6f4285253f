#include "EndSignals.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <csignal>

namespace {

// The handler only writes; the signal arrives as an event of the loop, one per signal, in order.
TEST(EndSignals, EachSignalArrivesInTheEventLoop)
{
    EndSignals ends;
    ASSERT_TRUE(ends.installed());
    QList<int> received;
    QObject::connect(&ends, &EndSignals::received, [&](int number) { received << number; });
    for (const int number : {SIGTERM, SIGHUP, SIGINT})
        ASSERT_EQ(::raise(number), 0);
    // Nothing has run yet: the handler did no work of its own.
    EXPECT_TRUE(received.isEmpty());
    const QDeadlineTimer deadline(5000);
    while (received.size() < 3 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(received, (QList<int>{SIGTERM, SIGHUP, SIGINT}));
}

TEST(EndSignals, ASecondObjectInstallsNothingAndTheFirstOneGoingRestoresTheDefault)
{
    {
        EndSignals first;
        ASSERT_TRUE(first.installed());
        EndSignals second;
        EXPECT_FALSE(second.installed());
    }
    struct sigaction now { };
    ASSERT_EQ(::sigaction(SIGTERM, nullptr, &now), 0);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
    // And it can be installed again.
    EndSignals again;
    EXPECT_TRUE(again.installed());
}

} // namespace
