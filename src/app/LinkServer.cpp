#include "app/LinkServer.h"

#include "app/LinkMessage.h"
#include "app/LinkSocket.h"
#include "platform/Bundle.h"
#include "platform/Scheduler.h"
#include "platform/SystemLog.h"
#include "store/Timers.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr qint64 headerBytes = LinkMessage::headerBytes;
// What the toolkit may buffer for one connection: the in-flight allowance
// less the frame being put together.
constexpr qint64 socketBufferBytes = LinkServer::maxBytesInFlight - LinkServer::maxLinkBytes - headerBytes;
// Answers a client has not read yet; one that never reads is dropped.
constexpr qint64 unreadAnswersLimit = 64 * 1024;
// Scheduler rounding must not keep an idle connection a turn longer.
constexpr double clockSlack = 1e-6;

// What a socket of ours answers, found by connecting without waiting.
enum class Probe {
    nothing, // gone meanwhile
    refused, // nobody listens on it: left by a copy that crashed
    answers, // someone listens (perhaps too busy to take more)
    unknown,
};

Probe probe(const QString& socketPath, int* failure)
{
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address{};
    if (size_t(path.size()) >= sizeof address.sun_path) {
        *failure = ENAMETOOLONG;
        return Probe::unknown;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()) + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        *failure = errno;
        return Probe::unknown;
    }
    const int result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int error = errno;
    ::close(fd);
    *failure = error;
    if (result == 0)
        return Probe::answers;
    switch (error) {
    case ENOENT: return Probe::nothing;
    case ECONNREFUSED: return Probe::refused;
    // A full queue: the copy is there, only busy.
    case EAGAIN: return Probe::answers;
    default: return Probe::unknown;
    }
}

// Whether taking one more connection would leave fewer descriptors than the
// reserve to the rest of the app.
bool descriptorsShort()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return false;
    DIR* listing = ::opendir("/proc/self/fd");
    if (!listing)
        return errno == EMFILE || errno == ENFILE;
    // The listing's own descriptor is among those listed.
    qint64 open = -1;
    while (const dirent* entry = ::readdir(listing)) {
        if (entry->d_name[0] != '.')
            ++open;
    }
    ::closedir(listing);
    return qint64(limit.rlim_cur) - open <= LinkServer::descriptorReserve;
}

void log(const QString& message)
{
    platform::SystemLog::write(QStringLiteral("Tessaroom: ") + message);
}

} // namespace

LinkServer::LinkServer(Handlers handlers, QObject* parent)
    : QObject(parent)
    , handlers_(std::move(handlers))
    , server_(new QLocalServer(this))
{
    // No socket options: with them the toolkit binds elsewhere and renames
    // over the path, taking over a socket in use. The folder keeps it private.
    connect(server_, &QLocalServer::newConnection, this, &LinkServer::accept);
}

LinkServer::~LinkServer() = default;

bool LinkServer::listen(const QString& socketPath, QString* error)
{
    QString failure;
    const bool listening = open(socketPath, &failure) == Outcome::listening;
    if (!listening && error)
        *error = failure;
    return listening;
}

LinkServer::Outcome LinkServer::open(const QString& socketPath, QString* error)
{
    if (!LinkSocket::prepareFolder(QFileInfo(socketPath).path(), error))
        return Outcome::failed;
    const LinkSocket::Check existing = LinkSocket::checkSocketFile(socketPath);
    if (!existing.missing) {
        if (!existing.problem.isEmpty()) {
            *error = existing.problem + QStringLiteral("; it is left as it is");
            return Outcome::failed;
        }
        int failure = 0;
        switch (probe(socketPath, &failure)) {
        case Probe::nothing:
            break;
        case Probe::refused:
            // A socket of ours nobody can be listening on: a copy that crashed left it.
            if (::unlink(QFile::encodeName(socketPath).constData()) != 0 && errno != ENOENT) {
                const int reason = errno;
                *error = QStringLiteral("the old link socket %1 cannot be removed: %2")
                             .arg(socketPath, QString::fromLocal8Bit(strerror(reason)));
                return Outcome::failed;
            }
            break;
        case Probe::answers:
            *error = QStringLiteral("a process listens on %1 already; it is left as it is").arg(socketPath);
            return Outcome::anotherCopy;
        case Probe::unknown:
            *error = QStringLiteral("the link socket %1 cannot be checked: %2")
                         .arg(socketPath, QString::fromLocal8Bit(strerror(failure)));
            return Outcome::failed;
        }
    }
    // Fails with "address in use" rather than replace a socket made meanwhile.
    if (!server_->listen(socketPath)) {
        *error = server_->errorString();
        return Outcome::failed;
    }
    socketPath_ = socketPath;
    watchListening();
    return Outcome::listening;
}

