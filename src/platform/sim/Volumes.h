#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Control of the simulated volumes: the real file system answers unless a
// test says otherwise.
namespace platform::sim {

// Paths inside folder count as on a read-only volume (a mounted image).
void setReadOnlyFolder(const QString& folder, bool readOnly);
// Replaces the Applications folders (none: the system's own).
void setApplicationsFolders(std::optional<QStringList> folders);

} // namespace platform::sim
