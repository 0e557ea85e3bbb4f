#include "platform/Screens.h"

#include "platform/sim/World.h"

#include <cmath>

namespace platform {

namespace {

double primaryHeight()
{
    const auto primary = Screens::primaryScreen();
    return primary ? primary->frame.height() : 0;
}

} // namespace

std::optional<Screen> Screens::primaryScreen()
{
    const QList<Screen> all = screens();
    if (all.isEmpty())
        return std::nullopt;
    return all.first();
}

QRect Screens::windowGeometry(const QRectF& frame)
{
    const QPoint origin = sim::World::shared().windowSystemOrigin();
    const double top = primaryHeight() - frame.y() - frame.height();
    return QRect(int(std::lround(frame.x())) + origin.x(), int(std::lround(top)) + origin.y(),
                 int(std::lround(frame.width())), int(std::lround(frame.height())));
}

QRectF Screens::frameOfWindowGeometry(const QRect& geometry)
{
    const QPoint origin = sim::World::shared().windowSystemOrigin();
    const double y = primaryHeight() - (geometry.y() - origin.y()) - geometry.height();
    return QRectF(geometry.x() - origin.x(), y, geometry.width(), geometry.height());
}

} // namespace platform
