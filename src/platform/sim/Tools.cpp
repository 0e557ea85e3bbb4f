#include "platform/ChildProcess.h"
#include "platform/sim/SessionHooks.h"
#include "platform/sim/Tools.h"

#include "platform/Bundle.h"
#include "platform/Lifetime.h"
#include "platform/sim/DesktopShortcuts.h"
#include "platform/sim/World.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <map>

namespace platform {

namespace {

struct ToolState {
    std::map<QString, sim::ToolHandler> handlers;
    std::map<QString, sim::OutsideTool> outside;
    std::map<QString, QString> launchFailures;
    std::vector<sim::ToolRun> runs;
};

sim::ToolOutcome killall(const QStringList& arguments)
{
    if (arguments == QStringList{QStringLiteral("Dock")}) {
        // The Dock comes back at once and reads the desktop shortcuts anew.
        sim::restartDock();
        return {};
    }
    return {1, QByteArrayLiteral("No matching processes belonging to you were found\n")};
}

sim::ToolOutcome tccutil(const QStringList& arguments)
{
    if (arguments.size() < 2 || arguments.size() > 3 || arguments[0] != QLatin1String("reset"))
        return {64, QByteArrayLiteral("Usage: tccutil reset SERVICE [BUNDLE_ID]\n")};
    const QString& service = arguments[1];
    if (service != QLatin1String("Accessibility") && service != QLatin1String("All"))
        return {70, QStringLiteral("tccutil: Failed to reset %1\n").arg(service).toUtf8()};
    if (arguments.size() == 3 && arguments[2] != Bundle::identifier().value_or(QString()))
        return {70, QStringLiteral("tccutil: No such bundle identifier \"%1\"\n").arg(arguments[2]).toUtf8()};
    sim::World::shared().setTrusted(false);
    return {};
}

sim::ToolOutcome activateSettings(const QStringList&)
{
    return {};
}

ToolState* makeState()
{
    auto* made = new ToolState;
    made->handlers[sim::tools::killall] = killall;
    made->handlers[sim::tools::tccutil] = tccutil;
    made->handlers[sim::tools::activateSettings] = activateSettings;
    return made;
}

ToolState& toolState()
{
    static Shared<ToolState> current(makeState);
    return current.get();
}

// Reports on the main thread's event loop, never inside the caller.
void later(std::function<void()> work)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

// A simulated tool, reported from the event loop like a real one.
class HandlerRun final : public ChildProcess::Running {
public:
    explicit HandlerRun(std::shared_ptr<bool> alive)
        : alive_(std::move(alive))
    {
    }
    ~HandlerRun() override { *alive_ = false; }
    void stop() override {}

private:
    std::shared_ptr<bool> alive_;
};

} // namespace

std::unique_ptr<ChildProcess::Running> ChildProcess::start(const QString& executable, const QStringList& arguments,
                                                           std::function<void(const Result&)> finished)
{
    ToolState& s = toolState();
    if (auto outside = s.outside.find(executable); outside != s.outside.end() && !s.launchFailures.count(executable)) {
        // What the tool does may install tools; start a copy.
        const sim::OutsideTool tool = outside->second;
        return tool.start(arguments, std::move(finished));
    }
    auto alive = std::make_shared<bool>(true);
    const Result result = run(executable, arguments, Options{.wait = true, .captureStandardError = true});
    later([alive, result, finished = std::move(finished)] {
        if (*alive && finished)
            finished(result);
    });
    return std::make_unique<HandlerRun>(alive);
}

ChildProcess::Result ChildProcess::run(const QString& executable, const QStringList& arguments,
                                       const Options& options)
{
    ToolState& s = toolState();
    Result result;
    if (auto failure = s.launchFailures.find(executable); failure != s.launchFailures.end()) {
        result.launchError = failure->second;
        return result;
    }
    if (auto outside = s.outside.find(executable); outside != s.outside.end()) {
        const sim::OutsideTool tool = outside->second;
        return tool.run(arguments, options);
    }
    auto handler = s.handlers.find(executable);
    if (handler == s.handlers.end()) {
        result.launchError = sim::missingFileDescription(executable);
        return result;
    }
    s.runs.push_back({executable, arguments, options.wait});
    // A handler may install tools itself; call a copy.
    const sim::ToolHandler tool = handler->second;
    const sim::ToolOutcome outcome = tool(arguments);
    if (!options.wait)
        return result;
    result.exitStatus = outcome.exitStatus;
    if (options.captureStandardError)
        result.standardError = outcome.standardError;
    return result;
}

void sim::installTool(const QString& path, ToolHandler handler)
{
    ToolState& s = toolState();
    s.launchFailures.erase(path);
    s.outside.erase(path);
    s.handlers[path] = std::move(handler);
}

void sim::installOutsideTool(const QString& path, OutsideTool tool)
{
    ToolState& s = toolState();
    s.launchFailures.erase(path);
    s.handlers.erase(path);
    s.outside[path] = std::move(tool);
}

void sim::failToolLaunch(const QString& path, const QString& description)
{
    toolState().launchFailures[path] = description;
}

void sim::makeToolExit(const QString& path, int status, const QByteArray& standardError)
{
    installTool(path, [status, standardError](const QStringList&) { return ToolOutcome{status, standardError}; });
}

std::vector<sim::ToolRun> sim::toolRuns()
{
    return toolState().runs;
}

void sim::recordToolRun(ToolRun run)
{
    toolState().runs.push_back(std::move(run));
}

QString sim::missingFileDescription(const QString& path)
{
    return QStringLiteral("The file \u201C%1\u201D doesn\u2019t exist.").arg(QFileInfo(path).fileName());
}

} // namespace platform
