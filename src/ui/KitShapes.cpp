#include "ui/KitShapes.h"

#include <QPainter>

#include <algorithm>

namespace KitShapes {

namespace {
// How far along each edge a continuous corner starts, in radii. The control
// points are placed so that the curve's middle meets the circular arc's.
constexpr double cornerReach = 1.28;
constexpr double arcMiddle = 1.0 - 0.70710678118654752; // 1 - 1/sqrt(2)

struct Corner {
    double reach;
    double control;
};

Corner cornerFor(double radius, double shorterSide)
{
    const double reach = std::min(cornerReach, shorterSide / 2 / radius);
    // Bezier middle: (reach + 3 control) / 8 == arcMiddle.
    return {reach, (8 * arcMiddle - reach) / 3};
}
} // namespace

QPainterPath roundedRect(const QRectF& rect, double radius)
{
    QPainterPath path;
    const double shorter = std::min(rect.width(), rect.height());
    radius = std::min(radius, shorter / 2);
    if (radius <= 0 || rect.isEmpty()) {
        path.addRect(rect);
        return path;
    }
    const Corner corner = cornerFor(radius, shorter);
    const double reach = corner.reach * radius;
    const double control = corner.control * radius;
    const double left = rect.left(), right = rect.right(), top = rect.top(), bottom = rect.bottom();

    path.moveTo(left + reach, top);
    path.lineTo(right - reach, top);
    path.cubicTo(right - control, top, right, top + control, right, top + reach);
    path.lineTo(right, bottom - reach);
    path.cubicTo(right, bottom - control, right - control, bottom, right - reach, bottom);
    path.lineTo(left + reach, bottom);
    path.cubicTo(left + control, bottom, left, bottom - control, left, bottom - reach);
    path.lineTo(left, top + reach);
    path.cubicTo(left, top + control, left + control, top, left + reach, top);
    path.closeSubpath();
    return path;
}

QPainterPath capsule(const QRectF& rect)
{
    return roundedRect(rect, std::min(rect.width(), rect.height()) / 2);
}

void fill(QPainter& painter, const QPainterPath& shape, const QBrush& brush)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(shape, brush);
    painter.restore();
}

void strokeBorder(QPainter& painter, const QRectF& rect, double radius, const QColor& color, double width)
{
    const double inset = width / 2;
    QPen pen(color, width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(roundedRect(rect.adjusted(inset, inset, -inset, -inset), std::max(0.0, radius - inset)));
    painter.restore();
}

} // namespace KitShapes
