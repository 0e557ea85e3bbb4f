#include "platform/SystemInfo.h"

#include "platform/Lifetime.h"
#include "platform/sim/SystemVersion.h"

#include <mutex>
#include <optional>

namespace platform {

namespace {

std::mutex& versionMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::optional<SystemInfo::OperatingSystemVersion>& versionOverride()
{
    static std::optional<SystemInfo::OperatingSystemVersion> version;
    return version;
}

} // namespace

int SystemInfo::operatingSystemMajorVersion()
{
    return operatingSystemVersion().majorVersion;
}

// The simulated system is the oldest one the app supports unless told otherwise.
SystemInfo::OperatingSystemVersion SystemInfo::operatingSystemVersion()
{
    std::lock_guard lock(versionMutex());
    return versionOverride().value_or(OperatingSystemVersion{14, 0, 0});
}

void sim::setOperatingSystemVersion(const SystemInfo::OperatingSystemVersion& version)
{
    std::lock_guard lock(versionMutex());
    if (!versionOverride()) {
        registerSharedReset([] {
            std::lock_guard resetLock(versionMutex());
            versionOverride().reset();
        });
    }
    versionOverride() = version;
}

} // namespace platform
