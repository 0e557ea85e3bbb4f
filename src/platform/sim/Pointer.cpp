#include "platform/MouseEvents.h"

#include "platform/KeyWindow.h"
#include "platform/Lifetime.h"
#include "platform/Screens.h"
#include "platform/WindowFrame.h"
#include "platform/sim/Input.h"
#include "platform/sim/SessionHooks.h"
#include "platform/sim/World.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <map>
#include <memory>

namespace platform {

namespace {

struct MouseMonitor {
    MouseEvents::EventMask mask = 0;
    std::shared_ptr<MouseEvents::GlobalHandler> global;
    std::shared_ptr<MouseEvents::LocalHandler> local;
};

struct PointerState {
    QPointF location;
    // The last session pointer report: where, and whether dragging.
    std::optional<std::pair<QPoint, bool>> sessionPointer;
    std::map<MouseEvents::MonitorToken, MouseMonitor> monitors;
    MouseEvents::MonitorToken nextMonitor = 1;
    QList<sim::PostedMouseEvent> posted;
};

PointerState*& pointerStateSlot()
{
    static PointerState* state = nullptr;
    return state;
}

PointerState& pointerState()
{
    auto*& slot = pointerStateSlot();
    if (!slot) {
        slot = new PointerState;
        registerSharedReset([] {
            delete pointerStateSlot();
            pointerStateSlot() = nullptr;
        });
    }
    return *slot;
}

void deliver(const MouseEvent& event, sim::PointerOver over)
{
    sim::World::shared().noteInputEvent(quint32(event.type));
    // A handler may add or remove monitors; walk a copy.
    const auto monitors = pointerState().monitors;
    std::optional<MouseEvent> current = event;
    for (const auto& [token, monitor] : monitors) {
        if ((monitor.mask & MouseEvents::maskFor(current->type)) == 0)
            continue;
        if (over == sim::PointerOver::otherApp && monitor.global && *monitor.global)
            (*monitor.global)(*current);
        if (over == sim::PointerOver::ownApp && monitor.local && *monitor.local) {
            current = (*monitor.local)(*current);
            if (!current)
                return;
        }
    }
}

// Whether one of the app's own windows that takes the mouse lies under a
// point of the window system.
bool overOwnWindow(QPoint windowSystemLocation)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(), [&](const QWidget* window) {
        return window->isVisible() && !window->isMinimized()
            && !window->windowFlags().testFlag(Qt::WindowTransparentForInput)
            && !window->testAttribute(Qt::WA_TransparentForMouseEvents)
            && window->frameGeometry().contains(windowSystemLocation);
    });
}

// Whether a view under the pointer takes the click that activates its window.
bool acceptsFirstMouse(const QWidget* widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (widget->property("acceptsFirstMouse").toBool())
            return true;
    }
    return false;
}

} // namespace

MouseEvents::MonitorToken MouseEvents::addGlobalMonitor(EventMask mask, GlobalHandler handler)
{
    PointerState& s = pointerState();
    const MonitorToken token = s.nextMonitor++;
    s.monitors[token] = MouseMonitor{mask, std::make_shared<GlobalHandler>(std::move(handler)), nullptr};
    return token;
}

MouseEvents::MonitorToken MouseEvents::addLocalMonitor(EventMask mask, LocalHandler handler)
{
    PointerState& s = pointerState();
    const MonitorToken token = s.nextMonitor++;
    s.monitors[token] = MouseMonitor{mask, nullptr, std::make_shared<LocalHandler>(std::move(handler))};
    return token;
}

void MouseEvents::removeMonitor(MonitorToken token)
{
    pointerState().monitors.erase(token);
}

QPointF MouseEvents::mouseLocation()
{
    return pointerState().location;
}

// Display coordinates (y down from the primary screen's top) to screen ones.
static QPointF screenPoint(QPointF displayLocation)
{
    const auto primary = Screens::primaryScreen();
    const double height = primary ? primary->frame.height() : 0;
    return {displayLocation.x(), height - displayLocation.y()};
}

void MouseEvents::warpMouseCursorPosition(QPointF displayLocation)
{
    pointerState().location = screenPoint(displayLocation);
}

void MouseEvents::postEvent(MouseEventType type, QPointF displayLocation)
{
    PointerState& s = pointerState();
    s.posted.append({type, displayLocation});
    s.location = screenPoint(displayLocation);
    deliver({type, s.location, 0}, sim::PointerOver::otherApp);
}

QList<sim::PostedMouseEvent> sim::postedMouseEvents()
{
    return pointerState().posted;
}

void sim::movePointer(QPointF location, PointerOver over)
{
    pointerState().location = location;
    deliver({MouseEventType::mouseMoved, location, 0}, over);
}

void sim::dragPointer(QPointF location, PointerOver over)
{
    pointerState().location = location;
    deliver({MouseEventType::leftMouseDragged, location, 0}, over);
}

void sim::warpPointer(QPointF location)
{
    pointerState().location = location;
}

void sim::sessionPointerMoved(QPoint windowSystemLocation, bool leftButtonDown)
{
    PointerState& s = pointerState();
    const std::pair<QPoint, bool> report(windowSystemLocation, leftButtonDown);
    if (s.sessionPointer == report)
        return;
    s.sessionPointer = report;
    const QPointF location = Screens::frameOfWindowGeometry(QRect(windowSystemLocation, QSize(0, 0))).topLeft();
    const PointerOver over = overOwnWindow(windowSystemLocation) ? PointerOver::ownApp : PointerOver::otherApp;
    if (leftButtonDown)
        dragPointer(location, over);
    else
        movePointer(location, over);
}

int sim::mouseMonitorCount()
{
    return int(pointerState().monitors.size());
}

bool sim::click(QWidget* window, QPointF location)
{
    if (!window || !window->isVisible())
        return false;
    pointerState().location = location;
    const QRectF frame = WindowFrame::frame(window);
    if (!frame.contains(location))
        return false;
    const QPointF local(location.x() - frame.x(), frame.y() + frame.height() - location.y());
    QWidget* child = window->childAt(local.toPoint());
    QPointer<QWidget> target = child ? child : window;
    if (!KeyWindow::isKey(window) && !acceptsFirstMouse(target))
        return false;
    const QPointF at = target->mapFrom(window, local);
    const QPointF global = window->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    if (!target)
        return true;
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &release);
    return true;
}

} // namespace platform
