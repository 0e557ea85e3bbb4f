#include "MissionControlTest.h"

#include "missioncontrol/DockAccess.h"
#include "missioncontrol/MissionControlDetector.h"
#include "missioncontrol/MissionControlHost.h"
#include "support/Literals.h"

namespace {

QVariantMap window(const QVariant& owner, const QVariant& layer, const QVariant& width, const QVariant& height)
{
    QVariantMap entry{{s("kCGWindowBounds"), QVariantMap{{s("Width"), width}, {s("Height"), height}}}};
    if (owner.isValid())
        entry.insert(s("kCGWindowOwnerName"), owner);
    if (layer.isValid())
        entry.insert(s("kCGWindowLayer"), layer);
    return entry;
}

} // namespace

class DetectorTest : public MissionControlTest {
protected:
    DetectorTest() { addDisplays({2, 2}); }

    void answer(const QVariantList& windows) { world().overrideAnswer(s("windowListCopyWindowInfo"), QVariant(windows)); }

    DockAccess dock{access()};
};

// --- window-list test -------------------------------------------------------------

TEST_F(DetectorTest, NoListOrAMistypedListIsClosed)
{
    world().overrideAnswer(s("windowListCopyWindowInfo"), QVariant());
    EXPECT_FALSE(MissionControlDetector::isMissionControlOpen());
    world().overrideAnswer(s("windowListCopyWindowInfo"), QVariant(s("windows")));
    EXPECT_FALSE(MissionControlDetector::isMissionControlOpen());
    answer({window(s("Dock"), 18, 1, 1), s("not a dictionary")});
    EXPECT_FALSE(MissionControlDetector::isMissionControlOpen());
}

TEST_F(DetectorTest, OneHostWindowAtTheHostLayerIsOpen)
{
    answer({window(s("Dock"), 18, 10, 10)});
    EXPECT_TRUE(MissionControlDetector::isMissionControlOpen());
    answer({window(s("Dock"), 18.0, 10, 10)});
    EXPECT_TRUE(MissionControlDetector::isMissionControlOpen());
    answer({window(s("Dock"), 19, 10, 10)});
    EXPECT_FALSE(MissionControlDetector::isMissionControlOpen());
    answer({window(s("WindowManager"), 18, 10, 10)});
    EXPECT_FALSE(MissionControlDetector::isMissionControlOpen());
}

TEST_F(DetectorTest, ScreenSizedWindowsCountOncePerWindowAndNeedScreensPlusOne)
{
    answer({window(s("Dock"), 20, 1512, 982), window(s("Dock"), 20, 1512, 982)});
    EXPECT_FALSE(MissionControlDetector::isMissionControlOpen());
    answer({window(s("Dock"), 20, 1512, 982), window(s("Dock"), 20, 1512, 982), window(s("Dock"), 0, 1510.1, 982)});
    EXPECT_TRUE(MissionControlDetector::isMissionControlOpen());
    answer({window(s("Dock"), 20, 1512, 982), window(s("Dock"), 20, 1512, 982), window(s("Dock"), 0, 1510, 982)});
    EXPECT_FALSE(MissionControlDetector::isMissionControlOpen());
}

TEST_F(DetectorTest, NegativeLayersOtherOwnersAndBadFieldsNeverCount)
{
    const QVariant nan = std::numeric_limits<double>::quiet_NaN();
    answer({window(s("Dock"), -20, 1512, 982), window(s("Dock"), -1, 1512, 982), window(s("Dock"), -5, 1512, 982)});
    EXPECT_FALSE(MissionControlDetector::isMissionControlOpen());
    answer({window(s("Finder"), 18, 1512, 982), window(s("Finder"), 0, 1512, 982), window(s("Finder"), 0, 1512, 982)});
    EXPECT_FALSE(MissionControlDetector::isMissionControlOpen());
    // A missing or mistyped layer counts as 0; sizes that are not numbers as 0.
    answer({window(s("Dock"), QVariant(), 1512, 982), window(s("Dock"), s("18"), 1512, 982),
            window(s("Dock"), 1e30, nan, 982), window(7, 18, 1512, 982)});
    EXPECT_FALSE(MissionControlDetector::isMissionControlOpen());
    answer({window(s("Dock"), QVariant(), 1512, 982), window(s("Dock"), s("18"), 1512, 982),
            window(s("Dock"), 1e30, 1512, 982)});
    EXPECT_TRUE(MissionControlDetector::isMissionControlOpen());
}

TEST_F(DetectorTest, TheSimulatedMissionControlIsSeenInBothWindowStyles)
{
    EXPECT_FALSE(MissionControlDetector::isMissionControlOpen());
    mc().open();
    EXPECT_TRUE(MissionControlDetector::isMissionControlOpen());
    mc().close();
    advance(0.3);
    EXPECT_FALSE(MissionControlDetector::isMissionControlOpen());
    platform::sim::MissionControl::Behavior behavior;
    behavior.windows = platform::sim::MissionControl::WindowStyle::screenSized;
    mc().setBehavior(behavior);
    mc().open();
    EXPECT_TRUE(MissionControlDetector::isMissionControlOpen());
}

