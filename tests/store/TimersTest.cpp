#include "store/Timers.h"

#include "platform/Scheduler.h"
#include "support/PlatformTest.h"

#include <QList>

#include <cmath>
#include <limits>

class TimersTest : public PlatformTest {};

TEST_F(TimersTest, RunAfterRunsOnceWhenItsDelayHasPassed)
{
    QList<double> runs;
    runAfter(0.5, [&] { runs << platform::now(); });
    advance(0.4);
    EXPECT_TRUE(runs.isEmpty());
    advance(10);
    ASSERT_EQ(runs.size(), 1);
    EXPECT_DOUBLE_EQ(runs[0], startTime + 0.5);

    bool ranNever = false;
    runAfter(std::numeric_limits<double>::infinity(), [&] { ranNever = true; });
    bool ranAtOnce = false;
    runAfter(-1, [&] { ranAtOnce = true; });
    clock().runPending();
    EXPECT_TRUE(ranAtOnce);
    advance(1e9);
    EXPECT_FALSE(ranNever);
}

TEST_F(TimersTest, RepeatingTimerTicksEveryIntervalUntilInvalidated)
{
    QList<double> ticks;
    auto timer = RepeatingTimer::start(1.5, std::nullopt, [&] { ticks << platform::now() - startTime; });
    EXPECT_DOUBLE_EQ(timer->tolerance(), 0.375);
    EXPECT_DOUBLE_EQ(timer->interval(), 1.5);
    advance(1.4);
    EXPECT_TRUE(ticks.isEmpty());
    advance(3.2);
    EXPECT_EQ(ticks, (QList<double>{1.5, 3.0, 4.5}));
    timer->invalidate();
    EXPECT_FALSE(timer->isValid());
    advance(10);
    EXPECT_EQ(ticks.size(), 3);
    EXPECT_EQ(clock().pendingCount(), 0u);
}

TEST_F(TimersTest, GivenToleranceIsKept)
{
    auto timer = RepeatingTimer::start(60, 0.5, [] {});
    EXPECT_DOUBLE_EQ(timer->tolerance(), 0.5);
    auto negative = RepeatingTimer::start(60, -1.0, [] {});
    EXPECT_DOUBLE_EQ(negative->tolerance(), 0.0);
}

TEST_F(TimersTest, DestroyingTheTimerStopsIt)
{
    int ticks = 0;
    auto timer = RepeatingTimer::start(1, std::nullopt, [&] { ++ticks; });
    advance(2);
    timer.reset();
    advance(5);
    EXPECT_EQ(ticks, 2);
}

TEST_F(TimersTest, ATickMayInvalidateOrDestroyItsOwnTimer)
{
    int ticks = 0;
    std::unique_ptr<RepeatingTimer> timer;
    timer = RepeatingTimer::start(1, std::nullopt, [&] {
        if (++ticks == 2)
            timer.reset();
    });
    advance(10);
    EXPECT_EQ(ticks, 2);
    EXPECT_FALSE(timer);

    int selfStops = 0;
    std::unique_ptr<RepeatingTimer> stopper;
    stopper = RepeatingTimer::start(1, std::nullopt, [&] {
        ++selfStops;
        stopper->invalidate();
    });
    advance(10);
    EXPECT_EQ(selfStops, 1);
    EXPECT_FALSE(stopper->isValid());
}

TEST_F(TimersTest, DegenerateIntervalsNeitherSpinNorFireForever)
{
    int ticks = 0;
    auto zero = RepeatingTimer::start(0, std::nullopt, [&] { ++ticks; });
    EXPECT_DOUBLE_EQ(zero->interval(), RepeatingTimer::shortestInterval);
    advance(0.00105);
    EXPECT_EQ(ticks, 10);
    zero.reset();

    auto never = RepeatingTimer::start(std::numeric_limits<double>::infinity(), std::nullopt, [&] { ++ticks; });
    EXPECT_TRUE(never->isValid());
    advance(1e9);
    EXPECT_EQ(ticks, 10);
    auto notANumber = RepeatingTimer::start(std::nan(""), std::nullopt, [] {});
    EXPECT_DOUBLE_EQ(notANumber->interval(), RepeatingTimer::shortestInterval);
}
