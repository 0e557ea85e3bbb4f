#pragma once

#include <QString>

#include <optional>

namespace platform {

// What the system says about the volume (mounted file system) holding a path.
namespace Volumes {

struct Facts {
    // None when the system does not say.
    std::optional<bool> readOnly;
    std::optional<bool> rootFileSystem;
};

// The facts of the volume holding path; none when path cannot be examined
// (for instance because it does not exist).
std::optional<Facts> volumeOf(const QString& path);

} // namespace Volumes
} // namespace platform
