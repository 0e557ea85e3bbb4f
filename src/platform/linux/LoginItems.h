#pragma once

#include "platform/LoginItems.h"

#include <QString>

#include <optional>

// Control of the simulated login items. The registration itself is an XDG
// autostart entry, "tessaroom.desktop" in the autostart folder of the user's
// config folder.
namespace platform::host {

QString loginItemEntryPath();

// Makes the service answer this status whatever the entry says (none: the
// entry decides).
void forceLoginItemStatus(std::optional<LoginItems::Status> status);

// Makes register and unregister fail with this message (none: they work).
void failLoginItemChanges(std::optional<QString> message);

} // namespace platform::host
