#include "AppTest.h"

#include "menubar/MenuPopoverController.h"
#include "menubar/StatusBarController.h"
#include "missioncontrol/MissionControlOverlay.h"
#include "platform/sim/StatusBar.h"
#include "platform/sim/World.h"
#include "settings/OnboardingView.h"
#include "settings/SettingsModel.h"
#include "surfaces/NotchName.h"
#include "surfaces/QuickSwitcher.h"
#include "surfaces/SpaceHover.h"
#include "ui/HostedWindow.h"

#include <QWidget>

namespace {

using platform::sim::World;

// The bar keeps room for the tile unless a test squeezes it.
void squeezeTheBar()
{
    platform::sim::setAppMenusWidth(1512 - 10);
}

} // namespace

// --- tile and popover ------------------------------------------------------------------------

TEST_F(AppTest, LaunchBuildsTheTileAndChecksItsFitHalfASecondLater)
{
    delegate->launch();
    ASSERT_TRUE(delegate->statusBar());
    ASSERT_TRUE(delegate->popover());
    EXPECT_TRUE(delegate->statusBar()->rendered().has_value());
    squeezeTheBar();
    advance(AppDelegate::fitCheckDelay);
    advance(1.0);
    EXPECT_TRUE(delegate->statusBar()->compact() || delegate->statusBar()->tileHidden());
}

TEST_F(AppTest, TheTileRedrawsAfterASettingsChange)
{
    delegate->launch();
    advance(1);
    ASSERT_TRUE(delegate->statusBar()->rendered());
    const MenuBarStyle before = delegate->statusBar()->rendered()->style;
    const MenuBarStyle other = before == MenuBarStyle::iconOnly ? MenuBarStyle::iconAndName : MenuBarStyle::iconOnly;
    settings.setMenuBarStyle(other);
    advance(AppDelegate::settingsDebounce);
    EXPECT_EQ(delegate->statusBar()->rendered()->style, other);
}

TEST_F(AppTest, ThePopoverTogglesUnderTheTileWithoutALogLine)
{
    delegate->launch();
    advance(1);
    ASSERT_TRUE(delegate->statusBar()->isTileVisible());
    delegate->togglePopover();
    EXPECT_TRUE(delegate->popover()->isShown());
    delegate->togglePopover();
    advance(1);
    EXPECT_FALSE(delegate->popover()->isShown());
    EXPECT_FALSE(switchesLog().contains(QStringLiteral("popover from the notch label")));
    EXPECT_FALSE(delegate->settingsWindow());
}

TEST_F(AppTest, WithTheTileDroppedAndNoNotchLabelThePopoverCommandsOpenSettings)
{
    settings.setNotchEnabled(false);
    settings.setNotchStandsIn(false);
    squeezeTheBar();
    delegate->launch();
    advance(5);
    ASSERT_FALSE(delegate->statusBar()->isTileVisible());
    delegate->togglePopover();
    EXPECT_FALSE(delegate->popover()->isShown());
    ASSERT_TRUE(delegate->settingsWindow());
    EXPECT_TRUE(delegate->settingsWindow()->isVisible());
    EXPECT_FALSE(switchesLog().contains(QStringLiteral("popover from the notch label")));
}

TEST_F(AppTest, ADroppedTileLetsTheNotchLabelStandInAndHoldThePopover)
{
    settings.setNotchEnabled(false);
    settings.setNotchStandsIn(true);
    squeezeTheBar();
    delegate->launch();
    advance(5);
    ASSERT_FALSE(delegate->statusBar()->isTileVisible());
    ASSERT_TRUE(delegate->notch().isShowing());
    delegate->togglePopover();
    EXPECT_TRUE(delegate->popover()->isShown());
    delegate->togglePopover();
    advance(1);
    EXPECT_FALSE(delegate->popover()->isShown());
    EXPECT_EQ(switchesLog().count(QStringLiteral("popover from the notch label")), 1);
    EXPECT_FALSE(delegate->settingsWindow());
}

