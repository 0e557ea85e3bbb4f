#include "platform/sim/KeysBehindClicks.h"

#include "platform/Lifetime.h"
#include "platform/sim/Input.h"
#include "platform/sim/SessionHooks.h"

#include <QEvent>
#include <QGuiApplication>
#include <QInputEvent>
#include <QWindow>

#include <algorithm>

namespace platform::sim {

namespace {

// The session's clock is the X server's 32-bit millisecond count; it wraps
// after 49 days.
bool before(quint64 a, quint64 b)
{
    return qint32(quint32(a) - quint32(b)) < 0;
}

bool isKey(QEvent::Type type)
{
    return type == QEvent::ShortcutOverride || type == QEvent::KeyPress || type == QEvent::KeyRelease;
}

// Whether one of the app's windows takes a click at a window-system point:
// the session's window system decides; without one, a visible window of the
// app there that no modal window blocks.
bool appWindowAt(QPoint at)
{
    if (const auto& takesClick = windowSystemHooks().appWindowTakesClickAt)
        return takesClick(at);
    const QWindow* modal = QGuiApplication::modalWindow();
    const QWindowList windows = QGuiApplication::topLevelWindows();
    return std::any_of(windows.cbegin(), windows.cend(), [&](const QWindow* window) {
        return window->isVisible() && !window->flags().testFlag(Qt::WindowTransparentForInput)
            && window->frameGeometry().contains(at) && (!modal || modal == window || modal->isAncestorOf(window));
    });
}

Shared<KeysBehindClicks>& instance()
{
    static Shared<KeysBehindClicks> keys([] { return new KeysBehindClicks; });
    return keys;
}

} // namespace

KeysBehindClicks& KeysBehindClicks::shared()
{
    return instance().get();
}

void KeysBehindClicks::sessionButtonPressed(quint64 time, int button, QPoint at)
{
    if (button < 1 || button > 3)
        return;
    if (lastArrivedClick_ && !before(*lastArrivedClick_, time))
        return;
    if (!appWindowAt(at))
        return;
    if (!pendingClick_ || before(*pendingClick_, time))
        pendingClick_ = time;
}

bool KeysBehindClicks::clickPendingAt(quint64 time) const
{
    return pendingClick_ && !before(time, *pendingClick_);
}

void KeysBehindClicks::clickArrived(quint64 time)
{
    if (!lastArrivedClick_ || before(*lastArrivedClick_, time))
        lastArrivedClick_ = time;
    if (!pendingClick_ || before(time, *pendingClick_))
        return;
    pendingClick_.reset();
    // The click is being delivered now; it has moved the focus by the next turn.
    if (holding_)
        scheduleRelease(0);
}

bool KeysBehindClicks::hold(QObject* receiver, QEvent* event)
{
    if (replaying_)
        return false;
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
        clickArrived(static_cast<const QInputEvent*>(event)->timestamp());
        return false;
    }
    if (type == QEvent::InputMethod) {
        // Text from the input method keeps its place among held keys.
        if (!holding_)
            return false;
        held_.push_back({std::unique_ptr<QEvent>(event->clone()), receiver});
        return true;
    }
    if (!isKey(type))
        return false;
    if (!holding_) {
        if (const auto& readPending = windowSystemHooks().readPending)
            readPending();
        if (!clickPendingAt(static_cast<const QInputEvent*>(event)->timestamp()))
            return false;
        holding_ = true;
        scheduleRelease(maxHold);
    }
    if (type == QEvent::ShortcutOverride) {
        // Shortcuts wait too: the key is offered to them when it comes back.
        event->accept();
        return true;
    }
    held_.push_back({std::unique_ptr<QEvent>(event->clone()), receiver});
    return true;
}

void KeysBehindClicks::scheduleRelease(double delay)
{
    if (timeout_)
        Scheduler::current().cancel(timeout_);
    // The instance may have been dropped (a test's reset) by then.
    timeout_ = Scheduler::current().schedule(delay, [self = instance().weak()] {
        if (const auto keys = self.lock())
            keys->release();
    });
}

void sessionButtonPressed(quint64 time, int button, QPoint windowSystemLocation)
{
    KeysBehindClicks::shared().sessionButtonPressed(time, button, windowSystemLocation);
}

void KeysBehindClicks::release()
{
    timeout_ = 0;
    holding_ = false;
    pendingClick_.reset();
    std::vector<Held> waiting;
    waiting.swap(held_);
    for (Held& held : waiting)
        replay(held);
    ++replaySerial_;
}

void KeysBehindClicks::replay(Held& held)
{
    QObject* target = QGuiApplication::focusObject();
    if (!target)
        target = held.receiver;
    if (!target)
        return;
    ++replaySerial_;
    replaying_ = true;
    // Sent, not posted: a key press sent to a widget meets the shortcuts first.
    QCoreApplication::sendEvent(target, held.event.get());
    replaying_ = false;
}

} // namespace platform::sim
