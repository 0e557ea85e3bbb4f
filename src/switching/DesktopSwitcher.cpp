#include "switching/DesktopSwitcher.h"

#include "engine/SkyLight.h"
#include "engine/SpaceEngine.h"
#include "platform/Scheduler.h"
#include "store/LogFile.h"
#include "store/Settings.h"
#include "store/Timers.h"
#include "switching/Accessibility.h"
#include "switching/KeySynth.h"

#include <cmath>

namespace {

constexpr double checkInterval = 0.05;
constexpr double keyboardLimit = 2.0;
constexpr double arrowLimitPerExtraPress = 0.4;
constexpr double rawFirstCheck = 0.4;
constexpr double rawLimit = 0.8;
constexpr double missionControlLimit = 1.5;
constexpr double refreshDelay = 0.05;
// Checks land on the limit by adding 0.05 s steps; binary rounding must not
// push the last one past it.
constexpr double clockSlack = 1e-4;

QString spaceText(std::optional<quint64> id)
{
    return id ? QString::number(*id) : QStringLiteral("?");
}

// Whole milliseconds, truncated; the slack keeps a clock step of 0.3 s from
// showing as 299 ms through binary rounding.
qint64 milliseconds(double seconds)
{
    return qint64(std::floor((seconds + clockSlack) * 1000.0));
}

void log(const QString& line)
{
    LogFile::switches().write(line);
}

QString quoted(const QString& name)
{
    return QStringLiteral("'") + name + QStringLiteral("'");
}

} // namespace

DesktopSwitcher::DesktopSwitcher(SpaceEngine& engine)
    : engine_(engine)
    , self_(this, [](DesktopSwitcher*) {})
{
}

DesktopSwitcher::~DesktopSwitcher() = default;

void DesktopSwitcher::installAsEngineSwitcher()
{
    SpaceEngine::setSwitcherFactory([](SpaceEngine& engine) { return std::make_unique<DesktopSwitcher>(engine); });
}

DesktopSwitcher* DesktopSwitcher::of(SpaceEngine& engine)
{
    return dynamic_cast<DesktopSwitcher*>(engine.switcher());
}

void DesktopSwitcher::switchTo(const Desktop& target, const QString& reason, std::function<void(bool)> completion)
{
    const auto from = engine_.currentSpaceID(target.displayUUID());
    // Already there. While another switch is under way it would carry the
    // display off afterwards, so then the request takes over like any other.
    if (from && *from == target.id() && !inFlight_) {
        if (completion)
            completion(true);
        return;
    }
    if (inFlight_ && inFlight_->attempt == generation_ && inFlight_->id == target.id()) {
        log(reason + QStringLiteral(": already on the way to ") + quoted(target.displayName()));
        if (completion)
            completions_[generation_].push_back(std::move(completion));
        return;
    }
    const qint64 g = ++generation_;
    inFlight_ = InFlight{target.id(), g};
    // The spaces a superseded walk passes through are no longer in transit.
    engine_.setTransitSpaceIDs({});
    if (completion)
        completions_[g].push_back(std::move(completion));
    chooseRoute(Attempt{target, reason, g, from});
}

void DesktopSwitcher::chooseRoute(const Attempt& attempt)
{
    if (!Settings::shared().nativeSwitching() || !Accessibility::shared().trusted() || !pressInMissionControl_) {
        switchRaw(attempt, attempt.reason);
        return;
    }
    const QString displayUUID = attempt.target.displayUUID();
    if (SkyLight::activeMenuBarDisplayUUID().value_or(displayUUID) != displayUUID) {
        pressInMissionControl(attempt, attempt.reason);
        return;
    }
    if (const auto combo = SystemShortcuts::combo(attempt.target.number)) {
        pressShortcut(attempt, *combo);
        return;
    }
    if (const auto walkPlan = plan(attempt.target, attempt.from)) {
        runPlan(attempt, *walkPlan);
        return;
    }
    pressInMissionControl(attempt, attempt.reason);
}

