#pragma once

#include <QtGlobal>

namespace platform {

// The input event clocks of the event system.
namespace EventSource {

enum class StateID : qint32 {
    privateState = -1,
    combinedSessionState = 0,
    hidSystemState = 1,
};

// Event types whose clocks the app reads.
namespace EventType {
inline constexpr quint32 leftMouseDown = 1;
inline constexpr quint32 leftMouseUp = 2;
inline constexpr quint32 rightMouseDown = 3;
inline constexpr quint32 rightMouseUp = 4;
inline constexpr quint32 mouseMoved = 5;
inline constexpr quint32 keyDown = 10;
inline constexpr quint32 flagsChanged = 12;
inline constexpr quint32 rotate = 18;
inline constexpr quint32 scrollWheel = 22;
inline constexpr quint32 gesture = 29;
inline constexpr quint32 magnify = 30;
inline constexpr quint32 anyInput = 0xFFFFFFFF;
} // namespace EventType

// Seconds since the last event of that type (anyInput: of any type).
double secondsSinceLastEventType(StateID state, quint32 eventType);

} // namespace EventSource
} // namespace platform