TEST_F(AppTest, TheNotchLabelsClicksReachThePopoverAndTheTilesMenu)
{
    settings.setNotchEnabled(true);
    delegate->launch();
    advance(1);
    QWidget* view = delegate->notch().visibleLabelView();
    ASSERT_TRUE(view);
    ASSERT_TRUE(delegate->notch().onClick);
    delegate->notch().onClick(view, true);
    EXPECT_FALSE(delegate->popover()->isShown());
    EXPECT_TRUE(delegate->statusBar()->menu().isOpen());
    EXPECT_FALSE(delegate->statusBar()->menu().items().isEmpty());
    delegate->statusBar()->closeMenu();
    delegate->notch().onClick(view, false);
    EXPECT_TRUE(delegate->popover()->isShown());
}

TEST_F(AppTest, MissionControlOpeningHidesTheNotchLabelUntilItCloses)
{
    settings.setNotchEnabled(true);
    delegate->launch();
    advance(1);
    ASSERT_TRUE(delegate->notch().isShowing());
    ASSERT_TRUE(delegate->overlay().onOpenChange);
    delegate->overlay().onOpenChange(true);
    EXPECT_TRUE(delegate->notch().missionControlOpen());
    EXPECT_FALSE(delegate->notch().isShowing());
    delegate->overlay().onOpenChange(false);
    EXPECT_TRUE(delegate->notch().isShowing());
}

TEST_F(AppTest, TheTileStepsAsideOnlyWhileTheNotchLabelShows)
{
    settings.setNotchEnabled(true);
    settings.setTileHiddenBesideNotch(true);
    delegate->launch();
    advance(1);
    ASSERT_TRUE(delegate->notch().isShowing());
    EXPECT_TRUE(delegate->statusBar()->besideNotch());
    settings.setNotchEnabled(false);
    advance(1);
    EXPECT_FALSE(delegate->statusBar()->besideNotch());
}

TEST_F(AppTest, ShowPopoverOpensThePageAndCloseHidesIt)
{
    delegate->launch();
    advance(1);
    const Desktop second = SpaceEngine::shared().desktops().at(1);
    delegate->showPopover(PopoverPage::edit(second));
    EXPECT_TRUE(delegate->popover()->isShown());
    EXPECT_EQ(delegate->popover()->model().page(), PopoverPage::edit(second));
    delegate->closePopover();
    advance(1);
    EXPECT_FALSE(delegate->popover()->isShown());
}

TEST_F(AppTest, ASwitchFromThePopoverClosesItAtOnceAndLogsItsReason)
{
    delegate->launch();
    advance(1);
    delegate->togglePopover();
    ASSERT_TRUE(delegate->popover()->isShown());
    delegate->switchTo(SpaceEngine::shared().desktops().at(2));
    EXPECT_FALSE(delegate->popover()->isShown());
    advance(3);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("popover")));

    delegate->togglePopover();
    ASSERT_TRUE(delegate->popover()->isShown());
    delegate->switchTo(SpaceEngine::shared().desktops().at(0), SpaceApp{});
    EXPECT_FALSE(delegate->popover()->isShown());
    advance(3);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("popover app")));
}

// --- Mission Control ----------------------------------------------------------------------------

TEST_F(AppTest, TheDetectorRunsWhileLabelsOrTheNotchLabelAreOn)
{
    settings.setMcLabelsEnabled(true);
    settings.setNotchEnabled(false);
    delegate->launch();
    EXPECT_TRUE(delegate->overlay().detector().isPolling());

    settings.setMcLabelsEnabled(false);
    advance(AppDelegate::settingsDebounce);
    EXPECT_FALSE(delegate->overlay().detector().isPolling());

    settings.setNotchEnabled(true);
    advance(AppDelegate::settingsDebounce);
    EXPECT_TRUE(delegate->overlay().detector().isPolling());
}

