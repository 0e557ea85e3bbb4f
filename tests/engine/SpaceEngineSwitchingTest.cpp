#include "EngineTest.h"

#include "engine/SpaceEngine.h"
#include "store/LogFile.h"

#include <QFile>

namespace {

// Records requests and completes them on demand.
class FakeSwitcher final : public DesktopSwitching {
public:
    struct Request {
        quint64 desktop;
        QString reason;
        std::function<void(bool)> completion;
    };

    void switchTo(const Desktop& desktop, const QString& reason, std::function<void(bool)> completion) override
    {
        requests.push_back({desktop.id(), reason, std::move(completion)});
    }

    void complete(bool arrived)
    {
        ASSERT_FALSE(requests.empty());
        if (requests.back().completion)
            requests.back().completion(arrived);
    }

    std::vector<Request> requests;
};

} // namespace

class SpaceEngineSwitchingTest : public EngineTest {
protected:
    SpaceEngineSwitchingTest()
    {
        world().addDisplay(display(QStringLiteral("A"), {10, 11, 12}, 10));
        world().addDisplay(display(QStringLiteral("B"), {20}, 20, 2));
        addApp(500, QStringLiteral("Mail"));
        auto fake = std::make_unique<FakeSwitcher>();
        switcher_ = fake.get();
        engine().setSwitcher(std::move(fake));
    }

    static SpaceEngine& engine() { return SpaceEngine::shared(); }

    static QString switchesLog()
    {
        QFile file(LogFile::switches().path());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll());
    }

    SpaceApp mail() const { return SpaceApp{500, QStringLiteral("Mail"), QImage(), std::nullopt}; }

    FakeSwitcher* switcher_ = nullptr;
};

TEST_F(SpaceEngineSwitchingTest, SwitchHandsTheRequestOnWithItsReason)
{
    bool arrived = false;
    engine().switchTo(*engine().desktopWithID(11), QStringLiteral("hotkey"), [&](bool ok) { arrived = ok; });
    ASSERT_EQ(switcher_->requests.size(), 1u);
    EXPECT_EQ(switcher_->requests[0].desktop, 11u);
    EXPECT_EQ(switcher_->requests[0].reason, QStringLiteral("hotkey"));
    switcher_->complete(true);
    EXPECT_TRUE(arrived);
}

TEST_F(SpaceEngineSwitchingTest, WithoutASwitcherTheRequestFailsAtOnce)
{
    engine().setSwitcher(nullptr);
    std::optional<bool> arrived;
    engine().switchTo(*engine().desktopWithID(11), QStringLiteral("hotkey"), [&](bool ok) { arrived = ok; });
    EXPECT_EQ(arrived, false);
}

TEST_F(SpaceEngineSwitchingTest, SwitcherFactoryMakesTheSwitcherOnFirstUse)
{
    int made = 0;
    SpaceEngine::setSwitcherFactory([&](SpaceEngine&) {
        ++made;
        return std::make_unique<FakeSwitcher>();
    });
    engine().setSwitcher(nullptr);
    EXPECT_NE(engine().switcher(), nullptr);
    EXPECT_NE(engine().switcher(), nullptr);
    EXPECT_EQ(made, 1);
    SpaceEngine::setSwitcherFactory({});
}

TEST_F(SpaceEngineSwitchingTest, JumpBackRightAfterLaunchDoesNothing)
{
    engine().jumpBack();
    EXPECT_TRUE(switcher_->requests.empty());
}

TEST_F(SpaceEngineSwitchingTest, JumpBackGoesToTheLastDesktop)
{
    world().setCurrentSpace(QStringLiteral("A"), 12);
    engine().refresh(false);
    engine().jumpBack();
    ASSERT_EQ(switcher_->requests.size(), 1u);
    EXPECT_EQ(switcher_->requests[0].desktop, 10u);
    EXPECT_EQ(switcher_->requests[0].reason, QStringLiteral("jump back"));
}

TEST_F(SpaceEngineSwitchingTest, StepWrapsWithinTheActiveDisplay)
{
    world().setCurrentSpace(QStringLiteral("A"), 12);
    engine().refresh(false);
    engine().step(+1);
    engine().step(-1);
    ASSERT_EQ(switcher_->requests.size(), 2u);
    EXPECT_EQ(switcher_->requests[0].desktop, 10u);
    EXPECT_EQ(switcher_->requests[0].reason, QStringLiteral("step"));
    EXPECT_EQ(switcher_->requests[1].desktop, 11u);
}

TEST_F(SpaceEngineSwitchingTest, StepOnADisplayWithOneDesktopTargetsThatDesktop)
{
    world().setActiveMenuBarDisplay(QStringLiteral("B"));
    engine().step(+1);
    ASSERT_EQ(switcher_->requests.size(), 1u);
    EXPECT_EQ(switcher_->requests[0].desktop, 20u);
}

TEST_F(SpaceEngineSwitchingTest, StepFromAFullScreenSpaceFallsBackToAShownDesktop)
{
    world().addSpace(QStringLiteral("A"), {13, 13, 4, {}});
    world().setCurrentSpace(QStringLiteral("A"), 13);
    engine().refresh(false);
    // The active display shows no desktop; the first current one (display B) steps.
    engine().step(+1);
    ASSERT_EQ(switcher_->requests.size(), 1u);
    EXPECT_EQ(switcher_->requests[0].desktop, 20u);
}

