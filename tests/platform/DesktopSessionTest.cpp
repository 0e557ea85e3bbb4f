#include "platform/EventSource.h"
#include "platform/MouseEvents.h"
#include "platform/NotificationCenter.h"
#include "platform/Popover.h"
#include "platform/Screens.h"
#include "platform/StatusBar.h"
#include "platform/WindowFrame.h"
#include "platform/linux/RealScreens.h"
#include "platform/sim/Input.h"
#include "platform/sim/SessionHooks.h"
#include "platform/sim/StatusBar.h"
#include "platform/sim/World.h"
#include "support/PlatformTest.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {

using namespace platform;
using sim::World;
using host::WindowSystemScreen;

class RealScreensTest : public PlatformTest {
protected:
    RealScreensTest()
    {
        defaultUUID = world().displays().first().uuid;
        changes = NotificationCenter::defaultCenter().observe(notifications::screenParametersDidChange,
                                                              [this] { ++announced; });
    }

    static World& world() { return World::shared(); }

    // A 1920 x 1200 primary with a 30-pixel panel at its bottom.
    static WindowSystemScreen laptop() { return {QStringLiteral("eDP-1"), {0, 0, 1920, 1200}, {0, 0, 1920, 1170}, 1}; }
    // A second screen right of it, its top 100 pixels lower.
    static WindowSystemScreen monitor() { return {QStringLiteral("HDMI-1"), {1920, 100, 1280, 1024}, {1920, 100, 1280, 1024}, 2}; }

    QString defaultUUID;
    int announced = 0;
    NotificationCenter::Subscription changes;
};

// --- frames from the real screens ---

TEST_F(RealScreensTest, TheDefaultWorldTakesTheRealScreensPrimaryFirst)
{
    host::applyWindowSystemScreens(world(), {laptop(), monitor()});
    const QList<sim::DisplaySpec> displays = world().displays();
    ASSERT_EQ(displays.size(), 2);
    // The default display, with its four desktops, is the primary screen.
    EXPECT_EQ(displays[0].uuid, defaultUUID);
    EXPECT_EQ(displays[0].spaces.size(), 4);
    EXPECT_EQ(displays[0].frame, QRectF(0, 0, 1920, 1200));
    EXPECT_EQ(displays[0].visibleFrame, QRectF(0, 30, 1920, 1170));
    EXPECT_FALSE(displays[0].notchLeft);
    EXPECT_EQ(displays[0].name, QStringLiteral("eDP-1"));
    // y up from the primary's bottom: the monitor's bottom lies 1124 below its top.
    EXPECT_EQ(displays[1].frame, QRectF(1920, 1200 - 1124, 1280, 1024));
    EXPECT_EQ(displays[1].scale, 2);
    ASSERT_EQ(displays[1].spaces.size(), 1);
    EXPECT_EQ(displays[1].spaces[0].id, 6u) << "after the default world's space ids 1, 3, 4, 5";
    EXPECT_EQ(displays[1].displayID, 2u);

    const QList<Screen> screens = Screens::screens();
    ASSERT_EQ(screens.size(), 2);
    EXPECT_EQ(screens[0].visibleFrame, QRectF(0, 30, 1920, 1170));
    EXPECT_FALSE(screens[0].auxiliaryTopLeftArea);
    clock().runPending();
    EXPECT_EQ(announced, 1);
    // A window centred on the visible frame is centred on the real screen.
    EXPECT_EQ(Screens::windowGeometry(QRectF(960 - 100, 30 + 585 - 50, 200, 100)), QRect(860, 535, 200, 100));
}

