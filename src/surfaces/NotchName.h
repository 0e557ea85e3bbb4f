#pragma once

#include "platform/NotificationCenter.h"
#include "store/SettingEnums.h"
#include "surfaces/NotchLabelView.h"
#include "switching/GestureWatch.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class FloatingPanel;
class NotchPanel;
class Settings;
class SpaceEngine;

// Shows the current desktop's name and/or tile in a black label growing out
// of the camera notch of every screen that has one. The labels stand in for
// the menu-bar tile when the bar has no room for it; while the tile is away
// from the bar they are doors that take clicks. They hide while Mission
// Control is open and fade out for a trackpad swipe between desktops.
//
// Delayed work (a swipe's return check, a preview's expiry) is never
// cancelled: it checks a generation number that newer work moves on, and
// holds the controller weakly.
class NotchName : public QObject {
    Q_OBJECT
public:
    // Where the menu-bar tile is; the app maps the tile's own answer here.
    enum class Tile { inBar, steppedAside, dropped };

    static constexpr double fadeOutSeconds = 0.08;
    static constexpr double fadeInSeconds = 0.14;
    // Labels come back this long after the last gesture event.
    static constexpr double settleSeconds = 1.0;
    static constexpr double defaultPreviewSeconds = 4.0;

    // Posted when the labels start or stop showing: the bundle identifier
    // less its last part, then ".notchLabelChanged".
    static QString changedNotification();

    NotchName(SpaceEngine& engine, Settings& settings);
    ~NotchName() override;

    // Set by the app at launch. The tile's presence (inBar until set) and the
    // name of the tile's change notification, observed from the next start.
    std::function<Tile()> tilePresence = [] { return Tile::inBar; };
    QString tileChangedNotification;
    // Handed to every label: a door's view calls it with itself and true for
    // a right click.
    NotchLabelView::ClickHandler onClick;

    // Observes the engine, names, tile and screens once; runs the update
    // pass every time.
    void start();
    void stop();
    void update();
    // A desktop change: updates, then brings ghosted labels back.
    void landed();

    bool missionControlOpen() const { return missionControlOpen_; }
    void setMissionControlOpen(bool open);

    bool isShowing() const;
    // The first showing label's view (per-screen labels before the preview),
    // or none; the popover's anchor when the tile is not on the bar.
    QWidget* visibleLabelView() const;

    void showPreview(double seconds = defaultPreviewSeconds);
    void hidePreview();

    static bool shouldShow(bool notchEnabled, bool standsIn, Tile presence, bool missionControlOpen);

    // --- for tests and diagnostics ------------------------------------------------
    bool isStarted() const { return started_; }
    bool isGhosted() const { return ghosted_; }
    bool isStandingIn() const { return standingIn_; }
    const QHash<QString, NotchPanel*>& panels() const { return panelView_; }
    QList<FloatingPanel*> previewPanels() const;
    GestureWatch& gestures() { return gestures_; }
    // The gesture handler, as the watch calls it.
    void swipeChanged(bool swiping);

private:
    void announce();
    void scheduleReturn(quint64 generation, const QString& reason, double delay);
    void returnCheck(quint64 generation, const QString& reason);
    void bringBack(const QString& reason);
    void fade(NotchPanel& panel, double alpha, double seconds);

    SpaceEngine& engine_;
    Settings& settings_;
    std::map<QString, std::unique_ptr<NotchPanel>> panels_;
    QHash<QString, NotchPanel*> panelView_;
    bool started_ = false;
    bool missionControlOpen_ = false;
    // The drawn notch (when one was needed), then the label.
    std::vector<std::unique_ptr<FloatingPanel>> previewPanels_;
    NotchPanel* previewLabel_ = nullptr;
    quint64 previewGeneration_ = 0;
    bool lastVisible_ = false;
    bool standingIn_ = false;
    GestureWatch gestures_;
    bool ghosted_ = false;
    double ghostedAt_;
    quint64 unghostGeneration_ = 0;
    std::vector<platform::NotificationCenter::Subscription> subscriptions_;
};
