#pragma once

#include <QString>
#include <QStringView>

// How a link (or a name or page taken from one) appears in a log line or a
// toast. Pure text functions; nothing here logs.
namespace LinkText {

// Control characters as escapes ("\n", "\x1b", "\u2028"): a link must not
// start a line of its own in a log, nor send commands to the terminal
// showing it. Every other character is kept.
QString escapedControls(QStringView text);

// The text cut to at most limit characters (never inside a surrogate pair,
// then "…"), with its controls escaped.
QString shown(const QString& text, qsizetype limit);

} // namespace LinkText
