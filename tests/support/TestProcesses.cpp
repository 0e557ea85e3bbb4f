#include "support/TestProcesses.h"

#include "support/ProcessState.h"

#include <QDeadlineTimer>
#include <QStandardPaths>

#include <algorithm>
#include <csignal>
#include <utility>

#include <unistd.h>

namespace {

// Arguments longer than this (a script given inline) are cut in reports.
constexpr qsizetype reportedArgumentChars = 60;
// How much of what a process left unread a report shows, from its end.
constexpr qsizetype reportedOutputBytes = 800;

std::string describe(const QProcess& process)
{
    QStringList words{process.program()};
    for (const QString& argument : process.arguments())
        words.append(argument.size() > reportedArgumentChars ? argument.left(reportedArgumentChars) + QStringLiteral("…")
                                                              : argument);
    return words.join(QLatin1Char(' ')).toStdString();
}

std::string channelName(QProcess::ProcessChannel channel)
{
    return channel == QProcess::StandardError ? "standard error" : "standard output";
}

} // namespace

TestProcesses::~TestProcesses()
{
    endLeftOvers();
}

void TestProcesses::endLeftOvers()
{
    for (Started& started : started_)
        endLeftOver(started);
    for (const ProcessHandle& handle : adopted_)
        EXPECT_TRUE(handle.end());
    adopted_.clear();
}

QProcess& TestProcesses::start(const QString& program, const QStringList& arguments,
                               const QProcessEnvironment& environment)
{
    Started& started = started_.emplace_back(
        Started{.process = std::make_unique<QProcess>(), .handle = {}, .since = std::chrono::steady_clock::now()});
    QProcess& process = *started.process;
    process.setProcessEnvironment(environment);
    process.setReadChannel(QProcess::StandardError);
    process.start(program, arguments);
    // Not reaped before this thread looks again, so the pid is still its own.
    if (process.waitForStarted(generous))
        started.handle = ProcessHandle(process.processId());
    else
        ADD_FAILURE() << "could not start " << describe(process) << ": " << process.errorString().toStdString();
    return process;
}

void TestProcesses::mayOutlive(const QProcess& process)
{
    for (Started& started : started_) {
        if (started.process.get() == &process)
            started.mayOutlive = true;
    }
}

