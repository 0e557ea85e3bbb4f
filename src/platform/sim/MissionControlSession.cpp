// Sleep and session changes, posted as the workspace notifications.
#include "platform/sim/MissionControl.h"

#include "platform/NotificationCenter.h"
#include "platform/SessionNotifications.h"

namespace platform::sim {

void MissionControl::sleepScreens()
{
    NotificationCenter::workspaceCenter().post(notifications::screensDidSleep);
}

void MissionControl::wakeScreens()
{
    NotificationCenter::workspaceCenter().post(notifications::screensDidWake);
}

void MissionControl::resignSession()
{
    NotificationCenter::workspaceCenter().post(notifications::sessionDidResignActive);
}

void MissionControl::becomeActiveSession()
{
    NotificationCenter::workspaceCenter().post(notifications::sessionDidBecomeActive);
}

} // namespace platform::sim
