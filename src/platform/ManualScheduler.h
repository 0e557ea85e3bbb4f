#pragma once

#include "platform/Scheduler.h"

#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace platform {

// A clock that only moves when told to. Delayed work runs inside advance(), in
// due-time order (ties in scheduling order), with now() set to each item's due
// time while it runs.
class ManualScheduler final : public Scheduler {
public:
    explicit ManualScheduler(double startSeconds);

    double now() const override;
    TimerToken schedule(double delaySeconds, std::function<void()> work) override;
    void cancel(TimerToken token) override;
    void runInBackground(const char* queueLabel, std::function<void()> work) override;

    // While held, background work waits (a slow disk) until
    // runHeldBackgroundWork() runs it, in the order it came.
    void holdBackgroundWork(bool held);
    void runHeldBackgroundWork();

    // Moves the clock forward by seconds, running everything that falls due.
    void advance(double seconds);
    // Runs what is due now (work scheduled with no delay).
    void runPending() { advance(0); }
    std::size_t pendingCount() const;

private:
    using Key = std::pair<double, TimerToken>;
    mutable std::recursive_mutex mutex_;
    double now_;
    TimerToken nextToken_ = 1;
    std::map<Key, std::function<void()>> queue_;
    bool holdingBackground_ = false;
    std::vector<std::function<void()>> heldBackground_;
};

} // namespace platform
