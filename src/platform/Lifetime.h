#pragma once

#include <functional>

namespace platform {

// Process-wide shared instances register how to drop themselves, so that a
// test can start from a fresh process state. The app never calls the reset.
void registerSharedReset(std::function<void()> reset);

// Drops every registered shared instance, newest first, and forgets the
// registrations (each instance registers again when it is next created).
void resetSharedInstances();

} // namespace platform
