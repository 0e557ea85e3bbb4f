#include "update/Updates.h"

#include "platform/Folders.h"
#include "platform/Volumes.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString parentFolder(const QString& bundlePath)
{
    return QFileInfo(QDir::cleanPath(bundlePath)).path();
}

} // namespace

const Updates::ReplaceTest Updates::defaultCanReplace = &Updates::canReplace;

QStringList Updates::applicationsFolders()
{
    return {QStringLiteral("/Applications"), QDir(platform::Folders::home()).filePath(QStringLiteral("Applications"))};
}

bool Updates::canReplace(const QString& bundlePath)
{
    const QString folder = parentFolder(bundlePath);
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isWritable())
        return false;
    const auto volume = platform::Volumes::volumeOf(folder);
    return !(volume && volume->readOnly.value_or(false));
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
    const auto volume = platform::Volumes::volumeOf(parentFolder(bundlePath));
    if (!volume || !volume->readOnly.value_or(false))
        return false;
    return !volume->rootFileSystem.value_or(false);
}
