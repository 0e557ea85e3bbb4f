#include "platform/Scheduler.h"

#include "platform/BackgroundStop.h"
#include "platform/QtScheduler.h"

#include <atomic>

namespace platform {

namespace {
std::unique_ptr<Scheduler>& slot()
{
    // Never destroyed: shared instances dropped at exit still cancel their work.
    static auto* scheduler = new std::unique_ptr<Scheduler>;
    return *scheduler;
}

std::atomic<bool> stopRequested = false;
} // namespace

Scheduler& Scheduler::current()
{
    auto& scheduler = slot();
    if (!scheduler)
        scheduler = std::make_unique<QtScheduler>();
    return *scheduler;
}

void Scheduler::install(std::unique_ptr<Scheduler> scheduler)
{
    slot() = std::move(scheduler);
    stopRequested = false;
}

double now()
{
    return Scheduler::current().now();
}

void BackgroundStop::request()
{
    stopRequested = true;
}

bool BackgroundStop::requested()
{
    return stopRequested;
}

} // namespace platform