TEST_F(RealScreensTest, APrimaryAwayFromTheWindowSystemsOriginStillHasTheOrigin)
{
    // The primary is the right-hand screen; the other starts at x = 0.
    const WindowSystemScreen left{QStringLiteral("DP-2"), {0, 0, 1280, 1024}, {0, 0, 1280, 1024}, 1};
    const WindowSystemScreen right{QStringLiteral("DP-1"), {1280, 0, 1920, 1080}, {1280, 0, 1920, 1050}, 1};
    host::applyWindowSystemScreens(world(), {right, left});
    const QList<sim::DisplaySpec> displays = world().displays();
    ASSERT_EQ(displays.size(), 2);
    EXPECT_EQ(displays[0].frame, QRectF(0, 0, 1920, 1080));
    EXPECT_EQ(displays[1].frame, QRectF(-1280, 1080 - 1024, 1280, 1024));
    // Screen frames and window geometry convert through the primary's corner.
    EXPECT_EQ(Screens::windowGeometry(displays[0].frame), QRect(1280, 0, 1920, 1080));
    EXPECT_EQ(Screens::frameOfWindowGeometry(QRect(0, 0, 1280, 1024)), displays[1].frame);
    QWidget window;
    WindowFrame::setFrame(&window, QRectF(100, 100, 300, 200));
    EXPECT_EQ(window.geometry(), QRect(1380, 780, 300, 200));
    // The session's pointer converts the same way.
    sim::sessionPointerMoved(QPoint(1280 + 960, 0), false);
    EXPECT_EQ(MouseEvents::mouseLocation(), QPointF(960, 1080));
}

TEST_F(RealScreensTest, ScreensComingAndGoingKeepTheirDisplays)
{
    host::applyWindowSystemScreens(world(), {laptop(), monitor()});
    const sim::DisplaySpec added = world().displays()[1];
    world().setCurrentSpace(defaultUUID, 4);

    host::applyWindowSystemScreens(world(), {laptop()});
    ASSERT_EQ(world().displays().size(), 1);
    EXPECT_EQ(world().displays()[0].currentSpaceID, 4u) << "the primary keeps its current desktop";

    // The monitor comes back as the same display, with the same desktop.
    host::applyWindowSystemScreens(world(), {laptop(), monitor()});
    ASSERT_EQ(world().displays().size(), 2);
    EXPECT_EQ(world().displays()[1].uuid, added.uuid);
    EXPECT_EQ(world().displays()[1].spaces, added.spaces);

    // A resized screen moves its frame; the same screens again change nothing.
    WindowSystemScreen wider = monitor();
    wider.geometry = wider.availableGeometry = QRect(1920, 0, 2560, 1440);
    host::applyWindowSystemScreens(world(), {laptop(), wider});
    EXPECT_EQ(world().displays()[1].frame, QRectF(1920, 1200 - 1440, 2560, 1440));
    clock().runPending();
    const int before = announced;
    host::applyWindowSystemScreens(world(), {laptop(), wider});
    clock().runPending();
    EXPECT_EQ(announced, before);
    // No screens at all (between two layouts) keeps the last ones.
    host::applyWindowSystemScreens(world(), {});
    EXPECT_EQ(world().displays().size(), 2);
}

TEST_F(RealScreensTest, ANewPrimaryComesFirstAndKeepsItsOwnDesktops)
{
    host::applyWindowSystemScreens(world(), {laptop(), monitor()});
    const QString monitorUUID = world().displays()[1].uuid;
    WindowSystemScreen primary = monitor();
    host::applyWindowSystemScreens(world(), {primary, laptop()});
    const QList<sim::DisplaySpec> displays = world().displays();
    ASSERT_EQ(displays.size(), 2);
    EXPECT_EQ(displays[0].uuid, monitorUUID);
    EXPECT_EQ(displays[0].frame, QRectF(0, 0, 1280, 1024));
    EXPECT_EQ(displays[1].uuid, defaultUUID);
    EXPECT_EQ(displays[1].spaces.size(), 4);
    EXPECT_EQ(world().activeMenuBarDisplay(), defaultUUID) << "the menu bar stays on its display";
}

TEST_F(RealScreensTest, FollowingTakesTheApplicationsScreensNow)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_TRUE(screen);
    host::followApplicationScreens();
    const QList<sim::DisplaySpec> displays = world().displays();
    ASSERT_EQ(displays.size(), QGuiApplication::screens().size());
    EXPECT_EQ(displays[0].uuid, defaultUUID);
    EXPECT_EQ(displays[0].frame, QRectF(QPointF(0, 0), QSizeF(screen->geometry().size())));
    EXPECT_EQ(displays[0].scale, screen->devicePixelRatio());
}

