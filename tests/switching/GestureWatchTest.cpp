#include "platform/EventSource.h"
#include "platform/sim/World.h"
#include "support/PlatformTest.h"
#include "switching/GestureWatch.h"

#include <limits>

using platform::sim::World;
namespace EventType = platform::EventSource::EventType;

namespace {

class GestureWatchTest : public PlatformTest {
protected:
    GestureWatchTest()
    {
        World::shared().clear();
        watch.onChange = [this](bool swiping) { changes.append(swiping); };
    }

    // Sets the clocks the next poll will read, then lets it run.
    void pollWith(double gesture, double scroll, double magnify, double rotate, double pointer)
    {
        const double step = *watch.pollInterval();
        World& world = World::shared();
        world.setSecondsSinceLastEvent(EventType::gesture, gesture - step);
        world.setSecondsSinceLastEvent(EventType::scrollWheel, scroll - step);
        world.setSecondsSinceLastEvent(EventType::magnify, magnify - step);
        world.setSecondsSinceLastEvent(EventType::rotate, rotate - step);
        world.setSecondsSinceLastEvent(EventType::mouseMoved, pointer - step);
        world.setSecondsSinceLastEvent(EventType::keyDown, 60);
        advance(step);
    }

    void livePoll() { pollWith(0.01, 1, 1, 1, 1); }

    GestureWatch watch;
    QList<bool> changes;
};

} // namespace

TEST_F(GestureWatchTest, SwipeNeedsFiveLivePollsInARow)
{
    watch.start();
    for (int i = 0; i < 4; ++i)
        livePoll();
    EXPECT_EQ(watch.livePolls(), 4);
    pollWith(0.01, 0.1, 1, 1, 1); // a scroll 0.1 s ago
    EXPECT_EQ(watch.livePolls(), 0);
    EXPECT_TRUE(changes.isEmpty());

    for (int i = 0; i < 5; ++i)
        livePoll();
    EXPECT_EQ(changes, QList<bool>{true});
    EXPECT_TRUE(watch.swiping());
    livePoll();
    livePoll();
    EXPECT_EQ(changes, QList<bool>{true});
    pollWith(0.2, 1, 1, 1, 1);
    EXPECT_EQ(changes, (QList<bool>{true, false}));
    EXPECT_FALSE(watch.swiping());
}

TEST_F(GestureWatchTest, StopEndsASwipeButIsQuietOtherwise)
{
    watch.start();
    watch.stop();
    EXPECT_TRUE(changes.isEmpty());
    EXPECT_FALSE(watch.pollInterval());

    watch.start();
    for (int i = 0; i < 5; ++i)
        livePoll();
    watch.stop();
    EXPECT_EQ(changes, (QList<bool>{true, false}));
    EXPECT_EQ(watch.livePolls(), 0);
    advance(5);
    EXPECT_EQ(changes.size(), 2) << "no polls after stop";
}

TEST_F(GestureWatchTest, StartingTwiceKeepsOneTimer)
{
    watch.start();
    advance(0.2);
    watch.start(); // must not restart the 0.25 s wait
    advance(0.02);
    World& world = World::shared();
    world.setSecondsSinceLastEvent(EventType::gesture, 0);
    for (auto quiet : {EventType::scrollWheel, EventType::magnify, EventType::rotate, EventType::mouseMoved})
        world.setSecondsSinceLastEvent(quiet, 1);
    advance(0.04);
    EXPECT_EQ(watch.livePolls(), 1) << "the first timer polled at 0.25 s";
}

TEST_F(GestureWatchTest, OwnerThatStopsOnTheVerdictStopsThePolling)
{
    watch.onChange = [this](bool swiping) {
        changes.append(swiping);
        watch.stop();
    };
    watch.start();
    for (int i = 0; i < 5; ++i)
        livePoll();
    EXPECT_EQ(changes, (QList<bool>{true, false}));
    EXPECT_FALSE(watch.pollInterval()) << "a stopped watch polls no more";
    EXPECT_FALSE(watch.swiping());
}

TEST_F(GestureWatchTest, PollsFastOnlyWhileTheUserGivesInput)
{
    watch.start();
    EXPECT_DOUBLE_EQ(*watch.pollInterval(), GestureWatch::idleInterval);
    pollWith(5, 1.5, 5, 5, 5); // a scroll 1.5 s ago
    EXPECT_DOUBLE_EQ(*watch.pollInterval(), GestureWatch::activeInterval);
    pollWith(5, 2.5, 5, 5, 5);
    EXPECT_DOUBLE_EQ(*watch.pollInterval(), GestureWatch::idleInterval);
}

TEST(GestureWatchRule, LivePollBoundaries)
{
    EXPECT_TRUE(GestureWatch::isLivePoll(0.049, 0.31, 0.31, 0.31, 0.11));
    EXPECT_FALSE(GestureWatch::isLivePoll(0.05, 1, 1, 1, 1));
    EXPECT_FALSE(GestureWatch::isLivePoll(0, 0.3, 1, 1, 1));
    EXPECT_FALSE(GestureWatch::isLivePoll(0, 1, 0.3, 1, 1));
    EXPECT_FALSE(GestureWatch::isLivePoll(0, 1, 1, 0.3, 1));
    EXPECT_FALSE(GestureWatch::isLivePoll(0, 1, 1, 1, 0.1));
}

TEST(GestureWatchRule, PointerMovedAtOrAfterTheGestureMeansNoGesture)
{
    EXPECT_EQ(GestureWatch::secondsSinceGesture(0.2, 0.2), std::numeric_limits<double>::max());
    EXPECT_EQ(GestureWatch::secondsSinceGesture(0.2, 0.1), std::numeric_limits<double>::max());
    EXPECT_EQ(GestureWatch::secondsSinceGesture(0.2, 0.5), 0.2);
}

TEST(GestureWatchRule, ClocksByRawValue)
{
    EXPECT_EQ(GestureWatch::clock(0xFFFFFFFF), GestureWatch::Clock::any);
    EXPECT_EQ(GestureWatch::clock(29), GestureWatch::Clock::gesture);
    EXPECT_FALSE(GestureWatch::clock(6));
}

TEST_F(GestureWatchTest, SecondsSinceGestureReadsTheClocks)
{
    World::shared().setSecondsSinceLastEvent(EventType::gesture, 0.3);
    World::shared().setSecondsSinceLastEvent(EventType::mouseMoved, 0.8);
    EXPECT_NEAR(watch.secondsSinceGesture(), 0.3, 1e-6);
    World::shared().noteInputEvent(EventType::mouseMoved);
    EXPECT_EQ(watch.secondsSinceGesture(), std::numeric_limits<double>::max());
}
