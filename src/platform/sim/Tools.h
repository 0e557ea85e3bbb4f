#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace platform::sim {

// The system tools the simulated machine has. Each is a handler run in place
// of the executable; an unknown path does not exist.

struct ToolOutcome {
    int exitStatus = 0;
    QByteArray standardError;
};

using ToolHandler = std::function<ToolOutcome(const QStringList& arguments)>;

// Paths of the tools that come with the simulated machine.
namespace tools {
inline const QString hdiutil = QStringLiteral("/usr/bin/hdiutil");
inline const QString ditto = QStringLiteral("/usr/bin/ditto");
inline const QString killall = QStringLiteral("/usr/bin/killall");
inline const QString tccutil = QStringLiteral("/usr/bin/tccutil");
inline const QString activateSettings = QStringLiteral(
    "/System/Library/PrivateFrameworks/SystemAdministration.framework/Resources/activateSettings");
} // namespace tools

// Adds or replaces the tool at path.
void installTool(const QString& path, ToolHandler handler);

// From now on the tool at path cannot be started; the launch fails with
// description.
void failToolLaunch(const QString& path, const QString& description);

// From now on the tool at path does nothing and exits with status, writing
// standardError.
void makeToolExit(const QString& path, int status, const QByteArray& standardError);

// After a mapped tool exits: its arguments and exit status (none when it was
// killed). Runs on the main thread before the caller hears of the end.
using ToolAfterward = std::function<void(const QStringList& arguments, std::optional<int> exitStatus)>;

// From now on the tool at path is the real executable at executable, started
// as a child process; afterward, when set, lets the simulated machine follow
// what the tool did (a mounted volume, for instance).
void mapTool(const QString& path, const QString& executable, ToolAfterward afterward = {});

// Maps "/usr/bin/hdiutil" and "/usr/bin/ditto" to the project's helper
// executables; an image attached by the helper is registered as a mounted,
// read-only volume that is not the root file system until it is detached.
void installDiskImageTools(const QString& hdiutilExecutable, const QString& dittoExecutable);

struct ToolRun {
    QString path;
    QStringList arguments;
    bool waited = false;
};

// Every started tool, in order (launch failures not included).
std::vector<ToolRun> toolRuns();

} // namespace platform::sim
