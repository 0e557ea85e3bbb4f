#include "update/Updates.h"

#include "platform/FileIO.h"
#include "platform/FileManager.h"
#include "platform/Folders.h"
#include "platform/Scheduler.h"
#include "store/LogFile.h"
#include "update/InstallLock.h"
#include "update/TemporaryWork.h"
#include "update/UpdatePaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
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

// Whether the temporary folder's entry named by a match is this user's work:
// the user owns it and its tag (groups uidGroup and the one after) names
// this user.
bool isUsersWork(const QRegularExpressionMatch& match, int uidGroup, const struct stat& info)
{
    const uid_t user = ::geteuid();
    if (info.st_uid != user)
        return false;
    bool uidRead = false;
    const qulonglong uid = match.captured(uidGroup).toULongLong(&uidRead);
    return uidRead && uid == user;
}

// Whether the match's tag names this process: its work may be under way.
bool isThisProcesss(const QRegularExpressionMatch& match, int uidGroup)
{
    bool read = false;
    const qint64 pid = match.captured(uidGroup + 1).toLongLong(&read);
    return read && pid == ::getpid();
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

using UpdatePaths::somethingAt;

// The names beside a target that are an install's copies.
QStringList hiddenCopies(const QDir& folder)
{
    QStringList names;
    for (const QString& name :
         folder.entryList({QStringLiteral(".Tessaroom-*")}, QDir::AllEntries | QDir::Hidden | QDir::System)) {
        if (hiddenCopyName.match(name).hasMatch())
            names.append(name);
    }
    return names;
}

// Moves copy to target, never over anything there: 0 or the error number.
int putBack(const QString& copy, const QString& target, const Updates::Renames& renames)
{
    const int error = renames.renameNoReplace ? renames.renameNoReplace(copy, target) : EINVAL;
    if (error != EINVAL && error != ENOSYS)
        return error;
    // The file system cannot refuse to replace. Installs are kept out by the
    // lock recovery holds, so the place stays empty once seen empty.
    if (somethingAt(target))
        return EEXIST;
    return renames.rename(copy, target);
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
    platform::Scheduler::current().runInBackground("update.leftovers", [target, temporary, done, renames = renames] {
        const QStringList lines = tidyLeftovers(target, temporary, renames);
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
    // A program outside a bundle has no install target: its folder (a build
    // folder, say) is never searched.
    const std::optional<QString> running = runningBundle();
    recoverLeftovers(running ? installTarget(*running, applicationsFolders(), defaultCanReplace).value_or(QString())
                             : QString(),
                     std::move(done));
}

QString Updates::installLockPath()
{
    return QFileInfo(platform::Folders::logs()).path() + QStringLiteral("/install.lock");
}

namespace {

// The copies beside target an interrupted install left, and what becomes of
// target: the newest that verifies goes in its place when target is missing
// or does not verify. Answers the copies still to remove.
std::vector<HiddenCopy> restoreTarget(const QString& target, std::vector<HiddenCopy> copies,
                                      const Updates::Renames& renames, QStringList& lines)
{
    const bool present = somethingAt(target);
    std::optional<QString> unverified;
    if (present) {
        unverified = Updates::verifySignature(target, QStringLiteral("it"));
        if (!unverified)
            return copies; // the app in place verifies: the copies are leftovers
    }
    const QString state = present ? QStringLiteral("%1 does not verify (%2)").arg(target, *unverified)
                                  : QStringLiteral("%1 is missing").arg(target);
    std::sort(copies.begin(), copies.end(), newer);
    const auto back = std::find_if(copies.begin(), copies.end(),
                                   [](const HiddenCopy& copy) { return !Updates::verifySignature(copy.path); });
    if (back == copies.end()) {
        lines.append(state + QStringLiteral(" and no copy left beside it by an interrupted install verifies; "
                                            "the copies stay"));
        return {};
    }
    QString aside;
    if (present) {
        // Not trusted, and not removed either: it may be all of something.
        aside = QDir(QFileInfo(target).path())
                    .filePath(QStringLiteral(".Tessaroom-unverified-%1-%2-%3.app")
                                  .arg(::geteuid())
                                  .arg(::getpid())
                                  .arg(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()));
        if (const int error = putBack(target, aside, renames)) {
            lines.append(state + QStringLiteral(" and could not be set aside: %1; the copies stay")
                                     .arg(platform::FileIO::describe(error)));
            return {};
        }
        lines.append(state + QStringLiteral("; set it aside as ") + aside);
    }
    if (const int error = putBack(back->path, target, renames)) {
        lines.append(QStringLiteral("%1 could not be put back from %2: %3; the copies stay")
                         .arg(target, back->path, platform::FileIO::describe(error)));
        if (!aside.isEmpty() && putBack(aside, target, renames) == 0)
            lines.append(QStringLiteral("moved %1 back to %2").arg(aside, target));
        return {};
    }
    lines.append(QStringLiteral("put back %1 from %2, left by an interrupted install").arg(target, back->path));
    copies.erase(back);
    return copies;
}

} // namespace

QStringList Updates::tidyLeftovers(const QString& target, const QString& temporaryFolder, const Renames& renames)
{
    QStringList lines;
    const QDir folder(target.isEmpty() ? QString() : UpdatePaths::parentFolder(target));
    // Held until the tidy ends, so no install into target's folder starts
    // meanwhile; this process's own install shares it (its tidy before
    // staging). Only a folder an install left something in (its copies, its
    // lock file) needs its lock: a launch makes nothing there otherwise.
    const bool installWasHere =
        !target.isEmpty()
        && (!hiddenCopies(folder).isEmpty() || somethingAt(folder.filePath(QLatin1String(InstallLock::folderLockName))));
    const InstallLock install(installWasHere ? folder.path() : QString(), InstallLock::Holder::tidy);
    if (!install.setAside().isEmpty())
        lines.append(install.setAside());
    if (install.state() == InstallLock::State::unknown) {
        lines.append(QStringLiteral("leftovers of installs stay: whether one is under way cannot be told (%1)")
                         .arg(install.why()));
        return lines;
    }
    if (install.state() == InstallLock::State::busy) {
        lines.append(QStringLiteral("an install is under way (it holds %1); its work and the copies stay")
                         .arg(install.heldElsewhere()));
        return lines;
    }
    if (installWasHere) {
        std::vector<HiddenCopy> copies;
        for (const QString& name : hiddenCopies(folder)) {
            const QString path = folder.filePath(name);
            struct stat info {};
            if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
                continue; // gone meanwhile
            // Whatever user its tag names: a copy another user's install
            // swapped out of this user's place is this user's files, which
            // that user could not remove. No install into this folder runs
            // while the lock is held.
            if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
                lines.append(QStringLiteral("left %1: not a folder of this user").arg(path));
                continue;
            }
            copies.push_back({path, info.st_mtim});
        }
        if (!copies.empty())
            copies = restoreTarget(QDir::cleanPath(target), std::move(copies), renames, lines);
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
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
            continue;
        if (!isUsersWork(match, uidGroup, info)) {
            lines.append(QStringLiteral("left %1: not this user's").arg(path));
            continue;
        }
        if (isThisProcesss(match, uidGroup)) {
            lines.append(QStringLiteral("left %1: this process's own, maybe under way").arg(path));
            continue;
        }
        // Work a live process holds stays, whatever folder it installs into;
        // the claim keeps it from being taken up while it goes.
        TemporaryWork::Claim claim;
        if (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) {
            claim = TemporaryWork::claim(path);
            if (claim.live) {
                lines.append(QStringLiteral("left %1: a live process is using it").arg(path));
                continue;
            }
            if (!claim.lock) {
                lines.append(QStringLiteral("left %1: whether a live process is using it cannot be told (%2)")
                                 .arg(path, claim.unknown));
                continue;
            }
        }
        remove(path, QStringLiteral("left by an earlier install"), lines);
    }
    return lines;
}
