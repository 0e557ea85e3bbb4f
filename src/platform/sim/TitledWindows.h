#pragma once

#include <QList>
#include <QMargins>

namespace platform::sim {

// Titled windows of the simulated window system (the titled part of
// platform/WindowFrame.h). On a desktop session the real window manager
// decorates and drags them (WindowSystemHooks in SessionHooks.h); these
// stand in for it where there is none.

// The title bar and border drawn around titled windows where the toolkit
// reports none (offscreen), in points; none at first.
void setTitledWindowDecorations(const QMargins& margins);

enum class WindowDragStep { started, endedEarly };
// The background drags asked of the window system since the world was made,
// in order.
QList<WindowDragStep> windowDragSteps();

} // namespace platform::sim
