#include "platform/linux/X11Session.h"

#include "platform/SystemLog.h"

#include <QSocketNotifier>

#include <xcb/screensaver.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>
#include <xcb/xinput.h>

#include <chrono>
#include <cstdlib>
#include <vector>

namespace platform::host {

namespace {

// An idle answer this young is reused, counted on, rather than asked again,
// unless the pointer has moved since: only a key press can then be missed,
// for at most this long.
constexpr std::chrono::milliseconds idleReuse(1000);
constexpr quint32 leftButton = 1;
// _NET_WM_MOVERESIZE's action that stops a move the window manager started.
constexpr quint32 moveResizeCancel = 11;

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

void log(const QString& text)
{
    SystemLog::write(QStringLiteral("Tessaroom: desktop session: ") + text);
}

} // namespace

struct X11Session::Connection {
    xcb_connection_t* xcb = nullptr;
    xcb_window_t root = XCB_NONE;
    int screenNumber = 0;
    xcb_atom_t compositorSelection = XCB_NONE;
    xcb_atom_t moveResize = XCB_NONE;
    // First event number of XFixes; 0 without it.
    quint8 xfixesEvent = 0;
    // Major opcode of XInput; 0 without XInput 2.
    quint8 xinputOpcode = 0;
    bool screenSaver = false;
    std::vector<xcb_generic_event_t*> stashed;
    std::optional<double> lastIdle;
    std::chrono::steady_clock::time_point lastIdleAt;

    ~Connection()
    {
        for (xcb_generic_event_t* event : stashed)
            std::free(event);
        if (xcb)
            xcb_disconnect(xcb);
    }
};

std::unique_ptr<X11Session> X11Session::connect(Handlers handlers)
{
    auto connection = std::make_unique<Connection>();
    connection->xcb = xcb_connect(nullptr, &connection->screenNumber);
    if (xcb_connection_has_error(connection->xcb)) {
        log(QStringLiteral("cannot connect to the X server; pointer, idle time and compositing stay simulated"));
        return nullptr;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection->xcb));
    for (int i = 0; i < connection->screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem) {
        log(QStringLiteral("the X server has no screen %1").arg(connection->screenNumber));
        return nullptr;
    }
    connection->root = screens.data->root;
    std::unique_ptr<X11Session> session(new X11Session(std::move(connection), std::move(handlers)));
    session->setUp();
    return session;
}

X11Session::X11Session(std::unique_ptr<Connection> connection, Handlers handlers)
    : connection_(std::move(connection))
    , handlers_(std::move(handlers))
{
}

X11Session::~X11Session() = default;

void X11Session::setUp()
{
    xcb_connection_t* c = connection_->xcb;
    xcb_prefetch_extension_data(c, &xcb_xfixes_id);
    xcb_prefetch_extension_data(c, &xcb_input_id);
    xcb_prefetch_extension_data(c, &xcb_screensaver_id);

    // The compositing manager owns the selection "_NET_WM_CM_S<screen>".
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(connection_->screenNumber);
    const Reply<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, quint16(name.size()), name.constData()), nullptr));
    connection_->compositorSelection = atom ? atom->atom : XCB_NONE;
    static const char moveResizeName[] = "_NET_WM_MOVERESIZE";
    const Reply<xcb_intern_atom_reply_t> moveResize(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, sizeof(moveResizeName) - 1, moveResizeName), nullptr));
    connection_->moveResize = moveResize ? moveResize->atom : XCB_NONE;

    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (xfixes && xfixes->present && connection_->compositorSelection != XCB_NONE) {
        const Reply<xcb_xfixes_query_version_reply_t> version(
            xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr));
        if (version) {
            connection_->xfixesEvent = xfixes->first_event;
            xcb_xfixes_select_selection_input(c, connection_->root, connection_->compositorSelection,
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
                                                  | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
                                                  | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        }
    }
    if (!connection_->xfixesEvent)
        log(QStringLiteral("no XFixes extension; a compositing manager is looked for once, at the start"));

    const xcb_query_extension_reply_t* input = xcb_get_extension_data(c, &xcb_input_id);
    if (input && input->present) {
        // 2.2: raw events reach the root window even while another client grabs the pointer.
        const Reply<xcb_input_xi_query_version_reply_t> version(
            xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr));
        if (version && version->major_version >= 2) {
            struct {
                xcb_input_event_mask_t head;
                quint32 mask;
            } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
                        XCB_INPUT_XI_EVENT_MASK_RAW_MOTION | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS
                            | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE};
            xcb_input_xi_select_events(c, connection_->root, 1, &selection.head);
            connection_->xinputOpcode = input->major_opcode;
        }
    }
    if (!connection_->xinputOpcode)
        log(QStringLiteral("no XInput 2; the session's pointer does not reach the mouse monitors"));

    const xcb_query_extension_reply_t* saver = xcb_get_extension_data(c, &xcb_screensaver_id);
    connection_->screenSaver = saver && saver->present;
    if (!connection_->screenSaver)
        log(QStringLiteral("no screen-saver extension; the input clocks stay simulated"));

    // Asked after selecting, so no change between the answer and the events is lost.
    const Reply<xcb_get_selection_owner_reply_t> owner(
        connection_->compositorSelection == XCB_NONE
            ? nullptr
            : xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, connection_->compositorSelection), nullptr));
    compositing_ = owner && owner->owner != XCB_NONE;
    xcb_flush(c);
    if (handlers_.compositingChanged)
        handlers_.compositingChanged(compositing_);

    notifier_ = new QSocketNotifier(xcb_get_file_descriptor(c), QSocketNotifier::Read, this);
    QObject::connect(notifier_, &QSocketNotifier::activated, this, [this] { readEvents(); });
    // The replies above may have read events already.
    stashQueuedEvents();
}

