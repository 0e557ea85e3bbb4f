#include "MenuBarTest.h"

#include "menubar/StatusBarController.h"
#include "platform/PreferenceDomain.h"

namespace {

// The bar's room is the screen width less the app menus; a test squeezes it.
class TileFitTest : public MenuBarTest {
protected:
    TileFitTest()
    {
        addDisplay(QStringLiteral("D1"), {11, 12}, 11);
        name(11, QStringLiteral("Mail"));
    }

    void start() { tile = std::make_unique<StatusBarController>(commands); }
    // Leaves room points in the bar.
    void room(double points) { platform::sim::setAppMenusWidth(1512 - points); }
    int lines(const QString& text) const { return int(switchLog().count(text)); }

    std::unique_ptr<StatusBarController> tile;
    std::shared_ptr<int> tileChanges = std::make_shared<int>(0);
    platform::NotificationCenter::Subscription watch = platform::NotificationCenter::defaultCenter().observe(
        MenuBarNotifications::tileChanged(), [count = tileChanges] { ++*count; });

    const QString compactLine = QStringLiteral("menu bar has no room for the name; showing the tile alone");
    const QString hiddenLine = QStringLiteral("menu bar has no room for the tile at all");
};

} // namespace

// --- the sequence after arming ---

TEST_F(TileFitTest, AFittingTileStaysFullAndInTheBar)
{
    start();
    advance(10);
    EXPECT_TRUE(tile->isOnScreen());
    EXPECT_FALSE(tile->compact());
    EXPECT_EQ(tile->presence(), TilePresence::inBar);
    EXPECT_TRUE(tile->fitChecksArmed());
    EXPECT_EQ(*tileChanges, 0);
}

TEST_F(TileFitTest, AFullTileOffScreenGoesCompactAfterOneConfirmation)
{
    room(30);
    start();
    advance(1.5);
    EXPECT_FALSE(tile->compact());
    tile->checkFit(); // a second look during the confirmation does nothing
    advance(0.4);
    EXPECT_TRUE(tile->compact());
    EXPECT_EQ(lines(compactLine), 1);
    EXPECT_EQ(tile->button()->title(), QString());
    advance(0.4);
    EXPECT_TRUE(tile->isOnScreen());
    EXPECT_EQ(tile->presence(), TilePresence::inBar);
    EXPECT_EQ(*tileChanges, 0);
}

TEST_F(TileFitTest, ACompactTileStillOffScreenIsDropped)
{
    room(10);
    start();
    advance(2.5);
    EXPECT_TRUE(tile->compact());
    EXPECT_TRUE(tile->tileHidden());
    EXPECT_EQ(tile->presence(), TilePresence::dropped);
    EXPECT_TRUE(isAwayFromBar(tile->presence()));
    EXPECT_FALSE(tile->isTileVisible());
    EXPECT_EQ(lines(hiddenLine), 1);
    EXPECT_EQ(*tileChanges, 1);
}

TEST_F(TileFitTest, AnIconOnlyTileOffScreenIsDroppedWithoutTheCompactStep)
{
    settings().setMenuBarStyle(MenuBarStyle::iconOnly);
    room(10);
    start();
    advance(1.5);
    EXPECT_FALSE(tile->compact());
    EXPECT_TRUE(tile->tileHidden());
    EXPECT_EQ(lines(compactLine), 0);
}

TEST_F(TileFitTest, ADroppedTileComesBackWhenItsWindowMovesOnScreen)
{
    room(10);
    start();
    advance(2.5);
    ASSERT_TRUE(tile->tileHidden());
    room(600); // the bar lays the item out again and reports the move
    clock().runPending();
    EXPECT_FALSE(tile->tileHidden());
    EXPECT_EQ(tile->presence(), TilePresence::inBar);
    EXPECT_EQ(lines(QStringLiteral("menu bar shows the tile again")), 1);
    EXPECT_EQ(*tileChanges, 2);
}

