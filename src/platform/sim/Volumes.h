#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Control of the simulated volumes: the real file system answers unless a
// test says otherwise.
namespace platform::sim {

// Registers the folder at path as a mounted volume that is not the root file
// system (as an attached disk image is), until unmounted or the shared
// instances are reset. Paths below it report its facts.
void mountVolume(const QString& path, bool readOnly);
void unmountVolume(const QString& path);

// Paths inside folder count as on a read-only volume (a mounted image).
void setReadOnlyFolder(const QString& folder, bool readOnly);
// Replaces the Applications folders (none: the system's own).
void setApplicationsFolders(std::optional<QStringList> folders);

} // namespace platform::sim
