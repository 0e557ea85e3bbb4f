#include "app/AppDelegate.h"

#include "app/CopyLock.h"
#include "debug/DebugTools.h"
#include "engine/SkyLight.h"
#include "engine/SpaceEngine.h"
#include "menubar/MenuPopoverController.h"
#include "menubar/StatusBarController.h"
#include "missioncontrol/MissionControlOverlay.h"
#include "platform/TerminationSignals.h"
#include "settings/SettingsModel.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"
#include "store/Timers.h"
#include "surfaces/NotchName.h"
#include "surfaces/QuickSwitcher.h"
#include "surfaces/SpaceHover.h"
#include "surfaces/SwitchHUD.h"
#include "switching/Accessibility.h"
#include "switching/DesktopSwitcher.h"
#include "switching/HotkeyBindings.h"
#include "ui/AppIcon.h"
#include "ui/HostedWindow.h"

#include <QApplication>
#include <QPointer>

AppDelegate::AppDelegate(SpaceEngine& engine, Settings& settings, Accessibility& access, Options options)
    : engine_(engine)
    , settings_(settings)
    , access_(access)
    , options_(std::move(options))
    , hud_(std::make_unique<SwitchHUD>(engine, settings))
    , settingsModel_(std::make_unique<SettingsModel>())
    , overlay_(std::make_unique<MissionControlOverlay>(engine, settings, access))
    , switcher_(std::make_unique<QuickSwitcher>(engine))
{
    // Every window of the app carries its one icon.
    QApplication::setWindowIcon(AppIcon::icon());
    // Each controller stays idle until the launch wires and starts it.
}

AppDelegate::~AppDelegate()
{
    for (const QMetaObject::Connection& connection : connections_)
        QObject::disconnect(connection);
}

// --- application callbacks ---------------------------------------------------

void AppDelegate::applicationDidFinishLaunching()
{
    launch();
}

bool AppDelegate::applicationShouldHandleReopen(bool)
{
    openSettings(std::nullopt);
    return false;
}

void AppDelegate::applicationWillTerminate()
{
    reportCommandCutShort();
    // After a developer mode the store is frozen, so this writes nothing.
    engine_.saveTime();
    // The copy that follows counts from its own start.
    engine_.stopCounting();
    SpaceStore::shared().flushNow();
}

void AppDelegate::applicationOpenURLs(const QList<QString>& urls)
{
    for (const QString& url : urls)
        handleLinkBytes(url.toUtf8());
}

void AppDelegate::showSettingsFromMenu()
{
    openSettings(std::nullopt);
}

// --- launch ------------------------------------------------------------------

void AppDelegate::launch()
{
    keepUserDataFromModes();
    importLegacyNames();
    if (runEarlyCommands()) {
        launchEnd_ = LaunchEnd::earlyMode;
        return;
    }
    // Before anything is shown: a copy that waits for another one to go
    // shows nothing meanwhile, and one that yields never showed anything.
    if (const std::optional<LaunchEnd> end = becomeTheOnlyCopy()) {
        launchEnd_ = *end;
        return;
    }
    buildTile();
    wireTileAndNotchLabel();
    buildPopover();
    wireMissionControlPress();
    wireSwitchCallback();
    startEngine();
    wireOverlayCallbacks();
    subscribe();
    applySettings();
    scheduleFitCheck();
    if (runLateCommands()) {
        launchEnd_ = LaunchEnd::lateMode;
        return;
    }
    if (moveToApplications()) {
        launchEnd_ = LaunchEnd::moved;
        return;
    }
    // Quitting during the move's question: nothing more starts.
    if (quitting()) {
        launchEnd_ = LaunchEnd::quit;
        return;
    }
    startAccessibility();
    wireUpdaterRelaunch();
    startUpdates();
    confirmPendingInstall();
    showWelcome();
    launchEnd_ = LaunchEnd::complete;
}

// Asked to quit: by a signal, or through the application.
bool AppDelegate::quitting()
{
    return platform::TerminationSignals::received() || platform::Application::isTerminating();
}

void AppDelegate::keepUserDataFromModes()
{
    // Before anything reads or counts: every road to the names and the
    // tracked time (the engine's samples, switches, edits, the end of the
    // process) ends in the store's write, so a frozen store closes them all.
    if (DebugTools::selectsMode(options_.arguments))
        SpaceStore::shared().freeze();
}

