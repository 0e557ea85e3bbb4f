#include "ui/AppIconsRow.h"

#include "ui/BadgeBubble.h"
#include "ui/KitFonts.h"
#include "ui/Theme.h"
#include "ui/Transition.h"

#include <QFontMetricsF>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {
constexpr double spacing = 3;
constexpr double hoverScale = 1.35;
constexpr double hoverDuration = 0.12;
constexpr double badgeOffset = 4;

QFont overflowFont()
{
    return KitFonts::system(9.5, QFont::DemiBold);
}

// A soft black silhouette of the icon, blurred by scaling it down and up.
QImage shadowOf(const QImage& icon, QSize pixels)
{
    QImage mask = icon.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                      .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter tint(&mask);
    tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
    tint.fillRect(mask.rect(), Theme::shadowInk());
    tint.end();
    const QSize small(std::max(1, pixels.width() / 3), std::max(1, pixels.height() / 3));
    return mask.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}
} // namespace

AppIconsRow::AppIconsRow(const QList<SpaceApp>& apps, double size, bool showsOverflow, OpenHandler onOpen,
                         int limit, QWidget* parent)
    : QWidget(parent)
    , size_(size)
    , onOpen_(std::move(onOpen))
{
    const qsizetype taken = std::clamp<qsizetype>(limit, 0, apps.size());
    for (qsizetype i = 0; i < taken; ++i) {
        if (!apps[i].icon.isNull())
            shown_.append(apps[i]);
    }
    if (showsOverflow && apps.size() > limit)
        overflowText_ = QStringLiteral("+") + QString::number(apps.size() - std::max(limit, 0));
    if (onOpen_) {
        setMouseTracking(true);
        for (qsizetype i = 0; i < shown_.size(); ++i)
            hover_.push_back(std::make_unique<Transition>(0, [this] { update(); }));
    }
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

AppIconsRow::~AppIconsRow() = default;

int AppIconsRow::overhang() const
{
    return int(std::ceil(std::max(badgeOffset, size_ * (hoverScale - 1) / 2)));
}

double AppIconsRow::overflowWidth() const
{
    return overflowText_.isEmpty() ? 0 : QFontMetricsF(overflowFont()).horizontalAdvance(overflowText_);
}

double AppIconsRow::contentHeight() const
{
    const double text = overflowText_.isEmpty() ? 0 : QFontMetricsF(overflowFont()).height();
    return std::max(shown_.isEmpty() ? 0 : size_, text);
}

QSize AppIconsRow::sizeHint() const
{
    const qsizetype parts = shown_.size() + (overflowText_.isEmpty() ? 0 : 1);
    const double width = shown_.size() * size_ + overflowWidth() + std::max<qsizetype>(parts - 1, 0) * spacing;
    const int margin = overhang();
    return {int(std::ceil(width)) + 2 * margin, int(std::ceil(contentHeight())) + 2 * margin};
}

QRectF AppIconsRow::itemRect(qsizetype index) const
{
    const double margin = overhang();
    return {margin + index * (size_ + spacing), margin + (contentHeight() - size_) / 2, size_, size_};
}

void AppIconsRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    for (qsizetype i = 0; i < shown_.size(); ++i)
        paintItem(painter, i);
    if (overflowText_.isEmpty())
        return;
    const QFontMetricsF metrics(overflowFont());
    const double left = overhang() + shown_.size() * (size_ + spacing);
    const double top = overhang() + (contentHeight() - metrics.height()) / 2;
    painter.setFont(overflowFont());
    painter.setPen(Theme::textTertiary());
    painter.drawText(QPointF(left, top + metrics.ascent()), overflowText_);
}

void AppIconsRow::paintItem(QPainter& painter, qsizetype index)
{
    const SpaceApp& app = shown_[index];
    const QRectF frame = itemRect(index);
    const double amount = hover_.empty() ? 0 : hover_[size_t(index)]->value();
    QRectF icon = frame;
    if (amount > 0) {
        const double scale = 1 + (hoverScale - 1) * amount;
        icon.setSize(frame.size() * scale);
        icon.moveCenter(frame.center());
        const QSize pixels = (icon.size() * devicePixelRatioF()).toSize();
        painter.save();
        painter.setOpacity(0.5 * amount);
        painter.drawImage(icon.translated(0, 1), shadowOf(app.icon, pixels));
        painter.restore();
    }
    painter.drawImage(icon, app.icon);
    if (app.badge) {
        const QSizeF bubble = BadgeBubble::sizeFor(*app.badge);
        const QRectF badge(frame.right() + badgeOffset - bubble.width(), frame.top() - badgeOffset, bubble.width(),
                           bubble.height());
        BadgeBubble::paint(painter, badge, *app.badge);
    }
}

qsizetype AppIconsRow::itemAt(QPointF point) const
{
    for (qsizetype i = 0; i < shown_.size(); ++i) {
        if (itemRect(i).contains(point))
            return i;
    }
    return -1;
}

void AppIconsRow::setHovered(qsizetype index)
{
    if (index == hovered_ || hover_.empty())
        return;
    if (hovered_ >= 0)
        hover_[size_t(hovered_)]->animateTo(0, hoverDuration);
    hovered_ = index;
    if (hovered_ >= 0)
        hover_[size_t(hovered_)]->animateTo(1, hoverDuration);
}

void AppIconsRow::mouseMoveEvent(QMouseEvent* event)
{
    setHovered(itemAt(event->position()));
}

void AppIconsRow::leaveEvent(QEvent*)
{
    setHovered(-1);
}

void AppIconsRow::mousePressEvent(QMouseEvent* event)
{
    pressed_ = onOpen_ && event->button() == Qt::LeftButton ? itemAt(event->position()) : -1;
    if (pressed_ < 0)
        event->ignore();
}

void AppIconsRow::mouseReleaseEvent(QMouseEvent* event)
{
    const qsizetype released = itemAt(event->position());
    const bool clicked = pressed_ >= 0 && released == pressed_ && event->button() == Qt::LeftButton;
    pressed_ = -1;
    if (!clicked)
        return;
    // Copies: opening an app may rebuild the view that holds this row.
    const SpaceApp app = shown_[released];
    const OpenHandler open = onOpen_;
    open(app);
}

bool AppIconsRow::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const qsizetype index = itemAt(help->pos());
    if (index < 0) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(help->globalPos(), helpText(index), this, itemRect(index).toRect());
    return true;
}

QString AppIconsRow::helpText(qsizetype index) const
{
    const QString& name = shown_[index].name;
    return onOpen_ ? QStringLiteral("Open ") + name + QStringLiteral(" here") : name;
}
