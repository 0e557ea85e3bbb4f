#include "ui/GlyphImage.h"

#include "ui/GlyphIconEngine.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

GlyphImage::GlyphImage(QSizeF size, Drawing drawing)
    : size_(size)
    , drawing_(std::move(drawing))
{
}

void GlyphImage::draw(QPainter& painter, const QRectF& target) const
{
    if (size_.isEmpty() || target.isEmpty())
        return;
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    painter.translate(target.topLeft());
    painter.scale(target.width() / size_.width(), target.height() / size_.height());
    drawing_(painter, QRectF(QPointF(0, 0), size_));
    painter.restore();
}

void GlyphImage::drawFitted(QPainter& painter, const QRectF& target) const
{
    if (size_.isEmpty() || target.isEmpty())
        return;
    const double scale = std::min(target.width() / size_.width(), target.height() / size_.height());
    QRectF fitted(QPointF(0, 0), size_ * scale);
    fitted.moveCenter(target.center());
    draw(painter, fitted);
}

QImage GlyphImage::render(double scale) const
{
    const QSize pixels(int(std::ceil(size_.width() * scale - 1e-9)), int(std::ceil(size_.height() * scale - 1e-9)));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    draw(painter, QRectF(QPointF(0, 0), size_));
    return image;
}

QIcon GlyphImage::icon() const
{
    return QIcon(new GlyphIconEngine(*this));
}