void AppDelegate::importLegacyNames()
{
    QList<LegacySpace> spaces;
    for (const SkyLight::Display& display : engine_.displays()) {
        for (const SkyLight::Space& space : display.spaces)
            spaces.append(LegacySpace{space.id, space.managedID});
    }
    SpaceStore::shared().importLegacyNames(spaces, [](quint64 id) { return SkyLight::spaceName(id); });
}

bool AppDelegate::runEarlyCommands()
{
    DebugTools::Environment environment = debugEnvironment();
    return DebugTools::runEarlyCommand(options_.arguments, environment);
}

void AppDelegate::buildTile()
{
    statusBar_ = std::make_unique<StatusBarController>(*this);
}

void AppDelegate::wireTileAndNotchLabel()
{
    // The tile asks whether the notch label shows; the label asks for the
    // tile's presence and sends its clicks to the popover or the tile's menu.
    wireNotchLabel();
}

void AppDelegate::buildPopover()
{
    popover_ = std::make_unique<MenuPopoverController>(*this);
}

void AppDelegate::wireMissionControlPress()
{
    DesktopSwitcher* switcher = DesktopSwitcher::of(engine_);
    if (!switcher)
        return;
    QPointer<AppDelegate> self(this);
    switcher->setPressInMissionControl([self](qint64 number, std::function<void(bool)> done) {
        if (!self) {
            if (done)
                done(false);
            return;
        }
        self->overlay_->switchTo(number, std::move(done));
    });
}

void AppDelegate::wireSwitchCallback()
{
    QPointer<AppDelegate> self(this);
    engine_.setOnSwitch([self](const QString& displayUUID, const std::optional<Desktop>&, const Desktop& now) {
        if (self && self->settings_.hudEnabled())
            self->hud_->show(now, displayUUID);
    });
}

void AppDelegate::startEngine()
{
    engine_.start();
}

void AppDelegate::wireOverlayCallbacks()
{
    QPointer<AppDelegate> self(this);
    overlay_->onClosedWithoutAccess = [self] {
        if (self)
            self->missionControlClosedWithoutAccess();
    };
    overlay_->onOpenChange = [self](bool open) {
        if (self)
            self->notch().setMissionControlOpen(open);
    };
}

void AppDelegate::scheduleFitCheck()
{
    QPointer<AppDelegate> self(this);
    runAfter(fitCheckDelay, [self] {
        if (self && self->statusBar_)
            self->statusBar_->checkFit();
    });
}

bool AppDelegate::runLateCommands()
{
    LateModeContext context = lateModeContext();
    return DebugTools::runLateCommand(options_.arguments, context);
}

bool AppDelegate::moveToApplications()
{
    return offerMoveToApplications();
}

void AppDelegate::startAccessibility()
{
    access_.start();
    access_.refresh(true);
}

void AppDelegate::showWelcome()
{
    if (!settings_.onboardingDismissed())
        showOnboarding();
}

// --- controllers made on first use ----------------------------------------------

HotkeyBindings& AppDelegate::hotkeys()
{
    if (!hotkeys_)
        hotkeys_ = std::make_unique<HotkeyBindings>(*this);
    return *hotkeys_;
}

SpaceHover& AppDelegate::hover()
{
    if (!hover_) {
        MissionControlOverlay* overlay = overlay_.get();
        hover_ = std::make_unique<SpaceHover>(engine_, settings_, [overlay] { return overlay->isOpen(); });
    }
    return *hover_;
}

NotchName& AppDelegate::notch()
{
    if (!notch_)
        notch_ = std::make_unique<NotchName>(engine_, settings_);
    return *notch_;
}

// --- notch label ------------------------------------------------------------------

void AppDelegate::wireNotchLabel()
{
    NotchName& label = notch();
    if (statusBar_) {
        statusBar_->setNotchLabelVisible([this] { return notch().isShowing(); });
        StatusBarController* tile = statusBar_.get();
        label.tilePresence = [tile] {
            switch (tile->presence()) {
            case TilePresence::inBar: return NotchName::Tile::inBar;
            case TilePresence::steppedAside: return NotchName::Tile::steppedAside;
            case TilePresence::dropped: return NotchName::Tile::dropped;
            }
            return NotchName::Tile::inBar;
        };
        label.tileChangedNotification = MenuBarNotifications::tileChanged();
    }
    label.onClick = [this](QWidget* view, bool rightClick) {
        if (rightClick && statusBar_)
            statusBar_->popUpMenu(view);
        else
            togglePopover();
    };
}
