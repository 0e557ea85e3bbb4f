#pragma once

#include "platform/OSStatus.h"

#include <functional>
#include <vector>

namespace platform {

// The Carbon event manager's global hot keys: a combination registered here
// fires whichever application is in front, and the press arrives as an event
// at the application's event target.

using FourCharCode = quint32;

// A four-character code, first character in the most significant byte.
constexpr FourCharCode fourCharCode(const char (&text)[5])
{
    return (FourCharCode(quint8(text[0])) << 24) | (FourCharCode(quint8(text[1])) << 16)
        | (FourCharCode(quint8(text[2])) << 8) | FourCharCode(quint8(text[3]));
}

inline constexpr FourCharCode kEventClassKeyboard = fourCharCode("keyb");
inline constexpr quint32 kEventHotKeyPressed = 5;
inline constexpr FourCharCode kEventParamDirectObject = fourCharCode("----");
inline constexpr FourCharCode typeEventHotKeyID = fourCharCode("hkid");

// Carbon modifier bits of a hot key.
namespace CarbonModifiers {
inline constexpr quint32 command = 0x100;
inline constexpr quint32 shift = 0x200;
inline constexpr quint32 option = 0x800;
inline constexpr quint32 control = 0x1000;
} // namespace CarbonModifiers

struct EventHotKeyID {
    FourCharCode signature = 0;
    quint32 id = 0;
};

struct EventTypeSpec {
    FourCharCode eventClass = 0;
    quint32 eventKind = 0;
};

// An event as a handler receives it; only valid during the handler call.
class CarbonEvent;
using EventRef = const CarbonEvent*;

// Opaque references; 0 is none.
using EventTargetRef = quintptr;
using EventHotKeyRef = quint64;
using EventHandlerRef = quint64;

using EventHandler = std::function<OSStatus(EventRef event)>;

namespace HotKeys {

EventTargetRef applicationEventTarget();

// Installs handler for the given event kinds on target; it stays installed for
// the life of the process.
OSStatus installEventHandler(EventTargetRef target, EventHandler handler, const std::vector<EventTypeSpec>& kinds,
                             EventHandlerRef* outRef);

// Registers keyCode + modifiers (Carbon mask) under id. Fails with
// eventHotKeyExistsErr when the combination is already registered.
OSStatus registerEventHotKey(quint32 keyCode, quint32 modifiers, EventHotKeyID id, EventTargetRef target,
                             quint32 options, EventHotKeyRef* outRef);

OSStatus unregisterEventHotKey(EventHotKeyRef ref);

// Reads a hot-key id parameter of event; out is left untouched on failure.
OSStatus getEventParameter(EventRef event, FourCharCode name, FourCharCode type, EventHotKeyID* out);

} // namespace HotKeys
} // namespace platform
