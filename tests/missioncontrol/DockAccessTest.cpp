#include "MissionControlTest.h"

#include "missioncontrol/DockAccess.h"
#include "missioncontrol/MissionControlHost.h"
#include "ui/Theme.h"
#include "support/Literals.h"

#include <QFontMetricsF>

#include <cmath>
#include <limits>

namespace AX = platform::AX;

class DockAccessTest : public MissionControlTest {
protected:
    DockAccess dock{access()};

    // A hand-made tree under the host: "mc" with the given attributes.
    AX::Element handRoot(const QVariantMap& attributes = {{s("AXIdentifier"), s("mc")}})
    {
        return world().addElement(mc().hostPID(), {}, attributes);
    }
    AX::Element add(const AX::Element& parent, const QVariantMap& attributes)
    {
        return world().addElement(mc().hostPID(), parent, attributes);
    }
    static QVariantMap button(const QString& label, QPointF position, QSizeF size)
    {
        return {{s("AXRole"), s("AXButton")}, {s("AXDescription"), label}, {s("AXPosition"), position},
                {s("AXSize"), size}};
    }
};

// --- the simulated tree --------------------------------------------------------

TEST_F(DockAccessTest, ReadsOneRowPerDisplayInTreeOrderAndCachesEachList)
{
    addDisplays({2, 3});
    mc().open();
    const auto rows = dock.rows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].displayID, 1u);
    EXPECT_EQ(rows[1].displayID, 2u);
    ASSERT_EQ(rows[1].items.size(), 3);
    EXPECT_EQ(rows[1].items[0].description, s("Desktop 3"));
    EXPECT_EQ(rows[1].items[2].desktopNumber(), 5);
    ASSERT_TRUE(rows[0].bar);
    EXPECT_EQ(*rows[0].bar, QRectF(0, 0, 1512, 40));
    EXPECT_EQ(dock.cachedBarCount(), 2);
    EXPECT_FLOAT_EQ(world().messagingTimeout(AX::createApplication(mc().hostPID())), 0.25f);
}

TEST_F(DockAccessTest, CachedListsAreReadWithoutWalkingAndARebuiltTreeIsWalkedAgain)
{
    addDisplays({3});
    mc().open();
    ASSERT_EQ(dock.rows().size(), 1);
    const int walked = world().callCount(s("copyAttributeValue"));
    dock.rows();
    const int cachedCost = world().callCount(s("copyAttributeValue")) - walked;
    // The cached path reads the list's children and each item's batch only.
    EXPECT_LE(cachedCost, 1 + 3 * 5 + 2);
    mc().rebuild();
    const auto rows = dock.rows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].items.size(), 3);
    EXPECT_EQ(rows[0].items[0].element, mc().buttons()[0]);
}

TEST_F(DockAccessTest, ExpandedBarGivesThumbnailFramesAfterTheDelay)
{
    addDisplays({2});
    mc().open();
    EXPECT_LE(dock.rows()[0].items[0].frame.height(), 44);
    advance(0.5);
    const auto rows = dock.rows();
    EXPECT_GT(rows[0].items[0].frame.height(), 44);
    EXPECT_EQ(rows[0].bar->height(), 150);
}

TEST_F(DockAccessTest, NoHostOrNoTrustGivesNoRows)
{
    addDisplays({2});
    mc().open();
    setTrusted(false);
    EXPECT_TRUE(dock.rows().isEmpty());
    setTrusted(true);
    EXPECT_EQ(dock.rows().size(), 1);
    mc().killHost();
    EXPECT_TRUE(dock.rows().isEmpty());
    EXPECT_EQ(dock.cachedBarCount(), 0);
    EXPECT_FALSE(dock.connect());
}

TEST_F(DockAccessTest, PressingAGoneButtonAnswersFalse)
{
    addDisplays({2});
    mc().open();
    const auto item = dock.rows()[0].items[1];
    mc().rebuild();
    EXPECT_FALSE(dock.press(item));
    const auto fresh = dock.rows()[0].items[1];
    EXPECT_TRUE(dock.press(fresh));
    EXPECT_EQ(world().currentSpace(s("D1")), 2u);
}

// --- observer ----------------------------------------------------------------------

TEST_F(DockAccessTest, ObserverIsInstalledOnceTrustedAndLogsTheNamesThatWereAdded)
{
    addDisplays({2});
    mc().failNotificationAdds({s("AXFocusedUIElementChanged")});
    mc().hostPID();
    QStringList seen;
    setTrusted(false);
    dock.observe([&](const QString& name) { seen.append(name); });
    EXPECT_FALSE(dock.hasObserver());
    setTrusted(true);
    dock.rows();
    ASSERT_TRUE(dock.hasObserver());
    EXPECT_THAT(log().toStdString(),
                ::testing::HasSubstr("Dock observer installed for pid " + std::to_string(mc().hostPID())
                                     + ": AXCreated AXUIElementDestroyed AXSelectedChildrenChanged\n"));
    mc().open();
    clock().runPending();
    EXPECT_EQ(seen, QStringList{s("AXCreated")});
}

