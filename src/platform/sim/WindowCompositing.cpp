#include "platform/WindowCompositing.h"
#include "platform/sim/SessionHooks.h"

#include "platform/Lifetime.h"
#include "platform/NotificationCenter.h"

namespace platform {

namespace {

struct CompositingState {
    bool active = true;
};

CompositingState& state()
{
    static Shared<CompositingState> current([] { return new CompositingState; });
    return current.get();
}

} // namespace

bool WindowCompositing::isActive()
{
    return state().active;
}

void sim::setWindowCompositing(bool active)
{
    if (state().active == active)
        return;
    state().active = active;
    NotificationCenter::defaultCenter().post(WindowCompositing::didChangeNotification);
}

} // namespace platform
