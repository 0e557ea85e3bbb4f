#include "surfaces/SpaceHover.h"

#include "SwitcherWorld.h"
#include "platform/WindowFrame.h"
#include "platform/sim/Input.h"
#include "store/Settings.h"
#include "surfaces/HoverPanel.h"
#include "surfaces/HoverStripAppIcon.h"
#include "surfaces/HoverStripItem.h"
#include "surfaces/HoverStripView.h"

#include <QCoreApplication>

namespace {

namespace sim = platform::sim;

// A 1000 x 800 screen: its top edge is y = 800, its middle x = 500.
class SpaceHoverTest : public SwitcherWorld {
protected:
    SpaceHoverTest()
    {
        makeDesktops(3);
        Settings::shared().setHoverDelay(0.45);
    }

    // A fade ends on the first frame (1/60 s apart) after its duration.
    static constexpr double fadeIn = SpaceHover::fadeInDuration + 1.0 / 60;
    static constexpr double fadeOut = SpaceHover::fadeOutDuration + 1.0 / 60;

    SpaceHover& hover()
    {
        if (!hover_) {
            hover_ = std::make_unique<SpaceHover>(engine(), Settings::shared(), [this] { return missionControlOpen_; });
        }
        return *hover_;
    }

    // Rests at the top edge until the strip shows.
    void showByDwelling()
    {
        hover().start();
        sim::movePointer({500, 799.5});
        advance(0.45);
        advance(fadeIn);
        ASSERT_TRUE(hover().isShowing());
    }

    QRectF panelFrame() { return platform::WindowFrame::frame(hover().panel()); }

    // Clicks a point of a widget inside the panel.
    bool clickOn(QWidget* widget, QPointF local)
    {
        const QRectF frame = panelFrame();
        const QPointF inPanel = widget->mapTo(hover().panel(), local);
        return sim::click(hover().panel(), QPointF(frame.x() + inPanel.x(), frame.bottom() - inPanel.y()));
    }

