#include "platform/linux/KeyFile.h"

#include "platform/FileIO.h"

#include <cerrno>
#include <cstring>

namespace platform::host::KeyFile {

namespace {

// The key of a "key=value" line, blanks around it ignored; none for other lines.
std::optional<QByteArray> keyOf(const QByteArray& line)
{
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return std::nullopt;
    return line.left(equals).trimmed();
}

bool isGroupHeader(const QByteArray& line)
{
    return line.trimmed().startsWith('[');
}

} // namespace

std::optional<QByteArray> read(const QString& path, QString* why)
{
    // A pipe would block the read and a folder is no file: neither is read
    // nor replaced.
    const FileIO::RegularFile file(path, FileIO::Links::followed);
    if (file.error() == ENOENT)
        return QByteArray();
    if (!file.isOpen()) {
        *why = file.why();
        return std::nullopt;
    }
    QByteArray bytes;
    if (const int error = FileIO::readAll(file.fd(), bytes)) {
        *why = QString::fromLocal8Bit(std::strerror(error));
        return std::nullopt;
    }
    return bytes;
}

QByteArray withValues(const QByteArray& text, const QByteArray& group,
                      const QList<std::pair<QByteArray, QByteArray>>& values)
{
    QList<QByteArray> lines = text.split('\n');
    // The last line feed ends the last line; it starts no empty one.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    qsizetype header = -1;
    for (qsizetype i = 0; i < lines.size() && header < 0; ++i) {
        if (lines[i].trimmed() == group)
            header = i;
    }
    if (header < 0) {
        lines.append(group);
        header = lines.size() - 1;
    }
    qsizetype end = header + 1;
    while (end < lines.size() && !isGroupHeader(lines[end]))
        ++end;
    for (const auto& [key, value] : values) {
        const QByteArray line = key + '=' + value;
        bool replaced = false;
        for (qsizetype i = header + 1; i < end; ++i) {
            if (keyOf(lines[i]) == key) {
                lines[i] = line;
                replaced = true;
            }
        }
        if (replaced)
            continue;
        // After the group's last line with content, so blank lines that
        // separate it from the next group stay between them.
        qsizetype at = end;
        while (at > header + 1 && lines[at - 1].trimmed().isEmpty())
            --at;
        lines.insert(at, line);
        ++end;
    }
    return lines.join('\n') + '\n';
}

} // namespace platform::host::KeyFile
