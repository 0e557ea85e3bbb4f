// The delegate's updater steps and what it gives the command-line modes.
#include "app/AppDelegate.h"

#include "app/AppLink.h"
#include "app/CopyLock.h"
#include "app/LinkClient.h"
#include "app/LinkSocket.h"
#include "engine/SpaceEngine.h"
#include "menubar/StatusBarController.h"
#include "missioncontrol/MissionControlDetector.h"
#include "platform/Accessibility.h"
#include "platform/Bundle.h"
#include "store/LogFile.h"
#include "store/Settings.h"
#include "update/Updates.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTextStream>

#include <cstdio>

namespace {

QString currentVersion()
{
    const QString version = platform::Bundle::shortVersion().value_or(QString());
    return version.isEmpty() ? QStringLiteral("0") : version;
}

// The running copy listens on the per-user link socket: the link counts once
// that copy confirmed it. The switch is this process's own only while it
// holds the copy lock (shared with other such switches) and no copy runs or
// is on its way; it lets go once it switched.
DebugTools::LinkHandOver handOverLink(const QUrl& link, CopyLock* given)
{
    const QString socketPath = given ? given->socketPath() : LinkSocket::defaultPath();
    CopyLock own(socketPath);
    CopyLock& lock = given ? *given : own;
    const LinkClient::Delivery delivery = LinkClient::sendOnceListening(
        socketPath, {link.toEncoded()}, [&lock] { return lock.claimUnlessACopyRuns(CopyLock::Claim::ownWorld); });
    if (delivery.nobody)
        return {.noCopy = true, .pid = 0, .problem = std::nullopt};
    DebugTools::LinkHandOver handed{.noCopy = false, .pid = delivery.pid, .problem = std::nullopt};
    if (delivery.tookAll(1))
        return handed;
    const bool refused = !delivery.answers.isEmpty();
    handed.problem = refused ? delivery.answers.first().refusal : delivery.problem;
    return handed;
}

} // namespace

Updates& AppDelegate::updates()
{
    return options_.updates ? *options_.updates : Updates::shared();
}

DebugTools::Environment AppDelegate::debugEnvironment()
{
    static QTextStream standardOutput(stdout);
    auto exit = options_.exit ? options_.exit : [](int status) { QCoreApplication::exit(status); };
    return DebugTools::Environment{
        .engine = engine_,
        .settings = settings_,
        .updates = updates(),
        .out = standardOutput,
        .exit = std::move(exit),
        .commandStep = [this](const std::optional<QString>& step) { commandStep_ = step; },
        .accessibilityTrusted = [] { return platform::AX::isProcessTrustedWithOptions(false); },
        // Missing before the launch builds the tile ("--diagnose" runs earlier).
        .tileLine = [this] { return statusBar_ ? std::optional<QString>(statusBar_->debugLine()) : std::nullopt; },
        .missionControlOpen = [] { return MissionControlDetector::isMissionControlOpen(); },
        .switchLink = [](const QString& argument) { return AppLink::fromArgument(argument).url(); },
        .handOverLink = [lock = options_.copyLock](const QUrl& link) { return handOverLink(link, lock); },
        .bundlePath = platform::Bundle::bundlePath(),
        .accessibility = &access_,
        .commands = this,
    };
}

void AppDelegate::reportCommandCutShort()
{
    if (!commandStep_)
        return;
    // The step never printed its line: this one says why.
    debugEnvironment().out << *commandStep_ << ": cut short: Tessaroom is quitting" << Qt::endl;
    commandStep_.reset();
    commandCutShort_ = true;
}

int AppDelegate::terminationStatus() const
{
    return commandCutShort_ ? 1 : 0;
}

void AppDelegate::subscribeToUpdates()
{
    QPointer<AppDelegate> self(this);
    auto deliver = [self](const std::optional<UpdateFeed>& available) {
        // Absent values are dropped; a repeat of the last version is not news.
        if (!self || !available || self->lastOffered_ == available->version)
            return;
        self->lastOffered_ = available->version;
        self->updateAvailable(available->version);
    };
    connections_.push_back(connect(&updates(), &Updates::availableChanged, this, deliver));
    deliver(updates().available());
}

void AppDelegate::wireUpdaterRelaunch()
{
    QPointer<AppDelegate> self(this);
    updates().relaunch = [self](const QString& bundlePath) {
        if (self)
            self->relaunch(bundlePath);
    };
}

AppDelegate::MoveApp AppDelegate::updaterMove(Updates& updates)
{
    QPointer<Updates> updater(&updates);
    return [updater](const QString& source, const QString& target) -> std::optional<QString> {
        if (!updater)
            return QStringLiteral("the updater is gone");
        // The move runs child processes; the launch waits for it, as it
        // waits for the question before it.
        bool finished = false;
        std::optional<QString> failure;
        QEventLoop loop;
        updater->moveApp(source, target, [&](const std::optional<UpdateFailure>& result) {
            finished = true;
            if (result)
                failure = result->text;
            loop.quit();
        });
        if (!finished)
            loop.exec();
        // Quitting ends every loop at once: the copy may still be under way.
        if (!finished)
            return QStringLiteral("the move was cut short: Tessaroom is quitting");
        return failure;
    };
}

void AppDelegate::startUpdates()
{
    // What an install cut short left goes first; an app it left missing is
    // put back.
    updates().recoverLeftoversAtLaunch();
    updates().start();
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

LateModeContext AppDelegate::lateModeContext()
{
    static QTextStream standardOutput(stdout);
    auto exit = options_.exit ? options_.exit : [](int status) { QCoreApplication::exit(status); };
    return LateModeContext{
        .engine = engine_,
        .settings = settings_,
        .access = access_,
        .updates = updates(),
        .commands = *this,
        .hud = *hud_,
        .switcher = *switcher_,
        .overlay = *overlay_,
        .statusBar = *statusBar_,
        .popover = *popover_,
        .settingsModel = *settingsModel_,
        .hover = [this]() -> SpaceHover& { return hover(); },
        .notch = [this]() -> NotchName& { return notch(); },
        .settingsWindow = [this] { return settingsWindow(); },
        .onboardingWindow = [this] { return onboardingWindow(); },
        .out = standardOutput,
        .exit = std::move(exit),
        // A copy may start once the switch in this process's own world is
        // over; until then it would pass for the copy's.
        .switched = [lock = options_.copyLock] {
            if (lock)
                lock->release();
        },
    };
}
