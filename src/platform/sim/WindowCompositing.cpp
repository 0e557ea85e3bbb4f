#include "platform/WindowCompositing.h"
#include "platform/sim/SessionHooks.h"

#include "platform/Lifetime.h"
#include "platform/NotificationCenter.h"

namespace platform {

namespace {

struct CompositingState {
    bool active = true;
};

CompositingState& compositingState()
{
    static Shared<CompositingState> current([] { return new CompositingState; });
    return current.get();
}

} // namespace

bool WindowCompositing::isActive()
{
    return compositingState().active;
}

void sim::setWindowCompositing(bool active)
{
    if (compositingState().active == active)
        return;
    compositingState().active = active;
    NotificationCenter::defaultCenter().post(WindowCompositing::didChangeNotification);
}

} // namespace platform
