#include "app/LinkClient.h"

#include <QLocalSocket>
#include <QtEndian>

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
