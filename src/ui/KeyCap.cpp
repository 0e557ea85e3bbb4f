#include "ui/KeyCap.h"

#include "ui/KitShapes.h"
#include "ui/KitText.h"
#include "ui/Theme.h"

#include <QPainter>

#include <cmath>

namespace {
constexpr double horizontalPadding = 6;
constexpr double verticalPadding = 2.5;
constexpr double capRadius = 5;
} // namespace

KeyCap::KeyCap(const QString& text, double size, QWidget* parent)
    : QWidget(parent)
    , text_(text)
    , size_(size)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QFont KeyCap::labelFont() const
{
    return Theme::displayFont(size_, QFont::DemiBold);
}

QSize KeyCap::sizeHint() const
{
    const QSizeF label = KitText::measure(text_, labelFont());
    return {int(std::ceil(label.width() + 2 * horizontalPadding)),
            int(std::ceil(label.height() + 2 * verticalPadding))};
}

void KeyCap::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QRectF bounds = rect();
    KitShapes::fill(painter, KitShapes::roundedRect(bounds, capRadius), Theme::hairline());
    KitShapes::strokeBorder(painter, bounds, capRadius, Theme::stroke());
    KitText::drawCentred(painter, text_, labelFont(), Theme::textSecondary(), bounds.center());
}
