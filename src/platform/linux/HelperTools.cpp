#include "platform/linux/HelperTools.h"

#include "platform/ChildProcess.h"
#include "platform/sim/SessionHooks.h"
#include "platform/sim/Tools.h"
#include "platform/sim/Volumes.h"

#include <QPointer>
#include <QProcess>

#include <memory>

namespace platform::host {

namespace {

struct MappedTool {
    QString path;
    QString executable;
    ToolAfterward afterward;
};

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

ChildProcess::Result runMapped(const MappedTool& tool, const QStringList& arguments,
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
            result.launchError = sim::missingFileDescription(tool.path);
        else
            sim::recordToolRun({tool.path, arguments, false});
        return result;
    }
    process.start();
    if (!process.waitForStarted(-1)) {
        ChildProcess::Result result;
        result.launchError = process.errorString();
        return result;
    }
    sim::recordToolRun({tool.path, arguments, true});
    process.waitForFinished(-1);
    ChildProcess::Result result = resultOf(process);
    if (tool.afterward)
        tool.afterward(arguments, result.exitStatus);
    return result;
}

// A mapped tool as a child process on the main event loop.
class ChildRun final : public ChildProcess::Running {
public:
    ChildRun(const MappedTool& tool, const QStringList& arguments,
             std::function<void(const ChildProcess::Result&)> finished)
        : process_(new QProcess)
        , reported_(std::make_shared<bool>(false))
    {
        auto* process = process_.data();
        process->setProgram(tool.executable);
        process->setArguments(arguments);
        process->setStandardOutputFile(QProcess::nullDevice());
        const ToolAfterward afterward = tool.afterward;
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
        QObject::connect(process, &QProcess::started, process, [path = tool.path, arguments] {
            sim::recordToolRun({path, arguments, true});
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

} // namespace

void mapTool(const QString& path, const QString& executable, ToolAfterward afterward)
{
    const MappedTool tool{path, executable, std::move(afterward)};
    sim::installOutsideTool(path, {
        .run = [tool](const QStringList& arguments, const ChildProcess::Options& options) {
            return runMapped(tool, arguments, options);
        },
        .start = [tool](const QStringList& arguments, std::function<void(const ChildProcess::Result&)> finished)
            -> std::unique_ptr<ChildProcess::Running> {
            return std::make_unique<ChildRun>(tool, arguments, std::move(finished));
        },
    });
}

void installDiskImageTools(const QString& hdiutilExecutable, const QString& dittoExecutable)
{
    mapTool(sim::tools::hdiutil, hdiutilExecutable, [](const QStringList& arguments, std::optional<int> exitStatus) {
        if (exitStatus != 0 || arguments.isEmpty())
            return;
        if (arguments.first() == QLatin1String("attach")) {
            const qsizetype option = arguments.indexOf(QStringLiteral("-mountpoint"));
            if (option >= 0 && option + 1 < arguments.size())
                sim::mountVolume(arguments[option + 1], arguments.contains(QStringLiteral("-readonly")));
        } else if (arguments.first() == QLatin1String("detach") && arguments.size() >= 2) {
            sim::unmountVolume(arguments[1]);
        }
    });
    mapTool(sim::tools::ditto, dittoExecutable);
}

} // namespace platform::host
