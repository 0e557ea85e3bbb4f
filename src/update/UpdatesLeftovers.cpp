#include "update/Updates.h"

#include "platform/Bundle.h"
#include "platform/FileIO.h"
#include "platform/FileManager.h"
#include "platform/Scheduler.h"
#include "store/LogFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const QString uuidPattern =
    QStringLiteral("[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}");

// Hidden copies beside a target; the tag is missing from names of an
// earlier version of this app.
const QRegularExpression hiddenCopyName(
    QStringLiteral("^\\.Tessaroom-(?:new|old)-(?:(\\d+)-(\\d+)-)?%1\\.app$").arg(uuidPattern));
// Unpacked images, image copies and downloads in the temporary folder,
// tagged only: that folder may be shared, so an untagged name could be
// anyone's.
const QRegularExpression temporaryWorkName(
    QStringLiteral("^Tessaroom-(?:mount-(\\d+)-(\\d+)-%1|(?:image|download)-(\\d+)-(\\d+)-%1\\.dmg)$").arg(uuidPattern));

bool processAlive(qint64 pid)
{
    return pid == ::getpid() || ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

// Whether the match's tag (groups uidGroup and the one after) names a
// process that runs.
bool taggedByLiveProcess(const QRegularExpressionMatch& match, int uidGroup)
{
    bool read = false;
    const qint64 pid = match.captured(uidGroup + 1).toLongLong(&read);
    return read && pid > 0 && pid <= std::numeric_limits<pid_t>::max() && processAlive(pid);
}

// Whether the entry named by a match is work of this user whose process has
// ended. uidGroup and pidGroup are the match's groups for the tag; an entry
// without them is this user's when untagged entries are allowed.
bool isLeftover(const QRegularExpressionMatch& match, int uidGroup, const struct stat& info, bool untaggedAllowed)
{
    const uid_t user = ::geteuid();
    if (info.st_uid != user)
        return false;
    if (match.captured(uidGroup).isEmpty())
        return untaggedAllowed;
    bool uidRead = false;
    bool pidRead = false;
    const qulonglong uid = match.captured(uidGroup).toULongLong(&uidRead);
    const qint64 pid = match.captured(uidGroup + 1).toLongLong(&pidRead);
    if (!uidRead || !pidRead || uid != user || pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    return !processAlive(pid);
}

struct HiddenCopy {
    QString path;
    timespec changed{}; // the folder's modification time
};

bool newer(const HiddenCopy& a, const HiddenCopy& b)
{
    return a.changed.tv_sec != b.changed.tv_sec ? a.changed.tv_sec > b.changed.tv_sec
                                                : a.changed.tv_nsec > b.changed.tv_nsec;
}

void remove(const QString& path, const QString& why, QStringList& lines)
{
    if (const auto failure = platform::FileManager::removeItem(path))
        lines.append(QStringLiteral("could not remove %1, %2: %3").arg(path, why, *failure));
    else
        lines.append(QStringLiteral("removed %1, %2").arg(path, why));
}

} // namespace

void Updates::recoverLeftovers(const QString& target, std::function<void()> done)
{
    const QString temporary = QDir::tempPath();
    // One at a time: a launch's look and an install's never cross.
    platform::Scheduler::current().runInBackground("update.leftovers", [target, temporary, done] {
        const QStringList lines = tidyLeftovers(target, temporary);
        platform::Scheduler::current().schedule(0, [lines, done] {
            for (const QString& line : lines)
                LogFile::updates().write(line);
            if (done)
                done();
        });
    });
}

void Updates::recoverLeftoversAtLaunch(std::function<void()> done)
{
    const QString running = QDir::cleanPath(platform::Bundle::bundlePath());
    recoverLeftovers(installTarget(running, applicationsFolders(), defaultCanReplace).value_or(QString()),
                     std::move(done));
}

QStringList Updates::tidyLeftovers(const QString& target, const QString& temporaryFolder)
{
    QStringList lines;
    if (!target.isEmpty()) {
        const QDir folder(QFileInfo(QDir::cleanPath(target)).path());
        std::vector<HiddenCopy> copies;
        QString liveWork; // a copy of an install under way in another process
        for (const QString& name : folder.entryList({QStringLiteral(".Tessaroom-*")},
                                                    QDir::AllEntries | QDir::Hidden | QDir::System)) {
            const QString path = folder.filePath(name);
            struct stat info {};
            const auto match = hiddenCopyName.match(name);
            if (!match.hasMatch())
                continue;
            if (taggedByLiveProcess(match, 1))
                liveWork = path;
            if (::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode)
                && isLeftover(match, 1, info, true))
                copies.push_back({path, info.st_mtim});
        }
        struct stat info {};
        if (!copies.empty() && ::lstat(QFile::encodeName(target).constData(), &info) != 0) {
            std::sort(copies.begin(), copies.end(), newer);
            const auto back = liveWork.isEmpty()
                ? std::find_if(copies.begin(), copies.end(),
                               [](const HiddenCopy& copy) { return !verifySignature(copy.path); })
                : copies.end();
            // Another install may be between its two renames: its new copy
            // is about to go in place, so nothing is put there now.
            if (!liveWork.isEmpty()) {
                lines.append(QStringLiteral("%1 is missing while %2 of an install under way is beside it; "
                                            "nothing is put back and the copies stay")
                                 .arg(target, liveWork));
                copies.clear();
            } else if (back == copies.end()) {
                lines.append(QStringLiteral("%1 is missing and no copy left beside it by an interrupted install "
                                            "verifies; the copies stay")
                                 .arg(target));
                copies.clear();
            } else if (::renameat2(AT_FDCWD, QFile::encodeName(back->path).constData(), AT_FDCWD,
                                   QFile::encodeName(target).constData(), RENAME_NOREPLACE)
                       != 0) {
                // Never in place of something that appeared at target since
                // (even an empty folder); a file system that cannot promise
                // that (EINVAL) gets nothing put back.
                lines.append(QStringLiteral("%1 is missing and %2 could not be put back: %3")
                                 .arg(target, back->path, platform::FileIO::describe(errno)));
                copies.clear();
            } else {
                lines.append(QStringLiteral("put back %1 from %2, left by an interrupted install").arg(target, back->path));
                copies.erase(back);
            }
        }
        for (const HiddenCopy& copy : copies)
            remove(copy.path, QStringLiteral("left by an interrupted install"), lines);
    }
    if (temporaryFolder.isEmpty())
        return lines;
    const QDir temporary(temporaryFolder);
    for (const QString& name :
         temporary.entryList({QStringLiteral("Tessaroom-*")}, QDir::AllEntries | QDir::Hidden | QDir::System)) {
        const auto match = temporaryWorkName.match(name);
        if (!match.hasMatch())
            continue;
        const QString path = temporary.filePath(name);
        struct stat info {};
        const int uidGroup = match.captured(1).isEmpty() ? 3 : 1;
        if (::lstat(QFile::encodeName(path).constData(), &info) == 0 && isLeftover(match, uidGroup, info, false))
            remove(path, QStringLiteral("left by an earlier install"), lines);
    }
    return lines;
}
