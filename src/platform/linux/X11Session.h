#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class QSocketNotifier;

namespace platform::host {

// A connection of its own to the session's X server: it tells whether a
// compositing manager runs, when the pointer moves, and how long the user
// has been idle. Everything arrives as events on the connection's socket;
// nothing polls. See DesktopSession.h for how the app uses it.
class X11Session : public QObject {
public:
    struct Handlers {
        // The compositing manager started (true) or ended (false); also
        // called once at the start with the state then.
        std::function<void(bool active)> compositingChanged;
        // The pointer moved, with whether the left button is down; called
        // once per batch of moves the server sent together.
        std::function<void(bool leftButtonDown)> pointerMoved;
        // A mouse button (1 left, 2 middle, 3 right, …) went down at the
        // server's time in milliseconds; called as the press is read.
        std::function<void(quint32 time, int button)> buttonPressed;
    };

    // Connects to the display named by DISPLAY. None (with one system-log
    // line) when no connection can be made.
    static std::unique_ptr<X11Session> connect(Handlers handlers);
    ~X11Session() override;

    // Seconds since the user's last key or pointer event on the server;
    // none without the screen-saver extension or a working connection. An
    // answer is reused for up to a second while the pointer rests (a key
    // press may show up to a second late), so a poll asks the server at
    // most once a second.
    std::optional<double> idleSeconds();
    // Reads and handles what the server has sent so far, without waiting;
    // the pointer's moves are reported from the event loop.
    void readPending();
    // Stops a move of the X window that the window manager was asked to
    // start (_NET_WM_MOVERESIZE); a window manager with no such move going
    // ignores it.
    void cancelMove(quint32 window);

private:
    struct Connection;
    X11Session(std::unique_ptr<Connection> connection, Handlers handlers);
    void setUp();
    void readEvents();
    // Handles the stashed events and what the socket holds; false when the
    // connection broke.
    bool handleAvailable();
    // Events the connection read while waiting for a reply.
    void stashQueuedEvents();
    // Handles the stash and reports the pointer's moves on the next turn.
    void finishLater();
    void handleStashed();
    void handle(void* event);
    void afterBatch();

    std::unique_ptr<Connection> connection_;
    Handlers handlers_;
    QSocketNotifier* notifier_ = nullptr;
    bool compositing_ = false;
    bool leftButtonDown_ = false;
    bool moved_ = false;
    bool stashQueued_ = false;
};

} // namespace platform::host
