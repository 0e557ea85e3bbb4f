#pragma once

namespace platform::host {

// What the app takes from the real desktop session it runs on. On the
// offscreen and minimal platforms nothing: the simulated world stands alone.
// On a display the default world's displays follow the real screens (a world
// file keeps its own, see RealScreens.h) and the simulated bar's items show
// in the session's tray (SystemTray.h). On X11 the window manager is told
// when a window drag ends early (sim/TitledWindows.h), and through a
// connection of its own to the X server, event-driven:
// - whether a compositing manager runs (the owner of "_NET_WM_CM_S<screen>",
//   watched through XFixes) becomes WindowCompositing::isActive();
// - the session's pointer moves (XInput2 raw motion on the root window) feed
//   the mouse monitors (sessionPointerMoved in Input.h);
// - its raw button presses tell when each click happened, so keys typed
//   after a click the window manager holds back wait for it
//   (KeysBehindClicks.h);
// - the session's idle time (the screen-saver extension) feeds the input
//   clocks (World::setSessionIdleClock).
// A missing extension leaves its part simulated, with one system-log line.
// Needs the application object; a second call does nothing.
void joinDesktopSession();

} // namespace platform::host
