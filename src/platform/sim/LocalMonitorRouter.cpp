#include "platform/sim/LocalMonitorRouter.h"

#include "platform/Lifetime.h"
#include "platform/QtKeyEvents.h"
#include "platform/sim/Keyboard.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>

namespace platform {

namespace sim {

bool LocalMonitorRouter::Delivery::sameKey(const Delivery& other) const
{
    return key == other.key && modifiers == other.modifiers && timestamp == other.timestamp
        && autoRepeat == other.autoRepeat;
}

LocalMonitorRouter::Delivery LocalMonitorRouter::deliveryOf(const QObject* receiver, const QKeyEvent& event)
{
    Delivery delivery;
    delivery.receiver = receiver;
    delivery.event = &event;
    delivery.type = event.type();
    delivery.key = event.key();
    delivery.modifiers = event.modifiers().toInt();
    delivery.timestamp = event.timestamp();
    delivery.autoRepeat = event.isAutoRepeat();
    return delivery;
}

bool LocalMonitorRouter::isSeen(const Delivery& delivery) const
{
    if (!last_ || !last_->sameKey(delivery))
        return false;
    // The press that follows its shortcut override.
    if (last_->type == QEvent::ShortcutOverride && delivery.type == QEvent::KeyPress)
        return true;
    // The same event handed on to a parent, or from the window to a widget;
    // a new event sent to the same receiver is a new key press.
    return last_->event == delivery.event && last_->type == delivery.type && last_->receiver != delivery.receiver;
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
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return false;
    const auto& keyEvent = static_cast<const QKeyEvent&>(*event);
    Delivery delivery = deliveryOf(receiver, keyEvent);
    delivery.swallowed = isSeen(delivery) ? last_->swallowed : route(keyEvent);
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