TEST_F(AppTest, OpenMissionControlOpensTheSystemApp)
{
    delegate->openMissionControl();
    ASSERT_FALSE(World::shared().openedURLs().isEmpty());
    EXPECT_EQ(World::shared().openedURLs().last(), QUrl::fromLocalFile(MissionControlOverlay::missionControlPath));
}

TEST_F(AppTest, AClosedWithoutAccessSessionReachesTheNudge)
{
    delegate->launch();
    ASSERT_TRUE(delegate->overlay().onClosedWithoutAccess);
    delegate->overlay().onClosedWithoutAccess();
    ASSERT_TRUE(lastToast());
    EXPECT_TRUE(lastToast()->text.startsWith(QStringLiteral("Names in Mission Control need Accessibility access.")));
}

// --- Quick Switcher and hover strip --------------------------------------------------------------

TEST_F(AppTest, TheSwitcherLinkTogglesTheQuickSwitcher)
{
    delegate->launch();
    delegate->handleLink(QUrl(QStringLiteral("tessaroom://switcher")));
    EXPECT_TRUE(delegate->switcher().isVisible());
    delegate->toggleQuickSwitcher();
    EXPECT_FALSE(delegate->switcher().isVisible());
}

TEST_F(AppTest, TheHoverStripWatchesOnlyWhileItIsOn)
{
    settings.setHoverEnabled(true);
    delegate->launch();
    EXPECT_TRUE(delegate->hover().isWatching());
    settings.setHoverEnabled(false);
    advance(AppDelegate::settingsDebounce);
    EXPECT_FALSE(delegate->hover().isWatching());
}

TEST_F(AppTest, TheHoverPreviewShowsTheStripOnTheMainScreen)
{
    delegate->launch();
    delegate->previewHover();
    clock().runPending();
    EXPECT_TRUE(delegate->hover().isShowing());
}

// --- settings and welcome windows -----------------------------------------------------------------

TEST_F(AppTest, TheSettingsWindowIsMadeOnceWithItsFrameName)
{
    delegate->openSettings(SettingsPage::about);
    HostedWindow* window = delegate->settingsWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->autosaveName(), QStringLiteral("Tessaroom.settings.v3"));
    EXPECT_EQ(delegate->settingsModel().page(), SettingsPage::about);
    window->close();
    delegate->openSettings(std::nullopt);
    EXPECT_EQ(delegate->settingsWindow(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(delegate->settingsModel().page(), SettingsPage::about);
}

TEST_F(AppTest, ANewUserSeesTheWelcomeWindowAndItsCloseActionHidesIt)
{
    settings.setOnboardingDismissed(false);
    delegate->launch();
    HostedWindow* window = delegate->onboardingWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    auto* view = window->window()->findChild<OnboardingView*>();
    ASSERT_TRUE(view);
    view->dismiss();
    EXPECT_FALSE(window->isVisible());
    delegate->showOnboarding();
    EXPECT_EQ(delegate->onboardingWindow(), window);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(AppTest, ADismissedWelcomeIsNotShownAtLaunch)
{
    settings.setOnboardingDismissed(true);
    delegate->launch();
    EXPECT_FALSE(delegate->onboardingWindow());
}

TEST_F(AppTest, TheWelcomeWindowClosesSoonAfterAccessIsGrantedOnFirstLook)
{
    World::shared().setTrusted(true);
    settings.setOnboardingDismissed(false);
    delegate->launch();
    ASSERT_TRUE(delegate->onboardingWindow());
    // The first trusted value arrives before the window exists.
    delegate->trustChanged(true);
    advance(AppDelegate::welcomeCloseDelay - 0.1);
    EXPECT_TRUE(delegate->onboardingWindow()->isVisible());
    advance(0.2);
    EXPECT_FALSE(delegate->onboardingWindow()->isVisible());
    EXPECT_TRUE(settings.onboardingDismissed());
}
