#include "MissionControlTest.h"

#include "missioncontrol/OverlayPanel.h"
#include "missioncontrol/PillsView.h"
#include "platform/sim/SessionHooks.h"
#include "support/Literals.h"

#include <QApplication>
#include <QMouseEvent>

namespace {

QStringList names(const QList<Pill>& pills)
{
    QStringList result;
    for (const auto& pill : pills)
        result.append(pill.desktop.displayName());
    return result;
}

} // namespace

class OverlayTest : public MissionControlTest {
protected:
    OverlayTest()
    {
        addDisplays({3});
        remake();
    }

    void remake()
    {
        overlay.reset();
        overlay = makeOverlay();
        overlay->onOpenChange = [this](bool open) { openChanges.append(open); };
        overlay->onClosedWithoutAccess = [this] { ++closedWithoutAccess; };
        overlay->start();
    }

    QList<Pill> shown(const QString& uuid = s("D1")) const
    {
        auto it = overlay->lastPills().find(uuid);
        return it == overlay->lastPills().end() ? QList<Pill>{} : it->second;
    }

    std::unique_ptr<MissionControlOverlay> overlay;
    QList<bool> openChanges;
    int closedWithoutAccess = 0;
};

// --- sessions and their report ------------------------------------------------------

TEST_F(OverlayTest, SessionWithoutAccessLogsFalseAndNoDataAndCallsTheNotice)
{
    setTrusted(false);
    remake();
    mc().open();
    advance(0.25);
    EXPECT_TRUE(overlay->isOpen());
    mc().close();
    advance(0.5);
    EXPECT_EQ(openChanges, (QList<bool>{true, false}));
    const QString text = log();
    EXPECT_TRUE(text.contains(s("] opened (noticed by poll)\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(s("closed (ax=false); 0 passes, 0.0 ms each; open +0.")));
    EXPECT_TRUE(text.contains(s(", row expanded never, layout: none, dock notifications at none; last pass:\n"
                                "(no accessibility data)\n")))
        << text.toStdString();
    EXPECT_EQ(closedWithoutAccess, 1);
    EXPECT_TRUE(overlay->panels().empty());

    settings().setMcLabelsEnabled(false);
    mc().open();
    advance(0.25);
    mc().close();
    advance(0.5);
    EXPECT_EQ(closedWithoutAccess, 1);
}

TEST_F(OverlayTest, CollapsedLabelsThenThumbnailsThenTheBarLeavesWithNotesInTheReport)
{
    mc().open();
    advance(0.25);
    ASSERT_EQ(shown().size(), 3);
    EXPECT_TRUE(shown()[0].isLabelAnchor());
    EXPECT_EQ(overlay->labelWidths().value(1), shown()[0].anchor.width());
    ASSERT_EQ(overlay->changes().size(), 1);
    EXPECT_TRUE(overlay->changes()[0].startsWith(s("collapsed+0.")));
    OverlayPanel* panel = overlay->panels().at(s("D1"));
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->level(), WindowLevel::missionControlOverlay);
    EXPECT_TRUE(panel->ignoresMouseEvents());
    EXPECT_EQ(panel->pills().layers().size(), 3u);

    advance(0.4);
    ASSERT_TRUE(overlay->expandedAt());
    EXPECT_FALSE(shown()[0].isLabelAnchor());
    // Over the thumbnails the pills keep the width of the label they replace.
    EXPECT_EQ(shown()[0].labelWidth, overlay->labelWidths().value(1));
    EXPECT_TRUE(overlay->changes().last().startsWith(s("expanded+0.")));

    mc().close();
    advance(0.5);
    const QString text = log();
    EXPECT_TRUE(text.contains(s("closed (ax=true); "))) << text.toStdString();
    EXPECT_TRUE(text.contains(s(", row expanded +0.")));
    EXPECT_TRUE(text.contains(s(" bar left+0."))) << text.toStdString();
    EXPECT_TRUE(text.contains(s("dock notifications at AXSelectedChildrenChanged +0.40s AXUIElementDestroyed +0.")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(s("; last pass:\ndisplay 1 bar={{0, -170}, {1512, 150}} items=3 desktops=3\n"
                                "  'Desktop 1' -> ")))
        << text.toStdString();
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(OverlayTest, NotesStopAtTwentyFour)
{
    mc().open();
    advance(0.1);
    for (int i = 0; i < 30; ++i) {
        overlay->handleClick(QPointF(5000, 5000));
        advance(0.6);
    }
    EXPECT_EQ(overlay->changes().size(), 24);
}

TEST_F(OverlayTest, SameGeometryDrawsNothingAndTheTimerSlowsDown)
{
    mc().setBehavior({.expandDelay = -1});
    mc().open();
    advance(0.1);
    EXPECT_EQ(overlay->geometryInterval(), MissionControlOverlay::fastInterval);
    const auto changes = overlay->changes().size();
    advance(1.0);
    EXPECT_EQ(overlay->changes().size(), changes);
    EXPECT_DOUBLE_EQ(*overlay->geometryInterval(), 0.1);
    // A host notification speeds it up again for a while.
    mc().postNotification(s("AXFocusedUIElementChanged"));
    advance(0.05);
    EXPECT_EQ(overlay->geometryInterval(), MissionControlOverlay::fastInterval);
}

TEST_F(OverlayTest, StopWhileOpenWritesTheReportAndDropsThePills)
{
    mc().open();
    advance(0.25);
    ASSERT_FALSE(shown().isEmpty());
    overlay->stop();
    EXPECT_EQ(openChanges, (QList<bool>{true, false}));
    EXPECT_TRUE(log().contains(s("closed (ax=true)")));
    EXPECT_TRUE(overlay->lastPills().empty());
    EXPECT_TRUE(overlay->panels().at(s("D1"))->pills().layers().empty());
    EXPECT_FALSE(overlay->panels().at(s("D1"))->isVisible());
    EXPECT_FALSE(overlay->isClickTapEnabled());
}

TEST_F(OverlayTest, WithoutCompositingThePanelShowsNothingButItsPillsWhereverTheyAre)
{
    platform::sim::setWindowCompositing(false);
    mc().setBehavior({.expandDelay = -1});
    mc().open();
    advance(0.25);
    OverlayPanel* panel = overlay->panels().at(s("D1"));
    ASSERT_TRUE(panel->isVisible());
    const QRegion sliding = panel->mask();
    advance(PillsView::moveDuration);
    const QRegion settled = panel->mask();
    EXPECT_NE(sliding, settled) << "the window follows the pills as they slide in";

    QList<QPoint> centres;
    for (const auto& [id, layer] : panel->pills().layers())
        centres.append(QPointF(layer->position().x(), panel->height() - layer->position().y()).toPoint());
    ASSERT_EQ(centres.size(), 3);
    for (const QPoint& centre : centres)
        EXPECT_TRUE(settled.contains(centre));
    EXPECT_FALSE(settled.contains((centres[0] + centres[1]) / 2)) << "nothing between two pills";
    EXPECT_FALSE(settled.contains(QPoint(0, 0)));
    EXPECT_FALSE(settled.contains(QPoint(panel->width() / 2, panel->height() / 2)));
    EXPECT_LT(settled.boundingRect().height(), 40) << "a band of pills, not a screen";

    mc().close();
    advance(0.5);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(panel->mask().boundingRect().intersects(panel->rect())) << "no pills, no window";
}

TEST_F(OverlayTest, WhereWindowsBlendThePillsKeepTheirWholeShadowsAndTheCutFollowsTheCompositor)
{
    mc().setBehavior({.expandDelay = -1});
    mc().open();
    advance(0.25 + PillsView::moveDuration);
    OverlayPanel* panel = overlay->panels().at(s("D1"));
    ASSERT_TRUE(panel->isVisible());
    EXPECT_TRUE(panel->mask().isEmpty()) << "a blended window needs no cut";

    platform::sim::setWindowCompositing(false);
    const QRegion cut = panel->mask();
    EXPECT_FALSE(cut.isEmpty());
    EXPECT_LT(cut.boundingRect().height(), 40) << "the compositor went: cut to the pills at once";

    platform::sim::setWindowCompositing(true);
    EXPECT_TRUE(panel->mask().isEmpty());
}

// --- clicks ---------------------------------------------------------------------------

TEST_F(OverlayTest, AClickOnAThumbnailHidesThePillsForHalfASecond)
{
    mc().setBehavior({.expandDelay = 0.1});
    mc().open();
    advance(0.3);
    ASSERT_TRUE(overlay->isClickTapEnabled());
    const QPointF centre = *mc().buttonCentre(2);
    mc().mouseDown(centre);
    mc().mouseUp(centre + QPointF(2, 0));
    EXPECT_TRUE(overlay->lastPills().empty());
    EXPECT_TRUE(overlay->changes().last().startsWith(s("click+")));
    advance(0.3);
    EXPECT_TRUE(overlay->lastPills().empty());
    advance(0.4);
    EXPECT_EQ(shown().size(), 3);
}

TEST_F(OverlayTest, ClicksOnTheEmptyBarAndDragsChangeNothing)
{
    mc().open();
    advance(0.6);
    const auto before = overlay->changes().size();
    mc().click(QPointF(3, 3));
    const QPointF centre = *mc().buttonCentre(1);
    mc().mouseDown(centre);
    mc().mouseUp(centre + QPointF(10, 0));
    EXPECT_EQ(overlay->changes().size(), before);
    EXPECT_EQ(shown().size(), 3);
}

TEST_F(OverlayTest, TapTurnedOffBySystemIsTurnedOnAgainWhileOpen)
{
    mc().open();
    advance(0.1);
    mc().disableTapsByTimeout();
    EXPECT_TRUE(overlay->isClickTapEnabled());
    mc().close();
    advance(0.5);
    EXPECT_FALSE(overlay->isClickTapEnabled());
    mc().disableTapsByTimeout();
    EXPECT_FALSE(overlay->isClickTapEnabled());
}

TEST_F(OverlayTest, RefusedTapLeavesThePillsWorkingAndIsTriedAgainNextTime)
{
    mc().refuseEventTaps(true);
    mc().open();
    advance(0.25);
    EXPECT_FALSE(overlay->hasClickTap());
    EXPECT_EQ(shown().size(), 3);
    mc().close();
    advance(0.5);
    mc().refuseEventTaps(false);
    mc().open();
    advance(0.25);
    EXPECT_TRUE(overlay->isClickTapEnabled());
}

// --- the press route ------------------------------------------------------------------

TEST_F(OverlayTest, PressRouteOpensMissionControlPressesAfterTheDelayAndConfirms)
{
    std::optional<bool> result;
    overlay->switchTo(3, [&](bool pressed) { result = pressed; });
    EXPECT_TRUE(mc().isOpen());
    advance(0.3);
    EXPECT_EQ(mc().pressCount(), 0);
    advance(0.04);
    EXPECT_EQ(mc().pressCount(), 1);
    EXPECT_EQ(world().currentSpace(s("D1")), 3u);
    EXPECT_FALSE(result);
    advance(0.35);
    EXPECT_EQ(result, true);
    // No pills were drawn while the switch ran.
    EXPECT_TRUE(overlay->changes().isEmpty());
}

TEST_F(OverlayTest, WithMissionControlShowingThePressRouteAndAUsersClickBothPressItsButton)
{
    mc().setShowsWindows(true);
    std::optional<bool> result;
    overlay->switchTo(3, [&](bool pressed) { result = pressed; });
    EXPECT_EQ(mc().windows().size(), 1);
    advance(0.34);
    EXPECT_EQ(mc().pressCount(), 1);
    EXPECT_TRUE(mc().windows().isEmpty());
    advance(0.35);
    EXPECT_EQ(result, true);
    EXPECT_EQ(world().currentSpace(s("D1")), 3u);

    // The user opens it and clicks the second desktop's preview.
    mc().open();
    advance(0.6);
    QWidget* window = mc().windows().value(0);
    ASSERT_NE(window, nullptr);
    const QPointF centre = *mc().buttonCentre(2);
    for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, centre, centre, Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, {});
        QApplication::sendEvent(window, &event);
    }
    EXPECT_EQ(mc().pressCount(), 2);
    EXPECT_EQ(world().currentSpace(s("D1")), 2u);
    EXPECT_TRUE(overlay->changes().last().startsWith(s("click+"))) << "the overlay saw the click";
    advance(0.5);
    EXPECT_FALSE(overlay->isOpen());
}

TEST_F(OverlayTest, PressThatDoesNotTakeIsPressedOnceMore)
{
    mc().setBehavior({.pressWorks = false});
    std::optional<bool> result;
    overlay->switchTo(2, [&](bool pressed) { result = pressed; });
    advance(0.34);
    EXPECT_EQ(mc().pressCount(), 1);
    advance(0.36);
    EXPECT_EQ(mc().pressCount(), 2);
    EXPECT_EQ(result, true);
}

TEST_F(OverlayTest, PressRouteGivesUpOnAMissingButtonAndClosesMissionControl)
{
    std::optional<bool> result;
    overlay->switchTo(9, [&](bool pressed) { result = pressed; });
    advance(1.4);
    EXPECT_FALSE(result);
    advance(0.2);
    EXPECT_EQ(result, false);
    advance(0.3);
    EXPECT_FALSE(mc().isOpen());
    EXPECT_EQ(world().currentSpace(s("D1")), 1u);
}

TEST_F(OverlayTest, PressRouteWithoutAccessAnswersFalseAtOnce)
{
    setTrusted(false);
    std::optional<bool> result;
    overlay->switchTo(2, [&](bool pressed) { result = pressed; });
    EXPECT_EQ(result, false);
    EXPECT_FALSE(mc().isOpen());
}

TEST_F(OverlayTest, PressRouteOfAGoneOverlayNeverAnswers)
{
    int calls = 0;
    overlay->switchTo(2, [&](bool) { ++calls; });
    overlay.reset();
    advance(2);
    EXPECT_EQ(calls, 0);
}

TEST_F(OverlayTest, HostDyingDuringTheRouteEndsInFalseWithoutAPress)
{
    std::optional<bool> result;
    overlay->switchTo(2, [&](bool pressed) { result = pressed; });
    mc().killHost();
    advance(2);
    EXPECT_EQ(result, false);
    EXPECT_EQ(mc().pressCount(), 0);
}

// --- what goes on which desktop -------------------------------------------------------

class TwoDisplayOverlayTest : public MissionControlTest {
protected:
    std::unique_ptr<MissionControlOverlay> open(platform::sim::MissionControl::Numbering numbering)
    {
        addDisplays({2, 3});
        mc().setBehavior({.numbering = numbering, .expandDelay = -1});
        auto overlay = makeOverlay();
        overlay->start();
        mc().open();
        advance(0.25);
        return overlay;
    }
};

TEST_F(TwoDisplayOverlayTest, PerDisplayLabelsMapByPositionOnTheirOwnDisplay)
{
    const auto overlay = open(platform::sim::MissionControl::Numbering::perDisplay);
    const auto& pills = overlay->lastPills();
    ASSERT_EQ(pills.size(), 2u);
    EXPECT_EQ(names(pills.at(s("D1"))), (QStringList{s("Desktop 1"), s("Desktop 2")}));
    // Labels 1, 2, 3 on the second display are its desktops 3, 4 and 5.
    EXPECT_EQ(names(pills.at(s("D2"))), (QStringList{s("Desktop 3"), s("Desktop 4"), s("Desktop 5")}));
    // Its panel covers the second screen, so the pills sit in its coordinates.
    EXPECT_EQ(overlay->panels().at(s("D2"))->frame(), QRectF(1512, 0, 1512, 982));
    EXPECT_EQ(overlay->panels().at(s("D2"))->pills().layers().size(), 3u);
}

TEST_F(TwoDisplayOverlayTest, GlobalLabelsMapByNumber)
{
    const auto overlay = open(platform::sim::MissionControl::Numbering::global);
    EXPECT_EQ(names(overlay->lastPills().at(s("D2"))), (QStringList{s("Desktop 3"), s("Desktop 4"), s("Desktop 5")}));
}

TEST_F(TwoDisplayOverlayTest, ADisplayThatLeavesTheRowsFadesItsPanelOut)
{
    const auto overlay = open(platform::sim::MissionControl::Numbering::global);
    OverlayPanel* second = overlay->panels().at(s("D2"));
    ASSERT_TRUE(second->isVisible());
    world().removeDisplay(s("D2"));
    clock().runPending();
    engine().refresh(false);
    mc().rebuild();
    advance(0.05);
    EXPECT_EQ(overlay->lastPills().count(s("D2")), 0u);
    advance(0.3);
    EXPECT_FALSE(second->isVisible());
}

TEST_F(OverlayTest, UnnamedDesktopsGetPillsOnlyWhenAskedFor)
{
    name(2, s("Mail"));
    settings().setMcShowUnnamed(false);
    mc().open();
    advance(0.25);
    EXPECT_EQ(names(shown()), QStringList{s("Mail")});
    mc().close();
    advance(0.5);
    settings().setMcShowUnnamed(true);
    mc().open();
    advance(0.25);
    EXPECT_EQ(names(shown()), (QStringList{s("Desktop 1"), s("Mail"), s("Desktop 3")}));
}

TEST_F(OverlayTest, PresentationModeWhileOpenRedrawsWithTheNumbersOnly)
{
    name(1, s("Secret plans"));
    mc().setBehavior({.expandDelay = -1});
    mc().open();
    advance(0.25);
    const PillsView& view = overlay->panels().at(s("D1"))->pills();
    ASSERT_EQ(view.measured().size(), 3u);
    EXPECT_EQ(view.measured().begin()->second.text, s("Secret plans"));
    settings().setPresenting(true);
    advance(0.2);
    EXPECT_EQ(view.measured().begin()->second.text, s("Desktop 1"));
    EXPECT_TRUE(overlay->changes().last().startsWith(s("collapsed")));
}

TEST_F(OverlayTest, LabelsWithoutNumbersMapByPositionOnlyWhenTheCountsAgree)
{
    // A hand-made host tree: labels in words.
    const auto pid = mc().hostPID();
    const auto root = world().addElement(pid, {}, {{s("AXIdentifier"), s("mc")}, {s("AXDisplayID"), 1}});
    const auto list = world().addElement(
        pid, world().addElement(pid, root, {{s("AXIdentifier"), s("mc.spaces")}}),
        {{s("AXIdentifier"), s("mc.spaces.list")}, {s("AXPosition"), QPointF(0, 0)}, {s("AXSize"), QSizeF(1512, 40)}});
    QList<platform::AX::Element> buttons;
    for (int i = 0; i < 3; ++i)
        buttons.append(world().addElement(pid, list,
                                          {{s("AXRole"), s("AXButton")},
                                           {s("AXDescription"), s("Bureau")},
                                           {s("AXPosition"), QPointF(100 + 120 * i, 9)},
                                           {s("AXSize"), QSizeF(90, 22)}}));
    mc().open();
    mc().rebuild();
    world().removeElement(mc().rootElement());
    advance(0.25);
    EXPECT_EQ(names(shown()), (QStringList{s("Desktop 1"), s("Desktop 2"), s("Desktop 3")}));
    world().addElement(pid, list,
                       {{s("AXRole"), s("AXButton")},
                        {s("AXDescription"), s("Bureau")},
                        {s("AXPosition"), QPointF(500, 9)},
                        {s("AXSize"), QSizeF(90, 22)}});
    advance(0.2);
    EXPECT_TRUE(shown().isEmpty());
}

TEST_F(OverlayTest, AButtonAboveItsBarIsMovedDownByTheBarHeight)
{
    const auto pid = mc().hostPID();
    const auto root = world().addElement(pid, {}, {{s("AXIdentifier"), s("mc")}, {s("AXDisplayID"), 1}});
    const auto list = world().addElement(
        pid, world().addElement(pid, root, {{s("AXIdentifier"), s("mc.spaces")}}),
        {{s("AXIdentifier"), s("mc.spaces.list")}, {s("AXPosition"), QPointF(0, 50)}, {s("AXSize"), QSizeF(1512, 40)}});
    world().addElement(pid, list,
                       {{s("AXRole"), s("AXButton")},
                        {s("AXDescription"), s("Desktop 2")},
                        {s("AXPosition"), QPointF(100, 20)},
                        {s("AXSize"), QSizeF(90, 22)}});
    mc().setBehavior({.expandDelay = -1});
    mc().open();
    world().removeElement(mc().rootElement());
    advance(0.25);
    ASSERT_EQ(shown().size(), 1);
    // Moved from y 20 to 60 (accessibility), so its bottom is 982 - 82 = 900.
    EXPECT_EQ(shown()[0].anchor, QRectF(100, 900, 90, 22));
    EXPECT_EQ(shown()[0].desktop.number, 2);
}

TEST_F(OverlayTest, BadLabelsNeverPutAPillOnAnotherDesktop)
{
    const auto pid = mc().hostPID();
    const auto root = world().addElement(pid, {}, {{s("AXIdentifier"), s("mc")}, {s("AXDisplayID"), 1}});
    const auto list = world().addElement(pid, world().addElement(pid, root, {{s("AXIdentifier"), s("mc.spaces")}}),
                                         {{s("AXIdentifier"), s("mc.spaces.list")}});
    const QStringList labels{s("Desktop \u0663"), s("Desktop 0"), s("Desktop 99999999999999999999"),
                             s("Desktop 3")};
    for (int i = 0; i < labels.size(); ++i)
        world().addElement(pid, list,
                           {{s("AXRole"), s("AXButton")},
                            {s("AXDescription"), labels[i]},
                            {s("AXPosition"), QPointF(100 + 100 * i, 9)},
                            {s("AXSize"), QSizeF(90, 22)}});
    mc().setBehavior({.expandDelay = -1});
    mc().open();
    world().removeElement(mc().rootElement());
    advance(0.25);
    EXPECT_EQ(names(shown()), QStringList{s("Desktop 3")});
    EXPECT_EQ(shown()[0].anchor.x(), 400);
    EXPECT_TRUE(overlay->lastReport().contains(s("items=4 desktops=3")));
}

TEST_F(MissionControlTest, WindowManagerHostKeepsTheFastTimerAndGetsLabelBoxPills)
{
    world().setOperatingSystemMajorVersion(27);
    addDisplays({2});
    EXPECT_DOUBLE_EQ(MissionControlOverlay::settledInterval(), 1.0 / 30);
    auto overlay = makeOverlay();
    overlay->start();
    mc().setBehavior({.expandDelay = -1});
    mc().open();
    advance(1.0);
    EXPECT_DOUBLE_EQ(*overlay->geometryInterval(), 1.0 / 30);
    const auto& pills = overlay->lastPills().at(s("D1"));
    ASSERT_EQ(pills.size(), 2);
    EXPECT_EQ(pills[0].anchor.height(), 23);
    const PillsView& view = overlay->panels().at(s("D1"))->pills();
    EXPECT_EQ(view.measured().begin()->second.metrics.height, 23);
    EXPECT_EQ(view.measured().begin()->second.metrics.width, pills[0].labelWidth + 2);
}
