#include "platform/linux/DesktopSession.h"

#include "platform/QtKeyEvents.h"
#include "platform/linux/RealScreens.h"
#include "platform/linux/SystemTray.h"
#include "platform/linux/X11Session.h"
#include "platform/sim/Input.h"
#include "platform/sim/KeysBehindClicks.h"
#include "platform/sim/StatusBar.h"
#include "platform/sim/TitledWindows.h"
#include "platform/sim/WindowCompositing.h"
#include "platform/sim/WindowSystem.h"
#include "platform/sim/World.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>

namespace platform::sim {

namespace {

// _NET_WM_MOVERESIZE's action that stops a move the window manager started.
constexpr quint32 moveResizeCancel = 11;

// Stops a move the window manager was asked to start; ignored by a window
// manager that has no move of this window going.
void cancelWindowManagerMove(QWidget* window)
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    const auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c || !window || !window->windowHandle())
        return;
    static const char name[] = "_NET_WM_MOVERESIZE";
    xcb_intern_atom_reply_t* atom
        = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof(name) - 1, name), nullptr);
    if (!atom)
        return;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = xcb_window_t(window->winId());
    message.type = atom->atom;
    message.data.data32[2] = moveResizeCancel;
    message.data.data32[3] = XCB_BUTTON_INDEX_1;
    message.data.data32[4] = 1; // asked by an ordinary application
    std::free(atom);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);
}

} // namespace

void joinDesktopSession()
{
    static bool joined = false;
    if (joined || !onWindowSystem())
        return;
    joined = true;
    followApplicationScreens();
    setTray(std::make_unique<SystemTray>());
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    setWindowManagerMoveCancel(cancelWindowManagerMove);
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
