#include "surfaces/NotchGeometry.h"

#include <algorithm>
#include <cmath>

namespace NotchGeometry {

namespace {

bool isFinite(const QRectF& rect)
{
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width())
        && std::isfinite(rect.height()) && rect.width() >= 0 && rect.height() >= 0;
}

// Areas in global coordinates lie on their screen; merely touching it (a
// screen-local area beside a neighbouring screen) is not enough.
bool liesWithin(const QRectF& area, const QRectF& bounds)
{
    return area.left() >= bounds.left() && area.right() <= bounds.right() && area.top() >= bounds.top()
        && area.bottom() <= bounds.bottom();
}

} // namespace

std::optional<QRectF> notchRect(const platform::Screen& screen)
{
    if (!screen.auxiliaryTopLeftArea || !screen.auxiliaryTopRightArea)
        return std::nullopt;
    const QRectF frame = screen.frame;
    QRectF left = *screen.auxiliaryTopLeftArea;
    QRectF right = *screen.auxiliaryTopRightArea;
    if (!isFinite(frame) || !isFinite(left) || !isFinite(right))
        return std::nullopt;
    const QRectF grown = frame.adjusted(-1, -1, 1, 1);
    if (!liesWithin(left, grown))
        left.translate(frame.topLeft());
    if (!liesWithin(right, grown))
        right.translate(frame.topLeft());
    const double height = std::max(left.height(), right.height());
    if (!(right.left() > left.right()) || !(height > 0))
        return std::nullopt;
    const QRectF notch(left.right(), frame.bottom() - height, right.left() - left.right(), height);
    // A notch that is not on this screen would put a label over another one.
    if (notch.left() < frame.left() || notch.right() > frame.right() || notch.top() < frame.top())
        return std::nullopt;
    return notch;
}

QList<Notch> notches()
{
    QList<Notch> result;
    for (const platform::Screen& screen : platform::Screens::screens()) {
        if (const auto rect = notchRect(screen))
            result.append({screen, *rect});
    }
    return result;
}

QRectF standInFrame(const QRectF& screenFrame, const QRectF& visibleFrame)
{
    const double height = std::max(screenFrame.bottom() - visibleFrame.bottom(), minStandInHeight);
    const double x = std::round(screenFrame.center().x() - standInWidth / 2);
    return QRectF(x, screenFrame.bottom() - height, standInWidth, height);
}

} // namespace NotchGeometry
