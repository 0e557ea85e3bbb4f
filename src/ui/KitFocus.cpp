#include "ui/KitFocus.h"

#include "ui/KitShapes.h"

#include <QWidget>

namespace KitFocus {

bool showsRing(const QWidget& widget)
{
    // Qt marks a window once focus moved in it by key.
    return widget.hasFocus() && widget.window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void paintRing(QPainter& painter, const QRectF& rect, double radius, const QColor& color)
{
    KitShapes::strokeBorder(painter, rect, radius, color, ringWidth);
}

} // namespace KitFocus
