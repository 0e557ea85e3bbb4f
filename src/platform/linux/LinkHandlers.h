#pragma once

#include <QString>

#include <optional>

// Where the link registration is written on this system: an XDG desktop
// entry naming the schemes as "x-scheme-handler/<scheme>" types, in the
// applications folder of the user's data folder, made the default opener of
// those types in the user's "mimeapps.list".
namespace platform::host {

QString linkHandlerEntryPath();
QString mimeAppsListPath();

// The program path as one Exec argument of a desktop entry; none when the
// path cannot be written there (a line break).
std::optional<QString> desktopEntryArgument(const QString& program);

} // namespace platform::host
