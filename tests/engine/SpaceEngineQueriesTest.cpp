#include "EngineTest.h"

#include "engine/DockBadges.h"
#include "engine/SpaceEngine.h"
#include "platform/NotificationCenter.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"

class SpaceEngineQueriesTest : public EngineTest {
protected:
    // Display A: desktops 10, 11, 12 (current 11); display B: 20, 21 (current 20).
    SpaceEngineQueriesTest()
    {
        world().addDisplay(display(QStringLiteral("A"), {10, 11, 12}, 11));
        world().addDisplay(display(QStringLiteral("B"), {20, 21}, 20, 2));
        addApp(500, QStringLiteral("Mail"));
        addApp(501, QStringLiteral("Safari"));
        addApp(502, QStringLiteral("Helper"), platform::ActivationPolicy::accessory);
        addApp(world().ownPID(), QStringLiteral("Tessaroom"), platform::ActivationPolicy::accessory);
    }

    static void name(qint64 managedID, const QString& text)
    {
        SpaceStore::shared().change(managedID, [&](SpaceMeta& meta) { meta.name = text; });
    }

    static QList<qint32> pids(const QList<SpaceApp>& apps)
    {
        QList<qint32> result;
        for (const auto& app : apps)
            result.append(app.pid);
        return result;
    }

    int windowListReads() const { return world().callCount(QStringLiteral("windowListCopyWindowInfo")); }
};

TEST_F(SpaceEngineQueriesTest, Lookups)
{
    SpaceEngine& e = SpaceEngine::shared();
    EXPECT_EQ(e.desktopWithID(12)->number, 3);
    EXPECT_EQ(e.desktopWithID(99), std::nullopt);
    EXPECT_EQ(e.desktopWithNumber(4)->id(), 20u);
    EXPECT_EQ(e.desktopWithNumber(0), std::nullopt);
    EXPECT_EQ(e.desktopsOnDisplay(QStringLiteral("B")).size(), 2);
    EXPECT_TRUE(e.desktopsOnDisplay(QStringLiteral("C")).isEmpty());
    EXPECT_EQ(e.lastDesktop(), std::nullopt);
}

TEST_F(SpaceEngineQueriesTest, ActiveDesktopFollowsTheMenuBarDisplay)
{
    SpaceEngine& e = SpaceEngine::shared();
    EXPECT_EQ(e.activeDesktop()->id(), 11u);
    world().setActiveMenuBarDisplay(QStringLiteral("B"));
    EXPECT_EQ(e.activeDesktop()->id(), 20u);
    // No menu-bar display: the first display's current desktop.
    world().setActiveMenuBarDisplay(std::nullopt);
    EXPECT_EQ(e.activeDesktop()->id(), 11u);
    // A menu-bar display showing a full-screen space: the first current desktop.
    world().addDisplay(display(QStringLiteral("C"), {30}, 30, 3, {4}));
    e.refresh(false);
    world().setActiveMenuBarDisplay(QStringLiteral("C"));
    EXPECT_EQ(e.activeDesktop()->id(), 11u);
}

TEST_F(SpaceEngineQueriesTest, BestMatchNeedsMoreThanASubsequence)
{
    SpaceEngine& e = SpaceEngine::shared();
    name(1010, QStringLiteral("Mail"));
    name(1012, QStringLiteral("Mailroom"));
    EXPECT_EQ(e.bestDesktopMatching(QStringLiteral("   ")), std::nullopt);
    EXPECT_EQ(e.bestDesktopMatching(QStringLiteral("mail"))->id(), 10u);
    EXPECT_EQ(e.bestDesktopMatching(QStringLiteral("mailr"))->id(), 12u);
    // "mrm" only occurs scattered in "Mailroom".
    EXPECT_EQ(e.bestDesktopMatching(QStringLiteral("mrm")), std::nullopt);
}

TEST_F(SpaceEngineQueriesTest, EqualScoresPickTheLowerNumber)
{
    SpaceEngine& e = SpaceEngine::shared();
    name(1012, QStringLiteral("Work"));
    name(1020, QStringLiteral("Work"));
    EXPECT_EQ(e.bestDesktopMatching(QStringLiteral("work"))->number, 3);
}

TEST_F(SpaceEngineQueriesTest, BestMatchFindsADesktopByItsApps)
{
    addWindow(1, 501, 21);
    SpaceEngine& e = SpaceEngine::shared();
    EXPECT_EQ(e.bestDesktopMatching(QStringLiteral("safa"))->id(), 21u);
}

TEST_F(SpaceEngineQueriesTest, AppsOfADesktopNeverRebuiltAreEmpty)
{
    addWindow(1, 500, 10);
    SpaceEngine& e = SpaceEngine::shared();
    EXPECT_TRUE(e.apps(*e.desktopWithID(10)).isEmpty());
}

TEST_F(SpaceEngineQueriesTest, AppsAreListedOncePerDesktopFrontmostFirst)
{
    addWindow(1, 500, 10);
    addWindow(2, 500, 10);
    addWindow(3, 500, 10);
    addWindow(4, 501, 10);          // frontmost of desktop 10
    addWindow(5, 500, 11);
    addWindow(6, 502, 10);          // accessory process
    addWindow(7, world().ownPID(), 10);
    addWindow(8, 501, 12, 60, 60);  // too small to count
    addWindow(9, 777, 12);          // no running app
    SpaceEngine& e = SpaceEngine::shared();
    e.appsByDesktop(true);
    EXPECT_EQ(pids(e.apps(*e.desktopWithID(10))), (QList<qint32>{501, 500}));
    EXPECT_EQ(pids(e.apps(*e.desktopWithID(11))), QList<qint32>{500});
    EXPECT_TRUE(e.apps(*e.desktopWithID(12)).isEmpty());
    const SpaceApp mail = e.apps(*e.desktopWithID(11))[0];
    EXPECT_EQ(mail.name, QStringLiteral("Mail"));
}

