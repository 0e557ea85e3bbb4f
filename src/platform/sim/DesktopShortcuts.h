#pragma once

#include "platform/KeyEvents.h"

namespace platform::sim {

// The Dock's side of the system's desktop shortcuts ("AppleSymbolicHotKeys"
// in "com.apple.symbolichotkeys": 118...127 switch to desktop 1...10, 79 and
// 81 move one space left or right). The Dock reads the table when it starts
// and never again until it restarts ("killall Dock").

// How long the switch animation of a desktop shortcut takes before the
// display shows the new space.
inline constexpr double desktopSwitchAnimation = 0.25;

// The Dock starts (again) and loads the shortcut table as it is now.
void restartDock();

// The keyboard's desktop-shortcut stage: when keyCode with the modifiers of
// flags is an enabled shortcut the Dock has loaded, the switch starts and the
// answer is true. Desktop n (global numbering over every display) switches
// its display; left and right move the active menu-bar display one space,
// counting from where a running animation is heading; at the ends they do
// nothing.
bool pressDesktopShortcut(quint16 keyCode, EventFlags flags);

} // namespace platform::sim
