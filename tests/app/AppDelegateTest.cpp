#include "AppTest.h"

#include "app/CopyLock.h"
#include "app/MainMenu.h"
#include "menubar/StatusBarController.h"
#include "platform/AppBundles.h"
#include "platform/Application.h"
#include "platform/Bundle.h"
#include "platform/Folders.h"
#include "platform/Lifetime.h"
#include "platform/NotificationCenter.h"
#include "platform/PreferenceDomain.h"
#include "platform/Workspace.h"
#include "platform/linux/DetachedStarts.h"
#include "platform/linux/RealCopies.h"
#include "platform/sim/AppTermination.h"
#include "platform/sim/Bundle.h"
#include "platform/sim/DialogScript.h"
#include "platform/sim/Volumes.h"
#include "platform/sim/World.h"
#include "settings/EditorPopover.h"
#include "settings/HeroTile.h"
#include "settings/SettingsModel.h"
#include "store/SpaceStore.h"
#include "support/LockElsewhere.h"
#include "support/LoopbackServer.h"
#include "support/SilentServer.h"
#include "support/TestProcesses.h"
#include "switching/SystemShortcuts.h"
#include "ui/AppIcon.h"
#include "ui/EditSpaceView.h"
#include "ui/HostedWindow.h"
#include "update/Updates.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace {

using platform::sim::World;

int countMetaChanges(std::vector<platform::NotificationCenter::Subscription>& keep, int& count)
{
    keep.push_back(platform::NotificationCenter::defaultCenter().observe(QStringLiteral("Tessaroom.spaceMetaChanged"),
                                                                        [&count] { ++count; }));
    return 0;
}

void addCopy(qint32 pid, std::optional<QString> path)
{
    platform::sim::AppSpec app;
    app.pid = pid;
    app.bundleID = platform::Bundle::identifier().value();
    app.bundlePath = std::move(path);
    World::shared().addApp(app);
}

// --- launch -----------------------------------------------------------------------------

TEST_F(AppTest, LaunchRunsToTheEndOnTheDefaultWorld)
{
    World::shared().setTrusted(false);
    delegate->launch();
    EXPECT_EQ(delegate->launchEnd(), AppDelegate::LaunchEnd::complete);
    // The Accessibility monitor started and asked the system to prompt once.
    EXPECT_EQ(World::shared().trustPromptCount(), 1);
    EXPECT_EQ(delegate->presenting(), false);
    EXPECT_TRUE(delegate->sawUntrusted());
}

TEST_F(AppTest, EveryWindowCarriesTheAppsOneIcon)
{
    const QIcon icon = QGuiApplication::windowIcon();
    ASSERT_FALSE(icon.isNull());
    const QImage shown = icon.pixmap(QSize(64, 64), 1.0).toImage();
    const QImage mark = AppIcon::image()->render(1);
    ASSERT_EQ(shown.size(), mark.size());
    for (const QPoint point : {QPoint(21, 21), QPoint(43, 43), QPoint(8, 32), QPoint(32, 8)})
        EXPECT_EQ(shown.pixelColor(point), mark.pixelColor(point)) << point.x() << "," << point.y();

    delegate->openSettings(std::nullopt);
    ASSERT_TRUE(delegate->settingsWindow());
    EXPECT_EQ(delegate->settingsWindow()->window()->windowIcon().cacheKey(), icon.cacheKey());
    delegate->showOnboarding();
    ASSERT_TRUE(delegate->onboardingWindow());
    EXPECT_EQ(delegate->onboardingWindow()->window()->windowIcon().cacheKey(), icon.cacheKey());
}

TEST_F(AppTest, TheSwitchTagFollowsSwitchesWhileItIsOn)
{
    delegate->launch();
    const QString uuid = World::shared().displays().first().uuid;
    const quint64 second = World::shared().displays().first().spaces[1].id;
    World::shared().setCurrentSpace(uuid, second);
    clock().runPending();
    advance(0.05);
    HUDPanel* panel = delegate->hud().panel(uuid);
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->state().desktop()->id(), second);

    settings.setHudEnabled(false);
    advance(2);
    const quint64 third = World::shared().displays().first().spaces[2].id;
    World::shared().setCurrentSpace(uuid, third);
    clock().runPending();
    advance(0.05);
    EXPECT_EQ(panel->state().desktop()->id(), second);
}

TEST_F(AppTest, APendingInstallOfTheRunningVersionIsConfirmedOnce)
{
    const QString version = platform::Bundle::shortVersion().value();
    settings.setUpdateInstalling(version);
    delegate->launch();
    EXPECT_TRUE(settings.updateInstalling().isEmpty());
    EXPECT_TRUE(updatesLog().contains(QStringLiteral("running ") + version + QStringLiteral(" after the install")));
    ASSERT_TRUE(lastToast());
    EXPECT_EQ(lastToast()->text, QStringLiteral("Tessaroom is now ") + version + QStringLiteral("."));
}

