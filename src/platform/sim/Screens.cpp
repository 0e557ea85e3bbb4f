#include "platform/Screens.h"

#include "platform/sim/WorldState.h"

namespace platform::Screens {

namespace {

constexpr double menuBarHeight = 37;

Screen screenOf(const sim::DisplaySpec& display)
{
    Screen screen;
    screen.frame = display.frame;
    screen.visibleFrame = display.visibleFrame.isEmpty()
        ? QRectF(display.frame.x(), display.frame.y(), display.frame.width(), display.frame.height() - menuBarHeight)
        : display.visibleFrame;
    screen.auxiliaryTopLeftArea = display.notchLeft;
    screen.auxiliaryTopRightArea = display.notchRight;
    screen.backingScaleFactor = display.scale;
    screen.localizedName = display.name;
    if (display.hasScreenNumber)
        screen.deviceDescription.insert(QStringLiteral("NSScreenNumber"), QVariant::fromValue<uint>(display.displayID));
    return screen;
}

} // namespace

QList<Screen> screens()
{
    sim::World& world = sim::World::shared();
    std::lock_guard<std::recursive_mutex> lock(world.mutex());
    auto& d = world.internals();
    d.countCall(QStringLiteral("screens"));
    QList<Screen> result;
    for (const auto& display : d.displays)
        result.append(screenOf(display));
    return result;
}

std::optional<Screen> mainScreen()
{
    const QList<Screen> all = screens();
    if (all.isEmpty())
        return std::nullopt;
    return all.first();
}

} // namespace platform::Screens