TEST_F(RealScreensTest, AWorldFileKeepsItsOwnDisplays)
{
    ASSERT_TRUE(world().loadJson(R"({"displays": [{"uuid": "FILE", "frame": [0, 0, 1000, 800],
                                     "spaces": [{"id": 7}]}]})"));
    EXPECT_TRUE(world().loadedFromFile());
    host::followApplicationScreens();
    ASSERT_EQ(world().displays().size(), 1);
    EXPECT_EQ(world().displays()[0].uuid, QStringLiteral("FILE"));
    EXPECT_EQ(world().displays()[0].frame, QRectF(0, 0, 1000, 800));
}

// --- the session's pointer ---

class SessionPointerTest : public PlatformTest {
protected:
    SessionPointerTest()
    {
        // One 1000 x 800 screen at the window system's origin.
        World::shared().clear();
        sim::DisplaySpec display;
        display.uuid = QStringLiteral("D");
        display.frame = QRectF(0, 0, 1000, 800);
        display.spaces = {{1, 1, 0, {}}};
        World::shared().addDisplay(display);
        const auto moves = MouseEvents::maskFor(MouseEventType::mouseMoved)
            | MouseEvents::maskFor(MouseEventType::leftMouseDragged);
        MouseEvents::addGlobalMonitor(moves, [this](const MouseEvent& event) { global.append(event); });
        MouseEvents::addLocalMonitor(moves, [this](const MouseEvent& event) -> std::optional<MouseEvent> {
            local.append(event);
            return event;
        });
    }

    QList<MouseEvent> global;
    QList<MouseEvent> local;
};

TEST_F(SessionPointerTest, MovesOverOtherAppsReachTheGlobalMonitorsInScreenCoordinates)
{
    sim::sessionPointerMoved(QPoint(500, 0), false);
    sim::sessionPointerMoved(QPoint(500, 0), false); // a move too small to change the point
    sim::sessionPointerMoved(QPoint(510, 300), true);
    ASSERT_EQ(global.size(), 2);
    EXPECT_EQ(global[0], (MouseEvent{MouseEventType::mouseMoved, {500, 800}, 0}));
    EXPECT_EQ(global[1], (MouseEvent{MouseEventType::leftMouseDragged, {510, 500}, 0}));
    EXPECT_TRUE(local.isEmpty());
    EXPECT_EQ(MouseEvents::mouseLocation(), QPointF(510, 500));
    EXPECT_DOUBLE_EQ(World::shared().secondsSinceLastEvent(EventSource::EventType::mouseMoved), 0);
}

TEST_F(SessionPointerTest, MovesOverTheAppsOwnWindowsReachTheLocalMonitors)
{
    QWidget window;
    window.setGeometry(100, 100, 300, 200);
    window.show();
    QWidget clickThrough(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowTransparentForInput);
    clickThrough.setGeometry(600, 100, 300, 200);
    clickThrough.show();
    sim::sessionPointerMoved(window.frameGeometry().center(), false);
    sim::sessionPointerMoved(QPoint(700, 150), false);
    ASSERT_EQ(local.size(), 1);
    EXPECT_EQ(local[0].type, MouseEventType::mouseMoved);
    // A window that lets the mouse through leaves the move to the app below.
    ASSERT_EQ(global.size(), 1);
    EXPECT_EQ(global[0].location, QPointF(700, 650));
}

// --- popovers from the tray ---

class TrayAnchorTest : public SessionPointerTest {
protected:
    TrayAnchorTest()
    {
        // The session's real screen is wider than the simulated one.
        sim::WindowSystemHooks hooks;
        hooks.availableArea = [](QPoint) { return std::optional(QRect(0, 0, 1920, 1080)); };
        sim::setWindowSystemHooks(hooks);
        content.setFixedSize(200, 100);
        popover.setContentView(&content);
    }
    ~TrayAnchorTest() override { popover.setContentView(nullptr); }