TEST_F(AppTest, APendingInstallOfAnotherVersionIsOnlyLogged)
{
    settings.setUpdateInstalling(QStringLiteral("9.9.9"));
    delegate->launch();
    EXPECT_TRUE(settings.updateInstalling().isEmpty());
    EXPECT_TRUE(updatesLog().contains(QStringLiteral("expected 9.9.9 after the install, running ")));
    EXPECT_FALSE(lastToast());
}

TEST_F(AppTest, EachUpdateVersionIsAnnouncedOnce)
{
    delegate->updateAvailable(QStringLiteral("2.0"));
    ASSERT_TRUE(lastToast());
    EXPECT_EQ(lastToast()->text, QStringLiteral("Tessaroom 2.0 is out. Get it from the menu bar tile."));
    delegate->hud().hideAll();
    delegate->updateAvailable(QStringLiteral("2.0"));
    clock().runPending();
    EXPECT_FALSE(toastShowing());
    EXPECT_EQ(settings.updateAnnounced(), QStringLiteral("2.0"));
}

TEST_F(AppTest, TheMissingAccessToastIsShownOncePerProcess)
{
    delegate->missionControlClosedWithoutAccess();
    ASSERT_TRUE(lastToast());
    EXPECT_EQ(lastToast()->symbol, QStringLiteral("exclamationmark.triangle.fill"));
    delegate->hud().hideAll();
    delegate->missionControlClosedWithoutAccess();
    clock().runPending();
    EXPECT_FALSE(toastShowing());
}

TEST_F(AppTest, ReopenOpensSettingsOnTheSamePageAndAnswersFalse)
{
    delegate->openSettings(SettingsPage::about);
    EXPECT_FALSE(delegate->applicationShouldHandleReopen(true));
    EXPECT_FALSE(delegate->applicationShouldHandleReopen(false));
    EXPECT_EQ(delegate->settingsModel().page(), SettingsPage::about);
}

// --- the end of the app -----------------------------------------------------------------------

TEST_F(AppTest, AFeedCheckStillConnectingWhenTheAppEndsClosesItsConnection)
{
    SilentServer feed;
    qputenv("TESSAROOM_UPDATE_FEED", (feed.origin() + QStringLiteral("/update.json")).toUtf8());
    delegate->launch();
    advance(Updates::firstTickDelay);
    ASSERT_TRUE(waitUntil([&] { return feed.accept(); }));
    // What ends every test: the event loop does not turn again.
    delegate.reset();
    platform::resetSharedInstances();
    EXPECT_TRUE(feed.closedByClient());
}

// --- presentation mode and the settings sink ------------------------------------------------

TEST_F(AppTest, TurningPresentationOnAsTheFirstChangeAfterLaunchIsNoticed)
{
    std::vector<platform::NotificationCenter::Subscription> keep;
    int posts = 0;
    countMetaChanges(keep, posts);
    delegate->launch();
    delegate->togglePresentation();
    advance(0.06);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("presentation mode on")));
    EXPECT_EQ(posts, 1);
    ASSERT_TRUE(lastToast());
    EXPECT_EQ(lastToast()->symbol, QStringLiteral("eye.slash.fill"));
    EXPECT_EQ(lastToast()->text, QStringLiteral("Presentation mode: every desktop shows as its number. Press ")
                                     + settings.presentationHotkey()->display()
                                     + QStringLiteral(" again to bring them back."));
    // 3.5 s on screen.
    advance(3.4);
    EXPECT_TRUE(toastShowing());
    advance(0.2);
    EXPECT_FALSE(toastShowing());

    delegate->togglePresentation();
    advance(0.06);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("presentation mode off")));
    EXPECT_EQ(lastToast()->text, QStringLiteral("Presentation mode off. Your names are back."));
    EXPECT_EQ(posts, 2);
    advance(1.9);
    EXPECT_TRUE(toastShowing());
    advance(0.2);
    EXPECT_FALSE(toastShowing());
}

TEST_F(AppTest, WithoutAPresentationHotkeyTheHintPointsToTheTile)
{
    settings.setPresentationHotkey(std::nullopt);
    delegate->launch();
    advance(0.1);
    settings.setPresenting(true);
    advance(0.06);
    ASSERT_TRUE(lastToast());
    EXPECT_TRUE(lastToast()->text.endsWith(QStringLiteral(" Turn it off from the menu bar tile.")));
}

