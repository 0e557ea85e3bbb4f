#include "surfaces/NotchName.h"

#include "SwitcherWorld.h"
#include "platform/EventSource.h"
#include "platform/NotificationCenter.h"
#include "platform/sim/Input.h"
#include "store/LogFile.h"
#include "store/Settings.h"
#include "surfaces/NotchGeometry.h"
#include "surfaces/NotchLabelShape.h"
#include "surfaces/NotchPanel.h"
#include "surfaces/StandInNotchPanel.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace {

namespace sim = platform::sim;
namespace EventType = platform::EventSource::EventType;
using Tile = NotchName::Tile;

platform::Screen screenWith(QRectF frame, std::optional<QRectF> left, std::optional<QRectF> right)
{
    platform::Screen screen;
    screen.frame = frame;
    screen.visibleFrame = frame.adjusted(0, 0, 0, -37);
    screen.auxiliaryTopLeftArea = left;
    screen.auxiliaryTopRightArea = right;
    return screen;
}

// --- notch geometry ---------------------------------------------------------------

TEST(NotchGeometryTest, PrimaryScreenNotchLiesBetweenTheAreas)
{
    const auto notch = NotchGeometry::notchRect(
        screenWith({0, 0, 1512, 982}, QRectF(0, 944, 662, 38), QRectF(850, 944, 662, 38)));
    ASSERT_TRUE(notch);
    EXPECT_EQ(*notch, QRectF(662, 944, 188, 38));
}

TEST(NotchGeometryTest, ScreenLocalAreasOfASecondaryScreenAreMovedByItsOrigin)
{
    const auto notch = NotchGeometry::notchRect(
        screenWith({1512, 200, 1512, 982}, QRectF(0, 944, 662, 38), QRectF(850, 944, 662, 38)));
    ASSERT_TRUE(notch);
    EXPECT_EQ(*notch, QRectF(1512 + 662, 200 + 944, 188, 38));
}

TEST(NotchGeometryTest, BadAreasGiveNoNotch)
{
    const QRectF frame(0, 0, 1512, 982);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // touching, overlapping, zero height, one missing
    EXPECT_FALSE(NotchGeometry::notchRect(screenWith(frame, QRectF(0, 944, 700, 38), QRectF(700, 944, 812, 38))));
    EXPECT_FALSE(NotchGeometry::notchRect(screenWith(frame, QRectF(0, 944, 900, 38), QRectF(700, 944, 812, 38))));
    EXPECT_FALSE(NotchGeometry::notchRect(screenWith(frame, QRectF(0, 982, 662, 0), QRectF(850, 982, 662, 0))));
    EXPECT_FALSE(NotchGeometry::notchRect(screenWith(frame, QRectF(0, 944, 662, 38), std::nullopt)));
    // NaN and negative sizes
    EXPECT_FALSE(NotchGeometry::notchRect(screenWith(frame, QRectF(0, 944, nan, 38), QRectF(850, 944, 662, 38))));
    EXPECT_FALSE(NotchGeometry::notchRect(screenWith(frame, QRectF(0, 944, 662, -38), QRectF(850, 944, 662, 38))));
    EXPECT_FALSE(NotchGeometry::notchRect(screenWith(frame, QRectF(0, 944, 662, 38), QRectF(850, 944, -662, 38))));
    // Still off the screen after the move: a label there would sit over
    // another screen.
    EXPECT_FALSE(NotchGeometry::notchRect(
        screenWith(frame, QRectF(5000, 944, 662, 38), QRectF(5850, 944, 662, 38))));
    // Taller than the screen.
    EXPECT_FALSE(NotchGeometry::notchRect(screenWith({0, 0, 1512, 30}, QRectF(0, 0, 662, 38), QRectF(850, 0, 662, 38))));
}

TEST(NotchGeometryTest, StandInFrameIsCentredAndAtLeast24High)
{
    EXPECT_EQ(NotchGeometry::standInFrame({0, 0, 1000, 800}, {0, 0, 1000, 763}), QRectF(402, 763, 196, 37));
    EXPECT_EQ(NotchGeometry::standInFrame({0, 0, 1001, 800}, {0, 0, 1001, 790}), QRectF(403, 776, 196, 24));
}

