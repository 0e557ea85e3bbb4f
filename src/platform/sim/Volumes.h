#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Control of the simulated volumes: the real file system answers unless a
// test says otherwise. One set of facts serves every question about volumes
// (Volumes::volumeOf, isOnReadOnlyVolume, isWritableFolder), so the shell's
// move to Applications and the updater see the same machine.
namespace platform::sim {

// Registers the folder at path as a mounted volume that is not the root file
// system (as an attached disk image is), until unmounted or the shared
// instances are reset. Paths below it report its facts.
void mountVolume(const QString& path, bool readOnly);
void unmountVolume(const QString& path);

// Paths inside folder count as on a read-only volume (a mounted image):
// mountVolume(folder, true), or unmountVolume(folder) when readOnly is false.
void setReadOnlyFolder(const QString& folder, bool readOnly);
// Replaces the Applications folders (none: the system's own) until the
// shared instances are reset.
void setApplicationsFolders(std::optional<QStringList> folders);

} // namespace platform::sim
