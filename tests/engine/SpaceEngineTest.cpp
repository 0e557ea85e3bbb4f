#include "EngineTest.h"

#include "engine/DockBadges.h"
#include "engine/SpaceEngine.h"
#include "platform/EventSource.h"
#include "platform/Lifetime.h"
#include "platform/NotificationCenter.h"
#include "platform/PreferenceDomain.h"
#include "store/LogFile.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <limits>

namespace {

using platform::NotificationCenter;

// A clock that tests set directly, also backwards or to a non-number.
class SettableClock final : public platform::Scheduler {
public:
    double time = 1000;
    double now() const override { return time; }
    platform::TimerToken schedule(double, std::function<void()>) override { return ++tokens; }
    void cancel(platform::TimerToken) override {}
    void runInBackground(const char*, std::function<void()> work) override { work(); }

private:
    platform::TimerToken tokens = 0;
};

struct SwitchCall {
    QString uuid;
    std::optional<quint64> from;
    quint64 to;
    bool operator==(const SwitchCall&) const = default;
};

} // namespace

class SpaceEngineTest : public EngineTest {
protected:
    SpaceEngineTest()
    {
        auto& center = NotificationCenter::defaultCenter();
        subscriptions_.push_back(center.observe(EngineNotifications::spacesDidChange,
                                                [this] { posted_.append(QStringLiteral("spaces")); }));
        subscriptions_.push_back(center.observe(EngineNotifications::activeSpaceDidChange,
                                                [this] { posted_.append(QStringLiteral("active")); }));
    }

    SpaceEngine& engine()
    {
        SpaceEngine& shared = SpaceEngine::shared();
        shared.setOnSwitch([this](const QString& uuid, const std::optional<Desktop>& from, const Desktop& to) {
            switches_.append({uuid, from ? std::optional<quint64>(from->id()) : std::nullopt, to.id()});
        });
        return shared;
    }

    // Switches the simulated display and lets the engine re-read it.
    void switchWorld(const QString& uuid, quint64 space)
    {
        ASSERT_TRUE(world().setCurrentSpace(uuid, space));
        engine().refresh(false);
    }

    // How often a signal of the engine fired from now on.
    template <typename Signal>
    std::shared_ptr<int> countSignal(SpaceEngine& e, Signal signal)
    {
        auto count = std::make_shared<int>(0);
        QObject::connect(&e, signal, &e, [count] { ++*count; });
        return count;
    }

    int displayReads() const { return world().callCount(QStringLiteral("copyManagedDisplaySpaces")); }

    void markInput(quint32 type = platform::EventSource::EventType::keyDown) { world().noteInputEvent(type); }

    QStringList posted_;
    QList<SwitchCall> switches_;
    std::vector<NotificationCenter::Subscription> subscriptions_;
};

// --- creation and numbering ----------------------------------------------

TEST_F(SpaceEngineTest, FirstRefreshNumbersAcrossDisplaysAndRaisesNoSwitch)
{
    world().addDisplay(display(QStringLiteral("A"), {10, 11, 12}, 11, 1, {0, 4, 0}));
    world().addDisplay(display(QStringLiteral("B"), {20, 21}, 21, 2));
    SpaceEngine& e = engine();
    ASSERT_EQ(e.desktops().size(), 4);
    EXPECT_EQ(e.desktops()[0].id(), 10u);
    EXPECT_EQ(e.desktops()[1].id(), 12u); // the full-screen space takes no number
    EXPECT_EQ(e.desktops()[1].number, 2);
    EXPECT_EQ(e.desktops()[2].number, 3);
    EXPECT_EQ(e.desktops()[3].number, 4);
    EXPECT_TRUE(e.desktops()[3].isCurrent);
    EXPECT_FALSE(e.desktops()[0].isCurrent);
    EXPECT_EQ(e.lastDesktopID(), std::nullopt);
    EXPECT_EQ(posted_, QStringList{QStringLiteral("spaces")});
    EXPECT_TRUE(switches_.isEmpty());
    EXPECT_EQ(e.currentSpaceID(QStringLiteral("A")), 11u);
    EXPECT_EQ(e.currentSpaceID(QStringLiteral("B")), 21u);
}

