#pragma once

#include "platform/HotKeys.h"
#include "platform/KeyEvents.h"

#include <optional>
#include <vector>

namespace platform::sim {

struct RegisteredHotKey {
    quint32 keyCode = 0;
    quint32 modifiers = 0;
    EventHotKeyID id;
};

// Every combination registered with the system right now, oldest first.
std::vector<RegisteredHotKey> registeredHotKeys();
bool isHotKeyRegistered(quint32 keyCode, quint32 modifiers);

// Carbon's view of event flags: only Control, Option, Shift and Command.
quint32 hotKeyModifiers(EventFlags flags);

// The keyboard's hot-key stage: when keyCode + modifiers (Carbon mask) is
// registered, its pressed event goes to the installed handlers from the main
// queue and the answer is true. Keys the simulated keyboard receives pass it,
// and so do keys typed into the app's own windows: a registered combination
// never reaches the focused control (see QtKeyEvents::routeToLocalMonitors).
bool fireHotKey(quint32 keyCode, quint32 modifiers);

// Queues a hot-key pressed event carrying id, or no id parameter at all, to
// the installed handlers, as the event manager would.
void deliverHotKeyEvent(std::optional<EventHotKeyID> id);

} // namespace platform::sim
