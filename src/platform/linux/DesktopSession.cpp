#include "platform/linux/DesktopSession.h"

#include "platform/QtKeyEvents.h"
#include "platform/linux/RealScreens.h"
#include "platform/linux/RealWindowSystem.h"
#include "platform/linux/SystemTray.h"
#include "platform/linux/X11Session.h"
#include "platform/sim/SessionHooks.h"
#include "platform/sim/WindowSystem.h"
#include "platform/sim/World.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>

namespace platform::host {

void joinDesktopSession()
{
    static bool joined = false;
    if (joined || !sim::onWindowSystem())
        return;
    joined = true;
    followApplicationScreens();
    sim::WindowSystemHooks hooks = realWindowSystem();
    sim::setWindowSystemHooks(hooks);
    sim::setTray(std::make_unique<SystemTray>());
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    std::unique_ptr<X11Session> connected = X11Session::connect({
        .compositingChanged = [](bool active) { sim::setWindowCompositing(active); },
        .pointerMoved = [](bool leftButtonDown) { sim::sessionPointerMoved(QCursor::pos(), leftButtonDown); },
        .buttonPressed = [](quint32 time, int button) { sim::sessionButtonPressed(time, button, QCursor::pos()); },
    });
    if (!connected)
        return;
    // Closed with the application object.
    static QPointer<X11Session> session;
    session = connected.release();
    session->setParent(QCoreApplication::instance());
    hooks.cancelMove = [](QWidget* window) {
        if (session && window && window->windowHandle())
            session->cancelMove(quint32(window->winId()));
    };
    // Keys typed after a click that the window manager holds back wait for it.
    hooks.readPending = [] {
        if (session)
            session->readPending();
    };
    sim::setWindowSystemHooks(std::move(hooks));
    sim::World::shared().setSessionIdleClock([]() -> std::optional<double> {
        return session ? session->idleSeconds() : std::nullopt;
    });
    QtKeyEvents::routeToLocalMonitors();
}

} // namespace platform::host
