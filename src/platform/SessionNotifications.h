#pragma once

#include <QString>

namespace platform::notifications {

// Posted on the workspace's centre when the screens go to sleep or wake, and
// when the user's session becomes inactive (another user, the login window)
// or active again.
inline const QString screensDidSleep = QStringLiteral("NSWorkspaceScreensDidSleepNotification");
inline const QString screensDidWake = QStringLiteral("NSWorkspaceScreensDidWakeNotification");
inline const QString sessionDidResignActive = QStringLiteral("NSWorkspaceSessionDidResignActiveNotification");
inline const QString sessionDidBecomeActive = QStringLiteral("NSWorkspaceSessionDidBecomeActiveNotification");

} // namespace platform::notifications