// --- panels and label -------------------------------------------------------------

class NotchPanelTest : public SwitcherWorld {
protected:
    NotchPanelTest() { makeDesktops(3); }
    const QRectF notch{662, 944, 188, 38};
};

TEST_F(NotchPanelTest, FrameBySide)
{
    EXPECT_EQ(NotchPanel::frame(notch, NotchSide::left, 100, 40), QRectF(562, 944, 140, 38));
    EXPECT_EQ(NotchPanel::frame(notch, NotchSide::right, 100, 40), QRectF(810, 944, 140, 38));
}

TEST_F(NotchPanelTest, IconOnlyIsEightyWideAndANameOnlyLabelHasNoIcon)
{
    NotchPanel panel(false);
    panel.show(notch, desktopNumber(1), NotchSide::left, NotchContent::iconOnly);
    EXPECT_EQ(panel.frame(), QRectF(662 - 40, 944, 80, 38));
    EXPECT_TRUE(panel.isOnScreen());
    EXPECT_EQ(panel.level(), WindowLevel::notchLabel);
    panel.show(notch, desktopNumber(1), NotchSide::right, NotchContent::nameOnly);
    const double nameOnly = panel.frame().width();
    panel.show(notch, desktopNumber(1), NotchSide::right, NotchContent::iconAndName);
    EXPECT_EQ(panel.frame().width() - nameOnly, NotchLabel::iconSize + NotchLabel::spacing);
    EXPECT_EQ(panel.frame().x(), 850 - 40);
}

TEST_F(NotchPanelTest, HugeNameIsCappedAtThreeHundred)
{
    name(1, QString(10000, QLatin1Char('W')));
    NotchPanel panel(false);
    panel.show(notch, desktopNumber(1), NotchSide::left, NotchContent::iconAndName);
    EXPECT_EQ(panel.frame(), QRectF(662 + 40 - 300, 944, 300, 38));
    keepRender(render(*panel.host(), Qt::white, 2), QStringLiteral("notch-long-name"));
}

TEST_F(NotchPanelTest, LabelIsBlackWithOnlyTheOuterBottomCornerRounded)
{
    name(2, QStringLiteral("Writing"));
    NotchPanel panel(false);
    panel.show(notch, desktopNumber(2), NotchSide::left, NotchContent::iconAndName);
    const QImage image = render(*panel.host(), Qt::white, 1);
    keepRender(render(*panel.host(), Qt::white, 2), QStringLiteral("notch-label-left"));
    const double w = image.width();
    EXPECT_TRUE(sameColor(at(image, {w - 1, 37}), Qt::black));   // under the notch: square
    EXPECT_TRUE(sameColor(at(image, {0.5, 0.5}), Qt::black));     // top corner: square
    EXPECT_TRUE(sameColor(at(image, {0.5, 37.5}), Qt::white));    // outer bottom corner: rounded
}

TEST(NotchLabelShapeTest, RadiusShrinksToHalfTheHeight)
{
    const QPainterPath path = NotchLabelShape{.outerSide = NotchSide::right, .radius = 10}.path({0, 0, 100, 16});
    // With r = 8 the bottom-right corner cuts in; (99.9, 8.5) lies on the
    // straight edge above the arc only when r is 8 rather than 10.
    EXPECT_TRUE(path.contains(QPointF(99.5, 7.5)));
    EXPECT_FALSE(path.contains(QPointF(99.5, 15.5)));
    EXPECT_TRUE(path.contains(QPointF(0.5, 15.5)));
}

// --- clicks and doors -----------------------------------------------------------------

TEST_F(NotchPanelTest, ReleaseTriggersAndControlClickCountsAsRight)
{
    NotchPanel panel(false);
    panel.show(notch, desktopNumber(1), NotchSide::left, NotchContent::iconAndName);
    QList<bool> clicks;
    QWidget* seenView = nullptr;
    panel.setOnClick([&](QWidget* view, bool right) {
        seenView = view;
        clicks.append(right);
    });
    NotchLabelView& view = *panel.host();
    press(view, {10, 10});
    EXPECT_TRUE(clicks.isEmpty());
    release(view, {10, 10});
    mouse(view, QEvent::MouseButtonRelease, {10, 10}, Qt::RightButton);
    QMouseEvent control(QEvent::MouseButtonRelease, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton, Qt::NoButton,
                        Qt::ControlModifier);
    QCoreApplication::sendEvent(&view, &control);
    EXPECT_EQ(clicks, (QList<bool>{false, true, true}));
    EXPECT_EQ(seenView, &view);
}