TEST_F(AppTest, ABurstOfChangesRunsTheSinkOnceAndOtherSettingsStayQuiet)
{
    std::vector<platform::NotificationCenter::Subscription> keep;
    int posts = 0;
    countMetaChanges(keep, posts);
    delegate->launch();
    settings.setHudSize(HUDSize::large);
    advance(0.06);
    EXPECT_EQ(posts, 0);
    EXPECT_FALSE(lastToast());

    // On and off again within the debounce: nothing to tell.
    settings.setPresenting(true);
    advance(0.02);
    settings.setPresenting(false);
    advance(0.02);
    settings.setHudDuration(2);
    advance(0.06);
    EXPECT_EQ(posts, 0);
    EXPECT_FALSE(switchesLog().contains(QStringLiteral("presentation mode")));
}

// --- hotkey actions ----------------------------------------------------------------------------

TEST_F(AppTest, TheHotkeyToastIsTheRealOne)
{
    AppActions& actions = *delegate;
    actions.toast(QStringLiteral("Moved Mail to Desktop 2"), QStringLiteral("arrow.right"), 1.4);
    clock().runPending();
    EXPECT_TRUE(toastShowing());
    EXPECT_EQ(lastToast()->text, QStringLiteral("Moved Mail to Desktop 2"));
}

// --- Accessibility ------------------------------------------------------------------------------

TEST_F(AppTest, AGrantAfterAMissingPermissionRelaunchesOnce)
{
    World::shared().setTrusted(false);
    delegate->launch();
    EXPECT_TRUE(delegate->sawUntrusted());
    World::shared().setTrusted(true);
    Accessibility::shared().refresh(false);
    ASSERT_TRUE(lastToast());
    EXPECT_EQ(lastToast()->text, QStringLiteral("Accessibility is on. Tessaroom restarts once so switching is instant."));
    advance(1.5);
    EXPECT_TRUE(platform::host::detachedStarts().empty());
    advance(0.2);
    ASSERT_EQ(platform::host::detachedStarts().size(), 1u);
    EXPECT_TRUE(platform::Application::isTerminating());
}

TEST_F(AppTest, TheSystemShortcutsAreTurnedOnOnceWhenTrusted)
{
    // No desktop shortcut on yet.
    settings.setNativeSwitching(true);
    settings.setAutoEnabledShortcuts(false);
    ASSERT_EQ(SystemShortcuts::enabledDesktopCount(), 0) << "the default world should start without shortcuts";
    delegate->launch();
    EXPECT_TRUE(settings.autoEnabledShortcuts());
    EXPECT_EQ(SystemShortcuts::enabledDesktopCount(), 4);
    advance(1.49);
    EXPECT_FALSE(lastToast());
    advance(0.02);
    ASSERT_TRUE(lastToast());
    EXPECT_TRUE(lastToast()->text.startsWith(QStringLiteral("Turned on macOS shortcuts \u23031\u2013\u23034 so switching")));
    EXPECT_EQ(lastToast()->symbol, QStringLiteral("keyboard"));

    // The next launch leaves them alone.
    delegate.reset();
    delegate = std::make_unique<AppDelegate>(SpaceEngine::shared(), settings, Accessibility::shared(), AppDelegate::Options{});
    delegate->launch();
    advance(2);
    EXPECT_FALSE(lastToast());
}

// --- other copies ----------------------------------------------------------------------------------

TEST_F(AppTest, OtherCopiesAreRetiredAndARefusingOneIsForced)
{
    const QString id = platform::Bundle::identifier().value();
    addCopy(700, QStringLiteral("/Applications/Tessaroom.app"));
    addCopy(701, std::nullopt);
    addCopy(World::shared().ownPID(), std::nullopt);
    platform::sim::setAppRefusesTermination(701, true);
    delegate->retireOtherCopies();
    const QString log = switchesLog();
    EXPECT_TRUE(log.contains(QStringLiteral("retiring running copy pid 700 at /Applications/Tessaroom.app")));
    EXPECT_TRUE(log.contains(QStringLiteral("retiring running copy pid 701 at ?")));
    EXPECT_FALSE(log.contains(QStringLiteral("pid ") + QString::number(World::shared().ownPID())));
    EXPECT_EQ(platform::sim::terminationRequests(),
              (QList<QString>{QStringLiteral("terminate 700"), QStringLiteral("terminate 701"), QStringLiteral("force 701")}));
    EXPECT_TRUE(platform::Workspace::runningApplications(id).size() == 1);
}

