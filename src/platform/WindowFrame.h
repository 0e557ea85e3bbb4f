#pragma once

#include <QMargins>
#include <QRectF>
#include <QSize>

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

// --- titled windows -----------------------------------------------------------
// Ordinary windows (settings, welcome) get a title bar and border from the
// window system. Their frame is the content with those decorations.

// The room the title bar and border take around window's content, in points:
// as the window system reports it once the window is on screen, else as it
// reported it for the last titled window that was (none before any). A report
// with a negative side, as a window being mapped again may give, is not taken.
QMargins decorations(const QWidget* window);
// Fits a titled window, title bar and border included, into the visible frame
// of a screen, as the window system does when it orders a titled window in:
// the content is given at most wanted, less where the visible frame is
// smaller, and the frame then moves the least that puts it inside. The screen
// is the one holding most of the frame (the main screen for a frame on none).
// Sets the window's fixed content size and position; answers the size.
QSize fitOnScreen(QWidget* window, QSize wanted);
// Centres a titled window's frame, decorations included, in the main
// screen's visible frame.
void centreOnScreen(QWidget* window);

// The user drags a titled window by its background: the window system moves
// it with the pointer until the button comes up.
void performWindowDrag(QWidget* window);
// The button came up while the window system had not yet taken the pointer
// over for that drag: the drag ends where it is, rather than the window
// following the pointer until the next click.
void endWindowDrag(QWidget* window);

} // namespace WindowFrame
} // namespace platform
