#include "SwitchingWorld.h"

#include "platform/KeyCodes.h"
#include "platform/WindowServer.h"
#include "platform/sim/Keyboard.h"
#include "platform/sim/World.h"
#include "store/Settings.h"
#include "switching/Accessibility.h"

#include <QRegularExpression>

namespace KeyCode = platform::KeyCode;

using namespace switching_test;
using platform::sim::World;

namespace {

// The log line with its measured times blanked: "after #ms", "took=#ms".
QString shape(QString line)
{
    static const QRegularExpression after(QStringLiteral("after \\d+ms"));
    static const QRegularExpression took(QStringLiteral("took=\\d+ms"));
    return line.replace(after, QStringLiteral("after #ms")).replace(took, QStringLiteral("took=#ms"));
}

int milliseconds(const QString& line, const QString& label = QStringLiteral("after "))
{
    const QRegularExpression pattern(QRegularExpression::escape(label) + QStringLiteral("(\\d+)ms"));
    const auto match = pattern.match(line);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QStringList shapes(const QStringList& lines)
{
    QStringList result;
    for (const QString& line : lines)
        result.append(shape(line));
    return result;
}

int arrowPresses()
{
    int count = 0;
    for (const auto& posted : platform::sim::postedKeyEvents()) {
        if (posted.event.type == platform::KeyEventType::keyDown
            && (posted.event.keyCode == KeyCode::leftArrow || posted.event.keyCode == KeyCode::rightArrow))
            ++count;
    }
    return count;
}

class DesktopSwitcherTest : public SwitchingWorld {};

} // namespace

TEST_F(DesktopSwitcherTest, ShortcutRouteReachesEveryDesktopAndLogsEachArrival)
{
    setUp({desktops(mainDisplay, 4, 11)}, digitShortcuts(4));
    installMissionControl();
    const QString digits[] = {"1", "2", "3", "4"};
    for (qint64 n : {3, 1, 4, 2}) {
        const quint64 before = current();
        switchLog();
        request(n, "hotkey");
        advance(3);
        ASSERT_EQ(current(), 10 + quint64(n));
        const QString expected = QStringLiteral("hotkey [\u2303%1]: %2 \u2192 %3 'Desktop %4' now=%3 after #ms")
                                     .arg(digits[n - 1])
                                     .arg(before)
                                     .arg(10 + n)
                                     .arg(n);
        EXPECT_EQ(shape(switchLog().last()), expected);
        // The Dock animates for 0.25 s; checks run every 0.05 s.
        EXPECT_GE(milliseconds(switchLog().last()), 250);
        EXPECT_LE(milliseconds(switchLog().last()), 300);
    }
    EXPECT_EQ(results, (QList<int>{1, 1, 1, 1}));
    EXPECT_EQ(switchLog().size(), 4);
    EXPECT_TRUE(missionControlPresses.isEmpty());
    EXPECT_EQ(switcher().lastNote(), QString::fromUtf8("hotkey [\u23032]"));
}

TEST_F(DesktopSwitcherTest, RawRouteWhenNativeSwitchingIsOff)
{
    setUp({desktops(mainDisplay, 4, 11)}, digitShortcuts(4));
    installMissionControl();
    Settings::shared().setNativeSwitching(false);
    for (qint64 n : {2, 3, 4, 1}) {
        const quint64 before = current();
        request(n, "link");
        advance(0.39);
        EXPECT_EQ(switchLog().size(), 0 + results.size() - 1) << "checked before 0.4 s";
        advance(0.02);
        EXPECT_EQ(switchLog().last(), QStringLiteral("link [raw] status=0: %1 \u2192 %2 'Desktop %3' now=%2 after 400ms")
                                          .arg(before)
                                          .arg(10 + n)
                                          .arg(n));
        advance(1);
    }
    EXPECT_EQ(results, (QList<int>{1, 1, 1, 1}));
    EXPECT_TRUE(platform::sim::postedKeyEvents().empty());
}

TEST_F(DesktopSwitcherTest, RawRouteWithoutAccessibilityOrWithoutMissionControlRoute)
{
    setUp({desktops(mainDisplay, 3, 11)}, digitShortcuts(3));
    // No Mission Control route yet: raw.
    request(2, "hotkey");
    advance(1);
    EXPECT_TRUE(switchLog().last().startsWith("hotkey [raw] status=0: 11"));

    installMissionControl();
    World::shared().setTrusted(false);
    Accessibility::shared().refresh(false);
    request(3, "hotkey");
    advance(1);
    EXPECT_TRUE(switchLog().last().startsWith("hotkey [raw] status=0: 12 \u2192 13"));
    EXPECT_EQ(results, (QList<int>{1, 1}));
}

TEST_F(DesktopSwitcherTest, DesktopOnAnotherDisplayGoesThroughMissionControl)
{
    setUp({desktops(mainDisplay, 3, 11), desktops(sideDisplay, 3, 21)}, digitShortcuts(6));
    installMissionControl(0.5);
    for (qint64 n : {5, 6, 4}) {
        const quint64 before = current(sideDisplay);
        request(n, "link");
        advance(3);
        EXPECT_EQ(current(sideDisplay), 17 + quint64(n));
        EXPECT_EQ(shape(switchLog().last()),
                  QStringLiteral("link [mission control] pressed=true took=#ms: %1 \u2192 %2 'Desktop %3' now=%2 after #ms")
                      .arg(before)
                      .arg(17 + n)
                      .arg(n));
        EXPECT_EQ(milliseconds(switchLog().last(), "took="), 500);
    }
    EXPECT_EQ(missionControlPresses, (QList<qint64>{5, 6, 4}));
    EXPECT_EQ(results, (QList<int>{1, 1, 1}));
    // No key was pressed for them, though they have Control + digit.
    EXPECT_TRUE(platform::sim::postedKeyEvents().empty());

    // Without an active menu bar the target's own display counts as active.
    World::shared().setActiveMenuBarDisplay(std::nullopt);
    request(6, "link");
    advance(3);
    EXPECT_EQ(missionControlPresses.size(), 3);
    EXPECT_TRUE(switchLog().last().startsWith(QString::fromUtf8("link [\u23036]")));
}

TEST_F(DesktopSwitcherTest, DesktopAboveTenStepsFromTheNearestAnchorWithoutMissionControl)
{
    setUp({desktops(mainDisplay, 12, 11)}, digitShortcuts(10));
    installMissionControl();
    request(3, "hotkey");
    advance(3);
    ASSERT_EQ(current(), 13u);
    switchLog();

    QSet<quint64> transitWhileWalking;
    request(12, "step");
    advance(0.2);
    EXPECT_EQ(arrowPresses(), 0) << "arrows wait for the anchor";
    advance(0.1);
    EXPECT_EQ(current(), 20u) << "the anchor, desktop 10, first";
    transitWhileWalking = engine().transitSpaceIDs();
    advance(3);
    EXPECT_EQ(current(), 22u);
    EXPECT_EQ(transitWhileWalking, (QSet<quint64>{20, 21}));
    EXPECT_TRUE(engine().transitSpaceIDs().isEmpty());
    EXPECT_EQ(arrowPresses(), 2);
    EXPECT_TRUE(missionControlPresses.isEmpty());

    const QStringList log = switchLog();
    ASSERT_EQ(log.size(), 3);
    EXPECT_EQ(shape(log[1]), QString::fromUtf8("step [\u23030 on the way to 'Desktop 12']: 13 \u2192 20 'Desktop 10' now=20 after #ms"));
    EXPECT_EQ(shape(log[2]), QString::fromUtf8("step [\u2303\u2192 \u00D72]: 20 \u2192 22 'Desktop 12' now=22 after #ms"));
    EXPECT_FALSE(switcher().lastNote().contains("mission control"));
    EXPECT_EQ(results, (QList<int>{1, 1}));
    // The walk's intermediate desktops never become the desktop to jump back to.
    EXPECT_EQ(engine().lastDesktopID(), 13u);
}

TEST_F(DesktopSwitcherTest, AnchorThatNeverArrivesFallsBackToMissionControlWithoutArrows)
{
    setUp({desktops(mainDisplay, 12, 11)}, {});
    writeShortcutTable(digitShortcuts(10)); // the Dock has not loaded them
    installMissionControl(0.5);
    request(12, "step");
    EXPECT_EQ(engine().transitSpaceIDs(), (QSet<quint64>{20, 21}));
    advance(5);
    EXPECT_EQ(current(), 22u);
    EXPECT_EQ(arrowPresses(), 0);
    EXPECT_EQ(missionControlPresses, QList<qint64>{12});
    EXPECT_EQ(shapes(switchLog()),
              (QStringList{QString::fromUtf8("step [\u23030 on the way to 'Desktop 12']: 11 \u2192 20 'Desktop 10' now=11 after #ms"),
                           "step fallback [mission control] pressed=true took=#ms: 11 \u2192 22 'Desktop 12' now=22 after #ms"}));
    EXPECT_EQ(milliseconds(switchLog()[0]), 2000);
    EXPECT_EQ(results, QList<int>{1});
    EXPECT_TRUE(engine().transitSpaceIDs().isEmpty());
    EXPECT_EQ(engine().lastDesktopID(), 11u);
}

TEST_F(DesktopSwitcherTest, ArrowWalkWithoutAnchorAndItsTimeLimit)
{
    // Only Control + arrows (the system's defaults) are available.
    setUp({desktops(mainDisplay, 12, 11)}, {});
    installMissionControl();
    pressesWork = false;
    request(5, "step");
    advance(5);
    EXPECT_EQ(current(), 15u);
    EXPECT_EQ(shape(switchLog().last()), QString::fromUtf8("step [\u2303\u2192 \u00D74]: 11 \u2192 15 'Desktop 5' now=15 after #ms"));

    // Left one desktop: a single press has no count.
    request(4, "step");
    advance(5);
    EXPECT_EQ(shape(switchLog().last()), QString::fromUtf8("step [\u2303\u2190]: 15 \u2192 14 'Desktop 4' now=14 after #ms"));

    // The Dock ignores the arrows: the walk of 3 gives up after 2.0 + 0.4 x 2 s.
    writeShortcutTable({{"81", shortcutEntry(true, 124, control)}, {"79", shortcutEntry(true, 123, control)}});
    platform::sim::restartDock();
    writeShortcutTable({{"81", shortcutEntry(true, 124, control | 0x100000)}});
    request(7, "step");
    advance(10);
    const QStringList log = switchLog();
    const qsizetype walk = log.indexOf(QRegularExpression(QString::fromUtf8(".*\u00D73\\]: 14 .*")));
    ASSERT_GE(walk, 0) << log.join('\n').toStdString();
    EXPECT_EQ(milliseconds(log[walk]), 2800);
    EXPECT_TRUE(log[walk + 1].startsWith("step fallback [mission control] pressed=false"));
    EXPECT_TRUE(log[walk + 2].startsWith("step fallback raw [raw] status=0: 14 \u2192 17"));
    EXPECT_EQ(current(), 17u);
    EXPECT_EQ(results, (QList<int>{1, 1, 1}));
}

TEST_F(DesktopSwitcherTest, ShortcutTheDockHasNotLoadedFallsBackThroughMissionControlToRaw)
{
    setUp({desktops(mainDisplay, 4, 11)}, {});
    writeShortcutTable(digitShortcuts(4)); // written, but the Dock was not restarted
    installMissionControl(0.2);
    pressesWork = false;
    request(3, "hotkey");
    advance(10);
    EXPECT_EQ(shapes(switchLog()),
              (QStringList{QString::fromUtf8("hotkey [\u23033]: 11 \u2192 13 'Desktop 3' now=11 after #ms"),
                           "hotkey fallback [mission control] pressed=false took=#ms: 11 \u2192 13 'Desktop 3' now=11 after #ms",
                           "hotkey fallback raw [raw] status=0: 11 \u2192 13 'Desktop 3' now=13 after #ms"}));
    EXPECT_EQ(milliseconds(switchLog()[0]), 2000);
    EXPECT_EQ(milliseconds(switchLog()[1], "took="), 200);
    EXPECT_EQ(milliseconds(switchLog()[1]), 1500);
    EXPECT_EQ(results, QList<int>{1});
}

TEST_F(DesktopSwitcherTest, MissionControlPressThatDoesNotArriveEndsInFailure)
{
    setUp({desktops(mainDisplay, 3, 11), desktops(sideDisplay, 2, 21)}, {});
    switcher().setPressInMissionControl([this](qint64 number, std::function<void(bool)> done) {
        missionControlPresses.append(number);
        done(true); // says pressed, nothing moves
        done(false); // a second answer is ignored
    });
    request(5, "link");
    advance(10);
    EXPECT_EQ(results, QList<int>{0});
    EXPECT_EQ(switchLog().size(), 1);
    EXPECT_EQ(milliseconds(switchLog()[0]), 1500);
    EXPECT_EQ(World::shared().callCount("managedDisplaySetCurrentSpace"), 0);
    EXPECT_FALSE(switcher().isSwitching());
}

namespace {

// Makes the window server keep answering what it answers now.
void freezeDisplayAnswer()
{
    World::shared().overrideAnswer(
        "copyManagedDisplaySpaces",
        platform::WindowServer::copyManagedDisplaySpaces(platform::WindowServer::mainConnectionID()));
}

} // namespace

TEST_F(DesktopSwitcherTest, RawSwitchThatDoesNotTakeIsAssertedOnce)
{
    setUp({desktops(mainDisplay, 3, 11)}, {});
    Settings::shared().setNativeSwitching(false);
    freezeDisplayAnswer();
    request(2, "link");
    advance(0.85);
    EXPECT_EQ(switchLog().last(), "re-asserted switch to 'Desktop 2'");
    EXPECT_EQ(World::shared().callCount("managedDisplaySetCurrentSpace"), 2);
    World::shared().overrideAnswer("copyManagedDisplaySpaces", std::nullopt);
    advance(2);
    EXPECT_EQ(switchLog().size(), 3);
    EXPECT_EQ(switchLog().last(), "link [raw again]: 11 \u2192 12 'Desktop 2' now=12 after 400ms");
    EXPECT_EQ(results, QList<int>{1});
}

TEST_F(DesktopSwitcherTest, RawSwitchEndsInFailureWhenTheDisplayWentElsewhereOrTheTargetIsGone)
{
    setUp({desktops(mainDisplay, 4, 11)}, {});
    Settings::shared().setNativeSwitching(false);
    request(2, "link");
    // Something else takes the display to desktop 4 before the first check.
    World::shared().setCurrentSpace(mainDisplay, 14);
    freezeDisplayAnswer();
    advance(3);
    EXPECT_EQ(results, QList<int>{0});
    EXPECT_EQ(World::shared().callCount("managedDisplaySetCurrentSpace"), 1);
    EXPECT_EQ(switchLog().last(), "link [raw] status=0: 11 \u2192 12 'Desktop 2' now=14 after 800ms");

    // A target the window server no longer has: no second call either.
    World::shared().overrideAnswer("copyManagedDisplaySpaces", std::nullopt);
    engine().refresh(false);
    const Desktop gone = desktop(3);
    World::shared().removeSpace(13);
    engine().switchTo(gone, "link", [this](bool arrived) { results.append(arrived); });
    advance(3);
    EXPECT_EQ(results, (QList<int>{0, 0}));
    EXPECT_EQ(World::shared().callCount("managedDisplaySetCurrentSpace"), 2);
    EXPECT_EQ(switchLog().last(), "link [raw] status=1001: 14 \u2192 13 'Desktop 3' now=14 after 800ms");
}

TEST_F(DesktopSwitcherTest, RequestForTheCurrentDesktopCompletesAtOnceWithoutTrace)
{
    setUp({desktops(mainDisplay, 3, 11)}, digitShortcuts(3));
    installMissionControl();
    request(1, "hotkey");
    EXPECT_EQ(results, QList<int>{1});
    EXPECT_EQ(switcher().generation(), 0);
    EXPECT_TRUE(switchLog().isEmpty());
    EXPECT_TRUE(platform::sim::postedKeyEvents().empty());
}

TEST_F(DesktopSwitcherTest, SecondRequestForTheSameTargetJoinsTheFirst)
{
    setUp({desktops(mainDisplay, 3, 11)}, digitShortcuts(3));
    installMissionControl();
    request(3, "hotkey");
    request(3, "link");
    EXPECT_EQ(switchLog(), QStringList{"link: already on the way to 'Desktop 3'"});
    EXPECT_EQ(switcher().generation(), 1);
    advance(3);
    EXPECT_EQ(results, (QList<int>{1, 1}));
    EXPECT_EQ(switchLog().size(), 2);
}

TEST_F(DesktopSwitcherTest, LaterRequestSupersedesTheEarlierOne)
{
    setUp({desktops(mainDisplay, 3, 11)}, digitShortcuts(3));
    installMissionControl();
    request(2, "hotkey");
    request(3, "step");
    advance(3);
    EXPECT_EQ(results, (QList<int>{0, 1}));
    EXPECT_EQ(switchLog().first(), QString::fromUtf8("hotkey [\u23032]: \u2192 'Desktop 2' superseded by a later switch"));
    EXPECT_EQ(current(), 13u);
    EXPECT_FALSE(switcher().isSwitching());
}

TEST_F(DesktopSwitcherTest, RequestBackToTheCurrentDesktopWhileAnotherIsUnderWayStillWins)
{
    setUp({desktops(mainDisplay, 3, 11)}, digitShortcuts(3));
    installMissionControl();
    request(3, "hotkey");
    request(1, "hotkey"); // the display still shows desktop 1
    advance(3);
    EXPECT_EQ(current(), 11u);
    EXPECT_EQ(results, (QList<int>{0, 1}));
}

TEST_F(DesktopSwitcherTest, SupersededWalkStopsPressingAndDropsItsTransitSpaces)
{
    // Desktop 1 has its shortcut; everything else is reached by arrows.
    setUp({desktops(mainDisplay, 9, 11)}, digitShortcuts(1));
    installMissionControl();
    request(8, "step");
    EXPECT_EQ(engine().transitSpaceIDs(), (QSet<quint64>{12, 13, 14, 15, 16, 17}));
    advance(0.07); // two of seven arrow presses are out
    EXPECT_EQ(arrowPresses(), 2);
    request(1, "hotkey");
    EXPECT_TRUE(engine().transitSpaceIDs().isEmpty());
    advance(5);
    EXPECT_EQ(arrowPresses(), 2);
    EXPECT_EQ(current(), 11u);
    EXPECT_EQ(results, (QList<int>{0, 1}));
    EXPECT_TRUE(engine().transitSpaceIDs().isEmpty());
}

TEST_F(DesktopSwitcherTest, HundredRapidRequestsEndOnTheLastOneWithNothingStuck)
{
    setUp({desktops(mainDisplay, 12, 11)}, digitShortcuts(10));
    installMissionControl(0.4);
    engine().start(); // workspace notifications and the sweep, as in the app
    qint64 last = 0;
    for (int i = 0; i < 100; ++i) {
        last = (i * 7 + i / 9) % 12 + 1;
        request(last, i % 3 == 0 ? "hotkey" : "step");
        // Gaps from none to long enough for a walk to get under way.
        static const double gaps[] = {0, 0.02, 0.07, 0.3, 0.12, 0.6, 0.01};
        advance(gaps[i % 7]);
    }
    advance(30);
    EXPECT_EQ(current(), 10 + quint64(last));
    EXPECT_EQ(results.size(), 100);
    EXPECT_EQ(results.count(-1), 0) << "a completion was lost";
    EXPECT_EQ(results.count(99), 0) << "a completion ran twice";
    EXPECT_EQ(results.last(), 1);
    EXPECT_TRUE(engine().transitSpaceIDs().isEmpty());
    EXPECT_FALSE(switcher().isSwitching());
    // No check keeps running.
    const qsizetype lines = switchLog().size();
    advance(30);
    EXPECT_EQ(switchLog().size(), lines);
}

TEST_F(DesktopSwitcherTest, HundredRapidRawRequestsEndOnTheLastOne)
{
    setUp({desktops(mainDisplay, 5, 11)}, {});
    Settings::shared().setNativeSwitching(false);
    for (int i = 0; i < 100; ++i)
        request((i * 3) % 5 + 1, "link");
    advance(10);
    EXPECT_EQ(current(), 10 + quint64((99 * 3) % 5 + 1));
    EXPECT_EQ(results.count(-1), 0);
    EXPECT_EQ(results.count(99), 0);
    EXPECT_FALSE(switcher().isSwitching());
}
