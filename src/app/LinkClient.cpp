#include "app/LinkClient.h"

#include <QLocalSocket>
#include <QtEndian>

#include <sys/socket.h>

QByteArray LinkClient::frame(const QByteArray& link)
{
    QByteArray frame(4, '\0');
    qToBigEndian(quint32(link.size()), frame.data());
    return frame + link;
}

bool LinkClient::send(const QString& socketPath, const QList<QByteArray>& links, QString* error, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs)) {
        if (error)
            *error = socket.errorString();
        return false;
    }
    for (const QByteArray& link : links)
        socket.write(frame(link));
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(timeoutMs)) {
            if (error)
                *error = socket.errorString();
            return false;
        }
    }
    socket.disconnectFromServer();
    return true;
}

std::optional<qint32> LinkClient::listenerPid(const QString& socketPath, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs))
        return std::nullopt;
    // The kernel's record of who is at the other end of the socket.
    ucred peer{};
    socklen_t size = sizeof peer;
    const bool known = getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0;
    socket.disconnectFromServer();
    if (!known || peer.pid <= 0)
        return std::nullopt;
    return qint32(peer.pid);
}
