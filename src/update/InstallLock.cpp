#include "update/InstallLock.h"

#include "platform/FileIO.h"
#include "platform/Folders.h"
#include "update/Updates.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <optional>
#include <pwd.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

const char InstallLock::folderLockName[] = ".Tessaroom-install.lock";

namespace {

// Looks at the folder's lock path before it counts as changing all the time.
constexpr int lockAttempts = 4;

// A lock this process holds.
struct Held {
    int fd = -1;
    int holders = 0;
    bool install = false;
    // A folder's lock: the folder, whose lock file goes with the last holder.
    int folder = -1;
};

// The locks this process holds, by key: "file:<path>" for the state
// folder's lock file, "folder:<device>:<inode>" for a folder, so two paths
// to one folder are one lock.
struct Record {
    std::mutex mutex;
    std::map<QString, Held> locks;
};

Record& record()
{
    // Never destroyed: background work may still let go while the process ends.
    static Record* shared = new Record;
    return *shared;
}

// Joins the lock under key when this process holds it: held, or busy for a
// second install; none when it does not hold it. Called with the record's
// mutex held.
std::optional<InstallLock::State> join(Record& shared, const QString& key, InstallLock::Holder holder)
{
    const auto it = shared.locks.find(key);
    if (it == shared.locks.end())
        return std::nullopt;
    const bool install = holder == InstallLock::Holder::install;
    if (install && it->second.install)
        return InstallLock::State::busy;
    ++it->second.holders;
    it->second.install = it->second.install || install;
    return InstallLock::State::held;
}

void leave(Record& shared, const QString& key, InstallLock::Holder holder)
{
    const auto it = shared.locks.find(key);
    if (it == shared.locks.end())
        return;
    if (holder == InstallLock::Holder::install)
        it->second.install = false;
    if (--it->second.holders > 0)
        return;
    const Held held = it->second;
    shared.locks.erase(it);
    if (held.folder >= 0) {
        // Removed while still locked, so the folder keeps no trace of
        // installs; whoever opened it meanwhile finds it gone once it has
        // the lock, and looks again. What is at the path since stays.
        struct stat mine {};
        struct stat there {};
        if (::fstat(held.fd, &mine) == 0
            && ::fstatat(held.folder, InstallLock::folderLockName, &there, AT_SYMLINK_NOFOLLOW) == 0
            && mine.st_dev == there.st_dev && mine.st_ino == there.st_ino)
            ::unlinkat(held.folder, InstallLock::folderLockName, 0);
        ::close(held.folder);
    }
    ::close(held.fd);
}

bool sameEntry(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool inGroup(uid_t uid, gid_t group)
{
    const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? std::size_t(size) : std::size_t(16384));
    passwd entry {};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return false;
    if (found->pw_gid == group)
        return true;
    int count = 32;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    for (int tries = 0; ::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0; ++tries) {
        if (tries == 2)
            return false;
        groups.resize(static_cast<std::size_t>(count));
    }
    return std::find(groups.begin(), groups.begin() + count, group) != groups.begin() + count;
}

// Whether uid may make entries in the folder, by its permission bits as the
// system reads them for that user: the owner's, the group's or everyone's.
bool mayWrite(uid_t uid, const struct stat& folder)
{
    if (uid == 0)
        return true;
    if (uid == folder.st_uid)
        return folder.st_mode & S_IWUSR;
    const bool group = folder.st_mode & S_IWGRP;
    const bool others = folder.st_mode & S_IWOTH;
    if (group == others)
        return group; // whether uid is in the group does not matter
    return inGroup(uid, folder.st_gid) ? group : others;
}

bool everyoneWrites(const struct stat& folder)
{
    return (folder.st_mode & 0222) == 0222;
}

bool groupWrites(const struct stat& folder)
{
    return (folder.st_mode & 0220) == 0220;
}

// Why the entry at the lock path is not an install lock of the folder, or
// none: a file of a user who may write the folder, which no user who may not
// can open.
std::optional<QString> distrust(const struct stat& entry, const struct stat& folder)
{
    if (S_ISLNK(entry.st_mode))
        return QStringLiteral("it is a link");
    if (!S_ISREG(entry.st_mode))
        return QStringLiteral("it is not a file");
    if (!mayWrite(entry.st_uid, folder))
        return QStringLiteral("it belongs to user %1, who may not write the folder").arg(entry.st_uid);
    const bool othersOpen = entry.st_mode & 0006;
    const bool groupOpens = entry.st_mode & 0060;
    if ((othersOpen && !everyoneWrites(folder))
        || (groupOpens && !everyoneWrites(folder) && !(entry.st_gid == folder.st_gid && groupWrites(folder))))
        return QStringLiteral("users who may not write the folder may open it");
    return std::nullopt;
}

// Sets the group and mode of a lock file made for the folder: every user
// who may write the folder may open it, nobody else. 0, or the error number.
int makeOpenToWriters(int fd, const struct stat& folder)
{
    // A lock root makes is the folder owner's, so the owner can open it too.
    if (::geteuid() == 0 && ::fchown(fd, folder.st_uid, folder.st_gid) != 0) {
        // Root's own then: the mode below still keeps it from other users.
    }
    mode_t mode = 0400;
    if (everyoneWrites(folder))
        mode = 0444;
    else if (groupWrites(folder) && ::fchown(fd, uid_t(-1), folder.st_gid) == 0)
        mode = 0440; // a maker outside the folder's group keeps it to itself
    return ::fchmod(fd, mode) == 0 ? 0 : errno;
}

// Makes a lock file for the folder at name, locked, unless something is
// there (EEXIST): the open descriptor, or -1 with errno set. Made without a
// name first where the file system can, so it appears whole (its mode, group
// and lock set): no other installer meets it half made.
int makeLockFile(int folder, const struct stat& info, const char* name)
{
    for (const bool unnamed : {true, false}) {
        const int fd = unnamed ? ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0400)
                               : ::openat(folder, name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0400);
        if (fd < 0) {
            if (unnamed)
                continue;
            return -1;
        }
        int error = makeOpenToWriters(fd, info);
        // Named, another installer may have opened and locked it already.
        if (error == 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
            error = EWOULDBLOCK;
        if (error == 0 && unnamed) {
            const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
            if (::linkat(AT_FDCWD, self.constData(), folder, name, AT_SYMLINK_FOLLOW) != 0)
                error = errno;
        }
        if (error == 0)
            return fd;
        if (!unnamed && error != EWOULDBLOCK)
            ::unlinkat(folder, name, 0);
        ::close(fd);
        if (unnamed && error != EEXIST)
            continue;
        errno = error;
        return -1;
    }
    return -1;
}

// What taking a folder's lock came to.
struct Taken {
    InstallLock::State state = InstallLock::State::unknown;
    int fd = -1;      // held: the lock file
    QString why;      // unknown: why
    QString setAside; // a line saying what was set aside, or empty
};

Taken unknownBecause(const QString& why)
{
    return Taken{.state = InstallLock::State::unknown, .fd = -1, .why = why, .setAside = {}};
}

// Takes the lock of the folder open at folder (info its fstat, path its
// name): the lock file's, made when missing; what is at its path and cannot
// be trusted is set aside for a lock of this process.
Taken lockFolder(int folder, const struct stat& info, const QString& path)
{
    const char* name = InstallLock::folderLockName;
    const QString lockPath = QDir(path).filePath(QString::fromLatin1(name));
    Taken taken;
    for (int attempt = 0; attempt < lockAttempts; ++attempt) {
        struct stat seen {};
        if (::fstatat(folder, name, &seen, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                return unknownBecause(lockPath + QStringLiteral(": ") + platform::FileIO::describe(errno));
            taken.fd = makeLockFile(folder, info, name);
            if (taken.fd >= 0) {
                taken.state = InstallLock::State::held;
                return taken;
            }
            if (errno == EWOULDBLOCK) {
                taken.state = InstallLock::State::busy;
                return taken;
            }
            if (errno != EEXIST)
                return unknownBecause(lockPath + QStringLiteral(": ") + platform::FileIO::describe(errno));
            continue;
        }
        if (const std::optional<QString> why = distrust(seen, info)) {
            // A lock of this process takes its place in one step, so the
            // path never lacks a lock that others respect meanwhile.
            const QString tag = QStringLiteral("%1-%2-%3").arg(::geteuid()).arg(::getpid()).arg(
                QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
            const QByteArray aside = QByteArray(name) + "-set-aside-" + tag.toLatin1();
            const QString asidePath = QDir(path).filePath(QString::fromLatin1(aside));
            const int fd = makeLockFile(folder, info, aside.constData());
            if (fd < 0)
                return unknownBecause(QStringLiteral("%1 is not an install lock (%2), and no lock could be made to "
                                                     "take its place: %3")
                                          .arg(lockPath, *why, platform::FileIO::describe(errno)));
            const int exchanged = ::renameat2(folder, aside.constData(), folder, name, RENAME_EXCHANGE) == 0 ? 0 : errno;
            if (exchanged != 0) {
                ::unlinkat(folder, aside.constData(), 0);
                ::close(fd);
                if (exchanged == ENOENT)
                    continue; // gone meanwhile
                const QString reason = exchanged == EINVAL || exchanged == ENOSYS
                                           ? QStringLiteral("the file system cannot replace it in one step")
                                           : platform::FileIO::describe(exchanged);
                return unknownBecause(QStringLiteral("%1 is not an install lock (%2) and cannot be set aside: %3")
                                          .arg(lockPath, *why, reason));
            }
            struct stat out {};
            if (::fstatat(folder, aside.constData(), &out, AT_SYMLINK_NOFOLLOW) != 0 || !sameEntry(out, seen)) {
                // Another installer put its lock there meanwhile, which it
                // may hold: it goes back, and the path is looked at again.
                const bool back = ::renameat2(folder, aside.constData(), folder, name, RENAME_EXCHANGE) == 0;
                if (back)
                    ::unlinkat(folder, aside.constData(), 0);
                ::close(fd);
                if (!back)
                    return unknownBecause(lockPath + QStringLiteral(": it changed as it was set aside"));
                continue;
            }
            taken.state = InstallLock::State::held;
            taken.fd = fd;
            taken.setAside = QStringLiteral("%1 is not an install lock of this folder (%2); set it aside as %3")
                                 .arg(lockPath, *why, asidePath);
            return taken;
        }
        // Never waits on a pipe put there meanwhile, nor follows a link.
        const int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ENOENT || errno == ELOOP)
                continue;
            // A lock file of another installer this user cannot open.
            return unknownBecause(lockPath + QStringLiteral(": ") + platform::FileIO::describe(errno));
        }
        struct stat opened {};
        if (::fstat(fd, &opened) != 0 || !sameEntry(opened, seen) || distrust(opened, info)) {
            ::close(fd);
            continue;
        }
        // Any failure but another holder: a file system without locks, where
        // no install holds one either.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            ::close(fd);
            taken.state = InstallLock::State::busy;
            return taken;
        }
        // Its last holder may have let go of it and removed it meanwhile.
        struct stat now {};
        if (::fstatat(folder, name, &now, AT_SYMLINK_NOFOLLOW) != 0 || !sameEntry(now, opened)) {
            ::close(fd);
            continue;
        }
        taken.state = InstallLock::State::held;
        taken.fd = fd;
        return taken;
    }
    return unknownBecause(lockPath + QStringLiteral(": it kept changing as the lock was taken"));
}

} // namespace

