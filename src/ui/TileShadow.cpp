#include "ui/TileShadow.h"

#include "ui/KitShapes.h"

#include <QPainter>

#include <cmath>

namespace TileShadow {

namespace {

constexpr int maxRings = 8;

} // namespace

void paint(QPainter& painter, const QRectF& tile, double cornerRadius, const QColor& color, double opacity,
           double radius, double offsetY)
{
    if (opacity <= 0 || radius <= 0)
        return;
    const int rings = std::min(maxRings, std::max(1, int(std::ceil(radius / 2))));
    const QRectF base = tile.translated(0, offsetY);
    painter.save();
    painter.setPen(Qt::NoPen);
    // Each ring adds a little, so the centre carries most of the opacity and
    // the edge fades to nothing.
    for (int i = rings; i >= 1; --i) {
        const double grow = radius * double(i) / rings - radius / 2;
        QColor ring = color;
        ring.setAlphaF(float(opacity / rings));
        painter.setBrush(ring);
        const QRectF rect = base.adjusted(-grow, -grow, grow, grow);
        painter.drawPath(KitShapes::roundedRect(rect, std::max(0.0, cornerRadius + grow)));
    }
    painter.restore();
}

} // namespace TileShadow
