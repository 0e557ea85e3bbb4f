#include "platform/ChildProcess.h"
#include "platform/sim/Tools.h"

#include "platform/Bundle.h"
#include "platform/Lifetime.h"
#include "platform/sim/DesktopShortcuts.h"
#include "platform/sim/World.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>

#include <map>

namespace platform {

namespace {

struct MappedTool {
    QString executable;
    sim::ToolAfterward afterward;
};

struct ToolState {
    std::map<QString, sim::ToolHandler> handlers;
    std::map<QString, MappedTool> mapped;
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

ToolState*& stateSlot()
{
    static ToolState* state = nullptr;
    return state;
}

ToolState& state()
{
    auto*& slot = stateSlot();
    if (!slot) {
        slot = new ToolState;
        slot->handlers[sim::tools::killall] = killall;
        slot->handlers[sim::tools::tccutil] = tccutil;
        slot->handlers[sim::tools::activateSettings] = activateSettings;
        registerSharedReset([] {
            delete stateSlot();
            stateSlot() = nullptr;
        });
    }
    return *slot;
}

QString missingFileDescription(const QString& path)
{
    return QStringLiteral("The file \u201C%1\u201D doesn\u2019t exist.").arg(QFileInfo(path).fileName());
}

// Reports on the main thread's event loop, never inside the caller.
void later(std::function<void()> work)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

ChildProcess::Result resultOf(QProcess& process)
{
    ChildProcess::Result result;
    if (process.error() == QProcess::FailedToStart) {
        result.launchError = process.errorString();
        return result;
    }
    if (process.exitStatus() == QProcess::NormalExit)
        result.exitStatus = process.exitCode();
    result.standardError = process.readAllStandardError();
    return result;
}

ChildProcess::Result runMapped(const QString& path, const MappedTool& tool, const QStringList& arguments,
                               const ChildProcess::Options& options)
{
    QProcess process;
    process.setProgram(tool.executable);
    process.setArguments(arguments);
    process.setStandardOutputFile(QProcess::nullDevice());
    if (!options.captureStandardError)
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (!options.wait) {
        ChildProcess::Result result;
        qint64 pid = 0;
        if (!QProcess::startDetached(tool.executable, arguments, {}, &pid))
            result.launchError = missingFileDescription(path);
        else
            state().runs.push_back({path, arguments, false});
        return result;
    }
    process.start();
    if (!process.waitForStarted(-1)) {
        ChildProcess::Result result;
        result.launchError = process.errorString();
        return result;
    }
    state().runs.push_back({path, arguments, true});
    process.waitForFinished(-1);
    ChildProcess::Result result = resultOf(process);
    if (tool.afterward)
        tool.afterward(arguments, result.exitStatus);
    return result;
}

// A mapped tool as a child process on the main event loop.
class ChildRun final : public ChildProcess::Running {
public:
    ChildRun(const QString& path, const MappedTool& tool, const QStringList& arguments,
             std::function<void(const ChildProcess::Result&)> finished)
        : process_(new QProcess)
        , reported_(std::make_shared<bool>(false))
    {
        auto* process = process_.data();
        process->setProgram(tool.executable);
        process->setArguments(arguments);
        process->setStandardOutputFile(QProcess::nullDevice());
        const sim::ToolAfterward afterward = tool.afterward;
        auto report = [process, arguments, afterward, reported = reported_, finished = std::move(finished)]() mutable {
            if (*reported)
                return;
            *reported = true;
            const ChildProcess::Result result = resultOf(*process);
            if (result.launched() && afterward)
                afterward(arguments, result.exitStatus);
            process->deleteLater();
            // May drop this run; the process is no longer its own.
            if (finished)
                finished(result);
        };
        QObject::connect(process, &QProcess::finished, process, report);
        QObject::connect(process, &QProcess::errorOccurred, process, [process, report](QProcess::ProcessError error) mutable {
            if (error == QProcess::FailedToStart)
                report();
        });
        // Recorded once it runs: launch failures are not runs.
        QObject::connect(process, &QProcess::started, process, [path, arguments] {
            state().runs.push_back({path, arguments, true});
        });
        process->start();
    }

    ~ChildRun() override
    {
        if (!process_ || *reported_)
            return;
        process_->disconnect();
        if (process_->state() != QProcess::NotRunning) {
            process_->kill();
            process_->waitForFinished(-1);
        }
        delete process_.data();
    }

    void stop() override
    {
        if (process_ && !*reported_ && process_->state() != QProcess::NotRunning)
            process_->kill();
    }

private:
    // Deletes itself once it has reported.
    QPointer<QProcess> process_;
    std::shared_ptr<bool> reported_;
};

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
    ToolState& s = state();
    if (auto mapped = s.mapped.find(executable); mapped != s.mapped.end() && !s.launchFailures.count(executable))
        return std::make_unique<ChildRun>(executable, mapped->second, arguments, std::move(finished));
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
    ToolState& s = state();
    Result result;
    if (auto failure = s.launchFailures.find(executable); failure != s.launchFailures.end()) {
        result.launchError = failure->second;
        return result;
    }
    if (auto mapped = s.mapped.find(executable); mapped != s.mapped.end())
        return runMapped(executable, mapped->second, arguments, options);
    auto handler = s.handlers.find(executable);
    if (handler == s.handlers.end()) {
        result.launchError = missingFileDescription(executable);
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
    ToolState& s = state();
    s.launchFailures.erase(path);
    s.mapped.erase(path);
    s.handlers[path] = std::move(handler);
}

void sim::mapTool(const QString& path, const QString& executable, ToolAfterward afterward)
{
    ToolState& s = state();
    s.launchFailures.erase(path);
    s.handlers.erase(path);
    s.mapped[path] = {executable, std::move(afterward)};
}

void sim::failToolLaunch(const QString& path, const QString& description)
{
    state().launchFailures[path] = description;
}

void sim::makeToolExit(const QString& path, int status, const QByteArray& standardError)
{
    installTool(path, [status, standardError](const QStringList&) { return ToolOutcome{status, standardError}; });
}

std::vector<sim::ToolRun> sim::toolRuns()
{
    return state().runs;
}

} // namespace platform
