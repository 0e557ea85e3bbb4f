#pragma once

#include <functional>

class QWidget;

namespace platform {

// The key window: the one window that receives typing, and inside it the
// first responder that the typed keys go to. Only windows that can become key
// (interactive panels, ordinary windows) are made key. A window resigns when
// another window becomes key, when the user clicks into another app, or when
// it is ordered out.
namespace KeyWindow {

// Orders window front and makes it the key window; the previous key window
// resigns first.
void makeKeyAndOrderFront(QWidget* window);
// The key window, or null when none of the app's windows is key.
QWidget* current();
bool isKey(const QWidget* window);
// Gives typing inside window to responder (a widget of window, or the window
// itself); false when responder is not part of window.
bool makeFirstResponder(QWidget* window, QWidget* responder);
// The widget of window that typing goes to; null when none.
QWidget* firstResponder(const QWidget* window);
// Runs each time window stops being key; replaces an earlier handler and is
// forgotten when window is destroyed.
void setResignHandler(QWidget* window, std::function<void()> handler);
// Orders window out; a key window resigns.
void orderOut(QWidget* window);

} // namespace KeyWindow
} // namespace platform
