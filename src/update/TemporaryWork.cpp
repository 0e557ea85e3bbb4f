#include "update/TemporaryWork.h"

#include "platform/FileIO.h"
#include "update/UpdatePaths.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// Names tried before giving up on work that other tidies keep taking.
constexpr int attempts = 3;

std::mutex meanwhileMutex;
std::function<void(const QString&)> nextMeanwhile;

std::function<void(const QString&)> takeMeanwhile()
{
    const std::lock_guard hold(meanwhileMutex);
    return std::exchange(nextMeanwhile, nullptr);
}

// Whether path still names the entry open at fd.
bool namesOpenEntry(const QString& path, int fd)
{
    struct stat open {};
    return ::fstat(fd, &open) == 0 && UpdatePaths::entryAt(path) == UpdatePaths::Entry{open.st_dev, open.st_ino};
}

// Takes the lock without waiting: 0, or the error number (EWOULDBLOCK while
// another holds it).
int lock(int fd)
{
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
}

} // namespace

TemporaryWork::TemporaryWork(QString path, int fd)
    : path_(std::move(path))
    , fd_(fd)
{
}

TemporaryWork::~TemporaryWork()
{
    if (fd_ >= 0)
        ::close(fd_);
}

Result<std::shared_ptr<TemporaryWork>> TemporaryWork::make(Kind kind, const std::function<QString()>& name)
{
    using Made = Result<std::shared_ptr<TemporaryWork>>;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const QString path = name();
        const QByteArray native = QFile::encodeName(path);
        int fd = -1;
        if (kind == Kind::file) {
            fd = ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        } else if (::mkdir(native.constData(), 0700) == 0) {
            if (const auto meanwhile = takeMeanwhile())
                meanwhile(path);
            fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            // Another process's tidy took it before it was locked (and
            // something else may be at its name since): the next name.
            if (fd < 0 && (errno == ENOENT || errno == ELOOP || errno == ENOTDIR))
                continue;
        }
        if (fd < 0)
            return Made::failure(platform::FileIO::describe(path.isEmpty() ? ENOENT : errno));
        // The mode asked for, whatever the umask took away.
        if (::fchmod(fd, kind == Kind::file ? 0600 : 0700) != 0) {
            const int error = errno;
            ::close(fd);
            return Made::failure(platform::FileIO::describe(error));
        }
        // Another process's tidy found it before it was locked: it is gone,
        // or going. A file system without locks has no such tidy either.
        if (lock(fd) == EWOULDBLOCK || !namesOpenEntry(path, fd)) {
            ::close(fd);
            continue;
        }
        return Made::success(std::shared_ptr<TemporaryWork>(new TemporaryWork(path, fd)));
    }
    return Made::failure(QStringLiteral("another process kept removing it as it was made"));
}

void TemporaryWork::whenNextFolderIsMade(std::function<void(const QString& path)> meanwhile)
{
    const std::lock_guard hold(meanwhileMutex);
    nextMeanwhile = std::move(meanwhile);
}

TemporaryWork::Claim TemporaryWork::claim(const QString& path)
{
    Claim claim;
    // Never waits on a pipe put in its place, and never follows a link.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        claim.unknown = platform::FileIO::describe(errno);
        return claim;
    }
    // Where it cannot be locked, a live process may still be using it.
    if (const int error = lock(fd)) {
        ::close(fd);
        claim.live = error == EWOULDBLOCK;
        if (!claim.live)
            claim.unknown = platform::FileIO::describe(error);
        return claim;
    }
    if (!namesOpenEntry(path, fd)) {
        ::close(fd);
        claim.unknown = QStringLiteral("it changed as it was looked at");
        return claim;
    }
    claim.lock.reset(new TemporaryWork(path, fd));
    return claim;
}