    bool missionControlOpen_ = false;

private:
    std::unique_ptr<SpaceHover> hover_;
};

// --- zone ---

TEST_F(SpaceHoverTest, TheCentreZoneReachesElevenPercentOfTheWidthEitherSide)
{
    const QRectF screen(0, 0, 1000, 800);
    EXPECT_TRUE(SpaceHover::isInZone({390, 800}, screen, HoverZone::center));
    EXPECT_TRUE(SpaceHover::isInZone({610, 799}, screen, HoverZone::center));
    EXPECT_FALSE(SpaceHover::isInZone({389.5, 800}, screen, HoverZone::center));
    EXPECT_FALSE(SpaceHover::isInZone({611, 800}, screen, HoverZone::center));
    EXPECT_TRUE(SpaceHover::isInZone({1, 800}, screen, HoverZone::wholeEdge));
    EXPECT_TRUE(SpaceHover::isInZone({999, 799}, screen, HoverZone::wholeEdge));
}

TEST_F(SpaceHoverTest, TwoPointsBelowTheTopCountButThreeDoNot)
{
    const QRectF screen(0, 0, 1000, 800);
    EXPECT_TRUE(SpaceHover::isInZone({500, 798}, screen, HoverZone::center));
    EXPECT_FALSE(SpaceHover::isInZone({500, 797}, screen, HoverZone::center));
    // A second screen to the right, taller than the first.
    const QRectF right(1000, 0, 800, 1200);
    EXPECT_TRUE(SpaceHover::isInZone({1400, 1199}, right, HoverZone::center));
    EXPECT_FALSE(SpaceHover::isInZone({1400, 799}, right, HoverZone::center));
}

// --- dwell ---

TEST_F(SpaceHoverTest, RestingAtTheEdgeShowsTheStripAfterTheDelay)
{
    hover().start();
    sim::movePointer({500, 799});
    EXPECT_TRUE(hover().isDwelling());
    advance(0.44);
    EXPECT_FALSE(hover().isShowing());
    advance(0.01);
    EXPECT_TRUE(hover().isShowing());
    EXPECT_FALSE(hover().isDwelling());
    // It fades in over 0.16 s.
    EXPECT_LT(hover().opacity(), 1.0);
    advance(fadeIn);
    EXPECT_DOUBLE_EQ(hover().opacity(), 1.0);
    EXPECT_DOUBLE_EQ(hover().panel()->windowOpacity(), 1.0);
}

TEST_F(SpaceHoverTest, LeavingTheZoneCancelsTheDwellAndComingBackStartsAFullDelay)
{
    hover().start();
    sim::movePointer({500, 799});
    advance(0.3);
    sim::movePointer({500, 700});
    EXPECT_FALSE(hover().isDwelling());
    sim::movePointer({500, 800});
    advance(0.3);
    EXPECT_FALSE(hover().isShowing());
    advance(0.15);
    EXPECT_TRUE(hover().isShowing());
}

TEST_F(SpaceHoverTest, MovesWithinTheZoneKeepTheFirstDwell)
{
    hover().start();
    sim::movePointer({500, 799});
    advance(0.3);
    sim::dragPointer({520, 800});
    advance(0.15);
    EXPECT_TRUE(hover().isShowing());
}

TEST_F(SpaceHoverTest, APointerThatSlipsDownBeforeTheDelayEndsShowsNothing)
{
    hover().start();
    sim::movePointer({500, 799});
    // Moved without an event reaching the monitors (another app swallowed it).
    sim::warpPointer({500, 600});
    advance(0.5);
    EXPECT_FALSE(hover().isShowing());
}

TEST_F(SpaceHoverTest, NothingShowsWhileMissionControlIsOpenOrTheStripIsOff)
{
    missionControlOpen_ = true;
    hover().start();
    sim::movePointer({500, 799});
    advance(1);
    EXPECT_FALSE(hover().isShowing());

    missionControlOpen_ = false;
    Settings::shared().setHoverEnabled(false);
    sim::movePointer({501, 799});
    advance(1);
    EXPECT_FALSE(hover().isShowing());
}

TEST_F(SpaceHoverTest, StartTwiceInstallsTheMonitorsOnceAndStopRemovesThem)
{
    hover().start();
    hover().start();
    EXPECT_EQ(sim::mouseMonitorCount(), 2);
    hover().stop();
    EXPECT_EQ(sim::mouseMonitorCount(), 0);
    sim::movePointer({500, 799});
    advance(1);
    EXPECT_FALSE(hover().isShowing());

    hover().start();
    sim::movePointer({500, 799});
    advance(0.44);
    EXPECT_FALSE(hover().isShowing());
    advance(0.01);
    EXPECT_TRUE(hover().isShowing());
}

// --- leaving ---

TEST_F(SpaceHoverTest, ThePointerNearTheStripKeepsItAndFurtherAwayItFadesOut)
{
    showByDwelling();
    const QRectF frame = panelFrame();
    // 39 points below the strip, outside the zone.
    sim::movePointer({frame.center().x(), frame.y() - 39});
    EXPECT_FALSE(hover().isLeaving());
    advance(1);
    EXPECT_TRUE(hover().isShowing());

    sim::movePointer({frame.center().x(), frame.y() - 41});
    EXPECT_TRUE(hover().isLeaving());
    advance(0.34);
    EXPECT_TRUE(hover().isShowing());
    EXPECT_DOUBLE_EQ(hover().opacity(), 1.0);
    advance(0.02);
    EXPECT_LT(hover().opacity(), 1.0);
    advance(fadeOut);
    EXPECT_FALSE(hover().isShowing());
    EXPECT_EQ(clock().pendingCount(), 0u);
}

TEST_F(SpaceHoverTest, ComingBackBeforeTheLeaveDelayKeepsTheStrip)
{
    showByDwelling();
    sim::movePointer({500, 100});
    advance(0.2);
    sim::movePointer({500, 799});
    EXPECT_FALSE(hover().isLeaving());
    advance(1);
    EXPECT_TRUE(hover().isShowing());
}

TEST_F(SpaceHoverTest, AStripShownAgainWhileFadingOutComesBack)
{
    showByDwelling();
    hover().hide();
    advance(0.07);
    hover().show(std::nullopt, 0);
    advance(1);
    EXPECT_TRUE(hover().isShowing());
    EXPECT_DOUBLE_EQ(hover().opacity(), 1.0);
}

// --- selection, pins and previews ---

TEST_F(SpaceHoverTest, AClickOnATileSwitchesAndPinsTheStripForASecondAndAHalf)
{
    showByDwelling();
    HoverStripItem* item = hover().panel()->strip()->items()[1];
    // The first click reaches the tile though the panel is not key.
    EXPECT_TRUE(clickOn(item, item->tileRect().topLeft() + QPointF(4, 4)));
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_EQ(requests()[0].reason, QStringLiteral("hover strip"));
    EXPECT_EQ(requests()[0].desktopID, 2u);

    sim::movePointer({500, 100});
    advance(1.4);
    sim::movePointer({500, 90});
    advance(0.5);
    EXPECT_TRUE(hover().isShowing());
    advance(0.2);
    sim::movePointer({500, 80});
    advance(0.35 + fadeOut);
    EXPECT_FALSE(hover().isShowing());
}

TEST_F(SpaceHoverTest, AClickOnAnAppIconSwitchesAndBringsItForward)
{
    addApp(601, QStringLiteral("Notes"), {3});
    engine().appsByDesktop(true);
    showByDwelling();
    HoverStripItem* item = hover().panel()->strip()->items()[2];
    ASSERT_EQ(item->appIcons().size(), 1);
    HoverStripAppIcon* icon = item->appIcons()[0];
    EXPECT_TRUE(clickOn(icon, HoverStripAppIcon::backingRect().center()));
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_EQ(requests()[0].reason, QStringLiteral("hover strip app"));
    EXPECT_EQ(requests()[0].desktopID, 3u);
    EXPECT_TRUE(world().activationRequests().contains(601));
    EXPECT_GT(hover().pinnedUntil(), platform::now() + 1.4);
}

TEST_F(SpaceHoverTest, APreviewStaysForItsPinWhateverThePointerDoes)
{
    hover().start();
    hover().show(std::nullopt, 4);
    for (int i = 0; i < 39; ++i) {
        sim::movePointer({double(10 * i), 50});
        advance(0.1);
    }
    EXPECT_TRUE(hover().isShowing());
    advance(0.2);
    sim::movePointer({10, 50});
    advance(0.35 + fadeOut);
    EXPECT_FALSE(hover().isShowing());
}

TEST_F(SpaceHoverTest, APinnedShowWithTheStripOffHidesItselfWhenThePinEnds)
{
    Settings::shared().setHoverEnabled(false);
    hover().show(std::nullopt, 4);
    advance(3.9);
    EXPECT_TRUE(hover().isShowing());
    advance(0.1 + fadeOut);
    EXPECT_FALSE(hover().isShowing());
    EXPECT_EQ(clock().pendingCount(), 0u);
}

TEST_F(SpaceHoverTest, APinnedShowWhileMonitorsRunButTheStripIsOffHidesToo)
{
    hover().start();
    Settings::shared().setHoverEnabled(false);
    hover().show(std::nullopt, 4);
    sim::movePointer({10, 10});
    advance(4 + fadeOut);
    EXPECT_FALSE(hover().isShowing());
}

TEST_F(SpaceHoverTest, ALaterShowOutlivesTheEndOfAnEarlierPin)
{
    Settings::shared().setHoverEnabled(false);
    hover().show(std::nullopt, 4);
    advance(3);
    hover().show(std::nullopt, 4);
    advance(1.5);
    EXPECT_TRUE(hover().isShowing()) << "the first pin's end belongs to an older showing";
    advance(2.5 + fadeOut);
    EXPECT_FALSE(hover().isShowing());
}

TEST_F(SpaceHoverTest, AClickDuringAPreviewKeepsTheStripUntilTheClicksPinEnds)
{
    Settings::shared().setHoverEnabled(false);
    hover().show(std::nullopt, 4);
    advance(3.5);
    HoverStripItem* item = hover().panel()->strip()->items()[1];
    ASSERT_TRUE(clickOn(item, item->tileRect().center()));
    EXPECT_DOUBLE_EQ(hover().pinnedUntil(), platform::now() + SpaceHover::selectionPin);
    // The preview's own pin ended at 4 s; the click's runs to 5 s.
    advance(1.4);
    EXPECT_TRUE(hover().isShowing());
    advance(0.1 + fadeOut);
    EXPECT_FALSE(hover().isShowing());
    EXPECT_EQ(clock().pendingCount(), 0u);
}

TEST_F(SpaceHoverTest, APreviewEndsWithItsPinThoughThePointerNeverMoves)
{
    // The strip is on and watching, but no pointer move comes after the
    // preview to run the leave rule.
    sim::movePointer({500, 100});
    hover().start();
    hover().show(std::nullopt, 4);
    advance(3.9);
    EXPECT_TRUE(hover().isShowing());
    advance(0.1 + SpaceHover::leaveDelay + fadeOut);
    EXPECT_FALSE(hover().isShowing());
}

TEST_F(SpaceHoverTest, APointerRestingOnTheStripWhenThePinEndsKeepsItUntilItLeaves)
{
    hover().start();
    hover().show(std::nullopt, 4);
    sim::movePointer(panelFrame().center());
    advance(6);
    EXPECT_TRUE(hover().isShowing());
    sim::movePointer({500, 100});
    advance(SpaceHover::leaveDelay + fadeOut);
    EXPECT_FALSE(hover().isShowing());
}

TEST_F(SpaceHoverTest, StopHidesAShowingStrip)
{
    showByDwelling();
    hover().stop();
    advance(fadeOut);
    EXPECT_FALSE(hover().isShowing());
    EXPECT_FALSE(hover().isDwelling());
    EXPECT_FALSE(hover().isLeaving());
}

} // namespace

namespace {

TEST_F(SpaceHoverTest, AClickWhoseSwitchRebuildsTheStripFinishesSafely)
{
    // A switcher that arrives at once, so the engine's lists change while the
    // tile is still handling its click.
    class ArrivingSwitcher : public DesktopSwitching {
    public:
        void switchTo(const Desktop& desktop, const QString&, std::function<void(bool)> completion) override
        {
            platform::sim::World::shared().setCurrentSpace(desktop.displayUUID(), desktop.id());
            SpaceEngine::shared().refresh(false);
            if (completion)
                completion(true);
        }
    };
    engine().setSwitcher(std::make_unique<ArrivingSwitcher>());
    showByDwelling();
    HoverStripItem* item = hover().panel()->strip()->items()[2];
    EXPECT_TRUE(clickOn(item, item->tileRect().center()));
    clock().runPending();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(engine().activeDesktop()->number, 3);
    ASSERT_EQ(hover().panel()->strip()->items().size(), 3);
    EXPECT_TRUE(hover().panel()->strip()->items()[2]->desktop().isCurrent);
}

} // namespace
