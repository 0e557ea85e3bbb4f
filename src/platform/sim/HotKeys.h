#pragma once

#include "platform/HotKeys.h"

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

// The keyboard's hot-key stage: when keyCode + modifiers (Carbon mask) is
// registered, its pressed event goes to the installed handlers from the main
// queue and the answer is true.
bool fireHotKey(quint32 keyCode, quint32 modifiers);

// Queues a hot-key pressed event carrying id, or no id parameter at all, to
// the installed handlers, as the event manager would.
void deliverHotKeyEvent(std::optional<EventHotKeyID> id);

} // namespace platform::sim
