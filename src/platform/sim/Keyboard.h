#pragma once

#include "platform/KeyEvents.h"

#include <optional>
#include <vector>

namespace platform::sim {

// The simulated keyboard. A posted key-down reaches, in this order, a global
// hot key registered for its key code and modifiers, or the desktop shortcuts
// the Dock has loaded. Posted events are dropped while the app lacks the
// Accessibility permission.

struct PostedKeyEvent {
    KeyEvent event;
    EventTapLocation tap = EventTapLocation::hid;
    // False when the event was dropped (no Accessibility permission).
    bool delivered = false;
};

// Every event the app posted since the world started, in order.
std::vector<PostedKeyEvent> postedKeyEvents();
void clearPostedKeyEvents();

// The next count key events the app asks for cannot be made.
void failKeyEventCreation(int count);
// While set, no event source can be made.
void failEventSourceCreation(bool fail);

// Hands a keyboard event to the app: it passes the local monitors in the
// order they were added; answers what is left for the app's windows (none
// when a monitor swallowed it).
std::optional<KeyEvent> deliverLocalEvent(const KeyEvent& event);
int localMonitorCount();

} // namespace platform::sim
