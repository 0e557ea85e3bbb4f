#pragma once

#include "platform/sim/SessionHooks.h"

namespace platform::host {

// The real window system's answers to the simulation's window-system hooks
// (sim::WindowSystemHooks): frame margins and moves from the window manager
// through the toolkit, the pointer, the screens' available geometry and the
// window under a point. Moves are cancelled and pending events read by the
// X11 session, which DesktopSession.h adds.
sim::WindowSystemHooks realWindowSystem();

} // namespace platform::host