    StatusItem item{50};
    QWidget content;
    Popover popover;
};

TEST_F(TrayAnchorTest, APopoverAtAnItemMirroredInTheTrayHangsBelowTheTrayIcon)
{
    const QRectF button = item.button()->window()->frame();
    ASSERT_EQ(button, QRectF(950, 776, 50, 24));
    // The session's tray sits elsewhere: at the top of a wider real screen.
    sim::setTrayIconGeometry(item, QRect(1700, 0, 24, 24));
    popover.show(button, Popover::Edge::minY);
    // Centred under the icon (its centre pixel is 1711), 4 clear of its last row.
    EXPECT_EQ(popover.window()->pos(), QPoint(1711 - 100, 24 + 4));
    EXPECT_EQ(popover.frame(), QRectF(1611, 800 - 28 - 100, 200, 100));
    popover.performClose();

    // Another anchor (the notch label) keeps to its own rectangle.
    popover.show(QRectF(400, 770, 100, 30), Popover::Edge::minY);
    EXPECT_EQ(popover.window()->pos(), QPoint(350, 800 - 766));
    popover.performClose();

    // A click right after the tile changed its width: the frame read before
    // the change still finds the tray icon.
    item.setLength(90);
    popover.show(button, Popover::Edge::minY);
    EXPECT_EQ(popover.window()->pos(), QPoint(1711 - 100, 24 + 4));
    popover.performClose();
    item.setLength(20);
    popover.show(button, Popover::Edge::minY);
    EXPECT_EQ(popover.window()->pos(), QPoint(1711 - 100, 24 + 4));
    popover.performClose();
    // One the bar has no room for lies on no screen; the tray still has it.
    item.setLength(5000);
    popover.show(item.button()->window()->frame(), Popover::Edge::minY);
    EXPECT_EQ(popover.window()->pos(), QPoint(1711 - 100, 24 + 4));
    popover.performClose();
    item.setLength(50);
    {
        // Read beside another item before that one widened: the item
        // overlapping the frame most is the one clicked.
        StatusItem other{30};
        sim::setTrayIconGeometry(other, QRect(1600, 0, 24, 24));
        const QRectF otherButton = other.button()->window()->frame();
        item.setLength(60);
        popover.show(otherButton, Popover::Edge::minY);
        EXPECT_EQ(popover.window()->pos(), QPoint(1611 - 100, 24 + 4));
        popover.performClose();
        item.setLength(50);
    }

    // A tray that cannot tell where its icon is: the item's own button.
    sim::setTrayIconGeometry(item, std::nullopt);
    popover.show(button, Popover::Edge::minY);
    EXPECT_EQ(popover.window()->pos(), QPoint(975 - 100, 800 - 772));
}

// --- the session's idle time ---

class SessionIdleClockTest : public PlatformTest {};

TEST_F(SessionIdleClockTest, TheSessionsIdleTimeDrivesTheKeyAndPointerClocks)
{
    using namespace EventSource::EventType;
    World& world = World::shared();
    advance(600); // the simulated user has been away for ten minutes
    std::optional<double> session = 2.5;
    world.setSessionIdleClock([&session] { return session; });
    for (quint32 type : {mouseMoved, keyDown, leftMouseDown, rightMouseDown, scrollWheel, flagsChanged, anyInput})
        EXPECT_DOUBLE_EQ(world.secondsSinceLastEvent(type), 2.5) << type;
    // No session gestures: those clocks stay simulated.
    EXPECT_DOUBLE_EQ(world.secondsSinceLastEvent(gesture), 4200);
    // A simulated event more recent than the session's wins.
    world.noteInputEvent(keyDown);
    EXPECT_DOUBLE_EQ(world.secondsSinceLastEvent(keyDown), 0);
    // A session that cannot tell leaves the simulated clocks.
    session.reset();
    EXPECT_DOUBLE_EQ(world.secondsSinceLastEvent(mouseMoved), 600);
    world.setSessionIdleClock({});
    EXPECT_DOUBLE_EQ(world.secondsSinceLastEvent(anyInput), 0);
}

} // namespace
