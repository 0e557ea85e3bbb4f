#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

struct Hotkey;

// Names of keys and modifiers: glyph text for labels (⌃⌥Space), words for
// captions and accessibility (Control + Option + Space), and menu key
// equivalents. Characters come from the current ASCII-capable keyboard layout,
// asked afresh on every call so that a layout change shows at the next redraw.
namespace KeyNames {

// Key codes of the main-row digits 1...9 and 0, indexed by desktop number - 1.
const QList<quint32>& digitKeyCodes();
const QSet<quint32>& functionKeyCodes();
// Fixed display names of keys that type nothing readable.
const QHash<quint32, QString>& specialNames();
// Glyph display names to their words ("←" to "Left Arrow").
const QHash<QString, QString>& spelledNames();

// "⌃", "⌥", "⇧", "⌘" for the modifiers set, always in that order.
QString glyphs(quint32 modifiers);
// What the key types on the current layout with no modifiers; none when the
// layout gives nothing (no layout, a dead key, a code above 0xFFFF).
std::optional<QString> keyName(quint32 keyCode);
// The fixed name, else the layout character upper-cased, else "Key <code>".
QString displayName(quint32 keyCode);
// The display name, with glyphs replaced by words.
QString spelledKeyName(quint32 keyCode);
// Modifier words and the spelled key name joined by " + ".
QString describe(const Hotkey& hotkey);
// A menu item's key equivalent: control characters and the menu arrow
// characters for special keys, else the raw layout character (not
// upper-cased), else "".
QString keyEquivalent(quint32 keyCode);
// The display name of desktop number's digit key (1...10), else none.
std::optional<QString> digitName(qint64 desktopNumber);

} // namespace KeyNames
