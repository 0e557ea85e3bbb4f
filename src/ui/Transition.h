#pragma once

#include "ui/Tween.h"

#include <functional>

// One animated number (an opacity, a scale, a selection fade) that eases out
// toward its target on the scheduler's clock, so tests drive it by advancing
// the manual clock. onFrame runs on every frame while it moves (usually a
// repaint); value() is exact at any moment, between frames too. The kit's
// short form of a Tween with the ease-out curve.
class Transition {
public:
    Transition(double initial, std::function<void()> onFrame)
        : tween_(initial, std::move(onFrame))
    {
    }

    double value() const { return tween_.value(); }
    bool isRunning() const { return tween_.isRunning(); }

    // Eases out (the standard ease-out curve) from the current value; asking
    // again for the target it is already moving to keeps the running move.
    void animateTo(double target, double durationSeconds)
    {
        if (target == tween_.target() && isRunning())
            return;
        tween_.animateTo(target, TweenCurve::easeOut(durationSeconds));
    }
    // Sets the value at once, stopping any animation.
    void jumpTo(double target) { tween_.jumpTo(target); }

private:
    Tween tween_;
};
