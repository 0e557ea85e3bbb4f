#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>

#include <optional>

class QKeyEvent;

namespace platform::sim {

// The application object's part in key delivery: an application-wide event
// filter that hands every key event to the local monitors first and keeps a
// swallowed one from the widgets and the shortcut map. Before the monitors,
// a key combination registered as a global hot key runs its hot key, as the
// system takes it before the app sees it; its press, repeats and release
// never reach the monitors, the widgets or the shortcut map. Then keys typed
// after a click that has not arrived yet wait for it (KeysBehindClicks).
//
// Qt shows one key press several times: as a shortcut override, then as the
// press itself, and again to each parent widget the press propagates to. The
// monitors see it once; the later sightings get the same verdict.
class LocalMonitorRouter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;

private:
    struct Delivery {
        QPointer<QObject> receiver;
        const QEvent* event = nullptr;
        QEvent::Type type = QEvent::None;
        int key = 0;
        int modifiers = 0;
        quint64 timestamp = 0;
        bool autoRepeat = false;
        // KeysBehindClicks::replaySerial() when it was seen.
        quint64 replay = 0;
        bool swallowed = false;
        // Kept back until a click typed before it has arrived.
        bool held = false;

        bool sameKey(const Delivery& other) const;
    };

    static Delivery deliveryOf(QObject* receiver, const QKeyEvent& event);
    bool isSeen(const Delivery& delivery) const;
    // Whether Qt hands an event on from one receiver to the next: up to a
    // parent widget, or from a window to a widget inside it.
    static bool handsOn(const QObject* from, const QObject* to);
    bool takenByHotKey(const QKeyEvent& event);
    static bool route(const QKeyEvent& event);
    static bool apply(QEvent* event, bool swallowed);

    std::optional<Delivery> last_;
    // The hot key being held down: its key and the time stamp of its press.
    struct HeldHotKey {
        quint16 keyCode = 0;
        quint64 timestamp = 0;
        bool operator==(const HeldHotKey&) const = default;
    };
    std::optional<HeldHotKey> heldHotKey_;
    // The last key released, by the time stamp of its release.
    std::optional<HeldHotKey> lastRelease_;
};

} // namespace platform::sim
