#include "app/LinkClient.h"

#include "app/LinkMessage.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QtEndian>

#include <sys/socket.h>

namespace {

// Answers are short; anything longer is not one.
constexpr qint64 longestAnswer = 64 * 1024;

// One connection to the socket, for a request and its answer.
class Conversation {
public:
    bool open(const QString& socketPath, int timeoutMs)
    {
        socket_.connectToServer(socketPath);
        return socket_.waitForConnected(timeoutMs);
    }

    // Who listens on the other end, as the kernel recorded it.
    std::optional<qint32> peer() const
    {
        ucred peer{};
        socklen_t size = sizeof peer;
        if (getsockopt(int(socket_.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.pid <= 0)
            return std::nullopt;
        return qint32(peer.pid);
    }

    // Sends the request and reads one answer frame.
    std::optional<LinkMessage> ask(const QByteArray& request, int timeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        socket_.write(LinkMessage::frame(request));
        while (socket_.bytesToWrite() > 0) {
            if (!socket_.waitForBytesWritten(int(deadline.remainingTime())))
                return std::nullopt;
        }
        QByteArray buffer;
        for (;;) {
            buffer += socket_.readAll();
            if (buffer.size() >= LinkMessage::headerBytes) {
                const qint64 size = qFromBigEndian<quint32>(buffer.constData());
                if (size > longestAnswer)
                    return std::nullopt;
                if (buffer.size() - LinkMessage::headerBytes >= size)
                    return LinkMessage::read(buffer.mid(LinkMessage::headerBytes, size));
            }
            if (deadline.hasExpired() || !socket_.waitForReadyRead(int(deadline.remainingTime())))
                return std::nullopt;
        }
    }

private:
    QLocalSocket socket_;
};

} // namespace

QByteArray LinkClient::frame(const QByteArray& link)
{
    return LinkMessage::frame(link);
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

std::optional<LinkClient::Copy> LinkClient::identify(const QString& socketPath, int timeoutMs)
{
    Conversation conversation;
    if (!conversation.open(socketPath, timeoutMs))
        return std::nullopt;
    const std::optional<qint32> peer = conversation.peer();
    // Asking ourselves would wait for an answer only we could give.
    if (peer && *peer == qint32(QCoreApplication::applicationPid()))
        return std::nullopt;
    const std::optional<LinkMessage> answer = conversation.ask(LinkMessage::identify(), timeoutMs);
    const bool answered = answer && answer->kind == LinkMessage::Kind::copy;
    if (!peer && !answered)
        return std::nullopt;
    Copy copy;
    // The kernel's word over the copy's own.
    copy.pid = peer ? *peer : answer->pid;
    if (answered && !answer->bundlePath.isEmpty())
        copy.bundlePath = answer->bundlePath;
    return copy;
}

bool LinkClient::askToQuit(const QString& socketPath, qint32 pid, int timeoutMs)
{
    Conversation conversation;
    if (!conversation.open(socketPath, timeoutMs))
        return false;
    const std::optional<qint32> peer = conversation.peer();
    if (peer && *peer != pid)
        return false;
    const std::optional<LinkMessage> answer = conversation.ask(LinkMessage::quit(), timeoutMs);
    return answer && answer->kind == LinkMessage::Kind::quitting && (peer || answer->pid == pid);
}
