#include "platform/KeyWindow.h"

#include "platform/Lifetime.h"
#include "platform/sim/Input.h"

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

struct KeyWindowState {
    QPointer<QWidget> key;
    std::map<const QWidget*, std::shared_ptr<std::function<void()>>> handlers;
    std::unique_ptr<DeactivationWatch> watch = std::make_unique<DeactivationWatch>();
};

KeyWindowState*& stateSlot()
{
    static KeyWindowState* state = nullptr;
    return state;
}

KeyWindowState& state()
{
    auto*& slot = stateSlot();
    if (!slot) {
        slot = new KeyWindowState;
        registerSharedReset([] {
            delete stateSlot();
            stateSlot() = nullptr;
        });
    }
    return *slot;
}

void resign(QWidget* window)
{
    KeyWindowState& s = state();
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

bool DeactivationWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WindowDeactivate) {
        auto* window = qobject_cast<QWidget*>(watched);
        if (window && !window->isActiveWindow())
            resign(window);
    }
    return false;
}

} // namespace

void KeyWindow::makeKeyAndOrderFront(QWidget* window)
{
    if (!window)
        return;
    KeyWindowState& s = state();
    if (s.key && s.key != window)
        resign(s.key);
    window->show();
    window->raise();
    window->activateWindow();
    if (s.key != window) {
        s.key = window;
        window->installEventFilter(s.watch.get());
    }
}

QWidget* KeyWindow::current()
{
    return state().key;
}

bool KeyWindow::isKey(const QWidget* window)
{
    return window && state().key == window;
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
    KeyWindowState& s = state();
    const bool known = s.handlers.count(window) > 0;
    s.handlers[window] = std::make_shared<std::function<void()>>(std::move(handler));
    if (!known) {
        QObject::connect(window, &QObject::destroyed, [window] {
            if (stateSlot())
                stateSlot()->handlers.erase(window);
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
    resign(state().key);
}

} // namespace platform