TEST_F(AppTest, NothingIsShownUntilTheOtherCopiesAreRetired)
{
    // A copy that has ended by the time it is waited for.
    const qint32 copy = qint32(TestProcesses::endedProcessId());
    bool tileWhileAsked = true;
    platform::host::setRealCopies({
        .find = [copy] { return QList<platform::host::RealCopies::Found>{{.copy = {.pid = copy, .bundlePath = std::nullopt}, .process = nullptr}}; },
        .askToQuit =
            [&](qint32, double) {
                tileWhileAsked = delegate->statusBar() != nullptr;
                return true;
            },
    });
    delegate->launch();
    EXPECT_FALSE(tileWhileAsked);
    EXPECT_EQ(delegate->launchEnd(), AppDelegate::LaunchEnd::complete);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("retiring running copy pid %1 at ?").arg(copy)));
}

TEST_F(AppTest, ANewcomerIsSeenOnItsWayFromAskingTheCopyToQuitUntilItListens)
{
    const QString socketPath = home() + QStringLiteral("/run/links");
    CopyLock running(socketPath);
    CopyLock newcomer(socketPath);
    CopyLock sender(socketPath);
    ASSERT_EQ(running.take(), CopyLock::Take::taken);
    QProcess ended;
    ended.start(QStringLiteral("/bin/true"));
    ASSERT_TRUE(ended.waitForFinished(10000));
    const qint32 copy = qint32(ended.processId());
    std::vector<CopyLock::Look> seen;
    const auto look = [&] {
        seen.push_back(sender.claimUnlessACopyRuns(CopyLock::Claim::ownWorld).look);
        sender.release();
    };
    platform::host::setRealCopies({
        .find = [&] {
            return running.isHeld() ? QList<platform::host::RealCopies::Found>{{.copy = {.pid = copy, .bundlePath = std::nullopt}, .process = nullptr}}
                                    : QList<platform::host::RealCopies::Found>{};
        },
        // The copy lets go as it ends.
        .askToQuit =
            [&](qint32, double) {
                running.release();
                look();
                return true;
            },
    });
    delegate = std::make_unique<AppDelegate>(SpaceEngine::shared(), settings, Accessibility::shared(),
                                             AppDelegate::Options{.arguments = {}, .copyLock = &newcomer});
    delegate->launch();
    EXPECT_EQ(delegate->launchEnd(), AppDelegate::LaunchEnd::complete);
    // Listening, it is on its way no more.
    newcomer.release();
    look();
    EXPECT_EQ(seen, (std::vector<CopyLock::Look>{CopyLock::Look::copyComing, CopyLock::Look::noCopy}));
}

TEST_F(AppTest, ALaunchThatCannotHoldItsLocksLeavesTheRunningCopyAloneSaysWhyAndQuits)
{
    addCopy(700, QStringLiteral("/Applications/Tessaroom.app"));
    CopyLock lock(home() + QStringLiteral("/run/links"));
    // Another process keeps to itself the mark that says a new copy is on its way.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(lock.comingPath()).path()));
    LockElsewhere marked(lock.comingPath());
    ASSERT_TRUE(marked.holding());
    const auto launchWith = [&] {
        delegate = std::make_unique<AppDelegate>(SpaceEngine::shared(), settings, Accessibility::shared(),
                                                 AppDelegate::Options{.arguments = {}, .copyLock = &lock});
        delegate->launch();
        EXPECT_EQ(delegate->statusBar(), nullptr);
        EXPECT_FALSE(lock.isHeld());
        EXPECT_TRUE(platform::sim::terminationRequests().isEmpty());
        return delegate->anotherCopyProblem();
    };
    QString problem = launchWith();
    EXPECT_EQ(delegate->launchEnd(), AppDelegate::LaunchEnd::noComingMark);
    EXPECT_TRUE(problem.contains(lock.comingPath())) << qPrintable(problem);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("this copy cannot tell senders it is on its way (") + problem
                                       + QStringLiteral("); this copy quits")));
    marked.letGo();

    // Without a preferences folder no lock can be had.
    QFile notAFolder(QFileInfo(lock.path()).path());
    ASSERT_TRUE(QDir(notAFolder.fileName()).removeRecursively() && notAFolder.open(QIODevice::WriteOnly));
    problem = launchWith();
    EXPECT_EQ(delegate->launchEnd(), AppDelegate::LaunchEnd::noCopyLock);
    EXPECT_TRUE(problem.contains(notAFolder.fileName())) << qPrintable(problem);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("which copy runs cannot be told (") + problem
                                       + QStringLiteral("); this copy quits")));
    EXPECT_EQ(lock.claimUnlessACopyRuns(CopyLock::Claim::ownWorld).look, CopyLock::Look::cannotTell);
    EXPECT_FALSE(lock.announceComing());
    EXPECT_EQ(notAFolder.size(), 0);
}

