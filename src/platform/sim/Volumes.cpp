#include "platform/Volumes.h"

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

void sim::mountVolume(const QString& path, bool readOnly)
{
    std::lock_guard lock(volumeMutex());
    if (mounted().empty()) {
        registerSharedReset([] {
            std::lock_guard resetLock(volumeMutex());
            mounted().clear();
        });
    }
    mounted()[normalized(path)] = readOnly;
}

void sim::unmountVolume(const QString& path)
{
    std::lock_guard lock(volumeMutex());
    mounted().erase(normalized(path));
}

} // namespace platform
