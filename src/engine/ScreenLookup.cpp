#include "engine/ScreenLookup.h"

namespace ScreenLookup {

std::optional<platform::Screen> primary()
{
    const QList<platform::Screen> screens = platform::Screens::screens();
    if (screens.isEmpty())
        return std::nullopt;
    return screens.first();
}

std::optional<platform::Screen> screenContaining(const QPointF& point, double margin)
{
    for (const auto& screen : platform::Screens::screens()) {
        // Half-open like the system's point-in-rectangle test; QRectF's top()
        // is the lowest y here, since screen coordinates grow upwards.
        const QRectF& frame = screen.frame;
        const bool across = point.x() >= frame.left() && point.x() < frame.right();
        const bool upDown = point.y() >= frame.top() - margin && point.y() < frame.bottom() + margin;
        if (across && upDown)
            return screen;
    }
    return std::nullopt;
}

} // namespace ScreenLookup
