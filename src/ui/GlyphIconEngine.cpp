#include "ui/GlyphIconEngine.h"

#include <QPainter>
#include <QPixmap>

GlyphIconEngine::GlyphIconEngine(GlyphImage image)
    : image_(std::move(image))
{
}

void GlyphIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State)
{
    image_.draw(*painter, fitted(rect));
}

QPixmap GlyphIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paint(&painter, QRect(QPoint(0, 0), size), mode, state);
    return pixmap;
}

QSize GlyphIconEngine::actualSize(const QSize& size, QIcon::Mode, QIcon::State)
{
    return fitted(QRectF(QPointF(0, 0), size)).size().toSize();
}

QIconEngine* GlyphIconEngine::clone() const
{
    return new GlyphIconEngine(image_);
}

QRectF GlyphIconEngine::fitted(const QRectF& rect) const
{
    QSizeF size = image_.size();
    if (size.isEmpty())
        return {};
    size.scale(rect.size(), Qt::KeepAspectRatio);
    QRectF target(QPointF(0, 0), size);
    target.moveCenter(rect.center());
    return target;
}