TEST_F(SpaceEngineTest, EmptyWindowServerAnswerKeepsTheModel)
{
    world().addDisplay(display(QStringLiteral("A"), {10, 11}, 10));
    SpaceEngine& e = engine();
    posted_.clear();
    world().overrideAnswer(QStringLiteral("copyManagedDisplaySpaces"), QVariant(QVariantList{}));
    e.refresh(false);
    EXPECT_EQ(e.desktops().size(), 2);
    EXPECT_EQ(e.currentSpaceID(QStringLiteral("A")), 10u);
    EXPECT_TRUE(posted_.isEmpty());
}

TEST_F(SpaceEngineTest, UnchangedDisplaysPublishNothing)
{
    world().addDisplay(display(QStringLiteral("A"), {10, 11}, 10));
    SpaceEngine& e = engine();
    const auto desktopsSignals = countSignal(e, &SpaceEngine::desktopsChanged);
    posted_.clear();
    e.refresh(false);
    EXPECT_EQ(*desktopsSignals, 0);
    EXPECT_TRUE(posted_.isEmpty());
}

// --- switches and jump-back memory ----------------------------------------

TEST_F(SpaceEngineTest, SwitchRecordsTheLastDesktopPostsBothAndCallsBack)
{
    world().addDisplay(display(QStringLiteral("A"), {10, 11}, 10));
    SpaceEngine& e = engine();
    const auto lastSignals = countSignal(e, &SpaceEngine::lastDesktopIDChanged);
    posted_.clear();
    switchWorld(QStringLiteral("A"), 11);
    EXPECT_EQ(e.lastDesktopID(), 10u);
    EXPECT_EQ(*lastSignals, 1);
    EXPECT_EQ(posted_, (QStringList{QStringLiteral("spaces"), QStringLiteral("active")}));
    EXPECT_EQ(switches_, (QList<SwitchCall>{{QStringLiteral("A"), 10u, 11u}}));
    ASSERT_TRUE(e.lastDesktop());
    EXPECT_EQ(e.lastDesktop()->number, 1);
}

TEST_F(SpaceEngineTest, SwitchToAFullScreenSpaceRaisesNoEventAndComingBackHasNoFrom)
{
    world().addDisplay(display(QStringLiteral("A"), {10, 11, 12}, 10, 1, {0, 4, 0}));
    SpaceEngine& e = engine();
    posted_.clear();
    switchWorld(QStringLiteral("A"), 11);
    EXPECT_EQ(e.lastDesktopID(), 10u);
    EXPECT_EQ(posted_, QStringList{QStringLiteral("spaces")});
    EXPECT_TRUE(switches_.isEmpty());

    switchWorld(QStringLiteral("A"), 12);
    EXPECT_EQ(e.lastDesktopID(), 10u);
    EXPECT_EQ(switches_, (QList<SwitchCall>{{QStringLiteral("A"), std::nullopt, 12u}}));
}

TEST_F(SpaceEngineTest, CallbackRunsAfterTheActiveSpaceNotification)
{
    world().addDisplay(display(QStringLiteral("A"), {10, 11}, 10));
    SpaceEngine& e = SpaceEngine::shared();
    e.setOnSwitch([this](const QString&, const std::optional<Desktop>&, const Desktop&) {
        posted_.append(QStringLiteral("callback"));
    });
    posted_.clear();
    ASSERT_TRUE(world().setCurrentSpace(QStringLiteral("A"), 11));
    e.refresh(false);
    EXPECT_EQ(posted_, (QStringList{QStringLiteral("spaces"), QStringLiteral("active"), QStringLiteral("callback")}));
}