TEST_F(DetectorTest, TheWindowManagerHostIsLookedForFromVersion27)
{
    world().setOperatingSystemMajorVersion(27);
    answer({window(s("WindowManager"), 19, 10, 10)});
    EXPECT_TRUE(MissionControlDetector::isMissionControlOpen());
    EXPECT_EQ(MissionControlHost::bundleID(), s("com.apple.WindowManager"));
}

// --- checks and polling ------------------------------------------------------------------

TEST_F(DetectorTest, PollingChecksOnlyWhileTheUserIsActiveOrMissionControlIsOpen)
{
    MissionControlDetector detector(dock);
    QList<bool> changes;
    detector.onChange = [&](bool open) { changes.append(open); };
    detector.startPolling();
    world().setSecondsSinceLastEvent(platform::EventSource::EventType::mouseMoved, 10);
    world().setSecondsSinceLastEvent(platform::EventSource::EventType::keyDown, 10);
    mc().open();
    clock().runPending();
    const int before = world().callCount(s("windowListCopyWindowInfo"));
    // The notification of the opening checks once; idle polls do not.
    EXPECT_EQ(changes, QList<bool>{true});
    EXPECT_EQ(detector.lastTrigger(), s("observer"));
    advance(1);
    // Open: every tick checks.
    EXPECT_GE(world().callCount(s("windowListCopyWindowInfo")) - before, 4);
    mc().close();
    advance(0.5);
    EXPECT_EQ(changes, (QList<bool>{true, false}));
    const int closed = world().callCount(s("windowListCopyWindowInfo"));
    advance(2);
    EXPECT_EQ(world().callCount(s("windowListCopyWindowInfo")), closed);
    world().noteInputEvent(platform::EventSource::EventType::keyDown);
    advance(0.4);
    EXPECT_GT(world().callCount(s("windowListCopyWindowInfo")), closed);
}

TEST_F(DetectorTest, PausedTicksNeitherTestNorChange)
{
    MissionControlDetector detector(dock);
    detector.startPolling();
    mc().sleepScreens();
    EXPECT_TRUE(detector.isPaused());
    const int before = world().callCount(s("windowListCopyWindowInfo"));
    world().overrideAnswer(s("windowListCopyWindowInfo"), QVariant(QVariantList{window(s("Dock"), 18, 1, 1)}));
    advance(1);
    EXPECT_EQ(world().callCount(s("windowListCopyWindowInfo")), before);
    EXPECT_FALSE(detector.isOpen());
    mc().wakeScreens();
    EXPECT_FALSE(detector.isPaused());
    advance(0.25);
    EXPECT_TRUE(detector.isOpen());
    mc().resignSession();
    EXPECT_TRUE(detector.isPaused());
    mc().becomeActiveSession();
    EXPECT_FALSE(detector.isPaused());
}

TEST_F(DetectorTest, StopPollingReportsACloseOnlyWhenOpen)
{
    MissionControlDetector detector(dock);
    int calls = 0;
    detector.onChange = [&](bool) { ++calls; };
    detector.startPolling();
    detector.stopPolling();
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(detector.isPolling());
    mc().open();
    detector.check();
    EXPECT_EQ(calls, 1);
    detector.stopPolling();
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(detector.isOpen());
}

// --- host notifications ----------------------------------------------------------------------

TEST_F(DetectorTest, ABurstOfNotificationsCausesOneObserverCheck)
{
    MissionControlDetector detector(dock);
    int activity = 0;
    detector.onDockActivity = [&] { ++activity; };
    mc().open();
    detector.check();
    const int before = world().callCount(s("windowListCopyWindowInfo"));
    for (int i = 0; i < 10; ++i)
        detector.noteDockNotification(s("AXSelectedChildrenChanged"));
    clock().runPending();
    EXPECT_EQ(world().callCount(s("windowListCopyWindowInfo")) - before, 1);
    EXPECT_EQ(activity, 1);
    // The host's own notification of the opening and the ten.
    EXPECT_EQ(detector.dockNotifications().size(), 11);
}

TEST_F(DetectorTest, NotificationsAreRecordedOnlyWhileOpenAndAtMostTwentyFour)
{
    MissionControlDetector detector(dock);
    detector.noteDockNotification(s("AXCreated"));
    EXPECT_TRUE(detector.dockNotifications().isEmpty());
    // It still causes a check.
    const int before = world().callCount(s("windowListCopyWindowInfo"));
    clock().runPending();
    EXPECT_EQ(world().callCount(s("windowListCopyWindowInfo")) - before, 1);
    int opened = 0;
    int activity = 0;
    detector.onChange = [&](bool open) { opened += open ? 1 : 0; };
    detector.onDockActivity = [&] { ++activity; };
    mc().open();
    clock().runPending();
    // The notification that revealed the opening goes out as a change only.
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(activity, 0);
    EXPECT_EQ(detector.lastTrigger(), s("observer"));
    for (int i = 0; i < 30; ++i)
        detector.noteDockNotification(s("AXFocusedUIElementChanged"));
    EXPECT_EQ(detector.dockNotifications().size(), 24);
}
