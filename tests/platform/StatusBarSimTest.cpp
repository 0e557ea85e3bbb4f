#include "platform/NotificationCenter.h"
#include "platform/PreferenceDomain.h"
#include "platform/sim/StatusBar.h"
#include "platform/sim/World.h"
#include "support/PlatformTest.h"

#include <QWidget>

namespace {

using namespace platform;

class StatusBarSimTest : public PlatformTest {
protected:
    StatusBarSimTest()
    {
        ensureTestApplication();
        sim::World::shared().clear();
        sim::DisplaySpec display;
        display.uuid = QStringLiteral("D1");
        display.displayID = 1;
        display.frame = QRectF(0, 0, 1000, 800);
        display.spaces.append({1, 1, 0, {}});
        sim::World::shared().addDisplay(display);
        sim::setAppMenusWidth(400);
    }

    static StatusItem& fixed(std::unique_ptr<StatusItem>& item, double width)
    {
        item = std::make_unique<StatusItem>(width);
        return *item;
    }
};

} // namespace

// --- layout ---

TEST_F(StatusBarSimTest, ItemsLieRightToLeftUnderTheTopOfTheFirstScreen)
{
    std::unique_ptr<StatusItem> first;
    std::unique_ptr<StatusItem> second;
    fixed(first, 50);
    fixed(second, 30);
    EXPECT_EQ(first->button()->window()->frame(), QRectF(950, 776, 50, 24));
    EXPECT_EQ(second->button()->window()->frame(), QRectF(920, 776, 30, 24));
    sim::addOtherStatusItem(100); // joins at the right end
    EXPECT_EQ(first->button()->window()->frame().right(), 900);
}

TEST_F(StatusBarSimTest, AnItemBeyondTheRoomLiesOnNoScreen)
{
    std::unique_ptr<StatusItem> item;
    fixed(item, 50);
    sim::setAppMenusWidth(960);
    EXPECT_EQ(sim::statusBarRoom(), 40);
    EXPECT_FALSE(item->button()->window()->frame().intersects(QRectF(0, 0, 1000, 800)));
    EXPECT_FALSE(item->button()->window()->occlusionVisible());
    item->setLength(40);
    EXPECT_TRUE(item->button()->window()->occlusionVisible());
}

TEST_F(StatusBarSimTest, TheNotchGapIsNotRoom)
{
    sim::DisplaySpec notched = *sim::World::shared().display(QStringLiteral("D1"));
    notched.notchLeft = QRectF(0, 770, 400, 30);
    notched.notchRight = QRectF(600, 770, 400, 30);
    sim::World::shared().addDisplay(notched);
    EXPECT_EQ(sim::statusBarRoom(), 1000 - 400 - 200);
}

TEST_F(StatusBarSimTest, AVariableItemIsAsWideAsItsContentAndCutsAFixedTitle)
{
    StatusItem item;
    item.button()->setTitle(QStringLiteral("A long title for the bar"));
    const double wide = item.button()->intrinsicContentWidth();
    EXPECT_EQ(item.width(), wide);
    item.button()->setLineBreakMode(StatusBarButton::LineBreakMode::truncatingTail);
    item.setLength(60);
    EXPECT_TRUE(item.button()->displayedTitle().endsWith(QChar(0x2026)));
    item.button()->setTitle(QStringLiteral("two\nlines"));
    item.setLength(StatusItem::variableLength);
    EXPECT_EQ(item.button()->displayedTitle(), QStringLiteral("two lines"));
}

// --- notifications and memory ---

TEST_F(StatusBarSimTest, MovesAndOcclusionChangesAreAnnouncedWithTheWindow)
{
    std::unique_ptr<StatusItem> item;
    fixed(item, 50);
    clock().runPending();
    QList<qint64> moved;
    QList<qint64> occluded;
    auto a = NotificationCenter::defaultCenter().observe(WindowNotifications::didMove,
                                                         [&] { moved << WindowNotifications::object(); });
    auto b = NotificationCenter::defaultCenter().observe(WindowNotifications::didChangeOcclusionState,
                                                         [&] { occluded << WindowNotifications::object(); });
    sim::setAppMenusWidth(990);
    EXPECT_TRUE(moved.isEmpty()); // delivered on the main queue
    clock().runPending();
    EXPECT_EQ(moved, QList<qint64>{item->windowNumber()});
    EXPECT_EQ(occluded, QList<qint64>{item->windowNumber()});
    EXPECT_EQ(WindowNotifications::object(), 0);
}

