#pragma once

#include "platform/NotificationCenter.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class DockAccess;
class RepeatingTimer;

// Decides whether Mission Control is open. The system gives no direct signal,
// so it looks for the host's Mission Control windows in the on-screen window
// list: polled every 0.2 s while started, but only while the user gave input
// in the last 3 s or Mission Control is open, and at once (coalesced into one
// check per turn of the main loop) on the host's accessibility notifications.
// Polls and queued checks are skipped while the screens sleep or the session
// is inactive. Main thread only.
class MissionControlDetector {
public:
    struct DockNotification {
        QString name;
        // Seconds after openedAt().
        double at = 0;
    };

    static constexpr double pollInterval = 0.2;
    static constexpr double recentInputWindow = 3.0;
    static constexpr double sizeTolerance = 2.0;
    static constexpr qsizetype notificationLimit = 24;

    static inline const QString pollTrigger = QStringLiteral("poll");
    static inline const QString observerTrigger = QStringLiteral("observer");

    // Installs the notification handler on dock and observes the sleep and
    // session notifications.
    explicit MissionControlDetector(DockAccess& dock);
    ~MissionControlDetector();
    MissionControlDetector(const MissionControlDetector&) = delete;
    MissionControlDetector& operator=(const MissionControlDetector&) = delete;

    bool isOpen() const { return isOpen_; }
    // Called with the new verdict after each change.
    std::function<void(bool)> onChange;
    // Called after a host notification when Mission Control was open before
    // and after the check it caused.
    std::function<void()> onDockActivity;
    // Host notifications of the current (or last) open session.
    const QList<DockNotification>& dockNotifications() const { return dockNotifications_; }
    // When isOpen last turned true (0: never).
    double openedAt() const { return openedAt_; }
    // The trigger of the check that last changed the verdict.
    const QString& lastTrigger() const { return lastTrigger_; }
    bool isPaused() const { return paused_; }
    bool isPolling() const { return poll_ != nullptr; }

    void startPolling();
    // Stops polling and reports a close when Mission Control was open.
    void stopPolling();
    // Re-evaluates the verdict and returns it.
    bool check(const QString& trigger = pollTrigger);
    void pause() { paused_ = true; }
    // No check is made on resuming.
    void resume() { paused_ = false; }
    void noteDockNotification(const QString& name);

    // The window-list test.
    static bool isMissionControlOpen();

private:
    void pollTick();

    bool isOpen_ = false;
    QList<DockNotification> dockNotifications_;
    double openedAt_ = 0;
    DockAccess& dock_;
    std::unique_ptr<RepeatingTimer> poll_;
    bool checkQueued_ = false;
    bool paused_ = false;
    QString lastTrigger_ = pollTrigger;
    std::vector<platform::NotificationCenter::Subscription> subscriptions_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
