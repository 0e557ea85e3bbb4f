#pragma once

#include <QRect>
#include <QRectF>

namespace platform::WindowFrames {

// The Qt window geometry of a frame given in screen coordinates (origin at
// the bottom-left of the primary screen, y up), flipped with the primary
// screen's height (0 when no screen is attached).
QRect toWindowGeometry(const QRectF& screenFrame);

} // namespace platform::WindowFrames
