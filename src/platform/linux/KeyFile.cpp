#include "platform/linux/KeyFile.h"

#include <QFile>
#include <QFileInfo>

namespace platform::sim::KeyFile {

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
    const QFileInfo info(path);
    if (!info.exists())
        return QByteArray();
    // A pipe would block the read and a folder is no file: neither is read
    // nor replaced.
    if (!info.isFile()) {
        *why = QStringLiteral("it is not a regular file");
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = file.errorString();
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *why = file.errorString();
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

} // namespace platform::sim::KeyFile