TEST_F(NotchPanelTest, DoorTakesClicksAndTooltipFollowsRenames)
{
    NotchPanel panel(false);
    panel.show(notch, desktopNumber(1), NotchSide::left, NotchContent::iconAndName);
    EXPECT_TRUE(panel.ignoresMouseEvents());
    EXPECT_TRUE(panel.host()->toolTip().isEmpty());
    panel.setDoor(true);
    EXPECT_FALSE(panel.ignoresMouseEvents());
    EXPECT_EQ(panel.host()->toolTip(),
              QStringLiteral("Desktop 1 \u00B7 Desktop 1 \u00B7 click for your desktops, right-click for the menu"));
    // Same desktop, new name: the tooltip must not keep the old one.
    name(1, QStringLiteral("Mail"));
    panel.show(notch, desktopNumber(1), NotchSide::left, NotchContent::iconAndName);
    EXPECT_TRUE(panel.host()->toolTip().startsWith(QStringLiteral("Mail \u00B7 Desktop 1")));
    Settings::shared().setPresenting(true);
    panel.show(notch, desktopNumber(1), NotchSide::left, NotchContent::iconAndName);
    EXPECT_TRUE(panel.host()->toolTip().startsWith(QStringLiteral("Desktop 1 \u00B7")));
    Settings::shared().setPresenting(false);
    panel.setDoor(false);
    EXPECT_TRUE(panel.host()->toolTip().isEmpty());
    EXPECT_TRUE(panel.ignoresMouseEvents());
}

TEST(NotchNameRuleTest, ShouldShowTruthTable)
{
    for (const Tile tile : {Tile::inBar, Tile::steppedAside, Tile::dropped}) {
        for (const bool enabled : {false, true}) {
            for (const bool standsIn : {false, true}) {
                const bool expected = enabled || (standsIn && tile == Tile::dropped);
                EXPECT_EQ(NotchName::shouldShow(enabled, standsIn, tile, false), expected);
                EXPECT_FALSE(NotchName::shouldShow(enabled, standsIn, tile, true));
            }
        }
    }
}

// --- the controller -----------------------------------------------------------------

// Two screens: a notched built-in (id 1, "DISPLAY-A") and a notched secondary
// whose areas are screen-local (id 2, "DISPLAY-B").
class NotchNameTest : public SwitcherWorld {
protected:
    NotchNameTest()
    {
        sim::DisplaySpec a;
        a.uuid = QStringLiteral("DISPLAY-A");
        a.displayID = 1;
        a.frame = QRectF(0, 0, 1512, 982);
        a.notchLeft = QRectF(0, 944, 662, 38);
        a.notchRight = QRectF(850, 944, 662, 38);
        a.spaces = {{1, 1001, 0, {}}, {2, 1002, 0, {}}};
        a.currentSpaceID = 1;
        world().addDisplay(a);
        sim::DisplaySpec b = a;
        b.uuid = QStringLiteral("DISPLAY-B");
        b.displayID = 2;
        b.frame = QRectF(1512, 0, 1512, 982);
        b.spaces = {{3, 1003, 0, {}}};
        b.currentSpaceID = 3;
        world().addDisplay(b);
        engine().refresh(false);
        Settings::shared().setNotchEnabled(true);
        Settings::shared().setNotchStandsIn(true);
        LogFile::switches().clear();
        notch.tilePresence = [this] { return tile; };
        subscription = platform::NotificationCenter::defaultCenter().observe(NotchName::changedNotification(),
                                                                             [this] { ++announced; });
        for (const quint32 type : {EventType::gesture, EventType::scrollWheel, EventType::magnify, EventType::rotate,
                                   EventType::mouseMoved, EventType::keyDown})
            world().setSecondsSinceLastEvent(type, 60);
    }

