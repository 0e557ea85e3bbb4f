#pragma once

#include <QByteArray>
#include <QString>

// What travels over the link socket, one frame at a time: a 4-byte big-endian
// length, then that many bytes. A frame is either a link (the bytes of its
// text, as every sender has always written it) or a message between two
// copies of the app. A message starts with the byte 0xFF, which never occurs
// in UTF-8 text: no link reads as a message, and no message as a link.
//
// Messages: a newer copy asks "identify" (the running copy answers "copy"
// with its pid and bundle path) and "quit" (it answers "quitting" with its
// pid, then quits the normal way). The running copy answers each link, in
// order: "taken" with its pid, or "refused" with its pid and why it does not
// understand the link. A link is followed only once its "taken" went to a
// sender still connected and reading, so a sender that gave up on its link
// never has it followed. Answers go back on the same connection.
class LinkMessage {
public:
    enum class Kind {
        link,
        identify,
        quit,
        copy,
        quitting,
        taken,
        refused,
        // A message this version does not know; it is ignored.
        unknown,
    };

    static constexpr int headerBytes = 4;
    static constexpr char marker = '\xFF';

    // The frame around payload.
    static QByteArray frame(const QByteArray& payload);

    // Payloads of the messages.
    static QByteArray identify();
    static QByteArray quit();
    static QByteArray copy(qint32 pid, const QString& bundlePath);
    static QByteArray quitting(qint32 pid);
    static QByteArray taken(qint32 pid);
    static QByteArray refused(qint32 pid, const QString& reason);

    // What one frame's payload says. A message with a malformed body is
    // unknown.
    static LinkMessage read(const QByteArray& payload);

    Kind kind = Kind::unknown;
    // The link's bytes, as received.
    QByteArray link;
    // copy, quitting, taken and refused: the sender's process id.
    qint32 pid = 0;
    // copy: the sender's bundle path (may be empty).
    QString bundlePath;
    // refused: why.
    QString reason;
};
