#pragma once

#include "platform/ChildProcess.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace platform::sim {

// The system tools the simulated machine has. Each is a handler run in place
// of the executable, or a real program outside it; an unknown path does not
// exist.

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

// A tool that runs outside the simulated machine, as a real program
// (platform/linux/HelperTools.h maps them): run and start do what
// ChildProcess::run and ChildProcess::start ask of it.
struct OutsideTool {
    std::function<ChildProcess::Result(const QStringList& arguments, const ChildProcess::Options& options)> run;
    std::function<std::unique_ptr<ChildProcess::Running>(const QStringList& arguments,
                                                         std::function<void(const ChildProcess::Result&)> finished)>
        start;
};

// Installed with installOutsideTool (SessionHooks.h).

struct ToolRun {
    QString path;
    QStringList arguments;
    bool waited = false;
};

// Every started tool, in order (launch failures not included).
std::vector<ToolRun> toolRuns();
// Notes a run of an outside tool, once it has started.
void recordToolRun(ToolRun run);

// The launch error of a program that is not at path.
QString missingFileDescription(const QString& path);

} // namespace platform::sim
