#pragma once

#include "platform/KeyCodes.h"
#include "platform/KeyEvents.h"

#include <QtGlobal>

#include <array>

// Synthesized key presses posted into the system's event stream, so that the
// system's own desktop shortcuts take effect. Needs the Accessibility
// permission; without it the system drops the events.
namespace KeySynth {

// Left, right, up, down.
inline constexpr std::array<qint64, 4> arrowKeyCodes{platform::KeyCode::leftArrow, platform::KeyCode::rightArrow,
                                                      platform::KeyCode::upArrow, platform::KeyCode::downArrow};
inline constexpr quint16 controlKeyCode = platform::KeyCode::control;
// Arrow keys travel with the function and numeric-pad flags, as a real
// keyboard sends them.
inline constexpr platform::EventFlags arrowExtraFlags = platform::EventFlag::secondaryFn
    | platform::EventFlag::numericPad;

// Posts key down then key up for keyCode, wrapped in Control down/up when the
// flags hold Control. A key code outside 0...65535 cannot be posted: nothing
// is posted for it (never a truncated code) and the switches log says so.
void press(qint64 keyCode, platform::EventFlags flags);

} // namespace KeySynth
