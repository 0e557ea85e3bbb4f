#pragma once

#include "missioncontrol/DockAccess.h"
#include "missioncontrol/MissionControlDetector.h"
#include "missioncontrol/Pill.h"
#include "platform/EventTap.h"

#include <QHash>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class Accessibility;
class OverlayPanel;
class RepeatingTimer;
class Settings;
class SpaceEngine;

namespace platform {
struct Screen;
}

// The controller of the Mission Control labels. While Mission Control is
// open it keeps one transparent OverlayPanel per display over it and places
// a name pill over or under every desktop button (the layout pass), re-reading
// the bar on a fast timer while it moves. It hides the pills around a click
// on a desktop, writes one report per Mission Control session to
// "mission-control.log", and offers the press route that switches desktops
// by pressing Mission Control's own desktop button.
//
// The app keeps one for the life of the process: start() while the labels or
// the notch label are on, stop() otherwise; switchTo is the switcher's
// Mission Control route. Main thread only.
class MissionControlOverlay {
public:
    static constexpr double fastInterval = 1.0 / 30;
    static constexpr double settleTime = 0.6;
    static constexpr double clickSlop = 3.0;
    static constexpr double clickSuppression = 0.5;
    static constexpr double switchSuppression = 2.0;
    static constexpr double pressPoll = 0.02;
    static constexpr double pressDelay = 0.32;
    static constexpr double confirmationDelay = 0.35;
    static constexpr double giveUpTime = 1.5;
    static constexpr qsizetype notesLimit = 24;
    static constexpr double defaultBarHeight = 40;
    static constexpr double assumedBarDrop = 28;
    static constexpr double shiftTolerance = 0.5;
    static constexpr double offScreenLimit = -1;
    static inline const QString missionControlPath = QStringLiteral("/System/Applications/Mission Control.app");

    // 0.1 s; 1/30 s on the WindowManager host.
    static double settledInterval();

    MissionControlOverlay(SpaceEngine& engine, Settings& settings, Accessibility& access);
    ~MissionControlOverlay();
    MissionControlOverlay(const MissionControlOverlay&) = delete;
    MissionControlOverlay& operator=(const MissionControlOverlay&) = delete;

    // Called after a session closed while labels are on and Accessibility is
    // not granted.
    std::function<void()> onClosedWithoutAccess;
    // Called with the new state after every open and close.
    std::function<void(bool)> onOpenChange;

    void start();
    // Reports a close when open; the pills go without animation.
    void stop();
    bool isOpen() const { return detector_.isOpen(); }
    static void openMissionControl();

    // The press route: opens Mission Control when needed and presses the
    // button of desktop number; done gets whether the button was pressed.
    void switchTo(qint64 number, std::function<void(bool)> done);

    // --- for the layout pass, the delegate's diagnostics and the tests ---
    const QString& lastReport() const { return lastReport_; }
    MissionControlDetector& detector() { return detector_; }
    DockAccess& dock() { return dock_; }
    const std::map<QString, OverlayPanel*>& panels() const { return panels_; }
    const std::map<QString, QList<Pill>>& lastPills() const { return lastPills_; }
    const QStringList& changes() const { return changes_; }
    int passes() const { return passes_; }
    std::optional<double> expandedAt() const { return expandedAt_; }
    const QHash<qint64, double>& labelWidths() const { return labelWidths_; }
    std::optional<double> geometryInterval() const;
    double suppressUntil() const { return suppressUntil_; }
    bool hasClickTap() const { return clickTap_ != 0; }
    bool isClickTapEnabled() const;

    void refresh();
    // Reads the bar's rows, maps each button to a desktop (labels are global
    // numbers, unless a row's labels start at 1 on a display whose first
    // desktop is not desktop 1: then by position on that display), turns
    // accessibility into screen coordinates and hands each display's pills to
    // its panel, redrawn only when what they show changed.
    void layoutPass();
    void handleClick(const QPointF& point);

    static bool hasThumbnailPills(const std::map<QString, QList<Pill>>& pills);
    static QList<Pill> localPills(const QList<Pill>& pills, const platform::Screen& screen);

private:
    void didOpen();
    void didClose();
    void scheduleGeometryTimer(double interval);
    void noteChange(const QString& word);
    void hidePills(bool animated);
    void tapEvent(const platform::EventTap::Event& event);
    void pressTick(double start, qint64 number, const std::shared_ptr<std::function<void(bool)>>& done);
    void confirmPress(qint64 number, const std::shared_ptr<std::function<void(bool)>>& done);
    std::optional<DockAccess::Item> findItem(qint64 number);
    OverlayPanel& panel(const QString& uuid);

    SpaceEngine& engine_;
    Settings& settings_;
    Accessibility& access_;
    QString lastReport_;
    DockAccess dock_;
    MissionControlDetector detector_;
    std::map<QString, OverlayPanel*> panels_;
    std::map<QString, QList<Pill>> lastPills_;
    double lastChange_ = 0;
    QHash<qint64, double> labelWidths_;
    std::unique_ptr<RepeatingTimer> geometryTimer_;
    std::unique_ptr<RepeatingTimer> switchTimer_;
    double suppressUntil_ = 0;
    std::optional<double> expandedAt_;
    int passes_ = 0;
    double passSeconds_ = 0;
    QStringList changes_;
    QList<QRectF> barFrames_;
    QList<QRectF> thumbnailFrames_;
    platform::EventTap::Port clickTap_ = 0;
    std::optional<QPointF> mouseDownAt_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