bool LinkServer::isListening() const
{
    return server_->isListening();
}

// --- connections ----------------------------------------------------------------------------

void LinkServer::accept()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        socket->setReadBufferSize(socketBufferBytes);
        if (connections_.size() < maxConnections && waiting_.isEmpty())
            startServing(socket);
        else
            waiting_.append(socket);
    }
    // Past the limit the socket takes no more connections: newcomers wait in
    // its queue, unread, until one goes.
    if (!descriptorsShort()) {
        pauseAccepting(!waiting_.isEmpty());
        return;
    }
    pauseAccepting(true);
    // Connections that go give theirs back (drop() looks again), and so may
    // the rest of the app.
    if (descriptorCheckScheduled_)
        return;
    descriptorCheckScheduled_ = true;
    QPointer<LinkServer> self(this);
    runAfter(descriptorCheckDelay, [self] {
        if (!self)
            return;
        self->descriptorCheckScheduled_ = false;
        if (self->waiting_.isEmpty())
            self->accept();
    });
}

void LinkServer::takeWaiting()
{
    while (connections_.size() < maxConnections && !waiting_.isEmpty()) {
        if (const QPointer<QLocalSocket> next = waiting_.takeFirst())
            startServing(next);
    }
    if (waiting_.isEmpty()) {
        pauseAccepting(false);
        accept();
    }
}

void LinkServer::pauseAccepting(bool paused)
{
    // The toolkit's server accepts whenever its one notifier fires; while it
    // is off, connections stay in the socket's queue.
    acceptingPaused_ = paused;
    for (QSocketNotifier* notifier : server_->findChildren<QSocketNotifier*>(QString(), Qt::FindDirectChildrenOnly))
        notifier->setEnabled(!paused);
}

void LinkServer::startServing(QLocalSocket* socket)
{
    Connection connection;
    connection.idleAt = platform::now() + idleTimeout;
    // A client that left while it waited: what it sent is still handed on.
    connection.disconnected = socket->state() == QLocalSocket::UnconnectedState;
    connections_.insert(socket, connection);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { queue(socket); });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
        const auto found = connections_.find(socket);
        if (found == connections_.end())
            return;
        found->disconnected = true;
        // Its descriptor is closed: nothing more goes out.
        forgetAnswers(*found);
        stopWatchingWrites(*found);
        queue(socket);
    });
    QPointer<LinkServer> self(this);
    QPointer<QLocalSocket> watched(socket);
    runAfter(idleTimeout, [self, watched] {
        if (self && watched)
            self->checkIdle(watched);
    });
    if (socket->bytesAvailable() > 0 || connection.disconnected)
        queue(socket);
}

void LinkServer::queue(QLocalSocket* socket)
{
    const auto found = connections_.find(socket);
    if (found == connections_.end() || found->queued)
        return;
    found->queued = true;
    turns_.append(socket);
    scheduleServe();
}

void LinkServer::scheduleServe()
{
    if (serveScheduled_)
        return;
    serveScheduled_ = true;
    // A queued call, not a timer: the next turn comes after the events
    // waiting now, whatever the clock says.
    QMetaObject::invokeMethod(
        this,
        [this] {
            serveScheduled_ = false;
            serve();
        },
        Qt::QueuedConnection);
}

void LinkServer::serve()
{
    // A handler's nested event loop (an alert) gets here too: the turn under
    // way goes on once it returns.
    if (serving_)
        return;
    serving_ = true;
    const QList<QPointer<QLocalSocket>> round = std::exchange(turns_, {});
    for (const QPointer<QLocalSocket>& pointer : round) {
        QLocalSocket* socket = pointer.data();
        if (!socket || !connections_.contains(socket))
            continue;
        connections_[socket].queued = false;
        const bool more = serveOne(socket);
        const auto found = connections_.find(socket);
        if (found == connections_.end())
            continue;
        if (more) {
            queue(socket);
        } else if (found->disconnected && socket->bytesAvailable() == 0) {
            drop(socket);
        }
    }
    serving_ = false;
    if (!turns_.isEmpty())
        scheduleServe();
}

