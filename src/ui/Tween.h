#pragma once

#include "platform/Scheduler.h"

#include <functional>

// How a tween moves from its start to its target over time.
struct TweenCurve {
    enum class Kind { linear, easeIn, easeOut, easeInOut, spring };
    Kind kind = Kind::easeInOut;
    // Seconds; a spring works its own length out from response and damping.
    double duration = 0.25;
    // A spring's period in seconds and its damping fraction (below 1 it
    // overshoots a little).
    double response = 0.3;
    double damping = 0.78;

    static TweenCurve linear(double seconds) { return {Kind::linear, seconds}; }
    static TweenCurve easeIn(double seconds) { return {Kind::easeIn, seconds}; }
    static TweenCurve easeOut(double seconds) { return {Kind::easeOut, seconds}; }
    static TweenCurve easeInOut(double seconds) { return {Kind::easeInOut, seconds}; }
    static TweenCurve spring(double response, double damping);

    // Progress (0 at the start, 1 at rest) after seconds; a spring may pass 1.
    double progress(double seconds) const;
};

// One number animated on the scheduler's clock, so tests drive it with the
// manual clock: an alpha, the shown amount of a card. value() is exact at any
// moment; onFrame runs on every frame while it moves.
class Tween {
public:
    Tween(double initial, std::function<void()> onFrame);
    ~Tween();
    Tween(const Tween&) = delete;
    Tween& operator=(const Tween&) = delete;

    double value() const;
    double target() const { return to_; }
    bool isRunning() const { return frame_ != 0; }

    // Moves from the current value to target; completion runs once the value
    // rests there, never when another animation or a jump takes over.
    void animateTo(double target, const TweenCurve& curve, std::function<void()> completion = {});
    void jumpTo(double target);

private:
    void scheduleFrame();
    void stop();

    double from_;
    double to_;
    double start_ = 0;
    TweenCurve curve_;
    bool moving_ = false;
    std::function<void()> onFrame_;
    std::function<void()> completion_;
    platform::TimerToken frame_ = 0;
};
