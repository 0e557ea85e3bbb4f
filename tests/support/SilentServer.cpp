#include "support/SilentServer.h"

#include <QDeadlineTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

SilentServer::SilentServer()
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener_, 8) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
}

SilentServer::~SilentServer()
{
    if (connection_ >= 0)
        ::close(connection_);
    if (listener_ >= 0)
        ::close(listener_);
}

QString SilentServer::origin() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port_);
}

bool SilentServer::accept()
{
    if (connection_ < 0)
        connection_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    return connection_ >= 0;
}

bool SilentServer::send(const QByteArray& bytes)
{
    return connection_ >= 0 && ::send(connection_, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
}

bool SilentServer::closedByClient(int limitMs)
{
    if (connection_ < 0)
        return false;
    const QDeadlineTimer deadline(limitMs);
    char bytes[4096];
    for (;;) {
        pollfd watched{.fd = connection_, .events = POLLIN, .revents = 0};
        const int ready = ::poll(&watched, 1, int(deadline.remainingTime()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t got = ::recv(connection_, bytes, sizeof bytes, 0);
        if (got == 0 || (got < 0 && errno == ECONNRESET))
            return true;
        if (got < 0 && errno != EINTR)
            return false;
    }
}
