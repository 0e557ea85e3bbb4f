#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;

// Receives links from other processes of the same user (a second copy
// started with a link hands it over and exits). The socket lives in a folder
// only the user can enter. A connection carries one batch: each link is a
// 4-byte big-endian length followed by that many bytes; links are handed on
// in the order they arrive, one at a time, so a bad one never holds up the
// rest. A link longer than the limit is skipped without being read into
// memory, and reported by its size.
class LinkServer final : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 maxLinkBytes = 1024 * 1024;

    struct Handlers {
        std::function<void(const QByteArray& link)> link;
        std::function<void(qint64 size)> oversized;
    };

    // $XDG_RUNTIME_DIR/tessaroom/links, or a per-user folder in the temporary
    // folder when the session has no runtime folder.
    static QString defaultSocketPath();

    explicit LinkServer(Handlers handlers, QObject* parent = nullptr);
    ~LinkServer() override;

    // Makes the socket's folder private (mode 0700), clears a socket left by
    // a copy that is gone, takes over one of a copy still running, and
    // listens. False with error set when the folder belongs to someone else
    // or cannot be made private, or the socket cannot be opened.
    bool listen(const QString& socketPath, QString* error);
    QString socketPath() const { return socketPath_; }

    // Makes folder exist, belong to this user and be closed to others.
    static bool preparePrivateFolder(const QString& folder, QString* error);

private:
    struct Reader {
        QByteArray buffer;
        // Bytes of an oversized link still to throw away.
        qint64 skipping = 0;
    };
    void accept();
    void read(QLocalSocket* socket);

    Handlers handlers_;
    QLocalServer* server_;
    QString socketPath_;
    QHash<QLocalSocket*, Reader> readers_;
};
