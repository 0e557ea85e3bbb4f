#include "app/AppDelegate.h"

#include "app/AppLink.h"
#include "app/CopyLock.h"
#include "app/LinkClient.h"
#include "app/LinkServer.h"
#include "debug/DebugTools.h"
#include "engine/SkyLight.h"
#include "engine/SpaceEngine.h"
#include "menubar/MenuPopoverController.h"
#include "menubar/StatusBarController.h"
#include "missioncontrol/MissionControlOverlay.h"
#include "platform/AppBundles.h"
#include "platform/Bundle.h"
#include "platform/ChildProcess.h"
#include "platform/Dialogs.h"
#include "platform/TerminationSignals.h"
#include "platform/Workspace.h"
#include "settings/OnboardingView.h"
#include "settings/SettingsModel.h"
#include "settings/SettingsServices.h"
#include "settings/SettingsView.h"
#include "store/KeyNames.h"
#include "store/LogFile.h"
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
#include "switching/SystemShortcuts.h"
#include "ui/AppIcon.h"
#include "ui/HostedWindow.h"
#include "update/Updates.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QPointer>
#include <QStringDecoder>

#include <thread>

namespace {

const QString metaChanged = QStringLiteral("Tessaroom.spaceMetaChanged");
const QString linkSymbol = QStringLiteral("link");
// The minute over which lines about links not understood are counted, seconds.
constexpr double notUnderstoodWindow = 60;
// How often a launch looks again for the copy that holds the lock.
constexpr auto copyLookAgain = std::chrono::milliseconds(50);
// How long the copy that holds the lock has to say who it is, milliseconds.
constexpr int copyIdentifyTimeoutMs = 1000;

// Asked to quit: by a signal, or through the application.
bool quitting()
{
    return platform::TerminationSignals::received() || platform::Application::isTerminating();
}

// Control characters as escapes: a link must not start a line of its own in
// a log, nor send commands to the terminal showing it.
QString escapedControls(QStringView text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        switch (code) {
        case u'\0': result += QLatin1String("\\0"); continue;
        case u'\t': result += QLatin1String("\\t"); continue;
        case u'\n': result += QLatin1String("\\n"); continue;
        case u'\r': result += QLatin1String("\\r"); continue;
        default: break;
        }
        if (c.category() == QChar::Other_Control)
            result += QStringLiteral("\\x%1").arg(uint(code), 2, 16, QLatin1Char('0'));
        else if (code == 0x2028 || code == 0x2029)
            result += QStringLiteral("\\u%1").arg(uint(code), 4, 16, QLatin1Char('0'));
        else
            result += c;
    }
    return result;
}

// A link, name or page as messages show it: cut, with its controls escaped.
QString shownLink(const QString& text)
{
    if (text.size() <= AppDelegate::shownLinkCharacters)
        return escapedControls(text);
    qsizetype cut = AppDelegate::shownLinkCharacters;
    if (text[cut - 1].isHighSurrogate())
        --cut;
    return escapedControls(QStringView(text).left(cut)) + QStringLiteral("\u2026");
}

