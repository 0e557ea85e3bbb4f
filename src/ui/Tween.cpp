#include "ui/Tween.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double frameInterval = 1.0 / 60.0;
// A spring counts as at rest once its swing is below this part of the way.
constexpr double springRest = 0.001;

double cubicBezier(double x1, double y1, double x2, double y2, double x)
{
    // Solves the curve's x(t) = x by bisection, then answers y(t).
    auto at = [](double a, double b, double t) {
        const double u = 1 - t;
        return 3 * u * u * t * a + 3 * u * t * t * b + t * t * t;
    };
    double low = 0;
    double high = 1;
    for (int i = 0; i < 40; ++i) {
        const double mid = (low + high) / 2;
        (at(x1, x2, mid) < x ? low : high) = mid;
    }
    return at(y1, y2, (low + high) / 2);
}

} // namespace

TweenCurve TweenCurve::spring(double response, double damping)
{
    TweenCurve curve{Kind::spring, 0, std::max(response, 0.01), std::clamp(damping, 0.05, 0.99)};
    const double omega = 2 * std::numbers::pi / curve.response;
    curve.duration = std::log(1 / springRest) / (curve.damping * omega);
    return curve;
}

double TweenCurve::progress(double seconds) const
{
    if (duration <= 0 || seconds >= duration)
        return 1;
    if (seconds <= 0)
        return 0;
    const double x = seconds / duration;
    switch (kind) {
    case Kind::linear:
        return x;
    case Kind::easeIn:
        return cubicBezier(0.42, 0, 1, 1, x);
    case Kind::easeOut:
        return cubicBezier(0, 0, 0.58, 1, x);
    case Kind::easeInOut:
        return cubicBezier(0.42, 0, 0.58, 1, x);
    case Kind::spring: {
        const double omega = 2 * std::numbers::pi / response;
        const double damped = omega * std::sqrt(1 - damping * damping);
        const double decay = std::exp(-damping * omega * seconds);
        return 1 - decay * (std::cos(damped * seconds) + damping * omega / damped * std::sin(damped * seconds));
    }
    }
    return 1;
}

Tween::Tween(double initial, std::function<void()> onFrame)
    : from_(initial)
    , to_(initial)
    , onFrame_(std::move(onFrame))
{
}

Tween::~Tween()
{
    stop();
}

double Tween::value() const
{
    if (!moving_)
        return to_;
    return from_ + (to_ - from_) * curve_.progress(platform::now() - start_);
}

void Tween::animateTo(double target, const TweenCurve& curve, std::function<void()> completion)
{
    from_ = value();
    to_ = target;
    curve_ = curve;
    start_ = platform::now();
    completion_ = std::move(completion);
    moving_ = curve.duration > 0 && from_ != to_;
    if (!moving_) {
        stop();
        if (onFrame_)
            onFrame_();
        if (auto done = std::exchange(completion_, {}))
            done();
        return;
    }
    if (!isRunning())
        scheduleFrame();
}

void Tween::jumpTo(double target)
{
    stop();
    completion_ = {};
    moving_ = false;
    from_ = to_ = target;
    if (onFrame_)
        onFrame_();
}

void Tween::scheduleFrame()
{
    frame_ = platform::Scheduler::current().schedule(frameInterval, [this] {
        frame_ = 0;
        const bool done = platform::now() - start_ >= curve_.duration;
        if (done)
            moving_ = false;
        else
            scheduleFrame();
        if (onFrame_)
            onFrame_();
        if (done) {
            if (auto completion = std::exchange(completion_, {}))
                completion();
        }
    });
}

void Tween::stop()
{
    if (frame_ != 0) {
        platform::Scheduler::current().cancel(frame_);
        frame_ = 0;
    }
}
