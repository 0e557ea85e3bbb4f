#include "surfaces/HoverStripAppIcon.h"

#include "ui/BadgeBubble.h"
#include "ui/Theme.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace {
constexpr double hoverDuration = 0.12;
} // namespace

HoverStripAppIcon::HoverStripAppIcon(const SpaceApp& app, std::function<void()> onOpen, QWidget* parent)
    : QWidget(parent)
    , app_(app)
    , onOpen_(std::move(onOpen))
    , scale_(1, [this] { update(); })
{
    setObjectName(QStringLiteral("stripAppIcon"));
    setToolTip(QStringLiteral("Open ") + app.name + QStringLiteral(" here"));
    setAttribute(Qt::WA_Hover);
    resize(sizeHint());
}

QRectF HoverStripAppIcon::backingRect()
{
    return {margin, margin, backingSide, backingSide};
}

QSize HoverStripAppIcon::sizeHint() const
{
    const int side = int(std::ceil(backingSide + 2 * margin));
    return {side, side};
}

void HoverStripAppIcon::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QRectF backing = backingRect();
    const double scale = scale_.value();
    painter.translate(backing.center());
    painter.scale(scale, scale);
    painter.translate(-backing.center());
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::stripIconBacking());
    painter.drawEllipse(backing);
    painter.drawImage(backing.adjusted(1, 1, -1, -1), app_.icon);
    if (app_.badge) {
        const QSizeF size = BadgeBubble::sizeFor(*app_.badge);
        const QRectF badge(QPointF(backing.right() + 4 - size.width(), backing.top() - 4), size);
        BadgeBubble::paint(painter, badge, *app_.badge);
    }
}

void HoverStripAppIcon::setHovering(bool hovering)
{
    if (hovering_ == hovering)
        return;
    hovering_ = hovering;
    // The grown icon draws over its neighbours.
    if (hovering)
        raise();
    scale_.animateTo(hovering ? hoverScale : 1.0, hoverDuration);
}

void HoverStripAppIcon::enterEvent(QEnterEvent*)
{
    setHovering(true);
}

void HoverStripAppIcon::leaveEvent(QEvent*)
{
    setHovering(false);
}

void HoverStripAppIcon::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton;
}

void HoverStripAppIcon::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click && onOpen_) {
        const auto open = onOpen_;
        open();
    }
}