TEST_F(AppTest, TimeCountsOnlyWhileThisLaunchIsTheCopy)
{
    const qint64 desktop = SpaceEngine::shared().activeDesktop()->managedID();
    // Waiting for another copy to go: that copy counts these seconds.
    advance(10);
    delegate->launch();
    advance(3);
    EXPECT_DOUBLE_EQ(SpaceStore::shared().meta(desktop).seconds, 3.0);
    // Agreed to quit: the copy that follows counts from here.
    delegate->applicationWillTerminate();
    advance(3);
    EXPECT_DOUBLE_EQ(SpaceStore::shared().meta(desktop).seconds, 3.0);
}

TEST_F(AppTest, TheNamesARetiredCopySavedOnItsWayOutAreReadAgain)
{
    addCopy(700, QStringLiteral("/Applications/Tessaroom.app"));
    const qint64 second = SpaceEngine::shared().desktopWithNumber(2)->managedID();
    ASSERT_EQ(SpaceStore::shared().meta(second).name, QString());
    // What the other copy wrote while this one was starting.
    SpaceMeta renamed;
    renamed.name = QStringLiteral("Writing");
    platform::PreferenceDomain::standard().setData(SpaceStore::documentKey,
                                                   SpaceMetaDocument::encode({{second, renamed}}).value());
    delegate->retireOtherCopies();
    EXPECT_EQ(SpaceStore::shared().meta(second).name, QStringLiteral("Writing"));
    // This copy's next write keeps it.
    SpaceStore::shared().change(second, [](SpaceMeta& meta) { meta.icon = SpaceIcon::symbol(QStringLiteral("bolt.fill")); });
    SpaceStore::shared().flushNow();
    const auto stored = SpaceMetaDocument::decode(
        platform::PreferenceDomain::standard().data(SpaceStore::documentKey).value_or(QByteArray()));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored.value().at(second).name, QStringLiteral("Writing"));
}

TEST_F(AppTest, ASampleSessionLeavesOtherCopiesAlone)
{
    addCopy(700, QStringLiteral("/Applications/Tessaroom.app"));
    delegate = std::make_unique<AppDelegate>(SpaceEngine::shared(), settings, Accessibility::shared(),
                                             AppDelegate::Options{.arguments = {QStringLiteral("tessaroom"),
                                                                                QStringLiteral("--sample")}});
    delegate->launch();
    EXPECT_EQ(delegate->launchEnd(), AppDelegate::LaunchEnd::complete);
    EXPECT_TRUE(platform::sim::terminationRequests().isEmpty());
    EXPECT_FALSE(switchesLog().contains(QStringLiteral("retiring")));
    EXPECT_FALSE(delegate->servesLinks());
}

TEST_F(AppTest, OnlyTheUsersOwnCopyTakesTheLinks)
{
    EXPECT_FALSE(delegate->servesLinks());
    delegate->launch();
    EXPECT_TRUE(delegate->servesLinks());
    std::vector<int> exits;
    for (const QStringList& mode : {QStringList{QStringLiteral("--switch"), QStringLiteral("2")},
                                    QStringList{QStringLiteral("--diagnose")}}) {
        delegate = std::make_unique<AppDelegate>(
            SpaceEngine::shared(), settings, Accessibility::shared(),
            AppDelegate::Options{.arguments = QStringList{QStringLiteral("tessaroom")} + mode,
                                 .exit = [&exits](int status) { exits.push_back(status); }});
        delegate->launch();
        EXPECT_NE(delegate->launchEnd(), AppDelegate::LaunchEnd::complete) << qPrintable(mode.join(' '));
        EXPECT_FALSE(delegate->servesLinks()) << qPrintable(mode.join(' '));
    }
}

TEST_F(AppTest, WithoutABundleIdentifierNoCopyIsRetired)
{
    addCopy(700, std::nullopt);
    platform::sim::setBundleIdentifier(std::nullopt);
    delegate->retireOtherCopies();
    EXPECT_TRUE(platform::sim::terminationRequests().isEmpty());
}

// --- relaunch and the move to Applications ----------------------------------------------------------

TEST_F(AppTest, RelaunchPassesThePidAndPathAsSeparateArguments)
{
    const QString path = QStringLiteral("/Volumes/Tessaroom \"1\"/Tessaroom.app");
    EXPECT_TRUE(delegate->relaunch(path));
    const auto starts = platform::host::detachedStarts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].executable, QStringLiteral("/bin/sh"));
    const QStringList& arguments = starts[0].arguments;
    ASSERT_GE(arguments.size(), 5);
    EXPECT_EQ(arguments[0], QStringLiteral("-c"));
    EXPECT_FALSE(arguments[1].contains(path));
    EXPECT_EQ(arguments[3], QString::number(World::shared().ownPID()));
    EXPECT_EQ(arguments.mid(4), platform::AppBundles::openCommand(path));
    EXPECT_TRUE(platform::Application::isTerminating());
}