TEST_F(SpaceEngineTest, TransitSpacesNeitherRaiseEventsNorBecomeTheLastDesktop)
{
    world().addDisplay(display(QStringLiteral("A"), {10, 11, 12}, 10));
    SpaceEngine& e = engine();
    e.setTransitSpaceIDs({11});
    switchWorld(QStringLiteral("A"), 11);
    EXPECT_TRUE(switches_.isEmpty());
    EXPECT_EQ(e.lastDesktopID(), 10u);

    switchWorld(QStringLiteral("A"), 12);
    EXPECT_EQ(e.lastDesktopID(), 10u);
    EXPECT_EQ(switches_, (QList<SwitchCall>{{QStringLiteral("A"), 11u, 12u}}));
}

TEST_F(SpaceEngineTest, LeavingARemovedDesktopDoesNotMakeItTheLastOne)
{
    world().addDisplay(display(QStringLiteral("A"), {10, 11, 12}, 11));
    SpaceEngine& e = engine();
    world().removeSpace(11); // the display falls back to its first space
    e.refresh(false);
    EXPECT_EQ(e.lastDesktopID(), std::nullopt);
    EXPECT_EQ(e.desktops().size(), 2);
    // The event still reports the arrival, without the vanished desktop.
    EXPECT_EQ(switches_, (QList<SwitchCall>{{QStringLiteral("A"), std::nullopt, 10u}}));
}

TEST_F(SpaceEngineTest, DisplayPluggedInAfterLaunchGetsAnEventWithoutFrom)
{
    world().addDisplay(display(QStringLiteral("A"), {10, 11}, 10));
    SpaceEngine& e = engine();
    world().addDisplay(display(QStringLiteral("B"), {20, 21}, 21, 2));
    posted_.clear();
    e.refresh(false);
    EXPECT_EQ(switches_, (QList<SwitchCall>{{QStringLiteral("B"), std::nullopt, 21u}}));
    EXPECT_EQ(posted_, (QStringList{QStringLiteral("spaces"), QStringLiteral("active")}));
    EXPECT_EQ(e.lastDesktopID(), std::nullopt);
    EXPECT_EQ(e.desktops().size(), 4);
}

TEST_F(SpaceEngineTest, VanishedDisplayIsForgotten)
{
    world().addDisplay(display(QStringLiteral("A"), {10}, 10));
    world().addDisplay(display(QStringLiteral("B"), {20}, 20, 2));
    SpaceEngine& e = engine();
    world().removeDisplay(QStringLiteral("B"));
    e.refresh(false);
    EXPECT_EQ(e.currentSpaceID(QStringLiteral("B")), std::nullopt);
    EXPECT_EQ(e.desktops().size(), 1);
    EXPECT_TRUE(switches_.isEmpty());
}

TEST_F(SpaceEngineTest, TwoDisplaysSwitchingInOneRefreshPostOnceAndCallBackForEach)
{
    world().addDisplay(display(QStringLiteral("A"), {10, 11}, 10));
    world().addDisplay(display(QStringLiteral("B"), {20, 21}, 20, 2));
    SpaceEngine& e = engine();
    posted_.clear();
    world().setCurrentSpace(QStringLiteral("A"), 11);
    world().setCurrentSpace(QStringLiteral("B"), 21);
    e.refresh(false);
    EXPECT_EQ(posted_.count(QStringLiteral("active")), 1);
    EXPECT_EQ(switches_.size(), 2);
}

// --- notifications, debouncing and the sweep --------------------------------

TEST_F(SpaceEngineTest, FiveNotificationsWithin30msGiveExactlyTwoRefreshes)
{
    world().addDisplay(display(QStringLiteral("A"), {10, 11}, 10));
    SpaceEngine& e = engine();
    e.start();
    advance(0.05); // the world's own screen announcements and their follow-up
    const int before = displayReads();
    for (int i = 0; i < 5; ++i) {
        NotificationCenter::workspaceCenter().post(platform::notifications::activeSpaceDidChange);
        advance(0.005);
    }
    EXPECT_EQ(displayReads() - before, 1);
    advance(0.01); // past the 30 ms follow-up, well before the sweep
    EXPECT_EQ(displayReads() - before, 2);
    advance(0.5);
    EXPECT_EQ(displayReads() - before, 2);
}

