#include "app/LinkClient.h"

#include "app/LinkMessage.h"
#include "app/LinkSocket.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace {

qint32 ownPid()
{
    return qint32(QCoreApplication::applicationPid());
}

QString seconds(int milliseconds)
{
    return QString::number(milliseconds / 1000.0);
}

// The next answer of this kind; others (of a newer version) are skipped.
std::optional<LinkMessage> nextAnswer(LinkSocket::Connection& connection, LinkMessage::Kind kind,
                                      const QDeadlineTimer& deadline)
{
    while (const std::optional<QByteArray> payload = connection.readFrame(deadline)) {
        const LinkMessage message = LinkMessage::read(*payload);
        if (message.kind == kind)
            return message;
    }
    return std::nullopt;
}

} // namespace

LinkClient::Found LinkClient::find(const QString& socketPath, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    LinkSocket::Connection connection;
    const LinkSocket::Check opened = connection.open(socketPath, deadline);
    Found found;
    if (opened.missing || connection.peerPid() == ownPid()) {
        // Asking ourselves would wait for an answer only we could give.
        found.nobody = true;
        return found;
    }
    if (!opened.problem.isEmpty()) {
        found.problem = opened.problem;
        return found;
    }
    const qint32 pid = connection.peerPid();
    std::optional<LinkMessage> answer;
    if (connection.write(LinkMessage::frame(LinkMessage::identify()), deadline))
        answer = nextAnswer(connection, LinkMessage::Kind::copy, deadline);
    if (!answer) {
        found.problem = QStringLiteral("the process on the link socket (pid %1) did not answer as Tessaroom").arg(pid);
        return found;
    }
    // The kernel's word for the pid over the copy's own.
    found.copy = Copy{.pid = pid,
                      .bundlePath = answer->bundlePath.isEmpty() ? std::nullopt : std::optional(answer->bundlePath)};
    return found;
}

LinkClient::Delivery LinkClient::send(const QString& socketPath, const QList<QByteArray>& links, int timeoutMs,
                                      qint32 onlyTo)
{
    const QDeadlineTimer deadline(timeoutMs);
    LinkSocket::Connection connection;
    const LinkSocket::Check opened = connection.open(socketPath, deadline);
    Delivery delivery;
    if (opened.missing) {
        delivery.nobody = true;
        delivery.problem = QStringLiteral("no copy of Tessaroom listens on ") + socketPath;
        return delivery;
    }
    if (!opened.problem.isEmpty()) {
        delivery.problem = opened.problem;
        return delivery;
    }
    const qint32 pid = connection.peerPid();
    if (onlyTo != 0 && pid != onlyTo) {
        delivery.problem = QStringLiteral("another process (pid %1) listens on the link socket now").arg(pid);
        return delivery;
    }
    QByteArray frames;
    for (const QByteArray& link : links)
        frames += LinkMessage::frame(link);
    const bool written = connection.write(frames, deadline);
    while (delivery.taken < links.size()) {
        const std::optional<LinkMessage> confirmed = nextAnswer(connection, LinkMessage::Kind::taken, deadline);
        if (!confirmed)
            break;
        ++delivery.taken;
    }
    if (delivery.taken > 0)
        delivery.pid = pid;
    if (delivery.taken == links.size())
        return delivery;
    if (!written || connection.closed())
        delivery.problem = QStringLiteral("the process on the link socket (pid %1) closed the connection before it "
                                          "confirmed the link")
                               .arg(pid);
    else
        delivery.problem = QStringLiteral("the process on the link socket (pid %1) did not confirm the link within %2 s")
                               .arg(pid)
                               .arg(seconds(timeoutMs));
    return delivery;
}

LinkClient::QuitAnswer LinkClient::askToQuit(const QString& socketPath, qint32 pid, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    LinkSocket::Connection connection;
    const LinkSocket::Check opened = connection.open(socketPath, deadline);
    if (opened.missing)
        return QuitAnswer::going;
    if (!opened.problem.isEmpty())
        return QuitAnswer::silent;
    if (connection.peerPid() != pid)
        return QuitAnswer::going;
    if (connection.write(LinkMessage::frame(LinkMessage::quit()), deadline)) {
        if (nextAnswer(connection, LinkMessage::Kind::quitting, deadline))
            return QuitAnswer::quitting;
    }
    return connection.closed() ? QuitAnswer::going : QuitAnswer::silent;
}
