#pragma once

#include "platform/KeyEvents.h"
#include "platform/MouseEvents.h"

#include <QList>
#include <QPoint>
#include <QPointF>
#include <QString>

class QWidget;

namespace platform::sim {

// The user's hands on the simulated machine: typing into the key window,
// clicking into another app, moving the pointer and clicking panels. Typed
// keys take the app's real path: the local key monitors first, then the key
// window's first responder (as a toolkit key event, translated back through
// the key table on the way in).

// Types one key: a key-down (then its key-up) for the key window's first
// responder. Answers false when no window is key, or a local monitor
// swallowed the key-down.
bool typeKey(const KeyEvent& event);
// Types each character of text as its key, with Shift where a US keyboard
// needs it; characters without a key are inserted as typed text.
void typeText(const QString& text);
// Puts text on the clipboard and presses the paste shortcut.
bool paste(const QString& text);
// The user clicks into another app: the key window resigns.
void resignKeyWindow();

// Where pointer events go: to another app (global monitors) or to one of the
// app's own windows (local monitors).
enum class PointerOver { otherApp, ownApp };

// Moves the pointer to a screen point and reports the move; dragging reports
// a left-mouse drag instead.
void movePointer(QPointF location, PointerOver over = PointerOver::otherApp);
void dragPointer(QPointF location, PointerOver over = PointerOver::otherApp);
// Puts the pointer somewhere without any event.
void warpPointer(QPointF location);
// The real session's pointer and buttons: SessionHooks.h.
// An event posted through MouseEvents::postEvent, in display coordinates.
struct PostedMouseEvent {
    MouseEventType type = MouseEventType::mouseMoved;
    QPointF displayLocation;
    bool operator==(const PostedMouseEvent&) const = default;
};
// Every posted pointer event since the world was made, in order.
QList<PostedMouseEvent> postedMouseEvents();
int mouseMonitorCount();

// A left click at a screen point on one of the app's windows. A window that
// is not key takes the first click only where a view under the pointer (or
// one of its ancestors) accepts the first mouse (a true "acceptsFirstMouse"
// property). Answers whether the click reached a widget.
bool click(QWidget* window, QPointF location);

} // namespace platform::sim
