#include "app/AppDelegate.h"
#include "app/CopyLock.h"
#include "app/LinkClient.h"
#include "app/LinkServer.h"
#include "app/LinkSocket.h"
#include "app/MainMenu.h"
#include "debug/DebugTools.h"
#include "engine/SpaceEngine.h"
#include "platform/Application.h"
#include "platform/Bundle.h"
#include "platform/LinkHandlers.h"
#include "platform/Scheduler.h"
#include "platform/SystemLog.h"
#include "platform/TerminationSignals.h"
#include "platform/Workspace.h"
#include "platform/linux/DesktopIcon.h"
#include "platform/linux/DesktopSession.h"
#include "platform/linux/DetachedStarts.h"
#include "platform/linux/HelperTools.h"
#include "platform/linux/RealCopies.h"
#include "platform/sim/World.h"
#include "store/LegacyMigration.h"
#include "store/Settings.h"
#include "store/Timers.h"
#include "switching/Accessibility.h"
#include "switching/DesktopSwitcher.h"
#include "update/NetworkUrlLoader.h"
#include "update/Updates.h"
#include "ui/KitFonts.h"

#include <QApplication>
#include <QDir>
#include <QStringList>
#include <QTextStream>

#include <cmath>
#include <optional>

namespace {

struct Options {
    // Quit after this many seconds; none: run until quit.
    std::optional<double> runFor;
    // Links given on the command line (the system's link opener passes one).
    QList<QByteArray> links;
    QString error;
};

bool isLink(const QString& argument)
{
    const QString lower = argument.left(16).toLower();
    return lower.startsWith(QStringLiteral("tessaroom:")) || lower.startsWith(QStringLiteral("quorvelin:"));
}

Options parseOptions(const QStringList& arguments)
{
    Options options;
    for (const QString& argument : arguments.mid(1)) {
        if (isLink(argument))
            options.links.append(argument.toUtf8());
    }
    // Sent as it stands, it would reach the copy as a link of its own.
    if (const auto target = DebugTools::value(QStringLiteral("--switch"), arguments); target && isLink(*target)) {
        options.error = QStringLiteral("--switch takes a desktop number or name, not a link; to open %1, give it on "
                                       "its own: tessaroom %1")
                            .arg(*target);
        return options;
    }
    const qsizetype at = arguments.indexOf(QStringLiteral("--run-for"));
    if (at < 0)
        return options;
    bool ok = false;
    const double seconds = at + 1 < arguments.size() ? arguments[at + 1].toDouble(&ok) : 0;
    if (!ok || !std::isfinite(seconds) || seconds < 0)
        options.error = QStringLiteral("--run-for needs a number of seconds (0 or more)");
    else
        options.runFor = seconds;
    return options;
}

enum class HandOver { delivered, failed, takeThemHere };

// Hands the links to the user's running copy. Without one this process takes
// them itself: beside the user's copy for a mode, else as the copy. It acts
// on its own only while it holds the copy lock and no copy runs or is on its
// way; otherwise the links are the copy's alone: delivered to it once it
// listens, or reported not taken.
HandOver handOver(const QList<QByteArray>& links, CopyLock& lock, bool mode)
{
    const LinkClient::Delivery delivery = LinkClient::sendOnceListening(lock.socketPath(), links, [&lock, mode] {
        return lock.claimUnlessACopyRuns(mode ? CopyLock::Claim::ownWorld : CopyLock::Claim::copy);
    });
    if (delivery.tookAll(links.size()))
        return HandOver::delivered;
    if (delivery.nobody)
        return HandOver::takeThemHere;
    QTextStream err(stderr);
    for (const LinkClient::Answer& answer : delivery.answers) {
        if (!answer.taken)
            err << "could not deliver the link: " << answer.refusal << Qt::endl;
    }
    if (delivery.answers.size() < links.size())
        err << "could not deliver the link: " << delivery.problem << Qt::endl;
    const QString copy = delivery.pid ? QStringLiteral("Tessaroom (pid %1)").arg(delivery.pid) : QStringLiteral("Tessaroom");
    for (qsizetype at = 0; at < links.size(); ++at) {
        if (at >= delivery.answers.size() || !delivery.answers[at].taken)
            err << copy << " did not take " << QString::fromUtf8(links[at]) << Qt::endl;
    }
    return HandOver::failed;
}

} // namespace

