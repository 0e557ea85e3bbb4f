#pragma once

#include <QString>

namespace platform {

// The user's folders, read from the environment on every call so that a
// changed home is seen at once.
namespace Folders {

QString home();
// Where preference domains are kept: $XDG_CONFIG_HOME/tessaroom.
QString preferences();
// The user's Application Support folder: $XDG_DATA_HOME.
QString applicationSupport();
// The app's log folder: $XDG_STATE_HOME/tessaroom/logs.
QString logs();

// Makes the folder and any missing folder on its way, each one closed to
// other users (0700) whatever the umask; a folder that exists keeps its mode.
// True when a folder is at the path afterwards (a link to one counts).
bool make(const QString& folder);

} // namespace Folders
} // namespace platform
