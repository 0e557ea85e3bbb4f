#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The sending side of the link socket: hands links to a running copy, and
// asks it who it is and to quit (see LinkMessage for what travels). Every
// call blocks until it is done, at most about timeoutMs per step; none needs
// an event loop.
class LinkClient {
public:
    LinkClient() = delete;

    // A copy of the app found on the socket.
    struct Copy {
        qint32 pid = 0;
        // As the copy told it; none when it did not answer in time.
        std::optional<QString> bundlePath;
    };

    // Connects, writes each link as one frame and closes; true when every
    // byte was handed over.
    static bool send(const QString& socketPath, const QList<QByteArray>& links, QString* error = nullptr,
                     int timeoutMs = 2000);
    // The copy listening on the socket, with its pid as the system knows the
    // socket's owner. A copy that does not answer within timeoutMs is still
    // found, without a bundle path. None when nobody listens, or when this
    // process does.
    static std::optional<Copy> identify(const QString& socketPath, int timeoutMs);
    // Asks the copy with that pid to quit the normal way; true once it has
    // answered that it quits. False when it does not answer within timeoutMs,
    // or another process listens on the socket now.
    static bool askToQuit(const QString& socketPath, qint32 pid, int timeoutMs);
    // One frame: 4-byte big-endian length, then the bytes.
    static QByteArray frame(const QByteArray& link);
};
