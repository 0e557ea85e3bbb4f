#include "update/Updates.h"

#include "platform/AppBundles.h"
#include "platform/Bundle.h"
#include "update/UpdatePaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

using UpdatePaths::parentFolder;

const Updates::ReplaceTest Updates::defaultCanReplace = &Updates::canReplace;

const QString Updates::notAnAppBundle =
    QStringLiteral("this copy does not run from an app bundle, so it cannot replace itself");

bool Updates::isAppBundle(const QString& path)
{
    const QString name = QFileInfo(QDir::cleanPath(path)).fileName();
    struct stat info {};
    return name.size() > 4 && name.endsWith(QLatin1String(".app"))
           && ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<QString> Updates::runningBundle()
{
    // Known from where the program runs, not from what is on disk: an
    // install cut short may have left the place empty.
    const QString bundle = platform::Bundle::bundlePath();
    if (bundle.isEmpty())
        return std::nullopt;
    return QDir::cleanPath(bundle);
}

// The shell's move to Applications asks the platform the same questions.
QStringList Updates::applicationsFolders()
{
    return platform::Volumes::applicationsFolders();
}

bool Updates::canReplace(const QString& bundlePath)
{
    return platform::Volumes::isWritableFolder(parentFolder(bundlePath));
}

std::optional<QString> Updates::installTarget(const QString& runningCopy, const QStringList& candidates,
                                              const ReplaceTest& canReplace)
{
    if (canReplace(runningCopy))
        return runningCopy;
    const QString name = QFileInfo(QDir::cleanPath(runningCopy)).fileName();
    for (const QString& folder : candidates) {
        const QString target = QDir(folder).filePath(name);
        if (canReplace(target))
            return target;
    }
    return std::nullopt;
}

bool Updates::isOnReadOnlyVolume(const QString& bundlePath)
{
    return platform::Volumes::isOnReadOnlyVolume(QDir::cleanPath(bundlePath));
}
