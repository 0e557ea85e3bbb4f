#pragma once

#include "platform/Scheduler.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QEvent;

namespace platform::sim {

// Keys typed after a click wait for that click. A window manager may hold a
// click back (its synchronous button grab, while it is busy) while key
// presses typed after it already reach the app: they would land in the
// control that had the focus before the click. The session's raw button
// presses, which no grab holds back, tell when every click happened. A key
// event stamped at or after a click on one of the app's windows that has
// not arrived yet waits, with every event after it, until that click has
// been handled; then they go where the focus is, in the order typed, through
// the shortcuts and the local monitors as any key does. Keys typed before
// the click keep going where the focus was. A click that never arrives (the
// window manager kept it) lets the keys go after maxHold seconds. A press on
// a window that a modal window blocks holds nothing back.
//
// Part of the app's key delivery (LocalMonitorRouter); one shared instance.
class KeysBehindClicks {
public:
    // Seconds held keys wait at most for their click. Generous: a window
    // manager busy with keyboard-map changes (one per character a layout
    // lacks, as typing tools make them) was seen holding a click back for
    // well over a second.
    static constexpr double maxHold = 5;

    static KeysBehindClicks& shared();

    // A press of a mouse button (1 left, 2 middle, 3 right; others are
    // wheel steps and side buttons) at the session's time in milliseconds,
    // where the pointer is (window-system coordinates).
    void sessionButtonPressed(quint64 time, int button, QPoint at);

    // For the app's key delivery: notes clicks as they arrive and takes the
    // key events that must wait. True: the event is held (the caller
    // swallows it). Replayed events pass.
    bool hold(QObject* receiver, QEvent* event);
    // Whether key events are held right now.
    bool isHolding() const { return holding_; }
    // Moves on with every held event handed back and after the last one, so
    // a sighting of a handed-back event is never taken for an earlier one.
    quint64 replaySerial() const { return replaySerial_; }

private:
    struct Held {
        std::unique_ptr<QEvent> event;
        // Where the window system sent it.
        QPointer<QObject> receiver;
    };

    // Whether a click at time t has not arrived yet.
    bool clickPendingAt(quint64 time) const;
    void clickArrived(quint64 time);
    void scheduleRelease(double delay);
    void release();
    void replay(Held& held);

    // The latest session click on one of the app's windows that the app has
    // not received yet.
    std::optional<quint64> pendingClick_;
    // The time of the latest click the app has received.
    std::optional<quint64> lastArrivedClick_;
    std::vector<Held> held_;
    bool holding_ = false;
    bool replaying_ = false;
    quint64 replaySerial_ = 0;
    TimerToken timeout_ = 0;
};

} // namespace platform::sim
