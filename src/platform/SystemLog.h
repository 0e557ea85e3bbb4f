#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace platform {

// The system log (the console). Lines are kept in memory for the process and
// appended to $XDG_STATE_HOME/tessaroom/system.log. Both stay small however
// much is logged: the file is cut to its last whole lines, and memory keeps
// the newest lines.
namespace SystemLog {

// Past this many bytes the file is cut, before the next line, to its last
// whole lines within half of it.
inline constexpr qint64 fileLimit = 512 * 1024;
// The lines in memory take at most this many characters; the oldest go first,
// whole, and the newest line always stays.
inline constexpr qsizetype memoryLimit = 256 * 1024;

void write(const QString& message);
// The newest lines written since the process started (or the last reset),
// oldest first.
QStringList lines();
QString filePath();

} // namespace SystemLog
} // namespace platform
