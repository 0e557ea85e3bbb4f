#pragma once

#include <QImage>
#include <QList>
#include <QRectF>
#include <QtGlobal>

class QWidget;

namespace platform {

// The window list and window images of this process's own windows: the
// toolkit's top-level windows and the menu bar's status-item windows, each
// known by a window number. Images are real pictures of the windows as they
// draw now, at their backing scale.
namespace WindowCapture {

// One of this process's windows that is on screen.
struct OwnWindow {
    qint64 number = 0;
    qint32 ownerPID = 0;
    // Top-left origin of the primary screen, y down, in points.
    QRectF bounds;
};

// The number a top-level window is known by; the same for the window's whole
// life. 0 for null.
qint64 windowNumber(const QWidget* window);
// This process's top-level windows that are on screen, front to back: menus
// first, then windows that stay on top, then the rest, each group with the
// most recently shown or raised first. Status-item windows are not listed.
QList<OwnWindow> onScreenWindows();
// A picture of the window with that number (a top-level window or a status
// item's window), in pixels at its device pixel ratio; null when no window
// has that number.
QImage windowImage(qint64 number);

} // namespace WindowCapture
} // namespace platform
