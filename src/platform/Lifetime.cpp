#include "platform/Lifetime.h"

#include <vector>

namespace platform {

namespace {
std::vector<std::function<void()>>& resets()
{
    static std::vector<std::function<void()>> list;
    return list;
}
} // namespace

void registerSharedReset(std::function<void()> reset)
{
    resets().push_back(std::move(reset));
}

void resetSharedInstances()
{
    // A reset may create or register others; take the list first.
    auto list = std::move(resets());
    resets().clear();
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        (*it)();
}

} // namespace platform