TEST_F(SpaceEngineTest, SpaceChangeInTheWorldReachesTheEngineThroughTheWorkspace)
{
    world().addDisplay(display(QStringLiteral("A"), {10, 11}, 10));
    SpaceEngine& e = engine();
    e.start();
    world().setCurrentSpace(QStringLiteral("A"), 11);
    advance(0);
    EXPECT_EQ(e.currentSpaceID(QStringLiteral("A")), 11u);
    EXPECT_EQ(switches_.size(), 1);
}

TEST_F(SpaceEngineTest, ScreenChangeRefreshes)
{
    world().addDisplay(display(QStringLiteral("A"), {10}, 10));
    SpaceEngine& e = engine();
    e.start();
    world().addDisplay(display(QStringLiteral("B"), {20}, 20, 2));
    advance(0);
    EXPECT_EQ(e.desktops().size(), 2);
}

TEST_F(SpaceEngineTest, SweepRefreshesEveryOneAndAHalfSeconds)
{
    world().addDisplay(display(QStringLiteral("A"), {10, 11}, 10));
    SpaceEngine& e = engine();
    e.start();
    advance(0.05); // the world's own screen announcements and their follow-up
    const int before = displayReads();
    advance(1.5);
    EXPECT_EQ(displayReads() - before, 1);
    advance(3.0);
    EXPECT_EQ(displayReads() - before, 3);
}

TEST_F(SpaceEngineTest, MetadataChangeRepostsSpacesDidChange)
{
    world().addDisplay(display(QStringLiteral("A"), {10}, 10));
    SpaceEngine& e = engine();
    e.start();
    const auto changed = countSignal(e, &SpaceEngine::changed);
    posted_.clear();
    SpaceStore::shared().change(1010, [](SpaceMeta& meta) { meta.name = QStringLiteral("Mail"); });
    EXPECT_EQ(posted_, QStringList{QStringLiteral("spaces")});
    EXPECT_EQ(*changed, 1);
    EXPECT_EQ(e.desktops()[0].displayName(), QStringLiteral("Mail"));
}

// --- preference changes kept in memory ---------------------------------------

TEST_F(SpaceEngineTest, TheSweepWritesANameThatCouldNotBeWrittenOnceTheFolderAllowsIt)
{
    world().addDisplay(display(QStringLiteral("A"), {10}, 10));
    SpaceEngine& e = engine();
    e.start();
    advance(0.05);
    // A file where the preferences folder belongs: no write can succeed, even as root.
    const QString folder = QFileInfo(platform::PreferenceDomain::standard().filePath()).path();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(folder).path()));
    {
        QFile blocker(folder);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    SpaceStore::shared().change(1010, [](SpaceMeta& meta) { meta.name = QStringLiteral("Mail"); });
    advance(0.3); // the store's delayed write, which fails
    const QString file = platform::PreferenceDomain::standard().filePath();
    ASSERT_FALSE(QFileInfo(file).isFile());

    ASSERT_TRUE(QFile::remove(folder));
    advance(1.5); // the next sweep
    EXPECT_TRUE(QFileInfo(file).isFile());
    platform::resetSharedInstances(); // a new process reads the file
    EXPECT_EQ(SpaceStore::shared().meta(1010).name, QStringLiteral("Mail"));
}

// --- time sampling --------------------------------------------------------

TEST_F(SpaceEngineTest, SampleAfterSleepAddsNothingAndNextOneCountsAgain)
{
    world().addDisplay(display(QStringLiteral("A"), {10}, 10));
    SpaceEngine& e = engine();
    advance(45);
    markInput();
    e.sampleTime();
    EXPECT_EQ(SpaceStore::shared().meta(1010).seconds, 0);
    advance(1.5);
    markInput();
    e.sampleTime();
    EXPECT_DOUBLE_EQ(SpaceStore::shared().meta(1010).seconds, 1.5);
}

