#include "switching/DesktopSwitcher.h"

#include "engine/SpaceEngine.h"

#include <algorithm>
#include <cstdlib>

namespace {

const SkyLight::Display* displayWithUUID(const QList<SkyLight::Display>& displays, const QString& uuid)
{
    const auto display = std::find_if(displays.begin(), displays.end(),
                                      [&](const SkyLight::Display& d) { return d.uuid == uuid; });
    return display == displays.end() ? nullptr : &*display;
}

// Every space of the display, full-screen ones too, in window-server order.
QList<quint64> spaceIDs(const SkyLight::Display& display)
{
    QList<quint64> ids;
    for (const SkyLight::Space& space : display.spaces)
        ids.append(space.id);
    return ids;
}

} // namespace

std::optional<DesktopSwitcher::StepPlan> DesktopSwitcher::stepPlan(const QList<quint64>& order, quint64 current,
                                                                   quint64 target,
                                                                   const QList<QPair<quint64, qint64>>& anchors)
{
    const qsizetype c = order.indexOf(current);
    const qsizetype t = order.indexOf(target);
    if (c < 0 || t < 0)
        return std::nullopt;
    const qint64 direct = t - c;
    if (std::abs(direct) <= maxSteps)
        return StepPlan{std::nullopt, direct};

    // The anchor must be strictly closer to the target than the start; among
    // equals the first in desktop order wins.
    qint64 bestDistance = std::abs(direct);
    std::optional<qint64> bestAnchor;
    qsizetype bestPosition = -1;
    for (const auto& [id, number] : anchors) {
        const qsizetype a = order.indexOf(id);
        if (a < 0)
            continue;
        const qint64 distance = std::abs(qint64(a - t));
        if (distance < bestDistance) {
            bestDistance = distance;
            bestAnchor = number;
            bestPosition = a;
        }
    }
    if (!bestAnchor || bestDistance > maxSteps)
        return std::nullopt;
    return StepPlan{bestAnchor, qint64(t - bestPosition)};
}

std::optional<DesktopSwitcher::StepPlan> DesktopSwitcher::plan(const Desktop& target,
                                                               std::optional<quint64> from) const
{
    if (!from)
        return std::nullopt;
    const SkyLight::Display* display = displayWithUUID(engine_.displays(), target.displayUUID());
    if (!display)
        return std::nullopt;

    QList<QPair<quint64, qint64>> anchors;
    for (const Desktop& desktop : engine_.desktopsOnDisplay(display->uuid)) {
        if (SystemShortcuts::combo(desktop.number))
            anchors.append({desktop.id(), desktop.number});
    }
    const auto walkPlan = stepPlan(spaceIDs(*display), *from, target.id(), anchors);
    if (!walkPlan || walkPlan->steps == 0)
        return walkPlan;
    const auto direction = walkPlan->steps > 0 ? SystemShortcuts::Direction::right : SystemShortcuts::Direction::left;
    if (!SystemShortcuts::combo(direction))
        return std::nullopt;
    return walkPlan;
}

std::optional<DesktopSwitcher::Walk> DesktopSwitcher::walk(const Attempt& attempt, const StepPlan& stepPlan) const
{
    const SkyLight::Display* display = displayWithUUID(engine_.displays(), attempt.target.displayUUID());
    if (!display)
        return std::nullopt;
    const QList<quint64> ids = spaceIDs(*display);

    Walk route;
    route.target = ids.indexOf(attempt.target.id());
    if (route.target < 0)
        return std::nullopt;

    std::optional<qsizetype> start;
    if (stepPlan.anchor) {
        const auto anchor = engine_.desktopWithNumber(*stepPlan.anchor);
        const qsizetype position = anchor ? ids.indexOf(anchor->id()) : -1;
        // Without its shortcut the anchor cannot be pressed: walk from where
        // the display is instead.
        const auto combo = anchor ? SystemShortcuts::combo(anchor->number) : std::nullopt;
        if (position >= 0 && combo) {
            route.anchor = anchor;
            route.anchorCombo = combo;
            start = position;
        }
    }
    if (!start) {
        const qsizetype position = attempt.from ? ids.indexOf(*attempt.from) : -1;
        if (position < 0)
            return std::nullopt;
        start = position;
    }
    route.start = *start;

    const qsizetype low = std::min(route.start, route.target);
    const qsizetype high = std::max(route.start, route.target);
    for (qsizetype i = low; i <= high; ++i)
        route.transit.insert(ids.at(i));
    route.transit.remove(attempt.target.id());
    if (attempt.from)
        route.transit.remove(*attempt.from);
    return route;
}
