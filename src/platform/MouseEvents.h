#pragma once

#include "platform/KeyEvents.h"

#include <QPointF>
#include <QtGlobal>

#include <functional>
#include <optional>

namespace platform {

enum class MouseEventType : quint32 {
    leftMouseDown = 1,
    leftMouseUp = 2,
    rightMouseDown = 3,
    rightMouseUp = 4,
    mouseMoved = 5,
    leftMouseDragged = 6,
};

struct MouseEvent {
    MouseEventType type = MouseEventType::mouseMoved;
    // Screen coordinates (origin bottom-left of the primary screen, y up).
    QPointF location;
    EventFlags flags = 0;

    bool operator==(const MouseEvent&) const = default;
};

// Pointer events seen by the app's event monitors, and where the pointer is.
// Global monitors see the events sent to other applications and cannot
// change them; local monitors see the app's own events before its windows do
// and answer the event to pass on, or none to swallow it.
namespace MouseEvents {

using EventMask = quint64;
using MonitorToken = quint64;
using GlobalHandler = std::function<void(const MouseEvent& event)>;
using LocalHandler = std::function<std::optional<MouseEvent>(const MouseEvent& event)>;

constexpr EventMask maskFor(MouseEventType type)
{
    return EventMask(1) << quint32(type);
}

MonitorToken addGlobalMonitor(EventMask mask, GlobalHandler handler);
MonitorToken addLocalMonitor(EventMask mask, LocalHandler handler);
// Unknown tokens are ignored.
void removeMonitor(MonitorToken token);

// The pointer's location now, in screen coordinates.
QPointF mouseLocation();

// Global display coordinates: origin at the top-left of the primary screen,
// y down, in points (what the event system takes).
// Puts the pointer at a point without posting any event.
void warpMouseCursorPosition(QPointF displayLocation);
// Posts a pointer event at the HID event tap, as if the user made it: the
// pointer moves there and the input clocks and monitors see the event.
void postEvent(MouseEventType type, QPointF displayLocation);

} // namespace MouseEvents
} // namespace platform
