#include "platform/sim/LocalMonitorRouter.h"

#include "platform/Lifetime.h"
#include "platform/QtKeyEvents.h"
#include "platform/sim/HotKeys.h"
#include "platform/sim/Keyboard.h"
#include "platform/sim/KeysBehindClicks.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace platform {

namespace sim {

namespace {

// Qt flips a modifier key's own bit between the override and the press, so
// it says nothing about which key press an event belongs to.
Qt::KeyboardModifiers ownModifier(int key)
{
    switch (key) {
    case Qt::Key_Shift:
        return Qt::ShiftModifier;
    case Qt::Key_Control:
        return Qt::ControlModifier;
    case Qt::Key_Alt:
        return Qt::AltModifier;
    case Qt::Key_AltGr:
        return Qt::GroupSwitchModifier;
    case Qt::Key_Meta:
        return Qt::MetaModifier;
    default:
        return {};
    }
}

} // namespace

bool LocalMonitorRouter::Delivery::sameKey(const Delivery& other) const
{
    return key == other.key && modifiers == other.modifiers && timestamp == other.timestamp
        && autoRepeat == other.autoRepeat;
}

LocalMonitorRouter::Delivery LocalMonitorRouter::deliveryOf(QObject* receiver, const QKeyEvent& event)
{
    Delivery delivery;
    delivery.receiver = receiver;
    delivery.event = &event;
    delivery.type = event.type();
    delivery.key = event.key();
    delivery.modifiers = (event.modifiers() & ~ownModifier(event.key())).toInt();
    delivery.timestamp = event.timestamp();
    delivery.autoRepeat = event.isAutoRepeat();
    delivery.replay = KeysBehindClicks::shared().replaySerial();
    return delivery;
}

bool LocalMonitorRouter::isSeen(const Delivery& delivery) const
{
    if (!last_ || !last_->sameKey(delivery) || last_->replay != delivery.replay)
        return false;
    // The press that follows its shortcut override.
    if (last_->type == QEvent::ShortcutOverride && delivery.type == QEvent::KeyPress)
        return true;
    return last_->event == delivery.event && last_->type == delivery.type
        && handsOn(last_->receiver, delivery.receiver);
}

bool LocalMonitorRouter::handsOn(const QObject* from, const QObject* to)
{
    const auto* toWidget = qobject_cast<const QWidget*>(to);
    if (!from || !toWidget)
        return false;
    if (const auto* fromWidget = qobject_cast<const QWidget*>(from))
        return toWidget != fromWidget && toWidget->isAncestorOf(fromWidget);
    return toWidget->window()->windowHandle() == from;
}

bool LocalMonitorRouter::takenByHotKey(const QKeyEvent& event)
{
    const std::optional<KeyEvent> key = QtKeyEvents::fromQt(event);
    if (!key)
        return false;
    if (key->type == KeyEventType::keyUp) {
        lastRelease_ = HeldHotKey{key->keyCode, event.timestamp()};
        if (!heldHotKey_ || heldHotKey_->keyCode != key->keyCode)
            return false;
        heldHotKey_.reset();
        return true;
    }
    if (key->type != KeyEventType::keyDown)
        return false;
    const quint32 modifiers = hotKeyModifiers(key->flags);
    if (!isHotKeyRegistered(key->keyCode, modifiers))
        return false;
    // One press fires once, however often Qt shows it (its shortcut
    // override reaches a widget more than once); repeats only swallow. A
    // press with another time stamp is a new one even when the release of
    // the last went to another app. An X server that repeats a held key
    // sends a release and a press with one time stamp, which Qt does not
    // always mark as a repeat: such a press is one too, also when the
    // first press went elsewhere (an open menu took it).
    const HeldHotKey held{key->keyCode, event.timestamp()};
    const bool repeat = event.isAutoRepeat() || (held.timestamp != 0 && lastRelease_ == held);
    const bool fresh = heldHotKey_ != held && !repeat;
    heldHotKey_ = held;
    if (fresh)
        fireHotKey(key->keyCode, modifiers);
    return true;
}

bool LocalMonitorRouter::route(const QKeyEvent& event)
{
    const std::optional<KeyEvent> translated = QtKeyEvents::fromQt(event);
    if (!translated)
        return false;
    return !deliverLocalEvent(*translated);
}

bool LocalMonitorRouter::apply(QEvent* event, bool swallowed)
{
    if (!swallowed)
        return false;
    // An accepted override keeps the shortcut map out; the press that follows
    // is then swallowed too.
    if (event->type() == QEvent::ShortcutOverride)
        event->accept();
    return true;
}

bool LocalMonitorRouter::eventFilter(QObject* receiver, QEvent* event)
{
    KeysBehindClicks& clicks = KeysBehindClicks::shared();
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return clicks.hold(receiver, event);
    const auto& keyEvent = static_cast<const QKeyEvent&>(*event);
    Delivery delivery = deliveryOf(receiver, keyEvent);
    if (isSeen(delivery)) {
        delivery.swallowed = last_->swallowed;
        delivery.held = last_->held;
        // The press after a held shortcut override is the one kept.
        if (delivery.held)
            clicks.hold(receiver, event);
    } else if (takenByHotKey(keyEvent)) {
        delivery.swallowed = true;
    } else if (clicks.hold(receiver, event)) {
        // It meets the monitors when it comes back.
        delivery.swallowed = delivery.held = true;
    } else {
        delivery.swallowed = route(keyEvent);
    }
    last_ = delivery;
    return apply(event, delivery.swallowed);
}

} // namespace sim

void QtKeyEvents::routeToLocalMonitors()
{
    static QPointer<sim::LocalMonitorRouter> router;
    if (router || !QCoreApplication::instance())
        return;
    router = new sim::LocalMonitorRouter(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(router);
    // A fresh start (a test) gets a router without memories of earlier keys.
    registerSharedReset([] { delete router; });
}

} // namespace platform