TEST_F(AppTest, ARelaunchThatCannotStartKeepsTheAppRunning)
{
    platform::host::failDetachedStarts(QStringLiteral("no shell here"));
    EXPECT_FALSE(delegate->relaunchFromBundle());
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("relaunch failed: no shell here")));
    EXPECT_FALSE(platform::Application::isTerminating());
}

class MoveTest : public AppTest {
protected:
    MoveTest()
    {
        image = home() + QStringLiteral("/Volumes/Tessaroom");
        applications = home() + QStringLiteral("/Applications");
        QDir().mkpath(image + QStringLiteral("/Tessaroom.app"));
        QDir().mkpath(applications);
        platform::sim::setExecutablePath(image + QStringLiteral("/Tessaroom.app/Contents/MacOS/tessaroom"));
        platform::sim::setReadOnlyFolder(image, true);
        platform::sim::setApplicationsFolders(QStringList{home() + QStringLiteral("/missing"), applications});
        delegate->setMoveApp([this](const QString& source, const QString& target) {
            moves.append(source + QStringLiteral(" -> ") + target);
            return moveFailure;
        });
    }

    QString image;
    QString applications;
    QStringList moves;
    std::optional<QString> moveFailure;
};

TEST_F(MoveTest, ACopyOnAWritableVolumeIsNotOffered)
{
    platform::sim::setReadOnlyFolder(image, false);
    EXPECT_FALSE(delegate->offerMoveToApplications());
    EXPECT_TRUE(platform::sim::shownAlerts().empty());
}

TEST_F(MoveTest, ABareProgramOnAReadOnlyVolumeIsNotOfferedTheMove)
{
    // Only a bundle can be moved; a program outside one says why it stays.
    const QString program = image + QStringLiteral("/tessaroom");
    platform::sim::setExecutablePath(program);
    EXPECT_FALSE(delegate->offerMoveToApplications());
    EXPECT_TRUE(platform::sim::shownAlerts().empty());
    EXPECT_TRUE(moves.isEmpty());
    EXPECT_TRUE(updatesLog().contains(QStringLiteral("running from %1; this copy does not run from an app bundle, so it "
                                                     "cannot replace itself")
                                          .arg(program)));
}

TEST_F(MoveTest, NoWritableApplicationsFolderMeansNoOffer)
{
    platform::sim::setApplicationsFolders(QStringList{home() + QStringLiteral("/missing")});
    EXPECT_FALSE(delegate->offerMoveToApplications());
    EXPECT_TRUE(platform::sim::shownAlerts().empty());
}

TEST_F(MoveTest, DecliningIsLoggedAndTheLaunchGoesOn)
{
    platform::sim::answerNextAlert(platform::ModalResponse::alertSecondButton);
    delegate->launch();
    EXPECT_EQ(delegate->launchEnd(), AppDelegate::LaunchEnd::complete);
    const auto alerts = platform::sim::shownAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, QStringLiteral("Move Tessaroom to Applications?"));
    EXPECT_EQ(alerts[0].buttons, (QStringList{QStringLiteral("Move to Applications"), QStringLiteral("Not Now")}));
    EXPECT_TRUE(updatesLog().contains(QStringLiteral("running from ") + image
                                      + QStringLiteral("/Tessaroom.app; the move to Applications was declined")));
    EXPECT_TRUE(moves.isEmpty());
}

TEST_F(MoveTest, AMoveRelaunchesFromTheNewPlaceAndEndsTheLaunch)
{
    platform::sim::answerNextAlert(platform::ModalResponse::alertFirstButton);
    delegate->launch();
    EXPECT_EQ(delegate->launchEnd(), AppDelegate::LaunchEnd::moved);
    const QString target = applications + QStringLiteral("/Tessaroom.app");
    EXPECT_EQ(moves, QStringList{image + QStringLiteral("/Tessaroom.app -> ") + target});
    EXPECT_TRUE(updatesLog().contains(QStringLiteral("moved from ") + image + QStringLiteral("/Tessaroom.app to ") + target
                                      + QStringLiteral(", relaunching from there")));
    ASSERT_EQ(platform::host::detachedStarts().size(), 1u);
    EXPECT_EQ(platform::host::detachedStarts()[0].arguments.mid(4), platform::AppBundles::openCommand(target));
}

TEST_F(MoveTest, AMoveWhoseRelaunchCannotStartLetsTheLaunchGoOn)
{
    platform::sim::answerNextAlert(platform::ModalResponse::alertFirstButton);
    platform::host::failDetachedStarts(QStringLiteral("fork failed"));
    delegate->launch();
    EXPECT_EQ(delegate->launchEnd(), AppDelegate::LaunchEnd::complete);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("relaunch failed: fork failed")));
    EXPECT_FALSE(platform::Application::isTerminating());
}