TEST_F(DockAccessTest, HostRestartReconnectsClearsTheCacheAndReinstallsTheObserver)
{
    addDisplays({2});
    dock.observe([](const QString&) {});
    mc().open();
    ASSERT_EQ(dock.rows().size(), 1);
    const qint32 oldPID = dock.pid();
    mc().restartHost();
    const auto rows = dock.rows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_NE(dock.pid(), oldPID);
    EXPECT_EQ(mc().observerCount(oldPID), 0);
    EXPECT_EQ(mc().observerCount(dock.pid()), 1);
    EXPECT_EQ(log().count(s("observer installed")), 2);
}

TEST_F(DockAccessTest, AnObjectWithoutHandlerNeverObserves)
{
    addDisplays({1});
    mc().open();
    dock.rows();
    EXPECT_FALSE(dock.hasObserver());
    EXPECT_EQ(mc().observerCount(mc().hostPID()), 0);
}

// --- hand-made trees ------------------------------------------------------------------

TEST_F(DockAccessTest, SingleDisplayWithoutDisplayIDUsesTheMainDisplay)
{
    addDisplays({1});
    const auto root = handRoot();
    const auto spaces = add(root, {{s("AXIdentifier"), s("mc.spaces")}});
    add(spaces, button(s("Desktop 1"), {10, 10}, {80, 22}));
    const auto rows = dock.rows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].displayID, 1u);
    // The spaces element serves as the list; it has no frame.
    EXPECT_FALSE(rows[0].bar);
    EXPECT_EQ(rows[0].items.size(), 1);
}

TEST_F(DockAccessTest, SpacesFoundThreeLevelsDownButNotFour)
{
    addDisplays({1});
    auto root = handRoot({{s("AXIdentifier"), s("mc")}, {s("AXDisplayID"), 7}});
    auto group = add(root, {{s("AXRole"), s("AXGroup")}});
    auto deeper = add(group, {{s("AXRole"), s("AXGroup")}});
    auto spaces = add(deeper, {{s("AXIdentifier"), s("mc.spaces")}});
    add(add(spaces, {{s("AXIdentifier"), s("mc.spaces.list")}}), button(s("Desktop 1"), {1, 1}, {50, 20}));
    auto rows = dock.rows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].displayID, 7u);
    EXPECT_EQ(rows[0].items.size(), 1);

    world().removeElement(root);
    DockAccess fresh(access());
    root = handRoot();
    group = add(add(add(root, {}), {}), {});
    spaces = add(group, {{s("AXIdentifier"), s("mc.spaces")}});
    add(spaces, button(s("Desktop 1"), {1, 1}, {50, 20}));
    rows = fresh.rows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_TRUE(rows[0].items.isEmpty());
    EXPECT_FALSE(rows[0].bar);
}

TEST_F(DockAccessTest, ThousandLevelDeepTreeAndFiveHundredButtonsReadWithoutTrouble)
{
    addDisplays({1});
    auto root = handRoot();
    AX::Element parent = root;
    for (int i = 0; i < 1000; ++i)
        parent = add(parent, {{s("AXRole"), s("AXGroup")}});
    add(parent, {{s("AXIdentifier"), s("mc.spaces")}});
    EXPECT_TRUE(dock.rows()[0].items.isEmpty());

    world().removeElement(root);
    DockAccess other(access());
    root = handRoot();
    const auto list = add(add(root, {{s("AXIdentifier"), s("mc.spaces")}}), {{s("AXIdentifier"), s("mc.spaces.list")}});
    for (int i = 1; i <= 500; ++i)
        add(list, button(s("Desktop ") + QString::number(i), {double(i), 0}, {10, 10}));
    const auto rows = other.rows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].items.size(), 500);
    EXPECT_EQ(rows[0].items[499].desktopNumber(), 500);
}

TEST_F(DockAccessTest, MistypedMissingAndNonFiniteAttributesLeaveButtonsOut)
{
    addDisplays({1});
    const auto root = handRoot({{s("AXIdentifier"), s("mc")}, {s("AXDisplayID"), -4}});
    const auto list = add(add(root, {{s("AXIdentifier"), s("mc.spaces")}}),
                          {{s("AXIdentifier"), s("mc.spaces.list")},
                           {s("AXPosition"), s("0,0")},
                           {s("AXSize"), QSizeF(100, 40)}});
    const double nan = std::numeric_limits<double>::quiet_NaN();
    add(list, button(s("Desktop 1"), {nan, 0}, {10, 10}));
    add(list, button(s("Desktop 2"), {0, 0}, {-5, 10}));
    add(list, {{s("AXRole"), s("AXButton")}, {s("AXPosition"), QPointF(1, 1)}});
    add(list, {{s("AXRole"), 7}, {s("AXPosition"), QPointF(1, 1)}, {s("AXSize"), QSizeF(1, 1)}});
    add(list, {{s("AXRole"), s("AXGroup")}, {s("AXPosition"), QPointF(1, 1)}, {s("AXSize"), QSizeF(1, 1)}});
    add(list, {{s("AXRole"), s("AXButton")},
               {s("AXTitle"), s("Desktop 9")},
               {s("AXDescription"), 12},
               {s("AXPosition"), QPointF(1e300, 2)},
               {s("AXSize"), QSizeF(1e300, 3)}});
    const auto rows = dock.rows();
    ASSERT_EQ(rows.size(), 1);
    // A negative display id is not a display: the main one stands in.
    EXPECT_EQ(rows[0].displayID, 1u);
    EXPECT_FALSE(rows[0].bar);
    ASSERT_EQ(rows[0].items.size(), 1);
    EXPECT_EQ(rows[0].items[0].description, s("Desktop 9"));
    EXPECT_EQ(rows[0].items[0].frame.width(), 1e300);
}

