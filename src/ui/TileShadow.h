#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

// The coloured shadow under a desktop tile: rings of the colour, fading out
// over the radius, drawn below the tile's rounded rectangle moved down by
// the offset. Cheap enough for a strip of dozens of tiles on every repaint.
namespace TileShadow {

void paint(QPainter& painter, const QRectF& tile, double cornerRadius, const QColor& color, double opacity,
           double radius, double offsetY);

} // namespace TileShadow
