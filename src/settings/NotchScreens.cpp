#include "settings/NotchScreens.h"

#include <algorithm>

namespace NotchScreens {

std::optional<QRectF> notchRect(const platform::Screen& screen)
{
    if (!screen.auxiliaryTopLeftArea || !screen.auxiliaryTopRightArea)
        return std::nullopt;
    const QRectF& left = *screen.auxiliaryTopLeftArea;
    const QRectF& right = *screen.auxiliaryTopRightArea;
    const double gap = right.left() - left.right();
    if (!(gap > 0))
        return std::nullopt;
    const double bottom = std::min(left.top(), right.top());
    const double height = std::max(left.height(), right.height());
    return QRectF(left.right(), bottom, gap, height);
}

bool anyNotch(const QList<platform::Screen>& screens)
{
    return std::any_of(screens.begin(), screens.end(),
                       [](const platform::Screen& screen) { return notchRect(screen).has_value(); });
}

bool anyNotchConnected()
{
    return anyNotch(platform::Screens::screens());
}

} // namespace NotchScreens
