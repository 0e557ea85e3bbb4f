#include "app/CopyLock.h"

#include "platform/FileIO.h"
#include "platform/Folders.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// A newcomer tries for its shared mark this many times, a millisecond apart:
// a sender's look holds the file alone for a moment.
constexpr int comingTries = 200;

struct Opened {
    int fd = -1;
    // Why it was not opened; empty when nothing is there and make was not set.
    QString why;
};

// The lock file at path, made (0600, its folder 0700) when make is set; only
// a regular file of this user is used, and no link is followed.
Opened openLockFile(const QString& path, bool make)
{
    if (make && !platform::Folders::make(QFileInfo(path).path()))
        return {.fd = -1, .why = QStringLiteral("the folder of %1 cannot be made").arg(path)};
    const int flags = (make ? O_RDWR | O_CREAT : O_RDONLY) | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    const int fd = ::open(QFile::encodeName(path).constData(), flags, 0600);
    if (fd < 0) {
        const int reason = errno;
        if (!make && reason == ENOENT)
            return {};
        return {.fd = -1, .why = QStringLiteral("%1 cannot be opened: %2").arg(path, platform::FileIO::describe(reason))};
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::getuid()) {
        ::close(fd);
        return {.fd = -1, .why = QStringLiteral("%1 is not a file of this user").arg(path)};
    }
    return {.fd = fd, .why = {}};
}

void closeHeld(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// The process that holds a lock on the file, as /proc/locks tells it; 0 when
// it cannot be told.
qint32 holderOf(const QString& path)
{
    struct stat info {};
    QFile locks(QStringLiteral("/proc/locks"));
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !locks.open(QIODevice::ReadOnly))
        return 0;
    // "1: FLOCK  ADVISORY  WRITE 1234 fd:01:5678 0 EOF"; waiters read "1: -> FLOCK ...".
    // Read whole: the kernel's files tell no size.
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields[1] != "FLOCK")
            continue;
        const QList<QByteArray> file = fields[5].split(':');
        bool ok[3] = {false, false, false};
        if (file.size() == 3 && file[0].toUInt(&ok[0], 16) == major(info.st_dev)
            && file[1].toUInt(&ok[1], 16) == minor(info.st_dev) && file[2].toULongLong(&ok[2]) == info.st_ino
            && ok[0] && ok[1] && ok[2])
            return fields[4].toInt();
    }
    return 0;
}

} // namespace

CopyLock::CopyLock(QString socketPath)
    : socketPath_(std::move(socketPath))
{
    const QString state = QFileInfo(platform::Folders::logs()).path();
    for (const QString& folder : {platform::Folders::preferences(), state})
        places_.push_back({.copy = folder + QStringLiteral("/copy.lock"), .coming = folder + QStringLiteral("/coming.lock")});
}

CopyLock::~CopyLock()
{
    release();
    arrived();
}

CopyLock::Take CopyLock::take()
{
    return hold(LOCK_EX);
}

CopyLock::Take CopyLock::hold(int operation)
{
    if (isHeld())
        return Take::taken;
    error_.clear();
    QStringList unusable;
    for (Place& place : places_) {
        const Opened opened = openLockFile(place.copy, true);
        if (opened.fd < 0) {
            unusable << opened.why;
            continue;
        }
        if (::flock(opened.fd, operation | LOCK_NB) == 0) {
            place.copyFd = opened.fd;
            continue;
        }
        const int reason = errno;
        ::close(opened.fd);
        if (reason == EWOULDBLOCK) {
            // Not half held: two newcomers must never hold one place each.
            release();
            heldAt_ = place.copy;
            return Take::heldElsewhere;
        }
        unusable << QStringLiteral("%1 cannot be locked: %2").arg(place.copy, platform::FileIO::describe(reason));
    }
    if (isHeld())
        return Take::taken;
    error_ = unusable.join(QStringLiteral("; "));
    return Take::failed;
}

const CopyLock::Place* CopyLock::comingElsewhere() const
{
    for (const Place& place : places_) {
        // This process's own mark is no other newcomer.
        if (place.comingFd >= 0)
            continue;
        const Opened opened = openLockFile(place.coming, false);
        if (opened.fd < 0)
            continue;
        // Alone and let go at once: any newcomer's shared mark keeps it out.
        const bool held = ::flock(opened.fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(opened.fd);
        if (held)
            return &place;
    }
    return nullptr;
}

CopyLock::Seen CopyLock::claimUnlessACopyRuns(Claim claim)
{
    const Take took = hold(claim == Claim::copy ? LOCK_EX : LOCK_SH);
    if (took == Take::failed)
        return {.look = Look::cannotTell, .found = QStringLiteral("which copy runs cannot be told: ") + error_};
    // A newcomer on its way is the news, also while the copy lock is held:
    // by the copy it retires, or for a moment by another sender's look.
    if (const Place* coming = comingElsewhere()) {
        release();
        const qint32 pid = holderOf(coming->coming);
        const QString who = pid > 0 ? QStringLiteral(" (pid %1)").arg(pid) : QString();
        return {.look = Look::copyComing,
                .found = QStringLiteral("a new copy of Tessaroom%1 is on its way (it holds %2)").arg(who, coming->coming)};
    }
    if (took == Take::heldElsewhere) {
        const qint32 pid = holderOf(heldAt_);
        const QString who = pid > 0 ? QStringLiteral("Tessaroom (pid %1)").arg(pid) : QStringLiteral("another process");
        return {.look = Look::copyRuns, .found = QStringLiteral("%1 holds the copy lock %2").arg(who, heldAt_)};
    }
    return {};
}

void CopyLock::release()
{
    for (Place& place : places_)
        closeHeld(place.copyFd);
}

bool CopyLock::isHeld() const
{
    for (const Place& place : places_) {
        if (place.copyFd >= 0)
            return true;
    }
    return false;
}

bool CopyLock::announceComing()
{
    QStringList unusable;
    bool held = false;
    for (Place& place : places_) {
        if (place.comingFd >= 0) {
            held = true;
            continue;
        }
        const Opened opened = openLockFile(place.coming, true);
        if (opened.fd < 0) {
            unusable << opened.why;
            continue;
        }
        for (int attempt = 0; attempt < comingTries && place.comingFd < 0; ++attempt) {
            if (::flock(opened.fd, LOCK_SH | LOCK_NB) == 0)
                place.comingFd = opened.fd;
            else if (errno == EWOULDBLOCK)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            else
                break;
        }
        if (place.comingFd < 0) {
            ::close(opened.fd);
            unusable << QStringLiteral("%1 cannot be locked").arg(place.coming);
        }
        held = held || place.comingFd >= 0;
    }
    if (!held)
        error_ = unusable.join(QStringLiteral("; "));
    return held;
}

void CopyLock::arrived()
{
    for (Place& place : places_)
        closeHeld(place.comingFd);
}
