#include "platform/sim/DesktopSession.h"

#include "platform/QtKeyEvents.h"
#include "platform/sim/Input.h"
#include "platform/sim/KeysBehindClicks.h"
#include "platform/sim/RealScreens.h"
#include "platform/sim/World.h"
#include "platform/sim/X11Session.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPointer>

namespace platform::sim {

void joinDesktopSession()
{
    static bool joined = false;
    if (joined || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return;
    joined = true;
    followApplicationScreens();
    if (platform != QLatin1String("xcb"))
        return;
    std::unique_ptr<X11Session> connected = X11Session::connect({
        .compositingChanged = [](bool active) { setWindowCompositing(active); },
        .pointerMoved = [](bool leftButtonDown) { sessionPointerMoved(QCursor::pos(), leftButtonDown); },
        .buttonPressed = [](quint32 time, int button) { sessionButtonPressed(time, button, QCursor::pos()); },
    });
    if (!connected)
        return;
    // Closed with the application object.
    static QPointer<X11Session> session;
    session = connected.release();
    session->setParent(QCoreApplication::instance());
    World::shared().setSessionIdleClock([]() -> std::optional<double> {
        return session ? session->idleSeconds() : std::nullopt;
    });
    // Keys typed after a click that the window manager holds back wait for it.
    KeysBehindClicks::shared().setSessionReader([] {
        if (session)
            session->readPending();
    });
    QtKeyEvents::routeToLocalMonitors();
}

} // namespace platform::sim
