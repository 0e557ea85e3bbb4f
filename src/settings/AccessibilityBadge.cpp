#include "settings/AccessibilityBadge.h"

#include "settings/SettingsTexts.h"
#include "switching/Accessibility.h"
#include "ui/Glyph.h"
#include "ui/KitFocus.h"
#include "ui/KitShapes.h"
#include "ui/KitText.h"
#include "ui/Theme.h"

#include <QPainter>

#include <cmath>

namespace {

constexpr double dotSize = 7;
constexpr double gap = 7;
constexpr double padX = 10;
constexpr double padY = 7;
constexpr double radius = 9;
constexpr double textSize = 11.5;
constexpr double arrowSize = 9;
const QString arrowSymbol = QStringLiteral("arrow.up.forward");

QFont textFont()
{
    return Theme::font(textSize, QFont::Medium);
}

} // namespace

AccessibilityBadge::AccessibilityBadge(Accessibility& access, QWidget* parent)
    : QAbstractButton(parent)
    , access_(access)
{
    KitFocus::pressesOnReturn(*this);
    setObjectName(QStringLiteral("accessibilityBadge"));
    setCursor(Qt::PointingHandCursor);
    setText(SettingsTexts::accessibilityBadge(trusted()));
    connect(&access_, &Accessibility::trustedChanged, this, [this](bool isTrusted) {
        setText(SettingsTexts::accessibilityBadge(isTrusted));
        updateGeometry();
        update();
    });
    connect(this, &QAbstractButton::clicked, this, &AccessibilityBadge::activate);
}

bool AccessibilityBadge::trusted() const
{
    return access_.trusted();
}

void AccessibilityBadge::activate()
{
    if (!access_.trusted())
        access_.openSystemSettings();
}

QSize AccessibilityBadge::sizeHint() const
{
    const QSizeF label = KitText::measure(text(), textFont());
    double width = dotSize + gap + label.width();
    if (!trusted())
        width += gap + arrowSize;
    const double height = std::max(dotSize, label.height());
    return {int(std::ceil(width + 2 * padX)), int(std::ceil(height + 2 * padY))};
}

void AccessibilityBadge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    const bool isTrusted = trusted();
    KitShapes::fill(painter, KitShapes::roundedRect(bounds, radius), Theme::badgeWell());
    QColor border = Theme::amber();
    border.setAlphaF(0.4f);
    KitShapes::strokeBorder(painter, bounds, radius, isTrusted ? Theme::hairline() : border);

    const double middle = bounds.height() / 2;
    double x = padX;
    painter.setPen(Qt::NoPen);
    painter.setBrush(isTrusted ? Theme::mint() : Theme::amber());
    painter.drawEllipse(QRectF(x, middle - dotSize / 2, dotSize, dotSize));
    x += dotSize + gap;
    const QSizeF label = KitText::measure(text(), textFont());
    KitText::drawCentred(painter, text(), textFont(), Theme::textSecondary(), {x + label.width() / 2, middle});
    x += label.width() + gap;
    if (!isTrusted) {
        if (const GlyphImagePtr arrow = Glyph::symbolImage(arrowSymbol, arrowSize, Theme::textTertiary(), QFont::Bold))
            arrow->draw(painter, QRectF(x, middle - arrowSize / 2, arrowSize, arrowSize));
    }
    if (KitFocus::showsRing(*this))
        KitFocus::paintRing(painter, bounds, radius, Theme::focusRing());
}
