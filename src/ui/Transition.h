#pragma once

#include "platform/Scheduler.h"

#include <functional>

// One animated number (an opacity, a scale, a selection fade) that eases out
// toward its target on the scheduler's clock, so tests drive it by advancing
// the manual clock. onFrame runs on every frame while it moves (usually a
// repaint); value() is exact at any moment, between frames too.
class Transition {
public:
    Transition(double initial, std::function<void()> onFrame);
    ~Transition();
    Transition(const Transition&) = delete;
    Transition& operator=(const Transition&) = delete;

    double value() const;
    bool isRunning() const { return frame_ != 0; }

    // Eases out (the standard ease-out curve) from the current value.
    void animateTo(double target, double durationSeconds);
    // Sets the value at once, stopping any animation.
    void jumpTo(double target);

private:
    void scheduleFrame();
    void stop();

    double from_;
    double to_;
    double start_ = 0;
    double duration_ = 0;
    std::function<void()> onFrame_;
    platform::TimerToken frame_ = 0;
};
