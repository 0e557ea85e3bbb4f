#pragma once

#include "platform/KeyEvents.h"

#include <Qt>

#include <optional>

class QKeyEvent;

namespace platform {

// Qt delivers the app's keyboard input on Linux. These translate it into the
// system's own key events: virtual key codes of the key positions on a US
// keyboard, and event flags (Super stands for Command, Alt for Option).
namespace QtKeyEvents {

// The virtual key code of a Qt key. Shifted symbols map to the key that types
// them ("!" is the 1 key); keypad keys need keypad set. None for keys the
// keyboard has no position for.
std::optional<quint16> virtualKeyCode(int qtKey, bool keypad);

// Event flags of Qt modifiers; Caps Lock is not known to Qt's events.
EventFlags eventFlags(Qt::KeyboardModifiers modifiers);

// A key press or release as the system's event: key-down and key-up for
// ordinary keys, flags-changed (with the new flags) for modifier keys. Keys
// that also carry the function and numeric-pad flags on the real keyboard get
// them here. None for other event types and for keys without a position.
std::optional<KeyEvent> fromQt(const QKeyEvent& event);

// Makes every key event the app receives pass its local monitors before any
// widget or shortcut sees it, as the real application object does; a monitor
// that swallows an event keeps it from the widgets and from shortcuts. Safe to
// call more than once; needs the application object.
void routeToLocalMonitors();

} // namespace QtKeyEvents
} // namespace platform
