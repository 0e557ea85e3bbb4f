#pragma once

#include "support/ProcessHandle.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include <sys/types.h>

// The real processes a test starts. Each gets a handle as it starts
// (ProcessHandle), and every signal goes through it; every wait is for an
// event (a line, a condition, the process's end) within a generous bound.
// A process still running when the set goes is a bound the test missed: the
// test fails with the program, its arguments, its pid and how long it ran,
// and only then is the process ended (SIGCONT when stopped, SIGKILL),
// unless the test said it may outlive the test, as a stand-in left running
// on purpose does.
class TestProcesses {
public:
    static constexpr int generous = 30000; // milliseconds

    TestProcesses() = default;
    ~TestProcesses();
    TestProcesses(const TestProcesses&) = delete;
    TestProcesses& operator=(const TestProcesses&) = delete;

    // Starts program and waits until it runs (a program that cannot start
    // fails the test); reads its standard error first.
    QProcess& start(const QString& program, const QStringList& arguments,
                    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    // The set ends process quietly when the test leaves it running.
    void mayOutlive(const QProcess& process);
    // Takes a handle on a process that one of the test's processes started
    // (a pid it wrote down), while it is known to run; the set ends it
    // quietly when the test ends.
    ::testing::AssertionResult adopt(qint64 pid);

    // Fails, saying why, for a process not started here or one that ended.
    [[nodiscard]] ::testing::AssertionResult signal(const QProcess& process, int number) const;
    // For a process that may end at any moment: true when sent.
    bool signalUnlessEnded(const QProcess& process, int number) const;
    // Asks the process to end (SIGTERM); success when it exits with 0.
    ::testing::AssertionResult stop(QProcess& process) const;
    static ::testing::AssertionResult endedNormally(QProcess& process);

    // Waits until the process has written text on channel; what came while
    // the test waited for something else counts, and is read.
    static ::testing::AssertionResult waitForLine(QProcess& process, const QByteArray& text,
                                                  QProcess::ProcessChannel channel = QProcess::StandardError);
    // The app listens from its launch line on.
    static ::testing::AssertionResult waitForLaunch(QProcess& process) { return waitForLine(process, "launched"); }
    // Waits, while the process runs, until ready() holds.
    static bool waitUntil(QProcess& process, const std::function<bool()>& ready);

    // What a program run to its end printed, and its exit code: -1 when a
    // signal ended it or it still ran after the bound, which fails the test.
    struct Ran {
        int exitCode = -1;
        QByteArray output;
        QByteArray errors;
    };
    static Ran run(const QString& program, const QStringList& arguments, int boundMs = generous,
                   const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

    // Another user, in none of this one's groups, as root makes one.
    static constexpr uid_t anotherUser = 65534;
    // The command to put before program to run it as anotherUser; empty
    // unless this process is root, has setpriv and that user may run it.
    static QStringList asAnotherUser(const QString& program);

    // Gone, or a zombie not reaped yet.
    static bool ended(qint64 pid);
    // The pid of a process of this user that has ended and been reaped.
    static qint64 endedProcessId();

protected:
    // Ends what still runs, as the set's end does; a set whose processes use
    // its own files calls it before those go.
    void endLeftOvers();

private:
    struct Started {
        std::unique_ptr<QProcess> process;
        ProcessHandle handle;
        std::chrono::steady_clock::time_point since;
        bool mayOutlive = false;
    };

    const Started* find(const QProcess& process) const;
    // Fails the test for a process still running, then ends it.
    static void endLeftOver(Started& started);

    std::vector<Started> started_;
    std::vector<ProcessHandle> adopted_;
};