TEST_F(SpaceEngineTest, ThirtySecondsExactlyIsNotCounted)
{
    world().addDisplay(display(QStringLiteral("A"), {10}, 10));
    SpaceEngine& e = engine();
    advance(30);
    markInput();
    e.sampleTime();
    EXPECT_EQ(SpaceStore::shared().meta(1010).seconds, 0);
}

TEST_F(SpaceEngineTest, SampleCountsForTheActiveDesktopOnlyWhileTheUserIsActive)
{
    world().addDisplay(display(QStringLiteral("A"), {10, 11}, 11));
    SpaceEngine& e = engine();
    advance(1.5);
    e.sampleTime(); // input 1.5 s ago (the world starts with fresh input)
    EXPECT_DOUBLE_EQ(SpaceStore::shared().meta(1011).seconds, 1.5);
    EXPECT_EQ(SpaceStore::shared().meta(1010).seconds, 0);

    // Default idle limit: 3 minutes.
    for (quint32 type : {5u, 10u, 1u, 3u, 22u, 12u})
        world().setSecondsSinceLastEvent(type, 180);
    advance(1.5);
    e.sampleTime();
    EXPECT_DOUBLE_EQ(SpaceStore::shared().meta(1011).seconds, 1.5);
    world().noteInputEvent(platform::EventSource::EventType::flagsChanged);
    advance(1.5);
    e.sampleTime();
    EXPECT_DOUBLE_EQ(SpaceStore::shared().meta(1011).seconds, 3.0);
}

TEST_F(SpaceEngineTest, IdleMinutesZeroMeansOneMinute)
{
    world().addDisplay(display(QStringLiteral("A"), {10}, 10));
    Settings::shared().setIdleMinutes(0);
    SpaceEngine& e = engine();
    for (quint32 type : {5u, 10u, 1u, 3u, 22u, 12u})
        world().setSecondsSinceLastEvent(type, 58.5);
    advance(1.5); // idle 60 s now
    e.sampleTime();
    EXPECT_EQ(SpaceStore::shared().meta(1010).seconds, 0);
    for (quint32 type : {5u, 10u, 1u, 3u, 22u, 12u})
        world().setSecondsSinceLastEvent(type, 58);
    advance(1.5); // idle 59.5 s
    e.sampleTime();
    EXPECT_DOUBLE_EQ(SpaceStore::shared().meta(1010).seconds, 1.5);
}

TEST_F(SpaceEngineTest, TheDesktopSessionsUserKeepsTheTimeCountingWhileTheSimulationIsIdle)
{
    world().addDisplay(display(QStringLiteral("A"), {10}, 10));
    SpaceEngine& e = engine();
    // Seven minutes with no simulated input, but a user at the real session.
    advance(420);
    e.sampleTime();
    std::optional<double> sessionIdle = 4.0;
    world().setSessionIdleClock([&sessionIdle] { return sessionIdle; });
    advance(1.5);
    e.sampleTime();
    EXPECT_DOUBLE_EQ(SpaceStore::shared().meta(1010).seconds, 1.5);
    // The session's user went away too.
    sessionIdle = 181.0;
    advance(1.5);
    e.sampleTime();
    EXPECT_DOUBLE_EQ(SpaceStore::shared().meta(1010).seconds, 1.5);
    world().setSessionIdleClock({});
}

TEST_F(SpaceEngineTest, NoTrackingWhenSwitchedOff)
{
    world().addDisplay(display(QStringLiteral("A"), {10}, 10));
    Settings::shared().setTrackTime(false);
    SpaceEngine& e = engine();
    advance(1.5);
    e.sampleTime();
    EXPECT_EQ(SpaceStore::shared().meta(1010).seconds, 0);
}

