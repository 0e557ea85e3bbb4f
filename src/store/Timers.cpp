#include "store/Timers.h"

#include "platform/Scheduler.h"

#include <algorithm>
#include <cmath>
#include <utility>

struct RepeatingTimer::State {
    double interval = 0;
    double tolerance = 0;
    std::function<void()> tick;
    bool valid = true;
    platform::TimerToken token = 0;
};

namespace {

double effectiveInterval(double interval)
{
    return interval > 0 ? interval : RepeatingTimer::shortestInterval; // also NaN
}

double effectiveTolerance(std::optional<double> tolerance, double interval)
{
    if (!tolerance || std::isnan(*tolerance))
        return interval / 4;
    return std::max(0.0, *tolerance);
}

} // namespace

void runAfter(double delaySeconds, std::function<void()> work)
{
    // The scheduler runs non-finite delays at once; infinity means never.
    if (std::isinf(delaySeconds) && delaySeconds > 0)
        return;
    platform::Scheduler::current().schedule(delaySeconds, std::move(work));
}

std::unique_ptr<RepeatingTimer> RepeatingTimer::start(double interval, std::optional<double> tolerance,
                                                      std::function<void()> tick)
{
    auto state = std::make_shared<State>();
    state->interval = effectiveInterval(interval);
    state->tolerance = effectiveTolerance(tolerance, state->interval);
    state->tick = std::move(tick);
    scheduleNext(state);
    return std::unique_ptr<RepeatingTimer>(new RepeatingTimer(std::move(state)));
}

RepeatingTimer::RepeatingTimer(std::shared_ptr<State> state)
    : state_(std::move(state))
{
}

RepeatingTimer::~RepeatingTimer()
{
    invalidate();
}

void RepeatingTimer::scheduleNext(const std::shared_ptr<State>& state)
{
    if (std::isinf(state->interval))
        return;
    std::weak_ptr<State> weak = state;
    state->token = platform::Scheduler::current().schedule(state->interval, [weak] {
        const std::shared_ptr<State> alive = weak.lock();
        if (!alive || !alive->valid)
            return;
        // The next tick is booked first so that a tick that invalidates the
        // timer cancels it.
        scheduleNext(alive);
        // A copy, because invalidating drops the stored tick while it runs.
        const std::function<void()> tick = alive->tick;
        tick();
    });
}

double RepeatingTimer::interval() const
{
    return state_->interval;
}

double RepeatingTimer::tolerance() const
{
    return state_->tolerance;
}

bool RepeatingTimer::isValid() const
{
    return state_->valid;
}

void RepeatingTimer::invalidate()
{
    if (!state_->valid)
        return;
    state_->valid = false;
    platform::Scheduler::current().cancel(state_->token);
    // Whatever the tick captured goes now, not when the timer is destroyed.
    state_->tick = nullptr;
}
