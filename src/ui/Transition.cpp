#include "ui/Transition.h"

#include <QEasingCurve>
#include <QPointF>

namespace {
constexpr double frameInterval = 1.0 / 60.0;

const QEasingCurve& easeOut()
{
    static const QEasingCurve curve = [] {
        QEasingCurve bezier(QEasingCurve::BezierSpline);
        bezier.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
        return bezier;
    }();
    return curve;
}
} // namespace

Transition::Transition(double initial, std::function<void()> onFrame)
    : from_(initial)
    , to_(initial)
    , onFrame_(std::move(onFrame))
{
}

Transition::~Transition()
{
    stop();
}

double Transition::value() const
{
    if (duration_ <= 0)
        return to_;
    const double progress = (platform::now() - start_) / duration_;
    if (progress >= 1)
        return to_;
    if (progress <= 0)
        return from_;
    return from_ + (to_ - from_) * easeOut().valueForProgress(progress);
}

void Transition::animateTo(double target, double durationSeconds)
{
    if (target == to_ && isRunning())
        return;
    from_ = value();
    to_ = target;
    start_ = platform::now();
    duration_ = durationSeconds;
    if (from_ == to_ || durationSeconds <= 0) {
        jumpTo(target);
        return;
    }
    if (!isRunning())
        scheduleFrame();
}

void Transition::jumpTo(double target)
{
    stop();
    from_ = to_ = target;
    duration_ = 0;
    if (onFrame_)
        onFrame_();
}

void Transition::scheduleFrame()
{
    frame_ = platform::Scheduler::current().schedule(frameInterval, [this] {
        frame_ = 0;
        const bool done = platform::now() - start_ >= duration_;
        if (done)
            duration_ = 0;
        else
            scheduleFrame();
        if (onFrame_)
            onFrame_();
    });
}

void Transition::stop()
{
    if (frame_ != 0)
        platform::Scheduler::current().cancel(frame_);
    frame_ = 0;
}