TEST_F(SpaceEngineTest, SwitchCreditsTheDesktopThatWasLeft)
{
    world().addDisplay(display(QStringLiteral("A"), {10, 11}, 10));
    engine();
    advance(1.0);
    markInput();
    EXPECT_FALSE(SpaceStore::shared().hasPendingWrite());
    switchWorld(QStringLiteral("A"), 11);
    EXPECT_DOUBLE_EQ(SpaceStore::shared().meta(1010).seconds, 1.0);
    EXPECT_EQ(SpaceStore::shared().meta(1011).seconds, 0);
    // Every switch asks for the tracked time to be written.
    EXPECT_TRUE(SpaceStore::shared().hasPendingWrite());
}

TEST_F(SpaceEngineTest, TrackedTimeIsPersistedAtMostOnceAMinuteFromTheSweep)
{
    world().addDisplay(display(QStringLiteral("A"), {10}, 10));
    SpaceEngine& e = engine();
    e.start();
    for (int i = 0; i < 39; ++i) { // 58.5 s of sweeps
        markInput();
        advance(1.5);
    }
    EXPECT_FALSE(SpaceStore::shared().hasPendingWrite());
    for (int i = 0; i < 2; ++i) {
        markInput();
        advance(1.5);
    }
    EXPECT_TRUE(SpaceStore::shared().hasPendingWrite());
    EXPECT_NEAR(SpaceStore::shared().meta(1010).seconds, 61.5, 1e-9);
}

TEST_F(SpaceEngineTest, ClockSteppingBackOrLosingTheTimeCountsNothing)
{
    auto owned = std::make_unique<SettableClock>();
    SettableClock& clock = *owned;
    platform::Scheduler::install(std::move(owned));
    world().addDisplay(display(QStringLiteral("A"), {10}, 10));
    SpaceEngine& e = engine();
    world().noteInputEvent(platform::EventSource::EventType::keyDown);
    clock.time = 990; // the system clock was set back
    e.sampleTime();
    clock.time = std::numeric_limits<double>::quiet_NaN();
    e.sampleTime();
    clock.time = 991.5;
    e.sampleTime(); // the time before it is unknown
    EXPECT_EQ(SpaceStore::shared().meta(1010).seconds, 0);
    clock.time = 993;
    e.sampleTime();
    EXPECT_DOUBLE_EQ(SpaceStore::shared().meta(1010).seconds, 1.5);
}

TEST_F(SpaceEngineTest, SaveTimeSamplesAndFlushes)
{
    world().addDisplay(display(QStringLiteral("A"), {10}, 10));
    SpaceEngine& e = engine();
    advance(2);
    e.saveTime();
    EXPECT_DOUBLE_EQ(SpaceStore::shared().meta(1010).seconds, 2.0);
    EXPECT_TRUE(SpaceStore::shared().hasPendingWrite());
}

// --- badge polling ----------------------------------------------------------

class BadgePollTest : public SpaceEngineTest {
protected:
    BadgePollTest()
    {
        world().addDisplay(display(QStringLiteral("A"), {10}, 10));
        addApp(500, QStringLiteral("Mail"));
        world().setDockItems({{QStringLiteral("Mail"), QStringLiteral("4"), std::nullopt, true}});
    }
    int dockReads() const { return world().callCount(QStringLiteral("copyAttributeValue")); }
    void beIdleFor(double seconds)
    {
        for (quint32 type : {5u, 10u, 1u, 22u})
            world().setSecondsSinceLastEvent(type, seconds);
    }
};

TEST_F(BadgePollTest, IdleUserIsNotPolledAndTheFirstSweepAfterAKeyPressIs)
{
    SpaceEngine& e = engine();
    beIdleFor(120);
    e.pollBadges();
    advance(0);
    EXPECT_EQ(dockReads(), 0);
    EXPECT_TRUE(DockBadges::shared().badges().isEmpty());
    advance(10);
    markInput();
    e.pollBadges();
    advance(0);
    EXPECT_GT(dockReads(), 0);
    EXPECT_EQ(DockBadges::shared().badges().value(500), QStringLiteral("4"));
}