TEST_F(MoveTest, AFailedMoveExplainsItselfWithACapitalFirstLetter)
{
    moveFailure = QStringLiteral("the disk is full");
    platform::sim::answerNextAlert(platform::ModalResponse::alertFirstButton);
    platform::sim::answerNextAlert();
    EXPECT_FALSE(delegate->offerMoveToApplications());
    EXPECT_TRUE(updatesLog().contains(QStringLiteral("move to Applications failed: the disk is full")));
    const auto alerts = platform::sim::shownAlerts();
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_EQ(alerts[1].messageText, QStringLiteral("The move did not go through"));
    EXPECT_EQ(alerts[1].informativeText,
              QStringLiteral("The disk is full. Drag Tessaroom into Applications by hand and open it from there."));
}

// --- commands ---------------------------------------------------------------------------------------

TEST_F(AppTest, DiagnosticsEndWithTheMissionControlLogTail)
{
    LogFile::missionControl().write(QStringLiteral("closed after 2.0 s"));
    const QString text = delegate->diagnosticsText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Tessaroom ")));
    const qsizetype header = text.indexOf(QStringLiteral("\n--- mission-control.log (tail) ---\n"));
    ASSERT_GE(header, 0);
    EXPECT_TRUE(text.endsWith(QStringLiteral("closed after 2.0 s\n")));
    // Before the launch there is no tile to describe.
    EXPECT_FALSE(text.contains(QStringLiteral("menu bar tile: ")));
    delegate->launch();
    EXPECT_TRUE(delegate->diagnosticsText().contains(QStringLiteral("\nmenu bar tile: ") + delegate->statusBar()->debugLine()
                                                     + QStringLiteral("\n")));
}

TEST_F(AppTest, SettingsWithAPageChangeItWithoutOneKeepIt)
{
    delegate->openSettings(SettingsPage::general);
    EXPECT_EQ(delegate->settingsModel().page(), SettingsPage::general);
    delegate->openSettings(std::nullopt);
    EXPECT_EQ(delegate->settingsModel().page(), SettingsPage::general);
    delegate->showSettingsFromMenu();
    EXPECT_EQ(delegate->settingsModel().page(), SettingsPage::general);
}

TEST_F(AppTest, PreviewShowsTheActiveDesktopsTag)
{
    delegate->previewSwitchTag();
    ASSERT_TRUE(delegate->hud().panel(SwitchHUD::previewKey));
    clock().runPending();
    EXPECT_TRUE(delegate->hud().isShowing());
}

// --- main menu ------------------------------------------------------------------------------------------

TEST_F(AppTest, TheMainMenuHasItsThreeMenusAndShortcuts)
{
    QMenuBar& bar = MainMenu::install(*delegate);
    const QList<QAction*> menus = bar.actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("Tessaroom"));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("Edit"));
    EXPECT_EQ(menus[2]->text(), QStringLiteral("Window"));
    auto items = [&](int index) {
        QStringList found;
        for (QAction* action : menus[index]->menu()->actions())
            found.append(action->isSeparator() ? QStringLiteral("-")
                                               : action->text() + QLatin1Char(' ') + action->shortcut().toString());
        return found;
    };
    EXPECT_EQ(items(0), (QStringList{QStringLiteral("Settings\u2026 Ctrl+,"), QStringLiteral("-"),
                                     QStringLiteral("Quit Tessaroom Ctrl+Q")}));
    EXPECT_EQ(items(1), (QStringList{QStringLiteral("Undo Ctrl+Z"), QStringLiteral("Redo Ctrl+Shift+Z"),
                                     QStringLiteral("-"), QStringLiteral("Cut Ctrl+X"), QStringLiteral("Copy Ctrl+C"),
                                     QStringLiteral("Paste Ctrl+V"), QStringLiteral("Select All Ctrl+A")}));
    EXPECT_EQ(items(2), (QStringList{QStringLiteral("Close Ctrl+W"), QStringLiteral("Minimize Ctrl+M")}));

    // Quit goes through the normal end of the process.
    platform::Application::setDelegate(delegate.get());
    menus[0]->menu()->actions()[2]->trigger();
    EXPECT_TRUE(platform::Application::isTerminating());
    platform::Application::setDelegate(nullptr);
}

