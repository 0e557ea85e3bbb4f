#include "SwitchingWorld.h"

#include "platform/sim/Keyboard.h"

using namespace switching_test;
using StepPlan = DesktopSwitcher::StepPlan;

namespace {

QList<quint64> ids(int count)
{
    QList<quint64> order;
    for (int i = 0; i < count; ++i)
        order.append(100 + i);
    return order;
}

// Anchors for the desktops at these positions, numbered position + 1.
QList<QPair<quint64, qint64>> anchorsAt(std::initializer_list<int> positions)
{
    QList<QPair<quint64, qint64>> anchors;
    for (int position : positions)
        anchors.append({100 + quint64(position), position + 1});
    return anchors;
}

class StepPlanTest : public SwitchingWorld {};

} // namespace

TEST(StepPlanRule, NearTargetIsWalkedFromTheCurrentDesktop)
{
    EXPECT_EQ(DesktopSwitcher::stepPlan(ids(5), 100, 103, {}), (StepPlan{std::nullopt, 3}));
    EXPECT_EQ(DesktopSwitcher::stepPlan(ids(5), 104, 101, {}), (StepPlan{std::nullopt, -3}));
    EXPECT_EQ(DesktopSwitcher::stepPlan(ids(12), 100, 108, {}), (StepPlan{std::nullopt, 8}));
    EXPECT_FALSE(DesktopSwitcher::stepPlan(ids(12), 100, 109, {}));
    EXPECT_EQ(DesktopSwitcher::stepPlan(ids(12), 100, 109, anchorsAt({1})), (StepPlan{2, 8}));
}

TEST(StepPlanRule, FarTargetStartsFromTheClosestAnchor)
{
    EXPECT_EQ(DesktopSwitcher::stepPlan(ids(15), 100, 113, anchorsAt({0, 1, 2, 3, 4, 5, 6, 7, 8, 9})),
              (StepPlan{10, 4}));
    EXPECT_FALSE(DesktopSwitcher::stepPlan(ids(15), 100, 114, anchorsAt({0, 1, 2, 3, 4})));
    // Equal distance on both sides: the earlier anchor wins.
    EXPECT_EQ(DesktopSwitcher::stepPlan(ids(30), 100, 115, anchorsAt({12, 18})), (StepPlan{13, 3}));
    // An anchor no closer than the current desktop is no help.
    EXPECT_FALSE(DesktopSwitcher::stepPlan(ids(30), 110, 119, anchorsAt({0, 28})));
    // Anchors that are not on the display are skipped.
    EXPECT_FALSE(DesktopSwitcher::stepPlan(ids(15), 100, 113, {{999, 1}}));
}

TEST(StepPlanRule, MissingCurrentOrTargetGivesNoPlan)
{
    EXPECT_FALSE(DesktopSwitcher::stepPlan(ids(5), 999, 103, {}));
    EXPECT_FALSE(DesktopSwitcher::stepPlan(ids(5), 100, 999, {}));
}

TEST_F(StepPlanTest, PlanUsesTheEnabledShortcutsAsAnchorsAndCountsOtherSpaces)
{
    // Position 2 is a full-screen space: positions count it, numbers do not.
    auto spec = desktops(mainDisplay, 14, 11);
    spec.spaces[2].type = 4;
    setUp({spec}, digitShortcuts(10));
    const Desktop target = desktop(13); // space 24, position 13
    EXPECT_EQ(switcher().plan(target, 11), (StepPlan{10, 3}));
    EXPECT_FALSE(switcher().plan(target, std::nullopt));
}

TEST_F(StepPlanTest, TurnedOffArrowShortcutMeansNoWalkAndMissionControlInstead)
{
    QVariantMap table;
    table.insert("81", shortcutEntry(false, 124, control));
    setUp({desktops(mainDisplay, 5, 11)}, table);
    installMissionControl();
    EXPECT_FALSE(switcher().plan(desktop(4), 11));
    EXPECT_EQ(switcher().plan(desktop(1), 11), (StepPlan{std::nullopt, 0}));
    request(4, "step");
    advance(5);
    EXPECT_EQ(missionControlPresses, QList<qint64>{4});
    EXPECT_TRUE(platform::sim::postedKeyEvents().empty());
    EXPECT_EQ(current(), 14u);
}
