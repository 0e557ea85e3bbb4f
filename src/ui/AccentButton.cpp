#include "ui/AccentButton.h"

#include "ui/KitFocus.h"
#include "ui/KitShapes.h"
#include "ui/KitText.h"
#include "ui/Theme.h"
#include "ui/ViewEnvironment.h"

#include <QPainter>

#include <cmath>

namespace {
constexpr double horizontalPadding = 13;
constexpr double verticalPadding = 6.5;
constexpr double radius = 9;
constexpr double pressDuration = 0.12;

QFont labelFont()
{
    return Theme::font(12.5, QFont::DemiBold);
}
} // namespace

AccentButton::AccentButton(const QString& text, bool prominent, QWidget* parent)
    : QAbstractButton(parent)
    , prominent_(prominent)
    , press_(0, [this] { update(); })
{
    KitFocus::pressesOnReturn(*this);
    setText(text);
    setFont(labelFont());
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::pressed, this, [this] { press_.animateTo(1, pressDuration); });
    connect(this, &QAbstractButton::released, this, [this] { press_.animateTo(0, pressDuration); });
}

QSize AccentButton::sizeHint() const
{
    const QSizeF label = KitText::measure(text(), labelFont());
    return {int(std::ceil(label.width() + 2 * horizontalPadding)),
            int(std::ceil(label.height() + 2 * verticalPadding))};
}

void AccentButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const double pressed = press_.value();
    const QRectF bounds = rect();
    const double scale = 1 - 0.02 * pressed;
    painter.setOpacity(1 - 0.25 * pressed);
    painter.translate(bounds.center());
    painter.scale(scale, scale);
    painter.translate(-bounds.center());

    const TintPalette palette = ViewEnvironment::tintPalette(this);
    const QPainterPath shape = KitShapes::roundedRect(bounds, radius);
    if (prominent_)
        KitShapes::fill(painter, shape, palette.gradient.over(bounds));
    else
        KitShapes::fill(painter, shape, Theme::elevated());
    KitShapes::strokeBorder(painter, bounds, radius, prominent_ ? Theme::prominentBorder() : Theme::stroke());
    if (KitFocus::showsRing(*this))
        KitFocus::paintRing(painter, bounds, radius, prominent_ ? Theme::focusRingOnAccent() : Theme::focusRing());
    KitText::drawCentred(painter, text(), labelFont(), prominent_ ? palette.onTint : Theme::text(), bounds.center());
}
