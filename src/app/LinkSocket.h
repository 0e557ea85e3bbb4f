#pragma once

#include <QDeadlineTimer>
#include <QString>

#include <optional>

// Where the link socket lives, and what both of its ends check before they
// trust what they find there: the folder is the user's own, closed to
// everyone else and not a link; the socket file is a socket of the user; the
// process on the other end runs as this user (the kernel's word, SO_PEERCRED).
// Nothing here follows a link planted in place of the folder or the socket,
// and nothing is written to a process before it passed these checks.
class LinkSocket {
public:
    LinkSocket() = delete;

    // $XDG_RUNTIME_DIR/tessaroom/links, or a per-user folder in the temporary
    // folder when the session has no runtime folder (or a relative one).
    static QString defaultPath();

    // What a check found.
    struct Check {
        // Nothing is there (no folder, or no socket file in it, or a socket
        // nobody listens on); problem then says which.
        bool missing = false;
        // Why what is there cannot be trusted, or what is missing; empty when
        // it can be trusted.
        QString problem;

        bool trusted() const { return !missing && problem.isEmpty(); }
    };

    // The folder as a sender needs it: a folder of the user, closed to others.
    static Check checkFolder(const QString& folder);
    // The socket file: a socket of the user (lstat: a link is not one).
    static Check checkSocketFile(const QString& socketPath);

    // Makes the socket's folder exist, belong to this user and be closed to
    // others; false with the reason otherwise.
    static bool prepareFolder(const QString& folder, QString* error);

    // One connection to the process listening on the socket, made only after
    // the folder and the socket file passed their checks, and kept only when
    // the process runs as this user. Blocking calls end at the deadline, and
    // early when a termination signal came.
    class Connection {
    public:
        Connection() = default;
        ~Connection();
        Connection(const Connection&) = delete;
        Connection& operator=(const Connection&) = delete;

        // Missing when nothing listens (no socket, or one nobody listens on).
        Check open(const QString& socketPath, const QDeadlineTimer& deadline);
        // The listening process, as the kernel recorded it.
        qint32 peerPid() const { return peerPid_; }

        // Writes all of bytes; false when the deadline passed or the other end
        // closed. Answers that arrive meanwhile are kept for readFrame.
        bool write(const QByteArray& bytes, const QDeadlineTimer& deadline);
        // The payload of the next frame; none when it did not come in time
        // (closed() tells whether the other end closed the connection).
        std::optional<QByteArray> readFrame(const QDeadlineTimer& deadline);
        bool closed() const { return closed_; }
        // Takes no more answers: the other end's writes fail from here on
        // (at once with this call, as the kernel orders them), and what it
        // wrote before is still there for readFrame.
        void stopReading();
        // A pidfd of the listening process, opened while this connection is
        // open, and kept only when it still is afterwards; -1 when the pid is
        // 0 (a process in another pid namespace) or no handle can be had.
        int openPeerHandle() const;

    private:
        // Waits until the socket is ready for events; false at the deadline.
        bool waitFor(short events, const QDeadlineTimer& deadline) const;
        void readAvailable();

        int fd_ = -1;
        qint32 peerPid_ = 0;
        bool closed_ = false;
        QByteArray input_;
    };
};
