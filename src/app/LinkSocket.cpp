#include "app/LinkSocket.h"

#include "app/LinkMessage.h"
#include "platform/TerminationSignals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Answers are short; anything longer is not one.
constexpr qint64 longestAnswer = 64 * 1024;
// Blocking waits look at termination signals this often, milliseconds.
constexpr int waitSliceMs = 100;

QString reasonOf(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString kindOf(mode_t mode)
{
    if (S_ISLNK(mode))
        return QStringLiteral("a link");
    if (S_ISREG(mode))
        return QStringLiteral("a file");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    return QStringLiteral("something else");
}

LinkSocket::Check missing(const QString& what)
{
    return {.missing = true, .problem = what};
}

LinkSocket::Check problem(const QString& text)
{
    return {.missing = false, .problem = text};
}

// The next wait: what is left of the deadline, in slices.
int sliceOf(const QDeadlineTimer& deadline)
{
    return int(std::clamp<qint64>(deadline.remainingTime(), 0, waitSliceMs));
}

bool interrupted()
{
    return platform::TerminationSignals::received();
}

// The folder's check; onlyOpen tells when its one fault is that others may
// enter it.
LinkSocket::Check inspectFolder(const QString& folder, bool* onlyOpen)
{
    *onlyOpen = false;
    struct stat info {};
    if (::lstat(QFile::encodeName(folder).constData(), &info) != 0) {
        if (errno == ENOENT)
            return missing(QStringLiteral("the link folder %1 does not exist").arg(folder));
        return problem(QStringLiteral("the link folder %1 cannot be read: %2").arg(folder, reasonOf(errno)));
    }
    if (!S_ISDIR(info.st_mode))
        return problem(QStringLiteral("the link folder %1 is not a folder").arg(folder));
    if (info.st_uid != getuid())
        return problem(QStringLiteral("the link folder %1 belongs to another user").arg(folder));
    if ((info.st_mode & 0077) != 0) {
        *onlyOpen = true;
        return problem(QStringLiteral("the link folder %1 is open to other users").arg(folder));
    }
    return {};
}

} // namespace

QString LinkSocket::defaultPath()
{
    // A relative runtime folder is ignored, as the XDG rules say: each
    // working folder would have one of its own.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QDir(runtime).exists())
        return runtime + QStringLiteral("/tessaroom/links");
    return QDir::tempPath() + QStringLiteral("/tessaroom-") + QString::number(getuid()) + QStringLiteral("/links");
}

LinkSocket::Check LinkSocket::checkFolder(const QString& folder)
{
    bool onlyOpen = false;
    return inspectFolder(folder, &onlyOpen);
}

LinkSocket::Check LinkSocket::checkSocketFile(const QString& socketPath)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(socketPath).constData(), &info) != 0)
        return errno == ENOENT ? missing(QStringLiteral("there is no socket at %1").arg(socketPath))
                               : problem(QStringLiteral("the link socket %1 cannot be read: %2").arg(socketPath, reasonOf(errno)));
    if (!S_ISSOCK(info.st_mode))
        return problem(QStringLiteral("%1 is %2, not a socket").arg(socketPath, kindOf(info.st_mode)));
    if (info.st_uid != getuid())
        return problem(QStringLiteral("the link socket %1 belongs to another user (uid %2)").arg(socketPath).arg(info.st_uid));
    return {};
}

bool LinkSocket::prepareFolder(const QString& folder, QString* error)
{
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        *error = QStringLiteral("the link folder %1 cannot be made: %2").arg(folder, reasonOf(errno));
        return false;
    }
    bool onlyOpen = false;
    const Check check = inspectFolder(folder, &onlyOpen);
    if (check.trusted())
        return true;
    // Ours but open to others: closed. Anything else stays as it is.
    if (onlyOpen && ::chmod(path.constData(), 0700) == 0)
        return true;
    *error = onlyOpen ? QStringLiteral("the link folder %1 cannot be closed to other users").arg(folder)
             : check.missing ? QStringLiteral("the link folder %1 is gone").arg(folder)
                             : check.problem;
    return false;
}

// --- one connection ---------------------------------------------------------------------------

LinkSocket::Connection::~Connection()
{
    if (fd_ >= 0)
        ::close(fd_);
}

