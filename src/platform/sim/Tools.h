#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
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

struct ToolRun {
    QString path;
    QStringList arguments;
    bool waited = false;
};

// Every started tool, in order (launch failures not included).
std::vector<ToolRun> toolRuns();

} // namespace platform::sim
