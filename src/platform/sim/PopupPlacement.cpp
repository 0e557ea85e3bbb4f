#include "platform/sim/PopupPlacement.h"

#include "platform/Scheduler.h"
#include "platform/Screens.h"
#include "platform/sim/SessionHooks.h"

#include <QGuiApplication>
#include <QPointer>
#include <QWindow>

#include <algorithm>
#include <limits>
#include <memory>

namespace platform::sim {

namespace {

// Along one axis: where a length goes beside [anchorStart, anchorEnd) within
// [areaStart, areaEnd), after (true) or before the anchor by preference.
int alongMainAxis(int anchorStart, int anchorEnd, int length, bool after, int areaStart, int areaEnd, int gap)
{
    const int roomAfter = areaEnd - (anchorEnd + gap);
    const int roomBefore = (anchorStart - gap) - areaStart;
    if (after ? roomAfter < length && roomBefore >= length : roomBefore < length && roomAfter >= length)
        after = !after;
    else if (roomAfter < length && roomBefore < length)
        after = roomAfter >= roomBefore;
    const int start = after ? anchorEnd + gap : anchorStart - gap - length;
    return std::clamp(start, areaStart, std::max(areaStart, areaEnd - length));
}

int squaredDistance(const QRect& rect, QPoint at)
{
    const int dx = std::max({rect.left() - at.x(), 0, at.x() - rect.right()});
    const int dy = std::max({rect.top() - at.y(), 0, at.y() - rect.bottom()});
    return dx * dx + dy * dy;
}

} // namespace

QRect placeBeside(const QRect& anchor, QSize size, PopupSide side, int crossStart, const QRect& area, int gap)
{
    size = size.boundedTo(area.size());
    const bool vertical = side == PopupSide::below || side == PopupSide::above;
    const bool after = side == PopupSide::below || side == PopupSide::right;
    if (vertical) {
        const int y = alongMainAxis(anchor.top(), anchor.bottom() + 1, size.height(), after, area.top(),
                                    area.bottom() + 1, gap);
        const int x = std::clamp(crossStart, area.left(), area.right() + 1 - size.width());
        return {QPoint(x, y), size};
    }
    const int x = alongMainAxis(anchor.left(), anchor.right() + 1, size.width(), after, area.left(),
                                area.right() + 1, gap);
    const int y = std::clamp(crossStart, area.top(), area.bottom() + 1 - size.height());
    return {QPoint(x, y), size};
}

std::optional<QRect> availableAreaAt(QPoint at)
{
    if (const auto& sessionArea = windowSystemHooks().availableArea) {
        if (const std::optional<QRect> area = sessionArea(at))
            return area;
    }
    std::optional<QRect> nearest;
    int nearestDistance = std::numeric_limits<int>::max();
    for (const Screen& screen : Screens::screens()) {
        const QRect frame = Screens::windowGeometry(screen.frame);
        const int distance = squaredDistance(frame, at);
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = Screens::windowGeometry(screen.visibleFrame);
        }
    }
    return nearest;
}

void showOnceFocusSettles(QObject* context, std::function<void()> show)
{
    // Longest a popup waits for a focus change Qt has yet to report.
    constexpr double settleSeconds = 0.5;
    const QWindow* focus = QGuiApplication::focusWindow();
    if (!focus || focus->isVisible() || !qGuiApp) {
        show();
        return;
    }
    auto pending = std::make_shared<std::function<void()>>(std::move(show));
    auto focusChanged = std::make_shared<QMetaObject::Connection>();
    const auto run = [pending, focusChanged, guard = QPointer<QObject>(context)] {
        QObject::disconnect(*focusChanged);
        if (*pending && guard)
            std::exchange(*pending, {})();
    };
    // Qt reports the change once the app's state has followed it.
    *focusChanged = QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, context, run);
    Scheduler::current().schedule(settleSeconds, run);
}

} // namespace platform::sim
