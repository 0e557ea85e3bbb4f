#pragma once

#include <QString>

// A TCP server on 127.0.0.1 that the kernel accepts connections for and that
// never answers: a transfer to it stays connected, waiting, until the client
// lets go. It needs no event loop, so a test can watch a connection close
// while its own loop stands still, as at the end of the app.
class SilentServer {
public:
    SilentServer();
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    // "http://127.0.0.1:<port>".
    QString origin() const;
    // Takes the next connection waiting, if one came; true once one is held.
    bool accept();
    // Sends bytes on the connection held (an answer's head, say).
    bool send(const QByteArray& bytes);
    // Waits up to limitMs for the client to close the connection held,
    // reading what it sends meanwhile; false when it stayed open.
    bool closedByClient(int limitMs = 10000);

private:
    int listener_ = -1;
    int connection_ = -1;
    quint16 port_ = 0;
};
