#include "ui/IconButton.h"

#include "ui/Glyph.h"
#include "ui/KitFocus.h"
#include "ui/KitShapes.h"
#include "ui/Theme.h"

#include <QPainter>

#include <cmath>

namespace {
constexpr double radius = 8;
} // namespace

IconButton::IconButton(const QString& symbolName, double size, QWidget* parent)
    : QAbstractButton(parent)
    , symbolName_(symbolName)
    , size_(size)
{
    KitFocus::pressesOnReturn(*this);
    setFixedSize(sizeHint());
}

QSize IconButton::sizeHint() const
{
    const int side = int(std::ceil(size_));
    return {side, side};
}

void IconButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(0, 0, size_, size_);
    KitShapes::fill(painter, KitShapes::roundedRect(bounds, radius), isDown() ? Theme::fill() : Theme::wash());
    KitShapes::strokeBorder(painter, bounds, radius, Theme::hairline());
    if (KitFocus::showsRing(*this))
        KitFocus::paintRing(painter, bounds, radius, Theme::focusRing());
    if (const GlyphImagePtr symbol = Glyph::symbolImage(symbolName_, labelSize(), Theme::textSecondary())) {
        QRectF target(QPointF(0, 0), symbol->size());
        target.moveCenter(bounds.center());
        symbol->draw(painter, target);
    }
}
