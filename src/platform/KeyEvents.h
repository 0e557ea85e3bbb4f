#pragma once

#include "platform/EventSource.h"

#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

namespace platform {

// Keyboard events: made and posted by the app (Core Graphics), and seen by
// the app's local event monitors before its windows get them (AppKit).

using EventFlags = quint64;

namespace EventFlag {
inline constexpr EventFlags capsLock = 0x10000;
inline constexpr EventFlags shift = 0x20000;
inline constexpr EventFlags control = 0x40000;
inline constexpr EventFlags option = 0x80000;
inline constexpr EventFlags command = 0x100000;
inline constexpr EventFlags numericPad = 0x200000;
inline constexpr EventFlags secondaryFn = 0x800000;
} // namespace EventFlag

enum class KeyEventType : quint32 {
    keyDown = 10,
    keyUp = 11,
    flagsChanged = 12,
};

enum class EventTapLocation : quint32 {
    hid = 0,
    session = 1,
    annotatedSession = 2,
};

struct KeyEvent {
    KeyEventType type = KeyEventType::keyDown;
    quint16 keyCode = 0;
    EventFlags flags = 0;
    // The text the key types; only events from the keyboard carry it.
    QString characters;

    bool operator==(const KeyEvent&) const = default;
};

// A source of synthesized events, carrying the keyboard state it starts from.
struct KeyEventSource {
    EventSource::StateID state = EventSource::StateID::hidSystemState;
};

namespace KeyEvents {

// None when the event system cannot make a source.
std::optional<KeyEventSource> createSource(EventSource::StateID state);

// A key-down or key-up event for keyCode with no flags; none when it cannot
// be made. source may be null.
std::optional<KeyEvent> createKeyboardEvent(const KeyEventSource* source, quint16 keyCode, bool keyDown);

void setFlags(KeyEvent& event, EventFlags flags);

// Posts event into the system's event stream at tap. Posting needs the
// Accessibility permission; without it the event is silently dropped.
void post(EventTapLocation tap, const KeyEvent& event);

// Local monitors: a handler sees each event of the app whose type is in its
// mask, and answers the event to pass on (possibly changed) or none to
// swallow it.
using EventMask = quint64;
using MonitorToken = quint64;
using MonitorHandler = std::function<std::optional<KeyEvent>(const KeyEvent& event)>;

constexpr EventMask maskFor(KeyEventType type)
{
    return EventMask(1) << quint32(type);
}

MonitorToken addLocalMonitor(EventMask mask, MonitorHandler handler);
void removeMonitor(MonitorToken token);

} // namespace KeyEvents
} // namespace platform
