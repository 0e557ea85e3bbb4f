#pragma once

#include <QString>

namespace Format {

// Short text of tracked time: "42s" below a minute, "59m" below an hour, else
// "25h 1m"; seconds are dropped once a minute is reached and hours are never
// split into days. A value that is negative or not finite gives "0s".
QString duration(double seconds);

} // namespace Format

// The text reduced to its emoji, each kept as a whole user-perceived
// character; possibly empty.
QString emojiOnly(const QString& text);

// The text without blanks at either end: Unicode space separators and the tab.
// Line breaks are not blanks and stay.
QStringView trimmedBlanks(QStringView text);

// The running system's major version, read once for the life of the process.
int systemVersion();
