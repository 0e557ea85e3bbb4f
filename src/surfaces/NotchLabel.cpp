#include "surfaces/NotchLabel.h"

#include "surfaces/NotchLabelShape.h"
#include "ui/Glyph.h"
#include "ui/KitFonts.h"
#include "ui/Theme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {


QFont labelFont() { return KitFonts::system(NotchLabel::fontSize, QFont::DemiBold); }

double leadingPadding(NotchSide side)
{
    return side == NotchSide::right ? NotchLabel::notchPadding : NotchLabel::outerPadding;
}

double trailingPadding(NotchSide side)
{
    return side == NotchSide::left ? NotchLabel::notchPadding : NotchLabel::outerPadding;
}

} // namespace

NotchLabel::NotchLabel(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("notchLabel"));
    setAttribute(Qt::WA_TranslucentBackground);
}

void NotchLabel::setState(const NotchState& state)
{
    state_ = state;
    updateGeometry();
    update();
}

double NotchLabel::fittingWidth(const NotchState& state)
{
    if (!state.desktop)
        return 0;
    double row = 0;
    if (showsIcon(state.content))
        row += iconSize;
    if (showsName(state.content)) {
        if (row > 0)
            row += spacing;
        row += QFontMetricsF(labelFont()).horizontalAdvance(state.desktop->displayName());
    }
    return std::min(maxWidth, leadingPadding(state.side) + row + trailingPadding(state.side));
}

QSize NotchLabel::sizeHint() const
{
    return QSize(int(std::ceil(fittingWidth(state_))), int(std::ceil(state_.height)));
}

void NotchLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    painter.fillPath(NotchLabelShape{.outerSide = state_.side, .radius = 10}.path(bounds), Theme::notchFill());
    if (!state_.desktop)
        return;
    const Desktop& desktop = *state_.desktop;
    double x = bounds.left() + leadingPadding(state_.side);
    const double right = bounds.right() - trailingPadding(state_.side);
    if (showsIcon(state_.content)) {
        const QRectF iconRect(x, bounds.center().y() - iconSize / 2, iconSize, iconSize);
        if (const GlyphImagePtr image = Glyph::image(desktop, iconRadius, false, iconSize)) {
            QPainterPath clip;
            clip.addRoundedRect(iconRect, iconRadius, iconRadius);
            painter.save();
            painter.setClipPath(clip);
            image->draw(painter, iconRect);
            painter.restore();
        }
        x += iconSize + spacing;
    }
    if (showsName(state_.content)) {
        const QFont font = labelFont();
        painter.setFont(font);
        painter.setPen(Theme::notchText());
        const QRectF textRect(x, bounds.top(), std::max(0.0, right - x), bounds.height());
        const QString text = QFontMetricsF(font).elidedText(desktop.displayName(), Qt::ElideRight, textRect.width());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    }
}
