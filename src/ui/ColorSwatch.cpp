#include "ui/ColorSwatch.h"

#include "store/Palette.h"
#include "ui/KitFocus.h"
#include "ui/KitFonts.h"
#include "ui/KitText.h"
#include "ui/Theme.h"

#include <QPainter>

namespace {

constexpr double transparentRingWidth = 1.5;
constexpr double selectionRingWidth = 2;

QRectF centred(const QRectF& within, double side)
{
    QRectF square(0, 0, side, side);
    square.moveCenter(within.center());
    return square;
}

// A circle stroked inside its frame.
void strokeCircleInside(QPainter& painter, const QRectF& frame, QPen pen)
{
    const double inset = pen.widthF() / 2;
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(frame.adjusted(inset, inset, -inset, -inset));
}

} // namespace

ColorSwatch::ColorSwatch(const TileColor& choice, const QColor& color, QWidget* parent)
    : QAbstractButton(parent)
    , choice_(choice)
    , color_(color)
{
    KitFocus::pressesOnReturn(*this);
    setToolTip(tooltip(choice));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QString ColorSwatch::tooltip(const TileColor& choice)
{
    switch (choice.kind()) {
    case TileColor::Kind::automatic:
        return QStringLiteral("Automatic");
    case TileColor::Kind::transparent:
        return QStringLiteral("Transparent \u2014 just your icon or picture");
    case TileColor::Kind::palette:
        return Palette::names().value(Palette::position(choice.paletteIndex()));
    }
    return {};
}

void ColorSwatch::setSelected(bool selected)
{
    if (selected_ == selected)
        return;
    selected_ = selected;
    update();
}

QSize ColorSwatch::sizeHint() const
{
    return {int(frameSide), int(frameSide)};
}

QRectF ColorSwatch::frame() const
{
    return centred(QRectF(rect()), frameSide);
}

bool ColorSwatch::hitButton(const QPoint& pos) const
{
    return frame().contains(pos);
}

void ColorSwatch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QRectF square = frame();
    const QRectF dot = centred(square, dotSide);
    if (choice_.kind() == TileColor::Kind::transparent) {
        QPen dashed(Theme::swatchRing(), transparentRingWidth, Qt::CustomDashLine, Qt::FlatCap);
        // Dash lengths are in line widths: 3 points on, 2 off.
        dashed.setDashPattern({3 / transparentRingWidth, 2 / transparentRingWidth});
        strokeCircleInside(painter, dot, dashed);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color_);
        painter.drawEllipse(dot);
    }
    if (choice_.kind() == TileColor::Kind::automatic)
        KitText::drawCentred(painter, QStringLiteral("A"), KitFonts::system(9, QFont::Bold), Theme::onColour(), dot.center());
    if (selected_)
        strokeCircleInside(painter, square, QPen(Theme::swatchSelection(), selectionRingWidth));
    // Between the dot and the selection ring, so both stay visible.
    if (KitFocus::showsRing(*this)) {
        strokeCircleInside(painter, centred(square, dotSide + 2 * KitFocus::ringWidth),
                           QPen(Theme::focusRing(), KitFocus::ringWidth));
    }
}
