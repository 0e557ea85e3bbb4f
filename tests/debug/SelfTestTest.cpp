#include "debug/SelfTest.h"
#include "LateModeTest.h"

#include "debug/ModeOutput.h"
#include "engine/DesktopSwitching.h"
#include "store/Timers.h"

#include <QSet>

namespace {

// Switches at once, except to the desktops it refuses: those never arrive.
class RefusingSwitcher final : public DesktopSwitching {
public:
    explicit RefusingSwitcher(QSet<quint64> refused)
        : refused_(std::move(refused))
    {
    }

    void switchTo(const Desktop& desktop, const QString&, std::function<void(bool)> completion) override
    {
        if (refused_.contains(desktop.id())) {
            if (completion)
                completion(false);
            return;
        }
        platform::sim::World::shared().setCurrentSpace(desktop.displayUUID(), desktop.id());
        if (completion)
            completion(true);
    }

private:
    QSet<quint64> refused_;
};

// Arrives, but only after delay seconds.
class SlowSwitcher final : public DesktopSwitching {
public:
    explicit SlowSwitcher(double delay)
        : delay_(delay)
    {
    }

    void switchTo(const Desktop& desktop, const QString&, std::function<void(bool)> completion) override
    {
        runAfter(delay_, [desktop, completion] {
            platform::sim::World::shared().setCurrentSpace(desktop.displayUUID(), desktop.id());
            if (completion)
                completion(true);
        });
    }

private:
    double delay_;
};

class SelfTestTest : public LateModeTest {
protected:
    void runSelfTest()
    {
        SelfTest::run(context ? *context : launch(), std::nullopt);
    }

    QStringList checks()
    {
        QStringList found;
        for (const QString& line : lines()) {
            if (line.startsWith("PASS ") || line.startsWith("FAIL "))
                found << line;
        }
        return found;
    }

    // Runs the whole script: it never takes longer than this.
    void runToTheEnd() { advance(20); }

