#pragma once

#include <QRectF>

class QWidget;

namespace platform {

// Window frames in screen coordinates (origin at the bottom-left of the
// primary screen, y up, in points), as the window server places windows.
// The conversion to the toolkit's own coordinates stays in here.
namespace WindowFrame {

void setFrame(QWidget* window, const QRectF& frame);
// The frame last set, or the window's geometry converted when none was.
QRectF frame(const QWidget* window);
// Shows window in front of others without activating the app or making it
// key.
void orderFrontRegardless(QWidget* window);

} // namespace WindowFrame
} // namespace platform