TEST_F(DockAccessTest, ChildrenThatAreNotElementsMakeTheRowAbsent)
{
    addDisplays({1});
    const auto root = handRoot();
    const auto list = add(add(root, {{s("AXIdentifier"), s("mc.spaces")}}), {{s("AXIdentifier"), s("mc.spaces.list")}});
    add(list, button(s("Desktop 1"), {0, 0}, {10, 10}));
    // The host answers the list's children with something else.
    world().setElementError(list, AX::Error::cannotComplete);
    const auto rows = dock.rows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_TRUE(rows[0].items.isEmpty());
}

TEST_F(DockAccessTest, HostDyingMidReadEndsTheReadQuietly)
{
    addDisplays({8});
    mc().open();
    mc().killHostAfterBatchReads(3);
    const auto rows = dock.rows();
    // Whatever was read before the death is all that comes back.
    for (const auto& row : rows)
        EXPECT_LE(row.items.size(), 3);
    EXPECT_TRUE(dock.rows().isEmpty());
}

// --- labels ------------------------------------------------------------------------------

TEST(DesktopNumberTest, TrailingAsciiDigitsOnly)
{
    EXPECT_EQ(DockAccess::desktopNumber(s("Desktop 12")), 12);
    EXPECT_EQ(DockAccess::desktopNumber(s("007")), 7);
    EXPECT_EQ(DockAccess::desktopNumber(s("Desktop 3a")), std::nullopt);
    EXPECT_EQ(DockAccess::desktopNumber(s("Desktop")), std::nullopt);
    EXPECT_EQ(DockAccess::desktopNumber(QString()), std::nullopt);
    EXPECT_EQ(DockAccess::desktopNumber(s("Schreibtisch \u0663")), std::nullopt);
    EXPECT_EQ(DockAccess::desktopNumber(s("Desktop \u2167")), std::nullopt);
    EXPECT_EQ(DockAccess::desktopNumber(s("Desktop 1\u00b2")), std::nullopt);
    EXPECT_EQ(DockAccess::desktopNumber(s("Desktop \U0001D7D1")), std::nullopt);
    EXPECT_EQ(DockAccess::desktopNumber(s("Desktop 9223372036854775807")), std::numeric_limits<qint64>::max());
    EXPECT_EQ(DockAccess::desktopNumber(s("Desktop 9223372036854775808")), std::nullopt);
}

TEST_F(DockAccessTest, LabelWidthIsTheRoundedTextWidthPlusTheHostPadding)
{
    const double text = std::ceil(QFontMetricsF(Theme::font(12)).horizontalAdvance(s("Desktop 1")));
    EXPECT_EQ(DockAccess::labelWidth(1), text + 10);
}

TEST_F(DockAccessTest, WindowManagerFramesAreThumbnailsOrLabelBoxes)
{
    world().setOperatingSystemMajorVersion(27);
    ASSERT_TRUE(MissionControlHost::isWindowManager());
    const QRectF reported(500, 80, 200, 120);
    EXPECT_EQ(DockAccess::windowManagerFrame(reported, QRectF(0, 0, 1000, 150), 90), QRectF(412.5, 30.5, 175, 89));
    const QRectF box = DockAccess::windowManagerFrame(reported, std::nullopt, 90);
    EXPECT_EQ(box, QRectF(455, 116, 90, 23));
    EXPECT_EQ(DockAccess::windowManagerFrame(reported, QRectF(0, 30, 1000, 150), 90), box);
    const double text = std::ceil(QFontMetricsF(Theme::font(12)).horizontalAdvance(s("Desktop 1")));
    EXPECT_EQ(DockAccess::labelWidth(1), text + 24);
}

TEST_F(DockAccessTest, WindowManagerHostTreeReadsCentredButtons)
{
    world().setOperatingSystemMajorVersion(27);
    addDisplays({2});
    mc().open();
    EXPECT_EQ(mc().hostOwnerName(), s("WindowManager"));
    auto rows = dock.rows();
    ASSERT_EQ(rows.size(), 1);
    ASSERT_EQ(rows[0].items.size(), 2);
    // Collapsed: label boxes 23 high whose centre is the button's.
    EXPECT_EQ(rows[0].items[0].frame.height(), 23);
    EXPECT_NEAR(rows[0].items[0].frame.center().x(), mc().buttonCentre(1)->x(), 0.01);
    mc().expand();
    rows = dock.rows();
    EXPECT_EQ(rows[0].items[0].frame.height(), 110);
}