void DesktopSwitcher::pressShortcut(const Attempt& attempt, const SystemShortcuts::Combo& combo)
{
    KeySynth::press(combo.keyCode, combo.flags);
    Check check = arrivalCheck(attempt, attempt.reason + QStringLiteral(" [") + combo.display + QStringLiteral("]"),
                               keyboardLimit);
    check.fallback = [this, attempt] { fallback(attempt); };
    scheduleCheck(std::move(check), checkInterval);
}

void DesktopSwitcher::switchRaw(const Attempt& attempt, const QString& reason)
{
    const qint32 status = SkyLight::setCurrentSpace(attempt.target.space);
    refreshEngineSoon();
    Check check = arrivalCheck(attempt, reason + QStringLiteral(" [raw] status=") + QString::number(quint32(status)),
                               rawLimit);
    check.fallback = [this, attempt, reason] { reassert(attempt, reason); };
    scheduleCheck(std::move(check), rawFirstCheck);
}

void DesktopSwitcher::reassert(const Attempt& attempt, const QString& reason)
{
    const auto now = engine_.currentSpaceID(attempt.target.displayUUID());
    const bool atStart = now.has_value() == attempt.from.has_value() && (!now || *now == *attempt.from);
    if (!atStart || !engine_.desktopWithID(attempt.target.id())) {
        finish(attempt.generation, false);
        return;
    }
    SkyLight::setCurrentSpace(attempt.target.space);
    log(QStringLiteral("re-asserted switch to ") + quoted(attempt.target.displayName()));
    refreshEngineSoon();
    scheduleCheck(arrivalCheck(attempt, reason + QStringLiteral(" [raw again]"), rawLimit), rawFirstCheck);
}

void DesktopSwitcher::fallback(const Attempt& attempt)
{
    pressInMissionControl(attempt, attempt.reason + QStringLiteral(" fallback"));
}

void DesktopSwitcher::pressInMissionControl(const Attempt& attempt, const QString& reason)
{
    const double requested = platform::now();
    // done must count once, however often the route calls it.
    auto answered = std::make_shared<bool>(false);
    auto done = [weak = weakSelf(), attempt, reason, requested, answered](bool pressed) {
        if (*answered)
            return;
        *answered = true;
        if (auto self = weak.lock())
            self->missionControlPressed(attempt, reason, requested, pressed);
    };
    if (!pressInMissionControl_) {
        done(false);
        return;
    }
    pressInMissionControl_(attempt.target.number, done);
}

void DesktopSwitcher::missionControlPressed(const Attempt& attempt, const QString& reason, double requested,
                                            bool pressed)
{
    refreshEngineSoon();
    const QString note = reason + QStringLiteral(" [mission control] pressed=")
        + (pressed ? QStringLiteral("true") : QStringLiteral("false")) + QStringLiteral(" took=")
        + QString::number(milliseconds(platform::now() - requested)) + QStringLiteral("ms");
    Check check = arrivalCheck(attempt, note, missionControlLimit);
    if (pressed)
        check.fallback = [this, g = attempt.generation] { finish(g, false); };
    else
        check.fallback = [this, attempt, reason] { switchRaw(attempt, reason + QStringLiteral(" raw")); };
    scheduleCheck(std::move(check), checkInterval);
}

void DesktopSwitcher::runPlan(const Attempt& attempt, const StepPlan& stepPlan)
{
    const auto route = walk(attempt, stepPlan);
    if (!route) {
        fallback(attempt);
        return;
    }
    engine_.setTransitSpaceIDs(route->transit);
    if (!route->anchor) {
        pressArrows(attempt, route->start, route->target, attempt.from);
        return;
    }
    const Desktop anchor = *route->anchor;
    KeySynth::press(route->anchorCombo->keyCode, route->anchorCombo->flags);
    const QString note = attempt.reason + QStringLiteral(" [") + route->anchorCombo->display
        + QStringLiteral(" on the way to ") + quoted(attempt.target.displayName()) + QStringLiteral("]");
    Check check = arrivalCheck(attempt, note, keyboardLimit);
    check.awaited = anchor;
    check.fallback = [this, attempt] { fallback(attempt); };
    check.resolve = [this, attempt, start = route->start, target = route->target, anchorID = anchor.id()](bool arrived) {
        if (arrived)
            pressArrows(attempt, start, target, anchorID);
        else
            finish(attempt.generation, false);
    };
    scheduleCheck(std::move(check), checkInterval);
}

