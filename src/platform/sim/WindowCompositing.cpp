#include "platform/WindowCompositing.h"

#include "platform/Lifetime.h"
#include "platform/NotificationCenter.h"
#include "platform/sim/DesktopSession.h"

namespace platform {

namespace {

struct CompositingState {
    bool active = true;
};

CompositingState& state()
{
    static CompositingState* current = nullptr;
    if (!current) {
        current = new CompositingState;
        registerSharedReset([] {
            delete current;
            current = nullptr;
        });
    }
    return *current;
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
