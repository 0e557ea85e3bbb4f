#pragma once

#include "platform/Application.h"

#include <optional>

// Control of the simulated application object.
namespace platform::sim {

// The event an action in progress sees as current (none: no event).
void setCurrentEvent(std::optional<CurrentEvent> event);

// How often the app asked to come to the front.
int activationCount();

} // namespace platform::sim
