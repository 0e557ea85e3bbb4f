#include "platform/Layer.h"

#include "platform/Scheduler.h"
#include "platform/Transaction.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

// The cubic Bézier timing curves with control points (x1, y1) and (x2, y2).
double bezier(double a, double b, double t)
{
    const double u = 1 - t;
    return 3 * u * u * t * a + 3 * u * t * t * b + t * t * t;
}

double solveCurve(double x1, double y1, double x2, double y2, double x)
{
    // Bisection on the x curve: monotone for these control points.
    double low = 0;
    double high = 1;
    double t = x;
    for (int i = 0; i < 40; ++i) {
        t = (low + high) / 2;
        if (bezier(x1, x2, t) < x)
            low = t;
        else
            high = t;
    }
    return bezier(y1, y2, t);
}

QPointF mix(const QPointF& a, const QPointF& b, double p)
{
    return a + (b - a) * p;
}

QRectF mix(const QRectF& a, const QRectF& b, double p)
{
    return QRectF(mix(a.topLeft(), b.topLeft(), p), QSizeF(a.width() + (b.width() - a.width()) * p,
                                                           a.height() + (b.height() - a.height()) * p));
}

} // namespace

double Layer::Animation::progress(double t) const
{
    if (duration <= 0 || t >= begin + duration)
        return 1;
    const double x = std::clamp((t - begin) / duration, 0.0, 1.0);
    if (x <= 0)
        return 0;
    switch (timing) {
    case TimingFunction::linear:
        return x;
    case TimingFunction::easeIn:
        return solveCurve(0.42, 0, 1, 1, x);
    case TimingFunction::easeOut:
        return solveCurve(0, 0, 0.58, 1, x);
    case TimingFunction::easeInEaseOut:
        return solveCurve(0.42, 0, 0.58, 1, x);
    }
    return x;
}

Layer::Ptr Layer::make()
{
    return Ptr(new Layer());
}

Layer::~Layer()
{
    for (const auto& sublayer : sublayers_)
        sublayer->superlayer_ = nullptr;
}

void Layer::animate(Animation animation)
{
    animations_.removeIf([&](const Animation& old) { return old.property == animation.property; });
    if (Transaction::disableActions() || !(Transaction::animationDuration() > 0))
        return;
    animation.begin = platform::now();
    animation.duration = Transaction::animationDuration();
    animation.timing = Transaction::animationTimingFunction();
    Transaction::noteAnimationEnd(animation.begin + animation.duration);
    animations_.append(animation);
}

void Layer::setPosition(const QPointF& position)
{
    Animation animation;
    animation.property = QStringLiteral("position");
    animation.fromPoint = presentedPosition(platform::now());
    animation.toPoint = position;
    position_ = position;
    animate(animation);
}

void Layer::setBounds(const QRectF& bounds)
{
    Animation animation;
    animation.property = QStringLiteral("bounds");
    animation.fromRect = presentedBounds(platform::now());
    animation.toRect = bounds;
    bounds_ = bounds;
    animate(animation);
}

void Layer::setOpacity(double opacity)
{
    Animation animation;
    animation.property = QStringLiteral("opacity");
    animation.fromValue = presentedOpacity(platform::now());
    animation.toValue = opacity;
    opacity_ = opacity;
    animate(animation);
}

QPointF Layer::presentedPosition(double t) const
{
    for (const auto& animation : animations_) {
        if (animation.property == QLatin1String("position") && animation.isRunning(t))
            return mix(animation.fromPoint, animation.toPoint, animation.progress(t));
    }
    return position_;
}

QRectF Layer::presentedBounds(double t) const
{
    for (const auto& animation : animations_) {
        if (animation.property == QLatin1String("bounds") && animation.isRunning(t))
            return mix(animation.fromRect, animation.toRect, animation.progress(t));
    }
    return bounds_;
}

double Layer::presentedOpacity(double t) const
{
    for (const auto& animation : animations_) {
        if (animation.property == QLatin1String("opacity") && animation.isRunning(t))
            return animation.fromValue + (animation.toValue - animation.fromValue) * animation.progress(t);
    }
    return opacity_;
}

bool Layer::isAnimating(double t) const
{
    for (const auto& animation : animations_) {
        if (animation.isRunning(t))
            return true;
    }
    return std::any_of(sublayers_.cbegin(), sublayers_.cend(), [t](const Ptr& layer) { return layer->isAnimating(t); });
}

std::optional<Layer::Animation> Layer::animation(const QString& property) const
{
    for (const auto& animation : animations_) {
        if (animation.property == property)
            return animation;
    }
    return std::nullopt;
}

void Layer::addSublayer(const Ptr& layer)
{
    if (!layer || layer.get() == this)
        return;
    Ptr keep = layer;
    layer->removeFromSuperlayer();
    layer->superlayer_ = this;
    sublayers_.append(layer);
}

void Layer::removeFromSuperlayer()
{
    if (!superlayer_)
        return;
    Layer* parent = superlayer_;
    superlayer_ = nullptr;
    parent->sublayers_.removeIf([this](const Ptr& layer) { return layer.get() == this; });
}

void Layer::renderSublayers(QPainter& painter, double viewHeight, double t) const
{
    for (const auto& sublayer : sublayers_)
        sublayer->render(painter, QPointF(), viewHeight, 1, t);
}

void Layer::render(QPainter& painter, const QPointF& origin, double viewHeight, double opacity, double t) const
{
    const double shown = opacity * std::clamp(presentedOpacity(t), 0.0, 1.0);
    if (!(shown > 0))
        return;
    const QRectF box = presentedBounds(t);
    const QPointF position = presentedPosition(t);
    // The bottom-left corner of the bounds in the root's y-up space.
    const QPointF corner(origin.x() + position.x() - anchorPoint_.x() * box.width(),
                         origin.y() + position.y() - anchorPoint_.y() * box.height());
    const QRectF target(corner.x(), viewHeight - corner.y() - box.height(), box.width(), box.height());
    if (!contents_.isNull()) {
        painter.save();
        painter.setOpacity(shown);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, contents_);
        painter.restore();
    }
    for (const auto& sublayer : sublayers_)
        sublayer->render(painter, corner - box.topLeft(), viewHeight, shown, t);
}

} // namespace platform
