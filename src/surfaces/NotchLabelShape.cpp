#include "surfaces/NotchLabelShape.h"

#include <algorithm>

QPainterPath NotchLabelShape::path(const QRectF& rect) const
{
    const double r = std::max(0.0, std::min({radius, rect.width() / 2, rect.height() / 2}));
    QPainterPath path;
    path.moveTo(rect.topLeft());
    path.lineTo(rect.topRight());
    if (outerSide == NotchSide::left) {
        path.lineTo(rect.bottomRight());
        path.lineTo(rect.left() + r, rect.bottom());
        path.arcTo(QRectF(rect.left(), rect.bottom() - 2 * r, 2 * r, 2 * r), 270, -90);
    } else {
        path.lineTo(rect.right(), rect.bottom() - r);
        path.arcTo(QRectF(rect.right() - 2 * r, rect.bottom() - 2 * r, 2 * r, 2 * r), 0, -90);
        path.lineTo(rect.bottomLeft());
    }
    path.closeSubpath();
    return path;
}
