#include "app/LinkServer.h"

#include "platform/SystemLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int headerBytes = 4;
constexpr int probeTimeoutMs = 500;

} // namespace

QString LinkServer::defaultSocketPath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime + QStringLiteral("/tessaroom/links");
    return QDir::tempPath() + QStringLiteral("/tessaroom-") + QString::number(getuid()) + QStringLiteral("/links");
}

LinkServer::LinkServer(Handlers handlers, QObject* parent)
    : QObject(parent)
    , handlers_(std::move(handlers))
    , server_(new QLocalServer(this))
{
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &LinkServer::accept);
}

LinkServer::~LinkServer() = default;

bool LinkServer::preparePrivateFolder(const QString& folder, QString* error)
{
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        *error = QStringLiteral("the link folder %1 cannot be made: %2").arg(folder, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    struct stat info {};
    // lstat: a link planted in its place is not followed.
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        *error = QStringLiteral("the link folder %1 is not a folder").arg(folder);
        return false;
    }
    if (info.st_uid != getuid()) {
        *error = QStringLiteral("the link folder %1 belongs to another user").arg(folder);
        return false;
    }
    if ((info.st_mode & 0077) != 0 && ::chmod(path.constData(), 0700) != 0) {
        *error = QStringLiteral("the link folder %1 cannot be closed to other users").arg(folder);
        return false;
    }
    return true;
}

bool LinkServer::listen(const QString& socketPath, QString* error)
{
    QString failure;
    if (!preparePrivateFolder(QFileInfo(socketPath).path(), &failure)) {
        if (error)
            *error = failure;
        return false;
    }
    if (QFileInfo::exists(socketPath) || QFileInfo(socketPath).isSymLink()) {
        QLocalSocket probe;
        probe.connectToServer(socketPath);
        if (probe.waitForConnected(probeTimeoutMs)) {
            // Another copy of ours still listens; this newer copy takes over.
            probe.disconnectFromServer();
            platform::SystemLog::write(QStringLiteral("Tessaroom: taking over the link socket of a running copy"));
        }
        QLocalServer::removeServer(socketPath);
    }
    if (!server_->listen(socketPath)) {
        if (error)
            *error = server_->errorString();
        return false;
    }
    socketPath_ = socketPath;
    return true;
}

void LinkServer::accept()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        readers_.insert(socket, Reader{});
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            read(socket);
            readers_.remove(socket);
            socket->deleteLater();
        });
        read(socket);
    }
}

void LinkServer::read(QLocalSocket* socket)
{
    auto found = readers_.find(socket);
    if (found == readers_.end())
        return;
    Reader* reader = &*found;
    for (;;) {
        if (reader->skipping > 0) {
            const QByteArray dropped = socket->read(std::min<qint64>(reader->skipping, 64 * 1024));
            if (dropped.isEmpty())
                return;
            reader->skipping -= dropped.size();
            continue;
        }
        if (reader->buffer.size() < headerBytes) {
            reader->buffer += socket->read(headerBytes - reader->buffer.size());
            if (reader->buffer.size() < headerBytes)
                return;
        }
        const qint64 size = qFromBigEndian<quint32>(reader->buffer.constData());
        if (size > maxLinkBytes) {
            reader->buffer.clear();
            reader->skipping = size;
            if (handlers_.oversized)
                handlers_.oversized(size);
            found = readers_.find(socket);
            if (found == readers_.end())
                return;
            reader = &*found;
            continue;
        }
        const qint64 have = reader->buffer.size() - headerBytes;
        if (have < size) {
            reader->buffer += socket->read(size - have);
            if (reader->buffer.size() - headerBytes < size)
                return;
        }
        const QByteArray link = reader->buffer.mid(headerBytes);
        reader->buffer.clear();
        // The handler may run a nested event loop (an alert); the reader is
        // looked up afresh afterwards.
        if (handlers_.link)
            handlers_.link(link);
        found = readers_.find(socket);
        if (found == readers_.end())
            return;
        reader = &*found;
    }
}
