#include "platform/sim/ScreenChoice.h"

namespace platform::sim {

std::optional<Screen> screenHoldingMostOf(const QRectF& rect, ScreenPart part)
{
    std::optional<Screen> best;
    double bestArea = 0;
    for (const Screen& candidate : Screens::screens()) {
        const QRectF area = part == ScreenPart::frame ? candidate.frame : candidate.visibleFrame;
        const QRectF shared = area.intersected(rect);
        const double share = shared.width() * shared.height();
        if (share > bestArea) {
            best = candidate;
            bestArea = share;
        }
    }
    return best;
}

} // namespace platform::sim
