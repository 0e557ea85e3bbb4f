#include "surfaces/NotchPanel.h"

#include "surfaces/NotchGeometry.h"
#include "surfaces/NotchLabelShape.h"
#include "ui/Theme.h"

#include <algorithm>
#include <cmath>

NotchPanel::NotchPanel(bool hidden)
    : FloatingPanel({.size = QSizeF(200, 32), .level = WindowLevel::notchLabel, .interactive = false, .shadow = false})
    , host_(new NotchLabelView)
{
    setObjectName(QStringLiteral("notchPanel"));
    setContentView(host_);
    setCardShape(
        [this](const QSizeF& size) {
            return NotchLabelShape{.outerSide = state().side, .radius = 10}.path(QRectF(QPointF(0, 0), size));
        },
        Theme::notchFill());
    if (hidden)
        setAlphaValue(0);
}

QRectF NotchPanel::frame(const QRectF& notch, NotchSide side, double labelWidth, double overlap)
{
    const double x = side == NotchSide::left ? notch.left() - labelWidth : notch.right() - overlap;
    return QRectF(x, notch.top(), labelWidth + overlap, notch.height());
}

void NotchPanel::show(const QRectF& notch, const Desktop& desktop, NotchSide side, NotchContent content)
{
    NotchState state = host_->label()->state();
    state.side = side;
    state.content = content;
    state.height = notch.height();
    state.desktop = desktop;
    shownDesktopID_ = desktop.id();
    host_->label()->setState(state);
    // The tooltip follows the name too (a rename, presentation mode), not
    // only the desktop's id.
    updateToolTip();

    const double fitting = NotchLabel::fittingWidth(state);
    const double overlap = NotchGeometry::overlap;
    const double labelWidth = std::max(0.0, std::ceil(std::min(NotchGeometry::maxLabelWidth + overlap, fitting)) - overlap);
    const QRectF wanted = frame(notch, side, labelWidth, overlap);
    if (FloatingPanel::frame() != wanted)
        setFrame(wanted);
    host_->setGeometry(0, 0, int(wanted.width()), int(wanted.height()));
    cardShapeChanged();
    if (!isOnScreen())
        orderFront();
}

void NotchPanel::setDoor(bool door)
{
    if (door == isDoor_)
        return;
    isDoor_ = door;
    setIgnoresMouseEvents(!door);
    updateToolTip();
}

QString NotchPanel::toolTipText() const
{
    const NotchState& now = state();
    if (!isDoor_ || !now.desktop)
        return {};
    return now.desktop->displayName() + QStringLiteral(" \u00B7 Desktop ") + QString::number(now.desktop->number)
        + QStringLiteral(" \u00B7 click for your desktops, right-click for the menu");
}

void NotchPanel::updateToolTip()
{
    const QString text = toolTipText();
    if (host_->toolTip() != text)
        host_->setToolTip(text);
}
