#pragma once

#include "engine/Desktop.h"
#include "engine/DesktopSwitching.h"
#include "engine/SkyLight.h"
#include "engine/SpaceApp.h"
#include "platform/NotificationCenter.h"
#include "platform/Workspace.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class RepeatingTimer;

// Names of the engine's in-process notifications (default centre).
namespace EngineNotifications {
// The displays or desktops changed, desktop metadata changed, or the badge
// summary of the apps changed.
inline const QString spacesDidChange = QStringLiteral("Tessaroom.spacesDidChange");
// At least one display now shows another desktop.
inline const QString activeSpaceDidChange = QStringLiteral("Tessaroom.activeSpaceDidChange");
} // namespace EngineNotifications

// The live model of displays and desktops: re-read from the window server on
// every space or screen change and on a 1.5 s sweep, with the desktop the
// user came from, per-desktop apps and badges, tracked time, and the
// user-level switch operations. The sweep also writes preference changes
// that could not be written before (a full disk). Main thread only.
class SpaceEngine final : public QObject {
    Q_OBJECT

public:
    using AppsMap = QHash<quint64, QList<SpaceApp>>;
    // (display UUID, the desktop left or none, the desktop arrived on).
    using SwitchCallback = std::function<void(const QString&, const std::optional<Desktop>&, const Desktop&)>;
    using SwitcherFactory = std::function<std::unique_ptr<DesktopSwitching>(SpaceEngine&)>;

    // Created on first use, refreshed once at creation.
    static SpaceEngine& shared();

    // --- published state ---------------------------------------------------
    const QList<SkyLight::Display>& displays() const { return displays_; }
    const QList<Desktop>& desktops() const { return desktops_; }
    std::optional<quint64> lastDesktopID() const { return lastDesktopID_; }
    const QSet<quint64>& transitSpaceIDs() const { return transitSpaceIDs_; }
    // Filled by a stepped switch with the spaces it passes through.
    void setTransitSpaceIDs(QSet<quint64> ids) { transitSpaceIDs_ = std::move(ids); }

    // Called once per display that arrived on another desktop.
    void setOnSwitch(SwitchCallback callback) { onSwitch_ = std::move(callback); }

    // The switcher that performs switches: the one set, else one made by the
    // factory on first use (none: switch requests complete with false).
    static void setSwitcherFactory(SwitcherFactory factory);
    void setSwitcher(std::unique_ptr<DesktopSwitching> switcher) { switcher_ = std::move(switcher); }
    DesktopSwitching* switcher();

    // --- life ---------------------------------------------------------------
    // Observes the workspace, screen, metadata and badge notifications and
    // starts the sweep; time counts from here (a launch may first wait for
    // another copy to go, which counts the same seconds). Once per process.
    void start();
    void refresh(bool initial);
    // Debounced refresh: at once and again 0.03 s later.
    void environmentChanged();
    void metaChanged();
    void badgesChanged();
    void sampleTime();
    void pollBadges();
    // Samples and persists tracked time (at termination, before an export).
    void saveTime();
    // Counts no more time: the process quits, and the copy that follows
    // counts from its own start.
    void stopCounting() { counting_ = false; }

    // Fixed app data in place of the live lists (sample mode).
    const std::optional<AppsMap>& sampleApps() const { return sampleApps_; }
    void setSampleApps(std::optional<AppsMap> apps);

    // --- queries -------------------------------------------------------------
    std::optional<Desktop> desktopWithID(quint64 id) const;
    std::optional<Desktop> desktopWithNumber(qint64 number) const;
    QList<Desktop> desktopsOnDisplay(const QString& displayUUID) const;
    std::optional<quint64> currentSpaceID(const QString& displayUUID) const;
    // The desktop the user is on.
    std::optional<Desktop> activeDesktop() const;
    std::optional<Desktop> lastDesktop() const;
    // The best search match scoring above a mere subsequence, or none.
    std::optional<Desktop> bestDesktopMatching(const QString& text);
    // The cached apps of a desktop, frontmost first; never rebuilds.
    QList<SpaceApp> apps(const Desktop& desktop) const;
    // Rebuilds the apps per desktop when forced or older than a second.
    void appsByDesktop(bool force);
    // The badge summary of apps on no shown desktop; none when badges are off.
    std::optional<QString> badgesByDesktop() const;

    // --- switch operations ---------------------------------------------------
    void switchTo(const Desktop& desktop, const QString& reason, std::function<void(bool)> completion = {});
    // Switches, then brings the app to the front.
    void switchToThenActivate(const Desktop& desktop, const SpaceApp& app, const QString& reason = QStringLiteral("app"),
                              std::function<void(bool)> completion = {});
    void bringToFront(bool success, const SpaceApp& app, std::function<void(bool)> completion = {});
    void jumpBack();
    // +1 for the next desktop of the active display, -1 for the previous.
    void step(int delta);
    // Moves the app's front window to the desktop (and follows it when
    // follow is set); false when there was nothing to move.
    bool moveFrontWindow(const Desktop& desktop, const std::optional<platform::RunningApplication>& app, bool follow);

    ~SpaceEngine() override;

signals:
    void displaysChanged();
    void desktopsChanged();
    void lastDesktopIDChanged();
    // After any change a view may show: the lists, the last desktop, the
    // apps, or desktop metadata.
    void changed();

private:
    struct SwitchEvent {
        QString displayUUID;
        std::optional<Desktop> from;
        Desktop to;
    };

    SpaceEngine();
    static QList<Desktop> numberDesktops(const QList<SkyLight::Display>& displays);
    void recordSwitches(const QHash<QString, quint64>& current, std::vector<SwitchEvent>& events);
    void setLastDesktopID(quint64 id);
    AppsMap buildApps() const;
    QList<SpaceApp> appsOnSpace(quint64 spaceID, const QHash<qint64, int>& rank, const QHash<qint64, qint32>& owner) const;
    bool badgesShown() const;

    QList<SkyLight::Display> displays_;
    QList<Desktop> desktops_;
    std::optional<quint64> lastDesktopID_;
    SwitchCallback onSwitch_;
    std::unique_ptr<DesktopSwitching> switcher_;
    std::unique_ptr<RepeatingTimer> sweep_;
    QHash<QString, quint64> currentPerDisplay_;
    QSet<quint64> transitSpaceIDs_;
    bool refreshPending_ = false;
    AppsMap appsCache_;
    double appsCachedAt_;
    double lastTimeSample_;
    double lastTimeFlush_;
    bool counting_ = true;
    double lastBadgePoll_;
    std::optional<AppsMap> sampleApps_;
    std::vector<platform::NotificationCenter::Subscription> subscriptions_;
};