void X11Session::readEvents()
{
    if (!handleAvailable()) {
        log(QStringLiteral("the connection to the X server broke; pointer, idle time and compositing stay as they "
                           "are"));
        notifier_->setEnabled(false);
        return;
    }
    afterBatch();
}

void X11Session::readPending()
{
    if (xcb_connection_has_error(connection_->xcb))
        return;
    handleAvailable();
    // Pointer monitors run from the event loop, not inside the caller.
    if (moved_)
        finishLater();
}

bool X11Session::handleAvailable()
{
    xcb_connection_t* c = connection_->xcb;
    handleStashed();
    while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
        handle(event);
        std::free(event);
    }
    return !xcb_connection_has_error(c);
}

void X11Session::stashQueuedEvents()
{
    while (xcb_generic_event_t* event = xcb_poll_for_queued_event(connection_->xcb))
        connection_->stashed.push_back(event);
    // Handled from the event loop, not inside the call that read them.
    if (!connection_->stashed.empty())
        finishLater();
}

void X11Session::finishLater()
{
    if (stashQueued_)
        return;
    stashQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            handleStashed();
            afterBatch();
        },
        Qt::QueuedConnection);
}

void X11Session::handleStashed()
{
    stashQueued_ = false;
    std::vector<xcb_generic_event_t*> events;
    events.swap(connection_->stashed);
    for (xcb_generic_event_t* event : events) {
        handle(event);
        std::free(event);
    }
}

void X11Session::handle(void* raw)
{
    const auto* event = static_cast<const xcb_generic_event_t*>(raw);
    const quint8 type = event->response_type & 0x7f;
    if (connection_->xfixesEvent && type == connection_->xfixesEvent + XCB_XFIXES_SELECTION_NOTIFY) {
        const auto* notify = static_cast<const xcb_xfixes_selection_notify_event_t*>(raw);
        if (notify->selection != connection_->compositorSelection)
            return;
        const bool active =
            notify->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER && notify->owner != XCB_NONE;
        if (active != compositing_) {
            compositing_ = active;
            if (handlers_.compositingChanged)
                handlers_.compositingChanged(active);
        }
        return;
    }
    if (type != XCB_GE_GENERIC || !connection_->xinputOpcode)
        return;
    const auto* generic = static_cast<const xcb_ge_generic_event_t*>(raw);
    if (generic->extension != connection_->xinputOpcode)
        return;
    // The idle time is known to be 0 now; the next question asks the server.
    connection_->lastIdle.reset();
    switch (generic->event_type) {
    case XCB_INPUT_RAW_MOTION:
        moved_ = true;
        break;
    case XCB_INPUT_RAW_BUTTON_PRESS:
    case XCB_INPUT_RAW_BUTTON_RELEASE: {
        const auto* button = static_cast<const xcb_input_raw_button_press_event_t*>(raw);
        const bool pressed = generic->event_type == XCB_INPUT_RAW_BUTTON_PRESS;
        if (button->detail == leftButton)
            leftButtonDown_ = pressed;
        if (pressed && handlers_.buttonPressed)
            handlers_.buttonPressed(button->time, int(button->detail));
        break;
    }
    default:
        break;
    }
}

void X11Session::afterBatch()
{
    if (!moved_)
        return;
    moved_ = false;
    if (handlers_.pointerMoved)
        handlers_.pointerMoved(leftButtonDown_);
}

std::optional<double> X11Session::idleSeconds()
{
    if (!connection_->screenSaver || xcb_connection_has_error(connection_->xcb))
        return std::nullopt;
    const auto now = std::chrono::steady_clock::now();
    if (connection_->lastIdle && now - connection_->lastIdleAt < idleReuse) {
        const std::chrono::duration<double> since = now - connection_->lastIdleAt;
        return *connection_->lastIdle + since.count();
    }
    xcb_connection_t* c = connection_->xcb;
    const Reply<xcb_screensaver_query_info_reply_t> info(
        xcb_screensaver_query_info_reply(c, xcb_screensaver_query_info(c, connection_->root), nullptr));
    stashQueuedEvents();
    if (!info)
        return std::nullopt;
    connection_->lastIdle = info->ms_since_user_input / 1000.0;
    connection_->lastIdleAt = now;
    return connection_->lastIdle;
}

void X11Session::cancelMove(quint32 window)
{
    xcb_connection_t* c = connection_->xcb;
    if (connection_->moveResize == XCB_NONE || xcb_connection_has_error(c))
        return;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = connection_->moveResize;
    message.data.data32[2] = moveResizeCancel;
    message.data.data32[3] = XCB_BUTTON_INDEX_1;
    message.data.data32[4] = 1; // asked by an ordinary application
    xcb_send_event(c, 0, connection_->root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);
}

} // namespace platform::host
