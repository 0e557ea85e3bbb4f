#include "app/LinkMessage.h"

#include <QtEndian>

#include <limits>
#include <optional>
#include <utility>

namespace {

const QByteArray identifyWord = QByteArrayLiteral("identify");
const QByteArray quitWord = QByteArrayLiteral("quit");
const QByteArray copyWord = QByteArrayLiteral("copy ");
const QByteArray quittingWord = QByteArrayLiteral("quitting ");
const QByteArray takenWord = QByteArrayLiteral("taken ");
const QByteArray refusedWord = QByteArrayLiteral("refused ");

QByteArray message(const QByteArray& body)
{
    return LinkMessage::marker + body;
}

// A pid written as plain decimal digits, above 0 and within 32 bits.
std::optional<qint32> pidFrom(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 10)
        return std::nullopt;
    qint64 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value <= 0 || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(value);
}

} // namespace

QByteArray LinkMessage::frame(const QByteArray& payload)
{
    QByteArray frame(headerBytes, '\0');
    qToBigEndian(quint32(payload.size()), frame.data());
    return frame + payload;
}

QByteArray LinkMessage::identify()
{
    return message(identifyWord);
}

QByteArray LinkMessage::quit()
{
    return message(quitWord);
}

QByteArray LinkMessage::copy(qint32 pid, const QString& bundlePath)
{
    return message(copyWord + QByteArray::number(pid) + '\n' + bundlePath.toUtf8());
}

QByteArray LinkMessage::quitting(qint32 pid)
{
    return message(quittingWord + QByteArray::number(pid));
}

QByteArray LinkMessage::taken(qint32 pid)
{
    return message(takenWord + QByteArray::number(pid));
}

QByteArray LinkMessage::refused(qint32 pid, const QString& reason)
{
    return message(refusedWord + QByteArray::number(pid) + '\n' + reason.toUtf8());
}

LinkMessage LinkMessage::read(const QByteArray& payload)
{
    LinkMessage result;
    if (!payload.startsWith(marker)) {
        result.kind = Kind::link;
        result.link = payload;
        return result;
    }
    const QByteArrayView body = QByteArrayView(payload).sliced(1);
    if (body == identifyWord) {
        result.kind = Kind::identify;
    } else if (body == quitWord) {
        result.kind = Kind::quit;
    } else if (body.startsWith(copyWord) || body.startsWith(refusedWord)) {
        // A pid, then a line of text.
        const bool copy = body.startsWith(copyWord);
        const QByteArrayView rest = body.sliced(copy ? copyWord.size() : refusedWord.size());
        const qsizetype lineEnd = rest.indexOf('\n');
        const auto pid = lineEnd < 0 ? std::nullopt : pidFrom(rest.first(lineEnd));
        if (pid) {
            result.kind = copy ? Kind::copy : Kind::refused;
            result.pid = *pid;
            (copy ? result.bundlePath : result.reason) = QString::fromUtf8(rest.sliced(lineEnd + 1));
        }
    } else {
        // The answers that carry only the sender's pid.
        for (const auto& [word, kind] : {std::pair{&quittingWord, Kind::quitting}, std::pair{&takenWord, Kind::taken}}) {
            if (!body.startsWith(*word))
                continue;
            if (const auto pid = pidFrom(body.sliced(word->size()))) {
                result.kind = kind;
                result.pid = *pid;
            }
            break;
        }
    }
    return result;
}