    int lines(const QString& text) { return int(LogFile::switches().tail(100000).count(text)); }

    // Gesture events every frame for the given time, the pointer at rest.
    void swipe(double seconds)
    {
        for (double t = 0; t < seconds; t += 1.0 / 60) {
            world().setSecondsSinceLastEvent(EventType::gesture, 0);
            advance(1.0 / 60);
        }
    }

    NotchPanel* panel(const char* uuid) { return notch.panels().value(QString::fromLatin1(uuid)); }

    Tile tile = Tile::inBar;
    int announced = 0;
    NotchName notch{engine(), Settings::shared()};
    platform::NotificationCenter::Subscription subscription;
};

TEST_F(NotchNameTest, OneLabelPerNotchedScreenKeyedByDisplay)
{
    notch.start();
    ASSERT_TRUE(panel("DISPLAY-A") && panel("DISPLAY-B"));
    EXPECT_EQ(panel("DISPLAY-A")->frame().right(), 662 + 40);
    EXPECT_EQ(panel("DISPLAY-B")->frame().right(), 1512 + 662 + 40);
    EXPECT_EQ(panel("DISPLAY-B")->state().desktop->id(), 3u);
    EXPECT_TRUE(notch.isShowing());
    EXPECT_EQ(announced, 1);
    EXPECT_TRUE(notch.gestures().pollInterval());

    world().removeDisplay(QStringLiteral("DISPLAY-B"));
    engine().refresh(false);
    notch.update();
    ASSERT_TRUE(panel("DISPLAY-B"));
    EXPECT_FALSE(panel("DISPLAY-B")->isOnScreen());
    EXPECT_TRUE(panel("DISPLAY-A")->isOnScreen());
}

TEST_F(NotchNameTest, StandsInForADroppedTileAndStepsBackOnce)
{
    Settings::shared().setNotchEnabled(false);
    tile = Tile::steppedAside;
    notch.start();
    EXPECT_FALSE(notch.isShowing());
    tile = Tile::dropped;
    notch.update();
    notch.update();
    EXPECT_TRUE(notch.isShowing());
    EXPECT_TRUE(notch.isStandingIn());
    EXPECT_TRUE(panel("DISPLAY-A")->isDoor());
    EXPECT_FALSE(panel("DISPLAY-A")->host()->toolTip().isEmpty());
    EXPECT_EQ(notch.visibleLabelView(), panel("DISPLAY-A")->host());
    EXPECT_EQ(lines(QStringLiteral("notch label stands in for the tile the bar dropped")), 1);
    tile = Tile::inBar;
    notch.update();
    notch.update();
    EXPECT_FALSE(notch.isShowing());
    EXPECT_EQ(lines(QStringLiteral("notch label steps back; the tile is on the bar again")), 1);
    EXPECT_EQ(notch.visibleLabelView(), nullptr);
    EXPECT_FALSE(notch.gestures().pollInterval());
}

TEST_F(NotchNameTest, EnabledWithDroppedTileIsADoorButNotStandingIn)
{
    tile = Tile::dropped;
    notch.start();
    EXPECT_TRUE(panel("DISPLAY-A")->isDoor());
    EXPECT_FALSE(notch.isStandingIn());
    EXPECT_EQ(lines(QStringLiteral("notch label")), 0);
}

TEST_F(NotchNameTest, MissionControlHidesTheLabels)
{
    notch.start();
    EXPECT_EQ(announced, 1);
    notch.setMissionControlOpen(true);
    EXPECT_FALSE(notch.isShowing());
    EXPECT_EQ(announced, 2);
    notch.setMissionControlOpen(false);
    EXPECT_TRUE(notch.isShowing());
    EXPECT_EQ(announced, 3);
}

