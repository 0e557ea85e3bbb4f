#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace platform::sim {

// What the main bundle says about itself; tests change it to act as another
// version or a bundle without identifier.
void setBundleIdentifier(std::optional<QString> identifier);
void setBundleShortVersion(std::optional<QString> version);
// Where the program runs: the bundle is worked out from it, as for the
// real program.
void setExecutablePath(const QString& path);

// Paths registered with Launch Services, in order.
QStringList registeredApplicationPaths();

} // namespace platform::sim