bool LinkServer::serveOne(QLocalSocket* socket)
{
    Connection& connection = connections_[socket];
    if (connection.skipping > 0) {
        const QByteArray dropped = socket->read(std::min(connection.skipping, maxLinkBytes));
        if (dropped.isEmpty())
            return false;
        connection.skipping -= dropped.size();
        if (connection.skipping == 0)
            frameDone(socket);
        return socket->bytesAvailable() > 0;
    }
    if (connection.buffer.size() < headerBytes) {
        connection.buffer += socket->read(headerBytes - connection.buffer.size());
        if (connection.buffer.size() < headerBytes)
            return false;
    }
    const qint64 size = qFromBigEndian<quint32>(connection.buffer.constData());
    if (size > maxLinkBytes) {
        connection.buffer.clear();
        connection.skipping = size;
        if (handlers_.oversized)
            handlers_.oversized(size);
        // The handler may have run a nested event loop that dropped the socket.
        if (!connections_.contains(socket))
            return false;
        answer(socket, LinkMessage::refused(qint32(QCoreApplication::applicationPid()),
                                            QStringLiteral("the link has %1 bytes, more than the %2 KB a link may have")
                                                .arg(size)
                                                .arg(maxLinkBytes / 1024)));
        return connections_.contains(socket) && socket->bytesAvailable() > 0;
    }
    const qint64 have = connection.buffer.size() - headerBytes;
    if (have < size) {
        connection.buffer += socket->read(size - have);
        if (connection.buffer.size() - headerBytes < size)
            return false;
    }
    const QByteArray payload = connection.buffer.mid(headerBytes);
    connection.buffer.clear();
    frameDone(socket);
    handleFrame(socket, payload);
    // The handler may have run a nested event loop that dropped the socket.
    return connections_.contains(socket) && socket->bytesAvailable() > 0;
}

void LinkServer::handleFrame(QLocalSocket* socket, const QByteArray& payload)
{
    const LinkMessage message = LinkMessage::read(payload);
    const qint32 pid = qint32(QCoreApplication::applicationPid());
    switch (message.kind) {
    case LinkMessage::Kind::link:
        if (const std::optional<QString> refusal = handlers_.refuse ? handlers_.refuse(message.link) : std::nullopt) {
            if (connections_.contains(socket))
                answer(socket, LinkMessage::refused(pid, *refusal));
            break;
        }
        confirm(socket, message.link);
        break;
    case LinkMessage::Kind::identify: {
        // Where this copy runs: its bundle, or its program outside one.
        const QString bundle = platform::Bundle::bundlePath();
        answer(socket, LinkMessage::copy(pid, bundle.isEmpty() ? platform::Bundle::executablePath() : bundle));
        break;
    }
    case LinkMessage::Kind::quit:
        answer(socket, LinkMessage::quitting(pid));
        if (handlers_.quit)
            handlers_.quit();
        break;
    case LinkMessage::Kind::copy:
    case LinkMessage::Kind::quitting:
    case LinkMessage::Kind::taken:
    case LinkMessage::Kind::refused:
    case LinkMessage::Kind::unknown:
        // Answers are for clients; a newer sender's message is ignored.
        break;
    }
}

void LinkServer::confirm(QLocalSocket* socket, const QByteArray& link)
{
    // The handler may have run a nested event loop that dropped the socket.
    const auto found = connections_.find(socket);
    // A client that left gave up on its link: it is not followed.
    if (found == connections_.end() || found->disconnected)
        return;
    const QByteArray payload = LinkMessage::taken(qint32(QCoreApplication::applicationPid()));
    found->toFollow.append({found->answered + LinkMessage::frame(payload).size(), link});
    answer(socket, payload);
}

void LinkServer::answer(QLocalSocket* socket, const QByteArray& payload)
{
    Connection& connection = connections_[socket];
    if (connection.disconnected)
        return;
    const QByteArray frame = LinkMessage::frame(payload);
    connection.outgoing += frame;
    connection.answered += frame.size();
    if (connection.outgoing.size() > unreadAnswersLimit) {
        drop(socket);
        return;
    }
    sendAnswers(socket);
}

void LinkServer::sendAnswers(QLocalSocket* socket)
{
    // Straight into the kernel, never through the toolkit's buffer: a failed
    // write there would close the connection and throw away the frames a
    // client sent before it left, which are still to be read.
    Connection& connection = connections_[socket];
    const int fd = int(socket->socketDescriptor());
    bool waiting = false;
    while (fd >= 0 && !connection.outgoing.isEmpty()) {
        const ssize_t written = ::send(fd, connection.outgoing.constData(), size_t(connection.outgoing.size()),
                                       MSG_NOSIGNAL | MSG_DONTWAIT);
        if (written > 0) {
            connection.outgoing.remove(0, written);
            connection.delivered += written;
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The rest goes once the client has read some.
            if (!connection.writable) {
                connection.writable = new QSocketNotifier(fd, QSocketNotifier::Write, socket);
                connect(connection.writable, &QSocketNotifier::activated, this, [this, socket] {
                    if (connections_.contains(socket))
                        sendAnswers(socket);
                });
            }
            connection.writable->setEnabled(true);
            waiting = true;
            break;
        }
        // The client left, or shut its reading side when it gave up (the
        // kernel refuses the write then, in step with that shutdown): it
        // never learns of a link still waiting, which is not followed.
        forgetAnswers(connection);
    }
    if (connection.writable && !waiting)
        connection.writable->setEnabled(false);
    followDelivered(socket);
}

