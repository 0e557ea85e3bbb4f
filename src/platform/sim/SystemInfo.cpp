#include "platform/SystemInfo.h"

#include "platform/sim/World.h"

namespace platform {

// The oldest system the app supports unless the world says otherwise.
int SystemInfo::operatingSystemMajorVersion()
{
    return sim::World::shared().operatingSystemMajorVersion();
}

} // namespace platform
