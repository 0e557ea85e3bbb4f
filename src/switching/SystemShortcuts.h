#pragma once

#include "platform/KeyEvents.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

// The system's own keyboard shortcuts for desktops, kept in the user's
// "com.apple.symbolichotkeys" preferences: switch to desktop 1...10 and move
// one desktop left or right. Read afresh on every call.
namespace SystemShortcuts {

// One shortcut as the switcher presses it and the interface shows it.
struct Combo {
    qint64 keyCode = 0;
    platform::EventFlags flags = 0; // only Control, Option, Shift, Command
    QString display;                // e.g. ⌃3

    bool operator==(const Combo&) const = default;
};

enum class Direction { left, right };

inline constexpr int desktopLimit = 10;

inline const QString domain = QStringLiteral("com.apple.symbolichotkeys");
inline const QString tableKey = QStringLiteral("AppleSymbolicHotKeys");

// The shortcut of desktop n (1...10) when its entry is there and enabled.
std::optional<Combo> combo(qint64 desktopNumber);
// The user's move-left/right shortcut; Control + arrow when the system holds
// no usable entry; none when the user turned it off.
std::optional<Combo> combo(Direction direction);
int enabledDesktopCount();

// Turns on the shortcuts of desktops 1...count (clamped to 1...10) that are
// not on, as Control + digit, then has the system and the Dock load them.
// Answers whether the preferences were written.
bool enableDesktopShortcuts(qint64 count);

// One entry to a combination: none when it is empty or not enabled, the
// fallback when its shortcut is malformed.
std::optional<Combo> parseEntry(const QVariantMap& entry, const std::optional<Combo>& fallback);

// Starts a system tool; a tool that cannot start leaves a line in the switches
// log. The exit status is not looked at.
void run(const QString& path, const QStringList& arguments, bool wait);

} // namespace SystemShortcuts
