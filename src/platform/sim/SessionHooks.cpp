#include "platform/sim/SessionHooks.h"

#include "platform/Lifetime.h"

namespace platform::sim {

namespace {

Shared<WindowSystemHooks>& hooks()
{
    static Shared<WindowSystemHooks> current([] { return new WindowSystemHooks; });
    return current;
}

} // namespace

void setWindowSystemHooks(WindowSystemHooks given)
{
    hooks().get() = std::move(given);
}

const WindowSystemHooks& windowSystemHooks()
{
    return hooks().get();
}

} // namespace platform::sim