    // Came to desktop from another one, so that jump back leads there.
    void arriveFrom(quint64 from, quint64 to)
    {
        world().setCurrentSpace("D1", from);
        clock().runPending();
        engine().refresh(false);
        world().setCurrentSpace("D1", to);
        clock().runPending();
        engine().refresh(false);
    }
};

// --- a passing run ---

TEST_F(SelfTestTest, TwoDesktopsGiveTenPassingChecksAndStatusZero)
{
    addDisplays({2});
    runSelfTest();
    runToTheEnd();
    const QStringList all = lines();
    ASSERT_FALSE(all.isEmpty());
    EXPECT_TRUE(all.first().startsWith("selftest: start on Desktop 1, switching to Desktop 2 trusted=true native="))
        << qPrintable(all.first());
    const double shown = settings().hudDuration();
    const QStringList expected{
        "PASS engine sees the new desktop (Desktop 2)",
        "completion",
        "PASS jump-back remembers Desktop 1",
        "PASS switch tag is showing",
        "PASS menu bar title is '",
        "PASS switch tag hid itself after " + ModeOutput::number(shown) + "s",
        "PASS space hover strip shows on demand",
        "PASS space hover strip hides",
        "PASS jump back returned to Desktop 1",
        "PASS Mission Control detection reports closed",
    };
    const QStringList found = checks();
    ASSERT_EQ(found.size(), 10) << qPrintable(printed);
    for (qsizetype i = 0; i < expected.size(); ++i) {
        if (expected[i] == "completion")
            EXPECT_TRUE(found[i].startsWith("PASS completion reported the landing (")) << qPrintable(found[i]);
        else
            EXPECT_TRUE(found[i].startsWith(expected[i])) << qPrintable(found[i]);
    }
    EXPECT_FALSE(printed.contains("INFO "));
    EXPECT_FALSE(printed.contains("selftest: opening"));
    EXPECT_EQ(all.last(), "selftest: all passed");
    EXPECT_TRUE(switchesLog().contains("selftest")) << qPrintable(switchesLog());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(active()->id(), 1u);
}

TEST_F(SelfTestTest, AWholeSwitchTagDurationIsWrittenWithAFraction)
{
    settings().setHudDuration(1.0);
    addDisplays({2});
    runSelfTest();
    runToTheEnd();
    EXPECT_TRUE(printed.contains("PASS switch tag hid itself after 1.0s\n")) << qPrintable(printed);
}

TEST_F(SelfTestTest, ATargetWithAnAppOpensItAndSaysWhatCameToTheFront)
{
    addDisplays({2});
    addApp(500, "Editor");
    addWindow(9000, 500, 2);
    runSelfTest();
    runToTheEnd();
    EXPECT_TRUE(printed.contains("selftest: opening Editor on arrival\n")) << qPrintable(printed);
    EXPECT_TRUE(printed.contains("INFO front app after opening Editor: Editor (activation accepted)\n"))
        << qPrintable(printed);
    EXPECT_EQ(checks().size(), 10);
    EXPECT_EQ(status, 0) << qPrintable(printed);
}

TEST_F(SelfTestTest, TheTargetIsTheFirstOtherDesktopWithApps)
{
    addDisplays({4});
    addApp(500, "Editor");
    addWindow(9000, 500, 3);
    runSelfTest();
    ASSERT_FALSE(lines().isEmpty());
    EXPECT_TRUE(lines().first().startsWith("selftest: start on Desktop 1, switching to Desktop 3 "));
}

TEST_F(SelfTestTest, ADesktopAboveTenOnTheStartDisplayAddsTheStepChecks)
{
    addDisplays({13});
    runSelfTest();
    runToTheEnd();
    EXPECT_TRUE(printed.contains("selftest: stepping to Desktop 11 'Desktop 11'\n")) << qPrintable(printed);
    const QStringList found = checks();
    ASSERT_EQ(found.size(), 13) << qPrintable(printed);
    EXPECT_TRUE(found[10].startsWith("PASS stepped to Desktop 11 (")) << qPrintable(found[10]);
    EXPECT_EQ(found[11], "PASS without Mission Control");
    EXPECT_EQ(found[12], "PASS and back to Desktop 1");
    EXPECT_EQ(status, 0) << qPrintable(printed);
    EXPECT_EQ(active()->id(), 1u);
}

TEST_F(SelfTestTest, ADesktopAboveTenOnlyOnAnotherDisplayIsNotStepped)
{
    addDisplays({2, 11});
    runSelfTest();
    runToTheEnd();
    EXPECT_FALSE(printed.contains("stepping"));
    EXPECT_EQ(checks().size(), 10) << qPrintable(printed);
}

// --- failures ---

TEST_F(SelfTestTest, FewerThanTwoDesktopsEndAtOnceWithStatusOne)
{
    addDisplays({1});
    runSelfTest();
    EXPECT_EQ(lines(), QStringList{"selftest: need at least two desktops"});
    EXPECT_EQ(status, 1);
    runToTheEnd();
    EXPECT_EQ(lines().size(), 1);
    EXPECT_FALSE(switchesLog().contains("selftest"));
}

TEST_F(SelfTestTest, ASwitchThatNeverArrivesFailsAndLeavesTheUserOnTheStartDesktop)
{
    addDisplays({3});
    arriveFrom(3, 1);
    ASSERT_EQ(engine().lastDesktop()->id(), 3u);
    launch();
    engine().setSwitcher(std::make_unique<RefusingSwitcher>(QSet<quint64>{2}));
    runSelfTest();
    runToTheEnd();
    EXPECT_TRUE(printed.contains("FAIL engine sees the new desktop (Desktop 1)\n")) << qPrintable(printed);
    EXPECT_TRUE(printed.contains("FAIL completion reported the landing (never)\n"));
    EXPECT_TRUE(printed.contains("FAIL jump-back remembers Desktop 1\n"));
    // Jump back would have gone to desktop 3, where the user came from.
    EXPECT_TRUE(printed.contains("PASS jump back returned to Desktop 1\n"));
    EXPECT_TRUE(lines().last().startsWith("selftest: ")) << qPrintable(lines().last());
    EXPECT_TRUE(lines().last().endsWith(" failure(s)"));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(active()->id(), 1u);
}

TEST_F(SelfTestTest, AnArrivalAfterTheFirstChecksCountsAsNever)
{
    addDisplays({2});
    launch();
    engine().setSwitcher(std::make_unique<SlowSwitcher>(1.0));
    runSelfTest();
    runToTheEnd();
    EXPECT_TRUE(printed.contains("FAIL completion reported the landing (never)\n")) << qPrintable(printed);
    EXPECT_EQ(status, 1);
}

TEST_F(SelfTestTest, AQuickArrivalShowsItsTimeInWholeMilliseconds)
{
    addDisplays({2});
    launch();
    engine().setSwitcher(std::make_unique<SlowSwitcher>(0.2375));
    runSelfTest();
    advance(0.8);
    EXPECT_TRUE(printed.contains("PASS completion reported the landing (237ms)\n")) << qPrintable(printed);
}

TEST_F(SelfTestTest, AnArrivalExactlyThreeTenthsAfterTheRequestShows300Milliseconds)
{
    addDisplays({2});
    launch();
    engine().setSwitcher(std::make_unique<SlowSwitcher>(0.3));
    runSelfTest();
    advance(0.8);
    EXPECT_TRUE(printed.contains("PASS completion reported the landing (300ms)\n")) << qPrintable(printed);
}

TEST_F(SelfTestTest, AStepThatNeverArrivesStillEndsOnTheStartDesktop)
{
    addDisplays({13});
    launch();
    engine().setSwitcher(std::make_unique<RefusingSwitcher>(QSet<quint64>{11}));
    runSelfTest();
    runToTheEnd();
    EXPECT_TRUE(printed.contains("FAIL stepped to Desktop 11 ()\n")) << qPrintable(printed);
    // Jump back would have gone to the first target, desktop 2.
    EXPECT_TRUE(printed.contains("PASS and back to Desktop 1\n")) << qPrintable(printed);
    EXPECT_EQ(lines().last(), "selftest: 1 failure(s)");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(active()->id(), 1u);
}

TEST_F(SelfTestTest, ATileWithoutAButtonTitleFailsTheMenuBarCheck)
{
    settings().setMenuBarStyle(MenuBarStyle::iconOnly);
    addDisplays({2});
    runSelfTest();
    runToTheEnd();
    EXPECT_TRUE(printed.contains("FAIL menu bar title is ''\n")) << qPrintable(printed);
    EXPECT_EQ(status, 1);
}

} // namespace
