#include "update/Updates.h"

#include "platform/AppBundles.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString parentFolder(const QString& bundlePath)
{
    return QFileInfo(QDir::cleanPath(bundlePath)).path();
}

} // namespace

const Updates::ReplaceTest Updates::defaultCanReplace = &Updates::canReplace;

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
