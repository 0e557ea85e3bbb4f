#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The sending side of the link socket: hands links to a running copy.
class LinkClient {
public:
    LinkClient() = delete;

    // Connects, writes each link as one frame and closes; true when every
    // byte was handed over. Blocks until then (at most timeoutMs per step).
    static bool send(const QString& socketPath, const QList<QByteArray>& links, QString* error = nullptr,
                     int timeoutMs = 2000);
    // The pid of the process listening on the socket; none when nobody
    // answers within timeoutMs.
    static std::optional<qint32> listenerPid(const QString& socketPath, int timeoutMs = 500);
    // One frame: 4-byte big-endian length, then the bytes.
    static QByteArray frame(const QByteArray& link);
};
