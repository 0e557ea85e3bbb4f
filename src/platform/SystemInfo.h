#pragma once

namespace platform {

// Facts about the running operating system.
namespace SystemInfo {

// The major version number of the operating system (14 for macOS 14.x).
int operatingSystemMajorVersion();

struct OperatingSystemVersion {
    int majorVersion = 0;
    int minorVersion = 0;
    int patchVersion = 0;
};

// The full version of the operating system (14, 6, 1 for macOS 14.6.1).
OperatingSystemVersion operatingSystemVersion();

} // namespace SystemInfo
} // namespace platform
