#include "surfaces/HoverStripItem.h"

#include "platform/OneLineText.h"
#include "surfaces/HoverStripAppIcon.h"
#include "ui/KitShapes.h"
#include "ui/SpaceGlyph.h"
#include "ui/Theme.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr double paddingX = 3;
constexpr double paddingY = 4;
constexpr double spacing = 5;
constexpr double tileRadius = 9;
constexpr double tileBorderWidth = 1.5;
constexpr double glowRadius = 6;
constexpr double hoverScale = 1.05;
constexpr double tileHoverDuration = 0.12;
constexpr double otherTileOpacity = 0.78;
// App icons overlap: each starts this far after the one before.
constexpr double iconStep = HoverStripAppIcon::backingSide - 5;
constexpr double iconInset = 3;
constexpr double glyphPointSize = 16;
} // namespace

HoverStripItem::HoverStripItem(const Desktop& desktop, const QList<SpaceApp>& apps, SelectHandler onSelect,
                               OpenHandler onOpen, QWidget* parent)
    : QWidget(parent)
    , desktop_(desktop)
    , apps_(apps)
    , onSelect_(std::move(onSelect))
    , scale_(1, [this] { update(); })
{
    setObjectName(QStringLiteral("stripItem"));
    setAttribute(Qt::WA_Hover);
    setToolTip(platform::OneLineText::shown(desktop.displayName()) + QStringLiteral(" · Desktop ")
               + QString::number(desktop.number));
    setFixedSize(sizeHint());

    const QRectF tile = tileRect();
    glyph_ = new SpaceGlyph(desktop, glyphPointSize, 1.0, this);
    glyph_->setAttribute(Qt::WA_TransparentForMouseEvents);
    const QSize glyphSize = glyph_->sizeHint();
    glyph_->setGeometry(QRectF(tile.center() - QPointF(glyphSize.width() / 2.0, glyphSize.height() / 2.0),
                               QSizeF(glyphSize))
                            .toRect());

    QList<SpaceApp> withIcons;
    for (qsizetype i = 0; i < std::min<qsizetype>(apps.size(), appLimit); ++i) {
        if (!apps[i].icon.isNull())
            withIcons.append(apps[i]);
    }
    if (withIcons.isEmpty())
        return;
    const double rowWidth = HoverStripAppIcon::backingSide + iconStep * double(withIcons.size() - 1);
    const double rowLeft = tile.right() - iconInset - rowWidth;
    const double rowTop = tile.bottom() - iconInset - HoverStripAppIcon::backingSide;
    for (qsizetype i = 0; i < withIcons.size(); ++i) {
        const SpaceApp app = withIcons[i];
        const Desktop onDesktop = desktop;
        auto* icon = new HoverStripAppIcon(app, [onOpen, app, onDesktop] {
            if (onOpen)
                onOpen(app, onDesktop);
        }, this);
        const QPointF at(rowLeft + iconStep * double(i) - HoverStripAppIcon::margin,
                         rowTop - HoverStripAppIcon::margin);
        icon->move(at.toPoint());
        icons_.append(icon);
    }
}

QFont HoverStripItem::nameFont() const
{
    return Theme::font(10.5, desktop_.isCurrent ? QFont::DemiBold : QFont::Medium);
}

double HoverStripItem::nameHeight() const
{
    return std::ceil(QFontMetricsF(nameFont()).height());
}

QSize HoverStripItem::sizeHint() const
{
    const double w = std::max(tileWidth, nameWidth) + 2 * paddingX;
    const double h = paddingY + tileHeight + spacing + nameHeight() + paddingY;
    return {int(std::ceil(w)), int(std::ceil(h))};
}

QRectF HoverStripItem::tileRect() const
{
    const double w = std::max(tileWidth, nameWidth) + 2 * paddingX;
    return {(w - tileWidth) / 2, paddingY, tileWidth, tileHeight};
}

bool HoverStripItem::hasBadgedApp() const
{
    return std::any_of(apps_.begin(), apps_.end(), [](const SpaceApp& app) { return app.badge.has_value(); });
}

std::optional<QColor> HoverStripItem::borderColor() const
{
    if (desktop_.isCurrent)
        return Theme::stripCurrentBorder();
    if (hasBadgedApp()) {
        QColor red = Theme::red();
        red.setAlphaF(0.95f);
        return red;
    }
    if (hovering_)
        return Theme::stripHoverBorder();
    return std::nullopt;
}

bool HoverStripItem::hasGlow() const
{
    return !desktop_.isCurrent && hasBadgedApp();
}

void HoverStripItem::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QRectF tile = tileRect();
    painter.save();
    const double scale = scale_.value();
    painter.translate(tile.center());
    painter.scale(scale, scale);
    painter.translate(-tile.center());
    if (hasGlow()) {
        // A soft red halo: rings fading outwards.
        QColor glow = Theme::red();
        for (int ring = int(glowRadius); ring >= 1; --ring) {
            glow.setAlphaF(float(0.55 * 0.25 * (1.0 - double(ring - 1) / glowRadius)));
            KitShapes::fill(painter, KitShapes::roundedRect(tile.adjusted(-ring, -ring, ring, ring), tileRadius + ring),
                            glow);
        }
    }
    QColor fill = desktop_.swatchColor();
    fill.setAlphaF(float(fill.alphaF() * (desktop_.isCurrent ? 1.0 : otherTileOpacity)));
    KitShapes::fill(painter, KitShapes::roundedRect(tile, tileRadius), fill);
    if (const auto border = borderColor())
        KitShapes::strokeBorder(painter, tile, tileRadius, *border, tileBorderWidth);
    painter.restore();

    const QRectF name(0, tile.bottom() + spacing, width(), nameHeight());
    painter.setFont(nameFont());
    painter.setPen(desktop_.isCurrent ? Theme::text() : Theme::textSecondary());
    const QString shown = QFontMetricsF(nameFont()).elidedText(desktop_.displayName(), Qt::ElideRight, nameWidth);
    painter.drawText(name, Qt::AlignHCenter | Qt::AlignVCenter, shown);
}

void HoverStripItem::enterEvent(QEnterEvent*)
{
    hovering_ = true;
    scale_.animateTo(hoverScale, tileHoverDuration);
    update();
}

void HoverStripItem::leaveEvent(QEvent*)
{
    hovering_ = false;
    scale_.animateTo(1.0, tileHoverDuration);
    update();
}

void HoverStripItem::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton;
}

void HoverStripItem::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click && onSelect_) {
        const auto select = onSelect_;
        select(desktop_);
    }
}
