#pragma once

#include <QImage>
#include <QString>

// Control of the simulated machine's installed applications. By default the
// system's own applications are installed (Finder, Terminal, Safari, Preview,
// Photos, Mail, Calendar, Notes, Music, Reminders, Messages, FaceTime), and
// every running app of the world with a bundle path counts as installed.
namespace platform::sim {

// Installs (or moves) the application with the identifier at bundlePath.
void installApp(const QString& bundleIdentifier, const QString& bundlePath);
// Removes it: it is then not found, even while an app with it runs.
void uninstallApp(const QString& bundleIdentifier);
// The icon shown for the file at path (none set: one drawn from the path).
void setFileIcon(const QString& path, const QImage& icon);

} // namespace platform::sim