LinkSocket::Check LinkSocket::Connection::open(const QString& socketPath, const QDeadlineTimer& deadline)
{
    for (const Check& check : {checkFolder(QFileInfo(socketPath).path()), checkSocketFile(socketPath)}) {
        if (!check.trusted())
            return check;
    }
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address{};
    if (size_t(path.size()) >= sizeof address.sun_path)
        return problem(QStringLiteral("the link socket path %1 is too long").arg(socketPath));
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()) + 1);
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return problem(QStringLiteral("no socket can be made: ") + reasonOf(errno));
    // A copy too busy to take the connection now leaves it in its queue; the
    // send timeout bounds how long connect waits for room there.
    for (;;) {
        const timeval wait{.tv_sec = 0, .tv_usec = std::max(1, sliceOf(deadline)) * 1000};
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            break;
        const int error = errno;
        if (error == ENOENT)
            return missing(QStringLiteral("there is no socket at %1").arg(socketPath));
        if (error == ECONNREFUSED)
            return missing(QStringLiteral("nothing listens on %1").arg(socketPath));
        const bool later = error == EAGAIN || error == EINPROGRESS || error == EINTR;
        if (!later)
            return problem(QStringLiteral("the link socket %1 cannot be reached: %2").arg(socketPath, reasonOf(error)));
        if (interrupted())
            return problem(QStringLiteral("this process is quitting"));
        if (deadline.hasExpired())
            return problem(QStringLiteral("the process on the link socket %1 takes no connections now").arg(socketPath));
    }
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd_, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return problem(QStringLiteral("who listens on the link socket cannot be told: ") + reasonOf(errno));
    if (peer.uid != getuid())
        return problem(QStringLiteral("the process on the link socket %1 runs as another user (uid %2)").arg(socketPath).arg(peer.uid));
    peerPid_ = qint32(peer.pid);
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    return {};
}

bool LinkSocket::Connection::waitFor(short events, const QDeadlineTimer& deadline) const
{
    for (;;) {
        pollfd watch{fd_, events, 0};
        const int ready = ::poll(&watch, 1, sliceOf(deadline));
        if (ready > 0)
            return true;
        if (interrupted() || deadline.hasExpired())
            return false;
    }
}

void LinkSocket::Connection::readAvailable()
{
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
        if (got > 0) {
            input_.append(chunk, got);
            continue;
        }
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            closed_ = true;
        return;
    }
}

bool LinkSocket::Connection::write(const QByteArray& bytes, const QDeadlineTimer& deadline)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t written
            = ::send(fd_, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (written > 0) {
            done += written;
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            closed_ = true;
            return false;
        }
        // The copy answers as it reads: take its answers in while waiting for room.
        if (!waitFor(POLLOUT | POLLIN, deadline))
            return false;
        readAvailable();
    }
    return true;
}

std::optional<QByteArray> LinkSocket::Connection::readFrame(const QDeadlineTimer& deadline)
{
    for (;;) {
        if (input_.size() >= LinkMessage::headerBytes) {
            const qint64 size = qFromBigEndian<quint32>(input_.constData());
            if (size > longestAnswer) {
                closed_ = true;
                return std::nullopt;
            }
            if (input_.size() - LinkMessage::headerBytes >= size) {
                const QByteArray payload = input_.mid(LinkMessage::headerBytes, size);
                input_.remove(0, LinkMessage::headerBytes + size);
                return payload;
            }
        }
        if (closed_ || !waitFor(POLLIN, deadline))
            return std::nullopt;
        readAvailable();
    }
}

void LinkSocket::Connection::stopReading()
{
    if (fd_ < 0)
        return;
    ::shutdown(fd_, SHUT_RD);
    readAvailable();
}

int LinkSocket::Connection::openPeerHandle() const
{
#ifdef SYS_pidfd_open
    if (fd_ < 0 || peerPid_ <= 0)
        return -1;
    const int handle = int(::syscall(SYS_pidfd_open, peerPid_, 0));
    if (handle < 0)
        return -1;
    // The pid is the listener's only while its end is open: a process that
    // ended and whose pid was taken again has closed it.
    pollfd watch{fd_, POLLRDHUP, 0};
    if (::poll(&watch, 1, 0) != 0) {
        ::close(handle);
        return -1;
    }
    return handle;
#else
    return -1;
#endif
}
