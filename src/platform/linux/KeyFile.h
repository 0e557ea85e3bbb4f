#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// The "[Group]" and "key=value" files other programs share with the app
// (mimeapps.list, autostart entries). They are edited as bytes: a line the
// app does not set is kept byte for byte, whatever its encoding, and a file
// that cannot be read is never rewritten.
namespace platform::host::KeyFile {

// The file's bytes, empty when nothing is at the path. None when something is
// there but cannot be read (no permission, a folder, a socket), with the
// reason in why.
std::optional<QByteArray> read(const QString& path, QString* why);

// The text with "key=value" set in the first group with that header (for
// example "[Default Applications]"): every line of that group whose key
// matches is replaced, a missing key is added after the group's last
// non-blank line, and a missing group is added at the end. Every other line
// stays as it was; the text ends with a line feed.
QByteArray withValues(const QByteArray& text, const QByteArray& group,
                      const QList<std::pair<QByteArray, QByteArray>>& values);

} // namespace platform::host::KeyFile
