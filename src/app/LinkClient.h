#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The sending side of the link socket: hands links to the user's running
// copy, and asks it who it is and to quit (see LinkMessage for what travels).
// Only a process of this user on a socket in the user's private folder is
// spoken to (LinkSocket checks both before anything is written). Every call
// blocks until it is done, at most timeoutMs in all, and gives up early when
// a termination signal came; none needs an event loop.
class LinkClient {
public:
    LinkClient() = delete;

    // How long a sender waits for its links to be confirmed, milliseconds.
    static constexpr int sendTimeoutMs = 5000;
    // How long a running copy has to say who it is; one that stays silent is
    // not taken for a copy.
    static constexpr int identifyTimeoutMs = 1000;

    // A copy of the app found on the socket.
    struct Copy {
        qint32 pid = 0;
        // As the copy told it (may be empty).
        std::optional<QString> bundlePath;
    };

    // What listens on the socket.
    struct Found {
        // The user's copy: a process of this user that answered the identify
        // request as a copy; its pid as the kernel gives it.
        std::optional<Copy> copy;
        // Nothing listens there (no socket, a socket nobody listens on, or
        // this very process).
        bool nobody = false;
        // Otherwise why what is there is not taken for a copy.
        QString problem;
    };
    static Found find(const QString& socketPath, int timeoutMs);

    struct Delivery {
        // The copy that confirmed the links; 0 when none did.
        qint32 pid = 0;
        // How many of the links, from the first, the copy confirmed.
        qsizetype taken = 0;
        // Nothing listens on the socket.
        bool nobody = false;
        // Why not every link was confirmed.
        QString problem;
    };
    // Writes each link as one frame and waits until the copy has confirmed
    // each. onlyTo: a pid the listener must have (0: any copy of the user).
    static Delivery send(const QString& socketPath, const QList<QByteArray>& links, int timeoutMs = sendTimeoutMs,
                         qint32 onlyTo = 0);

    enum class QuitAnswer {
        // It said it quits.
        quitting,
        // It is going away: its socket is gone or closed on us, or another
        // process listens there now.
        going,
        // It took the request and said nothing within timeoutMs.
        silent,
    };
    // Asks the copy with that pid to quit the normal way.
    static QuitAnswer askToQuit(const QString& socketPath, qint32 pid, int timeoutMs);
};
