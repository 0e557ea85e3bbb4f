#include "settings/TimeBar.h"

#include "ui/KitShapes.h"
#include "ui/Theme.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

TimeBar::TimeBar(double seconds, double total, const QColor& color, QWidget* parent)
    : QWidget(parent)
    , seconds_(seconds)
    , total_(total)
    , color_(color)
{
    setObjectName(QStringLiteral("timeBar"));
    setFixedHeight(int(height));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMinimumWidth(int(stub));
}

double TimeBar::scale(double sumOfSeconds)
{
    return std::isfinite(sumOfSeconds) ? std::max(sumOfSeconds, 1.0) : 1.0;
}

double TimeBar::fillWidth(double width, double seconds, double total)
{
    const double share = std::isfinite(seconds) && seconds > 0 && total > 0 ? seconds / total : 0;
    return std::max(width * share, stub);
}

void TimeBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = rect();
    KitShapes::fill(painter, KitShapes::capsule(track), Theme::barTrack());
    QColor fill = color_;
    fill.setAlphaF(0.85f);
    const QRectF bar(0, 0, std::min(fillWidth(), track.width()), track.height());
    KitShapes::fill(painter, KitShapes::capsule(bar), fill);
}