QString currentVersion()
{
    const QString version = platform::Bundle::shortVersion().value_or(QString());
    return version.isEmpty() ? QStringLiteral("0") : version;
}

} // namespace

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
    if (!becomeTheOnlyCopy()) {
        launchEnd_ = quitting() ? LaunchEnd::quit : LaunchEnd::anotherCopy;
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

void AppDelegate::keepUserDataFromModes()
{
    // Before anything reads or counts: every road to the names and the
    // tracked time (the engine's samples, switches, edits, the end of the
    // process) ends in the store's write, so a frozen store closes them all.
    if (DebugTools::selectsMode(options_.arguments))
        SpaceStore::shared().freeze();
}

bool AppDelegate::takesLinks() const
{
    return launchEnd_ == LaunchEnd::complete && !onSampleData();
}

bool AppDelegate::becomeTheOnlyCopy()
{
    // A mode or a sample session runs beside the user's copy and leaves it alone.
    if (DebugTools::selectsMode(options_.arguments))
        return true;
    CopyLock* lock = options_.copyLock;
    if (!lock) {
        retireOtherCopies();
        return true;
    }
    // Each copy retired gives the next one (a copy started at the same
    // moment as this one) the same patience.
    QDeadlineTimer patience(qint64(anotherCopyPatience * 1000));
    for (;;) {
        const CopyLock::Take took = lock->take();
        if (took == CopyLock::Take::failed)
            LogFile::switches().write(QStringLiteral("which copy runs cannot be told: ") + lock->error());
        // Whoever answers on the socket as a copy goes: the holder of the
        // lock, or a copy of an older version, which holds none.
        const bool retired = retireOtherCopies();
        if (quitting())
            return false;
        if (took != CopyLock::Take::heldElsewhere) {
            if (options_.becameTheCopy)
                options_.becameTheCopy();
            return true;
        }
        if (retired) {
            patience = QDeadlineTimer(qint64(anotherCopyPatience * 1000));
            continue;
        }
        // The holder does not answer yet: it starts and does not listen, or
        // quits and is about to let go, or hangs.
        if (patience.hasExpired()) {
            yieldToAnotherCopy();
            return false;
        }
        std::this_thread::sleep_for(copyLookAgain);
    }
}

void AppDelegate::yieldToAnotherCopy()
{
    const LinkClient::Found found = LinkClient::find(options_.copyLock->socketPath(), copyIdentifyTimeoutMs);
    anotherCopyProblem_ = found.copy    ? QStringLiteral("the copy (pid %1) did not quit").arg(found.copy->pid)
                          : found.nobody ? QStringLiteral("the copy that holds %1 does not listen on %2")
                                              .arg(options_.copyLock->path(), options_.copyLock->socketPath())
                                         : found.problem;
    LogFile::switches().write(QStringLiteral("another copy runs and cannot be retired (") + anotherCopyProblem_
                              + QStringLiteral("); this copy quits"));
    // The names and time are the running copy's to write.
    SpaceStore::shared().freeze();
}

bool AppDelegate::onSampleData() const
{
    return DebugTools::hasFlag(QStringLiteral("--sample"), options_.arguments);
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

void AppDelegate::subscribe()
{
    // Read before the settings subscription exists, so the first change of
    // presentation mode after launch is seen as a change.
    presenting_ = settings_.presenting();
    subscribeToSettings();
    subscribeToMetadata();
    subscribeToTrust();
    subscribeToUpdates();
}

void AppDelegate::subscribeToSettings()
{
    QPointer<AppDelegate> self(this);
    connections_.push_back(connect(&settings_, &Settings::objectWillChange, this, [self] {
        if (!self)
            return;
        // Only the last change of a burst runs the sink.
        const quint64 generation = ++self->settingsGeneration_;
        runAfter(settingsDebounce, [self, generation] {
            if (self && self->settingsGeneration_ == generation)
                self->settingsDidChange();
        });
    }));
}

void AppDelegate::subscribeToMetadata()
{
    QPointer<AppDelegate> self(this);
    subscriptions_.push_back(platform::NotificationCenter::defaultCenter().observe(metaChanged, [self] {
        if (self)
            self->hotkeys().apply();
    }));
}

void AppDelegate::subscribeToTrust()
{
    QPointer<AppDelegate> self(this);
    auto deliver = [self](bool trusted) {
        if (!self || self->lastTrusted_ == trusted)
            return;
        self->lastTrusted_ = trusted;
        self->trustChanged(trusted);
    };
    connections_.push_back(connect(&access_, &Accessibility::trustedChanged, this, deliver));
    // The current value arrives at once, as with a publisher.
    deliver(access_.trusted());
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

void AppDelegate::confirmPendingInstall()
{
    const QString expected = settings_.updateInstalling();
    if (expected.isEmpty())
        return;
    settings_.setUpdateInstalling(QString());
    const QString running = currentVersion();
    if (expected == running) {
        LogFile::updates().write(QStringLiteral("running ") + expected + QStringLiteral(" after the install"));
        toast(QStringLiteral("Tessaroom is now ") + expected + QStringLiteral("."), QStringLiteral("checkmark.circle.fill"),
              3.0);
    } else {
        LogFile::updates().write(QStringLiteral("expected ") + expected + QStringLiteral(" after the install, running ")
                                 + running);
    }
}

void AppDelegate::showWelcome()
{
    if (!settings_.onboardingDismissed())
        showOnboarding();
}

// --- settings and presentation -----------------------------------------------

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

void AppDelegate::applySettings()
{
    hotkeys().apply();
    if (settings_.hoverEnabled())
        hover().start();
    else
        hover().stop();
    // The detector also runs for the notch label alone: the label hides while
    // Mission Control is open.
    if (settings_.mcLabelsEnabled() || settings_.notchEnabled())
        overlay_->start();
    else
        overlay_->stop();
    notch().start();
    if (statusBar_)
        statusBar_->render();
}

void AppDelegate::settingsDidChange()
{
    // Starting the notch label refreshes it and the tile is redrawn after it,
    // so applying is all the label and the tile need here.
    applySettings();
    const bool now = settings_.presenting();
    if (presenting_ == now)
        return;
    presenting_ = now;
    platform::NotificationCenter::defaultCenter().post(metaChanged);
    LogFile::switches().write(QStringLiteral("presentation mode ") + (now ? QStringLiteral("on") : QStringLiteral("off")));
    if (now) {
        const std::optional<Hotkey> hotkey = settings_.presentationHotkey();
        const QString hint = hotkey ? QStringLiteral(" Press ") + hotkey->display() + QStringLiteral(" again to bring them back.")
                                    : QStringLiteral(" Turn it off from the menu bar tile.");
        toast(QStringLiteral("Presentation mode: every desktop shows as its number.") + hint,
              QStringLiteral("eye.slash.fill"), 3.5);
    } else {
        toast(QStringLiteral("Presentation mode off. Your names are back."), QStringLiteral("eye.fill"), 2.0);
    }
}

void AppDelegate::trustChanged(bool trusted)
{
    if (!trusted) {
        sawUntrusted_ = true;
        return;
    }
    const bool wasMissing = sawUntrusted_;
    QPointer<AppDelegate> self(this);
    if (access_.trusted() && settings_.nativeSwitching() && !settings_.autoEnabledShortcuts()) {
        const qint64 count = std::min<qint64>(engine_.desktops().size(), SystemShortcuts::desktopLimit);
        if (count < 1 || SystemShortcuts::enabledDesktopCount() >= count) {
            settings_.setAutoEnabledShortcuts(true);
        } else {
            SystemShortcuts::enableDesktopShortcuts(count);
            settings_.setAutoEnabledShortcuts(true);
            const QString label = KeyNames::digitName(count).value_or(QString::number(count));
            runAfter(shortcutsToastDelay, [self, label] {
                if (self)
                    self->toast(QStringLiteral("Turned on macOS shortcuts \u23031\u2013\u2303") + label
                                    + QStringLiteral(" so switching is instant (the Dock restarted to load them). "
                                                     "Change any time in System Settings \u2192 Keyboard."),
                                QStringLiteral("keyboard"), 5.0);
            });
        }
    }
    if (statusBar_)
        statusBar_->render();
    if (wasMissing) {
        toast(QStringLiteral("Accessibility is on. Tessaroom restarts once so switching is instant."),
              QStringLiteral("checkmark.circle.fill"), accessRelaunchDelay);
        runAfter(accessRelaunchDelay, [self] {
            if (self)
                self->relaunchFromBundle();
        });
        return;
    }
    if (onboardingWindow_ && onboardingWindow_->isVisible()) {
        runAfter(welcomeCloseDelay, [self] {
            if (!self)
                return;
            self->onboardingWindow_->close();
            self->settings_.setOnboardingDismissed(true);
        });
    }
}

void AppDelegate::updateAvailable(const QString& version)
{
    if (version == settings_.updateAnnounced())
        return;
    settings_.setUpdateAnnounced(version);
    toast(QStringLiteral("Tessaroom ") + version + QStringLiteral(" is out. Get it from the menu bar tile."),
          QStringLiteral("arrow.down.circle.fill"), 4.0);
}

void AppDelegate::missionControlClosedWithoutAccess()
{
    if (nudgedAboutAccess_)
        return;
    nudgedAboutAccess_ = true;
    toast(QStringLiteral("Names in Mission Control need Accessibility access. Turn it on from the menu bar item."),
          QStringLiteral("exclamationmark.triangle.fill"), 4.0);
}

// --- links ---------------------------------------------------------------------

void AppDelegate::linkFailed(const QString& message)
{
    LogFile::switches().write(QStringLiteral("link: ") + message);
    toast(message, linkSymbol, linkToastDuration);
}

void AppDelegate::linkNotUnderstood(const QString& text, const QString& note)
{
    const QString shown = shownLink(text) + note;
    logNotUnderstood(QStringLiteral("link not understood: ") + shown);
    toast(QStringLiteral("Tessaroom doesn't know the link ") + shown, linkSymbol, linkToastDuration);
}

void AppDelegate::logNotUnderstood(const QString& line)
{
    // A flood of bad links must not push the log's history out.
    const double now = platform::now();
    if (!notUnderstoodMinute_ || now >= *notUnderstoodMinute_ + notUnderstoodWindow) {
        logLeftOutNotUnderstood();
        notUnderstoodMinute_ = now;
        notUnderstoodWritten_ = 0;
    }
    if (notUnderstoodWritten_ < notUnderstoodPerMinute) {
        ++notUnderstoodWritten_;
        LogFile::switches().write(line);
        return;
    }
    if (notUnderstoodLeftOut_++ > 0)
        return;
    QPointer<AppDelegate> self(this);
    runAfter(*notUnderstoodMinute_ + notUnderstoodWindow - now, [self] {
        if (self)
            self->logLeftOutNotUnderstood();
    });
}

void AppDelegate::logLeftOutNotUnderstood()
{
    if (notUnderstoodLeftOut_ == 0)
        return;
    LogFile::switches().write(QStringLiteral("\u2026 and %1 more not understood").arg(notUnderstoodLeftOut_));
    notUnderstoodLeftOut_ = 0;
}

void AppDelegate::handleLinkBytes(const QByteArray& bytes)
{
    // The same limit as the link socket's, for links that come another way.
    if (bytes.size() > LinkServer::maxLinkBytes) {
        handleOversizedLink(bytes.size());
        return;
    }
    // Stateless: bytes that stop inside a character are an error too.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    if (decoder.hasError()) {
        linkNotUnderstood(text, QStringLiteral(" (not UTF-8 text)"));
        return;
    }
    if (text.size() > AppLink::maxTextLength) {
        linkNotUnderstood(text);
        return;
    }
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) {
        linkNotUnderstood(text);
        return;
    }
    handleLink(url);
}

void AppDelegate::handleOversizedLink(qint64 size)
{
    linkNotUnderstood(QStringLiteral("(a link of %1 bytes, more than the %2 KB a link may have)")
                          .arg(QString::number(size), QString::number(LinkServer::maxLinkBytes / 1024)));
}

void AppDelegate::handleLink(const QUrl& url)
{
    const std::optional<AppLink> link = AppLink::fromURL(url);
    if (!link) {
        linkNotUnderstood(url.toString(QUrl::FullyEncoded));
        return;
    }
    switch (link->kind()) {
    case AppLink::Kind::number:
        if (const auto desktop = engine_.desktopWithNumber(link->desktopNumber()))
            engine_.switchTo(*desktop, QStringLiteral("link"));
        else
            linkFailed(QStringLiteral("There is no Desktop ") + QString::number(link->desktopNumber()));
        break;
    case AppLink::Kind::named:
        if (const auto desktop = engine_.bestDesktopMatching(link->text()))
            engine_.switchTo(*desktop, QStringLiteral("link"));
        else
            linkFailed(QStringLiteral("No desktop matches \u201C") + shownLink(link->text()) + QStringLiteral("\u201D"));
        break;
    case AppLink::Kind::settingsPage: {
        std::optional<SettingsPage> found;
        for (SettingsPage page : SettingsPages::allCases()) {
            if (SettingsPages::rawValue(page).toLower() == link->text().toLower()) {
                found = page;
                break;
            }
        }
        if (found)
            openSettings(found);
        else
            linkFailed(QStringLiteral("There is no Settings page called \u201C") + shownLink(link->text())
                       + QStringLiteral("\u201D"));
        break;
    }
    case AppLink::Kind::back:
        engine_.jumpBack();
        break;
    case AppLink::Kind::next:
        engine_.step(1);
        break;
    case AppLink::Kind::previous:
        engine_.step(-1);
        break;
    case AppLink::Kind::switcher:
        toggleQuickSwitcher();
        break;
    case AppLink::Kind::popover:
        togglePopover();
        break;
    case AppLink::Kind::hover:
        previewHover();
        break;
    case AppLink::Kind::presentation:
        settings_.changePresenting([](bool& on) { on = !on; });
        break;
    case AppLink::Kind::settings:
        openSettings(std::nullopt);
        break;
    }
}

// --- other copies and relaunch --------------------------------------------------

bool AppDelegate::retireOtherCopies()
{
    const std::optional<QString> identifier = platform::Bundle::identifier();
    if (!identifier)
        return false;
    const qint32 own = platform::Workspace::currentProcessIdentifier();
    bool retired = false;
    for (const platform::RunningApplication& app : platform::Workspace::runningApplications(*identifier)) {
        if (app.processIdentifier == own)
            continue;
        LogFile::switches().write(QStringLiteral("retiring running copy pid ") + QString::number(app.processIdentifier)
                                  + QStringLiteral(" at ") + app.bundlePath.value_or(QStringLiteral("?")));
        if (!platform::Workspace::terminate(app.processIdentifier))
            platform::Workspace::forceTerminate(app.processIdentifier);
        retired = true;
    }
    // The copies saved their names on the way out, after this one read them.
    if (retired)
        SpaceStore::shared().reload();
    return retired;
}

std::optional<QString> AppDelegate::installTarget(const QString& source)
{
    // The updater's choice: the move and a later update go to the same place.
    return Updates::installTarget(source, Updates::applicationsFolders(), Updates::defaultCanReplace);
}

bool AppDelegate::offerMoveToApplications()
{
    const QString source = platform::Bundle::bundlePath();
    if (!platform::Volumes::isOnReadOnlyVolume(source))
        return false;
    const std::optional<QString> target = installTarget(source);
    if (!target || *target == source)
        return false;
    // The updater's replacement routine does the move; without it there is
    // nothing to offer.
    if (!moveApp_)
        return false;

    platform::Application::activate(true);
    platform::Alert ask;
    ask.messageText = QStringLiteral("Move Tessaroom to Applications?");
    ask.informativeText = QStringLiteral("Tessaroom is running from the disk image. From Applications it stays after the "
                                         "image is ejected and can update itself. Your names and settings are not affected.");
    ask.buttons = {QStringLiteral("Move to Applications"), QStringLiteral("Not Now")};
    if (ask.runModal() != platform::ModalResponse::alertFirstButton) {
        LogFile::updates().write(QStringLiteral("running from ") + source
                                 + QStringLiteral("; the move to Applications was declined"));
        return false;
    }

    if (const std::optional<QString> failure = moveApp_(source, *target)) {
        LogFile::updates().write(QStringLiteral("move to Applications failed: ") + *failure);
        QString sentence = *failure;
        if (!sentence.isEmpty())
            sentence[0] = sentence[0].toUpper();
        // Quitting cut the move short: nobody is there to read why.
        if (quitting())
            return false;
        platform::Alert failed;
        failed.messageText = QStringLiteral("The move did not go through");
        failed.informativeText = sentence + QStringLiteral(". Drag Tessaroom into Applications by hand and open it from there.");
        failed.runModal();
        return false;
    }
    LogFile::updates().write(QStringLiteral("moved from ") + source + QStringLiteral(" to ") + *target
                             + QStringLiteral(", relaunching from there"));
    // Only a started relaunch ends the launch; otherwise the app goes on from
    // the image.
    return relaunch(*target);
}

QStringList AppDelegate::relaunchArguments(qint32 pid, const QString& bundlePath)
{
    // Fixed script text: the pid is $1, the command that opens the bundle
    // follows as its own arguments.
    const QString script = QStringLiteral(
        "pid=\"$1\"; shift; while kill -0 \"$pid\" 2>/dev/null; do sleep 0.1; done; exec \"$@\"");
    return QStringList{QStringLiteral("-c"), script, QStringLiteral("sh"), QString::number(pid)}
        + platform::AppBundles::openCommand(bundlePath);
}

bool AppDelegate::relaunch(const QString& bundlePath)
{
    // The user quit: the app does not come back on its own.
    if (quitting()) {
        LogFile::switches().write(QStringLiteral("no relaunch: Tessaroom is quitting"));
        return false;
    }
    const platform::ChildProcess::Result started = platform::ChildProcess::startDetached(
        shell, relaunchArguments(platform::Workspace::currentProcessIdentifier(), bundlePath));
    if (!started.launched()) {
        LogFile::switches().write(QStringLiteral("relaunch failed: ") + *started.launchError);
        return false;
    }
    platform::Application::terminate();
    return true;
}

bool AppDelegate::relaunchFromBundle()
{
    return relaunch(platform::Bundle::bundlePath());
}

// --- commands ----------------------------------------------------------------------

void AppDelegate::openSettings(std::optional<SettingsPage> page)
{
    if (page)
        settingsModel_->setPage(*page);
    if (!settingsWindow_) {
        QWidget* root = AppEnvironment::withAppEnvironment(
            new SettingsView(*settingsModel_, SettingsServices::shared()), *this);
        settingsWindow_ = std::make_unique<HostedWindow>(root, std::nullopt, settingsAutosaveName, true);
    }
    access_.refresh(false);
    settingsWindow_->show();
}

void AppDelegate::showOnboarding()
{
    if (!onboardingWindow_) {
        QPointer<AppDelegate> self(this);
        auto* view = new OnboardingView(settings_, access_, [self] {
            if (self && self->onboardingWindow_)
                self->onboardingWindow_->close();
        });
        onboardingWindow_ = std::make_unique<HostedWindow>(AppEnvironment::withAppEnvironment(view, *this),
                                                           QSizeF(OnboardingView::windowSize));
    }
    onboardingWindow_->show();
}

void AppDelegate::openMissionControl()
{
    MissionControlOverlay::openMissionControl();
}

void AppDelegate::toggleQuickSwitcher()
{
    switcher_->toggle();
}

const QWidget* AppDelegate::notchLabelView() const
{
    return notch_ ? notch_->visibleLabelView() : nullptr;
}

std::optional<QRectF> AppDelegate::popoverAnchor() const
{
    if (!statusBar_)
        return std::nullopt;
    if (statusBar_->isTileVisible()) {
        if (platform::StatusBarButton* button = statusBar_->button())
            return MenuPopoverController::anchorOf(*button);
    }
    if (const QWidget* label = notchLabelView())
        return MenuPopoverController::anchorOf(label);
    return std::nullopt;
}

void AppDelegate::togglePopover()
{
    const std::optional<QRectF> anchor = popoverAnchor();
    if (!anchor || !popover_) {
        openSettings(std::nullopt);
        return;
    }
    if (!statusBar_->isTileVisible() && !popover_->isShown())
        LogFile::switches().write(QStringLiteral("popover from the notch label"));
    popover_->toggle(*anchor);
}

void AppDelegate::showPopover(const PopoverPage& page)
{
    const std::optional<QRectF> anchor = popoverAnchor();
    if (!anchor || !popover_) {
        openSettings(std::nullopt);
        return;
    }
    popover_->show(*anchor, page);
}

void AppDelegate::closePopover()
{
    if (popover_)
        popover_->close();
}

void AppDelegate::switchTo(const Desktop& desktop)
{
    // Gone before the screen changes.
    if (popover_)
        popover_->closeWithoutAnimation();
    engine_.switchTo(desktop, QStringLiteral("popover"));
}

void AppDelegate::switchTo(const Desktop& desktop, const SpaceApp& thenActivate)
{
    if (popover_)
        popover_->closeWithoutAnimation();
    engine_.switchToThenActivate(desktop, thenActivate, QStringLiteral("popover app"));
}

void AppDelegate::previewSwitchTag()
{
    hud_->preview();
}

void AppDelegate::previewHover()
{
    hover().show(std::nullopt, hoverPreviewPin);
}

void AppDelegate::previewNotchName()
{
    notch().showPreview(NotchName::defaultPreviewSeconds);
}

void AppDelegate::togglePresentation()
{
    settings_.changePresenting([](bool& on) { on = !on; });
}

QString AppDelegate::diagnosticsText()
{
    const QString report = DebugTools::diagnosticsText(debugEnvironment());
    return report + QStringLiteral("\n--- mission-control.log (tail) ---\n") + LogFile::missionControl().tail(6000);
}

void AppDelegate::toast(const QString& text, const QString& symbol, double duration)
{
    hud_->toast(text, symbol, duration);
}

// --- notch label ------------------------------------------------------------------

NotchName& AppDelegate::notch()
{
    if (!notch_)
        notch_ = std::make_unique<NotchName>(engine_, settings_);
    return *notch_;
}

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
