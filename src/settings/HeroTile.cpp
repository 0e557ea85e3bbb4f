#include "settings/HeroTile.h"

#include "settings/EditorPopover.h"
#include "settings/SettingsTexts.h"
#include "ui/Glyph.h"
#include "ui/KitFonts.h"
#include "ui/KitShapes.h"
#include "ui/Theme.h"
#include "ui/TileShadow.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace {

constexpr double captionSize = 10.5;
constexpr double borderRadius = 11;
constexpr double borderWidth = 1.5;
constexpr double shadowRadius = 10;
constexpr double shadowOffset = 4;
constexpr double animationSeconds = 0.12;
// Room above the tile for its growth.
constexpr double topInset = 2;

QFont captionFont(bool current)
{
    return Theme::font(captionSize, current ? QFont::DemiBold : QFont::Normal);
}

} // namespace

HeroTile::HeroTile(const Desktop& desktop, QWidget* parent)
    : QWidget(parent)
    , desktop_(desktop)
    , scale_(1.0, [this] { update(); })
{
    setObjectName(QStringLiteral("heroTile"));
    setAttribute(Qt::WA_Hover);
    setFixedSize(sizeHint());
    refreshTooltip();
}

HeroTile::~HeroTile()
{
    if (popover_)
        popover_->dismissSilently();
}

void HeroTile::setDesktop(const Desktop& desktop)
{
    desktop_ = desktop;
    picture_ = QPixmap();
    refreshTooltip();
    update();
}

QString HeroTile::caption() const
{
    return SettingsTexts::heroCaption(desktop_.hasName(), desktop_.displayName(), desktop_.number);
}

QRectF HeroTile::tileRect() const
{
    return {(captionWidth - tileSize) / 2, topInset, tileSize, tileSize};
}

QSize HeroTile::preferredSize()
{
    const double captionHeight = std::ceil(QFontMetricsF(captionFont(true)).height());
    return {int(captionWidth), int(std::ceil(topInset + tileSize + spacing + captionHeight))};
}

void HeroTile::openEditor()
{
    if (editing_)
        return;
    editing_ = true;
    QPointer<HeroTile> weak(this);
    popover_ = new EditorPopover(desktop_, this, EditorPopover::Edge::bottom, [weak] {
        if (!weak)
            return;
        weak->editing_ = false;
        weak->update();
    });
    popover_->open();
}

void HeroTile::setHovering(bool hovering)
{
    if (hovering == hovering_)
        return;
    hovering_ = hovering;
    picture_ = QPixmap();
    scale_.animateTo(hovering ? hoverScale : 1.0, animationSeconds);
    update();
}

void HeroTile::refreshTooltip()
{
    setToolTip(SettingsTexts::heroTooltip(desktop_.displayName()));
}

void HeroTile::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    setHovering(true);
}

void HeroTile::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setHovering(false);
}

void HeroTile::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && tileRect().contains(event->position()))
        openEditor();
}

const QPixmap& HeroTile::tilePicture(double devicePixelRatio)
{
    if (!picture_.isNull() && picture_.devicePixelRatio() == devicePixelRatio)
        return picture_;
    const QRectF tile = tileRect();
    const QSize side(int(captionWidth), int(std::ceil(tile.bottom() + shadowRadius + shadowOffset)));
    QPixmap picture(side * devicePixelRatio);
    picture.setDevicePixelRatio(devicePixelRatio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool strong = hovering_ || desktop_.isCurrent;
    TileShadow::paint(painter, tile, tileSize * Glyph::tileRadiusRatio, desktop_.tileColor(), strong ? 0.55 : 0.2,
                      shadowRadius, shadowOffset);
    if (const GlyphImagePtr image = Glyph::image(desktop_, std::nullopt, false, tileSize))
        image->draw(painter, tile);
    if (desktop_.isCurrent) {
        KitShapes::strokeBorder(painter, tile, borderRadius, Theme::currentTileBorder(), borderWidth);
    }
    painter.end();
    picture_ = picture;
    return picture_;
}

void HeroTile::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF tile = tileRect();
    const double scale = scale_.value();
    painter.save();
    painter.translate(tile.center());
    painter.scale(scale, scale);
    painter.translate(-tile.center());
    painter.drawPixmap(QPointF(0, 0), tilePicture(painter.device()->devicePixelRatioF()));
    painter.restore();

    const QFont font = captionFont(desktop_.isCurrent);
    painter.setFont(font);
    painter.setPen(desktop_.isCurrent ? Theme::text() : Theme::textTertiary());
    const QRectF captionRect(0, tile.bottom() + spacing, captionWidth, height() - tile.bottom() - spacing);
    const QString text = QFontMetricsF(font).elidedText(caption(), Qt::ElideRight, captionWidth);
    painter.drawText(captionRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, text);
}
