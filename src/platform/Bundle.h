#pragma once

#include "platform/OSStatus.h"

#include <QString>

#include <optional>

namespace platform {

// The application's main bundle: who this app is to the system.
namespace Bundle {

// "CFBundleIdentifier"; none when the bundle has no identifier.
std::optional<QString> identifier();
// "CFBundleShortVersionString" when it is text.
std::optional<QString> shortVersion();
// The folder "<Name>.app" the program runs from when it runs at
// "<Name>.app/Contents/MacOS/<program>"; empty when the program runs outside
// a bundle (a build folder, a package).
QString bundlePath();
// The file path of the running program.
QString executablePath();

} // namespace Bundle

// Launch Services, the registry of applications the system knows.
namespace LaunchServices {

// Registers the application at path (update: even when already known).
OSStatus registerURL(const QString& path, bool update);

} // namespace LaunchServices
} // namespace platform
