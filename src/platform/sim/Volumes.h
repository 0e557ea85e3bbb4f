#pragma once

#include <QString>

namespace platform::sim {

// Registers the folder at path as a mounted volume that is not the root file
// system (as an attached disk image is), until unmounted or the shared
// instances are reset. Paths below it report its facts.
void mountVolume(const QString& path, bool readOnly);
void unmountVolume(const QString& path);

} // namespace platform::sim