int main(int argc, char* argv[])
{
    // First, so a logout while the process starts does not kill it, and a
    // second signal while it ends (a session sends SIGHUP after SIGTERM)
    // cannot change its exit status: from here on they wait for the main loop.
    platform::TerminationSignals::takeOverForTheProcess();
    // A relative runtime folder is none, as the XDG rules say; left set, the
    // toolkit would make it in the working folder.
    if (const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR"); !runtime.isEmpty() && !QDir::isAbsolutePath(runtime))
        qunsetenv("XDG_RUNTIME_DIR");
    // Before anything reads the preferences, so every reader sees the imported values.
    LegacyMigration::run();
    QApplication app(argc, argv);
    // A menu-bar app: closing its last window (settings, welcome) must not end it.
    app.setQuitOnLastWindowClosed(false);
    // A logout, Control-C or a closed terminal ends the app as Quit does.
    const platform::TerminationSignals termination;
    QApplication::setApplicationName(QStringLiteral("Tessaroom"));

    const Options options = parseOptions(QApplication::arguments());
    if (!options.error.isEmpty()) {
        QTextStream(stderr) << options.error << Qt::endl;
        return 2;
    }
    // Held until the process ends, once this process is the user's copy;
    // outlives the link socket, so the socket is gone before the lock is free.
    const QString socketPath = LinkSocket::defaultPath();
    CopyLock copyLock(socketPath);
    const bool mode = DebugTools::selectsMode(QApplication::arguments());
    // A copy already running takes the links, and this one ends.
    if (!options.links.isEmpty()) {
        switch (handOver(options.links, copyLock, mode)) {
        case HandOver::delivered: return 0;
        case HandOver::failed: return 1;
        case HandOver::takeThemHere: break;
        }
    }

    KitFonts::install();
    // The simulated machine runs this process: relaunch helpers really start,
    // and the app's own pid is the real one.
    platform::host::setDetachedStartsReal(true);
    // The image and copy tools are the project's helpers, built next to the app.
    const QString here = QCoreApplication::applicationDirPath();
    platform::host::installDiskImageTools(here + QStringLiteral("/tessaroom-hdiutil"),
                                         here + QStringLiteral("/tessaroom-ditto"));
    platform::sim::World& world = platform::sim::World::shared();
    // On a real display the world's screens, compositing, pointer and idle
    // time come from the session.
    platform::host::joinDesktopSession();
    const qint32 pid = qint32(QCoreApplication::applicationPid());
    if (const auto self = platform::Workspace::runningApplication(world.ownPID())) {
        // The world's entry for this app moves to the real pid.
        platform::sim::AppSpec moved;
        moved.pid = pid;
        moved.bundleID = self->bundleIdentifier;
        moved.name = self->localizedName;
        moved.icon = self->icon;
        moved.policy = self->activationPolicy;
        moved.bundlePath = self->bundlePath;
        world.removeApp(self->processIdentifier);
        world.addApp(moved);
    }
    world.setOwnPID(pid);

    platform::Application::setActivationPolicy(platform::ActivationPolicy::accessory);
    DesktopSwitcher::installAsEngineSwitcher();
    // Links reach the delegate once it exists; the server listens only when
    // this launch is the user's copy.
    AppDelegate* receiver = nullptr;
    LinkServer links({.link = [&receiver](const QByteArray& link) { if (receiver) receiver->handleLinkBytes(link); },
                      .oversized = [&receiver](qint64 size) { if (receiver) receiver->handleOversizedLink(size); },
                      .quit = [] { platform::Application::terminate(); },
                      .refuse = [&receiver](const QByteArray& link) {
                          return receiver ? receiver->refuseLink(link) : std::nullopt;
                      }});
    AppDelegate delegate(SpaceEngine::shared(), Settings::shared(), Accessibility::shared(),
                         AppDelegate::Options{.arguments = QApplication::arguments(),
                                              .copyLock = &copyLock,
                                              .becameTheCopy = [&links, socketPath] {
                                                  QString error;
                                                  if (!links.listen(socketPath, &error))
                                                      platform::SystemLog::write(
                                                          QStringLiteral("Tessaroom: links from other programs cannot "
                                                                         "be received: ")
                                                          + error);
                                              }});
    receiver = &delegate;
    delegate.setMoveApp(AppDelegate::updaterMove(Updates::shared()));
    platform::Application::setDelegate(&delegate);
    MainMenu::install(delegate);

    // This app's other copies are the ones on the link socket: a newer copy
    // finds this one there and asks it to quit, which it does the normal way.
    platform::host::setRealCopies({
        .find = [socketPath]() -> QList<platform::host::RealCopies::Found> {
            const LinkClient::Found found = LinkClient::find(socketPath, LinkClient::identifyTimeoutMs);
            if (!found.copy)
                return {};
            return {{.copy = {.pid = found.copy->pid, .bundlePath = found.copy->bundlePath},
                     .process = found.copy->process}};
        },
        .askToQuit = [socketPath](qint32 copy, double timeoutSeconds) {
            return LinkClient::askToQuit(socketPath, copy, int(timeoutSeconds * 1000))
                   != LinkClient::QuitAnswer::silent;
        },
    });

    runAfter(0, [given = options.links, mode, &delegate, &copyLock] {
        platform::Application::finishLaunching();
        switch (delegate.launchEnd()) {
        case AppDelegate::LaunchEnd::earlyMode:
        case AppDelegate::LaunchEnd::quit:
            return;
        case AppDelegate::LaunchEnd::anotherCopy:
            QTextStream(stderr) << "Tessaroom is running already and could not be retired: "
                                << delegate.anotherCopyProblem() << Qt::endl;
            platform::Application::terminate();
            return;
        case AppDelegate::LaunchEnd::noCopyLock:
            QTextStream(stderr) << "Tessaroom cannot tell whether another copy runs, so it quits: "
                                << delegate.anotherCopyProblem() << Qt::endl;
            platform::Application::terminate();
            return;
        case AppDelegate::LaunchEnd::noComingMark:
            QTextStream(stderr) << "Tessaroom cannot tell senders that it is on its way, so it quits: "
                                << delegate.anotherCopyProblem() << Qt::endl;
            platform::Application::terminate();
            return;
        default:
            break;
        }
        // Only the user's own copy registers as the opener of links; a mode
        // or a sample session runs beside it and leaves the desktop's files
        // alone.
        if (delegate.servesLinks()) {
            if (const auto failure =
                    platform::LinkHandlers::registerSchemes({QStringLiteral("tessaroom"), QStringLiteral("quorvelin")}))
                platform::SystemLog::write(QStringLiteral("Tessaroom: ") + *failure);
            // The desktop entries name the app's icon: it goes where the desktop looks for it.
            if (const auto failure = platform::host::installDesktopIcon())
                platform::SystemLog::write(QStringLiteral("Tessaroom: the app's icon was not installed: ") + *failure);
        }
        const SpaceEngine& engine = SpaceEngine::shared();
        QTextStream(stderr) << "Tessaroom " << platform::Bundle::shortVersion().value_or(QStringLiteral("0"))
                            << " launched: " << engine.desktops().size() << " desktops on " << engine.displays().size()
                            << " displays" << Qt::endl;
        QList<QString> urls;
        for (const QByteArray& link : given)
            urls.append(QString::fromUtf8(link));
        if (!urls.isEmpty())
            platform::Application::openURLs(urls);
        // A mode followed its links in its own world: a copy may start now.
        // "--switch" lets go once its own switch is over.
        if (mode && !urls.isEmpty() && !DebugTools::value(QStringLiteral("--switch"), QApplication::arguments()))
            copyLock.release();
    });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [] { platform::Application::terminate(); });
    if (options.runFor)
        runAfter(*options.runFor, [] { platform::Application::terminate(); });
    const int status = app.exec();
    // Nothing runs on in the background while the process's objects go;
    // quitting asked long work there to give up, so this wait is short.
    platform::Scheduler::current().finishBackgroundWork();
    // No queued call runs from here on: a transfer still connecting would
    // keep its connection thread running into the process's exit.
    NetworkUrlLoader::endAllTransfers();
    platform::Application::setDelegate(nullptr);
    receiver = nullptr;
    const AppDelegate::LaunchEnd end = delegate.launchEnd();
    const bool yielded = end == AppDelegate::LaunchEnd::anotherCopy || end == AppDelegate::LaunchEnd::noCopyLock
                         || end == AppDelegate::LaunchEnd::noComingMark;
    return yielded ? 1 : status;
}
