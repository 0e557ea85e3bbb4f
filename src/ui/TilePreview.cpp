#include "ui/TilePreview.h"

#include <QGraphicsDropShadowEffect>
#include <QPainter>

#include <cmath>

namespace {
constexpr double shadowOpacity = 0.5;
constexpr double shadowRadius = 10;
constexpr double shadowDrop = 4;
} // namespace

TilePreview::TilePreview(double side, QWidget* parent)
    : QWidget(parent)
    , side_(side)
    , shadow_(new QGraphicsDropShadowEffect(this))
{
    const int pixels = int(std::ceil(side));
    setFixedSize(pixels, pixels);
    shadow_->setBlurRadius(shadowRadius);
    shadow_->setOffset(0, shadowDrop);
    setGraphicsEffect(shadow_);
}

void TilePreview::setTile(GlyphImagePtr tile, const QColor& shadowColor)
{
    tile_ = std::move(tile);
    QColor shadow = shadowColor;
    shadow.setAlphaF(float(shadowOpacity));
    shadow_->setColor(shadow);
    update();
}

QColor TilePreview::shadowColor() const
{
    return shadow_->color();
}

void TilePreview::paintEvent(QPaintEvent*)
{
    if (!tile_)
        return;
    QPainter painter(this);
    tile_->draw(painter, QRectF(0, 0, side_, side_));
}
