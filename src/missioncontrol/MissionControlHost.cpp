#include "missioncontrol/MissionControlHost.h"

#include "platform/Lifetime.h"
#include "platform/SystemInfo.h"

#include <optional>

namespace {

std::optional<bool>& cachedHost()
{
    static std::optional<bool> windowManager;
    return windowManager;
}

} // namespace

bool MissionControlHost::isWindowManager()
{
    auto& cached = cachedHost();
    if (!cached) {
        cached = platform::SystemInfo::operatingSystemMajorVersion() >= windowManagerMajorVersion;
        // A fresh process (a test) reads the system again.
        platform::registerSharedReset([] { cachedHost().reset(); });
    }
    return *cached;
}

QString MissionControlHost::bundleID()
{
    return isWindowManager() ? QStringLiteral("com.apple.WindowManager") : QStringLiteral("com.apple.dock");
}

QString MissionControlHost::ownerName()
{
    return isWindowManager() ? QStringLiteral("WindowManager") : QStringLiteral("Dock");
}

int MissionControlHost::layer()
{
    return isWindowManager() ? 19 : 18;
}
