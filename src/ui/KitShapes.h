#pragma once

#include <QBrush>
#include <QColor>
#include <QPainterPath>
#include <QRectF>

class QPainter;

// The kit's shapes: rounded rectangles with continuous corners (the curve
// starts further along the edge than a circular arc and eases into it) and
// borders drawn inside a shape's edge.
namespace KitShapes {

QPainterPath roundedRect(const QRectF& rect, double radius);
// A rounded rectangle whose radius is half its shorter side.
QPainterPath capsule(const QRectF& rect);

void fill(QPainter& painter, const QPainterPath& shape, const QBrush& brush);

// A line of the given width inside the rounded rectangle's edge: the shape
// inset by half the width (its radius too), flat ends, mitred joins.
void strokeBorder(QPainter& painter, const QRectF& rect, double radius, const QColor& color,
                  double width = 1);

} // namespace KitShapes