// A key as the window system hands it to the window's focused widget (the
// window itself when nothing in it has focus), the window made active first.
void pressIn(HostedWindow& window, int key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
{
    window.window()->activateWindow();
    QApplication::processEvents();
    QWidget* target = window.window()->focusWidget() ? window.window()->focusWidget() : window.window();
    for (const QEvent::Type type : {QEvent::ShortcutOverride, QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent event(type, key, modifiers);
        QApplication::sendEvent(target, &event);
    }
}

TEST_F(AppTest, TheMainMenusKeysWorkWhileOneOfTheAppsWindowsIsActive)
{
    MainMenu::install(*delegate);
    platform::Application::setDelegate(delegate.get());
    delegate->showOnboarding();
    HostedWindow& welcome = *delegate->onboardingWindow();
    pressIn(welcome, Qt::Key_Comma);
    ASSERT_TRUE(delegate->settingsWindow());
    HostedWindow& settingsWindow = *delegate->settingsWindow();
    EXPECT_TRUE(settingsWindow.isVisible());

    // Only the settings window has a minimize button.
    pressIn(welcome, Qt::Key_M);
    EXPECT_FALSE(welcome.window()->isMinimized());
    pressIn(settingsWindow, Qt::Key_M);
    EXPECT_TRUE(settingsWindow.window()->isMinimized());
    settingsWindow.show();

    pressIn(settingsWindow, Qt::Key_W);
    EXPECT_FALSE(settingsWindow.isVisible());
    EXPECT_TRUE(welcome.isVisible());

    // Typed in a desktop editor, Ctrl+W closes the window the editor belongs
    // to, and the editor with it, keeping the name.
    settingsWindow.show();
    HeroTile* tile = settingsWindow.window()->findChildren<HeroTile*>().value(1);
    ASSERT_TRUE(tile);
    tile->openEditor();
    auto* field = tile->popover()->editor()->findChild<QLineEdit*>(QStringLiteral("nameField"));
    field->setText(QStringLiteral("Typed"));
    for (const QEvent::Type type : {QEvent::ShortcutOverride, QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent event(type, Qt::Key_W, Qt::ControlModifier);
        QApplication::sendEvent(field, &event);
    }
    clock().runPending();
    EXPECT_FALSE(settingsWindow.isVisible());
    EXPECT_FALSE(tile->isEditing());
    EXPECT_EQ(SpaceStore::shared().meta(SpaceEngine::shared().desktopWithNumber(2)->managedID()).name,
              QStringLiteral("Typed"));
    EXPECT_FALSE(platform::Application::isTerminating());
    pressIn(welcome, Qt::Key_Q);
    EXPECT_TRUE(platform::Application::isTerminating());
    platform::Application::setDelegate(nullptr);
}

TEST_F(AppTest, TheEditingKeysWorkInAFocusedTextField)
{
    MainMenu::install(*delegate);
    delegate->openSettings(SettingsPage::spaces);
    HostedWindow& window = *delegate->settingsWindow();
    auto* field = window.window()->findChild<QLineEdit*>(QStringLiteral("nameField"));
    ASSERT_TRUE(field);
    field->setFocus();
    field->insert(QStringLiteral("Deep Work"));
    pressIn(window, Qt::Key_A);
    EXPECT_EQ(field->selectedText(), QStringLiteral("Deep Work"));
    pressIn(window, Qt::Key_X);
    EXPECT_EQ(field->text(), QString());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Deep Work"));
    pressIn(window, Qt::Key_Z);
    EXPECT_EQ(field->text(), QStringLiteral("Deep Work"));
    pressIn(window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(field->text(), QString());
    QGuiApplication::clipboard()->setText(QStringLiteral("Mail"));
    pressIn(window, Qt::Key_V);
    EXPECT_EQ(field->text(), QStringLiteral("Mail"));
    pressIn(window, Qt::Key_A);
    QGuiApplication::clipboard()->clear();
    pressIn(window, Qt::Key_C);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Mail"));
}

} // namespace

namespace {

// --- the command environment ---------------------------------------------------------------------

TEST_F(AppTest, AHostedViewReachesTheDelegateThroughItsEnvironment)
{
    QWidget root;
    auto* leaf = new QWidget(new QWidget(&root));
    AppEnvironment::withAppEnvironment(&root, *delegate);
    AppEnvironment::commands(leaf).previewSwitchTag();
    EXPECT_TRUE(delegate->hud().panel(SwitchHUD::previewKey));

    // A view moved under another root follows its new environment.
    QWidget elsewhere;
    leaf->setParent(&elsewhere);
    EXPECT_EQ(&AppEnvironment::commands(leaf), &InertCommands::shared());
    // The nearest setting wins over the root's.
    InertCommands inner;
    auto* middle = new QWidget(&root);
    auto* deep = new QWidget(middle);
    AppEnvironment::setCommands(middle, inner);
    EXPECT_EQ(&AppEnvironment::commands(deep), &inner);
}

} // namespace
