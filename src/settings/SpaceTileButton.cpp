#include "settings/SpaceTileButton.h"

#include "ui/Glyph.h"
#include "ui/KitFocus.h"
#include "ui/Theme.h"
#include "ui/TileShadow.h"

#include <QPainter>

#include <cmath>

namespace {

constexpr double margin = 4;
constexpr double shadowRadius = 8;
constexpr double shadowOffset = 3;

} // namespace

SpaceTileButton::SpaceTileButton(const Desktop& desktop, double tileSize, QWidget* parent)
    : QAbstractButton(parent)
    , desktop_(desktop)
    , tileSize_(tileSize)
{
    KitFocus::pressesOnReturn(*this);
    setObjectName(QStringLiteral("tileButton"));
    setCursor(Qt::PointingHandCursor);
    setFixedSize(sizeHint());
}

void SpaceTileButton::setDesktop(const Desktop& desktop)
{
    desktop_ = desktop;
    update();
}

void SpaceTileButton::setShadowOpacity(double opacity)
{
    shadowOpacity_ = opacity;
    update();
}

QRectF SpaceTileButton::tileRect() const
{
    return {margin, margin, tileSize_, tileSize_};
}

QSize SpaceTileButton::sizeHint() const
{
    const int side = int(std::ceil(tileSize_ + 2 * margin));
    return {side, side};
}

void SpaceTileButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF tile = tileRect();
    TileShadow::paint(painter, tile, tileSize_ * Glyph::tileRadiusRatio, desktop_.tileColor(), shadowOpacity_,
                      shadowRadius, shadowOffset);
    if (const GlyphImagePtr image = Glyph::image(desktop_, std::nullopt, false, tileSize_))
        image->draw(painter, tile);
    if (KitFocus::showsRing(*this))
        KitFocus::paintRing(painter, tile, tileSize_ * Glyph::tileRadiusRatio, Theme::focusRingOnAccent());
}
