#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QTcpServer;
class QTcpSocket;

// An HTTP or HTTPS server on 127.0.0.1 (port chosen by the system) that
// answers GETs from a table of routes, with switches for misbehaviour. It
// runs on the test's event loop; every connection is closed after one answer.
class LoopbackServer final : public QObject {
    Q_OBJECT

public:
    struct Tls {
        QSslCertificate certificate;
        QSslKey key;
    };

    struct Route {
        int status = 200;
        QByteArray body{};
        // Streamed from this file instead of body when set.
        QString bodyFile{};
        // "Content-Length"; the body's own length when none. Negative: no header.
        std::optional<qint64> announcedLength{};
        // After this many body bytes the answer stops until release().
        std::optional<qint64> stallAfter{};
        // After this many body bytes the connection is cut.
        std::optional<qint64> cutAfter{};
        // The body goes out in chunks of this size, each after the previous
        // one has left.
        qint64 chunkBytes = 65536;
        // Each chunk after the first also waits this many seconds on the
        // platform scheduler (the test's manual clock).
        std::optional<double> trickleSeconds{};
        // "Location" of a 3xx answer.
        QString location{};
        // The connection is dropped once the request is in, with no answer
        // at all (as when the network goes away).
        bool dropWithoutAnswer = false;
    };

    explicit LoopbackServer(std::optional<Tls> tls = std::nullopt);
    ~LoopbackServer() override;

    quint16 port() const;
    // "http://127.0.0.1:<port>" or "https://...".
    QString origin() const;

    void setRoute(const QString& path, Route route);
    // Lets stalled answers go on to their end.
    void release();

    int requestCount(const QString& path) const { return requests_.value(path); }
    // The request head of the last request to path.
    QByteArray lastRequest(const QString& path) const { return lastRequests_.value(path); }
    // Body bytes handed to the sockets so far, over all answers.
    qint64 bytesSent() const { return bytesSent_; }
    // Whether some answer is waiting for release().
    bool stalled() const;
    // Whether some answer waits for the clock before its next chunk.
    bool trickling() const;
    // Connections accepted and not yet closed by either side.
    int openConnections() const;
    int acceptedConnections() const { return int(answers_.size()); }

    // The test authority and the server certificate for 127.0.0.1 from the
    // test data.
    static Tls testTls();
    static QSslCertificate testAuthority();

private:
    struct Answer;
    void accept(QTcpSocket* socket);
    void readRequest(Answer& answer);
    void pump(Answer& answer);
    void finish(Answer& answer);

    std::unique_ptr<QTcpServer> server_;
    bool https_ = false;
    QHash<QString, Route> routes_;
    QHash<QString, int> requests_;
    QHash<QString, QByteArray> lastRequests_;
    QList<std::shared_ptr<Answer>> answers_;
    bool released_ = false;
    qint64 bytesSent_ = 0;
};

// Runs the event loop until condition holds or limitMs of wall-clock time
// pass; true when it held.
bool waitUntil(const std::function<bool()>& condition, int limitMs = 10000);
