#pragma once

#include "engine/Desktop.h"
#include "engine/DesktopSwitching.h"
#include "switching/SystemShortcuts.h"

#include <QList>
#include <QPair>
#include <QSet>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class SpaceEngine;

// Performs every desktop switch: presses the system's own desktop shortcut,
// walks there with the move-left/right shortcut from a nearby desktop (the
// anchor), presses the desktop's button in Mission Control, or asks the
// window server directly; checks on a short schedule whether the desktop
// arrived, falls back to another route when it did not, and logs one line
// per attempt to "switches.log". A newer request supersedes an older one.
class DesktopSwitcher final : public DesktopSwitching {
public:
    // An arrow walk: the desktop number whose shortcut is pressed first (none:
    // start where the display is), then steps to the right (+) or left (-).
    struct StepPlan {
        std::optional<qint64> anchor;
        qint64 steps = 0;

        bool operator==(const StepPlan&) const = default;
    };

    // A walk of more presses is never planned.
    static constexpr qint64 maxSteps = 8;
    static constexpr double arrowPressSpacing = 0.06;

    // (desktop number, done): presses the desktop's button in Mission
    // Control and calls done exactly once with whether it was pressed.
    using MissionControlPress = std::function<void(qint64 number, std::function<void(bool)> done)>;

    explicit DesktopSwitcher(SpaceEngine& engine);
    ~DesktopSwitcher() override;
    DesktopSwitcher(const DesktopSwitcher&) = delete;
    DesktopSwitcher& operator=(const DesktopSwitcher&) = delete;

    // Makes the engine build its switcher as a DesktopSwitcher.
    static void installAsEngineSwitcher();
    // The engine's switcher when it is a DesktopSwitcher.
    static DesktopSwitcher* of(SpaceEngine& engine);

    void switchTo(const Desktop& target, const QString& reason, std::function<void(bool)> completion) override;

    // The Mission Control route, set once at launch by the application.
    void setPressInMissionControl(MissionControlPress press) { pressInMissionControl_ = std::move(press); }

    // The note of the last attempt whose check ended by arrival or time-out.
    const QString& lastNote() const { return lastNote_; }
    qint64 generation() const { return generation_; }
    bool isSwitching() const { return inFlight_.has_value(); }

    static std::optional<StepPlan> stepPlan(const QList<quint64>& order, quint64 current, quint64 target,
                                            const QList<QPair<quint64, qint64>>& anchors);
    // The walk to target from the display's current space, when one is
    // possible with the system's shortcuts.
    std::optional<StepPlan> plan(const Desktop& target, std::optional<quint64> from) const;

private:
    using Completion = std::function<void(bool)>;

    struct InFlight {
        quint64 id = 0;
        qint64 attempt = 0;
    };

    // One switch request as its routes carry it along.
    struct Attempt {
        Desktop target;
        QString reason;
        qint64 generation = 0;
        std::optional<quint64> from;
    };

    // One arrival check, rescheduled until it ends.
    struct Check {
        qint64 generation = 0;
        QString note;
        Desktop awaited;
        double start = 0;
        double limit = 0;
        std::optional<quint64> from;
        std::function<void()> fallback;
        std::function<void(bool)> resolve;
    };

    // Where an arrow walk starts and ends on the display's space list.
    struct Walk {
        std::optional<Desktop> anchor;
        std::optional<SystemShortcuts::Combo> anchorCombo;
        qsizetype start = 0;
        qsizetype target = 0;
        QSet<quint64> transit;
    };

    void chooseRoute(const Attempt& attempt);
    void pressShortcut(const Attempt& attempt, const SystemShortcuts::Combo& combo);
    void switchRaw(const Attempt& attempt, const QString& reason);
    void reassert(const Attempt& attempt, const QString& reason);
    void fallback(const Attempt& attempt);
    void pressInMissionControl(const Attempt& attempt, const QString& reason);
    void missionControlPressed(const Attempt& attempt, const QString& reason, double requested, bool pressed);
    void runPlan(const Attempt& attempt, const StepPlan& plan);
    std::optional<Walk> walk(const Attempt& attempt, const StepPlan& plan) const;
    void pressArrows(const Attempt& attempt, qsizetype start, qsizetype target, std::optional<quint64> from);
    // A check for the attempt's target from now on, ending in the attempt's
    // finisher and with no fallback; routes adjust what differs.
    Check arrivalCheck(const Attempt& attempt, const QString& note, double limit);
    void scheduleCheck(Check check, double delay);
    void verify(const Check& check);
    void finish(qint64 generation, bool success);
    void refreshEngineSoon();
    std::function<void(bool)> finisher(qint64 generation);
    std::weak_ptr<DesktopSwitcher> weakSelf() const { return self_; }

    SpaceEngine& engine_;
    MissionControlPress pressInMissionControl_;
    qint64 generation_ = 0;
    std::optional<InFlight> inFlight_;
    std::map<qint64, std::vector<Completion>> completions_;
    QString lastNote_;
    // Lets delayed work notice that the switcher is gone; owns nothing.
    std::shared_ptr<DesktopSwitcher> self_;
};