TEST_F(SpaceEngineQueriesTest, WindowNumberListedTwiceKeepsItsFrontPlace)
{
    addWindow(1, 500, 10);
    addWindow(2, 501, 10);
    const auto entry = [](qint64 number, qint32 pid) {
        return QVariantMap{{QStringLiteral("kCGWindowNumber"), number},
                           {QStringLiteral("kCGWindowLayer"), 0},
                           {QStringLiteral("kCGWindowOwnerPID"), pid},
                           {QStringLiteral("kCGWindowBounds"),
                            QVariantMap{{QStringLiteral("Width"), 500.0}, {QStringLiteral("Height"), 500.0}}}};
    };
    // A window list that names window 1 twice, first in front of window 2.
    world().overrideAnswer(QStringLiteral("windowListCopyWindowInfo"),
                           QVariant(QVariantList{entry(1, 500), entry(2, 501), entry(1, 500)}));
    SpaceEngine& e = SpaceEngine::shared();
    e.appsByDesktop(true);
    EXPECT_EQ(pids(e.apps(*e.desktopWithID(10))), (QList<qint32>{500, 501}));
}

TEST_F(SpaceEngineQueriesTest, RebuildsAtMostOnceASecondUnlessForced)
{
    SpaceEngine& e = SpaceEngine::shared();
    const int before = windowListReads();
    e.appsByDesktop(false);
    advance(0.5);
    e.appsByDesktop(false);
    EXPECT_EQ(windowListReads() - before, 1);
    e.appsByDesktop(true);
    EXPECT_EQ(windowListReads() - before, 2);
    advance(1.0);
    e.appsByDesktop(false);
    EXPECT_EQ(windowListReads() - before, 2); // exactly one second: not yet
    advance(0.01);
    e.appsByDesktop(false);
    EXPECT_EQ(windowListReads() - before, 3);
}

TEST_F(SpaceEngineQueriesTest, SampleAppsReplaceTheLiveLists)
{
    addWindow(1, 500, 10);
    SpaceEngine& e = SpaceEngine::shared();
    SpaceEngine::AppsMap sample;
    sample.insert(10, {SpaceApp{42, QStringLiteral("Sample"), QImage(), QStringLiteral("2")}});
    e.setSampleApps(sample);
    e.appsByDesktop(true);
    EXPECT_EQ(pids(e.apps(*e.desktopWithID(10))), QList<qint32>{42});
    e.setSampleApps(std::nullopt);
    EXPECT_TRUE(e.apps(*e.desktopWithID(10)).isEmpty());
    e.appsByDesktop(false);
    EXPECT_EQ(pids(e.apps(*e.desktopWithID(10))), QList<qint32>{500});
}

class BadgeSummaryTest : public SpaceEngineQueriesTest {
protected:
    BadgeSummaryTest()
    {
        world().setDockItems({
            {QStringLiteral("Mail"), QStringLiteral("3"), std::nullopt, true},
            {QStringLiteral("Safari"), QStringLiteral("5"), std::nullopt, true},
        });
        DockBadges::shared().refresh();
        advance(0);
    }
};

TEST_F(BadgeSummaryTest, CountsOnlyAppsOnNoShownDesktop)
{
    addWindow(1, 500, 12); // Mail: only on a hidden desktop
    addWindow(2, 501, 12); // Safari: hidden here...
    addWindow(3, 501, 20); // ...but shown on display B
    SpaceEngine& e = SpaceEngine::shared();
    e.appsByDesktop(true);
    EXPECT_EQ(e.apps(*e.desktopWithID(12))[0].badge, QStringLiteral("5"));
    EXPECT_EQ(e.badgesByDesktop(), QStringLiteral("3"));
}

TEST_F(BadgeSummaryTest, NothingHiddenGivesNoSummaryAndBadgesOffGivesNone)
{
    addWindow(1, 500, 11);
    SpaceEngine& e = SpaceEngine::shared();
    e.appsByDesktop(true);
    EXPECT_EQ(e.badgesByDesktop(), std::nullopt);
    Settings::shared().setBadgesEnabled(false);
    EXPECT_EQ(e.badgesByDesktop(), std::nullopt);
    e.appsByDesktop(true);
    EXPECT_EQ(e.apps(*e.desktopWithID(11))[0].badge, std::nullopt);
}

TEST_F(BadgeSummaryTest, ChangedSummaryPostsSpacesDidChange)
{
    addWindow(1, 500, 12);
    SpaceEngine& e = SpaceEngine::shared();
    int posts = 0;
    auto subscription = platform::NotificationCenter::defaultCenter().observe(EngineNotifications::spacesDidChange,
                                                                               [&] { ++posts; });
    e.appsByDesktop(true);
    EXPECT_EQ(posts, 1);
    e.appsByDesktop(true);
    EXPECT_EQ(posts, 1);
}
