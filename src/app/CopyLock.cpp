#include "app/CopyLock.h"

#include "platform/Folders.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

CopyLock::CopyLock(QString socketPath)
    : socketPath_(std::move(socketPath))
    , path_(platform::Folders::preferences() + QStringLiteral("/copy.lock"))
{
}

CopyLock::~CopyLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

CopyLock::Take CopyLock::take()
{
    if (fd_ >= 0)
        return Take::taken;
    error_.clear();
    const QString file = path_;
    if (!platform::Folders::make(QFileInfo(file).path())) {
        error_ = QStringLiteral("the folder of the copy lock %1 cannot be made").arg(file);
        return Take::failed;
    }
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error_ = QStringLiteral("the copy lock %1 cannot be opened: %2").arg(file, QString::fromLocal8Bit(strerror(errno)));
        return Take::failed;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != getuid()) {
        ::close(fd);
        error_ = QStringLiteral("the copy lock %1 is not a file of this user").arg(file);
        return Take::failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        fd_ = fd;
        return Take::taken;
    }
    const int reason = errno;
    ::close(fd);
    if (reason == EWOULDBLOCK)
        return Take::heldElsewhere;
    error_ = QStringLiteral("the copy lock %1 cannot be taken: %2").arg(file, QString::fromLocal8Bit(strerror(reason)));
    return Take::failed;
}

bool CopyLock::isHeldElsewhere() const
{
    if (fd_ >= 0)
        return false;
    const int fd = ::open(QFile::encodeName(path()).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    // Shared and let go at once: a copy that takes it meanwhile finds it
    // held and looks again, as it does while any copy holds it.
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}
