#include "settings/UpdateProgress.h"

#include "store/Timers.h"
#include "ui/KitShapes.h"
#include "ui/Theme.h"
#include "ui/TintPalette.h"

#include <QPainter>
#include <QPointer>

#include <algorithm>
#include <cmath>

namespace {
constexpr int turnSteps = 12;
} // namespace

UpdateProgress::UpdateProgress(Style style, QWidget* parent)
    : QWidget(parent)
    , style_(style)
{
    setObjectName(style == Style::bar ? QStringLiteral("downloadProgress") : QStringLiteral("installProgress"));
    setFixedSize(sizeHint());
}

UpdateProgress::~UpdateProgress() = default;

QSize UpdateProgress::sizeHint() const
{
    return style_ == Style::bar ? QSize(barWidth, barHeight) : QSize(busySize, busySize);
}

void UpdateProgress::setFraction(double fraction)
{
    fraction_ = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    update();
}

void UpdateProgress::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (style_ != Style::busy || timer_)
        return;
    QPointer<UpdateProgress> self(this);
    timer_ = RepeatingTimer::start(turnInterval, std::nullopt, [self] {
        if (!self)
            return;
        self->turn_ = (self->turn_ + 1) % turnSteps;
        self->update();
    });
}

void UpdateProgress::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    timer_.reset();
}

void UpdateProgress::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    if (style_ == Style::bar) {
        KitShapes::fill(painter, KitShapes::capsule(bounds), Theme::barTrack());
        if (fraction_ > 0) {
            const QRectF filled(bounds.left(), bounds.top(), std::max(bounds.height(), bounds.width() * fraction_),
                                bounds.height());
            KitShapes::fill(painter, KitShapes::capsule(filled), TintPalette::blue().color);
        }
        return;
    }
    const double pen = 2;
    const QRectF ring = bounds.adjusted(pen, pen, -pen, -pen);
    painter.setPen(QPen(Theme::barTrack(), pen));
    painter.drawEllipse(ring);
    painter.setPen(QPen(TintPalette::blue().color, pen, Qt::SolidLine, Qt::RoundCap));
    const int start = 90 * 16 - turn_ * (360 * 16 / turnSteps);
    painter.drawArc(ring, start, -100 * 16);
}
