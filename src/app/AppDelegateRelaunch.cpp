// The delegate's relaunch, and the move out of a disk image that ends in one.
#include "app/AppDelegate.h"

#include "platform/AppBundles.h"
#include "platform/Bundle.h"
#include "platform/ChildProcess.h"
#include "platform/Dialogs.h"
#include "platform/Volumes.h"
#include "platform/Workspace.h"
#include "store/LogFile.h"
#include "update/Updates.h"

std::optional<QString> AppDelegate::installTarget(const QString& source)
{
    // The updater's choice: the move and a later update go to the same place.
    return Updates::installTarget(source, Updates::applicationsFolders(), Updates::defaultCanReplace);
}

bool AppDelegate::offerMoveToApplications()
{
    const std::optional<QString> bundle = Updates::runningBundle();
    if (!bundle) {
        // A bare program on a disk image: there is no bundle to move.
        const QString program = platform::Bundle::executablePath();
        if (platform::Volumes::isOnReadOnlyVolume(program))
            LogFile::updates().write(QStringLiteral("running from %1; ").arg(program) + Updates::notAnAppBundle);
        return false;
    }
    const QString source = *bundle;
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
    // A program outside a bundle starts itself again.
    const QString bundle = platform::Bundle::bundlePath();
    return relaunch(bundle.isEmpty() ? platform::Bundle::executablePath() : bundle);
}