TEST_F(TileFitTest, MovesOfOtherWindowsAndMovesBeforeTheFirstCheckAreIgnored)
{
    start();
    room(10);
    clock().runPending(); // our window's move arrives before the first check
    EXPECT_FALSE(tile->fitChecksArmed());
    EXPECT_FALSE(tile->tileHidden());
    EXPECT_EQ(lines(compactLine), 0);

    settings().setMenuBarStyle(MenuBarStyle::iconOnly);
    advance(1.5);
    ASSERT_TRUE(tile->tileHidden());
    room(600);
    platform::sim::postWindowMove(tile->button()->window()->windowNumber() + 100);
    EXPECT_TRUE(tile->tileHidden());
}

// --- generations and retries ---

TEST_F(TileFitTest, OnlyTheChecksOfTheLatestArmingRun)
{
    room(30);
    start();
    advance(1.0);
    tile->screensChanged();
    advance(0.5); // the first arming's check is due now and must not run
    EXPECT_FALSE(tile->fitChecksArmed());
    advance(1.0);
    EXPECT_TRUE(tile->fitChecksArmed());
    advance(0.4);
    EXPECT_EQ(lines(compactLine), 1);
}

TEST_F(TileFitTest, ACompactTileTriesItsFullNameAgainAfterSixSeconds)
{
    room(30);
    start();
    advance(6.0);
    EXPECT_EQ(lines(QStringLiteral("menu bar: trying the full name again")), 1);
    EXPECT_FALSE(tile->compact());
    advance(0.4 + 0.4); // still no room: the confirm cycle runs again
    EXPECT_TRUE(tile->compact());
    EXPECT_EQ(lines(compactLine), 2);
}

TEST_F(TileFitTest, WhileSteppedAsideChecksChangeNothing)
{
    settings().setNotchEnabled(true);
    settings().setTileHiddenBesideNotch(true);
    start();
    tile->setNotchLabelVisible([] { return true; });
    tile->render();
    room(10);
    advance(10);
    EXPECT_FALSE(tile->compact());
    EXPECT_FALSE(tile->tileHidden());
    EXPECT_EQ(tile->presence(), TilePresence::steppedAside);
}

TEST_F(TileFitTest, AScreenChangeRearmsAndDropsCompact)
{
    room(30);
    start();
    advance(2.0);
    ASSERT_TRUE(tile->compact());
    platform::sim::DisplaySpec wider = *world().display(QStringLiteral("D1"));
    wider.frame = QRectF(0, 0, 2560, 1440);
    world().addDisplay(wider);
    clock().runPending();
    EXPECT_FALSE(tile->compact());
    EXPECT_FALSE(tile->fitChecksArmed());
}

TEST_F(TileFitTest, WithoutScreensTheTileIsOffScreen)
{
    start();
    advance(2);
    world().clear();
    EXPECT_FALSE(tile->isOnScreen());
}

// --- the debug line ---

TEST_F(TileFitTest, DebugLineDescribesTheWindowAndTheStoredPosition)
{
    start();
    advance(2);
    const QString line = tile->debugLine();
    EXPECT_TRUE(line.startsWith(QStringLiteral("frame={{"))) << line.toStdString();
    EXPECT_TRUE(line.contains(QStringLiteral("}} onScreen=true visibleFlag=true compact=false presence=inBar stored=")))
        << line.toStdString();
    const QVariant stored =
        platform::PreferenceDomain::standard().object(QStringLiteral("NSStatusItem Preferred Position Tessaroom"));
    ASSERT_TRUE(stored.isValid());
    EXPECT_TRUE(line.endsWith(QStringLiteral("stored=") + stored.toString()));

    room(10);
    advance(3);
    EXPECT_TRUE(tile->debugLine().contains(QStringLiteral("onScreen=false visibleFlag=false compact=true presence=dropped")))
        << tile->debugLine().toStdString();
}
