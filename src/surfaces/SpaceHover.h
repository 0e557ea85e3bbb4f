#pragma once

#include "engine/Desktop.h"
#include "engine/SpaceApp.h"
#include "platform/MouseEvents.h"
#include "platform/Screens.h"
#include "store/SettingEnums.h"
#include "surfaces/HoverPanel.h"
#include "ui/Transition.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>

#include <functional>
#include <memory>
#include <optional>

class RepeatingTimer;
class Settings;
class SpaceEngine;

// The hover strip's controller. It watches the pointer everywhere on screen;
// when the pointer rests long enough (the hover delay) in the hover zone at
// the top edge of a screen, and Mission Control is not open, it fades the
// strip in on that screen. The strip stays while the pointer is in the zone
// or within 40 points of it, or while it is pinned (after a click, or for a
// preview), and fades out 0.35 s after the pointer has gone.
//
// Delayed work never cancels a timer it does not own: fades and the end of a
// pin check a generation number that every show and hide moves on. A pin
// ends a showing: when it runs out (a click's pin that extended it counts),
// the strip hides when no pointer monitors run (the strip turned off, a
// preview or a link), and otherwise the leave rule runs once for the pointer
// where it rests.
class SpaceHover : public QObject {
    Q_OBJECT
public:
    // Height of the band at the top of a screen that counts as its edge.
    static constexpr double edgeHeight = 2;
    // The strip stays while the pointer is this close to it.
    static constexpr double stayMargin = 40;
    // The centre zone reaches this share of the screen width either side of
    // the middle.
    static constexpr double centreShare = 0.11;
    static constexpr double dwellTolerance = 0.02;
    static constexpr double leaveDelay = 0.35;
    static constexpr double leaveTolerance = 0.05;
    static constexpr double fadeInDuration = 0.16;
    static constexpr double fadeOutDuration = 0.14;
    // How long a click keeps the strip up.
    static constexpr double selectionPin = 1.5;

    SpaceHover(SpaceEngine& engine, Settings& settings, std::function<bool()> missionControlIsOpen);
    ~SpaceHover() override;

    // Installs the pointer monitors (once).
    void start();
    // Removes the monitors, drops both timers, hides the strip.
    void stop();
    // The zone and timer logic for one pointer position (screen coordinates).
    void pointerMoved(QPointF point);
    // Shows the strip on a screen (none: the main screen), pinned for
    // pinSeconds.
    void show(std::optional<platform::Screen> screen, double pinSeconds);
    // Fades the strip out.
    void hide();
    bool isShowing() const;
    // The strip's two callbacks: a desktop was clicked; an app of a desktop.
    void select(const Desktop& desktop);
    void open(const SpaceApp& app, const Desktop& desktop);

    // Whether a point is in the hover zone of a screen with this frame.
    static bool isInZone(QPointF point, const QRectF& screenFrame, HoverZone zone);

    bool isWatching() const { return globalMonitor_.has_value(); }
    bool isDwelling() const { return dwellTimer_ != nullptr; }
    bool isLeaving() const { return leaveTimer_ != nullptr; }
    double pinnedUntil() const { return pinnedUntil_; }
    // The strip's opacity, 0 to 1.
    double opacity() const { return opacity_.value(); }
    HoverPanel* panel() const { return panel_; }

private:
    void startDwell(double screenTop);
    void dwellEnded(double screenTop);
    void startLeave();
    void leaveEnded();
    // Keeps the strip up for this long from now.
    void pin(double seconds);
    void schedulePinEnd(quint64 generation);
    void pinEnded(quint64 generation);
    bool pointerNearPanel(QPointF point) const;
    // Whether pointer moves can hide the strip: monitors run and the strip
    // is turned on.
    bool leaveRuleRuns() const;
    void fadeFrame();

    SpaceEngine& engine_;
    Settings& settings_;
    std::function<bool()> missionControlIsOpen_;
    std::optional<platform::MouseEvents::MonitorToken> globalMonitor_;
    std::optional<platform::MouseEvents::MonitorToken> localMonitor_;
    std::unique_ptr<RepeatingTimer> dwellTimer_;
    std::unique_ptr<RepeatingTimer> leaveTimer_;
    QPointer<HoverPanel> panel_;
    double pinnedUntil_;
    quint64 generation_ = 0;
    // The generation whose fade-out may order the panel out.
    std::optional<quint64> hidingGeneration_;
    // The showing whose pin end is waiting.
    std::optional<quint64> pinEndGeneration_;
    Transition opacity_;
};
