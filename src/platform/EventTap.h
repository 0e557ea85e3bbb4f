#pragma once

#include <QPointF>
#include <QtGlobal>

#include <functional>

namespace platform {

// Listen-only event taps of the event system: a tap sees the input events of
// the types it asked for on their way to the session and cannot change them.
// Locations are in accessibility coordinates (origin at the top-left of the
// primary display, y down), as mouse events carry them.
namespace EventTap {

enum class EventType : quint32 {
    leftMouseDown = 1,
    leftMouseUp = 2,
    // Sent to the tap's callback when the system turned the tap off.
    tapDisabledByTimeout = 0xFFFFFFFE,
    tapDisabledByUserInput = 0xFFFFFFFF,
};

struct Event {
    EventType type = EventType::leftMouseDown;
    QPointF location;
};

// The mask bit of an event type.
constexpr quint64 maskBit(EventType type)
{
    return quint64(1) << quint32(type);
}

using Port = quint64;
using Callback = std::function<void(const Event&)>;

// A listen-only tap at the session level, inserted at the head, for the
// event types in mask; created enabled. 0 when the system refuses it.
Port createListenOnly(quint64 mask, Callback callback);
void enable(Port port, bool enabled);
bool isEnabled(Port port);
// Removes the tap; unknown ports are ignored.
void release(Port port);

} // namespace EventTap
} // namespace platform
