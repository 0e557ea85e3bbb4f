#pragma once

#include "platform/sim/OtherCopies.h"
#include "platform/sim/Tools.h"
#include "platform/sim/Tray.h"

#include <QMargins>
#include <QPoint>
#include <QRect>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace platform::sim {

// Every hook through which a real desktop session reaches the simulation, in
// one place (on this machine platform/linux/DesktopSession.h sets them). The
// simulation asks nothing of the real window system, the tray or other
// processes itself: until a hook is set it gives its own answer, as it does
// offscreen and in tests. Hooks hold until the shared instances are dropped;
// the session's idle time goes to World::setSessionIdleClock.

// --- what the session reports ---

// The compositing state WindowCompositing::isActive() reports (true until
// set); a change posts its notification.
void setWindowCompositing(bool active);
// The real session's pointer is at a point of the window system (the
// toolkit's global coordinates): a move (a left-mouse drag while the left
// button is down) for the local monitors when one of the app's own windows
// that takes the mouse lies there, else for the global monitors. Nothing
// happens when neither the point nor the button changed since the last one.
void sessionPointerMoved(QPoint windowSystemLocation, bool leftButtonDown);
// The real session's mouse button went down, at the session's time in
// milliseconds (the clock of the toolkit's input events), with the pointer
// at a window-system point. Keys stamped after it wait until the click
// reaches the app (KeysBehindClicks.h).
void sessionButtonPressed(quint64 time, int button, QPoint windowSystemLocation);

// --- what the session does for the simulation ---

// The real window system the app's windows show on. Points and rectangles
// are in the window system's coordinates (the toolkit's global ones).
struct WindowSystemHooks {
    // The title bar and border the window manager put around a shown
    // window; null margins while it has not told. Unset: the simulated
    // decorations (setTitledWindowDecorations in TitledWindows.h).
    std::function<QMargins(const QWidget* window)> frameMargins;
    // Hands a window drag to the window manager, which moves the window
    // while the button stays down. Unset: the drag is only recorded.
    std::function<void(QWidget* window)> startMove;
    // Tells the window manager to stop a move it started. Unset: recorded.
    std::function<void(QWidget* window)> cancelMove;
    // Where the pointer is now. Unset: where the simulation put it.
    std::function<QPoint()> pointer;
    // The area windows may use on the screen holding a point (its work
    // area); none when no screen holds it. Unset: the simulated screens'
    // visible frames.
    std::function<std::optional<QRect>(QPoint at)> availableArea;
    // Whether a click at a point goes to one of the app's windows (the
    // window system's stacking decides, and a modal dialog blocks the
    // windows behind it). Unset: the app's own visible windows there.
    std::function<bool(QPoint at)> appWindowTakesClickAt;
    // Reads what the session sent and the app has not read yet; asked
    // before each key is delivered. Unset: nothing to read.
    std::function<void()> readPending;
};

void setWindowSystemHooks(WindowSystemHooks hooks);
const WindowSystemHooks& windowSystemHooks();

// The tray the bar's items show in from the next item made; the bar keeps
// it until the shared instances are dropped.
void setTray(std::unique_ptr<Tray> tray);
// How this app's copies outside the world are found and asked to quit.
void setOtherCopies(OtherCopies copies);
// From now on the tool at path is the outside tool.
void installOutsideTool(const QString& path, OutsideTool tool);

} // namespace platform::sim
