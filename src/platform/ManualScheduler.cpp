#include "platform/ManualScheduler.h"

#include <cmath>

namespace platform {

ManualScheduler::ManualScheduler(double startSeconds)
    : now_(startSeconds)
{
}

double ManualScheduler::now() const
{
    std::lock_guard lock(mutex_);
    return now_;
}

TimerToken ManualScheduler::schedule(double delaySeconds, std::function<void()> work)
{
    std::lock_guard lock(mutex_);
    const double delay = std::isfinite(delaySeconds) ? std::max(0.0, delaySeconds) : 0.0;
    const TimerToken token = nextToken_++;
    queue_.emplace(Key{now_ + delay, token}, std::move(work));
    return token;
}

void ManualScheduler::cancel(TimerToken token)
{
    std::lock_guard lock(mutex_);
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
        if (it->first.second == token) {
            queue_.erase(it);
            return;
        }
    }
}

void ManualScheduler::runInBackground(const char*, std::function<void()> work)
{
    {
        std::lock_guard lock(mutex_);
        if (holdingBackground_) {
            heldBackground_.push_back(std::move(work));
            return;
        }
    }
    work();
}

void ManualScheduler::holdBackgroundWork(bool held)
{
    std::lock_guard lock(mutex_);
    holdingBackground_ = held;
}

void ManualScheduler::runHeldBackgroundWork()
{
    std::vector<std::function<void()>> held;
    {
        std::lock_guard lock(mutex_);
        held.swap(heldBackground_);
    }
    for (auto& work : held)
        work();
}

void ManualScheduler::advance(double seconds)
{
    double target;
    {
        std::lock_guard lock(mutex_);
        target = now_ + std::max(0.0, seconds);
    }
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty() || queue_.begin()->first.first > target)
                break;
            auto first = queue_.begin();
            now_ = std::max(now_, first->first.first);
            work = std::move(first->second);
            queue_.erase(first);
        }
        work();
    }
    std::lock_guard lock(mutex_);
    now_ = std::max(now_, target);
}

std::size_t ManualScheduler::pendingCount() const
{
    std::lock_guard lock(mutex_);
    return queue_.size();
}

} // namespace platform