TEST_F(BadgePollTest, SweepResumesReadingAtOnceWhenTheUserComesBack)
{
    SpaceEngine& e = engine();
    e.start();
    beIdleFor(120);
    advance(9); // six sweeps while away
    EXPECT_EQ(dockReads(), 0);
    markInput();
    advance(1.5);
    EXPECT_GT(dockReads(), 0);
    EXPECT_EQ(DockBadges::shared().badges().value(500), QStringLiteral("4"));
}

TEST_F(BadgePollTest, ForcedAppsRebuildAsksForADockRead)
{
    SpaceEngine& e = engine();
    e.appsByDesktop(false);
    EXPECT_FALSE(DockBadges::shared().reading());
    e.appsByDesktop(true);
    EXPECT_TRUE(DockBadges::shared().reading());
    advance(0);
    Settings::shared().setBadgesEnabled(false);
    e.appsByDesktop(true);
    EXPECT_FALSE(DockBadges::shared().reading());
}

TEST_F(BadgePollTest, PollsAtMostEverySixSeconds)
{
    SpaceEngine& e = engine();
    e.pollBadges();
    advance(0);
    const int first = dockReads();
    EXPECT_GT(first, 0);
    advance(5.9);
    markInput();
    e.pollBadges();
    advance(0);
    EXPECT_EQ(dockReads(), first);
    advance(0.1);
    e.pollBadges();
    advance(0);
    EXPECT_GT(dockReads(), first);
}

TEST_F(BadgePollTest, NoPollingWithBadgesOffOrSampleApps)
{
    Settings::shared().setBadgesEnabled(false);
    SpaceEngine& e = engine();
    e.pollBadges();
    advance(0);
    EXPECT_EQ(dockReads(), 0);
    Settings::shared().setBadgesEnabled(true);
    e.setSampleApps(SpaceEngine::AppsMap{});
    e.pollBadges();
    advance(0);
    EXPECT_EQ(dockReads(), 0);
}

TEST_F(BadgePollTest, BadgeChangeIsLoggedAndRebuildsTheApps)
{
    addWindow(1, 500, 10);
    SpaceEngine& e = engine();
    e.start();
    DockBadges::shared().refresh();
    advance(0);
    QFile log(LogFile::switches().path());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("] dock badges: Mail 4 (read in 0 ms)"))) << qPrintable(text);
    ASSERT_EQ(e.apps(e.desktops()[0]).size(), 1);
    EXPECT_EQ(e.apps(e.desktops()[0])[0].badge, QStringLiteral("4"));
}

TEST_F(BadgePollTest, BadgeLogLineListsAppsSortedAndNamesUnnamedOnesByPid)
{
    addApp(501, QStringLiteral("Chat"));
    platform::sim::AppSpec unnamed;
    unnamed.pid = 502;
    unnamed.bundlePath = QStringLiteral("/Applications/Zed.app");
    world().addApp(unnamed);
    world().setDockItems({{QStringLiteral("Mail"), QStringLiteral("4"), std::nullopt, true},
                          {QStringLiteral("Zed"), QStringLiteral("!"), QUrl::fromLocalFile(QStringLiteral("/Applications/Zed.app")), true},
                          {QStringLiteral("Chat"), QStringLiteral("2"), std::nullopt, true}});
    engine().start();
    DockBadges::shared().refresh();
    advance(0);
    world().setDockItems({});
    DockBadges::shared().refresh();
    advance(0);
    QFile log(LogFile::switches().path());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("] dock badges: Chat 2, Mail 4, pid 502 \u2022 (read in 0 ms)\n")))
        << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("] dock badges: none (read in 0 ms)\n"))) << qPrintable(text);
}
