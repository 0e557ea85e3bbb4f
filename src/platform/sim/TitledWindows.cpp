#include "platform/sim/TitledWindows.h"

#include "platform/Lifetime.h"
#include "platform/Screens.h"
#include "platform/WindowFrame.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace platform {

namespace {

// _NET_WM_MOVERESIZE's action that stops a move the window manager started.
constexpr quint32 moveResizeCancel = 11;

struct TitledWindowState {
    QMargins simulated;
    // What the window system reported for the last titled window on screen.
    QMargins reported;
    QList<sim::WindowDragStep> drags;
};

TitledWindowState*& stateSlot()
{
    static TitledWindowState* state = nullptr;
    return state;
}

TitledWindowState& state()
{
    auto*& slot = stateSlot();
    if (!slot) {
        slot = new TitledWindowState;
        registerSharedReset([] {
            delete stateSlot();
            stateSlot() = nullptr;
        });
    }
    return *slot;
}

// The visible frames of the screens, in the window system's geometry.
QList<QRect> visibleAreas()
{
    QList<QRect> areas;
    for (const Screen& screen : Screens::screens())
        areas.append(Screens::windowGeometry(screen.visibleFrame));
    return areas;
}

std::optional<QRect> mainVisibleArea()
{
    const auto main = Screens::mainScreen();
    if (!main)
        return std::nullopt;
    return Screens::windowGeometry(main->visibleFrame);
}

// The area holding most of frame; the main screen's when none holds any.
std::optional<QRect> areaFor(const QRect& frame)
{
    std::optional<QRect> best;
    qint64 bestShare = 0;
    for (const QRect& area : visibleAreas()) {
        const QRect shared = area.intersected(frame);
        const qint64 share = shared.isEmpty() ? 0 : qint64(shared.width()) * shared.height();
        if (share > bestShare) {
            best = area;
            bestShare = share;
        }
    }
    return best ? best : mainVisibleArea();
}

// Stops a move the window manager was asked to start; ignored by a window
// manager that has no move of this window going.
void cancelWindowManagerMove(QWidget* window)
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    const auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c || !window->windowHandle())
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

void sim::setTitledWindowDecorations(const QMargins& margins)
{
    state().simulated = margins;
}

QList<sim::WindowDragStep> sim::windowDragSteps()
{
    return state().drags;
}

QMargins WindowFrame::decorations(const QWidget* window)
{
    TitledWindowState& s = state();
    // The offscreen platform's own frames are made up.
    const QString platformName = QGuiApplication::platformName();
    const bool windowSystem = platformName != QLatin1String("offscreen") && platformName != QLatin1String("minimal");
    if (windowSystem && window && window->windowHandle()) {
        const QMargins reported = window->windowHandle()->frameMargins();
        if (!reported.isNull()) {
            s.reported = reported;
            return reported;
        }
    }
    return s.reported.isNull() ? s.simulated : s.reported;
}

QSize WindowFrame::fitOnScreen(QWidget* window, QSize wanted)
{
    if (!window)
        return {};
    const QMargins margins = decorations(window);
    const QRect current(window->pos(), window->size().grownBy(margins));
    QSize content = wanted;
    const std::optional<QRect> area = areaFor(current);
    if (area)
        content = content.boundedTo(area->size().shrunkBy(margins));
    content = content.expandedTo(QSize(1, 1));
    window->setFixedSize(content);
    if (!area)
        return content;
    const QSize frame = content.grownBy(margins);
    const int x = std::max(area->left(), std::min(current.x(), area->left() + area->width() - frame.width()));
    const int y = std::max(area->top(), std::min(current.y(), area->top() + area->height() - frame.height()));
    if (QPoint(x, y) != window->pos())
        window->move(x, y);
    return content;
}

void WindowFrame::centreOnScreen(QWidget* window)
{
    const std::optional<QRect> area = mainVisibleArea();
    if (!window || !area)
        return;
    QRect frame(QPoint(), window->size().grownBy(decorations(window)));
    frame.moveCenter(area->center());
    window->move(frame.topLeft());
}

void WindowFrame::performWindowDrag(QWidget* window)
{
    if (!window)
        return;
    state().drags.append(sim::WindowDragStep::started);
    if (QWindow* handle = window->windowHandle())
        handle->startSystemMove();
}

void WindowFrame::endWindowDrag(QWidget* window)
{
    if (!window)
        return;
    state().drags.append(sim::WindowDragStep::endedEarly);
    cancelWindowManagerMove(window);
}

} // namespace platform
