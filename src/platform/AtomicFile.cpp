#include "platform/AtomicFile.h"

#include "platform/FileIO.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform::AtomicFile {
namespace {

// Logs may be written from other threads than the test that injects.
QMutex injectedLock;
std::optional<InjectedFailure> injected;

// Tries at making a temporary file that a cleaner removed before this writer
// locked it; tries at opening a log that a trim replaced meanwhile.
constexpr int openTries = 8;

std::optional<InjectedFailure> takeInjected()
{
    const QMutexLocker lock(&injectedLock);
    return std::exchange(injected, std::nullopt);
}

// One write's progress through the steps, with the injected failure it may meet.
class Attempt {
public:
    explicit Attempt(std::optional<InjectedFailure> failure) : failure_(std::move(failure)) {}

    // The error code the step fails with, or 0 when it may go on.
    int fault(Step step, int writeIndex = 0)
    {
        if (!failure_ || failure_->step != step || (step == Step::write && failure_->writeIndex != writeIndex))
            return 0;
        const InjectedFailure met = *std::exchange(failure_, std::nullopt);
        if (met.whenMet)
            met.whenMet();
        return met.errorCode;
    }

private:
    std::optional<InjectedFailure> failure_;
};

QString reason(const char* what, int code)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), FileIO::describe(code));
}

// Why a log could not be opened: its lock kept by another writer (openLocked
// answers EWOULDBLOCK) or the system's own error.
QString openingReason(int code)
{
    return code == EWOULDBLOCK ? QString::fromLatin1(lockedElsewhere) : reason("could not open the file", code);
}

// The process's umask, read without changing it (umask() would, for a moment,
// for every thread).
int currentUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const int mask = line.mid(6).trimmed().toInt(&ok, 8);
                if (ok)
                    return mask & 0777;
            }
        }
    }
    return 022;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The file that really gets the bytes: the target of a link this user made,
