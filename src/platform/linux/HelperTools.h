#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// System tools of the simulated machine that are real programs on this one
// (platform/sim/Tools.h): each runs as a child process, and what it did can
// be followed in the simulated machine afterwards.
namespace platform::host {

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

} // namespace platform::host
