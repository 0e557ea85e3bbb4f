#include "ui/KitText.h"

#include <QFontMetricsF>
#include <QPainter>

namespace KitText {

QSizeF measure(const QString& text, const QFont& font)
{
    const QFontMetricsF metrics(font);
    return {metrics.horizontalAdvance(text), metrics.height()};
}

void drawCentred(QPainter& painter, const QString& text, const QFont& font, const QColor& color, QPointF centre)
{
    const QFontMetricsF metrics(font);
    const QSizeF size(metrics.horizontalAdvance(text), metrics.height());
    painter.save();
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(QPointF(centre.x() - size.width() / 2, centre.y() - size.height() / 2 + metrics.ascent()), text);
    painter.restore();
}

} // namespace KitText
