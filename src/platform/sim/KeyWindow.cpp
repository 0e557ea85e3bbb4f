#include "platform/KeyWindow.h"

#include "platform/Lifetime.h"
#include "platform/Scheduler.h"
#include "platform/sim/Input.h"

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <map>
#include <memory>

namespace platform {

namespace {

// Forwards the toolkit's own loss of activation (a click into another app on
// a desktop session) to the resign handler.
class DeactivationWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// How long a window just made key counts as opening. A menu that closes as
// the window opens hands the focus back to the program that had it before
// (the window manager's fallback after the menu's grab), and that can land
// just after the window took it.
constexpr double openingSeconds = 0.5;
constexpr int openingReclaims = 2;

struct KeyWindowState {
    QPointer<QWidget> key;
    // When the key window was made key, and how often it took the focus back.
    double openedAt = 0;
    int reclaims = 0;
    std::map<const QWidget*, std::shared_ptr<std::function<void()>>> handlers;
    std::unique_ptr<DeactivationWatch> watch = std::make_unique<DeactivationWatch>();
};

KeyWindowState*& keyWindowStateSlot()
{
    static KeyWindowState* state = nullptr;
    return state;
}

KeyWindowState& keyWindowState()
{
    auto*& slot = keyWindowStateSlot();
    if (!slot) {
        slot = new KeyWindowState;
        registerSharedReset([] {
            delete keyWindowStateSlot();
            keyWindowStateSlot() = nullptr;
        });
    }
    return *slot;
}

void resign(QWidget* window)
{
    KeyWindowState& s = keyWindowState();
    if (!window || s.key != window)
        return;
    s.key = nullptr;
    window->removeEventFilter(s.watch.get());
    const auto found = s.handlers.find(window);
    if (found == s.handlers.end())
        return;
    // The handler may replace itself or close the window; keep it alive.
    const auto handler = found->second;
    if (handler && *handler)
        (*handler)();
}

// A focus that leaves the app while the window is still opening is the menu's
// fallback, not the user's click elsewhere: the window takes it back.
bool reclaimedWhileOpening(QWidget* window)
{
    KeyWindowState& s = keyWindowState();
    if (window != s.key || !window->isVisible() || QApplication::activeWindow())
        return false;
    if (platform::now() - s.openedAt >= openingSeconds || s.reclaims >= openingReclaims)
        return false;
    ++s.reclaims;
    window->raise();
    window->activateWindow();
    return true;
}

bool DeactivationWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WindowDeactivate) {
        auto* window = qobject_cast<QWidget*>(watched);
        if (window && !window->isActiveWindow() && !reclaimedWhileOpening(window))
            resign(window);
    }
    return false;
}

} // namespace

void KeyWindow::makeKeyAndOrderFront(QWidget* window)
{
    if (!window)
        return;
    KeyWindowState& s = keyWindowState();
    if (s.key && s.key != window)
        resign(s.key);
    window->show();
    window->raise();
    window->activateWindow();
    if (s.key != window) {
        s.key = window;
        s.openedAt = platform::now();
        s.reclaims = 0;
        window->installEventFilter(s.watch.get());
    }
}

QWidget* KeyWindow::current()
{
    return keyWindowState().key;
}

bool KeyWindow::isKey(const QWidget* window)
{
    return window && keyWindowState().key == window;
}

bool KeyWindow::makeFirstResponder(QWidget* window, QWidget* responder)
{
    if (!window || !responder || (responder != window && !window->isAncestorOf(responder)))
        return false;
    responder->setFocus(Qt::OtherFocusReason);
    return true;
}

QWidget* KeyWindow::firstResponder(const QWidget* window)
{
    if (!window)
        return nullptr;
    QWidget* focused = window->focusWidget();
    return focused ? focused : const_cast<QWidget*>(window);
}

void KeyWindow::setResignHandler(QWidget* window, std::function<void()> handler)
{
    if (!window)
        return;
    KeyWindowState& s = keyWindowState();
    const bool known = s.handlers.count(window) > 0;
    s.handlers[window] = std::make_shared<std::function<void()>>(std::move(handler));
    if (!known) {
        QObject::connect(window, &QObject::destroyed, [window] {
            if (keyWindowStateSlot())
                keyWindowStateSlot()->handlers.erase(window);
        });
    }
}

void KeyWindow::orderOut(QWidget* window)
{
    if (!window)
        return;
    // Hidden first, so a resign handler sees the window already gone.
    window->hide();
    resign(window);
}

void sim::resignKeyWindow()
{
    resign(keyWindowState().key);
}

} // namespace platform