TEST_F(SpaceEngineSwitchingTest, SwitchThenActivateBringsTheAppForward)
{
    std::optional<bool> done;
    engine().switchToThenActivate(*engine().desktopWithID(11), mail(), QStringLiteral("app"),
                                  [&](bool ok) { done = ok; });
    EXPECT_EQ(switcher_->requests[0].reason, QStringLiteral("app"));
    switcher_->complete(true);
    EXPECT_EQ(done, true);
    EXPECT_EQ(world().frontmostApp(), 500);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("] brought Mail to the front: accessibility=ok activate=accepted")));
    const auto element = platform::AX::createApplication(500);
    EXPECT_FLOAT_EQ(world().messagingTimeout(element), 0.3f);
}

TEST_F(SpaceEngineSwitchingTest, FailedSwitchOnlyReportsFailure)
{
    std::optional<bool> done;
    engine().switchToThenActivate(*engine().desktopWithID(11), mail(), QStringLiteral("app"),
                                  [&](bool ok) { done = ok; });
    switcher_->complete(false);
    EXPECT_EQ(done, false);
    EXPECT_TRUE(world().activationRequests().isEmpty());
    EXPECT_FALSE(switchesLog().contains(QStringLiteral("brought")));
}

TEST_F(SpaceEngineSwitchingTest, BringToFrontWithoutAccessibilityOnlyActivates)
{
    world().setTrusted(false);
    world().setAppRefusesActivation(500, true);
    std::optional<bool> done;
    engine().bringToFront(true, mail(), [&](bool ok) { done = ok; });
    EXPECT_EQ(done, true);
    const QString log = switchesLog();
    EXPECT_TRUE(log.contains(QStringLiteral("] brought Mail to the front: activate=refused"))) << qPrintable(log);
}

TEST_F(SpaceEngineSwitchingTest, BringToFrontOfAVanishedAppIsLoggedAndStillCompletes)
{
    world().setAppTerminated(500, true);
    std::optional<bool> done;
    engine().bringToFront(true, mail(), [&](bool ok) { done = ok; });
    EXPECT_EQ(done, true);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("] could not bring Mail to the front: it is no longer running")));
    world().removeApp(500);
    engine().bringToFront(true, mail(), {});
    EXPECT_EQ(switchesLog().count(QStringLiteral("could not bring Mail")), 2);
}

TEST_F(SpaceEngineSwitchingTest, BringToFrontReportsAnAccessibilityError)
{
    world().setElementError(platform::AX::createApplication(500), platform::AX::Error::cannotComplete);
    engine().bringToFront(true, mail(), {});
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("accessibility=error -25204 activate=accepted")));
}

TEST_F(SpaceEngineSwitchingTest, MoveFrontWindowMovesAndFollows)
{
    addWindow(1, 500, 10);
    addWindow(2, 500, 11);
    const auto app = platform::Workspace::runningApplication(500);
    EXPECT_TRUE(engine().moveFrontWindow(*engine().desktopWithID(12), app, false));
    EXPECT_EQ(world().window(1)->spaces, QList<quint64>{12});
    EXPECT_EQ(world().window(2)->spaces, QList<quint64>{11});
    EXPECT_TRUE(switcher_->requests.empty());

    addWindow(3, 500, 10);
    EXPECT_TRUE(engine().moveFrontWindow(*engine().desktopWithID(11), app, true));
    ASSERT_EQ(switcher_->requests.size(), 1u);
    EXPECT_EQ(switcher_->requests[0].reason, QStringLiteral("move window"));
    switcher_->complete(true);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("brought Mail to the front")));
}

TEST_F(SpaceEngineSwitchingTest, MovedWindowForcesTheNextAppsRebuild)
{
    addWindow(1, 500, 10);
    engine().appsByDesktop(true);
    EXPECT_EQ(engine().apps(*engine().desktopWithID(10)).size(), 1);
    engine().moveFrontWindow(*engine().desktopWithID(11), platform::Workspace::runningApplication(500), false);
    engine().appsByDesktop(false);
    EXPECT_TRUE(engine().apps(*engine().desktopWithID(10)).isEmpty());
    EXPECT_EQ(engine().apps(*engine().desktopWithID(11)).size(), 1);
}

TEST_F(SpaceEngineSwitchingTest, NothingToMoveAnswersFalse)
{
    addApp(501, QStringLiteral("Tiny"));
    addWindow(1, 501, 10, 80, 60);
    addWindow(2, world().ownPID(), 10);
    EXPECT_FALSE(engine().moveFrontWindow(*engine().desktopWithID(11), std::nullopt, true));
    EXPECT_FALSE(engine().moveFrontWindow(*engine().desktopWithID(11), platform::Workspace::runningApplication(501), true));
    platform::RunningApplication own;
    own.processIdentifier = world().ownPID();
    EXPECT_FALSE(engine().moveFrontWindow(*engine().desktopWithID(11), own, true));
    EXPECT_TRUE(switcher_->requests.empty());
    EXPECT_EQ(world().window(2)->spaces, QList<quint64>{10});
}
