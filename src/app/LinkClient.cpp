#include "app/LinkClient.h"

#include "app/LinkMessage.h"
#include "app/LinkSocket.h"
#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <algorithm>
#include <chrono>
#include <thread>

#include <unistd.h>

namespace {

// How often a sender looks again for a copy that is on its way.
constexpr auto lookAgain = std::chrono::milliseconds(50);

qint32 ownPid()
{
    return qint32(QCoreApplication::applicationPid());
}

QString seconds(int milliseconds)
{
    return QString::number(milliseconds / 1000.0);
}

// The next answer of one of these kinds; others (of a newer version) are
// skipped.
std::optional<LinkMessage> nextAnswer(LinkSocket::Connection& connection, std::initializer_list<LinkMessage::Kind> kinds,
                                      const QDeadlineTimer& deadline)
{
    while (const std::optional<QByteArray> payload = connection.readFrame(deadline)) {
        const LinkMessage message = LinkMessage::read(*payload);
        if (std::find(kinds.begin(), kinds.end(), message.kind) != kinds.end())
            return message;
    }
    return std::nullopt;
}

LinkClient::ProcessHandle handleOf(int fd)
{
    if (fd < 0)
        return nullptr;
    return LinkClient::ProcessHandle(new int(fd), [](const int* handle) {
        ::close(*handle);
        delete handle;
    });
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
        answer = nextAnswer(connection, {LinkMessage::Kind::copy}, deadline);
    if (!answer) {
        found.problem = QStringLiteral("the process on the link socket (pid %1) did not answer as Tessaroom").arg(pid);
        return found;
    }
    // The kernel's word for the pid over the copy's own.
    found.copy = Copy{.pid = pid,
                      .bundlePath = answer->bundlePath.isEmpty() ? std::nullopt : std::optional(answer->bundlePath),
                      .process = handleOf(connection.openPeerHandle())};
    return found;
}

bool LinkClient::Delivery::tookAll(qsizetype links) const
{
    return answers.size() == links
           && std::all_of(answers.cbegin(), answers.cend(), [](const Answer& answer) { return answer.taken; });
}

LinkClient::Delivery LinkClient::send(const QString& socketPath, const QList<QByteArray>& links, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    LinkSocket::Connection connection;
    const LinkSocket::Check opened = connection.open(socketPath, deadline);
    Delivery delivery;
    if (opened.missing) {
        delivery.nobody = true;
        delivery.problem = opened.problem;
        return delivery;
    }
    if (!opened.problem.isEmpty()) {
        delivery.problem = opened.problem;
        return delivery;
    }
    const qint32 pid = connection.peerPid();
    // Links, which may name private desktops, go only to a copy.
    if (!connection.write(LinkMessage::frame(LinkMessage::identify()), deadline)
        || !nextAnswer(connection, {LinkMessage::Kind::copy}, deadline)) {
        delivery.closedUnanswered = connection.closed();
        delivery.problem = connection.closed()
                               ? QStringLiteral("the process on the link socket (pid %1) closed the connection before "
                                                "it answered as Tessaroom")
                                     .arg(pid)
                               : QStringLiteral("the process on the link socket (pid %1) did not answer as Tessaroom "
                                                "within %2 s")
                                     .arg(pid)
                                     .arg(seconds(timeoutMs));
        return delivery;
    }
    delivery.pid = pid;
    QByteArray frames;
    for (const QByteArray& link : links)
        frames += LinkMessage::frame(link);
    const bool written = connection.write(frames, deadline);
    auto takeAnswer = [&](const QDeadlineTimer& until) {
        const std::optional<LinkMessage> answer
            = nextAnswer(connection, {LinkMessage::Kind::taken, LinkMessage::Kind::refused}, until);
        if (answer)
            delivery.answers.append({.taken = answer->kind == LinkMessage::Kind::taken, .refusal = answer->reason});
        return answer.has_value();
    };
    while (delivery.answers.size() < links.size() && takeAnswer(deadline)) {
    }
    if (delivery.answers.size() == links.size())
        return delivery;
    // Given up: no answer is taken from here on, so the copy follows none of
    // the links left; one it confirmed before this is still read.
    const bool closedBefore = !written || connection.closed();
    connection.stopReading();
    while (delivery.answers.size() < links.size() && takeAnswer(QDeadlineTimer(0))) {
    }
    if (delivery.answers.size() == links.size())
        return delivery;
    delivery.closedUnanswered = connection.closed() && delivery.answers.isEmpty();
    if (closedBefore)
        delivery.problem = QStringLiteral("Tessaroom (pid %1) closed the connection before it answered the link").arg(pid);
    else
        delivery.problem = QStringLiteral("Tessaroom (pid %1) did not answer the link within %2 s")
                               .arg(pid)
                               .arg(seconds(timeoutMs));
    return delivery;
}

LinkClient::Delivery LinkClient::sendOnceListening(const QString& socketPath, const QList<QByteArray>& links,
                                                   const std::function<CopyLock::Seen()>& whenNobody, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        Delivery delivery = send(socketPath, links, int(std::max<qint64>(deadline.remainingTime(), 1)));
        // A copy that quits closes on its senders; the one that follows it
        // takes the links.
        if (delivery.closedUnanswered && !deadline.hasExpired() && !platform::TerminationSignals::received()) {
            std::this_thread::sleep_for(lookAgain);
            continue;
        }
        if (!delivery.nobody)
            return delivery;
        const CopyLock::Seen seen = whenNobody();
        if (seen.look == CopyLock::Look::noCopy)
            return delivery;
        if (seen.look == CopyLock::Look::cannotTell) {
            delivery.nobody = false;
            delivery.problem = seen.found;
            return delivery;
        }
        if (deadline.hasExpired() || platform::TerminationSignals::received()) {
            delivery.nobody = false;
            delivery.problem = QStringLiteral("%1, and %2; no link was taken within %3 s")
                                   .arg(seen.found, delivery.problem, seconds(timeoutMs));
            return delivery;
        }
        std::this_thread::sleep_for(lookAgain);
    }
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
        if (nextAnswer(connection, {LinkMessage::Kind::quitting}, deadline))
            return QuitAnswer::quitting;
    }
    return connection.closed() ? QuitAnswer::going : QuitAnswer::silent;
}