void LinkServer::followDelivered(QLocalSocket* socket)
{
    for (;;) {
        // A handler's nested event loop may drop the socket.
        const auto found = connections_.find(socket);
        if (found == connections_.end() || found->toFollow.isEmpty()
            || found->toFollow.first().first > found->delivered)
            return;
        const QByteArray link = found->toFollow.takeFirst().second;
        if (handlers_.link)
            handlers_.link(link);
    }
}

void LinkServer::forgetAnswers(Connection& connection)
{
    connection.outgoing.clear();
    // A "taken" the kernel has is the client's to read: that link is followed.
    const qint64 delivered = connection.delivered;
    connection.toFollow.removeIf([delivered](const QPair<qint64, QByteArray>& link) { return link.first > delivered; });
}

void LinkServer::stopWatchingWrites(Connection& connection)
{
    delete connection.writable;
    connection.writable = nullptr;
}

void LinkServer::frameDone(QLocalSocket* socket)
{
    connections_[socket].idleAt = platform::now() + idleTimeout;
}

void LinkServer::checkIdle(QLocalSocket* socket)
{
    const auto found = connections_.find(socket);
    if (found == connections_.end())
        return;
    const double now = platform::now();
    // Frames waiting for their turn wait for this server, not for the client.
    if (found->queued || socket->bytesAvailable() > 0)
        found->idleAt = std::max(found->idleAt, now + idleTimeout);
    if (now + clockSlack >= found->idleAt) {
        drop(socket);
        return;
    }
    QPointer<LinkServer> self(this);
    QPointer<QLocalSocket> watched(socket);
    runAfter(found->idleAt - now, [self, watched] {
        if (self && watched)
            self->checkIdle(watched);
    });
}

void LinkServer::drop(QLocalSocket* socket)
{
    if (const auto found = connections_.find(socket); found != connections_.end())
        stopWatchingWrites(*found);
    connections_.remove(socket);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    // A waiting newcomer takes the place, after the turn under way.
    if (acceptingPaused_)
        QMetaObject::invokeMethod(this, &LinkServer::takeWaiting, Qt::QueuedConnection);
}

// --- staying reachable -----------------------------------------------------------------------

void LinkServer::watchListening()
{
    // The toolkit's server gives no signal when it closes itself after a
    // failed accept; its socket notifier is what fired, so look right after.
    for (QSocketNotifier* notifier : server_->findChildren<QSocketNotifier*>(QString(), Qt::FindDirectChildrenOnly))
        connect(notifier, &QSocketNotifier::activated, this, &LinkServer::checkListening, Qt::UniqueConnection);
    // A new socket after a stop: still no more than the limit.
    pauseAccepting(!waiting_.isEmpty());
}

void LinkServer::checkListening()
{
    if (stopped_ || server_->isListening() || socketPath_.isEmpty())
        return;
    stopped_ = true;
    log(QStringLiteral("the link socket stopped listening (%1); listening again").arg(server_->errorString()));
    // A socket that stops again at once (descriptors still short) waits a
    // little before the next try, so a flood cannot spin the app.
    const double now = platform::now();
    const double delay = now - lastListenAgain_ < relistenDelay ? relistenDelay : 0;
    QPointer<LinkServer> self(this);
    runAfter(delay, [self] {
        if (self)
            self->listenAgain();
    });
}

void LinkServer::listenAgain()
{
    lastListenAgain_ = platform::now();
    QString error;
    switch (open(socketPath_, &error)) {
    case Outcome::listening:
        stopped_ = false;
        loggedRetry_ = false;
        log(QStringLiteral("listening again for links on %1").arg(socketPath_));
        return;
    case Outcome::anotherCopy:
        log(QStringLiteral("links go elsewhere now: ") + error);
        return;
    case Outcome::failed:
        break;
    }
    if (!loggedRetry_) {
        log(QStringLiteral("cannot listen for links yet (%1); trying every %2 s").arg(error).arg(relistenDelay));
        loggedRetry_ = true;
    }
    QPointer<LinkServer> self(this);
    runAfter(relistenDelay, [self] {
        if (self)
            self->listenAgain();
    });
}
