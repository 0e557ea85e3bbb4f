#include "support/LoopbackServer.h"

#include "platform/Scheduler.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QSslConfiguration>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

constexpr qint64 socketBacklogBytes = 256 * 1024;

QByteArray reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

QByteArray readTestData(const char* name)
{
    QFile file(QStringLiteral(TESSAROOM_TEST_DATA "/") + QLatin1String(name));
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

} // namespace

struct LoopbackServer::Answer {
    QPointer<QTcpSocket> socket;
    QByteArray request;
    Route route;
    bool started = false;
    qint64 sent = 0;
    qint64 total = 0;
    std::unique_ptr<QFile> file;
    bool trickling = false; // the next chunk waits for the scheduler
};

LoopbackServer::LoopbackServer(std::optional<Tls> tls)
    : https_(tls.has_value())
{
    if (tls) {
        auto server = std::make_unique<QSslServer>();
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificate(tls->certificate);
        configuration.setPrivateKey(tls->key);
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
        server->setSslConfiguration(configuration);
        server_ = std::move(server);
    } else {
        server_ = std::make_unique<QTcpServer>();
    }
    connect(server_.get(), &QTcpServer::pendingConnectionAvailable, this, [this] {
        while (QTcpSocket* socket = server_->nextPendingConnection())
            accept(socket);
    });
    server_->listen(QHostAddress::LocalHost, 0);
}

LoopbackServer::~LoopbackServer()
{
    for (const auto& answer : answers_) {
        if (answer->socket)
            answer->socket->abort();
    }
}

quint16 LoopbackServer::port() const
{
    return server_->serverPort();
}

QString LoopbackServer::origin() const
{
    return QStringLiteral("%1://127.0.0.1:%2").arg(https_ ? QStringLiteral("https") : QStringLiteral("http")).arg(port());
}

void LoopbackServer::setRoute(const QString& path, Route route)
{
    routes_.insert(path, std::move(route));
}

void LoopbackServer::release()
{
    released_ = true;
    for (const auto& answer : answers_)
        pump(*answer);
}

bool LoopbackServer::stalled() const
{
    for (const auto& answer : answers_) {
        if (answer->socket && answer->route.stallAfter && answer->sent >= *answer->route.stallAfter && !released_
            && answer->sent < answer->total)
            return true;
    }
    return false;
}

bool LoopbackServer::trickling() const
{
    for (const auto& answer : answers_) {
        if (answer->socket && answer->trickling && answer->socket->state() == QAbstractSocket::ConnectedState)
            return true;
    }
    return false;
}

int LoopbackServer::openConnections() const
{
    int count = 0;
    for (const auto& answer : answers_)
        count += answer->socket && answer->socket->state() == QAbstractSocket::ConnectedState;
    return count;
}

void LoopbackServer::accept(QTcpSocket* socket)
{
    auto answer = std::make_shared<Answer>();
    answer->socket = socket;
    answers_.append(answer);
    Answer* raw = answer.get();
    connect(socket, &QTcpSocket::readyRead, this, [this, raw] { readRequest(*raw); });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, raw] { pump(*raw); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    readRequest(*raw);
}

void LoopbackServer::readRequest(Answer& answer)
{
    if (answer.started || !answer.socket)
        return;
    answer.request += answer.socket->readAll();
    if (!answer.request.contains("\r\n\r\n"))
        return;
    answer.started = true;
    const QList<QByteArray> words = answer.request.left(answer.request.indexOf("\r\n")).split(' ');
    const QString path = QString::fromLatin1(words.value(1));
    requests_[path] += 1;
    lastRequests_[path] = answer.request;
    answer.route = routes_.value(path, Route{.status = 404, .body = "not here"});
    const Route& route = answer.route;
    if (route.dropWithoutAnswer) {
        QMetaObject::invokeMethod(answer.socket, &QTcpSocket::abort, Qt::QueuedConnection);
        return;
    }
    if (!route.bodyFile.isEmpty()) {
        answer.file = std::make_unique<QFile>(route.bodyFile);
        answer.file->open(QIODevice::ReadOnly);
        answer.total = answer.file->size();
    } else {
        answer.total = route.body.size();
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(route.status) + ' ' + reason(route.status) + "\r\n";
    const qint64 announced = route.announcedLength.value_or(answer.total);
    if (announced >= 0)
        head += "Content-Length: " + QByteArray::number(announced) + "\r\n";
    if (!route.location.isEmpty())
        head += "Location: " + route.location.toUtf8() + "\r\n";
    head += "Content-Type: application/octet-stream\r\nConnection: close\r\n\r\n";
    answer.socket->write(head);
    pump(answer);
}

void LoopbackServer::pump(Answer& answer)
{
    QTcpSocket* socket = answer.socket;
    if (!answer.started || !socket || socket->state() != QAbstractSocket::ConnectedState)
        return;
    const Route& route = answer.route;
    if (answer.trickling)
        return;
    while (answer.sent < answer.total && socket->bytesToWrite() < socketBacklogBytes) {
        qint64 limit = answer.total;
        if (route.stallAfter && !released_)
            limit = std::min(limit, *route.stallAfter);
        if (route.cutAfter)
            limit = std::min(limit, *route.cutAfter);
        const qint64 chunk = std::min(route.chunkBytes, limit - answer.sent);
        if (chunk <= 0)
            break;
        QByteArray bytes = answer.file ? answer.file->read(chunk) : route.body.mid(answer.sent, chunk);
        socket->write(bytes);
        answer.sent += bytes.size();
        bytesSent_ += bytes.size();
        if (route.trickleSeconds && answer.sent < answer.total) {
            answer.trickling = true;
            QPointer<LoopbackServer> self(this);
            std::weak_ptr<Answer> waiting;
            for (const auto& one : answers_) {
                if (one.get() == &answer)
                    waiting = one;
            }
            platform::Scheduler::current().schedule(*route.trickleSeconds, [self, waiting] {
                if (const auto next = waiting.lock(); self && next) {
                    next->trickling = false;
                    self->pump(*next);
                }
            });
            break;
        }
        if (route.chunkBytes < 65536)
            break; // one small chunk per turn
    }
    if (route.cutAfter && answer.sent >= *route.cutAfter && answer.sent < answer.total) {
        // Cut once what was written has left, outside the socket's own signal.
        if (socket->bytesToWrite() == 0)
            QMetaObject::invokeMethod(socket, &QTcpSocket::abort, Qt::QueuedConnection);
        return;
    }
    if (answer.sent >= answer.total)
        finish(answer);
}

void LoopbackServer::finish(Answer& answer)
{
    if (answer.socket && answer.socket->bytesToWrite() == 0)
        answer.socket->disconnectFromHost();
}

LoopbackServer::Tls LoopbackServer::testTls()
{
    return Tls{QSslCertificate(readTestData("server.pem")), QSslKey(readTestData("server.key"), QSsl::Ec)};
}

QSslCertificate LoopbackServer::testAuthority()
{
    return QSslCertificate(readTestData("ca.pem"));
}

bool waitUntil(const std::function<bool()>& condition, int limitMs)
{
    QDeadlineTimer deadline(limitMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}
