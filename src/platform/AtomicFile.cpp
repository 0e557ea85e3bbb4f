#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform::AtomicFile {
namespace {

// Logs may be written from other threads than the test that injects.
QMutex injectedLock;
std::optional<InjectedFailure> injected;

std::optional<InjectedFailure> takeInjected()
{
    const QMutexLocker lock(&injectedLock);
    return std::exchange(injected, std::nullopt);
}

// One write's progress through the steps, with the injected failure it may meet.
class Attempt {
public:
    explicit Attempt(std::optional<InjectedFailure> failure) : failure_(failure) {}

    // The error code the step fails with, or 0 when it may go on.
    int fault(Step step, int writeIndex = 0) const
    {
        if (!failure_ || failure_->step != step || (step == Step::write && failure_->writeIndex != writeIndex))
            return 0;
        return failure_->errorCode;
    }

private:
    std::optional<InjectedFailure> failure_;
};

QString reason(const char* what, int code)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(code)));
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

// The file that really gets the bytes: a link's target, else the path itself.
QString resolvedTarget(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
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

// Writes all of it, going on after short writes; 0 or the error code.
int writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : ENOSPC;
        data += written;
        size -= written;
    }
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

} // namespace

std::optional<QString> write(const QString& path, const QByteArray& bytes, const Options& options)
{
    const Attempt attempt(takeInjected());
    const QString target = resolvedTarget(path);
    const QFileInfo targetInfo(target);
    const QString folder = targetInfo.absolutePath();

    // A folder, a pipe, a socket or a device at the path is never replaced by a file.
    struct stat existing {};
    const bool exists = ::stat(QFile::encodeName(target).constData(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode))
        return QStringLiteral("could not replace the file: it is not a regular file");
    if (exists && !options.replaceExisting)
        return reason("could not write the file", EEXIST);

    QByteArray temporary =
        QFile::encodeName(folder + QLatin1Char('/') + QLatin1Char('.') + targetInfo.fileName() + QStringLiteral(".XXXXXX"));
    if (const int code = attempt.fault(Step::create))
        return reason("could not create a temporary file", code);
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return reason("could not create a temporary file", errno);

    // Writes go through a buffered file; it is closed before the descriptor,
    // so it never flushes into a descriptor number that has been reused.
    QFile file;
    const auto discard = [&] {
        file.close();
        if (fd >= 0)
            ::close(fd);
        ::unlink(temporary.constData());
    };
    const auto fail = [&](const char* what, int code) {
        discard();
        return reason(what, code);
    };
    // The buffered file reports the system's own words for what went wrong.
    const auto failWriting = [&] {
        const QString why = file.errorString();
        discard();
        return QStringLiteral("could not write: ") + why;
    };

    const int mode = exists ? int(existing.st_mode & 0777) : options.newFileMode.value_or(0666 & ~currentUmask());
    if (::fchmod(fd, mode_t(mode)) != 0)
        return fail("could not set the temporary file's permissions", errno);

    // Chunks go through the buffered file so the flush is a step of its own,
    // as it is for every buffered writer; a short or failed write stops here.
    if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        return fail("could not open the temporary file", EIO);
    int index = 0;
    for (qsizetype at = 0; at < bytes.size(); at += chunkSize, ++index) {
        const qsizetype size = std::min(chunkSize, bytes.size() - at);
        if (const int code = attempt.fault(Step::write, index))
            return fail("could not write", code);
        if (file.write(bytes.constData() + at, size) != size)
            return failWriting();
    }
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
    if (const int code = putInPlace(temporary, QFile::encodeName(target), options.replaceExisting))
        return fail("could not replace the file", code);

    if (const int code = attempt.fault(Step::syncFolder))
        return reason("the new file may not survive a power loss: could not sync its folder", code);
    if (const int code = syncFolder(folder))
        return reason("the new file may not survive a power loss: could not sync its folder", code);
    return std::nullopt;
}

std::optional<QString> append(const QString& path, const QByteArray& bytes)
{
    const Attempt attempt(takeInjected());
    const QByteArray name = QFile::encodeName(path);
    if (const int code = attempt.fault(Step::create))
        return reason("could not open the file", code);
    // Opened without blocking, so a pipe nobody reads fails instead of hanging.
    constexpr int flags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK;
    bool made = false;
    int fd = ::open(name.constData(), flags);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(name.constData(), flags | O_CREAT | O_EXCL, 0666);
        made = fd >= 0;
        if (fd < 0 && errno == EEXIST)
            fd = ::open(name.constData(), flags);
    }
    if (fd < 0)
        return reason("could not open the file", errno);
    // Writes block as usual once the file is open.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    // Only a regular file can be cut back; a terminal or a pipe just gets
    // what could be written.
    struct stat status {};
    const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    const off_t length = regular ? status.st_size : 0;
    // Shortening a file needs no space, so cutting back does not fail for
    // the reasons a write does.
    const auto cutBack = [&](int descriptor) {
        if (made) {
            ::unlink(name.constData());
            return;
        }
        if (!regular)
            return;
        const int cut = descriptor >= 0 ? ::ftruncate(descriptor, length) : ::truncate(name.constData(), length);
        Q_UNUSED(cut);
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
        if (const int code = writeAll(fd, bytes.constData() + at, size))
            return fail("could not write", code);
    }
    if (const int code = attempt.fault(Step::close))
        return fail("could not close the file", code);
    if (::close(fd) != 0) {
        // The descriptor is gone whatever close answered: cut back by path.
        const int code = errno;
        cutBack(-1);
        return reason("could not close the file", code);
    }
    return std::nullopt;
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
