#include "ui/SoftButton.h"

#include "ui/KitFocus.h"
#include "ui/KitShapes.h"
#include "ui/KitText.h"
#include "ui/Theme.h"

#include <QPainter>

#include <cmath>

namespace {
constexpr double horizontalPadding = 10;
constexpr double verticalPadding = 6;
constexpr double radius = 8;

QFont labelFont()
{
    return Theme::font(12, QFont::Medium);
}
} // namespace

SoftButton::SoftButton(const QString& text, QWidget* parent)
    : QAbstractButton(parent)
{
    KitFocus::pressesOnReturn(*this);
    setText(text);
    setFont(labelFont());
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SoftButton::sizeHint() const
{
    const QSizeF label = KitText::measure(text(), labelFont());
    return {int(std::ceil(label.width() + 2 * horizontalPadding)),
            int(std::ceil(label.height() + 2 * verticalPadding))};
}

void SoftButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QRectF bounds = rect();
    KitShapes::fill(painter, KitShapes::roundedRect(bounds, radius), isDown() ? Theme::fill() : Theme::wash());
    KitShapes::strokeBorder(painter, bounds, radius, Theme::hairline());
    if (KitFocus::showsRing(*this))
        KitFocus::paintRing(painter, bounds, radius, Theme::focusRing());
    KitText::drawCentred(painter, text(), labelFont(), Theme::textSecondary(), bounds.center());
}