InstallLock::InstallLock(const QString& folder, Holder holder)
    : holder_(holder)
{
    const QString path = Updates::installLockPath();
    if (!platform::Folders::make(QFileInfo(path).path())) {
        why_ = QFileInfo(path).path() + QStringLiteral(": the folder could not be made");
        return;
    }
    const int file = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (file < 0) {
        why_ = path + QStringLiteral(": ") + platform::FileIO::describe(errno);
        return;
    }
    int folderFd = -1;
    struct stat info {};
    if (!folder.isEmpty()) {
        folderFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folderFd < 0 || ::fstat(folderFd, &info) != 0) {
            why_ = folder + QStringLiteral(": ") + platform::FileIO::describe(errno);
            if (folderFd >= 0)
                ::close(folderFd);
            ::close(file);
            return;
        }
    }

    Record& shared = record();
    std::lock_guard guard(shared.mutex);
    const QString stateKey = QStringLiteral("file:") + path;
    if (const auto joined = join(shared, stateKey, holder)) {
        ::close(file);
        state_ = *joined;
    } else if (::flock(file, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        // Any other failure: a file system without locks, where no install
        // holds one either.
        ::close(file);
        state_ = State::busy;
    } else {
        shared.locks[stateKey] = Held{.fd = file, .holders = 1, .install = holder == Holder::install};
        state_ = State::held;
    }
    if (state_ != State::held) {
        heldElsewhere_ = path;
        if (folderFd >= 0)
            ::close(folderFd);
        return;
    }
    stateKey_ = stateKey;
    if (folderFd < 0)
        return;
    const QString folderKey = QStringLiteral("folder:%1:%2").arg(info.st_dev).arg(info.st_ino);
    if (const auto joined = join(shared, folderKey, holder)) {
        ::close(folderFd);
        state_ = *joined;
        if (state_ == State::busy)
            heldElsewhere_ = QDir(folder).filePath(QString::fromLatin1(folderLockName));
    } else {
        const Taken taken = lockFolder(folderFd, info, folder);
        state_ = taken.state;
        setAside_ = taken.setAside;
        if (state_ == State::held) {
            shared.locks[folderKey] =
                Held{.fd = taken.fd, .holders = 1, .install = holder == Holder::install, .folder = folderFd};
        } else {
            ::close(folderFd);
            why_ = taken.why;
            if (state_ == State::busy)
                heldElsewhere_ = QDir(folder).filePath(QString::fromLatin1(folderLockName));
        }
    }
    if (state_ != State::held) {
        leave(shared, stateKey_, holder_);
        stateKey_.clear();
        return;
    }
    folderKey_ = folderKey;
}

InstallLock::~InstallLock()
{
    release();
}

void InstallLock::release()
{
    if (stateKey_.isEmpty())
        return;
    Record& shared = record();
    std::lock_guard guard(shared.mutex);
    if (!folderKey_.isEmpty())
        leave(shared, folderKey_, holder_);
    leave(shared, stateKey_, holder_);
    folderKey_.clear();
    stateKey_.clear();
}
