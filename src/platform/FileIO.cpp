#include "platform/FileIO.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::FileIO {

QString describe(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

RegularFile::RegularFile(const QString& path, Links links)
    : RegularFile(QFile::encodeName(path).constData(), links)
{
}

RegularFile::RegularFile(const char* nativePath, Links links)
{
    // Without O_NONBLOCK opening a pipe waits for a writer; with it the
    // open returns and the pipe is told apart below.
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (links == Links::refused ? O_NOFOLLOW : 0);
    const int fd = ::open(nativePath, flags);
    if (fd < 0) {
        error_ = errno;
        // A socket or a refused link fails to open; it still is no file.
        struct stat info {};
        const int found = links == Links::refused ? ::lstat(nativePath, &info) : ::stat(nativePath, &info);
        if (found == 0 && !S_ISREG(info.st_mode)) {
            notRegular_ = true;
            error_ = 0;
        }
        return;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error_ = errno;
        ::close(fd);
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        notRegular_ = true;
        ::close(fd);
        return;
    }
    fd_ = fd;
}

RegularFile::~RegularFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

QString RegularFile::why() const
{
    if (notRegular_)
        return QStringLiteral("it is not a regular file");
    return error_ == 0 ? QString() : describe(error_);
}

int writeAll(int fd, const char* data, qint64 size, qint64* written)
{
    while (size > 0) {
        const ssize_t done = ::write(fd, data, std::size_t(size));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return done < 0 ? errno : ENOSPC;
        if (written)
            *written += done;
        data += done;
        size -= done;
    }
    return 0;
}

Read readChunks(int fd, qint64 chunkBytes, qint64 length, const std::function<bool(const char*, qint64)>& take)
{
    Read result;
    QByteArray chunk(std::max<qint64>(chunkBytes, 1), Qt::Uninitialized);
    while (length < 0 || result.bytes < length) {
        const qint64 wanted = length < 0 ? chunk.size() : std::min<qint64>(chunk.size(), length - result.bytes);
        const ssize_t got = ::read(fd, chunk.data(), std::size_t(wanted));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            result.error = errno;
            break;
        }
        if (got == 0)
            break;
        result.bytes += got;
        if (!take(chunk.constData(), got))
            break;
    }
    return result;
}

int readAll(int fd, QByteArray& bytes, qint64 limit)
{
    constexpr qint64 chunkBytes = 1 << 16;
    return readChunks(fd, chunkBytes, limit, [&](const char* data, qint64 length) {
               bytes.append(data, length);
               return true;
           })
        .error;
}

int readAt(int fd, qint64 offset, qint64 length, QByteArray& bytes)
{
    const qsizetype start = bytes.size();
    bytes.resize(start + std::max<qint64>(length, 0));
    qint64 got = 0;
    while (got < length) {
        const ssize_t read = ::pread(fd, bytes.data() + start + got, std::size_t(length - got), off_t(offset + got));
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0) {
            bytes.truncate(start + got);
            return read < 0 ? errno : 0;
        }
        got += read;
    }
    return 0;
}

Lock lock(int fd)
{
    return lock(fd, QDeadlineTimer(qint64(lockWait * 1000)));
}

Lock lock(int fd, const QDeadlineTimer& deadline)
{
    // Polled, not a blocking flock: that one cannot be given a limit.
    constexpr auto pause = std::chrono::milliseconds(5);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return Lock::taken;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return Lock::noLocks;
        if (deadline.hasExpired())
            return Lock::busy;
        std::this_thread::sleep_for(std::min<std::chrono::nanoseconds>(pause, deadline.remainingTimeAsDuration()));
    }
}

} // namespace platform::FileIO
