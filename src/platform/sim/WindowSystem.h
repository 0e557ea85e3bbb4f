#pragma once

namespace platform::sim {

// Whether the app runs on a real window system: a GUI application on a
// platform that puts windows on a screen (not "offscreen" or "minimal",
// whose frames, screens and clicks are made up).
bool onWindowSystem();

} // namespace platform::sim