// else the path itself. A link of another user (planted in a folder others
// may write) is replaced, never written through.
QString resolvedTarget(const QString& path, bool followOwnLink)
{
    struct stat status {};
    if (!followOwnLink || ::lstat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISLNK(status.st_mode)
        || status.st_uid != ::geteuid())
        return path;
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

// Our temporaries are "." + the file's name + temporaryMark + six letters or
// digits (mkstemp's); a name that is not ours is never removed as one, however
// close (a user's ".prefs.json.backup", another tool's temporary).
constexpr char temporaryMark[] = ".tessaroom-";

bool isTemporaryOf(const char* entry, const QByteArray& prefix)
{
    const size_t length = std::strlen(entry);
    if (length != size_t(prefix.size()) + 6 || std::strncmp(entry, prefix.constData(), size_t(prefix.size())) != 0)
        return false;
    return std::all_of(entry + prefix.size(), entry + length, [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

// Removes the temporary files of this file that writers killed on the way
// left behind. A live writer holds its temporary's lock, so only a file
// whose lock can be taken is removed, and only while its name still is that
// file. Failures just leave a file where it is.
void removeStaleTemporaries(const QByteArray& folder, const QByteArray& fileName)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const QByteArray prefix = '.' + fileName + temporaryMark;
    QList<QByteArray> candidates;
    while (const dirent* entry = ::readdir(dir)) {
        if (isTemporaryOf(entry->d_name, prefix))
            candidates.append(QByteArray(entry->d_name));
    }
    const int at = ::dirfd(dir);
    for (const QByteArray& name : candidates) {
        const int fd = ::openat(at, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid()
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstatat(at, name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0
            && sameFile(held, named))
            ::unlinkat(at, name.constData(), 0);
        ::close(fd);
    }
    ::closedir(dir);
}

// A temporary file beside the target, locked for as long as `holder` is open.
struct Temporary {
    QByteArray name = {};
    int fd = -1;
    int holder = -1;
    int error = 0;
};

Temporary makeTemporary(const QByteArray& pattern)
{
    for (int tries = 0; tries < openTries; ++tries) {
        Temporary made{.name = pattern};
        made.fd = ::mkostemp(made.name.data(), O_CLOEXEC);
        if (made.fd < 0)
            return {.error = errno};
        // Between its making and its lock a cleaner may take it for a dead
        // writer's and remove it: then it is no longer at its name.
        // Without locks (a file system that has none) there is no telling.
        FileIO::lock(made.fd);
        struct stat held {};
        struct stat named {};
        if (::fstat(made.fd, &held) != 0 || ::lstat(made.name.constData(), &named) != 0 || !sameFile(held, named)) {
            ::close(made.fd);
            continue;
        }
        // The lock lives on in a second descriptor, past the checked close
        // of the first, until the rename is done.
        made.holder = ::fcntl(made.fd, F_DUPFD_CLOEXEC, 0);
        if (made.holder >= 0)
            return made;
        const int code = errno;
        ::close(made.fd);
        ::unlink(made.name.constData());
        return {.error = code};
    }
    return {.error = EEXIST};
}

// Puts the finished temporary file at the target; without replacing, an
// existing target makes it fail with EEXIST.
int putInPlace(const QByteArray& temporary, const QByteArray& target, bool replace)
{
    if (replace)
        return ::rename(temporary.constData(), target.constData()) == 0 ? 0 : errno;
    if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the no-replace rename: a hard link never
    // replaces either.
    if (::link(temporary.constData(), target.constData()) != 0)
        return errno;
    ::unlink(temporary.constData());
    return 0;
}

int syncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int code = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return code;
}

// An open log, locked, that still is the file at its path (a trim replaces
// the file; an append that waited for the trim's lock opens the new one).
struct OpenLog {
    int fd = -1;
    int error = 0;
    bool made = false;
    bool regular = false;
    struct stat status {};
};

OpenLog openLocked(const QByteArray& name, int flags, bool create)
{
    OpenLog log;
    // Never through a link: it may lead to any file of the user.
    flags |= O_NOFOLLOW;
    for (int tries = 0; tries < openTries; ++tries) {
        log = {};
        log.fd = ::open(name.constData(), flags);
        if (log.fd < 0 && errno == ENOENT && create) {
            log.fd = ::open(name.constData(), flags | O_CREAT | O_EXCL, 0600);
            log.made = log.fd >= 0;
            if (log.fd < 0 && errno == EEXIST)
                log.fd = ::open(name.constData(), flags);
        }
        if (log.fd < 0)
            return {.error = errno};
        log.regular = ::fstat(log.fd, &log.status) == 0 && S_ISREG(log.status.st_mode);
        // Only a regular file is shared with other writers; a terminal or a
        // pipe just gets what is written.
        if (!log.regular)
            return log;
        const FileIO::Lock locked = FileIO::lock(log.fd);
        if (locked == FileIO::Lock::noLocks)
            return log;
        if (locked == FileIO::Lock::busy) {
            ::close(log.fd);
            return {.error = EWOULDBLOCK};
        }
        struct stat named {};
        if (::lstat(name.constData(), &named) == 0 && sameFile(named, log.status)) {
            ::fstat(log.fd, &log.status); // its length now that it is ours
            return log;
        }
        ::close(log.fd);
    }
    return {.error = EAGAIN};
}

// keepLastLines(), and for clear() a missing file is made first.
std::optional<QString> cutToLastLines(const QString& path, qint64 keepBytes, bool create)
{
    keepBytes = std::max<qint64>(keepBytes, 0);
    const OpenLog log = openLocked(QFile::encodeName(path), O_RDONLY | O_CLOEXEC, create);
    if (log.fd < 0)
        return log.error == ENOENT && !create ? std::nullopt : std::optional(openingReason(log.error));
    const auto done = [&](std::optional<QString> result) {
        ::close(log.fd);
        return result;
    };
    if (!log.regular)
        return done(QStringLiteral("could not cut the file: it is not a regular file"));
    const qint64 size = log.status.st_size;
    if (size <= keepBytes)
        return done(std::nullopt);
    // One byte more than is kept: it tells whether the kept part begins a line.
    QByteArray tail;
    if (const int code = FileIO::readAt(log.fd, size - (keepBytes + 1), keepBytes + 1, tail))
        return done(reason("could not read the file", code));
    const qsizetype lineFeed = tail.indexOf('\n');
    const QByteArray kept = lineFeed < 0 ? QByteArray() : tail.mid(lineFeed + 1);
    // The lock stays on the old file until the new one is in its place; a
    // link put at the path meanwhile is replaced, not written through.
    return done(write(path, QString::fromUtf8(kept).toUtf8(), {.followOwnLink = false}));
}

// Hands a write's bytes, chunk by chunk, to put, which answers false to
// stop: 0, or the error number of the read that failed.
using Chunks = std::function<int(const std::function<bool(const char*, qsizetype)>& put)>;

Outcome writeChunks(const QString& path, const Chunks& chunks, const Options& options)
{
    Attempt attempt(takeInjected());
    const QString target = resolvedTarget(path, options.followOwnLink);
    const QFileInfo targetInfo(target);
    const QString folder = targetInfo.absolutePath();
    const auto failed = [](QString why, int error = 0) { return Outcome{.failure = std::move(why), .error = error}; };

    // A folder, a pipe, a socket or a device at the path is never replaced by
    // a file; a link left there is, and lends the new file nothing.
    struct stat existing {};
    const bool exists = ::lstat(QFile::encodeName(target).constData(), &existing) == 0;
    const bool linkAtPath = exists && S_ISLNK(existing.st_mode);
    if (exists && !linkAtPath && !S_ISREG(existing.st_mode))
        return failed(QStringLiteral("could not replace the file: it is not a regular file"));
    if (exists && !options.replaceExisting)
        return failed(reason("could not write the file", EEXIST));

    removeStaleTemporaries(QFile::encodeName(folder), QFile::encodeName(targetInfo.fileName()));
    if (const int code = attempt.fault(Step::create))
        return failed(reason("could not create a temporary file", code));
    const QString hidden = folder + QLatin1Char('/') + QLatin1Char('.') + targetInfo.fileName();
    Temporary temporary = makeTemporary(QFile::encodeName(hidden) + temporaryMark + "XXXXXX");
    if (temporary.error)
        return failed(reason("could not create a temporary file", temporary.error));
    int& fd = temporary.fd;

    // Writes go through a buffered file; it is closed before the descriptor,
    // so it never flushes into a descriptor number that has been reused.
    QFile file;
    const auto discard = [&] {
        file.close();
        if (fd >= 0)
            ::close(fd);
        ::unlink(temporary.name.constData());
        ::close(temporary.holder);
    };
    const auto fail = [&](const char* what, int code) {
        discard();
        return failed(reason(what, code), code);
    };
    // The buffered file reports the system's own words for what went wrong;
    // its "resource" error is a full disk.
    const auto failWriting = [&] {
        const QString why = file.errorString();
        const int code = file.error() == QFileDevice::ResourceError ? ENOSPC : EIO;
        discard();
        return failed(QStringLiteral("could not write: ") + why, code);
    };

    const int mode = exists && !linkAtPath ? int(existing.st_mode & 0777)
                                           : options.newFileMode.value_or(0600 & ~currentUmask());
    if (::fchmod(fd, mode_t(mode)) != 0)
        return fail("could not set the temporary file's permissions", errno);

    // Chunks go through the buffered file so the flush is a step of its own,
    // as it is for every buffered writer; a short or failed write stops here.
    if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        return fail("could not open the temporary file", EIO);
    int index = 0;
    std::optional<Outcome> stopped;
    const int unread = chunks([&](const char* data, qsizetype size) {
        if (const int code = attempt.fault(Step::write, index++))
            stopped = fail("could not write", code);
        else if (file.write(data, size) != size)
            stopped = failWriting();
        return !stopped;
    });
    if (stopped)
        return *stopped;
    if (unread)
        return fail("could not read what is to be written", unread);
    if (const int code = attempt.fault(Step::flush))
        return fail("could not write", code);
    if (!file.flush())
        return failWriting();
    file.close();
    // What the buffer held is out; anything it failed to write is caught
    // above, anything the disk refuses later is caught by the fsync.
    if (const int code = attempt.fault(Step::sync))
        return fail("could not sync the file to disk", code);
    if (::fsync(fd) != 0)
        return fail("could not sync the file to disk", errno);
    const int closing = attempt.fault(Step::close);
    const int closed = ::close(fd);
    fd = -1;
    if (closing)
        return fail("could not close the file", closing);
    if (closed != 0)
        return fail("could not close the file", errno);

    if (const int code = attempt.fault(Step::rename))
        return fail("could not replace the file", code);
    if (const int code = putInPlace(temporary.name, QFile::encodeName(target), options.replaceExisting))
        return fail("could not replace the file", code);
    ::close(temporary.holder);

    // The bytes are in place from here: only their durability is in doubt.
    const auto notDurable = [](int code) {
        return Outcome{.notDurable = reason("the new file may not survive a power loss: could not sync its folder", code)};
    };
    if (const int code = attempt.fault(Step::syncFolder))
        return notDurable(code);
    if (const int code = syncFolder(folder))
        return notDurable(code);
    return {};
}

} // namespace

Outcome writeFile(const QString& path, const QByteArray& bytes, const Options& options)
{
    return writeChunks(
        path,
        [&bytes](const std::function<bool(const char*, qsizetype)>& put) {
            for (qsizetype at = 0; at < bytes.size(); at += chunkSize) {
                if (!put(bytes.constData() + at, std::min(chunkSize, bytes.size() - at)))
                    break;
            }
            return 0;
        },
        options);
}

Outcome copyFile(const QString& source, const QString& path, const Options& options)
{
    const FileIO::RegularFile from(source, FileIO::Links::refused);
    if (!from.isOpen())
        return Outcome{.failure = QStringLiteral("could not read %1: %2").arg(source, from.why()),
                       .error = from.notRegular() ? EINVAL : from.error()};
    return writeChunks(
        path,
        [&from](const std::function<bool(const char*, qsizetype)>& put) {
            return FileIO::readChunks(from.fd(), chunkSize, -1, [&put](const char* data, qint64 length) {
                       return put(data, qsizetype(length));
                   }).error;
        },
        options);
}

std::optional<QString> write(const QString& path, const QByteArray& bytes, const Options& options)
{
    return writeFile(path, bytes, options).failure;
}

std::optional<QString> append(const QString& path, const QByteArray& bytes)
{
    Attempt attempt(takeInjected());
    const QByteArray name = QFile::encodeName(path);
    if (const int code = attempt.fault(Step::create))
        return reason("could not open the file", code);
    // Opened without blocking, so a pipe nobody reads fails instead of hanging.
    OpenLog log = openLocked(name, O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK, true);
    if (log.fd < 0)
        return openingReason(log.error);
    const int fd = log.fd;
    // Writes block as usual once the file is open.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    const off_t length = log.regular ? log.status.st_size : 0;
    qint64 written = 0;
    // Cuts off this call's bytes, but only while they are all there is past
    // the old length: bytes another writer added after them stay, and so
    // then do these. Shortening a file needs no space, so it does not fail
    // for the reasons a write does.
    const auto cutBack = [&](int descriptor) {
        struct stat now {};
        if (!log.regular || ::fstat(descriptor, &now) != 0 || now.st_size != length + written
            || ::lseek(descriptor, 0, SEEK_CUR) != now.st_size)
            return;
        struct stat named {};
        if (!log.made)
            (void)::ftruncate(descriptor, length);
        else if (::stat(name.constData(), &named) == 0 && sameFile(named, now))
            ::unlink(name.constData());
    };
    const auto fail = [&](const char* what, int code) {
        cutBack(fd);
        ::close(fd);
        return reason(what, code);
    };
    int index = 0;
    for (qsizetype at = 0; at < bytes.size(); at += chunkSize, ++index) {
        const qsizetype size = std::min(chunkSize, bytes.size() - at);
        if (const int code = attempt.fault(Step::write, index))
            return fail("could not write", code);
        if (const int code = FileIO::writeAll(fd, bytes.constData() + at, size, &written))
            return fail("could not write", code);
    }
    if (const int code = attempt.fault(Step::close))
        return fail("could not close the file", code);
    // The lock and a way to cut back outlive the descriptor whose close is checked.
    const int keeper = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (::close(fd) != 0) {
        const int code = errno;
        if (keeper >= 0)
            cutBack(keeper);
        ::close(keeper);
        return reason("could not close the file", code);
    }
    ::close(keeper);
    return std::nullopt;
}

std::optional<QString> keepLastLines(const QString& path, qint64 keepBytes)
{
    return cutToLastLines(path, keepBytes, false);
}

std::optional<QString> appendTrimming(const QString& path, const QByteArray& bytes, qint64 limit)
{
    struct stat status {};
    if (limit >= 1 && ::lstat(QFile::encodeName(path).constData(), &status) == 0 && status.st_size > limit) {
        // A lock kept elsewhere would keep the append waiting as long again.
        if (auto failure = keepLastLines(path, limit / 2); failure == QLatin1String(lockedElsewhere))
            return failure;
    }
    return append(path, bytes);
}

std::optional<QString> clear(const QString& path)
{
    return cutToLastLines(path, 0, true);
}

void failNextWrite(const InjectedFailure& failure)
{
    const QMutexLocker lock(&injectedLock);
    injected = failure;
}

void clearInjectedFailure()
{
    const QMutexLocker lock(&injectedLock);
    injected.reset();
}

} // namespace platform::AtomicFile
