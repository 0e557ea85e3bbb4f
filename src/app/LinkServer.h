#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QLocalServer;
class QLocalSocket;
class QSocketNotifier;

// Receives links from other processes of the same user (a second copy
// started with a link hands it over and exits), answers each link as taken
// or refused, and follows a link only once its "taken" went whole to a sender
// still connected: a sender that gave up (closed, or stopped reading) never
// has its link followed, and one that reads its answer knows it was. It also
// answers a newer copy that asks who this copy is or asks it to quit
// (LinkMessage has the frames). The socket lives in a folder only the user
// can enter (LinkSocket), and listening never takes over a socket that is in
// use.
//
// Any program of the user can connect, so the server holds out against
// hostile clients: it serves at most maxConnections at once and leaves later
// ones waiting in the socket's queue until one goes (a waiting sender is
// served late or gives up, never told its link arrived when it did not); a
// connection that goes idleTimeout seconds without a whole
// frame is closed; a link longer than maxLinkBytes is skipped unread,
// reported by its size and refused, and a connection never has more than
// maxBytesInFlight received and not yet handled. Connections take turns one
// frame at a time, so a flood on one never holds up a link on another; the
// frames of one connection are handed on in order. Near the process's
// descriptor limit it takes no more connections, leaving descriptorReserve
// free for the rest of the app (a thread that cannot get one ends the
// process), and looks again as connections go. When the socket stops
// listening under it (the toolkit's server closes itself when a connection
// cannot be accepted, for lack of file descriptors), the server says so in
// the system log and listens again.
class LinkServer final : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 maxLinkBytes = 64 * 1024;
    static constexpr qint64 maxBytesInFlight = 1024 * 1024;
    static constexpr int maxConnections = 16;
    // Seconds.
    static constexpr double idleTimeout = 5;
    // Seconds to wait before listening again when the socket stopped again
    // within this time of the last new start.
    static constexpr double relistenDelay = 1;
    // File descriptors kept free for the rest of the app.
    static constexpr int descriptorReserve = 8;
    // Seconds between looks for free descriptors while short of them.
    static constexpr double descriptorCheckDelay = 1;

    struct Handlers {
        // Follows a link its sender was told is taken.
        std::function<void(const QByteArray& link)> link;
        std::function<void(qint64 size)> oversized;
        // A newer copy asked this one to quit; the answer is on its way.
        std::function<void()> quit = {};
        // Why a link is not taken (it is not understood); none: it is taken.
        // Unset: every link is.
        std::function<std::optional<QString>(const QByteArray& link)> refuse = {};
    };

    explicit LinkServer(Handlers handlers, QObject* parent = nullptr);
    ~LinkServer() override;

    // Makes the socket's folder private (mode 0700), removes a socket of this
    // user that refuses connections (left by a copy that crashed) and listens.
    // Anything else at the path is left as it is: a socket that answers, a
    // socket of another user, a file, a link. False with error set then (it
    // says why), and when the folder belongs to someone else or cannot be
    // made private, or the socket cannot be opened.
    bool listen(const QString& socketPath, QString* error);
    bool isListening() const;
    QString socketPath() const { return socketPath_; }
    int connectionCount() const { return int(connections_.size()); }

private:
    enum class Outcome { listening, anotherCopy, failed };

    struct Connection {
        // The frame being read: header, then payload.
        QByteArray buffer;
        // Bytes of an oversized link still to throw away.
        qint64 skipping = 0;
        // When the connection counts as idle (scheduler seconds).
        double idleAt = 0;
        // Waiting for its turn.
        bool queued = false;
        bool disconnected = false;
        // Answers the client has not taken in yet, and what tells when it can.
        QByteArray outgoing;
        QSocketNotifier* writable = nullptr;
        // Bytes of answers queued and handed to the kernel so far.
        qint64 answered = 0;
        qint64 delivered = 0;
        // Links taken, each to be followed once the answers up to the end of
        // its "taken" were delivered.
        QList<QPair<qint64, QByteArray>> toFollow;
    };

    Outcome open(const QString& socketPath, QString* error);
    void accept();
    // Serves connections that waited, as far as the limit allows.
    void takeWaiting();
    void pauseAccepting(bool paused);
    void startServing(QLocalSocket* socket);
    void queue(QLocalSocket* socket);
    void scheduleServe();
    // One turn: each connection with data hands on at most one frame.
    void serve();
    // Answers whether the connection has more to hand on at once.
    bool serveOne(QLocalSocket* socket);
    void handleFrame(QLocalSocket* socket, const QByteArray& payload);
    void answer(QLocalSocket* socket, const QByteArray& payload);
    // Tells the client its link was taken, and follows the link once that
    // answer went whole to the kernel for a client still connected.
    void confirm(QLocalSocket* socket, const QByteArray& link);
    // Follows the links whose "taken" was delivered.
    void followDelivered(QLocalSocket* socket);
    // The client cannot be told any more: nothing waiting goes out, and no
    // link waiting for its answer is followed.
    static void forgetAnswers(Connection& connection);
    // Hands the answers waiting for the client to the kernel, as far as it
    // takes them now.
    void sendAnswers(QLocalSocket* socket);
    void stopWatchingWrites(Connection& connection);
    void frameDone(QLocalSocket* socket);
    void checkIdle(QLocalSocket* socket);
    void drop(QLocalSocket* socket);
    void watchListening();
    void checkListening();
    void listenAgain();

    Handlers handlers_;
    QLocalServer* server_;
    QString socketPath_;
    QHash<QLocalSocket*, Connection> connections_;
    // Connections waiting for their turn, in order.
    QList<QPointer<QLocalSocket>> turns_;
    // Accepted past the limit (at most one: accepting stops then), not served yet.
    QList<QPointer<QLocalSocket>> waiting_;
    bool acceptingPaused_ = false;
    bool descriptorCheckScheduled_ = false;
    bool serveScheduled_ = false;
    bool serving_ = false;
    // Listening stopped and has not come back yet.
    bool stopped_ = false;
    bool loggedRetry_ = false;
    double lastListenAgain_ = -1e9;
};
