#include "platform/Transaction.h"

#include "platform/Scheduler.h"

#include <algorithm>
#include <vector>

namespace platform {

namespace {

struct Frame {
    double duration = 0;
    TimingFunction timing = TimingFunction::linear;
    bool disableActions = false;
    std::function<void()> completion;
    // The latest end of an animation added inside; none when there was none.
    double lastEnd = 0;
};

// Main thread only, like the layers.
std::vector<Frame>& stack()
{
    static std::vector<Frame> frames;
    return frames;
}

} // namespace

void Transaction::begin()
{
    Frame frame;
    if (!stack().empty()) {
        frame.duration = stack().back().duration;
        frame.timing = stack().back().timing;
        frame.disableActions = stack().back().disableActions;
    }
    stack().push_back(std::move(frame));
}

void Transaction::commit()
{
    if (stack().empty())
        return;
    Frame frame = std::move(stack().back());
    stack().pop_back();
    if (!frame.completion)
        return;
    const double delay = std::max(0.0, frame.lastEnd - platform::now());
    Scheduler::current().schedule(delay, std::move(frame.completion));
}

void Transaction::setAnimationDuration(double seconds)
{
    if (!stack().empty())
        stack().back().duration = seconds;
}

void Transaction::setAnimationTimingFunction(TimingFunction timing)
{
    if (!stack().empty())
        stack().back().timing = timing;
}

void Transaction::setDisableActions(bool disabled)
{
    if (!stack().empty())
        stack().back().disableActions = disabled;
}

void Transaction::setCompletionBlock(std::function<void()> completion)
{
    if (!stack().empty())
        stack().back().completion = std::move(completion);
}

double Transaction::animationDuration()
{
    return stack().empty() ? 0 : stack().back().duration;
}

TimingFunction Transaction::animationTimingFunction()
{
    return stack().empty() ? TimingFunction::linear : stack().back().timing;
}

bool Transaction::disableActions()
{
    return stack().empty() || stack().back().disableActions;
}

bool Transaction::isOpen()
{
    return !stack().empty();
}

void Transaction::noteAnimationEnd(double endTime)
{
    // Every open transaction waits for the animations of the ones inside it.
    for (auto& frame : stack())
        frame.lastEnd = std::max(frame.lastEnd, endTime);
}

} // namespace platform
