#include "ui/AppIcon.h"

#include "ui/KitShapes.h"
#include "ui/Theme.h"
#include "ui/TintPalette.h"

#include <QGuiApplication>
#include <QPainter>

namespace AppIcon {

namespace {

constexpr double side = 64;
// In parts of the side: the corner radius, one square, and the gap between
// squares.
constexpr double cornerShare = 0.225;
constexpr double cellShare = 0.22;
constexpr double gapShare = 0.08;
constexpr double cellCornerShare = 0.3;

void drawMark(QPainter& painter, const QRectF& bounds)
{
    const TintPalette& palette = TintPalette::blue();
    const double size = std::min(bounds.width(), bounds.height());
    KitShapes::fill(painter, KitShapes::roundedRect(bounds, size * cornerShare), palette.gradient.over(bounds));
    const double cell = size * cellShare;
    const double gap = size * gapShare;
    const QPointF start = bounds.center() - QPointF(cell + gap / 2, cell + gap / 2);
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
            const QRectF square(start + QPointF(column * (cell + gap), row * (cell + gap)), QSizeF(cell, cell));
            KitShapes::fill(painter, KitShapes::roundedRect(square, cell * cellCornerShare),
                            Theme::currentTileBorder());
        }
    }
}

} // namespace

GlyphImagePtr image()
{
    static const GlyphImagePtr mark = std::make_shared<GlyphImage>(QSizeF(side, side), drawMark);
    return mark;
}

QIcon icon()
{
    return image()->icon();
}

void paint(QPainter& painter, const QRectF& rect)
{
    const QIcon running = QGuiApplication::windowIcon();
    if (running.isNull()) {
        image()->draw(painter, rect);
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    running.paint(&painter, rect.toRect());
    painter.restore();
}

} // namespace AppIcon