void DesktopSwitcher::pressArrows(const Attempt& attempt, qsizetype start, qsizetype target,
                                  std::optional<quint64> from)
{
    const qint64 count = std::abs(qint64(target - start));
    if (count == 0) {
        finish(attempt.generation, true);
        return;
    }
    const auto direction = target >= start ? SystemShortcuts::Direction::right : SystemShortcuts::Direction::left;
    const auto combo = SystemShortcuts::combo(direction);
    if (!combo) {
        fallback(attempt);
        return;
    }
    for (qint64 i = 0; i < count; ++i) {
        // A press whose switch has been superseded stays unpressed.
        runAfter(double(i) * arrowPressSpacing, [weak = weakSelf(), g = attempt.generation, press = *combo] {
            auto self = weak.lock();
            if (self && self->generation_ == g)
                KeySynth::press(press.keyCode, press.flags);
        });
    }
    const QString note = attempt.reason + QStringLiteral(" [") + combo->display
        + (count == 1 ? QString() : QStringLiteral(" \u00D7") + QString::number(count)) + QStringLiteral("]");
    Check check = arrivalCheck(attempt, note, keyboardLimit + arrowLimitPerExtraPress * double(count - 1));
    check.from = from;
    check.fallback = [this, attempt] { fallback(attempt); };
    scheduleCheck(std::move(check), checkInterval);
}

DesktopSwitcher::Check DesktopSwitcher::arrivalCheck(const Attempt& attempt, const QString& note, double limit)
{
    Check check;
    check.generation = attempt.generation;
    check.note = note;
    check.awaited = attempt.target;
    check.start = platform::now();
    check.limit = limit;
    check.from = attempt.from;
    check.resolve = finisher(attempt.generation);
    return check;
}

void DesktopSwitcher::scheduleCheck(Check check, double delay)
{
    runAfter(delay, [weak = weakSelf(), check = std::move(check)] {
        if (auto self = weak.lock())
            self->verify(check);
    });
}

void DesktopSwitcher::verify(const Check& check)
{
    const QString name = check.awaited.displayName();
    if (generation_ != check.generation) {
        log(check.note + QStringLiteral(": \u2192 ") + quoted(name) + QStringLiteral(" superseded by a later switch"));
        check.resolve(false);
        return;
    }
    engine_.refresh(false);
    const auto now = engine_.currentSpaceID(check.awaited.displayUUID());
    const double elapsed = platform::now() - check.start;
    const bool arrived = now && *now == check.awaited.id();
    if (!arrived && elapsed < check.limit - clockSlack) {
        scheduleCheck(check, checkInterval);
        return;
    }
    lastNote_ = check.note;
    log(check.note + QStringLiteral(": ") + spaceText(check.from) + QStringLiteral(" \u2192 ")
        + QString::number(check.awaited.id()) + QStringLiteral(" ") + quoted(name) + QStringLiteral(" now=")
        + spaceText(now) + QStringLiteral(" after ") + QString::number(milliseconds(elapsed)) + QStringLiteral("ms"));
    if (arrived)
        check.resolve(true);
    else if (check.fallback)
        check.fallback();
    else
        check.resolve(false);
}

void DesktopSwitcher::finish(qint64 generation, bool success)
{
    if (inFlight_ && inFlight_->attempt == generation) {
        inFlight_.reset();
        engine_.setTransitSpaceIDs({});
    }
    auto it = completions_.find(generation);
    if (it == completions_.end())
        return;
    const std::vector<Completion> waiting = std::move(it->second);
    completions_.erase(it);
    for (const Completion& completion : waiting)
        completion(success);
}

void DesktopSwitcher::refreshEngineSoon()
{
    runAfter(refreshDelay, [weak = weakSelf()] {
        if (auto self = weak.lock())
            self->engine_.refresh(false);
    });
}

std::function<void(bool)> DesktopSwitcher::finisher(qint64 generation)
{
    // Called only from a check or a route step, which run while the switcher
    // exists.
    return [this, generation](bool success) { finish(generation, success); };
}
