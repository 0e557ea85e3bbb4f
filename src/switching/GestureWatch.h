#pragma once

#include "store/Timers.h"

#include <QtGlobal>

#include <functional>
#include <memory>
#include <optional>

// Tells, by polling the input clocks, whether the user is in the middle of a
// trackpad swipe between desktops: gesture events very recent, no recent
// scroll, magnify or rotate events, and a pointer at rest, over several polls
// in a row.
class GestureWatch {
public:
    // The input clocks, by their event types.
    enum class Clock : quint32 {
        pointer = 5,
        rotate = 18,
        scroll = 22,
        gesture = 29,
        magnify = 30,
        any = 0xFFFFFFFF,
    };

    static std::optional<Clock> clock(quint32 rawValue);
    static double secondsSinceLastEvent(Clock clock);

    static constexpr double gestureLimit = 0.05;
    static constexpr double otherGestureQuiet = 0.3;
    static constexpr double pointerQuiet = 0.1;
    static constexpr qint64 livePollsForSwipe = 5;
    static constexpr double activeInterval = 1.0 / 60.0;
    static constexpr double idleInterval = 0.25;
    static constexpr double activityWindow = 2.0;

    GestureWatch() = default;
    GestureWatch(const GestureWatch&) = delete;
    GestureWatch& operator=(const GestureWatch&) = delete;

    // Called with the new verdict whenever it changes.
    std::function<void(bool swiping)> onChange;

    bool swiping() const { return swiping_; }
    qint64 livePolls() const { return livePolls_; }
    // The running timer's interval; none while stopped.
    std::optional<double> pollInterval() const;

    void start();
    void stop();

    // The gesture clock, or the largest finite double when the pointer moved
    // at or after the last gesture event.
    double secondsSinceGesture() const;
    static double secondsSinceGesture(double gesture, double pointer);
    static bool isLivePoll(double gesture, double scroll, double magnify, double rotate, double mouseMoved);

private:
    void tick();
    void schedule(double interval);

    bool swiping_ = false;
    std::unique_ptr<RepeatingTimer> timer_;
    qint64 livePolls_ = 0;
};
