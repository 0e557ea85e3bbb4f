#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace platform {

enum class ActivationPolicy {
    regular,    // an ordinary app with a Dock icon
    accessory,  // menu-bar apps and other processes without a Dock icon
    prohibited, // background processes
};

// A snapshot of one running application.
struct RunningApplication {
    qint32 processIdentifier = 0;
    QString bundleIdentifier;
    std::optional<QString> localizedName;
    QImage icon;
    ActivationPolicy activationPolicy = ActivationPolicy::regular;
    // The application bundle's file path; none for a bare executable.
    std::optional<QString> bundlePath;
    bool isTerminated = false;
};

// The shared workspace: running applications and the frontmost one.
namespace Workspace {

// Running applications in launch order. Safe to call from any thread.
QList<RunningApplication> runningApplications();
QList<RunningApplication> runningApplications(const QString& bundleIdentifier);
// The application of a process, or none when no application runs under it.
std::optional<RunningApplication> runningApplication(qint32 processIdentifier);
std::optional<RunningApplication> frontmostApplication();
// This process's own id.
qint32 currentProcessIdentifier();
// Asks the application to come to the front; false when it refuses or is gone.
bool activate(qint32 processIdentifier);
// Opens a link or file with the app the system picks; false when nothing
// can open it.
bool open(const QUrl& url);

// Asks the application to quit the normal way; false when it refuses or is
// gone. Returns once it has ended, so what it saved on its way out is there.
bool terminate(qint32 processIdentifier);
// Ends the application without asking; false when it is gone already.
// Returns once it has ended.
bool forceTerminate(qint32 processIdentifier);

// The bundle of the installed application with that identifier, as a file
// link; none when no such application is installed.
std::optional<QUrl> urlForApplication(const QString& bundleIdentifier);
// The icon the system shows for the file or bundle at path (never null).
QImage icon(const QString& path);

} // namespace Workspace
} // namespace platform