TEST_F(StatusBarSimTest, AnAutosavedItemRemembersWhereItSat)
{
    std::unique_ptr<StatusItem> item;
    fixed(item, 50);
    sim::addOtherStatusItem(30);
    item->setAutosaveName(QStringLiteral("Tessaroom"));
    EXPECT_EQ(PreferenceDomain::standard().object(QStringLiteral("NSStatusItem Preferred Position Tessaroom")).toDouble(),
              30);
}

// --- clicks, menus, popovers ---

TEST_F(StatusBarSimTest, ClicksSendTheActionWithTheCurrentEventOrOpenTheAttachedMenu)
{
    StatusItem item;
    std::optional<CurrentEvent> seen;
    item.button()->setAction([&] { seen = Application::currentEvent(); });
    item.button()->setSendActionOn(StatusBarButton::leftMouseUpMask);
    sim::clickStatusButton(item, EventType::rightMouseUp);
    EXPECT_FALSE(seen);
    sim::clickStatusButton(item, EventType::leftMouseUp, EventFlag::control);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->modifierFlags, EventFlag::control);
    EXPECT_FALSE(Application::currentEvent());

    Menu menu;
    int closed = 0;
    QStringList chosen;
    menu.setOnDidClose([&] { ++closed; });
    MenuItem entry;
    entry.title = QStringLiteral("One");
    entry.action = [&](const MenuItem& sender) { chosen << sender.title; };
    menu.addItem(entry);
    MenuItem off = entry;
    off.enabled = false;
    menu.addItem(off);
    item.setMenu(&menu);
    seen.reset();
    item.button()->performClick();
    EXPECT_FALSE(seen);
    ASSERT_EQ(sim::openMenu(), &menu);
    menu.choose(1); // disabled: closes, does nothing
    EXPECT_EQ(closed, 1);
    item.button()->performClick();
    menu.choose(0);
    EXPECT_EQ(chosen, QStringList{QStringLiteral("One")});
    item.button()->performClick();
    menu.cancelTracking();
    menu.cancelTracking();
    EXPECT_EQ(closed, 3);
    EXPECT_EQ(sim::openMenu(), nullptr);
}

TEST_F(StatusBarSimTest, APopoverClosesOnceByEveryPathAndHangsBelowItsAnchor)
{
    Popover popover;
    QWidget content;
    content.setFixedSize(200, 100);
    popover.setContentView(&content);
    int closed = 0;
    popover.setOnDidClose([&] { ++closed; });
    popover.show(QRectF(500, 776, 40, 24), Popover::Edge::minY);
    EXPECT_TRUE(popover.isShown());
    EXPECT_LE(popover.frame().top(), 776);
    EXPECT_EQ(popover.frame().size(), QSizeF(200, 100));
    EXPECT_EQ(sim::shownPopover(), &popover);
    sim::clickOutsidePopovers(); // not transient: stays
    EXPECT_TRUE(popover.isShown());
    popover.setBehavior(Popover::Behavior::transient);
    sim::clickOutsidePopovers();
    EXPECT_FALSE(popover.isShown());
    popover.performClose();
    EXPECT_EQ(closed, 1);
    // Its window closed by another road (Ctrl+W closes the active window).
    popover.show(QRectF(500, 776, 40, 24), Popover::Edge::minY);
    popover.window()->close();
    EXPECT_FALSE(popover.isShown());
    EXPECT_EQ(sim::shownPopover(), nullptr);
    EXPECT_EQ(closed, 2);
    popover.setContentView(nullptr);
}
