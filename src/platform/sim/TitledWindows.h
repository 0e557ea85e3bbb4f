#pragma once

#include <QList>
#include <QMargins>

#include <functional>

class QWidget;

namespace platform::sim {

// Titled windows of the simulated window system (the titled part of
// platform/WindowFrame.h). On a desktop session the real window manager
// decorates and drags them; these stand in for it where there is none.

// The title bar and border drawn around titled windows where the toolkit
// reports none (offscreen), in points; none at first.
void setTitledWindowDecorations(const QMargins& margins);

enum class WindowDragStep { started, endedEarly };
// The background drags asked of the window system since the world was made,
// in order.
QList<WindowDragStep> windowDragSteps();

// How a desktop session's window manager is told to stop a move of the
// window that it started (platform/linux/DesktopSession.h); without it an
// early end is only recorded.
void setWindowManagerMoveCancel(std::function<void(QWidget* window)> cancel);

} // namespace platform::sim
