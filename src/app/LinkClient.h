#pragma once

#include "app/CopyLock.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// The sending side of the link socket: hands links to the user's running
// copy, and asks it who it is and to quit (see LinkMessage for what travels).
// Only a process of this user on a socket in the user's private folder is
// spoken to (LinkSocket checks both before anything is written), and links
// go only to one that answered as a copy on the same connection. Every call
// blocks until it is done, at most timeoutMs in all, and gives up early when
// a termination signal came; none needs an event loop.
class LinkClient {
public:
    LinkClient() = delete;

    // How long a sender waits for the copy to say who it is and to answer
    // its links, all together, milliseconds.
    static constexpr int sendTimeoutMs = 5000;
    // How long a running copy has to say who it is; one that stays silent is
    // not taken for a copy.
    static constexpr int identifyTimeoutMs = 5000;

    // A pidfd, closed when the last holder lets it go.
    using ProcessHandle = std::shared_ptr<const int>;

    // A copy of the app found on the socket.
    struct Copy {
        // As the kernel gives it: 0 for a process in another pid namespace.
        qint32 pid = 0;
        // As the copy told it (may be empty).
        std::optional<QString> bundlePath;
        // The copy's process, taken while the connection it answered on was
        // open, so it is that process whatever becomes of its pid; null when
        // its pid is 0 or the handle could not be had.
        ProcessHandle process;
    };

    // What listens on the socket.
    struct Found {
        // The user's copy: a process of this user that answered the identify
        // request as a copy.
        std::optional<Copy> copy;
        // Nothing listens there (no socket, a socket nobody listens on, or
        // this very process).
        bool nobody = false;
        // Otherwise why what is there is not taken for a copy.
        QString problem;
    };
    static Found find(const QString& socketPath, int timeoutMs);

    // The copy's answer to one link.
    struct Answer {
        bool taken = false;
        // Why it was not (the copy does not understand it).
        QString refusal;
    };

    struct Delivery {
        // The copy that answered as Tessaroom; 0 when none did.
        qint32 pid = 0;
        // The answers to the links, from the first, as far as the copy gave
        // them in time. A link without an answer is never followed.
        QList<Answer> answers;
        // Nothing listens on the socket (problem says what is missing).
        bool nobody = false;
        // Why some links got no answer.
        QString problem;
        // The listener closed the connection before it answered anything:
        // none of the links was followed, so they may be sent again.
        bool closedUnanswered = false;

        bool tookAll(qsizetype links) const;
    };
    // Asks who listens, then writes each link as one frame and waits for each
    // answer. On its deadline it stops taking answers before it gives up, so
    // the copy follows exactly the links reported taken.
    static Delivery send(const QString& socketPath, const QList<QByteArray>& links, int timeoutMs = sendTimeoutMs);
    // As send, and while nobody listens and whenNobody() finds a copy that
    // runs or is on its way (it starts, or quits while a newer one comes), or
    // the listener closed on the links unanswered (it quits), looks again
    // within the same deadline; then the problem says what was found. Nobody
    // is left to the caller only when whenNobody() found no copy (and claimed
    // the copy lock); when it cannot tell, nothing is sent.
    static Delivery sendOnceListening(const QString& socketPath, const QList<QByteArray>& links,
                                      const std::function<CopyLock::Seen()>& whenNobody, int timeoutMs = sendTimeoutMs);

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
