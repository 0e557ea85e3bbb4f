#include "switching/GestureWatch.h"

#include "platform/EventSource.h"

#include <algorithm>
#include <cmath>
#include <limits>

std::optional<GestureWatch::Clock> GestureWatch::clock(quint32 rawValue)
{
    switch (rawValue) {
    case quint32(Clock::pointer):
    case quint32(Clock::rotate):
    case quint32(Clock::scroll):
    case quint32(Clock::gesture):
    case quint32(Clock::magnify):
    case quint32(Clock::any):
        return Clock(rawValue);
    default:
        return std::nullopt;
    }
}

double GestureWatch::secondsSinceLastEvent(Clock clock)
{
    return platform::EventSource::secondsSinceLastEventType(platform::EventSource::StateID::combinedSessionState,
                                                            quint32(clock));
}

std::optional<double> GestureWatch::pollInterval() const
{
    if (!timer_)
        return std::nullopt;
    return timer_->interval();
}

void GestureWatch::start()
{
    if (!timer_)
        schedule(idleInterval);
}

void GestureWatch::stop()
{
    timer_.reset();
    livePolls_ = 0;
    if (!swiping_)
        return;
    swiping_ = false;
    if (onChange)
        onChange(false);
}

double GestureWatch::secondsSinceGesture() const
{
    return secondsSinceGesture(secondsSinceLastEvent(Clock::gesture), secondsSinceLastEvent(Clock::pointer));
}

double GestureWatch::secondsSinceGesture(double gesture, double pointer)
{
    if (pointer <= gesture)
        return std::numeric_limits<double>::max();
    return gesture;
}

bool GestureWatch::isLivePoll(double gesture, double scroll, double magnify, double rotate, double mouseMoved)
{
    return gesture < gestureLimit && std::min({scroll, magnify, rotate}) > otherGestureQuiet
        && mouseMoved > pointerQuiet;
}

void GestureWatch::tick()
{
    const double gesture = secondsSinceLastEvent(Clock::gesture);
    const double scroll = secondsSinceLastEvent(Clock::scroll);
    const double magnify = secondsSinceLastEvent(Clock::magnify);
    const double rotate = secondsSinceLastEvent(Clock::rotate);
    const double pointer = secondsSinceLastEvent(Clock::pointer);
    livePolls_ = isLivePoll(gesture, scroll, magnify, rotate, pointer) ? livePolls_ + 1 : 0;

    const bool verdict = livePolls_ >= livePollsForSwipe;
    if (verdict != swiping_) {
        swiping_ = verdict;
        if (onChange)
            onChange(verdict);
        // The owner may have stopped the watch on hearing the verdict.
        if (!timer_)
            return;
    }
    schedule(secondsSinceLastEvent(Clock::any) < activityWindow ? activeInterval : idleInterval);
}

void GestureWatch::schedule(double interval)
{
    // Recreating the timer at every poll would wake the system needlessly.
    if (timer_ && std::abs(timer_->interval() - interval) < 0.001)
        return;
    timer_.reset();
    // The timer dies with the watch, so its tick never outlives it.
    timer_ = RepeatingTimer::start(interval, interval * 0.1, [this] { tick(); });
}
