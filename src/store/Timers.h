#pragma once

#include <functional>
#include <memory>
#include <optional>

// Runs work once on the main queue after delaySeconds (none or less: as soon
// as the main loop gets to it; infinity: never).
void runAfter(double delaySeconds, std::function<void()> work);

// A timer that runs its tick every interval on the main loop until it is
// invalidated or destroyed. The tick may invalidate or destroy the timer.
class RepeatingTimer {
public:
    // An interval that is not above zero uses the shortest one; an infinite
    // interval never fires. The tolerance defaults to a quarter of the
    // interval.
    static std::unique_ptr<RepeatingTimer> start(double interval, std::optional<double> tolerance,
                                                 std::function<void()> tick);
    ~RepeatingTimer();
    RepeatingTimer(const RepeatingTimer&) = delete;
    RepeatingTimer& operator=(const RepeatingTimer&) = delete;

    double interval() const;
    // How late a tick may run, letting the system group wake-ups.
    double tolerance() const;
    bool isValid() const;
    void invalidate();

    static constexpr double shortestInterval = 0.0001;

private:
    struct State;
    explicit RepeatingTimer(std::shared_ptr<State> state);
    static void scheduleNext(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state_;
};