::testing::AssertionResult TestProcesses::adopt(qint64 pid)
{
    ProcessHandle handle(pid);
    if (!handle.held())
        return ::testing::AssertionFailure() << "pid " << pid << " not adopted: " << handle.whyNotHeld().toStdString();
    adopted_.push_back(std::move(handle));
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult TestProcesses::signal(const QProcess& process, int number) const
{
    const Started* started = find(process);
    if (!started)
        return ::testing::AssertionFailure() << "signal " << number << " not sent: " << describe(process)
                                             << " was not started by this test";
    return started->handle.signal(number);
}

bool TestProcesses::signalUnlessEnded(const QProcess& process, int number) const
{
    const Started* started = find(process);
    EXPECT_NE(started, nullptr) << describe(process) << " was not started by this test";
    return started && started->handle.signalUnlessEnded(number);
}

::testing::AssertionResult TestProcesses::stop(QProcess& process) const
{
    if (::testing::AssertionResult sent = signal(process, SIGTERM); !sent)
        return sent;
    if (::testing::AssertionResult ended = endedNormally(process); !ended)
        return ended;
    if (process.exitCode() != 0)
        return ::testing::AssertionFailure() << describe(process) << " exited with " << process.exitCode();
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult TestProcesses::endedNormally(QProcess& process)
{
    if (!process.waitForFinished(generous))
        return ::testing::AssertionFailure() << describe(process) << " still runs after " << generous << " ms";
    if (process.exitStatus() != QProcess::NormalExit)
        return ::testing::AssertionFailure() << describe(process) << " was ended by signal " << process.exitCode();
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult TestProcesses::waitForLine(QProcess& process, const QByteArray& text,
                                                      QProcess::ProcessChannel channel)
{
    const QProcess::ProcessChannel before = process.readChannel();
    process.setReadChannel(channel);
    const QDeadlineTimer deadline(generous);
    QByteArray seen = process.readAll();
    while (!seen.contains(text) && process.waitForReadyRead(int(deadline.remainingTime())))
        seen += process.readAll();
    process.setReadChannel(before);
    if (seen.contains(text))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no \"" << text.toStdString() << "\" on " << channelName(channel) << " of "
                                         << describe(process) << " within " << generous << " ms ("
                                         << (process.state() == QProcess::NotRunning ? "it ended" : "it still runs")
                                         << "); it wrote: " << seen.toStdString();
}

bool TestProcesses::waitUntil(QProcess& process, const std::function<bool()>& ready)
{
    const QDeadlineTimer deadline(generous);
    while (!ready()) {
        if (process.state() == QProcess::NotRunning || deadline.hasExpired())
            return ready();
        process.waitForFinished(50);
    }
    return true;
}

TestProcesses::Ran TestProcesses::run(const QString& program, const QStringList& arguments, int boundMs,
                                      const QProcessEnvironment& environment)
{
    TestProcesses processes;
    QProcess& process = processes.start(program, arguments, environment);
    const bool exited = process.waitForFinished(boundMs) && process.exitStatus() == QProcess::NormalExit;
    return {.exitCode = exited ? process.exitCode() : -1,
            .output = process.readAllStandardOutput(),
            .errors = process.readAllStandardError()};
}

bool TestProcesses::ended(qint64 pid)
{
    return ProcessState::ended(pid);
}

QStringList TestProcesses::asAnotherUser(const QString& program)
{
    const QString user = QString::number(anotherUser);
    const QStringList command{QStringLiteral("setpriv"), QStringLiteral("--reuid=") + user,
                              QStringLiteral("--regid=") + user, QStringLiteral("--clear-groups"), QStringLiteral("--")};
    if (::geteuid() != 0 || QStandardPaths::findExecutable(command.first()).isEmpty())
        return {};
    const QStringList test{QStringLiteral("/bin/sh"), QStringLiteral("-c"), QStringLiteral("test -x \"$0\""), program};
    return run(command.first(), command.mid(1) + test).exitCode == 0 ? command : QStringList{};
}

qint64 TestProcesses::endedProcessId()
{
    TestProcesses processes;
    QProcess& process = processes.start(QStringLiteral("/bin/true"), {});
    const qint64 pid = process.processId();
    EXPECT_TRUE(endedNormally(process));
    return pid;
}

const TestProcesses::Started* TestProcesses::find(const QProcess& process) const
{
    const auto found = std::find_if(started_.cbegin(), started_.cend(),
                                    [&](const Started& started) { return started.process.get() == &process; });
    return found == started_.cend() ? nullptr : &*found;
}

void TestProcesses::endLeftOver(Started& started)
{
    QProcess& process = *started.process;
    if (process.state() == QProcess::NotRunning)
        return;
    // Ended while the test looked elsewhere: in a failed test, how it ended
    // is often the cause.
    if (started.handle.ended()) {
        process.waitForFinished(generous);
        if (::testing::Test::HasFailure() && !started.mayOutlive) {
            const QByteArray unread = process.readAllStandardError().right(reportedOutputBytes);
            ADD_FAILURE() << describe(process) << " (pid " << started.handle.pid() << ") had ended on its own, "
                          << (process.exitStatus() == QProcess::NormalExit ? "with exit code " : "by signal ")
                          << process.exitCode() << ". The end of its standard error: " << unread.toStdString();
        }
        return;
    }
    if (!started.mayOutlive) {
        const std::chrono::duration<double> ran = std::chrono::steady_clock::now() - started.since;
        const bool stopped = ProcessState::ofProcess(started.handle.pid()) == 'T';
        const QByteArray unread = process.readAllStandardError().right(reportedOutputBytes);
        ADD_FAILURE() << describe(process) << " (pid " << started.handle.pid() << (stopped ? ", stopped" : "")
                      << ") still runs " << QString::number(ran.count(), 'f', 1).toStdString()
                      << " s after it started, as the test ends; it is ended now. The end of its standard error: "
                      << unread.toStdString();
    }
    EXPECT_TRUE(started.handle.end());
    process.waitForFinished(generous);
}
