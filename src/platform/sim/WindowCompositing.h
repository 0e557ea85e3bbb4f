#pragma once

namespace platform::sim {

// The compositing state WindowCompositing::isActive() reports (true until
// set); a change posts its notification. A desktop session sets it from its
// compositing manager (platform/linux/DesktopSession.h).
void setWindowCompositing(bool active);

} // namespace platform::sim
