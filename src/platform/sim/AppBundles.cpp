#include "platform/AppBundles.h"
#include "platform/sim/Volumes.h"

#include "platform/Folders.h"
#include "platform/Lifetime.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/statvfs.h>

namespace platform {

namespace {

struct VolumeState {
    QStringList readOnlyFolders;
    std::optional<QStringList> applicationsFolders;
};

VolumeState& state()
{
    static VolumeState* current = nullptr;
    if (!current) {
        current = new VolumeState;
        registerSharedReset([] {
            delete current;
            current = nullptr;
        });
    }
    return *current;
}

bool inside(const QString& path, const QString& folder)
{
    const QString clean = QDir::cleanPath(path);
    const QString base = QDir::cleanPath(folder);
    return clean == base || clean.startsWith(base + QLatin1Char('/'));
}

// The nearest existing folder at or above path.
QString existingAncestor(const QString& path)
{
    QFileInfo info(QDir::cleanPath(path));
    while (!info.exists() && info.path() != info.filePath())
        info = QFileInfo(info.path());
    return info.isDir() ? info.filePath() : info.path();
}

bool mountedReadOnly(const QString& path)
{
    struct statvfs stats {};
    if (statvfs(QFile::encodeName(existingAncestor(path)).constData(), &stats) != 0)
        return false;
    return (stats.f_flag & ST_RDONLY) != 0;
}

bool onRootVolume(const QString& path)
{
    struct stat here {};
    struct stat root {};
    if (stat(QFile::encodeName(existingAncestor(path)).constData(), &here) != 0 || stat("/", &root) != 0)
        return false;
    return here.st_dev == root.st_dev;
}

} // namespace

QStringList AppBundles::openCommand(const QString& bundlePath)
{
    const QFileInfo info(bundlePath);
    if (info.isFile())
        return {info.absoluteFilePath()};
    return {QDir::cleanPath(bundlePath) + QStringLiteral("/Contents/MacOS/tessaroom")};
}

bool Volumes::isOnReadOnlyVolume(const QString& path)
{
    for (const QString& folder : state().readOnlyFolders) {
        if (inside(path, folder))
            return true;
    }
    const QString folder = QFileInfo(path).path();
    return !onRootVolume(folder) && mountedReadOnly(folder);
}

bool Volumes::isWritableFolder(const QString& folder)
{
    for (const QString& readOnly : state().readOnlyFolders) {
        if (inside(folder, readOnly))
            return false;
    }
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable() && !mountedReadOnly(folder);
}

QStringList Volumes::applicationsFolders()
{
    if (state().applicationsFolders)
        return *state().applicationsFolders;
    return {QStringLiteral("/Applications"), Folders::home() + QStringLiteral("/Applications")};
}

void sim::setReadOnlyFolder(const QString& folder, bool readOnly)
{
    QStringList& folders = state().readOnlyFolders;
    folders.removeAll(folder);
    if (readOnly)
        folders.append(folder);
}

void sim::setApplicationsFolders(std::optional<QStringList> folders)
{
    state().applicationsFolders = std::move(folders);
}

} // namespace platform
