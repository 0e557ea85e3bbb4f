#pragma once

namespace platform::host {

// What the app takes from the real desktop session it runs on, handed to the
// simulation through its hooks (sim/SessionHooks.h). On the offscreen and
// minimal platforms nothing: the simulated world stands alone. On a display
// the default world's displays follow the real screens (a world file keeps
// its own, see RealScreens.h), the simulated bar's items show in the
// session's tray (SystemTray.h), and the window system answers for the
// simulated one (RealWindowSystem.h: frame margins, window moves, the
// pointer, each screen's available area, the window under a click). On X11,
// the window manager is also told when a window drag ends early, and through
// a connection of its own to the X server, event-driven:
// - whether a compositing manager runs (the owner of "_NET_WM_CM_S<screen>",
//   watched through XFixes) becomes WindowCompositing::isActive();
// - the session's pointer moves (XInput2 raw motion on the root window) feed
//   the mouse monitors (sim::sessionPointerMoved);
// - its raw button presses tell when each click happened, so keys typed
//   after a click the window manager holds back wait for it
//   (sim/KeysBehindClicks.h);
// - the session's idle time (the screen-saver extension) feeds the input
//   clocks (World::setSessionIdleClock).
// A missing extension leaves its part simulated, with one system-log line.
// Needs the application object; a second call does nothing.
void joinDesktopSession();

} // namespace platform::host
