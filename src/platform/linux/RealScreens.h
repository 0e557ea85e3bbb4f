#pragma once

#include "platform/sim/World.h"

#include <QList>
#include <QRect>
#include <QString>

namespace platform::host {

// The simulated world's displays on the screens of a real desktop session.
//
// The displays take the frames and visible frames of the window system's
// screens (primary first) and follow screens being attached, detached and
// changed. Each screen keeps its display for as long as it stays attached:
// the world's first display (with its desktops) goes to the screen that is
// primary when following starts, the world's further displays to further
// screens in order, and a screen beyond them gets a new display with one
// desktop of its own. A detached screen's display leaves the world. Real
// screens have no notch.

// One screen as the window system gives it: its geometry in the toolkit's
// global coordinates (origin top-left, y down, device-independent pixels).
struct WindowSystemScreen {
    // Stable for as long as the screen stays attached (the output's name).
    QString name;
    QRect geometry;
    QRect availableGeometry;
    double scale = 1.0;
};

// Gives the world's displays these screens (primary first); nothing happens
// for an empty list (a session between screens keeps the last ones).
void applyWindowSystemScreens(sim::World& world, const QList<WindowSystemScreen>& screens);

// The application's screens now, primary first.
QList<WindowSystemScreen> applicationScreens();

// Applies the application's screens now and again whenever one is added,
// removed or changes its geometry, available geometry or scale; needs the
// application object. A world loaded from a world file keeps its own
// displays: then nothing happens. Calling it again does nothing more.
void followApplicationScreens();

} // namespace platform::host
