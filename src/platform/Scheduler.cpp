#include "platform/Scheduler.h"

#include "platform/QtScheduler.h"

namespace platform {

namespace {
std::unique_ptr<Scheduler>& slot()
{
    static std::unique_ptr<Scheduler> scheduler;
    return scheduler;
}
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
}

double now()
{
    return Scheduler::current().now();
}

} // namespace platform
