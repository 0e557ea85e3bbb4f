#include "platform/Volumes.h"

#include "platform/AppBundles.h"
#include "platform/Folders.h"
#include "platform/Lifetime.h"
#include "platform/sim/Volumes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <map>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace platform {
namespace {

std::mutex& volumeMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Mount point -> read-only.
std::map<QString, bool>& mounted()
{
    static std::map<QString, bool> volumes;
    return volumes;
}

// None: the system's own.
std::optional<QStringList>& replacedApplicationsFolders()
{
    static std::optional<QStringList> folders;
    return folders;
}

void forgetOnReset()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    registerSharedReset([] {
        std::lock_guard lock(volumeMutex());
        mounted().clear();
        replacedApplicationsFolders().reset();
        registered = false;
    });
}

// The nearest existing folder at or above path.
QString existingAncestor(const QString& path)
{
    QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    while (!info.exists() && info.path() != info.filePath())
        info = QFileInfo(info.path());
    return info.isDir() ? info.filePath() : info.path();
}

QString normalized(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool isBelow(const QString& path, const QString& root)
{
    return path == root || path.startsWith(root + QLatin1Char('/'));
}

} // namespace

std::optional<Volumes::Facts> Volumes::volumeOf(const QString& path)
{
    const QString target = normalized(path);
    {
        std::lock_guard lock(volumeMutex());
        const QString* best = nullptr;
        for (const auto& [root, readOnly] : mounted()) {
            if (isBelow(target, root) && (!best || root.size() > best->size()))
                best = &root;
        }
        if (best && QFileInfo::exists(target))
            return Facts{mounted().at(*best), false};
    }
    const QByteArray native = QFile::encodeName(target);
    struct statvfs volume {};
    struct stat here {};
    struct stat root {};
    if (::statvfs(native.constData(), &volume) != 0 || ::stat(native.constData(), &here) != 0)
        return std::nullopt;
    Facts facts;
    facts.readOnly = (volume.f_flag & ST_RDONLY) != 0;
    if (::stat("/", &root) == 0)
        facts.rootFileSystem = here.st_dev == root.st_dev;
    return facts;
}

// The shell's and the updater's questions, answered from the same facts.

bool Volumes::isOnReadOnlyVolume(const QString& path)
{
    const auto facts = volumeOf(existingAncestor(QFileInfo(path).path()));
    return facts && facts->readOnly.value_or(false) && !facts->rootFileSystem.value_or(false);
}

bool Volumes::isWritableFolder(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isWritable())
        return false;
    const auto facts = volumeOf(folder);
    return !(facts && facts->readOnly.value_or(false));
}

QStringList Volumes::applicationsFolders()
{
    {
        std::lock_guard lock(volumeMutex());
        if (replacedApplicationsFolders())
            return *replacedApplicationsFolders();
    }
    return {QStringLiteral("/Applications"), Folders::home() + QStringLiteral("/Applications")};
}

void sim::mountVolume(const QString& path, bool readOnly)
{
    std::lock_guard lock(volumeMutex());
    forgetOnReset();
    mounted()[normalized(path)] = readOnly;
}

void sim::unmountVolume(const QString& path)
{
    std::lock_guard lock(volumeMutex());
    mounted().erase(normalized(path));
}

void sim::setReadOnlyFolder(const QString& folder, bool readOnly)
{
    if (readOnly)
        mountVolume(folder, true);
    else
        unmountVolume(folder);
}

void sim::setApplicationsFolders(std::optional<QStringList> folders)
{
    std::lock_guard lock(volumeMutex());
    forgetOnReset();
    replacedApplicationsFolders() = std::move(folders);
}

} // namespace platform