TEST_F(NotchNameTest, SwipeGhostsAndSettlesASecondAfterTheLastGesture)
{
    notch.start();
    swipe(2.0);
    ASSERT_TRUE(notch.isGhosted());
    advance(0.1);
    EXPECT_EQ(panel("DISPLAY-A")->alphaValue(), 0);
    // The watch reports the end once the gesture clock passes its limit.
    advance(0.3);
    EXPECT_FALSE(notch.gestures().swiping());
    // Still away 0.9 s after the last gesture event, back after 1.0 s.
    advance(0.5);
    EXPECT_TRUE(notch.isGhosted());
    advance(0.2);
    EXPECT_FALSE(notch.isGhosted());
    advance(0.2);
    advance(0.2);
    EXPECT_EQ(panel("DISPLAY-A")->alphaValue(), 1);
    const QString log = LogFile::switches().tail(10000);
    EXPECT_EQ(log.count(QStringLiteral("notch label ghosted for a swipe, back (settled) after ")), 1);
    EXPECT_TRUE(log.contains(QRegularExpression(QStringLiteral("after \\d+ ms; clocks: gesture 1\\.\\d\\d pointer"))));
}

TEST_F(NotchNameTest, PointerMovedAfterSwipeReturnsAtOnceAndLandedReturns)
{
    notch.start();
    swipe(2.0);
    ASSERT_TRUE(notch.isGhosted());
    world().setSecondsSinceLastEvent(EventType::mouseMoved, 0);
    advance(0.2);
    EXPECT_FALSE(notch.isGhosted());

    swipe(2.0);
    ASSERT_TRUE(notch.isGhosted());
    world().setSecondsSinceLastEvent(EventType::mouseMoved, 0);
    advance(0.05);
    world().setCurrentSpace(QStringLiteral("DISPLAY-A"), 2);
    engine().refresh(false);
    notch.landed();
    EXPECT_FALSE(notch.isGhosted());
    EXPECT_EQ(panel("DISPLAY-A")->state().desktop->id(), 2u);
}

TEST_F(NotchNameTest, ScreenRemovedDuringAGhostLeavesNoLabelBehind)
{
    notch.start();
    swipe(2.0);
    ASSERT_TRUE(notch.isGhosted());
    world().removeDisplay(QStringLiteral("DISPLAY-B"));
    engine().refresh(false);
    notch.update();
    advance(2);
    EXPECT_FALSE(notch.isGhosted());
    EXPECT_FALSE(panel("DISPLAY-B")->isOnScreen());
    EXPECT_TRUE(panel("DISPLAY-A")->isOnScreen());
}

TEST_F(NotchNameTest, AScreenWithoutANumberGetsNoLabelAndTheOthersKeepTheirs)
{
    world().removeDisplay(QStringLiteral("DISPLAY-B"));
    sim::DisplaySpec c;
    c.uuid = QStringLiteral("DISPLAY-C");
    c.displayID = 3;
    c.frame = QRectF(1512, 0, 1512, 982);
    c.notchLeft = QRectF(0, 944, 662, 38);
    c.notchRight = QRectF(850, 944, 662, 38);
    c.spaces = {{4, 1004, 0, {}}};
    c.currentSpaceID = 4;
    c.hasScreenNumber = false;
    world().addDisplay(c);
    engine().refresh(false);
    notch.start();
    EXPECT_TRUE(panel("DISPLAY-A") && panel("DISPLAY-A")->isOnScreen());
    EXPECT_FALSE(panel("DISPLAY-C"));
    EXPECT_EQ(notch.panels().size(), 1);
}

TEST_F(NotchNameTest, PreviewDrawsANotchWhereThereIsNone)
{
    world().clear();
    makeDesktops(2);
    sim::movePointer({500, 400});
    notch.showPreview();
    const QList<FloatingPanel*> panels = notch.previewPanels();
    ASSERT_EQ(panels.size(), 2);
    EXPECT_EQ(panels[0]->frame(), QRectF(402, 763, 196, 37));
    EXPECT_TRUE(panels[0]->isOnScreen());
    EXPECT_TRUE(notch.isShowing());
    keepRender(render(*panels[0], Qt::white, 2), QStringLiteral("notch-stand-in"));
    advance(3);
    notch.showPreview();
    advance(1.5);
    EXPECT_TRUE(notch.isShowing());
    advance(3);
    EXPECT_FALSE(notch.isShowing());
    EXPECT_TRUE(notch.previewPanels().isEmpty());
    EXPECT_EQ(announced, 4);
}

} // namespace
