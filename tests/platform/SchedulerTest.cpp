#include "platform/Lifetime.h"
#include "platform/NotificationCenter.h"
#include "platform/QtScheduler.h"
#include "platform/Scheduler.h"
#include "support/PlatformTest.h"
#include "support/ProcessState.h"

#include <QStringList>

#include <atomic>
#include <latch>
#include <thread>

#include <unistd.h>

class SchedulerTest : public PlatformTest {};

TEST_F(SchedulerTest, RunsDelayedWorkInDueOrderWithClockAtDueTime)
{
    QStringList order;
    QList<double> times;
    auto& scheduler = platform::Scheduler::current();
    scheduler.schedule(0.3, [&] { order << "late"; times << platform::now(); });
    scheduler.schedule(0.1, [&] { order << "early"; times << platform::now(); });
    scheduler.schedule(0.1, [&] { order << "early-second"; });
    advance(0.05);
    EXPECT_TRUE(order.isEmpty());
    advance(1.0);
    EXPECT_EQ(order, (QStringList{"early", "early-second", "late"}));
    EXPECT_DOUBLE_EQ(times[0], startTime + 0.1);
    EXPECT_DOUBLE_EQ(times[1], startTime + 0.3);
    EXPECT_DOUBLE_EQ(platform::now(), startTime + 1.05);
}

TEST_F(SchedulerTest, WorkScheduledWhileRunningRunsInTheSameAdvanceWhenDue)
{
    int runs = 0;
    auto& scheduler = platform::Scheduler::current();
    scheduler.schedule(0.1, [&] {
        ++runs;
        scheduler.schedule(0.1, [&] { ++runs; });
        scheduler.schedule(5.0, [&] { ++runs; });
    });
    advance(0.25);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(clock().pendingCount(), 1u);
}

TEST_F(SchedulerTest, CancelledWorkNeverRuns)
{
    bool ran = false;
    auto token = platform::Scheduler::current().schedule(0.1, [&] { ran = true; });
    platform::Scheduler::current().cancel(token);
    platform::Scheduler::current().cancel(9999); // unknown tokens are ignored
    advance(1);
    EXPECT_FALSE(ran);
}

TEST_F(SchedulerTest, NotificationsReachOnlyLiveObserversOfTheirName)
{
    auto& center = platform::NotificationCenter::defaultCenter();
    int a = 0, b = 0;
    auto first = center.observe("A", [&] { ++a; });
    {
        auto second = center.observe("B", [&] { ++b; });
        center.post("A");
        center.post("B");
    }
    center.post("B");
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 1);
}

TEST_F(SchedulerTest, ObserverRemovedDuringPostIsNotCalled)
{
    auto& center = platform::NotificationCenter::defaultCenter();
    int calls = 0;
    platform::NotificationCenter::Subscription later;
    auto first = center.observe("X", [&] { later.reset(); });
    later = center.observe("X", [&] { ++calls; });
    center.post("X");
    EXPECT_EQ(calls, 0);
}

TEST_F(SchedulerTest, SubscriptionOutlivingItsCentreIsHarmless)
{
    int calls = 0;
    auto subscription = platform::NotificationCenter::defaultCenter().observe("Y", [&] { ++calls; });
    platform::resetSharedInstances(); // drops the centre, as a fresh test start does
    subscription.reset();             // must not touch the dropped centre
    platform::NotificationCenter::defaultCenter().post("Y");
    EXPECT_EQ(calls, 0);
}

// The app's own scheduler: what runs in the background has ended once
// finishBackgroundWork returns, so nothing runs on into the process's end.
TEST(QtSchedulerTest, FinishingBackgroundWorkWaitsForTheWorkUnderWay)
{
    platform::QtScheduler scheduler;
    std::latch started(2);
    std::atomic<bool> released = false;
    std::atomic<int> done = 0;
    for (const char* queue : {"first", "second"}) {
        scheduler.runInBackground(queue, [&] {
            started.count_down();
            while (!released)
                std::this_thread::yield();
            ++done;
        });
    }
    started.wait();
    // The work goes on only once this thread waits (the kernel says it sleeps).
    const pid_t waiting = ::gettid();
    std::thread release([&] {
        while (ProcessState::ofThread(waiting) == 'R')
            std::this_thread::yield();
        released = true;
    });
    scheduler.finishBackgroundWork();
    EXPECT_EQ(done, 2);
    release.join();
}
