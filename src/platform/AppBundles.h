#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Application bundles as the system opens them.
namespace AppBundles {

// The program and its arguments that open the application bundle at
// bundlePath, the path being one whole argument (never shell text). On this
// system a bundle opens by starting "<bundle>/Contents/MacOS/tessaroom"; a
// path that is itself a program file is started as it is.
QStringList openCommand(const QString& bundlePath);

} // namespace AppBundles

// Facts about the volumes that hold files.
namespace Volumes {

// Whether the volume holding path is mounted read-only and is not the
// system's root volume; false when it cannot be told.
bool isOnReadOnlyVolume(const QString& path);
// Whether files can be created in folder (it exists, is writable and its
// volume is not read-only).
bool isWritableFolder(const QString& folder);
// The folders applications are installed in: "/Applications", then the
// Applications folder in the user's home.
QStringList applicationsFolders();

} // namespace Volumes
} // namespace platform
