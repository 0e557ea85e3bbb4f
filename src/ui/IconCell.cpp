#include "ui/IconCell.h"

#include "ui/KitFocus.h"
#include "ui/KitShapes.h"
#include "ui/Theme.h"
#include "ui/TintPalette.h"

#include <QPainter>

namespace {
constexpr double cornerRadius = 7;
constexpr double selectionWidth = 1.5;
} // namespace

IconCell::IconCell(const SpaceIcon& icon, GlyphImagePtr image, const QString& title, QWidget* parent)
    : QAbstractButton(parent)
    , icon_(icon)
    , image_(std::move(image))
{
    KitFocus::pressesOnReturn(*this);
    setToolTip(title);
    setFixedSize(sizeHint());
}

void IconCell::setImage(GlyphImagePtr image)
{
    image_ = std::move(image);
    update();
}

void IconCell::setSelected(bool selected)
{
    if (selected_ == selected)
        return;
    selected_ = selected;
    update();
}

QSize IconCell::sizeHint() const
{
    return {int(side), int(side)};
}

void IconCell::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(0, 0, side, side);
    // The editor's cells keep the blue accent whatever tint surrounds them.
    const TintPalette& accent = TintPalette::blue();
    KitShapes::fill(painter, KitShapes::roundedRect(bounds, cornerRadius),
                    selected_ ? accent.soft : Theme::cellWash());
    if (image_) {
        QRectF target(QPointF(0, 0), image_->size());
        target.moveCenter(bounds.center());
        image_->draw(painter, target);
    }
    if (selected_)
        KitShapes::strokeBorder(painter, bounds, cornerRadius, accent.color, selectionWidth);
    if (KitFocus::showsRing(*this))
        KitFocus::paintRing(painter, bounds, cornerRadius, selected_ ? Theme::focusRingOnAccent() : Theme::focusRing());
}
