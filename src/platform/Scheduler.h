#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

namespace platform {

using TimerToken = quint64;

// The main run loop's clock and delayed work. The app runs on Qt timers; tests
// install a ManualScheduler and advance its clock explicitly.
class Scheduler {
public:
    virtual ~Scheduler() = default;

    // Wall-clock time in seconds since 1970-01-01 00:00 UTC.
    virtual double now() const = 0;

    // Runs work once on the main thread after delaySeconds (0 or less: as soon
    // as the main loop gets to it). Safe to call from any thread.
    virtual TimerToken schedule(double delaySeconds, std::function<void()> work) = 0;

    // A cancelled token never runs; unknown or finished tokens are ignored.
    virtual void cancel(TimerToken token) = 0;

    // Runs work off the main thread, one item at a time per queue label. The
    // manual scheduler runs it at once on the calling thread.
    virtual void runInBackground(const char* queueLabel, std::function<void()> work) = 0;
    // Waits until every background item queued so far has run. The app calls
    // it before it ends: the scheduler is never torn down, so work still
    // under way would otherwise run on into the teardown of the objects it
    // reads. Nothing to wait for where background work runs at once.
    virtual void finishBackgroundWork() {}

    static Scheduler& current();
    // Replaces the process-wide scheduler (the previous one is dropped).
    static void install(std::unique_ptr<Scheduler> scheduler);
};

// Qt timers on the main thread; the default scheduler of the app.
class QtScheduler;

// Shorthand for Scheduler::current().now().
double now();

} // namespace platform
