#include "app/CopyLock.h"

#include "platform/FileIO.h"
#include "platform/Folders.h"
#include "store/LogFile.h"

#include <QFile>
#include <QScopeGuard>

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
// Names tried for a thing moved aside before giving up.
constexpr int asideNames = 100;

constexpr auto copyName = "copy.lock";
constexpr auto comingName = "coming.lock";

bool isLockFile(const struct stat& info)
{
    return S_ISREG(info.st_mode) && info.st_uid == ::getuid();
}

// For the line that says what was moved aside.
QString kindOf(const struct stat& info)
{
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("a folder");
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("a link");
    if (S_ISFIFO(info.st_mode))
        return QStringLiteral("a named pipe");
    if (S_ISSOCK(info.st_mode))
        return QStringLiteral("a socket");
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("a device");
    return QStringLiteral("a file of user %1").arg(info.st_uid);
}

QString holderName(qint32 pid)
{
    return pid > 0 ? QStringLiteral("process %1").arg(pid) : QStringLiteral("another process");
}

struct Aside {
    // Where it went; empty when nothing was moved.
    QString path = {};
    QString kind = {};
    // Why it could not be moved; empty when it was, or when nothing was to move.
    QString why = {};
};

// Moves what sits at name in folder to a free name beside it, unless nothing
// is there or it is a lock file of this user. Every process that moves one
// holds the folder's lock meanwhile, so none moves aside the lock file that
// another one made in place of what it moved.
Aside moveAside(const QString& folder, const QByteArray& name)
{
    const int at = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (at < 0)
        return {.why = QStringLiteral("the folder %1 cannot be opened: %2").arg(folder, platform::FileIO::describe(errno))};
    const auto closeFolder = qScopeGuard([at] { ::close(at); });
    struct stat info {};
    if (::fstat(at, &info) != 0 || info.st_uid != ::getuid())
        return {.why = QStringLiteral("the folder %1 is not this user's").arg(folder)};
    if (platform::FileIO::lock(at) == platform::FileIO::Lock::busy)
        return {.why = QStringLiteral("another process keeps the folder %1 locked").arg(folder)};
    if (::fstatat(at, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0 || isLockFile(info))
        return {};
    int reason = EEXIST;
    for (int copy = 1; copy <= asideNames; ++copy) {
        const QByteArray aside = name + (copy == 1 ? QByteArray() : '.' + QByteArray::number(copy)) + ".aside";
        struct stat taken {};
        if (::fstatat(at, aside.constData(), &taken, AT_SYMLINK_NOFOLLOW) == 0)
            continue;
        if (::renameat(at, name.constData(), at, aside.constData()) != 0) {
            reason = errno;
            break;
        }
        return {.path = folder + QLatin1Char('/') + QFile::decodeName(aside), .kind = kindOf(info)};
    }
    return {.why = QStringLiteral("it cannot be moved aside: %1").arg(platform::FileIO::describe(reason))};
}

struct Opened {
    int fd = -1;
    // Why it was not opened; empty when nothing is there and make was not set.
    QString why = {};
};

// The lock file name in folder: a regular file of this user, no link
// followed. With make the folder (0700) and the file (0600) are made, and
// whatever else sits there is moved aside first.
Opened openLockFile(const QString& folder, const char* name, bool make)
{
    const QString path = folder + QLatin1Char('/') + QLatin1String(name);
    if (make && !platform::Folders::make(folder))
        return {.fd = -1, .why = QStringLiteral("the folder %1 cannot be made").arg(folder)};
    const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | (make ? O_CREAT : 0);
    QString why;
    for (int round = 0; round < 2; ++round) {
        const int fd = ::open(QFile::encodeName(path).constData(), flags, 0600);
        if (fd >= 0) {
            struct stat info {};
            if (::fstat(fd, &info) == 0 && isLockFile(info))
                return {.fd = fd};
            ::close(fd);
            why = QStringLiteral("%1 is not a lock file of this user").arg(path);
        } else {
            const int reason = errno;
            if (!make && reason == ENOENT)
                return {};
            why = QStringLiteral("%1 cannot be opened: %2").arg(path, platform::FileIO::describe(reason));
        }
        if (!make || round > 0)
            break;
        const Aside aside = moveAside(folder, QByteArray(name));
        if (!aside.why.isEmpty())
            return {.fd = -1, .why = why + QStringLiteral("; ") + aside.why};
        if (!aside.path.isEmpty())
            LogFile::switches().write(QStringLiteral("moved %1 at %2 aside to %3: a lock file takes its place")
                                          .arg(aside.kind, path, aside.path));
    }
    return {.fd = -1, .why = why};
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
    , folder_(platform::Folders::preferences())
    , copyPath_(folder_ + QLatin1Char('/') + QLatin1String(copyName))
    , comingPath_(folder_ + QLatin1Char('/') + QLatin1String(comingName))
{
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
    const Opened opened = openLockFile(folder_, copyName, true);
    if (opened.fd < 0) {
        error_ = opened.why;
        return Take::failed;
    }
    if (::flock(opened.fd, operation | LOCK_NB) == 0) {
        copyFd_ = opened.fd;
        return Take::taken;
    }
    const int reason = errno;
    ::close(opened.fd);
    if (reason == EWOULDBLOCK)
        return Take::heldElsewhere;
    error_ = QStringLiteral("%1 cannot be locked: %2").arg(copyPath_, platform::FileIO::describe(reason));
    return Take::failed;
}

bool CopyLock::comingElsewhere() const
{
    // This process's own mark is no other newcomer.
    if (comingFd_ >= 0)
        return false;
    const Opened opened = openLockFile(folder_, comingName, false);
    if (opened.fd < 0)
        return false;
    // Alone and let go at once: any newcomer's shared mark keeps it out.
    const bool held = ::flock(opened.fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(opened.fd);
    return held;
}

CopyLock::Seen CopyLock::claimUnlessACopyRuns(Claim claim)
{
    const Take took = hold(claim == Claim::copy ? LOCK_EX : LOCK_SH);
    if (took == Take::failed)
        return {.look = Look::cannotTell, .found = QStringLiteral("which copy runs cannot be told: ") + error_};
    // A newcomer on its way is the news, also while the copy lock is held:
    // by the copy it retires, or for a moment by another sender's look.
    if (comingElsewhere()) {
        release();
        return {.look = Look::copyComing,
                .found = QStringLiteral("a new copy is on its way (%1 holds %2)")
                             .arg(holderName(holderOf(comingPath_)), comingPath_)};
    }
    if (took == Take::heldElsewhere)
        return {.look = Look::copyRuns, .found = QStringLiteral("%1 holds the copy lock %2").arg(copyHolder(), copyPath_)};
    return {};
}

void CopyLock::release()
{
    closeHeld(copyFd_);
}

QString CopyLock::copyHolder() const
{
    return holderName(holderOf(copyPath_));
}

bool CopyLock::announceComing()
{
    if (comingFd_ >= 0)
        return true;
    const Opened opened = openLockFile(folder_, comingName, true);
    if (opened.fd < 0) {
        error_ = opened.why;
        return false;
    }
    int reason = 0;
    for (int attempt = 0; attempt < comingTries; ++attempt) {
        if (::flock(opened.fd, LOCK_SH | LOCK_NB) == 0) {
            comingFd_ = opened.fd;
            return true;
        }
        reason = errno;
        if (reason != EWOULDBLOCK)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::close(opened.fd);
    error_ = reason == EWOULDBLOCK
                 ? QStringLiteral("%1 holds %2 alone").arg(holderName(holderOf(comingPath_)), comingPath_)
                 : QStringLiteral("%1 cannot be locked: %2").arg(comingPath_, platform::FileIO::describe(reason));
    return false;
}

void CopyLock::arrived()
{
    closeHeld(comingFd_);
}
