#pragma once

namespace platform {

// Facts about the running operating system.
namespace SystemInfo {

// The major version number of the operating system (14 for macOS 14.x).
int operatingSystemMajorVersion();

} // namespace SystemInfo
} // namespace platform
