#include "platform/SystemInfo.h"

namespace platform {

// The simulated system is the oldest one the app supports.
int SystemInfo::operatingSystemMajorVersion()
{
    return 14;
}

} // namespace platform
